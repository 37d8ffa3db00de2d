#include "platform/program_folder.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "platform/profile.h"

namespace {

// The test executable lives in the build folder of this test directory.
const QString kExpected = QFileInfo(QStringLiteral(TEST_BINARY_DIR)).canonicalFilePath();

TEST(ProgramFolder, IsTheExecutablesFolderWithAndWithoutAnApplication) {
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    const QString without_app = platform::ProgramFolder();
    EXPECT_EQ(QFileInfo(without_app).canonicalFilePath(), kExpected);
    EXPECT_FALSE(without_app.endsWith(QLatin1Char('/')));
    EXPECT_EQ(platform::ProgramFilePath("setting.ini"), without_app + "/setting.ini");

    // argv[0] as a bare name must not matter: the application resolves the real executable.
    int argc = 1;
    char name[] = "platform_core_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    const QString with_app = platform::ProgramFolder();
    EXPECT_EQ(QFileInfo(with_app).canonicalFilePath(), kExpected);
    EXPECT_FALSE(with_app.endsWith(QLatin1Char('/')));
}

}  // namespace

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

void MakeReadOnly(const QString& path, bool read_only) {
    const auto write = QFile::WriteOwner | QFile::WriteUser | QFile::WriteGroup | QFile::WriteOther;
    const auto perms = QFile::permissions(path);
    QFile::setPermissions(path, read_only ? perms & ~write : perms | QFile::WriteOwner | QFile::WriteUser);
}

// A temporary root holding a program folder with a shipped setting.ini and the desktop's folders.
class ToolFoldersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* v : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) qunsetenv(v);
        qputenv("HOME", QFile::encodeName(Path("home")));
        WriteAll(Path("suite/taviro/setting.ini"), kShipped);
        QDir().mkpath(Path("home"));
        // No folder can be made below a plain file, whoever runs the test.
        WriteAll(Path("file"), "");
    }
    void TearDown() override { MakeReadOnly(Program(), false); }
    QString Path(const QString& name) const { return m_root.filePath(name); }
    QString Program() const { return Path("suite/taviro"); }

    const QByteArray kShipped = "[LANGUAGE]\r\nfile=english.ini\r\n";
    QTemporaryDir m_root;
};

TEST_F(ToolFoldersTest, AWritableProgramFolderKeepsEverythingBesideTheProgram) {
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(Path("config")));
    const platform::ToolFolders f = platform::ToolFoldersFor("taviro", Program());
    EXPECT_EQ(f.settings, Program());
    EXPECT_EQ(f.scratch, Program());
    EXPECT_FALSE(QFileInfo::exists(Path("config")));
}

TEST_F(ToolFoldersTest, AReadOnlyProgramFolderSendsFilesWhereTheDesktopKeepsThem) {
    MakeReadOnly(Program(), true);
    const QString sub = QStringLiteral("/" SUITE_NAME "/taviro");
    struct Case {
        const char *config, *cache, *runtime;  // variables to set ("" for unset), below the root
        QString settings, scratch;             // expected, below the root ("" for the program folder)
    };
    const Case cases[] = {
        {"config", "cache", "run", "config" + sub, "cache" + sub},
        // Unset or relative variables give the folders below the home folder.
        {"", "relative", "", "home/.config" + sub, "home/.cache" + sub},
        {"config", "file", "run", "config" + sub, "run" + sub},
        {"config", "file", "", "config" + sub, "config" + sub},
        {"file", "cache", "", "", "cache" + sub},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings.toStdString() + " " + c.scratch.toStdString());
        const char* const values[] = {c.config, c.cache, c.runtime};
        const char* const names[] = {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"};
        for (int i = 0; i < 3; ++i) {
            const QString v = QString::fromLatin1(values[i]);
            if (v.isEmpty())
                qunsetenv(names[i]);
            else
                qputenv(names[i], QFile::encodeName(v == "relative" ? v : Path(v)));
        }
        const platform::ToolFolders f = platform::ToolFoldersFor("taviro", Program());
        EXPECT_EQ(f.settings.toStdString(),
                  (c.settings.isEmpty() ? Program() : Path(c.settings)).toStdString());
        EXPECT_EQ(f.scratch.toStdString(), (c.scratch.isEmpty() ? Program() : Path(c.scratch)).toStdString());
        if (f.settings != Program()) {
            EXPECT_EQ(ReadAll(f.settings + "/setting.ini"), kShipped);
        }
    }
    EXPECT_EQ(QDir(Program()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"setting.ini"});
}

