// Ostrand, the suite launcher. Start it from its own folder: Set.xml, skin/ and the tools' folders
// are found relative to the current directory.
#include <QApplication>

#include "launcher/suite_dlg.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ostrand"));
    CSuiteDlg dialog;
    dialog.exec();
    return 0;
}
