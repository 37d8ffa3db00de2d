// Melisk's cut and merge commands run from the window off-screen: what each refusal says, and whole
// jobs whose outputs the ffprobe tool judges.
#include "audiotool/job_commands.h"

#include <QApplication>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <QUrl>

#include "audiotool/settings_dlg.h"
#include "common/av_convert_dlg.h"
#include "controls/av_donate_dlg.h"
#include "controls/check_list_ctrl.h"
#include "melisk_window.h"
#include "platform/message_box.h"
#include "platform/profile.h"
#include "platform/shell_open.h"
#include "support/ffprobe.h"

using namespace melisk;

namespace {

QByteArray Sha1(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1);
}

class JobCommandsTest : public MeliskWindowTest {
  protected:
    void SetUp() override {
        MeliskWindowTest::SetUp();
        platform::SetShellOpenHandler([this](const QString& target) {
            opened_ << target;
            return platform::kShellOpenOk;
        });
    }
    void TearDown() override {
        MeliskWindowTest::TearDown();
        platform::SetShellOpenHandler({});
    }
    QString Fixture(const char* name) const { return QString::fromStdString(testsupport::Fixture(name)); }

    QStringList opened_;
};

TEST_F(JobCommandsTest, RefusalsSayWhyAndStartNothing) {
    auto& w = Open();
    platform::ScopedMessageRecorder messages;
    w.outputFolderBox()->setEditText(Path("out"));
    Click(kCutButton);
    EXPECT_EQ(messages.lastText(), "Please add an audio file first.");

    w.AddFilePaths({Fixture("tone.ogg")});
    Click(kStopButton);
    struct Case {
        QString folder, start, end, message;
    };
    const Case cases[] = {
        {"\\", "00:00:00.000", "00:00:01.000", ""},
        {Path("missing"), "00:00:00.000", "00:00:01.000",
         "The output folder does not exist. Please choose another folder."},
        {"/proc", "00:00:00.000", "00:00:01.000",
         "The output folder cannot be written to. Please choose another folder with the Browse button."},
        {Path("out"), "00:00:02.000", "00:00:02.000", "The end time must lie after the start time."},
        {Path("out"), "00:00:03.500", "00:00:04.000", "The start time lies beyond the end of the file."},
        {Path("out"), "1:2", "00:00:01.000",
         "Please type the start and end times as HH:MM:SS.mmm, for example 00:01:30.000."},
    };
    for (const Case& c : cases) {
        messages.clear();
        w.outputFolderBox()->setEditText(c.folder);
        w.startField()->setText(c.start);
        w.endField()->setText(c.end);
        Click(kCutButton);
        EXPECT_EQ(messages.lastText(), c.message) << c.folder.toStdString();
        EXPECT_FALSE(w.jobCommands()->progressDialog()->isVisible());
    }
    EXPECT_TRUE(QDir(Path("out")).isEmpty());

    ClickTab(1);
    messages.clear();
    Click(kMergeButton);
    EXPECT_EQ(messages.lastText(), "Please add an audio file first.");
    w.AddFilePaths({Fixture("tone.ogg"), Fixture("tone.flac")});
    w.fileList()->SetCheck(1, false);
    w.outputFolderBox()->setEditText(Path("out"));
    Click(kMergeButton);
    EXPECT_EQ(messages.lastText(), "Please check at least two files to merge.");
    EXPECT_TRUE(opened_.isEmpty());
}

TEST_F(JobCommandsTest, CutOfAMislabelledMp3KeepsItsInputAndNamesTheOutputAfterIt) {
    // An .mp3 whose audio is AAC, cut into its own folder.
    const QString song = Path("out/song.mp3");
    ASSERT_TRUE(QFile::copy(Fixture("aac_named.mp3"), song));
    const QByteArray before = Sha1(song);
    auto& w = Open();
    w.AddFilePaths({song});
    ASSERT_TRUE(w.currentProbe().aac_in_mp3);
    w.outputFolderBox()->setEditText(Path("out"));
    w.startField()->setText("00:00:00.500");
    w.endField()->setText("00:00:02.000");

    platform::ScopedMessageRecorder messages;
    Click(kCutButton);
    EXPECT_EQ(messages.lastText(), "The audio was cut successfully.");
    EXPECT_EQ(opened_, QStringList{Path("out")});
    EXPECT_EQ(w.lastCutOutput(), Path("out/song(0).mp3"));
    EXPECT_EQ(Sha1(song), before);
    EXPECT_EQ(QDir(Path("out")).entryList(QDir::Files), (QStringList{"song(0).mp3", "song.mp3"}));

    const auto probed = testsupport::FFprobe(Path("out/song(0).mp3").toStdString());
    ASSERT_TRUE(probed.ok);
    ASSERT_NE(probed.First("audio"), nullptr);
    EXPECT_EQ(probed.First("audio")->codec_name, "aac");
    EXPECT_NEAR(testsupport::DecodedAudioSeconds(Path("out/song(0).mp3").toStdString()), 1.5, 0.1);
}

