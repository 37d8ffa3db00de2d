#pragma once
// The key-frame seek every reader of video shares: the conversion run's cut start and the preview.

#include "media/ffmpeg_ptr.h"

namespace media {

enum class AfterSeek {
    kReadFromKeyFrame,  // sought again, so reading starts at the key frame with every stream's packets
    kKeepKeyFrame,      // the key frame's packet is handed back; reading goes on after it
};

// Seeks `input` so that decoding `video` can start at a key frame at or before `target` (in the
// stream's time base). Some demuxers (MPEG-TS and other index-less formats) land on any packet near
// the time, early or late: the seek steps back one second, two, four, ... and at last to the
// stream's start, until the first video packet read is a key frame at or before the target.
// `packet` is scratch space; with kKeepKeyFrame it holds that key frame afterwards (the caller owns
// the reference), packets of other streams read before it are dropped, and the return is false
// when no video packet follows at all. With kReadFromKeyFrame the return is always true.
bool SeekToKeyFrame(AVFormatContext* input, const AVStream* video, int64_t target, AVPacket* packet,
                    AfterSeek after);

}  // namespace media
