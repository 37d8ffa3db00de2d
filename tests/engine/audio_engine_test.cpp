// The audio engine, judged by ffprobe and by decoding its outputs with the ffmpeg tool.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "engine/audio_job.h"
#include "engine/probe.h"
#include "jobs/audio_jobs.h"
#include "support/ffprobe.h"
#include "support/fixtures.h"
#include "support/run.h"

extern "C" {
#include <libavutil/log.h>
}

using testsupport::Bytes;
using testsupport::DecodedAudioSeconds;
using testsupport::FFprobe;
using testsupport::Fixture;
using testsupport::Listing;
using testsupport::RunCommand;
using testsupport::ScratchDir;
namespace fs = std::filesystem;

namespace {

const bool kQuietLibraries = [] {
    av_log_set_level(AV_LOG_QUIET);
    return true;
}();

struct Outcome {
    std::vector<uint8_t> status;
    std::string output;
    std::string first_reason;  // why the first file failed
};

Outcome RunJob(const JobRequest& request) {
    auto progress = std::make_unique<JobProgress>();
    progress->Reset(request.FileCount());
    RunAudioJob(request, *progress);
    Outcome o;
    for (int i = 0; i < request.FileCount(); ++i) o.status.push_back(progress->file_status[i]);
    EXPECT_EQ(progress->current_file, request.FileCount());
    o.output = request.output_path;
    if (request.FileCount() > 0) o.first_reason = progress->failure(0).step;
    return o;
}

JobRequest Cut(const std::string& input, int32_t from_ms, int32_t to_ms, const std::string& dir) {
    JobRequest request;
    ProbeResult probe = ProbeAudioFile(input);
    EXPECT_EQ(BuildAudioCutJob(input, probe, from_ms, to_ms, dir, "", &request), JobRefusal::kNone);
    return request;
}

// Decoding errors the ffmpeg tool reports for a file; empty when it decodes cleanly.
std::string DecodeErrors(const std::string& path) {
    auto r = RunCommand({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-f", "null", "-"});
    return r.exit_code == 0 ? r.err : "exit " + std::to_string(r.exit_code) + ": " + r.err;
}

// ---- Cuts keep codec and container, and last what was asked ----

struct CutCase {
    const char* fixture;
    double packet_s;            // the longest packet the demuxer hands over
    double header_extra_s = 0;  // what the container's duration may count beyond the sound (an MP3's
                                // Xing header counts whole frames, the skipped samples included; Ogg
                                // Opus counts its pre-skip)
};

void PrintTo(const CutCase& c, std::ostream* os) { *os << c.fixture; }

class AudioCut : public testing::TestWithParam<CutCase> {};

TEST_P(AudioCut, KeepsCodecAndContainerAndLastsTheRange) {
    const CutCase& c = GetParam();
    const std::string input = Fixture(c.fixture);
    const std::string dir = ScratchDir("audio_cut");
    Outcome o = RunJob(Cut(input, 700, 2200, dir));
    ASSERT_EQ(o.status, std::vector<uint8_t>{JOB_FILE_DONE});
    EXPECT_EQ(fs::path(o.output).filename(), fs::path(input).filename());

    auto in = FFprobe(input);
    auto out = FFprobe(o.output);
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(out.format_name, in.format_name);
    ASSERT_EQ(out.Count("audio"), 1);
    EXPECT_EQ(out.First("audio")->codec_name, in.First("audio")->codec_name);
    EXPECT_EQ(out.First("audio")->sample_rate, in.First("audio")->sample_rate);
    EXPECT_EQ(DecodeErrors(o.output), "");
    EXPECT_NEAR(DecodedAudioSeconds(o.output), 1.5, c.packet_s + 0.002);
    // What a player shows: the container's duration.
    EXPECT_NEAR(out.duration_s, 1.5, c.packet_s + c.header_extra_s + 0.05);
}

INSTANTIATE_TEST_SUITE_P(Formats, AudioCut,
                         testing::Values(CutCase{"audio_only.mp3", 0.027, 0.1}, CutCase{"tone.m4a", 0.024},
                                         CutCase{"tone.aac", 0.024}, CutCase{"tone.ogg", 0.047},
                                         CutCase{"tone.opus", 0.021, 0.27}, CutCase{"tone_pcm.wav", 0.047},
                                         CutCase{"tone_adpcm.wav", 0.371}, CutCase{"tone.wma", 0.047},
                                         CutCase{"tone.flac", 0.105}, CutCase{"tone.ac3", 0.032},
                                         CutCase{"tone.aiff", 0.047}, CutCase{"tone_audio.ts", 0.024}),
                         [](const testing::TestParamInfo<CutCase>& info) {
                             std::string name = info.param.fixture;
                             for (char& ch : name)
                                 if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

// A file named .mp3 whose audio is AAC or MP2, cut into its own folder: the output keeps the .mp3
// name the user knows, holds the real codec in its own container, and the input is left untouched.
TEST(AudioCut, MislabelledMp3KeepsItsNameAndTheInputStaysAsItWas) {
    struct Case {
        const char* fixture;
        const char* codec;
        const char* format;
    };
    for (const Case& c : {Case{"aac_named.mp3", "aac", "aac"}, Case{"mp2_named.mp3", "mp2", "mp3"}}) {
        SCOPED_TRACE(c.fixture);
        const std::string dir = ScratchDir("audio_cut_mislabelled");
        const std::string input = dir + "/song.mp3";
        fs::copy_file(Fixture(c.fixture), input);
        const std::string before = Bytes(input);

        ProbeResult probe = ProbeAudioFile(input);
        EXPECT_EQ(probe.aac_in_mp3, std::string(c.codec) == "aac");
        EXPECT_EQ(probe.mp2_in_mp3, std::string(c.codec) == "mp2");
        Outcome o = RunJob(Cut(input, 500, 2000, dir));
        ASSERT_EQ(o.status, std::vector<uint8_t>{JOB_FILE_DONE});
        EXPECT_EQ(o.output, dir + "/song(0).mp3");
        EXPECT_EQ(Listing(dir), (std::vector<std::string>{"song(0).mp3", "song.mp3"}));
        EXPECT_EQ(Bytes(input), before);
        auto out = FFprobe(o.output);
        ASSERT_EQ(out.Count("audio"), 1);
        EXPECT_EQ(out.First("audio")->codec_name, c.codec);
        EXPECT_EQ(out.format_name, c.format);
        EXPECT_EQ(DecodeErrors(o.output), "");
        EXPECT_NEAR(DecodedAudioSeconds(o.output), 1.5, 0.027);
    }
}

// The range counts on the container's clock: a file that starts at 10 s is cut at 10 s + start,
// exactly, not at whole seconds. Beeps of a pitch per second tell where the cut begins.
TEST(AudioCut, ContainerStartTimeShiftsTheRangeExactly) {
    const std::string dir = ScratchDir("audio_cut_start_time");
    const std::string input = dir + "/late.mka";
    // 1 s of 300 Hz, then 1 s of 3000 Hz, then 1 s of 5700 Hz, on a clock starting at 1.6 s.
    auto made = RunCommand({"ffmpeg", "-nostdin", "-v", "error", "-f", "lavfi", "-i",
                            "aevalsrc='sin(2*PI*300*(1+9*floor(t))*t)':s=44100:d=3", "-c:a", "flac",
                            "-frame_size", "1024", "-output_ts_offset", "1.6", input});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    Outcome o = RunJob(Cut(input, 1000, 1500, dir));
    ASSERT_EQ(o.status, std::vector<uint8_t>{JOB_FILE_DONE});
    // The output starts 1.0 s into the tone (3000 Hz); shifted by whole seconds it would start at
    // 0.4 s (300 Hz, removed by the filter).
    auto r = RunCommand(
        {"bash", "-c",
         "ffmpeg -nostdin -v info -i " + testsupport::ShellQuote(o.output) +
             " -ss 0.03 -t 0.1 -af 'highpass=f=1500,volumedetect' -f null - 2>&1 | grep mean_volume"});
    ASSERT_EQ(r.exit_code, 0) << r.out;
    double mean_db = std::atof(r.out.substr(r.out.find(':') + 1).c_str());
    EXPECT_GT(mean_db, -12.0) << r.out;
    EXPECT_NEAR(DecodedAudioSeconds(o.output), 0.5, 0.024);
}

// ---- Merge ----

TEST(AudioMerge, FourFormatsBecomeOneMp3WithTheChosenParameters) {
    const std::string dir = ScratchDir("audio_merge");
    std::vector<AudioMergeInput> list;
    double inputs_s = 0;
    for (const char* f : {"audio_only.mp3", "tone_22k_mono.wav", "tone.ogg", "tone.m4a"}) {
        const std::string path = Fixture(f);
        ProbeResult probe = ProbeAudioFile(path);
        list.push_back({path, 0, static_cast<int32_t>(probe.duration_us / 1000)});
        inputs_s += DecodedAudioSeconds(path);
    }
    JobRequest request;
    ASSERT_EQ(BuildAudioMergeJob(list, {192000, 48000, 1}, dir, "", &request), JobRefusal::kNone);
    Outcome o = RunJob(request);
    EXPECT_EQ(o.status, std::vector<uint8_t>(4, JOB_FILE_DONE));
    EXPECT_EQ(o.output, dir + "/audio_only.mp3");

    auto out = FFprobe(o.output);
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(out.format_name, "mp3");
    ASSERT_EQ(out.streams.size(), 1u);
    EXPECT_EQ(out.streams[0].codec_name, "mp3");
    EXPECT_EQ(out.streams[0].sample_rate, 48000);
    EXPECT_EQ(out.streams[0].channels, 1);
    auto rate = RunCommand(
        {"ffprobe", "-v", "error", "-show_entries", "stream=bit_rate", "-of", "default=nw=1:nk=1", o.output});
    EXPECT_EQ(std::atoi(rate.out.c_str()), 192000);
    EXPECT_EQ(DecodeErrors(o.output), "");
    // Within one MP3 frame per joint, decoded and as the Xing header tells players.
    const double tolerance = 3 * 1152 / 48000.0;
    EXPECT_NEAR(DecodedAudioSeconds(o.output), inputs_s, tolerance);
    EXPECT_NEAR(out.duration_s, inputs_s, tolerance + 1152 / 48000.0);
}

// Bad files: the probe says so, a cut of one fails with nothing written, and in a merge a bad
// first input fails the whole job (nothing written) while a bad later one fails alone.
TEST(AudioJob, HostileInputsFailWithoutLeavingFiles) {
    struct Case {
        const char* fixture;
        int probe_result;
    };
    const std::string good = Fixture("audio_only.mp3");
    for (const Case& c :
         {Case{"empty.mp3", -1}, Case{"truncated.m4a", -1}, Case{"not_media.mp4", -1},
          Case{"raw_samples.pcm", -1}, Case{"raw_video.h264", 0}, Case{"video_only.mp4", 0}}) {
        SCOPED_TRACE(c.fixture);
        const std::string bad = Fixture(c.fixture);
        ProbeResult probe = ProbeAudioFile(bad);
        EXPECT_EQ(probe.result, c.probe_result);
        EXPECT_EQ(probe.audio_stream_index, -1);
        EXPECT_EQ(probe.audio_codec_id, AV_CODEC_ID_NONE);

        const std::string dir = ScratchDir("audio_hostile");
        Outcome cut = RunJob(Cut(bad, 0, 1000, dir));
        EXPECT_EQ(cut.status, std::vector<uint8_t>{JOB_FILE_FAILED});
        EXPECT_TRUE(Listing(dir).empty());
        // Pictures without sound: the reason says what is missing.
        if (std::string(c.fixture) == "video_only.mp4") {
            EXPECT_EQ(cut.first_reason, "the input has no sound");
        }

        std::vector<AudioMergeInput> first_bad = {{bad, 0, 1000}, {good, 0, 3000}};
        JobRequest request;
        ASSERT_EQ(BuildAudioMergeJob(first_bad, {}, dir, "", &request), JobRefusal::kNone);
        EXPECT_EQ(RunJob(request).status, std::vector<uint8_t>(2, JOB_FILE_FAILED));
        EXPECT_TRUE(Listing(dir).empty());

        std::vector<AudioMergeInput> later_bad = {{good, 0, 3000}, {bad, 0, 1000}};
        ASSERT_EQ(BuildAudioMergeJob(later_bad, {}, dir, "", &request), JobRefusal::kNone);
        Outcome merged = RunJob(request);
        // A later file without audio adds nothing and is done; one that cannot be read fails.
        EXPECT_EQ(merged.status[0], JOB_FILE_DONE);
        EXPECT_EQ(merged.status[1], c.probe_result == 0 ? JOB_FILE_DONE : JOB_FILE_FAILED);
        EXPECT_EQ(DecodeErrors(merged.output), "");
        EXPECT_NEAR(DecodedAudioSeconds(merged.output), 3.0, 0.1);
    }
}

// A range that holds no sound (empty, backwards, past the end) fails and leaves no file.
TEST(AudioCut, RangeWithoutSoundFailsAndLeavesNoFile) {
    const std::string input = Fixture("tone.ogg");
    for (auto [from_ms, to_ms] : {std::pair{1000, 1000}, std::pair{2000, 1000}, std::pair{5000, 6000}}) {
        SCOPED_TRACE(std::to_string(from_ms) + "-" + std::to_string(to_ms));
        const std::string dir = ScratchDir("audio_cut_empty");
        EXPECT_EQ(RunJob(Cut(input, from_ms, to_ms, dir)).status, std::vector<uint8_t>{JOB_FILE_FAILED});
        EXPECT_TRUE(Listing(dir).empty());
    }
}

// Paths with CJK characters and spaces, in and out.
TEST(AudioJob, CjkAndSpacePaths) {
    const std::string dir = ScratchDir("audio_paths") + "/音乐 文件夹";
    fs::create_directories(dir);
    const std::string a = dir + "/第一 首.mp3", b = dir + "/zweites Lied.ogg";
    fs::copy_file(Fixture("audio_only.mp3"), a);
    fs::copy_file(Fixture("tone.ogg"), b);
    EXPECT_EQ(ProbeAudioFile(a).result, 0);

    Outcome cut = RunJob(Cut(a, 0, 1000, dir));
    EXPECT_EQ(cut.status, std::vector<uint8_t>{JOB_FILE_DONE});
    EXPECT_EQ(cut.output, dir + "/第一 首(0).mp3");
    EXPECT_EQ(DecodeErrors(cut.output), "");

    JobRequest request;
    ASSERT_EQ(BuildAudioMergeJob({{a, 0, 3000}, {b, 0, 3000}}, {}, dir, "合并 结果", &request),
              JobRefusal::kNone);
    Outcome merged = RunJob(request);
    EXPECT_EQ(merged.status, std::vector<uint8_t>(2, JOB_FILE_DONE));
    EXPECT_EQ(merged.output, dir + "/合并 结果.mp3");
    EXPECT_NEAR(DecodedAudioSeconds(merged.output), 6.0, 0.1);
}

}  // namespace
