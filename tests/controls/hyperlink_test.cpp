#include "controls/hyperlink.h"

#include <gtest/gtest.h>

#include <QCursor>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "controls/link_error.h"
#include "controls/static_style.h"
#include "platform/message_box.h"
#include "platform/shell_open.h"

namespace {

const QColor kLink(0, 0, 238);
const QColor kVisited(85, 26, 139);
const QColor kHover(255, 0, 0);

// Points the shell at a fake and hides every real browser for the test's lifetime.
class FakeShell {
  public:
    explicit FakeShell(int result) : m_old_path(qgetenv("PATH")), m_old_browser(qgetenv("BROWSER")) {
        qputenv("PATH", m_empty.path().toLocal8Bit());
        qunsetenv("BROWSER");
        platform::SetShellOpenHandler([this, result](const QString& target) {
            opened.append(target);
            return result;
        });
    }
    ~FakeShell() {
        platform::SetShellOpenHandler({});
        qputenv("PATH", m_old_path);
        if (!m_old_browser.isNull()) qputenv("BROWSER", m_old_browser);
    }
    QStringList opened;

  private:
    QTemporaryDir m_empty;
    QByteArray m_old_path;
    QByteArray m_old_browser;
};

class HyperLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window.resize(300, 100);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    CHyperLink* MakeLink(const QString& text) {
        auto* link = new CHyperLink(text, &window, 1180);
        link->move(20, 20);
        link->show();
        return link;
    }
    QWidget window;
};

TEST_F(HyperLinkTest, EmptyAddressTakesTheText) {
    CHyperLink* link = MakeLink(QStringLiteral("怎样使用本软件"));
    EXPECT_EQ(link->Address(), QStringLiteral("怎样使用本软件"));
    EXPECT_EQ(link->toolTip(), QStringLiteral("怎样使用本软件"));
    link->SetAddress(QStringLiteral("https://example.org/help"));
    EXPECT_EQ(link->Text(), QStringLiteral("怎样使用本软件"));
    EXPECT_EQ(link->toolTip(), QStringLiteral("https://example.org/help"));
}

TEST_F(HyperLinkTest, EmptyTextShowsTheAddress) {
    CHyperLink* link = MakeLink(QString());
    link->SetAddress(QStringLiteral("https://example.org/"));
    EXPECT_EQ(link->Text(), QStringLiteral("https://example.org/"));
}

