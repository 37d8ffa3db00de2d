// The audio tool's job builders: refusals, output names, the merge's total length.

#include "jobs/audio_jobs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "engine/audio_job.h"
#include "support/fixtures.h"

using testsupport::ScratchDir;
namespace fs = std::filesystem;

namespace {

void Touch(const std::string& path, const std::string& content = "x") { std::ofstream(path) << content; }

TEST(AudioJobBuilder, RefusalsComeInTheCommandsOrder) {
    const std::string dir = ScratchDir("audio_builder_refusals");
    const std::string missing = dir + "/no such folder";
    const std::string locked = dir + "/locked";
    fs::create_directories(locked);
    chmod(locked.c_str(), 0555);
    const bool root = access(locked.c_str(), W_OK) == 0;
    auto entry = [&](const std::string& name) { return AudioMergeInput{dir + "/" + name, 0, 1000}; };
    JobRequest request;

    EXPECT_EQ(BuildAudioCutJob("", {}, 0, 1000, dir, "", &request), JobRefusal::kNoFile);
    EXPECT_EQ(BuildAudioCutJob("a.mp3", {}, 0, 1000, "\\", "", &request), JobRefusal::kSilent);
    EXPECT_EQ(BuildAudioCutJob("a.mp3", {}, 0, 1000, missing, "", &request),
              JobRefusal::kOutputFolderMissing);
    if (!root)
        EXPECT_EQ(BuildAudioCutJob("a.mp3", {}, 0, 1000, locked, "", &request),
                  JobRefusal::kOutputFolderNotWritable);

    struct MergeCase {
        std::vector<AudioMergeInput> inputs;
        std::string folder;
        JobRefusal refusal;
    };
    std::vector<AudioMergeInput> too_many(MAX_JOB_FILES + 1, entry("a.mp3"));
    for (const MergeCase& c : {
             MergeCase{{}, dir, JobRefusal::kNoFile},
             MergeCase{{entry("b.mp3")}, dir, JobRefusal::kTooFewFiles},
             MergeCase{too_many, dir, JobRefusal::kTooManyFiles},
             MergeCase{{entry("a.mp3"), entry("b.mp3")}, "\\", JobRefusal::kSilent},
             MergeCase{{entry("a.mp3"), entry("b.mp3")}, missing, JobRefusal::kOutputFolderMissing},
             MergeCase{{entry("a.mp3"), entry("noextension")}, dir, JobRefusal::kSilent},
         }) {
        EXPECT_EQ(BuildAudioMergeJob(c.inputs, {}, c.folder, "", &request), c.refusal)
            << c.inputs.size() << " " << c.folder;
    }
    // Nothing of the folder check stays behind.
    EXPECT_FALSE(fs::exists(dir + "/" + kAudioFolderProbeName));
    chmod(locked.c_str(), 0755);
}

// A user's own file that happens to carry the probe file's name is neither opened nor deleted.
TEST(AudioJobBuilder, FolderCheckLeavesAFileOfItsProbeNameAlone) {
    const std::string dir = ScratchDir("audio_builder_probe_name");
    const std::string theirs = dir + "/" + kAudioFolderProbeName;
    Touch(theirs, "the user's own song");
    EXPECT_EQ(CheckAudioOutputFolder(dir), JobRefusal::kNone);
    std::ifstream in(theirs);
    std::string content((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(content, "the user's own song");
}

TEST(AudioJobBuilder, CutIsNamedAfterTheFileWithAUniqueName) {
    const std::string dir = ScratchDir("audio_builder_cut");
    Touch(dir + "/song.mp3");
    Touch(dir + "/song(0).mp3");
    JobRequest request;
    ASSERT_EQ(BuildAudioCutJob(dir + "/song.mp3", {}, 1500, 4250, dir, "", &request), JobRefusal::kNone);
    EXPECT_EQ(request.output_path, dir + "/song(1).mp3");
    ASSERT_EQ(request.inputs.size(), 1u);
    EXPECT_EQ(request.inputs[0].path, dir + "/song.mp3");
    EXPECT_FALSE(request.merge);
    EXPECT_FALSE(request.reencode);
    EXPECT_TRUE(request.audio_only);
    EXPECT_DOUBLE_EQ(request.inputs[0].start_s, 1.5);
    EXPECT_DOUBLE_EQ(request.inputs[0].length_s, 2.75);
    EXPECT_EQ(request.output_format, "");

    ASSERT_EQ(BuildAudioCutJob("/elsewhere/Take.FLAC", {}, 0, 1, dir, "mine", &request), JobRefusal::kNone);
    EXPECT_EQ(request.output_path, dir + "/mine.FLAC");
    // Without an extension there is no container to write: the job's input then fails.
    ASSERT_EQ(BuildAudioCutJob("/elsewhere.d/noext", {}, 0, 1, dir, "", &request), JobRefusal::kNone);
    EXPECT_EQ(request.output_path, "");
    auto progress = std::make_unique<JobProgress>();
    progress->Reset(1);
    RunAudioJob(request, *progress);
    EXPECT_EQ(progress->file_status[0], JOB_FILE_FAILED);

    ProbeResult aac;
    aac.aac_in_mp3 = true;
    ASSERT_EQ(BuildAudioCutJob(dir + "/song.mp3", aac, 0, 1, dir, "", &request), JobRefusal::kNone);
    EXPECT_EQ(request.output_format, "adts");
    EXPECT_EQ(request.output_path, dir + "/song(1).mp3");
}

TEST(AudioJobBuilder, MergeNamedAfterTheFirstWithTotalInWholeSeconds) {
    const std::string dir = ScratchDir("audio_builder_merge");
    Touch(dir + "/second.mp3");
    std::vector<AudioMergeInput> inputs = {
        {"/music/second.ogg", 400, 11000},  // 10.6 s
        {"/music/third.m4a", 0, 20700},     // 20.7 s
        {"/music/fourth.mp3", 100, 6000},   // 5.9 s
    };
    JobRequest request;
    ASSERT_EQ(BuildAudioMergeJob(inputs, {192000, 48000, 1}, dir, "", &request), JobRefusal::kNone);
    ASSERT_EQ(request.inputs.size(), 3u);
    EXPECT_EQ(request.inputs[0].path, "/music/second.ogg");
    EXPECT_EQ(request.inputs[2].path, "/music/fourth.mp3");
    EXPECT_EQ(request.merge_total_s, 35);
    EXPECT_EQ(request.output_path, dir + "/second(0).mp3");
    EXPECT_TRUE(request.merge && request.reencode && request.audio_only);
    EXPECT_EQ(request.output.audio_codec_id, AV_CODEC_ID_MP3);
    EXPECT_EQ(request.output.audio_bit_rate, 192000);
    EXPECT_EQ(request.output.sample_rate, 48000);
    EXPECT_EQ(request.output.channels, 1);
}

}  // namespace
