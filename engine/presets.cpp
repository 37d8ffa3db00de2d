#include "engine/presets.h"

#include <charconv>
#include <cstdlib>

const std::array<OutputPreset, OUTPUT_PRESET_COUNT> kOutputPresets = {{
    {"MP4 - (MPEG4 AAC) MPEG4 (*.mp4)", "MPEG4", "AAC"},
    {"MP4 - (H264 AAC) AVC(*.mp4)", "H.264", "AAC"},
    {"AVI - Video Format (*.avi)", "MPEG4", "MP3"},
    {"FLV - Flash Video (*.flv)", "FLV", "MP3"},
    {"WMV - Windos Media Video (*.wmv)", "WMV2", "WMA8"},
    {"MOV - QuickTime Video(*.mov)", "MPEG4", "AAC"},
    {"MKV - Matroska Video(*.mkv)", "H.264", "VORBIS"},
}};

std::string ExtensionFromEntryText(std::string_view entry_text) {
    auto dot = entry_text.rfind('.');
    if (dot == std::string_view::npos) return {};
    return std::string(entry_text.substr(dot, 4));
}

AVCodecID CodecIdFromName(std::string_view name) {
    struct Entry {
        std::string_view name;
        AVCodecID id;
    };
    static constexpr Entry kTable[] = {
        {"MPEG4", AV_CODEC_ID_MPEG4}, {"H.264", AV_CODEC_ID_H264}, {"FLV", AV_CODEC_ID_FLV1},
        {"WMV2", AV_CODEC_ID_WMV2},   {"AAC", AV_CODEC_ID_AAC},    {"MP3", AV_CODEC_ID_MP3},
        {"WMA8", AV_CODEC_ID_WMAV2},  {"VORBIS", AV_CODEC_ID_VORBIS},
    };
    for (const auto& e : kTable)
        if (e.name == name) return e.id;
    return AV_CODEC_ID_NONE;
}

namespace {

// The leading decimal number of a text, as the C library reads it; 0 when there is none.
double LeadingNumber(std::string_view text) {
    std::string s(text);
    return std::strtod(s.c_str(), nullptr);
}

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

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

namespace {
struct FrameRateRow {
    const char* text;  // null for the rate that only the input can bring (18)
    double rate;
    AVRational time_base;
};
constexpr FrameRateRow kFrameRates[] = {
    {"8.0 fps", 8, {1001, 8008}},          {"10.0 fps", 10, {1001, 10010}},
    {"12.0 fps", 12, {1001, 12012}},       {"14.985 fps", 14.985, {1001, 15000}},
    {"15.0 fps", 15, {1001, 15015}},       {nullptr, 18, {1, 18}},
    {"20.0 fps", 20, {1001, 20020}},       {"23.975 fps", 23.975, {1001, 24000}},
    {"24.0 fps", 24, {1001, 24024}},       {"25.0 fps", 25, {1001, 25025}},
    {"29.97 fps", 29.97, {1001, 30000}},   {"30.0 fps", 30, {1001, 30030}},
    {"50.0 fps", 50, {1, 50}},             {"60.0 fps", 60, {1, 60}},
};
}  // namespace

const std::array<const char*, 13> kFrameRateTexts = {
    "8.0 fps",  "10.0 fps", "12.0 fps",  "14.985 fps", "15.0 fps", "20.0 fps", "23.975 fps",
    "24.0 fps", "25.0 fps", "29.97 fps", "30.0 fps",   "50.0 fps", "60.0 fps",
};

double FrameRateFromText(std::string_view text) {
    for (const auto& row : kFrameRates)
        if (row.text && text == row.text) return row.rate;
    return 0;
}

bool EncoderTimeBaseForRate(double output_frame_rate, AVRational* time_base) {
    for (const auto& row : kFrameRates) {
        if (row.rate == output_frame_rate) {
            *time_base = row.time_base;
            return true;
        }
    }
    return false;
}
