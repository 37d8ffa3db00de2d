#pragma once
// The audio tool's copying jobs that do not go through the conversion run: cuts as exact as each
// format allows without re-encoding lossy sound, and the lossless MP3 join. Each runs on the
// worker thread that called RunAudioJob and reports only through `progress` (current file, percent,
// status), as the conversion run does.

#include <cstdint>

#include "engine/job_progress.h"
#include "engine/job_request.h"

namespace engine {

// A cut (one input, packets copied) of a format this code cuts exactly: PCM and ADPCM in WAV, AIFF
// and AU at the sample or block, MP3 at the sample through the LAME tag, AAC in MP4/M4A through an
// edit list, Ogg Opus and Vorbis through pre-skip and granule positions, FLAC by re-encoding only its
// first and last frame. Returns false, having touched nothing, for any other format.
bool RunExactAudioCut(const JobRequest& request, JobProgress& progress);

// A merge without re-encoding: the MP3 frames of every input, one after the other, under one new
// Xing/LAME header; only the few frames at each joint are encoded again, so that each input's sound
// follows the previous one's with less than one frame of silence between. The inputs must agree (CheckMp3CopyJoin); an input that does not fails the job
// before anything is written.
void RunMp3CopyJoin(const JobRequest& request, JobProgress& progress);

// Reports the end of a cut (a one-input job): failed with the step and FFmpeg's error when `step` is
// not null, else done unless stopped.
void EndCut(JobProgress& progress, const char* step, int error);

// A one-input cut's range in samples at some rate. `end` is the end asked for (what progress counts
// against); a range that runs to the end of the input (RangeRunsToEnd) stops only where the data
// does.
struct CutSamples {
    int64_t start = 0;
    int64_t end = 0;
    bool to_end = false;
    int64_t Stop() const { return to_end ? INT64_MAX : end; }
    int32_t Percent(int64_t done) const;  // of `done` samples from the start
};
CutSamples CutRange(const JobInput& input, int rate, bool to_end);

// The MP3 cut on its own (RunExactAudioCut picks it for MP3 inputs); false, having touched nothing,
// when the file's frames cannot be indexed.
bool RunMp3Cut(const JobRequest& request, bool to_end, JobProgress& progress);

// The FLAC cut on its own (RunExactAudioCut picks it for FLAC files); false, having touched nothing,
// when the file cannot be decoded.
bool RunFlacCut(const JobRequest& request, bool to_end, JobProgress& progress);

}  // namespace engine
