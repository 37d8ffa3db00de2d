#include "engine/exact_cut.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>

#include "engine/packet_copy.h"
#include "media/input.h"

extern "C" {
#include <libavutil/opt.h>
}

namespace engine {

namespace {

constexpr int64_t kNoTime = std::numeric_limits<int64_t>::min();
constexpr int64_t kNever = std::numeric_limits<int64_t>::max();

// Near-source quality: at CRF 16 the encoded pictures are hard to tell from the decoded source. The
// fastest preset keeps that quality at a higher bit rate, for the few pictures a cut encodes.
constexpr const char* kQuality = "16";
constexpr const char* kSpeedPreset = "ultrafast";

int64_t SecondsToTicks(double s, AVRational tb) {
    if (!(s < 9.2e12)) return kNever;
    return static_cast<int64_t>(std::llround(s * tb.den / tb.num));
}

int64_t PtsOf(const AVPacket* pkt) { return pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts; }

// x264's name for the source's profile; empty when x264 may choose.
const char* ProfileName(int profile) {
    switch (profile & 0xff) {
        case 66:
            return "baseline";
        case 77:
        case 88:
            return "main";
        case 100:
            return "high";
        case 110:
            return "high10";
        case 122:
            return "high422";
        case 244:
            return "high444";
        default:
            return "";
    }
}

bool StartsWithStartCode(const uint8_t* d, int size) {
    return (size >= 3 && d[0] == 0 && d[1] == 0 && d[2] == 1) ||
           (size >= 4 && d[0] == 0 && d[1] == 0 && d[2] == 0 && d[3] == 1);
}

// Replaces a packet's data with `data`, keeping its properties.
int ReplaceData(AVPacket* pkt, const std::vector<uint8_t>& data) {
    media::PacketPtr fresh(av_packet_alloc());
    if (!fresh) return AVERROR(ENOMEM);
    if (int rc = av_new_packet(fresh.get(), static_cast<int>(data.size())); rc < 0) return rc;
    std::memcpy(fresh->data, data.data(), data.size());
    av_packet_copy_props(fresh.get(), pkt);
    av_packet_unref(pkt);
    av_packet_move_ref(pkt, fresh.get());
    return 0;
}

}  // namespace

ExactCutRefusal ExactCut::Prepare(const AVStream* in_video, bool global_header, AVCodecParameters* out_par) {
    in_ = in_video;
    tb_ = in_->time_base;
    const AVCodecParameters* par = in_->codecpar;
    if (par->codec_id != AV_CODEC_ID_H264) return ExactCutRefusal::kNotH264;
    if (!h264::ReadParameterSets(par, &source_sets_, &length_size_)) return ExactCutRefusal::kParameterSets;
    global_header_ = global_header;
    // The copied packets keep their form, so it must be the one the container stores.
    if (global_header_ != (length_size_ > 0)) return ExactCutRefusal::kParameterSets;

    // The encoder's sets take the lowest id the source's sets leave free.
    std::set<int> used;
    for (const auto& s : source_sets_.sps) used.insert(h264::ParameterSetId({s.data(), s.size()}));
    for (const auto& p : source_sets_.pps) used.insert(h264::ParameterSetId({p.data(), p.size()}));
    if (used.count(-1)) return ExactCutRefusal::kParameterSets;
    sps_id_ = -1;
    for (int id = 0; id < 32 && sps_id_ < 0; ++id)
        if (!used.count(id)) sps_id_ = id;
    if (sps_id_ < 0) return ExactCutRefusal::kParameterSets;

    AVRational rate =
        in_->r_frame_rate.num > 0 && in_->r_frame_rate.den > 0 ? in_->r_frame_rate : in_->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) rate = AVRational{25, 1};
    rate_ = rate;
    frame_ticks_ = std::max<int64_t>(1, av_rescale_q(1, AVRational{rate.den, rate.num}, tb_));
    reorder_depth_ = std::max(par->video_delay, 4);

    if (ExactCutRefusal r = OpenEncoder(&encoder_); r != ExactCutRefusal::kNone) return r;
    if (!global_header_) return ExactCutRefusal::kNone;

