#include "common/language_files.h"

#include "platform/profile.h"

namespace common {

namespace {

const char* const kLanguageFiles[kLanguageBoxItems] = {"english.ini", "spanish.ini", "german.ini",
                                                       "french.ini",  "italian.ini", "japanese.ini"};

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

QString LanguageFileForItem(int index) {
    if (index < 0 || index >= kLanguageBoxItems) return QString();
    return QString::fromLatin1(kLanguageFiles[index]);
}

int LanguageItemForFile(const QString& language_file) {
    for (int i = 0; i < kLanguageBoxItems; ++i)
        if (language_file == QLatin1String(kLanguageFiles[i])) return i;
    return -1;
}

bool WriteLanguageChoice(const QString& settings_path, const QString& language_file) {
    return platform::WriteProfileString("LANGUAGE", "file", language_file, settings_path);
}

void TextCache::load(const QString& language_path, std::span<const LanguageKey> keys) {
    m_texts.clear();
    for (const LanguageKey& k : keys)
        m_texts.insert(CacheKey(k.section, k.key), ReadLanguageText(language_path, k.section, k.key));
}

QString TextCache::text(const char* section, const char* key) const {
    return m_texts.value(CacheKey(section, key));
}

}  // namespace common
