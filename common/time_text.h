#pragma once
// The time text HH:MM:SS.mmm of both media tools and its converters. Times are signed 32-bit
// millisecond counts, as the windows keep them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Milliseconds to "HH:MM:SS.mmm": hours, minutes and seconds at least two digits (hours may have
// more), milliseconds three.
std::string TimeToText(int32_t ms);
std::u16string TimeToText16(int32_t ms);

// A time text to milliseconds. Never rejects anything: each part is read as the C library reads a
// leading integer (spaces, a sign, digits), so a text out of format gives whatever the parts give.
// The digits after the point count milliseconds ("5.5" is 5 s and 5 ms). A result beyond the 32-bit
// range is held at its limit.
int32_t TextToTime(std::string_view text);
int32_t TextToTime(std::u16string_view text);

// A time a user typed, read strictly: HH:MM:SS or HH:MM:SS.mmm (hours one digit or more, minutes
// and seconds below 60, milliseconds exactly three digits), blanks around it ignored. nullopt for any
// other text and for a time beyond the 32-bit millisecond range.
std::optional<int32_t> ParseTimeText(std::string_view text);
