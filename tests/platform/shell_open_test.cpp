#include "platform/shell_open.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A folder on PATH with fake desktop commands that write their arguments into a file.
class ShellOpenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_old_path = qgetenv("PATH");
        m_old_browser = qgetenv("BROWSER");
        ASSERT_TRUE(QDir(m_dir.path()).mkdir("bin"));
        qputenv("PATH", m_dir.filePath("bin").toUtf8() + ":" + m_old_path);
        qunsetenv("BROWSER");
    }
    void TearDown() override {
        platform::SetShellOpenHandler({});
        qputenv("PATH", m_old_path);
        if (m_old_browser.isNull())
            qunsetenv("BROWSER");
        else
            qputenv("BROWSER", m_old_browser);
    }

    // A script named name that appends its arguments, one per line, to name.log.
    QString AddScript(const QString& name) {
        const QString path = m_dir.filePath("bin/" + name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" +
                   m_dir.filePath(name + ".log").toUtf8() + ".tmp'\nmv '" +
                   m_dir.filePath(name + ".log").toUtf8() + ".tmp' '" +
                   m_dir.filePath(name + ".log").toUtf8() + "'\n");
        file.close();
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    // The arguments the script was started with; waits for the detached process to write them.
    QStringList Arguments(const QString& name) {
        const QString log = m_dir.filePath(name + ".log");
        if (!QTest::qWaitFor([&] { return QFile::exists(log); }, 20000)) return {};
        QFile file(log);
        if (!file.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }

    QTemporaryDir m_dir;
    QByteArray m_old_path;
    QByteArray m_old_browser;
};

TEST_F(ShellOpenTest, HandlerSeesTargetsAndDecidesTheResult) {
    QStringList seen;
    int answer = platform::kShellOpenOk;
    platform::SetShellOpenHandler([&](const QString& target) {
        seen << target;
        return answer;
    });
    EXPECT_EQ(platform::ShellOpen("/videos/clip.mp4"), platform::kShellOpenOk);
    EXPECT_EQ(platform::OpenAddress("https://example.com/help"), platform::kShellOpenOk);
    answer = platform::kShellFileNotFound;
    EXPECT_EQ(platform::ShellOpen("/missing.mp4"), platform::kShellFileNotFound);
    EXPECT_EQ(seen, (QStringList{"/videos/clip.mp4", "https://example.com/help", "/missing.mp4"}));
}

TEST_F(ShellOpenTest, MissingFileOrFolderGivesTheShellCodes) {
    EXPECT_EQ(platform::ShellOpen(m_dir.filePath("missing.mp4")), platform::kShellFileNotFound);
    EXPECT_EQ(platform::ShellOpen(m_dir.filePath("no/such/folder/clip.mp4")), platform::kShellPathNotFound);
    EXPECT_EQ(platform::ShellOpen(QString()), platform::kShellFileNotFound) << "Play with no video loaded";
}

TEST_F(ShellOpenTest, WebAddressesAreOpenedAsUrls) {
    AddScript("xdg-open");
    EXPECT_GT(platform::ShellOpen("www.taviro-suite.example/help.html"), 32);
    EXPECT_EQ(Arguments("xdg-open"), QStringList{"http://www.taviro-suite.example/help.html"});
}

TEST_F(ShellOpenTest, ExistingFileGoesToTheDesktopOpener) {
    AddScript("xdg-open");
    const QString target = m_dir.filePath("clip one.mp4");
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_GT(platform::ShellOpen(target), 32);
    const QStringList args = Arguments("xdg-open");
    ASSERT_EQ(args.size(), 1);
    EXPECT_TRUE(args[0].startsWith("file://")) << args[0].toStdString();
    EXPECT_EQ(QUrl(args[0]).toLocalFile(), target);
}

TEST_F(ShellOpenTest, FileOfATypeWithoutApplicationIsNotHandedOn) {
    AddScript("xdg-open");
    const QString target = m_dir.filePath("clip.mp4");
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    // xdg-mime names the default application of a type, or prints nothing when there is none.
    for (const char* answer : {"", "player.desktop"}) {
        SCOPED_TRACE(answer);
        const QString script = m_dir.filePath("bin/xdg-mime");
        QFile fake(script);
        ASSERT_TRUE(fake.open(QIODevice::WriteOnly | QIODevice::Truncate));
        fake.write(QByteArray("#!/bin/sh\n[ \"$1 $2 $3\" = \"query default video/mp4\" ] && echo '") +
                   answer + "'\nexit 0\n");
        fake.close();
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const int code = platform::ShellOpen(target);
        if (*answer == 0) {
            EXPECT_EQ(code, platform::kShellNoAssociation);
            EXPECT_FALSE(QFile::exists(m_dir.filePath("xdg-open.log"))) << "nothing was started";
        } else {
            EXPECT_GT(code, 32);
            EXPECT_EQ(Arguments("xdg-open").size(), 1);
        }
    }
}

TEST_F(ShellOpenTest, AddressFallsBackToTheBrowserCommands) {
    AddScript("fake-browser");
    platform::SetShellOpenHandler([](const QString&) { return platform::kShellNoAssociation; });
    qputenv("BROWSER", "no-such-browser-here:fake-browser --new-tab %s");
    EXPECT_EQ(platform::OpenAddress("https://www.taviro-suite.example/donate.html"), platform::kShellOpenOk);
    EXPECT_EQ(Arguments("fake-browser"),
              (QStringList{"--new-tab", "https://www.taviro-suite.example/donate.html"}));
}

TEST_F(ShellOpenTest, BrowserWithoutPlaceholderGetsTheAddressLast) {
    AddScript("other-browser");
    platform::SetShellOpenHandler([](const QString&) { return platform::kShellNoAssociation; });
    qputenv("BROWSER", "other-browser");
    EXPECT_EQ(platform::OpenAddress("http://a.example/"), platform::kShellOpenOk);
    EXPECT_EQ(Arguments("other-browser"), QStringList{"http://a.example/"});
}

TEST_F(ShellOpenTest, NoBrowserAtAllReportsTheFirstFailure) {
    platform::SetShellOpenHandler([](const QString&) { return platform::kShellNoAssociation; });
    qputenv("BROWSER", "no-such-browser-here");
    qputenv("PATH", m_dir.filePath("bin").toUtf8());  // no x-www-browser either
    EXPECT_EQ(platform::OpenAddress("http://a.example/"), platform::kShellNoAssociation);
}

}  // namespace
