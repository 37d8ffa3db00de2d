#include "common/window_drag.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace common {

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
