#include "videotool/output_presets.h"

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
        {"MPEG4", AV_CODEC_ID_MPEG4}, {"H.264", AV_CODEC_ID_H264},    {"FLV", AV_CODEC_ID_FLV1},
        {"WMV2", AV_CODEC_ID_WMV2},   {"AAC", AV_CODEC_ID_AAC},       {"MP3", AV_CODEC_ID_MP3},
        {"WMA8", AV_CODEC_ID_WMAV2},  {"VORBIS", AV_CODEC_ID_VORBIS},
    };
    for (const auto& e : kTable)
        if (e.name == name) return e.id;
    return AV_CODEC_ID_NONE;
}

namespace {
struct FrameRateRow {
    const char* text;
    double rate;
};
constexpr FrameRateRow kFrameRates[] = {
    {"8.0 fps", 8},   {"10.0 fps", 10},       {"12.0 fps", 12}, {"14.985 fps", 14.985}, {"15.0 fps", 15},
    {"20.0 fps", 20}, {"23.975 fps", 23.975}, {"24.0 fps", 24}, {"25.0 fps", 25},       {"29.97 fps", 29.97},
    {"30.0 fps", 30}, {"50.0 fps", 50},       {"60.0 fps", 60},
};
}  // namespace

const std::array<const char*, 13> kFrameRateTexts = {
    "8.0 fps",  "10.0 fps", "12.0 fps",  "14.985 fps", "15.0 fps", "20.0 fps", "23.975 fps",
    "24.0 fps", "25.0 fps", "29.97 fps", "30.0 fps",   "50.0 fps", "60.0 fps",
};

double FrameRateFromText(std::string_view text) {
    for (const auto& row : kFrameRates)
        if (text == row.text) return row.rate;
    return 0;
}
