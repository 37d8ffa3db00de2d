// Stream copy for direct cut and merge: the parameter sets a later file's first key frame carries,
// and the audio tool's copy of audio alone. Video jobs' packets go through PacketCopy.
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

}  // namespace engine

namespace engine {

void ConversionRun::CopyAudioOnlyPacket(AVPacket* pkt) {
    int64_t samples = 0;
    if (pkt->duration > 0)
        samples = av_rescale_q(pkt->duration, in_audio_->time_base, AVRational{1, audio_rate_});
    if (samples <= 0) samples = av_get_audio_frame_duration2(in_audio_->codecpar, pkt->size);
    if (samples <= 0) samples = in_audio_->codecpar->frame_size;
    CopyAudioPacketWithOwnTime(pkt, samples);
}

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
