// Taviro's main window, off-screen, built from a real setting.ini and language file in a temporary
// program folder, driven through its widgets.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QStandardPaths>
#include <QTabBar>
#include <QTest>
#include <QToolTip>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "common/time_text.h"
#include "controls/bitmap_slider.h"
#include "controls/check_list_ctrl.h"
#include "controls/control_button.h"
#include "controls/hyperlink.h"
#include "platform/choosers.h"
#include "platform/message_box.h"
#include "platform/profile.h"
#include "platform/program_folder.h"
#include "platform/shell_open.h"
#include "support/ffprobe.h"
#include "support/fixtures.h"
#include "support/run.h"
#include "videotool/main_template.h"
#include "videotool/solvane_dlg.h"
#include "videotool/window_clicks.h"

using namespace taviro;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

void WriteText(const QString& path, const QString& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.toUtf8());
}

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A language file whose every text names its own key, so each control shows where its text came from.
QString MarkedLanguageFile(const QStringList& left_out = {}) {
    const char* const sections[][2] = {
        {"APPLICATION", "name version url"},
        {"JIEMIAN", "yy zysybrj zb ksjq jsjq jqsj symtwj sywj spjq sphb ywj spgs spcd spdx zl zt zzwm"},
        {"TISHI", "wj wx qxtjsp wfdkwy wfbf"},
        {"HINT", "tjspwj sc hbcygwj ksjq djsbzj bf szksjqd szjsjqd zjsrsjd jpyd"}};
    QString text;
    for (const auto& s : sections) {
        text += QString("[%1]\n").arg(s[0]);
        for (const QString& key : QString(s[1]).split(' '))
            if (!left_out.contains(QString(s[0]) + "/" + key))
                text += QString("%1=%2.%3\n").arg(key, s[0], key);
    }
    return text;
}

// The rectangle of the picture painted into the preview frame: the pixels `in_picture` takes.
// The frame's 1-pixel border covers the picture's edge rows and columns: one that reaches the border
// is taken to run under it.
template <class InPicture>
QRect PaintedPicture(const QImage& shown, const QRect& frame, InPicture in_picture) {
    const QRect inside = frame.adjusted(1, 1, -1, -1);
    QRect painted;
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if (in_picture(shown.pixelColor(x, y))) painted |= QRect(x, y, 1, 1);
    if (painted.isEmpty()) return painted;
    if (painted.left() == inside.left()) painted.setLeft(frame.left());
    if (painted.right() == inside.right()) painted.setRight(frame.right());
    if (painted.top() == inside.top()) painted.setTop(frame.top());
    if (painted.bottom() == inside.bottom()) painted.setBottom(frame.bottom());
    return painted;
}

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        folder_ = Q(testsupport::ScratchDir("main_window_" + name));
    }
    void TearDown() override { window_.reset(); }

    QString Path(const QString& name) const { return folder_ + "/" + name; }
    void UseShippedFiles() {
        QFile::copy(SHIPPED_SETTING_FILE, Path("setting.ini"));
        QDir().mkpath(Path("languages"));
        for (const char* l : {"english.ini", "german.ini", "chinese.ini"})
            QFile::copy(QString(SHIPPED_LANGUAGE_DIR) + "/" + l, Path("languages/") + l);
    }
    void UseMarkedLanguage(const QStringList& left_out = {}) {
        WriteText(Path("setting.ini"),
                  "[LANGUAGE]\nfile=marked.ini\nname1=One\nname2=Two\n[TIMES]\ntime=1\n");
        WriteText(Path("languages/marked.ini"), MarkedLanguageFile(left_out));
    }
    CSolvaneDlg& Open() {
        window_ = std::make_unique<CSolvaneDlg>(folder_);
        window_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
        return *window_;
    }
    QWidget* Control(int id) const { return window_->control(id); }
    QString LabelText(int id) const { return static_cast<QLabel*>(Control(id))->text(); }

    void ClickButton(int id) {
        window_clicks::ClickImageButton(static_cast<CControlButton*>(Control(id)), id);
    }
    void ClickTab(int index) { window_clicks::ClickTab(window_->tabs(), index); }
    // Adds files through the add button of the current tab, answering the open-file dialog.
    void AddThroughDialog(int button, const QStringList& files) {
        platform::ScopedChooserAnswers answers;
        answers.addOpenFilesAnswer(files);
        ClickButton(button);
        ASSERT_EQ(answers.openFilesFilters().size(), 1);
    }
    int ClickSliderAt(int value) { return window_clicks::ClickSliderAt(window_->slider(), value); }

    QString folder_;
    std::unique_ptr<CSolvaneDlg> window_;
};

TEST_F(MainWindowTest, EveryTextComesFromTheLanguageFile) {
    UseMarkedLanguage();
    CSolvaneDlg& w = Open();
    EXPECT_EQ(w.windowTitle(), "APPLICATION.name APPLICATION.version");
    const std::pair<int, const char*> labels[] = {{kStartLabel, "JIEMIAN.ksjq"},
                                                  {kEndLabel, "JIEMIAN.jsjq"},
                                                  {kLengthLabel, "JIEMIAN.jqsj"},
                                                  {kLanguageLabel, "JIEMIAN.yy"}};
    for (const auto& [id, text] : labels) EXPECT_EQ(LabelText(id), text) << id;
    EXPECT_EQ(w.tabs()->tabText(0), "JIEMIAN.spjq");
    EXPECT_EQ(w.tabs()->tabText(1), "JIEMIAN.sphb");
    const char* const columns[] = {"ywj", "spgs", "spcd", "spdx", "zl", "zt"};
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(w.fileList()->horizontalHeaderItem(c)->text(), QString("JIEMIAN.") + columns[c]);
    auto* help = static_cast<CHyperLink*>(Control(kHelpLink));
    EXPECT_EQ(help->Text(), "JIEMIAN.zysybrj");
    EXPECT_EQ(help->Address(), "APPLICATION.url");
    EXPECT_EQ(static_cast<CHyperLink*>(Control(kSponsorLink))->Text(), "JIEMIAN.zzwm");
    // Tooltips name the keys that do what the control does.
    const std::pair<int, const char*> tips[] = {{kAddButton, "HINT.tjspwj (Ctrl+O)"},
                                                {kOpenFileButton, "HINT.tjspwj (Ctrl+O)"},
                                                {kAddFilesButton, "HINT.tjspwj (Ctrl+O)"},
                                                {kRemoveButton, "HINT.sc (Del)"},
                                                {kMergeButton, "HINT.hbcygwj"},
                                                {kCutButton, "HINT.ksjq"},
                                                {kPositionSlider, "HINT.djsbzj\nHINT.jpyd"},
                                                {kPlayButton, "HINT.bf"},
                                                {kStartPointButton, "HINT.szksjqd ([, I)"},
                                                {kEndPointButton, "HINT.szjsjqd (], O)"},
                                                {kStartField, "HINT.zjsrsjd"},
                                                {kEndField, "HINT.zjsrsjd"}};
    for (const auto& [id, tip] : tips) EXPECT_EQ(Control(id)->toolTip(), tip) << id;
    EXPECT_EQ(w.text("TISHI", "qxtjsp"), "TISHI.qxtjsp");  // cached for the commands
    // Seven languages, named by the settings file or else by their own names.
    EXPECT_EQ(w.languageBox()->count(), 7);
    EXPECT_EQ(w.languageBox()->itemText(1), "Two");
    EXPECT_EQ(w.languageBox()->itemText(6), QString::fromUtf8("中文"));
    EXPECT_TRUE(w.languageBox()->isVisible());
    EXPECT_EQ(w.languageBox()->currentIndex(), -1);  // "marked.ini" is no item of the box
}

