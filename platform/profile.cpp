#include "platform/profile.h"

#include <sys/stat.h>

#include <QFile>
#include <QSaveFile>
#include <QSet>
#include <QStringDecoder>
#include <QtEndian>
#include <optional>
#include <vector>

#include "platform/codepage.h"

namespace platform {

namespace {

enum class Encoding { Utf8, Utf16Le, Utf16Be, Windows1252 };

struct Line {
    QByteArray raw;     // the line's bytes as in the file, terminator included
    QByteArray ending;  // the terminator's bytes (empty on an unterminated last line)
    QString text;       // decoded, without the terminator
};

// An INI file as lines of raw bytes, so that a write can copy every untouched line exactly.
struct IniFile {
    Encoding encoding = Encoding::Utf8;
    QByteArray bom;
    QByteArray eol;  // the encoded line ending for new lines
    std::vector<Line> lines;
};

enum class LineKind { Other, Section, Key };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    QString name;   // section or key name, trimmed
    QString value;  // key value, trimmed
};

// The reader's blanks: space, tab and vertical tab. Other white space (an ideographic space ending a
// Japanese text) is part of the value.
bool IsBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\v'); }

QString TrimBlanks(QStringView text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.mid(begin, end - begin).toString();
}

ParsedLine ParseLine(const QString& text) {
    const QString line = TrimBlanks(text);
    ParsedLine parsed;
    if (line.isEmpty() || line.startsWith(QLatin1Char(';'))) return parsed;
    if (line.startsWith(QLatin1Char('['))) {
        // The name ends at the first "]", or at the end of the line when there is none.
        const qsizetype close = line.indexOf(QLatin1Char(']'));
        parsed.kind = LineKind::Section;
        parsed.name = TrimBlanks(QStringView(line).mid(1, close < 0 ? -1 : close - 1));
        return parsed;
    }
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals < 0) return parsed;
    parsed.kind = LineKind::Key;
    parsed.name = TrimBlanks(QStringView(line).left(equals));
    parsed.value = TrimBlanks(QStringView(line).mid(equals + 1));
    return parsed;
}

bool SameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

int UnitSize(Encoding encoding) {
    return encoding == Encoding::Utf16Le || encoding == Encoding::Utf16Be ? 2 : 1;
}

QString Decode(Encoding encoding, const QByteArray& bytes) {
    switch (encoding) {
        case Encoding::Utf8:
            return QString::fromUtf8(bytes);
        case Encoding::Windows1252:
            return MultiByteToWide(1252, bytes);
        case Encoding::Utf16Le:
        case Encoding::Utf16Be: {
            QString text(bytes.size() / 2, Qt::Uninitialized);
            if (encoding == Encoding::Utf16Le)
                qFromLittleEndian<char16_t>(bytes.constData(), text.size(), text.data());
            else
                qFromBigEndian<char16_t>(bytes.constData(), text.size(), text.data());
            return text;
        }
    }
    return {};
}

std::optional<QByteArray> Encode(Encoding encoding, const QString& text) {
    switch (encoding) {
        case Encoding::Utf8:
            return text.toUtf8();
        case Encoding::Windows1252: {
            bool ok = false;
            QByteArray bytes = WideToMultiByte(1252, text, &ok);
            if (!ok) return std::nullopt;
            return bytes;
        }
        case Encoding::Utf16Le:
        case Encoding::Utf16Be: {
            QByteArray bytes(text.size() * 2, Qt::Uninitialized);
            if (encoding == Encoding::Utf16Le)
                qToLittleEndian<char16_t>(text.utf16(), text.size(), bytes.data());
            else
                qToBigEndian<char16_t>(text.utf16(), text.size(), bytes.data());
            return bytes;
        }
    }
    return std::nullopt;
}

// Whether the code unit at offset is the character c (an ASCII character).
bool UnitIs(const QByteArray& bytes, qsizetype offset, Encoding encoding, char c) {
    switch (encoding) {
        case Encoding::Utf16Le:
            return bytes[offset] == c && bytes[offset + 1] == '\0';
        case Encoding::Utf16Be:
            return bytes[offset] == '\0' && bytes[offset + 1] == c;
        default:
            return bytes[offset] == c;
    }
}

