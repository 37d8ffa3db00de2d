#include "videotool/solvane_app.h"

#include "videotool/solvane_dlg.h"

int CSolvaneApp::Run(const QString& program_folder) {
    CSolvaneDlg dialog(program_folder);
    dialog.exec();
    return 0;
}