TEST_F(JobCommandsTest, MergeJoinsTheCheckedRowsIntoOneMp3WithTheChosenSettings) {
    auto& w = Open();
    ClickTab(1);
    w.AddFilePaths(
        {Fixture("tone.ogg"), Fixture("tone.wma"), Fixture("tone_22k_mono.wav"), Fixture("tone.flac")});
    w.fileList()->SetCheck(1, false);
    w.outputFolderBox()->setEditText(Path("out"));
    OutputSettings& s = w.outputSettings();
    {
        CSettings d(w.programFiles().folder(), &s, &w);
        d.show();
        d.combo(CSettings::kSampleRate)->setCurrentText("22050 Hz");
        d.combo(CSettings::kBitRate)->setCurrentText("64 kbps");
        d.combo(CSettings::kChannels)->setCurrentText("1 Channel Mono");
        d.OnOk();
    }

    platform::ScopedMessageRecorder messages;
    // The progress dialog shows the job while it runs.
    QString seen_line;
    QTimer peek;
    QObject::connect(&peek, &QTimer::timeout, [&] {
        if (w.jobCommands()->progressDialog()->isVisible() && seen_line.isEmpty())
            seen_line = w.jobCommands()->progressDialog()->windowTitle();
    });
    peek.start(20);
    Click(kMergeButton);
    peek.stop();
    EXPECT_EQ(seen_line, "Melisk Audio Cutter");
    EXPECT_EQ(messages.lastText(), "The files were merged successfully.");
    EXPECT_EQ(opened_, QStringList{Path("out")});

    const QString merged = Path("out/tone.mp3");
    ASSERT_TRUE(QFile::exists(merged));
    const auto probed = testsupport::FFprobe(merged.toStdString());
    ASSERT_TRUE(probed.ok);
    ASSERT_NE(probed.First("audio"), nullptr);
    EXPECT_EQ(probed.First("audio")->codec_name, "mp3");
    EXPECT_EQ(probed.First("audio")->sample_rate, 22050);
    EXPECT_EQ(probed.First("audio")->channels, 1);
    EXPECT_NEAR(testsupport::DecodedAudioSeconds(merged.toStdString()), 9.0, 0.15);
    // Merged rows are done and unchecked; the unchecked row is as it was.
    for (int row : {0, 2, 3}) {
        EXPECT_EQ(w.fileList()->GetItemText(row, 4), "Done") << row;
        EXPECT_FALSE(w.fileList()->GetCheck(row)) << row;
    }
    EXPECT_EQ(w.fileList()->GetItemText(1, 4), "Ready");
}

TEST_F(JobCommandsTest, AFileGoneBeforeTheMergeFailsAloneAndEveryRowIsFinalBeforeTheReport) {
    auto& w = Open();
    ClickTab(1);
    QDir().mkpath(Path("in"));
    for (const char* name : {"tone.ogg", "tone.wma", "tone.flac"})
        ASSERT_TRUE(QFile::copy(Fixture(name), Path("in/") + name));
    w.AddFilePaths({Path("in/tone.ogg"), Path("in/tone.wma"), Path("in/tone.flac")});
    ASSERT_EQ(w.fileList()->rowCount(), 3);
    ASSERT_TRUE(QFile::remove(Path("in/tone.wma")));
    w.outputFolderBox()->setEditText(Path("out"));

    // The help address opens right after the outcome message: the rows then are what the user saw.
    QStringList rows_at_report;
    platform::SetShellOpenHandler([&](const QString& target) {
        opened_ << target;
        for (int row = 0; row < w.fileList()->rowCount(); ++row)
            rows_at_report << w.fileList()->GetItemText(row, 4);
        return platform::kShellOpenOk;
    });
    platform::ScopedMessageRecorder messages;
    Click(kMergeButton);
    EXPECT_EQ(messages.lastText(), "The files could not be merged. The help page will open in your browser.");
    EXPECT_EQ(rows_at_report, (QStringList{"Done", "Failed", "Done"}));
    EXPECT_FALSE(w.fileList()->GetCheck(0));
    EXPECT_TRUE(w.fileList()->GetCheck(1)) << "a failed file stays checked for another try";
    EXPECT_FALSE(w.fileList()->GetCheck(2));
    // The files either side of the missing one are in the output.
    EXPECT_NEAR(testsupport::DecodedAudioSeconds(Path("out/tone.mp3").toStdString()), 6.0, 0.3);
}

