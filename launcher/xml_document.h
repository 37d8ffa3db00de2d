#pragma once
// CXmlDocument: a whole XML document held as one UTF-16 string and indexed once into fixed-size
// element records (offsets into the string plus parent, child and sibling links). Navigation moves a
// position over the records; values are cut out of the string when asked for. Syntax problems and
// file operations are recorded in a result text made of empty elements ("<lone_end_tag .../>").
// Plain C++ (no Qt); one document is used by one thread at a time.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CTextFile;

class CXmlDocument {
  public:
    // Document flags.
    static constexpr uint32_t kUtf16LeFile = 0x01;
    static constexpr uint32_t kUtf8BomFile = 0x04;
    static constexpr uint32_t kIgnoreCase = 0x08;
    static constexpr uint32_t kReadFile = 0x10;
    static constexpr uint32_t kWriteFile = 0x20;
    static constexpr uint32_t kAppendFile = 0x40;
    static constexpr uint32_t kUtf16BeFile = 0x80;

    // Element record flags (low 16 bits: nesting depth).
    static constexpr uint32_t kFirstChild = 0x80000;
    static constexpr uint32_t kUnended = 0x100000;
    static constexpr uint32_t kContainsError = 0x200000;
    static constexpr uint32_t kNotWellFormed = 0x800000;  // record 0 only

    // Node types of the tokenizer and of the position.
    static constexpr int kNodeEnd = -2;
    static constexpr int kNodeError = -1;
    static constexpr int kNodeEndTag = 0;
    static constexpr int kNodeElement = 1;
    static constexpr int kNodeText = 2;
    static constexpr int kNodeWhitespace = 4;
    static constexpr int kNodeCData = 8;
    static constexpr int kNodeProcessingInstruction = 16;
    static constexpr int kNodeComment = 32;
    static constexpr int kNodeDocType = 64;

    // AddElement options.
    static constexpr int kEmptySpace = 0x01;   // "<name />" rather than "<name/>"
    static constexpr int kNoLineBreak = 0x02;  // nothing between the new element and its neighbours
    static constexpr int kCData = 0x04;        // the value goes in as a CDATA section

    struct Record {
        uint32_t start = 0;        // index of the start tag's "<"
        uint32_t length = 0;       // from the start tag's "<" to the last ">" of the element
        uint32_t tag_lengths = 0;  // start tag length in the low 22 bits, end tag length in the high 10
        uint32_t flags = 0;
        uint32_t parent = 0;
        uint32_t first_child = 0;
        uint32_t next = 0;
        uint32_t prev = 0;  // the first child's prev is the last child
        uint32_t StartTagLength() const { return tag_lengths & 0x3FFFFF; }
        uint32_t EndTagLength() const { return tag_lengths >> 22; }
    };

    // One markup node found by the tokenizer.
    struct Node {
        int type = kNodeEnd;
        size_t start = 0;
        size_t length = 0;
        size_t name_start = 0;
        size_t name_length = 0;
        bool empty_element = false;  // a start tag ending in "/>"
    };

    CXmlDocument();
    explicit CXmlDocument(std::u16string_view text);
    ~CXmlDocument();
    CXmlDocument(const CXmlDocument&) = delete;
    CXmlDocument& operator=(const CXmlDocument&) = delete;

    // Replaces the document, indexes it and resets the position. True when well-formed: no syntax
    // error, one root element.
    bool ParseText(std::u16string_view text);
    // Reads a file of any encoding into the document, then parses it. Fails at once in a file mode.
    bool LoadFile(const std::string& path);

    bool FindElement(std::u16string_view name = {});
    bool FindChildElement(std::u16string_view name = {});
    bool EnterElement();
    bool LeaveElement();
    // The attribute of the current element (or of the current processing instruction), entity
    // references decoded; empty when absent. A bare attribute name gives the name itself.
    std::u16string GetAttribute(std::u16string_view name) const;
    // The tag name of the current element; empty when there is none.
    std::u16string GetTagName() const;

