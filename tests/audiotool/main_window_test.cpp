// Melisk's main window off-screen: its texts and tabs, and playback through the player library on
// SDL's disk audio driver, where what was played is read back and compared with the ffmpeg tool's
// decoding of the same file.
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTabBar>
#include <QTimer>

#include "audiotool/settings_dlg.h"
#include "auvella/auvella.h"
#include "common/time_text.h"
#include "controls/bitmap_resources.h"
#include "controls/bitmap_slider.h"
#include "controls/check_list_ctrl.h"
#include "melisk_window.h"
#include "platform/choosers.h"
#include "platform/message_box.h"
#include "platform/profile.h"
#include "platform/shell_open.h"
#include "support/pcm.h"

using namespace melisk;
using testsupport::Pcm;

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;

class MainWindowTest : public MeliskWindowTest {
  protected:
    // Adds the beep fixture on the cut tab through the add button; adding starts playing it.
    void AddBeeps() {
        platform::ScopedChooserAnswers answers;
        answers.addOpenFilesAnswer({QString::fromStdString(testsupport::Fixture("beeps_10s.wav"))});
        Click(kAddButton);
        ASSERT_EQ(window_->currentFile().toStdString(), testsupport::Fixture("beeps_10s.wav"));
    }
    // Drags the slider's thumb through the given values, as a user does with the mouse.
    void DragSlider(std::initializer_list<int> values) {
        CBitmapSlider* slider = window_->slider();
        const int y = slider->height() / 2;
        auto at = [&](int value) { return QPoint(slider->Geometry().ValueToPixel(value), y); };
        QTest::mousePress(slider, Qt::LeftButton, {}, at(slider->GetPosition()));
        for (int value : values) {
            QMouseEvent move(QEvent::MouseMove, QPointF(at(value)), slider->mapToGlobal(QPointF(at(value))),
                             Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(slider, &move);
            QCoreApplication::processEvents();
        }
        QTest::mouseRelease(slider, Qt::LeftButton, {}, at(*(values.end() - 1)));
        QCoreApplication::processEvents();
    }
    bool WaitForPosition(int32_t ms) {
        return WaitUntil([&] { return window_->positionMs() >= ms; });
    }
    // What the device played since it was opened last, once playback has closed it.
    testsupport::Played Played() const {
        return testsupport::CutSilence(testsupport::ReadPcm(device_file_.toStdString(), kRate, kChannels));
    }
    static Pcm Reference() {
        return testsupport::DecodeWithFfmpeg(testsupport::Fixture("beeps_10s.wav"), kRate, kChannels);
    }
    // Whether all that was played equals the file from ref_frame on. A zero frame right at the start
    // is indistinguishable from the device's silence before it and is cut with it, so the played
    // samples may begin one frame later.
    static bool PlayedFrom(const testsupport::Played& played, const Pcm& reference, int64_t ref_frame) {
        for (int64_t skipped : {0, 1})
            if (testsupport::SamplesMatch(played.pcm, 0, reference, ref_frame + skipped, played.pcm.frames()))
                return true;
        return false;
    }
};

TEST_F(MainWindowTest, StartsFromTheTemplateWithTheLanguageTexts) {
    auto& w = Open();
    EXPECT_EQ(w.windowTitle(), "Melisk Audio Cutter 1.0");
    EXPECT_EQ(w.tabs()->tabText(0), "Cut");
    EXPECT_EQ(w.tabs()->tabText(1), "Merge");
    EXPECT_EQ(Text(kStartLabel), "Start:");
    EXPECT_EQ(Text(kOutputLabel), "To:");
    EXPECT_EQ(w.sponsorCaption()->text(), "Sponsor by WeChat");
    EXPECT_EQ(w.fileList()->horizontalHeaderItem(4)->text(), "Status");
    EXPECT_EQ(Control(kPlayButton)->toolTip(), "Play");
    EXPECT_EQ(w.startField()->text(), "00:00:00.000");
    EXPECT_EQ(platform::ControlAs<QComboBox>(&w, kFormatBox)->currentText(), "MP3-MPEG Layer-3 Audio(*.mp3)");
    EXPECT_FALSE(Control(kPlayButton)->isEnabled());
    EXPECT_FALSE(Control(kStopButton)->isEnabled());
    EXPECT_FALSE(w.slider()->isEnabled());
    for (int id : {kFileList, kMergeButton, kSettingButton, kFormatBox, kMergeOrderNote})
        EXPECT_FALSE(Control(id)->isVisible()) << id;
    EXPECT_TRUE(Control(kLanguageBox)->isVisible());
    // About opens the language file's home page, Find Target the output folder's text.
    QStringList opened;
    platform::SetShellOpenHandler([&](const QString& target) {
        opened << target;
        return platform::kShellOpenOk;
    });
    w.outputFolderBox()->setEditText("/tmp/somewhere");
    Click(kAboutButton);
    Click(kFindTargetButton);
    platform::SetShellOpenHandler({});
    EXPECT_EQ(opened, (QStringList{"https://www.taviro-suite.example/melisk/help.html", "/tmp/somewhere"}));
    // Enter and Escape leave the window open.
    QTest::keyClick(w.startField(), Qt::Key_Return);
    QTest::keyClick(w.startField(), Qt::Key_Escape);
    EXPECT_TRUE(w.isVisible());
}

TEST_F(MainWindowTest, PlaySelectionPlaysTheRangeAndThenStopsAsStopDoes) {
    auto& w = Open();
    AddBeeps();
    EXPECT_TRUE(w.isPlaying());
    ASSERT_EQ(w.deviceRate(), kRate);
    ASSERT_EQ(w.deviceChannels(), kChannels);
    Click(kStopButton);
    ASSERT_TRUE(w.isStopped());

    UseDeviceFile("selection.raw");
    w.startField()->setText("00:00:02.000");
    w.endField()->setText("00:00:04.500");
    EXPECT_EQ(Text(kLengthField), "00:00:02.500");
    Click(kPlaySelectionButton);
    EXPECT_TRUE(w.positionTimer()->isActive());
    ASSERT_TRUE(WaitUntil([&] { return !w.positionTimer()->isActive(); }));
    EXPECT_TRUE(w.isStopped());
    EXPECT_EQ(Text(kPositionText), "00:00:00.000 / ");
    EXPECT_EQ(Text(kDurationText), "00:00:00.000");
    EXPECT_EQ(w.slider()->GetPosition(), 0);

    const auto played = Played();
    const Pcm reference = Reference();
    EXPECT_NEAR(played.pcm.seconds(), 2.5, 0.1);
    EXPECT_TRUE(PlayedFrom(played, reference, 2 * kRate));

    // The next Play opens the file again and selects all of it.
    Click(kPlayButton);
    EXPECT_TRUE(w.isPlaying());
    EXPECT_EQ(w.startField()->text(), "00:00:00.000");
    EXPECT_EQ(w.endField()->text(), "00:00:10.000");
    EXPECT_EQ(Text(kLengthField), "00:00:10.000");
}

TEST_F(MainWindowTest, PlayAfterPauseResumesAtTheSameSample) {
    auto& w = Open();
    AddBeeps();
    ASSERT_TRUE(WaitForPosition(600));
    Click(kPlayButton);
    ASSERT_FALSE(w.isPlaying());
    EXPECT_EQ(Control(kPlayButton)->toolTip(), "Play");
    QTest::qWait(250);
    const int32_t paused_ms = w.positionMs();
    QTest::qWait(250);
    EXPECT_EQ(w.positionMs(), paused_ms);
    QTest::keyClick(w.slider(), Qt::Key_Space);  // Space plays and pauses too
    ASSERT_TRUE(w.isPlaying());
    EXPECT_EQ(Control(kPlayButton)->toolTip(), "Pause");
    ASSERT_TRUE(WaitForPosition(paused_ms + 500));
    Click(kStopButton);

    const auto played = Played();
    // One gap where the pause was; nothing lost or repeated around it.
    ASSERT_EQ(played.gap_starts.size(), 1u);
    EXPECT_NEAR(played.gap_starts[0], paused_ms * kRate / 1000, kRate / 5);
    EXPECT_TRUE(PlayedFrom(played, Reference(), 0));
}

TEST_F(MainWindowTest, DraggingTheSliderToTheMiddleContinuesFromHalfTheFile) {
    auto& w = Open();
    AddBeeps();
    ASSERT_TRUE(WaitForPosition(1300));
    CBitmapSlider* slider = w.slider();
    DragSlider({200, 300, 400, 500});
    ASSERT_NEAR(slider->GetPosition(), 500, 1);
    const int32_t half_ms = slider->GetPosition() * 10;
    EXPECT_NEAR(w.positionMs(), half_ms, 5);
    QTest::qWait(150);
    EXPECT_GE(w.positionMs(), half_ms);
    EXPECT_LT(w.positionMs(), half_ms + 400);
    ASSERT_TRUE(WaitForPosition(6500));
    Click(kStopButton);

    // Beeps 0 and 1, then from beep 5 on: every sample of the second half as the file has it.
    const auto played = Played();
    const Pcm reference = Reference();
    const auto beeps = testsupport::FindBeeps(played.pcm);
    const auto reference_beeps = testsupport::FindBeeps(reference);
    ASSERT_GE(beeps.size(), 4u);
    EXPECT_EQ(beeps[0].second, 0);
    EXPECT_EQ(beeps[1].second, 1);
    EXPECT_EQ(beeps[2].second, 5);
    EXPECT_EQ(beeps[3].second, 6);
    // A stretch well inside beep 5 equals the file's own, found where the beep lies in the file.
    const int64_t inside = beeps[2].onset_frame + kRate / 10;
    const int64_t expected = reference_beeps[5].onset_frame + kRate / 10;
    bool continues = false;
    for (int64_t at = expected - kRate / 50; at <= expected + kRate / 50 && !continues; ++at)
        continues = testsupport::SamplesMatch(played.pcm, inside, reference, at, kRate / 2);
    EXPECT_TRUE(continues);
}

TEST_F(MainWindowTest, TheEndOfTheFileStopsAsStopDoesOnTheWindowsThread) {
    auto& w = Open();
    AddBeeps();
    ASSERT_TRUE(WaitForPosition(200));
    DragSlider({900, 980});
    ASSERT_TRUE(WaitUntil([&] { return !w.isPlaying(); }));
    EXPECT_TRUE(w.isStopped());
    EXPECT_FALSE(w.positionTimer()->isActive());
    EXPECT_EQ(Text(kPositionText), "00:00:00.000 / ");
    EXPECT_FALSE(w.slider()->isEnabled());
    // The next Play starts the file again from its beginning.
    Click(kPlayButton);
    EXPECT_TRUE(w.isPlaying());
    EXPECT_LT(w.positionMs(), 1000);
}

TEST_F(MainWindowTest, SwitchingToTheMergeTabStopsPlaybackAndSwapsTheControls) {
    auto& w = Open();
    AddBeeps();
    ASSERT_TRUE(WaitForPosition(300));
    ClickTab(1);
    EXPECT_TRUE(w.isStopped());
    EXPECT_FALSE(w.isPlaying());
    EXPECT_FALSE(w.positionTimer()->isActive());
    EXPECT_EQ(Text(kPositionText), "00:00:00.000 / ");
    for (int id : {kFileList, kMergeButton, kSettingButton, kAddButton, kDeleteButton, kOutputFolderBox})
        EXPECT_TRUE(Control(id)->isVisible()) << id;
    for (int id : {kCutButton, kPositionSlider, kPlayButton, kStartField, kAboutButton, kTimeHint})
        EXPECT_FALSE(Control(id)->isVisible()) << id;
    EXPECT_EQ(Text(kCurrentFileText), "");
    ClickTab(0);
    EXPECT_TRUE(Control(kCutButton)->isVisible());
    EXPECT_FALSE(Control(kFileList)->isVisible());
    EXPECT_EQ(Text(kCurrentFileText), w.currentFile());
}

TEST_F(MainWindowTest, PointsTakeThePlaybackPositionAndAnEndBeforeTheStartSwaps) {
    auto& w = Open();
    AddBeeps();
    ASSERT_TRUE(WaitForPosition(1000));
    Click(kPlayButton);  // pause, so the position holds still
    const QString at = Text(kPositionText);
    Click(kStartPointButton);
    EXPECT_EQ(w.startField()->text(), at);
    EXPECT_EQ(w.endField()->text(), "00:00:10.000");  // the start point resets the end
    w.startField()->setText("00:00:08.000");
    Click(kEndPointButton);
    EXPECT_EQ(w.startField()->text(), at);
    EXPECT_EQ(w.endField()->text(), "00:00:08.000");
    w.endField()->setText("00:00:00.500");
    EXPECT_EQ(Text(kLengthField), "00:00:00.000");
}

TEST_F(MainWindowTest, AddStopsAtAFileThatCannotBeReadAndDeleteRemovesTheSelectedRow) {
    auto& w = Open();
    ClickTab(1);
    platform::ScopedMessageRecorder messages;
    const QString bad = QString::fromStdString(testsupport::Fixture("not_media.mp4"));
    w.AddFilePaths({QString::fromStdString(testsupport::Fixture("tone.ogg")), bad,
                    QString::fromStdString(testsupport::Fixture("tone.flac"))});
    ASSERT_EQ(w.fileList()->rowCount(), 1);
    EXPECT_EQ(messages.lastText(),
              "The file not_media.mp4 cannot be opened. It is not an audio file this program can read.");
    EXPECT_EQ(w.fileList()->GetItemText(0, 1), "00:00:00.000");
    EXPECT_EQ(w.fileList()->GetItemText(0, 2), "00:00:03.000");
    EXPECT_EQ(w.fileList()->GetItemText(0, 4), "Ready");
    EXPECT_EQ(w.fileList()->GetItemText(0, 5), "3000");
    EXPECT_EQ(w.fileList()->item(0, 0)->toolTip(), w.fileList()->GetItemText(0, 0));
    EXPECT_TRUE(w.fileList()->GetCheck(0));
    // The next add dialog opens where files were added from.
    {
        platform::ScopedChooserAnswers answers;
        Click(kAddButton);
        ASSERT_EQ(answers.openFilesFolders().size(), 1);
        EXPECT_EQ(answers.openFilesFolders()[0],
                  QFileInfo(QString::fromStdString(testsupport::Fixture("tone.ogg"))).absolutePath());
    }

    // The Delete key acts on the list even from the output folder box, and leaves its text alone.
    w.AddFilePaths({QString::fromStdString(testsupport::Fixture("tone.flac"))});
    w.outputFolderBox()->setEditText("abc");
    w.fileList()->selectRow(0);
    QTest::keyClick(w.outputFolderBox()->lineEdit(), Qt::Key_Delete);
    EXPECT_EQ(w.outputFolderBox()->currentText(), "abc");
    ASSERT_EQ(w.fileList()->rowCount(), 1);
    EXPECT_TRUE(w.fileList()->GetItemText(0, 0).endsWith("tone.flac"));
}

// A file that does not exist, named at the add or deleted after it, is not called unreadable.
TEST_F(MainWindowTest, AFileThatDoesNotExistIsReportedAsMissing) {
    auto& w = Open();
    platform::ScopedMessageRecorder messages;
    const QString dir = QString::fromStdString(testsupport::ScratchDir("melisk_missing"));
    w.AddFilePaths({dir + "/never_there.mp3"});
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.lastText(), "The file never_there.mp3 does not exist.");