TEST_F(MainWindowTest, ShippedEnglishFileGivesTitleAndSelection) {
    UseShippedFiles();
    CSolvaneDlg& w = Open();
    EXPECT_EQ(w.windowTitle(), "Taviro Video Cutter 1.0");
    EXPECT_EQ(LabelText(kStartLabel), "Start time:");
    EXPECT_EQ(w.languageBox()->currentIndex(), 0);
    EXPECT_EQ(w.languageBox()->itemText(5), QString::fromUtf8("日本語"));
    EXPECT_EQ(w.startField()->text(), "00:00:00.000");
    EXPECT_EQ(w.endField()->text(), "00:00:00.000");
    EXPECT_EQ(LabelText(kPositionText), "00:00:00.000 / 00:00:00.000");

    // The window carries the application icon, whose outside is transparent.
    ASSERT_FALSE(w.windowIcon().isNull());
    const QImage icon = w.windowIcon().pixmap(64, 64).toImage();
    EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(icon.pixel(32, 32)), 255);
}

TEST_F(MainWindowTest, MissingKeyGivesAnEmptyText) {
    UseMarkedLanguage({"JIEMIAN/jsjq", "APPLICATION/version", "HINT/bf"});
    CSolvaneDlg& w = Open();
    EXPECT_EQ(LabelText(kEndLabel), "");
    EXPECT_EQ(LabelText(kStartLabel), "JIEMIAN.ksjq");
    EXPECT_EQ(w.windowTitle(), "APPLICATION.name ");
    EXPECT_EQ(Control(kPlayButton)->toolTip(), "");
}

TEST_F(MainWindowTest, ALanguageFileNamedOutsideItsFolderOrBrokenGivesEnglish) {
    WriteText(Path("languages/english.ini"), MarkedLanguageFile());
    WriteText(Path("languages/broken.ini"), "no section, no key");
    for (const char* name : {"../../../../dev/zero", "/etc/passwd", "missing.ini", "broken.ini"}) {
        SCOPED_TRACE(name);
        WriteText(Path("setting.ini"), QStringLiteral("[LANGUAGE]\nfile=%1\n").arg(name));
        CSolvaneDlg& w = Open();
        EXPECT_EQ(w.windowTitle(), "APPLICATION.name APPLICATION.version");
        w.close();
    }
}

TEST_F(MainWindowTest, MissingSettingsFileGivesEnglishTextsAndNoSelection) {
    WriteText(Path("languages/english.ini"), MarkedLanguageFile());  // present, but never named
    CSolvaneDlg& w = Open();
    // No language named: the window still speaks, in English.
    EXPECT_EQ(w.windowTitle(), "APPLICATION.name APPLICATION.version");
    EXPECT_EQ(LabelText(kStartLabel), "JIEMIAN.ksjq");
    EXPECT_EQ(w.tabs()->tabText(0), "JIEMIAN.spjq");
    EXPECT_EQ(w.languageBox()->count(), 7);
    EXPECT_EQ(w.languageBox()->currentIndex(), -1);
    EXPECT_EQ(w.sponsorship(), 1);
    EXPECT_FALSE(QFile::exists(Path("setting.ini")));  // reading creates nothing
}

TEST_F(MainWindowTest, ChineseLanguageFileIsTheBoxsLastItem) {
    UseShippedFiles();
    platform::WriteProfileString("LANGUAGE", "file", "chinese.ini", Path("setting.ini"));
    CSolvaneDlg& w = Open();
    EXPECT_EQ(w.languageBox()->currentIndex(), 6);
    EXPECT_EQ(w.tabs()->tabText(1), QString::fromUtf8("视频合并"));
    EXPECT_EQ(static_cast<CHyperLink*>(Control(kSponsorLink))->Text(), QString::fromUtf8("赞助我们"));
    // Qt's own buttons and dialogs speak Chinese too.
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString::fromUtf8("取消"));
}

TEST_F(MainWindowTest, LanguageSwitchRewritesTheSettingAndTheTexts) {
    UseShippedFiles();
    CSolvaneDlg& w = Open();
    w.languageBox()->setCurrentIndex(2);
    EXPECT_EQ(platform::ReadProfileString("LANGUAGE", "file", "", Path("setting.ini")), "german.ini");
    EXPECT_EQ(w.windowTitle(), "Taviro Videoschnitt 1.0");
    EXPECT_EQ(LabelText(kEndLabel), "Ende:");
    EXPECT_EQ(static_cast<CHyperLink*>(Control(kSponsorLink))->Text(), "Spenden");
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Abbrechen");
    EXPECT_EQ(Control(kRemoveButton)->toolTip(), QString::fromUtf8("Ausgewähltes Video entfernen (Entf)"));
    // Both German tab texts show in full, without scroll arrows, and stay clear of the help link.
    EXPECT_GE(w.tabs()->width(), w.tabs()->sizeHint().width());
    EXPECT_LT(w.tabs()->geometry().right(), Control(kHelpLink)->x());
    EXPECT_EQ(platform::ReadProfileString("LANGUAGE", "name3", "", Path("setting.ini")), "Deutsch");
}

