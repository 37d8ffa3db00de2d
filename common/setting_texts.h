#pragma once
// The settings lists' texts as numbers, for both media tools' commands: "1500 kbps", "44100 Hz",
// "1280*720", "2 Channel Stereo".

#include <string_view>

// "1500 kbps" -> 1500000 bits per second; a text without " kbps" gives 0.
int BitRateFromText(std::string_view text);
// "44100 Hz" -> 44100; a text without " Hz" gives 0.
int SampleRateFromText(std::string_view text);
// "1280*720" -> 1280, 720. When either side of "*" is empty (or there is no "*"), width and height
// keep their values and the result is false.
bool SizeFromText(std::string_view text, int* width, int* height);
// "1 Channel Mono" -> 1, "2 Channel Stereo" -> 2; anything else 0.
int ChannelsFromText(std::string_view text);
