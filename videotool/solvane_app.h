#pragma once
// CSolvaneApp: Taviro's application object. It runs the main window modally and ends when the
// window closes.

#include <QString>

class CSolvaneApp {
  public:
    // Runs the main window with the given program folder (the executable's folder in use) and
    // returns the process exit code. A QApplication must exist.
    int Run(const QString& program_folder);
};
