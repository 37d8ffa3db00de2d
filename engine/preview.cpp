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

#include "engine/preview_internal.h"
#include "engine/preview_session.h"

namespace {

void PutLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

namespace engine::preview_internal {

SwsContext* ScalerCache::Get(const AVFrame* frame) {
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
        if (sws_getColorspaceDetails(scaler.get(), &inv_table, &src_range, &table, &dst_range, &brightness,
                                     &contrast, &saturation) >= 0) {
            sws_setColorspaceDetails(scaler.get(), sws_getCoefficients(space), range, table, dst_range,
                                     brightness, contrast, saturation);
        }
        colorspace = space;
        full_range = range;
    }
    return scaler.get();
}

}  // namespace engine::preview_internal

bool SavePreviewBitmap(const AVFrame* picture, const std::string& path) {
    if (!picture || picture->width != PREVIEW_WIDTH || picture->height != PREVIEW_HEIGHT ||
        picture->format != AV_PIX_FMT_BGR24 || !picture->data[0])
        return false;
    return SavePreviewBitmapRows(picture->data[0], picture->linesize[0], path);
}

bool SavePreviewBitmapRows(const uint8_t* top_row, int linesize, const std::string& path) {
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
        const uint8_t* src = top_row + static_cast<ptrdiff_t>(PREVIEW_HEIGHT - 1 - row) * linesize;
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
    engine::PreviewSession session(request.input_path, 1);
    result.input_start_s = session.inputStartS();
    result.file_position_s =
        request.position_s > 0 ? request.position_s + result.input_start_s : request.position_s;
    auto picture = session.PictureAt(request.position_s);
    if (picture)
        result.written = SavePreviewBitmapRows(picture->bgr.data(), PREVIEW_WIDTH * 3, request.bitmap_path);
    return result;
}
