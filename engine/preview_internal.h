#pragma once
// What the one-shot preview and the preview session share: the scaler kept across pictures.
// Engine-internal.

#include "media/ffmpeg_ptr.h"

namespace engine::preview_internal {

// The scaler to the 640 x 360 BGR24 preview, kept while the source size and format stay the same:
// dragging the slider over one video then sets it up once. One thread at a time.
struct ScalerCache {
    media::SwsPtr scaler;
    int width = 0, height = 0;
    AVPixelFormat format = AV_PIX_FMT_NONE;
    int colorspace = -1;
    int full_range = -1;

    // Null when no scaler can be made for the frame.
    SwsContext* Get(const AVFrame* frame);
};

}  // namespace engine::preview_internal
