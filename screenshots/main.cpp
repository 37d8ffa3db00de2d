// make_screenshots OUTDIR [PAGE...]: renders every gallery page (or the named ones) into
// OUTDIR/<page>/, off-screen.

#include <QApplication>
#include <QDir>
#include <cstdio>

#include "screenshots/gallery.h"

namespace {

// The off-screen platform warns about every fixed-size window; nothing to act on here.
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("propagateSizeHints"))) return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

}  // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(QuietHandler);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_screenshots OUTDIR [PAGE...]\n");
        return 2;
    }
    // Absolute, because some pages change the current folder while they render.
    const QDir out(QDir(QString::fromLocal8Bit(argv[1])).absolutePath());
    QStringList wanted;
    for (int i = 2; i < argc; ++i) wanted << QString::fromLocal8Bit(argv[i]);

    bool ok = true;
    for (const gallery::Page& page : gallery::Pages()) {
        if (!wanted.isEmpty() && !wanted.contains(page.name)) continue;
        if (!out.mkpath(page.name)) {
            std::fprintf(stderr, "cannot create %s\n", qPrintable(out.filePath(page.name)));
            ok = false;
            continue;
        }
        if (!page.render(QDir(out.filePath(page.name)))) {
            std::fprintf(stderr, "page %s failed\n", qPrintable(page.name));
            ok = false;
        }
    }
    return ok ? 0 : 1;
}
