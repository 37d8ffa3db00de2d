#include "launcher/xml_document.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "launcher/text_codec.h"

namespace {

std::string Utf8(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

struct ParseCase {
    const char16_t* text;
    bool well_formed;
    const char16_t* result;  // the result text the parse leaves
};

TEST(XmlDocumentTest, ParseRecordsSyntaxProblemsAsResultEntries) {
    const ParseCase cases[] = {
        {u"<a><b x='1'/>text<!-- c --><?pi ?><![CDATA[<x>]]></a>", true, u""},
        {u"<a/><b/>", false, u"<root_has_sibling/>"},
        {u"", false, u""},
        {u"just text", false, u"<no_root_element/>"},
        {u"<a></b></a>", false, u"<lone_end_tag tagname=\"b\" offset=\"3\"/>"},
        {u"<a><b><c/></a>", false, u"<unended_start_tag tagname=\"b\" offset=\"3\" offset2=\"11\"/>"},
        {u"<a><1/></a>", false, u"<first_tag_syntax offset=\"3\"/>"},
        {u"<a><!x></a>", false, u"<exclamation_tag_syntax offset=\"3\"/>"},
        {u"<a><!-x--></a>", false, u"<comment_tag_syntax offset=\"3\"/>"},
        {u"<a><![x]]></a>", false, u"<cdata_section_syntax offset=\"3\"/>"},
        {u"<!DOCTYPE a [<x>]><a/>", false,
         u"<doctype_tag_syntax offset=\"0\"/><unended_start_tag tagname=\"x\" offset=\"13\" offset2=\"22\"/>"
         u"<root_has_sibling/>"},
        {u"<!DOCTYPE a [<!ELEMENT a ANY><!-- > -->]><a/>", true, u""},
        {u"<a><b c=\"x", false,
         u"<unterminated_tag_syntax type=\"start_tag\" offset=\"3\"/>"
         u"<unended_start_tag tagname=\"a\" offset=\"0\" offset2=\"10\"/>"},
        {u"<a><!-- x", false,
         u"<unterminated_tag_syntax type=\"comment\" offset=\"3\"/>"
         u"<unended_start_tag tagname=\"a\" offset=\"0\" offset2=\"9\"/>"},
        {u"<a x='>'/>", true, u""},
    };
    for (const auto& c : cases) {
        CXmlDocument doc;
        EXPECT_EQ(doc.ParseText(c.text), c.well_formed) << Utf8(c.text);
        EXPECT_EQ(Utf8(doc.ResultText()), Utf8(c.result)) << Utf8(c.text);
    }
}

TEST(XmlDocumentTest, UnendedElementsChildrenBecomeItsFollowingSiblings) {
    CXmlDocument doc(u"<a><b><c/><d/></a>");
    ASSERT_TRUE(doc.FindElement(u"a"));
    doc.SavePosition(u"a");
    std::u16string names;
    while (doc.FindChildElement()) {
        doc.EnterElement();
        names += doc.GetTagName() + u",";
        doc.LeaveElement();
    }
    EXPECT_EQ(Utf8(names), "b,c,d,");
    ASSERT_TRUE(doc.FindChildElement(u"b") || doc.RestorePosition(u"a"));
}

TEST(XmlDocumentTest, DeepUnendedNestingAndManyLoneEndTagsParseInOnePass) {
    // Each record moves once however many ancestors close, and an end tag that matches nothing is
    // known without walking the open elements: both would take hours on this input otherwise.
    std::u16string text;
    for (int i = 0; i < 200000; ++i) text += u"<a>";
    for (int i = 0; i < 200000; ++i) text += u"</b>";
    CXmlDocument doc(text);
    EXPECT_EQ(doc.ElementCount(), 200001u);
    ASSERT_TRUE(doc.FindElement(u"a"));
    int top_level = 1;
    while (doc.FindElement(u"a")) ++top_level;
    EXPECT_EQ(top_level, 200000);
}

TEST(XmlDocumentTest, NavigationFollowsDocumentOrder) {
    CXmlDocument doc(u"<r><p><t v='1'/><x/><h v='2'/></p><profile/></r>");
    EXPECT_TRUE(doc.FindChildElement(u"p"));  // finds the root first
    EXPECT_FALSE(doc.FindChildElement(u"Profile")) << "names are compared exactly";
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.FindChildElement(u"h"));
    EXPECT_FALSE(doc.FindChildElement(u"t")) << "searches only after the current child";
    ASSERT_TRUE(doc.EnterElement());
    EXPECT_EQ(Utf8(doc.GetAttribute(u"v")), "2");
    ASSERT_TRUE(doc.LeaveElement());
    ASSERT_TRUE(doc.LeaveElement());
    EXPECT_EQ(Utf8(doc.GetTagName()), "r");
    EXPECT_FALSE(doc.FindChildElement(u"/p")) << "a name starting with / never matches";
    EXPECT_FALSE(doc.FindChildElement(u"p[1")) << "an unbalanced path never matches";
}

TEST(XmlDocumentTest, AttributesAndEntityReferences) {
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"plain", u"a b"},
        {u"single", u"x\"y"},
        {u"bare", u"bare"},
        {u"unquoted", u"v/"},
        {u"amp", u"A&B"},
        {u"caps", u"&"},
        {u"hex", u"A"},
        {u"dec", u"é"},
        {u"unknown", u"&bogus; &#0; & x"},
        {u"cases", u"\u00c1\u00e1"},
        {u"astral", u"\U0001F600"},
        {u"missing", u""},
        {u"q", u"&apos;\u20ac"},
    };
    CXmlDocument doc(
        u"<e plain=\"a b\" single='x\"y' bare amp=\"A&amp;B\" caps=\"&AMP;\" hex=\"&#x41;\" dec='&#233;'"
        u" unknown=\"&bogus; &#0; & x\" cases=\"&Aacute;&aacute;\" astral=\"&#x1F600;\" q='&amp;apos;&euro;'"
        u" unquoted=v/>");
    ASSERT_TRUE(doc.FindElement());
    for (const auto& [name, value] : cases) {
        EXPECT_EQ(doc.GetAttribute(name), std::u16string(value)) << Utf8(name);
    }
}

