#include "engine/waveform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

extern "C" {
#include <libavutil/channel_layout.h>
}

#include "engine/mp3_frames.h"
#include "media/input.h"

namespace engine {

namespace {

// Decoding starts this far before a stretch so that the frame after the skipped first one (whose
// bit reservoir is missing) still begins at or before the stretch.
constexpr double kSeekMarginS = 0.5;

template <typename T>
float SampleAt(const uint8_t* plane, int i) {
    return static_cast<float>(reinterpret_cast<const T*>(plane)[i]);
}

// One reader of the file's audio stream with its own single-threaded decoder: the workers give
// parallelism, one decoder each.
struct AudioReader {
    media::Input in;
    AVFormatContext* input = nullptr;
    AVCodecContext* decoder = nullptr;
    AVStream* stream = nullptr;  // the last audio stream, as every reader of the suite takes it
    int index = -1;
    std::string error;
    int64_t first_pts = AV_NOPTS_VALUE;  // of the first frame Run handed on

    bool Open(const std::string& path) {
        media::InputOptions options;
        options.video_decoder = false;
        in = media::OpenInput(path, options);
        if (!in.ok()) {
            error = media::FailureText(in.failure);
            return false;
        }
        if (!in.audio) {
            error = "no audio stream";
            return false;
        }
        if (!in.audio_decoder) {
            error = "no decoder for the audio stream";
            return false;
        }
        input = in.format.get();
        decoder = in.audio_decoder.get();
        stream = in.audio;
        index = stream->index;
        for (unsigned s = 0; s < input->nb_streams; ++s)
            if (static_cast<int>(s) != index) input->streams[s]->discard = AVDISCARD_ALL;
        return true;
    }

    // Decodes from the frame after the one the seek lands on, for `begin_sample` (sample 0 is the
    // one at origin_pts) onwards, and hands the mixed samples with their index to `sink` until it
    // returns false, the stream ends or cancel is set. False on a read or decode failure. (MP3 files
    // take Mp3Decoder below instead: this demuxer's seek reads from the start to build its index.)
    bool Run(int64_t origin_pts, int64_t begin_sample, const std::atomic<bool>* cancel,
             const std::function<bool(int64_t, const float*, int)>& sink) {
        const int rate = decoder->sample_rate > 0 ? decoder->sample_rate : stream->codecpar->sample_rate;
        const AVRational sample_tb{1, rate};
        bool skip_first = false;
        const int64_t seek_sample = begin_sample - static_cast<int64_t>(kSeekMarginS * rate);
        if (seek_sample > 0) {
            const int64_t ts = origin_pts + av_rescale_q(seek_sample, sample_tb, stream->time_base);
            if (av_seek_frame(input, index, ts, AVSEEK_FLAG_BACKWARD) < 0) return false;
            skip_first = true;
        }
        media::PacketPtr packet(av_packet_alloc());
        media::FramePtr frame(av_frame_alloc());
        if (!packet || !frame) return false;
        std::vector<float> mixed;
        int64_t next = std::numeric_limits<int64_t>::min();  // index of the next frame's first sample
        bool draining = false;
        for (;;) {
            if (cancel && cancel->load(std::memory_order_relaxed)) return true;
            if (!draining) {
                int rc = av_read_frame(input, packet.get());
                if (rc < 0) {
                    draining = true;
                    avcodec_send_packet(decoder, nullptr);
                } else {
                    if (packet->stream_index == index) avcodec_send_packet(decoder, packet.get());
                    av_packet_unref(packet.get());
                }
            }
            for (;;) {
                int rc = avcodec_receive_frame(decoder, frame.get());
                if (rc == AVERROR(EAGAIN)) break;
                if (rc == AVERROR_EOF) return true;
                if (rc < 0) return false;
                if (skip_first) {
                    skip_first = false;
                    continue;
                }
                if (next == std::numeric_limits<int64_t>::min()) {
                    const int64_t pts = frame->best_effort_timestamp;
                    first_pts = pts;
                    next = pts == AV_NOPTS_VALUE
                               ? std::max<int64_t>(0, seek_sample)
                               : av_rescale_q(pts - origin_pts, stream->time_base, sample_tb);
                }
                const int n = frame->nb_samples;
                Mix(frame.get(), mixed);
                const int64_t at = next;
                next += n;
                if (at + n <= begin_sample) continue;
                const int skip = at < begin_sample ? static_cast<int>(begin_sample - at) : 0;
                if (!sink(at + skip, mixed.data() + skip, n - skip)) return true;
            }
        }
    }

