// Cuts as exact as each format allows, judged by decoding the outputs with the ffmpeg tool and
// comparing them with the ffmpeg tool's decoding of the source.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "engine/audio_job.h"
#include "engine/probe.h"
#include "jobs/audio_jobs.h"
#include "support/ffprobe.h"
#include "support/fixtures.h"
#include "support/pcm.h"
#include "support/run.h"

extern "C" {
#include <libavutil/log.h>
}

using testsupport::DecodeWithFfmpeg;
using testsupport::FFprobe;
using testsupport::Fixture;
using testsupport::Pcm;
using testsupport::ScratchDir;

namespace {

const bool kQuietLibraries = [] {
    av_log_set_level(AV_LOG_QUIET);
    return true;
}();

struct ExactCase {
    const char* fixture;
    int32_t from_ms;
    int32_t to_ms;
    double length_tolerance_s;  // of the decoded length against the range
    double min_snr_db;          // of the first 100 ms against the source's samples; 0: not compared
};

void PrintTo(const ExactCase& c, std::ostream* os) { *os << c.fixture << " " << c.from_ms << "-" << c.to_ms; }

// Signal-to-noise ratio of `frames` frames of `out` from 0 against `source` from `at`, in dB
// (infinite when equal).
double SnrDb(const Pcm& source, int64_t at, const Pcm& out, int64_t frames) {
    double signal = 0, noise = 0;
    for (int64_t i = 0; i < frames * source.channels; ++i) {
        double s = source.samples[at * source.channels + i];
        double d = s - out.samples[i];
        signal += s * s;
        noise += d * d;
    }
    return noise == 0 ? INFINITY : 10 * std::log10(signal / noise);
}

class ExactAudioCut : public testing::TestWithParam<ExactCase> {};

TEST_P(ExactAudioCut, DecodesToTheRangeAndToTheSourcesSamples) {
    const ExactCase& c = GetParam();
    const std::string input = Fixture(c.fixture);
    const std::string dir = ScratchDir("exact_audio_cut");
    JobRequest request;
    ASSERT_EQ(BuildAudioCutJob(input, ProbeAudioFile(input), c.from_ms, c.to_ms, dir, "", &request),
              JobRefusal::kNone);
    auto progress = std::make_unique<JobProgress>();
    progress->Reset(1);
    RunAudioJob(request, *progress);
    ASSERT_EQ(progress->file_status[0], JOB_FILE_DONE) << FailureText(progress->failure(0));

    auto probed = FFprobe(input);
    ASSERT_EQ(probed.Count("audio"), 1);
    const int rate = probed.First("audio")->sample_rate;
    const int channels = probed.First("audio")->channels;
    Pcm source = DecodeWithFfmpeg(input, rate, channels);
    Pcm out = DecodeWithFfmpeg(request.output_path, rate, channels);
    // The range's ends fall on the samples nearest to them.
    const int64_t at = std::llround(c.from_ms / 1000.0 * rate);
    const int64_t range = std::llround(c.to_ms / 1000.0 * rate) - at;
    EXPECT_NEAR(out.frames(), range, c.length_tolerance_s * rate);
    if (c.min_snr_db > 0) {
        const int64_t frames = rate / 10;
        ASSERT_GE(out.frames(), frames);
        ASSERT_GE(source.frames(), at + frames);
        EXPECT_GE(SnrDb(source, at, out, frames), c.min_snr_db);
    }
}

// Exact to the sample: 0; within 1 ms: 0.001.
INSTANTIATE_TEST_SUITE_P(
    Formats, ExactAudioCut,
    testing::Values(
        ExactCase{"beeps_10s.wav", 1000, 4000, 0, 90}, ExactCase{"beeps_10s.aiff", 1234, 5678, 0, 90},
        ExactCase{"beeps_10s.au", 2500, 3100, 0, 90}, ExactCase{"tone_22k_mono.wav", 333, 2001, 0, 90},
        // One IMA ADPCM block of 1024 bytes at 22050 Hz mono holds 2041 samples.
        ExactCase{"tone_adpcm.wav", 1000, 2500, 2041 / 22050.0, 0},
        ExactCase{"beeps_10s.mp3", 1000, 4000, 0.001, 30}, ExactCase{"beeps_10s.mp3", 0, 1500, 0.001, 30},
        ExactCase{"beeps_10s.mp3", 8217, 10000, 0.001, 30},
        ExactCase{"beeps_10s_32k.mp3", 3333, 6666, 0.001, 30},
        // No LAME tag: a start within the decoder's own delay of the stream's start.
        ExactCase{"vbr_noxing.mp3", 5, 3000, 0, 30},
        // AAC starts at the sample and ends with the frame (1024 samples) holding the end.
        ExactCase{"beeps_10s.m4a", 2345, 6789, 1024 / 44100.0, 30},
        ExactCase{"tone.m4a", 1000, 2500, 1024 / 44100.0, 30},
        ExactCase{"beeps_10s.opus", 1500, 4321, 0.001, 30}, ExactCase{"beeps_10s.flac", 1111, 7777, 0, 90},
        ExactCase{"tone.flac", 0, 2999, 0, 90}),
    [](const testing::TestParamInfo<ExactCase>& info) {
        std::string name = info.param.fixture + std::string("_") + std::to_string(info.param.from_ms);
        for (char& ch : name)
            if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return name;
    });

}  // namespace

TEST(ExactAudioCutMetadata, FlacCutKeepsTheTagsAndTheCoverPicture) {
    const std::string input = Fixture("tagged.flac");
    const std::string dir = ScratchDir("exact_audio_cut_tags");
    JobRequest request;
    ASSERT_EQ(BuildAudioCutJob(input, ProbeAudioFile(input), 500, 2500, dir, "", &request),
              JobRefusal::kNone);
    auto progress = std::make_unique<JobProgress>();
    progress->Reset(1);
    RunAudioJob(request, *progress);
    ASSERT_EQ(progress->file_status[0], JOB_FILE_DONE) << FailureText(progress->failure(0));

    const auto source = FFprobe(input);
    const auto cut = FFprobe(request.output_path);
    ASSERT_TRUE(cut.ok);
    EXPECT_EQ(cut.tags.at("TITLE"), "Cut Me Gently");
    EXPECT_EQ(cut.tags, source.tags);
    ASSERT_EQ(cut.Count("audio"), 1);
    EXPECT_NEAR(cut.First("audio")->duration_s, 2.0, 1e-6);
    ASSERT_EQ(cut.Count("video"), 1);
    const auto* picture = cut.First("video");
    EXPECT_TRUE(picture->attached_pic);
    EXPECT_EQ(picture->codec_name, "png");
    EXPECT_EQ(picture->width, 32);
}
