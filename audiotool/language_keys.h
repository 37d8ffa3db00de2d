#pragma once
// Every language text Melisk reads: the main window, the output settings dialog and the progress
// dialog. Melisk's language files must carry each of these keys; the table is also the list of texts
// the main window keeps in its text cache.

#include <span>

#include "common/language_key.h"

namespace melisk {

std::span<const common::LanguageKey> AudioToolLanguageKeys();

}  // namespace melisk
