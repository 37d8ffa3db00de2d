#pragma once
// A bounded queue of interleaved signed 16-bit sample frames with the file position of its first
// frame: the decoding thread pushes, the audio callback pops. Its storage is allocated once, by
// Reset, so neither Push nor Pop allocates. Not thread-safe: the player holds its lock around each
// call, and each call is one copy.

#include <cstdint>
#include <vector>

namespace auvella {

class SampleQueue {
  public:
    // Empties the queue and sizes it for `capacity_frames` frames of `channels` samples.
    void Reset(int64_t capacity_frames, int channels);
    // Empties the queue; the next frame pushed lies at `position` unless Push says otherwise.
    void Clear(int64_t position);

    int64_t capacity_frames() const { return m_capacity; }
    int64_t frames() const { return m_size; }
    int64_t free_frames() const { return m_capacity - m_size; }
    // The file position of the first queued frame (of the next frame pushed when empty).
    int64_t front_frame() const { return m_front; }

    // Copies up to `frames` frames from `samples` to the back and returns how many fit.
    // `first_frame` is the position of samples[0]: it becomes the front when the queue is empty.
    int64_t Push(const int16_t* samples, int64_t frames, int64_t first_frame);
    // Copies up to `frames` frames from the front to `out` and returns how many there were.
    int64_t Pop(int16_t* out, int64_t frames);

  private:
    std::vector<int16_t> m_ring;
    int m_channels = 1;
    int64_t m_capacity = 0;  // in frames
    int64_t m_head = 0;      // index of the front frame in the ring
    int64_t m_size = 0;      // frames queued
    int64_t m_front = 0;
};

}  // namespace auvella
