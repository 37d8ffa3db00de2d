#include "videotool/solvane_app.h"

#include "videotool/solvane_dlg.h"

int CSolvaneApp::Run(const QString& program_folder, const QStringList& files) {
    CSolvaneDlg dialog(program_folder);
    dialog.AddStartupFiles(files);
    dialog.exec();
    return 0;
}
