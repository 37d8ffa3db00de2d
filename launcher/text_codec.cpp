#include "launcher/text_codec.h"

#include <iconv.h>
#include <langinfo.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <vector>

namespace textcodec {

namespace {

// Every charset name a file may declare, with the Windows code page it stands for.
constexpr NamedCodePage kNames[] = {
    {"cp154", 154},
    {"csptcp154", 154},
    {"cyrillic-asian", 154},
    {"pt154", 154},
    {"ptcp154", 154},
    {"codepage437", 437},
    {"cp437", 437},
    {"cspc8", 437},
    {"cspc8codepage437", 437},
    {"ibm437", 437},
    {"asmo-708", 708},
    {"dos-720", 720},
    {"cp737", 737},
    {"ibm737", 737},
    {"cp500", 775},
    {"cp775", 775},
    {"csibm500", 775},
    {"cspc775baltic", 775},
    {"ebcdic-cp-be", 775},
    {"ebcdic-cp-ch", 775},
    {"ibm775", 775},
    {"cp850", 850},
    {"cspc850multilingual", 850},
    {"ibm850", 850},
    {"cp852", 852},
    {"cspcp852", 852},
    {"ibm852", 852},
    {"cp853", 853},
    {"cp855", 855},
    {"csibm855", 855},
    {"ibm855", 855},
    {"cp857", 857},
    {"csibm857", 857},
    {"ibm857", 857},
    {"ccsid00858", 858},
    {"cp00858", 858},
    {"cp858", 858},
    {"ibm00858", 858},
    {"pc-multilingual-850+euro", 858},
    {"cp860", 860},
    {"csibm860", 860},
    {"ibm860", 860},
    {"cp-is", 861},
    {"cp861", 861},
    {"csibm861", 861},
    {"ibm861", 861},
    {"cp862", 862},
    {"cspc862latinhebrew", 862},
    {"dos-862", 862},
    {"ibm862", 862},
    {"cp863", 863},
    {"csibm863", 863},
    {"ibm863", 863},
    {"cp864", 864},
    {"csibm864", 864},
    {"ibm864", 864},
    {"cp865", 865},
    {"csibm865", 865},
    {"ibm865", 865},
    {"cp866", 866},
    {"csibm866", 866},
    {"ibm866", 866},
    {"cp-gr", 869},
    {"cp869", 869},
    {"csibm869", 869},
    {"ibm869", 869},
    {"cp874", 874},
    {"dos-874", 874},
    {"iso-8859-11", 874},
    {"tis-620", 874},
    {"windows-874", 874},
    {"cp932", 932},
    {"csshiftjis", 932},
    {"cswindows31j", 932},
    {"ms932", 932},
    {"ms_kanji", 932},
    {"shifft_jis", 932},
    {"shifft_jis-ms", 932},
    {"shift-jis", 932},
    {"shift_jis", 932},
    {"sjis", 932},
    {"sjis-ms", 932},
    {"sjis-open", 932},
    {"sjis-win", 932},
    {"windows-31j", 932},
    {"windows-932", 932},
    {"x-ms-cp932", 932},
    {"x-sjis", 932},
    {"chinese", 936},
    {"cn-gb", 936},
    {"cp936", 936},
    {"csgb2312", 936},
    {"csgb231280", 936},
    {"csiso58gb231280", 936},
    {"gb2312", 936},
    {"gb2312-80", 936},
    {"gb231280", 936},
    {"gb_2312-80", 936},
    {"gbk", 936},
    {"iso-ir-58", 936},
    {"ms936", 936},
    {"windows-936", 936},
    {"cp949", 949},
    {"csksc56011987", 949},
    {"iso-ir-149", 949},
    {"korean", 949},
    {"ks-c-5601", 949},
    {"ks-c5601", 949},
    {"ks_c_5601", 949},
    {"ks_c_5601-1987", 949},
    {"ks_c_5601-1989", 949},
    {"ks_c_5601_1987", 949},
    {"ksc5601", 949},
    {"ksc_5601", 949},
    {"uhc", 949},
    {"big5", 950},
    {"big5-hkscs", 950},
    {"cn-big5", 950},
    {"cp950", 950},
    {"csbig5", 950},
    {"x-x-big5", 950},
    {"cp1125", 1125},
    {"cp1133", 1133},
    {"ibm-cp1133", 1133},
    {"cp1200", 1200},
    {"ucs-2", 1200},
    {"ucs-2le", 1200},
    {"unicode", 1200},
    {"utf-16", 1200},
    {"utf-16le", 1200},
    {"utf16", 1200},
    {"utf16le", 1200},
    {"cp1201", 1201},
    {"ucs-2be", 1201},
    {"unicodefffe", 1201},
    {"utf-16be", 1201},
    {"utf16be", 1201},
    {"cp1250", 1250},
    {"ms-ee", 1250},
    {"windows-1250", 1250},
    {"x-cp1250", 1250},
    {"cp1251", 1251},
    {"ms-cyrl", 1251},
    {"windows-1251", 1251},
    {"x-cp1251", 1251},
    {"cp1252", 1252},
    {"ms-ansi", 1252},
    {"windows-1252", 1252},
    {"x-ansi", 1252},
    {"cp1253", 1253},
    {"ms-greek", 1253},
    {"windows-1253", 1253},
    {"cp1254", 1254},
    {"ms-turk", 1254},
    {"windows-1254", 1254},
    {"cp1255", 1255},
    {"ms-hebr", 1255},
    {"windows-1255", 1255},
    {"cp1256", 1256},
    {"cp1256 ", 1256},
    {"ms-arab", 1256},
    {"windows-1256", 1256},
    {"cp1257", 1257},
    {"winbaltrim", 1257},
    {"windows-1257", 1257},
    {"cp1258", 1258},
    {"windows-1258", 1258},
    {"cp1361", 1361},
    {"johab", 1361},
    {"csmacintosh", 10000},
    {"mac", 10000},
    {"macintosh", 10000},
    {"x-mac-japanese", 10001},
    {"x-mac-chinesetrad", 10002},
    {"x-mac-korean", 10003},
    {"x-mac-arabic", 10004},
    {"x-mac-hebrew", 10005},
    {"x-mac-greek", 10006},
    {"x-mac-cyrillic", 10007},
    {"x-mac-chinesesimp", 10008},
    {"x-mac-romanian", 10010},
    {"x-mac-ukrainian", 10017},
    {"x-mac-thai", 10021},
    {"x-mac-ce", 10029},
    {"x-mac-icelandic", 10079},
    {"x-mac-turkish", 10081},
    {"x-mac-croatian", 10082},
    {"cp12000", 12000},
    {"utf-32", 12000},
    {"utf-32le", 12000},
    {"utf32", 12000},
    {"utf32le", 12000},
    {"cp12001", 12001},
    {"utf-32be", 12001},
    {"utf32be", 12001},
    {"x-chinese-cns", 20000},
    {"x-chinese_cns", 20000},
    {"x-cp20001", 20001},
    {"x-chinese-eten", 20002},
    {"x_chinese-eten", 20002},
    {"x-cp20003", 20003},
    {"x-cp20004", 20004},
    {"x-cp20005", 20005},
    {"x-ia5", 20105},
    {"x-ia5-german", 20106},
    {"x-ia5-swedish", 20107},
    {"x-ia5-norwegian", 20108},
    {"ansi_x3.4-1968", 20127},
    {"ansi_x3.4-1986", 20127},
    {"ascii", 20127},
    {"cp367", 20127},
    {"csascii", 20127},
    {"ibm367", 20127},
    {"iso-ir-6", 20127},
    {"iso-ir-6us", 20127},
    {"iso646-us", 20127},
    {"iso_646.irv:1991", 20127},
    {"us", 20127},
    {"us-ascii", 20127},
    {"x-cp20261", 20261},
    {"x-cp20269", 20269},
    {"cskoi8r", 20866},
    {"koi", 20866},
    {"koi8", 20866},
    {"koi8-r", 20866},
    {"koi8r", 20866},
    {"cseucpkdfmtjapanese", 20932},
    {"euc-jp", 20932},
    {"extended_unix_code_packed_format_for_japanese", 20932},
    {"x-cp20936", 20936},
    {"x-cp20949", 20949},
    {"koi8-ru", 21866},
    {"koi8-u", 21866},
    {"cp819", 28591},
    {"csisolatin1", 28591},
    {"ibm819", 28591},
    {"iso-8859-1", 28591},
    {"iso-ir-100", 28591},
    {"iso8859-1", 28591},
    {"iso_8859-1", 28591},
    {"iso_8859-1:1987", 28591},
    {"l1", 28591},
    {"latin1", 28591},
    {"csisolatin2", 28592},
    {"iso-8859-2", 28592},
    {"iso-ir-101", 28592},
    {"iso8859-2", 28592},
    {"iso_8859-2", 28592},
    {"iso_8859-2:1987", 28592},
    {"l2", 28592},
    {"latin2", 28592},
    {"csisolatin3", 28593},
    {"iso-8859-3", 28593},
    {"iso-ir-109", 28593},
    {"iso8859-3", 28593},
    {"iso_8859-3", 28593},
    {"iso_8859-3:1988", 28593},
    {"l3", 28593},
    {"latin3", 28593},
    {"csisolatin4", 28594},
    {"iso-8859-4", 28594},
    {"iso-ir-110", 28594},
    {"iso8859-4", 28594},
    {"iso_8859-4", 28594},
    {"iso_8859-4:1988", 28594},
    {"l4", 28594},
    {"latin4", 28594},
    {"csisolatin5", 28595},
    {"csisolatincyrillic", 28595},
    {"cyrillic", 28595},
    {"iso-8859-5", 28595},
    {"iso-ir-144", 28595},
    {"iso8859-5", 28595},
    {"iso_8859-5", 28595},
    {"iso_8859-5:1988", 28595},
    {"arabic", 28596},
    {"csisolatinarabic", 28596},
    {"ecma-114", 28596},
    {"iso-8859-6", 28596},
    {"iso-ir-127", 28596},
    {"iso8859-6", 28596},
    {"iso_8859-6", 28596},
    {"iso_8859-6:1987", 28596},
    {"csisolatingreek", 28597},
    {"ecma-118", 28597},
    {"elot_928", 28597},
    {"greek", 28597},
    {"greek8", 28597},
    {"iso-8859-7", 28597},
    {"iso-ir-126", 28597},
    {"iso8859-7", 28597},
    {"iso_8859-7", 28597},
    {"iso_8859-7:1987", 28597},
    {"csisolatinhebrew", 28598},
    {"hebrew", 28598},
    {"iso-8859-8", 28598},
    {"iso-ir-138", 28598},
    {"iso8859-8", 28598},
    {"iso_8859-8", 28598},
    {"iso_8859-8:1988", 28598},
    {"visual", 28598},
    {"iso-8859-9", 28599},
    {"iso-ir-148", 28599},
    {"iso8859-9", 28599},
    {"iso_8859-9", 28599},
    {"iso_8859-9:1989", 28599},
    {"l5", 28599},
    {"latin5", 28599},
    {"iso-8859-13", 28603},
    {"iso8859-13", 28603},
    {"iso-8859-15", 28605},
    {"iso8859-15", 28605},
    {"iso_8859-15", 28605},
    {"l9", 28605},
    {"latin-9", 28605},
    {"latin9", 28605},
    {"x-europa", 29001},
    {"iso-8859-8-i", 38598},
    {"iso8859-8-i", 38598},
    {"logical", 38598},
    {"iso-2022-jp", 50220},
    {"_iso-2022-jp", 50221},
    {"cp50221", 50221},
    {"csiso2022jp", 50221},
    {"iso-2022-jp-ms", 50221},
    {"iso2022-jp-ms", 50221},
    {"ms50221", 50221},
    {"windows-50221", 50221},
    {"_iso-2022-jp$sio", 50222},
    {"csiso2022kr", 50225},
    {"iso-2022-kr", 50225},
    {"iso2022-kr", 50225},
    {"x-cp50227", 50227},
    {"cp51932", 51932},
    {"ms51932", 51932},
    {"windows-51932", 51932},
    {"x-euc", 51932},
    {"x-euc-jp", 51932},
    {"euc-cn", 51936},
    {"x-euc-cn", 51936},
    {"cseuckr", 51949},
    {"euc-kr", 51949},
    {"hz-gb-2312", 52936},
    {"gb18030", 54936},
    {"iso-4873:1986", 54936},
    {"x-iscii-de", 57002},
    {"x-iscii-be", 57003},
    {"x-iscii-ta", 57004},
    {"x-iscii-te", 57005},
    {"x-iscii-as", 57006},
    {"x-iscii-or", 57007},
    {"x-iscii-ka", 57008},
    {"x-iscii-ma", 57009},
    {"x-iscii-gu", 57010},
    {"x-iscii-pa", 57011},
    {"csunicode11utf7", 65000},
    {"unicode-1-1-utf-7", 65000},
    {"utf-7", 65000},
    {"x-unicode-2-0-utf-7", 65000},
    {"cp65001", 65001},
    {"unicode-1-1-utf-8", 65001},
    {"unicode-2-0-utf-8", 65001},
    {"utf-8", 65001},
    {"utf8", 65001},
    {"x-unicode-2-0-utf-8", 65001},
};

constexpr size_t kBuckets = 155;
constexpr size_t kMaxNameLength = 100;

// The names hashed by the sum of their lower-case code units. Each bucket is one string of entries:
// two digits of name length, five digits of code page, then the name.
const std::array<std::string, kBuckets>& NameBuckets() {
    static const std::array<std::string, kBuckets> buckets = [] {
        std::array<std::string, kBuckets> b;
        for (const auto& entry : kNames) {
            const std::string_view name(entry.name);
            size_t sum = 0;
            for (unsigned char c : name) sum += c;
            char head[32];
            snprintf(head, sizeof head, "%02zu%05d", name.size(), entry.codepage);
            b[sum % kBuckets].append(head).append(name);
        }
        return b;
    }();
    return buckets;
}

struct CharsetOf {
    int codepage;
    const char* charset;
};

// glibc's converters for the code pages of the table; pages glibc cannot convert are absent.
constexpr CharsetOf kCharsets[] = {
    {154, "PT154"},
    {437, "CP437"},
    {708, "ASMO-708"},
    {737, "CP737"},
    {775, "CP775"},
    {850, "CP850"},
    {852, "CP852"},
    {855, "CP855"},
    {857, "CP857"},
    {858, "CP858"},
    {860, "CP860"},
    {861, "CP861"},
    {862, "CP862"},
    {863, "CP863"},
    {864, "CP864"},
    {865, "CP865"},
    {866, "CP866"},
    {869, "CP869"},
    {874, "CP874"},
    {932, "CP932"},
    {936, "CP936"},
    {949, "CP949"},
    {950, "CP950"},
    {1125, "CP1125"},
    {1133, "CP1133"},
    {1200, "UTF-16LE"},
    {1201, "UTF-16BE"},
    {1250, "CP1250"},
    {1251, "CP1251"},
    {1252, "CP1252"},
    {1253, "CP1253"},
    {1254, "CP1254"},
    {1255, "CP1255"},
    {1256, "CP1256"},
    {1257, "CP1257"},
    {1258, "CP1258"},
    {1361, "JOHAB"},
    {10000, "MACINTOSH"},
    {10007, "MAC-CYRILLIC"},
    {10017, "MACUKRAINIAN"},
    {10029, "MAC-CENTRALEUROPE"},
    {10079, "MAC-IS"},
    {12000, "UTF-32LE"},
    {12001, "UTF-32BE"},
    {20000, "EUC-TW"},
    {20127, "ASCII"},
    {20866, "KOI8-R"},
    {20932, "EUC-JP"},
    {20936, "GB2312"},
    {21866, "KOI8-U"},
    {28591, "ISO-8859-1"},
    {28592, "ISO-8859-2"},
    {28593, "ISO-8859-3"},
    {28594, "ISO-8859-4"},
    {28595, "ISO-8859-5"},
    {28596, "ISO-8859-6"},
    {28597, "ISO-8859-7"},
    {28598, "ISO-8859-8"},
    {28599, "ISO-8859-9"},
    {28603, "ISO-8859-13"},
    {28605, "ISO-8859-15"},
    {38598, "ISO-8859-8"},
    {50220, "ISO-2022-JP"},
    {50221, "ISO-2022-JP"},
    {50222, "ISO-2022-JP"},
    {50225, "ISO-2022-KR"},
    {50227, "ISO-2022-CN"},
    {51932, "EUC-JP"},
    {51936, "GB2312"},
    {51949, "EUC-KR"},
    {54936, "GB18030"},
    {65000, "UTF-7"},
    {65001, "UTF-8"},
    {65005, "UTF-32LE"},
};

// Code pages whose conversion cannot report a default character.
bool RefusesDefaultChar(int cp) {
    return (cp >= 50220 && cp <= 50222) || cp == 50225 || cp == 50227 || cp == 50229 || cp == 52936 ||
           cp == 54936 || (cp >= 57002 && cp <= 57011) || cp == 65000 || cp == 65001;
}

class Iconv {
  public:
    Iconv(const std::string& to, const std::string& from) : m_cd(iconv_open(to.c_str(), from.c_str())) {}
    ~Iconv() {
        if (valid()) iconv_close(m_cd);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return m_cd; }

