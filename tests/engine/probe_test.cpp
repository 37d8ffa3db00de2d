#include "engine/probe.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "support/ffmpeg_names.h"
#include "support/ffprobe.h"
#include "support/fixtures.h"

using testsupport::Fixture;

namespace {

// Probes a fixture as the add command does: a failed probe leaves the last good result.
int Probe(ProbeResult& job, const std::string& fixture) {
    ProbeResult r = ProbeMediaFile(Fixture(fixture), job);
    if (r.result == PROBE_OK) job = r;
    return r.result;
}

}  // namespace

// The probe against the ffprobe tool, on every readable fixture: stream choice, codecs, frame size,
// sample rate, channels and duration.
class ProbeAgreesWithFFprobe : public ::testing::TestWithParam<const char*> {};

TEST_P(ProbeAgreesWithFFprobe, OnEveryField) {
    ProbeResult job;
    ASSERT_EQ(Probe(job, GetParam()), PROBE_OK);
    auto truth = testsupport::FFprobe(Fixture(GetParam()));
    ASSERT_TRUE(truth.ok);

    const testsupport::ProbedStream* last_video = nullptr;
    const testsupport::ProbedStream* last_audio = nullptr;
    for (const auto& s : truth.streams) {
        if (s.codec_type == "video") last_video = &s;
        if (s.codec_type == "audio") last_audio = &s;
    }
    EXPECT_EQ(job.video_stream_index, last_video ? last_video->index : -1);
    EXPECT_EQ(job.audio_stream_index, last_audio ? last_audio->index : -1);
    if (last_video) {
        EXPECT_EQ(testsupport::CodecName(job.video_codec_id), last_video->codec_name);
        EXPECT_EQ(job.width, last_video->width);
        EXPECT_EQ(job.height, last_video->height);
        EXPECT_EQ(std::to_string(job.frame_rate_num) + "/" + std::to_string(job.frame_rate_den),
                  last_video->r_frame_rate);
    } else {
        EXPECT_EQ(job.video_codec_id, AV_CODEC_ID_NONE);
        EXPECT_EQ(job.width, 0);
    }
    if (last_audio) {
        EXPECT_EQ(testsupport::CodecName(job.audio_codec_id), last_audio->codec_name);
        EXPECT_EQ(job.sample_rate, last_audio->sample_rate);
        EXPECT_EQ(job.channels, last_audio->channels);
    } else {
        EXPECT_EQ(job.audio_codec_id, AV_CODEC_ID_NONE);
    }
    EXPECT_NEAR(job.duration_us / 1e6, truth.duration_s, 1e-6);
    EXPECT_EQ(job.range_end_us, job.duration_us);
    EXPECT_EQ(job.range_start_us, 0);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, ProbeAgreesWithFFprobe,
                         ::testing::Values("video_h264_aac.mp4", "video_h264_vorbis.mkv",
                                           "video_mpeg4_mp3.avi", "video_flv1_mp3.flv", "video_start10.ts",
                                           "audio_only.mp3", "two_streams.mkv", "video_only.mp4"),
                         [](const auto& info) {
                             std::string n = info.param;
                             for (char& c : n)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });

// Layer II and layer III frames in MPEG-TS share one stream type: both probes name what the frames
// are, as ffprobe does.
TEST(Probe, MpegAudioInTransportStreamsIsNamedByItsFrames) {
    for (const char* fixture : {"mp2_frames.ts", "mp3_frames.ts"}) {
        SCOPED_TRACE(fixture);
        const auto truth = testsupport::FFprobe(Fixture(fixture));
        ASSERT_NE(truth.First("audio"), nullptr);
        const std::string expected = truth.First("audio")->codec_name;
        EXPECT_EQ(expected, std::string(fixture).substr(0, 3));
        EXPECT_EQ(testsupport::CodecName(ProbeAudioFile(Fixture(fixture)).audio_codec_id), expected);
        EXPECT_EQ(testsupport::CodecName(ProbeMediaFile(Fixture(fixture), ProbeResult()).audio_codec_id),
                  expected);
    }
}

