#pragma once
// One file's audio decoded with FFmpeg and converted to signed 16-bit interleaved samples at the
// file's own rate, mono or stereo (the format the first decoded frame fixes). Positions are in sample
// frames of that rate from the stream's start. Not thread-safe: after Open, one thread at a time
// uses it (the player's decoding thread).

#include <cstdint>
#include <string>
#include <vector>

#include "media/failure.h"
#include "media/ffmpeg_ptr.h"

namespace auvella {

// Decoded samples and the position of their first frame.
struct Chunk {
    int64_t first_frame = 0;
    std::vector<int16_t> samples;  // interleaved, channels() a frame
};

class Decoder {
  public:
    Decoder() = default;
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Opens the file's audio stream and its decoder and decodes up to the first samples, which fix
    // rate() and channels(); they come back from the first Next. Fails when no sample decodes.
    media::Failure Open(const std::string& path);

    int rate() const { return m_rate; }
    int channels() const { return m_channels; }
    double duration_s() const { return m_duration_s; }

    // The next decoded samples, replacing *chunk. False at the end of the stream (or when reading
    // or decoding keeps failing), and from then on until Seek.
    bool Next(Chunk* chunk);

    // Flushes the decoder and moves it so that the next samples start at target_frame (those before
    // it are decoded and dropped). Formats without a usable index are read again from the start.
    media::Failure Seek(int64_t target_frame);

  private:
    bool DecodeFrame();  // into m_frame; false at the end
    bool Convert(Chunk* chunk);

    media::InputFormatPtr m_format;
    media::CodecContextPtr m_decoder;
    media::SwrPtr m_swr;
    media::FramePtr m_frame;
    media::PacketPtr m_packet;
    int m_stream = -1;
    int64_t m_stream_start = 0;  // in the stream's time base
    AVRational m_time_base{1, 1};
    // The input m_swr was made for, to rebuild it when the stream's format changes.
    int m_swr_in_rate = 0;
    int m_swr_in_format = -1;
    AVChannelLayout m_swr_in_layout{};
    int m_rate = 0;
    int m_channels = 0;
    double m_duration_s = 0;

    bool m_drained = false;           // the decoder gave its last frame
    int64_t m_next_frame = 0;         // position of the next converted sample
    bool m_next_frame_known = false;  // false after a seek until a decoded frame carries a time
    int64_t m_discard_until = 0;      // samples before this position are dropped (after a seek)
    Chunk m_first;                    // Open's samples, handed out by the first Next
    bool m_have_first = false;
};

}  // namespace auvella
