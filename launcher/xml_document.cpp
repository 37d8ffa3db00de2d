#include "launcher/xml_document.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <unordered_map>

#include "launcher/text_codec.h"
#include "launcher/text_file.h"

namespace {

constexpr size_t kSegmentSize = 65536;
constexpr size_t kResultLimit = 999;
constexpr uint32_t kMaxStartTag = 0x3FFFFF;
constexpr uint32_t kMaxEndTag = 0x3FF;

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

// Characters that end an element name read from its start tag.
bool EndsStoredName(char16_t c) {
    return IsSpace(c) || c == u'<' || c == u'>' || c == u'=' || c == u'\\' || c == u'/' || c == u'?' ||
           c == u'!' || c == u'"' || c == u'\'' || c == u';';
}

// Characters that end a requested name (the rest of a path is not evaluated).
bool EndsRequestedName(char16_t c) { return c == u' ' || c == u'=' || c == u'/' || c == u'[' || c == u']'; }

bool CanStartTag(char16_t c) {
    return c == u':' || c == u'_' || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c > 0x60;
}

// A requested name is usable unless it begins with "/" or has unbalanced brackets or quotes.
bool UsableName(std::u16string_view name) {
    if (!name.empty() && name[0] == u'/') return false;
    int brackets = 0;
    char16_t quote = 0;
    for (char16_t c : name) {
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'[') {
            ++brackets;
        } else if (c == u']') {
            if (--brackets < 0) return false;
        }
    }
    return brackets == 0 && quote == 0;
}

// stored (from a tag) against requested: equal over the stored name, and the requested name ends there.
bool CompareNames(std::u16string_view stored, std::u16string_view requested, bool ignore_case) {
    if (requested.size() < stored.size()) return false;
    bool exact = !ignore_case;
    for (size_t i = 0; i < stored.size(); ++i) {
        char16_t a = stored[i], b = requested[i];
        if (a == b) {
            if (a >= 128) exact = true;
            continue;
        }
        if (exact) return false;
        auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
        if (lower(a) != lower(b)) return false;
    }
    return requested.size() == stored.size() || EndsRequestedName(requested[stored.size()]);
}

std::u16string_view StoredName(std::u16string_view text, size_t start) {
    size_t i = start + 1;
    while (i < text.size() && IsSpace(text[i])) ++i;
    size_t end = i;
    while (end < text.size() && !EndsStoredName(text[end])) ++end;
    return text.substr(i, end - i);
}

std::u16string Number(long long n) { return textcodec::Widen(std::to_string(n)); }

struct Entity {
    const char* name;
    int value;
};