TEST_F(MainWindowTest, TabsShowAndHideTheirControls) {
    UseShippedFiles();
    CSolvaneDlg& w = Open();
    auto expect_tab = [&](bool cut) {
        for (int id : ControlsOfCutTab()) EXPECT_EQ(Control(id)->isVisible(), cut) << id;
        for (int id : ControlsOfMergeTab()) EXPECT_EQ(Control(id)->isVisible(), !cut) << id;
        for (int id : {kTabs, kHelpLink, kSponsorLink, kLanguageBox})
            EXPECT_TRUE(Control(id)->isVisible()) << id;
        EXPECT_FALSE(Control(kLanguageLabel)->isVisible());
    };
    expect_tab(true);
    EXPECT_FALSE(w.slider()->isEnabled());
    ClickTab(1);
    expect_tab(false);
    ClickTab(0);
    expect_tab(true);
}

TEST_F(MainWindowTest, MergeTabAppendsCheckedRowsWithTheirColumns) {
    UseShippedFiles();
    CSolvaneDlg& w = Open();
    ClickTab(1);
    const QStringList files = {Q(testsupport::Fixture("video_h264_aac.mp4")),
                               Q(testsupport::Fixture("video_flv1_mp3.flv")),
                               Q(testsupport::Fixture("video_h264_vorbis.mkv"))};
    AddThroughDialog(kAddFilesButton, files.mid(0, 1));
    w.fileList()->selectRow(0);
    AddThroughDialog(kAddFilesButton, files.mid(1));
    // Adding clears the selection of the first row.
    EXPECT_TRUE(w.fileList()->selectionModel()->selectedIndexes().isEmpty());
    CCheckListCtrl* list = w.fileList();
    ASSERT_EQ(list->rowCount(), 3);
    for (int row = 0; row < 3; ++row) {
        const testsupport::ProbedFile probe = testsupport::FFprobe(files[row].toStdString());
        const testsupport::ProbedStream* video = probe.First("video");
        ASSERT_NE(video, nullptr);
        EXPECT_TRUE(list->GetCheck(row)) << row;
        EXPECT_EQ(list->GetItemText(row, 0), files[row]);
        EXPECT_EQ(list->GetItemText(row, 1), QFileInfo(files[row]).suffix());
        EXPECT_NEAR(TextToTime(list->GetItemText(row, 2).toStdString()), probe.duration_s * 1000, 1.0);
        EXPECT_EQ(list->GetItemText(row, 3), QString("%1*%2").arg(video->width).arg(video->height));
        const QStringList rate = QString::fromStdString(video->r_frame_rate).split('/');
        EXPECT_EQ(list->GetItemText(row, 4),
                  QString::asprintf("%5.2ffps", rate[0].toDouble() / rate[1].toDouble()));
        EXPECT_EQ(list->GetItemText(row, 5), "Ready");
        EXPECT_EQ(list->item(row, 0)->toolTip(), files[row]);
    }
    // Long paths are cut in the middle, so the file name at their end shows; hovering shows it all.
    EXPECT_EQ(list->textElideMode(), Qt::ElideMiddle);
    const QRect cell = list->visualItemRect(list->item(1, 0));
    QHelpEvent hover(QEvent::ToolTip, cell.center(), list->viewport()->mapToGlobal(cell.center()));
    QCoreApplication::sendEvent(list->viewport(), &hover);
    EXPECT_EQ(QToolTip::text(), files[1]);
    QToolTip::hideText();
    // The cut tab is untouched by merge adds.
    EXPECT_TRUE(w.currentFile().isEmpty());
    EXPECT_FALSE(w.slider()->isEnabled());
}

TEST_F(MainWindowTest, AddDialogOpensInTheFolderLastAddedFrom) {
    UseShippedFiles();
    const QString fixtures = QFileInfo(Q(testsupport::Fixture("gop2_8s.mp4"))).absolutePath();
    const QString other = Path("other videos");
    QDir().mkpath(other);
    ASSERT_TRUE(QFile::copy(Q(testsupport::Fixture("video_h264_aac.mp4")), other + "/clip.mp4"));
    Open();
    platform::ScopedChooserAnswers answers;
    answers.addOpenFilesAnswer({Q(testsupport::Fixture("gop2_8s.mp4"))});
    ClickButton(kOpenFileButton);
    ClickTab(1);
    answers.addOpenFilesAnswer({other + "/clip.mp4"});
    ClickButton(kAddFilesButton);
    answers.addOpenFilesAnswer({});
    ClickButton(kAddFilesButton);
    ASSERT_EQ(answers.openFilesFolders().size(), 3);
    // Never the program's current folder: the first time, the user's videos or home folder.
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    EXPECT_EQ(answers.openFilesFolders()[0], QFileInfo(videos).isDir() ? videos : QDir::homePath());
    EXPECT_EQ(answers.openFilesFolders()[1], fixtures);
    EXPECT_EQ(answers.openFilesFolders()[2], other);
    EXPECT_EQ(platform::ReadProfileString("PATH", "tjml", "", Path("setting.ini")), other);

    // Kept for the next start.
    Open();
    answers.addOpenFilesAnswer({});
    ClickButton(kOpenFileButton);
    EXPECT_EQ(answers.openFilesFolders().last(), other);
}

TEST_F(MainWindowTest, FilesFromTheCommandLineAreAddedAtStart) {
    UseShippedFiles();
    const QString fixtures = QFileInfo(Q(testsupport::Fixture("gop2_8s.mp4"))).absolutePath();
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(fixtures));
    CSolvaneDlg& w = Open();
    // As the add button takes them: in the cut tab the last one is loaded.
    w.AddStartupFiles({"video_h264_aac.mp4", QUrl::fromLocalFile(fixtures + "/gop2_8s.mp4").toString()});
    EXPECT_TRUE(w.currentFile().isEmpty()) << "added once the event loop runs";
    QCoreApplication::processEvents();
    EXPECT_EQ(w.currentFile(), fixtures + "/gop2_8s.mp4");
    EXPECT_TRUE(w.slider()->isEnabled());
    EXPECT_NEAR(w.currentDurationMs(), 8000, 100);

    platform::ScopedMessageRecorder messages;
    w.AddStartupFiles({"no_such_video.mp4"});
    QCoreApplication::processEvents();
    QDir::setCurrent(before);
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.lastText(), "The file no_such_video.mp4 does not exist.");
}

