#include "engine/packet_copy.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace engine {

namespace {

constexpr int64_t kNone = std::numeric_limits<int64_t>::min();
// Pictures held while the origin waits for the audio that decides where the file goes.
constexpr size_t kMaxHeldPictures = 64;

int64_t ToUs(int64_t ts, AVRational tb) { return av_rescale_q(ts, tb, AV_TIME_BASE_Q); }

int64_t SecondsToUs(double s) {
    if (!(s < 9.2e12)) return std::numeric_limits<int64_t>::max();
    if (!(s > -9.2e12)) return kNone;
    return static_cast<int64_t>(std::llround(s * 1e6));
}

}  // namespace

void PacketCopy::BeginFile(const AVStream* in_video, const AVStream* in_audio, AVStream* out_video,
                           AVStream* out_audio, double start_s, double end_s, bool merge) {
    in_video_ = out_video ? in_video : nullptr;
    in_audio_ = out_audio ? in_audio : nullptr;
    out_video_ = out_video;
    out_audio_ = out_audio;
    merge_ = merge;
    start_us_ = merge ? kNone : SecondsToUs(start_s);
    end_us_ = merge ? std::numeric_limits<int64_t>::max() : SecondsToUs(end_s);
    video_frame_us_ = 40000;
    if (in_video_) {
        AVRational rate =
            in_video_->avg_frame_rate.num > 0 ? in_video_->avg_frame_rate : in_video_->r_frame_rate;
        if (rate.num > 0 && rate.den > 0)
            video_frame_us_ = av_rescale_q(1, AVRational{rate.den, rate.num}, AV_TIME_BASE_Q);
    }
    audio_frame_us_ = 0;
    anchored_ = false;
    origin_known_ = false;
    origin_us_ = 0;
    placed_us_ = 0;
    prefix_.clear();
    video_done_ = !in_video_;
    origin_final_ = merge || !in_video_;
    audio_past_end_ = false;
    pictures_ = 0;
    kept_video_end_us_ = kNone;
    max_kept_pts_us_ = kNone;
    held_video_.clear();
    held_audio_.clear();
    first_kept_audio_us_ = kNone;
    sound_packets_ = 0;
}

PacketCopy::Times PacketCopy::TimesOf(const AVPacket* pkt, const AVStream* stream,
                                      int64_t fallback_duration) const {
    Times t;
    int64_t pts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
    t.has_dts = pkt->dts != AV_NOPTS_VALUE;
    t.pts = pts != AV_NOPTS_VALUE ? ToUs(pts, stream->time_base) : kNone;
    t.dts = t.has_dts ? ToUs(pkt->dts, stream->time_base) : t.pts;
    int64_t duration = pkt->duration > 0 ? ToUs(pkt->duration, stream->time_base) : 0;
    int64_t decoded = 0;  // what a decoder makes of an audio packet: a whole frame
    if (stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
        int samples = av_get_audio_frame_duration2(stream->codecpar, pkt->size);
        if (samples <= 0) samples = stream->codecpar->frame_size;
        if (samples > 0 && stream->codecpar->sample_rate > 0)
            decoded = av_rescale(samples, AV_TIME_BASE, stream->codecpar->sample_rate);
        if (duration <= 0) duration = decoded;
    }
    t.duration = duration > 0 ? duration : fallback_duration;
    t.played = std::max(t.duration, decoded);
    return t;
}

// Whether a picture belongs to the file's copy; sets the origin at the first key frame.
bool PacketCopy::TakeVideo(AVPacket* pkt, const Times& t) {
    if (video_done_ || t.pts == kNone) return false;
    const bool key = pkt->flags & AV_PKT_FLAG_KEY;
    if (!origin_final_ && origin_known_ && key && t.pts <= start_us_) {
        // A later key frame still at or before the start: the copy starts there instead.
        origin_known_ = false;
        held_video_.clear();
        pictures_ = 0;
        kept_video_end_us_ = max_kept_pts_us_ = kNone;
    }
    if (!origin_known_) {
        // A copy starts at a key frame: pictures before it could not be decoded.
        if (!key) return false;
        origin_known_ = true;
        origin_us_ = t.pts;
    }
    if (!origin_final_ && t.pts > start_us_) origin_final_ = true;
    // Pictures of an open group that refer to the group before the first key frame.
    if (t.pts < origin_us_) return false;
    bool keep = merge_ || t.pts < end_us_ || (t.has_dts && t.dts < end_us_) || t.pts < max_kept_pts_us_;
    if (!keep) {
        // Decoded after the end and shown after every kept picture: the range is complete.
        video_done_ = true;
        return false;
    }
    ++pictures_;
    max_kept_pts_us_ = std::max(max_kept_pts_us_, t.pts);
    kept_video_end_us_ = std::max(kept_video_end_us_, t.pts + t.duration);
    return true;
}

