#pragma once
// Reading what an audio device wrote: raw signed 16-bit interleaved samples, as SDL's disk audio
// driver (SDL_AUDIODRIVER=disk, SDL_DISKAUDIOFILE=path) stores them, and the beeps in them.
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct Pcm {
    int rate = 0;
    int channels = 0;
    std::vector<int16_t> samples;  // interleaved

    int64_t frames() const { return channels ? static_cast<int64_t>(samples.size()) / channels : 0; }
    double seconds() const { return rate ? static_cast<double>(frames()) / rate : 0; }
};

// A raw s16 file of the given format; empty when it cannot be read.
Pcm ReadPcm(const std::string& path, int rate, int channels);

// The ffmpeg tool's decoding of a media file to that format.
Pcm DecodeWithFfmpeg(const std::string& path, int rate, int channels);

// What was played: the device's silence (runs of at least 32 all-zero frames, which no decoded
// sound holds) cut out. gap_starts gives, for each interior run of silence, the number of played
// frames before it.
struct Played {
    Pcm pcm;
    std::vector<int64_t> gap_starts;
};
Played CutSilence(const Pcm& written);

// The beeps of the beep fixtures (see make_fixtures.sh): beep k starts at second k and sounds at
// 500 + 100 k Hz over a quiet hum that never reaches zero. Each found beep gives its first frame and its k
// (-1 when no pitch fits).
struct Beep {
    int64_t onset_frame = 0;
    int second = -1;
};
std::vector<Beep> FindBeeps(const Pcm& pcm);

// True when `frames` frames of `a` from a_from equal those of `b` from b_from (both in range).
bool SamplesMatch(const Pcm& a, int64_t a_from, const Pcm& b, int64_t b_from, int64_t frames);

}  // namespace testsupport
