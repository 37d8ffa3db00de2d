// cut, merge and preview through the real taviro-cli binary; outputs judged by ffprobe and ffmpeg.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "support/ffprobe.h"
#include "support/fixtures.h"
#include "support/run.h"

extern char** environ;

namespace fs = std::filesystem;
using testsupport::Fixture;
using testsupport::Listing;
using testsupport::RunCommand;
using testsupport::RunResult;
using testsupport::ScratchDir;

namespace {

std::string Cli() { return testsupport::SuiteDir() + "/bin/taviro-cli"; }

RunResult Taviro(std::vector<std::string> args) {
    args.insert(args.begin(), Cli());
    return RunCommand(args);
}

// The one output path the CLI prints.
std::string OutputPath(const RunResult& r) {
    std::string out = r.out;
    while (!out.empty() && out.back() == '\n') out.pop_back();
    EXPECT_EQ(out.find('\n'), std::string::npos) << out;
    return out;
}

double Rate(const std::string& fraction) {
    auto slash = fraction.find('/');
    if (slash == std::string::npos) return std::atof(fraction.c_str());
    double den = std::atof(fraction.c_str() + slash + 1);
    return den == 0 ? 0 : std::atof(fraction.c_str()) / den;
}

// One frame of a file decoded by the ffmpeg tool as raw 8-bit grey, at a time (seeking the input).
std::string GreyFrame(const std::string& path, double at_s) {
    auto r = RunCommand({"ffmpeg", "-nostdin", "-v", "error", "-ss", std::to_string(at_s), "-i", path,
                         "-frames:v", "1", "-pix_fmt", "gray", "-f", "rawvideo", "-"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return r.out;
}

double MeanAbsDiff(const std::string& a, const std::string& b) {
    if (a.size() != b.size() || a.empty()) return 1e9;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) sum += std::abs(int(uint8_t(a[i])) - int(uint8_t(b[i])));
    return sum / a.size();
}

// What a re-encoded output must show.
struct Expected {
    const char* format_name;  // ffprobe's format name
    const char* video_codec;
    const char* audio_codec;
    int width, height;
    double fps;
};

void ExpectReencoded(const std::string& path, const Expected& e, double video_s) {
    auto probe = testsupport::FFprobe(path);
    ASSERT_TRUE(probe.ok) << path;
    EXPECT_EQ(probe.format_name, e.format_name);
    const auto* video = probe.First("video");
    const auto* audio = probe.First("audio");
    ASSERT_NE(video, nullptr);
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(video->codec_name, e.video_codec);
    EXPECT_EQ(audio->codec_name, e.audio_codec);
    EXPECT_EQ(video->width, e.width);
    EXPECT_EQ(video->height, e.height);
    EXPECT_NEAR(Rate(video->r_frame_rate), e.fps, 0.01);
    long long frames = testsupport::CountDecodedFrames(path);
    EXPECT_NEAR(frames / e.fps, video_s, 1.0 / e.fps + 1e-6) << frames << " frames";
    EXPECT_NEAR(testsupport::DecodedAudioSeconds(path), frames / e.fps, 0.1);
}

TEST(TaviroCliCut, ReencodesWithTheFirstItemOfEachListByDefault) {
    std::string dir = ScratchDir("cli_cut_defaults");
    auto r = Taviro({"cut", Fixture("video_h264_aac.mp4"), "--from", "00:00:00.500", "--to", "00:00:02.500",
                     "--out-dir", dir});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(OutputPath(r), dir + "/video_h264_aac.mp4");
    // MPEG-4 and AAC in MP4, 320x240, the source's 25 fps; 22050 Hz stereo.
    ExpectReencoded(OutputPath(r), {"mov,mp4,m4a,3gp,3g2,mj2", "mpeg4", "aac", 320, 240, 25}, 2.0);
    auto audio = testsupport::FFprobe(OutputPath(r)).First("audio");
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(audio->sample_rate, 22050);
    EXPECT_EQ(audio->channels, 2);
}

TEST(TaviroCliCut, AudioOnlyInputGivesAnAudioOnlyFile) {
    std::string dir = ScratchDir("cli_cut_audio_only");
    for (bool direct : {false, true}) {
        SCOPED_TRACE(direct);
        std::vector<std::string> args = {
            "cut", Fixture("audio_only.mp3"), "--from", "00:00:00.500", "--to", "00:00:02.500", "--out-dir",
            dir};
        if (direct) args.push_back("--direct");
        auto r = Taviro(args);
        ASSERT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(OutputPath(r), dir + (direct ? "/audio_only.mp3" : "/audio_only.mp4"));
        auto probe = testsupport::FFprobe(OutputPath(r));
        EXPECT_EQ(probe.Count("video"), 0);
        ASSERT_EQ(probe.Count("audio"), 1);
        EXPECT_EQ(probe.First("audio")->codec_name, direct ? "mp3" : "aac");
        EXPECT_NEAR(testsupport::DecodedAudioSeconds(OutputPath(r)), 2.0, 0.1);
    }
}

TEST(TaviroCliCut, EveryPresetGivesItsContainerCodecsSizeAndRate) {
    struct Case {
        int preset;
        Expected expected;
    } cases[] = {
        {0, {"mov,mp4,m4a,3gp,3g2,mj2", "mpeg4", "aac", 640, 480, 30000.0 / 1001}},
        {1, {"mov,mp4,m4a,3gp,3g2,mj2", "h264", "aac", 640, 480, 30000.0 / 1001}},
        {2, {"avi", "mpeg4", "mp3", 640, 480, 30000.0 / 1001}},
        {3, {"flv", "flv1", "mp3", 640, 480, 30000.0 / 1001}},
        {4, {"asf", "wmv2", "wmav2", 640, 480, 30000.0 / 1001}},
        {5, {"mov,mp4,m4a,3gp,3g2,mj2", "mpeg4", "aac", 640, 480, 30000.0 / 1001}},
        {6, {"matroska,webm", "h264", "vorbis", 640, 480, 30000.0 / 1001}},
    };
    const char* extensions[] = {".mp4", ".mp4", ".avi", ".flv", ".wmv", ".mov", ".mkv"};
    std::string dir = ScratchDir("cli_cut_presets");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.preset);
        auto r = Taviro({"cut",
                         Fixture("video_mpeg4_mp3.avi"),
                         "--from",
                         "00:00:01.000",
                         "--to",
                         "00:00:02.000",
                         "--out-dir",
                         dir,
                         "--name",
                         "p" + std::to_string(c.preset),
                         "--preset",
                         std::to_string(c.preset),
                         "--video-quality",
                         "2000 kbps",
                         "--size",
                         "640*480",
                         "--frame-rate",
                         "29.97 fps",
                         "--audio-quality",
                         "128 kbps",
                         "--sample-rate",
                         "44100 Hz"});
        ASSERT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(OutputPath(r), dir + "/p" + std::to_string(c.preset) + extensions[c.preset]);
        ExpectReencoded(OutputPath(r), c.expected, 1.0);
    }
}

