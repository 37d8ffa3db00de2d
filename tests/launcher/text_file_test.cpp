#include "launcher/text_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "launcher/xml_document.h"

namespace {

std::string Ascii(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

struct FileCase {
    const char* name;
    std::string bytes;
    std::u16string text;
    const char* entries;  // the result text
    uint32_t encoding_flags;
};

class TextFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() /
                ("text_file_test_" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::string Write(const char* name, const std::string& bytes) {
        const std::string path = (m_dir / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    std::filesystem::path m_dir;
};

// The test runs in the "C" locale, whose ANSI charset counts as UTF-8.
TEST_F(TextFileTest, EncodingComesFromMarkDeclarationOrUtf8Detection) {
    const FileCase cases[] = {
        {"bom_wins_over_declaration", "\xEF\xBB\xBF<?xml encoding=\"gb2312\"?><a>\xe4\xb8\xad</a>",
         u"<?xml encoding=\"gb2312\"?><a>\u4e2d</a>",
         "<bom/><read encoding=\"UTF-8\" length=\"35\"/><converted_to encoding=\"UTF-16\" length=\"33\"/>",
         CXmlDocument::kUtf8BomFile},
        {"declared_gb2312", "<?xml version=\"1.0\" encoding=\"GB2312\"?><a>\xd6\xd0</a>",
         u"<?xml version=\"1.0\" encoding=\"GB2312\"?><a>\u4e2d</a>",
         "<read encoding=\"GB2312\" length=\"48\"/><converted_to encoding=\"UTF-16\" length=\"47\"/>", 0},
        {"html_meta_charset",
         "<html><head><meta http-equiv=\"content-type\" content=\"text/html; charset=Shift_JIS\"></head>"
         "<body>\x93\xfa</body></html>",
         u"<html><head><meta http-equiv=\"content-type\" content=\"text/html; charset=Shift_JIS\"></head>"
         u"<body>\u65e5</body></html>",
         "<read encoding=\"Shift_JIS\" length=\"112\"/><converted_to encoding=\"UTF-16\" length=\"111\"/>",
         0},
        {"markup_without_declaration_is_utf8", "<a>\xc3\xa9</a>", u"<a>\u00e9</a>",
         "<read encoding=\"UTF-8\" length=\"9\"/><converted_to encoding=\"UTF-16\" length=\"8\"/>", 0},
        {"leading_space_goes_through_detection", " <a>\xc3\xa9</a>", u" <a>\u00e9</a>",
         "<read encoding=\"UTF-8\" length=\"10\"/><utf8_detection/><converted_to encoding=\"UTF-16\" "
         "length=\"9\"/>",
         0},
        {"invalid_utf8_converts_from_ansi", " <a>\xe9</a>", u" <a>\ufffd</a>",
         "<read length=\"9\"/><utf8_detection/><converted_to encoding=\"UTF-16\" length=\"9\"/>", 0},
        {"nul_bytes_are_removed", std::string("<a>x\0y\0</a>", 11), u"<a>xy</a>",
         "<read encoding=\"UTF-8\" length=\"11\"/><nulls_removed count=\"2\"/>"
         "<converted_to encoding=\"UTF-16\" length=\"9\"/>",
         0},
        {"utf16le", std::string("\xFF\xFE<\0a\0/\0>\0", 10), u"<a/>",
         "<bom/><read encoding=\"UTF-16LE\" length=\"4\"/>", CXmlDocument::kUtf16LeFile},
        {"utf16be", std::string("\xFE\xFF\0<\0a\0/\0>\xD8\x3D\xDE\x00", 14), u"<a/>\U0001F600",
         "<bom/><read encoding=\"UTF-16BE\" length=\"6\"/><endian_swap/>", CXmlDocument::kUtf16BeFile},
        {"empty", "", u"",
         "<read encoding=\"UTF-8\" length=\"0\"/><utf8_detection/>"
         "<converted_to encoding=\"UTF-16\" length=\"0\"/>",
         0},
    };
    for (const auto& c : cases) {
        const std::string path = Write(c.name, c.bytes);
        std::u16string text, result;
        uint32_t flags = CXmlDocument::kReadFile | CXmlDocument::kUtf16BeFile;
        ASSERT_TRUE(CTextFile::LoadTextFromFile(path, text, result, flags)) << c.name;
        EXPECT_EQ(text, c.text) << c.name;
        EXPECT_EQ(Ascii(result), c.entries) << c.name;
        EXPECT_EQ(flags, c.encoding_flags) << c.name;
    }
}

TEST_F(TextFileTest, MissingFileOrFolderIsAFileError) {
    std::u16string text, result;
    uint32_t flags = 0;
    EXPECT_FALSE(CTextFile::LoadTextFromFile((m_dir / "none.xml").string(), text, result, flags));
    EXPECT_EQ(Ascii(result), "<file_error msg=\"No such file or directory\" n=\"2\"/>");
    CXmlDocument doc;
    EXPECT_FALSE(doc.LoadFile((m_dir / "none.xml").string()));
    EXPECT_FALSE(CTextFile::LoadTextFromFile(m_dir.string(), text, result, flags));
    EXPECT_EQ(Ascii(result), "<file_error msg=\"Is a directory\" n=\"21\"/>");
}

TEST_F(TextFileTest, LoadFileReportsTwoRootsAsFailureButIndexesBoth) {
    CXmlDocument doc;
    EXPECT_FALSE(doc.LoadFile(Write("two.xml", "<a/><b/>")));
    EXPECT_NE(doc.ResultText().find(u"<root_has_sibling/>"), std::u16string::npos);
    EXPECT_TRUE(doc.FindElement(u"b"));
}

}  // namespace
