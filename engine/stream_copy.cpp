// Stream copy for direct cut and merge: packets go to the output unchanged, with time stamps from
// the engine's own generator.
#include <algorithm>
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
    if (request_.audio_only) {
        CopyAudioPacketWithOwnTime(pkt, samples);
        return;
    }
    pkt->dts = pkt->pts = av_rescale_q(audio_next_, AVRational{1, audio_rate_}, out_audio_->time_base);
    pkt->duration = av_rescale_q(samples, AVRational{1, audio_rate_}, out_audio_->time_base);
    pkt->stream_index = out_audio_->index;
    pkt->pos = -1;
    audio_next_ += samples;
    av_interleaved_write_frame(muxer_.get(), pkt);
}

}  // namespace engine

namespace engine {

// Audio alone: the packets keep their own time stamps (gaps and all), so the output lasts what the
// input did; the first packet kept starts at 0. A cut skips the packets that end before its range
// (the seek lands at or before the start).
void ConversionRun::CopyAudioPacketWithOwnTime(AVPacket* pkt, int64_t samples) {
    const AVRational sample_tb{1, audio_rate_};
    int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
    if (!audio_copy_origin_known_) {
        if (!Merge() && picture_origin_known_ && ts != AV_NOPTS_VALUE) {
            double end_s =
                (ts + av_rescale_q(samples, sample_tb, in_audio_->time_base)) * av_q2d(in_audio_->time_base);
            if (end_s <= picture_origin_s_) return;
        }
        audio_copy_origin_known_ = true;
        audio_copy_origin_ = ts != AV_NOPTS_VALUE ? ts : 0;
        audio_copy_last_dts_ = AV_NOPTS_VALUE;
    }
    // Where the stream's time stamps are missing or step back, the packet follows the one before.
    int64_t at = ts != AV_NOPTS_VALUE
                     ? av_rescale_q(ts - audio_copy_origin_, in_audio_->time_base, out_audio_->time_base)
                     : AV_NOPTS_VALUE;
    int64_t next = av_rescale_q(audio_next_, sample_tb, out_audio_->time_base);
    if (at == AV_NOPTS_VALUE || (audio_copy_last_dts_ != AV_NOPTS_VALUE && at <= audio_copy_last_dts_))
        at = std::max(next, audio_copy_last_dts_ == AV_NOPTS_VALUE ? int64_t{0} : audio_copy_last_dts_ + 1);
    pkt->dts = pkt->pts = at;
    pkt->duration = av_rescale_q(samples, sample_tb, out_audio_->time_base);
    pkt->stream_index = out_audio_->index;
    pkt->pos = -1;
    audio_copy_last_dts_ = at;
    audio_next_ = std::max(audio_next_, av_rescale_q(at + pkt->duration, out_audio_->time_base, sample_tb));
    if (out_audio_->codecpar->codec_id == AV_CODEC_ID_FLAC) UpdateFlacStreamInfo(pkt);
    if (int error = av_interleaved_write_frame(muxer_.get(), pkt); error < 0)
        Fail("could not write a packet", error);
}

// A copied FLAC stream's header still counts the input's samples and carries the checksum of the
// input's audio. Each packet brings the header as it stands after it (the muxer writes the last one
// over the first at the end): the samples written so far, no checksum.
void ConversionRun::UpdateFlacStreamInfo(AVPacket* pkt) {
    constexpr int kStreamInfoSize = 34;
    const AVCodecParameters* par = out_audio_->codecpar;
    if (par->extradata_size < kStreamInfoSize) return;
    uint8_t* info = av_packet_new_side_data(pkt, AV_PKT_DATA_NEW_EXTRADATA, kStreamInfoSize);
    if (!info) return;
    std::memcpy(info, par->extradata + par->extradata_size - kStreamInfoSize, kStreamInfoSize);
    // Bytes 13 to 17: 4 bits of the sample size, then the 36-bit sample count; 18 to 33: MD5.
    const auto total = static_cast<uint64_t>(audio_next_) & 0xFFFFFFFFFull;
    info[13] = static_cast<uint8_t>((info[13] & 0xF0) | (total >> 32));
    for (int b = 0; b < 4; ++b) info[14 + b] = static_cast<uint8_t>(total >> (24 - 8 * b));
    std::memset(info + 18, 0, 16);
}

}  // namespace engine
