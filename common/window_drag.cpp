#include "common/window_drag.h"

#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>
#include <QWindow>

namespace common {

bool WindowMover::Press(QWidget* window, const QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return false;
    if (window->windowHandle() && window->windowHandle()->startSystemMove()) return true;
    m_dragging = true;
    m_offset = event->globalPosition().toPoint() - window->frameGeometry().topLeft();
    return true;
}

void WindowMover::Move(QWidget* window, const QMouseEvent* event) {
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        window->move(event->globalPosition().toPoint() - m_offset);
}

QStringList TakeLocalFiles(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    if (!paths.isEmpty()) event->acceptProposedAction();
    return paths;
}

void AddDroppedFiles(QDropEvent* event, QObject* context, std::function<void(const QStringList&)> add) {
    const QStringList paths = TakeLocalFiles(event);
    if (paths.isEmpty()) return;
    QMetaObject::invokeMethod(
        context, [add = std::move(add), paths] { add(paths); }, Qt::QueuedConnection);
}

}  // namespace common
