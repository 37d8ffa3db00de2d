// Taviro, the video tool. Arguments are ignored.
#include <QApplication>

#include "platform/program_folder.h"
#include "videotool/solvane_app.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Taviro");
    const platform::ToolFolders folders = platform::ToolFoldersFor(QStringLiteral("taviro"));
    return CSolvaneApp().Run(common::ProgramFiles(folders.settings, folders.scratch));
}
