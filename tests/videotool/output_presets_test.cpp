#include "videotool/output_presets.h"

#include <gtest/gtest.h>

#include "engine/frame_rates.h"

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
        EXPECT_EQ(CodecIdFromName(kOutputPresets[i].video_codec_name), expected[i].video);
        EXPECT_EQ(CodecIdFromName(kOutputPresets[i].audio_codec_name), expected[i].audio);
    }
}

TEST(OutputPresets, ExtensionIsCutToFourCharacters) {
    EXPECT_EQ(ExtensionFromEntryText("Some Video (*.mpeg)"), ".mpe");
    EXPECT_EQ(ExtensionFromEntryText("a.b.c.ts)"), ".ts)");
    EXPECT_EQ(ExtensionFromEntryText("no dot here"), "");
    EXPECT_EQ(CodecIdFromName("h264"), AV_CODEC_ID_NONE);
}

TEST(SettingTexts, QualityAndRatesAreRead) {
    EXPECT_EQ(BitRateFromText("1500 kbps"), 1500000);
    EXPECT_EQ(BitRateFromText("20000 kbps"), 20000000);
    EXPECT_EQ(BitRateFromText("320 kbps"), 320000);
    EXPECT_EQ(BitRateFromText("32 kbps"), 32000);
    EXPECT_EQ(BitRateFromText("1500"), 0);
    EXPECT_EQ(BitRateFromText(""), 0);
    EXPECT_EQ(SampleRateFromText("48000 Hz"), 48000);
    EXPECT_EQ(SampleRateFromText("22050 Hz"), 22050);
    EXPECT_EQ(SampleRateFromText("48000"), 0);
    EXPECT_EQ(ChannelsFromText("1 Channel Mono"), 1);
    EXPECT_EQ(ChannelsFromText("2 Channel Stereo"), 2);
    EXPECT_EQ(ChannelsFromText("Stereo"), 0);
}

TEST(SettingTexts, SizeKeepsPreviousValuesWhenASideIsEmpty) {
    int w = 7, h = 9;
    EXPECT_TRUE(SizeFromText("1920*1080", &w, &h));
    EXPECT_EQ(w, 1920);
    EXPECT_EQ(h, 1080);
    EXPECT_TRUE(SizeFromText("2880*1440", &w, &h));
    EXPECT_EQ(w, 2880);
    for (const char* bad : {"*1080", "1920*", "*", "1920x1080", ""}) {
        w = 7, h = 9;
        EXPECT_FALSE(SizeFromText(bad, &w, &h)) << bad;
        EXPECT_EQ(w, 7) << bad;
        EXPECT_EQ(h, 9) << bad;
    }
}

TEST(FrameRates, TextsSelectRatesAndEncoderTimeBases) {
    struct Row {
        const char* text;
        double rate;
        int tb_num, tb_den;
    };
    const Row rows[] = {
        {"8.0 fps", 8, 1001, 8008},
        {"10.0 fps", 10, 1001, 10010},
        {"12.0 fps", 12, 1001, 12012},
        {"14.985 fps", 14.985, 1001, 15000},
        {"15.0 fps", 15, 1001, 15015},
        {"20.0 fps", 20, 1001, 20020},
        {"23.975 fps", 23.975, 1001, 24000},
        {"24.0 fps", 24, 1001, 24024},
        {"25.0 fps", 25, 1001, 25025},
        {"29.97 fps", 29.97, 1001, 30000},
        {"30.0 fps", 30, 1001, 30030},
        {"50.0 fps", 50, 1, 50},
        {"60.0 fps", 60, 1, 60},
    };
    ASSERT_EQ(std::size(rows), kFrameRateTexts.size());
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].text);
        EXPECT_STREQ(kFrameRateTexts[i], rows[i].text);
        EXPECT_EQ(FrameRateFromText(rows[i].text), rows[i].rate);
        AVRational tb{0, 0};
        ASSERT_TRUE(EncoderTimeBaseForRate(rows[i].rate, &tb));
        EXPECT_EQ(tb.num, rows[i].tb_num);
        EXPECT_EQ(tb.den, rows[i].tb_den);
    }
}

TEST(FrameRates, OnlyExactTableValuesSelectATimeBase) {
    AVRational tb{3, 4};
    ASSERT_TRUE(EncoderTimeBaseForRate(18, &tb));  // only an input of 18 fps brings this one
    EXPECT_EQ(tb.num, 1);
    EXPECT_EQ(tb.den, 18);
    tb = {3, 4};
    EXPECT_FALSE(EncoderTimeBaseForRate(29.0, &tb));
    EXPECT_FALSE(EncoderTimeBaseForRate(29.970000001, &tb));
    EXPECT_FALSE(EncoderTimeBaseForRate(0, &tb));
    EXPECT_EQ(tb.num, 3);
    EXPECT_EQ(FrameRateFromText("Same as source"), 0);
    EXPECT_EQ(FrameRateFromText("29.97"), 0);
}
