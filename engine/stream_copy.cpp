// Stream copy for direct cut and merge: packets go to the output unchanged, with time stamps from
// the engine's own generator.
#include <cstring>

#include "engine/conversion_run.h"

namespace engine {

namespace {

bool IsAvcConfiguration(const AVCodecParameters* par) {
    return par->extradata_size >= 7 && par->extradata[0] == 1;
}

// The parameter sets of an H.264 stream's extradata as packet data: as they are for an Annex B
// stream, each with a big-endian length of `length_size` bytes for an "avcC" one. Empty when the
// extradata cannot be read.
std::vector<uint8_t> ParameterSetsAsPacketData(const AVCodecParameters* par, int length_size) {
    const uint8_t* d = par->extradata;
    const size_t n = static_cast<size_t>(par->extradata_size);
    if (!IsAvcConfiguration(par)) return std::vector<uint8_t>(d, d + n);
    std::vector<uint8_t> out;
    size_t pos = 5;
    for (int kind = 0; kind < 2; ++kind) {  // sequence, then picture parameter sets
        if (pos >= n) return {};
        int count = kind == 0 ? (d[pos] & 0x1f) : d[pos];
        ++pos;
        for (int k = 0; k < count; ++k) {
            if (pos + 2 > n) return {};
            size_t length = static_cast<size_t>(d[pos] << 8 | d[pos + 1]);
            pos += 2;
            if (pos + length > n) return {};
            for (int b = length_size - 1; b >= 0; --b) out.push_back(static_cast<uint8_t>(length >> (8 * b)));
            out.insert(out.end(), d + pos, d + pos + length);
            pos += length;
        }
    }
    return out;
}

}  // namespace

void ConversionRun::PrepareParameterSets() {
    parameter_sets_.clear();
    const AVCodecParameters* in = in_video_->codecpar;
    const AVCodecParameters* out = out_video_->codecpar;
    if (in->codec_id != AV_CODEC_ID_H264 || out->codec_id != AV_CODEC_ID_H264) return;
    // The sets in effect: the output header's, or those the last file before brought along.
    if (!active_extradata_known_) {
        active_extradata_.assign(out->extradata, out->extradata + out->extradata_size);
        active_extradata_known_ = true;
    }
    std::vector<uint8_t> own(in->extradata, in->extradata + in->extradata_size);
    if (own == active_extradata_) return;
    // A file whose pictures refer to other parameter sets carries its own in front of its first key
    // frame, in the packets' own NAL form.
    if (IsAvcConfiguration(in) != IsAvcConfiguration(out)) return;
    if (IsAvcConfiguration(in) && (in->extradata[4] & 3) != (out->extradata[4] & 3)) return;
    int length_size = IsAvcConfiguration(in) ? (in->extradata[4] & 3) + 1 : 0;
    parameter_sets_ = ParameterSetsAsPacketData(in, length_size);
    if (!parameter_sets_.empty()) active_extradata_ = std::move(own);
}

void ConversionRun::CopyVideoPacket(AVPacket* pkt) {
    // A copy starts at a key frame: pictures before it could not be decoded.
    if (!seen_key_frame_) {
        if (!(pkt->flags & AV_PKT_FLAG_KEY)) return;
        seen_key_frame_ = true;
        if (!parameter_sets_.empty()) {
            PacketPtr with_sets(av_packet_alloc());
            if (with_sets &&
                av_new_packet(with_sets.get(), static_cast<int>(parameter_sets_.size()) + pkt->size) == 0) {
                std::memcpy(with_sets->data, parameter_sets_.data(), parameter_sets_.size());
                std::memcpy(with_sets->data + parameter_sets_.size(), pkt->data, pkt->size);
                av_packet_copy_props(with_sets.get(), pkt);
                av_packet_unref(pkt);
                av_packet_move_ref(pkt, with_sets.get());
            }
            parameter_sets_.clear();
        }
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
    if (int error = av_interleaved_write_frame(muxer_.get(), pkt); error < 0) {
        Fail("could not write a packet", error);
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
    av_interleaved_write_frame(muxer_.get(), pkt);
}

}  // namespace engine
