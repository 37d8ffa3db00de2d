#pragma once
// What both command-line tools do while a job runs: the output path on standard output, the progress
// on standard error, Ctrl-C as the Stop button.

#include <functional>
#include <string>
#include <vector>

#include "engine/convert_job.h"

// Prints `output_path`, runs `work` on a worker thread and polls `progress` (current_file, percent)
// as the window's timer does; the first SIGINT or SIGTERM sets progress.cancel_requested, a second
// ends the program. Returns the exit status: 0 every one of the `file_count` files done, 1 a file
// failed (each failed input named after "<program>: failed: "), 128 + the signal when stopped.
int RunJobWithProgress(const char* program, const std::string& output_path, ConvertJob& progress,
                       const std::vector<std::string>& inputs, const std::function<void()>& work);
