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

#include "media/input.h"
#include "media/seek.h"
#include "media/time.h"

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
    media::SwsPtr scaler;
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

PreviewResult DecodePreviewFrame(const PreviewRequest& request) {
    PreviewResult result;
    media::InputOptions options;
    options.audio_decoder = false;
    options.video_threads = "auto";
    media::Input in = media::OpenInput(request.input_path, options);
    // Without video there is no picture; nothing needs to be read.
    if (!in.ok() || !in.video) return result;
    AVFormatContext* input = in.format.get();
    AVCodecContext* decoder = in.video_decoder.get();
    const int video_index = in.video->index;

    media::FramePtr shown(av_frame_alloc());
    if (!shown) return result;

    result.input_start_s = media::StartSeconds(input);
    result.file_position_s = request.position_s;

    media::PacketPtr packet(av_packet_alloc());
    if (!packet) return result;
    bool have_packet = false;  // a packet read while seeking, still to be decoded

    if (request.position_s > 0) {
        result.file_position_s = request.position_s + result.input_start_s;
        have_packet = media::SeekToKeyFrame(
            input, in.video, media::SecondsToTicks(result.file_position_s, in.video->time_base), packet.get(),
            media::AfterSeek::kKeepKeyFrame);
    }

    // The picture shown is the first one the decoder delivers after the seek: the key frame at or
    // before the position. Scrubbing then costs one seek and one picture.
    bool have_picture = false, draining = false;
    auto receive = [&]() {
        int rc = avcodec_receive_frame(decoder, shown.get());
        if (rc >= 0) have_picture = true;
        return rc;
    };
    while (!have_picture) {
        if (!draining) {
            int rc = have_packet ? 0 : av_read_frame(input, packet.get());
            have_packet = false;
            if (rc < 0) {
                draining = true;
                avcodec_send_packet(decoder, nullptr);
            } else if (packet->stream_index == video_index) {
                int sent = avcodec_send_packet(decoder, packet.get());
                if (sent == AVERROR(EAGAIN) && receive() < 0) avcodec_send_packet(decoder, packet.get());
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
    media::FramePtr picture(av_frame_alloc());
    if (!picture) return result;
    picture->width = PREVIEW_WIDTH;
    picture->height = PREVIEW_HEIGHT;
    picture->format = AV_PIX_FMT_BGR24;
    if (av_frame_get_buffer(picture.get(), 0) < 0) return result;
    sws_scale(scaler, shown->data, shown->linesize, 0, shown->height, picture->data, picture->linesize);
    result.written = SavePreviewBitmap(picture.get(), request.bitmap_path);
    return result;
}
