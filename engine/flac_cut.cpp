// FLAC cut at the sample: the frames inside the range are copied, the two frames that hold its ends
// are decoded and encoded again (FLAC is lossless, so their samples stay as they were). The frames
// then differ in size, so every frame header is rewritten to count samples instead of frames
// (FLAC's variable block size), with its checksums.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "engine/exact_audio_cut.h"
#include "engine/output_publish.h"
#include "media/ffmpeg_ptr.h"
#include "media/input.h"

extern "C" {
#include <libavutil/crc.h>
}

namespace engine {

using media::CodecContextPtr;
using media::FramePtr;
using media::PacketPtr;

namespace {

// The frame number or sample number of a frame header, in FLAC's UTF-8-like coding.
void PutCodedNumber(std::vector<uint8_t>* out, uint64_t v) {
    if (v < 0x80) {
        out->push_back(static_cast<uint8_t>(v));
        return;
    }
    int bytes = 2;
    while (bytes < 7 && v >= (uint64_t{1} << (5 * bytes + 1))) ++bytes;
    out->push_back(static_cast<uint8_t>((0xFF00 >> bytes) | (v >> (6 * (bytes - 1)))));
    for (int i = bytes - 2; i >= 0; --i) out->push_back(static_cast<uint8_t>(0x80 | ((v >> (6 * i)) & 0x3F)));
}

// The frame with its header saying "variable block size, first sample `first_sample`"; empty when
// the bytes are no FLAC frame.
std::vector<uint8_t> Renumbered(const uint8_t* f, int size, uint64_t first_sample) {
    if (size < 8 || f[0] != 0xFF || (f[1] & 0xFE) != 0xF8) return {};
    int pos = 4;
    int extra = 0;  // bytes of the coded number after its first
    for (uint8_t b = f[4]; b & 0x80; b <<= 1) ++extra;
    pos += extra ? extra : 1;
    const int block_code = f[2] >> 4, rate_code = f[2] & 0xF;
    pos += block_code == 6 ? 1 : block_code == 7 ? 2 : 0;
    pos += rate_code == 12 ? 1 : (rate_code == 13 || rate_code == 14) ? 2 : 0;
    if (pos + 3 > size) return {};
    std::vector<uint8_t> out = {0xFF, 0xF9, f[2], f[3]};
    PutCodedNumber(&out, first_sample);
    const int number_end = 4 + (extra ? extra : 1);
    out.insert(out.end(), f + number_end, f + pos);
    out.push_back(static_cast<uint8_t>(av_crc(av_crc_get_table(AV_CRC_8_ATM), 0, out.data(), out.size())));
    out.insert(out.end(), f + pos + 1, f + size - 2);
    uint16_t crc = static_cast<uint16_t>(av_crc(av_crc_get_table(AV_CRC_16_ANSI), 0, out.data(), out.size()));
    out.push_back(static_cast<uint8_t>(crc >> 8));
    out.push_back(static_cast<uint8_t>(crc));
    return out;
}

// Encodes samples [from, to) of a decoded frame as one FLAC frame; empty on failure.
std::vector<uint8_t> EncodePart(const AVCodecParameters* par, const AVFrame* decoded, int from, int to) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_FLAC);
    CodecContextPtr enc(codec ? avcodec_alloc_context3(codec) : nullptr);
    if (!enc) return {};
    const int count = to - from;
    enc->sample_rate = par->sample_rate;
    enc->sample_fmt = static_cast<AVSampleFormat>(decoded->format);
    enc->bits_per_raw_sample = par->bits_per_raw_sample;
    enc->frame_size = std::max(count, 16);
    enc->time_base = {1, par->sample_rate};
    if (av_channel_layout_copy(&enc->ch_layout, &decoded->ch_layout) < 0 ||
        avcodec_open2(enc.get(), codec, nullptr) < 0)
        return {};
    FramePtr part(av_frame_alloc());
    part->nb_samples = count;
    part->format = decoded->format;
    part->sample_rate = par->sample_rate;
    part->pts = 0;
    if (av_channel_layout_copy(&part->ch_layout, &decoded->ch_layout) < 0 ||
        av_frame_get_buffer(part.get(), 0) < 0)
        return {};
    av_samples_copy(part->extended_data, decoded->extended_data, 0, from, count,
                    decoded->ch_layout.nb_channels, static_cast<AVSampleFormat>(decoded->format));
    std::vector<uint8_t> bytes;
    PacketPtr pkt(av_packet_alloc());
    for (AVFrame* frame : {part.get(), static_cast<AVFrame*>(nullptr)}) {
        if (avcodec_send_frame(enc.get(), frame) < 0) return {};
        while (avcodec_receive_packet(enc.get(), pkt.get()) >= 0) {
            if (bytes.empty()) bytes.assign(pkt->data, pkt->data + pkt->size);
            av_packet_unref(pkt.get());
        }
    }
    return bytes;
}

