#pragma once
// One text of a language file, named by its section and key.

namespace common {

struct LanguageKey {
    const char* section;
    const char* key;
};

}  // namespace common
