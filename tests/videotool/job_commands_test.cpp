// Cut and merge from the real main window, off-screen, as a user does them: add videos, choose the
// range, press the button, confirm the settings dialog, wait for the progress dialog to close. The
// outputs are judged by ffprobe.
#include "videotool/job_commands.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <functional>

#include "common/av_convert_dlg.h"
#include "common/time_text.h"
#include "controls/bitmap_slider.h"
#include "controls/check_list_ctrl.h"
#include "controls/control_button.h"
#include "controls/label.h"
#include "platform/choosers.h"
#include "platform/dialog_template.h"
#include "platform/message_box.h"
#include "platform/profile.h"
#include "platform/shell_open.h"
#include "support/ffprobe.h"
#include "support/fixtures.h"
#include "videotool/file_infomation.h"
#include "videotool/main_template.h"
#include "videotool/settings_dlg.h"
#include "videotool/solvane_dlg.h"
#include "videotool/window_clicks.h"

using namespace taviro;
using platform::ControlAs;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string U(const QString& s) { return s.toStdString(); }

// Runs action once a modal dialog of type T is active (polled from the event loop). The poll ends
// with the action; delete it to give up waiting.
template <typename T>
QTimer* WhenModal(std::function<void(T*)> action) {
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, action] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            action(dialog);
        }
    });
    poll->start();
    return poll;
}

// How a settings dialog is to be confirmed: direct, or indirect with a preset (and sizes).
struct Confirm {
    bool direct = true;
    int preset = 0;
    int size = 0;        // index of the size list: 0 is 320*240
    bool exact = false;  // the cut settings' exact box ticked
};

void ConfirmDialog(QDialog* d, int direct_id, int indirect_id, int start_id, const Confirm& c) {
    QTest::mouseClick(ControlAs<QRadioButton>(d, c.direct ? direct_id : indirect_id), Qt::LeftButton);
    if (c.exact && !ControlAs<QCheckBox>(d, CFileInfomation::kExact)->isChecked())
        QTest::mouseClick(ControlAs<QCheckBox>(d, CFileInfomation::kExact), Qt::LeftButton);
    if (!c.direct) {
        ControlAs<QComboBox>(d, 1105)->setCurrentIndex(c.preset);
        ControlAs<QComboBox>(d, d->inherits("CSettings") ? 1063 : 1191)->setCurrentIndex(c.size);
    }
    QTest::mouseClick(ControlAs<QPushButton>(d, start_id), Qt::LeftButton);
}

void ConfirmCut(const Confirm& c) {
    WhenModal<CFileInfomation>([c](CFileInfomation* d) {
        ConfirmDialog(d, CFileInfomation::kDirect, CFileInfomation::kIndirect, CFileInfomation::kStart, c);
    });
}

void ConfirmMerge(const Confirm& c) {
    WhenModal<CSettings>([c](CSettings* d) {
        ConfirmDialog(d, CSettings::kDirect, CSettings::kIndirect, CSettings::kStart, c);
    });
}

class JobCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        folder_ = Q(testsupport::ScratchDir("jobs_" + name));
        out_ = folder_ + "/out";
        QDir().mkpath(out_);
        QDir().mkpath(folder_ + "/languages");
        QFile::copy(SHIPPED_SETTING_FILE, Path("setting.ini"));
        for (const char* l : {"english.ini", "chinese.ini"})
            QFile::copy(QString(SHIPPED_LANGUAGE_DIR) + "/" + l, Path("languages/") + l);
        platform::WriteProfileString("PATH", "name", out_, Path("setting.ini"));
        platform::SetShellOpenHandler([this](const QString& target) {
            opened_ << target;
            return platform::kShellOpenOk;
        });
        window_ = std::make_unique<CSolvaneDlg>(folder_);
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    }
    void TearDown() override {
        window_.reset();
        platform::SetShellOpenHandler({});
    }

    QString Path(const QString& name) const { return folder_ + "/" + name; }
    QString English(const char* section, const char* key) const {
        return platform::ReadProfileString(section, key, {}, Path("languages/english.ini"));
    }
    QStringList Outputs() const { return QDir(out_).entryList(QDir::Files, QDir::Name); }

    void ClickButton(int id) {
        window_clicks::ClickImageButton(static_cast<CControlButton*>(window_->control(id)), id);
    }
    void ClickTab(int index) { window_clicks::ClickTab(window_->tabs(), index); }
    void Add(int button, const QStringList& files) {
        platform::ScopedChooserAnswers answers;
        answers.addOpenFilesAnswer(files);
        ClickButton(button);
    }
    void ClickSliderAt(int value) { window_clicks::ClickSliderAt(window_->slider(), value); }
    void TypeInto(QLineEdit* field, const QString& text) {
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
    }
    // Clicks a list row's check box (the indicator sits at the cell's left edge).
    void ClickCheckBox(int row) {
        CCheckListCtrl* list = window_->fileList();
        const QRect cell = list->visualItemRect(list->item(row, 0));
        const bool before = list->GetCheck(row);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(cell.left() + 10, cell.center().y()));
        ASSERT_NE(list->GetCheck(row), before) << "row " << row;
    }
    // Loads a 3 s video on the cut tab; the start is set with the slider near 1 s and the start point
    // button, the end typed. Returns the range's length in seconds as the fields say it.
    double LoadForCut(const std::string& video) {
        Add(kAddButton, {Q(video)});
        EXPECT_EQ(window_->currentFile(), Q(video));
        ClickSliderAt(1000 / 3);  // slider positions run 0..1000 over the video
        ClickButton(kStartPointButton);
        TypeInto(window_->endField(), "00:00:02.500");
        const int start_ms = TextToTime(U(window_->startField()->text()));
        EXPECT_NEAR(start_ms, 1000, 150) << U(window_->startField()->text());
        return (2500 - start_ms) / 1000.0;
    }
    // The same, with the end set by the slider near 2 s and the end point button, the start typed.
    double LoadForCutByEndPoint(const std::string& video) {
        Add(kAddButton, {Q(video)});
        TypeInto(window_->startField(), "00:00:00.500");
        ClickSliderAt(2000 / 3);
        ClickButton(kEndPointButton);
        const int end_ms = TextToTime(U(window_->endField()->text()));
        EXPECT_NEAR(end_ms, 2000, 150) << U(window_->endField()->text());
        EXPECT_EQ(U(window_->startField()->text()), "00:00:00.500");
        return (end_ms - 500) / 1000.0;
    }

    QString folder_;
    QString out_;
    QStringList opened_;
    platform::ScopedMessageRecorder messages_;
    std::unique_ptr<CSolvaneDlg> window_;
};

// A direct job and every re-encoding preset, with what ffprobe must find in the output.
struct PresetCase {
    const char* name;
    Confirm confirm;
    const char* extension;
    const char* video_codec;
    const char* audio_codec;
};
const PresetCase kPresetCases[] = {
    {"direct", {true, 0}, ".mp4", "h264", "aac"}, {"mpeg4", {false, 0}, ".mp4", "mpeg4", "aac"},
    {"h264", {false, 1}, ".mp4", "h264", "aac"},  {"avi", {false, 2}, ".avi", "mpeg4", "mp3"},
    {"flv", {false, 3}, ".flv", "flv1", "mp3"},   {"wmv", {false, 4}, ".wmv", "wmv2", "wmav2"},
    {"mov", {false, 5}, ".mov", "mpeg4", "aac"},  {"mkv", {false, 6}, ".mkv", "h264", "vorbis"},
};

void ExpectStreams(const testsupport::ProbedFile& probed, const PresetCase& c) {
    ASSERT_TRUE(probed.ok);
    ASSERT_NE(probed.First("video"), nullptr);
    ASSERT_NE(probed.First("audio"), nullptr);
    EXPECT_EQ(probed.First("video")->codec_name, c.video_codec);
    EXPECT_EQ(probed.First("audio")->codec_name, c.audio_codec);
    if (!c.confirm.direct) {
        EXPECT_EQ(probed.First("video")->width, 320);
    }
}

