#include "auvella/decoder.h"

#include <algorithm>

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace auvella {

namespace {

// Consecutive decoding errors after which a file counts as ended rather than damaged in one place.
constexpr int kMaxDecodeErrors = 100;

}  // namespace

std::string FailureText(const DecodeFailure& failure) {
    if (!failure.failed() || failure.error == 0) return failure.step;
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(failure.error, text, sizeof text);
    return failure.step + ": " + text;
}

Decoder::~Decoder() { av_channel_layout_uninit(&m_swr_in_layout); }

DecodeFailure Decoder::Open(const std::string& path) {
    if (path.empty()) return {"no file was named"};
    AVFormatContext* format = nullptr;
    if (int e = avformat_open_input(&format, path.c_str(), nullptr, nullptr); e < 0)
        return {"could not open the file", e};
    m_format.reset(format);
    if (int e = avformat_find_stream_info(format, nullptr); e < 0) return {"could not read the streams", e};
    const AVCodec* codec = nullptr;
    m_stream = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (m_stream < 0 || !codec) return {"found no decodable audio stream", m_stream < 0 ? m_stream : 0};
    AVStream* stream = format->streams[m_stream];
    for (unsigned i = 0; i < format->nb_streams; ++i)
        if (static_cast<int>(i) != m_stream) format->streams[i]->discard = AVDISCARD_ALL;
    m_decoder.reset(avcodec_alloc_context3(codec));
    if (!m_decoder) return {"could not allocate the decoder", AVERROR(ENOMEM)};
    if (int e = avcodec_parameters_to_context(m_decoder.get(), stream->codecpar); e < 0)
        return {"could not set up the decoder", e};
    m_decoder->pkt_timebase = stream->time_base;
    if (int e = avcodec_open2(m_decoder.get(), codec, nullptr); e < 0)
        return {"could not open the decoder", e};
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

DecodeFailure Decoder::Seek(int64_t target_frame) {
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
