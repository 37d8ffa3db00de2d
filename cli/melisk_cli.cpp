// melisk-cli: the audio tool's engine and player from the command line, for batch use, scripting
// and tests.

#include <cstdio>

extern "C" {
#include <libavutil/log.h>
}

#include "cli/cli_shell.h"
#include "cli/melisk_jobs.h"
#include "cli/melisk_play.h"

namespace {

void PrintUsage(FILE* out) {
    std::fputs("usage: melisk-cli COMMAND ...\n\ncommands:\n", out);
    PrintMeliskJobsUsage(out);
    std::fputs(kPlayUsage, out);
    std::fputs(
        "  --help\n"
        "      show this text\n"
        "\n"
        "A cut is named after its input and a merge after its first input unless --name is given; an\n"
        "existing file is never overwritten: song.mp3 becomes song(0).mp3, song(1).mp3, ...\n"
        "The chosen output path goes to standard output, the progress to standard error.\n"
        "Exit status: 0 done, 1 a file failed or cannot be played, 2 usage error or refused job, 130\n"
        "stopped by Ctrl-C.\n",
        out);
}

}  // namespace

int main(int argc, char** argv) {
    av_log_set_level(AV_LOG_QUIET);
    const cli::Shell shell("melisk-cli", MediaKind::kAudio);
    return shell.Main(
        argc, argv,
        {{"probe", RunMeliskProbe}, {"cut", RunMeliskCut}, {"merge", RunMeliskMerge}, {"play", RunPlay}},
        PrintUsage);
}