TEST(XmlDocumentTest, ResultTextStopsGrowingPastItsLimit) {
    std::u16string text = u"<a>";
    for (int i = 0; i < 100; ++i) text += u"</zz>";
    text += u"</a>";
    CXmlDocument doc(text);
    EXPECT_GT(doc.ResultText().size(), 999u);
    EXPECT_LT(doc.ResultText().size(), 999u + 50u);
}

TEST(XmlDocumentTest, EveryNameOfTheCodePageTableResolves) {
    size_t count = 0;
    const textcodec::NamedCodePage* names = textcodec::CodePageNames(&count);
    ASSERT_EQ(count, 365u);
    for (size_t i = 0; i < count; ++i) {
        EXPECT_EQ(textcodec::CodePageFromName(textcodec::Widen(names[i].name)), names[i].codepage)
            << names[i].name;
    }
    EXPECT_EQ(textcodec::CodePageFromName(u"Windows-1252"), 1252);
    EXPECT_EQ(textcodec::CodePageFromName(u"UTF-32 whatever"), textcodec::kCodePageUtf32);
    EXPECT_EQ(textcodec::CodePageFromName(u"cp1256 "), 1256);
    EXPECT_EQ(textcodec::CodePageFromName(u"klingon"), textcodec::kCodePageUnknown);
    EXPECT_EQ(textcodec::CodePageFromName(std::u16string(120, u'a')), textcodec::kCodePageUnknown);
    EXPECT_EQ(textcodec::CodePageFromName(u""), textcodec::kCodePageAnsi);
    // An unknown name converts as the ANSI code page (UTF-8 in the tests' "C" locale).
    EXPECT_EQ(textcodec::DecodeToUtf16("caf\xc3\xa9", u"klingon"), u"caf\u00e9");
    EXPECT_EQ(textcodec::DecodeToUtf16("caf\xe9", u"latin1"), u"caf\u00e9");
}

TEST(XmlDocumentTest, WriterBuildsADocumentThatReadsBack) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.AddElement(u"Suite"));
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.AddElement(u"Title"));
    ASSERT_TRUE(doc.SetAttribute(u"value", u"R&D <\"1\">"));
    ASSERT_TRUE(doc.SetAttribute(u"n", 7));
    ASSERT_TRUE(doc.SetAttribute(u"value", u"R&D's"));
    ASSERT_TRUE(doc.AddElement(u"Note", u"a]]>b", CXmlDocument::kCData));
    ASSERT_TRUE(doc.AddElement(u"Text", u"1 < 2", CXmlDocument::kNoLineBreak));
    EXPECT_EQ(
        Utf8(doc.DocumentText()),
        "<Suite>\r\n<Title value=\"R&amp;D&apos;s\" n=\"7\"/>\r\n<Note><![CDATA[a]]]]><![CDATA[>b]]></Note>"
        "<Text>1 &lt; 2</Text>\r\n</Suite>");
    CXmlDocument back(doc.DocumentText());
    ASSERT_TRUE(back.FindChildElement(u"Title"));
    ASSERT_TRUE(back.EnterElement());
    EXPECT_EQ(Utf8(back.GetAttribute(u"value")), "R&D's");
    EXPECT_EQ(Utf8(CXmlDocument::EncodeText(u"&amp; & &#1; <", false, true)), "&amp; &amp; &#1; &lt;");
}

class XmlFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir =
            std::filesystem::temp_directory_path() /
            ("xml_file_test_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::string Path(const char* name) const { return (m_dir / name).string(); }
    std::string Bytes(const char* name) const {
        std::ifstream in(Path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::filesystem::path m_dir;
};

TEST_F(XmlFileTest, WriteAndAppendModesKeepOneByteOrderMark) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.OpenFile(Path("out.xml"), CXmlDocument::kWriteFile | CXmlDocument::kUtf16LeFile));
    doc.AddElement(u"a", u"\u4e2d");
    ASSERT_TRUE(doc.Close());
    ASSERT_TRUE(doc.OpenFile(Path("out.xml"), CXmlDocument::kAppendFile | CXmlDocument::kUtf16LeFile));
    doc.AddElement(u"b");
    ASSERT_TRUE(doc.Close());
    EXPECT_EQ(Bytes("out.xml"), std::string("\xFF\xFE<\0a\0>\0\x2d\x4e<\0/\0a\0>\0<\0b\0/\0>\0", 26));

    CXmlDocument ansi;
    ASSERT_TRUE(ansi.OpenFile(Path("1252.xml"), CXmlDocument::kWriteFile, u"windows-1252"));
    ansi.AddElement(u"a", u"caf\u00e9 \u4e2d");
    ASSERT_TRUE(ansi.Close());
    EXPECT_EQ(Bytes("1252.xml"), "<a>caf\xe9 ?</a>");
    EXPECT_NE(ansi.ResultText().find(u"<conversion_loss/>"), std::u16string::npos) << Utf8(ansi.ResultText());
}

TEST_F(XmlFileTest, PullReadingFindsElementsAcrossBlockBoundaries) {
    // Three-byte characters push element starts across every 16 KiB block boundary.
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><list>";
    for (int i = 0; i < 3000; ++i) text += "<item v=\"" + std::to_string(i) + "\xe4\xb8\xad\"/>\xe6\x96\x87";
    text += "</list>";
    std::ofstream(Path("big.xml"), std::ios::binary) << text;
    CXmlDocument doc;
    ASSERT_TRUE(doc.OpenFile(Path("big.xml"), CXmlDocument::kReadFile));
    int n = 0;
    while (doc.FindElement(u"item")) {
        ASSERT_EQ(doc.GetAttribute(u"v"), textcodec::Widen(std::to_string(n)) + u"\u4e2d");
        ++n;
    }
    EXPECT_EQ(n, 3000);
    EXPECT_EQ(doc.ResultText().find(u"truncation_error"), std::u16string::npos);
    EXPECT_FALSE(doc.FindChildElement()) << "no child search while pulling";
    doc.Close();

    // Small blocks cut double-byte and UTF-16 characters at their ends.
    const std::pair<const char*, std::string> files[] = {
        {"sjis.xml",
         "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><r><i v=\"\x93\xfa\x96\x7b\"/><i "
         "v=\"\x93\xfa\"/></r>"},
        {"utf16.xml",
         std::string(
             "\xFF\xFE<\0i\0 \0v\0=\0'\0\x3d\xd8\x00\xde'\0/\0>\0<\0i\0 \0v\0=\0'\0\x3d\xd8\x00\xde'\0/\0>\0",
             46)},
    };
    for (const auto& [name, bytes] : files) {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        for (size_t block : {3, 5, 7}) {
            CXmlDocument small;
            ASSERT_TRUE(small.OpenFile(Path(name), CXmlDocument::kReadFile, u"UTF-8", block));
            std::u16string values;
            while (small.FindElement(u"i")) values += small.GetAttribute(u"v") + u",";
            EXPECT_EQ(values, name[0] == 's' ? u"\u65e5\u672c,\u65e5," : u"\U0001F600,\U0001F600,")
                << name << block;
            small.Close();
        }
    }
}

}  // namespace
