#include "platform/shell_open.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QUrl>

#include "platform/desktop_hooks.h"

namespace platform {

namespace {

auto& Handler() { return desktopHooks.shell_open; }

bool LooksLikeAddress(const QString& target) {
    return target.contains(QLatin1String("://")) ||
           target.startsWith(QLatin1String("www."), Qt::CaseInsensitive);
}

bool StartDetached(const QString& program, const QString& argument) {
    if (program.isEmpty() || QStandardPaths::findExecutable(program).isEmpty()) return false;
    return QProcess::startDetached(program, {argument});
}

// One entry of $BROWSER: a command whose "%s" stands for the address, or that gets the address as its
// last argument.
bool StartBrowserCommand(const QString& command, const QString& address) {
    QStringList parts = QProcess::splitCommand(command);
    if (parts.isEmpty()) return false;
    bool placed = false;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        if (parts[i].contains(QLatin1String("%s"))) {
            parts[i].replace(QLatin1String("%s"), address);
            placed = true;
        }
    }
    if (!placed) parts << address;
    const QString program = parts.takeFirst();
    if (QStandardPaths::findExecutable(program).isEmpty()) return false;
    return QProcess::startDetached(program, parts);
}

// Whether the desktop knows no application for a file's type. xdg-open would start, fail a moment
// later and leave the user with nothing; xdg-mime can tell beforehand. Without xdg-mime, or when it
// cannot answer, the file is given to the opener.
bool NoApplicationFor(const QFileInfo& file) {
    const QString xdg_mime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdg_mime.isEmpty() || !file.isFile()) return false;
    QProcess query;
    query.start(xdg_mime, {QStringLiteral("query"), QStringLiteral("default"),
                           QMimeDatabase().mimeTypeForFile(file).name()});
    constexpr int kQueryTimeoutMs = 5000;
    if (!query.waitForFinished(kQueryTimeoutMs) || query.exitStatus() != QProcess::NormalExit ||
        query.exitCode() != 0)
        return false;
    return query.readAllStandardOutput().trimmed().isEmpty();
}

int RealShellOpen(const QString& target) {
    QUrl url;
    if (LooksLikeAddress(target)) {
        url = QUrl::fromUserInput(target);
    } else {
        QFileInfo info(target);
        if (!info.exists()) return info.dir().exists() ? kShellFileNotFound : kShellPathNotFound;
        if (NoApplicationFor(info)) return kShellNoAssociation;
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
    // $BROWSER lists commands to try in order, separated by ":".
    const QString browsers = QProcessEnvironment::systemEnvironment().value(QStringLiteral("BROWSER"));
    for (const QString& command : browsers.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (StartBrowserCommand(command, address)) return kShellOpenOk;
    }
    if (StartDetached(QStringLiteral("x-www-browser"), address)) return kShellOpenOk;
    return code;
}

void SetShellOpenHandler(std::function<int(const QString&)> handler) { Handler() = std::move(handler); }

}  // namespace platform