    // Writer operations. AddElement adds after the current element (or as the last child of the
    // parent) and makes it current; SetAttribute sets or replaces an attribute of the current element.
    bool AddElement(std::u16string_view name, std::u16string_view value = {}, int options = 0);
    bool SetAttribute(std::u16string_view name, std::u16string_view value);
    bool SetAttribute(std::u16string_view name, int value);

    // Saved positions by name; every parse clears them.
    void SavePosition(std::u16string_view name);
    bool RestorePosition(std::u16string_view name);

    // File modes. Write and append: AddElement/SetAttribute/EnterElement/LeaveElement build markup that
    // Close writes out in the file's encoding. Read: FindElement pulls start tags from the file in
    // blocks (the first of read_block_bytes), dropping what was read before.
    bool OpenFile(const std::string& path, uint32_t mode, std::u16string_view encoding = u"UTF-8",
                  size_t read_block_bytes = 16384);
    bool Close();

    const std::u16string& DocumentText() const { return m_text; }
    const std::u16string& ResultText() const { return m_result; }
    uint32_t Flags() const { return m_flags; }
    void SetFlags(uint32_t flags) { m_flags = flags; }
    uint32_t ElementCount() const { return m_count; }
    const Record& RecordAt(uint32_t index) const;
    uint32_t CurrentElement() const { return m_current; }

    // Entity references decoded: named (HTML 4.01 plus apos), decimal and hexadecimal.
    static std::u16string DecodeText(std::u16string_view text);
    // "<", "&", ">" escaped; in attribute values also "'" and the double quote. With keep_references
    // an "&" that starts a well-formed reference is kept.
    static std::u16string EncodeText(std::u16string_view text, bool attribute, bool keep_references = false);
    // Text as a CDATA section; a "]]>" inside is split across two sections.
    static std::u16string CDataSection(std::u16string_view text);
    // The next markup node at pos. Syntax errors are added to *result when given.
    static Node NextNode(std::u16string_view text, size_t pos, std::u16string* result = nullptr);
    // An attribute of the start tag or processing instruction text[start, start + length).
    static std::u16string TagAttribute(std::u16string_view text, size_t start, size_t length,
                                       std::u16string_view name, uint32_t flags);
    // Adds "<name attrs/>" to a result text unless it is already longer than 999 characters.
    // Attributes are written in the order given; an empty value skips the attribute.
    static void AddResult(
        std::u16string& result, std::u16string_view name,
        std::initializer_list<std::pair<std::u16string_view, std::u16string>> attributes = {});
    // Sets an attribute of the first entry of that name; false when there is none.
    static bool UpdateResult(std::u16string& result, std::u16string_view name, std::u16string_view attribute,
                             std::u16string_view value);

  private:
    Record& Rec(uint32_t index);
    uint32_t NewRecord();
    void Reserve(size_t count);
    bool NameMatches(uint32_t index, std::u16string_view name) const;
    // Closes the open elements (outermost first) implicitly; their parent is target. offset2 is where
    // the closing end tag's "/" is, or the text's end.
    void CloseUnended(uint32_t target, const std::vector<uint32_t>& open, size_t offset2);
    bool Reparse(size_t current_start);
    bool PullElement(std::u16string_view name);
    bool WriteOut();

    std::u16string m_text;
    std::u16string m_result;
    uint32_t m_parent = 0;
    uint32_t m_current = 0;
    uint32_t m_child = 0;
    uint32_t m_count = 1;
    int m_node_type = 0;
    size_t m_node_offset = 0;
    size_t m_node_length = 0;
    uint32_t m_flags = 0;
    std::unique_ptr<CTextFile> m_file;
    std::map<std::u16string, std::array<uint32_t, 3>> m_saved;
    std::vector<std::vector<Record>> m_segments;
    // Write modes: the open elements' names and the markup written but not yet flushed.
    std::vector<std::u16string> m_write_stack;
    size_t m_last_start = std::u16string::npos;  // write modes: where the last added element starts
    size_t m_read_pos = 0;                       // read mode: where the next node starts
};
