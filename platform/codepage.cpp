#include "platform/codepage.h"

#include <iconv.h>
#include <langinfo.h>

#include <QtEndian>
#include <cerrno>
#include <vector>

namespace platform {

namespace {

struct CodePageName {
    int codepage;
    const char* charset;
};

// Windows code page numbers and the glibc iconv names for the same tables.
constexpr CodePageName kCodePages[] = {
    {37, "IBM037"},         {437, "CP437"},         {500, "IBM500"},        {708, "ISO-8859-6"},
    {737, "CP737"},         {775, "CP775"},         {850, "CP850"},         {852, "CP852"},
    {855, "CP855"},         {857, "CP857"},         {858, "CP858"},         {860, "CP860"},
    {861, "CP861"},         {862, "CP862"},         {863, "CP863"},         {864, "CP864"},
    {865, "CP865"},         {866, "CP866"},         {869, "CP869"},         {874, "CP874"},
    {875, "CP875"},         {932, "CP932"},         {936, "CP936"},         {949, "CP949"},
    {950, "CP950"},         {1026, "IBM1026"},      {1200, "UTF-16LE"},     {1201, "UTF-16BE"},
    {1250, "CP1250"},       {1251, "CP1251"},       {1252, "CP1252"},       {1253, "CP1253"},
    {1254, "CP1254"},       {1255, "CP1255"},       {1256, "CP1256"},       {1257, "CP1257"},
    {1258, "CP1258"},       {1361, "JOHAB"},        {10000, "MACINTOSH"},   {10007, "MAC-CYRILLIC"},
    {12000, "UTF-32LE"},    {12001, "UTF-32BE"},    {20127, "ASCII"},       {20866, "KOI8-R"},
    {20932, "EUC-JP"},      {20936, "GB2312"},      {21866, "KOI8-U"},      {28591, "ISO-8859-1"},
    {28592, "ISO-8859-2"},  {28593, "ISO-8859-3"},  {28594, "ISO-8859-4"},  {28595, "ISO-8859-5"},
    {28596, "ISO-8859-6"},  {28597, "ISO-8859-7"},  {28598, "ISO-8859-8"},  {28599, "ISO-8859-9"},
    {28603, "ISO-8859-13"}, {28605, "ISO-8859-15"}, {50220, "ISO-2022-JP"}, {50225, "ISO-2022-KR"},
    {51932, "EUC-JP"},      {51936, "GB2312"},      {51949, "EUC-KR"},      {54936, "GB18030"},
    {65000, "UTF-7"},       {65001, "UTF-8"},
};

constexpr char kWide[] = "UTF-16LE";

class Iconv {
  public:
    Iconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
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

// Converts in with cd; on a sequence iconv rejects, appends replacement and skips skip(in, left)
// bytes. Returns false when anything was replaced.
template <typename Skip>
bool Convert(iconv_t cd, const char* in, size_t in_left, std::string& out, std::string_view replacement,
             Skip skip) {
    bool clean = true;
    char buffer[4096];
    auto flush_to_out = [&](char* end) { out.append(buffer, static_cast<size_t>(end - buffer)); };
    auto* src = const_cast<char*>(in);
    while (true) {
        char* dst = buffer;
        size_t dst_left = sizeof buffer;
        const size_t r =
            in_left ? iconv(cd, &src, &in_left, &dst, &dst_left)
                    : iconv(cd, nullptr, nullptr, &dst, &dst_left);  // shift back to the initial state
        flush_to_out(dst);
        if (r != static_cast<size_t>(-1)) {
            if (in_left == 0) {
                if (src == nullptr) break;
                src = nullptr;  // one more round to write the final shift sequence
                continue;
            }
            continue;
        }
        if (errno == E2BIG) continue;
        clean = false;
        out.append(replacement);
        if (errno == EINVAL) {  // truncated sequence at the end
            in_left = 0;
            continue;
        }
        const size_t n = std::min(in_left, skip(src, in_left));
        src += n;
        in_left -= n;
    }
    return clean;
}

}  // namespace

std::string CodePageCharset(int codepage) {
    if (codepage == kCodePageAnsi) {
        const std::string codeset = nl_langinfo(CODESET);
        if (codeset.empty() || codeset == "ANSI_X3.4-1968" || codeset == "ASCII") return "UTF-8";
        return codeset;
    }
    if (codepage == kCodePageOem) return "CP437";
    for (const auto& entry : kCodePages) {
        if (entry.codepage == codepage) return entry.charset;
    }
    return {};
}

QString MultiByteToWide(int codepage, const QByteArray& bytes, bool* ok) {
    if (ok) *ok = false;
    const std::string charset = CodePageCharset(codepage);
    if (charset.empty()) return {};
    Iconv cd(kWide, charset.c_str());
    if (!cd.valid()) return {};
    std::string wide;
    static const char kReplacement[] = {'\xFD', '\xFF'};  // U+FFFD, little-endian
    const bool clean =
        Convert(cd.get(), bytes.constData(), static_cast<size_t>(bytes.size()), wide,
                std::string_view(kReplacement, 2), [](const char*, size_t) { return size_t{1}; });
    if (ok) *ok = clean;
    QString text(static_cast<qsizetype>(wide.size() / 2), Qt::Uninitialized);
    qFromLittleEndian<char16_t>(wide.data(), text.size(), text.data());
    return text;
}

QByteArray WideToMultiByte(int codepage, const QString& text, bool* ok) {
    if (ok) *ok = false;
    const std::string charset = CodePageCharset(codepage);
    if (charset.empty()) return {};
    Iconv cd(charset.c_str(), kWide);
    if (!cd.valid()) return {};
    std::vector<char16_t> units(static_cast<size_t>(text.size()));
    qToLittleEndian<char16_t>(text.utf16(), text.size(), units.data());
    // The default character in the target's own encoding ("?" is two bytes in UTF-16).
    std::string replacement;
    {
        Iconv question(charset.c_str(), kWide);
        const char q[] = {'?', '\0'};
        Convert(question.get(), q, 2, replacement, {}, [](const char*, size_t n) { return n; });
    }
    std::string out;
    const bool clean = Convert(cd.get(), reinterpret_cast<const char*>(units.data()), units.size() * 2, out,
                               replacement, [](const char* at, size_t left) -> size_t {
                                   // Skip one character: a surrogate pair counts as one.
                                   const auto unit = qFromLittleEndian<char16_t>(at);
                                   const bool pair =
                                       QChar::isHighSurrogate(unit) && left >= 4 &&
                                       QChar::isLowSurrogate(qFromLittleEndian<char16_t>(at + 2));
                                   return pair ? 4 : 2;
                               });
    if (ok) *ok = clean;
    return QByteArray(out.data(), static_cast<qsizetype>(out.size()));
}

std::string WideToUtf8(const QString& text) {
    const QByteArray utf8 = WideToMultiByte(kCodePageUtf8, text);
    return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
}

QString Utf8ToWide(std::string_view utf8) {
    return MultiByteToWide(kCodePageUtf8, QByteArray(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

}  // namespace platform
