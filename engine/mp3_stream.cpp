#include "engine/mp3_stream.h"

#include <algorithm>
#include <cstring>
#include <fstream>

extern "C" {
#include <libavutil/crc.h>
}

namespace engine {

namespace {

constexpr int kBitRatesMpeg1[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
constexpr int kBitRatesMpeg2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
constexpr int kSampleRates[3] = {44100, 48000, 32000};
constexpr int kLameTagSize = 36;
// Where a Xing/Info tag sits after the header (FFmpeg and LAME place it after the side information,
// ignoring a CRC).
int XingOffset(const Mp3FrameHeader& h) { return 4 + h.side_info; }

uint32_t Be32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
void PutBe32(uint8_t* p, uint32_t v) {
    p[0] = v >> 24;
    p[1] = v >> 16;
    p[2] = v >> 8;
    p[3] = v;
}

bool SameStream(const Mp3FrameHeader& a, const Mp3FrameHeader& b) {
    return a.version == b.version && a.sample_rate == b.sample_rate;
}

bool ReadInfoFrame(const uint8_t* frame, const Mp3FrameHeader& h, Mp3Stream* s) {
    Mp3InfoTag tag;
    if (!ParseMp3InfoFrame(frame, h, &tag)) return false;
    s->lame_tag = tag.lame_tag;
    s->gapless = tag.delays && tag.frames >= 0;
    s->encoder_delay = tag.encoder_delay;
    s->padding = tag.padding;
    return true;
}

}  // namespace

bool ParseMp3InfoFrame(const uint8_t* frame, const Mp3FrameHeader& h, Mp3InfoTag* tag) {
    *tag = Mp3InfoTag{};
    const uint8_t* p = frame + XingOffset(h);
    const uint8_t* end = frame + h.size;
    if (h.size >= 4 + 32 + 4 && std::memcmp(frame + 4 + 32, "VBRI", 4) == 0) return true;
    if (p + 8 > end || (std::memcmp(p, "Xing", 4) != 0 && std::memcmp(p, "Info", 4) != 0)) return false;
    uint32_t flags = Be32(p + 4);
    p += 8;
    if (flags & 1) {
        if (p + 4 > end) return true;
        tag->frames = Be32(p);
        p += 4;
    }
    if (flags & 2) p += 4;
    if (flags & 4) p += 100;
    if (flags & 8) p += 4;
    if (p + kLameTagSize > end) return true;
    tag->lame_tag.assign(p, p + kLameTagSize);
    // FFmpeg's decoder trusts the delay and padding of these encoders only.
    if (std::memcmp(p, "LAME", 4) == 0 || std::memcmp(p, "Lavf", 4) == 0 || std::memcmp(p, "Lavc", 4) == 0) {
        uint32_t v = (uint32_t{p[21]} << 16) | (uint32_t{p[22]} << 8) | p[23];
        tag->delays = true;
        tag->encoder_delay = static_cast<int>(v >> 12);
        tag->padding = static_cast<int>(v & 0xFFF);
    }
    return true;
}

int64_t Id3v2TagSize(const uint8_t* p, int64_t available) {
    if (available < 10 || std::memcmp(p, "ID3", 3) != 0) return 0;
    if ((p[6] | p[7] | p[8] | p[9]) & 0x80) return 0;
    int64_t size = (int64_t{p[6]} << 21) | (int64_t{p[7]} << 14) | (int64_t{p[8]} << 7) | p[9];
    return 10 + size + ((p[5] & 0x10) ? 10 : 0);
}

namespace {

// A frame of `like`'s version, rate and mode at the smallest bit rate whose frame holds `needed`
// bytes; no CRC, no padding, all bytes after the header 0 (side information saying: no main data).
std::vector<uint8_t> EmptyFrame(const Mp3FrameHeader& like, int needed) {
    Mp3FrameHeader h;
    uint8_t raw[4] = {0xFF, static_cast<uint8_t>(like.raw[1] | 1), 0,
                      static_cast<uint8_t>(like.raw[3] & 0xCF)};
    for (int index = 1; index < 15; ++index) {
        raw[2] = static_cast<uint8_t>((index << 4) | (like.raw[2] & 0x0C));
        if (ParseMp3Header(raw, &h) && h.size >= needed) break;
    }
    std::vector<uint8_t> f(std::max(h.size, needed), 0);
    std::memcpy(f.data(), raw, 4);
    return f;
}

}  // namespace

bool ParseMp3Header(const uint8_t* p, Mp3FrameHeader* h) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
    int version_bits = (p[1] >> 3) & 3;
    if (version_bits == 1 || ((p[1] >> 1) & 3) != 1) return false;  // reserved, or not layer III
    int rate_index = p[2] >> 4;
    int sr_index = (p[2] >> 2) & 3;
    if (rate_index == 0 || rate_index == 15 || sr_index == 3) return false;
    h->version = version_bits == 3 ? 1 : version_bits == 2 ? 2 : 25;
    bool mpeg1 = h->version == 1;
    h->bit_rate = (mpeg1 ? kBitRatesMpeg1 : kBitRatesMpeg2)[rate_index] * 1000;
    h->sample_rate = kSampleRates[sr_index] >> (mpeg1 ? 0 : h->version == 2 ? 1 : 2);
    h->channels = (p[3] >> 6) == 3 ? 1 : 2;
    h->crc = !(p[1] & 1);
    int padding = (p[2] >> 1) & 1;
    h->size = (mpeg1 ? 144 : 72) * h->bit_rate / h->sample_rate + padding;
    h->samples = mpeg1 ? 1152 : 576;
    h->side_info = mpeg1 ? (h->channels == 1 ? 17 : 32) : (h->channels == 1 ? 9 : 17);
    std::memcpy(h->raw, p, 4);
    return true;
}

int64_t Mp3Stream::DecodedSamples() const {
    int64_t all = static_cast<int64_t>(frames.size()) * first.samples;
    return gapless ? std::max<int64_t>(0, all - encoder_delay - padding) : all;
}

std::string ReadMp3Stream(const std::string& path, Mp3Stream* s) {
    *s = Mp3Stream{};
    {
        std::ifstream in(path, std::ios::binary | std::ios::ate);
        if (!in) return "cannot be read";
        const std::streamoff length = in.tellg();
        if (length < 0) return "cannot be read";
        s->bytes.resize(static_cast<size_t>(length));
        in.seekg(0);
        if (!in.read(reinterpret_cast<char*>(s->bytes.data()), length)) return "cannot be read";
    }
    const std::vector<uint8_t>& b = s->bytes;
    const int64_t size = static_cast<int64_t>(b.size());
    int64_t pos = 0;
    while (int64_t tag = Id3v2TagSize(b.data() + pos, size - pos)) pos += tag;
    s->id3v2_size = pos;

    // A header counts where the next frame starts right after it (or the file ends), so that bytes
    // of a damaged stretch that look like a header are passed over.
    auto frame_at = [&](int64_t at, Mp3FrameHeader* h) {
        if (at + 4 > size || !ParseMp3Header(&b[at], h)) return false;
        if (!s->frames.empty() && !SameStream(*h, s->first)) return false;
        int64_t next = at + h->size;
        Mp3FrameHeader n;
        if (next > size) return false;
        if (next + 4 > size) return true;
        return (ParseMp3Header(&b[next], &n) && SameStream(n, *h)) || std::memcmp(&b[next], "TAG", 3) == 0 ||
               std::memcmp(&b[next], "APETAGEX", std::min<int64_t>(8, size - next)) == 0;
    };
    bool first = true;
    while (pos + 4 <= size) {
        Mp3FrameHeader h;
        if (!frame_at(pos, &h)) {
            ++pos;
            continue;
        }
        if (first) {
            s->first = h;
            first = false;
            if (ReadInfoFrame(&b[pos], h, s)) {
                pos += h.size;
                continue;
            }
        }
        Mp3Frame f;
        f.offset = pos;
        f.size = h.size;
        const uint8_t* side = &b[pos + 4 + (h.crc ? 2 : 0)];
        f.main_data_begin = h.version == 1 ? (side[0] << 1) | (side[1] >> 7) : side[0];
        f.main_data_size = std::max(0, h.size - 4 - (h.crc ? 2 : 0) - h.side_info);
        s->frames.push_back(f);
        pos += h.size;
    }
    // Bytes of another format can hold a few chains of what look like frames; an MP3 file is mostly
    // frames.
    int64_t frame_bytes = 0;
    for (const Mp3Frame& f : s->frames) frame_bytes += f.size;
    if (s->frames.empty() || 2 * frame_bytes < size - s->id3v2_size) return "holds no MPEG layer III frames";
    return {};
}

std::vector<uint8_t> MakeSilentFrame(const Mp3FrameHeader& like) { return EmptyFrame(like, 0); }

size_t ReservoirStart(const Mp3Stream& s, size_t f) {
    int64_t needed = s.frames[f].main_data_begin;
    size_t first = f;
    while (needed > 0 && first > 0) needed -= s.frames[--first].main_data_size;
    return first;
}

uint16_t LameCrc(uint16_t crc, const uint8_t* data, size_t size) {
    return static_cast<uint16_t>(av_crc(av_crc_get_table(AV_CRC_16_ANSI_LE), crc, data, size));
}

std::vector<uint8_t> MakeXingFrame(const Mp3FrameHeader& like, const std::vector<int64_t>& offsets,
                                   int64_t frames_bytes, int encoder_delay, int padding, uint16_t music_crc,
                                   const std::vector<uint8_t>& lame_tag) {
    const int tag_at = XingOffset(like);
    const int lame_at = tag_at + 8 + 4 + 4 + 100 + 4;
    const int needed = lame_at + kLameTagSize;
    std::vector<uint8_t> f = EmptyFrame(like, needed);

    const int64_t frame_count = static_cast<int64_t>(offsets.size());
    const int64_t total = f.size() + frames_bytes;
    uint8_t* p = &f[tag_at];
    std::memcpy(p, "Info", 4);
    PutBe32(p + 4, 0x0F);  // frames, bytes, seek table, quality
    PutBe32(p + 8, static_cast<uint32_t>(frame_count));
    PutBe32(p + 12, static_cast<uint32_t>(total));
    for (int i = 0; i < 100; ++i) {
        int64_t at = frame_count ? offsets[i * frame_count / 100] + static_cast<int64_t>(f.size()) : 0;
        p[16 + i] = static_cast<uint8_t>(std::min<int64_t>(255, total ? 256 * at / total : 0));
    }
    p[16] = 0;
    PutBe32(p + 116, 0);

    uint8_t* lame = &f[lame_at];
    if (lame_tag.size() == static_cast<size_t>(kLameTagSize)) {
        std::memcpy(lame, lame_tag.data(), kLameTagSize);
    } else {
        std::memcpy(lame, "Lavf", 4);
    }
    const uint32_t delay = static_cast<uint32_t>(std::clamp(encoder_delay, 0, 4095));
    const uint32_t pad = static_cast<uint32_t>(std::clamp(padding, 0, 4095));
    lame[21] = static_cast<uint8_t>(delay >> 4);
    lame[22] = static_cast<uint8_t>(((delay & 0xF) << 4) | (pad >> 8));
    lame[23] = static_cast<uint8_t>(pad);
    PutBe32(lame + 28, static_cast<uint32_t>(total));
    lame[32] = static_cast<uint8_t>(music_crc >> 8);
    lame[33] = static_cast<uint8_t>(music_crc);
    uint16_t tag_crc = LameCrc(0, f.data(), lame_at + 34);
    lame[34] = static_cast<uint8_t>(tag_crc >> 8);
    lame[35] = static_cast<uint8_t>(tag_crc);
    return f;
}

}  // namespace engine