TEST_F(JobCommandsTest, CutDirectlyAndWithEveryPresetGivesThePresetsFiles) {
    const double length_s = LoadForCut(testsupport::Fixture("video_h264_aac.mp4"));
    for (const PresetCase& c : kPresetCases) {
        SCOPED_TRACE(c.name);
        const QString case_out = out_ + "/" + c.name;
        QDir().mkpath(case_out);
        platform::WriteProfileString("PATH", "name", case_out, Path("setting.ini"));
        messages_.clear();
        opened_.clear();
        ConfirmCut(c.confirm);
        ClickButton(kCutButton);

        ASSERT_EQ(messages_.messages().size(), 1u);
        EXPECT_EQ(messages_.lastText(), English("TISHI", "jqcg"));
        EXPECT_EQ(opened_, QStringList{case_out});
        EXPECT_FALSE(window_->jobCommands()->progressDialog()->isVisible());
        const std::string output = U(case_out) + "/video_h264_aac" + c.extension;
        const testsupport::ProbedFile probed = testsupport::FFprobe(output);
        ExpectStreams(probed, c);
        if (c.confirm.direct) {
            // From the key frame at or before the start (one a second) through the end.
            EXPECT_GE(probed.duration_s, length_s - 0.05);
            EXPECT_LE(probed.duration_s, length_s + 1.35);
        } else {
            EXPECT_NEAR(probed.duration_s, length_s, 0.35);
        }
    }
}

TEST_F(JobCommandsTest, ExactCutOfOtherVideoSaysWhyInTheChosenLanguageAndCutsAtKeyFrames) {
    window_.reset();
    platform::WriteProfileString("LANGUAGE", "file", "chinese.ini", Path("setting.ini"));
    window_ = std::make_unique<CSolvaneDlg>(folder_);
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    const QString chinese = Path("languages/chinese.ini");

    LoadForCut(testsupport::Fixture("video_mpeg4_mp3.avi"));
    ConfirmCut({true, 0, 0, true});
    ClickButton(kCutButton);
    ASSERT_EQ(messages_.messages().size(), 2u);
    EXPECT_EQ(messages_.messages()[0].text, platform::ReadProfileString("TISHI", "jqfh264", {}, chinese));
    EXPECT_EQ(messages_.lastText(), platform::ReadProfileString("TISHI", "jqcg", {}, chinese));
    // Cut at the key frame before the start (one a second), as a direct cut is.
    const testsupport::ProbedFile probed = testsupport::FFprobe(U(out_) + "/video_mpeg4_mp3.avi");
    ASSERT_TRUE(probed.ok);
    EXPECT_EQ(probed.First("video")->codec_name, "mpeg4");
}

TEST_F(JobCommandsTest, RepeatedCutsGetUniqueNames) {
    const QString clip = folder_ + "/clip.mp4";
    ASSERT_TRUE(QFile::copy(Q(testsupport::Fixture("video_h264_aac.mp4")), clip));
    const double length_s = LoadForCutByEndPoint(U(clip));
    for (int i = 0; i < 3; ++i) {
        ConfirmCut({true, 0});
        ClickButton(kCutButton);
    }
    EXPECT_EQ(Outputs(), QStringList({"clip(0).mp4", "clip(1).mp4", "clip.mp4"}));
    for (const QString& f : Outputs()) {
        const testsupport::ProbedFile probed = testsupport::FFprobe(U(out_ + "/" + f));
        ASSERT_TRUE(probed.ok) << U(f);
        // A direct cut starts at the key frame at or before the start (one per second here).
        EXPECT_NEAR(probed.duration_s, length_s, 0.6) << U(f);
    }
    EXPECT_TRUE(QFile::exists(clip)) << "the input is never touched";
}

