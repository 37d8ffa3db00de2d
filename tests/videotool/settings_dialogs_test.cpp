// The cut and merge settings dialogs, off-screen, on a real setting.ini in a scratch program folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "common/output_folder.h"
#include "controls/av_donate_dlg.h"
#include "platform/choosers.h"
#include "platform/dialog_template.h"
#include "platform/message_box.h"
#include "platform/profile.h"
#include "support/fixtures.h"
#include "videotool/file_infomation.h"
#include "videotool/settings_dlg.h"

namespace {

using platform::ControlAs;

// Runs action once a modal dialog of type T is active (it is polled from the event loop).
template <typename T>
void WhenModal(std::function<void(T*)> action) {
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
}

class SettingsDialogsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        folder_ = QString::fromStdString(testsupport::ScratchDir("settings_" + name));
        out_ = folder_ + "/out";
        QDir().mkpath(out_);
        QDir().mkpath(folder_ + "/languages");
        Write("languages/english.ini",
              "[APPLICATION]\nname=Taviro\n[JIEMIAN]\nywjyy=Same as source\nhbhwj=merged_video\nkshb=Start "
              "merging\nxzscml=Pick a folder\n[TISHI]\nmlbcz=No such folder\nxsrwjm=Enter a name\nmlmwx=Bad "
              "folder name\nstrmlbcz=Cannot write there\n");
        Write("languages/chinese.ini", "[TIMES]\ntime=0\n[JIEMIAN]\nzzly=a\nzzly1=b\n");
    }
    void Write(const QString& name, const QByteArray& text) {
        QFile f(folder_ + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    void WriteSettings(const QString& extra = {}) {
        Write("setting.ini", ("[LANGUAGE]\nfile=english.ini\n[PATH]\nname=" + out_ + "\n" + extra).toUtf8());
    }
    QString Setting(const char* section, const char* key) const {
        return platform::ReadProfileString(section, key, "(none)", folder_ + "/setting.ini");
    }
    template <typename D>
    void Click(D& d, int id) {
        QTest::mouseClick(ControlAs<QAbstractButton>(&d, id), Qt::LeftButton);
    }
    template <typename D>
    QComboBox* Combo(D& d, int id) {
        return ControlAs<QComboBox>(&d, id);
    }
    template <typename D>
    void Show(D& d) {
        d.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    }

    QString folder_;
    QString out_;
    JobSettings settings_;
    platform::ScopedMessageRecorder messages_;
};

using C = CFileInfomation;
using M = CSettings;

TEST_F(SettingsDialogsTest, CutDialogWithoutSettingsFileStartsDirectWithFirstItemsAndAsksForAFolder) {
    CFileInfomation d(folder_, &settings_);
    d.setFileName("holiday");
    Show(d);
    EXPECT_TRUE(ControlAs<QRadioButton>(&d, C::kDirect)->isChecked());
    for (int id :
         {C::kPreset, C::kVideoQuality, C::kVideoSize, C::kFrameRate, C::kAudioQuality, C::kSampleRate}) {
        EXPECT_FALSE(Combo(d, id)->isEnabled()) << id;
        EXPECT_EQ(Combo(d, id)->currentIndex(), 0) << id;
    }
    EXPECT_EQ(Combo(d, C::kPreset)->count(), 7);
    EXPECT_EQ(Combo(d, C::kFrameRate)->count(), 14);
    EXPECT_EQ(ControlAs<QLineEdit>(&d, C::kFolder)->text(), "");
    EXPECT_EQ(ControlAs<QLineEdit>(&d, C::kFileName)->text(), "holiday");

    Click(d, C::kIndirect);
    for (int id :
         {C::kPreset, C::kVideoQuality, C::kVideoSize, C::kFrameRate, C::kAudioQuality, C::kSampleRate})
        EXPECT_TRUE(Combo(d, id)->isEnabled()) << id;
    Click(d, C::kDirect);
    EXPECT_FALSE(Combo(d, C::kPreset)->isEnabled());

    Click(d, C::kStart);
    EXPECT_TRUE(d.isVisible());
    ASSERT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(messages_.lastText(), "No such folder");  // no language named: English
    EXPECT_EQ(Setting("CUT", "format"), "0") << "the choices are saved before the folder check";
}

TEST_F(SettingsDialogsTest, CutDialogStoresItsChoicesAndTheNextDialogRestoresThem) {
    WriteSettings();
    {
        CFileInfomation d(folder_, &settings_);
        d.setFileName("a/b:c*d?e@f<g>h|i\\j\"k");
        Show(d);
        Click(d, C::kIndirect);
        Combo(d, C::kPreset)->setCurrentIndex(3);
        Combo(d, C::kVideoQuality)->setCurrentIndex(10);
        Combo(d, C::kVideoSize)->setCurrentIndex(6);
        Combo(d, C::kFrameRate)->setCurrentIndex(10);
        Combo(d, C::kAudioQuality)->setCurrentIndex(3);
        Combo(d, C::kSampleRate)->setCurrentIndex(0);
        Click(d, C::kStart);
        EXPECT_EQ(d.result(), QDialog::Accepted);
        EXPECT_TRUE(messages_.messages().empty()) << messages_.lastText().toStdString();
        EXPECT_EQ(d.outputFolder(), out_);
        EXPECT_EQ(d.fileName(), "abcdefghij\"k");
        EXPECT_EQ(d.extension(), ".flv");
    }
    EXPECT_FALSE(settings_.direct);
    EXPECT_EQ(settings_.video_codec_id, AV_CODEC_ID_FLV1);
    EXPECT_EQ(settings_.audio_codec_id, AV_CODEC_ID_MP3);
    EXPECT_EQ(settings_.video_bit_rate, 20000000);
    EXPECT_EQ(settings_.width, 1280);
    EXPECT_EQ(settings_.height, 720);
    EXPECT_EQ(av_cmp_q(settings_.frame_rate, AVRational{30000, 1001}), 0);
    EXPECT_EQ(settings_.audio_bit_rate, 128000);
    EXPECT_EQ(settings_.sample_rate, 22050);
    EXPECT_EQ(settings_.channels, 2);
    const std::pair<const char*, const char*> stored[] = {{"format", "3"},       {"quality", "10"},
                                                          {"size", "6"},         {"framerate", "10"},
                                                          {"audioquality", "3"}, {"samplerate", "0"}};
    for (const auto& [key, value] : stored) EXPECT_EQ(Setting("CUT", key), value) << key;
    EXPECT_TRUE(QDir(out_).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty())
        << "the probe file is deleted again";

    CFileInfomation again(folder_, &settings_);
    Show(again);
    EXPECT_TRUE(ControlAs<QRadioButton>(&again, C::kDirect)->isChecked()) << "the mode is not stored";
    EXPECT_EQ(Combo(again, C::kPreset)->currentIndex(), 3);
    EXPECT_EQ(Combo(again, C::kVideoQuality)->currentIndex(), 10);
    EXPECT_EQ(Combo(again, C::kVideoSize)->currentIndex(), 6);
    EXPECT_EQ(Combo(again, C::kFrameRate)->currentText(), "29.97 fps");
    EXPECT_EQ(Combo(again, C::kSampleRate)->currentText(), "22050 Hz");
    EXPECT_EQ(ControlAs<QLineEdit>(&again, C::kFolder)->text(), out_);
}

TEST_F(SettingsDialogsTest, ExactCutBoxIsOffAtFirstBelongsToTheDirectCutAndIsRemembered) {
    WriteSettings();
    {
        CFileInfomation d(folder_, &settings_);
        d.setFileName("clip");
        Show(d);
        auto* exact = ControlAs<QCheckBox>(&d, C::kExact);
        EXPECT_FALSE(exact->isChecked());
        EXPECT_TRUE(exact->isEnabled());
        Click(d, C::kIndirect);
        EXPECT_FALSE(exact->isEnabled());
        Click(d, C::kDirect);
        Click(d, C::kExact);
        EXPECT_TRUE(exact->isChecked());
        Click(d, C::kStart);
        EXPECT_EQ(d.result(), QDialog::Accepted);
    }
    EXPECT_TRUE(settings_.direct);
    EXPECT_TRUE(settings_.exact);
    EXPECT_EQ(Setting("CUT", "exact"), "1");

    CFileInfomation again(folder_, &settings_);
    again.setFileName("clip");
    Show(again);
    EXPECT_TRUE(ControlAs<QCheckBox>(&again, C::kExact)->isChecked());
    // An indirect cut is never exact, whatever the box says.
    Click(again, C::kIndirect);
    Click(again, C::kStart);
    EXPECT_FALSE(settings_.exact);
    EXPECT_EQ(Setting("CUT", "exact"), "1");
}

TEST_F(SettingsDialogsTest, StoredIndexOutsideTheListsLeavesNoSelection) {
    WriteSettings("[CUT]\nformat=7\nsize=-1\nframerate=0\n[JOIN]\nformat=99\n");
    settings_.video_codec_id = AV_CODEC_ID_H264;
    settings_.width = 640;
    settings_.height = 480;
    CFileInfomation cut(folder_, &settings_);
    cut.setFileName("clip");
    Show(cut);
    EXPECT_EQ(Combo(cut, C::kPreset)->currentIndex(), -1);
    EXPECT_EQ(Combo(cut, C::kVideoSize)->currentIndex(), -1);
    EXPECT_EQ(Combo(cut, C::kFrameRate)->currentText(), "Same as source");
    Click(cut, C::kStart);
    EXPECT_EQ(cut.result(), QDialog::Accepted);
    EXPECT_EQ(settings_.video_codec_id, AV_CODEC_ID_H264) << "no preset keeps the codecs";
    EXPECT_EQ(settings_.width, 640);
    EXPECT_EQ(settings_.height, 480);
    EXPECT_EQ(settings_.frame_rate.num, 0) << "the source's own rate";
    EXPECT_EQ(cut.extension(), "");
    EXPECT_EQ(Setting("CUT", "format"), "-1");

    CSettings merge(folder_, &settings_);
    Show(merge);
    Click(merge, M::kStart);
    EXPECT_EQ(merge.result(), QDialog::Accepted);
    EXPECT_EQ(settings_.video_codec_id, AV_CODEC_ID_NONE) << "the merge dialog empties them";
    EXPECT_EQ(settings_.audio_codec_id, AV_CODEC_ID_NONE);
}

TEST_F(SettingsDialogsTest, MergeDialogStartsDirectWithItsOwnListsAndDefaultName) {
    WriteSettings("[JOIN]\nsamplerate=0\n[CUT]\nsamplerate=0\n");
    CSettings d(folder_, &settings_);
    Show(d);
    EXPECT_EQ(ControlAs<QLineEdit>(&d, M::kFileName)->text(), "merged_video");
    EXPECT_TRUE(ControlAs<QRadioButton>(&d, M::kDirect)->isChecked());
    for (int id :
         {M::kPreset, M::kVideoSize, M::kFrameRate, M::kVideoQuality, M::kSampleRate, M::kAudioQuality})
        EXPECT_FALSE(Combo(d, id)->isEnabled()) << id;
    for (int id : {M::kDirect, M::kIndirect, M::kBrowse, M::kFileName, M::kStart})
        EXPECT_TRUE(platform::ControlById(&d, id)->isEnabled()) << id;
    EXPECT_EQ(Combo(d, M::kSampleRate)->currentText(), "44100 Hz");
    EXPECT_EQ(Combo(d, M::kFrameRate)->itemText(0), "10.0 fps");
    EXPECT_EQ(Combo(d, M::kAudioQuality)->itemText(0), "64 kbps");
    EXPECT_EQ(Combo(d, M::kChannels)->currentText(), "2 Channel Stereo");
    EXPECT_EQ(ControlAs<QPushButton>(&d, M::kStart)->toolTip(), "Start merging");
    Click(d, M::kIndirect);
    for (int id :
         {M::kPreset, M::kVideoSize, M::kFrameRate, M::kVideoQuality, M::kSampleRate, M::kAudioQuality})
        EXPECT_TRUE(Combo(d, id)->isEnabled()) << id;

    CFileInfomation cut(folder_, &settings_);
    cut.setFileName("clip");
    Show(cut);
    EXPECT_EQ(Combo(cut, C::kSampleRate)->currentText(), "22050 Hz") << "the same index, another list";
}

TEST_F(SettingsDialogsTest, MergeDialogStoresAndRestoresItsChoices) {
    WriteSettings();
    {
        CSettings d(folder_, &settings_);
        Show(d);
        Click(d, M::kIndirect);
        Combo(d, M::kPreset)->setCurrentIndex(6);
        Combo(d, M::kVideoSize)->setCurrentIndex(1);
        Combo(d, M::kFrameRate)->setCurrentIndex(5);
        Combo(d, M::kVideoQuality)->setCurrentIndex(2);
        Combo(d, M::kSampleRate)->setCurrentIndex(1);
        Combo(d, M::kAudioQuality)->setCurrentIndex(4);
        Combo(d, M::kChannels)->setCurrentIndex(0);
        Click(d, M::kStart);
        ASSERT_EQ(d.result(), QDialog::Accepted);
        EXPECT_EQ(d.fileName(), "merged_video");
        EXPECT_EQ(d.extension(), ".mkv");
    }
    EXPECT_EQ(settings_.video_codec_id, AV_CODEC_ID_H264);
    EXPECT_EQ(settings_.audio_codec_id, AV_CODEC_ID_VORBIS);
    EXPECT_EQ(settings_.width, 640);
    EXPECT_EQ(av_cmp_q(settings_.frame_rate, AVRational{25, 1}), 0);
    EXPECT_EQ(settings_.video_bit_rate, 2500000);
    EXPECT_EQ(settings_.sample_rate, 48000);
    EXPECT_EQ(settings_.audio_bit_rate, 192000);
    EXPECT_EQ(settings_.channels, 1);
    const std::pair<const char*, const char*> stored[] = {{"format", "6"},     {"size", "1"},
                                                          {"framerate", "5"},  {"quality", "2"},
                                                          {"samplerate", "1"}, {"audioquality", "4"}};
    for (const auto& [key, value] : stored) EXPECT_EQ(Setting("JOIN", key), value) << key;

    CSettings again(folder_, &settings_);
    Show(again);
    EXPECT_EQ(Combo(again, M::kPreset)->currentIndex(), 6);
    EXPECT_EQ(Combo(again, M::kFrameRate)->currentText(), "25.0 fps");
    EXPECT_EQ(Combo(again, M::kAudioQuality)->currentText(), "192 kbps");
    EXPECT_EQ(Combo(again, M::kChannels)->currentIndex(), 1) << "channels always start at stereo";
}

TEST_F(SettingsDialogsTest, BothDialogsRefuseANameThatNamesNoFileBeforeWritingAnything) {
    WriteSettings();
    // "?*|" loses every character to the name rule: it would save a hidden ".mp4".
    for (const char* name : {"", "?*|"}) {
        SCOPED_TRACE(name);
        messages_.clear();
        CFileInfomation cut(folder_, &settings_);
        CSettings merge(folder_, &settings_);
        for (QDialog* d : {static_cast<QDialog*>(&cut), static_cast<QDialog*>(&merge)}) {
            Show(*d);
            ControlAs<QLineEdit>(d, 1075)->setText(name);
            QTest::mouseClick(ControlAs<QPushButton>(d, d == &cut ? int(C::kStart) : int(M::kStart)),
                              Qt::LeftButton);
            EXPECT_TRUE(d->isVisible());
            EXPECT_EQ(messages_.lastText(), "Enter a name");
        }
        EXPECT_EQ(messages_.messages().size(), 2u);
        EXPECT_EQ(Setting("CUT", "format"), "(none)");
        EXPECT_EQ(Setting("JOIN", "format"), "(none)");
    }
}

TEST_F(SettingsDialogsTest, EnterDoesNothingEscapeCancels) {
    WriteSettings();
    CFileInfomation cut(folder_, &settings_);
    CSettings merge(folder_, &settings_);
    for (QDialog* d : {static_cast<QDialog*>(&cut), static_cast<QDialog*>(&merge)}) {
        Show(*d);
        auto* name = ControlAs<QLineEdit>(d, 1075);
        name->setFocus();
        QTest::keyClick(name, Qt::Key_Return);
        QTest::keyClick(name, Qt::Key_Enter);
        auto* start = ControlAs<QPushButton>(d, d == &cut ? int(C::kStart) : int(M::kStart));
        start->setFocus();
        QTest::keyClick(start, Qt::Key_Return);
        EXPECT_TRUE(d->isVisible());
        EXPECT_EQ(Setting(d == &cut ? "CUT" : "JOIN", "format"), "(none)") << "start did not run";
        QTest::keyClick(name, Qt::Key_Escape);
        EXPECT_FALSE(d->isVisible());
        EXPECT_EQ(d->result(), QDialog::Rejected);
    }
}

TEST_F(SettingsDialogsTest, BrowseAsksAgainForAnInvalidFolderAndStoresTheChosenOne) {
    WriteSettings();
    const QString other = folder_ + "/other";
    QDir().mkpath(other);
    platform::ScopedChooserAnswers answers;
    answers.addFolderAnswer(folder_ + "/missing");
    answers.addFolderAnswer(other);
    CSettings d(folder_, &settings_);
    Show(d);
    Click(d, M::kBrowse);
    EXPECT_EQ(answers.folderTitles(), QStringList({"Pick a folder", "Pick a folder"}));
    ASSERT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(messages_.lastText(), "Bad folder name");
    EXPECT_EQ(ControlAs<QLineEdit>(&d, M::kFolder)->text(), other);
    EXPECT_EQ(Setting("PATH", "name"), other);

    Click(d, M::kBrowse);  // cancelled: nothing changes
    EXPECT_EQ(Setting("PATH", "name"), other);
    EXPECT_EQ(answers.folderTitles().size(), 3);
}

TEST_F(SettingsDialogsTest, FolderTestRefusesUnwritableFoldersAndNeverTouchesAnExistingProbeName) {
    // /proc exists and takes no new files, whoever runs the test.
    Write("setting.ini", "[LANGUAGE]\nfile=english.ini\n[PATH]\nname=/proc\n");
    CFileInfomation cut(folder_, &settings_);
    cut.setFileName("clip");
    Show(cut);
    Click(cut, C::kStart);
    EXPECT_TRUE(cut.isVisible());
    EXPECT_EQ(messages_.lastText(), "Cannot write there");

    const QString probe = out_ + "/" + common::kFolderProbeFile;
    QFile f(probe);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("user data");
    f.close();
    EXPECT_EQ(common::TestOutputFolder(out_), common::FolderTest::kOk);
    EXPECT_EQ(common::TestOutputFolder(folder_ + "/missing"), common::FolderTest::kMissing);
    EXPECT_EQ(common::TestOutputFolder(""), common::FolderTest::kMissing);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "user data");
}