    // Both generations in the output's configuration record.
    h264::ParameterSets added;
    int ignored = 0;
    encoder_extradata_.assign(encoder_->extradata, encoder_->extradata + encoder_->extradata_size);
    if (!h264::ReadParameterSets(encoder_extradata_.data(), encoder_extradata_.size(), &added, &ignored))
        return ExactCutRefusal::kParameterSets;
    std::vector<uint8_t> config =
        h264::AvcConfigWithSets(par->extradata, static_cast<size_t>(par->extradata_size), added);
    if (config.empty()) return ExactCutRefusal::kParameterSets;
    auto* extradata = static_cast<uint8_t*>(av_mallocz(config.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!extradata) return ExactCutRefusal::kUnreadable;
    std::memcpy(extradata, config.data(), config.size());
    av_freep(&out_par->extradata);
    out_par->extradata = extradata;
    out_par->extradata_size = static_cast<int>(config.size());
    return ExactCutRefusal::kNone;
}

ExactCutRefusal ExactCut::OpenEncoder(media::CodecContextPtr* out) const {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) return ExactCutRefusal::kNoEncoder;
    const AVCodecParameters* par = in_->codecpar;
    const auto format = static_cast<AVPixelFormat>(par->format);
    bool supported = false;
    for (const AVPixelFormat* f = codec->pix_fmts; f && *f != AV_PIX_FMT_NONE; ++f) supported |= *f == format;
    const bool interlaced = par->field_order != AV_FIELD_PROGRESSIVE && par->field_order != AV_FIELD_UNKNOWN;
    if (!supported || interlaced || par->width <= 0 || par->height <= 0)
        return ExactCutRefusal::kPictureFormat;

    media::CodecContextPtr enc(avcodec_alloc_context3(codec));
    if (!enc) return ExactCutRefusal::kUnreadable;
    enc->width = par->width;
    enc->height = par->height;
    enc->pix_fmt = format;
    enc->sample_aspect_ratio = par->sample_aspect_ratio;
    enc->color_range = par->color_range;
    enc->color_primaries = par->color_primaries;
    enc->color_trc = par->color_trc;
    enc->colorspace = par->color_space;
    enc->chroma_sample_location = par->chroma_location;
    enc->time_base = tb_;
    enc->framerate = rate_;
    enc->max_b_frames = 0;
    if (global_header_) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* opts = nullptr;
    av_dict_set(&opts, "preset", kSpeedPreset, 0);
    av_dict_set(&opts, "crf", kQuality, 0);
    av_dict_set(&opts, "threads", "2", 0);
    if (*ProfileName(par->profile)) av_dict_set(&opts, "profile", ProfileName(par->profile), 0);
    if (par->level > 0) av_dict_set_int(&opts, "level", par->level, 0);
    // Key frames only where asked for; no pictures shown out of order; the ids the source leaves
    // free. No look-ahead and threads within a picture: each packet comes out as its picture goes in,
    // so the end's segment follows on the same encoder without draining it.
    const std::string params =
        "keyint=infinite:scenecut=0:bframes=0:rc-lookahead=0:sync-lookahead=0:force-cfr=1:sliced-threads=1:"
        "sps-id=" +
        std::to_string(sps_id_);
    av_dict_set(&opts, "forced-idr", "1", 0);
    av_dict_set(&opts, "x264-params", params.c_str(), 0);
    int rc = avcodec_open2(enc.get(), codec, &opts);
    av_dict_free(&opts);
    if (rc < 0) return ExactCutRefusal::kPictureFormat;
    *out = std::move(enc);
    return ExactCutRefusal::kNone;
}

int ExactCut::Begin(PacketCopy* copy, double start_s, double end_s) {
    copy_ = copy;
    start_ = SecondsToTicks(start_s, tb_);
    end_ = SecondsToTicks(end_s, tb_);
    phase_ = Phase::kLead;
    decoding_ = false;
    lead_past_end_ = false;
    key_delay_ = 0;
    copy_from_ = kNoTime;
    segment_.clear();
    durations_.clear();
    gop_.clear();
    past_end_run_ = 0;
    media::Failure failure;
    // Frame threads: while the encoder holds this thread, the decoder's threads go on with the
    // pictures already sent; a third keeps one in flight on two cores.
    decoder_ = media::OpenDecoder(in_, "3", &failure);
    frame_.reset(av_frame_alloc());
    if (!decoder_) return failure.error < 0 ? failure.error : AVERROR_DECODER_NOT_FOUND;
    if (!frame_) return AVERROR(ENOMEM);
    decoder_->pkt_timebase = tb_;
    return 0;
}

