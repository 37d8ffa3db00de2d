#include "auvella/decoder.h"

#include <algorithm>

#include "media/input.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace auvella {

namespace {

// Consecutive decoding errors after which a file counts as ended rather than damaged in one place.
constexpr int kMaxDecodeErrors = 100;

}  // namespace

Decoder::~Decoder() { av_channel_layout_uninit(&m_swr_in_layout); }

media::Failure Decoder::Open(const std::string& path) {
    if (path.empty()) return {"no file was named"};
    media::InputOptions options;
    options.video_decoder = false;
    options.audio_decoder = false;
    media::Input input = media::OpenInput(path, options);
    if (!input.ok()) return input.failure;
    if (!input.audio) return {"found no audio stream", AVERROR_STREAM_NOT_FOUND};
    media::Failure failure;
    m_decoder = media::OpenDecoder(input.audio, nullptr, &failure);
    if (!m_decoder) return failure;
    m_format = std::move(input.format);
    AVFormatContext* format = m_format.get();
    AVStream* stream = input.audio;
    m_stream = stream->index;
    for (unsigned i = 0; i < format->nb_streams; ++i)
        if (static_cast<int>(i) != m_stream) format->streams[i]->discard = AVDISCARD_ALL;
    m_time_base = stream->time_base;
    m_stream_start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    if (stream->duration > 0 && stream->duration != AV_NOPTS_VALUE)
        m_duration_s = stream->duration * av_q2d(stream->time_base);
    else if (format->duration > 0)
        m_duration_s = format->duration / static_cast<double>(AV_TIME_BASE);
    m_frame.reset(av_frame_alloc());
    m_packet.reset(av_packet_alloc());
    if (!m_frame || !m_packet) return {"could not allocate a frame", AVERROR(ENOMEM)};

    m_have_first = Next(&m_first);
    if (!m_have_first || m_rate <= 0) return {"decoded no audio"};
    return {};
}

bool Decoder::Next(Chunk* chunk) {
    if (m_have_first) {
        std::swap(*chunk, m_first);
        m_have_first = false;
        return true;
    }
    int errors = 0;
    while (DecodeFrame()) {
        bool converted = Convert(chunk);
        av_frame_unref(m_frame.get());
        if (converted && !chunk->samples.empty()) return true;
        // A frame that lies wholly before a seek's target gives nothing; one that cannot be
        // converted counts as an error.
        if (!converted && ++errors > kMaxDecodeErrors) break;
    }
    m_drained = true;
    return false;
}

bool Decoder::DecodeFrame() {
    if (!m_decoder || m_drained) return false;
    int errors = 0;
    for (;;) {
        int result = avcodec_receive_frame(m_decoder.get(), m_frame.get());
        if (result == 0) return true;
        if (result == AVERROR_EOF) break;
        if (result != AVERROR(EAGAIN)) {
            if (++errors > kMaxDecodeErrors) break;
            continue;
        }
        result = av_read_frame(m_format.get(), m_packet.get());
        if (result < 0) {
            // The end of the file or a read error: drain what the decoder holds.
            if (avcodec_send_packet(m_decoder.get(), nullptr) < 0) break;
            continue;
        }
        if (m_packet->stream_index == m_stream && avcodec_send_packet(m_decoder.get(), m_packet.get()) < 0 &&
            ++errors > kMaxDecodeErrors) {
            av_packet_unref(m_packet.get());
            break;
        }
        av_packet_unref(m_packet.get());
    }
    m_drained = true;
    return false;
}

// Converts m_frame into *chunk, dropping what lies before m_discard_until. Returns false when the
// frame cannot be converted.
bool Decoder::Convert(Chunk* chunk) {
    const AVFrame* frame = m_frame.get();
    chunk->samples.clear();
    if (frame->nb_samples <= 0 || frame->sample_rate <= 0 || frame->ch_layout.nb_channels <= 0) return false;
    if (m_rate == 0) {
        m_rate = frame->sample_rate;
        m_channels = frame->ch_layout.nb_channels == 1 ? 1 : 2;
    }
    if (!m_swr || frame->sample_rate != m_swr_in_rate || frame->format != m_swr_in_format ||
        av_channel_layout_compare(&frame->ch_layout, &m_swr_in_layout) != 0) {
        AVChannelLayout in{}, out{};
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&in, frame->ch_layout.nb_channels);
        else
            av_channel_layout_copy(&in, &frame->ch_layout);
        av_channel_layout_default(&out, m_channels);
        SwrContext* swr = nullptr;
        int result =
            swr_alloc_set_opts2(&swr, &out, AV_SAMPLE_FMT_S16, m_rate, &in,
                                static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&in);
        if (result < 0 || swr_init(swr) < 0) {
            swr_free(&swr);
            m_swr.reset();
            return false;
        }
        m_swr.reset(swr);
        m_swr_in_rate = frame->sample_rate;
        m_swr_in_format = frame->format;
        av_channel_layout_uninit(&m_swr_in_layout);
        av_channel_layout_copy(&m_swr_in_layout, &frame->ch_layout);
    }

    // After a seek the frame's own time says where the samples lie; from then on they are counted.
    if (!m_next_frame_known) {
        int64_t ts = frame->best_effort_timestamp;
        m_next_frame = ts == AV_NOPTS_VALUE
                           ? m_discard_until
                           : av_rescale_q(ts - m_stream_start, m_time_base, AVRational{1, m_rate});
        m_next_frame_known = true;
    }

    int capacity = swr_get_out_samples(m_swr.get(), frame->nb_samples);
    if (capacity <= 0) return false;
    chunk->samples.resize(static_cast<size_t>(capacity) * m_channels);
    auto* out = reinterpret_cast<uint8_t*>(chunk->samples.data());
    int converted = swr_convert(m_swr.get(), &out, capacity,
                                const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
    converted = std::max(converted, 0);

    int64_t first = m_next_frame;
    m_next_frame += converted;
    int64_t drop = std::clamp<int64_t>(m_discard_until - first, 0, converted);
    chunk->samples.resize(static_cast<size_t>(converted) * m_channels);
    chunk->samples.erase(chunk->samples.begin(),
                         chunk->samples.begin() + static_cast<ptrdiff_t>(drop * m_channels));
    chunk->first_frame = first + drop;
    return true;
}

media::Failure Decoder::Seek(int64_t target_frame) {
    if (!m_format || !m_decoder || m_rate <= 0) return {"nothing is open"};
    int64_t target_ts = m_stream_start + av_rescale_q(target_frame, AVRational{1, m_rate}, m_time_base);
    AVFormatContext* format = m_format.get();
    int result = avformat_seek_file(format, m_stream, INT64_MIN, target_ts, target_ts, 0);
    if (result < 0) result = av_seek_frame(format, m_stream, target_ts, AVSEEK_FLAG_BACKWARD);
    // Formats without a usable index or time stamps: decode from the start up to the target.
    if (result < 0) result = av_seek_frame(format, -1, 0, AVSEEK_FLAG_BYTE);
    if (result < 0) return {"could not seek", result};
    avcodec_flush_buffers(m_decoder.get());
    m_swr.reset();
    m_have_first = false;
    m_drained = false;
    m_next_frame_known = false;
    m_discard_until = target_frame;
    return {};
}

}  // namespace auvella
