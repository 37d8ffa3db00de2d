#pragma once
// Every language text the video tool reads: the main window, the cut and merge settings dialogs and
// the progress dialog. Language files must carry each of these keys; the table is also the list of
// texts the main window keeps in its text cache.

#include <span>

#include "common/language_key.h"

using common::LanguageKey;

// Keys read from the chosen language file.
std::span<const LanguageKey> VideoToolLanguageKeys();

// Keys read only from "chinese.ini" by the sponsorship prompt, whatever language is chosen.
// "SHOW"/"bshow" and "TIMES"/"time" are integers there.
std::span<const LanguageKey> SponsorshipLanguageKeys();
