// melisk-cli: the audio tool's work from the command line, for batch use, scripting and tests.
// Each command lives in its own file (melisk_<command>.cpp) and adds its lines to the usage text.
//
// Exit status: 0 done, 1 failed, 2 a usage error, 130 stopped by Ctrl-C.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "cli/melisk_play.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;

struct Command {
    const char* name;
    const char* usage;
    int (*run)(const std::vector<std::string>& args);
};

const Command kCommands[] = {
    {"play", kPlayUsage, &RunPlay},
};

void PrintUsage(FILE* out) {
    std::fputs("usage: melisk-cli COMMAND ...\n\ncommands:\n", out);
    for (const Command& command : kCommands) std::fputs(command.usage, out);
    std::fputs(
        "  --help\n"
        "      show this text\n"
        "\n"
        "Times read HH:MM:SS.mmm (the milliseconds may be left out). Progress goes to standard error.\n"
        "Exit status: 0 done, 1 failed, 2 usage error, 130 stopped by Ctrl-C.\n",
        out);
}

}  // namespace

int main(int argc, char** argv) {
    av_log_set_level(AV_LOG_QUIET);
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        PrintUsage(argc < 2 ? stderr : stdout);
        return argc < 2 ? kExitUsage : kExitOk;
    }
    for (const Command& command : kCommands)
        if (!std::strcmp(argv[1], command.name))
            return command.run(std::vector<std::string>(argv + 2, argv + argc));
    std::fprintf(stderr, "melisk-cli: unknown command '%s'\n\n", argv[1]);
    PrintUsage(stderr);
    return kExitUsage;
}