TEST_F(ToolFoldersTest, TheFirstRunCopiesTheShippedSettingsAndLaterRunsKeepTheUsersOwn) {
    MakeReadOnly(Path("suite/taviro/setting.ini"), true);
    MakeReadOnly(Program(), true);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(Path("config")));
    const QString own = platform::ToolFoldersFor("taviro", Program()).settings + "/setting.ini";
    // The copy is the user's to change, although the shipped file is read-only.
    ASSERT_TRUE(platform::WriteProfileString("LANGUAGE", "file", "german.ini", own));
    EXPECT_EQ(platform::ToolFoldersFor("taviro", Program()).settings + "/setting.ini", own);
    EXPECT_EQ(platform::ReadProfileString("LANGUAGE", "file", QString(), own), "german.ini");
    EXPECT_EQ(ReadAll(Path("suite/taviro/setting.ini")), kShipped);
}

TEST_F(ToolFoldersTest, ALanguageUpdateBesideTheSettingsComesBeforeTheShippedFile) {
    WriteAll(Program() + "/languages/english.ini", "shipped");
    WriteAll(Program() + "/languages/chinese.ini", "shipped");
    WriteAll(Path("user/languages/chinese.ini"), "update");
    EXPECT_EQ(platform::LanguageFilePath(Path("user"), "chinese.ini", Program()),
              Path("user/languages/chinese.ini"));
    EXPECT_EQ(platform::LanguageFilePath(Path("user"), "english.ini", Program()),
              Program() + "/languages/english.ini");
    EXPECT_EQ(platform::LanguageFilePath(Path("user"), "french.ini", Program()),
              Path("user/languages/french.ini"));
}

// The first run of an installed suite speaks the desktop's language; the user's choice stays after.
TEST_F(ToolFoldersTest, TheFirstRunTakesTheLanguageFromTheDesktopsLocale) {
    MakeReadOnly(Program(), true);
    const struct {
        const char* lc_all;
        const char* lc_messages;
        const char* lang;
        const char* file;
    } cases[] = {
        {"", "", "zh_CN.UTF-8", "chinese.ini"},
        {"", "", "ja_JP.UTF-8", "japanese.ini"},
        {"", "de_AT.UTF-8", "zh_CN", "german.ini"},
        {"fr_FR", "de_DE", "es_ES", "french.ini"},
        {"", "", "it_IT@euro", "italian.ini"},
        {"", "", "es_MX.UTF-8", "spanish.ini"},
        {"", "", "pt_BR.UTF-8", "english.ini"},
        {"", "", "C", "english.ini"},
        {"", "", "", "english.ini"},
    };
    int run = 0;
    for (const auto& c : cases) {
        qputenv("LC_ALL", c.lc_all);
        qputenv("LC_MESSAGES", c.lc_messages);
        qputenv("LANG", c.lang);
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(Path(QString("config%1").arg(run++))));
        const QString own = platform::ToolFoldersFor("taviro", Program()).settings + "/setting.ini";
        EXPECT_EQ(platform::ReadProfileString("LANGUAGE", "file", QString(), own), c.file) << c.lang;
        ASSERT_TRUE(platform::WriteProfileString("LANGUAGE", "file", "italian.ini", own));
        platform::ToolFoldersFor("taviro", Program());
        EXPECT_EQ(platform::ReadProfileString("LANGUAGE", "file", QString(), own), "italian.ini");
    }
    for (const char* v : {"LC_ALL", "LC_MESSAGES", "LANG"}) qunsetenv(v);
}

}  // namespace
