#pragma once
// Pieces the one-shot preview decoder and the preview session share: the scaler kept across
// pictures and the seek to the key frame at or before a time. Engine-internal.

#include <cstdint>

#include "engine/ffmpeg_ptr.h"

namespace engine::preview_internal {

// The scaler to the 640 x 360 BGR24 preview, kept while the source size and format stay the same:
// dragging the slider over one video then sets it up once. One thread at a time.
struct ScalerCache {
    SwsPtr scaler;
    int width = 0, height = 0;
    AVPixelFormat format = AV_PIX_FMT_NONE;
    int colorspace = -1;
    int full_range = -1;

    // Null when no scaler can be made for the frame.
    SwsContext* Get(const AVFrame* frame);
};

// Seconds to the stream's time base, rounded to the nearest tick.
int64_t SecondsToStreamTime(double seconds, AVRational time_base);

// Seeks so that decoding starts at a key frame at or before target_pts (stream time base). Some
// demuxers (MPEG-TS) land on any packet near the time: then the seek steps back, one second, two,
// four ... and at last to the start of the file, until the first video packet is a key frame. That
// packet is left in `first` (returns true); false when no video packet follows. A target at or
// before the stream's start reads from the start and takes its first video packet as it is.
bool SeekToKeyFrameBefore(AVFormatContext* input, int video_index, int64_t target_pts, AVPacket* first);

}  // namespace engine::preview_internal
