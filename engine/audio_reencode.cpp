// Audio re-encoding: decoding, resampling to the encoder's format, a FIFO that cuts the samples into
// encoder frames, encoding.
#include <algorithm>

#include "engine/conversion_run.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

namespace engine {

namespace {
// Drops a decoded frame's first samples by moving its data pointers; the buffers stay the frame's.
void SkipSamples(AVFrame* frame, int samples) {
    if (samples <= 0) return;
    const auto format = static_cast<AVSampleFormat>(frame->format);
    const bool planar = av_sample_fmt_is_planar(format);
    const ptrdiff_t step = static_cast<ptrdiff_t>(samples) * av_get_bytes_per_sample(format) *
                           (planar ? 1 : frame->ch_layout.nb_channels);
    const int planes = planar ? frame->ch_layout.nb_channels : 1;
    for (int c = 0; c < planes; ++c) {
        frame->extended_data[c] += step;
        // extended_data is data itself for up to eight planes; else data holds the first eight.
        if (frame->extended_data != frame->data && c < AV_NUM_DATA_POINTERS) frame->data[c] += step;
    }
    frame->nb_samples -= samples;
}
}  // namespace

void ConversionRun::DecodeAudio(const AVPacket* pkt) {
    if (!in_.audio_decoder()) return;
    int sent = avcodec_send_packet(in_.audio_decoder(), pkt);
    if (sent < 0 && sent != AVERROR(EAGAIN)) return;
    AVFrame* frame = audio_.decoded.get();
    while (avcodec_receive_frame(in_.audio_decoder(), frame) == 0) {
        bool keep = true;
        if (!Merge()) {
            int64_t ts = frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp
                                                                        : frame->pkt_dts;
            if (ts != AV_NOPTS_VALUE && frame->sample_rate > 0) {
                // Sound before the range's start goes, to the sample, so it starts with the picture.
                const double time_s = av_q2d(in_.audio->time_base) * static_cast<double>(ts);
                const double end_s = time_s + static_cast<double>(frame->nb_samples) / frame->sample_rate;
                if (end_s <= in_.range_start_s) {
                    keep = false;
                } else if (!in_.cut_audio_started && time_s < in_.range_start_s) {
                    auto skip =
                        static_cast<int>(std::llround((in_.range_start_s - time_s) * frame->sample_rate));
                    SkipSamples(frame, std::min(skip, frame->nb_samples - 1));
                }
            }
            if (keep) in_.cut_audio_started = true;
        }
        if (keep && Merge()) TrimToStreamEnd(frame);
        if (keep && frame->nb_samples > 0) QueueAudio(frame);
        av_frame_unref(frame);
    }
}

// A merged file's sound ends where its stream says (the encoder's padding of the last frame goes),
// so the next file's sound and pictures follow it exactly.
void ConversionRun::TrimToStreamEnd(AVFrame* frame) const {
    // Only a duration the container states (an MP4's edit list), never an estimate.
    if (in_.format()->duration_estimation_method != AVFMT_DURATION_FROM_STREAM || in_.audio->duration <= 0 ||
        frame->sample_rate <= 0)
        return;
    int64_t ts =
        frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : frame->pkt_dts;
    if (ts == AV_NOPTS_VALUE) return;
    const int64_t start = in_.audio->start_time != AV_NOPTS_VALUE ? in_.audio->start_time : 0;
    const int64_t left = av_rescale_q(start + in_.audio->duration - ts, in_.audio->time_base,
                                      AVRational{1, frame->sample_rate});
    if (left < frame->nb_samples) frame->nb_samples = static_cast<int>(std::max<int64_t>(0, left));
}

void ConversionRun::QueueAudio(AVFrame* decoded) {
    AVCodecContext* enc = audio_.encoder.get();
    AVChannelLayout in_layout{};
    if (decoded->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || decoded->ch_layout.nb_channels == 0)
        av_channel_layout_default(&in_layout, decoded->ch_layout.nb_channels > 0
                                                  ? decoded->ch_layout.nb_channels
                                                  : in_.audio_decoder()->ch_layout.nb_channels);
    else
        av_channel_layout_copy(&in_layout, &decoded->ch_layout);

    bool same = decoded->format == enc->sample_fmt && decoded->sample_rate == enc->sample_rate &&
                av_channel_layout_compare(&in_layout, &enc->ch_layout) == 0;
    if (same && !audio_.resampler) {
        av_channel_layout_uninit(&in_layout);
        QueueSamples(decoded->extended_data, decoded->nb_samples);
        return;
    }
    if (!same || audio_.resampler) {
        bool changed = !audio_.resampler || audio_.resampler_in_rate != decoded->sample_rate ||
                       audio_.resampler_in_format != decoded->format ||
                       av_channel_layout_compare(&audio_.resampler_in_layout, &in_layout) != 0;
        if (changed) {
            FlushResampler();
            audio_.resampler.reset();
            if (same) {
                av_channel_layout_uninit(&in_layout);
                QueueSamples(decoded->extended_data, decoded->nb_samples);
                return;
            }
            SwrContext* swr = nullptr;
            if (swr_alloc_set_opts2(&swr, &enc->ch_layout, enc->sample_fmt, enc->sample_rate, &in_layout,
                                    static_cast<AVSampleFormat>(decoded->format), decoded->sample_rate, 0,
                                    nullptr) < 0 ||
                swr_init(swr) < 0) {
                swr_free(&swr);
                av_channel_layout_uninit(&in_layout);
                Fail("could not set up the resampler");
                in_.leave_loop = true;
                return;
            }
            audio_.resampler.reset(swr);
            av_channel_layout_uninit(&audio_.resampler_in_layout);
            av_channel_layout_copy(&audio_.resampler_in_layout, &in_layout);
            audio_.resampler_in_rate = decoded->sample_rate;
            audio_.resampler_in_format = decoded->format;
        }
    }
    av_channel_layout_uninit(&in_layout);

    int needed = swr_get_out_samples(audio_.resampler.get(), decoded->nb_samples);
    if (needed <= 0) return;
    if (audio_.resampled->nb_samples < needed) {
        av_frame_unref(audio_.resampled.get());
        audio_.resampled->format = enc->sample_fmt;
        audio_.resampled->sample_rate = enc->sample_rate;
        audio_.resampled->nb_samples = needed;
        av_channel_layout_copy(&audio_.resampled->ch_layout, &enc->ch_layout);
        if (int error = av_frame_get_buffer(audio_.resampled.get(), 0); error < 0) {
            Fail("could not get an audio buffer", error);
            in_.leave_loop = true;
            return;
        }
    }
    int got = swr_convert(audio_.resampler.get(), audio_.resampled->data, audio_.resampled->nb_samples,
                          const_cast<const uint8_t**>(decoded->extended_data), decoded->nb_samples);
    if (got > 0) QueueSamples(audio_.resampled->data, got);
}

void ConversionRun::FlushResampler() {
    if (!audio_.resampler || !audio_.resampled || audio_.resampled->nb_samples == 0) return;
    int got;
    while ((got = swr_convert(audio_.resampler.get(), audio_.resampled->data, audio_.resampled->nb_samples,
                              nullptr, 0)) > 0)
        QueueSamples(audio_.resampled->data, got);
    // Ready for the next file's samples, with nothing left over from this one.
    swr_init(audio_.resampler.get());
}

void ConversionRun::QueueSamples(uint8_t** data, int samples) {
    if (!Merge()) {
        // A cut's audio ends where its range ends.
        int64_t room = in_.cut_audio_cap - in_.cut_audio_samples;
        if (room <= 0) return;
        samples = static_cast<int>(std::min<int64_t>(samples, room));
        in_.cut_audio_samples += samples;
    }
    if (av_audio_fifo_write(audio_.fifo.get(), reinterpret_cast<void**>(data), samples) < samples) return;
    if (!EncodeQueuedAudio(false)) Fail("could not encode the audio");
}

void ConversionRun::PadAudioToVideo() {
    if (!audio_.out || !audio_.encoder || !video_.out) return;
    int64_t queued = av_audio_fifo_size(audio_.fifo.get());
    // Up to where the next file's pictures start.
    const double video_start_s =
        static_cast<double>(video_.next + video_.merge_gap_frames) * av_q2d(video_.frame_tb);
    auto missing = std::llround(video_start_s * audio_.rate) - (audio_.next + queued);
    int frame_size = audio_.frame->nb_samples;
    if (missing <= 0) return;
    while (missing > 0) {
        int n = static_cast<int>(std::min<int64_t>(missing, frame_size));
        if (av_frame_make_writable(audio_.frame.get()) < 0) return;
        av_samples_set_silence(audio_.frame->data, 0, n, audio_.encoder->ch_layout.nb_channels,
                               audio_.encoder->sample_fmt);
        if (av_audio_fifo_write(audio_.fifo.get(), reinterpret_cast<void**>(audio_.frame->data), n) < n)
            return;
        missing -= n;
        // Frame by frame, so a long gap never piles up in memory.
        if (!EncodeQueuedAudio(false)) {
            Fail("could not encode the audio");
            return;
        }
    }
}

// Encodes whole frames from the FIFO; at the end (final_frame) also the rest, as a short frame where
// the encoder takes one, else filled up with silence.
bool ConversionRun::EncodeQueuedAudio(bool final_frame) {
    AVCodecContext* enc = audio_.encoder.get();
    int frame_size = enc->frame_size > 0 ? enc->frame_size : kFallbackAudioFrameSize;
    bool ok = true;
    AVFrame* frame = audio_.frame.get();
    for (;;) {
        int queued = av_audio_fifo_size(audio_.fifo.get());
        if (queued == 0 || (queued < frame_size && !final_frame)) break;
        int n = std::min(queued, frame_size);
        frame->nb_samples = frame_size;
        if (av_frame_make_writable(frame) < 0) return false;
        av_audio_fifo_read(audio_.fifo.get(), reinterpret_cast<void**>(frame->data), n);
        bool short_ok =
            enc->codec->capabilities & (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
        if (n < frame_size) {
            if (short_ok)
                frame->nb_samples = n;
            else
                av_samples_set_silence(frame->data, n, frame_size - n, enc->ch_layout.nb_channels,
                                       enc->sample_fmt);
        }
        frame->pts = audio_.next;
        audio_.next += frame->nb_samples;
        if (!SendAudioFrame(frame)) {
            ok = false;
            break;
        }
    }
    return ok;
}

bool ConversionRun::SendAudioFrame(AVFrame* frame) {
    if (avcodec_send_frame(audio_.encoder.get(), frame) < 0) return false;
    return WriteEncoded(audio_.encoder.get(), audio_.out);
}

}  // namespace engine
