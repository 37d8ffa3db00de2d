// melisk-cli's wiring: its commands, options, output path, exit codes and Ctrl-C. What the jobs
// produce is the engine's and is tested there.

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/ffprobe.h"
#include "support/fixtures.h"
#include "support/run.h"

namespace fs = std::filesystem;
using testsupport::Fixture;
using testsupport::RunResult;
using testsupport::ScratchDir;

namespace {

std::string Cli() { return testsupport::SuiteDir() + "/bin/melisk-cli"; }

RunResult Melisk(std::vector<std::string> args) {
    args.insert(args.begin(), Cli());
    return testsupport::RunCommand(args);
}

TEST(MeliskCli, ProbePrintsKeyValueLines) {
    RunResult r = Melisk({"probe", Fixture("tone_22k_mono.wav")});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out,
              "result=0\naudio_stream_index=0\nvideo_stream_index=-1\naudio_codec=pcm_s16le\n"
              "bit_rate=352800\nsample_rate=22050\nchannels=1\nduration_us=3000000\naac_in_mp3=0\n"
              "mp2_in_mp3=0\n");
    r = Melisk({"probe", Fixture("aac_named.mp3")});
    EXPECT_NE(r.out.find("\naudio_codec=aac\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\naac_in_mp3=1\nmp2_in_mp3=0\n"), std::string::npos) << r.out;
    r = Melisk({"probe", Fixture("video_only.mp4")});
    EXPECT_NE(r.out.find("\naudio_stream_index=-1\nvideo_stream_index=0\naudio_codec=\n"), std::string::npos)
        << r.out;
    r = Melisk({"probe", Fixture("not_media.mp4")});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, "result=-1\n");
}

TEST(MeliskCli, CutAndMergePrintTheOutputPathAndTakeTheirOptions) {
    const std::string dir = ScratchDir("melisk_cli_jobs");
    RunResult cut = Melisk({"cut", Fixture("tone.ogg"), "--from", "00:00:00.500", "--to", "00:00:02.000",
                            "--out-dir", dir, "--name", "part"});
    EXPECT_EQ(cut.exit_code, 0) << cut.err;
    EXPECT_EQ(cut.out, dir + "/part.ogg\n");
    EXPECT_NEAR(testsupport::DecodedAudioSeconds(dir + "/part.ogg"), 1.5, 0.05);

    RunResult merge =
        Melisk({"merge", Fixture("tone.ogg"), Fixture("audio_only.mp3"), "--out-dir", dir, "--audio-quality",
                "64 kbps", "--sample-rate", "22050 Hz", "--channels", "1 Channel Mono"});
    EXPECT_EQ(merge.exit_code, 0) << merge.err;
    EXPECT_EQ(merge.out, dir + "/tone.mp3\n");
    auto probe = testsupport::FFprobe(dir + "/tone.mp3");
    ASSERT_EQ(probe.streams.size(), 1u);
    EXPECT_EQ(probe.streams[0].sample_rate, 22050);
    EXPECT_EQ(probe.streams[0].channels, 1);
    // Defaults: the settings dialog's 44100 Hz stereo; the name is taken, so a number is added.
    merge = Melisk({"merge", Fixture("tone.ogg"), Fixture("audio_only.mp3"), "--out-dir", dir});
    EXPECT_EQ(merge.out, dir + "/tone(0).mp3\n");
    probe = testsupport::FFprobe(dir + "/tone(0).mp3");
    ASSERT_EQ(probe.streams.size(), 1u);
    EXPECT_EQ(probe.streams[0].sample_rate, 44100);
    EXPECT_EQ(probe.streams[0].channels, 2);
}

TEST(MeliskCli, MergeCopyJoinsWithoutReencodingOrSaysWhichFileDiffers) {
    const std::string dir = ScratchDir("melisk_cli_copy");
    RunResult merge =
        Melisk({"merge", Fixture("join_a.mp3"), Fixture("join_b.mp3"), "--copy", "--out-dir", dir});
    EXPECT_EQ(merge.exit_code, 0) << merge.err;
    EXPECT_EQ(merge.out, dir + "/join_a.mp3\n");
    EXPECT_EQ(testsupport::FFprobe(dir + "/join_a.mp3").First("audio")->codec_name, "mp3");

    RunResult refused = Melisk(
        {"merge", Fixture("join_a.mp3"), Fixture("join_48k.mp3"), "--copy", "--out-dir", dir, "--name", "x"});
    EXPECT_EQ(refused.exit_code, 2);
    EXPECT_NE(refused.err.find(Fixture("join_48k.mp3") + ": its sample rate is 48000 Hz"), std::string::npos)
        << refused.err;
    EXPECT_FALSE(fs::exists(dir + "/x.mp3"));
    EXPECT_EQ(Melisk({"merge", Fixture("join_a.mp3"), Fixture("join_b.mp3"), "--copy", "--channels",
                      "1 Channel Mono", "--out-dir", dir})
                  .exit_code,
              2);
}

TEST(MeliskCli, ExitCodes) {
    const std::string dir = ScratchDir("melisk_cli_exit");
    const std::string ogg = Fixture("tone.ogg");
    struct Case {
        std::vector<std::string> args;
        int exit_code;
    };
    for (const Case& c : {
             Case{{}, 2},
             Case{{"--help"}, 0},
             Case{{"play-backwards"}, 2},
             Case{{"cut", ogg, "--from", "1:2", "--out-dir", dir}, 2},
             Case{{"cut", ogg, "--from", "00:00:02.000", "--to", "00:00:01.000", "--out-dir", dir}, 2},
             Case{{"cut", ogg, "--from", "00:00:09.000", "--out-dir", dir}, 2},
             Case{{"cut", ogg}, 2},
             Case{{"cut", Fixture("not_media.mp4"), "--out-dir", dir}, 2},
             Case{{"cut", ogg, "--out-dir", dir + "/missing"}, 2},
             Case{{"merge", ogg, "--out-dir", dir}, 2},
             Case{{"merge", ogg, ogg, "--out-dir", dir, "--sample-rate", "44000 Hz"}, 2},
             Case{{"merge", ogg, ogg, "--out-dir", dir, "--channels", "5.1 Channel"}, 2},
             // Read, but without audio: the job fails and says which file.
             Case{{"cut", Fixture("video_only.mp4"), "--out-dir", dir}, 1},
             Case{{"merge", Fixture("video_only.mp4"), Fixture("video_only.mp4"), "--out-dir", dir}, 1},
         }) {
        RunResult r = Melisk(c.args);
        std::string shown;
        for (const auto& a : c.args) shown += a + " ";
        EXPECT_EQ(r.exit_code, c.exit_code) << shown << "\n" << r.err;
        if (c.exit_code == 1) EXPECT_NE(r.err.find("failed: " + c.args[1]), std::string::npos) << r.err;
        // Nothing was written, so no output path is printed.
        if (c.args != std::vector<std::string>{"--help"}) EXPECT_EQ(r.out, "") << shown;
    }
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST(MeliskCli, CtrlCStopsTheJob) {
    const std::string dir = ScratchDir("melisk_cli_ctrl_c");
    const std::string input = Fixture("long_20s.mp4");
    testsupport::RunningProcess cli({Cli(), "merge", input, input, input, input, "--out-dir", dir});
    ASSERT_TRUE(cli.WaitForError(std::regex(R"(file 1/4 +[1-9]\d?%)"))) << cli.err();
    cli.Signal(SIGINT);
    EXPECT_EQ(cli.Wait(), 130) << cli.err();
    EXPECT_EQ(cli.out(), dir + "/long_20s.mp3\n");
}

}  // namespace
