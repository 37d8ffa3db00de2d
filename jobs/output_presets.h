#pragma once
// Taviro's output presets: the format list's entries and the codecs each stands for, and the output
// frame rates its settings offer, as fractions.

#include <array>
#include <string>
#include <string_view>

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/rational.h>
}

struct OutputPreset {
    const char* entry_text;  // the text of the format list entry
    AVCodecID video_codec_id;
    AVCodecID audio_codec_id;
};

inline constexpr int OUTPUT_PRESET_COUNT = 7;
extern const std::array<OutputPreset, OUTPUT_PRESET_COUNT> kOutputPresets;

// The output extension an entry text gives: from its last "." on, cut to four characters
// ("MP4 - (H264 AAC) AVC(*.mp4)" gives ".mp4"); empty when the text has no ".".
std::string ExtensionFromEntryText(std::string_view entry_text);

// The output extension of a preset position (".mp4"); empty outside the table.
std::string PresetExtension(int preset_index);

// The output frame rates the settings dialogs list, in list order: 8, 10, 12, 15000/1001 (shown as
// 14.985), 15, 20, 24000/1001 (shown as 23.975), 24, 25, 30000/1001 (29.97), 30, 50, 60.
inline constexpr int OUTPUT_FRAME_RATE_COUNT = 13;
extern const std::array<AVRational, OUTPUT_FRAME_RATE_COUNT> kOutputFrameRates;
