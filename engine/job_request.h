#pragma once
// A cut or merge job as a tool's commands describe it: built on the UI thread (or by taviro-cli, the
// bench, a test), then only read by the engine. Numbers and codec ids, no list texts.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/job_progress.h"

extern "C" {
#include <libavutil/rational.h>
}

// What a re-encoding job encodes to. A value of 0 (AV_CODEC_ID_NONE for the codecs) leaves that choice
// to the input.
struct OutputParameters {
    int32_t video_codec_id = 0;  // AVCodecID
    int32_t audio_codec_id = 0;  // AVCodecID
    int32_t video_bit_rate = 0;  // bits per second
    int32_t width = 0;           // pixels
    int32_t height = 0;
    AVRational frame_rate{0, 1};  // a rate of the frame-rate table; 0/1: the input's own rate
    int32_t audio_bit_rate = 0;   // bits per second
    int32_t sample_rate = 0;      // Hz
    int32_t channels = 0;
};

// One input file and, for a cut, its range in seconds counted from the start of the file (the
// container's start time is added by the engine). A merge takes whole files.
struct JobInput {
    std::string path;  // UTF-8
    double start_s = 0;
    double length_s = 0;
};

// Whether a cut's range reaches the end of an input whose container says it lasts `duration_us`
// (0 or less: unknown). Ranges are chosen in whole milliseconds, so an end at the duration's last
// whole millisecond is its end; and for a file whose length is only estimated (a VBR MP3 without a
// header) the data may run on past it, so such a range is cut to the end of the data.
inline bool RangeRunsToEnd(const JobInput& input, int64_t duration_us) {
    if (duration_us <= 0) return false;
    const double end_ms = ((input.start_s > 0 ? input.start_s : 0) + input.length_s) * 1e3;
    return static_cast<int64_t>(end_ms + 0.5) >= duration_us / 1000;
}

struct JobRequest {
    std::vector<JobInput> inputs;  // in processing order, at most MAX_JOB_FILES
    std::string output_path;       // UTF-8; created new, never written over
    bool merge = false;            // false: cut each input's range; true: join whole inputs
    bool reencode = true;          // false: copy the compressed packets
    int32_t merge_total_s = 0;     // a merge's percentage counts against this
    OutputParameters output;
    // The muxer's short name ("adts", "mp2"); empty: guessed from output_path's extension.
    std::string output_format;
    bool audio_only = false;  // video streams are ignored (the audio tool's jobs)
    // A direct cut of H.264 video starts and ends at the range's own pictures, encoding again only
    // the pictures between each end and its nearest key frame (see engine/exact_cut.h).
    bool exact = false;

    int FileCount() const {
        return inputs.size() > static_cast<size_t>(MAX_JOB_FILES) ? MAX_JOB_FILES
                                                                  : static_cast<int>(inputs.size());
    }
};
