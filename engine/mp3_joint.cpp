#include "engine/mp3_joint.h"

#include <algorithm>
#include <cstring>

#include "media/ffmpeg_ptr.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/opt.h>
}

namespace engine {

namespace {

// Positions are in samples of the output's raw decoding: sample 0 is the first sample the decoder
// gives for the output's first frame, before the start skip; frame f decodes to [f * spf, (f+1) * spf).

// Samples on either side of a seam between copied and re-encoded frames that must hold the same
// sound in both encodings: the long block's overlap into the next granule and the synthesis
// filterbank's reach.
constexpr int64_t kSeam = 1152;
// Input the encoder gets before the first kept frame (its analysis and psychoacoustic warm-up).
constexpr int64_t kLead = 2304;
// Frames decoded before the first wanted one (overlap and filterbank state).
constexpr size_t kWarmUp = 3;

int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
int64_t Mod(int64_t a, int64_t b) { return a - FloorDiv(a, b) * b; }

// Where one input lands in the output.
struct Placement {
    const Mp3Stream* stream = nullptr;
    int64_t offset = 0;  // output position of its frame 0 (a multiple of spf)
    int64_t start = 0;   // output positions of its sound: [start, end)
    int64_t end = 0;
    size_t copy_first = 0;  // frames copied unchanged: [copy_first, copy_end)
    size_t copy_end = 0;
};

// Bytes after the header, CRC and side information of frame `f`.
const uint8_t* MainData(const Mp3Stream& s, size_t f) {
    const Mp3Frame& frame = s.frames[f];
    return &s.bytes[frame.offset + frame.size - frame.main_data_size];
}

using Planes = std::vector<std::vector<float>>;

// Adds the raw decoding of samples [from, to) of `s` into out[c][at ...]. Decodes from a few frames
// before, so that overlap, filterbank and reservoir are as in a decoding of the whole file.
int DecodeRawInto(const Mp3Stream& s, int64_t from, int64_t to, Planes& out, int64_t at) {
    const int spf = s.first.samples;
    const size_t first = static_cast<size_t>(from / spf);
    const size_t last = static_cast<size_t>((to - 1) / spf);
    const size_t feed = ReservoirStart(s, first > kWarmUp ? first - kWarmUp : 0);

    // The float decoder, as the ffmpeg tool picks by default.
    const AVCodec* codec = avcodec_find_decoder_by_name("mp3float");
    if (!codec) return AVERROR_DECODER_NOT_FOUND;
    media::CodecContextPtr ctx(avcodec_alloc_context3(codec));
    media::PacketPtr packet(av_packet_alloc());
    media::FramePtr frame(av_frame_alloc());
    if (!ctx || !packet || !frame) return AVERROR(ENOMEM);
    if (int error = avcodec_open2(ctx.get(), codec, nullptr); error < 0) return error;

    for (size_t f = feed; f <= last; ++f) {
        const Mp3Frame& mf = s.frames[f];
        if (int error = av_new_packet(packet.get(), mf.size); error < 0) return error;
        std::memcpy(packet->data, &s.bytes[mf.offset], mf.size);
        int sent = avcodec_send_packet(ctx.get(), packet.get());
        av_packet_unref(packet.get());
        // A frame that does not decode gives silence, as in the ffmpeg tool's decoding.
        bool got = false;
        while (sent >= 0 && avcodec_receive_frame(ctx.get(), frame.get()) >= 0) {
            if (!got && f >= first && frame->nb_samples == spf && frame->format == AV_SAMPLE_FMT_FLTP) {
                const int64_t base = static_cast<int64_t>(f) * spf;
                const int64_t lo = std::max(from, base), hi = std::min(to, base + spf);
                for (size_t c = 0; c < out.size(); ++c) {
                    const float* in = reinterpret_cast<const float*>(frame->extended_data[std::min<int>(
                        static_cast<int>(c), frame->ch_layout.nb_channels - 1)]);
                    for (int64_t i = lo; i < hi; ++i) out[c][at + i - from] += in[i - base];
                }
            }
            got = true;
            av_frame_unref(frame.get());
        }
    }
    return 0;
}

// Side information: main_data_begin first (9 bits in MPEG-1, 8 in MPEG-2), then the private bits
// and (MPEG-1) scfsi, then one entry per granule and channel that starts with part2_3_length.
int MainDataBegin(const uint8_t* side, const Mp3FrameHeader& h) {
    return h.version == 1 ? (side[0] << 1) | (side[1] >> 7) : side[0];
}
void SetMainDataBegin(uint8_t* side, const Mp3FrameHeader& h, int value) {
    if (h.version == 1) {
        side[0] = static_cast<uint8_t>(value >> 1);
        side[1] = static_cast<uint8_t>((side[1] & 0x7F) | ((value & 1) << 7));
    } else {
        side[0] = static_cast<uint8_t>(value);
    }
}
int64_t MainDataBits(const uint8_t* side, const Mp3FrameHeader& h) {
    auto bits = [&](int at, int count) {
        int64_t v = 0;
        for (int i = 0; i < count; ++i) v = (v << 1) | ((side[(at + i) / 8] >> (7 - (at + i) % 8)) & 1);
        return v;
    };
    const bool mono = h.channels == 1;
    const int granules = h.version == 1 ? 2 : 1;
    const int entry = h.version == 1 ? 59 : 63;
    int at = h.version == 1 ? 9 + (mono ? 5 : 3) + 4 * h.channels : 8 + (mono ? 1 : 2);
    int64_t total = 0;
    for (int i = 0; i < granules * h.channels; ++i, at += entry) total += bits(at, 12);
    return total;
}

constexpr int kMaxRateIndex = 14;

// The frame header `h` with another bit rate index and no padding byte.
bool WithRate(const Mp3FrameHeader& h, int index, Mp3FrameHeader* out) {
    uint8_t raw[4] = {h.raw[0], h.raw[1], static_cast<uint8_t>((index << 4) | (h.raw[2] & 0x0D)), h.raw[3]};
    return ParseMp3Header(raw, out);
}

// One re-encoded stretch of output frames [first, end): the encoder gets the joined sound from a lead
// before `first` on, its frames are kept from the one that decodes onto `first`. `tail` (may be
// empty) goes at the very end of the last frame: the reservoir bytes the following copied frames
// point back to.
class JointEncoder {
  public:
    JointEncoder(const std::vector<Placement>& placed, const Mp3FrameHeader& like)
        : placed_(placed), like_(like), spf_(like.samples) {}

