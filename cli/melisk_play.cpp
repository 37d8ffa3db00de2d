#include "cli/melisk_play.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

extern "C" {
#include <libavutil/error.h>
}

#include "auvella/auvella.h"
#include "cli/cli_shell.h"
#include "cli/input_problem.h"
#include "common/time_text.h"

const char kPlayUsage[] =
    "  play FILE [--from HH:MM:SS.mmm] [--to HH:MM:SS.mmm]\n"
    "      play FILE on the default audio device from --from (the start) until --to (the end);\n"
    "      Ctrl-C stops it\n";

namespace {

using cli::kExitFailed;
using cli::kExitOk;

const cli::Shell kShell("melisk-cli", MediaKind::kAudio);

bool g_finished = false;
int OnFinished() {
    g_finished = true;
    return 1;
}

int32_t Milliseconds(double seconds) {
    return static_cast<int32_t>(std::clamp(seconds * 1000, 0.0, 2147483647.0));
}

// The position on standard error: rewritten in place on a terminal, else a line per second played.
class PositionView {
  public:
    explicit PositionView(double duration_s)
        : duration_(TimeToText(Milliseconds(duration_s))), live_(isatty(STDERR_FILENO)) {}

    void Show(double position_s) {
        int32_t ms = Milliseconds(position_s);
        if (live_) {
            std::fprintf(stderr, "\r%s / %s", TimeToText(ms).c_str(), duration_.c_str());
            std::fflush(stderr);
            drawn_ = true;
        } else if (ms / 1000 != last_second_) {
            std::fprintf(stderr, "position: %s / %s\n", TimeToText(ms).c_str(), duration_.c_str());
            last_second_ = ms / 1000;
        }
    }
    void End() {
        if (live_ && drawn_) std::fputc('\n', stderr);
    }

  private:
    std::string duration_;
    bool live_;
    bool drawn_ = false;
    int32_t last_second_ = -1;
};

// Plays the open file from its current position until to_s (or its end, or a stop signal).
int PlayOpenFile(std::optional<double> to_s, const cli::StopSignals& stop) {
    double duration_s = 0;
    Auvella_GetDuration(&duration_s);
    PositionView view(to_s ? *to_s : duration_s);
    if (Auvella_Start() != 0) return kExitFailed;
    for (;;) {
        double position_s = 0;
        Auvella_GetCurrentPosition(&position_s);
        if (stop.caught()) break;
        if (to_s && position_s >= *to_s) {
            view.Show(*to_s);
            break;
        }
        view.Show(position_s);
        // Near the end of the stretch, wake just in time for it.
        int wait_ms = 100;
        if (to_s) wait_ms = std::clamp(static_cast<int>((*to_s - position_s) * 1000), 1, 100);
        Auvella_Dispatch(wait_ms);
        if (g_finished) {
            view.Show(to_s ? *to_s : duration_s);
            break;
        }
    }
    view.End();
    return kExitOk;
}

// Why the player could not open the file: the file (missing, no sound) or the machine (no device).
std::string OpenFailureText(const std::string& file) {
    char reason[256];
    const int error = Auvella_GetLastError(reason, sizeof reason);
    if (const std::string problem = InputFileProblem(file); !problem.empty()) return problem;
    if (error == AVERROR_STREAM_NOT_FOUND) return "the file has no sound (no audio stream)";
    if (error == AVERROR(ENODEV)) return std::string(reason) + "; SDL_AUDIODRIVER chooses another driver";
    return reason;
}

}  // namespace

int RunPlay(const std::vector<std::string>& args) {
    cli::Options options;
    std::string error = cli::ParseOptions(args, {{"--from", "--to"}, {}}, &options);
    if (!error.empty()) return kShell.UsageError(error);
    const std::optional<int32_t> from_ms = cli::ReadTimeOption(options, "--from", &error);
    if (!error.empty()) return kShell.UsageError(error);
    const std::optional<int32_t> to_ms = cli::ReadTimeOption(options, "--to", &error);
    if (!error.empty()) return kShell.UsageError(error);
    if (options.files.size() > 1) return kShell.UsageError("play takes exactly one FILE");
    if (options.files.empty()) return kShell.UsageError("play needs a FILE");
    const std::string& file = options.files[0];
    if (from_ms && to_ms && *to_ms <= *from_ms) return kShell.UsageError("--to must lie after --from");

    cli::StopSignals stop;
    g_finished = false;
    Auvella_Initialize(&OnFinished, nullptr, AUVELLA_INIT_TEXT);
    Auvella_SetFileName(file.c_str());
    int status = kExitOk;
    if (Auvella_Open() != 0) {
        std::fprintf(stderr, "melisk-cli: cannot play %s: %s\n", file.c_str(), OpenFailureText(file).c_str());
        status = kExitFailed;
    } else {
        double duration_s = 0;
        Auvella_GetDuration(&duration_s);
        if (from_ms && duration_s > 0 && *from_ms >= duration_s * 1000) {
            status = kShell.UsageError("--from lies after the end of the file (" +
                                       TimeToText(Milliseconds(duration_s)) + ")");
        } else if (from_ms && *from_ms > 0 && Auvella_SetCurrentPosition(*from_ms / 1000.0) != 0) {
            char reason[256];
            Auvella_GetLastError(reason, sizeof reason);
            std::fprintf(stderr, "melisk-cli: cannot seek in %s: %s\n", file.c_str(), reason);
            status = kExitFailed;
        } else {
            std::optional<double> to_s;
            if (to_ms) to_s = *to_ms / 1000.0;
            status = PlayOpenFile(to_s, stop);
        }
    }
    Auvella_Stop();
    Auvella_Close();
    if (stop.caught()) {
        std::fprintf(stderr, "melisk-cli: stopped\n");
        return 128 + stop.caught();
    }
    return status;
}
