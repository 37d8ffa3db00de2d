#include "videotool/solvane_app.h"

#include "videotool/solvane_dlg.h"

int CSolvaneApp::Run(const common::ProgramFiles& files) {
    CSolvaneDlg dialog(files);
    dialog.exec();
    return 0;
}
