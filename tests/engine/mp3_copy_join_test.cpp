// The MP3 join without re-encoding, judged by the ffmpeg tool: clean decoding, length, the frames
// themselves, the length players read from the header, and the refusal of files that differ.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

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

// The compressed frames as the ffmpeg tool's demuxer hands them over (no tags, no Xing frame).
std::string Frames(const std::string& path) {
    auto r = RunCommand(
        {"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:a", "-c", "copy", "-f", "data", "-"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return r.out;
}

long long PacketCount(const std::string& path) {
    auto r = RunCommand({"ffprobe", "-v", "error", "-count_packets", "-select_streams", "a:0",
                         "-show_entries", "stream=nb_read_packets", "-of", "default=nw=1:nk=1", path});
    return std::atoll(r.out.c_str());
}

TEST(Mp3CopyJoin, CopiesEveryFrameUnderOneHeaderAndLastsTheSum) {
    const std::vector<std::string> inputs = {"join_a.mp3", "join_b.mp3", "join_c.mp3"};
    const std::string dir = ScratchDir("mp3_copy_join");
    JobRequest request;
    Mp3JoinCheck check;
    ASSERT_EQ(BuildAudioMergeJob(Checked(inputs), Copy(), dir, "", &request, &check), JobRefusal::kNone);
    EXPECT_EQ(check.problem, Mp3JoinProblem::kNone);
    EXPECT_FALSE(request.reencode);
    auto progress = std::make_unique<JobProgress>();
    progress->Reset(3);
    RunAudioJob(request, *progress);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(progress->file_status[i], JOB_FILE_DONE) << i;
    EXPECT_EQ(progress->current_file, 3);

    auto errors =
        RunCommand({"ffmpeg", "-nostdin", "-v", "error", "-i", request.output_path, "-f", "null", "-"});
    EXPECT_EQ(errors.exit_code, 0);
    EXPECT_EQ(errors.err, "");

    std::string body;
    int64_t sum = 0;
    long long frames = 0;
    for (const std::string& f : inputs) {
        body += Frames(Fixture(f));
        sum += DecodeWithFfmpeg(Fixture(f), 44100, 2).frames();
        frames += PacketCount(Fixture(f));
    }
    EXPECT_TRUE(Frames(request.output_path) == body) << "the joined frames differ from the inputs' frames";

    // Each joint keeps the earlier file's padding and the later file's encoder delay (together less
    // than two frames); the first file's delay and the last file's padding are skipped.
    const int64_t decoded = DecodeWithFfmpeg(request.output_path, 44100, 2).frames();
    EXPECT_GE(decoded, sum);
    EXPECT_LE(decoded, sum + 2 * 2 * 1152);
    // Players read the length from the header: all the frames, not an estimate from the bit rate.
    auto probed = testsupport::FFprobe(request.output_path);
    EXPECT_EQ(PacketCount(request.output_path), frames);
    EXPECT_NEAR(probed.duration_s, frames * 1152 / 44100.0, 1e-4);
}

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