    const QString copy = dir + "/deleted.ogg";
    ASSERT_TRUE(QFile::copy(QString::fromStdString(testsupport::Fixture("tone.ogg")), copy));
    {
        platform::ScopedChooserAnswers answers;
        answers.addOpenFilesAnswer({copy});
        Click(kAddButton);
    }
    ASSERT_TRUE(w.isPlaying());
    Click(kStopButton);
    ASSERT_TRUE(QFile::remove(copy));
    Click(kPlayButton);
    EXPECT_FALSE(w.isPlaying());
    ASSERT_EQ(messages.messages().size(), 2u);
    EXPECT_EQ(messages.lastText(), "The file deleted.ogg does not exist.");
}

TEST_F(MainWindowTest, SettingsDialogOpensOnTheDefaultsAndOnlyOkChangesTheSettings) {
    auto& w = Open();
    OutputSettings& s = w.outputSettings();
    auto choose = [&](CSettings& d, const char* rate, const char* bits, const char* channels, int button) {
        d.show();
        EXPECT_EQ(d.combo(CSettings::kBitRate)->currentText(), "128 kbps");
        EXPECT_EQ(d.combo(CSettings::kSampleRate)->currentText(), "44100 Hz");
        EXPECT_EQ(d.combo(CSettings::kChannels)->currentText(), "2 Channel Stereo");
        d.combo(CSettings::kSampleRate)->setCurrentText(rate);
        d.combo(CSettings::kBitRate)->setCurrentText(bits);
        d.combo(CSettings::kChannels)->setCurrentText(channels);
        QTest::mouseClick(platform::ControlById(&d, button), Qt::LeftButton);
    };
    {
        CSettings d(w.programFiles().folder(), &s, &w);
        EXPECT_EQ(d.windowTitle(), "Output settings");
        choose(d, "48000 Hz", "320 kbps", "1 Channel Mono", CSettings::kOk);
    }
    EXPECT_EQ(s.sample_rate, 48000);
    EXPECT_EQ(s.bit_rate, 320000);
    EXPECT_EQ(s.channels, 1);
    {
        CSettings d(w.programFiles().folder(), &s, &w);
        choose(d, "32000 Hz", "96 kbps", "2 Channel Stereo", CSettings::kCancel);
    }
    EXPECT_EQ(s.sample_rate, 48000);
    EXPECT_EQ(s.bit_rate, 320000);
    EXPECT_EQ(s.channels, 1);
}

