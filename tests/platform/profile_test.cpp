#include "platform/profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>
#include <climits>

using platform::ReadProfileInt;
using platform::ReadProfileString;
using platform::WriteProfileString;

namespace {

QByteArray Utf16Le(const QString& text) {
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    qToLittleEndian<char16_t>(text.utf16(), text.size(), bytes.data());
    return bytes;
}

QByteArray Utf16Be(const QString& text) {
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    qToBigEndian<char16_t>(text.utf16(), text.size(), bytes.data());
    return bytes;
}

class ProfileTest : public ::testing::Test {
  protected:
    QString Write(const QByteArray& bytes, const QString& name = QStringLiteral("test.ini")) {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return path;
    }
    QByteArray Read(const QString& path) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }
    QString Path(const QString& name) { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

const QString kLanguageText = QStringLiteral(
    "; language file\n"
    "[APPLICATION]\n"
    "name=Taviro\n"
    "version = 2.0 \n"
    "[JIEMIAN]\n"
    "spjq=视频剪切\n"
    "sphb=ビデオを結合\n");

struct EncodingCase {
    const char* name;
    QByteArray bytes;
};

class ProfileEncodingTest : public ProfileTest, public ::testing::WithParamInterface<int> {};

TEST_P(ProfileEncodingTest, ReadsChineseAndJapaneseInEveryEncoding) {
    QString crlf = kLanguageText;
    crlf.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    const EncodingCase cases[] = {
        {"utf8", kLanguageText.toUtf8()},
        {"utf8-bom", QByteArray("\xEF\xBB\xBF") + kLanguageText.toUtf8()},
        {"utf8-crlf", crlf.toUtf8()},
        {"utf16le-bom", QByteArray("\xFF\xFE") + Utf16Le(kLanguageText)},
        {"utf16le-bom-crlf", QByteArray("\xFF\xFE") + Utf16Le(crlf)},
        {"utf16be-bom", QByteArray("\xFE\xFF") + Utf16Be(kLanguageText)},
    };
    const EncodingCase& c = cases[GetParam()];
    SCOPED_TRACE(c.name);
    const QString path = Write(c.bytes);
    EXPECT_EQ(ReadProfileString("APPLICATION", "name", "", path), "Taviro");
    EXPECT_EQ(ReadProfileString("APPLICATION", "version", "", path), "2.0");
    EXPECT_EQ(ReadProfileString("JIEMIAN", "spjq", "", path), QStringLiteral("视频剪切"));
    EXPECT_EQ(ReadProfileString("JIEMIAN", "sphb", "", path), QStringLiteral("ビデオを結合"));
    EXPECT_EQ(ReadProfileString("JIEMIAN", "missing", "dflt", path), "dflt");
}

INSTANTIATE_TEST_SUITE_P(Encodings, ProfileEncodingTest, ::testing::Range(0, 6));

TEST_F(ProfileTest, MissingFileSectionOrKeyGivesTheDefault) {
    const QString missing = Path("nothing.ini");
    EXPECT_EQ(ReadProfileString("LANGUAGE", "file", "", missing), "");
    EXPECT_EQ(ReadProfileString("LANGUAGE", "file", "english.ini", missing), "english.ini");
    EXPECT_EQ(ReadProfileInt("TIMES", "time", 1, missing), 1);
    EXPECT_FALSE(QFile::exists(missing)) << "reading must not create the file";

    const QString path = Write("[TIMES]\ntime=0\n");
    EXPECT_EQ(ReadProfileInt("TIMES", "other", 7, path), 7);
    EXPECT_EQ(ReadProfileInt("NOSECTION", "time", 7, path), 7);
    EXPECT_EQ(ReadProfileInt("TIMES", "time", 7, path), 0);
    EXPECT_EQ(ReadProfileString("TIMES", "", "d", path), "d");
}

TEST_F(ProfileTest, DefaultLosesTrailingSpacesOnly) {
    EXPECT_EQ(ReadProfileString("A", "b", "  text  ", Path("none.ini")), "  text");
    EXPECT_EQ(ReadProfileString("A", "b", "text\t", Path("none.ini")), "text\t");
}

TEST_F(ProfileTest, EmptyValueReadsLikeAMissingKeyWithAnEmptyDefault) {
    const QString path = Write("[JIEMIAN]\nyy=\nzb =   \n");
    EXPECT_EQ(ReadProfileString("JIEMIAN", "yy", "", path), "");
    EXPECT_EQ(ReadProfileString("JIEMIAN", "zb", "", path), "");
    EXPECT_EQ(ReadProfileString("JIEMIAN", "missing", "", path), "");
    // A present key returns its (empty) value, not the default; integers fall back to the default.
    EXPECT_EQ(ReadProfileString("JIEMIAN", "yy", "dflt", path), "");
    EXPECT_EQ(ReadProfileInt("JIEMIAN", "yy", 5, path), 5);
}

TEST_F(ProfileTest, LongValuesAreCutTo999Characters) {
    const QString value(1200, QLatin1Char('x'));
    const QString path = Write("[A]\nlong=" + value.toUtf8() + "\n");
    EXPECT_EQ(ReadProfileString("A", "long", "", path), QString(999, QLatin1Char('x')));
    EXPECT_EQ(ReadProfileString("A", "missing", value, path).size(), 999);
    EXPECT_EQ(ReadProfileString("A", "long", "", path, 10), QString(9, QLatin1Char('x')));

    // A surrogate pair straddling the cut is dropped whole rather than split.
    const QString emoji = QString(998, QLatin1Char('y')) + QStringLiteral("\U0001F600") + "tail";
    const QString path2 = Write("[A]\nk=" + emoji.toUtf8() + "\n", "pair.ini");
    EXPECT_EQ(ReadProfileString("A", "k", "", path2), QString(998, QLatin1Char('y')));
}

TEST_F(ProfileTest, FirstSectionOfANameIsTheOnlyOneLookedAt) {
    const QString path = Write(
        "[CUT]\nformat=1\nformat=9\n"
        "[JOIN]\nformat=2\n"
        "[cut]\nformat=3\nquality=4\n");
    EXPECT_EQ(ReadProfileInt("CUT", "format", -1, path), 1);
    EXPECT_EQ(ReadProfileInt("CUT", "quality", -1, path), -1) << "a later duplicate section is not searched";
    EXPECT_EQ(ReadProfileInt("JOIN", "format", -1, path), 2);
}

TEST_F(ProfileTest, NamesCompareWithoutCase) {
    const QString path = Write("[Jiemian]\nSpJq=cut\n");
    EXPECT_EQ(ReadProfileString("JIEMIAN", "spjq", "", path), "cut");
    EXPECT_EQ(ReadProfileString("jiemian", "SPJQ", "", path), "cut");
    EXPECT_EQ(ReadProfileString(" JIEMIAN ", " spjq ", "", path), "cut");
}

TEST_F(ProfileTest, LineParsing) {
    const QString path = Write(
        "orphan=before any section\n"
        "[S]\n"
        "; comment=not a key\n"
        "no equals sign here\n"
        "url = http://example.com/a?b=c&d=e \n"
        "  indented\t=\tvalue with  inner  blanks\t\n"
        "quoted=\"  kept blanks  \"\n"
        "single='x'\n"
        "half=\"open\n"
        "ideographic=\xE3\x80\x80\xE5\x85\xA8\xE8\xA7\x92\xE3\x80\x80\t\n"
        "[ Spaced ]\n"
        "k=v\n"
        "  [Unclosed\n"
        "u=w\n");
    EXPECT_EQ(ReadProfileString("S", "url", "", path), "http://example.com/a?b=c&d=e");
    EXPECT_EQ(ReadProfileString("S", "indented", "", path), "value with  inner  blanks");
    EXPECT_EQ(ReadProfileString("S", "quoted", "", path), "  kept blanks  ");
    EXPECT_EQ(ReadProfileString("S", "single", "", path), "x");
    EXPECT_EQ(ReadProfileString("S", "half", "", path), "\"open");
    EXPECT_EQ(ReadProfileString("S", "; comment", "d", path), "d");
    EXPECT_EQ(ReadProfileString("S", "no equals sign here", "d", path), "d");
    EXPECT_EQ(ReadProfileString("", "orphan", "d", path), "d");
    EXPECT_EQ(ReadProfileString("Spaced", "k", "", path), "v");
    EXPECT_EQ(ReadProfileString("S", "ideographic", "", path), QStringLiteral("\u3000全角\u3000"));
    EXPECT_EQ(ReadProfileString("unclosed", "u", "", path), "w");
}

TEST(ProfileTextToInt, ConvertsLikeTheWindowsReader) {
    const struct {
        const char* text;
        int expected;
    } cases[] = {
        {"12", 12},
        {"-5", -5},
        {"+7", 7},
        {"12abc", 12},
        {"abc", 0},
        {"  42", 42},
        {"0", 0},
        {"-", 0},
        {"- 5", 0},
        {"007", 7},
        {"1.9", 1},
        {"0x10", 0},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MIN},
        {"4294967297", 1},
        {"-2147483648", INT_MIN},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::ProfileTextToInt(QString::fromUtf8(c.text)), c.expected) << c.text;
    }
}

