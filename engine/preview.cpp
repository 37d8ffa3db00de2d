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
#include "engine/output_publish.h"

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
bool SeekToKeyFrameBefore(AVFormatContext* input, int video_index, int64_t target_pts, AVPacket* first) {
    AVStream* stream = input->streams[video_index];
    const int64_t second = std::max<int64_t>(1, av_rescale_q(1, AVRational{1, 1}, stream->time_base));
    const int64_t start = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
    int64_t back = 0;
    int seek_result = 0;
    for (;;) {
        int64_t ts = target_pts - back;
        bool at_start = ts <= start;
        if (at_start) {
            seek_result = av_seek_frame(input, video_index, start, AVSEEK_FLAG_BACKWARD);
            if (seek_result < 0) seek_result = av_seek_frame(input, -1, 0, AVSEEK_FLAG_BYTE);
        } else {
            seek_result = av_seek_frame(input, video_index, ts, AVSEEK_FLAG_BACKWARD);
        }
        while (av_read_frame(input, first) >= 0) {
            if (first->stream_index != video_index) {
                av_packet_unref(first);
                continue;
            }
            if (at_start || seek_result < 0 || (first->flags & AV_PKT_FLAG_KEY)) return true;
            av_packet_unref(first);
            break;
        }
        if (at_start || seek_result < 0) return false;
        back = back == 0 ? second : back * 2;
    }
}

}  // namespace

int SavePreviewBitmap(const AVFrame* picture, const std::string& path, bool replace_existing,
                      std::string* written_path) {
    if (!picture || picture->width != PREVIEW_WIDTH || picture->height != PREVIEW_HEIGHT ||
        picture->format != AV_PIX_FMT_BGR24 || !picture->data[0])
        return AVERROR(EINVAL);

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

    PublishedOutput out;
    if (int error = out.Open(path); error < 0) return error;
    if (int error = out.Write(file.data(), file.size()); error < 0) return error;
    JobFailure published = out.Publish(replace_existing ? PublishedOutput::Existing::kReplace
                                                        : PublishedOutput::Existing::kKeep);
    if (!published.step.empty()) return published.error < 0 ? published.error : AVERROR(EIO);
    if (written_path) *written_path = out.published_path();
    return 0;
}

PreviewResult DecodePreviewFrame(const PreviewRequest& request) {
    PreviewResult result;
    result.failure = PreviewFailure::kOpen;
    InputFormatPtr input = OpenInput(request.input_path.c_str(), &result.error);
    if (!input) return result;
    if ((result.error = avformat_find_stream_info(input.get(), nullptr)) < 0) return result;
    result.error = 0;
    result.failure = PreviewFailure::kNoVideo;
    int video_index = -1;
    for (unsigned s = 0; s < input->nb_streams; ++s)
        if (input->streams[s]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) video_index = static_cast<int>(s);
    // Without video there is no picture; nothing needs to be read.
    if (video_index < 0) return result;
    AVStream* stream = input->streams[video_index];

    AVDictionary* options = nullptr;
    av_dict_set(&options, "threads", "auto", 0);
    CodecContextPtr decoder = OpenDecoder(stream, &options);
    av_dict_free(&options);
    if (!decoder) return result;
    result.failure = PreviewFailure::kDecode;

    FramePtr shown(av_frame_alloc());
    if (!shown) return result;

    result.input_start_s = input->start_time == AV_NOPTS_VALUE ? 0 : input->start_time / 1000000.0;
    result.file_position_s = request.position_s;

    PacketPtr packet(av_packet_alloc());
    if (!packet) return result;
    bool have_packet = false;  // a packet read while seeking, still to be decoded

    int64_t target_pts = AV_NOPTS_VALUE;  // in the stream's time base
    if (request.position_s > 0) {
        result.file_position_s = request.position_s + result.input_start_s;
        target_pts = SecondsToStreamTime(result.file_position_s, stream->time_base);
        have_packet = SeekToKeyFrameBefore(input.get(), video_index, target_pts, packet.get());
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
            } else if (packet->stream_index == video_index) {
                int sent = avcodec_send_packet(decoder.get(), packet.get());
                if (sent == AVERROR(EAGAIN) && receive() < 0)
                    avcodec_send_packet(decoder.get(), packet.get());
            }
            av_packet_unref(packet.get());
        }
        if (have_picture) break;
        int rc = receive();
        if (rc < 0 && rc != AVERROR(EAGAIN)) break;  // end of stream or a decoder failure
        if (draining && rc == AVERROR(EAGAIN)) break;
    }
    if (!have_picture) return result;

    SwsContext* scaler = PreviewScaler().Get(shown.get());
    if (!scaler) return result;
    FramePtr picture(av_frame_alloc());
    if (!picture) return result;
    picture->width = PREVIEW_WIDTH;
    picture->height = PREVIEW_HEIGHT;
    picture->format = AV_PIX_FMT_BGR24;
    if (av_frame_get_buffer(picture.get(), 0) < 0) return result;
    sws_scale(scaler, shown->data, shown->linesize, 0, shown->height, picture->data, picture->linesize);
    result.error =
        SavePreviewBitmap(picture.get(), request.bitmap_path, request.replace_existing, &result.written_path);
    result.written = result.error == 0;
    result.failure = result.written ? PreviewFailure::kNone : PreviewFailure::kWrite;
    return result;
}