TEST(TaviroCliCut, DirectCutStartsAtTheKeyFrameBeforeAndHoldsTheWholeRange) {
    std::string dir = ScratchDir("cli_cut_direct");
    const std::string input = Fixture("gop2_8s.mp4");  // key frames every 2 s, 25 fps
    auto r = Taviro(
        {"cut", input, "--from", "00:00:03.000", "--to", "00:00:05.000", "--out-dir", dir, "--direct"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    std::string out = OutputPath(r);
    EXPECT_EQ(out, dir + "/gop2_8s.mp4");
    auto probe = testsupport::FFprobe(out);
    ASSERT_NE(probe.First("video"), nullptr);
    EXPECT_EQ(probe.First("video")->codec_name, "h264");
    EXPECT_EQ(probe.First("video")->width, 160);
    ASSERT_NE(probe.First("audio"), nullptr);
    // 2 s to 5 s, and at most the few pictures after 5 s that the last ones refer to.
    const long long frames = testsupport::CountDecodedFrames(out);
    EXPECT_GE(frames, 75);
    EXPECT_LE(frames, 79);
    // The first picture is the input's key frame at 2 s, not the picture at 3 s.
    std::string first = GreyFrame(out, 0);
    EXPECT_LT(MeanAbsDiff(first, GreyFrame(input, 2.0)), 1.0);
    EXPECT_GT(MeanAbsDiff(first, GreyFrame(input, 3.0)), 1.0);
}

TEST(TaviroCliCut, ExactDirectCutHoldsJustTheRangeOrSaysWhyNot) {
    std::string dir = ScratchDir("cli_cut_exact");
    // H.264: the 2 s from 3 s on, not from the key frame at 2 s.
    auto r = Taviro({"cut", Fixture("gop2_8s.mp4"), "--from", "00:00:03.000", "--to", "00:00:05.000",
                     "--out-dir", dir, "--direct", "--exact"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(testsupport::CountDecodedFrames(OutputPath(r)), 50);
    EXPECT_EQ(r.err.find("key frames instead"), std::string::npos) << r.err;
    // MPEG-4 part 2: a key-frame cut, and the reason on standard error.
    r = Taviro({"cut", Fixture("video_mpeg4_mp3.avi"), "--from", "00:00:01.200", "--out-dir", dir, "--direct",
                "--exact"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.err.find("Only H.264 video can be cut exactly"), std::string::npos) << r.err;
    EXPECT_GT(testsupport::CountDecodedFrames(OutputPath(r)), 45);  // from the key frame at 1 s
}

TEST(TaviroCliCut, AnExistingOutputIsNeverOverwritten) {
    std::string dir = ScratchDir("cli_cut_unique");
    std::vector<std::string> args = {
        "cut", Fixture("video_h264_aac.mp4"), "--to", "00:00:01.000", "--out-dir", dir, "--direct"};
    auto first = Taviro(args);
    ASSERT_EQ(first.exit_code, 0) << first.err;
    auto size = fs::file_size(OutputPath(first));
    auto time = fs::last_write_time(OutputPath(first));
    auto second = Taviro(args);
    ASSERT_EQ(second.exit_code, 0) << second.err;
    auto third = Taviro(args);
    ASSERT_EQ(third.exit_code, 0) << third.err;
    EXPECT_EQ(OutputPath(second), dir + "/video_h264_aac(0).mp4");
    EXPECT_EQ(OutputPath(third), dir + "/video_h264_aac(1).mp4");
    EXPECT_EQ(fs::file_size(OutputPath(first)), size);
    EXPECT_EQ(fs::last_write_time(OutputPath(first)), time);

    // Cutting a file into its own folder under its own name leaves the input alone.
    std::string input = dir + "/video_h264_aac.mp4";
    auto own = Taviro({"cut", input, "--to", "00:00:00.500", "--out-dir", dir, "--direct"});
    ASSERT_EQ(own.exit_code, 0) << own.err;
    EXPECT_EQ(OutputPath(own), dir + "/video_h264_aac(2).mp4");
    EXPECT_EQ(fs::file_size(input), size);
}

TEST(TaviroCliCut, DirectCutIntoAContainerThatCannotHoldTheCodecFails) {
    std::string dir = ScratchDir("cli_cut_bad_container");
    // Matroska with Vorbis under an .flv name: the direct cut keeps .flv, and FLV cannot hold Vorbis.
    fs::copy_file(Fixture("video_h264_vorbis.mkv"), dir + "/in.flv");
    fs::create_directory(dir + "/out");
    auto r = Taviro({"cut", dir + "/in.flv", "--to", "00:00:01.000", "--out-dir", dir + "/out", "--direct"});
    EXPECT_EQ(r.exit_code, 1) << r.err;
    // No file was written, so no path is printed and none is left.
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(fs::is_empty(dir + "/out"));
    // The reason names the step and FFmpeg's error text.
    EXPECT_NE(r.err.find("taviro-cli: failed: " + dir +
                         "/in.flv: could not write the header: Function not implemented\n"),
              std::string::npos)
        << r.err;
}

TEST(TaviroCliMerge, DirectMergeOfCompatibleFilesPlaysThroughTheJoint) {
    std::string dir = ScratchDir("cli_merge_direct");
    auto r = Taviro({"merge", Fixture("merge_a.mp4"), Fixture("merge_b.mp4"), "--out-dir", dir, "--direct"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    std::string out = OutputPath(r);
    EXPECT_EQ(out, dir + "/merge_a.mp4");
    EXPECT_EQ(testsupport::FFprobe(out).First("video")->codec_name, "h264");
    long long frames = testsupport::CountDecodedFrames(out);
    EXPECT_NEAR(frames, 50 + 40, 1);  // 2 s and 1.6 s at 25 fps
    EXPECT_NEAR(testsupport::DecodedAudioSeconds(out), 3.6, 0.1);
}

TEST(TaviroCliMerge, DirectMergeOfIncompatibleFilesIsRefused) {
    std::string dir = ScratchDir("cli_merge_refused");
    std::string other = ScratchDir("cli_merge_refused_inputs");
    // An MP4 of the same size as video_h264_aac.mp4 but with MPEG-4 video and 22050 Hz audio.
    auto made = Taviro({"cut", Fixture("video_h264_aac.mp4"), "--out-dir", other, "--name", "mpeg4"});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    struct Case {
        std::string a, b;
    } cases[] = {
        {Fixture("video_h264_aac.mp4"), Fixture("video_mpeg4_mp3.avi")},  // formats differ
        {Fixture("video_h264_aac.mp4"), other + "/mpeg4.mp4"},  // same format and size, other codecs
        {Fixture("merge_a.mp4"), Fixture("two_streams.mkv")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.b);
        auto r = Taviro({"merge", c.a, c.b, "--out-dir", dir, "--direct"});
        EXPECT_EQ(r.exit_code, 2);
        EXPECT_NE(r.err.find("cannot be merged directly"), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    EXPECT_TRUE(Listing(dir).empty());
    // The same files merge by re-encoding.
    auto r = Taviro({"merge", Fixture("video_h264_aac.mp4"), Fixture("video_mpeg4_mp3.avi"), "--out-dir", dir,
                     "--name", "reencoded"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
}

TEST(TaviroCliMerge, ReencodedMergeOfDifferentFilesLastsTheSum) {
    std::string dir = ScratchDir("cli_merge_reencode");
    const std::string a = Fixture("video_h264_aac.mp4"), b = Fixture("video_flv1_mp3.flv");
    auto r = Taviro({"merge", a, b, "--out-dir", dir, "--name", "joined", "--preset", "1", "--size",
                     "640*480", "--frame-rate", "25.0 fps", "--audio-quality", "128 kbps", "--sample-rate",
                     "44100 Hz", "--channels", "1 Channel Mono"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(OutputPath(r), dir + "/joined.mp4");
    // The sum of the inputs' picture durations: 3 s at 25 fps and 3 s at 15 fps.
    double sum = 0;
    for (const auto& [file, fps] : {std::pair{a, 25.0}, {b, 15.0}}) {
        EXPECT_NEAR(Rate(testsupport::FFprobe(file).First("video")->r_frame_rate), fps, 1e-9);
        sum += testsupport::CountDecodedFrames(file) / fps;
    }
    auto probe = testsupport::FFprobe(OutputPath(r));
    ASSERT_NE(probe.First("audio"), nullptr);
    EXPECT_EQ(probe.First("audio")->channels, 1);
    ExpectReencoded(OutputPath(r), {"mov,mp4,m4a,3gp,3g2,mj2", "h264", "aac", 640, 480, 25}, sum);
}

TEST(TaviroCliPreview, WritesTheBitmapAndNeverAnExistingFile) {
    std::string dir = ScratchDir("cli_preview");
    std::string bmp = dir + "/frame.bmp";
    auto r = Taviro({"preview", Fixture("split_1080p.mp4"), "--at", "1.5", "--out", bmp});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(OutputPath(r), bmp);
    std::ifstream in(bmp, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(bytes.size(), 691254u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');

    auto again = Taviro({"preview", Fixture("split_444.mkv"), "--at", "0", "--out", bmp});
    EXPECT_EQ(again.exit_code, 2);
    EXPECT_EQ(fs::file_size(bmp), 691254u);

    auto audio = Taviro({"preview", Fixture("audio_only.mp3"), "--at", "1", "--out", dir + "/audio.bmp"});
    EXPECT_EQ(audio.exit_code, 1);
    EXPECT_FALSE(fs::exists(dir + "/audio.bmp"));
    EXPECT_EQ(Listing(dir), std::vector<std::string>{"frame.bmp"});
}

TEST(TaviroCli, UsageErrorsAndRefusalsExitTwoAndWriteNothing) {
    std::string dir = ScratchDir("cli_usage");
    const std::string in = Fixture("video_h264_aac.mp4");
    struct Case {
        std::vector<std::string> args;
        const char* message;  // part of the error text
    } cases[] = {
        {{"cut", in, "--to", "00:00:01.000"}, "--out-dir"},
        {{"cut", "--out-dir", dir}, "exactly one FILE"},
        {{"cut", in, in, "--out-dir", dir}, "exactly one FILE"},
        {{"cut", in, "--out-dir", dir, "--from", "5"}, "--from"},
        {{"cut", in, "--out-dir", dir, "--to", "00:00:01.5"}, "--to"},
        {{"cut", in, "--out-dir", dir, "--from", "00:00:02.000", "--to", "00:00:01.000"}, "after its start"},
        {{"cut", in, "--out-dir", dir, "--from", "00:00:03.500", "--to", "00:00:04.000"}, "after the end"},
        {{"cut", in, "--out-dir", dir, "--preset", "7"}, "--preset"},
        {{"cut", in, "--out-dir", dir, "--preset", "x"}, "--preset"},
        {{"cut", in, "--out-dir", dir, "--direct", "--preset", "1"}, "--direct"},
        {{"cut", in, "--out-dir", dir, "--exact"}, "--exact goes with --direct"},
        {{"merge", in, in, "--out-dir", dir, "--direct", "--exact"}, "--exact is for cut only"},
        {{"cut", in, "--out-dir", dir, "--size", "321*240"}, "--size"},
        {{"cut", in, "--out-dir", dir, "--frame-rate", "29.0 fps"}, "--frame-rate"},
        {{"cut", in, "--out-dir", dir, "--video-quality", "fast"}, "--video-quality"},
        {{"cut", in, "--out-dir", dir, "--sample-rate", "44100"}, "--sample-rate"},
        {{"cut", in, "--out-dir", dir, "--channels", "1 Channel Mono"}, "unknown option"},
        {{"cut", in, "--out-dir", dir, "--name", "/:*"}, "name"},
        {{"cut", in, "--out-dir", dir, "--name", std::string(252, 'n')}, "too long"},
        {{"cut", in, "--out-dir", dir + "/missing"}, "does not exist"},
        {{"cut", Fixture("not_media.mp4"), "--out-dir", dir}, "cannot be opened"},
        {{"cut", dir + "/none.mp4", "--out-dir", dir}, "cannot be opened"},
        {{"merge", in, "--out-dir", dir}, "at least two"},
        {{"merge", "--out-dir", dir}, "add a video"},
        {{"merge", in, Fixture("truncated.mp4"), "--out-dir", dir}, "cannot be opened"},
        {{"merge", in, in, "--out-dir", dir, "--channels", "6"}, "--channels"},
        {{"preview", in, "--at", "-1", "--out", dir + "/p.bmp"}, "--at"},
        {{"preview", in, "--out", dir + "/p.bmp"}, "--at"},
        {{"preview", in, "--at", "1", "--out", dir + "/p.bmp", "--direct"}, "unknown option"},
        {{"split", in}, "unknown command"},
        {{}, "usage"},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const auto& a : c.args) line += a + " ";
        SCOPED_TRACE(line);
        auto r = Taviro(c.args);
        EXPECT_EQ(r.exit_code, 2);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    EXPECT_TRUE(Listing(dir).empty());
    auto help = Taviro({"--help"});
    EXPECT_EQ(help.exit_code, 0);
    for (const char* word : {"cut FILE", "merge FILE FILE...", "preview FILE", "--channels", "130"})
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
}

// A running taviro-cli.
class Running : public testsupport::RunningProcess {
  public:
    explicit Running(std::vector<std::string> args) : RunningProcess(WithCli(std::move(args))) {}

  private:
    static std::vector<std::string> WithCli(std::vector<std::string> args) {
        args.insert(args.begin(), Cli());
        return args;
    }
};

TEST(TaviroCliCut, CtrlCStopsTheJobAndStillWritesTheTrailer) {
    std::string dir = ScratchDir("cli_cut_ctrl_c");
    const std::string input = Fixture("long_20s.mp4");
    Running cli({"cut", input, "--out-dir", dir, "--preset", "1", "--size", "1280*720", "--video-quality",
                 "8000 kbps"});
    // Stop once some of the range is written and the job is well under way.
    ASSERT_TRUE(cli.WaitForError(std::regex(R"(file 1/1 +([1-9]|[1-8]\d)%)"))) << cli.err();
    cli.Signal(SIGINT);
    EXPECT_EQ(cli.Wait(), 130) << cli.err();
    std::string out = cli.out().substr(0, cli.out().find('\n'));
    EXPECT_EQ(out, dir + "/long_20s.mp4");
    // The cut is the last (only) file of its job: its trailer is written, so the file is complete
    // up to where it stopped.
    auto probe = testsupport::FFprobe(out);
    ASSERT_TRUE(probe.ok);
    ASSERT_NE(probe.First("video"), nullptr);
    long long frames = testsupport::CountDecodedFrames(out);
    EXPECT_GT(frames, 0);
    EXPECT_LT(frames, 20 * 25 - 25);
    EXPECT_EQ(probe.First("video")->width, 1280);
}

}  // namespace
