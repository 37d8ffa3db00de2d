#include "audiotool/solvane_app.h"

#include <QTabBar>
#include <QTimer>

#include "audiotool/solvane_dlg.h"

namespace melisk {

int CSolvaneApp::Run(const QString& program_folder, const QStringList& files) {
    CSolvaneDlg dialog(program_folder);
    if (!files.isEmpty())
        QTimer::singleShot(0, &dialog, [&dialog, files] {
            if (files.size() > 1) dialog.tabs()->setCurrentIndex(1);
            dialog.AddFilePaths(files);
        });
    dialog.exec();
    return 0;
}

}  // namespace melisk
