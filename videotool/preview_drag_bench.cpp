// Measures how many preview pictures a second the cut tab shows while the slider's thumb is dragged
// across a video and back: usage `taviro_preview_bench VIDEO [STEPS]`. The real window is driven off-screen:
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

    // One drag from `from` to `to` in `steps` mouse moves; previews shown per second.
    auto drag = [&](int from, int to) {
        frames = 0;
        QElapsedTimer timer;
        timer.start();
        QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(from, y));
        for (int i = 1; i <= steps; ++i) {
            QTest::mouseMove(slider, QPoint(from + (to - from) * i / steps, y));
            // The track report is queued; handling it decodes and draws one frame.
            QCoreApplication::processEvents();
        }
        QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(to, y));
        QCoreApplication::processEvents();
        return frames / (timer.nsecsElapsed() / 1e9);
    };
    // The first pass meets every key frame for the first time; dragging back over the same
    // positions meets them again.
    const double first = drag(left, right);
    const double again = drag(right, left);
    window.WaitForPreviewBitmap();
    std::printf("first pass: %.1f previews per second\n", first);
    std::printf("revisits: %.1f previews per second\n", again);

    // The decoder's share: the same positions through the one-shot DecodePreviewFrame.
    const std::string video = argv[1];
    const double duration_s = ProbeMediaFile(video).duration_us / 1e6;
    const std::string bitmap = folder.filePath("decoder.bmp").toStdString();
    QElapsedTimer timer;
    timer.start();
    for (int i = 1; i <= steps; ++i) DecodePreviewFrame({video, duration_s * i / steps, bitmap});
    const double decode_s = timer.nsecsElapsed() / 1e9;
    std::printf("one-shot decoder: %d pictures in %.2f s: %.1f per second\n", steps, decode_s,
                steps / decode_s);
    return 0;
}
