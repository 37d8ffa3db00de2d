#pragma once
// The audio tool's engine entry: a cut copies the packets of a range, a merge decodes every input and
// encodes one MP3 file. Plain C++ over FFmpeg; a job runs on the conversion engine's pipeline (input
// opening, stream copy, resampler, FIFO and encoder, exclusive output), restricted to audio. The
// audio probe is in engine/probe.h, the job builders in jobs/audio_jobs.h.

#include "engine/job_progress.h"
#include "engine/job_request.h"

// Runs an audio job on the calling thread (the worker) and returns when it has ended, normally or
// because progress.cancel_requested was set. The caller has reset `progress` for the request's files
// and keeps both alive until this returns. Reports only through `progress`: current_file (0 .. the
// input count), percent of the input in work, the status of each input. An input whose audio cannot
// be read fails; a first input that fails leaves no output file and fails the later ones.
void RunAudioJob(const JobRequest& request, JobProgress& progress);
