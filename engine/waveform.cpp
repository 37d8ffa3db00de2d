#include "engine/waveform.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

extern "C" {
#include <libavutil/channel_layout.h>
}

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
    // returns false, the stream ends or cancel is set. False on a read or decode failure.
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

int16_t ToLevel(float v) { return static_cast<int16_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f)); }

}  // namespace

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

WaveformInfo ProbeWaveform(const std::string& path) {
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

std::vector<float> DecodeMixedSamples(const std::string& path, int64_t first_sample, int count,
                                      const std::atomic<bool>* cancel) {
    std::vector<float> samples;
    const WaveformInfo info = ProbeWaveform(path);
    AudioReader reader;
    if (!info.ok || count <= 0 || !reader.Open(path)) return samples;
    samples.reserve(count);
    const int64_t end = first_sample + count;
    reader.Run(info.origin_pts, std::max<int64_t>(0, first_sample), cancel,
               [&](int64_t at, const float* s, int n) {
                   for (int i = 0; i < n && at + i < end; ++i)
                       if (at + i >= first_sample) samples.push_back(s[i]);
                   return at + n < end;
               });
    if (cancel && cancel->load()) samples.clear();
    return samples;
}

WaveformBuilder::~WaveformBuilder() { Cancel(); }

void WaveformBuilder::Cancel() {
    m_cancel.store(true);
    for (auto& t : m_workers)
        if (t.joinable()) t.join();
    m_workers.clear();
}

bool WaveformBuilder::Start(const std::string& path, int threads, int stretches) {
    Cancel();
    m_summary.reset();
    m_cancel.store(false);
    m_failed.store(false);
    m_path = path;
    m_info = ProbeWaveform(path);
    if (!m_info.ok) return false;
    if (threads <= 0) threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    if (stretches <= 0) {
        // Enough stretches that the picture fills in evenly, few enough that opening and seeking
        // each costs little: one per two minutes, at least two per worker.
        const int64_t seconds = m_info.total_samples / m_info.sample_rate;
        stretches = static_cast<int>(std::clamp<int64_t>(seconds / 120, 2 * threads, 64));
    }
    m_summary = std::make_shared<WaveformSummary>(m_info.total_samples, stretches);
    m_next_stretch.store(0);
    m_stretches_left.store(m_summary->stretchCount());
    threads = std::min(threads, m_summary->stretchCount());
    for (int t = 0; t < threads; ++t) m_workers.emplace_back([this] { Work(); });
    return true;
}

void WaveformBuilder::Work() {
    for (;;) {
        if (m_cancel.load()) return;
        const int s = m_next_stretch.fetch_add(1);
        if (s >= m_summary->stretchCount()) return;
        RunStretch(s);
        if (m_cancel.load()) return;
        if (m_stretches_left.fetch_sub(1) == 1) m_summary->Finish();
    }
}

void WaveformBuilder::RunStretch(int s) {
    WaveformSummary& sum = *m_summary;
    const int64_t begin = sum.stretchBegin(s), end = sum.stretchEnd(s);
    const int block = sum.blockSamples();
    const int64_t first_block = begin / block;
    const int64_t end_block = (end + block - 1) / block;
    AudioReader reader;
    if (!reader.Open(m_path)) {
        m_failed.store(true);
        sum.Publish(s, end_block - first_block);
        return;
    }
    int64_t cur = first_block;  // block being filled
    float lo = std::numeric_limits<float>::max(), hi = std::numeric_limits<float>::lowest();
    bool any = false;
    auto flush = [&] {
        if (any) sum.WriteBlock(cur, lo, hi);
        lo = std::numeric_limits<float>::max();
        hi = std::numeric_limits<float>::lowest();
        any = false;
    };
    const bool ok = reader.Run(m_info.origin_pts, begin, &m_cancel, [&](int64_t at, const float* x, int n) {
        int i = 0;
        while (i < n) {
            const int64_t idx = at + i;
            if (idx >= end) return false;
            const int64_t b = idx / block;
            if (b != cur) {
                flush();
                cur = b;
            }
            const int64_t block_end = (b + 1) * block;
            const int run = static_cast<int>(std::min<int64_t>({n - i, block_end - idx, end - idx}));
            for (int k = 0; k < run; ++k) {
                lo = std::min(lo, x[i + k]);
                hi = std::max(hi, x[i + k]);
            }
            any = any || run > 0;
            i += run;
        }
        sum.Publish(s, cur - first_block);
        return true;
    });
    if (!ok) m_failed.store(true);
    flush();
    if (!m_cancel.load()) sum.Publish(s, end_block - first_block);
}

}  // namespace engine