TEST_F(ProfileTest, IntegersReadThroughTheTextReader) {
    const QString path = Write("[CUT]\nformat=3\nsize=\"5\"\nneg=-2\nbad=x1\n");
    EXPECT_EQ(ReadProfileInt("CUT", "format", 0, path), 3);
    EXPECT_EQ(ReadProfileInt("CUT", "size", 0, path), 5);
    EXPECT_EQ(ReadProfileInt("CUT", "neg", 0, path), -2);
    EXPECT_EQ(ReadProfileInt("CUT", "bad", 9, path), 0);
}

TEST_F(ProfileTest, WriteCreatesTheFileAsUtf8WithLf) {
    const QString path = Path("setting.ini");
    ASSERT_TRUE(WriteProfileString("LANGUAGE", "file", "english.ini", path));
    EXPECT_EQ(Read(path), QByteArray("[LANGUAGE]\nfile=english.ini\n"));
    ASSERT_TRUE(platform::WriteProfileInt("TIMES", "time", 1, path));
    EXPECT_EQ(Read(path), QByteArray("[LANGUAGE]\nfile=english.ini\n[TIMES]\ntime=1\n"));
    ASSERT_TRUE(WriteProfileString("PATH", "name", QStringLiteral("/home/用户/视频"), path));
    EXPECT_EQ(ReadProfileString("PATH", "name", "", path), QStringLiteral("/home/用户/视频"));
    EXPECT_EQ(ReadProfileInt("TIMES", "time", 0, path), 1);
}

