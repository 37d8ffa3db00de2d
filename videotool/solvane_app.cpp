#include "videotool/solvane_app.h"

#include "videotool/solvane_dlg.h"

int CSolvaneApp::Run(const common::ProgramFiles& program_files, const QStringList& files) {
    CSolvaneDlg dialog(program_files);
    dialog.AddStartupFiles(files);
    dialog.exec();
    return 0;
}
