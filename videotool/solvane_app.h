#pragma once
// CSolvaneApp: Taviro's application object. It runs the main window modally and ends when the
// window closes.

#include <QString>
#include <QStringList>

class CSolvaneApp {
  public:
    // Runs the main window with the given program folder (the executable's folder in use), adding
    // the files named on the command line, and returns the process exit code. A QApplication must
    // exist.
    int Run(const QString& program_folder, const QStringList& files = {});
};
