#pragma once
// The folder of the running executable, and where a media tool keeps the files it writes: beside
// itself while that folder is writable (a staged or unpacked suite), else where the desktop keeps
// settings and caches (an installed suite).

#include <QString>

namespace platform {

// The folder of the running executable, absolute, without a trailing slash: the application's
// directory when a QCoreApplication exists, else the folder of /proc/self/exe. Empty only when
// neither can be found.
QString ProgramFolder();

// ProgramFolder() followed by "/" and name ("setting.ini", "languages/english.ini").
QString ProgramFilePath(const QString& name);

// Whether this user may create files in folder. A folder whose mode grants no write permission
// counts as read-only even for root, whom the kernel lets write anywhere: the installed suite's
// folders are marked so.
bool IsWritableFolder(const QString& folder);

// Where a media tool keeps the files it writes.
struct ToolFolders {
    QString settings;  // setting.ini, the downloaded pictures and language updates (languages/)
    QString scratch;   // the preview picture and other files nobody keeps
};

// The one rule for a media tool named tool ("taviro", "melisk") whose program folder holds its
// shipped setting.ini and languages/. A writable program folder holds everything. Otherwise the
// settings go to $XDG_CONFIG_HOME/<suite>/<tool> (default ~/.config), made on first use with a copy
// of the shipped setting.ini (a user's copy is never replaced), and scratch files to
// $XDG_CACHE_HOME/<suite>/<tool> (default ~/.cache), or below $XDG_RUNTIME_DIR when no cache folder
// can be made. A folder that cannot be made falls back to the one before it (scratch to settings,
// settings to the program folder, whose files are then only read).
ToolFolders ToolFoldersFor(const QString& tool, const QString& program_folder = ProgramFolder());

// The language file name as the tool reads it: the update in settings_folder/languages/ when there
// is one, else the file shipped in program_folder/languages/. With no file in either place, the
// path in settings_folder (where a download would put it).
QString LanguageFilePath(const QString& settings_folder, const QString& name,
                         const QString& program_folder = ProgramFolder());

}  // namespace platform