// The character entity references of HTML 4.01, and apos.
constexpr Entity kEntities[] = {
    {"quot", 34},     {"amp", 38},       {"lt", 60},        {"gt", 62},       {"nbsp", 160},
    {"iexcl", 161},   {"cent", 162},     {"pound", 163},    {"curren", 164},  {"yen", 165},
    {"brvbar", 166},  {"sect", 167},     {"uml", 168},      {"copy", 169},    {"ordf", 170},
    {"laquo", 171},   {"not", 172},      {"shy", 173},      {"reg", 174},     {"macr", 175},
    {"deg", 176},     {"plusmn", 177},   {"sup2", 178},     {"sup3", 179},    {"acute", 180},
    {"micro", 181},   {"para", 182},     {"middot", 183},   {"cedil", 184},   {"sup1", 185},
    {"ordm", 186},    {"raquo", 187},    {"frac14", 188},   {"frac12", 189},  {"frac34", 190},
    {"iquest", 191},  {"Agrave", 192},   {"Aacute", 193},   {"Acirc", 194},   {"Atilde", 195},
    {"Auml", 196},    {"Aring", 197},    {"AElig", 198},    {"Ccedil", 199},  {"Egrave", 200},
    {"Eacute", 201},  {"Ecirc", 202},    {"Euml", 203},     {"Igrave", 204},  {"Iacute", 205},
    {"Icirc", 206},   {"Iuml", 207},     {"ETH", 208},      {"Ntilde", 209},  {"Ograve", 210},
    {"Oacute", 211},  {"Ocirc", 212},    {"Otilde", 213},   {"Ouml", 214},    {"times", 215},
    {"Oslash", 216},  {"Ugrave", 217},   {"Uacute", 218},   {"Ucirc", 219},   {"Uuml", 220},
    {"Yacute", 221},  {"THORN", 222},    {"szlig", 223},    {"agrave", 224},  {"aacute", 225},
    {"acirc", 226},   {"atilde", 227},   {"auml", 228},     {"aring", 229},   {"aelig", 230},
    {"ccedil", 231},  {"egrave", 232},   {"eacute", 233},   {"ecirc", 234},   {"euml", 235},
    {"igrave", 236},  {"iacute", 237},   {"icirc", 238},    {"iuml", 239},    {"eth", 240},
    {"ntilde", 241},  {"ograve", 242},   {"oacute", 243},   {"ocirc", 244},   {"otilde", 245},
    {"ouml", 246},    {"divide", 247},   {"oslash", 248},   {"ugrave", 249},  {"uacute", 250},
    {"ucirc", 251},   {"uuml", 252},     {"yacute", 253},   {"thorn", 254},   {"yuml", 255},
    {"OElig", 338},   {"oelig", 339},    {"Scaron", 352},   {"scaron", 353},  {"Yuml", 376},
    {"fnof", 402},    {"circ", 710},     {"tilde", 732},    {"Alpha", 913},   {"Beta", 914},
    {"Gamma", 915},   {"Delta", 916},    {"Epsilon", 917},  {"Zeta", 918},    {"Eta", 919},
    {"Theta", 920},   {"Iota", 921},     {"Kappa", 922},    {"Lambda", 923},  {"Mu", 924},
    {"Nu", 925},      {"Xi", 926},       {"Omicron", 927},  {"Pi", 928},      {"Rho", 929},
    {"Sigma", 931},   {"Tau", 932},      {"Upsilon", 933},  {"Phi", 934},     {"Chi", 935},
    {"Psi", 936},     {"Omega", 937},    {"alpha", 945},    {"beta", 946},    {"gamma", 947},
    {"delta", 948},   {"epsilon", 949},  {"zeta", 950},     {"eta", 951},     {"theta", 952},
    {"iota", 953},    {"kappa", 954},    {"lambda", 955},   {"mu", 956},      {"nu", 957},
    {"xi", 958},      {"omicron", 959},  {"pi", 960},       {"rho", 961},     {"sigmaf", 962},
    {"sigma", 963},   {"tau", 964},      {"upsilon", 965},  {"phi", 966},     {"chi", 967},
    {"psi", 968},     {"omega", 969},    {"thetasym", 977}, {"upsih", 978},   {"piv", 982},
    {"ensp", 8194},   {"emsp", 8195},    {"thinsp", 8201},  {"zwnj", 8204},   {"zwj", 8205},
    {"lrm", 8206},    {"rlm", 8207},     {"ndash", 8211},   {"mdash", 8212},  {"lsquo", 8216},
    {"rsquo", 8217},  {"sbquo", 8218},   {"ldquo", 8220},   {"rdquo", 8221},  {"bdquo", 8222},
    {"dagger", 8224}, {"Dagger", 8225},  {"bull", 8226},    {"hellip", 8230}, {"permil", 8240},
    {"prime", 8242},  {"Prime", 8243},   {"lsaquo", 8249},  {"rsaquo", 8250}, {"oline", 8254},
    {"frasl", 8260},  {"euro", 8364},    {"image", 8465},   {"weierp", 8472}, {"real", 8476},
    {"trade", 8482},  {"alefsym", 8501}, {"larr", 8592},    {"uarr", 8593},   {"rarr", 8594},
    {"darr", 8595},   {"harr", 8596},    {"crarr", 8629},   {"lArr", 8656},   {"uArr", 8657},
    {"rArr", 8658},   {"dArr", 8659},    {"hArr", 8660},    {"forall", 8704}, {"part", 8706},
    {"exist", 8707},  {"empty", 8709},   {"nabla", 8711},   {"isin", 8712},   {"notin", 8713},
    {"ni", 8715},     {"prod", 8719},    {"sum", 8721},     {"minus", 8722},  {"lowast", 8727},
    {"radic", 8730},  {"prop", 8733},    {"infin", 8734},   {"ang", 8736},    {"and", 8743},
    {"or", 8744},     {"cap", 8745},     {"cup", 8746},     {"int", 8747},    {"there4", 8756},
    {"sim", 8764},    {"cong", 8773},    {"asymp", 8776},   {"ne", 8800},     {"equiv", 8801},
    {"le", 8804},     {"ge", 8805},      {"sub", 8834},     {"sup", 8835},    {"nsub", 8836},
    {"sube", 8838},   {"supe", 8839},    {"oplus", 8853},   {"otimes", 8855}, {"perp", 8869},
    {"sdot", 8901},   {"lceil", 8968},   {"rceil", 8969},   {"lfloor", 8970}, {"rfloor", 8971},
    {"lang", 9001},   {"rang", 9002},    {"loz", 9674},     {"spades", 9824}, {"clubs", 9827},
    {"hearts", 9829}, {"diams", 9830},   {"apos", 39},
};

constexpr size_t kEntityBuckets = 130;

// Entities hashed by the sum of the lower-case name's code units. Each bucket is one string of
// entries: one digit of name length, four digits of value, then the name as written.
const std::array<std::string, kEntityBuckets>& EntityBuckets() {
    static const std::array<std::string, kEntityBuckets> buckets = [] {
        std::array<std::string, kEntityBuckets> b;
        for (const auto& entity : kEntities) {
            const std::string_view name(entity.name);
            size_t sum = 0;
            for (char c : name) sum += static_cast<size_t>(c >= 'A' && c <= 'Z' ? c + 32 : c);
            char head[32];
            snprintf(head, sizeof head, "%zu%04d", name.size(), entity.value);
            b[sum % kEntityBuckets].append(head).append(name);
        }
        return b;
    }();
    return buckets;
}

// A named reference: the entry written in the same case wins ("Aacute" 193, "aacute" 225); otherwise
// the first entry equal without case ("AMP" is "&"). 0 when unknown.
int LookUpEntity(std::u16string_view name) {
    const std::u16string lower = textcodec::AsciiLower(name);
    size_t sum = 0;
    for (char16_t c : lower) sum += c;
    const std::string& bucket = EntityBuckets()[sum % kEntityBuckets];
    int folded = 0;
    for (size_t at = 0; at + 5 <= bucket.size();) {
        const size_t length = static_cast<size_t>(bucket[at] - '0');
        const int value = std::stoi(bucket.substr(at + 1, 4));
        const std::string_view entry = std::string_view(bucket).substr(at + 5, length);
        if (length == name.size()) {
            const std::u16string wide = textcodec::Widen(entry);
            if (wide == name) return value;
            if (!folded && textcodec::AsciiLower(wide) == lower) folded = value;
        }
        at += 5 + length;
    }
    return folded;
}