TEST_F(JobCommandsTest, MergeOfThreeCheckedRowsSkipsTheUncheckedOne) {
    ClickTab(1);
    for (const PresetCase& c : kPresetCases) {
        SCOPED_TRACE(c.name);
        const QString case_out = out_ + "/" + c.name;
        QDir().mkpath(case_out);
        platform::WriteProfileString("PATH", "name", case_out, Path("setting.ini"));
        window_->fileList()->DeleteAllItems();
        Add(kAddFilesButton,
            {Q(testsupport::Fixture("merge_a.mp4")), Q(testsupport::Fixture("video_h264_aac.mp4")),
             Q(testsupport::Fixture("merge_b.mp4")), Q(testsupport::Fixture("video_h264_aac.mp4"))});
        CCheckListCtrl* list = window_->fileList();
        ASSERT_EQ(list->rowCount(), 4);
        ClickCheckBox(1);
        const QString ready = list->GetItemText(1, 5);
        messages_.clear();
        opened_.clear();
        ConfirmMerge(c.confirm);
        ClickButton(kMergeButton);

        EXPECT_EQ(messages_.lastText(), English("TISHI", "hbcg"));
        EXPECT_EQ(opened_, QStringList{case_out});
        for (int row : {0, 2, 3}) {
            EXPECT_EQ(list->GetItemText(row, 5), English("TISHI", "wc")) << row;
            EXPECT_FALSE(list->GetCheck(row)) << row;
        }
        EXPECT_EQ(list->GetItemText(1, 5), ready) << "the unchecked row is left alone";
        EXPECT_FALSE(list->GetCheck(1));
        EXPECT_EQ(window_->jobCommands()->protocol().listIndexOf(1), 2);
        const testsupport::ProbedFile probed =
            testsupport::FFprobe(U(case_out) + "/merged_video" + c.extension);
        ExpectStreams(probed, c);
        EXPECT_NEAR(probed.duration_s, 2.0 + 1.6 + 3.0, 0.5);
    }
}

TEST_F(JobCommandsTest, MergeWhoseMiddleFileBreaksReportsFailureAndKeepsTheOutput) {
    const QString middle = folder_ + "/middle.mp4";
    ASSERT_TRUE(QFile::copy(Q(testsupport::Fixture("merge_b.mp4")), middle));
    ClickTab(1);
    Add(kAddFilesButton,
        {Q(testsupport::Fixture("merge_a.mp4")), middle, Q(testsupport::Fixture("video_h264_aac.mp4"))});
    ASSERT_EQ(window_->fileList()->rowCount(), 3);
    // The file turns unreadable after it was added.
    QFile::remove(middle);
    ASSERT_TRUE(QFile::copy(Q(testsupport::Fixture("not_media.mp4")), middle));

    ConfirmMerge({false, 0});
    ClickButton(kMergeButton);
    EXPECT_EQ(messages_.lastText(), English("TISHI", "hbsb"));
    EXPECT_EQ(opened_, QStringList{English("APPLICATION", "url")});
    const testsupport::ProbedFile probed = testsupport::FFprobe(U(out_) + "/merged_video.mp4");
    ASSERT_TRUE(probed.ok);
    EXPECT_GT(probed.duration_s, 1.5);
    EXPECT_TRUE(window_->fileList()->GetCheck(1));
}

TEST_F(JobCommandsTest, StopMidJobShowsNothingAndLeavesTheList) {
    ClickTab(1);
    Add(kAddFilesButton, {Q(testsupport::Fixture("long_20s.mp4")), Q(testsupport::Fixture("merge_a.mp4"))});
    CCheckListCtrl* list = window_->fileList();
    const QString ready = list->GetItemText(0, 5);
    bool saw_progress = false;
    QString current_line;
    QString count_line;
    WhenModal<CAVConvertDlg>([&](CAVConvertDlg* d) {
        // Stop once a tick has shown some progress of the first file.
        auto* poll = new QTimer(d);
        poll->setInterval(10);
        QObject::connect(poll, &QTimer::timeout, [&, d, poll] {
            if (d->fileBar()->value() <= 0) return;
            poll->stop();
            saw_progress = true;
            current_line = d->currentFileLine()->Text();
            count_line = d->fileCountLine()->Text();
            QTest::mouseClick(d->stopButton(), Qt::LeftButton);
        });
        poll->start();
    });
    ConfirmMerge({false, 0, 7});  // 1920*1080 keeps the worker busy for a while
    ClickButton(kMergeButton);

    EXPECT_TRUE(saw_progress);
    const QString done_word = English("TISHI", "wjwc");
    EXPECT_TRUE(current_line.startsWith(Q(testsupport::Fixture("long_20s.mp4")) + "   "));
    EXPECT_TRUE(current_line.endsWith("% " + done_word)) << U(current_line);
    EXPECT_EQ(count_line, "0 " + English("TISHI", "wjwczg") + " 2 " + English("TISHI", "wj1"));
    EXPECT_TRUE(messages_.messages().empty()) << U(messages_.lastText());
    EXPECT_TRUE(opened_.isEmpty());
    for (int row : {0, 1}) {
        EXPECT_EQ(list->GetItemText(row, 5), ready);
        EXPECT_TRUE(list->GetCheck(row));
    }
    EXPECT_LT(window_->jobCommands()->jobProgress().current_file.load(), 2)
        << "the job did not run to its end";

    // The stopped worker has ended: the next job runs normally.
    ConfirmMerge({true, 0});
    list->SetCheck(0, false);
    Add(kAddFilesButton, {Q(testsupport::Fixture("merge_b.mp4"))});
    ClickButton(kMergeButton);
    EXPECT_EQ(messages_.lastText(), English("TISHI", "hbcg"));
}

