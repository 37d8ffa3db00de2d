// Stream copy for direct cut and merge: packets go to the output unchanged, with time stamps from
// the engine's own generator.
#include "engine/conversion_run.h"

namespace engine {

void ConversionRun::CopyVideoPacket(AVPacket* pkt) {
    // A copy starts at a key frame: pictures before it could not be decoded.
    if (!seen_key_frame_) {
        if (!(pkt->flags & AV_PKT_FLAG_KEY)) return;
        seen_key_frame_ = true;
    }
    // Decoding time stamps are evenly spaced at the nominal rate; each packet keeps its
    // presentation offset so that reordered pictures still show in order.
    int64_t offset = 0;
    if (pkt->pts != AV_NOPTS_VALUE && pkt->dts != AV_NOPTS_VALUE && pkt->pts > pkt->dts)
        offset = av_rescale_q(pkt->pts - pkt->dts, in_video_->time_base, video_frame_tb_);
    if (!copy_shift_known_) {
        copy_pts_shift_ = offset;
        copy_shift_known_ = true;
    }
    int64_t dts = video_next_ - copy_pts_shift_;
    pkt->dts = av_rescale_q(dts, video_frame_tb_, out_video_->time_base);
    pkt->pts = av_rescale_q(dts + offset, video_frame_tb_, out_video_->time_base);
    pkt->duration = av_rescale_q(1, video_frame_tb_, out_video_->time_base);
    pkt->stream_index = out_video_->index;
    pkt->pos = -1;
    ++video_next_;
    job_.last_result = av_interleaved_write_frame(muxer_.get(), pkt);
    if (job_.last_result < 0) {
        Fail();
        leave_loop_ = true;
    }
}

void ConversionRun::CopyAudioPacket(AVPacket* pkt) {
    int64_t samples = 0;
    if (pkt->duration > 0)
        samples = av_rescale_q(pkt->duration, in_audio_->time_base, AVRational{1, audio_rate_});
    if (samples <= 0) samples = av_get_audio_frame_duration2(in_audio_->codecpar, pkt->size);
    if (samples <= 0) samples = in_audio_->codecpar->frame_size;
    pkt->dts = pkt->pts = av_rescale_q(audio_next_, AVRational{1, audio_rate_}, out_audio_->time_base);
    pkt->duration = av_rescale_q(samples, AVRational{1, audio_rate_}, out_audio_->time_base);
    pkt->stream_index = out_audio_->index;
    pkt->pos = -1;
    audio_next_ += samples;
    job_.last_result = av_interleaved_write_frame(muxer_.get(), pkt);
}

}  // namespace engine