// Places the file's origin on the output: where the output stands, or later where the file's sound
// starts before its first picture and would overlap what the previous file left.
void PacketCopy::Anchor() {
    anchored_ = true;
    int64_t lead_us = 0;  // how far the first kept audio starts before the origin
    for (const Held& h : held_audio_) {
        const Times& a = h.t;
        if (a.pts != kNone && a.pts + a.duration > origin_us_) {
            lead_us = std::max<int64_t>(0, origin_us_ - a.pts);
            break;
        }
    }
    if (first_file_) {
        first_file_ = false;
        placed_us_ = 0;
        if (!negative_times_) {
            // The first picture's decoding time (a B-frame delay) and the first sound stay at 0 or after.
            int64_t video_lead_us = 0;
            if (!held_video_.empty()) {
                const Times& k = held_video_.front().t;
                video_lead_us = std::max<int64_t>(0, origin_us_ - k.dts);
            }
            placed_us_ = std::max(lead_us, video_lead_us);
        }
        return;
    }
    placed_us_ = video_end_us_;
    // Sound that really ends (a decoder plays every packet whole) after the pictures: the file's
    // pictures wait for it, whole frames, so they stay on the stream's grid.
    const int64_t wait_us = audio_end_us_ + lead_us - video_end_us_;
    if (wait_us > 0 && in_video_)
        placed_us_ += (wait_us + video_frame_us_ - 1) / video_frame_us_ * video_frame_us_;
    else if (wait_us > 0)
        placed_us_ += wait_us;
}

int PacketCopy::Add(AVFormatContext* muxer, AVPacket* pkt) {
    negative_times_ = muxer->oformat->flags & AVFMT_TS_NEGATIVE;
    if (in_video_ && pkt->stream_index == in_video_->index) {
        Times t = TimesOf(pkt, in_video_, video_frame_us_);
        if (!TakeVideo(pkt, t)) {
            av_packet_unref(pkt);
            if (video_done_) return FlushAudio(muxer, false);
            return 0;
        }
        if (!prefix_.empty() && pictures_ == 1) {
            media::PacketPtr with_prefix(av_packet_alloc());
            if (with_prefix &&
                av_new_packet(with_prefix.get(), static_cast<int>(prefix_.size()) + pkt->size) == 0) {
                std::memcpy(with_prefix->data, prefix_.data(), prefix_.size());
                std::memcpy(with_prefix->data + prefix_.size(), pkt->data, pkt->size);
                av_packet_copy_props(with_prefix.get(), pkt);
                av_packet_unref(pkt);
                av_packet_move_ref(pkt, with_prefix.get());
            }
            prefix_.clear();
        }
        if (!anchored_) {
            held_video_.push_back(Hold(pkt, t));
            // The audio that would decide the placement is late or missing: place without it.
            if (origin_final_ && (!in_audio_ || held_video_.size() > kMaxHeldPictures)) Anchor();
            if (!anchored_) return 0;
        } else {
            int rc = Write(muxer, pkt, out_video_, t, &last_video_dts_);
            if (rc < 0) return rc;
        }
        if (int rc = WriteHeldVideo(muxer, false); rc < 0) return rc;
        return FlushAudio(muxer, false);
    }
    if (in_audio_ && pkt->stream_index == in_audio_->index) {
        Times a = TimesOf(pkt, in_audio_, audio_frame_us_);
        // The longest packet yet: what one audio frame may span.
        audio_frame_us_ = std::max(audio_frame_us_, a.duration);
        if (a.pts == kNone) {
            av_packet_unref(pkt);
            return 0;
        }
        if (!in_video_ && !origin_known_) {
            // Sound alone: timed from the range's start, or from the file's first packet.
            origin_known_ = true;
            origin_us_ = merge_ ? a.pts : start_us_;
        }
        held_audio_.push_back(Hold(pkt, a));
        if (!anchored_ && origin_known_ && origin_final_ && (!in_video_ || a.pts + a.duration > origin_us_)) {
            Anchor();
            if (int rc = WriteHeldVideo(muxer, false); rc < 0) return rc;
        }
        return FlushAudio(muxer, false);
    }
    return 0;
}