    int Encode(int64_t first, int64_t end, const std::vector<uint8_t>& tail, Mp3Stream* made,
               const char** failed_step) {
        // The highest bit rate whose main data, packed into frames of the highest rate, leaves room
        // for the tail.
        int last_error = 0;
        for (int index = kMaxRateIndex; index >= 1; --index) {
            Mp3FrameHeader probe;
            if (!WithRate(like_, index, &probe)) continue;
            std::vector<std::vector<uint8_t>> frames;
            int error = EncodeAt(probe.bit_rate, first, end, &frames, failed_step);
            // The encoder may not take every bit rate at every sample rate.
            if (error == AVERROR(EINVAL)) {
                last_error = error;
                continue;
            }
            if (error < 0) return error;
            error = Pack(frames, tail, like_, made);
            if (error != AVERROR(ENOSPC)) {
                if (error < 0) *failed_step = "the re-encoded frames at a joint are not layer III frames";
                return error;
            }
        }
        if (last_error < 0) return last_error;
        *failed_step = "no bit rate leaves room for the reservoir at a joint";
        return AVERROR(ENOSPC);
    }

  private:
    // The joined sound over output samples [from, to): each file's sound at its place, silence
    // elsewhere.
    int Target(int64_t from, int64_t to, Planes* x) {
        const int channels = like_.channels;
        x->assign(channels, std::vector<float>(static_cast<size_t>(to - from), 0.0f));
        for (const Placement& p : placed_) {
            const int64_t lo = std::max(from, p.start), hi = std::min(to, p.end);
            if (lo >= hi) continue;
            if (int error = DecodeRawInto(*p.stream, lo - p.offset, hi - p.offset, *x, lo - from); error < 0)
                return error;
        }
        return 0;
    }

