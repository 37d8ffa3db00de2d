#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace {

struct ShownBox {
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    bool ok_button = false;
    bool found = false;
};

// Shows the real box and closes it from the event loop it runs, by clicking its OK button.
ShownBox ShowAndClose(const QString& text, const QString& title, platform::MessageIcon icon) {
    ShownBox shown;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        shown.found = true;
        shown.text = box->text();
        shown.title = box->windowTitle();
        shown.icon = box->icon();
        shown.buttons = static_cast<int>(box->buttons().size());
        QAbstractButton* ok = box->button(QMessageBox::Ok);
        shown.ok_button = ok != nullptr;
        if (ok) ok->click();
    });
    platform::MessageBoxOk(nullptr, text, title, icon);
    return shown;
}

TEST(MessageBox, RealBoxHasOnlyAnOkButtonAndTheGivenTexts) {
    const struct {
        platform::MessageIcon icon;
        QMessageBox::Icon expected;
    } cases[] = {
        {platform::MessageIcon::None, QMessageBox::NoIcon},
        {platform::MessageIcon::Warning, QMessageBox::Warning},
        {platform::MessageIcon::Information, QMessageBox::Information},
        {platform::MessageIcon::Critical, QMessageBox::Critical},
    };
    for (const auto& c : cases) {
        const ShownBox shown =
            ShowAndClose(QStringLiteral("视频文件生成失败 <b>not bold</b>"), "Taviro", c.icon);
        ASSERT_TRUE(shown.found);
        EXPECT_EQ(shown.text, QStringLiteral("视频文件生成失败 <b>not bold</b>"));
        EXPECT_EQ(shown.title, "Taviro");
        EXPECT_EQ(shown.icon, c.expected);
        EXPECT_EQ(shown.buttons, 1);
        EXPECT_TRUE(shown.ok_button);
    }
}

TEST(MessageBox, EmptyTitleShowsTheApplicationName) {
    QApplication::setApplicationDisplayName("Melisk");
    const ShownBox shown = ShowAndClose("text", QString(), platform::MessageIcon::None);
    ASSERT_TRUE(shown.found);
    EXPECT_EQ(shown.title, "Melisk");
}

TEST(MessageBox, HandlerReplacesTheBoxUntilCleared) {
    std::vector<std::pair<QString, QString>> seen;
    platform::SetMessageBoxHandler(
        [&](const QString& text, const QString& title) { seen.emplace_back(text, title); });
    platform::MessageBoxOk(nullptr, "one");
    platform::MessageBoxOk(nullptr, "two", "T", platform::MessageIcon::Warning);
    platform::SetMessageBoxHandler({});
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], std::make_pair(QString("one"), QString()));
    EXPECT_EQ(seen[1], std::make_pair(QString("two"), QString("T")));
    // Cleared: the real box is back.
    EXPECT_TRUE(ShowAndClose("three", "T", platform::MessageIcon::None).found);
    EXPECT_EQ(seen.size(), 2u);
}

TEST(MessageBox, RecorderCollectsMessagesAndBeepsThenRestores) {
    {
        platform::ScopedMessageRecorder recorder;
        EXPECT_EQ(recorder.lastText(), QString());
        platform::MessageBeep(platform::MessageIcon::Warning);
        platform::MessageBoxOk(nullptr, "Unable to open hyperlink:\n\nThe specified file was not found.", {},
                               platform::MessageIcon::Warning);
        ASSERT_EQ(recorder.messages().size(), 1u);
        EXPECT_EQ(recorder.lastText(), "Unable to open hyperlink:\n\nThe specified file was not found.");
        EXPECT_EQ(recorder.messages()[0].icon, platform::MessageIcon::Warning);
        EXPECT_EQ(recorder.messages()[0].title, QString());
        ASSERT_EQ(recorder.beeps().size(), 1u);
        EXPECT_EQ(recorder.beeps()[0], platform::MessageIcon::Warning);
        recorder.clear();
        EXPECT_TRUE(recorder.messages().empty());
        EXPECT_TRUE(recorder.beeps().empty());
    }
    EXPECT_TRUE(ShowAndClose("after", "T", platform::MessageIcon::None).found);
}

}  // namespace
