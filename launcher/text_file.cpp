#include "launcher/text_file.h"

#include <iconv.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "launcher/text_codec.h"
#include "launcher/xml_document.h"

namespace {

constexpr uint32_t kEncodingFlags =
    CXmlDocument::kUtf16LeFile | CXmlDocument::kUtf8BomFile | CXmlDocument::kUtf16BeFile;
constexpr uint32_t kModeFlags =
    CXmlDocument::kReadFile | CXmlDocument::kWriteFile | CXmlDocument::kAppendFile;
constexpr size_t kSniffBytes = 1024;
constexpr size_t kMaxCharacterTail = 40;

std::u16string Number(long long n) { return textcodec::Widen(std::to_string(n)); }

void AddEntry(std::u16string& result, std::u16string_view name,
              std::initializer_list<std::pair<std::u16string_view, std::u16string>> attributes = {}) {
    CXmlDocument::AddResult(result, name, attributes);
}

// Drops NUL units (bytes, or 16-bit units of UTF-16 files) and returns how many there were.
size_t RemoveNulls(std::string& bytes, int unit) {
    size_t out = 0;
    for (size_t i = 0; i + unit <= bytes.size(); i += unit) {
        const bool nul = unit == 1 ? bytes[i] == 0 : bytes[i] == 0 && bytes[i + 1] == 0;
        if (nul) continue;
        for (int k = 0; k < unit; ++k) bytes[out++] = bytes[i + k];
    }
    const size_t removed = (bytes.size() - bytes.size() % unit - out) / unit;
    bytes.resize(out);
    return removed;
}

std::u16string Utf16Units(const std::string& bytes, bool big_endian) {
    std::u16string text(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        const auto a = static_cast<unsigned char>(bytes[2 * i]);
        const auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
        text[i] = static_cast<char16_t>(big_endian ? a << 8 | b : b << 8 | a);
    }
    return text;
}

// Bytes at the end of block that start a character the block does not finish: 0 when it ends on a
// boundary, -1 when no boundary lies within the last 40 bytes.
long IncompleteTail(std::string_view block, std::u16string_view encoding) {
    const int codepage = textcodec::EffectiveCodePage(encoding);
    const std::string charset = textcodec::CharsetForCodePage(codepage);
    iconv_t cd = iconv_open("UTF-16LE", charset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return 0;
    char* src = const_cast<char*>(block.data());
    size_t left = block.size();
    char buffer[4096];
    long tail = 0;
    while (left) {
        char* dst = buffer;
        size_t room = sizeof buffer;
        if (iconv(cd, &src, &left, &dst, &room) != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) continue;
        if (errno == EINVAL) {
            tail = left <= kMaxCharacterTail ? static_cast<long>(left) : -1;
            break;
        }
        ++src;  // an invalid byte: it converts to a replacement, not a cut
        --left;
    }
    iconv_close(cd);
    return tail;
}

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

}  // namespace

CTextFile::~CTextFile() {
    if (m_file) fclose(m_file);
}

void CTextFile::FileError(int error) {
    std::string message = strerror(error);
    message = message.substr(0, std::min(message.find_first_of("\r\n"), size_t{100}));
    AddEntry(m_result, u"file_error", {{u"msg", textcodec::Widen(message)}, {u"n", Number(error)}});
}

bool CTextFile::Open(const std::string& path, const char* mode) {
    m_file = fopen(path.c_str(), mode);
    if (!m_file) {
        FileError(errno);
        return false;
    }
    if (fseeko(m_file, 0, SEEK_END) != 0 || (m_length = ftello(m_file)) < 0 ||
        fseeko(m_file, 0, SEEK_SET) != 0) {
        m_length = 0;
    }
    m_done = 0;
    return true;
}

bool CTextFile::Close() {
    if (!m_file) return true;
    const bool ok = fclose(m_file) == 0;
    if (!ok) FileError(errno);
    m_file = nullptr;
    return ok;
}

std::u16string CTextFile::DeclaredEncoding(std::u16string_view head) {
    bool in_html = false;
    for (size_t pos = 0;;) {
        const CXmlDocument::Node node = CXmlDocument::NextNode(head, pos);
        if (node.type == CXmlDocument::kNodeEnd || node.type == CXmlDocument::kNodeError) return {};
        pos = node.start + node.length;
        const std::u16string_view name = head.substr(node.name_start, node.name_length);
        if (node.type == CXmlDocument::kNodeProcessingInstruction && node.start == 0 &&
            textcodec::EqualsNoCase(name, u"xml")) {
            return CXmlDocument::TagAttribute(head, node.start, node.length, u"encoding",
                                              CXmlDocument::kIgnoreCase);
        }
        if (node.type == CXmlDocument::kNodeEndTag && in_html && textcodec::EqualsNoCase(name, u"head"))
            return {};
        if (node.type != CXmlDocument::kNodeElement) continue;
        if (!in_html) {
            if (!textcodec::EqualsNoCase(name, u"html")) return {};
            in_html = true;
            continue;
        }
        if (!textcodec::EqualsNoCase(name, u"meta")) continue;
        const std::u16string equiv = CXmlDocument::TagAttribute(head, node.start, node.length, u"http-equiv",
                                                                CXmlDocument::kIgnoreCase);
        if (!textcodec::EqualsNoCase(equiv, u"Content-Type")) continue;
        const std::u16string content = textcodec::AsciiLower(
            CXmlDocument::TagAttribute(head, node.start, node.length, u"content", CXmlDocument::kIgnoreCase));
        size_t at = content.find(u"charset");
        if (at == std::u16string::npos) continue;
        at += 7;
        while (at < content.size() && IsSpace(content[at])) ++at;
        if (at >= content.size() || content[at] != u'=') continue;
        ++at;
        while (at < content.size() && IsSpace(content[at])) ++at;
        size_t end = at;
        while (end < content.size() && !IsSpace(content[end]) && content[end] != u';' &&
               content[end] != u'"' && content[end] != u'\'') {
            ++end;
        }
        const std::u16string original =
            CXmlDocument::TagAttribute(head, node.start, node.length, u"content", CXmlDocument::kIgnoreCase);
        return original.substr(at, end - at);
    }
}

// Steps shared by both ways of reading: the byte-order mark or the declared encoding.
bool CTextFile::DetectEncoding(uint32_t& flags) {
    flags &= ~kEncodingFlags;
    std::string head(static_cast<size_t>(std::min<int64_t>(m_length, kSniffBytes)), '\0');
    const size_t got = fread(head.data(), 1, head.size(), m_file);
    if (got != head.size() && ferror(m_file)) {
        FileError(errno);
        return false;
    }
    head.resize(got);
    size_t mark = 0;
    m_unit = 1;
    if (head.starts_with("\xEF\xBB\xBF")) {
        m_encoding = u"UTF-8", mark = 3, flags |= CXmlDocument::kUtf8BomFile;
    } else if (head.starts_with("\xFF\xFE")) {
        m_encoding = u"UTF-16LE", mark = 2, m_unit = 2, flags |= CXmlDocument::kUtf16LeFile;
    } else if (head.starts_with("\xFE\xFF")) {
        m_encoding = u"UTF-16BE", mark = 2, m_unit = 2, flags |= CXmlDocument::kUtf16BeFile;
    }
    m_flags = flags;
    if (mark) {
        AddEntry(m_result, u"bom");
    } else {
        m_encoding = DeclaredEncoding(textcodec::DecodeToUtf16(head, u"UTF-8"));
        if (m_encoding.empty() && !head.empty() && head[0] == '<') m_encoding = u"UTF-8";
    }
    m_detect_utf8 = m_encoding.empty();
    if (fseeko(m_file, static_cast<off_t>(mark), SEEK_SET) != 0) {
        FileError(errno);
        return false;
    }
    m_done = static_cast<int64_t>(mark);
    return true;
}

bool CTextFile::LoadTextFromFile(const std::string& path, std::u16string& text, std::u16string& result,
                                 uint32_t& flags) {
    CTextFile file;
    text.clear();
    flags &= ~kModeFlags;
    const bool ok = [&] {
        if (!file.Open(path, "rb") || !file.DetectEncoding(flags)) return false;
        std::string bytes(static_cast<size_t>(file.m_length - file.m_done), '\0');
        const size_t got = fread(bytes.data(), 1, bytes.size(), file.m_file);
        if (got != bytes.size() && ferror(file.m_file)) {
            file.FileError(errno);
            return false;
        }
        bytes.resize(got);
        AddEntry(
            file.m_result, u"read",
            {{u"encoding", file.m_encoding}, {u"length", Number(static_cast<long long>(got / file.m_unit))}});
        if (const size_t nulls = RemoveNulls(bytes, file.m_unit)) {
            AddEntry(file.m_result, u"nulls_removed", {{u"count", Number(static_cast<long long>(nulls))}});
        }
        if (file.m_unit == 2) {
            const bool big_endian = flags & CXmlDocument::kUtf16BeFile;
            if (big_endian) AddEntry(file.m_result, u"endian_swap");
            text = Utf16Units(bytes, big_endian);
            return true;
        }
        if (file.m_detect_utf8) {
            // The whole file is in hand, so a sequence cut off at the end is simply invalid.
            if (textcodec::CheckUtf8(bytes).valid) {
                file.m_encoding = u"UTF-8";
                CXmlDocument::UpdateResult(file.m_result, u"read", u"encoding", u"UTF-8");
            }
            AddEntry(file.m_result, u"utf8_detection");
        }
        text = textcodec::DecodeToUtf16(bytes, file.m_encoding);
        AddEntry(file.m_result, u"converted_to",
                 {{u"encoding", u"UTF-16"}, {u"length", Number(static_cast<long long>(text.size()))}});
        return true;
    }();
    const bool closed = file.Close();
    result = file.m_result;
    return ok && closed;
}

bool CTextFile::OpenRead(const std::string& path, uint32_t& flags, size_t block_bytes) {
    m_carry.clear();
    m_block = std::max<size_t>(block_bytes, 2);
    if (!Open(path, "rb")) return false;
    return DetectEncoding(flags);
}

bool CTextFile::ReadBlock(std::u16string& text) {
    if (!m_file) return false;
    const size_t want = std::max<size_t>(m_block / m_unit * m_unit, m_unit);
    std::string bytes = m_carry;
    m_carry.clear();
    const size_t had = bytes.size();
    bytes.resize(had + want);
    const size_t got = fread(bytes.data() + had, 1, want, m_file);
    if (got != want && ferror(m_file)) {
        FileError(errno);
        return false;
    }
    bytes.resize(had + got);
    m_done += static_cast<int64_t>(got);
    const bool more = m_done < m_length;
    AddEntry(m_result, u"read",
             {{u"encoding", m_encoding}, {u"length", Number(static_cast<long long>(got / m_unit))}});
    if (const size_t nulls = RemoveNulls(bytes, m_unit)) {
        AddEntry(m_result, u"nulls_removed", {{u"count", Number(static_cast<long long>(nulls))}});
    }
    if (m_unit == 2) {
        const bool big_endian = m_flags & CXmlDocument::kUtf16BeFile;
        if (big_endian) AddEntry(m_result, u"endian_swap");
        // Blocks are whole units; only a file of odd length ends in a stray byte, which
        // RemoveNulls has dropped.
        std::u16string units = Utf16Units(bytes, big_endian);
        if (more && !units.empty() && units.back() >= 0xD800 && units.back() <= 0xDBFF) {
            m_carry = bytes.substr(bytes.size() - 2) + m_carry;
            units.pop_back();
        }
        text += units;
        return true;
    }
    if (m_detect_utf8) {
        const textcodec::Utf8Check check = textcodec::CheckUtf8(bytes);
        if (check.valid || (more && check.cut_at_end)) {
            m_encoding = u"UTF-8";
            CXmlDocument::UpdateResult(m_result, u"read", u"encoding", u"UTF-8");
        }
        AddEntry(m_result, u"utf8_detection");
        m_detect_utf8 = false;
    }
    if (more) {
        const long tail = IncompleteTail(bytes, m_encoding);
        if (tail < 0) {
            AddEntry(m_result, u"truncation_error",
                     {{u"encoding", m_encoding.empty() ? u"ANSI" : m_encoding}});
        } else if (tail > 0) {
            m_carry = bytes.substr(bytes.size() - static_cast<size_t>(tail));
            bytes.resize(bytes.size() - static_cast<size_t>(tail));
            CXmlDocument::UpdateResult(m_result, u"read", u"length",
                                       Number(static_cast<long long>(bytes.size())));
        }
    }
    const std::u16string converted = textcodec::DecodeToUtf16(bytes, m_encoding);
    AddEntry(m_result, u"converted_to",
             {{u"encoding", u"UTF-16"}, {u"length", Number(static_cast<long long>(converted.size()))}});
    text += converted;
    return true;
}

bool CTextFile::OpenWrite(const std::string& path, uint32_t flags, std::u16string_view encoding) {
    m_flags = flags;
    if (flags & CXmlDocument::kUtf16LeFile) {
        m_encoding = u"UTF-16LE";
    } else if (flags & CXmlDocument::kUtf16BeFile) {
        m_encoding = u"UTF-16BE";
    } else if (flags & CXmlDocument::kUtf8BomFile) {
        m_encoding = u"UTF-8";
    } else {
        m_encoding = encoding;
    }
    m_unit = (flags & (CXmlDocument::kUtf16LeFile | CXmlDocument::kUtf16BeFile)) ? 2 : 1;
    if (!Open(path, (flags & CXmlDocument::kAppendFile) ? "ab" : "wb")) return false;
    if (m_length == 0 && (flags & kEncodingFlags)) {
        const char* mark = (flags & CXmlDocument::kUtf16LeFile)   ? "\xFF\xFE"
                           : (flags & CXmlDocument::kUtf16BeFile) ? "\xFE\xFF"
                                                                  : "\xEF\xBB\xBF";
        if (fwrite(mark, 1, strlen(mark), m_file) != strlen(mark)) {
            FileError(errno);
            return false;
        }
        AddEntry(m_result, u"bom");
    }
    return true;
}

bool CTextFile::WriteText(std::u16string_view text) {
    if (!m_file) return false;
    std::string bytes;
    if (m_unit == 2) {
        const bool big_endian = m_flags & CXmlDocument::kUtf16BeFile;
        for (char16_t c : text) {
            const char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
            bytes += big_endian ? hi : lo;
            bytes += big_endian ? lo : hi;
        }
        if (big_endian) AddEntry(m_result, u"endian_swap");
    } else {
        bool loss = false;
        bytes = textcodec::EncodeFromUtf16(text, m_encoding, &loss);
        AddEntry(m_result, u"converted_from",
                 {{u"encoding", m_encoding}, {u"length", Number(static_cast<long long>(bytes.size()))}});
        if (loss) AddEntry(m_result, u"conversion_loss");
    }
    if (fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size()) {
        FileError(errno);
        return false;
    }
    AddEntry(m_result, u"write",
             {{u"encoding", m_encoding}, {u"length", Number(static_cast<long long>(bytes.size() / m_unit))}});
    return true;
}