    int EncodeAt(int bit_rate, int64_t first, int64_t end, std::vector<std::vector<uint8_t>>* frames,
                 const char** failed_step) {
        *failed_step = "could not open the MP3 encoder for a joint";
        const AVCodec* codec = avcodec_find_encoder_by_name("libmp3lame");
        if (!codec) return AVERROR_ENCODER_NOT_FOUND;
        media::CodecContextPtr enc(avcodec_alloc_context3(codec));
        media::PacketPtr packet(av_packet_alloc());
        media::FramePtr frame(av_frame_alloc());
        if (!enc || !packet || !frame) return AVERROR(ENOMEM);
        enc->sample_rate = like_.sample_rate;
        av_channel_layout_default(&enc->ch_layout, like_.channels);
        enc->sample_fmt = AV_SAMPLE_FMT_FLTP;
        enc->bit_rate = bit_rate;
        enc->time_base = {1, like_.sample_rate};
        AVDictionary* options = nullptr;
        av_dict_set(&options, "reservoir", "0", 0);
        int error = avcodec_open2(enc.get(), codec, &options);
        av_dict_free(&options);
        if (error < 0) return AVERROR(EINVAL);
        if (enc->frame_size != spf_) return AVERROR(EINVAL);

        // Encoder frame k decodes to its input from k * spf - delay on: with the input starting at
        // `from`, frame `drop` decodes onto output sample first * spf.
        const int64_t delay = enc->initial_padding;
        const int64_t drop = (delay + kLead + spf_ - 1) / spf_;
        const int64_t from = first * spf_ - (drop * spf_ - delay);
        const int64_t to = end * spf_ + delay + 2 * kSeam;
        const size_t keep = static_cast<size_t>(end - first);
        *failed_step = "could not decode the frames at a joint";
        if (from != x_from_ || to != x_to_) {
            if ((error = Target(from, to, &x_)) < 0) return error;
            x_from_ = from;
            x_to_ = to;
        }
        const Planes& x = x_;

        *failed_step = "could not re-encode the frames at a joint";
        int64_t produced = 0;
        auto drain = [&]() {
            int got;
            while ((got = avcodec_receive_packet(enc.get(), packet.get())) >= 0) {
                if (produced++ >= drop && frames->size() < keep)
                    frames->emplace_back(packet->data, packet->data + packet->size);
                av_packet_unref(packet.get());
            }
            return got == AVERROR(EAGAIN) || got == AVERROR_EOF ? 0 : got;
        };
        const int64_t total = to - from;
        for (int64_t at = 0; at < total; at += spf_) {
            frame->nb_samples = static_cast<int>(std::min<int64_t>(spf_, total - at));
            frame->format = AV_SAMPLE_FMT_FLTP;
            frame->sample_rate = like_.sample_rate;
            if ((error = av_channel_layout_copy(&frame->ch_layout, &enc->ch_layout)) < 0) return error;
            if ((error = av_frame_get_buffer(frame.get(), 0)) < 0) return error;
            for (int c = 0; c < like_.channels; ++c)
                std::memcpy(frame->extended_data[c], &x[c][at], frame->nb_samples * sizeof(float));
            frame->pts = at;
            error = avcodec_send_frame(enc.get(), frame.get());
            av_frame_unref(frame.get());
            if (error < 0 || (error = drain()) < 0) return error;
        }
        if ((error = avcodec_send_frame(enc.get(), nullptr)) < 0 || (error = drain()) < 0) return error;
        if (frames->size() < keep) return AVERROR_BUG;
        *failed_step = nullptr;
        return 0;
    }

