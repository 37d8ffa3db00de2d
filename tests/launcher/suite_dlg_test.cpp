// The launcher window, off-screen, in a temporary suite folder (the current directory) with its own
// Set.xml, skin and stand-in tools.
#include "launcher/suite_dlg.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "launcher/my_button.h"
#include "platform/desktop_hooks.h"
#include "platform/shell_open.h"

namespace {

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray SetXml(const QByteArray& declaration, const QByteArray& title) {
    return declaration + "<Suite>\r\n <Profile>\r\n  <Title value=\"" + title +
           "\"/>\r\n  <HomePageUrl value=\"http://home/\"/>\r\n  <OrderUrl value=\"http://order/?p=1\"/>\r\n"
           "  <Product0 value=\"melisk\"/>\r\n  <Product1 value=\"taviro\"/>\r\n </Profile>\r\n</Suite>\r\n";
}

// A strip of four opaque frames: red, green, blue, white.
const QColor kFrameColors[] = {Qt::red, Qt::green, Qt::blue, Qt::white};

void WriteStrip(const QString& path, int frame_w, int frame_h) {
    QImage strip(frame_w * 4, frame_h, QImage::Format_ARGB32);
    QPainter p(&strip);
    for (int i = 0; i < 4; ++i) p.fillRect(i * frame_w, 0, frame_w, frame_h, kFrameColors[i]);
    p.end();
    QDir().mkpath(QFileInfo(path).absolutePath());
    ASSERT_TRUE(strip.save(path));
}

// A stand-in tool that records the folder it was started in.
void WriteStandIn(const QString& path) {
    WriteBytes(path, "#!/bin/sh\npwd -P > started.tmp && mv started.tmp started.txt\n");
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
}

class SuiteDlgTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_previous = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
    }
    void TearDown() override {
        QDir::setCurrent(m_previous);
        platform::SetShellOpenHandler({});
    }
    QString Path(const QString& name) const { return QDir(m_dir.path()).filePath(name); }
    void WriteSkin() {
        QImage bk(700, 400, QImage::Format_RGB32);
        bk.fill(QColor(10, 20, 30));
        QDir().mkpath(Path("skin"));
        ASSERT_TRUE(bk.save(Path("skin/bk.png")));
        for (const char* name : {"HomePage", "BuyNow", "Close", "Product0", "Product1"}) {
            WriteStrip(Path(QStringLiteral("skin/%1.png").arg(QLatin1String(name))), 72, 20);
        }
    }

    QTemporaryDir m_dir;
    QString m_previous;
};

TEST_F(SuiteDlgTest, TitleIsReadInEveryEncoding) {
    const QByteArray entities = " &lt;&amp;&gt; &#233;&#x4E2D;&copy;";
    const QString decoded = QStringLiteral(" <&> \u00e9\u4e2d\u00a9");
    struct Case {
        const char* name;
        QByteArray bytes;
        QString title;
    };
    const QByteArray utf8 =
        SetXml("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n", "\xe4\xb8\xad\xe6\x96\x87" + entities);
    QByteArray utf16("\xFF\xFE");
    const QString utf16_text = QString::fromUtf8(
        SetXml("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n", "\xe4\xb8\xad\xe6\x96\x87" + entities));
    utf16.append(reinterpret_cast<const char*>(utf16_text.utf16()), utf16_text.size() * 2);
    const Case cases[] = {
        {"utf-8", utf8, QStringLiteral("\u4e2d\u6587") + decoded},
        {"utf-8 bom", "\xEF\xBB\xBF" + SetXml("", "\xe4\xb8\xad\xe6\x96\x87" + entities),
         QStringLiteral("\u4e2d\u6587") + decoded},
        {"utf-16le bom", utf16, QStringLiteral("\u4e2d\u6587") + decoded},
        {"gb2312", SetXml("<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n", "\xd6\xd0\xce\xc4" + entities),
         QStringLiteral("\u4e2d\u6587") + decoded},
        {"gbk", SetXml("<?xml version=\"1.0\" encoding=\"gbk\"?>\r\n", "\x81\x40" + entities),
         QStringLiteral("\u4e02") + decoded},
        {"big5", SetXml("<?xml version=\"1.0\" encoding=\"Big5\"?>\r\n", "\xa4\xa4\xa4\xe5" + entities),
         QStringLiteral("\u4e2d\u6587") + decoded},
        {"shift_jis", SetXml("<?xml version='1.0' encoding='Shift_JIS'?>\r\n", "\x93\xfa\x96\x7b" + entities),
         QStringLiteral("\u65e5\u672c") + decoded},
        {"windows-1252",
         SetXml("<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n", "caf\xe9 \x80" + entities),
         QStringLiteral("caf\u00e9 \u20ac") + decoded},
    };
    for (const auto& c : cases) {
        WriteBytes(Path("Set.xml"), c.bytes);
        CSuiteDlg dlg;
        EXPECT_EQ(dlg.windowTitle(), c.title) << c.name;
        EXPECT_EQ(dlg.profile().product1, QStringLiteral("taviro")) << c.name;
    }
}