TEST(ElidedPathText, KeepsTheFileNameAndCutsTheFolder) {
    const QFontMetrics metrics(QApplication::font());
    const QString ellipsis(QChar(0x2026));
    const int room = metrics.horizontalAdvance("/home/user/Videos/holiday_beach.mp4");
    const struct {
        QString path;
        QString starts_with;
        QString ends_with;
    } cases[] = {
        {"/home/user/Videos/holiday_beach.mp4", "/home/user/Videos/holiday_beach.mp4", ""},  // fits
        {"/home/user/Videos/2019/summer/family trip/holiday_beach.mp4", "/home/user/",
         ellipsis + "/holiday_beach.mp4"},
        {"/v/" + QString(60, 'x') + "_end.mp4", "", "_end.mp4"},  // the name alone is too long
        {QString(60, 'y') + ".mp4", "yyy", ".mp4"},               // no folder at all
    };
    for (const auto& c : cases) {
        const QString shown = ElidedPathText(c.path, metrics, room);
        EXPECT_LE(metrics.horizontalAdvance(shown), room) << shown.toStdString();
        EXPECT_TRUE(shown.startsWith(c.starts_with)) << shown.toStdString();
        EXPECT_TRUE(shown.endsWith(c.ends_with)) << shown.toStdString();
        EXPECT_EQ(shown == c.path, c.ends_with.isEmpty()) << shown.toStdString();
    }
}

TEST_F(MainWindowTest, BadFileShowsTheMessageAndStopsAdding) {
    UseShippedFiles();
    CSolvaneDlg& w = Open();
    ClickTab(1);
    platform::ScopedMessageRecorder messages;
    AddThroughDialog(kAddFilesButton,
                     {Q(testsupport::Fixture("video_h264_aac.mp4")), Q(testsupport::Fixture("not_media.mp4")),
                      Q(testsupport::Fixture("video_mpeg4_mp3.avi"))});
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.lastText(),
              "The file not_media.mp4 cannot be opened. It is not a video file this program can read.");
    ASSERT_EQ(w.fileList()->rowCount(), 1);
    EXPECT_TRUE(w.fileList()->GetItemText(0, 0).endsWith("video_h264_aac.mp4"));
}

TEST_F(MainWindowTest, CancelledDialogChangesNothing) {
    UseShippedFiles();
    CSolvaneDlg& w = Open();
    AddThroughDialog(kOpenFileButton, {});
    EXPECT_TRUE(w.currentFile().isEmpty());
    EXPECT_TRUE(Control(kAddButton)->isVisible());
}

TEST_F(MainWindowTest, CutTabLoadsTheLastChosenFile) {
    UseShippedFiles();
    CSolvaneDlg& w = Open();
    const QString last = Q(testsupport::Fixture("gop2_8s.mp4"));
    AddThroughDialog(kAddButton, {Q(testsupport::Fixture("video_h264_aac.mp4")), last});
    EXPECT_EQ(w.currentFile(), last);
    EXPECT_EQ(w.fileList()->rowCount(), 0);
    EXPECT_TRUE(w.slider()->isEnabled());
    EXPECT_FALSE(Control(kAddButton)->isVisible());

    const double duration_ms = testsupport::FFprobe(last.toStdString()).duration_s * 1000;
    EXPECT_EQ(w.startField()->text(), "00:00:00.000");
    EXPECT_NEAR(TextToTime(w.endField()->text().toStdString()), duration_ms, 1.0);
    EXPECT_EQ(LabelText(kLengthField), w.endField()->text());
    EXPECT_EQ(LabelText(kPositionText), "00:00:00.000 / " + w.endField()->text());
    EXPECT_EQ(w.slider()->GetSelectionStart(), 0);
    EXPECT_EQ(w.slider()->GetSelectionEnd(), 1000);

    // The first frame went into image.bmp in the program folder, and is what the window shows.
    EXPECT_EQ(w.previewImagePath(), Path("image.bmp"));
    EXPECT_EQ(QFileInfo(Path("image.bmp")).size(), 691254);
    EXPECT_EQ(w.previewPicture().size(), QSize(640, 360));
    // The window draws that picture (4:3, pillarboxed) into the preview frame.
    const QRect frame = Control(kPreviewArea)->geometry();
    const QImage shown = w.grab().toImage();
    const QRect painted =
        PaintedPicture(shown, frame, [&](QColor p) { return p != w.palette().color(QPalette::Window); });
    EXPECT_NEAR(double(painted.width()) / painted.height(), 4.0 / 3.0, 0.02);
    const QImage picture = w.previewPicture().toImage();
    for (const QPointF share : {QPointF(0.25, 0.5), QPointF(0.5, 0.5), QPointF(0.8, 0.7)}) {
        const QColor on_screen = shown.pixelColor(painted.x() + int(share.x() * painted.width()),
                                                  painted.y() + int(share.y() * painted.height()));
        const QColor in_file = picture.pixelColor(int(share.x() * 640), int(share.y() * 360));
        EXPECT_NEAR(on_screen.red(), in_file.red(), 40);
        EXPECT_NEAR(on_screen.green(), in_file.green(), 40);
        EXPECT_NEAR(on_screen.blue(), in_file.blue(), 40);
    }

    // Back and forth between the tabs keeps the add button hidden.
    ClickTab(1);
    ClickTab(0);
    EXPECT_FALSE(Control(kAddButton)->isVisible());
}

