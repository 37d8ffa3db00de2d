// How fast the player library answers: from Auvella_Start to the first sample handed to the audio
// device, and from a seek while playing (Auvella_SetCurrentPosition) to the first sample of the new
// position handed. The sample sounds one device buffer later, which the table adds as "+ buffer".
// Plays on the default audio device, or, when none opens, on SDL's disk driver writing to /dev/null
// (which paces like a device).
//
// Then the audio callback's own cost: the longest time spent in one callback over 60 s of playback
// with 20 seeks while playing, on SDL's disk driver writing to /dev/null with a short pause between
// buffers (so it runs several times faster than real time). A callback that takes longer than the
// device buffer it fills is heard as a drop-out on a real device.
//
// Makes its inputs with the ffmpeg tool in the build tree's bench-media.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "auvella/auvella.h"
#include "auvella/player.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kTrials = 15;
constexpr int kPlayedSeconds = 60;
constexpr int kSeeks = 20;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Waits until the device has been handed samples after `since` that start at or after `frame`;
// returns when that happened.
Clock::time_point WaitForHand(Clock::time_point since, int64_t frame) {
    auto deadline = since + std::chrono::seconds(2);
    for (;;) {
        auvella::HandInfo hand = auvella::ThePlayer().LastHand();
        if (hand.at > since && hand.frames > 0 && hand.first_frame >= frame) return hand.at;
        if (Clock::now() > deadline) return deadline;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

struct Stats {
    double median = 0, max = 0;
};
Stats Summary(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v.back()};
}

struct CallbackRun {
    auvella::CallbackStats stats;
    bool complete = false;  // played the whole 60 s with every seek
};

// Plays the open file until the device has been handed kPlayedSeconds of samples, seeking while
// playing each time another 60 / (kSeeks + 1) seconds have been handed.
CallbackRun PlayWithSeeks(int rate) {
    auvella::Player& player = auvella::ThePlayer();
    player.ResetCallbackStats();
    const int64_t total = static_cast<int64_t>(kPlayedSeconds) * rate;
    const int64_t step = total / (kSeeks + 1);
    int seeks = 0;
    auto deadline = Clock::now() + std::chrono::seconds(4 * kPlayedSeconds);
    Auvella_Start();
    for (;;) {
        int64_t handed = player.CallbackStatsNow().frames_handed;
        if (handed >= total || Clock::now() > deadline) break;
        if (seeks < kSeeks && handed >= (seeks + 1) * step) {
            // Targets spread over the file and never near its end, so playing never stops.
            Auvella_SetCurrentPosition(std::fmod(2.0 + 17.3 * seeks, 50.0));
            ++seeks;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    Auvella_Pause();
    CallbackRun run;
    run.stats = player.CallbackStatsNow();
    run.complete = seeks == kSeeks && run.stats.frames_handed >= total;
    return run;
}

// Opens the format's tone file, giving its sample rate and the device buffer in milliseconds.
bool OpenTone(const std::string& dir, const char* ext, int32_t* rate, double* buffer_ms) {
    Auvella_SetFileName((dir + "/tone_60s." + ext).c_str());
    if (Auvella_Open() != 0) {
        std::printf("%-6s cannot be opened\n", ext);
        return false;
    }
    Auvella_GetMideaType(rate, nullptr);
    *buffer_ms = 1000.0 * auvella::ThePlayer().DeviceBufferFrames() / *rate;
    return true;
}

}  // namespace

int main() {
    const std::string dir = std::string(BENCH_MEDIA) + "/auvella";
    std::filesystem::create_directories(dir);
    const char* formats[] = {"wav", "mp3", "m4a", "ogg", "opus", "flac"};
    for (const char* ext : formats) {
        std::string path = dir + "/tone_60s." + ext;
        if (std::filesystem::exists(path)) continue;
        std::string command =
            "ffmpeg -nostdin -v error -y -f lavfi -i "
            "'aevalsrc=0.3*sin(2*PI*(300+10*floor(t))*t):s=44100:d=60' -ac 2 '" +
            path + "'";
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "cannot make %s\n", path.c_str());
            return 1;
        }
    }

    Auvella_Initialize(nullptr, nullptr, AUVELLA_INIT_TEXT);
    Auvella_SetFileName((dir + "/tone_60s.wav").c_str());
    if (Auvella_Open() != 0) {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
        if (Auvella_Open() != 0) {
            std::fprintf(stderr, "no audio device opens\n");
            return 1;
        }
    }
    Auvella_Close();
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    std::printf("audio driver: %s; %d trials each, milliseconds\n", driver ? driver : "default", kTrials);
    std::printf("%-6s %13s %13s %13s %13s %9s\n", "file", "start median", "start max", "seek median",
                "seek max", "+ buffer");

    for (const char* ext : formats) {
        int32_t rate = 0;
        double buffer_ms = 0;
        if (!OpenTone(dir, ext, &rate, &buffer_ms)) continue;
        std::vector<double> starts, seeks;
        for (int i = 0; i < kTrials; ++i) {
            Auvella_Pause();
            std::this_thread::sleep_for(std::chrono::milliseconds(60));
            auto t0 = Clock::now();
            Auvella_Start();
            starts.push_back(Ms(WaitForHand(t0, 0) - t0));
            std::this_thread::sleep_for(std::chrono::milliseconds(60));
            double target_s = 2.0 + 3.7 * i;
            t0 = Clock::now();
            Auvella_SetCurrentPosition(target_s);
            seeks.push_back(Ms(WaitForHand(t0, static_cast<int64_t>(target_s * rate) - 1) - t0));
        }
        Auvella_Close();
        Stats start = Summary(starts), seek = Summary(seeks);
        std::printf("%-6s %13.1f %13.1f %13.1f %13.1f %9.1f\n", ext, start.median, start.max, seek.median,
                    seek.max, buffer_ms);
    }

    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    setenv("SDL_DISKAUDIODELAY", "2", 1);
    std::printf("\naudio callback over %d s of playback with %d seeks (disk driver, 2 ms between buffers)\n",
                kPlayedSeconds, kSeeks);
    std::printf("%-6s %10s %13s %13s %9s\n", "file", "callbacks", "longest ms", "over 1 ms", "buffer ms");
    for (const char* ext : formats) {
        int32_t rate = 0;
        double buffer_ms = 0;
        if (!OpenTone(dir, ext, &rate, &buffer_ms)) continue;
        CallbackRun run = PlayWithSeeks(rate);
        Auvella_Close();
        std::printf("%-6s %10lld %13.3f %13lld %9.1f%s\n", ext, static_cast<long long>(run.stats.callbacks),
                    Ms(run.stats.longest), static_cast<long long>(run.stats.over_1ms), buffer_ms,
                    run.complete ? "" : "  (did not finish)");
    }
    return 0;
}
