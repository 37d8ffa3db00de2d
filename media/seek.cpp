#include "media/seek.h"

#include <algorithm>

namespace media {

namespace {

// Reads up to the first video packet; false at the end of the input.
bool ReadVideoPacket(AVFormatContext* input, const AVStream* video, AVPacket* packet) {
    while (av_read_frame(input, packet) >= 0) {
        if (packet->stream_index == video->index) return true;
        av_packet_unref(packet);
    }
    return false;
}

bool SeekToStart(AVFormatContext* input, const AVStream* video, int64_t start, AVPacket* packet,
                 AfterSeek after) {
    if (av_seek_frame(input, video->index, start, AVSEEK_FLAG_BACKWARD) < 0)
        av_seek_frame(input, -1, 0, AVSEEK_FLAG_BYTE);
    if (after == AfterSeek::kReadFromKeyFrame) return true;
    return ReadVideoPacket(input, video, packet);
}

}  // namespace

bool SeekToKeyFrame(AVFormatContext* input, const AVStream* video, int64_t target, AVPacket* packet,
                    AfterSeek after) {
    const int64_t second = std::max<int64_t>(1, av_rescale_q(1, AVRational{1, 1}, video->time_base));
    const int64_t start = video->start_time != AV_NOPTS_VALUE ? video->start_time : 0;
    for (int64_t back = 0;; back = back == 0 ? second : back * 2) {
        const int64_t ts = target - back;
        if (ts <= start) break;
        if (av_seek_frame(input, video->index, ts, AVSEEK_FLAG_BACKWARD) < 0) break;
        if (!ReadVideoPacket(input, video, packet)) continue;
        const int64_t pts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        const bool found = (packet->flags & AV_PKT_FLAG_KEY) && pts != AV_NOPTS_VALUE && pts <= target;
        if (!found) {
            av_packet_unref(packet);
            continue;
        }
        if (after == AfterSeek::kKeepKeyFrame) return true;
        av_packet_unref(packet);
        if (av_seek_frame(input, video->index, ts, AVSEEK_FLAG_BACKWARD) >= 0) return true;
        break;
    }
    return SeekToStart(input, video, start, packet, after);
}

}  // namespace media