  private:
    iconv_t m_cd;
};

// Runs cd over in; a rejected sequence appends replacement and skips skip(at, left) bytes.
// Returns false when anything was replaced.
template <typename Skip>
bool Run(iconv_t cd, std::string_view in, std::string& out, std::string_view replacement, Skip skip) {
    bool clean = true;
    char buffer[4096];
    char* src = const_cast<char*>(in.data());
    size_t left = in.size();
    bool flushed = false;
    while (!flushed) {
        char* dst = buffer;
        size_t room = sizeof buffer;
        const size_t r =
            left ? iconv(cd, &src, &left, &dst, &room) : iconv(cd, nullptr, nullptr, &dst, &room);
        out.append(buffer, static_cast<size_t>(dst - buffer));
        if (r != static_cast<size_t>(-1)) {
            if (left == 0) flushed = src == nullptr || (src = nullptr, false);
            continue;
        }
        if (errno == E2BIG) continue;
        clean = false;
        out.append(replacement);
        if (errno == EINVAL || left == 0) {  // cut off at the end
            left = 0;
            continue;
        }
        const size_t n = std::min(left, skip(src, left));
        src += n;
        left -= n;
    }
    return clean;
}

std::string ToLittleEndianBytes(std::u16string_view text) {
    std::string bytes(text.size() * 2, '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    return bytes;
}

std::u16string FromLittleEndianBytes(std::string_view bytes) {
    std::u16string text(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                        static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    }
    return text;
}

void AppendCodePoint(std::u16string& out, char32_t cp) {
    if (cp > 0xFFFF) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(cp));
    }
}

}  // namespace