// MP3 below 32 kHz goes only to 160 kbps: the list offers no more, and a higher choice comes down to
// the highest allowed rather than being lowered silently by the encoder.
TEST_F(MainWindowTest, SettingsDialogOffersOnlyTheBitRatesTheSampleRateAllows) {
    auto& w = Open();
    CSettings d(w.programFiles().folder(), &w.outputSettings(), &w);
    d.show();
    QComboBox* bits = d.combo(CSettings::kBitRate);
    d.combo(CSettings::kSampleRate)->setCurrentText("44100 Hz");
    EXPECT_EQ(bits->itemText(bits->count() - 1), "320 kbps");
    bits->setCurrentText("256 kbps");
    d.combo(CSettings::kSampleRate)->setCurrentText("22050 Hz");
    EXPECT_EQ(bits->itemText(bits->count() - 1), "160 kbps");
    EXPECT_EQ(bits->currentText(), "160 kbps");
    d.combo(CSettings::kSampleRate)->setCurrentText("32000 Hz");
    EXPECT_EQ(bits->itemText(bits->count() - 1), "320 kbps");
    EXPECT_EQ(bits->currentText(), "160 kbps");
    QTest::mouseClick(platform::ControlById(&d, CSettings::kOk), Qt::LeftButton);
    EXPECT_EQ(w.outputSettings().bit_rate, 160000);
}

