#pragma once
// The audio tool's engine entry: a cut copies the packets of a range, a merge decodes every input and
// encodes one MP3 file. Plain C++ over FFmpeg; a job runs on the conversion engine's pipeline (input
// opening, stream copy, resampler, FIFO and encoder, exclusive output), restricted to audio. The
// audio probe is in engine/probe.h, the job builders in jobs/audio_jobs.h.

#include <string>
#include <vector>

#include "engine/job_progress.h"
#include "engine/job_request.h"

// Runs an audio job on the calling thread (the worker) and returns when it has ended, normally or
// because progress.cancel_requested was set. The caller has reset `progress` for the request's files
// and keeps both alive until this returns. Reports only through `progress`: current_file (0 .. the
// input count), percent of the input in work, the status of each input. An input whose audio cannot
// be read fails; a first input that fails leaves no output file and fails the later ones.
void RunAudioJob(const JobRequest& request, JobProgress& progress);

// Why MP3 files cannot be joined without re-encoding: the first file that differs from the first
// file, and how.
enum class Mp3JoinProblem {
    kNone = 0,
    kUnreadable,  // cannot be read, or holds no MPEG layer III frames
    kSampleRate,  // `value` Hz where the first file has `expected`
    kChannels,    // `value` channels where the first file has `expected`
};
struct Mp3JoinCheck {
    Mp3JoinProblem problem = Mp3JoinProblem::kNone;
    int file = -1;     // index into the paths
    std::string path;  // that file
    int value = 0;
    int expected = 0;
};

// Reads the files' frame headers (any thread). kNone when they can be joined frame for frame.
Mp3JoinCheck CheckMp3CopyJoin(const std::vector<std::string>& paths);