    // The frame's channels mixed to one, full scale -1..1.
    static void Mix(const AVFrame* f, std::vector<float>& out) {
        const int n = f->nb_samples;
        const int channels = std::max(1, f->ch_layout.nb_channels);
        out.assign(n, 0.0f);
        const float scale = 1.0f / channels;
        auto add = [&](auto get, float unit) {
            const float k = scale / unit;
            const bool planar = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(f->format));
            for (int c = 0; c < channels; ++c) {
                const uint8_t* plane = planar ? f->extended_data[c] : f->extended_data[0];
                const int step = planar ? 1 : channels;
                const int offset = planar ? 0 : c;
                for (int i = 0; i < n; ++i) out[i] += get(plane, i * step + offset) * k;
            }
        };
        switch (av_get_packed_sample_fmt(static_cast<AVSampleFormat>(f->format))) {
            case AV_SAMPLE_FMT_FLT:
                add(SampleAt<float>, 1.0f);
                break;
            case AV_SAMPLE_FMT_DBL:
                add(SampleAt<double>, 1.0f);
                break;
            case AV_SAMPLE_FMT_S16:
                add(SampleAt<int16_t>, 32768.0f);
                break;
            case AV_SAMPLE_FMT_S32:
                add(SampleAt<int32_t>, 2147483648.0f);
                break;
            case AV_SAMPLE_FMT_S64:
                add(SampleAt<int64_t>, 9.223372e18f);
                break;
            case AV_SAMPLE_FMT_U8:
                add([](const uint8_t* p, int i) { return static_cast<float>(p[i]) - 128.0f; }, 128.0f);
                break;
            default:
                break;
        }
    }
};

int16_t ToLevel(float v) {
    const float x = std::clamp(v, -1.0f, 1.0f) * 32767.0f;
    return static_cast<int16_t>(x + (x < 0 ? -0.5f : 0.5f));  // to nearest, as lround, without the call
}

// The mean of the channels of sample i.
inline float Mixed(const float* const* planes, int channels, int i) {
    if (channels == 2) return (planes[0][i] + planes[1][i]) * 0.5f;
    float sum = 0;
    for (int c = 0; c < channels; ++c) sum += planes[c][i];
    return sum / static_cast<float>(channels);
}

// Folds the mixed samples [from, from + n) into lo and hi; four at a time where the CPU can.
void MinMaxMixed(const float* const* planes, int channels, int from, int n, float& lo, float& hi) {
    int i = 0;
#if defined(__SSE__)
    if (n >= 4 && channels <= 2) {
        const float* a = planes[0] + from;
        const float* b = channels == 2 ? planes[1] + from : nullptr;
        __m128 vlo = _mm_set1_ps(lo), vhi = _mm_set1_ps(hi);
        const __m128 half = _mm_set1_ps(0.5f);
        for (; i + 4 <= n; i += 4) {
            __m128 m = _mm_loadu_ps(a + i);
            if (b) m = _mm_mul_ps(_mm_add_ps(m, _mm_loadu_ps(b + i)), half);
            vlo = _mm_min_ps(vlo, m);
            vhi = _mm_max_ps(vhi, m);
        }
        alignas(16) float l[4], h[4];
        _mm_store_ps(l, vlo);
        _mm_store_ps(h, vhi);
        lo = std::min(std::min(l[0], l[1]), std::min(l[2], l[3]));
        hi = std::max(std::max(h[0], h[1]), std::max(h[2], h[3]));
    }
#endif
    for (; i < n; ++i) {
        const float m = Mixed(planes, channels, from + i);
        lo = std::min(lo, m);
        hi = std::max(hi, m);
    }
}

media::CodecContextPtr OpenMp3Decoder() {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MP3);
    if (!codec) return nullptr;
    media::CodecContextPtr ctx(avcodec_alloc_context3(codec));
    if (!ctx) return nullptr;
    ctx->thread_count = 1;
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return nullptr;
    return ctx;
}

// The frame index of an MP3 file (up to `stop_frame` frames) and the file left open for reading;
// false (fd closed) when the file is no MP3 stream this reader takes.
bool OpenMp3(const std::string& path, Mp3Frames* frames, int* fd, int64_t stop_frame = INT64_MAX) {
    *fd = -1;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const int f = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (f < 0) return false;
    Mp3FrameReader reader(f);
    if (!reader.Scan(frames, stop_frame).empty() || frames->OutputSamples() <= 0) {
        close(f);
        return false;
    }
    *fd = f;
    return true;
}

}  // namespace