// The channel list is in the chosen language; the choice means the same in every language.
TEST_F(MainWindowTest, SettingsDialogNamesTheChannelsInTheChosenLanguage) {
    platform::WriteProfileString("LANGUAGE", "file", "chinese.ini", Path("setting.ini"));
    auto& w = Open();
    CSettings d(w.programFiles().folder(), &w.outputSettings(), &w);
    d.show();
    QComboBox* channels = d.combo(CSettings::kChannels);
    ASSERT_EQ(channels->count(), 2);
    EXPECT_EQ(channels->itemText(0), QString::fromUtf8("1 声道 单声道"));
    EXPECT_EQ(channels->itemText(1), QString::fromUtf8("2 声道 立体声"));
    channels->setCurrentIndex(0);
    QTest::mouseClick(platform::ControlById(&d, CSettings::kOk), Qt::LeftButton);
    EXPECT_EQ(w.outputSettings().channels, 1);
}

TEST(OutputSettingsTexts, ReadTheirNumbers) {
    EXPECT_EQ(SettingNumber("320 kbps"), 320000);
    EXPECT_EQ(SettingNumber("48000 Hz"), 48000);
    EXPECT_EQ(SettingNumber("fast"), 0);
    EXPECT_EQ(SettingNumber(""), 0);
    EXPECT_EQ(ChannelCount("5.1 Channel", 2), 6);
    EXPECT_EQ(ChannelCount("Quad", 1), 1);
}