TEST_F(JobCommandsTest, PreconditionsAreRefusedWithTheirMessages) {
    const QString mlbcz = English("TISHI", "mlbcz");
    // Cut without a video.
    ClickButton(kCutButton);
    EXPECT_EQ(messages_.lastText(), English("TISHI", "qxtjsp"));

    ClickTab(1);
    ClickButton(kMergeButton);
    EXPECT_EQ(messages_.lastText(), English("TISHI", "qxtjsp"));

    Add(kAddFilesButton,
        {Q(testsupport::Fixture("merge_a.mp4")), Q(testsupport::Fixture("video_mpeg4_mp3.avi"))});
    ClickCheckBox(1);
    ClickButton(kMergeButton);
    EXPECT_EQ(messages_.lastText(), English("TISHI", "zslgwj"));
    ClickCheckBox(1);

    // A direct merge of an MP4 and an AVI.
    ConfirmMerge({true, 0});
    ClickButton(kMergeButton);
    EXPECT_EQ(messages_.lastText(), English("TISHI", "bnzjhb"));
    EXPECT_TRUE(Outputs().isEmpty());

    // The settings dialog's own refusals keep it open; Escape then cancels the command.
    struct DialogCase {
        const char* name;
        QString folder;
        bool clear_name;
        QString message;
    };
    const DialogCase dialog_cases[] = {
        {"missing folder", folder_ + "/gone", false, mlbcz},
        {"unwritable folder", "/proc", false, English("TISHI", "strmlbcz")},
        {"empty name", out_, true, English("TISHI", "xsrwjm")},
    };
    for (const DialogCase& c : dialog_cases) {
        SCOPED_TRACE(c.name);
        platform::WriteProfileString("PATH", "name", c.folder, Path("setting.ini"));
        messages_.clear();
        bool stayed_open = false;
        WhenModal<CSettings>([&](CSettings* d) {
            if (c.clear_name) ControlAs<QLineEdit>(d, CSettings::kFileName)->clear();
            QTest::mouseClick(ControlAs<QRadioButton>(d, CSettings::kIndirect), Qt::LeftButton);
            QTest::mouseClick(ControlAs<QPushButton>(d, CSettings::kStart), Qt::LeftButton);
            stayed_open = d->isVisible();
            QTest::keyClick(d, Qt::Key_Escape);
        });
        ClickButton(kMergeButton);
        EXPECT_TRUE(stayed_open);
        ASSERT_EQ(messages_.messages().size(), 1u);
        EXPECT_EQ(messages_.lastText(), c.message);
    }
    EXPECT_TRUE(Outputs().isEmpty());
}

