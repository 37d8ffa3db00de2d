#include "platform/shell_open.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QUrl>

namespace platform {

namespace {

std::function<int(const QString&)>& Handler() {
    static std::function<int(const QString&)> handler;
    return handler;
}

bool LooksLikeAddress(const QString& target) {
    return target.contains(QLatin1String("://")) ||
           target.startsWith(QLatin1String("www."), Qt::CaseInsensitive);
}

bool StartDetached(const QString& program, const QString& argument) {
    if (program.isEmpty() || QStandardPaths::findExecutable(program).isEmpty()) return false;
    return QProcess::startDetached(program, {argument});
}

int RealShellOpen(const QString& target) {
    QUrl url;
    if (LooksLikeAddress(target)) {
        url = QUrl::fromUserInput(target);
    } else {
        QFileInfo info(target);
        if (!info.exists()) return info.dir().exists() ? kShellFileNotFound : kShellPathNotFound;
        url = QUrl::fromLocalFile(info.absoluteFilePath());
    }
    if (QDesktopServices::openUrl(url)) return kShellOpenOk;
    if (StartDetached(QStringLiteral("xdg-open"), url.toString())) return kShellOpenOk;
    return kShellNoAssociation;
}

}  // namespace

int ShellOpen(const QString& target) {
    if (Handler()) return Handler()(target);
    return RealShellOpen(target);
}

int OpenAddress(const QString& address) {
    int code = ShellOpen(address);
    if (code > 32) return code;
    const QString browser = QProcessEnvironment::systemEnvironment().value(QStringLiteral("BROWSER"));
    if (StartDetached(browser.section(QLatin1Char(':'), 0, 0), address)) return kShellOpenOk;
    if (StartDetached(QStringLiteral("x-www-browser"), address)) return kShellOpenOk;
    return code;
}

void SetShellOpenHandler(std::function<int(const QString&)> handler) { Handler() = std::move(handler); }

}  // namespace platform
