#include "cli/melisk_play.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <optional>

#include "auvella/auvella.h"
#include "common/time_text.h"

const char kPlayUsage[] =
    "  play FILE [--from HH:MM:SS.mmm] [--to HH:MM:SS.mmm]\n"
    "      play FILE on the default audio device from --from (the start) until --to (the end);\n"
    "      Ctrl-C stops it\n";

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int UsageError(const std::string& message) {
    std::fprintf(stderr, "melisk-cli: %s\n(see melisk-cli --help)\n", message.c_str());
    return kExitUsage;
}

volatile std::sig_atomic_t g_stop_signal = 0;

void OnStopSignal(int signal) {
    g_stop_signal = signal;
    // A second Ctrl-C ends the program at once.
    std::signal(signal, SIG_DFL);
}

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
int PlayOpenFile(std::optional<double> to_s) {
    double duration_s = 0;
    Auvella_GetDuration(&duration_s);
    PositionView view(to_s ? *to_s : duration_s);
    if (Auvella_Start() != 0) return kExitFailed;
    for (;;) {
        double position_s = 0;
        Auvella_GetCurrentPosition(&position_s);
        if (g_stop_signal) break;
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

}  // namespace

int RunPlay(const std::vector<std::string>& args) {
    std::optional<std::string> file;
    std::optional<int32_t> from_ms, to_ms;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--from" || arg == "--to") {
            if (i + 1 >= args.size()) return UsageError("option " + arg + " needs a value");
            auto& target = arg == "--from" ? from_ms : to_ms;
            if (target) return UsageError("option " + arg + " given twice");
            target = ParseTimeText(args[++i]);
            if (!target) return UsageError(arg + " must read like 00:01:02.500");
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("unknown option " + arg);
        } else if (file) {
            return UsageError("play takes exactly one FILE");
        } else {
            file = arg;
        }
    }
    if (!file) return UsageError("play needs a FILE");
    if (from_ms && to_ms && *to_ms <= *from_ms) return UsageError("--to must lie after --from");

    g_stop_signal = 0;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    g_finished = false;
    Auvella_Initialize(&OnFinished, nullptr, AUVELLA_INIT_TEXT);
    Auvella_SetFileName(file->c_str());
    int status = kExitOk;
    if (Auvella_Open() != 0) {
        char reason[256];
        Auvella_GetLastError(reason, sizeof reason);
        std::fprintf(stderr, "melisk-cli: cannot play %s: %s\n", file->c_str(), reason);
        status = kExitFailed;
    } else {
        double duration_s = 0;
        Auvella_GetDuration(&duration_s);
        if (from_ms && duration_s > 0 && *from_ms >= duration_s * 1000) {
            status = UsageError("--from lies after the end of the file (" +
                                TimeToText(Milliseconds(duration_s)) + ")");
        } else if (from_ms && *from_ms > 0 && Auvella_SetCurrentPosition(*from_ms / 1000.0) != 0) {
            char reason[256];
            Auvella_GetLastError(reason, sizeof reason);
            std::fprintf(stderr, "melisk-cli: cannot seek in %s: %s\n", file->c_str(), reason);
            status = kExitFailed;
        } else {
            std::optional<double> to_s;
            if (to_ms) to_s = *to_ms / 1000.0;
            status = PlayOpenFile(to_s);
        }
    }
    Auvella_Stop();
    Auvella_Close();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    if (g_stop_signal) {
        std::fprintf(stderr, "melisk-cli: stopped\n");
        return 128 + g_stop_signal;
    }
    return status;
}