bool IsHex(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// The code point of the reference body between "&" and ";", or 0.
char32_t ReferenceValue(std::u16string_view body) {
    if (body.empty()) return 0;
    if (body[0] != u'#') return static_cast<char32_t>(LookUpEntity(body));
    const bool hex = body.size() > 1 && (body[1] == u'x' || body[1] == u'X');
    const std::u16string_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty()) return 0;
    char32_t value = 0;
    for (char16_t c : digits) {
        if (hex ? !IsHex(c) : !(c >= u'0' && c <= u'9')) return 0;
        const char32_t d = c <= u'9' ? c - u'0' : (c | 0x20) - u'a' + 10;
        value = value * (hex ? 16 : 10) + d;
        if (value > 0x10FFFF) return 0;
    }
    // Surrogate code points are not characters: such a reference stays as written.
    if (value >= 0xD800 && value <= 0xDFFF) return 0;
    return value;
}

bool IsNameChar(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' ||
           c == u':' || c == u'-' || c == u'.' || c == u'#' || c >= 128;
}

}  // namespace

// ---- text encoding and decoding ----

std::u16string CXmlDocument::DecodeText(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'&') {
            out.push_back(text[i]);
            continue;
        }
        size_t semicolon = 0;
        for (size_t k = i + 1; k < text.size() && k <= i + 10; ++k) {
            if (text[k] == u';') {
                semicolon = k;
                break;
            }
            if (text[k] >= 128 || text[k] == u'&') break;
        }
        const char32_t value = semicolon > i + 1 ? ReferenceValue(text.substr(i + 1, semicolon - i - 1)) : 0;
        if (value == 0) {
            out.push_back(u'&');
            continue;
        }
        if (value > 0xFFFF) {
            const char32_t v = value - 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(value));
        }
        i = semicolon;
    }
    return out;
}