// The preview keeps the picture's proportions, sample aspect ratio included, with bars in the
// window's colour; the BMP stays 640 x 360.
TEST_F(MainWindowTest, ThePreviewKeepsThePicturesProportions) {
    UseShippedFiles();
    CSolvaneDlg& w = Open();
    const std::string dir = testsupport::ScratchDir("preview_aspect");
    const QColor fill(0x30, 0xa0, 0x50);
    const struct {
        const char* name;
        const char* size;
        const char* sar;
    } cases[] = {
        {"square_4x3.mp4", "640x480", "1/1"},
        {"pal_16x9.mp4", "720x576", "64/45"},
        {"pal_4x3.mp4", "720x576", "16/15"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = dir + "/" + c.name;
        const auto made =
            testsupport::RunCommand({"ffmpeg", "-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
                                     std::string("color=c=0x30a050:rate=5:duration=1:size=") + c.size, "-vf",
                                     std::string("setsar=") + c.sar, "-c:v", "libx264", "-preset",
                                     "ultrafast", "-pix_fmt", "yuv420p", file});
        ASSERT_EQ(made.exit_code, 0) << made.err;
        const auto dar =
            testsupport::RunCommand({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                                     "stream=display_aspect_ratio", "-of", "csv=p=0", file});
        int num = 0, den = 0;
        ASSERT_EQ(std::sscanf(dar.out.c_str(), "%d:%d", &num, &den), 2) << dar.out;
        const double aspect = double(num) / den;

        AddThroughDialog(kOpenFileButton, {Q(file)});
        ASSERT_TRUE(w.WaitForPreviewBitmap());
        EXPECT_EQ(QFileInfo(Path("image.bmp")).size(), 691254);
        EXPECT_EQ(w.previewPicture().size(), QSize(640, 360));

        // The painted picture: the pixels of its colour.
        const QRect frame = Control(kPreviewArea)->geometry();
        const QRect inside = frame.adjusted(1, 1, -1, -1);
        const QImage shown = w.grab().toImage();
        const QRect painted = PaintedPicture(shown, frame, [&](QColor p) {
            return std::abs(p.red() - fill.red()) < 30 && std::abs(p.green() - fill.green()) < 30 &&
                   std::abs(p.blue() - fill.blue()) < 30;
        });
        ASSERT_FALSE(painted.isEmpty());
        // It fills the frame one way and is centred the other, at the file's display proportions.
        const bool full_height = painted.height() == frame.height();
        EXPECT_NEAR(double(painted.width()) / painted.height() / aspect, 1.0, 0.02)
            << painted.width() << "x" << painted.height();
        if (full_height) {
            EXPECT_NEAR(painted.left() - frame.left(), frame.right() - painted.right(), 2);
        } else {
            EXPECT_EQ(painted.width(), frame.width());
            EXPECT_NEAR(painted.top() - frame.top(), frame.bottom() - painted.bottom(), 2);
        }
        // The bars show the window's own colour.
        const QPoint in_bar = full_height ? QPoint((inside.left() + painted.left()) / 2, frame.center().y())
                                          : QPoint(frame.center().x(), (inside.top() + painted.top()) / 2);
        if (full_height ? painted.left() - inside.left() > 2 : painted.top() - inside.top() > 2)
            EXPECT_EQ(shown.pixelColor(in_bar), w.palette().color(QPalette::Window));
    }
}

TEST_F(MainWindowTest, AReadOnlyProgramFolderGetsNoFilesFromTheWindow) {
    UseShippedFiles();
    const auto write = QFile::WriteOwner | QFile::WriteUser | QFile::WriteGroup | QFile::WriteOther;
    const auto permissions = QFile::permissions(folder_);
    ASSERT_TRUE(QFile::setPermissions(folder_, permissions & ~write));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(Path("../config_" + QFileInfo(folder_).fileName())));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(Path("../cache_" + QFileInfo(folder_).fileName())));
    const platform::ToolFolders folders = platform::ToolFoldersFor("taviro", folder_);
    window_ = std::make_unique<CSolvaneDlg>(common::ProgramFiles(folders.settings, folders.scratch));
    window_->show();
    AddThroughDialog(kAddButton, {Q(testsupport::Fixture("gop2_8s.mp4"))});

    EXPECT_EQ(window_->previewImagePath(), folders.scratch + "/image.bmp");
    EXPECT_EQ(QFileInfo(folders.scratch + "/image.bmp").size(), 691254);
    EXPECT_EQ(window_->settingsPath(), folders.settings + "/setting.ini");
    EXPECT_FALSE(QFileInfo::exists(Path("image.bmp")));
    QFile::setPermissions(folder_, permissions);
}

TEST_F(MainWindowTest, MovingTheSliderWritesANewFrameAndPosition) {
    UseShippedFiles();
    CSolvaneDlg& w = Open();
    AddThroughDialog(kOpenFileButton, {Q(testsupport::Fixture("gop2_8s.mp4"))});
    const QByteArray first = ReadBytes(Path("image.bmp"));
    ASSERT_EQ(first.size(), 691254);
    const QImage first_shown = w.previewPicture().toImage();

    const int position = ClickSliderAt(500);
    EXPECT_NEAR(position, 500, 3);
    ASSERT_TRUE(w.WaitForPreviewBitmap());
    const QByteArray middle = ReadBytes(Path("image.bmp"));
    EXPECT_EQ(middle.size(), 691254);
    EXPECT_NE(middle, first);
    // The window shows the new file, not a picture cached from the old one of the same name and size.
    EXPECT_EQ(w.previewPicture().toImage(), QImage::fromData(middle).convertToFormat(first_shown.format()));
    EXPECT_NE(w.previewPicture().toImage(), first_shown);
    const QString text = LabelText(kPositionText);
    const double duration_ms = testsupport::FFprobe(testsupport::Fixture("gop2_8s.mp4")).duration_s * 1000;
    EXPECT_NEAR(TextToTime(text.section(" / ", 0, 0).toStdString()), duration_ms * position / 1000, 2.0);
    EXPECT_NEAR(TextToTime(text.section(" / ", 1, 1).toStdString()), duration_ms, 1.0);
    EXPECT_NEAR(w.previewPositionMs(), duration_ms * position / 1000, 2.0);
}

TEST_F(MainWindowTest, PointButtonsDoNothingBeforeAVideoIsLoaded) {
    UseShippedFiles();
    CSolvaneDlg& w = Open();
    ClickButton(kStartPointButton);
    ClickButton(kEndPointButton);
    EXPECT_EQ(w.startField()->text(), "00:00:00.000");
    EXPECT_EQ(w.endField()->text(), "00:00:00.000");
    EXPECT_EQ(w.slider()->GetSelectionMode(), 0);
}