// Writes or drops the held audio packets that can be decided: those before the origin go, those
// within the pictures (mostly) stay, the rest waits for more pictures or for the end of the file.
int PacketCopy::FlushAudio(AVFormatContext* muxer, bool file_ended) {
    if (!anchored_) {
        if (!file_ended) return 0;
        if (!origin_known_) {
            held_audio_.clear();
            return 0;
        }
        Anchor();
    }
    // In a merge, sound that outlasts the pictures by more than one audio frame is the file's own.
    // Otherwise only packets that a decoder plays to their end within the pictures are kept: one
    // that runs past them would overlap the next file's sound and push it late.
    bool keep_tail = false;
    if (file_ended && merge_ && in_video_ && !held_audio_.empty()) {
        const Times& last = held_audio_.back().t;
        keep_tail = last.pts + last.duration > kept_video_end_us_ + std::max<int64_t>(audio_frame_us_, 1);
    }
    while (!held_audio_.empty()) {
        AVPacket* p = held_audio_.front().packet.get();
        const Times a = held_audio_.front().t;
        const int64_t middle = a.pts + a.duration / 2;
        bool keep;
        if (!in_video_) {
            // Sound alone: from the packet that holds the range's start until the range's length is
            // written, so the output lasts the range to within one packet.
            if (a.pts + a.duration <= origin_us_ || end_us_ <= origin_us_) {
                keep = false;
            } else if (first_kept_audio_us_ == kNone || a.pts - first_kept_audio_us_ < end_us_ - origin_us_) {
                keep = true;
                if (first_kept_audio_us_ == kNone) first_kept_audio_us_ = a.pts;
            } else {
                audio_past_end_ = true;
                held_audio_.clear();
                break;
            }
        } else if (a.pts + a.duration <= origin_us_) {
            keep = false;
        } else if (keep_tail ||
                   (kept_video_end_us_ != kNone &&
                    (merge_ ? a.pts + a.played <= kept_video_end_us_ : middle <= kept_video_end_us_))) {
            keep = true;
        } else if (video_done_ || file_ended) {
            keep = false;
            if (kept_video_end_us_ != kNone && middle > kept_video_end_us_) audio_past_end_ = true;
        } else {
            break;  // the pictures that decide it are still to come
        }
        if (keep) {
            int rc = Write(muxer, p, out_audio_, a, &last_audio_dts_);
            if (rc < 0) rc = 0;  // a lost audio packet does not fail the file
        }
        held_audio_.pop_front();
    }
    return 0;
}

int PacketCopy::EndFile(AVFormatContext* muxer) {
    if (in_video_ && !merge_ && !anchored_ &&
        (kept_video_end_us_ == kNone || kept_video_end_us_ <= start_us_)) {
        // No picture is shown within the range: nothing of it is written.
        held_video_.clear();
        held_audio_.clear();
        pictures_ = 0;
        video_done_ = true;
        return 0;
    }
    if (origin_known_ && !anchored_) Anchor();
    int rc = WriteHeldVideo(muxer, true);
    FlushAudio(muxer, true);
    held_audio_.clear();
    video_done_ = true;
    return rc;
}

bool PacketCopy::Finished() const {
    if (merge_) return false;
    if (!video_done_) return false;
    if (!in_audio_) return true;
    // The sound is complete once a packet past the pictures' end has been seen and decided.
    return in_video_ ? anchored_ && held_audio_.empty() && audio_past_end_ : audio_past_end_;
}

