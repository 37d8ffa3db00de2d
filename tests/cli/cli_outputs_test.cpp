// What both command-line tools leave behind and say when things go wrong around them: files beside
// the output, folders that vanish, full or read-only disks, killed jobs, inputs that are no media.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "support/ffprobe.h"
#include "support/fixtures.h"
#include "support/run.h"
#include "support/tmpfs.h"

namespace fs = std::filesystem;
using testsupport::Bytes;
using testsupport::Fixture;
using testsupport::Listing;
using testsupport::RunCommand;
using testsupport::RunResult;
using testsupport::ScratchDir;

namespace {

std::string Taviro() { return testsupport::SuiteDir() + "/bin/taviro-cli"; }
std::string Melisk() { return testsupport::SuiteDir() + "/bin/melisk-cli"; }

TEST(CliPreview, FilesAndLinksBesideTheOutputAreLeftAlone) {
    const std::string dir = ScratchDir("cli_preview_beside");
    const std::string outside = ScratchDir("cli_preview_outside");
    // Names a writer through "NAME.part" would have overwritten or followed.
    { std::ofstream(dir + "/pic.bmp.part") << "the user's own file"; }
    { std::ofstream(outside + "/precious.txt") << "precious"; }
    fs::create_symlink(outside + "/precious.txt", dir + "/link.bmp.part");
    for (const char* name : {"pic.bmp", "link.bmp"}) {
        SCOPED_TRACE(name);
        const RunResult r = RunCommand(
            {Taviro(), "preview", Fixture("video_h264_aac.mp4"), "--at", "1", "--out", dir + "/" + name});
        ASSERT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(r.out, dir + "/" + name + "\n");
        const auto probe = testsupport::FFprobe(dir + "/" + name);
        ASSERT_TRUE(probe.ok);
        ASSERT_NE(probe.First("video"), nullptr);
        EXPECT_EQ(probe.First("video")->width, 640);
    }
    EXPECT_EQ(Bytes(dir + "/pic.bmp.part"), "the user's own file");
    EXPECT_EQ(Bytes(outside + "/precious.txt"), "precious");
    EXPECT_TRUE(fs::is_symlink(dir + "/link.bmp.part"));
    EXPECT_EQ(Listing(dir),
              (std::vector<std::string>{"link.bmp", "link.bmp.part", "pic.bmp", "pic.bmp.part"}));
}

TEST(CliPreview, AFolderThatTakesNoFileIsNamedAsTheReason) {
    const std::string dir = ScratchDir("cli_preview_disk");
    testsupport::SmallTmpfs disk(dir, 64);  // smaller than one picture
    if (!disk.mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
    const std::string input = Fixture("video_h264_aac.mp4");
    RunResult full = RunCommand({Taviro(), "preview", input, "--at", "1", "--out", dir + "/full.bmp"});
    EXPECT_EQ(full.exit_code, 1);
    EXPECT_NE(full.err.find("cannot write " + dir + "/full.bmp: No space left on device"), std::string::npos)
        << full.err;
    EXPECT_TRUE(fs::is_empty(dir));
    ASSERT_TRUE(disk.MakeReadOnly());
    RunResult read_only = RunCommand({Taviro(), "preview", input, "--at", "1", "--out", dir + "/ro.bmp"});
    EXPECT_EQ(read_only.exit_code, 1);
    EXPECT_NE(read_only.err.find("Read-only file system"), std::string::npos) << read_only.err;
    EXPECT_TRUE(fs::is_empty(dir));
}

// A job through each tool whose output folder is deleted while it runs.
TEST(CliJobs, AnOutputFolderDeletedDuringTheJobFailsIt) {
    const std::string input = Fixture("long_20s.mp4");
    struct Case {
        std::string cli;
        std::vector<std::string> args;
    };
    const std::string dir = ScratchDir("cli_folder_deleted") + "/out";
    const Case cases[] = {
        {Melisk(), {"merge", input, input, input, input, "--out-dir", dir}},
        {Taviro(), {"cut", input, "--out-dir", dir, "--preset", "1", "--size", "1280*720"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cli);
        fs::create_directories(dir);
        std::vector<std::string> argv{c.cli};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        testsupport::RunningProcess cli(argv);
        ASSERT_TRUE(cli.WaitForError(std::regex(R"(file 1/\d +[1-9]\d?%)"))) << cli.err();
        fs::remove_all(dir);
        EXPECT_EQ(cli.Wait(), 1) << cli.err();
        EXPECT_NE(cli.err().find("the output folder no longer exists"), std::string::npos) << cli.err();
        EXPECT_EQ(cli.out(), "");
    }
}

TEST(CliJobs, AKilledJobLeavesNoFileUnderAFinalName) {
    const std::string dir = ScratchDir("cli_killed");
    const std::string input = Fixture("long_20s.mp4");
    testsupport::RunningProcess cli(
        {Taviro(), "cut", input, "--out-dir", dir, "--preset", "1", "--size", "1280*720"});
    ASSERT_TRUE(cli.WaitForError(std::regex(R"(file 1/1 +[1-9]\d?%)"))) << cli.err();
    cli.Signal(SIGKILL);
    cli.Wait();
    // At most the hidden file the job was writing, which says what it is.
    for (const std::string& name : Listing(dir)) EXPECT_EQ(name.rfind(".long_20s.mp4.part-", 0), 0u) << name;
}

// An audio job refused for a folder that takes no file names the file it would have written, in its
// own format.
TEST(CliJobs, AnUnwritableFolderNamesTheAudioFileTheJobWouldWrite) {
    const std::string dir = ScratchDir("cli_unwritable_audio");
    testsupport::SmallTmpfs disk(dir, 256);
    if (!disk.mounted() || !disk.MakeReadOnly()) GTEST_SKIP() << "no read-only tmpfs can be mounted here";
    const struct {
        std::vector<std::string> args;
        std::string file;
    } cases[] = {
        {{"cut", Fixture("tone.m4a"), "--out-dir", dir}, dir + "/tone.m4a"},
        {{"cut", Fixture("tone.m4a"), "--out-dir", dir, "--name", "part"}, dir + "/part.m4a"},
        {{"merge", Fixture("tone.ogg"), Fixture("tone.m4a"), "--out-dir", dir}, dir + "/tone.mp3"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv{Melisk()};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const RunResult r = RunCommand(argv);
        SCOPED_TRACE(c.args[0] + " " + c.file);
        EXPECT_EQ(r.exit_code, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("The file " + c.file + " cannot be created"), std::string::npos) << r.err;
    }
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST(CliProbe, InputsThatAreNoMediaFileSayWhy) {
    const std::string dir = ScratchDir("cli_probe_reasons");
    fs::create_directories(dir + "/folder.mp3");
    {
        std::mt19937 random(7);
        std::ofstream out(dir + "/random.mp3", std::ios::binary);
        for (int i = 0; i < 64 * 1024; ++i) out.put(static_cast<char>(random()));
    }
    const struct {
        std::string file;
        const char* reason;
    } cases[] = {
        {dir + "/missing.mp3", "it does not exist"},
        {dir + "/folder.mp3", "it is a folder, not a file"},
        {"/dev/null", "it is not a regular file"},
        {dir + "/random.mp3", ""},
        {Fixture("empty.mp3"), ""},
    };
    for (const std::string& cli : {Taviro(), Melisk()}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(cli + " probe " + c.file);
            // "--" ends the options before a file name.
            const RunResult r = RunCommand({cli, "probe", "--", c.file});
            EXPECT_EQ(r.exit_code, 1) << r.out;
            EXPECT_NE(r.err.find("probe failed"), std::string::npos) << r.err;
            EXPECT_NE(r.err.find(c.file + ": " + c.reason), std::string::npos) << r.err;
        }
    }
    const RunResult ok = RunCommand({Melisk(), "probe", "--", Fixture("audio_only.mp3")});
    EXPECT_EQ(ok.exit_code, 0) << ok.err;
    const RunResult play = RunCommand({Melisk(), "play", "--", dir + "/missing.mp3"});
    EXPECT_EQ(play.exit_code, 1);
    EXPECT_NE(play.err.find("missing.mp3: it does not exist"), std::string::npos) << play.err;
    // A job's file that does not exist is not called a file the program cannot read.
    for (const std::string& cli : {Taviro(), Melisk()}) {
        const RunResult cut = RunCommand({cli, "cut", dir + "/missing.mp3", "--out-dir", dir});
        EXPECT_EQ(cut.exit_code, 2);
        EXPECT_NE(cut.err.find("missing.mp3 cannot be opened: it does not exist."), std::string::npos)
            << cut.err;
        EXPECT_EQ(cut.err.find("this program can read"), std::string::npos) << cut.err;
    }
}

TEST(CliJobs, AnOutputNameTooLongIsRefusedAsSuch) {
    const std::string dir = ScratchDir("cli_long_name");
    const std::string name(258, 'n');
    for (const std::string& cli : {Taviro(), Melisk()}) {
        SCOPED_TRACE(cli);
        const RunResult r =
            RunCommand({cli, "cut", Fixture("audio_only.mp3"), "--out-dir", dir, "--name", name});
        EXPECT_EQ(r.exit_code, 2);
        EXPECT_NE(r.err.find("too long"), std::string::npos) << r.err;
    }
    EXPECT_TRUE(fs::is_empty(dir));
}

// Inputs that are not regular files: a pipe would block the open (and, with a writer, every later
// read), a device never ends. Each is refused at once, with that reason, and leaves nothing.
TEST(CliJobs, InputsThatAreNotRegularFilesAreRefusedAtOnce) {
    const std::string dir = ScratchDir("cli_not_regular");
    const std::string out = dir + "/out";
    fs::create_directories(out);
    const std::string fifo = dir + "/fifo.mp3", held = dir + "/held.mp3";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo(held.c_str(), 0644), 0);
    // A writer that keeps the pipe open and never writes.
    const int writer = ::open(held.c_str(), O_RDWR);
    ASSERT_GE(writer, 0);
    fs::create_directories(dir + "/folder.mp3");
    const std::string audio = Fixture("audio_only.mp3");
    for (const std::string& input : {fifo, held, dir + "/folder.mp3", std::string("/dev/zero")}) {
        const std::vector<std::vector<std::string>> runs = {
            {"timeout", "20", Taviro(), "cut", input, "--out-dir", out},
            {"timeout", "20", Taviro(), "merge", audio, input, "--out-dir", out},
            {"timeout", "20", Taviro(), "preview", input, "--at", "1", "--out", out + "/p.bmp"},
            {"timeout", "20", Melisk(), "cut", input, "--out-dir", out},
            {"timeout", "20", Melisk(), "merge", audio, input, "--out-dir", out},
        };
        for (const auto& run : runs) {
            SCOPED_TRACE(run[2] + " " + run[3] + " " + input);
            const RunResult r = RunCommand(run);
            EXPECT_TRUE(r.exit_code == 1 || r.exit_code == 2) << r.exit_code << " " << r.err;
            EXPECT_TRUE(r.err.find("not a regular file") != std::string::npos ||
                        r.err.find("it is a folder") != std::string::npos)
                << r.err;
            EXPECT_TRUE(fs::is_empty(out));
        }
    }
    ::close(writer);
}

// A file named like an FFmpeg protocol is a file: it is cut, and standard input is never read.
TEST(CliJobs, AFileNamedLikeAProtocolIsReadAsTheFile) {
    const std::string dir = ScratchDir("cli_protocol_name");
    fs::copy_file(Fixture("audio_only.mp3"), dir + "/pipe:0.mp3");
    for (const std::string& cli : {Taviro(), Melisk()}) {
        SCOPED_TRACE(cli);
        fs::remove_all(dir + "/out");
        fs::create_directories(dir + "/out");
        const std::string command = "cd " + testsupport::ShellQuote(dir) + " && exec " +
                                    testsupport::ShellQuote(cli) + " cut --direct pipe:0.mp3 --out-dir out";
        // Melisk's cut always copies; it knows no --direct.
        const std::string shown =
            cli == Melisk() ? std::regex_replace(command, std::regex(" --direct"), "") : command;
        const RunResult r = RunCommand({"sh", "-c", shown});
        ASSERT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(r.out, "out/pipe:0.mp3\n");
        EXPECT_NEAR(testsupport::DecodedAudioSeconds(dir + "/out/pipe:0.mp3"), 3.0, 0.1);
    }
}

}  // namespace
