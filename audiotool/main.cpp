// Melisk, the audio tool. Files named on the command line are added at start.
#include <QApplication>
#include <QFileInfo>
#include <QUrl>

#include "audiotool/solvane_app.h"
#include "platform/program_folder.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Melisk");
    QStringList files;
    for (const QString& arg : app.arguments().mid(1)) {
        // File managers may pass file: addresses instead of paths.
        const QString path = arg.startsWith(QLatin1String("file:")) ? QUrl(arg).toLocalFile() : arg;
        if (!path.isEmpty()) files << QFileInfo(path).absoluteFilePath();
    }
    // Melisk makes no scratch files: its folder holds all it writes.
    return melisk::CSolvaneApp().Run(platform::ToolFoldersFor(QStringLiteral("melisk")).settings, files);
}
