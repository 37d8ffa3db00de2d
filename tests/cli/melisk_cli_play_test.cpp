// melisk-cli play on SDL's disk audio driver: what it played is read back from the driver's file.

#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "support/fixtures.h"
#include "support/pcm.h"
#include "support/run.h"

using testsupport::Fixture;
using testsupport::RunCommand;

namespace {

std::string Cli() { return testsupport::SuiteDir() + "/bin/melisk-cli"; }

// The device file of one test case; the beep fixture plays as 44.1 kHz stereo.
std::string UseDiskDevice() {
    std::string path = testsupport::ScratchDir("melisk_cli_play") + "/device.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
    unsetenv("SDL_DISKAUDIODELAY");  // real time: --to is judged by the clock
    return path;
}

testsupport::Played PlayedIn(const std::string& device) {
    return testsupport::CutSilence(testsupport::ReadPcm(device, 44100, 2));
}

TEST(MeliskCliPlay, PlaysTheStretchFromTheStartTimeToTheEndTime) {
    std::string device = UseDiskDevice();
    auto r = RunCommand(
        {Cli(), "play", Fixture("beeps_10s.wav"), "--from", "00:00:02.000", "--to", "00:00:04.500"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.err.find("00:00:02.000"), std::string::npos) << r.err;

    auto played = PlayedIn(device);
    EXPECT_NEAR(played.pcm.seconds(), 2.5, 0.1);
    EXPECT_TRUE(played.gap_starts.empty());
    auto beeps = testsupport::FindBeeps(played.pcm);
    ASSERT_EQ(beeps.size(), 3u);
    EXPECT_LT(beeps[0].onset_frame, 44100 / 100) << "the stretch does not start with the beep at 2 s";
    for (int i = 0; i < 3; ++i) EXPECT_EQ(beeps[i].second, 2 + i);
}

TEST(MeliskCliPlay, CtrlCStopsPlaying) {
    std::string device = UseDiskDevice();
    testsupport::RunningProcess cli({Cli(), "play", Fixture("beeps_10s.wav"), "--from", "00:00:05"});
    ASSERT_TRUE(cli.WaitForError(std::regex("00:00:06"))) << cli.err();
    cli.Signal(SIGINT);
    EXPECT_EQ(cli.Wait(), 130) << cli.err();
    auto played = PlayedIn(device);
    EXPECT_GT(played.pcm.seconds(), 0.9);
    EXPECT_LT(played.pcm.seconds(), 4.5);
}

TEST(MeliskCliPlay, RefusesWhatItCannotPlay) {
    UseDiskDevice();
    const std::string beeps = Fixture("beeps_10s.wav");
    struct Case {
        std::vector<std::string> args;
        int exit_code;
        const char* message;
    };
    const Case cases[] = {
        {{"play"}, 2, "needs a FILE"},
        {{"play", beeps, beeps}, 2, "exactly one FILE"},
        {{"play", beeps, "--from", "2.5"}, 2, "--from must read like"},
        {{"play", beeps, "--to"}, 2, "needs a value"},
        {{"play", beeps, "--from", "00:00:03", "--to", "00:00:02"}, 2, "--to must lie after --from"},
        {{"play", beeps, "--from", "00:00:10.000"}, 2, "after the end of the file"},
        {{"play", beeps, "--volume", "3"}, 2, "unknown option --volume"},
        {{"play", Fixture("not_media.mp4")}, 1, "cannot play"},
        {{"play", Fixture("video_only.mp4")}, 1, "video_only.mp4: the file has no sound"},
        {{"fly"}, 2, "unknown command"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> argv = c.args;
        argv.insert(argv.begin(), Cli());
        auto r = RunCommand(argv);
        SCOPED_TRACE(argv.back());
        EXPECT_EQ(r.exit_code, c.exit_code);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    // No device is the machine's problem, not the file's; a file without sound says so before any
    // device is wanted.
    setenv("SDL_AUDIODRIVER", "no_such_driver", 1);
    auto r = RunCommand({Cli(), "play", beeps});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("cannot play " + beeps + ": no audio output device could be opened"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("no sound"), std::string::npos) << r.err;
    r = RunCommand({Cli(), "play", Fixture("video_only.mp4")});
    EXPECT_NE(r.err.find("the file has no sound"), std::string::npos) << r.err;
    UseDiskDevice();

    auto help = RunCommand({Cli(), "--help"});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_NE(help.out.find("play FILE [--from HH:MM:SS.mmm] [--to HH:MM:SS.mmm]"), std::string::npos);
}

}  // namespace
