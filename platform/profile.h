#pragma once
// INI files read and written the way the Windows private-profile functions do it
// (GetPrivateProfileStringW, GetPrivateProfileIntW, WritePrivateProfileStringW).
//
// File format and reading rules:
// - "[name]" opens a section (a missing "]" ends the name at the line's end); "key=value" gives a
//   value; the key is the text before the first "=", so a value may itself contain "="; keys, values
//   and section names are trimmed of surrounding blanks (space, tab, vertical tab; other white space
//   such as U+3000 belongs to the text). Lines without "=", lines starting with ";" (comments) and
//   keys before the first section are ignored.
// - Section and key names are compared without regard to case.
// - First match wins: only the FIRST section of a given name is looked at. A key that is missing
//   there is missing, even when a later section of the same name has it (later duplicates are dead
//   text, as under Windows). Within that section the first line with the key wins.
// - A value enclosed in matching single or double quotes loses the quotes.
// - Encodings: UTF-8 with or without BOM, UTF-16LE or UTF-16BE with BOM. A file without BOM that is
//   not valid UTF-8 is read as Windows-1252. A missing or unreadable file reads as empty; anything
//   but a regular file (a pipe, a device) and a file over kMaxProfileFileBytes count as unreadable.
//
// Writing keeps every line it does not change byte for byte (comments, blank lines, other sections,
// unknown lines), keeps the file's encoding, BOM and line ending (CRLF or LF), and replaces the file
// atomically. A new file is UTF-8 without BOM with LF line endings.
//
// All functions are plain file I/O: no caching, safe from any thread as long as two threads do not
// write the same file at once. The media tools call them on the UI thread.

#include <QHash>
#include <QString>

namespace platform {

// The size of the readers' text buffer: at most kProfileBufferChars - 1 UTF-16 units of a value are
// returned (a surrogate pair is never cut in half).
inline constexpr int kProfileBufferChars = 1000;

// The value of key in section, or def when the file, the section or the key is missing. def loses its
// trailing spaces and is cut to the buffer like a found value. A key present with
// an empty value gives an empty text, not def.
QString ReadProfileString(const QString& section, const QString& key, const QString& def, const QString& file,
                          int buffer_chars = kProfileBufferChars);

// The value as an integer: optional blanks and sign, then leading decimal digits, accumulated in 32
// bits with wrap-around ("12abc" is 12, "abc" is 0, "-5" is -5). A missing key or an empty value
// gives def.
int ReadProfileInt(const QString& section, const QString& key, int def, const QString& file);

// Writes "key=value" into section: replaces the first existing line of that key in the first
// section of that name (keeping the key's spelling in the file), or adds the line after the section's
// last non-blank line, or appends a new section at the end, or creates the file. A null value
// writes an empty value. Returns false, leaving the file as it was, when the file cannot be read or
// written, when a name is empty or could not be read back (a section with "]", a key with "=" or
// starting with "[" or ";", any line break), or when the value holds a line break or a character the
// file's encoding cannot store.
bool WriteProfileString(const QString& section, const QString& key, const QString& value,
                        const QString& file);

// Writes an integer as decimal text.
bool WriteProfileInt(const QString& section, const QString& key, int value, const QString& file);

// Removes the key's lines from the first section of that name (WritePrivateProfileString with a null
// value). True when the file ends up without the key, also when it never had it.
bool DeleteProfileKey(const QString& section, const QString& key, const QString& file);

// Removes every section of that name with all its lines (WritePrivateProfileString with a null key
// removes the first; the later ones would otherwise come to light). True when the file ends up
// without that section.
bool DeleteProfileSection(const QString& section, const QString& file);

// Files larger than this are not read (nor written): no settings or language file comes near it.
inline constexpr qint64 kMaxProfileFileBytes = 64 * 1024 * 1024;

// A file read and parsed once for many lookups, in time linear in its size: each value is the one
// ReadProfileString gives (first section of a name, first line of a key, quotes removed, cut to the
// buffer).
class ProfileFile {
  public:
    explicit ProfileFile(const QString& file);
    // The value, or def when the file, section or key is missing.
    QString value(const QString& section, const QString& key, const QString& def = QString()) const;
    // How many keys the file's sections hold.
    qsizetype size() const { return m_values.size(); }

  private:
    QHash<QString, QString> m_values;  // "section\nkey" in lower case -> value
};

// The integer conversion of ReadProfileInt on a text, for callers that read a text first.
int ProfileTextToInt(const QString& text);

}  // namespace platform