int ExactCut::Add(AVFormatContext* muxer, AVPacket* pkt) {
    if (pkt->stream_index != in_->index) return copy_->Add(muxer, pkt);
    switch (phase_) {
        case Phase::kLead:
            return LeadVideo(muxer, pkt);
        case Phase::kCopy:
            return CopyVideo(muxer, pkt);
        case Phase::kDone:
            break;
    }
    av_packet_unref(pkt);
    return 0;
}

int ExactCut::End(AVFormatContext* muxer) {
    if (phase_ == Phase::kLead) {
        int rc = decoding_ ? DecodeInto(nullptr) : 0;
        if (rc >= 0) rc = WriteSegment(muxer, nullptr);
        int end = EndPictures(muxer);
        return rc < 0 ? rc : end;
    }
    if (phase_ == Phase::kCopy) return ResolveEnd(muxer);
    return 0;
}

bool ExactCut::IsIdr(const AVPacket* pkt) const {
    return h264::HasNal(h264::SplitNals(pkt->data, static_cast<size_t>(pkt->size), length_size_),
                        h264::kIdrSlice);
}

// From the key frame before the start up to the next key frame: decoded, and the range's pictures
// encoded again.
int ExactCut::LeadVideo(AVFormatContext* muxer, AVPacket* pkt) {
    const bool key = pkt->flags & AV_PKT_FLAG_KEY;
    const int64_t pts = PtsOf(pkt);
    if (key && pts != AV_NOPTS_VALUE && pkt->dts != AV_NOPTS_VALUE)
        key_delay_ = std::max<int64_t>(0, pts - pkt->dts);
    if (key && pts != AV_NOPTS_VALUE && pts <= start_) {
        // The key frame shows the start itself: nothing needs encoding.
        const int64_t duration = pkt->duration > 0 ? pkt->duration : frame_ticks_;
        if (start_ < pts + duration) return StartCopy(muxer, pkt);
        // A later key frame before the start: decoding starts again from it.
        avcodec_flush_buffers(decoder_.get());
        decoding_ = true;
    } else if (key && pts != AV_NOPTS_VALUE && pts > start_ && (!decoding_ || IsIdr(pkt))) {
        // The first key frame after the start: what was decoded before it is complete.
        int rc = decoding_ ? DecodeInto(nullptr) : 0;
        if (rc >= 0) rc = WriteSegment(muxer, pkt);
        if (rc < 0) {
            av_packet_unref(pkt);
            return rc;
        }
        if (pts >= end_) {
            av_packet_unref(pkt);
            return EndPictures(muxer);
        }
        return StartCopy(muxer, pkt);
    }
    if (!decoding_) {
        av_packet_unref(pkt);  // before the first key frame: not decodable
        return 0;
    }
    int rc = DecodeInto(pkt);
    av_packet_unref(pkt);
    if (rc < 0) return rc;
    if (lead_past_end_) {
        // The decoder has shown a picture past the end: the range ends before the next key frame.
        rc = WriteSegment(muxer, nullptr);
        int end = EndPictures(muxer);
        return rc < 0 ? rc : end;
    }
    return 0;
}

// Sends a packet (null: drains) and encodes the decoded pictures that belong to the segment: in the
// lead, those shown at or after the start; at the end, those from encode_from_ on; never one shown
// at or after the end.
int ExactCut::DecodeInto(const AVPacket* pkt) {
    if (pkt) {
        // A picture shown outside the segment matters only as a reference: the decoder may drop it
        // when nothing refers to it.
        const int64_t pts = PtsOf(pkt);
        const int64_t duration = pkt->duration > 0 ? pkt->duration : frame_ticks_;
        const int64_t first = phase_ == Phase::kLead ? start_ : encode_from_;
        const bool outside = pts != AV_NOPTS_VALUE && (pts + duration <= first || pts >= end_);
        decoder_->skip_frame = outside ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
    }
    int rc = avcodec_send_packet(decoder_.get(), pkt);
    if (rc < 0 && rc != AVERROR_EOF) return 0;  // a damaged packet: its pictures are missing
    while ((rc = avcodec_receive_frame(decoder_.get(), frame_.get())) == 0) {
        const int64_t t = frame_->best_effort_timestamp;
        const int64_t duration = frame_->pkt_duration > 0 ? frame_->pkt_duration : frame_ticks_;
        bool take = false;
        if (t != AV_NOPTS_VALUE) {
            if (t >= end_)
                lead_past_end_ = true;
            else
                take = phase_ == Phase::kLead ? t + duration > start_ : t >= encode_from_;
        }
        if (take) {
            frame_->pts = t;
            // Each segment starts a closed group of its own.
            frame_->pict_type = durations_.empty() ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
            durations_.push_back(duration);
            rc = Encode(frame_.get());
        } else {
            rc = 0;
        }
        av_frame_unref(frame_.get());
        if (rc < 0) return rc;
    }
    return rc == AVERROR(EAGAIN) || rc == AVERROR_EOF ? 0 : rc;
}