IniFile ParseBytes(const QByteArray& bytes) {
    IniFile ini;
    qsizetype start = 0;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        ini.bom = bytes.left(3);
    } else if (bytes.startsWith("\xFF\xFE")) {
        ini.encoding = Encoding::Utf16Le;
        ini.bom = bytes.left(2);
    } else if (bytes.startsWith("\xFE\xFF")) {
        ini.encoding = Encoding::Utf16Be;
        ini.bom = bytes.left(2);
    } else {
        QStringDecoder utf8(QStringDecoder::Utf8);
        (void)QString(utf8.decode(bytes));
        if (utf8.hasError()) ini.encoding = Encoding::Windows1252;
    }
    start = ini.bom.size();
    const int unit = UnitSize(ini.encoding);
    const qsizetype end =
        start + (bytes.size() - start) / unit * unit;  // an odd last byte stays in the raw text
    qsizetype line_start = start;
    bool crlf_seen = false, eol_seen = false;
    for (qsizetype at = start; at < end; at += unit) {
        if (!UnitIs(bytes, at, ini.encoding, '\n')) continue;
        Line line;
        line.raw = bytes.mid(line_start, at + unit - line_start);
        qsizetype text_end = at;
        if (text_end - unit >= line_start && UnitIs(bytes, text_end - unit, ini.encoding, '\r')) {
            text_end -= unit;
            if (!eol_seen) crlf_seen = true;
        }
        eol_seen = true;
        line.ending = bytes.mid(text_end, at + unit - text_end);
        line.text = Decode(ini.encoding, bytes.mid(line_start, text_end - line_start));
        ini.lines.push_back(std::move(line));
        line_start = at + unit;
    }
    if (line_start < bytes.size()) {
        Line line;
        line.raw = bytes.mid(line_start);
        line.text = Decode(ini.encoding, bytes.mid(line_start, end - line_start));
        if (line.text.endsWith(QLatin1Char('\r'))) line.text.chop(1);
        ini.lines.push_back(std::move(line));
    }
    ini.eol = *Encode(ini.encoding, crlf_seen ? QStringLiteral("\r\n") : QStringLiteral("\n"));
    return ini;
}

// Loads the file; a missing file gives an empty UTF-8 one, an unreadable one nothing. Only a regular
// file of sane size is opened: a pipe would block, a device never end.
std::optional<IniFile> Load(const QString& path) {
    QFile file(path);
    if (!file.exists()) return ParseBytes({});
    struct stat st {};
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxProfileFileBytes)
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return ParseBytes(file.read(kMaxProfileFileBytes));
}