    // Packs the main data of the encoder's frames (each starting its own frame: no reservoir) one
    // after the other into frames of the highest bit rate, each as early as the reservoir allows, and
    // `tail` at the very end of the last: bytes after a frame's own main data are the next frame's
    // reservoir. AVERROR(ENOSPC) when they do not fit.
    static int Pack(const std::vector<std::vector<uint8_t>>& frames, const std::vector<uint8_t>& tail,
                    const Mp3FrameHeader& like, Mp3Stream* made) {
        *made = Mp3Stream{};
        Mp3FrameHeader out;
        WithRate(like, kMaxRateIndex, &out);
        const int64_t capacity = out.size - 4 - out.side_info;
        const int64_t max_back = out.version == 1 ? 511 : 255;
        std::vector<uint8_t> data(frames.size() * capacity, 0);
        int64_t next = 0;  // where the next main data may start in `data`
        for (size_t k = 0; k < frames.size(); ++k) {
            const std::vector<uint8_t>& in = frames[k];
            Mp3FrameHeader h;
            if (in.size() < 4 || !ParseMp3Header(in.data(), &h) || h.size != static_cast<int>(in.size()) ||
                h.crc || h.version != out.version || h.sample_rate != out.sample_rate ||
                h.channels != out.channels)
                return AVERROR_INVALIDDATA;
            const uint8_t* side = in.data() + 4;
            const int64_t bytes = (MainDataBits(side, h) + 7) / 8;
            const int64_t frame_start = static_cast<int64_t>(k) * capacity;
            if (MainDataBegin(side, h) != 0 || bytes > h.size - 4 - h.side_info) return AVERROR_INVALIDDATA;
            const int64_t at = std::max(next, frame_start - max_back);
            if (at + bytes > frame_start + capacity) return AVERROR(ENOSPC);
            std::memcpy(&data[at], side + h.side_info, bytes);
            next = at + bytes;

            Mp3Frame f;
            f.offset = static_cast<int64_t>(made->bytes.size());
            f.size = out.size;
            f.main_data_begin = static_cast<int>(frame_start - at);
            f.main_data_size = static_cast<int>(capacity);
            uint8_t header[4] = {in[0], in[1], static_cast<uint8_t>((out.raw[2] & 0xF0) | (in[2] & 0x0D)),
                                 in[3]};
            made->bytes.insert(made->bytes.end(), header, header + 4);
            const size_t side_at = made->bytes.size();
            made->bytes.insert(made->bytes.end(), side, side + h.side_info);
            SetMainDataBegin(&made->bytes[side_at], h, f.main_data_begin);
            made->bytes.resize(made->bytes.size() + capacity);  // filled below: later frames reach back
            made->frames.push_back(f);
        }
        const int64_t end = static_cast<int64_t>(data.size());
        if (next + static_cast<int64_t>(tail.size()) > end) return AVERROR(ENOSPC);
        std::copy(tail.begin(), tail.end(), data.end() - static_cast<int64_t>(tail.size()));
        for (size_t k = 0; k < made->frames.size(); ++k) {
            const Mp3Frame& f = made->frames[k];
            std::memcpy(&made->bytes[f.offset + f.size - capacity], &data[k * capacity], capacity);
        }
        if (!made->frames.empty()) ParseMp3Header(made->bytes.data(), &made->first);
        return 0;
    }

