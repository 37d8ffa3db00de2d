#pragma once
// The settings file and the language files of a media tool's program folder, the language box's
// mapping between items and file names, and the text cache that holds the language texts the
// windows show later. UI thread only.

#include <QHash>
#include <QString>
#include <QStringList>
#include <span>

#include "common/language_key.h"
#include "platform/program_folder.h"

class QTranslator;

namespace common {

// Paths of a media tool's own files. What the tool writes lies in its folder (setting.ini, the
// downloads, language updates) and its scratch folder (the preview picture): the same folder for a
// writable program folder, see platform::ToolFoldersFor. Language files not updated there are read
// from those shipped beside the program.
class ProgramFiles {
  public:
    explicit ProgramFiles(QString folder) : m_folder(folder), m_scratch(std::move(folder)) {}
    ProgramFiles(QString folder, QString scratch_folder)
        : m_folder(std::move(folder)), m_scratch(std::move(scratch_folder)) {}

    const QString& folder() const { return m_folder; }
    QString filePath(const QString& name) const { return m_folder + "/" + name; }
    QString scratchPath(const QString& name) const { return m_scratch + "/" + name; }
    QString settingsPath() const { return filePath("setting.ini"); }
    // Where downloaded language files go.
    QString languagesFolder() const { return filePath("languages"); }
    // The language file to read. Only a plain file name (no folder separator, no "..") of a regular
    // file of sane size in the languages folders is taken; any other name, and a missing or
    // unusable file, gives english.ini.
    QString languagePath(const QString& language_file) const;
    QString englishPath() const { return platform::LanguageFilePath(m_folder, kFallbackLanguageFile); }

    static constexpr const char* kFallbackLanguageFile = "english.ini";

  private:
    QString m_folder;
    QString m_scratch;
};

// Whether a language file name from setting.ini names a file inside the languages folder: not empty,
// no "/" or "\\", no "..".
bool IsPlainLanguageFileName(const QString& name);
// Language files larger than this are refused.
inline constexpr qint64 kMaxLanguageFileBytes = 16 * 1024 * 1024;

// A text of a language file; empty when the file, section or key is missing.
QString ReadLanguageText(const QString& language_path, const char* section, const char* key);

// What the main window reads from the settings file at start. Missing file or keys give empty
// texts and a sponsorship flag of 1 (not due).
struct StartSettings {
    QStringList language_names;  // "name1" to "name7" of "LANGUAGE", empty ones included
    QString language_file;       // "file" of "LANGUAGE"
    int sponsorship = 1;         // "time" of "TIMES"; 0 means the sponsorship is due
};
StartSettings ReadStartSettings(const QString& settings_path);

// The language box: items 0 to 6 stand for english, spanish, german, french, italian, japanese and
// chinese.ini. Any other index gives an empty name; any other name (compared exactly, with case)
// gives -1.
inline constexpr int kLanguageBoxItems = 7;
// The box's texts: the settings file's names, each language's own name where it has none.
QStringList LanguageBoxItems(const QStringList& names);
QString LanguageFileForItem(int index);
int LanguageItemForFile(const QString& language_file);

// Qt's own texts (the file chooser, the message boxes' buttons) in the language of a language file:
// the locale of Qt's translation files for it ("de" for "german.ini", "zh_CN" for "chinese.ini"),
// empty for a file of no known language.
QString QtTranslationLocale(const QString& language_file);
// Loads Qt's translations for that language from the system's translations folder; false when there
// are none (the texts then stay English).
bool LoadQtTranslations(QTranslator& translator, const QString& language_file);

// Stores the chosen language file name in the settings file; the first write creates the file.
bool WriteLanguageChoice(const QString& settings_path, const QString& language_file);

// Language texts by section and key, filled from one language file, and the current file name.
class TextCache {
  public:
    void setLanguageFile(const QString& name) { m_language_file = name; }
    const QString& languageFile() const { return m_language_file; }

    // Replaces every cached text by the values of keys in the language file at path, read once. A
    // file that holds none of the keys (broken, or not a language file) gives way to fallback_path.
    void load(const QString& language_path, std::span<const LanguageKey> keys,
              const QString& fallback_path = QString());

    // The cached text, empty when the key was missing or not loaded.
    QString text(const char* section, const char* key) const;

  private:
    QHash<QString, QString> m_texts;
    QString m_language_file;
};

}  // namespace common