// The add dialog's first filter takes every kind of audio file the tests make and the engine reads;
// the last one takes any file.
TEST_F(MainWindowTest, TheAddDialogOffersEveryAudioFormatAndAllFiles) {
    Open();
    platform::ScopedChooserAnswers answers;
    Click(kAddButton);
    ASSERT_EQ(answers.openFilesFilters().size(), 1);
    const QStringList filters = answers.openFilesFilters().front().split(";;");
    for (const char* extension :
         {"aac", "ac3", "aiff", "au", "flac", "m4a", "mp2", "mp3", "ogg", "opus", "wav", "wma"})
        EXPECT_TRUE(filters.front().contains(QStringLiteral(" *.%1 ").arg(QLatin1String(extension))) ||
                    filters.front().contains(QStringLiteral("(*.%1 ").arg(QLatin1String(extension))))
            << extension << " missing from " << filters.front().toStdString();
    EXPECT_EQ(filters.back(), "All files (*)");
}

// The "i" picture's glyph is part of the button: pointing at it shows the tooltip, and a click on it
// opens the address, or says that no browser could be started, as the help link does.
TEST_F(MainWindowTest, AboutButtonHasATooltipAndReportsAMissingBrowser) {
    auto& w = Open();
    auto* about = static_cast<CControlButton*>(Control(kAboutButton));
    EXPECT_EQ(about->toolTip(), "Help");
    // The glyph stands at the centre of the picture, which is drawn from the button's top-left.
    const QImage picture = LoadBitmapResourceImage(kAboutImage);
    const QPoint glyph(picture.width() / 2, picture.height() / 2);
    ASSERT_TRUE(about->Shape().contains(glyph));

    platform::ScopedMessageRecorder messages;
    QStringList opened;
    platform::SetShellOpenHandler([&](const QString& target) {
        opened << target;
        return platform::kShellNoAssociation;
    });
    const QByteArray path = qgetenv("PATH");
    qunsetenv("BROWSER");
    qputenv("PATH", Path("no-browser").toUtf8());  // no x-www-browser either
    QTest::mouseClick(about, Qt::LeftButton, {}, glyph);
    qputenv("PATH", path);
    platform::SetShellOpenHandler({});
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(messages.lastText(), "No web browser could be started to open this address:\n" + opened[0]);
    EXPECT_EQ(opened[0], w.text("APPLICATION", "url"));
}