TEST_F(MainWindowTest, StartPointResetsTheEndButKeepsTheSliderMark) {
    UseShippedFiles();
    CSolvaneDlg& w = Open();
    AddThroughDialog(kOpenFileButton, {Q(testsupport::Fixture("gop2_8s.mp4"))});
    const QString full = w.endField()->text();

    const int end_position = ClickSliderAt(875);  // about 7 s
    ClickButton(kEndPointButton);
    EXPECT_EQ(w.slider()->GetSelectionEnd(), end_position);
    EXPECT_EQ(w.slider()->GetSelectionMode(), 2);
    EXPECT_EQ(w.startField()->text(), "00:00:00.000");
    EXPECT_EQ(w.endField()->text(), Q(TimeToText(w.previewPositionMs())));
    EXPECT_EQ(LabelText(kLengthField), w.endField()->text());

    const int start_position = ClickSliderAt(375);  // about 3 s
    ClickButton(kStartPointButton);
    EXPECT_EQ(w.slider()->GetSelectionStart(), start_position);
    EXPECT_EQ(w.slider()->GetSelectionEnd(), end_position);
    EXPECT_EQ(w.slider()->GetSelectionMode(), 1);
    EXPECT_EQ(w.startField()->text(), Q(TimeToText(w.previewPositionMs())));
    EXPECT_EQ(w.endField()->text(), full);
    EXPECT_EQ(LabelText(kLengthField), Q(TimeToText(TextToTime(full.toStdString()) - w.previewPositionMs())));
}

TEST_F(MainWindowTest, EndPointBeforeTheStartSwapsTheTimes) {
    UseShippedFiles();
    CSolvaneDlg& w = Open();
    AddThroughDialog(kOpenFileButton, {Q(testsupport::Fixture("gop2_8s.mp4"))});
    w.startField()->clear();
    QTest::keyClicks(w.startField(), "00:00:05.000");
    ClickSliderAt(250);  // about 2 s
    const int32_t p = w.previewPositionMs();
    ASSERT_LT(p, 5000);
    ClickButton(kEndPointButton);
    EXPECT_EQ(w.startField()->text(), Q(TimeToText(p)));
    EXPECT_EQ(w.endField()->text(), "00:00:05.000");
    EXPECT_EQ(LabelText(kLengthField), Q(TimeToText(5000 - p)));
}

TEST_F(MainWindowTest, TypedTimesSetTheLengthAndTheMarksAndTextsThatAreNoTimeShowRed) {
    UseShippedFiles();
    CSolvaneDlg& w = Open();
    AddThroughDialog(kOpenFileButton, {Q(testsupport::Fixture("gop2_8s.mp4"))});
    const int32_t d = w.currentDurationMs();
    ASSERT_NEAR(d, 8000, 100);
    const QColor normal = w.startField()->palette().color(QPalette::Text);
    auto type = [](QLineEdit* field, const QString& text) {
        field->setFocus();
        field->selectAll();
        if (text.isEmpty()) QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
    };
    auto red = [](QLineEdit* field) { return field->palette().color(QPalette::Text).red() > 150; };
    ASSERT_FALSE(red(w.startField()));

    type(w.startField(), "00:00:01.500");
    type(w.endField(), "00:00:04.000");
    EXPECT_EQ(LabelText(kLengthField), "00:00:02.500");
    EXPECT_EQ(w.slider()->GetSelectionStart(), 1500 * 1000 / d);
    EXPECT_EQ(w.slider()->GetSelectionEnd(), 4000 * 1000 / d);
    EXPECT_EQ(w.slider()->GetSelectionMode(), 2);
    type(w.endField(), "00:00:01.000");
    EXPECT_EQ(LabelText(kLengthField), "00:00:00.000");
    EXPECT_EQ(w.slider()->GetSelectionEnd(), 1000 * 1000 / d);

    // Red from the first keystroke that leaves no time, back to normal once the text is one again;
    // the marks stay where the last time put them.
    const struct {
        const char* text;
        bool is_time;
    } texts[] = {{"abc", false},          {"", false},        {"00:00:5", false},
                 {"00:61:00.000", false}, {"00:00:03", true}, {"00:00:06.250", true}};
    for (const auto& t : texts) {
        type(w.endField(), t.text);
        EXPECT_EQ(red(w.endField()), !t.is_time) << t.text;
        EXPECT_FALSE(red(w.startField())) << t.text;
    }
    EXPECT_EQ(w.endField()->palette().color(QPalette::Text), normal);
    EXPECT_EQ(w.slider()->GetSelectionEnd(), 6250 * 1000 / d);
}

TEST_F(MainWindowTest, LoadingAnotherVideoPutsTheThumbBackToTheStart) {
    UseShippedFiles();
    CSolvaneDlg& w = Open();
    AddThroughDialog(kOpenFileButton, {Q(testsupport::Fixture("gop2_8s.mp4"))});
    ClickSliderAt(600);
    ASSERT_GT(w.previewPositionMs(), 4000);
    AddThroughDialog(kOpenFileButton, {Q(testsupport::Fixture("video_h264_aac.mp4"))});
    EXPECT_EQ(w.slider()->GetPosition(), 0);
    EXPECT_EQ(w.previewPositionMs(), 0);
    EXPECT_EQ(LabelText(kPositionText), "00:00:00.000 / " + w.endField()->text());
    // The start point now takes the start of the new video.
    ClickButton(kStartPointButton);
    EXPECT_EQ(w.startField()->text(), "00:00:00.000");
    EXPECT_EQ(w.slider()->GetSelectionStart(), 0);
}