bool Save(const IniFile& ini, const QString& path) {
    QByteArray bytes = ini.bom;
    for (const Line& line : ini.lines) bytes += line.raw;
    QFile existing(path);
    if (existing.exists() && existing.open(QIODevice::ReadOnly) && existing.readAll() == bytes) return true;
    QSaveFile file(path);
    // A folder we may not create files in can still hold a writable settings file.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// A section: its header line and the [first, last) range of the lines below it.
struct SectionRange {
    size_t header = 0;
    size_t first = 0;
    size_t last = 0;
};

// Every section of that name, in file order.
std::vector<SectionRange> FindSections(const IniFile& ini, const QString& section) {
    std::vector<SectionRange> found;
    const QString wanted = TrimBlanks(section);
    for (size_t i = 0; i < ini.lines.size(); ++i) {
        const ParsedLine parsed = ParseLine(ini.lines[i].text);
        if (parsed.kind != LineKind::Section) continue;
        if (!found.empty() && found.back().last == 0) found.back().last = i;
        if (SameName(parsed.name, wanted)) found.push_back({i, i + 1, 0});
    }
    if (!found.empty() && found.back().last == 0) found.back().last = ini.lines.size();
    return found;
}

std::optional<size_t> FindKey(const IniFile& ini, const SectionRange& range, const QString& key) {
    const QString wanted = TrimBlanks(key);
    for (size_t i = range.first; i < range.last; ++i) {
        const ParsedLine parsed = ParseLine(ini.lines[i].text);
        if (parsed.kind == LineKind::Key && SameName(parsed.name, wanted)) return i;
    }
    return std::nullopt;
}

QString CutToBuffer(QString text, int buffer_chars) {
    if (buffer_chars <= 0) return {};
    if (text.size() > buffer_chars - 1) {
        text.truncate(buffer_chars - 1);
        if (!text.isEmpty() && text.back().isHighSurrogate()) text.chop(1);
    }
    return text;
}

QString StripQuotes(const QString& value) {
    if (value.size() >= 2 && (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\'')) &&
        value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

bool HasLineBreak(const QString& text) {
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

// Makes sure the line before a new one ends with a line break.
void TerminateLine(IniFile& ini, size_t index) {
    Line& line = ini.lines[index];
    if (!line.ending.isEmpty()) return;
    line.raw += ini.eol;
    line.ending = ini.eol;
}

std::optional<Line> NewLine(const IniFile& ini, const QString& text) {
    std::optional<QByteArray> bytes = Encode(ini.encoding, text);
    if (!bytes) return std::nullopt;
    Line line;
    line.raw = *bytes + ini.eol;
    line.ending = ini.eol;
    line.text = text;
    return line;
}

}  // namespace

int ProfileTextToInt(const QString& text) {
    qsizetype at = 0;
    while (at < text.size() && IsBlank(text[at])) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == QLatin1Char('-') || text[at] == QLatin1Char('+'))) {
        negative = text[at] == QLatin1Char('-');
        ++at;
    }
    quint32 value = 0;  // wraps like the 32-bit conversion it stands for
    for (; at < text.size() && text[at] >= QLatin1Char('0') && text[at] <= QLatin1Char('9'); ++at)
        value = value * 10u + static_cast<quint32>(text[at].unicode() - '0');
    if (negative) value = 0u - value;
    return static_cast<int>(value);
}

QString ReadProfileString(const QString& section, const QString& key, const QString& def, const QString& file,
                          int buffer_chars) {
    QString fallback = def;
    while (fallback.endsWith(QLatin1Char(' '))) fallback.chop(1);  // spaces only, as Windows does
    fallback = CutToBuffer(fallback, buffer_chars);
    if (TrimBlanks(key).isEmpty()) return fallback;
    const std::optional<IniFile> ini = Load(file);
    if (!ini) return fallback;
    const std::vector<SectionRange> sections = FindSections(*ini, section);
    if (sections.empty()) return fallback;
    const std::optional<size_t> line = FindKey(*ini, sections.front(), key);
    if (!line) return fallback;
    return CutToBuffer(StripQuotes(ParseLine(ini->lines[*line].text).value), buffer_chars);
}

ProfileFile::ProfileFile(const QString& file) {
    const std::optional<IniFile> ini = Load(file);
    if (!ini) return;
    // One pass: the first section of each name and, within it, the first line of each key count.
    QSet<QString> sections_seen;
    QString current;  // lower-case name of the section being read; empty when its lines are dead
    for (const Line& line : ini->lines) {
        ParsedLine parsed = ParseLine(line.text);
        if (parsed.kind == LineKind::Section) {
            const QString name = parsed.name.toLower();
            current = sections_seen.contains(name) ? QString() : name;
            sections_seen.insert(name);
            if (!current.isEmpty()) current += QLatin1Char('\n');
        } else if (parsed.kind == LineKind::Key && !current.isEmpty()) {
            const QString key = current + parsed.name.toLower();
            if (!m_values.contains(key)) m_values.insert(key, StripQuotes(parsed.value));
        }
    }
}

QString ProfileFile::value(const QString& section, const QString& key, const QString& def) const {
    const QString wanted = TrimBlanks(section).toLower() + QLatin1Char('\n') + TrimBlanks(key).toLower();
    auto it = m_values.constFind(wanted);
    return CutToBuffer(it == m_values.constEnd() ? def : *it, kProfileBufferChars);
}

int ReadProfileInt(const QString& section, const QString& key, int def, const QString& file) {
    const QString text = ReadProfileString(section, key, QString(), file);
    if (text.isEmpty()) return def;
    return ProfileTextToInt(text);
}

