#include "common/language_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QLibraryInfo>
#include <QTranslator>

#include "platform/profile.h"

namespace common {

namespace {

const char* const kLanguageFiles[kLanguageBoxItems] = {
    "english.ini", "spanish.ini", "german.ini", "french.ini", "italian.ini", "japanese.ini", "chinese.ini"};
// Each language by its own name, for settings files that name fewer languages.
const char* const kLanguageNames[kLanguageBoxItems] = {"English",  "Español", "Deutsch", "Français",
                                                       "Italiano", "日本語",  "中文"};

QString CacheKey(const char* section, const char* key) {
    return QString::fromLatin1(section).toLower() + '/' + QString::fromLatin1(key).toLower();
}

}  // namespace

QString ReadLanguageText(const QString& language_path, const char* section, const char* key) {
    return platform::ReadProfileString(QString::fromLatin1(section), QString::fromLatin1(key), QString(),
                                       language_path);
}

StartSettings ReadStartSettings(const QString& settings_path) {
    StartSettings s;
    for (int i = 1; i <= kLanguageBoxItems; ++i)
        s.language_names << platform::ReadProfileString("LANGUAGE", QString("name%1").arg(i), QString(),
                                                        settings_path);
    s.language_file = platform::ReadProfileString("LANGUAGE", "file", QString(), settings_path);
    s.sponsorship = platform::ReadProfileInt("TIMES", "time", 1, settings_path);
    return s;
}

QStringList LanguageBoxItems(const QStringList& names) {
    QStringList items;
    for (int i = 0; i < kLanguageBoxItems; ++i) {
        const QString name = names.value(i);
        items << (name.isEmpty() ? QString::fromUtf8(kLanguageNames[i]) : name);
    }
    return items;
}

QString LanguageFileForItem(int index) {
    if (index < 0 || index >= kLanguageBoxItems) return QString();
    return QString::fromLatin1(kLanguageFiles[index]);
}

int LanguageItemForFile(const QString& language_file) {
    for (int i = 0; i < kLanguageBoxItems; ++i)
        if (language_file == QLatin1String(kLanguageFiles[i])) return i;
    return -1;
}

QString QtTranslationLocale(const QString& language_file) {
    static const std::pair<const char*, const char*> kLocales[] = {
        {"english.ini", "en"}, {"spanish.ini", "es"},  {"german.ini", "de"},     {"french.ini", "fr"},
        {"italian.ini", "it"}, {"japanese.ini", "ja"}, {"chinese.ini", "zh_CN"},
    };
    for (const auto& [file, locale] : kLocales)
        if (language_file.compare(QLatin1String(file), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(locale);
    return QString();
}

bool LoadQtTranslations(QTranslator& translator, const QString& language_file) {
    const QString locale = QtTranslationLocale(language_file);
    if (locale.isEmpty()) return false;
    return translator.load(QStringLiteral("qtbase_") + locale,
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

bool WriteLanguageChoice(const QString& settings_path, const QString& language_file) {
    return platform::WriteProfileString("LANGUAGE", "file", language_file, settings_path);
}

bool IsPlainLanguageFileName(const QString& name) {
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           !name.contains(QLatin1String("..")) && !name.contains(QChar(0));
}

QString ProgramFiles::languagePath(const QString& language_file) const {
    if (!IsPlainLanguageFileName(language_file)) return englishPath();
    const QString path = platform::LanguageFilePath(m_folder, language_file);
    // stat, not open: a pipe or device must not even be opened.
    struct stat st {};
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxLanguageFileBytes ||
        ::access(name.constData(), R_OK) != 0)
        return englishPath();
    return path;
}

void TextCache::load(const QString& language_path, std::span<const LanguageKey> keys,
                     const QString& fallback_path) {
    m_texts.clear();
    platform::ProfileFile file(language_path);
    bool any = false;
    for (const LanguageKey& k : keys) {
        QString text = file.value(QString::fromLatin1(k.section), QString::fromLatin1(k.key));
        any = any || !text.isEmpty();
        m_texts.insert(CacheKey(k.section, k.key), std::move(text));
    }
    if (!any && !fallback_path.isEmpty() && fallback_path != language_path) load(fallback_path, keys);
}

QString TextCache::text(const char* section, const char* key) const {
    return m_texts.value(CacheKey(section, key));
}

}  // namespace common