TEST_F(HyperLinkTest, FitsItselfToItsText) {
    CHyperLink* link = MakeLink(QStringLiteral("sponsor us"));
    const QSize first = link->size();
    EXPECT_EQ(first, link->sizeHint());
    EXPECT_EQ(link->pos(), QPoint(20, 20));
    link->SetText(QStringLiteral("sponsor us, please"));
    EXPECT_GT(link->width(), first.width());
    EXPECT_EQ(link->pos(), QPoint(20, 20));
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(HyperLinkTest, CentredAndRightAlignedLinksKeepTheirAnchor) {
    auto* centred = new CHyperLink(QString(), &window, 1, static_style::kCenter);
    centred->setGeometry(0, 0, 200, 20);
    centred->SetText(QStringLiteral("centre"));
    EXPECT_EQ(centred->geometry().center().x(), QRect(0, 0, 200, 20).center().x());
    auto* right = new CHyperLink(QString(), &window, 2, static_style::kRight);
    right->setGeometry(0, 40, 200, 20);
    right->SetText(QStringLiteral("right"));
    EXPECT_EQ(right->geometry().right(), 199);
}

// A row of the painted link drawn wholly in the given colour: the underline.
bool HasUnderline(CHyperLink* link, const QColor& colour) {
    const QImage painted = link->grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (int y = painted.height() / 2; y < painted.height(); ++y) {
        bool whole = true;
        for (int x = 0; x < painted.width() && whole; ++x) whole = painted.pixel(x, y) == colour.rgb();
        if (whole) return true;
    }
    return false;
}

TEST_F(HyperLinkTest, UnderlinedWhileHoveredOrWhenItsFontIsUnderlined) {
    CHyperLink* link = MakeLink(QStringLiteral("怎样使用本软件"));
    EXPECT_FALSE(link->IsUnderlineShown());
    EXPECT_FALSE(HasUnderline(link, kLink));
    QCursor::setPos(link->mapToGlobal(link->rect().center()));
    QTest::mouseMove(link, link->rect().center());
    EXPECT_TRUE(link->IsUnderlineShown());
    EXPECT_TRUE(HasUnderline(link, kHover));

    CHyperLink* underlined = MakeLink(QStringLiteral("赞助我们"));
    QFont font = underlined->font();
    font.setUnderline(true);
    underlined->setFont(font);
    EXPECT_TRUE(underlined->IsUnderlineShown());
    EXPECT_TRUE(HasUnderline(underlined, kLink));
}

TEST_F(HyperLinkTest, HoverEndsByThePollWithoutAMouseEvent) {
    CHyperLink* link = MakeLink(QStringLiteral("help"));
    EXPECT_EQ(link->CurrentColour(), kLink);
    const QPoint inside = link->rect().center();
    QCursor::setPos(link->mapToGlobal(inside));
    QTest::mouseMove(link, inside);
    ASSERT_TRUE(link->IsOver());
    EXPECT_EQ(link->CurrentColour(), kHover);
    EXPECT_TRUE(link->HoverTimer().isActive());
    EXPECT_EQ(link->HoverTimer().interval(), 100);

    // The pointer still over the link: a tick keeps the hover look.
    QSignalSpy ticks(&link->HoverTimer(), &QTimer::timeout);
    ASSERT_TRUE(ticks.wait(2000));
    EXPECT_TRUE(link->IsOver());

    // The pointer leaves without any event reaching the link: the next tick ends the hover.
    QCursor::setPos(window.mapToGlobal(QPoint(290, 90)));
    ASSERT_TRUE(ticks.wait(2000));
    EXPECT_FALSE(link->IsOver());
    EXPECT_FALSE(link->HoverTimer().isActive());
    EXPECT_EQ(link->CurrentColour(), kLink);
}

TEST_F(HyperLinkTest, SuccessfulOpenMarksTheLinkVisited) {
    FakeShell shell(platform::kShellOpenOk);
    platform::ScopedMessageRecorder messages;
    CHyperLink* link = MakeLink(QStringLiteral("home"));
    link->SetAddress(QStringLiteral("https://example.org/"));
    QSignalSpy clicked(link, &CHyperLink::clicked);
    QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(shell.opened, QStringList{QStringLiteral("https://example.org/")});
    EXPECT_TRUE(link->IsVisited());
    EXPECT_FALSE(link->IsOver());
    EXPECT_EQ(link->CurrentColour(), kVisited);
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(HyperLinkTest, FailedOpenBeepsAndShowsTheReason) {
    FakeShell shell(26);
    platform::ScopedMessageRecorder messages;
    CHyperLink* link = MakeLink(QStringLiteral("home"));
    link->SetAddress(QStringLiteral("https://example.org/"));
    QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.lastText(),
              QStringLiteral("Unable to open hyperlink:\n\nA sharing violation occurred. "));
    EXPECT_EQ(messages.beeps().size(), 1u);
    EXPECT_FALSE(link->IsVisited());
    EXPECT_EQ(link->CurrentColour(), kLink);

    // A failure text given by the window replaces the shell's reason.
    link->SetFailureText(QStringLiteral("No web browser could be started:"));
    QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
    EXPECT_EQ(messages.lastText(), QStringLiteral("No web browser could be started:\nhttps://example.org/"));
}

TEST(HyperlinkErrorText, NamesTheReasonForEachCode) {
    const struct {
        int code;
        const char* reason;
    } cases[] = {
        {0, "The operating system is out\nof memory or resources."},
        {2, "The specified file was not found."},
        {3, "The specified path was not found."},
        {5, "The operating system denied\naccess to the specified file."},
        {8, "There was not enough memory to complete the operation."},
        {11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
        {26, "A sharing violation occurred. "},
        {27, "The filename association is\nincomplete or invalid."},
        {28, "The DDE transaction could not\nbe completed because the request timed out."},
        {29, "The DDE transaction failed."},
        {30,
         "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed."},
        {31, "There is no application associated\nwith the given filename extension."},
        {32, "The specified dynamic-link library was not found."},
        {7, "Unknown Error (7) occurred."},
        {-4, "Unknown Error (-4) occurred."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HyperlinkErrorText(c.code),
                  QStringLiteral("Unable to open hyperlink:\n\n") + QString::fromUtf8(c.reason))
            << c.code;
}

}  // namespace
