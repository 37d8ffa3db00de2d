#pragma once
// CSolvaneApp: Taviro's application object. It runs the main window modally and ends when the
// window closes.

#include <QStringList>

#include "common/language_files.h"

class CSolvaneApp {
  public:
    // Runs the main window over the tool's files (see platform::ToolFoldersFor), adding the files
    // named on the command line, and returns the process exit code. A QApplication must exist.
    int Run(const common::ProgramFiles& program_files, const QStringList& files = {});
};