TEST_F(JobCommandsTest, CutRefusesRangesAndNamesThatWouldGiveNoClip) {
    Add(kAddButton, {Q(testsupport::Fixture("video_h264_aac.mp4"))});  // 3 s
    bool asked = false;
    QTimer* poll = WhenModal<CFileInfomation>([&](CFileInfomation* d) {
        asked = true;
        d->reject();
    });
    const struct {
        const char* start;
        const char* end;
        const char* key;
    } ranges[] = {
        {"00:00:01.000", "00:00:01.000", "jsxyks"}, {"00:00:02.000", "00:00:01.000", "jsxyks"},
        {"abc", "00:00:02.000", "sjgscw"},          {"00:00:01.000", "", "sjgscw"},
        {"00:00:00.000", "00:00:2.5", "sjgscw"},    {"00:00:04.000", "00:00:06.000", "kscgsc"},
    };
    for (const auto& r : ranges) {
        SCOPED_TRACE(std::string(r.start) + " to " + r.end);
        TypeInto(window_->startField(), r.start);
        TypeInto(window_->endField(), r.end);
        messages_.clear();
        ClickButton(kCutButton);
        ASSERT_EQ(messages_.messages().size(), 1u);
        EXPECT_EQ(messages_.lastText(), English("TISHI", r.key));
    }
    EXPECT_FALSE(asked) << "refused before the settings dialog";
    if (!asked) delete poll;

    // A time without milliseconds is a time; a name that loses every character to the name rule is
    // refused by the dialog, which stays open for another.
    TypeInto(window_->startField(), "00:00:01");
    TypeInto(window_->endField(), "00:00:02.500");
    messages_.clear();
    bool refused_name = false;
    WhenModal<CFileInfomation>([&](CFileInfomation* d) {
        ControlAs<QLineEdit>(d, CFileInfomation::kFileName)->setText("?*");
        QTest::mouseClick(ControlAs<QPushButton>(d, CFileInfomation::kStart), Qt::LeftButton);
        refused_name = d->isVisible() && messages_.lastText() == English("TISHI", "xsrwjm");
        ControlAs<QLineEdit>(d, CFileInfomation::kFileName)->setText("clip");
        ConfirmDialog(d, CFileInfomation::kDirect, CFileInfomation::kIndirect, CFileInfomation::kStart,
                      {false, 0});
    });
    ClickButton(kCutButton);
    EXPECT_TRUE(refused_name);
    EXPECT_EQ(window_->startField()->text(), "00:00:01.000");
    EXPECT_EQ(messages_.lastText(), English("TISHI", "jqcg"));
    ASSERT_EQ(Outputs(), QStringList{"clip.mp4"});
    EXPECT_NEAR(testsupport::FFprobe(U(out_ + "/clip.mp4")).duration_s, 1.5, 0.35);
}

TEST_F(JobCommandsTest, KeysSetTheRangeThatIsCut) {
    {
        platform::ScopedChooserAnswers answers;
        answers.addOpenFilesAnswer({Q(testsupport::Fixture("gop2_8s.mp4"))});
        QTest::keyClick(window_.get(), Qt::Key_O, Qt::ControlModifier);
    }
    window_->slider()->setFocus();
    for (Qt::Key key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_BracketLeft, Qt::Key_Right, Qt::Key_Right,
                        Qt::Key_Right, Qt::Key_BracketRight})
        QTest::keyClick(window_->slider(), key);
    EXPECT_EQ(window_->startField()->text(), "00:00:02.000");
    EXPECT_EQ(window_->endField()->text(), "00:00:05.000");
    ConfirmCut({false, 0});
    ClickButton(kCutButton);
    EXPECT_EQ(messages_.lastText(), English("TISHI", "jqcg"));
    ASSERT_EQ(Outputs(), QStringList{"gop2_8s.mp4"});
    EXPECT_NEAR(testsupport::FFprobe(U(out_ + "/gop2_8s.mp4")).duration_s, 3.0, 0.35);
}

TEST_F(JobCommandsTest, MoreThan999CheckedFilesAreRefused) {
    ClickTab(1);
    CCheckListCtrl* list = window_->fileList();
    for (int i = 0; i < MAX_JOB_FILES + 1; ++i) {
        const int row = list->InsertItem(i, QString("/v/%1.mp4").arg(i));
        list->SetItemText(row, 1, "mp4");
        list->SetItemText(row, 2, "00:00:01.000");
        list->SetItemText(row, 3, "320*240");
        list->SetCheck(row, true);
    }
    bool asked = false;
    QTimer* poll = WhenModal<CSettings>([&](CSettings* d) {
        asked = true;
        d->reject();
    });
    ClickButton(kMergeButton);
    EXPECT_EQ(messages_.lastText(), English("TISHI", "wjtd"));
    EXPECT_FALSE(asked);
    if (!asked) delete poll;
}

}  // namespace