TEST_F(SuiteDlgTest, ProfileEdgeCases) {
    struct Case {
        const char* name;
        QByteArray set_xml;  // empty: no file
        QByteArray affiliate;
        bool has_affiliate;
        SuiteProfile expected;
    };
    const QByteArray good = SetXml("", "T");
    const Case cases[] = {
        {"out of order",
         "<s><Profile><HomePageUrl value='h'/><Title value='t'/></Profile></s>",
         {},
         false,
         {"t", "", "", "", ""}},
        {"no value attribute",
         "<s><Profile><Title/><Product1 value='v'/></Profile></s>",
         {},
         false,
         {"", "", "", "", "v"}},
        {"names are exact", "<s><profile><Title value='t'/></profile></s>", {}, false, {}},
        {"affiliate on the order address only",
         good,
         "123\r\n",
         true,
         {"T", "http://home/", "http://order/?p=1&affiliate=123\r\n", "melisk", "taviro"}},
        {"affiliate up to its first NUL",
         good,
         QByteArray("77\0"
                    "88",
                    5),
         true,
         {"T", "http://home/", "http://order/?p=1&affiliate=77", "melisk", "taviro"}},
        {"empty affiliate", good, "", true, {"T", "http://home/", "http://order/?p=1", "melisk", "taviro"}},
        {"malformed profile ignores affiliate", "<s><Profile><Title value='t'/></Profile>", "9", true, {}},
        {"missing profile", {}, "9", true, {}},
    };
    for (const auto& c : cases) {
        QFile::remove(Path("Set.xml"));
        QFile::remove(Path("affiliate.dat"));
        if (!c.set_xml.isEmpty()) WriteBytes(Path("Set.xml"), c.set_xml);
        if (c.has_affiliate) WriteBytes(Path("affiliate.dat"), c.affiliate);
        const SuiteProfile p = LoadProfile();
        EXPECT_EQ(p.title, c.expected.title) << c.name;
        EXPECT_EQ(p.home_page_url, c.expected.home_page_url) << c.name;
        EXPECT_EQ(p.order_url, c.expected.order_url) << c.name;
        EXPECT_EQ(p.product0, c.expected.product0) << c.name;
        EXPECT_EQ(p.product1, c.expected.product1) << c.name;
    }
}