const NamedCodePage* CodePageNames(size_t* count) {
    *count = std::size(kNames);
    return kNames;
}

std::u16string AsciiLower(std::u16string_view text) {
    std::u16string lower(text);
    for (auto& c : lower) {
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    }
    return lower;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && AsciiLower(a) == AsciiLower(b);
}

std::u16string Widen(std::string_view ascii) {
    std::u16string wide;
    wide.reserve(ascii.size());
    for (unsigned char c : ascii) wide.push_back(c);
    return wide;
}

std::string Narrow(std::u16string_view ascii) {
    std::string narrow;
    narrow.reserve(ascii.size());
    for (char16_t c : ascii) narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return narrow;
}

int CodePageFromName(std::u16string_view name) {
    if (name.empty()) return kCodePageAnsi;
    if (name.substr(0, 6) == u"UTF-32") return kCodePageUtf32;
    if (name.size() >= kMaxNameLength) return kCodePageUnknown;
    const std::u16string lower = AsciiLower(name);
    size_t sum = 0;
    for (char16_t c : lower) sum += c;
    const std::string& bucket = NameBuckets()[sum % kBuckets];
    for (size_t at = 0; at + 7 <= bucket.size();) {
        const size_t length = std::stoul(bucket.substr(at, 2));
        const int codepage = std::stoi(bucket.substr(at + 2, 5));
        const std::string_view entry = std::string_view(bucket).substr(at + 7, length);
        if (length == lower.size() && std::equal(entry.begin(), entry.end(), lower.begin(),
                                                 [](char a, char16_t b) { return char16_t(a) == b; })) {
            return codepage;
        }
        at += 7 + length;
    }
    return kCodePageUnknown;
}

