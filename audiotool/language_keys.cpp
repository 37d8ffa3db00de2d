#include "audiotool/language_keys.h"

namespace melisk {

namespace {

using common::LanguageKey;

constexpr LanguageKey kAudioToolKeys[] = {
    {"APPLICATION", "name"},
    {"APPLICATION", "version"},
    {"APPLICATION", "url"},
    // Main window, list, open-file dialog.
    {"JIEMIAN", "dsd"},
    {"JIEMIAN", "ltsd"},
    {"JIEMIAN", "zysybrj"},
    {"JIEMIAN", "ksjq"},
    {"JIEMIAN", "jsjq"},
    {"JIEMIAN", "jqsj"},
    {"JIEMIAN", "output"},
    {"JIEMIAN", "nykyzjsr"},
    {"JIEMIAN", "wxsm"},
    {"JIEMIAN", "mp3jq"},
    {"JIEMIAN", "mp3hb"},
    {"JIEMIAN", "ywj"},
    {"JIEMIAN", "kssj"},
    {"JIEMIAN", "jssj"},
    {"JIEMIAN", "scgs"},
    {"JIEMIAN", "zt"},
    {"JIEMIAN", "zb"},
    {"JIEMIAN", "symtwj"},
    {"JIEMIAN", "mp3wj"},
    {"JIEMIAN", "sywj"},
    // Progress dialog.
    {"JIEMIAN", "dqwj"},
    {"JIEMIAN", "zgwj"},
    {"JIEMIAN", "tz"},
    // Output settings dialog.
    {"JIEMIAN", "yzfa"},
    {"JIEMIAN", "ypcs"},
    {"JIEMIAN", "bmq"},
    {"JIEMIAN", "ypzl"},
    {"JIEMIAN", "cyl"},
    {"JIEMIAN", "td"},
    {"JIEMIAN", "qd"},
    {"JIEMIAN", "qx"},
    {"JIEMIAN", "cssz"},
    {"JIEMIAN", "xzscml"},
    {"JIEMIAN", "mp3fz"},
    // Messages.
    {"TISHI", "wj"},
    {"TISHI", "wx"},
    {"TISHI", "wjbcz"},
    {"TISHI", "qxtjsp"},
    {"TISHI", "mlbcz"},
    {"TISHI", "strmlbcz"},
    {"TISHI", "zslgwj"},
    {"TISHI", "wjwc"},
    {"TISHI", "wjwczg"},
    {"TISHI", "wj1"},
    {"TISHI", "sb"},
    {"TISHI", "wc"},
    {"TISHI", "jqcg"},
    {"TISHI", "jqsb"},
    {"TISHI", "hbcg"},
    {"TISHI", "hbsb"},
    {"TISHI", "sjgscw"},
    {"TISHI", "jsxyks"},
    {"TISHI", "kscgsc"},
    {"TISHI", "mlmwx"},
    {"TISHI", "wjtd"},
    {"TISHI", "mcbky"},
    {"TISHI", "bcwjm"},
    {"TISHI", "wfdkwy"},
    {"TISHI", "fzbnhb"},
    {"TISHI", "fzfmp3"},
    {"TISHI", "fzcyl"},
    {"TISHI", "fztd"},
    // Tooltips.
    {"HINT", "tjspwj"},
    {"HINT", "ksjq"},
    {"HINT", "dkml"},
    {"HINT", "szscml"},
    {"HINT", "sc"},
    {"HINT", "bz"},
    {"HINT", "hbcygwj"},
    {"HINT", "cssz"},
    {"HINT", "bftz"},
    {"HINT", "djsbzj"},
    {"HINT", "szjsjqd"},
    {"HINT", "szksjqd"},
    {"HINT", "bfjqdl"},
    {"HINT", "bf"},
    {"HINT", "zanting"},
};

}  // namespace

std::span<const LanguageKey> AudioToolLanguageKeys() { return kAudioToolKeys; }

}  // namespace melisk