TEST_F(SettingsDialogsTest, SponsorshipPromptOnlyWhileDueAndItsFirstButtonEndsThat) {
    WriteSettings("[TIMES]\ntime=0\n");
    int prompts = 0;
    auto press_first_button = [&] {
        WhenModal<CAVDonateDlg>([&](CAVDonateDlg* prompt) {
            ++prompts;
            QTest::mouseClick(prompt->doneButton(), Qt::LeftButton);
        });
    };
    {
        press_first_button();
        CSettings merge(folder_, &settings_);
        Show(merge);
        Click(merge, M::kStart);
        EXPECT_EQ(merge.result(), QDialog::Accepted);
        EXPECT_EQ(prompts, 1);
        EXPECT_EQ(Setting("TIMES", "time"), "1");
    }
    for (int round = 0; round < 2; ++round) {  // no longer due: neither dialog asks
        CFileInfomation cut(folder_, &settings_);
        cut.setFileName("clip");
        Show(cut);
        Click(cut, C::kStart);
        EXPECT_EQ(cut.result(), QDialog::Accepted);
        CSettings merge(folder_, &settings_);
        Show(merge);
        Click(merge, M::kStart);
        EXPECT_EQ(merge.result(), QDialog::Accepted);
    }
    EXPECT_EQ(prompts, 1);

    // The later button leaves it due: the cut dialog asks again next time.
    WriteSettings("[TIMES]\ntime=0\n");
    for (int round = 0; round < 2; ++round) {
        WhenModal<CAVDonateDlg>([&](CAVDonateDlg* prompt) {
            ++prompts;
            QTest::mouseClick(prompt->laterButton(), Qt::LeftButton);
        });
        CFileInfomation cut(folder_, &settings_);
        cut.setFileName("clip");
        Show(cut);
        Click(cut, C::kStart);
        EXPECT_EQ(cut.result(), QDialog::Accepted);
    }
    EXPECT_EQ(prompts, 3);
    EXPECT_EQ(Setting("TIMES", "time"), "0");
}

}  // namespace
