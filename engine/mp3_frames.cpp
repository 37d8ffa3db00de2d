#include "engine/mp3_frames.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

extern "C" {
#include <libavcodec/packet.h>
#include <libavutil/buffer.h>
}

namespace engine {

namespace {

// Read size: big enough that a scan costs few system calls, small enough to stay off mmap'd
// allocations and out of the peak memory.
constexpr int kChunkBytes = 64 * 1024;
constexpr int kPadding = 64;  // AV_INPUT_BUFFER_PADDING_SIZE
// Zero bytes passed over before the first frame (after ID3v2 tags).
constexpr int64_t kLeadingZerosMax = 64 * 1024;
// The scan only looks at headers, so it maps the file a window at a time instead of copying all
// of it; windows are unmapped behind it so that the file never counts in the peak memory.
constexpr int64_t kWindowBytes = 4 << 20;

bool SameStream(const Mp3FrameHeader& a, const Mp3FrameHeader& b) {
    return a.version == b.version && a.sample_rate == b.sample_rate;
}

}  // namespace

int64_t Mp3Frames::OutputSamples() const {
    const int64_t n = DecodedSamples();
    const int64_t dropped_end =
        std::max<int64_t>(0, std::min(n, discard_end) - std::max(discard_begin, start_skip));
    return std::max<int64_t>(0, n - start_skip - dropped_end);
}

int64_t Mp3Frames::DecodedIndex(int64_t out) const {
    int64_t d = out + start_skip;
    if (d >= discard_begin && discard_begin >= start_skip) d += discard_end - discard_begin;
    return d;
}

Mp3FrameReader::Mp3FrameReader(int fd) : m_fd(fd) {
    struct stat st {};
    if (fstat(fd, &st) == 0) m_size = st.st_size;
    m_pool = av_buffer_pool_init(kChunkBytes + kPadding, nullptr);
}

Mp3FrameReader::~Mp3FrameReader() {
    Unmap();
    av_buffer_unref(&m_buf);
    av_buffer_pool_uninit(&m_pool);
}

void Mp3FrameReader::Unmap() {
    if (m_map) munmap(m_map, static_cast<size_t>(m_map_len));
    m_map = nullptr;
    m_map_len = 0;
}

const uint8_t* Mp3FrameReader::Bytes(int64_t offset, int64_t size) {
    if (m_mapping) {
        if (m_map && offset >= m_map_base && offset + size <= m_map_base + m_map_len)
            return static_cast<const uint8_t*>(m_map) + (offset - m_map_base);
        if (offset < 0 || size < 0 || offset + size > m_size) return nullptr;
        Unmap();
        m_map_base = offset & ~int64_t{4095};
        m_map_len = std::min(kWindowBytes, m_size - m_map_base);
        void* map = mmap(nullptr, static_cast<size_t>(m_map_len), PROT_READ, MAP_PRIVATE, m_fd, m_map_base);
        if (map != MAP_FAILED) {
            m_map = map;
            return offset + size <= m_map_base + m_map_len
                       ? static_cast<const uint8_t*>(m_map) + (offset - m_map_base)
                       : nullptr;
        }
        m_map_len = 0;
        m_mapping = false;  // read instead
    }
    if (m_buf && offset >= m_base && offset + size <= m_base + m_len) return m_buf->data + (offset - m_base);
    if (offset < 0 || size < 0 || size > kChunkBytes || offset + size > m_size || !m_pool) return nullptr;
    av_buffer_unref(&m_buf);
    m_buf = av_buffer_pool_get(m_pool);
    if (!m_buf) return nullptr;
    m_base = offset;
    m_len = 0;
    while (m_len < kChunkBytes) {
        const ssize_t n = pread(m_fd, m_buf->data + m_len, kChunkBytes - m_len, m_base + m_len);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        m_len += n;
    }
    std::memset(m_buf->data + m_len, 0, kPadding);
    return offset + size <= m_base + m_len ? m_buf->data : nullptr;
}

// A header counts where the next frame starts right after it (or the file ends, or a tag follows),
// so that bytes of a damaged stretch that look like a header are passed over.
bool Mp3FrameReader::FrameAt(int64_t offset, Mp3FrameHeader* h) {
    const uint8_t* p = Bytes(offset, 4);
    if (!p || p[0] != 0xFF || !ParseMp3Header(p, h)) return false;
    if (m_have_first && !SameStream(*h, m_first)) return false;
    const int64_t next = offset + h->size;
    if (next > m_size) {
        // A stream cut off in its last frame: FFmpeg decodes what is there of it.
        if (!m_have_first || m_size - offset < 4 + (h->crc ? 2 : 0) + h->side_info) return false;
        h->size = static_cast<int>(m_size - offset);
        return true;
    }
    if (next + 4 > m_size) return true;
    p = Bytes(offset, h->size + 4);
    if (!p) return false;
    const uint8_t* q = p + h->size;
    Mp3FrameHeader n;
    return (ParseMp3Header(q, &n) && SameStream(n, *h)) || std::memcmp(q, "TAG", 3) == 0 ||
           (next + 8 <= m_size && std::memcmp(q, "APETAGEX", 8) == 0);
}

bool Mp3FrameReader::Find(Mp3FrameHeader* h) {
    for (; m_pos + 4 <= m_size; ++m_pos)
        if (FrameAt(m_pos, h)) return true;
    return false;
}

std::string Mp3FrameReader::Scan(Mp3Frames* f, int64_t stop_frame) {
    m_mapping = true;
    std::string error = ScanFrames(f, stop_frame);
    Unmap();
    m_mapping = false;
    return error;
}

std::string Mp3FrameReader::ScanFrames(Mp3Frames* f, int64_t stop_frame) {
    *f = Mp3Frames{};
    f->file_size = m_size;
    int64_t pos = 0;
    while (pos < m_size) {
        const uint8_t* p = Bytes(pos, std::min<int64_t>(10, m_size - pos));
        if (!p) break;
        const int64_t tag = Id3v2TagSize(p, m_size - pos);
        if (tag == 0) break;
        pos += tag;
    }
    const int64_t data_begin = pos;
    m_have_first = false;
    // The first frame right there, after any zero bytes: other formats holding MP3 frames (WAV,
    // Matroska, MPEG-TS) begin with their own header and are left to their own readers, which time
    // and trim the frames in their own way.
    for (m_pos = pos; m_pos - data_begin < kLeadingZerosMax; ++m_pos) {
        const uint8_t* p = Bytes(m_pos, 1);
        if (!p || *p != 0) break;
    }
    Mp3FrameHeader h;
    if (!FrameAt(m_pos, &h)) return "holds no MPEG layer III frames";
    m_first = h;
    m_have_first = true;
    f->first = h;
    Mp3InfoTag tag;
    if (const uint8_t* p = Bytes(m_pos, h.size); p && ParseMp3InfoFrame(p, h, &tag)) m_pos += h.size;

    int64_t frame_bytes = 0;
    m_frame = 0;
    while (m_frame < stop_frame && Find(&h)) {
        if (m_frame % Mp3Frames::kCheckpointFrames == 0) f->checkpoints.push_back(m_pos);
        frame_bytes += h.size;
        m_pos += h.size;
        ++m_frame;
    }
    f->count = m_frame;
    // Bytes of another format can hold a few chains of what look like frames; an MP3 file is mostly
    // frames.
    if (f->count == 0 || (stop_frame == INT64_MAX && 2 * frame_bytes < m_size - data_begin))
        return "holds no MPEG layer III frames";
    // As FFmpeg's reader trims: the delay of a LAME tag at the start, its padding at the end when the
    // tag also gives the frame count.
    if (tag.delays) {
        f->start_skip = tag.encoder_delay + kMp3DecoderDelay;
        if (tag.frames >= 0) {
            f->discard_end = tag.frames * h.samples;
            f->discard_begin = f->discard_end - tag.padding + kMp3DecoderDelay;
        }
    }
    return {};
}

bool Mp3FrameReader::Seek(const Mp3Frames& f, int64_t frame) {
    const int64_t checkpoint = frame / Mp3Frames::kCheckpointFrames;
    if (frame < 0 || checkpoint >= static_cast<int64_t>(f.checkpoints.size())) return false;
    m_first = f.first;
    m_have_first = true;
    m_pos = f.checkpoints[checkpoint];
    m_frame = checkpoint * Mp3Frames::kCheckpointFrames;
    Mp3FrameHeader h;
    while (m_frame < frame) {
        if (!Find(&h)) return false;
        m_pos += h.size;
        ++m_frame;
    }
    return true;
}

bool Mp3FrameReader::Next(AVPacket* packet, int* main_data) {
    Mp3FrameHeader h;
    if (!m_have_first || !Find(&h)) return false;
    const uint8_t* p = Bytes(m_pos, h.size);
    if (!p) return false;
    av_packet_unref(packet);
    packet->buf = av_buffer_ref(m_buf);
    if (!packet->buf) return false;
    packet->data = const_cast<uint8_t*>(p);
    packet->size = h.size;
    if (main_data) *main_data = std::max(0, h.size - 4 - (h.crc ? 2 : 0) - h.side_info);
    m_pos += h.size;
    ++m_frame;
    return true;
}

}  // namespace engine
