// The settings and language files of a program folder: start settings, the language box mapping,
// the language switch write, and the text cache.
#include "common/language_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(ProgramFiles, BuildsPathsBelowTheFolder) {
    const common::ProgramFiles files("/opt/suite/taviro");
    EXPECT_EQ(files.settingsPath(), "/opt/suite/taviro/setting.ini");
    EXPECT_EQ(files.filePath("image.bmp"), "/opt/suite/taviro/image.bmp");
    QTemporaryDir dir;
    WriteFile(dir.filePath("languages/german.ini"), "[APPLICATION]\nname=Taviro\n");
    EXPECT_EQ(common::ProgramFiles(dir.path()).languagePath("german.ini"),
              dir.filePath("languages/german.ini"));
}

TEST(ProgramFiles, TheLanguageFileIsAPlainNameOfASaneRegularFileElseEnglish) {
    QTemporaryDir dir;
    const QString languages = dir.filePath("languages");
    WriteFile(languages + "/english.ini", "[APPLICATION]\nname=Taviro\n");
    WriteFile(languages + "/german.ini", "[APPLICATION]\nname=Taviro\n");
    WriteFile(dir.filePath("outside.ini"), "[APPLICATION]\nname=elsewhere\n");
    // A pipe would block the window's start, a device or a huge file fill its memory.
    ASSERT_EQ(::mkfifo(QFile::encodeName(languages + "/fifo.ini").constData(), 0644), 0);
    QFile huge(languages + "/huge.ini");
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize(common::kMaxLanguageFileBytes + 1));
    huge.close();
    ASSERT_TRUE(QDir(languages).mkdir("folder.ini"));

    const common::ProgramFiles files(dir.path());
    const QString english = languages + "/english.ini";
    const struct {
        const char* name;
        QString expected;
    } cases[] = {
        {"german.ini", languages + "/german.ini"},
        {"../outside.ini", english},
        {"../../../../dev/zero", english},
        {"/etc/passwd", english},
        {"..\\outside.ini", english},
        {"..", english},
        {"", english},
        {"missing.ini", english},
        {"fifo.ini", english},
        {"huge.ini", english},
        {"folder.ini", english},
    };
    for (const auto& c : cases)
        EXPECT_EQ(files.languagePath(QString::fromUtf8(c.name)), c.expected) << c.name;
}

TEST(TextCache, AFileWithoutAnyOfTheKeysGivesWayToTheFallback) {
    QTemporaryDir dir;
    const QString en = dir.filePath("en.ini"), broken = dir.filePath("broken.ini");
    WriteFile(en, "[TISHI]\nwj=The file\n");
    WriteFile(broken, QByteArray("\x00\x01garbage\xff", 11));
    const common::LanguageKey keys[] = {{"TISHI", "wj"}};
    common::TextCache cache;
    cache.load(broken, keys, en);
    EXPECT_EQ(cache.text("TISHI", "wj"), "The file");
    cache.load(dir.filePath("missing.ini"), keys, en);
    EXPECT_EQ(cache.text("TISHI", "wj"), "The file");
}

TEST(StartSettings, ReadsNamesFileAndSponsorship) {
    QTemporaryDir dir;
    const QString path = dir.filePath("setting.ini");
    WriteFile(path,
              "[language]\nFILE=german.ini\nname1=English\nname3=Deutsch\nname6="
              "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\n"
              "[TIMES]\ntime=0\n");
    const common::StartSettings s = common::ReadStartSettings(path);
    EXPECT_EQ(s.language_file, "german.ini");
    ASSERT_EQ(s.language_names.size(), 7);
    EXPECT_EQ(s.language_names[0], "English");
    EXPECT_EQ(s.language_names[1], "");
    EXPECT_EQ(s.language_names[2], "Deutsch");
    EXPECT_EQ(s.language_names[5], QString::fromUtf8("日本語"));
    EXPECT_EQ(s.sponsorship, 0);
}

TEST(StartSettings, MissingFileGivesDefaults) {
    QTemporaryDir dir;
    const common::StartSettings s = common::ReadStartSettings(dir.filePath("setting.ini"));
    EXPECT_TRUE(s.language_file.isEmpty());
    EXPECT_EQ(s.language_names, QStringList(7, QString()));
    EXPECT_EQ(s.sponsorship, 1);
}

TEST(LanguageBox, MapsItemsToFilesBothWays) {
    const char* const files[] = {"english.ini", "spanish.ini",  "german.ini", "french.ini",
                                 "italian.ini", "japanese.ini", "chinese.ini"};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(common::LanguageFileForItem(i), files[i]);
        EXPECT_EQ(common::LanguageItemForFile(files[i]), i);
    }
    for (int i : {-1, 7, 100}) EXPECT_TRUE(common::LanguageFileForItem(i).isEmpty()) << i;
    for (const char* name : {"korean.ini", "", "English.ini", "english.INI", "english"})
        EXPECT_EQ(common::LanguageItemForFile(name), -1) << name;
}

TEST(LanguageChoice, RewritesFileAndKeepsOtherLines) {
    QTemporaryDir dir;
    const QString path = dir.filePath("setting.ini");
    WriteFile(path, "[LANGUAGE]\nfile=english.ini\nname1=English\n[TIMES]\ntime=1\n");
    ASSERT_TRUE(common::WriteLanguageChoice(path, "french.ini"));
    EXPECT_EQ(ReadFile(path), "[LANGUAGE]\nfile=french.ini\nname1=English\n[TIMES]\ntime=1\n");
    EXPECT_EQ(common::ReadStartSettings(path).language_file, "french.ini");
}

TEST(LanguageChoice, FirstWriteCreatesTheFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("setting.ini");
    ASSERT_TRUE(common::WriteLanguageChoice(path, "italian.ini"));
    EXPECT_EQ(common::ReadStartSettings(path).language_file, "italian.ini");
}

TEST(TextCache, HoldsTextsOfTheLoadedFileOnly) {
    QTemporaryDir dir;
    const QString en = dir.filePath("en.ini"), de = dir.filePath("de.ini");
    WriteFile(en, "[TISHI]\nwj=\"The file \"\nwx=cannot be opened.\n[HINT]\nbf=Play\n");
    WriteFile(de, "[tishi]\nWJ=Die Datei\n");
    const common::LanguageKey keys[] = {{"TISHI", "wj"}, {"TISHI", "wx"}, {"HINT", "bf"}};

    common::TextCache cache;
    cache.load(en, keys);
    EXPECT_EQ(cache.text("TISHI", "wj"), "The file ");  // quotes keep the trailing blank
    EXPECT_EQ(cache.text("tishi", "WX"), "cannot be opened.");
    EXPECT_EQ(cache.text("HINT", "bf"), "Play");
    EXPECT_EQ(cache.text("HINT", "sc"), "");  // not a loaded key

    cache.load(de, keys);
    EXPECT_EQ(cache.text("TISHI", "wj"), "Die Datei");
    EXPECT_EQ(cache.text("TISHI", "wx"), "");  // missing keys give empty texts
    EXPECT_EQ(cache.text("HINT", "bf"), "");

    cache.load(dir.filePath("missing.ini"), keys);
    EXPECT_EQ(cache.text("TISHI", "wj"), "");
}

TEST(LanguageText, LongValueIsCutTo999Characters) {
    QTemporaryDir dir;
    const QString path = dir.filePath("long.ini");
    WriteFile(path, "[JIEMIAN]\nzb=" + QByteArray(1200, 'x') + "\n");
    EXPECT_EQ(common::ReadLanguageText(path, "JIEMIAN", "zb").size(), 999);
}

}  // namespace
