#include "platform/codepage.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <clocale>
#include <cstring>

using platform::MultiByteToWide;
using platform::WideToMultiByte;

namespace {

TEST(CodePage, EveryKnownCodePageHasAnIconvCharset) {
    // Every number the table knows, found by asking for all of them.
    int known = 0;
    for (int codepage = 0; codepage <= 65535; ++codepage) {
        const std::string charset = platform::CodePageCharset(codepage);
        if (charset.empty()) continue;
        ++known;
        iconv_t cd = iconv_open("UTF-16LE", charset.c_str());
        EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << codepage << " " << charset;
        if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
    EXPECT_GT(known, 50);
    for (int codepage : {0,    1,    437,  850,  874,  932,  936,  949,  950,  1200,
                         1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258, 65001}) {
        EXPECT_FALSE(platform::CodePageCharset(codepage).empty()) << codepage;
    }
    EXPECT_TRUE(platform::CodePageCharset(12345).empty());
    EXPECT_TRUE(platform::CodePageCharset(-1).empty());
}

struct RoundTrip {
    int codepage;
    const char* utf8_text;
    QByteArray bytes;  // the text in that code page
};

TEST(CodePage, RoundTripsChineseJapaneseAndEuropeanText) {
    const RoundTrip cases[] = {
        {936, "中文", QByteArray("\xD6\xD0\xCE\xC4")},
        {54936, "中文", QByteArray("\xD6\xD0\xCE\xC4")},
        {950, "中文", QByteArray("\xA4\xA4\xA4\xE5")},
        {932, "日本語", QByteArray("\x93\xFA\x96\x7B\x8C\xEA")},
        {932, "ｱ", QByteArray("\xB1")},  // half-width katakana: one byte in Shift_JIS
        {949, "한국", QByteArray("\xC7\xD1\xB1\xB9")},
        {1252, "café €", QByteArray("caf\xE9 \x80")},
        {1251, "Привет", QByteArray("\xCF\xF0\xE8\xE2\xE5\xF2")},
        {437, "é", QByteArray("\x82")},
        {65001, "视频 ok", QByteArray("\xE8\xA7\x86\xE9\xA2\x91 ok")},
        {1200, "A中", QByteArray("A\0\x2D\x4E", 4)},
    };
    for (const auto& c : cases) {
        const QString text = QString::fromUtf8(c.utf8_text);
        bool ok = false;
        EXPECT_EQ(WideToMultiByte(c.codepage, text, &ok), c.bytes) << c.codepage;
        EXPECT_TRUE(ok) << c.codepage;
        EXPECT_EQ(MultiByteToWide(c.codepage, c.bytes, &ok), text) << c.codepage;
        EXPECT_TRUE(ok) << c.codepage;
    }
}

TEST(CodePage, InvalidInputIsReplacedAndReported) {
    bool ok = true;
    // A lone lead byte in GBK, then ASCII: the bad byte becomes U+FFFD, the rest survives.
    EXPECT_EQ(MultiByteToWide(936,
                              QByteArray("a\xFF"
                                         "b"),
                              &ok),
              QStringLiteral("a\uFFFDb"));
    EXPECT_FALSE(ok);
    // A truncated double-byte character at the end.
    ok = true;
    EXPECT_EQ(MultiByteToWide(932, QByteArray("x\x93"), &ok), QStringLiteral("x\uFFFD"));
    EXPECT_FALSE(ok);
    ok = true;
    EXPECT_EQ(MultiByteToWide(65001, QByteArray("\xC3("), &ok), QStringLiteral("\uFFFD("));
    EXPECT_FALSE(ok);

    // Characters the code page cannot hold become "?".
    ok = true;
    EXPECT_EQ(WideToMultiByte(1252, QStringLiteral("a中b"), &ok), QByteArray("a?b"));
    EXPECT_FALSE(ok);
    ok = true;
    EXPECT_EQ(WideToMultiByte(936, QStringLiteral("x\U0001F600y"), &ok), QByteArray("x?y"));
    EXPECT_FALSE(ok);
    // A lone surrogate.
    ok = true;
    const QChar lone[] = {QLatin1Char('a'), QChar(0xD800), QLatin1Char('b')};
    EXPECT_EQ(WideToMultiByte(65001, QString(lone, 3), &ok), QByteArray("a?b"));
    EXPECT_FALSE(ok);
    // "?" in UTF-16 is two bytes.
    EXPECT_EQ(WideToMultiByte(1200, QString(lone, 3), &ok), QByteArray("a\0?\0b\0", 6));

    // An unknown code page converts nothing.
    ok = true;
    EXPECT_TRUE(MultiByteToWide(12345, "abc", &ok).isEmpty());
    EXPECT_FALSE(ok);
    ok = true;
    EXPECT_TRUE(WideToMultiByte(12345, "abc", &ok).isEmpty());
    EXPECT_FALSE(ok);
}

TEST(CodePage, LongTextConvertsWhole) {
    QString text;
    for (int i = 0; i < 5000; ++i) text += QStringLiteral("视频");
    const QByteArray gbk = WideToMultiByte(936, text);
    EXPECT_EQ(gbk.size(), 20000);
    EXPECT_EQ(MultiByteToWide(936, gbk), text);
}

TEST(CodePage, EmptyInput) {
    bool ok = false;
    EXPECT_TRUE(MultiByteToWide(936, QByteArray(), &ok).isEmpty());
    EXPECT_TRUE(ok);
    EXPECT_TRUE(WideToMultiByte(936, QString(), &ok).isEmpty());
    EXPECT_TRUE(ok);
}

TEST(CodePage, Utf8HelpersForFfmpegPaths) {
    const QString path = QStringLiteral("/home/用户/ビデオ/clip 1.mp4");
    const std::string utf8 = platform::WideToUtf8(path);
    EXPECT_EQ(utf8, "/home/\xE7\x94\xA8\xE6\x88\xB7/\xE3\x83\x93\xE3\x83\x87\xE3\x82\xAA/clip 1.mp4");
    EXPECT_EQ(utf8.size(), std::strlen(utf8.c_str()));
    EXPECT_EQ(platform::Utf8ToWide(utf8), path);
    EXPECT_EQ(platform::Utf8ToWide("bad\xFF"), QStringLiteral("bad\uFFFD"));
}

TEST(CodePage, AnsiCodePageIsTheLocaleCharset) {
    const std::string saved = setlocale(LC_CTYPE, nullptr);
    // The plain C locale is ASCII, which counts as UTF-8.
    ASSERT_NE(setlocale(LC_CTYPE, "C"), nullptr);
    EXPECT_EQ(platform::CodePageCharset(platform::kCodePageAnsi), "UTF-8");
    EXPECT_EQ(WideToMultiByte(0, QStringLiteral("中")), QByteArray("\xE4\xB8\xAD"));
    if (setlocale(LC_CTYPE, "C.UTF-8")) {
        EXPECT_EQ(platform::CodePageCharset(platform::kCodePageAnsi), "UTF-8");
        EXPECT_EQ(MultiByteToWide(0, QByteArray("\xE4\xB8\xAD")), QStringLiteral("中"));
    }
    setlocale(LC_CTYPE, saved.c_str());
}

}  // namespace
