#pragma once
// The settings lists' texts as numbers, for both media tools' windows and command-line options:
// "1500 kbps", "44100 Hz", "1280*720", "2 Channel Stereo", "29.97 fps". Texts are read here, once;
// the job layer sees only numbers, codec ids and fractions.

#include <array>
#include <string>
#include <string_view>

#include "jobs/video_jobs.h"

// "1500 kbps" -> 1500000 bits per second; a text without " kbps" gives 0.
int BitRateFromText(std::string_view text);
// "44100 Hz" -> 44100; a text without " Hz" gives 0.
int SampleRateFromText(std::string_view text);
// "1280*720" -> 1280, 720. When either side of "*" is empty (or there is no "*"), width and height
// keep their values and the result is false.
bool SizeFromText(std::string_view text, int* width, int* height);
// "1 Channel Mono" -> 1, "2 Channel Stereo" -> 2; anything else 0.
int ChannelsFromText(std::string_view text);

// The frame-rate list texts, in the order of kOutputFrameRates ("8.0 fps" .. "60.0 fps").
extern const std::array<const char*, OUTPUT_FRAME_RATE_COUNT> kFrameRateTexts;
// A frame-rate list text to its rate ("29.97 fps" -> 30000/1001); 0/1 for a text not in the list (the
// first item of the cut dialog's list means "the source's own rate").
AVRational FrameRateFromText(std::string_view text);

// The selected texts of Taviro's settings dialog (or taviro-cli's options); the defaults are the first
// item of each list of the cut settings dialog, with the source's own frame rate.
struct SettingTexts {
    bool direct = true;
    int preset_index = 0;  // 0 to 6; anything else keeps the codecs
    std::string video_quality = "1500 kbps";
    std::string size = "320*240";
    std::string frame_rate;  // empty or a text outside the table: the source's own rate
    std::string audio_quality = "32 kbps";
    std::string sample_rate = "22050 Hz";
    std::string channels = "2 Channel Stereo";
};

// What the dialogs' start buttons put into the settings record: the preset's codecs (kept for an
// index outside the table), numbers by the readers above, the size only when it reads, the channel
// count from "1 Channel Mono" / "2 Channel Stereo" / "5.1 Channel" (kept for any other text).
void ApplySettingTexts(const SettingTexts& texts, JobSettings* settings);
