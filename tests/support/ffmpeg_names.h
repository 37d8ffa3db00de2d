#pragma once
// FFmpeg's name for a codec id, as the ffprobe tool prints it.
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace testsupport {
inline std::string CodecName(int id) { return avcodec_get_name(static_cast<AVCodecID>(id)); }
}  // namespace testsupport
