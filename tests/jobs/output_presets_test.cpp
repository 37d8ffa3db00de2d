#include "jobs/output_presets.h"

#include <gtest/gtest.h>

TEST(OutputPresets, EachEntryGivesItsExtensionAndCodecs) {
    struct Expected {
        const char* extension;
        AVCodecID video;
        AVCodecID audio;
    };
    const Expected expected[OUTPUT_PRESET_COUNT] = {
        {".mp4", AV_CODEC_ID_MPEG4, AV_CODEC_ID_AAC},   {".mp4", AV_CODEC_ID_H264, AV_CODEC_ID_AAC},
        {".avi", AV_CODEC_ID_MPEG4, AV_CODEC_ID_MP3},   {".flv", AV_CODEC_ID_FLV1, AV_CODEC_ID_MP3},
        {".wmv", AV_CODEC_ID_WMV2, AV_CODEC_ID_WMAV2},  {".mov", AV_CODEC_ID_MPEG4, AV_CODEC_ID_AAC},
        {".mkv", AV_CODEC_ID_H264, AV_CODEC_ID_VORBIS},
    };
    for (int i = 0; i < OUTPUT_PRESET_COUNT; ++i) {
        SCOPED_TRACE(kOutputPresets[i].entry_text);
        EXPECT_EQ(ExtensionFromEntryText(kOutputPresets[i].entry_text), expected[i].extension);
        EXPECT_EQ(PresetExtension(i), expected[i].extension);
        EXPECT_EQ(kOutputPresets[i].video_codec_id, expected[i].video);
        EXPECT_EQ(kOutputPresets[i].audio_codec_id, expected[i].audio);
    }
}

TEST(OutputPresets, ExtensionIsCutToFourCharacters) {
    EXPECT_EQ(ExtensionFromEntryText("Some Video (*.mpeg)"), ".mpe");
    EXPECT_EQ(ExtensionFromEntryText("a.b.c.ts)"), ".ts)");
    EXPECT_EQ(ExtensionFromEntryText("no dot here"), "");
    EXPECT_EQ(PresetExtension(-1), "");
    EXPECT_EQ(PresetExtension(OUTPUT_PRESET_COUNT), "");
}