TEST_F(JobCommandsTest, CopyEncoderJoinsMp3FramesOrSaysWhichFileDiffers) {
    auto& w = Open();
    ClickTab(1);
    w.AddFilePaths({Fixture("join_a.mp3"), Fixture("join_mono.mp3"), Fixture("join_b.mp3")});
    w.outputFolderBox()->setEditText(Path("out"));
    {
        CSettings d(w.programFiles().folder(), &w.outputSettings(), &w);
        d.show();
        QComboBox* encoder = d.combo(CSettings::kEncoder);
        ASSERT_EQ(encoder->count(), 2);
        EXPECT_EQ(encoder->itemText(CSettings::kCopyMp3), "MP3 (copy, no re-encoding)");
        encoder->setCurrentIndex(CSettings::kCopyMp3);
        EXPECT_FALSE(d.combo(CSettings::kBitRate)->isEnabled());
        d.OnOk();
    }
    ASSERT_TRUE(w.outputSettings().copy);

    platform::ScopedMessageRecorder messages;
    Click(kMergeButton);
    EXPECT_EQ(messages.lastText(),
              "These files cannot be joined without re-encoding: " + Fixture("join_mono.mp3") +
                  ": it has 1 channel(s), the first file has 2. Choose MP3 in the output "
                  "settings to re-encode them.");
    EXPECT_FALSE(w.jobCommands()->progressDialog()->isVisible());
    EXPECT_TRUE(QDir(Path("out")).isEmpty());

    w.fileList()->SetCheck(1, false);
    Click(kMergeButton);
    EXPECT_EQ(messages.lastText(), "The files were merged successfully.");
    const auto probed = testsupport::FFprobe(Path("out/join_a.mp3").toStdString());
    ASSERT_NE(probed.First("audio"), nullptr);
    // The files' own 44.1 kHz stereo, not the settings' lists.
    EXPECT_EQ(probed.First("audio")->sample_rate, 44100);
    EXPECT_EQ(probed.First("audio")->channels, 2);
}

TEST_F(JobCommandsTest, DueSponsorshipFetchesItsFilesAtStartAndPromptsBeforeAJob) {
    // The maker's site, served from a folder.
    const QString site = Path("site");
    QDir().mkpath(site + "/languages/melisk");
    for (const char* name : {"weixin.jpg", "weixin1.jpg", "zfb.jpg"}) {
        QFile f(site + "/languages/melisk/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(name);
    }
    QFile::copy(Path("languages/chinese.ini"), site + "/languages/melisk/chinese.ini");
    qputenv("SUITE_WEB_BASE", QUrl::fromLocalFile(site + "/").toString().toUtf8());
    platform::WriteProfileString("TIMES", "time", "0", Path("setting.ini"));
    // A countdown of one second keeps the test short.
    platform::WriteProfileString("TIMES", "time", "1", site + "/languages/melisk/chinese.ini");

    auto& w = Open();
    qunsetenv("SUITE_WEB_BASE");
    for (const char* name : {"weixin.jpg", "weixin1.jpg", "zfb.jpg", "languages/chinese.ini"})
        EXPECT_TRUE(QFile::exists(Path(name))) << name;
    EXPECT_EQ(w.sponsorship(), 0);

    // The prompt comes first, then the command's own check; its confirm button ends the prompt's turn.
    platform::ScopedMessageRecorder messages;
    QTimer confirm;
    QObject::connect(&confirm, &QTimer::timeout, [&] {
        CAVDonateDlg* prompt = w.donateDialog();
        if (prompt->isVisible() && prompt->doneButton()->isEnabled()) prompt->doneButton()->click();
    });
    confirm.start(50);
    Click(kCutButton);
    EXPECT_EQ(messages.lastText(), "Please add an audio file first.");
    EXPECT_EQ(w.sponsorship(), 1);
    EXPECT_EQ(platform::ReadProfileInt("TIMES", "time", 0, Path("setting.ini")), 1);
    EXPECT_EQ(w.donateDialog()->windowTitle(), QString::fromUtf8("我们需要您的赞助，谢谢您的支持！"));
    messages.clear();
    Click(kCutButton);
    EXPECT_EQ(messages.messages().size(), 1u);
}

}  // namespace
