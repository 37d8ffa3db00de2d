#include "platform/program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace platform {

QString ProgramFolder() {
    if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
    // No application object yet: the kernel's link names the executable even when argv[0] does not.
    const QString exe = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    if (exe.isEmpty()) return {};
    return QFileInfo(exe).absolutePath();
}

QString ProgramFilePath(const QString& name) {
    QString folder = ProgramFolder();
    if (folder.endsWith(QLatin1Char('/'))) folder.chop(1);
    return folder + QLatin1Char('/') + name;
}

}  // namespace platform
