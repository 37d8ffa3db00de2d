#include "platform/program_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/desktop_locale.h"
#include "platform/profile.h"

namespace platform {

namespace {

// The suite's folder name below the desktop's configuration and cache folders.
const QString kSuiteFolder = QStringLiteral(SUITE_NAME);

// An XDG base folder: the variable when it holds an absolute path (the XDG rule ignores relative
// ones), else fallback below the home folder; empty when neither applies.
QString XdgFolder(const char* variable, const char* below_home) {
    const QString value = qEnvironmentVariable(variable);
    if (QDir::isAbsolutePath(value)) return value;
    if (!below_home) return {};
    const QString home = qEnvironmentVariable("HOME");
    return QDir::isAbsolutePath(home) ? home + QLatin1Char('/') + QLatin1String(below_home) : QString();
}

// base/<suite>/<tool>, made if missing; empty when base is empty or the folder cannot be made.
QString MadeToolFolder(const QString& base, const QString& tool) {
    if (base.isEmpty()) return {};
    const QString folder = base + QLatin1Char('/') + kSuiteFolder + QLatin1Char('/') + tool;
    return QDir().mkpath(folder) && IsWritableFolder(folder) ? folder : QString();
}

// The language file for the desktop's language.
QString DesktopLanguageFile() {
    static const std::pair<const char*, const char*> kFiles[] = {
        {"zh", "chinese.ini"}, {"es", "spanish.ini"}, {"de", "german.ini"},
        {"fr", "french.ini"},  {"it", "italian.ini"}, {"ja", "japanese.ini"},
    };
    const QString language = DesktopLanguage();
    for (const auto& [code, file] : kFiles)
        if (language == QLatin1String(code)) return QString::fromLatin1(file);
    return QStringLiteral("english.ini");
}

// The shipped settings become the user's on first run, speaking the desktop's language; a copy
// keeps the source's read-only mode.
void CopyShippedSettings(const QString& program_folder, const QString& settings_folder) {
    const QString shipped = program_folder + QStringLiteral("/setting.ini");
    const QString own = settings_folder + QStringLiteral("/setting.ini");
    if (QFileInfo::exists(own) || !QFileInfo::exists(shipped)) return;
    if (!QFile::copy(shipped, own)) return;
    QFile::setPermissions(own, QFile::permissions(own) | QFile::ReadOwner | QFile::WriteOwner);
    WriteProfileString(QStringLiteral("LANGUAGE"), QStringLiteral("file"), DesktopLanguageFile(), own);
}

}  // namespace

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

bool IsWritableFolder(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder);
    struct stat st {};
    if (path.isEmpty() || ::stat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && ::access(path.constData(), W_OK) == 0;
}

ToolFolders ToolFoldersFor(const QString& tool, const QString& program_folder) {
    if (IsWritableFolder(program_folder)) return {program_folder, program_folder};

    QString settings = MadeToolFolder(XdgFolder("XDG_CONFIG_HOME", ".config"), tool);
    if (settings.isEmpty())
        settings = program_folder;
    else
        CopyShippedSettings(program_folder, settings);

    QString scratch = MadeToolFolder(XdgFolder("XDG_CACHE_HOME", ".cache"), tool);
    if (scratch.isEmpty()) scratch = MadeToolFolder(XdgFolder("XDG_RUNTIME_DIR", nullptr), tool);
    if (scratch.isEmpty()) scratch = settings;
    return {settings, scratch};
}

QString LanguageFilePath(const QString& settings_folder, const QString& name, const QString& program_folder) {
    const QString own = settings_folder + QStringLiteral("/languages/") + name;
    if (QFileInfo::exists(own)) return own;
    const QString shipped = program_folder + QStringLiteral("/languages/") + name;
    return QFileInfo::exists(shipped) ? shipped : own;
}

}  // namespace platform