// One worker's MP3 decoder, reused for each stretch it takes.
struct WorkerDecoder {
    media::CodecContextPtr decoder;
    media::PacketPtr packet{av_packet_alloc()};
    media::FramePtr frame{av_frame_alloc()};

    // Decodes the output samples [begin, end) of the file and hands them to `sink` (index of the
    // first, the channels' planes, channel count, count) until it returns false; true also when
    // cancelled. The decode starts a few frames early so that the bit reservoir and the filter
    // banks' state are those of a decode from the start: the output is the same, sample for sample.
    template <typename Sink>
    bool Run(int fd, const Mp3Frames& f, int64_t begin, int64_t end, const std::atomic<bool>* cancel,
             Sink&& sink) {
        if (!decoder && !(decoder = OpenMp3Decoder())) return false;
        if (!packet || !frame) return false;
        avcodec_flush_buffers(decoder.get());
        end = std::min(end, f.OutputSamples());
        if (begin >= end) return true;
        const int spf = f.first.samples;
        const int64_t first = f.DecodedIndex(begin) / spf;
        const int64_t last = f.DecodedIndex(end - 1) / spf;
        // Frame first - 2 onwards must decode whole (the overlap of the transform and the synthesis
        // filter reach back that far): it may take up to 511 bytes of main data from frames before it.
        Mp3FrameReader reader(fd);
        const int64_t whole = std::max<int64_t>(0, first - 2);
        const int64_t look_from = std::max<int64_t>(0, whole - 16);
        if (!reader.Seek(f, look_from)) return false;
        std::vector<int> main_data;
        for (int bytes = 0; reader.frame() < whole && reader.Next(packet.get(), &bytes);)
            main_data.push_back(bytes);
        av_packet_unref(packet.get());
        int64_t start = whole;
        for (int bytes = 0; start > look_from && bytes < 512;) bytes += main_data[--start - look_from];
        if (!reader.Seek(f, start)) return false;

        const float* planes[AV_NUM_DATA_POINTERS];
        while (reader.frame() <= last) {
            if (cancel && cancel->load(std::memory_order_relaxed)) return true;
            const int64_t k = reader.frame();
            if (!reader.Next(packet.get())) break;
            const int rc = avcodec_send_packet(decoder.get(), packet.get());
            av_packet_unref(packet.get());
            if (rc < 0) continue;  // a damaged frame gives no sound; the ffmpeg tool goes on too
            while (avcodec_receive_frame(decoder.get(), frame.get()) == 0) {
                const int n = frame->nb_samples;
                const int channels = frame->ch_layout.nb_channels;
                if (frame->format != AV_SAMPLE_FMT_FLTP || channels < 1 || channels > AV_NUM_DATA_POINTERS)
                    return false;
                const int64_t d0 = k * spf;
                // The decoded samples that are sound, in two parts around the padding, as output samples.
                const int64_t cut = f.discard_end - f.discard_begin;
                const int64_t parts[2][3] = {
                    {std::max(d0, f.start_skip), std::min(d0 + n, f.discard_begin), 0},
                    {std::max(d0, f.discard_end), d0 + n, cut}};
                bool more = true;
                for (const auto& part : parts) {
                    const int64_t a = std::max(part[0] - f.start_skip - part[2], begin);
                    const int64_t b = std::min(part[1] - f.start_skip - part[2], end);
                    if (k < first || a >= b) continue;
                    const int64_t offset = a + f.start_skip + part[2] - d0;
                    for (int c = 0; c < channels; ++c)
                        planes[c] = reinterpret_cast<const float*>(frame->data[c]) + offset;
                    more = sink(a, planes, channels, static_cast<int>(b - a)) && more;
                }
                av_frame_unref(frame.get());
                if (!more) return true;
            }
        }
        return true;
    }
};

// Folds one stretch's samples, in order, into the summary's level-0 blocks and publishes them.
class WaveformBlockWriter {
  public:
    WaveformBlockWriter(WaveformSummary& sum, int stretch)
        : m_sum(sum),
          m_stretch(stretch),
          m_end(sum.stretchEnd(stretch)),
          m_block(sum.blockSamples()),
          m_first_block(sum.stretchBegin(stretch) / m_block),
          m_cur(m_first_block) {}

