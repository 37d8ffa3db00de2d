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
    if (!audio_decoder_) return;
    int sent = avcodec_send_packet(audio_decoder_, pkt);
    if (sent < 0 && sent != AVERROR(EAGAIN)) return;
    AVFrame* frame = decoded_audio_.get();
    while (avcodec_receive_frame(audio_decoder_, frame) == 0) {
        bool keep = true;
        if (!Merge()) {
            int64_t ts = frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp
                                                                        : frame->pkt_dts;
            if (ts != AV_NOPTS_VALUE && frame->sample_rate > 0) {
                // Sound before the range's start goes, to the sample, so it starts with the picture.
                const double time_s = av_q2d(in_audio_->time_base) * static_cast<double>(ts);
                const double end_s = time_s + static_cast<double>(frame->nb_samples) / frame->sample_rate;
                if (end_s <= range_start_s_) {
                    keep = false;
                } else if (!cut_audio_started_ && time_s < range_start_s_) {
                    auto skip =
                        static_cast<int>(std::llround((range_start_s_ - time_s) * frame->sample_rate));
                    SkipSamples(frame, std::min(skip, frame->nb_samples - 1));
                }
            }
            if (keep) cut_audio_started_ = true;
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
    if (input_->duration_estimation_method != AVFMT_DURATION_FROM_STREAM || in_audio_->duration <= 0 ||
        frame->sample_rate <= 0)
        return;
    int64_t ts =
        frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : frame->pkt_dts;
    if (ts == AV_NOPTS_VALUE) return;
    const int64_t start = in_audio_->start_time != AV_NOPTS_VALUE ? in_audio_->start_time : 0;
    const int64_t left = av_rescale_q(start + in_audio_->duration - ts, in_audio_->time_base,
                                      AVRational{1, frame->sample_rate});
    if (left < frame->nb_samples) frame->nb_samples = static_cast<int>(std::max<int64_t>(0, left));
}

void ConversionRun::QueueAudio(AVFrame* decoded) {
    AVCodecContext* enc = audio_encoder_.get();
    AVChannelLayout in_layout{};
    if (decoded->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || decoded->ch_layout.nb_channels == 0)
        av_channel_layout_default(&in_layout, decoded->ch_layout.nb_channels > 0
                                                  ? decoded->ch_layout.nb_channels
                                                  : audio_decoder_->ch_layout.nb_channels);
    else
        av_channel_layout_copy(&in_layout, &decoded->ch_layout);

    bool same = decoded->format == enc->sample_fmt && decoded->sample_rate == enc->sample_rate &&
                av_channel_layout_compare(&in_layout, &enc->ch_layout) == 0;
    if (same && !resampler_) {
        av_channel_layout_uninit(&in_layout);
        QueueSamples(decoded->extended_data, decoded->nb_samples);
        return;
    }
    if (!same || resampler_) {
        bool changed = !resampler_ || resampler_in_rate_ != decoded->sample_rate ||
                       resampler_in_format_ != decoded->format ||
                       av_channel_layout_compare(&resampler_in_layout_, &in_layout) != 0;
        if (changed) {
            FlushResampler();
            resampler_.reset();
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
                leave_loop_ = true;
                return;
            }
            resampler_.reset(swr);
            av_channel_layout_uninit(&resampler_in_layout_);
            av_channel_layout_copy(&resampler_in_layout_, &in_layout);
            resampler_in_rate_ = decoded->sample_rate;
            resampler_in_format_ = decoded->format;
        }
    }
    av_channel_layout_uninit(&in_layout);

    int needed = swr_get_out_samples(resampler_.get(), decoded->nb_samples);
    if (needed <= 0) return;
    if (resampled_->nb_samples < needed) {
        av_frame_unref(resampled_.get());
        resampled_->format = enc->sample_fmt;
        resampled_->sample_rate = enc->sample_rate;
        resampled_->nb_samples = needed;
        av_channel_layout_copy(&resampled_->ch_layout, &enc->ch_layout);
        if (int error = av_frame_get_buffer(resampled_.get(), 0); error < 0) {
            Fail("could not get an audio buffer", error);
            leave_loop_ = true;
            return;
        }
    }
    int got = swr_convert(resampler_.get(), resampled_->data, resampled_->nb_samples,
                          const_cast<const uint8_t**>(decoded->extended_data), decoded->nb_samples);
    if (got > 0) QueueSamples(resampled_->data, got);
}

void ConversionRun::FlushResampler() {
    if (!resampler_ || !resampled_ || resampled_->nb_samples == 0) return;
    int got;
    while ((got = swr_convert(resampler_.get(), resampled_->data, resampled_->nb_samples, nullptr, 0)) > 0)
        QueueSamples(resampled_->data, got);
    // Ready for the next file's samples, with nothing left over from this one.
    swr_init(resampler_.get());
}

void ConversionRun::QueueSamples(uint8_t** data, int samples) {
    if (!Merge()) {
        // A cut's audio ends where its range ends.
        int64_t room = cut_audio_cap_ - cut_audio_samples_;
        if (room <= 0) return;
        samples = static_cast<int>(std::min<int64_t>(samples, room));
        cut_audio_samples_ += samples;
    }
    if (av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(data), samples) < samples) return;
    if (!EncodeQueuedAudio(false)) Fail("could not encode the audio");
}

void ConversionRun::PadAudioToVideo() {
    if (!out_audio_ || !audio_encoder_ || !out_video_) return;
    int64_t queued = av_audio_fifo_size(fifo_.get());
    // Up to where the next file's pictures start.
    const double video_start_s =
        static_cast<double>(video_next_ + merge_gap_frames_) * av_q2d(video_frame_tb_);
    auto missing = std::llround(video_start_s * audio_rate_) - (audio_next_ + queued);
    int frame_size = encoder_audio_->nb_samples;
    if (missing <= 0) return;
    while (missing > 0) {
        int n = static_cast<int>(std::min<int64_t>(missing, frame_size));
        if (av_frame_make_writable(encoder_audio_.get()) < 0) return;
        av_samples_set_silence(encoder_audio_->data, 0, n, audio_encoder_->ch_layout.nb_channels,
                               audio_encoder_->sample_fmt);
        if (av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(encoder_audio_->data), n) < n) return;
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
    AVCodecContext* enc = audio_encoder_.get();
    int frame_size = enc->frame_size > 0 ? enc->frame_size : kFallbackAudioFrameSize;
    bool ok = true;
    AVFrame* frame = encoder_audio_.get();
    for (;;) {
        int queued = av_audio_fifo_size(fifo_.get());
        if (queued == 0 || (queued < frame_size && !final_frame)) break;
        int n = std::min(queued, frame_size);
        frame->nb_samples = frame_size;
        if (av_frame_make_writable(frame) < 0) return false;
        av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(frame->data), n);
        bool short_ok =
            enc->codec->capabilities & (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
        if (n < frame_size) {
            if (short_ok)
                frame->nb_samples = n;
            else
                av_samples_set_silence(frame->data, n, frame_size - n, enc->ch_layout.nb_channels,
                                       enc->sample_fmt);
        }
        frame->pts = audio_next_;
        audio_next_ += frame->nb_samples;
        if (!SendAudioFrame(frame)) {
            ok = false;
            break;
        }
    }
    return ok;
}

bool ConversionRun::SendAudioFrame(AVFrame* frame) {
    if (avcodec_send_frame(audio_encoder_.get(), frame) < 0) return false;
    return WriteEncoded(audio_encoder_.get(), out_audio_);
}

}  // namespace engine