TEST_F(SuiteDlgTest, WindowMeasuresItsBackgroundAtTheTopLeftWithRoundedCorners) {
    WriteSkin();
    CSuiteDlg dlg;
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    EXPECT_EQ(dlg.geometry(), QRect(0, 0, 700, 400));
    EXPECT_TRUE(dlg.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(dlg.windowIcon().isNull());
    const QRegion mask = dlg.mask();
    EXPECT_FALSE(mask.contains(QPoint(0, 0)));
    EXPECT_FALSE(mask.contains(QPoint(699, 399)));
    EXPECT_TRUE(mask.contains(QPoint(10, 0)) || mask.contains(QPoint(11, 0)));
    EXPECT_TRUE(mask.contains(QPoint(350, 200)));
    EXPECT_TRUE(mask.contains(QPoint(0, 200)));
    // Buttons sit where the skin says, sized as one frame; 1000 and 1001 exist but stay hidden.
    EXPECT_EQ(dlg.button(kIdProduct1)->geometry(), QRect(337, 161, 72, 20));
    EXPECT_EQ(dlg.button(kIdClose)->geometry(), QRect(620, 8, 72, 20));
    EXPECT_FALSE(dlg.button(kIdHomePage)->isVisible());
    EXPECT_EQ(dlg.button(kIdBuyNow)->geometry(), QRect(429, 316, 72, 20));
    // Dragged from anywhere on the background.
    QTest::mousePress(&dlg, Qt::LeftButton, {}, QPoint(200, 100));
    QTest::mouseMove(&dlg, QPoint(230, 140));
    QTest::mouseRelease(&dlg, Qt::LeftButton, {}, QPoint(230, 140));
    EXPECT_EQ(dlg.pos(), QPoint(30, 40));
}

TEST_F(SuiteDlgTest, ButtonShowsTheFrameOfItsState) {
    WriteSkin();
    CSuiteDlg dlg;
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    CMyButton* b = dlg.button(kIdClose);
    auto shown = [&] { return b->grab().toImage().pixelColor(36, 10); };
    EXPECT_EQ(shown(), kFrameColors[0]);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), b->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(b, &enter);
    EXPECT_EQ(shown(), kFrameColors[1]);
    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(shown(), kFrameColors[2]);
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(shown(), kFrameColors[2]) << "the pressed frame stays until the pointer leaves";
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(b, &leave);
    EXPECT_EQ(shown(), kFrameColors[0]);
    b->setEnabled(false);
    EXPECT_EQ(shown(), kFrameColors[3]);
    b->setEnabled(true);
    EXPECT_EQ(shown(), kFrameColors[3]) << "the disabled frame stays until the pointer leaves";
    QApplication::sendEvent(b, &leave);
    EXPECT_EQ(shown(), kFrameColors[0]);
}

TEST_F(SuiteDlgTest, ProductButtonsStartEachToolInItsFolderAndTheLauncherStaysOpen) {
    WriteSkin();
    WriteBytes(Path("Set.xml"), SetXml("", "T"));
    WriteBytes(Path("affiliate.dat"), "42");
    WriteStandIn(Path("melisk/melisk"));
    WriteStandIn(Path("taviro/taviro"));
    CSuiteDlg dlg;
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    const std::pair<int, const char*> tools[] = {{kIdProduct0, "melisk"}, {kIdProduct1, "taviro"}};
    for (const auto& [id, folder] : tools) {
        QTest::mouseClick(dlg.button(id), Qt::LeftButton, {}, QPoint(10, 10));
        const QString started = Path(QStringLiteral("%1/started.txt").arg(QLatin1String(folder)));
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(started); }, 30000)) << folder;
        QFile f(started);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(QString::fromLocal8Bit(f.readAll()).trimmed(),
                  QFileInfo(Path(QLatin1String(folder))).canonicalFilePath());
        EXPECT_TRUE(dlg.isVisible()) << folder;
    }
    QTest::mouseClick(dlg.button(kIdClose), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
}

TEST_F(SuiteDlgTest, AddressesOpenWithTheDesktopThenTheBrowserCommand) {
    const std::pair<const char*, const char*> commands[] = {
        {"\"/opt/web/browser\" \"%1\"", "\"/opt/web/browser\" http://x/"},
        {"browser -new %1 --after", "browser -new http://x/"},
        {"sensible-browser \"%s\"", "sensible-browser http://x/"},
        {"browser", "browser http://x/"},
    };
    for (const auto& [templ, line] : commands) {
        EXPECT_EQ(BrowserCommandLine(QLatin1String(templ), QStringLiteral("http://x/")), QLatin1String(line));
    }

    WriteBytes(Path("Set.xml"), SetXml("", "T"));
    WriteBytes(Path("affiliate.dat"), "7");
    QStringList opened, started;
    int answer = platform::kShellOpenOk;
    platform::SetShellOpenHandler([&](const QString& target) {
        opened << target;
        return answer;
    });
    CSuiteDlg dlg([&](const QString& program, const QStringList& args, const QString&) {
        started << program + QLatin1Char('|') + args.join(QLatin1Char('|'));
        return true;
    });
    dlg.button(kIdHomePage)->click();
    EXPECT_EQ(opened, QStringList{QStringLiteral("http://home/")});
    EXPECT_TRUE(started.isEmpty());
    answer = platform::kShellNoAssociation;
    qputenv("BROWSER", "webview --tab \"%s\":other");
    dlg.button(kIdBuyNow)->click();
    qunsetenv("BROWSER");
    EXPECT_EQ(started, QStringList{QStringLiteral("webview|--tab|http://order/?p=1&affiliate=7")});
}

