#pragma once
// Output presets and the tables that turn the settings dialogs' texts into codec ids and numbers.

#include <array>
#include <string>
#include <string_view>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/rational.h>
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

// "1500 kbps" -> 1500000 bits per second; a text without " kbps" gives 0.
int BitRateFromText(std::string_view text);
// "44100 Hz" -> 44100; a text without " Hz" gives 0.
int SampleRateFromText(std::string_view text);
// "1280*720" -> 1280, 720. When either side of "*" is empty (or there is no "*"), width and height
// keep their values and the result is false.
bool SizeFromText(std::string_view text, int* width, int* height);
// "1 Channel Mono" -> 1, "2 Channel Stereo" -> 2; anything else 0.
int ChannelsFromText(std::string_view text);

// Frame-rate list texts ("29.97 fps") to output_frame_rate values; 0 for a text not in the table
// (the first item of the cut dialog's list means "the source's own rate").
double FrameRateFromText(std::string_view text);

// The encoder time base (the duration of one frame) an output_frame_rate value selects, compared by
// exact equality; false for a value not in the table (the input stream's time base then stays).
bool EncoderTimeBaseForRate(double output_frame_rate, AVRational* time_base);

// The frame-rate texts of the table, in order (for the settings dialogs' lists and the CLI).
extern const std::array<const char*, 13> kFrameRateTexts;
