#include "common/setting_texts.h"

#include <cstdlib>
#include <string>

namespace {

// The leading decimal number of a text, as the C library reads it; 0 when there is none.
double LeadingNumber(std::string_view text) {
    std::string s(text);
    return std::strtod(s.c_str(), nullptr);
}

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

}  // namespace

int BitRateFromText(std::string_view text) {
    if (!Contains(text, " kbps")) return 0;
    return static_cast<int>(LeadingNumber(text) * 1000);
}

int SampleRateFromText(std::string_view text) {
    if (!Contains(text, " Hz")) return 0;
    return static_cast<int>(LeadingNumber(text));
}

bool SizeFromText(std::string_view text, int* width, int* height) {
    auto star = text.find('*');
    if (star == std::string_view::npos) return false;
    std::string_view w = text.substr(0, star), h = text.substr(star + 1);
    if (w.empty() || h.empty()) return false;
    *width = std::atoi(std::string(w).c_str());
    *height = std::atoi(std::string(h).c_str());
    return true;
}

int ChannelsFromText(std::string_view text) {
    if (text == "1 Channel Mono") return 1;
    if (text == "2 Channel Stereo") return 2;
    return 0;
}

const std::array<const char*, OUTPUT_FRAME_RATE_COUNT> kFrameRateTexts = {
    "8.0 fps",  "10.0 fps", "12.0 fps",  "14.985 fps", "15.0 fps", "20.0 fps", "23.975 fps",
    "24.0 fps", "25.0 fps", "29.97 fps", "30.0 fps",   "50.0 fps", "60.0 fps",
};

AVRational FrameRateFromText(std::string_view text) {
    for (int i = 0; i < OUTPUT_FRAME_RATE_COUNT; ++i)
        if (text == kFrameRateTexts[i]) return kOutputFrameRates[i];
    return AVRational{0, 1};
}

void ApplySettingTexts(const SettingTexts& texts, JobSettings* settings) {
    settings->direct = texts.direct;
    if (texts.preset_index >= 0 && texts.preset_index < OUTPUT_PRESET_COUNT) {
        settings->video_codec_id = kOutputPresets[texts.preset_index].video_codec_id;
        settings->audio_codec_id = kOutputPresets[texts.preset_index].audio_codec_id;
    }
    settings->video_bit_rate = BitRateFromText(texts.video_quality);
    SizeFromText(texts.size, &settings->width, &settings->height);
    settings->frame_rate = FrameRateFromText(texts.frame_rate);
    settings->audio_bit_rate = BitRateFromText(texts.audio_quality);
    settings->sample_rate = SampleRateFromText(texts.sample_rate);
    if (int channels = ChannelsFromText(texts.channels); channels != 0)
        settings->channels = channels;
    else if (texts.channels == "5.1 Channel")
        settings->channels = 6;
}