    // The mixed samples [at, at + n); false once the stretch is full.
    bool Add(int64_t at, const float* const* planes, int channels, int n) {
        int i = 0;
        while (i < n) {
            const int64_t idx = at + i;
            if (idx >= m_end) return false;
            const int64_t b = idx / m_block;
            if (b != m_cur) {
                Flush();
                m_cur = b;
            }
            const int64_t block_end = (b + 1) * m_block;
            const int run = static_cast<int>(std::min<int64_t>({n - i, block_end - idx, m_end - idx}));
            MinMaxMixed(planes, channels, i, run, m_lo, m_hi);
            m_any = m_any || run > 0;
            i += run;
        }
        m_sum.Publish(m_stretch, m_cur - m_first_block);
        return true;
    }

    void Flush() {
        if (m_any) m_sum.WriteBlock(m_cur, m_lo, m_hi);
        m_lo = std::numeric_limits<float>::max();
        m_hi = std::numeric_limits<float>::lowest();
        m_any = false;
    }

  private:
    WaveformSummary& m_sum;
    const int m_stretch;
    const int64_t m_end;
    const int m_block;
    const int64_t m_first_block;
    int64_t m_cur;  // block being filled
    float m_lo = std::numeric_limits<float>::max(), m_hi = std::numeric_limits<float>::lowest();
    bool m_any = false;
};

WaveformSummary::WaveformSummary(int64_t total_samples, int stretch_count)
    : m_total(std::max<int64_t>(1, total_samples)) {
    while ((m_total + m_block - 1) / m_block > kMaxBlocks) m_block *= 2;
    const int64_t blocks = (m_total + m_block - 1) / m_block;
    m_level0.assign(static_cast<size_t>(blocks), Block{0, 0});
    stretch_count = static_cast<int>(std::clamp<int64_t>(stretch_count, 1, blocks));
    for (int s = 0; s < stretch_count; ++s) m_stretch_begin.push_back(blocks * s / stretch_count * m_block);
    m_filled = std::make_unique<std::atomic<int64_t>[]>(stretch_count);
    for (int s = 0; s < stretch_count; ++s) m_filled[s].store(0);
}

int64_t WaveformSummary::stretchEnd(int stretch) const {
    return stretch + 1 < stretchCount() ? m_stretch_begin[stretch + 1] : m_total;
}

size_t WaveformSummary::memoryBytes() const {
    size_t bytes = m_level0.capacity() * sizeof(Block);
    if (complete())
        for (const auto& level : m_levels) bytes += level.capacity() * sizeof(Block);
    return bytes;
}

double WaveformSummary::doneFraction() const {
    int64_t blocks = 0;
    for (int s = 0; s < stretchCount(); ++s) blocks += m_filled[s].load(std::memory_order_relaxed);
    return m_level0.empty() ? 1.0 : static_cast<double>(blocks) / static_cast<double>(m_level0.size());
}

void WaveformSummary::WriteBlock(int64_t block, float min, float max) {
    if (block < 0 || block >= static_cast<int64_t>(m_level0.size())) return;
    m_level0[block] = Block{ToLevel(min), ToLevel(max)};
}

void WaveformSummary::Publish(int stretch, int64_t blocks_done) {
    m_filled[stretch].store(blocks_done, std::memory_order_release);
}

void WaveformSummary::Finish() {
    const std::vector<Block>* below = &m_level0;
    while (below->size() > 1024) {
        std::vector<Block> level((below->size() + kLevelFactor - 1) / kLevelFactor);
        for (size_t i = 0; i < level.size(); ++i) {
            Block b{below->at(i * kLevelFactor)};
            const size_t end = std::min(below->size(), (i + 1) * kLevelFactor);
            for (size_t j = i * kLevelFactor + 1; j < end; ++j) {
                b.min = std::min(b.min, (*below)[j].min);
                b.max = std::max(b.max, (*below)[j].max);
            }
            level[i] = b;
        }
        m_levels.push_back(std::move(level));
        below = &m_levels.back();
    }
    m_complete.store(true, std::memory_order_release);
}

