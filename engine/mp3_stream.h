#pragma once
// MPEG audio layer III files read frame by frame, without decoding: frame headers, the bit
// reservoir's back pointer, the Xing/Info frame with its LAME tag (encoder delay and padding), and
// the writing of such a frame for a new file. Used by the sample-exact MP3 cut and the lossless
// join; no FFmpeg state, only bytes.

#include <cstdint>
#include <string>
#include <vector>

namespace engine {

// The FFmpeg decoder's own delay in samples: a LAME tag's encoder delay counts without it.
inline constexpr int kMp3DecoderDelay = 529;

struct Mp3FrameHeader {
    int version = 0;   // 1 (MPEG-1), 2 (MPEG-2), 25 (MPEG-2.5)
    int bit_rate = 0;  // bits per second
    int sample_rate = 0;
    int channels = 0;
    int size = 0;         // bytes of the whole frame
    int samples = 0;      // per frame: 1152 or 576
    int side_info = 0;    // bytes of side information after the header (and CRC)
    bool crc = false;     // a 16-bit CRC follows the header
    uint8_t raw[4] = {};  // the header's bytes
};

// Parses a 4-byte layer III frame header; false for anything else (other layers, free format,
// reserved values).
bool ParseMp3Header(const uint8_t* p, Mp3FrameHeader* header);

// What a Xing/Info (or VBRI) frame at the start of a stream says.
struct Mp3InfoTag {
    int64_t frames = -1;            // the stream's audio frames, -1 when not given
    bool delays = false;            // a LAME tag whose delay and padding FFmpeg honours
    int encoder_delay = 0;          // samples, LAME's convention (without the decoder delay)
    int padding = 0;                // samples
    std::vector<uint8_t> lame_tag;  // the 36 bytes from the encoder's name on, when present
};

// Reads `frame` (h.size bytes, header h) as a Xing/Info/VBRI frame; false when it is an audio frame.
bool ParseMp3InfoFrame(const uint8_t* frame, const Mp3FrameHeader& h, Mp3InfoTag* tag);

// The size of the ID3v2 tag at p (`available` bytes readable there), 0 for none.
int64_t Id3v2TagSize(const uint8_t* p, int64_t available);

struct Mp3Frame {
    int64_t offset = 0;  // in the file
    int size = 0;
    int main_data_begin = 0;  // bytes of earlier frames' main data this frame's data starts in
    int main_data_size = 0;   // bytes this frame adds to the reservoir (size less header and side info)
};

// The audio frames of an MP3 file, and what its Xing/Info frame says.
struct Mp3Stream {
    std::vector<uint8_t> bytes;     // the whole file
    Mp3FrameHeader first;           // the first audio frame's header
    std::vector<Mp3Frame> frames;   // audio frames only: no tags, no Xing/Info frame
    int64_t id3v2_size = 0;         // bytes of the leading ID3v2 tag (0: none)
    bool gapless = false;           // a LAME tag that FFmpeg's decoder honours gives delay and padding
    int encoder_delay = 0;          // samples, from the LAME tag
    int padding = 0;                // samples, from the LAME tag
    std::vector<uint8_t> lame_tag;  // the 36 bytes from the encoder's name on, when present

    // Samples the ffmpeg tool skips at the start of the decoded frames, and the decoded length.
    int64_t StartSkip() const { return gapless ? encoder_delay + kMp3DecoderDelay : 0; }
    int64_t DecodedSamples() const;
};

// Reads and indexes a file. Returns an empty string, or why it is no MP3 stream this code handles
// ("cannot be read", "holds no MPEG layer III frames").
std::string ReadMp3Stream(const std::string& path, Mp3Stream* stream);

// The first frame whose main data a decoder needs to decode frame `f` of `s` in full: frame f's data
// starts main_data_begin bytes back in the reservoir, which earlier frames filled.
size_t ReservoirStart(const Mp3Stream& s, size_t f);

// One Xing/Info frame (as big as one frame of `like`'s layout needs) for a stream of `frame_count`
// frames (`offsets`: each frame's byte offset from the first, for the seek table; `frames_bytes`: the
// frames' bytes in all), with the given encoder delay and padding (samples, LAME's convention:
// without the decoder delay). `music_crc` is the CRC-16 of the frames' bytes. `lame_tag` (may be
// empty) supplies the encoder fields to keep. Delay and padding above 4095 are cut to 4095.
std::vector<uint8_t> MakeXingFrame(const Mp3FrameHeader& like, const std::vector<int64_t>& offsets,
                                   int64_t frames_bytes, int encoder_delay, int padding, uint16_t music_crc,
                                   const std::vector<uint8_t>& lame_tag);

// A frame of the smallest size `like`'s layout allows that decodes to digital silence and leaves
// the decoder as it is at the start of a stream: no main data, no reservoir, no CRC.
std::vector<uint8_t> MakeSilentFrame(const Mp3FrameHeader& like);

// The CRC LAME tags use (CRC-16, polynomial 0x8005, reflected), continued from `crc`.
uint16_t LameCrc(uint16_t crc, const uint8_t* data, size_t size);

}  // namespace engine
