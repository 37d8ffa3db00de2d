// Gallery page "ostrand": the launcher in the staged suite folder, idle and with the pointer over the
// video tool's button, and its About dialog.

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEnterEvent>

#include "launcher/my_button.h"
#include "launcher/suite_dlg.h"
#include "screenshots/gallery.h"

namespace {

bool RenderLauncher(const QDir& out) {
    // The launcher reads its profile and skin from the current directory, as when started by a user.
    const QString previous = QDir::currentPath();
    if (!QDir::setCurrent(QDir(QCoreApplication::applicationDirPath()).filePath("../suite"))) return false;
    bool ok;
    {
        CSuiteDlg window;
        ok = gallery::Save(window, out, "idle");
        CMyButton* button = window.button(kIdProduct1);
        const QPointF at(20, 20);
        QEnterEvent enter(at, at, button->mapToGlobal(at));
        QApplication::sendEvent(button, &enter);
        ok = gallery::Save(window, out, "hover_taviro") && ok;
        CAboutDlg about(&window);
        ok = gallery::Save(about, out, "about") && ok;
    }
    QDir::setCurrent(previous);
    return ok;
}

const gallery::Registrar kLauncher("ostrand", RenderLauncher);

}  // namespace