WaveRange WaveformSummary::Range(int64_t first_block, int64_t end_block) const {
    WaveRange r{1.0f, -1.0f, false};
    int16_t lo = std::numeric_limits<int16_t>::max(), hi = std::numeric_limits<int16_t>::min();
    const int64_t blocks = static_cast<int64_t>(m_level0.size());
    first_block = std::max<int64_t>(0, first_block);
    end_block = std::min(end_block, blocks);
    int64_t b = first_block;
    while (b < end_block) {
        // The stretch holding block b: the last whose first block is at or before it.
        auto it = std::upper_bound(m_stretch_begin.begin(), m_stretch_begin.end(), b * m_block);
        const int s = static_cast<int>(it - m_stretch_begin.begin()) - 1;
        const int64_t s_first = m_stretch_begin[s] / m_block;
        const int64_t s_end = s + 1 < stretchCount() ? m_stretch_begin[s + 1] / m_block : blocks;
        const int64_t known_end = s_first + m_filled[s].load(std::memory_order_acquire);
        for (int64_t k = b, e = std::min(end_block, known_end); k < e; ++k) {
            lo = std::min(lo, m_level0[k].min);
            hi = std::max(hi, m_level0[k].max);
            r.known = true;
        }
        b = std::min(end_block, s_end);
    }
    if (r.known) {
        r.min = lo / 32767.0f;
        r.max = hi / 32767.0f;
    } else {
        r.min = r.max = 0;
    }
    return r;
}

void WaveformSummary::Columns(double first_sample, double samples_per_column, int count,
                              WaveRange* out) const {
    const bool done = complete();
    const int64_t blocks = static_cast<int64_t>(m_level0.size());
    for (int i = 0; i < count; ++i) {
        const double s0 = first_sample + i * samples_per_column;
        const double s1 = s0 + samples_per_column;
        if (s1 <= 0 || s0 >= static_cast<double>(m_total)) {
            out[i] = WaveRange{};
            continue;
        }
        int64_t a = static_cast<int64_t>(std::floor(std::max(0.0, s0) / m_block));
        const int64_t b = std::min(blocks, std::max(a + 1, static_cast<int64_t>(std::ceil(s1 / m_block))));
        if (!done) {
            out[i] = Range(a, b);
            continue;
        }
        // The column's blocks exactly: the widest aligned block of any level that fits, step by step.
        int16_t lo = std::numeric_limits<int16_t>::max(), hi = std::numeric_limits<int16_t>::min();
        while (a < b) {
            int level = 0;
            int64_t size = 1;
            while (level < static_cast<int>(m_levels.size()) && a % (size * kLevelFactor) == 0 &&
                   a + size * kLevelFactor <= b) {
                ++level;
                size *= kLevelFactor;
            }
            const Block& k = level == 0 ? m_level0[a] : m_levels[level - 1][a / size];
            lo = std::min(lo, k.min);
            hi = std::max(hi, k.max);
            a += size;
        }
        out[i] = WaveRange{lo / 32767.0f, hi / 32767.0f, true};
    }
}

namespace {

WaveformInfo Mp3Info(const Mp3Frames& f) {
    WaveformInfo info;
    info.ok = true;
    info.sample_rate = f.first.sample_rate;
    info.total_samples = f.OutputSamples();
    return info;
}

WaveformInfo ProbeOther(const std::string& path) {
    WaveformInfo info;
    AudioReader reader;
    if (!reader.Open(path)) {
        info.error = reader.error;
        return info;
    }
    AVStream* st = reader.stream;
    info.sample_rate =
        reader.decoder->sample_rate > 0 ? reader.decoder->sample_rate : st->codecpar->sample_rate;
    if (info.sample_rate <= 0) {
        info.error = "the audio stream has no sample rate";
        return info;
    }
    const AVRational sample_tb{1, info.sample_rate};
    if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
        info.total_samples = av_rescale_q(st->duration, st->time_base, sample_tb);
    else if (reader.input->duration > 0)
        info.total_samples = av_rescale_q(reader.input->duration, AV_TIME_BASE_Q, sample_tb);
    // The first decoded sample's time stamp is sample 0: seeks land relative to it.
    int64_t decoded = 0;
    reader.Run(0, 0, nullptr, [&](int64_t, const float*, int n) {
        decoded += n;
        return false;
    });
    info.origin_pts = reader.first_pts != AV_NOPTS_VALUE ? reader.first_pts
                      : st->start_time != AV_NOPTS_VALUE ? st->start_time
                                                         : 0;
    if (decoded == 0) {
        info.error = "no audio could be decoded";
        return info;
    }
    if (info.total_samples <= 0) {
        info.error = "the audio stream has no length";
        return info;
    }
    info.ok = true;
    return info;
}

}  // namespace

WaveformInfo ProbeWaveform(const std::string& path) {
    Mp3Frames frames;
    int fd = -1;
    if (!OpenMp3(path, &frames, &fd)) return ProbeOther(path);
    close(fd);
    return Mp3Info(frames);
}

