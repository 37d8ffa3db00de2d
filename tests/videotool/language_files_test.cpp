// Every shipped language file carries every key its tool reads, with a text in it: Taviro's files
// and Melisk's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <span>
#include <sstream>
#include <string>

#include "audiotool/language_keys.h"
#include "videotool/language_keys.h"

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

// A plain reading of an INI file, independent of the program's own reader: section and key names
// without case, the first occurrence wins. Also counts keys that occur twice in one section.
struct IniFile {
    bool ok = false;
    std::map<std::string, std::string> values;  // "section/key" -> value
    int duplicates = 0;
};

IniFile ReadIni(const std::string& path) {
    IniFile ini;
    std::ifstream in(path, std::ios::binary);
    if (!in) return ini;
    ini.ok = true;
    std::string line, section;
    bool first = true;
    while (std::getline(in, line)) {
        if (first && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        first = false;
        line = Trim(line);
        if (line.empty() || line[0] == ';') continue;
        if (line.front() == '[' && line.back() == ']') {
            section = Lower(Trim(line.substr(1, line.size() - 2)));
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string name = section + "/" + Lower(Trim(line.substr(0, eq)));
        if (!ini.values.emplace(name, Trim(line.substr(eq + 1))).second) ++ini.duplicates;
    }
    return ini;
}

std::string LanguageFile(const std::string& name) { return std::string(LANGUAGE_SOURCE_DIR) + "/" + name; }

const char* const kLanguageFiles[] = {"english.ini", "spanish.ini",  "german.ini", "french.ini",
                                      "italian.ini", "japanese.ini", "chinese.ini"};

class LanguageFileTest : public ::testing::TestWithParam<const char*> {};

void ExpectEveryKey(const std::string& path, std::span<const LanguageKey> keys) {
    const IniFile ini = ReadIni(path);
    ASSERT_TRUE(ini.ok) << path;
    EXPECT_EQ(ini.duplicates, 0) << path << " repeats a key; only the first would be read";
    for (const LanguageKey& k : keys) {
        const auto it = ini.values.find(Lower(k.section) + "/" + Lower(k.key));
        ASSERT_NE(it, ini.values.end()) << path << " lacks " << k.section << "/" << k.key;
        EXPECT_FALSE(it->second.empty()) << path << " has no text for " << k.section << "/" << k.key;
        EXPECT_LT(it->second.size(), 1000u) << k.key << " is longer than the reader takes";
    }
}

TEST_P(LanguageFileTest, HasEveryKeyWithAText) {
    ExpectEveryKey(LanguageFile(GetParam()), VideoToolLanguageKeys());
}

TEST_P(LanguageFileTest, MeliskFileHasEveryKeyWithAText) {
    const std::string path = std::string(MELISK_LANGUAGE_DIR) + "/" + GetParam();
    ExpectEveryKey(path, melisk::AudioToolLanguageKeys());
    const IniFile ini = ReadIni(path);
    EXPECT_EQ(ini.values.at("application/version"), "1.0");
    EXPECT_EQ(ini.values.at("application/name").rfind("Melisk", 0), 0u) << GetParam();
}

TEST_P(LanguageFileTest, TitleHasNameAndVersion) {
    const IniFile ini = ReadIni(LanguageFile(GetParam()));
    EXPECT_EQ(ini.values.at("application/version"), "1.0");
    EXPECT_EQ(ini.values.at("application/name").rfind("Taviro", 0), 0u) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(AllLanguages, LanguageFileTest, ::testing::ValuesIn(kLanguageFiles),
                         [](const auto& info) {
                             std::string n = info.param;
                             return n.substr(0, n.find('.'));
                         });

TEST(ChineseLanguageFile, CarriesTheSponsorshipKeys) {
    for (const std::string& path :
         {LanguageFile("chinese.ini"), std::string(MELISK_LANGUAGE_DIR) + "/chinese.ini"}) {
        SCOPED_TRACE(path);
        const IniFile ini = ReadIni(path);
        for (const LanguageKey& k : SponsorshipLanguageKeys()) {
            const auto it = ini.values.find(Lower(k.section) + "/" + Lower(k.key));
            ASSERT_NE(it, ini.values.end()) << k.section << "/" << k.key;
            EXPECT_FALSE(it->second.empty()) << k.key;
        }
        EXPECT_EQ(ini.values.at("show/bshow"), "1");
        EXPECT_GT(std::stoi(ini.values.at("times/time")), 0);
    }
}

TEST(DefaultSettingFile, ChoosesEnglishAndNamesTheSixLanguages) {
    const IniFile ini = ReadIni(SETTING_SOURCE_FILE);
    ASSERT_TRUE(ini.ok);
    EXPECT_EQ(ini.values.at("language/file"), "english.ini");
    const char* const names[] = {"English", "Español", "Deutsch", "Français", "Italiano", "日本語"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(ini.values.at("language/name" + std::to_string(i + 1)), names[i]) << i;
    EXPECT_EQ(ini.values.at("times/time"), "1");
}

}  // namespace
