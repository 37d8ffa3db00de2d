#include "auvella/sample_queue.h"

#include <algorithm>
#include <cstring>

namespace auvella {

void SampleQueue::Reset(int64_t capacity_frames, int channels) {
    m_channels = std::max(channels, 1);
    m_capacity = std::max<int64_t>(capacity_frames, 1);
    m_ring.assign(static_cast<size_t>(m_capacity * m_channels), 0);
    Clear(0);
}

void SampleQueue::Clear(int64_t position) {
    m_head = 0;
    m_size = 0;
    m_front = position;
}

int64_t SampleQueue::Push(const int16_t* samples, int64_t frames, int64_t first_frame) {
    if (m_capacity == 0) return 0;
    if (m_size == 0) m_front = first_frame;
    int64_t count = std::min(frames, free_frames());
    int64_t tail = (m_head + m_size) % m_capacity;
    // At most two copies: up to the ring's end, then from its start.
    int64_t first_part = std::min(count, m_capacity - tail);
    std::memcpy(&m_ring[tail * m_channels], samples, first_part * m_channels * sizeof(int16_t));
    std::memcpy(m_ring.data(), samples + first_part * m_channels,
                (count - first_part) * m_channels * sizeof(int16_t));
    m_size += count;
    return count;
}

int64_t SampleQueue::Pop(int16_t* out, int64_t frames) {
    int64_t count = std::min(frames, m_size);
    if (count <= 0) return 0;
    int64_t first_part = std::min(count, m_capacity - m_head);
    std::memcpy(out, &m_ring[m_head * m_channels], first_part * m_channels * sizeof(int16_t));
    std::memcpy(out + first_part * m_channels, m_ring.data(),
                (count - first_part) * m_channels * sizeof(int16_t));
    m_head = (m_head + count) % m_capacity;
    m_size -= count;
    m_front += count;
    return count;
}

}  // namespace auvella