std::vector<float> DecodeMixedSamples(const std::string& path, int64_t first_sample, int count,
                                      const std::atomic<bool>* cancel) {
    std::vector<float> samples;
    if (count <= 0) return samples;
    samples.reserve(count);
    first_sample = std::max<int64_t>(0, first_sample);
    const int64_t end = first_sample + count;
    // An MP3 file is indexed only up to the frames needed.
    Mp3Frames frames;
    int fd = -1;
    if (OpenMp3(path, &frames, &fd, (end + 8192) / 576 + Mp3Frames::kCheckpointFrames)) {
        WorkerDecoder decoder;
        decoder.Run(fd, frames, first_sample, end, cancel,
                    [&](int64_t, const float* const* planes, int channels, int n) {
                        for (int i = 0; i < n; ++i) samples.push_back(Mixed(planes, channels, i));
                        return true;
                    });
        close(fd);
    } else {
        const WaveformInfo info = ProbeOther(path);
        AudioReader reader;
        if (!info.ok || !reader.Open(path)) return samples;
        reader.Run(info.origin_pts, first_sample, cancel, [&](int64_t at, const float* s, int n) {
            for (int i = 0; i < n && at + i < end; ++i)
                if (at + i >= first_sample) samples.push_back(s[i]);
            return at + n < end;
        });
    }
    if (cancel && cancel->load()) samples.clear();
    return samples;
}

WaveformBuilder::~WaveformBuilder() { Cancel(); }

void WaveformBuilder::Cancel() {
    m_cancel.store(true);
    for (auto& t : m_workers)
        if (t.joinable()) t.join();
    m_workers.clear();
    CloseFile();
}

void WaveformBuilder::CloseFile() {
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
    m_mp3.reset();
}

bool WaveformBuilder::Start(const std::string& path, int threads, int stretches) {
    Cancel();
    m_summary.reset();
    m_cancel.store(false);
    m_failed.store(false);
    m_path = path;
    auto frames = std::make_shared<Mp3Frames>();
    if (OpenMp3(path, frames.get(), &m_fd)) {
        m_mp3 = frames;
        m_info = Mp3Info(*frames);
    } else {
        m_info = ProbeOther(path);
    }
    if (!m_info.ok) return false;
    if (threads <= 0) threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    if (stretches <= 0) {
        // Enough stretches that the picture fills in evenly and the workers end together, few enough
        // that entering each costs little: an MP3 stretch begins a few frames early, any other file
        // is opened and sought again for each.
        const int64_t seconds = m_info.total_samples / m_info.sample_rate;
        stretches = m_mp3 ? static_cast<int>(std::clamp<int64_t>(seconds / 30, 4 * threads, 256))
                          : static_cast<int>(std::clamp<int64_t>(seconds / 120, 2 * threads, 64));
    }
    m_summary = std::make_shared<WaveformSummary>(m_info.total_samples, stretches);
    m_next_stretch.store(0);
    m_stretches_left.store(m_summary->stretchCount());
    threads = std::min(threads, m_summary->stretchCount());
    for (int t = 0; t < threads; ++t) m_workers.emplace_back([this] { Work(); });
    return true;
}

void WaveformBuilder::Work() {
    WorkerDecoder decoder;
    for (;;) {
        if (m_cancel.load()) return;
        const int s = m_next_stretch.fetch_add(1);
        if (s >= m_summary->stretchCount()) return;
        RunStretch(s, &decoder);
        if (m_cancel.load()) return;
        if (m_stretches_left.fetch_sub(1) == 1) m_summary->Finish();
    }
}

void WaveformBuilder::RunStretch(int s, WorkerDecoder* decoder) {
    WaveformSummary& sum = *m_summary;
    const int64_t begin = sum.stretchBegin(s), end = sum.stretchEnd(s);
    const int block = sum.blockSamples();
    const int64_t blocks = (end + block - 1) / block - begin / block;
    WaveformBlockWriter writer(sum, s);
    bool ok = false;
    if (m_mp3) {
        ok = decoder->Run(m_fd, *m_mp3, begin, end, &m_cancel,
                          [&](int64_t at, const float* const* planes, int channels, int n) {
                              return writer.Add(at, planes, channels, n);
                          });
    } else {
        AudioReader reader;
        ok = reader.Open(m_path) &&
             reader.Run(m_info.origin_pts, begin, &m_cancel,
                        [&](int64_t at, const float* x, int n) { return writer.Add(at, &x, 1, n); });
    }
    if (!ok) m_failed.store(true);
    writer.Flush();
    if (!m_cancel.load()) sum.Publish(s, blocks);
}

}  // namespace engine
