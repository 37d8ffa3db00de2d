#pragma once
// Encoding names, Windows code page numbers and conversions between encodings, for reading and
// writing text files of any encoding. Plain C++ over iconv (no Qt), so the XML reader links alone.
// Wide text is std::u16string (UTF-16 in host order). Thread-safe.

#include <cstddef>
#include <string>
#include <string_view>

namespace textcodec {

inline constexpr int kCodePageAnsi = 0;  // the locale's charset
inline constexpr int kCodePageUtf16 = 1200;
inline constexpr int kCodePageUtf16Be = 1201;
inline constexpr int kCodePageUtf32 = 65005;  // any name starting with "UTF-32"
inline constexpr int kCodePageUtf8 = 65001;
inline constexpr int kCodePageUnknown = -1;

// The code page of a charset name ("windows-1252", "GB2312", "utf-8"; case does not matter): 0 for an
// empty name, 65005 for a name starting with "UTF-32", kCodePageUnknown for a name not in the table.
int CodePageFromName(std::u16string_view name);

// Every name of the code page table with its code page, in table order (for checks of the lookup).
struct NamedCodePage {
    const char* name;  // lower case
    int codepage;
};
const NamedCodePage* CodePageNames(size_t* count);

// The iconv charset that converts a code page; empty when glibc has no converter for it.
// kCodePageAnsi gives the locale's charset (a plain-ASCII locale counts as UTF-8).
std::string CharsetForCodePage(int codepage);

// What a conversion used for a code page: an unknown name, and a code page without a converter,
// convert as the ANSI code page.
int EffectiveCodePage(std::u16string_view encoding);

// Bytes in an encoding to UTF-16. Undecodable bytes become U+FFFD.
std::u16string DecodeToUtf16(std::string_view bytes, std::u16string_view encoding);

// UTF-16 to bytes in an encoding. A character the encoding cannot hold, or a lone surrogate, becomes
// "?" and sets *loss (the UTF-8/7 and ISO-2022 style code pages never report a loss).
std::string EncodeFromUtf16(std::u16string_view text, std::u16string_view encoding, bool* loss = nullptr);

struct Utf8Check {
    bool valid = true;        // no invalid sequence before the first NUL byte
    int non_ascii = 0;        // characters of two or more bytes
    bool cut_at_end = false;  // the first invalid sequence is cut off by the end of the bytes
};
// UTF-8 validity of bytes, up to the first NUL byte.
Utf8Check CheckUtf8(std::string_view bytes);

// ASCII-only case folding and comparisons, as names in files are compared.
std::u16string AsciiLower(std::u16string_view text);
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);
std::u16string Widen(std::string_view ascii);
std::string Narrow(std::u16string_view ascii);

}  // namespace textcodec
