#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "support/ffprobe.h"
#include "support/fixtures.h"
#include "support/run.h"

using testsupport::Fixture;
using testsupport::RunCommand;

namespace {

std::string Cli() { return testsupport::SuiteDir() + "/bin/taviro-cli"; }

// Parses key=value lines, keeping their order in `keys`.
std::map<std::string, std::string> ParseLines(const std::string& text, std::vector<std::string>* keys) {
    std::map<std::string, std::string> values;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        keys->push_back(line.substr(0, eq));
        values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

}  // namespace

TEST(TaviroCliProbe, PrintsEveryKeyInOrderAndAgreesWithFFprobe) {
    for (const char* name : {"video_h264_aac.mp4", "video_mpeg4_mp3.avi", "two_streams.mkv", "audio_only.mp3",
                             "video_start10.ts"}) {
        SCOPED_TRACE(name);
        auto r = RunCommand({Cli(), "probe", Fixture(name)});
        ASSERT_EQ(r.exit_code, 0) << r.err;
        std::vector<std::string> keys;
        auto v = ParseLines(r.out, &keys);
        const std::vector<std::string> expected_keys = {
            "result",        "video_stream_index", "audio_stream_index", "video_codec",    "audio_codec",
            "width",         "height",             "frame_rate",         "input_frame_rate", "video_bit_rate",
            "audio_bit_rate", "sample_rate",       "channels",           "duration_us"};
        EXPECT_EQ(keys, expected_keys);
        EXPECT_EQ(v["result"], "0");

        auto truth = testsupport::FFprobe(Fixture(name));
        const testsupport::ProbedStream *video = nullptr, *audio = nullptr;
        for (const auto& s : truth.streams) {
            if (s.codec_type == "video") video = &s;
            if (s.codec_type == "audio") audio = &s;
        }
        EXPECT_EQ(v["video_codec"], video ? video->codec_name : "none");
        EXPECT_EQ(v["audio_codec"], audio ? audio->codec_name : "none");
        EXPECT_EQ(v["video_stream_index"], std::to_string(video ? video->index : -1));
        EXPECT_EQ(v["audio_stream_index"], std::to_string(audio ? audio->index : -1));
        if (video) {
            EXPECT_EQ(v["width"], std::to_string(video->width));
            EXPECT_EQ(v["height"], std::to_string(video->height));
            EXPECT_EQ(v["frame_rate"], video->r_frame_rate);
        }
        if (audio) {
            EXPECT_EQ(v["sample_rate"], std::to_string(audio->sample_rate));
            EXPECT_EQ(v["channels"], std::to_string(audio->channels));
        }
        EXPECT_NEAR(std::stoll(v["duration_us"]) / 1e6, truth.duration_s, 1e-6);
    }
}

TEST(TaviroCliProbe, RejectsBadFilesWithTheirCodes) {
    struct Case {
        const char* fixture;
        const char* message;
    };
    for (const Case& c : {Case{"not_media.mp4", "probe failed: -1"}, Case{"truncated.mp4", "probe failed: -1"},
                          Case{"unknown_video_codec.avi", "probe failed: -4"}}) {
        SCOPED_TRACE(c.fixture);
        auto r = RunCommand({Cli(), "probe", Fixture(c.fixture)});
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

TEST(TaviroCliProbe, HelpAndUsageErrors) {
    auto help = RunCommand({Cli(), "--help"});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_NE(help.out.find("probe FILE"), std::string::npos);
    EXPECT_EQ(RunCommand({Cli()}).exit_code, 2);
    EXPECT_EQ(RunCommand({Cli(), "probe"}).exit_code, 2);
    EXPECT_EQ(RunCommand({Cli(), "frobnicate"}).exit_code, 2);
}
