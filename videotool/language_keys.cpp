#include "videotool/language_keys.h"

namespace {

constexpr LanguageKey kVideoToolKeys[] = {
    {"APPLICATION", "name"},
    {"APPLICATION", "version"},
    {"APPLICATION", "url"},
    // Main window, list, open-file dialog.
    {"JIEMIAN", "yy"},
    {"JIEMIAN", "zysybrj"},
    {"JIEMIAN", "zb"},
    {"JIEMIAN", "ksjq"},
    {"JIEMIAN", "jsjq"},
    {"JIEMIAN", "jqsj"},
    {"JIEMIAN", "symtwj"},
    {"JIEMIAN", "sywj"},
    {"JIEMIAN", "spjq"},
    {"JIEMIAN", "sphb"},
    {"JIEMIAN", "ywj"},
    {"JIEMIAN", "spgs"},
    {"JIEMIAN", "spcd"},
    {"JIEMIAN", "spdx"},
    {"JIEMIAN", "zl"},
    {"JIEMIAN", "zt"},
    {"JIEMIAN", "zzwm"},
    // Progress dialog.
    {"JIEMIAN", "dqwj"},
    {"JIEMIAN", "zgwj"},
    {"JIEMIAN", "tz"},
    // Cut and merge settings dialogs.
    {"JIEMIAN", "yzfa"},
    {"JIEMIAN", "zjjq"},
    {"JIEMIAN", "jjjq"},
    {"JIEMIAN", "zjhb"},
    {"JIEMIAN", "jjhb"},
    {"JIEMIAN", "spzl"},
    {"JIEMIAN", "ypzl"},
    {"JIEMIAN", "ypcyl"},
    {"JIEMIAN", "zyzjjq"},
    {"JIEMIAN", "jqjq"},
    {"JIEMIAN", "zyzjhb"},
    {"JIEMIAN", "scml"},
    {"JIEMIAN", "ll"},
    {"JIEMIAN", "wjm"},
    {"JIEMIAN", "ksjq1"},
    {"JIEMIAN", "kshb"},
    {"JIEMIAN", "ywjyy"},
    {"JIEMIAN", "hbhwj"},
    {"JIEMIAN", "xzscml"},
    // Messages.
    {"TISHI", "wj"},
    {"TISHI", "wx"},
    {"TISHI", "wjbcz"},
    {"TISHI", "qxtjsp"},
    {"TISHI", "zslgwj"},
    {"TISHI", "bnzjhb"},
    {"TISHI", "wjwc"},
    {"TISHI", "wjwczg"},
    {"TISHI", "wj1"},
    {"TISHI", "wc"},
    {"TISHI", "sb"},
    {"TISHI", "jqcg"},
    {"TISHI", "jqsb"},
    {"TISHI", "hbcg"},
    {"TISHI", "hbsb"},
    {"TISHI", "mlbcz"},
    {"TISHI", "xsrwjm"},
    {"TISHI", "strmlbcz"},
    {"TISHI", "mlmwx"},
    {"TISHI", "wjtd"},
    {"TISHI", "mcbky"},
    {"TISHI", "bcwjm"},
    {"TISHI", "jqbkd"},
    {"TISHI", "jqfh264"},
    {"TISHI", "jqwbmq"},
    {"TISHI", "jqhmgs"},
    {"TISHI", "jqcsj"},
    // Refused ranges, links and the player.
    {"TISHI", "sjgscw"},
    {"TISHI", "jsxyks"},
    {"TISHI", "kscgsc"},
    {"TISHI", "wfdkwy"},
    {"TISHI", "wfbf"},
    // Tooltips of the main window.
    {"HINT", "tjspwj"},
    {"HINT", "sc"},
    {"HINT", "hbcygwj"},
    {"HINT", "ksjq"},
    {"HINT", "djsbzj"},
    {"HINT", "bf"},
    {"HINT", "szksjqd"},
    {"HINT", "szjsjqd"},
    {"HINT", "zjsrsjd"},
    {"HINT", "jpyd"},
};

constexpr LanguageKey kSponsorshipKeys[] = {
    {"JIEMIAN", "zzly"},
    {"JIEMIAN", "zzly1"},
    {"SHOW", "bshow"},
    {"TIMES", "time"},
};

}  // namespace

std::span<const LanguageKey> VideoToolLanguageKeys() { return kVideoToolKeys; }

std::span<const LanguageKey> SponsorshipLanguageKeys() { return kSponsorshipKeys; }
