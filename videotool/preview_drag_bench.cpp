// Measures how many preview frames a second the cut tab shows while the slider's thumb is dragged
// across a video: usage `taviro_preview_bench VIDEO [STEPS]`. The real window is driven off-screen:
// each mouse move on the slider goes through the slider's queued track report, the preview decoder,
// the BMP file and the repaint, exactly as a user's drag does.

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "controls/bitmap_slider.h"
#include "engine/preview.h"
#include "engine/probe.h"
#include "platform/choosers.h"
#include "videotool/solvane_dlg.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s VIDEO [STEPS]\n", argv[0]);
        return 2;
    }
    const int steps = argc > 2 ? std::max(2, atoi(argv[2])) : 100;
    QTemporaryDir folder;
    CSolvaneDlg window(folder.path());
    window.show();
    {
        platform::ScopedChooserAnswers answers;
        answers.addOpenFilesAnswer({QString::fromLocal8Bit(argv[1])});
        window.AddVideos();
    }
    if (window.currentFile().isEmpty()) {
        std::fprintf(stderr, "%s could not be loaded\n", argv[1]);
        return 1;
    }
    CBitmapSlider* slider = window.slider();
    int frames = 0;
    QObject::connect(slider, &CBitmapSlider::sliderTrack, [&frames] { ++frames; });
    const int left = slider->Geometry().LowestThumbCentre();
    const int right = slider->Geometry().HighestThumbCentre();
    const int y = slider->height() / 2;

    QElapsedTimer timer;
    timer.start();
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(left, y));
    for (int i = 1; i <= steps; ++i) {
        QTest::mouseMove(slider, QPoint(left + (right - left) * i / steps, y));
        // The track report is queued; handling it decodes and draws one frame.
        QCoreApplication::processEvents();
    }
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(right, y));
    QCoreApplication::processEvents();
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("%d frames shown in %.2f s: %.1f frames per second (%s)\n", frames, seconds, frames / seconds,
                argv[1]);

    // The decoder's share: the same positions through DecodePreviewFrame alone.
    const std::string video = argv[1];
    const double duration_s = ProbeMediaFile(video).duration_us / 1e6;
    const std::string bitmap = folder.filePath("decoder.bmp").toStdString();
    timer.restart();
    for (int i = 1; i <= steps; ++i) DecodePreviewFrame({video, duration_s * i / steps, bitmap});
    const double decode_s = timer.nsecsElapsed() / 1e9;
    std::printf("decoder alone: %d frames in %.2f s: %.1f frames per second\n", steps, decode_s,
                steps / decode_s);
    return 0;
}
