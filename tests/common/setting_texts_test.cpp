// The settings lists' texts as the windows and taviro-cli read them: numbers, codecs and frame rates.
#include "common/setting_texts.h"

#include <gtest/gtest.h>

#include "engine/frame_rates.h"

namespace {

JobSettings ReencodeSettings(int preset) {
    SettingTexts texts;
    texts.direct = false;
    texts.preset_index = preset;
    texts.video_quality = "2500 kbps";
    texts.size = "640*480";
    texts.frame_rate = "29.97 fps";
    texts.audio_quality = "128 kbps";
    texts.sample_rate = "44100 Hz";
    JobSettings s;
    ApplySettingTexts(texts, &s);
    return s;
}

TEST(SettingTexts, TurnIntoCodecsAndNumbers) {
    struct Case {
        int preset;
        AVCodecID video, audio;
        const char* extension;
    } cases[] = {
        {0, AV_CODEC_ID_MPEG4, AV_CODEC_ID_AAC, ".mp4"},   {1, AV_CODEC_ID_H264, AV_CODEC_ID_AAC, ".mp4"},
        {2, AV_CODEC_ID_MPEG4, AV_CODEC_ID_MP3, ".avi"},   {3, AV_CODEC_ID_FLV1, AV_CODEC_ID_MP3, ".flv"},
        {4, AV_CODEC_ID_WMV2, AV_CODEC_ID_WMAV2, ".wmv"},  {5, AV_CODEC_ID_MPEG4, AV_CODEC_ID_AAC, ".mov"},
        {6, AV_CODEC_ID_H264, AV_CODEC_ID_VORBIS, ".mkv"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.preset);
        JobSettings s = ReencodeSettings(c.preset);
        EXPECT_EQ(s.video_codec_id, c.video);
        EXPECT_EQ(s.audio_codec_id, c.audio);
        EXPECT_EQ(PresetExtension(c.preset), c.extension);
        EXPECT_FALSE(s.direct);
        EXPECT_EQ(s.video_bit_rate, 2500000);
        EXPECT_EQ(s.width, 640);
        EXPECT_EQ(s.height, 480);
        EXPECT_EQ(av_cmp_q(s.frame_rate, AVRational{30000, 1001}), 0);
        EXPECT_EQ(s.audio_bit_rate, 128000);
        EXPECT_EQ(s.sample_rate, 44100);
        EXPECT_EQ(s.channels, 2);
    }
}

TEST(SettingTexts, DefaultsAreTheFirstItemOfEachCutList) {
    JobSettings s;
    ApplySettingTexts(SettingTexts{}, &s);
    EXPECT_TRUE(s.direct);
    EXPECT_EQ(s.video_codec_id, AV_CODEC_ID_MPEG4);
    EXPECT_EQ(s.audio_codec_id, AV_CODEC_ID_AAC);
    EXPECT_EQ(s.video_bit_rate, 1500000);
    EXPECT_EQ(s.width, 320);
    EXPECT_EQ(s.height, 240);
    EXPECT_EQ(s.frame_rate.num, 0);
    EXPECT_EQ(s.audio_bit_rate, 32000);
    EXPECT_EQ(s.sample_rate, 22050);
    EXPECT_EQ(s.channels, 2);
}

TEST(SettingTexts, UnreadableChoicesKeepThePreviousValues) {
    JobSettings s = DefaultMergeSettings();
    SettingTexts texts;
    texts.preset_index = -1;  // no selection
    texts.size = "";
    texts.video_quality = "";
    texts.channels = "";
    ApplySettingTexts(texts, &s);
    EXPECT_EQ(s.video_codec_id, AV_CODEC_ID_MPEG4);
    EXPECT_EQ(s.audio_codec_id, AV_CODEC_ID_AAC);
    EXPECT_EQ(s.width, 320);
    EXPECT_EQ(s.height, 240);
    EXPECT_EQ(s.video_bit_rate, 0);  // an empty quality text reads as 0
    EXPECT_EQ(s.channels, 2);

    for (auto [text, channels] :
         {std::pair{"1 Channel Mono", 1}, {"2 Channel Stereo", 2}, {"5.1 Channel", 6}}) {
        texts.channels = text;
        ApplySettingTexts(texts, &s);
        EXPECT_EQ(s.channels, channels) << text;
    }
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
        const AVRational rate = FrameRateFromText(rows[i].text);
        EXPECT_NEAR(av_q2d(rate), rows[i].rate, 0.0011);
        EXPECT_EQ(av_cmp_q(rate, kOutputFrameRates[i]), 0);
        AVRational tb{0, 0};
        ASSERT_TRUE(EncoderTimeBaseForRate(rate, &tb));
        EXPECT_EQ(tb.num, rows[i].tb_num);
        EXPECT_EQ(tb.den, rows[i].tb_den);
    }
}

TEST(FrameRates, OnlyExactTableValuesSelectATimeBase) {
    AVRational tb{3, 4};
    ASSERT_TRUE(EncoderTimeBaseForRate(AVRational{18, 1}, &tb));  // only an input of 18 fps brings this one
    EXPECT_EQ(tb.num, 1);
    EXPECT_EQ(tb.den, 18);
    tb = {3, 4};
    EXPECT_FALSE(EncoderTimeBaseForRate(AVRational{29, 1}, &tb));
    EXPECT_FALSE(EncoderTimeBaseForRate(AVRational{2997, 100}, &tb));
    EXPECT_FALSE(EncoderTimeBaseForRate(AVRational{0, 1}, &tb));
    EXPECT_EQ(tb.num, 3);
    EXPECT_EQ(FrameRateFromText("Same as source").num, 0);
    EXPECT_EQ(FrameRateFromText("29.97").num, 0);
}

}  // namespace
