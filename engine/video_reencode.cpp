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
    int sent = avcodec_send_packet(in_.video_decoder(), pkt);
    if (sent < 0 && sent != AVERROR(EAGAIN)) return;
    AVFrame* frame = video_.decoded.get();
    while (avcodec_receive_frame(in_.video_decoder(), frame) == 0) {
        if (!in_.leave_loop) EncodePicture(frame);
        av_frame_unref(frame);
    }
}

void ConversionRun::EncodePicture(AVFrame* decoded) {
    int i = file_index_;
    int64_t ts =
        decoded->best_effort_timestamp != AV_NOPTS_VALUE ? decoded->best_effort_timestamp : decoded->pkt_dts;
    double time_s = ts != AV_NOPTS_VALUE ? av_q2d(in_.video->time_base) * static_cast<double>(ts) : 0.0;
    if (!Merge() && ts != AV_NOPTS_VALUE) {
        auto time_ms = static_cast<int64_t>(av_q2d(in_.video->time_base) * (static_cast<double>(ts) * 1000));
        if (in_.range_start_s * 1000 > static_cast<double>(time_ms)) return;
    }
    if (!in_.picture_origin_known) {
        // A merged file starts where the output stands, or where a longer audio track of the file
        // before ends: the time stamps skip that gap, so the last picture stays on screen over it.
        in_.picture_origin_s = time_s;
        video_.next += video_.merge_gap_frames;
        in_.picture_base = video_.next;
        video_.merge_gap_frames = 0;
        in_.picture_origin_known = true;
    }

    // Output pictures follow the input's clock at the output rate: each picture fills the output
    // frames up to the end of its own display time, so pictures are repeated or dropped as the
    // rates differ and the video keeps its real duration and stays with the audio.
    int64_t copies = 1;
    if (ts != AV_NOPTS_VALUE) {
        double frame_s = av_q2d(video_.frame_tb);
        double shown_s = decoded->pkt_duration > 0
                             ? av_q2d(in_.video->time_base) * static_cast<double>(decoded->pkt_duration)
                         : Valid(in_.video->r_frame_rate) ? av_q2d(Inverse(in_.video->r_frame_rate))
                                                          : frame_s;
        double end =
            static_cast<double>(in_.picture_base) + (time_s - in_.picture_origin_s + shown_s) / frame_s;
        int64_t wanted = std::llround(end) - video_.next;
        if (wanted > kMaxRepeatedPictures || wanted < -kMaxRepeatedPictures) {
            // A jump in the input's time stamps (a discontinuity, not a real gap): the pictures
            // go on from where the output stands.
            in_.picture_origin_s = time_s;
            in_.picture_base = video_.next;
            wanted = std::max<int64_t>(1, std::llround(shown_s / frame_s));
        }
        copies = std::clamp<int64_t>(wanted, 0, kMaxRepeatedPictures);
    }
    if (copies == 0) return;

    AVCodecContext* enc = video_.encoder.get();
    AVFrame* out = decoded;
    if (decoded->width != enc->width || decoded->height != enc->height || decoded->format != enc->pix_fmt) {
        video_.scaler.reset(sws_getCachedContext(video_.scaler.release(), decoded->width, decoded->height,
                                                 static_cast<AVPixelFormat>(decoded->format), enc->width,
                                                 enc->height, enc->pix_fmt, SWS_BICUBIC, nullptr, nullptr,
                                                 nullptr));
        // The encoder may still hold the previous picture; then a fresh buffer is taken.
        if (!video_.scaler || av_frame_make_writable(video_.picture.get()) < 0) {
            Fail("could not scale the picture");
            in_.leave_loop = true;
            return;
        }
        sws_scale(video_.scaler.get(), decoded->data, decoded->linesize, 0, decoded->height,
                  video_.picture->data, video_.picture->linesize);
        out = video_.picture.get();
    }
    out->pict_type = AV_PICTURE_TYPE_NONE;
    // The encoder keeps its own reference to each picture sent, so a repeat only needs a new time stamp.
    for (int64_t c = 0; c < copies; ++c) {
        // The range is full: later pictures would make the cut longer than asked.
        if (!Merge() && RangeLength(i) <= VideoClock()) return;
        out->pts = video_.next;
        ++video_.next;
        if (!SendVideoFrame(out)) {
            Fail("could not encode the video");
            in_.leave_loop = true;
            return;
        }
    }
}

bool ConversionRun::SendVideoFrame(AVFrame* frame) {
    if (avcodec_send_frame(video_.encoder.get(), frame) < 0) return false;
    ++in_.pictures_sent;
    return WriteEncoded(video_.encoder.get(), video_.out);
}

}  // namespace engine
