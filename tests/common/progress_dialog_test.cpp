// The progress dialog, off-screen: its texts, and that only Stop and the close box end it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "common/av_convert_dlg.h"
#include "controls/label.h"
#include "platform/dialog_template.h"
#include "support/fixtures.h"

namespace {

void Write(const QString& path, const QByteArray& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

class ProgressDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = QString::fromStdString(testsupport::ScratchDir("progress_dialog"));
        QDir().mkpath(folder_ + "/languages");
        Write(folder_ + "/setting.ini", "[LANGUAGE]\nfile=x.ini\n");
        Write(folder_ + "/languages/x.ini",
              "[APPLICATION]\nname=Caption\n[JIEMIAN]\ndqwj=Current:\nzgwj=All:\ntz=Halt\n");
    }
    QString folder_;
};

TEST_F(ProgressDialogTest, OpensWithLanguageTextsAndTemplateLines) {
    CAVConvertDlg dialog(folder_);
    dialog.SetCurrentFileLine("old");
    dialog.SetFileBar(70);
    dialog.PrepareToOpen();
    EXPECT_EQ(dialog.windowTitle(), "Caption");
    EXPECT_EQ(platform::ControlAs<QLabel>(&dialog, CAVConvertDlg::kCurrentFileLabel)->text(), "Current:");
    EXPECT_EQ(platform::ControlAs<QLabel>(&dialog, CAVConvertDlg::kFileCountLabel)->text(), "All:");
    EXPECT_EQ(dialog.stopButton()->text(), "Halt");
    EXPECT_EQ(dialog.stopButton()->toolTip(), "Halt");
    EXPECT_EQ(dialog.currentFileLine()->Text(), "...");
    EXPECT_EQ(dialog.fileCountLine()->Text(), "...");
    EXPECT_EQ(dialog.fileBar()->value(), 0);
    EXPECT_EQ(dialog.fileBar()->maximum(), 100);
    EXPECT_EQ(dialog.filesBar()->maximum(), 100);
}

// Runs the dialog modally; while it is open, does `keys` and then `end`, and reports whether the
// dialog was still open after the keys and how often Stop was signalled.
struct RunResult {
    bool open_after_keys = false;
    int stops = 0;
};

RunResult RunWith(CAVConvertDlg& dialog, std::function<void()> end) {
    RunResult r;
    QSignalSpy spy(&dialog, &CAVConvertDlg::stopRequested);
    QTimer::singleShot(0, &dialog, [&] {
        for (QWidget* target : {static_cast<QWidget*>(&dialog), static_cast<QWidget*>(dialog.stopButton())}) {
            target->setFocus();
            QTest::keyClick(target, Qt::Key_Escape);
            QTest::keyClick(target, Qt::Key_Return);
            QTest::keyClick(target, Qt::Key_Enter);
        }
        r.open_after_keys = dialog.isVisible();
        end();
    });
    dialog.Run();
    r.stops = spy.count();
    return r;
}

TEST_F(ProgressDialogTest, EscapeAndEnterDoNothingStopAndCloseBoxEndIt) {
    CAVConvertDlg dialog(folder_);
    const RunResult by_button =
        RunWith(dialog, [&] { QTest::mouseClick(dialog.stopButton(), Qt::LeftButton); });
    EXPECT_TRUE(by_button.open_after_keys);
    EXPECT_EQ(by_button.stops, 1);
    EXPECT_FALSE(dialog.isVisible());

    const RunResult by_close_box = RunWith(dialog, [&] { dialog.close(); });
    EXPECT_TRUE(by_close_box.open_after_keys);
    EXPECT_EQ(by_close_box.stops, 1);
    EXPECT_FALSE(dialog.isVisible());

    // The owner's timer ends it with done(): no stop request.
    const RunResult by_owner = RunWith(dialog, [&] { dialog.done(QDialog::Accepted); });
    EXPECT_EQ(by_owner.stops, 0);
}

}  // namespace