TEST_F(MainWindowTest, KeysAddFilesSetTheRangeAndStepThePreview) {
    UseShippedFiles();
    CSolvaneDlg& w = Open();
    {
        platform::ScopedChooserAnswers answers;
        answers.addOpenFilesAnswer({Q(testsupport::Fixture("gop2_8s.mp4"))});
        QTest::keyClick(&w, Qt::Key_O, Qt::ControlModifier);
        ASSERT_EQ(answers.openFilesFilters().size(), 1);
    }
    const int32_t d = w.currentDurationMs();
    ASSERT_NEAR(d, 8000, 100);
    const QString full = w.endField()->text();
    CBitmapSlider* slider = w.slider();
    ASSERT_GE(d, 7000);
    slider->setFocus();
    const QByteArray first_frame = ReadBytes(Path("image.bmp"));

    // Each key, where the preview is afterwards and the times the fields then hold (-1: the end of
    // the video, as loading and the start point put it).
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int32_t preview_ms;
        int32_t start_ms;
        int32_t end_ms;
    } steps[] = {
        {Qt::Key_Right, Qt::NoModifier, 1000, 0, -1},
        {Qt::Key_Right, Qt::NoModifier, 2000, 0, -1},
        {Qt::Key_BracketLeft, Qt::NoModifier, 2000, 2000, -1},
        {Qt::Key_Right, Qt::ShiftModifier, d, 2000, -1},  // held at the end of the video
        {Qt::Key_Left, Qt::NoModifier, d - 1000, 2000, -1},
        {Qt::Key_Left, Qt::ShiftModifier, 0, 2000, -1},  // held at its start
        {Qt::Key_Right, Qt::ShiftModifier, std::min(d, 10000), 2000, -1},
        {Qt::Key_Left, Qt::NoModifier, d - 1000, 2000, -1},
        {Qt::Key_Left, Qt::NoModifier, d - 2000, 2000, -1},
        {Qt::Key_BracketRight, Qt::NoModifier, d - 2000, 2000, d - 2000},
        {Qt::Key_Home, Qt::NoModifier, 2000, 2000, d - 2000},
        {Qt::Key_End, Qt::NoModifier, d - 2000, 2000, d - 2000},
        {Qt::Key_Left, Qt::NoModifier, d - 3000, 2000, d - 2000},
        {Qt::Key_O, Qt::NoModifier, d - 3000, 2000, d - 3000},
        {Qt::Key_Home, Qt::NoModifier, 2000, 2000, d - 3000},
        {Qt::Key_Left, Qt::NoModifier, 1000, 2000, d - 3000},
        {Qt::Key_I, Qt::NoModifier, 1000, 1000, -1},
    };
    QByteArray frame_near_the_end;
    for (const auto& step : steps) {
        SCOPED_TRACE(QKeySequence(step.key | step.modifiers).toString().toStdString());
        QTest::keyClick(QApplication::focusWidget(), step.key, step.modifiers);
        if (step.key == Qt::Key_BracketRight) {
            w.WaitForPreviewBitmap();
            frame_near_the_end = ReadBytes(Path("image.bmp"));
        }
        EXPECT_EQ(w.previewPositionMs(), step.preview_ms);
        EXPECT_EQ(slider->GetPosition(), step.preview_ms * 1000 / d);
        EXPECT_EQ(TextToTime(LabelText(kPositionText).section(" / ", 0, 0).toStdString()), step.preview_ms);
        EXPECT_EQ(w.startField()->text(), Q(TimeToText(step.start_ms)));
        EXPECT_EQ(w.endField()->text(), step.end_ms < 0 ? full : Q(TimeToText(step.end_ms)));
    }
    EXPECT_EQ(slider->GetSelectionStart(), 1000 * 1000 / d);
    EXPECT_EQ(slider->GetSelectionEnd(), (d - 3000) * 1000 / d);
    EXPECT_NE(frame_near_the_end, first_frame) << "the keys decode the frames they go to";

    // In a time field the arrows, Home and End move the cursor; letters and brackets still set points.
    w.endField()->setFocus();
    w.endField()->setCursorPosition(0);
    QTest::keyClick(w.endField(), Qt::Key_Right);
    QTest::keyClick(w.endField(), Qt::Key_End);
    EXPECT_EQ(w.endField()->cursorPosition(), w.endField()->text().size());
    EXPECT_EQ(w.previewPositionMs(), 1000);
    QTest::keyClick(w.endField(), Qt::Key_BracketRight);
    EXPECT_EQ(w.endField()->text(), "00:00:01.000");
    EXPECT_EQ(w.startField()->text(), "00:00:01.000");
}

TEST_F(MainWindowTest, DeleteInATimeFieldRemovesTheSelectedRow) {
    UseShippedFiles();
    CSolvaneDlg& w = Open();
    ClickTab(1);
    AddThroughDialog(kAddFilesButton, {Q(testsupport::Fixture("video_h264_aac.mp4")),
                                       Q(testsupport::Fixture("video_mpeg4_mp3.avi")),
                                       Q(testsupport::Fixture("video_flv1_mp3.flv"))});
    CCheckListCtrl* list = w.fileList();
    list->selectRow(2);
    ClickTab(0);
    w.startField()->setFocus();
    w.startField()->setCursorPosition(0);
    QTest::keyClick(w.startField(), Qt::Key_Delete);
    EXPECT_EQ(w.startField()->text(), "00:00:00.000");
    ASSERT_EQ(list->rowCount(), 2);
    // The last row was removed: the new last row is selected.
    EXPECT_TRUE(list->GetItemText(1, 0).endsWith(".avi"));
    EXPECT_EQ(list->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(list->selectionModel()->selectedRows().first().row(), 1);

    list->clearSelection();
    QTest::keyClick(w.endField(), Qt::Key_Delete);
    EXPECT_EQ(list->rowCount(), 2);  // nothing selected, nothing removed
}

TEST_F(MainWindowTest, RemoveButtonTakesOneRowAndSelectsTheNext) {
    UseShippedFiles();
    CSolvaneDlg& w = Open();
    ClickTab(1);
    AddThroughDialog(kAddFilesButton, {Q(testsupport::Fixture("video_h264_aac.mp4")),
                                       Q(testsupport::Fixture("video_mpeg4_mp3.avi")),
                                       Q(testsupport::Fixture("video_flv1_mp3.flv"))});
    CCheckListCtrl* list = w.fileList();
    list->selectRow(0);
    ClickButton(kRemoveButton);
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_TRUE(list->GetItemText(0, 0).endsWith(".avi"));
    EXPECT_EQ(list->selectionModel()->selectedRows().first().row(), 0);
}

TEST_F(MainWindowTest, EnterAndEscapeLeaveTheWindowOpenAndCloseEndsIt) {
    UseShippedFiles();
    CSolvaneDlg& w = Open();
    for (QWidget* target : {static_cast<QWidget*>(&w), static_cast<QWidget*>(w.startField())}) {
        QTest::keyClick(target, Qt::Key_Escape);
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Enter);
    }
    EXPECT_TRUE(w.isVisible());
    w.close();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.result(), QDialog::Accepted);
}