TEST_F(ProfileTest, WriteChangesOnlyTheKeyLine) {
    const QByteArray before =
        "; settings\r\n"
        "\r\n"
        "[LANGUAGE]\r\n"
        "  File = german.ini\r\n"
        "name1=English\r\n"
        "\r\n"
        "; times\r\n"
        "[TIMES]\r\n"
        "time=0\r\n";
    const QString path = Write(before);
    ASSERT_TRUE(WriteProfileString("language", "file", "french.ini", path));
    QByteArray expected = before;
    expected.replace("  File = german.ini", "  File=french.ini");
    EXPECT_EQ(Read(path), expected);
}

TEST_F(ProfileTest, WriteAddsAKeyAfterTheSectionsLastLine) {
    const QByteArray before =
        "[CUT]\r\n"
        "format=1\r\n"
        "; keep me\r\n"
        "\r\n"
        "\r\n"
        "[JOIN]\r\n"
        "format=2";
    const QString path = Write(before);
    ASSERT_TRUE(WriteProfileString("CUT", "quality", "3", path));
    ASSERT_TRUE(WriteProfileString("JOIN", "size", "4", path));
    ASSERT_TRUE(WriteProfileString("PATH", "name", "/tmp", path));
    EXPECT_EQ(Read(path), QByteArray("[CUT]\r\n"
                                     "format=1\r\n"
                                     "; keep me\r\n"
                                     "quality=3\r\n"
                                     "\r\n"
                                     "\r\n"
                                     "[JOIN]\r\n"
                                     "format=2\r\n"
                                     "size=4\r\n"
                                     "[PATH]\r\n"
                                     "name=/tmp\r\n"));
}

