#pragma once
// What both command-line tools do while a job runs: the output path on standard output, the progress
// on standard error, Ctrl-C as the Stop button.

#include <functional>

#include "engine/job_progress.h"
#include "engine/job_request.h"

// Runs `work` (which runs the job, reporting to the progress
// channel it is given) on a worker thread and polls the channel as the window's timer does; the first
// SIGINT or SIGTERM sets its cancel_requested, a second ends the program. At the end it prints the path the
// output was published under (nothing when none was). Returns the exit status: 0 every file done, 1 a file
// failed (each named after "<program>: failed: ", with its reason), 128 + the signal when stopped.
int RunJobWithProgress(const char* program, const JobRequest& request,
                       const std::function<void(JobProgress&)>& work);