TEST_F(MainWindowTest, FailedAddInTheCutTabKeepsTheOldPreview) {
    UseShippedFiles();
    CSolvaneDlg& w = Open();
    AddThroughDialog(kOpenFileButton, {Q(testsupport::Fixture("gop2_8s.mp4"))});
    const QString end_before = w.endField()->text();
    platform::ScopedMessageRecorder messages;

    // A good file before the bad one becomes the current file, but nothing is loaded.
    const QString good = Q(testsupport::Fixture("video_h264_aac.mp4"));
    AddThroughDialog(kOpenFileButton, {good, Q(testsupport::Fixture("truncated.mp4"))});
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_TRUE(messages.lastText().contains("truncated.mp4"));
    EXPECT_EQ(w.currentFile(), good);
    EXPECT_EQ(w.endField()->text(), end_before);

    // A bad file alone leaves no current file: the point buttons stop working, the slider does not.
    AddThroughDialog(kOpenFileButton, {Q(testsupport::Fixture("not_media.mp4"))});
    EXPECT_EQ(messages.messages().size(), 2u);
    EXPECT_TRUE(w.currentFile().isEmpty());
    EXPECT_TRUE(w.slider()->isEnabled());
    ClickSliderAt(300);
    ClickButton(kStartPointButton);
    EXPECT_EQ(w.startField()->text(), "00:00:00.000");
    EXPECT_EQ(w.slider()->GetSelectionMode(), 0);
}

TEST_F(MainWindowTest, DraggingTheEmptyClientAreaMovesTheWindow) {
    UseShippedFiles();
    CSolvaneDlg& w = Open();
    // Right of the preview frame nothing lies under the pointer but the window itself.
    const QPoint at(w.width() - 3, w.height() / 2);
    ASSERT_EQ(w.childAt(at), nullptr);
    const QPoint before = w.pos();
    QTest::mousePress(&w, Qt::LeftButton, {}, at);
    QTest::mouseMove(&w, at + QPoint(40, 25));
    QTest::mouseRelease(&w, Qt::LeftButton, {}, at + QPoint(40, 25));
    EXPECT_EQ(w.pos(), before + QPoint(40, 25));
}

TEST_F(MainWindowTest, PlayOpensTheCurrentFile) {
    UseShippedFiles();
    QStringList opened;
    platform::SetShellOpenHandler([&](const QString& target) {
        opened << target;
        return platform::kShellOpenOk;
    });
    CSolvaneDlg& w = Open();
    ClickButton(kPlayButton);
    EXPECT_TRUE(opened.isEmpty());
    AddThroughDialog(kOpenFileButton, {Q(testsupport::Fixture("video_h264_aac.mp4"))});
    ClickButton(kPlayButton);
    EXPECT_EQ(opened, QStringList{w.currentFile()});

    // Without a player the user is told so.
    platform::SetShellOpenHandler([](const QString&) { return platform::kShellNoAssociation; });
    platform::ScopedMessageRecorder messages;
    ClickButton(kPlayButton);
    EXPECT_EQ(messages.lastText(), "No video player could be started for this file:\n" + w.currentFile());

    // A file deleted after it was loaded is said not to exist; no player is asked.
    const QString copy = Q(testsupport::ScratchDir("play_deleted")) + "/gone.mp4";
    ASSERT_TRUE(QFile::copy(Q(testsupport::Fixture("video_h264_aac.mp4")), copy));
    AddThroughDialog(kOpenFileButton, {copy});
    ASSERT_TRUE(QFile::remove(copy));
    opened.clear();
    platform::SetShellOpenHandler([&](const QString& target) {
        opened << target;
        return platform::kShellOpenOk;
    });
    ClickButton(kPlayButton);
    platform::SetShellOpenHandler({});
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(messages.lastText(), "The file gone.mp4 does not exist.");
}

TEST_F(MainWindowTest, DroppedFilesAreAddedLikeChosenOnes) {
    UseShippedFiles();
    CSolvaneDlg& w = Open();
    ClickTab(1);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(Q(testsupport::Fixture("video_h264_aac.mp4"))),
                  QUrl::fromLocalFile(Q(testsupport::Fixture("video_mpeg4_mp3.avi")))});
    const QPoint at = w.rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &drop);
    QCoreApplication::processEvents();
    EXPECT_EQ(w.fileList()->rowCount(), 2);
}

TEST_F(MainWindowTest, DueSponsorshipFetchesTheThreeFilesAtStart) {
    UseShippedFiles();
    platform::WriteProfileString("TIMES", "time", "0", Path("setting.ini"));
    const QString site = Q(testsupport::ScratchDir("main_window_site"));
    WriteText(site + "/languages/taviro/weixin.jpg", "W");
    WriteText(site + "/languages/taviro/zfb.jpg", "Z");
    WriteText(site + "/languages/taviro/chinese.ini", "[JIEMIAN]\nzzly=fetched\n");
    qputenv("SUITE_WEB_BASE", QUrl::fromLocalFile(site).toString().toUtf8());
    Open();
    qunsetenv("SUITE_WEB_BASE");
    EXPECT_EQ(ReadBytes(Path("weixin.jpg")), "W");
    EXPECT_EQ(ReadBytes(Path("zfb.jpg")), "Z");
    EXPECT_EQ(platform::ReadProfileString("JIEMIAN", "zzly", "", Path("languages/chinese.ini")), "fetched");
}

TEST_F(MainWindowTest, SponsorshipNotDueFetchesNothing) {
    UseShippedFiles();
    const QString site = Q(testsupport::ScratchDir("main_window_site_unused"));
    WriteText(site + "/languages/taviro/weixin.jpg", "W");
    qputenv("SUITE_WEB_BASE", QUrl::fromLocalFile(site).toString().toUtf8());
    Open();
    qunsetenv("SUITE_WEB_BASE");
    EXPECT_FALSE(QFile::exists(Path("weixin.jpg")));
}

}  // namespace
