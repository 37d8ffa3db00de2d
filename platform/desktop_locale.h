#pragma once
// The desktop's language, as the locale variables name it.

#include <QString>

namespace platform {

// The language of messages by the first non-empty of LC_ALL, LC_MESSAGES and LANG ("zh_CN.UTF-8"
// gives "zh"): one of "zh", "es", "de", "fr", "it", "ja", and "en" for anything else ("C", "POSIX",
// unset, or a language the suite has no texts for).
QString DesktopLanguage();

}  // namespace platform
