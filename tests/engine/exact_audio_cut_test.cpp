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

// Cuts [from_ms, to_ms) of `input` as the audio tool does; the output's path, or empty with the
// failure in *why.
std::string CutWithAudioEngine(const std::string& input, int32_t from_ms, int32_t to_ms,
                               const std::string& dir, std::string* why) {
    JobRequest request;
    if (BuildAudioCutJob(input, ProbeAudioFile(input), from_ms, to_ms, dir, "", &request) !=
        JobRefusal::kNone) {
        *why = "refused";
        return {};
    }
    auto progress = std::make_unique<JobProgress>();
    progress->Reset(1);
    RunAudioJob(request, *progress);
    if (progress->file_status[0] != JOB_FILE_DONE) {
        *why = FailureText(progress->failure(0));
        return {};
    }
    return request.output_path;
}

// A cut and its source decoded by the ffmpeg tool at the source's rate and channel count, and the
// range in samples (its ends on the samples nearest to them).
struct DecodedCut {
    Pcm source, out;
    int64_t at = 0, range = 0;
};
DecodedCut DecodeCut(const std::string& input, const std::string& output, int32_t from_ms, int32_t to_ms) {
    const auto probed = FFprobe(input);
    const auto* audio = probed.First("audio");
    if (!audio) return {};
    DecodedCut d{DecodeWithFfmpeg(input, audio->sample_rate, audio->channels),
                 DecodeWithFfmpeg(output, audio->sample_rate, audio->channels)};
    d.at = std::llround(from_ms / 1000.0 * audio->sample_rate);
    d.range = std::llround(to_ms / 1000.0 * audio->sample_rate) - d.at;
    return d;
}

class ExactAudioCut : public testing::TestWithParam<ExactCase> {};

TEST_P(ExactAudioCut, DecodesToTheRangeAndToTheSourcesSamples) {
    const ExactCase& c = GetParam();
    const std::string input = Fixture(c.fixture);
    std::string why;
    const std::string output =
        CutWithAudioEngine(input, c.from_ms, c.to_ms, ScratchDir("exact_audio_cut"), &why);
    ASSERT_FALSE(output.empty()) << why;

    ASSERT_EQ(FFprobe(input).Count("audio"), 1);
    const DecodedCut d = DecodeCut(input, output, c.from_ms, c.to_ms);
    const int rate = d.source.rate;
    EXPECT_NEAR(d.out.frames(), d.range, c.length_tolerance_s * rate);
    if (c.min_snr_db > 0) {
        const int64_t frames = rate / 10;
        ASSERT_GE(d.out.frames(), frames);
        ASSERT_GE(d.source.frames(), d.at + frames);
        EXPECT_GE(SnrDb(d.source, d.at, d.out, frames), c.min_snr_db);
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
    std::string why;
    const std::string output = CutWithAudioEngine(input, 500, 2500, ScratchDir("exact_audio_cut_tags"), &why);
    ASSERT_FALSE(output.empty()) << why;

    const auto source = FFprobe(input);
    const auto cut = FFprobe(output);
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

// Ogg Vorbis: both FFmpeg's decoder and libvorbisfile (oggdec) play from the packet boundary before
// the start, at most half a long block (1024 samples) early, the source's own samples from there to
// the range's end, and as long as the granule positions say (ffprobe's length). The tags stay.
TEST(ExactAudioCutVorbis, EndsAtTheSampleAndStartsAtThePacketBeforeTheStart) {
    struct Case {
        const char* fixture;
        int32_t from_ms, to_ms;
    };
    for (const Case& c : {Case{"beeps_10s.ogg", 1234, 4321}, Case{"beeps_10s.ogg", 0, 1000},
                          Case{"beeps_10s.ogg", 7654, 7700}, Case{"tagged.ogg", 1500, 3000}}) {
        SCOPED_TRACE(std::string(c.fixture) + " " + std::to_string(c.from_ms));
        const std::string input = Fixture(c.fixture);
        std::string why;
        const std::string dir = ScratchDir("exact_audio_cut_vorbis");
        const std::string output = CutWithAudioEngine(input, c.from_ms, c.to_ms, dir, &why);
        ASSERT_FALSE(output.empty()) << why;

        const auto probed = FFprobe(output);
        ASSERT_EQ(probed.Count("audio"), 1);
        EXPECT_EQ(probed.First("audio")->tags, FFprobe(input).First("audio")->tags);
        const DecodedCut d = DecodeCut(input, output, c.from_ms, c.to_ms);
        const int64_t lead = d.out.frames() - d.range;
        ASSERT_GE(lead, 0);
        ASSERT_LE(lead, 1024);
        EXPECT_EQ(SnrDb(d.source, d.at - lead, d.out, d.out.frames()), INFINITY);
        EXPECT_NEAR(probed.duration_s, static_cast<double>(d.out.frames()) / d.source.rate, 0.001);

        // libvorbisfile reads the same samples from the same place.
        const auto oggdec =
            testsupport::RunCommand({"oggdec", "-Q", "-R", "-o", dir + "/oggdec.raw", output});
        ASSERT_EQ(oggdec.exit_code, 0) << oggdec.err;
        const Pcm reference = testsupport::ReadPcm(dir + "/oggdec.raw", d.source.rate, d.source.channels);
        EXPECT_EQ(reference.frames(), d.out.frames());
        EXPECT_GE(SnrDb(d.source, d.at - lead, reference, std::min(reference.frames(), d.out.frames())), 60);
    }
}
