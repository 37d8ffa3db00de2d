// Taviro, the video tool: taviro [FILE...]. Files named on the command line (as a file manager's
// "Open with" passes them) are added at start as if chosen with the add button.
#include <QApplication>

#include "platform/program_folder.h"
#include "videotool/solvane_app.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Taviro");
    const platform::ToolFolders folders = platform::ToolFoldersFor(QStringLiteral("taviro"));
    return CSolvaneApp().Run(common::ProgramFiles(folders.settings, folders.scratch),
                             QCoreApplication::arguments().mid(1));
}
