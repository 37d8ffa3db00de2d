#include "engine/waveform.h"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/fixtures.h"
#include "support/run.h"

using engine::WaveformBuilder;
using engine::WaveformSummary;
using engine::WaveRange;
using testsupport::Fixture;

namespace {

// The file decoded by the ffmpeg tool, its channels mixed as a mean, full scale -1..1.
std::vector<float> FfmpegMixed(const std::string& path, int channels) {
    auto r = testsupport::RunCommand({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:a:0", "-f",
                                      "f32le", "-c:a", "pcm_f32le", "-ac", std::to_string(channels), "-"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    std::vector<float> interleaved(r.out.size() / sizeof(float));
    std::memcpy(interleaved.data(), r.out.data(), interleaved.size() * sizeof(float));
    std::vector<float> mixed(interleaved.size() / channels);
    for (size_t i = 0; i < mixed.size(); ++i) {
        float sum = 0;
        for (int c = 0; c < channels; ++c) sum += interleaved[i * channels + c];
        mixed[i] = sum / channels;
    }
    return mixed;
}

void WaitComplete(const WaveformSummary& summary) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!summary.complete() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

struct Case {
    const char* fixture;
    int channels;
    int threads;
    int stretches;
    bool exact_length;  // the length is counted, not estimated from the container
};

class WaveformMatchesFfmpeg : public ::testing::TestWithParam<Case> {};

// Every column's minimum and maximum match the ffmpeg tool's decode of the same file, however the
// file is cut into stretches decoded in parallel: a stretch placed a frame off, a lost first frame
// or a channel left out of the mix shows as a column whose beep edge or level is wrong.
TEST_P(WaveformMatchesFfmpeg, ColumnsAtSeveralScales) {
    const Case c = GetParam();
    const std::string path = Fixture(c.fixture);
    const std::vector<float> expected = FfmpegMixed(path, c.channels);
    ASSERT_GT(expected.size(), 100000u);

    WaveformBuilder builder;
    ASSERT_TRUE(builder.Start(path, c.threads, c.stretches)) << builder.error();
    auto summary = builder.summary();
    WaitComplete(*summary);
    ASSERT_TRUE(summary->complete());
    EXPECT_FALSE(builder.failed());
    EXPECT_EQ(summary->stretchCount(), c.stretches);
    if (c.exact_length)
        EXPECT_EQ(summary->totalSamples(), static_cast<int64_t>(expected.size()));
    else
        EXPECT_NEAR(static_cast<double>(summary->totalSamples()), static_cast<double>(expected.size()), 2048);

    for (int per : {300, 4410, 100000}) {
        const int columns = static_cast<int>(expected.size() / per) - 1;  // the tail may differ
        std::vector<WaveRange> got(columns);
        summary->Columns(0, per, columns, got.data());
        int wrong = 0;
        for (int i = 0; i < columns; ++i) {
            float lo = 1, hi = -1;
            for (int k = i * per; k < (i + 1) * per; ++k) {
                lo = std::min(lo, expected[k]);
                hi = std::max(hi, expected[k]);
            }
            ASSERT_TRUE(got[i].known) << "column " << i << " at " << per;
            if (std::fabs(got[i].min - lo) > 0.01f || std::fabs(got[i].max - hi) > 0.01f) {
                ++wrong;
                ADD_FAILURE() << c.fixture << " column " << i << " of " << per << " samples: got "
                              << got[i].min << ".." << got[i].max << ", ffmpeg " << lo << ".." << hi;
                if (wrong > 5) return;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, WaveformMatchesFfmpeg,
    ::testing::Values(Case{"beeps_10s.mp3", 2, 1, 1, true}, Case{"beeps_10s.mp3", 2, 2, 7, true},
                      // Mono MPEG-2 at 32 kb/s: the bit reservoir spans several frames.
                      Case{"beeps_10s_32k.mp3", 1, 2, 9, true},
                      // MP3 in MP4, and layer II named .mp3: the general reader.
                      Case{"beeps_10s_mp3.mp4", 2, 2, 4, false}, Case{"mp2_named.mp3", 2, 2, 3, false},
                      Case{"beeps_10s.wav", 2, 2, 5, true}, Case{"beeps_10s.flac", 2, 2, 4, true},
                      Case{"beeps_10s.m4a", 2, 2, 3, false}, Case{"beeps_10s.ogg", 2, 2, 3, false}),
    [](const ::testing::TestParamInfo<Case>& info) {
        std::string name =
            std::string(info.param.fixture) + "_" + std::to_string(info.param.stretches) + "_stretches";
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return name;
    });

// Samples decoded on demand for a close view are the ffmpeg tool's, sample for sample, wherever the
// decode is entered (an MP3 a few frames before, for its bit reservoir).
TEST(Waveform, DecodedStretchIsTheFfmpegDecode) {
    const struct {
        const char* name;
        int channels;
    } files[] = {{"beeps_10s.mp3", 2}, {"beeps_10s_32k.mp3", 1}, {"beeps_10s.wav", 2}};
    for (const auto& [name, channels] : files) {
        const std::string path = Fixture(name);
        const std::vector<float> expected = FfmpegMixed(path, channels);
        ASSERT_GT(expected.size(), 200000u) << name;
        for (int64_t first :
             {int64_t{0}, int64_t{1151}, int64_t{123457}, static_cast<int64_t>(expected.size()) - 2000}) {
            const std::vector<float> got = engine::DecodeMixedSamples(path, first, 2000);
            ASSERT_EQ(got.size(), 2000u) << name << " at " << first;
            float worst = 0;
            for (size_t i = 0; i < got.size(); ++i)
                worst = std::max(worst, std::fabs(got[i] - expected[first + i]));
            EXPECT_LT(worst, 0.001f) << name << " at " << first;
        }
    }
}

// A file without decodable audio is refused with a reason; a damaged MP3 (false frame headers, cut
// off) and one cut off in its last frame are summarised to their end, as long as the ffmpeg tool
// decodes them; a cancelled build stops its workers and leaves the summary incomplete.
TEST(Waveform, RefusesFilesWithoutAudioAndStopsWhenCancelled) {
    for (const char* name : {"beeps_damaged.mp3", "truncated_tenth.mp3"}) {
        const std::string path = Fixture(name);
        WaveformBuilder builder;
        ASSERT_TRUE(builder.Start(path, 2, 5)) << name << ": " << builder.error();
        auto summary = builder.summary();
        WaitComplete(*summary);
        EXPECT_TRUE(summary->complete()) << name;
        EXPECT_EQ(summary->totalSamples(), static_cast<int64_t>(FfmpegMixed(path, 1).size())) << name;
    }
    for (const char* name : {"video_only.mp4", "not_media.mp4", "empty.mp3"}) {
        WaveformBuilder builder;
        EXPECT_FALSE(builder.Start(Fixture(name))) << name;
        EXPECT_FALSE(builder.error().empty()) << name;
        EXPECT_EQ(builder.summary(), nullptr);
    }
    WaveformBuilder builder;
    ASSERT_TRUE(builder.Start(Fixture("beeps_10s.wav"), 1, 50));
    auto summary = builder.summary();
    builder.Cancel();
    EXPECT_TRUE(builder.cancelled());
    EXPECT_FALSE(summary->complete());
    EXPECT_LT(summary->doneFraction(), 1.0);
}

// However long the file, the summary stays bounded, and its stretches never share a block.
TEST(Waveform, SummaryIsBoundedForLongFiles) {
    const int64_t three_hours = int64_t{3} * 3600 * 48000;
    WaveformSummary summary(three_hours, 4);
    EXPECT_LE(summary.memoryBytes(), size_t{9} << 20);
    EXPECT_GE(summary.blockSamples(), three_hours / WaveformSummary::kMaxBlocks);
    EXPECT_EQ(summary.stretchBegin(0), 0);
    for (int s = 1; s < 4; ++s) EXPECT_EQ(summary.stretchBegin(s) % summary.blockSamples(), 0);
}

}  // namespace