PacketCopy::Held PacketCopy::Hold(AVPacket* pkt, const Times& t) {
    Held held{media::PacketPtr(av_packet_alloc()), t};
    av_packet_move_ref(held.packet.get(), pkt);
    return held;
}

int PacketCopy::WriteHeldVideo(AVFormatContext* muxer, bool past_errors) {
    int first_error = 0;
    while (!held_video_.empty()) {
        Held h = std::move(held_video_.front());
        held_video_.pop_front();
        int rc = Write(muxer, h.packet.get(), out_video_, h.t, &last_video_dts_);
        if (rc < 0 && first_error == 0) first_error = rc;
        if (rc < 0 && !past_errors) break;
    }
    return first_error;
}

int PacketCopy::Write(AVFormatContext* muxer, AVPacket* pkt, AVStream* out, const Times& t,
                      int64_t* last_dts) {
    const AVStream* in = out == out_video_ ? in_video_ : in_audio_;
    const int64_t shift_us = origin_us_ - placed_us_;  // file clock minus output clock
    const AVRational out_tb = out->time_base;
    const int64_t shift = av_rescale_q(shift_us, AV_TIME_BASE_Q, out_tb);
    int64_t pts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
    pkt->pts = pts != AV_NOPTS_VALUE ? av_rescale_q(pts, in->time_base, out_tb) - shift : AV_NOPTS_VALUE;
    pkt->dts =
        pkt->dts != AV_NOPTS_VALUE ? av_rescale_q(pkt->dts, in->time_base, out_tb) - shift : AV_NOPTS_VALUE;
    pkt->duration = av_rescale_q(t.duration, AV_TIME_BASE_Q, out_tb);
    // Decoding times strictly increase and a picture is never shown before it is decoded.
    if (pkt->dts != AV_NOPTS_VALUE) {
        if (*last_dts != kNone && pkt->dts <= *last_dts) pkt->dts = *last_dts + 1;
        if (pkt->pts != AV_NOPTS_VALUE && pkt->pts < pkt->dts) pkt->pts = pkt->dts;
        *last_dts = pkt->dts;
    }
    pkt->stream_index = out->index;
    pkt->pos = -1;
    const int64_t end_us = t.pts + (out == out_video_ ? t.duration : t.played) - shift_us;
    if (out == out_video_) {
        video_end_us_ = std::max(video_end_us_, end_us);
    } else {
        audio_end_us_ = std::max(audio_end_us_, end_us);
        ++sound_packets_;
    }
    if (out == out_audio_ && out->codecpar->codec_id == AV_CODEC_ID_FLAC) AttachFlacStreamInfo(pkt, out);
    // The muxer takes the packet's reference and resets it.
    return av_interleaved_write_frame(muxer, pkt);
}

// A copied FLAC stream's header still counts the input's samples and carries the checksum of the
// input's whole audio. Each packet brings the header as it stands after it (the muxer writes the last
// one over the first at the end): the samples up to the packet's end, no checksum.
void PacketCopy::AttachFlacStreamInfo(AVPacket* pkt, const AVStream* out) {
    constexpr int kStreamInfoSize = 34;
    const AVCodecParameters* par = out->codecpar;
    if (par->extradata_size < kStreamInfoSize || par->sample_rate <= 0 || pkt->pts == AV_NOPTS_VALUE) return;
    int64_t end = av_rescale_q(pkt->pts + pkt->duration, out->time_base, AVRational{1, par->sample_rate});
    if (end < 0) return;
    uint8_t* info = av_packet_new_side_data(pkt, AV_PKT_DATA_NEW_EXTRADATA, kStreamInfoSize);
    if (!info) return;
    std::memcpy(info, par->extradata + par->extradata_size - kStreamInfoSize, kStreamInfoSize);
    // Bytes 13 to 17: 4 bits of the sample size, then the 36-bit sample count; 18 to 33: MD5.
    const auto total = static_cast<uint64_t>(end) & 0xFFFFFFFFFull;
    info[13] = static_cast<uint8_t>((info[13] & 0xF0) | (total >> 32));
    for (int b = 0; b < 4; ++b) info[14 + b] = static_cast<uint8_t>(total >> (24 - 8 * b));
    std::memset(info + 18, 0, 16);
}

}  // namespace engine