TEST_F(MainWindowTest, TypedTimesMoveTheSlidersMarks) {
    Open();
    AddBeeps();
    // The end field shows the whole file once it is loaded.
    const int32_t d = TextToTime(window_->endField()->text().toStdString());
    ASSERT_NEAR(d, 10000, 100);
    for (auto [field, text] :
         {std::pair{window_->startField(), "00:00:02.000"}, {window_->endField(), "00:00:05.500"}}) {
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
    }
    EXPECT_EQ(window_->slider()->GetSelectionStart(), 2000 * 1000 / d);
    EXPECT_EQ(window_->slider()->GetSelectionEnd(), 5500 * 1000 / d);
    EXPECT_EQ(window_->slider()->GetSelectionMode(), 2);
}

// The language is chosen on screen: seven languages, applied at once and remembered.
TEST_F(MainWindowTest, TheLanguageBoxSwitchesTheTextsAtOnceAndRemembersTheChoice) {
    auto& w = Open();
    QComboBox* box = w.languageBox();
    ASSERT_TRUE(box->isVisible());
    ASSERT_EQ(box->count(), 7);
    EXPECT_EQ(box->currentIndex(), 0);
    box->setCurrentIndex(6);
    EXPECT_EQ(w.windowTitle(), QString::fromUtf8("Melisk 音频剪切合并 1.0"));
    EXPECT_EQ(platform::ReadProfileString("LANGUAGE", "file", "", Path("setting.ini")), "chinese.ini");
}

}  // namespace