TEST_F(ProfileTest, WriteGoesIntoTheFirstOfDuplicateSections) {
    const QString path = Write("[CUT]\nformat=1\n[CUT]\nformat=2\nquality=5\n");
    ASSERT_TRUE(WriteProfileString("CUT", "quality", "7", path));
    ASSERT_TRUE(WriteProfileString("CUT", "format", "8", path));
    EXPECT_EQ(Read(path), QByteArray("[CUT]\nformat=8\nquality=7\n[CUT]\nformat=2\nquality=5\n"));
    EXPECT_EQ(ReadProfileInt("CUT", "quality", 0, path), 7);
}

TEST_F(ProfileTest, WriteKeepsUtf16LeWithBom) {
    const QString text = QStringLiteral("[JIEMIAN]\r\nspjq=视频剪切\r\n");
    const QString path = Write(QByteArray("\xFF\xFE") + Utf16Le(text));
    ASSERT_TRUE(WriteProfileString("JIEMIAN", "sphb", QStringLiteral("動画結合"), path));
    ASSERT_TRUE(WriteProfileString("JIEMIAN", "spjq", QStringLiteral("剪切"), path));
    EXPECT_EQ(Read(path), QByteArray("\xFF\xFE") +
                              Utf16Le(QStringLiteral("[JIEMIAN]\r\nspjq=剪切\r\nsphb=動画結合\r\n")));
    EXPECT_EQ(ReadProfileString("JIEMIAN", "sphb", "", path), QStringLiteral("動画結合"));
}

TEST_F(ProfileTest, WriteKeepsUtf8Bom) {
    const QString path = Write("\xEF\xBB\xBF[A]\nk=v\n");
    ASSERT_TRUE(WriteProfileString("A", "k", QStringLiteral("值"), path));
    EXPECT_EQ(Read(path), QByteArray("\xEF\xBB\xBF[A]\nk=") + QStringLiteral("值").toUtf8() + "\n");
}

TEST_F(ProfileTest, LegacyEightBitFileIsReadAsWindows1252AndKeptSo) {
    const QByteArray before = "[A]\nname=caf\xE9\nbad=\x81\n";  // not UTF-8
    const QString path = Write(before);
    EXPECT_EQ(ReadProfileString("A", "name", "", path), QStringLiteral("café"));
    ASSERT_TRUE(WriteProfileString("A", "other", QStringLiteral("naïve"), path));
    EXPECT_EQ(Read(path), before + "other=na\xEFve\n");
    EXPECT_FALSE(WriteProfileString("A", "other", QStringLiteral("中文"), path)) << "1252 cannot hold it";
    EXPECT_EQ(Read(path), before + "other=na\xEFve\n");
}

TEST_F(ProfileTest, WriteRefusesWhatCouldNotBeReadBack) {
    const QByteArray before = "[A]\nk=v\n";
    const QString path = Write(before);
    const struct {
        const char* section;
        const char* key;
        const char* value;
    } bad[] = {
        {"A", "k", "two\nlines"}, {"A", "k", "cr\rhere"}, {"A", "", "v"},   {"", "k", "v"},
        {"A]", "k", "v"},         {"A", "k=x", "v"},      {"A", "[k", "v"}, {"A", ";k", "v"},
        {"A\nB", "k", "v"},       {"A", "k\nx", "v"},
    };
    for (const auto& c : bad) {
        EXPECT_FALSE(WriteProfileString(c.section, c.key, c.value, path)) << c.section << "/" << c.key;
    }
    EXPECT_EQ(Read(path), before);
    EXPECT_FALSE(WriteProfileString("A", "k", "v", Path("no/such/folder/setting.ini")));
    EXPECT_FALSE(QFileInfo::exists(Path("no")));
    EXPECT_TRUE(WriteProfileString("A", "k", "x = y = z", path));
    EXPECT_EQ(ReadProfileString("A", "k", "", path), "x = y = z");
}

