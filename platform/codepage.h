#pragma once
// Text conversions in place of MultiByteToWideChar / WideCharToMultiByte: Windows code page numbers
// mapped to iconv charsets. Wide text is QString (UTF-16). Thread-safe.

#include <QByteArray>
#include <QString>
#include <string>
#include <string_view>

namespace platform {

inline constexpr int kCodePageAnsi = 0;  // CP_ACP: the locale's charset
inline constexpr int kCodePageOem = 1;   // CP_OEMCP: taken as code page 437
inline constexpr int kCodePageUtf16 = 1200;
inline constexpr int kCodePageUtf8 = 65001;

// The iconv charset for a Windows code page number, or an empty string for an unknown number.
// kCodePageAnsi gives the locale's charset (nl_langinfo(CODESET)); a plain-ASCII "C" locale counts
// as UTF-8, as Qt does.
std::string CodePageCharset(int codepage);

// Bytes in the code page to wide text. Invalid or truncated sequences become U+FFFD, like
// MultiByteToWideChar without MB_ERR_INVALID_CHARS; *ok (when given) says whether the input was
// clean. An unknown code page gives an empty text and *ok false.
QString MultiByteToWide(int codepage, const QByteArray& bytes, bool* ok = nullptr);

// Wide text to bytes in the code page. A character the code page cannot hold, or a lone surrogate,
// becomes "?" (the default character); *ok says whether every character converted. An unknown code
// page gives empty bytes and *ok false.
QByteArray WideToMultiByte(int codepage, const QString& text, bool* ok = nullptr);

// UTF-8 <-> UTF-16, the conversions the tools make for every path handed to FFmpeg (code page 65001).
// Invalid UTF-8 becomes U+FFFD; a lone surrogate becomes U+FFFD.
std::string WideToUtf8(const QString& text);
QString Utf8ToWide(std::string_view utf8);

}  // namespace platform