struct AboutCase {
    const char* lang;
    const char* item;
    const char* title;
    const char* ok;
};

class LauncherLanguageTest : public SuiteDlgTest, public ::testing::WithParamInterface<AboutCase> {};

// The launcher has no language file: English everywhere, Chinese on a Chinese desktop.
TEST_P(LauncherLanguageTest, RightClickMenuOpensTheAboutDialogInTheDesktopsLanguage) {
    const AboutCase& c = GetParam();
    qunsetenv("LC_ALL");
    qunsetenv("LC_MESSAGES");
    qputenv("LANG", c.lang);
    CSuiteDlg dlg;
    QMenu* menu = dlg.CreateContextMenu();
    QAction* about = nullptr;
    for (QAction* a : menu->actions()) {
        if (a->text() == QString::fromUtf8(c.item)) about = a;
    }
    ASSERT_NE(about, nullptr);
    QString title;
    QStringList texts;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            title = box->windowTitle();
            for (auto* label : box->findChildren<QLabel*>()) texts << label->text();
            for (auto* button : box->findChildren<QPushButton*>()) texts << button->text();
            box->accept();
        }
    });
    about->trigger();
    qunsetenv("LANG");
    EXPECT_EQ(title, QString::fromUtf8(c.title));
    EXPECT_TRUE(texts.contains(QStringLiteral("Ostrand 2.0"))) << texts.join('|').toStdString();
    EXPECT_TRUE(texts.contains(QString::fromUtf8(c.ok))) << texts.join('|').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Locales, LauncherLanguageTest,
    ::testing::Values(AboutCase{"en_GB.UTF-8", "&About Ostrand...", "About Ostrand", "OK"},
                      AboutCase{"C", "&About Ostrand...", "About Ostrand", "OK"},
                      AboutCase{"de_DE.UTF-8", "&About Ostrand...", "About Ostrand", "OK"},
                      AboutCase{"zh_CN.UTF-8", "关于 Ostrand(&A)...", "关于 Ostrand", "确定"}));

TEST_F(SuiteDlgTest, AQuickTapOnTheBackgroundStartsNoMove) {
    WriteSkin();
    int requests = 0;
    platform::desktopHooks.start_system_move = [&](QWindow*) { return ++requests, true; };
    CSuiteDlg dlg;
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    QTest::mousePress(&dlg, Qt::LeftButton, {}, QPoint(200, 100), 0);
    QTest::mouseRelease(&dlg, Qt::LeftButton, {}, QPoint(200, 100), 0);
    EXPECT_EQ(requests, 0);
    QTest::mousePress(&dlg, Qt::LeftButton, {}, QPoint(200, 100), 0);
    QTest::mouseMove(&dlg, QPoint(260, 100), 0);
    QTest::mouseRelease(&dlg, Qt::LeftButton, {}, QPoint(260, 100), 0);
    EXPECT_EQ(requests, 1);
    platform::desktopHooks.start_system_move = nullptr;
}

// Tab reaches the image buttons, the focused one shows a frame, and Enter presses it instead of
// closing the launcher.
TEST_F(SuiteDlgTest, KeyboardFocusIsShownAndEnterPressesTheFocusedButton) {
    WriteSkin();
    QStringList started;
    CSuiteDlg dlg([&](const QString& program, const QStringList&, const QString&) {
        started << program;
        return true;
    });
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    QTest::keyClick(&dlg, Qt::Key_Return);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(started.isEmpty());

    CMyButton* product = dlg.button(kIdProduct0);
    const QImage unfocused = product->grab().toImage();
    dlg.activateWindow();
    for (int i = 0; i < 4 && QApplication::focusWidget() != product; ++i) QTest::keyClick(&dlg, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), product);
    EXPECT_NE(product->grab().toImage(), unfocused);
    QTest::keyClick(&dlg, Qt::Key_Return);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(started.size(), 1);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