int ExactCut::Encode(AVFrame* frame) {
    if (!encoder_) {
        // A later segment's encoder must bring the sets the output's header already carries.
        if (OpenEncoder(&encoder_) != ExactCutRefusal::kNone) return AVERROR_ENCODER_NOT_FOUND;
        if (global_header_ &&
            std::vector<uint8_t>(encoder_->extradata, encoder_->extradata + encoder_->extradata_size) !=
                encoder_extradata_)
            return AVERROR_BUG;
    }
    int rc = avcodec_send_frame(encoder_.get(), frame);
    if (rc < 0) return rc;
    if (frame) ++encoded_pictures_;
    for (;;) {
        media::PacketPtr out(av_packet_alloc());
        if (!out) return AVERROR(ENOMEM);
        rc = avcodec_receive_packet(encoder_.get(), out.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return 0;
        if (rc < 0) return rc;
        segment_.push_back(std::move(out));
    }
}

// Drains the segment's encoder and gives its packets to the copy: in the source's NAL form, each
// lasting as its source picture did, decode times as far before display times as the source's key
// frames have them, and all before next_key's (the first copied packet; null at the end).
int ExactCut::WriteSegment(AVFormatContext* muxer, const AVPacket* next_key) {
    if (durations_.empty()) return 0;
    int rc = 0;
    if (segment_.size() < durations_.size()) {
        // An encoder that still holds pictures ends here; a later segment opens another.
        rc = Encode(nullptr);
        encoder_.reset();
        if (rc < 0) return rc;
    }
    const size_t n = segment_.size();
    int64_t limit = next_key && next_key->dts != AV_NOPTS_VALUE ? next_key->dts : kNever;
    for (size_t k = n; k-- > 0;) {
        AVPacket* p = segment_[k].get();
        int64_t dts = p->pts - key_delay_;
        if (limit != kNever) dts = std::min(dts, limit - 1);
        p->dts = dts;
        limit = dts;
        if (k < durations_.size()) p->duration = durations_[k];
    }
    for (media::PacketPtr& p : segment_) {
        if (global_header_ && StartsWithStartCode(p->data, p->size)) {
            auto nals = h264::SplitNals(p->data, static_cast<size_t>(p->size), 0);
            if ((rc = ReplaceData(
                     p.get(), h264::Repack(nals, length_size_, {h264::kSps, h264::kPps, h264::kAud}))) < 0)
                return rc;
        }
        p->stream_index = in_->index;
        if ((rc = copy_->Add(muxer, p.get())) < 0) return rc;
    }
    segment_.clear();
    durations_.clear();
    return 0;
}

int ExactCut::StartCopy(AVFormatContext* muxer, AVPacket* pkt) {
    phase_ = Phase::kCopy;
    copy_from_ = PtsOf(pkt);
    if (!global_header_ && encoded_pictures_ > 0) {
        // In-band sets: after the encoder's, the source's own must come again before its pictures.
        auto nals = h264::SplitNals(pkt->data, static_cast<size_t>(pkt->size), 0);
        if (!h264::HasNal(nals, h264::kSps)) {
            std::vector<uint8_t> data = h264::SetsAsPacketData(source_sets_, 0);
            std::vector<uint8_t> own = h264::Repack(nals, 0, {h264::kAud});
            data.insert(data.end(), own.begin(), own.end());
            if (int rc = ReplaceData(pkt, data); rc < 0) return rc;
        }
    }
    return CopyVideo(muxer, pkt);
}

// Copied packets wait, from each key frame to the next, until it is clear whether the end falls
// among them.
int ExactCut::CopyVideo(AVFormatContext* muxer, AVPacket* pkt) {
    const int64_t pts = PtsOf(pkt);
    // Pictures of an open group shown before its key frame belong to the encoded segment.
    if (pts == AV_NOPTS_VALUE || pts < copy_from_) {
        av_packet_unref(pkt);
        return 0;
    }
    const bool key = pkt->flags & AV_PKT_FLAG_KEY;
    past_end_run_ = pts >= end_ ? past_end_run_ + 1 : 0;
    if (key && !gop_.empty()) {
        if (pts >= end_) {
            av_packet_unref(pkt);
            return ResolveEnd(muxer);
        }
        if (int rc = ReleaseGop(muxer, gop_.size()); rc < 0) {
            av_packet_unref(pkt);
            return rc;
        }
    }
    media::PacketPtr held(av_packet_alloc());
    if (!held) return AVERROR(ENOMEM);
    av_packet_move_ref(held.get(), pkt);
    gop_.push_back(std::move(held));
    // More pictures in a row past the end than a decoder may hold back: none later shows before it.
    if (past_end_run_ > reorder_depth_) return ResolveEnd(muxer);
    return 0;
}

int ExactCut::ReleaseGop(AVFormatContext* muxer, size_t count) {
    for (size_t k = 0; k < count && !gop_.empty(); ++k) {
        media::PacketPtr p = std::move(gop_.front());
        gop_.pop_front();
        if (int rc = copy_->Add(muxer, p.get()); rc < 0) return rc;
    }
    return 0;
}

// The last group before the end: copied up to the last point where every picture before it shows
// before every picture after it and before the end; the rest of the range encoded again.
int ExactCut::ResolveEnd(AVFormatContext* muxer) {
    phase_ = Phase::kDone;
    const size_t n = gop_.size();
    std::vector<int64_t> suffix_min(n + 1, kNever);
    for (size_t k = n; k-- > 0;) suffix_min[k] = std::min(suffix_min[k + 1], PtsOf(gop_[k].get()));
    size_t cut = 0;
    int64_t prefix_max = kNoTime;
    for (size_t k = 0; k <= n; ++k) {
        if (prefix_max < suffix_min[k]) cut = k;
        if (k == n || PtsOf(gop_[k].get()) >= end_) break;
        prefix_max = std::max(prefix_max, PtsOf(gop_[k].get()));
    }
    int rc = 0;
    if (suffix_min[cut] < end_) {
        encode_from_ = suffix_min[cut];
        avcodec_flush_buffers(decoder_.get());
        // No picture refers to one decoded after it: decoding stops at the last one shown in range.
        size_t needed = 0;
        for (size_t k = 0; k < n; ++k)
            if (PtsOf(gop_[k].get()) < end_) needed = k + 1;
        for (size_t k = 0; k < needed && rc >= 0; ++k) rc = DecodeInto(gop_[k].get());
        if (rc >= 0) rc = DecodeInto(nullptr);
    }
    if (rc >= 0) rc = ReleaseGop(muxer, cut);
    if (rc >= 0) rc = WriteSegment(muxer, nullptr);
    gop_.clear();
    int end = EndPictures(muxer);
    return rc < 0 ? rc : end;
}

int ExactCut::EndPictures(AVFormatContext* muxer) {
    phase_ = Phase::kDone;
    gop_.clear();
    return copy_->EndPictures(muxer);
}

}  // namespace engine

ExactCutRefusal CheckExactCut(const std::string& input_path, const std::string& output_path) {
    media::InputOptions options;
    options.video_decoder = options.audio_decoder = false;
    const media::Input input = media::OpenInput(input_path, options);
    if (!input.ok()) return ExactCutRefusal::kUnreadable;
    // The stream a direct job copies.
    const AVStream* video = input.video;
    if (!video) return ExactCutRefusal::kNotH264;
    const AVOutputFormat* format = av_guess_format(nullptr, output_path.c_str(), nullptr);
    const bool global_header = format && (format->flags & AVFMT_GLOBALHEADER);
    AVCodecParameters* scratch = avcodec_parameters_alloc();
    if (!scratch || avcodec_parameters_copy(scratch, video->codecpar) < 0) {
        avcodec_parameters_free(&scratch);
        return ExactCutRefusal::kUnreadable;
    }
    engine::ExactCut probe;
    ExactCutRefusal refusal = probe.Prepare(video, global_header, scratch);
    avcodec_parameters_free(&scratch);
    return refusal;
}
