#pragma once
// Taviro's output presets and frame-rate list: the settings dialogs' texts and the codec ids and
// numbers they stand for.

#include <array>
#include <string>
#include <string_view>

#include "common/setting_texts.h"

extern "C" {
#include <libavcodec/codec_id.h>
}

struct OutputPreset {
    const char* entry_text;        // the text of the format list entry
    const char* video_codec_name;  // "MPEG4", "H.264", "FLV", "WMV2"
    const char* audio_codec_name;  // "AAC", "MP3", "WMA8", "VORBIS"
};

inline constexpr int OUTPUT_PRESET_COUNT = 7;
extern const std::array<OutputPreset, OUTPUT_PRESET_COUNT> kOutputPresets;

// The output extension an entry text gives: from its last "." on, cut to four characters
// ("MP4 - (H264 AAC) AVC(*.mp4)" gives ".mp4"); empty when the text has no ".".
std::string ExtensionFromEntryText(std::string_view entry_text);

// FFmpeg codec id for a preset's codec name; AV_CODEC_ID_NONE for an unknown name.
AVCodecID CodecIdFromName(std::string_view codec_name);

// Frame-rate list texts ("29.97 fps") to output frame rates; 0 for a text not in the table (the
// first item of the cut dialog's list means "the source's own rate").
double FrameRateFromText(std::string_view text);

// The frame-rate texts of the table, in order (for the settings dialogs' lists and the CLI).
extern const std::array<const char*, 13> kFrameRateTexts;
