#include "support/pcm.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#include "support/run.h"

namespace testsupport {

namespace {

Pcm FromBytes(const std::string& bytes, int rate, int channels) {
    Pcm pcm;
    pcm.rate = rate;
    pcm.channels = channels;
    size_t frame_bytes = 2 * static_cast<size_t>(channels);
    pcm.samples.resize(bytes.size() / frame_bytes * channels);
    std::memcpy(pcm.samples.data(), bytes.data(), pcm.samples.size() * 2);
    return pcm;
}

// Power of one frequency over a stretch of channel 0 (Goertzel).
double PowerAt(const Pcm& pcm, int64_t from, int64_t to, double hz) {
    double coeff = 2 * std::cos(2 * M_PI * hz / pcm.rate);
    double s1 = 0, s2 = 0;
    for (int64_t i = from; i < to; ++i) {
        double s = pcm.samples[i * pcm.channels] + coeff * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    return s1 * s1 + s2 * s2 - coeff * s1 * s2;
}

}  // namespace

Pcm ReadPcm(const std::string& path, int rate, int channels) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return FromBytes(bytes, rate, channels);
}

Pcm DecodeWithFfmpeg(const std::string& path, int rate, int channels) {
    RunResult r = RunCommand({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-f", "s16le", "-ar",
                              std::to_string(rate), "-ac", std::to_string(channels), "-"});
    return FromBytes(r.exit_code == 0 ? r.out : std::string(), rate, channels);
}

Played CutSilence(const Pcm& written) {
    constexpr int64_t kMinRun = 32;
    Played played;
    played.pcm.rate = written.rate;
    played.pcm.channels = written.channels;
    const int c = written.channels;
    auto silent = [&](int64_t f) {
        for (int i = 0; i < c; ++i)
            if (written.samples[f * c + i] != 0) return false;
        return true;
    };
    int64_t frames = written.frames();
    for (int64_t f = 0; f < frames;) {
        int64_t run = 0;
        while (f + run < frames && silent(f + run)) ++run;
        if (run >= kMinRun) {
            if (played.pcm.frames() > 0 && f + run < frames) played.gap_starts.push_back(played.pcm.frames());
            f += run;
            continue;
        }
        int64_t end = f + std::max<int64_t>(run, 1);
        played.pcm.samples.insert(played.pcm.samples.end(), written.samples.begin() + f * c,
                                  written.samples.begin() + end * c);
        f = end;
    }
    return played;
}

std::vector<Beep> FindBeeps(const Pcm& pcm) {
    // A beep peaks near half of full scale, the hum at 3 %.
    constexpr int kLoud = 8000;
    const int64_t window = std::max(pcm.rate / 200, 1);
    const int64_t frames = pcm.frames();
    std::vector<Beep> beeps;
    int64_t last_loud = -1'000'000'000;
    for (int64_t w = 0; w < frames; w += window) {
        int64_t end = std::min(w + window, frames);
        int64_t first_loud = -1;
        for (int64_t f = w; f < end && first_loud < 0; ++f)
            if (std::abs(pcm.samples[f * pcm.channels]) > kLoud) first_loud = f;
        if (first_loud < 0) continue;
        // Loud windows less than 50 ms apart belong to one beep.
        if (first_loud - last_loud > pcm.rate / 20) beeps.push_back({first_loud, -1});
        last_loud = end;
    }
    for (Beep& beep : beeps) {
        int64_t from = beep.onset_frame + pcm.rate / 100;
        int64_t to = std::min(beep.onset_frame + pcm.rate / 10, frames);
        if (to - from < pcm.rate / 50) continue;
        double best = 0;
        for (int k = 0; k < 10; ++k) {
            double power = PowerAt(pcm, from, to, 500 + 100 * k);
            if (power > best) {
                best = power;
                beep.second = k;
            }
        }
    }
    return beeps;
}

bool SamplesMatch(const Pcm& a, int64_t a_from, const Pcm& b, int64_t b_from, int64_t frames) {
    if (a.channels != b.channels || a_from < 0 || b_from < 0 || frames < 0 || a_from + frames > a.frames() ||
        b_from + frames > b.frames())
        return false;
    return std::equal(a.samples.begin() + a_from * a.channels,
                      a.samples.begin() + (a_from + frames) * a.channels,
                      b.samples.begin() + b_from * b.channels);
}

}  // namespace testsupport
