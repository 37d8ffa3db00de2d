#pragma once
// The folder of the running executable: the media tools keep their own files there (setting.ini,
// languages/, image.bmp, the downloaded pictures).

#include <QString>

namespace platform {

// The folder of the running executable, absolute, without a trailing slash: the application's
// directory when a QCoreApplication exists, else the folder of /proc/self/exe. Empty only when
// neither can be found.
QString ProgramFolder();

// ProgramFolder() followed by "/" and name ("setting.ini", "languages/english.ini").
QString ProgramFilePath(const QString& name);

}  // namespace platform