std::string CharsetForCodePage(int codepage) {
    if (codepage == kCodePageAnsi) {
        const std::string codeset = nl_langinfo(CODESET);
        if (codeset.empty() || codeset == "ANSI_X3.4-1968" || codeset == "ASCII") return "UTF-8";
        return codeset;
    }
    for (const auto& entry : kCharsets) {
        if (entry.codepage == codepage) return entry.charset;
    }
    return {};
}

int EffectiveCodePage(std::u16string_view encoding) {
    const int codepage = CodePageFromName(encoding);
    if (codepage == kCodePageUnknown || CharsetForCodePage(codepage).empty()) return kCodePageAnsi;
    return codepage;
}

std::u16string DecodeToUtf16(std::string_view bytes, std::u16string_view encoding) {
    const int codepage = EffectiveCodePage(encoding);
    if (codepage == kCodePageUtf32) {
        std::u16string out;
        out.reserve(bytes.size() / 4);
        for (size_t i = 0; i + 4 <= bytes.size(); i += 4) {
            char32_t cp = 0;
            for (int b = 3; b >= 0; --b) cp = cp << 8 | static_cast<unsigned char>(bytes[i + b]);
            AppendCodePoint(out, cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) ? U'?' : cp);
        }
        return out;
    }
    Iconv cd("UTF-16LE", CharsetForCodePage(codepage));
    if (!cd.valid()) return {};
    std::string wide;
    wide.reserve(bytes.size() * 2 + bytes.size() / 50);
    Run(cd.get(), bytes, wide, std::string_view("\xFD\xFF", 2),
        [](const char*, size_t) { return size_t{1}; });
    return FromLittleEndianBytes(wide);
}

