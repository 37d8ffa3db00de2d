#pragma once
// The joints of the lossless MP3 join. Copied frames sit on the frame grid, so between the last sound
// of one file and the first of the next (each file's encoder delay and padding) there is almost
// always a gap of encoder priming and padding. Only the few frames around each joint are re-encoded
// (libmp3lame, no bit reservoir) from the files' own decoded sound, so that the output holds the
// sound of the first file, at most one frame less one sample of silence, then the sound of the next;
// every other frame is copied byte for byte. The last re-encoded frame before copied frames carries
// the bit-reservoir bytes the first copied frames point back to.

#include <atomic>
#include <cstddef>
#include <memory>
#include <vector>

#include "engine/mp3_stream.h"

namespace engine {

// Frames [first, end) of `stream`, written for job input `input`.
struct Mp3Piece {
    const Mp3Stream* stream = nullptr;
    size_t first = 0;
    size_t end = 0;
    int input = 0;
    size_t size() const { return end - first; }
};

struct Mp3JoinPlan {
    std::vector<Mp3Piece> pieces;                  // in output order
    std::vector<std::unique_ptr<Mp3Stream>> made;  // the re-encoded frames some pieces point to
    int encoder_delay = 0;                         // for the LAME tag (without the decoder delay)
    int padding = 0;
};

// Plans the join of `streams` (same version, sample rate and channel count; all outlive the plan):
// decodes and re-encodes the joints on the calling thread. Returns 0, or the FFmpeg error of the step
// named in *failed_step (then nothing is planned). Stops early, returning AVERROR_EXIT, when `cancel`
// becomes true.
int PlanMp3Join(const std::vector<Mp3Stream>& streams, const std::atomic<bool>& cancel, Mp3JoinPlan* plan,
                const char** failed_step);

}  // namespace engine