// The input's metadata blocks a cut keeps, each with its header (the last-block flag clear): the
// tags (VORBIS_COMMENT) and pictures. Seek tables and cue sheets count samples of the whole file
// and are left out, as is padding. Empty when there are none or the file cannot be read.
std::vector<std::vector<uint8_t>> KeptMetadata(const std::string& path) {
    constexpr int kVorbisComment = 4, kPicture = 6;
    std::ifstream in(path, std::ios::binary);
    uint8_t head[10];
    if (!in.read(reinterpret_cast<char*>(head), 10)) return {};
    int64_t at = 0;
    // An ID3v2 tag in front, as FFmpeg's reader allows.
    if (std::memcmp(head, "ID3", 3) == 0)
        at = 10 +
             ((head[6] & 0x7F) << 21 | (head[7] & 0x7F) << 14 | (head[8] & 0x7F) << 7 | (head[9] & 0x7F)) +
             ((head[5] & 0x10) ? 10 : 0);
    if (!in.seekg(at) || !in.read(reinterpret_cast<char*>(head), 4) || std::memcmp(head, "fLaC", 4) != 0)
        return {};
    std::vector<std::vector<uint8_t>> kept;
    for (bool last = false; !last;) {
        if (!in.read(reinterpret_cast<char*>(head), 4)) return {};
        last = head[0] & 0x80;
        const int type = head[0] & 0x7F;
        const uint32_t size = uint32_t{head[1]} << 16 | uint32_t{head[2]} << 8 | head[3];
        if (type != kVorbisComment && type != kPicture) {
            if (!in.seekg(size, std::ios::cur)) return {};
            continue;
        }
        std::vector<uint8_t>& block = kept.emplace_back(4 + size);
        block[0] = static_cast<uint8_t>(type);
        std::memcpy(&block[1], head + 1, 3);
        if (!in.read(reinterpret_cast<char*>(&block[4]), size)) return {};
    }
    return kept;
}

}  // namespace

