#include "engine/preview.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

#include "engine/ffmpeg_ptr.h"

using namespace engine;

namespace {

void PutLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// The scaler of the last preview, kept while the source size and format stay the same: dragging
// the slider over one video then sets up the scaler once. UI thread only.
struct ScalerCache {
    SwsPtr scaler;
    int width = 0, height = 0;
    AVPixelFormat format = AV_PIX_FMT_NONE;
    int colorspace = -1;
    int full_range = -1;

    SwsContext* Get(const AVFrame* frame) {
        auto format_in = static_cast<AVPixelFormat>(frame->format);
        if (!scaler || width != frame->width || height != frame->height || format != format_in) {
            scaler.reset(sws_getContext(frame->width, frame->height, format_in, PREVIEW_WIDTH, PREVIEW_HEIGHT,
                                        AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr, nullptr));
            width = frame->width;
            height = frame->height;
            format = format_in;
            colorspace = full_range = -1;
            if (!scaler) return nullptr;
        }
        // The source's own matrix and range, as the ffmpeg tool's scaler takes them; BT.601 when the
        // stream does not say.
        int space = frame->colorspace == AVCOL_SPC_UNSPECIFIED ? SWS_CS_DEFAULT : frame->colorspace;
        int range = frame->color_range == AVCOL_RANGE_JPEG ? 1 : 0;
        if (space != colorspace || range != full_range) {
            int* inv_table;
            int* table;
            int src_range, dst_range, brightness, contrast, saturation;
            if (sws_getColorspaceDetails(scaler.get(), &inv_table, &src_range, &table, &dst_range,
                                         &brightness, &contrast, &saturation) >= 0) {
                sws_setColorspaceDetails(scaler.get(), sws_getCoefficients(space), range, table, dst_range,
                                         brightness, contrast, saturation);
            }
            colorspace = space;
            full_range = range;
        }
        return scaler.get();
    }
};

ScalerCache& PreviewScaler() {
    static ScalerCache cache;
    return cache;
}

// Seconds to the stream's time base, rounded to the nearest tick.
int64_t SecondsToStreamTime(double seconds, AVRational time_base) {
    return av_rescale_q(std::llround(seconds * AV_TIME_BASE), AV_TIME_BASE_Q, time_base);
}

// Seeks so that decoding starts at a key frame at or before target_pts (stream time base). Some
// demuxers (MPEG-TS) land on any packet near the time: then the seek steps back, one second, two,
// four ... and at last to the start of the file, until the first video packet is a key frame. That
// packet is left in `first` (returns true); false when no video packet follows.
bool SeekToKeyFrameBefore(AVFormatContext* input, int video_index, int64_t target_pts, AVPacket* first,
                          int32_t* last_result) {
    AVStream* stream = input->streams[video_index];
    const int64_t second = std::max<int64_t>(1, av_rescale_q(1, AVRational{1, 1}, stream->time_base));
    const int64_t start = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
    int64_t back = 0;
    for (;;) {
        int64_t ts = target_pts - back;
        bool at_start = ts <= start;
        if (at_start) {
            *last_result = av_seek_frame(input, video_index, start, AVSEEK_FLAG_BACKWARD);
            if (*last_result < 0) *last_result = av_seek_frame(input, -1, 0, AVSEEK_FLAG_BYTE);
        } else {
            *last_result = av_seek_frame(input, video_index, ts, AVSEEK_FLAG_BACKWARD);
        }
        while (av_read_frame(input, first) >= 0) {
            if (first->stream_index != video_index) {
                av_packet_unref(first);
                continue;
            }
            if (at_start || *last_result < 0 || (first->flags & AV_PKT_FLAG_KEY)) return true;
            av_packet_unref(first);
            break;
        }
        if (at_start || *last_result < 0) return false;
        back = back == 0 ? second : back * 2;
    }
}

}  // namespace

bool SavePreviewBitmap(const AVFrame* picture, const std::string& path) {
    if (!picture || picture->width != PREVIEW_WIDTH || picture->height != PREVIEW_HEIGHT ||
        picture->format != AV_PIX_FMT_BGR24 || !picture->data[0])
        return false;

    std::vector<uint8_t> file(PREVIEW_BMP_FILE_SIZE);
    uint8_t* h = file.data();
    h[0] = 'B';
    h[1] = 'M';
    PutLe32(h + 2, PREVIEW_BMP_FILE_SIZE);
    PutLe16(h + 6, 0);
    PutLe16(h + 8, 0);
    PutLe32(h + 10, PREVIEW_BMP_HEADER_SIZE);
    PutLe32(h + 14, 40);
    PutLe32(h + 18, PREVIEW_WIDTH);
    PutLe32(h + 22, PREVIEW_HEIGHT);  // positive: bottom-up rows
    PutLe16(h + 26, 1);
    PutLe16(h + 28, 24);
    PutLe32(h + 30, 0);
    PutLe32(h + 34, PREVIEW_BMP_IMAGE_SIZE);
    PutLe32(h + 38, 100);
    PutLe32(h + 42, 100);
    PutLe32(h + 46, 0);
    PutLe32(h + 50, 0);
    constexpr int kRowBytes = PREVIEW_WIDTH * 3;  // 1920: already a multiple of 4, no padding
    for (int row = 0; row < PREVIEW_HEIGHT; ++row) {
        const uint8_t* src =
            picture->data[0] + static_cast<ptrdiff_t>(PREVIEW_HEIGHT - 1 - row) * picture->linesize[0];
        std::memcpy(h + PREVIEW_BMP_HEADER_SIZE + row * kRowBytes, src, kRowBytes);
    }

    std::string temp = path + ".part";
    FILE* out = std::fopen(temp.c_str(), "wb");
    if (!out) return false;
    bool ok = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    ok = (std::fclose(out) == 0) && ok;
    if (ok) ok = std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) unlink(temp.c_str());
    return ok;
}

