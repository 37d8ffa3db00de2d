#pragma once
// An MP3 file's layer III frames found by their headers and handed out one by one as packets for a
// decoder, read through a small buffer so that memory does not grow with the file (unlike
// Mp3Stream, which holds the whole file). An index of every kCheckpointFrames-th frame lets a
// reader enter the stream near any frame, so stretches of one file can be decoded in parallel.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/mp3_stream.h"

struct AVBufferPool;
struct AVBufferRef;
struct AVPacket;

namespace engine {

// The frame layout of one MP3 file and the samples the ffmpeg tool trims from its decode.
struct Mp3Frames {
    static constexpr int kCheckpointFrames = 64;

    Mp3FrameHeader first;  // the first audio frame's header
    int64_t file_size = 0;
    int64_t count = 0;                 // audio frames (no tags, no Xing/Info frame)
    std::vector<int64_t> checkpoints;  // offset of frame k * kCheckpointFrames
    // Decoded samples (counted from the first frame's first) that are no part of the sound: the
    // encoder's and decoder's delay at the start, the encoder's padding at the end.
    int64_t start_skip = 0;
    int64_t discard_begin = INT64_MAX, discard_end = INT64_MAX;

    int64_t DecodedSamples() const { return count * first.samples; }
    // Samples the ffmpeg tool's decode of the file has.
    int64_t OutputSamples() const;
    // The decoded sample that output sample `out` is.
    int64_t DecodedIndex(int64_t out) const;
};

// Walks the frames of an open file (`fd`, not owned) from a given frame on. Any thread; one reader
// per thread.
class Mp3FrameReader {
  public:
    explicit Mp3FrameReader(int fd);
    ~Mp3FrameReader();
    Mp3FrameReader(const Mp3FrameReader&) = delete;
    Mp3FrameReader& operator=(const Mp3FrameReader&) = delete;

    // Finds the frames (all, or until `stop_frame` frames are indexed). Empty string, or why the file
    // is no MP3 stream this code reads.
    std::string Scan(Mp3Frames* frames, int64_t stop_frame = INT64_MAX);
    // Places the reader on frame `frame` of a scanned layout; false past the end.
    bool Seek(const Mp3Frames& frames, int64_t frame);
    // The next frame as a packet referring to the reader's buffer (the decoder takes its own
    // reference); false at the end. `main_data` gets the bytes the frame adds to the bit reservoir.
    bool Next(AVPacket* packet, int* main_data = nullptr);
    int64_t frame() const { return m_frame; }

  private:
    std::string ScanFrames(Mp3Frames* frames, int64_t stop_frame);
    const uint8_t* Bytes(int64_t offset, int64_t size);
    void Unmap();
    bool FrameAt(int64_t offset, Mp3FrameHeader* h);
    bool Find(Mp3FrameHeader* h);  // from m_pos on: the next frame's offset in m_pos

    int m_fd;
    int64_t m_size = 0;
    AVBufferPool* m_pool = nullptr;
    AVBufferRef* m_buf = nullptr;
    int64_t m_base = 0, m_len = 0;  // the file's bytes [m_base, m_base + m_len) are in m_buf
    bool m_mapping = false;         // scanning: bytes come from a mapped window instead
    void* m_map = nullptr;
    int64_t m_map_base = 0, m_map_len = 0;
    Mp3FrameHeader m_first;
    bool m_have_first = false;
    int64_t m_pos = 0;    // offset of the next frame or where to look for it
    int64_t m_frame = 0;  // index of the frame at m_pos
};

}  // namespace engine
