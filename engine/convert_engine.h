#pragma once
// The conversion engine: runs a cut or merge job.

#include "engine/job_progress.h"
#include "engine/job_request.h"

// Runs the whole job on the calling thread (the worker thread) and returns when it has ended,
// normally or because progress.cancel_requested was set. The caller has reset the progress channel for
// the request's files and keeps both objects alive until this returns. Reports only through the
// progress channel (current file, percent, each file's status and a failed file's reason); never
// shows anything.
void RunConvertJob(const JobRequest& request, JobProgress& progress);
