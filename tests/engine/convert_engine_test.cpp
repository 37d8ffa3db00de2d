// The conversion engine, judged by ffprobe and by decoding its outputs with the ffmpeg tool.

#include "engine/convert_engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>

#include "common/setting_texts.h"
#include "engine/probe.h"
#include "jobs/output_presets.h"
#include "support/ffprobe.h"
#include "support/fixtures.h"
#include "support/run.h"

using testsupport::CountDecodedFrames;
using testsupport::DecodedAudioSeconds;
using testsupport::FFprobe;
using testsupport::Fixture;
using testsupport::ProbedFile;
using testsupport::RunCommand;
using testsupport::ScratchDir;
namespace fs = std::filesystem;

extern "C" {
#include <libavutil/log.h>
}

namespace {

// FFmpeg's encoder statistics would bury the test output.
const bool kQuietLibraries = [] {
    av_log_set_level(AV_LOG_ERROR);
    return true;
}();

struct OutputSettings {
    int preset = 1;
    int width = 176, height = 144;
    const char* frame_rate_text = "25.0 fps";
    const char* video_quality = "1500 kbps";
    const char* audio_quality = "128 kbps";
    const char* sample_rate = "44100 Hz";
    int channels = 2;
};

// A request and its progress channel, as the cut and merge commands make them.
struct Job {
    JobRequest request;
    JobProgress progress;
    void Run() {
        progress.Reset(request.FileCount());
        RunConvertJob(request, progress);
    }
};

std::unique_ptr<Job> NewJob(const std::vector<std::string>& inputs, const std::string& output, bool merge,
                            bool reencode) {
    auto job = std::make_unique<Job>();
    for (const std::string& in : inputs) job->request.inputs.push_back({in});
    job->request.output_path = output;
    job->request.merge = merge;
    job->request.reencode = reencode;
    return job;
}

void ApplySettings(Job& job, const OutputSettings& s) {
    const OutputPreset& p = kOutputPresets[s.preset];
    OutputParameters& out = job.request.output;
    out.video_codec_id = p.video_codec_id;
    out.audio_codec_id = p.audio_codec_id;
    out.video_bit_rate = BitRateFromText(s.video_quality);
    out.width = s.width;
    out.height = s.height;
    out.frame_rate = FrameRateFromText(s.frame_rate_text);
    out.audio_bit_rate = BitRateFromText(s.audio_quality);
    out.sample_rate = SampleRateFromText(s.sample_rate);
    out.channels = s.channels;
}

std::string OutputPath(const std::string& dir, const std::string& name, int preset) {
    return dir + "/" + name + ExtensionFromEntryText(kOutputPresets[preset].entry_text);
}

double ParseRate(const std::string& rate) {
    auto slash = rate.find('/');
    if (slash == std::string::npos) return std::atof(rate.c_str());
    double den = std::atof(rate.c_str() + slash + 1);
    return den == 0 ? 0 : std::atof(rate.c_str()) / den;
}

// Per decoded video frame: its presentation time and the MD5 of its pixels (ffmpeg's framemd5).
struct DecodedFrame {
    double time_s;
    std::string md5;
};
std::vector<DecodedFrame> FrameHashes(const std::string& path,
                                      const std::vector<std::string>& input_options = {}) {
    std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-v", "error"};
    argv.insert(argv.end(), input_options.begin(), input_options.end());
    for (const char* a :
         {"-i", path.c_str(), "-map", "0:v:0", "-vsync", "passthrough", "-f", "framemd5", "-"})
        argv.push_back(a);
    auto r = RunCommand(argv);
    std::vector<DecodedFrame> frames;
    std::istringstream in(r.out);
    std::string line;
    double tb = 0;
    while (std::getline(in, line)) {
        if (line.rfind("#tb 0:", 0) == 0) tb = ParseRate(line.substr(7));
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields;
        std::stringstream ls(line);
        std::string f;
        while (std::getline(ls, f, ',')) fields.push_back(f.substr(f.find_first_not_of(' ')));
        if (fields.size() < 6) continue;
        frames.push_back({std::atof(fields[2].c_str()) * tb, fields[5]});
    }
    return frames;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// ---- Re-encoded cuts and merges for every preset ------------------------------------------------

struct PresetCase {
    int preset;
    const char* format;  // ffprobe's format name
    const char* video_codec;
    const char* audio_codec;
    const char* input;  // cut input
    double from_s, to_s;
    int width, height;
    const char* frame_rate_text;
    double fps;
};

const PresetCase kPresetCases[] = {
    {0, "mov,mp4,m4a,3gp,3g2,mj2", "mpeg4", "aac", "video_h264_vorbis.mkv", 0.5, 2.5, 176, 144, "25.0 fps",
     25},
    {1, "mov,mp4,m4a,3gp,3g2,mj2", "h264", "aac", "video_mpeg4_mp3.avi", 1.0, 2.6, 320, 240, "29.97 fps",
     30000.0 / 1001},
    {2, "avi", "mpeg4", "mp3", "video_h264_aac.mp4", 0.0, 2.0, 352, 288, "15.0 fps", 15},
    {3, "flv", "flv1", "mp3", "video_flv1_mp3.flv", 0.4, 2.4, 320, 240, "20.0 fps", 20},
    {4, "asf", "wmv2", "wmav2", "mjpeg_pcm.avi", 0.5, 1.9, 240, 180, "30.0 fps", 30},
    {5, "mov,mp4,m4a,3gp,3g2,mj2", "mpeg4", "aac", "merge_a.mp4", 0.3, 1.8, 160, 120, "24.0 fps", 24},
    {6, "matroska,webm", "h264", "vorbis", "video_h264_aac.mp4", 1.2, 2.8, 320, 240, "12.0 fps", 12},
};

class PresetTest : public ::testing::TestWithParam<PresetCase> {};

void ExpectStreams(const ProbedFile& probed, const PresetCase& c) {
    ASSERT_TRUE(probed.ok);
    EXPECT_EQ(probed.format_name, c.format);
    const auto* v = probed.First("video");
    const auto* a = probed.First("audio");
    ASSERT_NE(v, nullptr);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(v->codec_name, c.video_codec);
    EXPECT_EQ(a->codec_name, c.audio_codec);
    EXPECT_EQ(v->width, c.width);
    EXPECT_EQ(v->height, c.height);
    EXPECT_EQ(a->sample_rate, 44100);
    EXPECT_EQ(a->channels, 2);
}

TEST_P(PresetTest, ReencodedCutHasTheRequestedStreamsAndLength) {
    const PresetCase& c = GetParam();
    std::string out = OutputPath(ScratchDir("cut_preset_" + std::to_string(c.preset)), "cut", c.preset);
    auto job = NewJob({Fixture(c.input)}, out, false, true);
    job->request.inputs[0].start_s = c.from_s;
    job->request.inputs[0].length_s = c.to_s - c.from_s;
    ApplySettings(*job, {c.preset, c.width, c.height, c.frame_rate_text});
    job->Run();

    EXPECT_EQ(job->progress.file_status[0], JOB_FILE_DONE);
    EXPECT_EQ(job->progress.current_file, 1);
    ProbedFile probed = FFprobe(out);
    ExpectStreams(probed, c);
    auto frames = FrameHashes(out);
    double expected_frames = (c.to_s - c.from_s) * c.fps;
    EXPECT_NEAR(static_cast<double>(frames.size()), expected_frames, 1.0) << out;
    ASSERT_GE(frames.size(), 2u);
    // Evenly spaced at the requested rate.
    double spacing = (frames.back().time_s - frames.front().time_s) / static_cast<double>(frames.size() - 1);
    EXPECT_NEAR(spacing, 1.0 / c.fps, 0.002) << out;
    double video_s = static_cast<double>(frames.size()) / c.fps;
    EXPECT_NEAR(DecodedAudioSeconds(out), video_s, 0.1) << out;
}

TEST_P(PresetTest, ReencodedMergeLastsTheSumOfItsInputs) {
    const PresetCase& c = GetParam();
    std::string out = OutputPath(ScratchDir("merge_preset_" + std::to_string(c.preset)), "merge", c.preset);
    // Three sizes, rates, codecs and audio formats: 3 s + 2 s + 3 s.
    auto job =
        NewJob({Fixture("video_h264_aac.mp4"), Fixture("mjpeg_pcm.avi"), Fixture("video_h264_vorbis.mkv")},
               out, true, true);
    job->request.merge_total_s = 8;
    ApplySettings(*job, {c.preset, c.width, c.height, c.frame_rate_text});
    job->Run();

    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(job->progress.file_status[i], JOB_FILE_DONE) << i;
    }
    EXPECT_EQ(job->progress.current_file, 3);
    EXPECT_EQ(job->progress.percent, 100);
    ProbedFile probed = FFprobe(out);
    ExpectStreams(probed, c);
    auto frames = FrameHashes(out);
    // Within one frame per input.
    EXPECT_NEAR(static_cast<double>(frames.size()), 8.0 * c.fps, 3.0) << out;
    double video_s = static_cast<double>(frames.size()) / c.fps;
    EXPECT_NEAR(DecodedAudioSeconds(out), video_s, 0.1) << out;
}

INSTANTIATE_TEST_SUITE_P(EveryPreset, PresetTest, ::testing::ValuesIn(kPresetCases),
                         [](const auto& info) { return "preset" + std::to_string(info.param.preset); });

// ---- Direct cut and merge ------------------------------------------------------------------------

TEST(StreamCopy, DirectCutStartsAtTheKeyFrameBeforeTheStartAndHoldsTheWholeRange) {
    std::string out = ScratchDir("direct_cut") + "/cut.mp4";
    auto job = NewJob({Fixture("gop2_8s.mp4")}, out, false, false);
    job->request.inputs[0].start_s = 3.0;  // key frames every 2 s: copying begins at 2 s
    job->request.inputs[0].length_s = 2.0;
    job->Run();

    ASSERT_EQ(job->progress.file_status[0], JOB_FILE_DONE);
    auto input = FrameHashes(Fixture("gop2_8s.mp4"));
    auto output = FrameHashes(out);
    ASSERT_EQ(input.size(), 200u);
    // The copy is the input's pictures 2.00 s to 4.96 s (the end of the range), unchanged, in order,
    // plus at most the few later pictures the last ones refer to.
    ASSERT_GE(output.size(), 75u);
    ASSERT_LE(output.size(), 79u);
    for (size_t k = 0; k < output.size(); ++k) EXPECT_EQ(output[k].md5, input[50 + k].md5) << k;
    EXPECT_NEAR(output.front().time_s, 0.0, 0.001);
    EXPECT_NEAR(DecodedAudioSeconds(out), output.size() / 25.0, 0.05);
}

TEST(StreamCopy, DirectMergeOfBFrameStreamsPlaysThroughTheJointInOrder) {
    std::string out = ScratchDir("direct_merge") + "/merge.mp4";
    auto job = NewJob({Fixture("merge_a.mp4"), Fixture("merge_b.mp4")}, out, true, false);
    job->request.merge_total_s = 3;
    job->Run();

    EXPECT_EQ(job->progress.file_status[0], JOB_FILE_DONE);
    EXPECT_EQ(job->progress.file_status[1], JOB_FILE_DONE);
    auto a = FrameHashes(Fixture("merge_a.mp4"));
    auto b = FrameHashes(Fixture("merge_b.mp4"));
    auto merged = FrameHashes(out);
    ASSERT_EQ(merged.size(), a.size() + b.size());
    for (size_t k = 0; k < merged.size(); ++k) {
        const auto& want = k < a.size() ? a[k] : b[k - a.size()];
        EXPECT_EQ(merged[k].md5, want.md5) << "picture " << k;
        // Evenly spaced, no gap at the joint.
        if (k > 0) {
            EXPECT_NEAR(merged[k].time_s - merged[k - 1].time_s, 0.04, 0.001) << "picture " << k;
        }
    }
    EXPECT_NEAR(DecodedAudioSeconds(out), 3.6, 0.1);
}

struct DirectCase {
    const char* input;
    double fps;
};

class DirectContainerTest : public ::testing::TestWithParam<DirectCase> {};

TEST_P(DirectContainerTest, DirectCutAndMergeKeepTheCodecsAndDecodeWithoutWarnings) {
    const DirectCase& c = GetParam();
    std::string in = Fixture(c.input);
    std::string ext = in.substr(in.rfind('.'));
    std::string dir = ScratchDir("direct_" + std::string(c.input).substr(0, std::string(c.input).rfind('.')));
    for (bool merge : {false, true}) {
        SCOPED_TRACE(merge ? "merge" : "cut");
        std::string out = dir + (merge ? "/merge" : "/cut") + ext;
        auto job = merge ? NewJob({in, in}, out, true, false) : NewJob({in}, out, false, false);
        if (!merge) job->request.inputs[0].length_s = 1.5;
        job->Run();
        ASSERT_EQ(job->progress.file_status[0], JOB_FILE_DONE);

        ProbedFile source = FFprobe(in), copy = FFprobe(out);
        ASSERT_TRUE(copy.ok);
        EXPECT_EQ(copy.format_name, source.format_name);
        for (const char* type : {"video", "audio"}) {
            ASSERT_NE(copy.First(type), nullptr) << type;
            EXPECT_EQ(copy.First(type)->codec_name, source.First(type)->codec_name) << type;
        }
        // A cut: its range and at most the few later pictures the last ones refer to.
        const double frames = static_cast<double>(CountDecodedFrames(out));
        const double wanted = merge ? 2 * static_cast<double>(CountDecodedFrames(in)) : 1.5 * c.fps;
        EXPECT_GE(frames, wanted - 1);
        EXPECT_LE(frames, wanted + (merge ? 0 : 4));
        auto decode = RunCommand({"ffmpeg", "-nostdin", "-v", "warning", "-i", out, "-f", "null", "-"});
        EXPECT_EQ(decode.exit_code, 0);
        // AVI and ASF store no channel layout: the source itself gets that note.
        std::string warnings =
            std::regex_replace(decode.err, std::regex("Guessed Channel Layout[^\n]*\n"), "");
        EXPECT_EQ(warnings, "") << out;
    }
}

INSTANTIATE_TEST_SUITE_P(
    EachContainer, DirectContainerTest,
    ::testing::Values(DirectCase{"video_h264_aac.mp4", 25}, DirectCase{"video_mpeg4_mp3.avi", 25},
                      DirectCase{"video_flv1_mp3.flv", 15},
                      DirectCase{"video_h264_vorbis.mkv", 30000.0 / 1001},
                      DirectCase{"ts_start10_gop.ts", 25}, DirectCase{"mjpeg_pcm.avi", 20},
                      DirectCase{"video_mpeg4_aac.mov", 25}, DirectCase{"video_wmv2_wma.wmv", 25}),
    [](const auto& info) {
        std::string name = info.param.input;
        for (char& ch : name)
            if (ch == '.') ch = '_';
        return name;
    });

TEST(StreamCopy, DirectMergeOfFilesWithOtherParameterSetsDecodesEveryPicture) {
    std::string out = ScratchDir("direct_merge_parameter_sets") + "/merge.mp4";
    // Back to the first file's sets after the second file's.
    auto job =
        NewJob({Fixture("merge_a.mp4"), Fixture("merge_c.mp4"), Fixture("merge_a.mp4")}, out, true, false);
    job->request.merge_total_s = 5;
    job->Run();
    ASSERT_EQ(job->progress.file_status[2], JOB_FILE_DONE);
    auto a = FrameHashes(Fixture("merge_a.mp4"));
    auto c = FrameHashes(Fixture("merge_c.mp4"));
    std::vector<DecodedFrame> want = a;
    want.insert(want.end(), c.begin(), c.end());
    want.insert(want.end(), a.begin(), a.end());
    auto merged = FrameHashes(out);
    ASSERT_EQ(merged.size(), want.size());
    for (size_t k = 0; k < merged.size(); ++k) {
        EXPECT_EQ(merged[k].md5, want[k].md5) << "picture " << k;
    }
}

TEST(StreamCopy, DirectCutIntoAContainerThatCannotHoldTheCodecFails) {
    std::string out = ScratchDir("direct_bad_container") + "/cut.flv";  // FLV cannot hold Vorbis
    auto job = NewJob({Fixture("video_h264_vorbis.mkv")}, out, false, false);
    job->request.inputs[0].length_s = 1.0;
    job->Run();
    EXPECT_EQ(job->progress.file_status[0], JOB_FILE_FAILED);
    EXPECT_EQ(job->progress.current_file, 1);
    EXPECT_FALSE(fs::exists(out));
}

// ---- Job rules -----------------------------------------------------------------------------------

TEST(ConvertJobRules, AnAudioOnlyFileGivesAnAudioOnlyCut) {
    std::string out = ScratchDir("audio_only") + "/cut.mp4";
    auto job = NewJob({Fixture("audio_only.mp3")}, out, false, true);
    job->request.inputs[0].start_s = 0.5;
    job->request.inputs[0].length_s = 2.0;
    ApplySettings(*job, {0});
    job->Run();
    EXPECT_EQ(job->progress.file_status[0], JOB_FILE_DONE);
    EXPECT_EQ(job->progress.current_file, 1);
    ProbedFile probed = FFprobe(out);
    ASSERT_TRUE(probed.ok);
    EXPECT_EQ(probed.Count("video"), 0);
    EXPECT_EQ(probed.Count("audio"), 1);
    EXPECT_NEAR(DecodedAudioSeconds(out), 2.0, 0.1);
}

struct StatusCase {
    const char* name;
    std::vector<const char*> inputs;
    bool reencode;
    std::vector<uint8_t> statuses;
    bool output_exists;
    double output_video_s;  // < 0: not checked
};

class StatusTest : public ::testing::TestWithParam<StatusCase> {};

TEST_P(StatusTest, EachFileGetsItsStatusAndTheJobGoesOn) {
    const StatusCase& c = GetParam();
    std::string out = ScratchDir(std::string("status_") + c.name) + "/merge.mp4";
    std::vector<std::string> inputs;
    for (const char* name : c.inputs) inputs.push_back(Fixture(name));
    auto job = NewJob(inputs, out, true, c.reencode);
    job->request.merge_total_s = 4;
    ApplySettings(*job, {1, 320, 240});
    job->Run();
    EXPECT_EQ(job->progress.current_file, job->progress.file_count);
    for (size_t i = 0; i < c.statuses.size(); ++i) {
        EXPECT_EQ(job->progress.file_status[i], c.statuses[i]) << i;
    }
    EXPECT_EQ(fs::exists(out), c.output_exists);
    if (c.output_video_s >= 0) {
        EXPECT_NEAR(CountDecodedFrames(out) / 25.0, c.output_video_s, 0.1);
    }
}

const StatusCase kStatusCases[] = {
    {"bad_middle",
     {"merge_a.mp4", "not_media.mp4", "merge_b.mp4"},
     true,
     {JOB_FILE_DONE, JOB_FILE_FAILED, JOB_FILE_DONE},
     true,
     3.6},
    {"bad_last", {"merge_a.mp4", "truncated.mp4"}, true, {JOB_FILE_DONE, JOB_FILE_FAILED}, true, 2.0},
    {"bad_last_direct", {"merge_a.mp4", "not_media.mp4"}, false, {JOB_FILE_DONE, JOB_FILE_FAILED}, true, 2.0},
    {"bad_first",
     {"not_media.mp4", "merge_a.mp4", "merge_b.mp4"},
     true,
     {JOB_FILE_FAILED, JOB_FILE_FAILED, JOB_FILE_FAILED},
     false,
     -1},
    {"no_audio_first", {"video_only.mp4", "merge_a.mp4"}, true, {JOB_FILE_DONE, JOB_FILE_FAILED}, true, 2.0},
    {"no_video_first", {"audio_only.mp3", "merge_a.mp4"}, true, {JOB_FILE_DONE, JOB_FILE_FAILED}, true, -1},
    {"missing_video_decoder",
     {"unknown_video_codec.avi", "merge_a.mp4"},
     true,
     {JOB_FILE_FAILED, JOB_FILE_FAILED},
     false,
     -1},
};

INSTANTIATE_TEST_SUITE_P(Merges, StatusTest, ::testing::ValuesIn(kStatusCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ConvertJobRules, NeverWritesOverAnExistingFileOrAnInput) {
    std::string dir = ScratchDir("no_overwrite");
    std::string existing = dir + "/taken.mp4";
    { std::ofstream(existing) << "keep me"; }
    std::string input_copy = dir + "/input.mp4";
    fs::copy_file(Fixture("merge_a.mp4"), input_copy);
    auto input_bytes = ReadAll(input_copy);

    for (const std::string& out : {existing, input_copy}) {
        for (bool reencode : {true, false}) {
            auto job = NewJob({input_copy}, out, false, reencode);
            job->request.inputs[0].length_s = 1.0;
            ApplySettings(*job, {1});
            job->Run();
            // A request naming an existing file still never touches it: the output takes the next
            // free name.
            EXPECT_EQ(job->progress.file_status[0], JOB_FILE_DONE) << out;
            const std::string written = job->progress.published_path();
            EXPECT_NE(written, out);
            EXPECT_EQ(fs::path(written).parent_path(), fs::path(dir));
        }
    }
    EXPECT_EQ(ReadAll(existing), std::vector<uint8_t>({'k', 'e', 'e', 'p', ' ', 'm', 'e'}));
    EXPECT_EQ(ReadAll(input_copy), input_bytes);
}

TEST(ConvertJobRules, ProgressStaysWithinBoundsWhenTheMergeTotalIsZero) {
    std::string out = ScratchDir("zero_total") + "/merge.mp4";
    auto job = NewJob({Fixture("merge_a.mp4"), Fixture("merge_b.mp4")}, out, true, true);
    job->request.merge_total_s = 0;
    ApplySettings(*job, {1, 160, 120});
    std::atomic<bool> done{false};
    int lowest = 0, highest = 0;
    std::thread watcher([&] {
        while (!done) {
            int p = job->progress.percent;
            lowest = std::min(lowest, p);
            highest = std::max(highest, p);
            std::this_thread::yield();
        }
    });
    job->Run();
    done = true;
    watcher.join();
    EXPECT_GE(lowest, 0);
    EXPECT_LE(highest, 100);
    EXPECT_EQ(job->progress.file_status[0], JOB_FILE_DONE);
    EXPECT_EQ(job->progress.file_status[1], JOB_FILE_DONE);
}

TEST(ConvertJobRules, ARangeWithoutAPictureFailsAndWritesNothing) {
    struct Case {
        double start_s, length_s;
    } cases[] = {{1.0, -0.5} /* the end lies before the start */, {5.0, 1.0} /* past the last picture */};
    for (const Case& c : cases) {
        for (bool reencode : {true, false}) {
            SCOPED_TRACE(std::to_string(c.start_s) + (reencode ? " re-encoded" : " direct"));
            std::string out = ScratchDir("empty_range") + "/cut.mp4";
            auto job = NewJob({Fixture("merge_a.mp4")}, out, false, reencode);  // 2 s
            job->request.inputs[0].start_s = c.start_s;
            job->request.inputs[0].length_s = c.length_s;
            ApplySettings(*job, {1});
            job->Run();
            EXPECT_EQ(job->progress.file_status[0], JOB_FILE_FAILED);
            EXPECT_EQ(job->progress.failure(0).step, "the range holds no picture");
            EXPECT_FALSE(fs::exists(out));
        }
    }
}

TEST(ConvertJobRules, PlanarOutputCarriesAtMostTwoChannels) {
    std::string out = ScratchDir("six_channels") + "/cut.mkv";
    auto job = NewJob({Fixture("video_h264_aac.mp4")}, out, false, true);
    job->request.inputs[0].length_s = 1.0;
    OutputSettings s{6};
    s.channels = 6;
    ApplySettings(*job, s);
    job->Run();
    EXPECT_EQ(job->progress.file_status[0], JOB_FILE_DONE);
    ProbedFile probed = FFprobe(out);
    ASSERT_TRUE(probed.ok);
    ASSERT_NE(probed.First("audio"), nullptr);
    EXPECT_EQ(probed.First("audio")->channels, 2);
}

TEST(ConvertJobRules, ACutOfAFileWithAStartTimeCountsFromThatStart) {
    std::string out = ScratchDir("start_time") + "/cut.mp4";
    auto job = NewJob({Fixture("ts_start10_gop.ts")}, out, false, true);  // starts at 10 s
    job->request.inputs[0].start_s = 1.0;
    job->request.inputs[0].length_s = 1.0;
    ApplySettings(*job, {1, 320, 240});
    job->Run();
    EXPECT_EQ(job->progress.file_status[0], JOB_FILE_DONE);
    EXPECT_NEAR(static_cast<double>(CountDecodedFrames(out)), 25.0, 1.0);
    EXPECT_NEAR(DecodedAudioSeconds(out), 1.0, 0.1);
}

struct SourceRateCase {
    const char* input;
    const char* r_frame_rate;
};

class SourceRateTest : public ::testing::TestWithParam<SourceRateCase> {};

TEST_P(SourceRateTest, TheSourcesOwnRateIsKeptWhenNoneIsChosen) {
    const SourceRateCase& c = GetParam();
    std::string out = ScratchDir(std::string("source_rate_") +
                                 std::to_string(static_cast<int>(ParseRate(c.r_frame_rate)))) +
                      "/cut.mp4";
    auto job = NewJob({Fixture(c.input)}, out, false, true);
    job->request.inputs[0].length_s = 2.0;
    ApplySettings(*job, {0, 320, 240, "source"});
    job->Run();
    EXPECT_EQ(job->progress.file_status[0], JOB_FILE_DONE);
    ProbedFile probed = FFprobe(out);
    ASSERT_TRUE(probed.ok);
    ASSERT_NE(probed.First("video"), nullptr);
    EXPECT_EQ(probed.First("video")->r_frame_rate, c.r_frame_rate);
    EXPECT_NEAR(static_cast<double>(CountDecodedFrames(out)), 2.0 * ParseRate(c.r_frame_rate), 1.0);
}

INSTANTIATE_TEST_SUITE_P(Cuts, SourceRateTest,
                         ::testing::Values(SourceRateCase{"video_h264_vorbis.mkv", "30000/1001"},
                                           SourceRateCase{"video_flv1_mp3.flv", "15/1"},
                                           SourceRateCase{"mjpeg_pcm.avi", "20/1"}));

TEST(ConvertJobRules, FlvAudioGetsASampleRateTheContainerHolds) {
    std::string out = ScratchDir("flv_48k") + "/cut.flv";
    auto job = NewJob({Fixture("video_h264_vorbis.mkv")}, out, false, true);
    job->request.inputs[0].length_s = 1.0;
    OutputSettings s{3};
    s.sample_rate = "48000 Hz";
    ApplySettings(*job, s);
    job->Run();
    EXPECT_EQ(job->progress.file_status[0], JOB_FILE_DONE);
    ProbedFile probed = FFprobe(out);
    ASSERT_TRUE(probed.ok);
    ASSERT_NE(probed.First("audio"), nullptr);
    EXPECT_EQ(probed.First("audio")->sample_rate, 44100);
    EXPECT_NEAR(DecodedAudioSeconds(out), 1.0, 0.1);
}

TEST(StreamCopy, DirectCutOfAnAudioOnlyFileEndsOnTheAudioClock) {
    std::string out = ScratchDir("direct_audio_only") + "/cut.mp3";
    auto job = NewJob({Fixture("audio_only.mp3")}, out, false, false);
    job->request.inputs[0].start_s = 1.0;
    job->request.inputs[0].length_s = 1.5;
    job->Run();
    EXPECT_EQ(job->progress.file_status[0], JOB_FILE_DONE);
    EXPECT_NEAR(DecodedAudioSeconds(out), 1.5, 0.1);
}

TEST(MergeJoints, PicturesOfTheNextFileWaitForALongerAudioTrack) {
    std::string out = ScratchDir("joint_audio_longer") + "/merge.mp4";
    auto job = NewJob({Fixture("audio_longer.mp4"), Fixture("merge_b.mp4")}, out, true, true);
    job->request.merge_total_s = 4;
    ApplySettings(*job, {1, 320, 240});
    job->Run();
    ASSERT_EQ(job->progress.file_status[1], JOB_FILE_DONE);
    auto frames = FrameHashes(out);
    ASSERT_EQ(frames.size(), 25u + 40u);
    // The second file's first picture comes with its audio, 3 s in, not right after 1 s of video.
    EXPECT_NEAR(frames[25].time_s - frames[0].time_s, 3.0, 0.05);
    EXPECT_NEAR(DecodedAudioSeconds(out), 4.6, 0.1);
}

TEST(MergeJoints, SilenceFillsAShorterAudioTrackSoTheNextFileStaysInStep) {
    std::string out = ScratchDir("joint_video_longer") + "/merge.mp4";
    auto job = NewJob({Fixture("video_longer.mp4"), Fixture("merge_b.mp4")}, out, true, true);
    job->request.merge_total_s = 4;
    ApplySettings(*job, {1, 320, 240});
    job->Run();
    ASSERT_EQ(job->progress.file_status[1], JOB_FILE_DONE);
    EXPECT_EQ(CountDecodedFrames(out), 75 + 40);
    // 1 s of tone, 2 s of silence, 1.6 s of tone.
    EXPECT_NEAR(DecodedAudioSeconds(out), 4.6, 0.1);
}

class TimeStampJumpTest : public ::testing::TestWithParam<const char*> {};

TEST_P(TimeStampJumpTest, AMergeGoesOnPastAJumpInTheInputsClock) {
    std::string out = ScratchDir(std::string("jump_") + GetParam()) + "/merge.mp4";
    auto job = NewJob({Fixture(GetParam()), Fixture("merge_b.mp4")}, out, true, true);
    job->request.merge_total_s = 5;
    ApplySettings(*job, {1, 320, 240});
    job->Run();
    EXPECT_EQ(job->progress.file_status[0], JOB_FILE_DONE);
    EXPECT_EQ(job->progress.file_status[1], JOB_FILE_DONE);
    // 2 s + 2 s + 1.6 s, neither frozen over the jump nor cut short by it.
    EXPECT_NEAR(static_cast<double>(CountDecodedFrames(out)), 5.6 * 25, 3.0);
    EXPECT_NEAR(DecodedAudioSeconds(out), 5.6, 0.15);
}

INSTANTIATE_TEST_SUITE_P(BothWays, TimeStampJumpTest,
                         ::testing::Values("ts_jump_forward.ts", "ts_jump_back.ts"), [](const auto& info) {
                             std::string name = info.param;
                             return name.substr(8, name.size() - 11);
                         });

TEST(ConvertJobRules, ACutIsShiftedByTheContainersStartTime) {
    std::string out = ScratchDir("start_shift") + "/cut.mp4";
    auto job = NewJob({Fixture("start_1_4.mkv")}, out, false, true);
    job->request.inputs[0].start_s = 1.0;
    job->request.inputs[0].length_s = 1.0;
    ApplySettings(*job, {1, 320, 240});
    job->Run();
    EXPECT_EQ(job->progress.file_status[0], JOB_FILE_DONE);
    EXPECT_EQ(job->request.inputs[0].start_s, 1.0);  // the engine keeps the shift to itself
    EXPECT_NEAR(static_cast<double>(CountDecodedFrames(out)), 25.0, 1.0);
    EXPECT_NEAR(DecodedAudioSeconds(out), 1.0, 0.1);
}

// ---- Cancellation --------------------------------------------------------------------------------

// Runs the job on a worker thread and sets cancel_requested once file `cancel_in` is running and the
// job's progress has reached `percent`.
void RunAndCancel(Job& job, int cancel_in, int percent) {
    JobProgress& p = job.progress;
    p.Reset(job.request.FileCount());
    std::thread worker([&] { RunConvertJob(job.request, p); });
    while (
        p.current_file.load() < p.file_count &&
        !(p.current_file.load() > cancel_in || (p.current_file.load() == cancel_in && p.percent >= percent)))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    p.cancel_requested = true;
    worker.join();
}

TEST(Cancellation, StoppingDuringAnEarlierFileStillCompletesTheOutput) {
    std::string out = ScratchDir("cancel_first") + "/merge.mp4";
    auto job = NewJob({Fixture("long_20s.mp4"), Fixture("merge_a.mp4")}, out, true, true);
    job->request.merge_total_s = 22;
    ApplySettings(*job, {1, 320, 240});
    RunAndCancel(*job, 0, 10);
    ASSERT_EQ(job->progress.current_file, 1) << "the job ended before it could be stopped";
    EXPECT_EQ(job->progress.file_status[0], JOB_FILE_PENDING);
    EXPECT_EQ(job->progress.file_status[1], JOB_FILE_PENDING);
    // What was converted up to the stop plays.
    ASSERT_TRUE(FFprobe(out).ok);
    long long frames = CountDecodedFrames(out);
    EXPECT_GT(frames, 0);
    EXPECT_LT(frames, 500);
}

TEST(Cancellation, StoppingDuringTheLastFileStillCompletesTheOutput) {
    std::string out = ScratchDir("cancel_last") + "/merge.mp4";
    auto job = NewJob({Fixture("merge_a.mp4"), Fixture("long_20s.mp4")}, out, true, true);
    job->request.merge_total_s = 22;
    ApplySettings(*job, {1, 320, 240});
    RunAndCancel(*job, 1, 15);
    ASSERT_EQ(job->progress.current_file, 2);
    EXPECT_EQ(job->progress.file_status[0], JOB_FILE_DONE);
    EXPECT_EQ(job->progress.file_status[1], JOB_FILE_PENDING);
    ProbedFile probed = FFprobe(out);
    ASSERT_TRUE(probed.ok);
    long long frames = CountDecodedFrames(out);
    EXPECT_GT(frames, 50);   // all of the first file
    EXPECT_LT(frames, 500);  // not all of the second
}

}  // namespace
