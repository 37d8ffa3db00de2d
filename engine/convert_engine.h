#pragma once
// The conversion engine: runs the cut or merge job described by a filled ConvertJob.

#include "engine/convert_job.h"

// Runs the whole job on the calling thread (the worker thread) and returns when it has ended,
// normally or because cancel_requested was set. Reports only through the job's progress fields
// (current_file, percent, file_status, the output clocks); never shows anything.
void ConvertThreadProc(ConvertJob& job);
