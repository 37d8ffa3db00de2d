#pragma once
// The media probe: opens one file, chooses its streams (the last of each kind), opens their decoders
// and writes what it learned into the job record. Runs on the UI thread, never while a job runs.

#include "engine/convert_job.h"

// Result codes of ProbeMediaFile.
inline constexpr int PROBE_OK = 0;
inline constexpr int PROBE_OPEN_FAILED = -1;        // the file could not be opened
inline constexpr int PROBE_STREAM_INFO_FAILED = -2; // its stream information could not be read
inline constexpr int PROBE_NO_VIDEO_DECODER = -4;   // it has video, but no decoder exists for it
inline constexpr int PROBE_VIDEO_OPEN_FAILED = -5;  // the video decoder did not open

// Probes job.probe_path. On failure returns the code at once and leaves the media fields as the
// previous probe left them.
int ProbeMediaFile(ConvertJob& job);
// Probes the program-wide job's probe_path; the job must exist.
int ProbeMediaFile();

// The frame-rate rule, shared by the probe and the engine: takes the stream's r_frame_rate, turns a
// rate above 1000 fps into num/1001, and writes input_frame_rate (integer quotient, unchanged when the
// denominator is 0), input_frame_rate_num and input_frame_rate_den. Returns the corrected rate.
AVRational ApplyFrameRateRule(ConvertJob& job, AVRational r_frame_rate);
