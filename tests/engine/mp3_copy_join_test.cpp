// The MP3 join without re-encoding, judged by the ffmpeg tool: clean decoding, length, the sound at the
// joints, the frames themselves, the length players read from the header, and the refusal of files
// that differ.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <sstream>

#include "engine/audio_job.h"
#include "jobs/audio_jobs.h"
#include "support/ffprobe.h"
#include "support/fixtures.h"
#include "support/pcm.h"
#include "support/run.h"

extern "C" {
#include <libavutil/log.h>
}

using testsupport::DecodeWithFfmpeg;
using testsupport::Fixture;
using testsupport::RunCommand;
using testsupport::ScratchDir;
namespace fs = std::filesystem;

namespace {

const bool kQuietLibraries = [] {
    av_log_set_level(AV_LOG_QUIET);
    return true;
}();

std::vector<AudioMergeInput> Checked(const std::vector<std::string>& fixtures) {
    std::vector<AudioMergeInput> list;
    for (const std::string& f : fixtures) list.push_back({Fixture(f), 0, 1000});
    return list;
}

AudioOutputSettings Copy() {
    AudioOutputSettings settings;
    settings.copy = true;
    return settings;
}

// The compressed frames as the ffmpeg tool's demuxer hands them over (no tags, no Xing frame), one
// hash each.
std::vector<std::string> FrameHashes(const std::string& path) {
    auto r = RunCommand({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:a", "-c", "copy", "-f",
                         "framemd5", "-"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    std::vector<std::string> hashes;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] != '#') hashes.push_back(line.substr(line.rfind(',') + 1));
    return hashes;
}

long long PacketCount(const std::string& path) {
    auto r = RunCommand({"ffprobe", "-v", "error", "-count_packets", "-select_streams", "a:0",
                         "-show_entries", "stream=nb_read_packets", "-of", "default=nw=1:nk=1", path});
    return std::atoll(r.out.c_str());
}

// Signal to noise of `out` from `out_at` against `ref` from `ref_at`, over `frames` frames, with
// `silent` frames of `out` before that which should be silent; sums of squares added to *signal and
// *noise.
void AddErrors(const testsupport::Pcm& out, int64_t out_at, const testsupport::Pcm& ref, int64_t ref_at,
               int64_t frames, double* signal, double* noise) {
    const int c = out.channels;
    for (int64_t i = 0; i < frames * c; ++i) {
        const double r = ref_at < 0 ? 0.0 : ref.samples[ref_at * c + i];
        const double d = out.samples[out_at * c + i] - r;
        *signal += r * r;
        *noise += d * d;
    }
}

struct JoinCase {
    const char* name;
    std::vector<std::string> inputs;
    int rate;
    int channels;
    int frame_samples;
};

class Mp3CopyJoinOf : public ::testing::TestWithParam<JoinCase> {};

// At each joint the earlier file's sound is followed, after less than one frame of silence, by the
// later file's: decoding is clean, the length is the sum within one frame per joint, the sound around
// each joint is the inputs' own, and every frame away from the joints is an input's frame unchanged.
TEST_P(Mp3CopyJoinOf, JoinsTheSoundsWithinOneFramePerJointCopyingTheRest) {
    const JoinCase& c = GetParam();
    const std::string dir = ScratchDir("mp3_copy_join");
    JobRequest request;
    Mp3JoinCheck check;
    ASSERT_EQ(BuildAudioMergeJob(Checked(c.inputs), Copy(), dir, "", &request, &check), JobRefusal::kNone);
    EXPECT_EQ(check.problem, Mp3JoinProblem::kNone);
    EXPECT_FALSE(request.reencode);
    const int count = static_cast<int>(c.inputs.size());
    auto progress = std::make_unique<JobProgress>();
    progress->Reset(count);
    RunAudioJob(request, *progress);
    for (int i = 0; i < count; ++i) EXPECT_EQ(progress->file_status[i], JOB_FILE_DONE) << i;
    EXPECT_EQ(progress->current_file, count);

    auto errors =
        RunCommand({"ffmpeg", "-nostdin", "-v", "warning", "-i", request.output_path, "-f", "null", "-"});
    EXPECT_EQ(errors.exit_code, 0);
    EXPECT_EQ(errors.err, "");

    std::vector<testsupport::Pcm> decoded;
    int64_t sum = 0;
    for (const std::string& f : c.inputs) {
        decoded.push_back(DecodeWithFfmpeg(Fixture(f), c.rate, c.channels));
        sum += decoded.back().frames();
    }
    const testsupport::Pcm out = DecodeWithFfmpeg(request.output_path, c.rate, c.channels);
    const int64_t joints = count - 1;
    EXPECT_GE(out.frames(), sum);
    EXPECT_LT(out.frames(), sum + joints * c.frame_samples);

    // Each joint: the silence that best lines the later file up, and the sound 50 ms either side of
    // it against the inputs' own decodings.
    const int64_t half = c.rate / 20;
    int64_t at = decoded[0].frames();  // where the earlier file's sound ends in the output
    for (int k = 1; k < count && out.frames() >= sum; ++k) {
        const testsupport::Pcm& a = decoded[k - 1];
        const testsupport::Pcm& b = decoded[k];
        const int64_t before = std::min(half, a.frames());
        const int64_t after = std::min(half, b.frames());
        double best_snr = -1e9;
        int64_t best_gap = 0;
        for (int64_t gap = 0; gap < c.frame_samples && at + gap + after <= out.frames(); ++gap) {
            double signal = 0, noise = 0;
            AddErrors(out, at - before, a, a.frames() - before, before, &signal, &noise);
            AddErrors(out, at, a, -1, gap, &signal, &noise);
            AddErrors(out, at + gap, b, 0, after, &signal, &noise);
            const double snr = 10 * std::log10(signal / std::max(noise, 1e-9));
            if (snr > best_snr) {
                best_snr = snr;
                best_gap = gap;
            }
        }
        // A reservoir glitch or a misplaced frame costs far more; LAME's re-encoding of a pure tone
        // at MPEG-2's highest rate (160 kbps) gives 26 dB, at MPEG-1's over 60.
        EXPECT_GE(best_snr, 25.0) << "joint " << k;
        at += best_gap + b.frames();
    }
    EXPECT_LE(at, out.frames());

    // Every input's frames, less a few at each joint, appear in order and unchanged; no more than a
    // few new frames stand at each joint.
    const std::vector<std::string> frames = FrameHashes(request.output_path);
    constexpr size_t kAtJoint = 8;
    size_t pos = 0, copied = 0;
    for (int k = 0; k < count; ++k) {
        const std::vector<std::string> in = FrameHashes(Fixture(c.inputs[k]));
        if (in.size() <= 2 * kAtJoint) continue;
        size_t skip = 0;
        size_t found = frames.size();
        for (; skip <= kAtJoint && found == frames.size(); ++skip)
            found = std::find(frames.begin() + pos, frames.end(), in[skip]) - frames.begin();
        --skip;
        ASSERT_LT(found, frames.size()) << c.inputs[k];
        EXPECT_LE(found - pos, 2 * kAtJoint) << c.inputs[k];
        if (k == 0) {
            EXPECT_EQ(found, 0u);
        }
        size_t run = 0;
        while (found + run < frames.size() && skip + run < in.size() && frames[found + run] == in[skip + run])
            ++run;
        EXPECT_GE(skip + run + kAtJoint, in.size()) << c.inputs[k];
        if (k == count - 1) {
            EXPECT_EQ(skip + run, in.size());
        }
        pos = found + run;
        copied += run;
    }
    EXPECT_EQ(pos, frames.size());
    EXPECT_LE(frames.size() - copied, kAtJoint * static_cast<size_t>(joints));

    // Players read the length from the header: all the frames, not an estimate from the bit rate.
    auto probed = testsupport::FFprobe(request.output_path);
    EXPECT_EQ(PacketCount(request.output_path), static_cast<long long>(frames.size()));
    EXPECT_NEAR(probed.duration_s, frames.size() * c.frame_samples / static_cast<double>(c.rate), 1e-4);
}

INSTANTIATE_TEST_SUITE_P(
    Mp3CopyJoin, Mp3CopyJoinOf,
    ::testing::Values(JoinCase{"Mpeg1StereoCbr", {"join_a.mp3", "join_b.mp3", "join_c.mp3"}, 44100, 2, 1152},
                      JoinCase{"Mpeg2MonoVbrAndAShortFile",
                               {"join_22k_a.mp3", "join_22k_short.mp3", "join_22k_b.mp3", "join_22k_a.mp3"},
                               22050,
                               1,
                               576}),
    [](const ::testing::TestParamInfo<JoinCase>& info) { return std::string(info.param.name); });

// Files that differ are refused before anything starts, naming the first that differs and how.
TEST(Mp3CopyJoin, RefusesFilesThatDifferNamingTheFirstAndWritesNothing) {
    struct Case {
        std::vector<std::string> inputs;
        Mp3JoinProblem problem;
        int file;
        int value;
        int expected;
    };
    for (const Case& c :
         {Case{{"join_a.mp3", "join_b.mp3", "join_mono.mp3", "join_48k.mp3"},
               Mp3JoinProblem::kChannels,
               2,
               1,
               2},
          Case{{"join_a.mp3", "join_48k.mp3", "join_mono.mp3"}, Mp3JoinProblem::kSampleRate, 1, 48000, 44100},
          Case{{"join_a.mp3", "tone.m4a"}, Mp3JoinProblem::kUnreadable, 1, 0, 0},
          Case{{"tone_pcm.wav", "join_a.mp3"}, Mp3JoinProblem::kUnreadable, 0, 0, 0}}) {
        SCOPED_TRACE(c.inputs[c.file]);
        const std::string dir = ScratchDir("mp3_copy_join_refused");
        JobRequest request;
        Mp3JoinCheck check;
        EXPECT_EQ(BuildAudioMergeJob(Checked(c.inputs), Copy(), dir, "", &request, &check),
                  JobRefusal::kCannotCopy);
        EXPECT_EQ(check.problem, c.problem);
        EXPECT_EQ(check.file, c.file);
        EXPECT_EQ(check.path, Fixture(c.inputs[c.file]));
        EXPECT_EQ(check.value, c.value);
        EXPECT_EQ(check.expected, c.expected);
        EXPECT_TRUE(fs::is_empty(dir));
    }
}

}  // namespace
