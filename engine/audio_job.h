#pragma once
// The audio tool's engine: the audio probe, the job request, the engine entry (a cut copies the
// packets of a range, a merge decodes every input and encodes one MP3 file) and the UI-free job
// builders of the cut and merge commands. Plain C++ over FFmpeg; the job itself runs on the
// conversion engine's pipeline (input opening, stream copy, resampler, FIFO and encoder, exclusive
// output), restricted to audio.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/convert_job.h"
#include "engine/job_builder.h"

// The progress channel both tools share: current_file, percent, file_status[i] (JOB_FILE_*),
// cancel_requested, ui_file_total. Until it has its own type it is the video tool's record, of which
// the audio engine uses only these fields.
using JobProgress = ConvertJob;

// What ProbeAudioFile reads from a file.
struct AudioProbeResult {
    int result = -1;                      // 0, or -1 (cannot be opened), -2 (stream information unreadable)
    int32_t audio_stream_index = -1;      // the last audio stream, -1 for none
    int32_t video_stream_index = -1;      // the last video stream, -1 for none
    int32_t codec_id = AV_CODEC_ID_NONE;  // the audio codec; none without a usable audio stream
    int32_t bit_rate = 0;                 // bits per second
    int32_t sample_rate = 0;              // Hz
    int32_t channels = 0;
    int64_t range_start_us = 0;  // always 0
    int64_t range_end_us = 0;    // the container's duration
    int64_t duration_us = 0;
    bool aac_in_mp3 = false;  // the name ends in ".mp3" (any case) but the audio is AAC
    bool mp2_in_mp3 = false;  // the name ends in ".mp3" but the audio is MPEG layer II
};

// Probes a file (UTF-8 path). Runs on any thread; touches no job.
AudioProbeResult ProbeAudioFile(const std::string& path);

// A cut or merge job of the audio tool. Built by the commands (or by hand), read-only to the engine.
struct AudioJobRequest {
    bool merge = false;                    // false: cut (packet copy); true: merge (MP3)
    std::vector<std::string> input_paths;  // UTF-8; a cut has one
    std::string output_path;               // UTF-8; an existing file is never written over
    // The muxer's short name ("adts", "mp2"); empty: guessed from output_path's extension.
    std::string output_format_name;
    // Cut: the range in seconds of the input's own clock (its container start time is added).
    double start_s = 0;
    double length_s = 0;
    // Merge: the sum of the inputs' lengths in whole seconds (the percentage counts against it), and
    // the MP3 output.
    int32_t total_length_s = 0;
    int32_t bit_rate = 128000;
    int32_t sample_rate = 44100;
    int32_t channels = 2;
    int32_t files_shown = 0;  // inputs the progress display counts
};

// Runs the job on the calling thread (the worker) and returns when it has ended, normally or
// because progress.cancel_requested was set. Reports only through `progress`: current_file (0 ..
// the input count), percent of the input in work, file_status per input. Inputs whose audio cannot
// be read are failed; a first input that fails leaves no output file and fails the later ones.
void RunAudioJob(const AudioJobRequest& request, JobProgress& progress);

// ---- Job builders: what the cut and merge commands do, without windows ----

// The output settings of the audio tool's settings dialog (merge only), as numbers.
struct AudioOutputSettings {
    int32_t bit_rate = 128000;
    int32_t sample_rate = 44100;
    int32_t channels = 2;
};

// The file created and deleted again to prove that the output folder takes new files.
inline constexpr char kAudioFolderProbeName[] = "jlewhqlhqwenqfwk.mp3";

// The output-folder check of both commands. kSilent for a folder that is exactly "\" (the command
// ends without a word), kOutputFolderMissing, kOutputFolderNotWritable (the probe file cannot be
// made); kNone when the folder takes files. A file of the probe's name that is already there is
// left alone.
JobRefusal CheckAudioOutputFolder(const std::string& folder);

// A cut of the current file: range in milliseconds as the time fields give them. The output is named
// after the current file (or `name` when not empty) with the current file's extension, made unique
// (`song(0).mp3`, ...). A file named .mp3 whose audio is AAC or MP2 keeps its .mp3 name and gets the
// container of its real codec. Refusals: kNoFile (no current file), the folder check's.
JobRefusal BuildAudioCutJob(const std::string& current_file, const AudioProbeResult& probe, int32_t start_ms,
                            int32_t end_ms, const std::string& output_folder, const std::string& name,
                            AudioJobRequest* request);

// One row of the merge list.
struct AudioMergeEntry {
    std::string path;  // UTF-8
    int32_t start_ms = 0;
    int32_t end_ms = 0;
    bool checked = false;
};

// A merge of the checked rows, in list order, into one MP3 named after the first checked row (or
// `name` when not empty). `checked_rows` receives the list row of each job input. Refusals, in this
// order: kNoFile (empty list), kTooFewFiles (fewer than two checked), kTooManyFiles (above
// MAX_JOB_FILES), the folder check's, kSilent (a checked file name without an extension).
JobRefusal BuildAudioMergeJob(const std::vector<AudioMergeEntry>& list, const AudioOutputSettings& settings,
                              const std::string& output_folder, const std::string& name,
                              AudioJobRequest* request, std::vector<int>* checked_rows);
