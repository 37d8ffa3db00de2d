#pragma once
// The media probes of both tools: each opens one file, chooses its streams (the last of each kind),
// opens their decoders and returns what it learned in one ProbeResult. Run on any thread; they touch
// no job.

#include <cstdint>
#include <string>

#include "media/failure.h"

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/rational.h>
}

// Result codes of ProbeMediaFile.
inline constexpr int PROBE_OK = 0;
inline constexpr int PROBE_OPEN_FAILED = -1;         // the file could not be opened
inline constexpr int PROBE_STREAM_INFO_FAILED = -2;  // its stream information could not be read
inline constexpr int PROBE_NO_VIDEO_DECODER = -4;    // it has video, but no decoder exists for it
inline constexpr int PROBE_VIDEO_OPEN_FAILED = -5;   // the video decoder did not open

// What a probe learned of a file. The frame-rate fields are only written by the video probe, for a
// file with video; the audio probe leaves every video field but the stream index alone.
struct ProbeResult {
    int result = PROBE_OPEN_FAILED;   // PROBE_OK or a failure code; only `failure` is set then
    media::Failure failure;           // on failure: the step that failed and FFmpeg's code
    int32_t video_stream_index = -1;  // chosen streams, -1 for none
    int32_t audio_stream_index = -1;
    int32_t video_codec_id = 0;  // AVCodecID; none without video
    int32_t audio_codec_id = 0;  // AVCodecID; none without audio or without an audio decoder
    int32_t width = 0;
    int32_t height = 0;
    int32_t frame_rate_num = 0;  // r_frame_rate after the frame-rate rule
    int32_t frame_rate_den = 0;
    double frame_rate = 0;       // integer quotient of the rate
    int32_t video_bit_rate = 0;  // bits per second
    int32_t audio_bit_rate = 0;
    int32_t sample_rate = 0;
    int32_t channels = 0;
    int64_t duration_us = 0;     // container duration, AV_TIME_BASE units
    int64_t range_start_us = 0;  // start of the selectable range (always 0)
    int64_t range_end_us = 0;    // end of the selectable range
    bool aac_in_mp3 = false;     // audio probe: the name ends in ".mp3" (any case) but the audio is AAC
    bool mp2_in_mp3 = false;     // audio probe: the name ends in ".mp3" but the audio is MPEG layer II
};

// Probes a file (UTF-8 path). On failure only `result` and `failure` are meaningful. `previous` supplies the
// frame-rate fields a file without video keeps (the last probed video's).
ProbeResult ProbeMediaFile(const std::string& path, const ProbeResult& previous = {});

// The audio tool's probe (UTF-8 path): PROBE_OK, PROBE_OPEN_FAILED or PROBE_STREAM_INFO_FAILED; a
// file whose audio has no decoder counts as having none (audio_codec_id stays none) and is no
// failure, nor is video without a decoder. Fills the stream indexes, the audio fields, the range
// (0 to the container's duration) and the two ".mp3" flags.
ProbeResult ProbeAudioFile(const std::string& path);

// The frame-rate rule, shared by the probe and the engine: a rate above 1000 fps becomes num/1001.
// Writes frame_rate (integer quotient, unchanged when the denominator is 0), frame_rate_num and
// frame_rate_den, and returns the corrected rate.
AVRational ApplyFrameRateRule(ProbeResult& result, AVRational r_frame_rate);
