#include "platform/choosers.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>

namespace {

TEST(WindowsFilterToQt, ConvertsEntries) {
    const struct {
        const char* windows;
        const char* qt;
    } cases[] = {
        {"Video files|*.mp4;*.avi|All files|*.*|", "Video files (*.mp4 *.avi);;All files (*.*)"},
        {"Video files|*.mp4;*.avi|All files|*.*||", "Video files (*.mp4 *.avi);;All files (*.*)"},
        {"MP3 files(*.mp3)|*.mp3|", "MP3 files(*.mp3) (*.mp3)"},
        {"Spaced| *.a ; *.b ;|", "Spaced (*.a *.b)"},
        {"|*.x|", ""},
        {" |*.x|", "(*.x)"},
        {"First|*.f||Next|*.n|", "First (*.f)"},
        {"Skipped| ;|Kept|*.k|", "Kept (*.k)"},
        {"", ""},
        {"Odd entry without patterns", ""},
        {"视频文件|*.mkv|所有文件|*.*|", "视频文件 (*.mkv);;所有文件 (*.*)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::WindowsFilterToQt(QString::fromUtf8(c.windows)), QString::fromUtf8(c.qt))
            << c.windows;
    }
}

TEST(WindowsFilterToQt, VideoToolFilterKeepsEveryPatternInOrder) {
    const QString patterns =
        "*.rm;*.rmvb;*.flv;*.swf;*.f4v;*.mov;*.qt;*.avi;*.mpg;*.mpeg;*.mod;*.tod;*.mts;*.ts;*.nut;*.h264;*."
        "nsv;"
        "*.dv;*.m2t;*.vob;*.dat;*.mkv;*.mp4;*.m4v;*.3gp;*.3g2;*.3gpp;*.asf;*.wmv;*.wm";
    const QString filter = "Videos|" + patterns + "|All files|*.*|";
    const QString qt = platform::WindowsFilterToQt(filter);
    EXPECT_EQ(qt, "Videos (" + QString(patterns).replace(';', ' ') + ");;All files (*.*)");
}

TEST(Choosers, HandlersGetTheQtFilterAndAnswer) {
    QString asked_title, asked_filter, asked_folder;
    platform::SetOpenFilesHandler([&](const QString& title, const QString& filter, const QString& folder) {
        asked_title = title;
        asked_filter = filter;
        asked_folder = folder;
        return QStringList{"/a.mp4", "/b.mp4"};
    });
    EXPECT_EQ(platform::ChooseOpenFiles(nullptr, "Add", "Videos|*.mp4|", "/videos"),
              (QStringList{"/a.mp4", "/b.mp4"}));
    EXPECT_EQ(asked_title, "Add");
    EXPECT_EQ(asked_filter, "Videos (*.mp4)");
    EXPECT_EQ(asked_folder, "/videos");
    platform::SetOpenFilesHandler({});

    platform::SetFolderHandler([](const QString&) { return QStringLiteral("/tmp/out/"); });
    EXPECT_EQ(platform::ChooseFolder(nullptr, "Please select output folder:"), "/tmp/out");
    platform::SetFolderHandler([](const QString&) { return QStringLiteral("/"); });
    EXPECT_EQ(platform::ChooseFolder(nullptr, "t"), "/");
    platform::SetFolderHandler({});
}

TEST(Choosers, ScopedAnswersComeInOrderThenCancel) {
    platform::ScopedChooserAnswers answers;
    answers.addOpenFilesAnswer({"/x.mp3"});
    answers.addFolderAnswer("/first");
    answers.addFolderAnswer("/second");
    EXPECT_EQ(platform::ChooseOpenFiles(nullptr, "Open", "Audio|*.mp3|"), QStringList{"/x.mp3"});
    EXPECT_TRUE(platform::ChooseOpenFiles(nullptr, "Open again", "Audio|*.mp3|").isEmpty());
    EXPECT_EQ(platform::ChooseFolder(nullptr, "Please select output folder:"), "/first");
    EXPECT_EQ(platform::ChooseFolder(nullptr, "Please select output folder:"), "/second");
    EXPECT_EQ(platform::ChooseFolder(nullptr, "Please select output folder:"), QString());
    EXPECT_EQ(answers.openFilesTitles(), (QStringList{"Open", "Open again"}));
    EXPECT_EQ(answers.openFilesFilters(), (QStringList{"Audio (*.mp3)", "Audio (*.mp3)"}));
    EXPECT_EQ(answers.folderTitles().size(), 3);
}

// The real dialogs, answered from their own event loop.
TEST(Choosers, RealDialogsReturnWhatIsChosen) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("out"));
    for (const char* name : {"a.mp4", "b.mp4", "c.txt"}) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    QString title, filters, opened_in;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        title = dialog->windowTitle();
        filters = dialog->nameFilters().join("|");
        opened_in = dialog->directory().absolutePath();
        dialog->selectFile(QStringLiteral("\"a.mp4\" \"b.mp4\""));
        static_cast<QDialog*>(dialog)->accept();
    });
    const QStringList files =
        platform::ChooseOpenFiles(nullptr, "Add videos", "Videos|*.mp4|All|*.*|", dir.path());
    EXPECT_EQ(title, "Add videos");
    EXPECT_EQ(opened_in, dir.path());
    EXPECT_EQ(filters, "Videos (*.mp4)|All (*.*)");
    EXPECT_EQ(files, (QStringList{dir.filePath("a.mp4"), dir.filePath("b.mp4")}));

    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        title = dialog->windowTitle();
        dialog->setDirectory(dir.filePath("out"));
        static_cast<QDialog*>(dialog)->accept();
    });
    EXPECT_EQ(platform::ChooseFolder(nullptr, "Please select output folder:"), dir.filePath("out"));
    EXPECT_EQ(title, "Please select output folder:");

    QTimer::singleShot(0, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) dialog->reject();
    });
    EXPECT_EQ(platform::ChooseFolder(nullptr, "Please select output folder:"), QString());
}

}  // namespace
