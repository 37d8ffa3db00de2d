#include "screenshots/gallery.h"

#include <QApplication>
#include <QPixmap>
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <cstdio>

namespace gallery {

namespace {

std::vector<Page>& Registry() {
    static std::vector<Page> pages;
    return pages;
}

}  // namespace

std::vector<Page> Pages() {
    std::vector<Page> pages = Registry();
    std::sort(pages.begin(), pages.end(), [](const Page& a, const Page& b) { return a.name < b.name; });
    return pages;
}

Registrar::Registrar(const char* name, RenderFunction render) {
    Registry().push_back({QString::fromUtf8(name), std::move(render)});
}

bool Save(QWidget& widget, const QDir& folder, const QString& file) {
    if (!widget.isVisible()) {
        widget.show();
        if (!QTest::qWaitForWindowExposed(&widget)) return false;
    }
    QApplication::processEvents();
    const QString path = folder.filePath(file + QStringLiteral(".png"));
    if (!widget.grab().save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace gallery