bool WriteProfileString(const QString& section, const QString& key, const QString& value,
                        const QString& file) {
    const QString section_name = TrimBlanks(section);
    const QString key_name = TrimBlanks(key);
    if (section_name.isEmpty() || section_name.contains(QLatin1Char(']')) || HasLineBreak(section_name))
        return false;
    if (key_name.isEmpty() || key_name.contains(QLatin1Char('=')) || key_name.startsWith(QLatin1Char('[')) ||
        key_name.startsWith(QLatin1Char(';')) || HasLineBreak(key_name))
        return false;
    if (HasLineBreak(value)) return false;

    std::optional<IniFile> ini = Load(file);
    if (!ini) return false;
    const std::vector<SectionRange> sections = FindSections(*ini, section_name);
    if (sections.empty()) {
        std::optional<Line> header = NewLine(*ini, QLatin1Char('[') + section_name + QLatin1Char(']'));
        std::optional<Line> entry = NewLine(*ini, key_name + QLatin1Char('=') + value);
        if (!header || !entry) return false;
        if (!ini->lines.empty()) TerminateLine(*ini, ini->lines.size() - 1);
        ini->lines.push_back(std::move(*header));
        ini->lines.push_back(std::move(*entry));
        return Save(*ini, file);
    }
    const SectionRange& range = sections.front();
    if (const std::optional<size_t> at = FindKey(*ini, range, key_name)) {
        Line& line = ini->lines[*at];
        // Keep the indentation and the key as spelled in the file.
        qsizetype indent = 0;
        while (indent < line.text.size() && IsBlank(line.text[indent])) ++indent;
        const QString text = line.text.left(indent) + ParseLine(line.text).name + QLatin1Char('=') + value;
        std::optional<QByteArray> bytes = Encode(ini->encoding, text);
        if (!bytes) return false;
        line.raw = *bytes + line.ending;
        line.text = text;
        return Save(*ini, file);
    }
    size_t insert_at = range.header;  // after the header, or after the section's last non-blank line
    for (size_t i = range.first; i < range.last; ++i) {
        if (!TrimBlanks(ini->lines[i].text).isEmpty()) insert_at = i;
    }
    std::optional<Line> entry = NewLine(*ini, key_name + QLatin1Char('=') + value);
    if (!entry) return false;
    TerminateLine(*ini, insert_at);
    ini->lines.insert(ini->lines.begin() + static_cast<std::ptrdiff_t>(insert_at + 1), std::move(*entry));
    return Save(*ini, file);
}

bool WriteProfileInt(const QString& section, const QString& key, int value, const QString& file) {
    return WriteProfileString(section, key, QString::number(value), file);
}

bool DeleteProfileKey(const QString& section, const QString& key, const QString& file) {
    if (!QFile::exists(file)) return true;
    std::optional<IniFile> ini = Load(file);
    if (!ini) return false;
    const std::vector<SectionRange> sections = FindSections(*ini, section);
    if (sections.empty()) return true;
    const SectionRange& range = sections.front();
    const QString wanted = TrimBlanks(key);
    bool removed = false;
    for (size_t i = range.last; i-- > range.first;) {
        const ParsedLine parsed = ParseLine(ini->lines[i].text);
        if (parsed.kind == LineKind::Key && SameName(parsed.name, wanted)) {
            ini->lines.erase(ini->lines.begin() + static_cast<std::ptrdiff_t>(i));
            removed = true;
        }
    }
    return !removed || Save(*ini, file);
}

bool DeleteProfileSection(const QString& section, const QString& file) {
    if (!QFile::exists(file)) return true;
    std::optional<IniFile> ini = Load(file);
    if (!ini) return false;
    const std::vector<SectionRange> sections = FindSections(*ini, section);
    if (sections.empty()) return true;
    for (auto it = sections.rbegin(); it != sections.rend(); ++it) {
        ini->lines.erase(ini->lines.begin() + static_cast<std::ptrdiff_t>(it->header),
                         ini->lines.begin() + static_cast<std::ptrdiff_t>(it->last));
    }
    return Save(*ini, file);
}

}  // namespace platform
