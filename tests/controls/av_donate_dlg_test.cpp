// The sponsorship prompt, off-screen: countdown, texts from the Chinese file, the setting.ini write.
#include "controls/av_donate_dlg.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "platform/profile.h"
#include "support/fixtures.h"

namespace {

class DonateDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        folder_ = QString::fromStdString(testsupport::ScratchDir("donate_" + name));
        QDir().mkpath(folder_ + "/languages");
        Write("setting.ini", "[TIMES]\ntime=0\n");
    }
    void Write(const QString& name, const QByteArray& text) {
        QFile f(folder_ + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    void WriteChinese(int countdown, int bshow) {
        Write("languages/chinese.ini", QString("[JIEMIAN]\nzzly=第一段\nzzly1=第二段\n[SHOW]\nbshow=%1\n"
                                               "[TIMES]\ntime=%2\n")
                                           .arg(bshow)
                                           .arg(countdown)
                                           .toUtf8());
    }
    int StoredTime() const {
        return platform::ReadProfileInt("TIMES", "time", -99, folder_ + "/setting.ini");
    }
    QString folder_;
};

TEST_F(DonateDialogTest, CountsDownInTheButtonCaptionsThenEnablesBoth) {
    WriteChinese(3, 1);
    CAVDonateDlg dialog(folder_);
    dialog.PrepareToOpen();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("我们需要您的赞助，谢谢您的支持！"));
    EXPECT_EQ(dialog.message()->text(), QStringLiteral("第一段\n        第二段"));
    EXPECT_EQ(dialog.doneButton()->text(), QStringLiteral("确定"));
    EXPECT_TRUE(dialog.countdownTimer()->isActive());
    EXPECT_EQ(dialog.countdownTimer()->interval(), 1000);

    const int expected[] = {2, 1, 0};
    for (int n : expected) {
        EXPECT_FALSE(dialog.doneButton()->isEnabled());
        EXPECT_FALSE(dialog.laterButton()->isEnabled());
        dialog.Tick();
        EXPECT_EQ(dialog.doneButton()->text(), QStringLiteral("我已完成赞助,下一步(%1秒)").arg(n));
        EXPECT_EQ(dialog.laterButton()->text(), QStringLiteral("下次再说(%1秒)").arg(n));
    }
    EXPECT_TRUE(dialog.doneButton()->isEnabled());
    EXPECT_TRUE(dialog.laterButton()->isEnabled());
    EXPECT_FALSE(dialog.countdownTimer()->isActive());
}

TEST_F(DonateDialogTest, CountdownOfZeroOrLessEnablesAtOnce) {
    for (int countdown : {0, -5}) {
        SCOPED_TRACE(countdown);
        WriteChinese(countdown, 1);
        CAVDonateDlg dialog(folder_);
        dialog.PrepareToOpen();
        EXPECT_TRUE(dialog.doneButton()->isEnabled());
        EXPECT_TRUE(dialog.laterButton()->isEnabled());
        EXPECT_FALSE(dialog.countdownTimer()->isActive());
    }
}

TEST_F(DonateDialogTest, MissingChineseFileCountsSixtySecondsWithEmptyMessage) {
    CAVDonateDlg dialog(folder_);
    dialog.PrepareToOpen();
    EXPECT_EQ(dialog.remainingSeconds(), 60);
    EXPECT_EQ(dialog.message()->text(), QStringLiteral("\n        "));
    EXPECT_FALSE(dialog.laterButton()->isHidden());
}

TEST_F(DonateDialogTest, BshowZeroHidesTheLaterButton) {
    WriteChinese(1, 0);
    CAVDonateDlg dialog(folder_);
    dialog.PrepareToOpen();
    EXPECT_TRUE(dialog.laterButton()->isHidden());
    EXPECT_FALSE(dialog.doneButton()->isHidden());
}

// Opens the prompt, presses Escape while it counts, then the given button once enabled.
TEST_F(DonateDialogTest, OnlyTheFirstButtonEndsTheSponsorship) {
    struct Case {
        int button;
        int stored_after;
    };
    for (const Case c : {Case{CAVDonateDlg::kLaterButton, 0}, Case{CAVDonateDlg::kDoneButton, 1}}) {
        SCOPED_TRACE(c.button);
        WriteChinese(2, 1);
        Write("setting.ini", "[TIMES]\ntime=0\n");
        CAVDonateDlg dialog(folder_);
        bool open_after_escape = false;
        QTimer::singleShot(0, &dialog, [&] {
            QTest::keyClick(&dialog, Qt::Key_Escape);
            open_after_escape = dialog.isVisible();
            dialog.Tick();
            dialog.Tick();
            QTest::mouseClick(
                c.button == CAVDonateDlg::kDoneButton ? dialog.doneButton() : dialog.laterButton(),
                Qt::LeftButton);
        });
        EXPECT_EQ(dialog.Run(), QDialog::Rejected);
        EXPECT_TRUE(open_after_escape);
        EXPECT_EQ(StoredTime(), c.stored_after);
    }
}

}  // namespace
