#pragma once
// Time on media: inside a run every time stamp stays in its stream's time base and is rescaled only
// where it crosses to another stream or the output; seconds exist only at the edges (a request's
// range, a window's position, the progress clock), converted once there.

#include <cmath>
#include <cstdint>
#include <limits>

extern "C" {
#include <libavutil/avutil.h>
#include <libavutil/mathematics.h>
}

namespace media {

// Seconds to ticks of `time_base`, by way of whole microseconds (the container's own unit), so that
// every reader lands on the same tick for the same position. Out-of-range seconds (a merge's open
// end) saturate.
inline int64_t SecondsToTicks(double seconds, AVRational time_base) {
    if (!(seconds < 9.2e12)) return std::numeric_limits<int64_t>::max();
    if (!(seconds > -9.2e12)) return std::numeric_limits<int64_t>::min();
    return av_rescale_q(std::llround(seconds * AV_TIME_BASE), AV_TIME_BASE_Q, time_base);
}

inline double TicksToSeconds(int64_t ticks, AVRational time_base) {
    return static_cast<double>(ticks) * av_q2d(time_base);
}

// A container's start time in seconds (0 when it states none).
inline double StartSeconds(const AVFormatContext* format) {
    return format->start_time == AV_NOPTS_VALUE ? 0.0 : TicksToSeconds(format->start_time, AV_TIME_BASE_Q);
}

}  // namespace media
