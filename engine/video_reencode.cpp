// Video re-encoding: decoding, conversion to the output's frame rate and size, encoding.
#include <algorithm>
#include <cmath>

#include "engine/conversion_run.h"

namespace engine {

namespace {
// More repeats than this for one picture means a jump in the input's clock, not a gap.
constexpr int64_t kMaxRepeatedPictures = 600;
}  // namespace

void ConversionRun::DecodeVideo(const AVPacket* pkt) {
    int sent = avcodec_send_packet(video_decoder_, pkt);
    if (sent < 0 && sent != AVERROR(EAGAIN)) return;
    AVFrame* frame = decoded_video_.get();
    while (avcodec_receive_frame(video_decoder_, frame) == 0) {
        if (!leave_loop_) EncodePicture(frame);
        av_frame_unref(frame);
    }
}

void ConversionRun::EncodePicture(AVFrame* decoded) {
    int i = progress_.current_file.load();
    int64_t ts =
        decoded->best_effort_timestamp != AV_NOPTS_VALUE ? decoded->best_effort_timestamp : decoded->pkt_dts;
    double time_s = ts != AV_NOPTS_VALUE ? av_q2d(in_video_->time_base) * static_cast<double>(ts) : 0.0;
    if (!Merge() && ts != AV_NOPTS_VALUE) {
        auto time_ms = static_cast<int64_t>(av_q2d(in_video_->time_base) * (static_cast<double>(ts) * 1000));
        if (range_start_s_ * 1000 > static_cast<double>(time_ms)) return;
    }
    if (!picture_origin_known_) {
        // A merged file starts where the output stands, or where a longer audio track of the file
        // before ends: the time stamps skip that gap, so the last picture stays on screen over it.
        picture_origin_s_ = time_s;
        video_next_ += merge_gap_frames_;
        picture_base_ = video_next_;
        merge_gap_frames_ = 0;
        picture_origin_known_ = true;
    }

    // Output pictures follow the input's clock at the output rate: each picture fills the output
    // frames up to the end of its own display time, so pictures are repeated or dropped as the
    // rates differ and the video keeps its real duration and stays with the audio.
    int64_t copies = 1;
    if (ts != AV_NOPTS_VALUE) {
        double frame_s = av_q2d(video_frame_tb_);
        double shown_s = decoded->pkt_duration > 0
                             ? av_q2d(in_video_->time_base) * static_cast<double>(decoded->pkt_duration)
                         : Valid(in_video_->r_frame_rate) ? av_q2d(Inverse(in_video_->r_frame_rate))
                                                          : frame_s;
        double end = static_cast<double>(picture_base_) + (time_s - picture_origin_s_ + shown_s) / frame_s;
        int64_t wanted = std::llround(end) - video_next_;
        if (wanted > kMaxRepeatedPictures || wanted < -kMaxRepeatedPictures) {
            // A jump in the input's time stamps (a discontinuity, not a real gap): the pictures
            // go on from where the output stands.
            picture_origin_s_ = time_s;
            picture_base_ = video_next_;
            wanted = std::max<int64_t>(1, std::llround(shown_s / frame_s));
        }
        copies = std::clamp<int64_t>(wanted, 0, kMaxRepeatedPictures);
    }
    if (copies == 0) return;

    AVCodecContext* enc = video_encoder_.get();
    AVFrame* out = decoded;
    if (decoded->width != enc->width || decoded->height != enc->height || decoded->format != enc->pix_fmt) {
        scaler_.reset(sws_getCachedContext(
            scaler_.release(), decoded->width, decoded->height, static_cast<AVPixelFormat>(decoded->format),
            enc->width, enc->height, enc->pix_fmt, SWS_BICUBIC, nullptr, nullptr, nullptr));
        // The encoder may still hold the previous picture; then a fresh buffer is taken.
        if (!scaler_ || av_frame_make_writable(picture_.get()) < 0) {
            Fail("could not scale the picture");
            leave_loop_ = true;
            return;
        }
        sws_scale(scaler_.get(), decoded->data, decoded->linesize, 0, decoded->height, picture_->data,
                  picture_->linesize);
        out = picture_.get();
    }
    out->pict_type = AV_PICTURE_TYPE_NONE;
    // The encoder keeps its own reference to each picture sent, so a repeat only needs a new time stamp.
    for (int64_t c = 0; c < copies; ++c) {
        // The range is full: later pictures would make the cut longer than asked.
        if (!Merge() && RangeLength(i) <= VideoClock()) return;
        out->pts = video_next_;
        ++video_next_;
        if (!SendVideoFrame(out)) {
            Fail("could not encode the video");
            leave_loop_ = true;
            return;
        }
    }
}

bool ConversionRun::SendVideoFrame(AVFrame* frame) {
    if (avcodec_send_frame(video_encoder_.get(), frame) < 0) return false;
    ++pictures_sent_;
    return WriteEncoded(video_encoder_.get(), out_video_);
}

}  // namespace engine