std::u16string CXmlDocument::EncodeText(std::u16string_view text, bool attribute, bool keep_references) {
    std::u16string out;
    out.reserve(text.size() + text.size() / 8);
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'&' && keep_references && i + 1 < text.size()) {
            const char16_t first = text[i + 1];
            if ((first >= u'a' && first <= u'z') || (first >= u'A' && first <= u'Z') || first == u'#' ||
                first == u'_' || first == u':' || first >= 128) {
                size_t k = i + 2;
                while (k < text.size() && IsNameChar(text[k])) ++k;
                if (k < text.size() && text[k] == u';') {
                    out.append(text.substr(i, k + 1 - i));
                    i = k;
                    continue;
                }
            }
        }
        switch (c) {
            case u'<':
                out += u"&lt;";
                break;
            case u'&':
                out += u"&amp;";
                break;
            case u'>':
                out += u"&gt;";
                break;
            case u'\'':
                out += attribute ? u"&apos;" : u"'";
                break;
            case u'"':
                out += attribute ? u"&quot;" : u"\"";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

std::u16string CXmlDocument::CDataSection(std::u16string_view text) {
    std::u16string out = u"<![CDATA[";
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.substr(i, 3) == u"]]>") {
            out += u"]]]]><![CDATA[>";
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out + u"]]>";
}

void CXmlDocument::AddResult(
    std::u16string& result, std::u16string_view name,
    std::initializer_list<std::pair<std::u16string_view, std::u16string>> attributes) {
    if (result.size() > kResultLimit) return;
    result += u'<';
    result += name;
    for (const auto& [attribute, value] : attributes) {
        if (value.empty()) continue;
        result += u' ';
        result += attribute;
        result += u"=\"";
        result += EncodeText(value, true);
        result += u'"';
    }
    result += u"/>";
}

bool CXmlDocument::UpdateResult(std::u16string& result, std::u16string_view name,
                                std::u16string_view attribute, std::u16string_view value) {
    const std::u16string head = u"<" + std::u16string(name);
    size_t at = 0;
    while ((at = result.find(head, at)) != std::u16string::npos) {
        const char16_t after = at + head.size() < result.size() ? result[at + head.size()] : u'\0';
        if (after == u' ' || after == u'/') break;
        at += head.size();
    }
    if (at == std::u16string::npos) return false;
    const size_t end = result.find(u"/>", at);
    const std::u16string pair = u" " + std::u16string(attribute) + u"=\"" + EncodeText(value, true) + u"\"";
    const std::u16string key = u" " + std::u16string(attribute) + u"=\"";
    const size_t old = result.find(key, at);
    if (old != std::u16string::npos && old < end) {
        const size_t close = result.find(u'"', old + key.size());
        result.replace(old, close + 1 - old, pair);
    } else {
        // Text attributes come first in an entry, numbers after them.
        const bool text = attribute == u"type" || attribute == u"encoding" || attribute == u"msg" ||
                          attribute == u"tagname";
        result.insert(text ? at + head.size() : end, pair);
    }
    return true;
}

// ---- tokenizer ----

CXmlDocument::Node CXmlDocument::NextNode(std::u16string_view text, size_t pos, std::u16string* result) {
    Node node;
    node.start = pos;
    const size_t n = text.size();
    if (pos >= n) return node;  // kNodeEnd
    auto finish = [&](int type, size_t end) {
        node.type = type;
        node.length = end - pos;
        return node;
    };
    auto error = [&](std::u16string_view entry, std::u16string_view type = {}) {
        if (result) AddResult(*result, entry, {{u"type", std::u16string(type)}, {u"offset", Number(pos)}});
        size_t end = pos + 1;
        while (end < n && text[end] != u'>' && text[end] != u'<') ++end;
        if (end < n && text[end] == u'>') ++end;
        return finish(kNodeError, end);
    };
    auto unterminated = [&](std::u16string_view kind) {
        if (result) {
            AddResult(*result, u"unterminated_tag_syntax",
                      {{u"type", std::u16string(kind)}, {u"offset", Number(pos)}});
        }
        return finish(kNodeError, n);
    };

    if (text[pos] != u'<') {
        size_t i = pos;
        while (i < n && IsSpace(text[i])) ++i;
        if (i == n || text[i] == u'<') return finish(kNodeWhitespace, i);
        while (i < n && text[i] != u'<') ++i;
        return finish(kNodeText, i);
    }
    if (pos + 1 >= n) return unterminated(u"tag");
    const char16_t c = text[pos + 1];
    if (c == u'!') {
        if (pos + 2 >= n) return unterminated(u"tag");
        const char16_t c2 = text[pos + 2];
        if (c2 == u'-') {
            if (pos + 3 >= n) return unterminated(u"tag");
            if (text[pos + 3] != u'-') return error(u"comment_tag_syntax");
            const size_t at = text.find(u"-->", pos + 4);
            if (at == std::u16string_view::npos) return unterminated(u"comment");
            return finish(kNodeComment, at + 3);
        }
        if (c2 == u'[') {
            if (pos + 3 >= n) return unterminated(u"tag");
            if (text[pos + 3] != u'C') return error(u"cdata_section_syntax");
            const size_t at = text.find(u"]]>", pos + 4);
            if (at == std::u16string_view::npos) return unterminated(u"cdata_section");
            return finish(kNodeCData, at + 3);
        }
        if (c2 != u'D') return error(u"exclamation_tag_syntax");
        // Document type declaration: quotes group text, nested declarations end at their own ">".
        char16_t quote = 0;
        bool nested = false;
        for (size_t i = pos + 3; i < n; ++i) {
            const char16_t ch = text[i];
            if (quote) {
                if (ch == quote) quote = 0;
            } else if (ch == u'"' || ch == u'\'') {
                quote = ch;
            } else if (nested) {
                if (ch == u'>') nested = false;
            } else if (ch == u'<') {
                const bool ok = i + 2 < n && text[i + 1] == u'!' &&
                                (text[i + 2] == u'-' || text[i + 2] == u'E' || text[i + 2] == u'A' ||
                                 text[i + 2] == u'N');
                if (!ok) {
                    if (i + 2 >= n) break;
                    return error(u"doctype_tag_syntax");
                }
                if (text[i + 2] == u'-') {  // a comment inside
                    const size_t at = text.find(u"-->", i + 3);
                    if (at == std::u16string_view::npos) break;
                    i = at + 2;
                } else {
                    nested = true;
                }
            } else if (ch == u'>') {
                return finish(kNodeDocType, i + 1);
            }
        }
        return unterminated(u"document_type");
    }
    if (c == u'/' || c == u'?') {
        node.name_start = pos + 2;
        size_t i = node.name_start;
        while (i < n && !IsSpace(text[i]) && text[i] != u'/' && text[i] != u'>') ++i;
        node.name_length = i - node.name_start;
        if (c == u'/') {
            const size_t at = text.find(u'>', i);
            if (at == std::u16string_view::npos) return unterminated(u"end_tag");
            return finish(kNodeEndTag, at + 1);
        }
        const size_t at = text.find(u"?>", pos + 2);
        if (at == std::u16string_view::npos) return unterminated(u"processing_instruction");
        return finish(kNodeProcessingInstruction, at + 2);
    }
    if (!CanStartTag(c)) return error(u"first_tag_syntax");
    node.name_start = pos + 1;
    size_t i = node.name_start;
    while (i < n && !IsSpace(text[i]) && text[i] != u'/' && text[i] != u'>') ++i;
    node.name_length = i - node.name_start;
    // What the character before a "/" was: the name or whitespace or a closing quote (an empty
    // element), or an unquoted value (the "/" belongs to it).
    bool expect_value = false;
    bool in_unquoted_value = false;
    for (; i < n; ++i) {
        const char16_t ch = text[i];
        if (ch == u'>') {
            node.empty_element = !in_unquoted_value && text[i - 1] == u'/';
            return finish(kNodeElement, i + 1);
        }
        if (IsSpace(ch)) {
            in_unquoted_value = false;
            continue;
        }
        if (expect_value && (ch == u'"' || ch == u'\'')) {
            const size_t close = text.find(ch, i + 1);
            if (close == std::u16string_view::npos) return unterminated(u"start_tag");
            i = close;
            expect_value = false;
            continue;
        }
        if (ch == u'=') {
            expect_value = true;
            in_unquoted_value = false;
            continue;
        }
        if (expect_value) {
            in_unquoted_value = true;
            expect_value = false;
        }
    }
    return unterminated(u"start_tag");
}

// ---- records ----

CXmlDocument::CXmlDocument() { Reserve(8); }

CXmlDocument::CXmlDocument(std::u16string_view text) : CXmlDocument() { ParseText(text); }

CXmlDocument::~CXmlDocument() = default;

CXmlDocument::Record& CXmlDocument::Rec(uint32_t index) { return m_segments[index >> 16][index & 0xFFFF]; }

const CXmlDocument::Record& CXmlDocument::RecordAt(uint32_t index) const {
    if (index >= m_count) throw std::invalid_argument("element index out of range");
    return m_segments[index >> 16][index & 0xFFFF];
}

void CXmlDocument::Reserve(size_t count) {
    if (m_segments.empty()) m_segments.emplace_back();
    m_segments.back().reserve(std::min(kSegmentSize, count));
}

uint32_t CXmlDocument::NewRecord() {
    if (m_count >= 0xFFFF0000u) throw std::length_error("too many elements");
    std::vector<Record>* segment = &m_segments.back();
    if (segment->size() == kSegmentSize) {
        m_segments.emplace_back();
        segment = &m_segments.back();
        segment->reserve(1024);
    } else if (segment->size() == segment->capacity()) {
        segment->reserve(std::min(kSegmentSize, segment->size() + segment->size() / 2 + 1));
    }
    segment->emplace_back();
    return m_count++;
}

bool CXmlDocument::NameMatches(uint32_t index, std::u16string_view name) const {
    if (name.empty()) return true;
    if (!UsableName(name)) return false;
    return CompareNames(StoredName(m_text, RecordAt(index).start), name, m_flags & kIgnoreCase);
}

void CXmlDocument::CloseUnended(uint32_t target, const std::vector<uint32_t>& open, size_t offset2) {
    if (open.empty()) return;
    // Closed from the innermost out, as each is found unended.
    for (size_t j = open.size(); j-- > 0;) {
        Record& rec = Rec(open[j]);
        rec.flags |= kUnended;
        rec.length = rec.StartTagLength();
        rec.tag_lengths &= kMaxStartTag;
        if (rec.flags & kContainsError) Rec(j > 0 ? open[j - 1] : target).flags |= kContainsError;
        AddResult(m_result, u"unended_start_tag",
                  {{u"tagname", std::u16string(StoredName(m_text, rec.start))},
                   {u"offset", Number(rec.start)},
                   {u"offset2", Number(static_cast<long long>(offset2))}});
    }
    Rec(0).flags |= kNotWellFormed;
    // Each closed element's children become its following siblings. Done for the whole run at once,
    // so a record moves once however many of its ancestors close: the closed elements and their
    // children, in document order, become children of the target.
    std::vector<uint32_t> moved;
    for (size_t j = 0; j < open.size(); ++j) {
        moved.push_back(open[j]);
        const uint32_t next_open = j + 1 < open.size() ? open[j + 1] : 0;
        for (uint32_t c = Rec(open[j]).first_child; c && c != next_open; c = Rec(c).next) moved.push_back(c);
        Rec(open[j]).first_child = 0;
    }
    const uint32_t depth = target ? (Rec(target).flags & 0xFFFF) + 1 : 0;
    for (size_t i = 0; i < moved.size(); ++i) {
        Record& rec = Rec(moved[i]);
        rec.parent = target;
        rec.flags = (rec.flags & ~0xFFFFu) | depth;
        if (i > 0) {
            rec.flags &= ~kFirstChild;
            rec.prev = moved[i - 1];
            Rec(moved[i - 1]).next = moved[i];
        }
    }
    Rec(moved.back()).next = 0;
    Rec(Rec(target).first_child).prev = moved.back();
}

bool CXmlDocument::ParseText(std::u16string_view text) {
    m_text.assign(text);
    m_saved.clear();
    m_segments.clear();
    m_count = 0;
    Reserve(m_text.size() / 64 + 8);
    NewRecord();
    Rec(0) = Record{};
    uint32_t root = 0;
    if (!m_text.empty()) {
        struct Open {
            std::u16string_view name;
            uint32_t index;
        };
        std::vector<Open> stack;
        stack.reserve(7);
        // How many open elements carry each name (ASCII case folded when names ignore case), so that
        // an end tag matching nothing is known without searching the stack.
        std::unordered_map<std::u16string, uint32_t> open_names;
        const bool ignore_case = m_flags & kIgnoreCase;
        auto key = [&](std::u16string_view name) {
            return ignore_case ? textcodec::AsciiLower(name) : std::u16string(name);
        };
        auto close_above = [&](size_t keep, size_t offset2) {
            std::vector<uint32_t> closing;
            for (size_t j = keep; j < stack.size(); ++j) closing.push_back(stack[j].index);
            CloseUnended(keep ? stack[keep - 1].index : 0, closing, offset2);
            for (size_t j = keep; j < stack.size(); ++j) --open_names[key(stack[j].name)];
            stack.resize(keep);
        };
        uint32_t current_parent = 0;
        const std::u16string_view doc(m_text);
        for (size_t pos = 0;;) {
            const Node node = NextNode(doc, pos, &m_result);
            if (node.type == kNodeEnd) break;
            pos = node.start + node.length;
            if (node.type == kNodeElement) {
                const uint32_t index = NewRecord();
                Record& rec = Rec(index);
                rec.start = static_cast<uint32_t>(node.start);
                rec.tag_lengths = static_cast<uint32_t>(std::min<size_t>(node.length, kMaxStartTag));
                rec.parent = current_parent;
                rec.flags = static_cast<uint32_t>(std::min<size_t>(stack.size(), 0xFFFF));
                Record& parent = Rec(current_parent);
                if (!parent.first_child) {
                    parent.first_child = index;
                    Rec(index).flags |= kFirstChild;
                    Rec(index).prev = index;
                } else {
                    const uint32_t last = Rec(parent.first_child).prev;
                    Rec(last).next = index;
                    Rec(index).prev = last;
                    Rec(parent.first_child).prev = index;
                }
                if (!root) root = index;
                if (node.empty_element) {
                    Rec(index).length = Rec(index).StartTagLength();
                } else {
                    stack.push_back({doc.substr(node.name_start, node.name_length), index});
                    ++open_names[key(stack.back().name)];
                    current_parent = index;
                }
            } else if (node.type == kNodeEndTag) {
                const std::u16string_view name = doc.substr(node.name_start, node.name_length);
                size_t match = open_names[key(name)] ? stack.size() : 0;
                while (match > 0 && !(stack[match - 1].name.size() == name.size() &&
                                      CompareNames(stack[match - 1].name, name, m_flags & kIgnoreCase))) {
                    --match;
                }
                if (match == 0) {
                    AddResult(m_result, u"lone_end_tag",
                              {{u"tagname", std::u16string(name)}, {u"offset", Number(node.start)}});
                    Rec(0).flags |= kNotWellFormed;
                    Rec(current_parent).flags |= kContainsError;
                    continue;
                }
                if (stack.size() > match) close_above(match, node.start + 1);
                Record& rec = Rec(stack.back().index);
                rec.length = static_cast<uint32_t>(pos - rec.start);
                rec.tag_lengths |= static_cast<uint32_t>(std::min<size_t>(node.length, kMaxEndTag)) << 22;
                --open_names[key(stack.back().name)];
                stack.pop_back();
                current_parent = stack.empty() ? 0 : stack.back().index;
            } else if (node.type == kNodeError) {
                Rec(0).flags |= kNotWellFormed;
                Rec(current_parent).flags |= kContainsError;
            }
        }
        close_above(0, m_text.size());
        Rec(0).length = static_cast<uint32_t>(m_text.size());
        if (!root) {
            AddResult(m_result, u"no_root_element");
        } else {
            Rec(0).first_child = root;
            if (Rec(root).next) AddResult(m_result, u"root_has_sibling");
        }
    }
    m_parent = m_current = m_child = 0;
    m_node_type = 0;
    m_node_offset = m_node_length = 0;
    if (m_flags & kWriteFile) return true;
    const bool well_formed = !(Rec(0).flags & kNotWellFormed);
    if (m_flags & kReadFile) return well_formed;
    return well_formed && root && !Rec(root).next;
}

// ---- navigation ----

bool CXmlDocument::FindElement(std::u16string_view name) {
    if (m_flags & kWriteFile) return false;
    if (m_flags & kReadFile) return PullElement(name);
    if (m_count <= 1) return false;
    uint32_t i = m_current ? Rec(m_current).next : Rec(m_parent).first_child;
    for (; i; i = Rec(i).next) {
        if (NameMatches(i, name)) {
            m_current = i;
            m_child = 0;
            m_node_type = kNodeElement;
            return true;
        }
    }
    return false;
}

bool CXmlDocument::FindChildElement(std::u16string_view name) {
    if (m_flags & (kReadFile | kWriteFile)) return false;
    if (!m_current && !FindElement()) return false;
    for (uint32_t i = m_child ? Rec(m_child).next : Rec(m_current).first_child; i; i = Rec(i).next) {
        if (NameMatches(i, name)) {
            m_child = i;
            return true;
        }
    }
    return false;
}

bool CXmlDocument::EnterElement() {
    if (m_flags & (kWriteFile | kAppendFile)) {
        // The last added element becomes open: its end tag (or "/>") is taken back.
        if (m_last_start == std::u16string::npos || m_last_start >= m_text.size()) return false;
        const std::u16string name(StoredName(m_text, m_last_start));
        const std::u16string end_tag = u"</" + name + u">";
        if (m_text.size() >= end_tag.size() && m_text.ends_with(end_tag)) {
            m_text.resize(m_text.size() - end_tag.size());
        } else if (m_text.ends_with(u"/>")) {
            m_text.resize(m_text.size() - 2);
            while (!m_text.empty() && IsSpace(m_text.back())) m_text.pop_back();
            m_text += u'>';
        }
        m_write_stack.push_back(name);
        m_last_start = std::u16string::npos;
        return true;
    }
    if (m_node_type != kNodeElement || !m_current) return false;
    m_parent = m_current;
    m_current = m_child;
    m_child = 0;
    m_node_type = m_current ? kNodeElement : 0;
    return true;
}

bool CXmlDocument::LeaveElement() {
    if (m_flags & (kWriteFile | kAppendFile)) {
        if (m_write_stack.empty()) return false;
        m_text += u"\r\n</" + m_write_stack.back() + u">";
        m_write_stack.pop_back();
        m_last_start = std::u16string::npos;
        return true;
    }
    if (!m_parent) return false;
    m_child = m_current;
    m_current = m_parent;
    m_parent = Rec(m_parent).parent;
    m_node_type = kNodeElement;
    return true;
}

std::u16string CXmlDocument::TagAttribute(std::u16string_view text, size_t start, size_t length,
                                          std::u16string_view name, uint32_t flags) {
    if (name.empty() || !UsableName(name) || start >= text.size()) return {};
    const std::u16string_view tag = text.substr(start, length);
    size_t i = 1;
    if (i < tag.size() && tag[i] == u'?') ++i;
    while (i < tag.size() && IsSpace(tag[i])) ++i;
    while (i < tag.size() && !IsSpace(tag[i]) && tag[i] != u'/' && tag[i] != u'>' && tag[i] != u'?') ++i;
    auto skip_space = [&] {
        while (i < tag.size() && IsSpace(tag[i])) ++i;
    };
    auto quoted = [&]() -> std::u16string_view {
        const size_t close = tag.find(tag[i], i + 1);
        const size_t end = close == std::u16string_view::npos ? tag.size() : close;
        const std::u16string_view token = tag.substr(i + 1, end - i - 1);
        i = std::min(tag.size(), end + 1);
        return token;
    };
    std::u16string_view found;
    bool have = false;
    while (true) {
        skip_space();
        if (i >= tag.size()) break;
        std::u16string_view token;
        if (tag[i] == u'"' || tag[i] == u'\'') {
            token = quoted();
        } else {
            if (tag[i] == u'/' || tag[i] == u'>' || tag[i] == u'?' || tag[i] == u'=') {
                if (tag[i] != u'=') break;
                ++i;  // a stray "=": step over it
                continue;
            }
            const size_t from = i;
            while (i < tag.size() && tag[i] != u'=' && !IsSpace(tag[i]) && tag[i] != u'>' && tag[i] != u'/' &&
                   tag[i] != u'?') {
                ++i;
            }
            token = tag.substr(from, i - from);
        }
        if (have) return std::u16string(found);  // another name follows a bare name
        if (CompareNames(token, name, flags & kIgnoreCase)) {
            have = true;
            found = token;
        }
        skip_space();
        if (i < tag.size() && tag[i] == u'=') {
            ++i;
            skip_space();
            std::u16string_view value;
            if (i < tag.size() && (tag[i] == u'"' || tag[i] == u'\'')) {
                value = quoted();
            } else {
                const size_t from = i;
                while (i < tag.size() && !IsSpace(tag[i]) && tag[i] != u'>') ++i;
                value = tag.substr(from, i - from);
            }
            if (have) return DecodeText(value);
        }
    }
    return have ? std::u16string(found) : std::u16string();
}

std::u16string CXmlDocument::GetAttribute(std::u16string_view name) const {
    if (m_node_type == kNodeProcessingInstruction) {
        return TagAttribute(m_text, m_node_offset, m_node_length, name, m_flags);
    }
    if (!m_current || m_current >= m_count) return {};
    const Record& rec = RecordAt(m_current);
    return TagAttribute(m_text, rec.start, rec.StartTagLength(), name, m_flags);
}

std::u16string CXmlDocument::GetTagName() const {
    if (!m_current || m_current >= m_count) return {};
    return std::u16string(StoredName(m_text, RecordAt(m_current).start));
}

// ---- writer ----

bool CXmlDocument::Reparse(size_t current_start) {
    const std::u16string result = m_result;
    const std::u16string text = std::move(m_text);
    ParseText(text);
    m_result = result;
    for (uint32_t i = 1; i < m_count; ++i) {
        if (Rec(i).start == current_start) {
            m_current = i;
            m_parent = Rec(i).parent;
            m_node_type = kNodeElement;
            return true;
        }
    }
    return false;
}

bool CXmlDocument::AddElement(std::u16string_view name, std::u16string_view value, int options) {
    if (name.empty() || !UsableName(name) || (m_flags & kReadFile)) return false;
    std::u16string markup = u"<" + std::u16string(name);
    if (value.empty() && !(options & kCData)) {
        markup += (options & kEmptySpace) ? u" />" : u"/>";
    } else {
        markup += u">";
        markup += (options & kCData) ? CDataSection(value) : EncodeText(value, false);
        markup += u"</" + std::u16string(name) + u">";
    }
    const std::u16string separator = (options & kNoLineBreak) ? u"" : u"\r\n";
    if (m_flags & (kWriteFile | kAppendFile)) {
        if (!m_text.empty()) m_text += separator;
        m_last_start = m_text.size();
        m_text += markup;
        return true;
    }
    size_t at;
    std::u16string insert = separator + markup;
    if (m_current) {
        const Record& rec = Rec(m_current);
        at = rec.start + rec.length;
    } else if (m_parent) {
        const Record rec = Rec(m_parent);
        if (rec.EndTagLength() == 0) {
            // An empty element gets an end tag so that it can hold the new child.
            const std::u16string parent_name(StoredName(m_text, rec.start));
            size_t close = rec.start + rec.StartTagLength() - 1;
            if (m_text[close - 1] == u'/') {
                size_t cut = close - 1;
                while (cut > rec.start && IsSpace(m_text[cut - 1])) --cut;
                m_text.replace(cut, close + 1 - cut, u">");
                close = cut;
            }
            const std::u16string end_tag = separator + u"</" + parent_name + u">";
            m_text.insert(close + 1, end_tag);
            at = close + 1;
        } else {
            at = rec.start + rec.length - rec.EndTagLength();
        }
    } else {
        at = m_text.size();
        if (m_text.empty()) insert = markup;
    }
    m_text.insert(at, insert);
    return Reparse(at + insert.size() - markup.size());
}

bool CXmlDocument::SetAttribute(std::u16string_view name, std::u16string_view value) {
    if (name.empty() || !UsableName(name) || (m_flags & kReadFile)) return false;
    const std::u16string pair = u" " + std::u16string(name) + u"=\"" + EncodeText(value, true) + u"\"";
    size_t start, length;
    if (m_flags & (kWriteFile | kAppendFile)) {
        if (m_last_start == std::u16string::npos) return false;
        start = m_last_start;
        length = NextNode(m_text, start).length;
    } else {
        if (!m_current) return false;
        start = Rec(m_current).start;
        length = Rec(m_current).StartTagLength();
    }
    // Drop an existing attribute of that name (with its value), then add the new pair at the end.
    const std::u16string_view tag = std::u16string_view(m_text).substr(start, length);
    std::u16string rebuilt(tag.substr(0, 1));
    size_t i = 1;
    while (i < tag.size() && !IsSpace(tag[i]) && tag[i] != u'/' && tag[i] != u'>')
        rebuilt.push_back(tag[i++]);
    size_t tail = tag.size() - 1;  // the closing ">", "/>" or " />"
    if (tail > i && tag[tail - 1] == u'/') --tail;
    while (tail > i && IsSpace(tag[tail - 1])) --tail;
    std::u16string_view body = tag.substr(i, tail - i);
    bool replaced = false;
    size_t k = 0;
    while (k < body.size()) {
        const size_t from = k;
        while (k < body.size() && IsSpace(body[k])) ++k;
        const size_t name_from = k;
        while (k < body.size() && body[k] != u'=' && !IsSpace(body[k])) ++k;
        const std::u16string_view attribute = body.substr(name_from, k - name_from);
        size_t j = k;
        while (j < body.size() && IsSpace(body[j])) ++j;
        if (j < body.size() && body[j] == u'=') {
            ++j;
            while (j < body.size() && IsSpace(body[j])) ++j;
            if (j < body.size() && (body[j] == u'"' || body[j] == u'\'')) {
                const size_t close = body.find(body[j], j + 1);
                j = close == std::u16string_view::npos ? body.size() : close + 1;
            } else {
                while (j < body.size() && !IsSpace(body[j])) ++j;
            }
            k = j;
        }
        if (k == from) ++k;
        if (!replaced && !attribute.empty() && CompareNames(attribute, name, m_flags & kIgnoreCase)) {
            rebuilt += pair;  // in the old one's place
            replaced = true;
        } else {
            rebuilt += body.substr(from, k - from);
        }
    }
    if (!replaced) rebuilt += pair;
    rebuilt += tag.substr(tail);
    m_text.replace(start, length, rebuilt);
    if (m_flags & (kWriteFile | kAppendFile)) return true;
    return Reparse(start);
}

bool CXmlDocument::SetAttribute(std::u16string_view name, int value) {
    return SetAttribute(name, textcodec::Widen(std::to_string(value)));
}

void CXmlDocument::SavePosition(std::u16string_view name) {
    m_saved[std::u16string(name)] = {m_parent, m_current, m_child};
}

bool CXmlDocument::RestorePosition(std::u16string_view name) {
    const auto it = m_saved.find(std::u16string(name));
    if (it == m_saved.end()) return false;
    m_parent = it->second[0];
    m_current = it->second[1];
    m_child = it->second[2];
    m_node_type = m_current ? kNodeElement : 0;
    return true;
}

// ---- files ----

bool CXmlDocument::LoadFile(const std::string& path) {
    if (m_flags & (kReadFile | kWriteFile)) return false;
    std::u16string text;
    if (!CTextFile::LoadTextFromFile(path, text, m_result, m_flags)) return false;
    return ParseText(text);
}

bool CXmlDocument::OpenFile(const std::string& path, uint32_t mode, std::u16string_view encoding,
                            size_t read_block_bytes) {
    if (m_file) Close();
    m_result.clear();
    m_text.clear();
    m_write_stack.clear();
    m_last_start = std::u16string::npos;
    m_read_pos = 0;
    ParseText({});
    auto file = std::make_unique<CTextFile>();
    uint32_t flags = (m_flags & ~(kReadFile | kWriteFile | kAppendFile)) | mode;
    const bool ok = (mode & kReadFile) ? file->OpenRead(path, flags, read_block_bytes)
                                       : file->OpenWrite(path, flags, encoding);
    m_result += file->Result();
    if (!ok) return false;
    m_flags = flags;
    file->Result().clear();
    m_file = std::move(file);
    return true;
}

bool CXmlDocument::Close() {
    if (!m_file) return false;
    bool ok = true;
    if (m_flags & (kWriteFile | kAppendFile)) {
        while (!m_write_stack.empty()) LeaveElement();
        ok = m_file->WriteText(m_text);
    }
    ok = m_file->Close() && ok;
    m_result += m_file->Result();
    m_file.reset();
    m_flags &= ~(kReadFile | kWriteFile | kAppendFile);
    return ok;
}

bool CXmlDocument::PullElement(std::u16string_view name) {
    m_current = 0;
    m_node_type = 0;
    while (true) {
        const Node node = NextNode(m_text, m_read_pos);
        const bool at_buffer_end = node.type == kNodeEnd || node.start + node.length >= m_text.size();
        if (at_buffer_end && node.type != kNodeElement && !m_file->AtEnd()) {
            // Drop what was read; keep the unfinished node and read the next block behind it.
            const size_t held = m_text.size();
            m_text.erase(0, m_read_pos);
            m_read_pos = 0;
            if (held && m_text.size() * 2 > held) m_file->DoubleBlockSize();
            if (!m_file->ReadBlock(m_text)) {
                m_result += m_file->Result();
                m_file->Result().clear();
                return false;
            }
            m_result += m_file->Result();
            m_file->Result().clear();
            continue;
        }
        if (node.type == kNodeEnd) return false;
        m_read_pos = node.start + node.length;
        if (node.type == kNodeElement &&
            (name.empty() || (UsableName(name) &&
                              CompareNames(StoredName(m_text, node.start), name, m_flags & kIgnoreCase)))) {
            m_segments.assign(1, std::vector<Record>(2));
            m_count = 2;
            Rec(1).start = static_cast<uint32_t>(node.start);
            Rec(1).tag_lengths = static_cast<uint32_t>(std::min<size_t>(node.length, kMaxStartTag));
            Rec(1).length = Rec(1).StartTagLength();
            m_current = 1;
            m_node_type = kNodeElement;
            return true;
        }
    }
}