bool DecodePreviewFrame(ConvertJob& job) {
    job.input_start_time = 0;
    job.video_stream_index = -1;
    job.audio_stream_index = -1;
    job.video_decoder_context = nullptr;
    job.audio_decoder_context = nullptr;
    job.got_picture = 0;

    InputFormatPtr input = OpenInput(job.probe_path.c_str());
    if (!input) return false;
    if (avformat_find_stream_info(input.get(), nullptr) < 0) return false;
    for (job.stream_loop_index = 0; job.stream_loop_index < input->nb_streams; ++job.stream_loop_index) {
        AVMediaType type = input->streams[job.stream_loop_index]->codecpar->codec_type;
        if (type == AVMEDIA_TYPE_VIDEO) job.video_stream_index = static_cast<int32_t>(job.stream_loop_index);
        if (type == AVMEDIA_TYPE_AUDIO) job.audio_stream_index = static_cast<int32_t>(job.stream_loop_index);
    }
    // Without video there is no picture; nothing needs to be read.
    if (job.video_stream_index < 0) return false;
    AVStream* stream = input->streams[job.video_stream_index];

    AVDictionary* options = nullptr;
    av_dict_set(&options, "threads", "auto", 0);
    CodecContextPtr decoder = OpenDecoder(stream, &options);
    av_dict_free(&options);
    if (!decoder) return false;

    FramePtr shown(av_frame_alloc());
    if (!shown) return false;

    job.input_start_time = input->start_time == AV_NOPTS_VALUE ? 0 : input->start_time / 1000000.0;
    int index = job.current_file;
    if (index < 0 || index >= MAX_JOB_FILES) index = 0;
    double& position_s = job.range_start_s[index];

    PacketPtr packet(av_packet_alloc());
    if (!packet) return false;
    bool have_packet = false;  // a packet read while seeking, still to be decoded

    int64_t target_pts = AV_NOPTS_VALUE;  // in the stream's time base
    if (position_s > 0) {
        job.input_has_ts_discont = (input->iformat->flags & AVFMT_TS_DISCONT) ? 1 : 0;
        position_s += job.input_start_time;
        target_pts = SecondsToStreamTime(position_s, stream->time_base);
        have_packet = SeekToKeyFrameBefore(input.get(), job.video_stream_index, target_pts, packet.get(),
                                           &job.last_result);
    }

    // The picture shown is the first one the decoder delivers after the seek: the key frame at or
    // before the position. Scrubbing then costs one seek and one picture.
    bool have_picture = false, draining = false;
    auto receive = [&]() {
        int rc = avcodec_receive_frame(decoder.get(), shown.get());
        if (rc >= 0) have_picture = true;
        return rc;
    };
    while (!have_picture) {
        if (!draining) {
            int rc = have_packet ? 0 : av_read_frame(input.get(), packet.get());
            have_packet = false;
            if (rc < 0) {
                draining = true;
                avcodec_send_packet(decoder.get(), nullptr);
            } else if (packet->stream_index == job.video_stream_index) {
                int sent = avcodec_send_packet(decoder.get(), packet.get());
                if (sent == AVERROR(EAGAIN) && receive() < 0) avcodec_send_packet(decoder.get(), packet.get());
            }
            av_packet_unref(packet.get());
        }
        if (have_picture) break;
        int rc = receive();
        if (rc < 0 && rc != AVERROR(EAGAIN)) break;  // end of stream or a decoder failure
        if (draining && rc == AVERROR(EAGAIN)) break;
    }
    if (!have_picture) return false;
    job.got_picture = 1;

    SwsContext* scaler = PreviewScaler().Get(shown.get());
    if (!scaler) return false;
    FramePtr picture(av_frame_alloc());
    if (!picture) return false;
    picture->width = PREVIEW_WIDTH;
    picture->height = PREVIEW_HEIGHT;
    picture->format = AV_PIX_FMT_BGR24;
    if (av_frame_get_buffer(picture.get(), 0) < 0) return false;
    sws_scale(scaler, shown->data, shown->linesize, 0, shown->height, picture->data, picture->linesize);
    return SavePreviewBitmap(picture.get(), job.preview_bitmap_path);
}

bool DecodePreviewFrame() { return DecodePreviewFrame(*TheConvertJob()); }