bool RunFlacCut(const JobRequest& request, bool to_end, JobProgress& progress) {
    media::InputOptions options;
    options.video_decoder = false;
    media::Input source = media::OpenInput(request.inputs[0].path, options);
    AVStream* st = source.audio;
    if (!source.ok() || !st || !source.audio_decoder || st->codecpar->extradata_size < 34) return false;
    media::InputFormatPtr& input = source.format;
    CodecContextPtr& decoder = source.audio_decoder;
    const AVCodecParameters* par = st->codecpar;
    progress.current_file.store(0);
    progress.percent.store(0);
    auto end_cut = [&](const char* step, int error) {
        EndCut(progress, step, error);
        return true;
    };

    const AVRational sample_tb{1, par->sample_rate};
    const CutSamples range = CutRange(request.inputs[0], par->sample_rate, to_end);
    const int64_t start = range.start;
    const int64_t end = range.Stop();
    if (range.end <= start) return end_cut("the range holds no sound", 0);
    if (start > 0)
        av_seek_frame(input.get(), st->index, av_rescale_q(start, sample_tb, st->time_base),
                      AVSEEK_FLAG_BACKWARD);

    PublishedOutput file;
    bool opened = false;
    std::vector<uint8_t> streaminfo(par->extradata, par->extradata + 34);
    int64_t written = 0;  // samples
    int min_block = 65535, max_block = 0;
    PacketPtr pkt(av_packet_alloc());
    FramePtr decoded(av_frame_alloc());
    const char* step = nullptr;
    int error = 0;
    while (!progress.cancel_requested.load() && av_read_frame(input.get(), pkt.get()) >= 0) {
        if (pkt->stream_index != st->index || pkt->pts == AV_NOPTS_VALUE) {
            av_packet_unref(pkt.get());
            continue;
        }
        const int64_t from = av_rescale_q(pkt->pts, st->time_base, sample_tb);
        if (from >= end) break;
        std::vector<uint8_t> frame;
        int64_t to = from + av_rescale_q(pkt->duration, st->time_base, sample_tb);
        if (from < start || to > end || to <= from) {
            // A frame at an end of the range: its part inside the range, encoded again.
            if (avcodec_send_packet(decoder.get(), pkt.get()) < 0 ||
                avcodec_receive_frame(decoder.get(), decoded.get()) < 0) {
                step = "could not decode a frame";
                break;
            }
            to = from + decoded->nb_samples;
            const int a = static_cast<int>(std::max<int64_t>(0, start - from));
            const int b = static_cast<int>(std::min<int64_t>(decoded->nb_samples, end - from));
            if (b > a) frame = EncodePart(par, decoded.get(), a, b);
            av_frame_unref(decoded.get());
            if (b > a && frame.empty()) {
                step = "could not encode a frame";
                break;
            }
        } else {
            frame.assign(pkt->data, pkt->data + pkt->size);
        }
        av_packet_unref(pkt.get());
        if (frame.empty()) continue;
        // The block size, from what was kept.
        const int block = static_cast<int>(std::min(to, end) - std::max(from, start));
        std::vector<uint8_t> renumbered = Renumbered(frame.data(), static_cast<int>(frame.size()), written);
        if (renumbered.empty()) {
            step = "could not read a frame header";
            break;
        }
        if (!opened) {
            if ((error = file.Open(request.output_path)) < 0 || !file.io()) {
                step = "could not create the output file";
                if (error == 0) error = AVERROR(ENOMEM);
                break;
            }
            opened = true;
            // The stream information is written again at the end, when the lengths are known.
            std::vector<std::vector<uint8_t>> metadata = KeptMetadata(request.inputs[0].path);
            const uint8_t header[8] = {'f', 'L', 'a', 'C', static_cast<uint8_t>(metadata.empty() ? 0x80 : 0),
                                       0,   0,   34};
            avio_write(file.io(), header, 8);
            avio_write(file.io(), streaminfo.data(), 34);
            for (std::vector<uint8_t>& block : metadata) {
                if (&block == &metadata.back()) block[0] |= 0x80;
                avio_write(file.io(), block.data(), static_cast<int>(block.size()));
            }
        }
        avio_write(file.io(), renumbered.data(), static_cast<int>(renumbered.size()));
        written += block;
        min_block = std::min(min_block, block);
        max_block = std::max(max_block, block);
        progress.percent.store(range.Percent(written));
    }
    if (step) {
        file.Discard();
        return end_cut(step, error);
    }
    if (!opened) return end_cut("the range holds no sound", 0);
    // Block sizes, total samples; frame sizes and the MD5 signature unknown (0).
    streaminfo[0] = static_cast<uint8_t>(min_block >> 8);
    streaminfo[1] = static_cast<uint8_t>(min_block);
    streaminfo[2] = static_cast<uint8_t>(max_block >> 8);
    streaminfo[3] = static_cast<uint8_t>(max_block);
    std::fill(streaminfo.begin() + 4, streaminfo.begin() + 10, 0);
    streaminfo[13] = static_cast<uint8_t>((streaminfo[13] & 0xF0) | ((written >> 32) & 0x0F));
    for (int i = 0; i < 4; ++i) streaminfo[14 + i] = static_cast<uint8_t>(written >> (24 - 8 * i));
    std::fill(streaminfo.begin() + 18, streaminfo.end(), 0);
    avio_seek(file.io(), 8, SEEK_SET);
    avio_write(file.io(), streaminfo.data(), 34);
    avio_flush(file.io());
    if (file.io()->error < 0) {
        error = file.io()->error;
        file.Discard();
        return end_cut("could not write the output file", error);
    }
    const JobFailure published = file.Publish();
    if (published.failed()) return end_cut(published.step.c_str(), published.error);
    progress.SetPublishedPath(file.published_path());
    return end_cut(nullptr, 0);
}

}  // namespace engine
