// melisk-cli: the audio tool's engine and player from the command line, for batch use, scripting
// and tests.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

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
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        PrintUsage(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    if (IsMeliskJobCommand(argv[1])) return RunMeliskJobCommand(argc, argv);
    if (!std::strcmp(argv[1], "play")) return RunPlay(std::vector<std::string>(argv + 2, argv + argc));
    std::fprintf(stderr, "melisk-cli: unknown command '%s'\n\n", argv[1]);
    PrintUsage(stderr);
    return 2;
}