TEST(Probe, LastStreamOfEachKindWins) {
    ProbeResult job;
    ASSERT_EQ(Probe(job, "two_streams.mkv"), PROBE_OK);
    EXPECT_EQ(job.video_stream_index, 2);
    EXPECT_EQ(job.audio_stream_index, 3);
    EXPECT_EQ(job.width, 160);
    EXPECT_EQ(job.frame_rate, 10.0);
    EXPECT_EQ(job.sample_rate, 22050);
    EXPECT_EQ(job.channels, 1);
    EXPECT_EQ(job.audio_codec_id, AV_CODEC_ID_VORBIS);
}

TEST(Probe, AudioOnlyFileKeepsThePreviousFrameRate) {
    ProbeResult job;
    ASSERT_EQ(Probe(job, "video_h264_vorbis.mkv"), PROBE_OK);
    EXPECT_EQ(job.frame_rate_num, 30000);
    EXPECT_EQ(job.frame_rate_den, 1001);
    EXPECT_EQ(job.frame_rate, 29.0);  // integer quotient

    ASSERT_EQ(Probe(job, "audio_only.mp3"), PROBE_OK);
    EXPECT_EQ(job.video_stream_index, -1);
    EXPECT_EQ(job.width, 0);
    EXPECT_EQ(job.height, 0);
    EXPECT_EQ(job.video_codec_id, AV_CODEC_ID_NONE);
    EXPECT_EQ(job.video_bit_rate, 0);
    EXPECT_EQ(job.frame_rate_num, 30000);
    EXPECT_EQ(job.frame_rate_den, 1001);
    EXPECT_EQ(job.frame_rate, 29.0);
    EXPECT_EQ(job.audio_codec_id, AV_CODEC_ID_MP3);
}

TEST(Probe, RatesAbove1000AreCorrectedTo1001) {
    ProbeResult job;
    ASSERT_EQ(Probe(job, "rate_30000.mp4"), PROBE_OK);
    EXPECT_EQ(job.frame_rate_num, 30000);
    EXPECT_EQ(job.frame_rate_den, 1001);
    EXPECT_EQ(job.frame_rate, 29.0);

    ASSERT_EQ(Probe(job, "rate_1000.mkv"), PROBE_OK);  // exactly 1000 is not corrected
    EXPECT_EQ(job.frame_rate_num, 1000);
    EXPECT_EQ(job.frame_rate_den, 1);
    EXPECT_EQ(job.frame_rate, 1000.0);

    ASSERT_EQ(Probe(job, "video_h264_aac.mp4"), PROBE_OK);
    EXPECT_EQ(job.frame_rate_num, 25);
    EXPECT_EQ(job.frame_rate_den, 1);
    EXPECT_EQ(job.frame_rate, 25.0);
}

TEST(Probe, FrameRateRuleWithZeroDenominatorKeepsTheRate) {
    ProbeResult job;
    job.frame_rate = 12;
    ApplyFrameRateRule(job, AVRational{90000, 0});
    EXPECT_EQ(job.frame_rate, 12.0);
    EXPECT_EQ(job.frame_rate_num, 90000);
    EXPECT_EQ(job.frame_rate_den, 0);
    ApplyFrameRateRule(job, AVRational{1001, 1});
    EXPECT_EQ(job.frame_rate, 1001.0 / 1001);
    EXPECT_EQ(job.frame_rate_den, 1001);
}

TEST(Probe, FailuresReturnTheirCodes) {
    ProbeResult job;
    EXPECT_EQ(Probe(job, "not_media.mp4"), PROBE_OPEN_FAILED);
    EXPECT_EQ(Probe(job, "truncated.mp4"), PROBE_OPEN_FAILED);
    EXPECT_EQ(ProbeMediaFile("/nonexistent/file.mp4").result, PROBE_OPEN_FAILED);
    EXPECT_EQ(Probe(job, "unknown_video_codec.avi"), PROBE_NO_VIDEO_DECODER);
}

TEST(Probe, AudioWithoutDecoderIsNoError) {
    ProbeResult job;
    ASSERT_EQ(Probe(job, "unknown_audio_codec.avi"), PROBE_OK);
    EXPECT_EQ(job.audio_stream_index, 1);
    EXPECT_EQ(job.audio_codec_id, AV_CODEC_ID_NONE);
    EXPECT_EQ(job.sample_rate, 0);
    EXPECT_EQ(job.channels, 0);
    EXPECT_EQ(job.video_codec_id, AV_CODEC_ID_MPEG4);
}