TEST_F(ProfileTest, DeleteKeyAndSection) {
    const QString path = Write("[A]\nk=1\nK=2\nm=3\n[B]\nk=4\n[a]\nz=5\n");
    ASSERT_TRUE(platform::DeleteProfileKey("a", "k", path));
    EXPECT_EQ(Read(path), QByteArray("[A]\nm=3\n[B]\nk=4\n[a]\nz=5\n"));
    ASSERT_TRUE(platform::DeleteProfileSection("A", path));
    EXPECT_EQ(Read(path), QByteArray("[B]\nk=4\n"));
    EXPECT_TRUE(platform::DeleteProfileKey("B", "none", path));
    EXPECT_TRUE(platform::DeleteProfileSection("none", Path("missing.ini")));
    EXPECT_FALSE(QFile::exists(Path("missing.ini")));
}

TEST_F(ProfileTest, AFolderInPlaceOfTheFileGivesDefaultsAndRefusesWrites) {
    const QString folder = Path("folder.ini");
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_EQ(ReadProfileString("A", "k", "d", folder), "d");
    EXPECT_EQ(ReadProfileInt("A", "k", 4, folder), 4);
    EXPECT_FALSE(WriteProfileString("A", "k", "w", folder));
    EXPECT_TRUE(QFileInfo(folder).isDir());
}

TEST_F(ProfileTest, UnreadableFileGivesDefaultsAndRefusesWrites) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
    const QString path = Write("[A]\nk=v\n");
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::Permissions()));
    EXPECT_EQ(ReadProfileString("A", "k", "d", path), "d");
    EXPECT_FALSE(WriteProfileString("A", "k", "w", path));
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(Read(path), QByteArray("[A]\nk=v\n"));
}

TEST_F(ProfileTest, WriteKeepsTheFilesPermissions) {
    const QString path = Write("[A]\nk=v\n");
    const auto permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(path, permissions));
    ASSERT_TRUE(WriteProfileString("A", "k", "w", path));
    EXPECT_EQ(QFile::permissions(path) & 0x7077, permissions);
}

TEST_F(ProfileTest, AFileReadOnceGivesWhatEachSingleReadGives) {
    const QString path = Write(
        "key=before any section\n"
        "[Main]\n"
        "  Name = first  \n"
        "name=second\n"
        "quoted=\"  padded \"\n"
        "empty=\n"
        "long=" +
        QByteArray(1500, 'x') +
        "\n"
        "; comment=no\n"
        "[other]\n"
        "name=other\n"
        "[MAIN]\n"
        "late=dead text\n");
    const platform::ProfileFile file(path);
    const char* const lookups[][2] = {
        {"main", "name"}, {"MAIN", "NAME"},  {"Main", "quoted"}, {"Main", "empty"},     {"Main", "long"},
        {"Main", "late"}, {"other", "name"}, {"none", "name"},   {"Main", "; comment"}, {"", "key"}};
    for (const auto& l : lookups) {
        SCOPED_TRACE(std::string(l[0]) + "/" + l[1]);
        EXPECT_EQ(file.value(l[0], l[1], "default"), ReadProfileString(l[0], l[1], "default", path));
    }
    EXPECT_EQ(file.value("main", "name"), "first");
}

TEST_F(ProfileTest, PipesAndDevicesReadAsUnreadable) {
    const QString fifo = m_dir.filePath("fifo.ini");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    for (const QString& path : {fifo, QStringLiteral("/dev/zero")}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(ReadProfileString("LANGUAGE", "file", "english.ini", path), "english.ini");
        EXPECT_EQ(platform::ProfileFile(path).size(), 0);
        EXPECT_FALSE(WriteProfileString("LANGUAGE", "file", "x.ini", path));
    }
}

}  // namespace
