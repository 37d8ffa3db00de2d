// The waveform on the audio tool's cut tab, driven as a user does: a file added while another's
// waveform is computing, handles dragged, a click on the sound.

#include <QLineEdit>
#include <QProcess>
#include <QTest>

#include "audiotool/waveform_source.h"
#include "common/time_text.h"
#include "controls/bitmap_slider.h"
#include "controls/waveform_view.h"
#include "melisk_window.h"
#include "support/run.h"

namespace {

int32_t FieldMs(const QLineEdit* field) { return TextToTime(field->text().toStdString()); }

class WaveformWindowTest : public MeliskWindowTest {
  protected:
    // Press on the view at one x, move to another in steps, release there.
    void Drag(CWaveformView* view, int from_x, int to_x) {
        const int y = view->height() / 2;
        QTest::mousePress(view, Qt::LeftButton, {}, QPoint(from_x, y));
        for (int i = 1; i <= 4; ++i) QTest::mouseMove(view, QPoint(from_x + (to_x - from_x) * i / 4, y));
        QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(to_x, y));
    }
};

TEST_F(WaveformWindowTest, AnotherFileCancelsTheOldWaveformThenHandlesAndClicksDrive) {
    // Long enough that its waveform is still computing when the next file comes: an hour of 44.1 kHz
    // stereo at a low bit rate, a minute encoded and repeated by copying.
    const std::string minute = Path("minute.mp3").toStdString(), long_file = Path("long.mp3").toStdString();
    auto made = testsupport::RunCommand({"ffmpeg", "-nostdin", "-v", "error", "-f", "lavfi", "-i",
                                         "sine=frequency=300:sample_rate=44100:duration=60", "-ac", "2",
                                         "-c:a", "libmp3lame", "-b:a", "32k", minute});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    made = testsupport::RunCommand(
        {"ffmpeg", "-nostdin", "-v", "error", "-stream_loop", "59", "-i", minute, "-c", "copy", long_file});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    melisk::CSolvaneDlg& w = Open();
    CWaveformView* view = w.waveform();
    ASSERT_TRUE(view->isVisible());

    w.AddFilePaths({QString::fromStdString(long_file)});
    const std::shared_ptr<melisk::EngineWaveform> old = w.waveformData();
    ASSERT_TRUE(old);
    // Even finding the length runs beside the window: it starts, then draws.
    ASSERT_TRUE(WaitUntil([&] { return old->started(); }));
    ASSERT_TRUE(old->ok());
    ASSERT_FALSE(old->complete());
    EXPECT_EQ(view->data(), old);

    w.AddFilePaths({QString::fromStdString(testsupport::Fixture("beeps_10s.mp3"))});
    const std::shared_ptr<melisk::EngineWaveform> now = w.waveformData();
    ASSERT_NE(now, old);
    EXPECT_EQ(view->data(), now);
    EXPECT_TRUE(old->cancelled());
    const double stopped_at = old->summary()->doneFraction();
    QTest::qWait(300);
    EXPECT_EQ(old->summary()->doneFraction(), stopped_at) << "the old workers still ran";
    EXPECT_FALSE(old->complete());
    EXPECT_LT(stopped_at, 1.0);
    ASSERT_TRUE(WaitUntil([&] { return now->complete() && !view->viewport().empty(); }));

    // Play set the range to the whole file; drag its end handle to the middle and its start handle
    // to a quarter: the fields, the length and the slider's marks follow.
    ASSERT_TRUE(w.isPlaying());
    const int width = view->width();
    EXPECT_EQ(view->rangeStartMs(), 0);
    EXPECT_EQ(view->rangeEndMs(), FieldMs(w.endField()));
    Drag(view, static_cast<int>(view->viewport().XOfMs(view->rangeEndMs())) - 1, width / 2);
    const int32_t end_ms = FieldMs(w.endField());
    EXPECT_EQ(end_ms, view->rangeEndMs());
    EXPECT_NEAR(end_ms, view->viewport().MsAtX(width / 2), 1);
    EXPECT_NEAR(w.slider()->GetSelectionEnd(), 500, 5);
    Drag(view, 1, width / 4);
    const int32_t start_ms = FieldMs(w.startField());
    EXPECT_EQ(start_ms, view->rangeStartMs());
    EXPECT_NEAR(start_ms, view->viewport().MsAtX(width / 4), 1);
    EXPECT_NEAR(w.slider()->GetSelectionStart(), 250, 5);
    EXPECT_EQ(Text(melisk::kLengthField), QString::fromStdString(TimeToText(end_ms - start_ms)));

    // A click at three quarters plays on from there: the player says so at its next tick.
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(width * 3 / 4, view->height() / 2));
    const int64_t clicked_ms = view->viewport().MsAtX(width * 3 / 4);
    QTest::qWait(150);
    w.OnPositionTimer();
    EXPECT_GE(w.positionMs(), clicked_ms - 50);
    EXPECT_LT(w.positionMs(), clicked_ms + 1500);
    EXPECT_EQ(view->positionMs(), w.positionMs());
    EXPECT_NEAR(w.slider()->GetPosition(), 750, 60);
    EXPECT_EQ(FieldMs(w.startField()), start_ms) << "a click is no handle";

    // Play Selection plays the dragged range.
    Click(melisk::kPlaySelectionButton);
    QTest::qWait(150);
    w.OnPositionTimer();
    EXPECT_GE(w.positionMs(), start_ms - 50);
    EXPECT_LT(w.positionMs(), end_ms);
}

}  // namespace
