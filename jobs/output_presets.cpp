#include "jobs/output_presets.h"

const std::array<OutputPreset, OUTPUT_PRESET_COUNT> kOutputPresets = {{
    {"MP4 - (MPEG4 AAC) MPEG4 (*.mp4)", AV_CODEC_ID_MPEG4, AV_CODEC_ID_AAC},
    {"MP4 - (H264 AAC) AVC(*.mp4)", AV_CODEC_ID_H264, AV_CODEC_ID_AAC},
    {"AVI - Video Format (*.avi)", AV_CODEC_ID_MPEG4, AV_CODEC_ID_MP3},
    {"FLV - Flash Video (*.flv)", AV_CODEC_ID_FLV1, AV_CODEC_ID_MP3},
    {"WMV - Windos Media Video (*.wmv)", AV_CODEC_ID_WMV2, AV_CODEC_ID_WMAV2},
    {"MOV - QuickTime Video(*.mov)", AV_CODEC_ID_MPEG4, AV_CODEC_ID_AAC},
    {"MKV - Matroska Video(*.mkv)", AV_CODEC_ID_H264, AV_CODEC_ID_VORBIS},
}};

const std::array<AVRational, OUTPUT_FRAME_RATE_COUNT> kOutputFrameRates = {{
    {8, 1},
    {10, 1},
    {12, 1},
    {15000, 1001},
    {15, 1},
    {20, 1},
    {24000, 1001},
    {24, 1},
    {25, 1},
    {30000, 1001},
    {30, 1},
    {50, 1},
    {60, 1},
}};

std::string ExtensionFromEntryText(std::string_view entry_text) {
    auto dot = entry_text.rfind('.');
    if (dot == std::string_view::npos) return {};
    return std::string(entry_text.substr(dot, 4));
}

std::string PresetExtension(int preset_index) {
    if (preset_index < 0 || preset_index >= OUTPUT_PRESET_COUNT) return {};
    return ExtensionFromEntryText(kOutputPresets[preset_index].entry_text);
}
