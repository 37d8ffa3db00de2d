// What a job leaves in its output folder: a complete file under a free name, or nothing. Outputs are
// judged by ffprobe and by decoding with the ffmpeg tool.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "engine/audio_job.h"
#include "engine/convert_engine.h"
#include "engine/probe.h"
#include "support/ffprobe.h"
#include "support/fixtures.h"
#include "support/tmpfs.h"

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/log.h>
}

using testsupport::DecodedAudioSeconds;
using testsupport::FFprobe;
using testsupport::Fixture;
using testsupport::ScratchDir;
namespace fs = std::filesystem;

namespace {

const bool kQuietLibraries = [] {
    av_log_set_level(AV_LOG_QUIET);
    return true;
}();

enum class Engine { kVideo, kAudio };

struct Outcome {
    uint8_t status = JOB_FILE_PENDING;
    std::string reason;
    std::string published;
};

Outcome RunJob(const JobRequest& request, Engine engine = Engine::kVideo) {
    auto progress = std::make_unique<JobProgress>();
    progress->Reset(request.FileCount());
    if (engine == Engine::kAudio)
        RunAudioJob(request, *progress);
    else
        RunConvertJob(request, *progress);
    Outcome o;
    o.status = progress->file_status[request.FileCount() - 1];
    for (int i = 0; i < request.FileCount(); ++i)
        if (progress->file_status[i] == JOB_FILE_FAILED) o.reason = FailureText(progress->failure(i));
    o.published = progress->published_path();
    return o;
}

JobRequest Cut(const std::string& input, double start_s, double length_s, const std::string& output,
               bool reencode) {
    JobRequest r;
    r.inputs = {{input, start_s, length_s}};
    r.output_path = output;
    r.reencode = reencode;
    r.output.video_codec_id = AV_CODEC_ID_H264;
    r.output.audio_codec_id = AV_CODEC_ID_AAC;
    r.output.video_bit_rate = 1500000;
    r.output.audio_bit_rate = 128000;
    r.output.sample_rate = 44100;
    r.output.channels = 2;
    return r;
}

TEST(JobOutput, AFullDiskFailsTheJobAndLeavesNoFile) {
    const std::string dir = ScratchDir("job_full_disk");
    testsupport::SmallTmpfs disk(dir, 256);
    if (!disk.mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
    const std::string input = Fixture("long_20s.mp4");
    struct Case {
        const char* name;
        JobRequest request;
        Engine engine;
    };
    JobRequest merge;
    merge.inputs = {{input, 0, 0}, {input, 0, 0}};
    merge.merge = true;
    merge.output_path = dir + "/merged.mp3";
    merge.output.audio_codec_id = AV_CODEC_ID_MP3;
    merge.output.audio_bit_rate = 320000;
    merge.output.sample_rate = 44100;
    merge.output.channels = 2;
    const Case cases[] = {
        {"re-encoded cut", Cut(input, 0, 20, dir + "/cut.mp4", true), Engine::kVideo},
        {"direct cut", Cut(input, 0, 20, dir + "/copy.mp4", false), Engine::kVideo},
        {"audio merge", merge, Engine::kAudio},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome o = RunJob(c.request, c.engine);
        EXPECT_EQ(o.status, JOB_FILE_FAILED);
        EXPECT_NE(o.reason.find("No space left on device"), std::string::npos) << o.reason;
        EXPECT_TRUE(o.published.empty());
        // The partial file is gone, and the disk is free again.
        EXPECT_TRUE(fs::is_empty(dir));
        EXPECT_GT(fs::space(dir).available, 200u * 1024);
    }
}

TEST(JobOutput, ACutWhoseRangeHoldsNothingFailsAndLeavesNoFile) {
    // The header claims 10 s; the data ends after one.
    const std::string input = Fixture("truncated_tenth.mp3");
    struct Case {
        const char* name;
        bool reencode;
        Engine engine;
        const char* extension;
    };
    for (const Case& c :
         {Case{"re-encoded", true, Engine::kVideo, ".mp4"}, Case{"direct", false, Engine::kVideo, ".mp3"}}) {
        SCOPED_TRACE(c.name);
        const std::string dir = ScratchDir("job_empty_range");
        const Outcome o = RunJob(Cut(input, 2, 2, dir + "/cut" + c.extension, c.reencode), c.engine);
        EXPECT_EQ(o.status, JOB_FILE_FAILED);
        EXPECT_EQ(o.reason, "the range holds no sound");
        EXPECT_TRUE(fs::is_empty(dir));
    }
}

TEST(JobOutput, ARangeToTheEstimatedEndCopiesToTheEndOfTheData) {
    // FFmpeg estimates this VBR file's length from its first frames, well short of what it holds.
    const std::string input = Fixture("vbr_noxing.mp3");
    const double held_s = DecodedAudioSeconds(input);
    ASSERT_GT(held_s, 9.9);
    const auto probe = ProbeAudioFile(input);
    ASSERT_LT(probe.duration_us / 1e6, held_s - 1);
    const int32_t end_ms = static_cast<int32_t>(probe.duration_us / 1000);

    struct Case {
        const char* name;
        bool reencode;
        Engine engine;
        const char* extension;
        double start_s;
        double tolerance_s;
    };
    for (const Case& c : {Case{"re-encoded", true, Engine::kVideo, ".mp4", 0, 0.1},
                          Case{"direct", false, Engine::kVideo, ".mp3", 0, 0.1},
                          // The audio tool's cut counts the frames, to the sample.
                          Case{"exact, whole", false, Engine::kAudio, ".mp3", 0, 0.001},
                          Case{"exact, from 4 s", false, Engine::kAudio, ".mp3", 4, 0.001}}) {
        SCOPED_TRACE(c.name);
        const std::string dir = ScratchDir("job_vbr_end");
        const Outcome o = RunJob(
            Cut(input, c.start_s, end_ms / 1000.0 - c.start_s, dir + "/whole" + c.extension, c.reencode),
            c.engine);
        ASSERT_EQ(o.status, JOB_FILE_DONE) << o.reason;
        EXPECT_NEAR(DecodedAudioSeconds(o.published), held_s - c.start_s, c.tolerance_s);
    }
    // A range that ends before the estimated end still ends where it was asked to.
    const std::string dir = ScratchDir("job_vbr_part");
    const Outcome part = RunJob(Cut(input, 0, 3, dir + "/part.mp3", false), Engine::kAudio);
    ASSERT_EQ(part.status, JOB_FILE_DONE) << part.reason;
    EXPECT_NEAR(DecodedAudioSeconds(part.published), 3, 0.1);
}

TEST(JobOutput, ANameTakenWhileTheJobRanGivesTheNextFreeNameAndSaysSo) {
    const std::string dir = ScratchDir("job_name_taken");
    const std::string input = Fixture("video_h264_aac.mp4");
    // Chosen free, then taken by someone else before the job publishes.
    JobRequest request = Cut(input, 0, 2, dir + "/clip.mp4", false);
    { std::ofstream(dir + "/clip.mp4") << "someone else's"; }
    const Outcome o = RunJob(request);
    ASSERT_EQ(o.status, JOB_FILE_DONE) << o.reason;
    EXPECT_EQ(o.published, dir + "/clip(0).mp4");
    EXPECT_EQ(fs::file_size(dir + "/clip.mp4"), 14u);
    EXPECT_TRUE(FFprobe(o.published).ok);

    // Two jobs that chose the same free name at once both finish, each in its own file.
    Outcome first, second;
    const JobRequest same = Cut(input, 0, 2, dir + "/pair.mp4", true);
    std::thread a([&] { first = RunJob(same); });
    std::thread b([&] { second = RunJob(same); });
    a.join();
    b.join();
    ASSERT_EQ(first.status, JOB_FILE_DONE) << first.reason;
    ASSERT_EQ(second.status, JOB_FILE_DONE) << second.reason;
    EXPECT_NE(first.published, second.published);
    for (const std::string& path : {first.published, second.published}) {
        const auto probe = FFprobe(path);
        ASSERT_TRUE(probe.ok) << path;
        EXPECT_NEAR(probe.duration_s, 2, 0.2);
    }
}

}  // namespace