std::string EncodeFromUtf16(std::u16string_view text, std::u16string_view encoding, bool* loss) {
    if (loss) *loss = false;
    const int codepage = EffectiveCodePage(encoding);
    std::string out;
    if (codepage == kCodePageUtf32) {
        for (size_t i = 0; i < text.size(); ++i) {
            char32_t cp = text[i];
            if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                text[i + 1] <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
            } else if (cp >= 0xD800 && cp <= 0xDFFF) {
                cp = U'?';
            }
            for (int b = 0; b < 4; ++b) out.push_back(static_cast<char>(cp >> (8 * b) & 0xFF));
        }
        return out;
    }
    const std::string charset = CharsetForCodePage(codepage);
    Iconv cd(charset, "UTF-16LE");
    if (!cd.valid()) return {};
    std::string question;
    {
        Iconv q(charset, "UTF-16LE");
        Run(q.get(), std::string_view("?\0", 2), question, {}, [](const char*, size_t n) { return n; });
    }
    const std::string units = ToLittleEndianBytes(text);
    const bool clean = Run(cd.get(), units, out, question, [](const char* at, size_t left) -> size_t {
        const unsigned unit = static_cast<unsigned char>(at[0]) | static_cast<unsigned char>(at[1]) << 8;
        if (unit >= 0xD800 && unit <= 0xDBFF && left >= 4) {
            const unsigned next = static_cast<unsigned char>(at[2]) | static_cast<unsigned char>(at[3]) << 8;
            if (next >= 0xDC00 && next <= 0xDFFF) return 4;
        }
        return 2;
    });
    if (loss && !clean && !RefusesDefaultChar(codepage)) *loss = true;
    return out;
}

Utf8Check CheckUtf8(std::string_view bytes) {
    Utf8Check check;
    for (size_t i = 0; i < bytes.size();) {
        const unsigned char lead = static_cast<unsigned char>(bytes[i]);
        if (lead == 0) break;
        size_t more = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if ((lead & 0xE0) == 0xC0)
            more = 1;
        else if ((lead & 0xF0) == 0xE0)
            more = 2;
        else if ((lead & 0xF8) == 0xF0)
            more = 3;
        else {
            check.valid = false;
            return check;
        }
        for (size_t k = 1; k <= more; ++k) {
            if (i + k >= bytes.size()) {
                check.valid = false;
                check.cut_at_end = true;
                return check;
            }
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) {
                check.valid = false;
                return check;
            }
        }
        ++check.non_ascii;
        i += more + 1;
    }
    return check;
}

}  // namespace textcodec