    const std::vector<Placement>& placed_;
    Mp3FrameHeader like_;
    int spf_;
    Planes x_;  // the encoder's input for output samples [x_from_, x_to_)
    int64_t x_from_ = 0, x_to_ = 0;
};

// The reservoir bytes that copied frames from `first` on point back to, before `first`'s main data.
std::vector<uint8_t> ReservoirTail(const Mp3Stream& s, size_t first) {
    int64_t reach = 0, between = 0;
    for (size_t f = first; f < s.frames.size() && between < 512; ++f) {
        reach = std::max<int64_t>(reach, s.frames[f].main_data_begin - between);
        between += s.frames[f].main_data_size;
    }
    std::vector<uint8_t> tail(static_cast<size_t>(reach), 0);
    // Gathered backwards from the frames before; a reach beyond the file's start stays zero.
    size_t filled = 0;
    for (size_t f = first; f > 0 && filled < tail.size();) {
        --f;
        const int size = s.frames[f].main_data_size;
        const size_t take = std::min<size_t>(size, tail.size() - filled);
        std::memcpy(&tail[tail.size() - filled - take], MainData(s, f) + size - take, take);
        filled += take;
    }
    return tail;
}

}  // namespace

int PlanMp3Join(const std::vector<Mp3Stream>& streams, const std::atomic<bool>& cancel, Mp3JoinPlan* plan,
                const char** failed_step) {
    *plan = Mp3JoinPlan{};
    const int spf = streams[0].first.samples;
    const int count = static_cast<int>(streams.size());

    // Each file's sound follows the previous one's after the fewest silent samples that put its
    // frames on the output's frame grid.
    std::vector<Placement> placed(count);
    for (int k = 0; k < count; ++k) {
        const Mp3Stream& s = streams[k];
        Placement& p = placed[k];
        p.stream = &s;
        const int64_t all = static_cast<int64_t>(s.frames.size()) * spf;
        const int64_t skip = std::min<int64_t>(s.StartSkip(), all);
        const int64_t raw_end =
            std::clamp<int64_t>(s.gapless ? all - s.padding + kMp3DecoderDelay : all, skip, all);
        if (k == 0) {
            // A decoder that reads the LAME tag drops at least its own delay: a first file whose
            // sound starts before that (no LAME tag) goes one frame later, behind re-encoded silence.
            p.offset = skip < kMp3DecoderDelay ? spf : 0;
        } else {
            const int64_t after = placed[k - 1].end;
            p.offset = after + Mod(skip - after, spf) - skip;
        }
        p.start = p.offset + skip;
        p.end = p.offset + raw_end;
        // Copied frames keep clear of the joints: the seams with re-encoded frames lie where both
        // encodings hold the same sound.
        const int64_t n = static_cast<int64_t>(s.frames.size());
        const int64_t first =
            k == 0 ? 0 : std::clamp<int64_t>(FloorDiv(p.start + kSeam - p.offset + spf - 1, spf), 0, n);
        const int64_t end =
            k + 1 == count ? n : std::clamp<int64_t>(FloorDiv(p.end - kSeam - p.offset, spf), 0, n);
        p.copy_first = static_cast<size_t>(first);
        p.copy_end = static_cast<size_t>(std::max(first, end));
    }

    const Placement& last = placed.back();
    const int64_t total_frames = last.offset / spf + static_cast<int64_t>(last.stream->frames.size());
    JointEncoder encoder(placed, streams[0].first);
    int64_t done = 0;  // output frames planned
    auto reencode = [&](int64_t end, int input, const std::vector<uint8_t>& tail) {
        if (end <= done) return 0;
        if (cancel.load()) return static_cast<int>(AVERROR_EXIT);
        auto made = std::make_unique<Mp3Stream>();
        if (int error = encoder.Encode(done, end, tail, made.get(), failed_step); error < 0) return error;
        plan->pieces.push_back({made.get(), 0, made->frames.size(), input});
        plan->made.push_back(std::move(made));
        done = end;
        return 0;
    };
    for (int k = 0; k < count; ++k) {
        Placement& p = placed[k];
        if (p.copy_first >= p.copy_end) continue;
        int64_t at = p.offset / spf + static_cast<int64_t>(p.copy_first);
        // A copied run that does not start its file follows at least one re-encoded frame, which
        // carries its reservoir.
        const int64_t least = done + (p.copy_first > 0 ? 1 : 0);
        if (at < least) {
            p.copy_first += static_cast<size_t>(least - at);
            at = least;
            if (p.copy_first >= p.copy_end) continue;
        }
        const std::vector<uint8_t> tail =
            p.copy_first > 0 ? ReservoirTail(*p.stream, p.copy_first) : std::vector<uint8_t>{};
        if (int error = reencode(at, k, tail); error < 0) return error;
        plan->pieces.push_back({p.stream, p.copy_first, p.copy_end, k});
        done = at + static_cast<int64_t>(p.copy_end - p.copy_first);
    }
    if (int error = reencode(total_frames, count - 1, {}); error < 0) return error;

    plan->encoder_delay = std::max<int64_t>(0, placed[0].start - kMp3DecoderDelay);
    plan->padding = static_cast<int>(total_frames * spf + kMp3DecoderDelay - last.end);
    *failed_step = nullptr;
    return 0;
}

}  // namespace engine
