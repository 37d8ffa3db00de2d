#pragma once
// melisk::CSolvaneApp: Melisk's application object. It runs the main window modally and ends when the
// window closes.

#include <QString>
#include <QStringList>

namespace melisk {

class CSolvaneApp {
  public:
    // Runs the main window with the given program folder (the executable's folder in use) and
    // returns the process exit code. Files given are added once the window shows: one file becomes
    // the file under edit, several go to the merge list. A QApplication must exist.
    int Run(const QString& program_folder, const QStringList& files = {});
};

}  // namespace melisk
