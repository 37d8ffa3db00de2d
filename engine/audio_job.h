#pragma once
// The audio tool's engine: the audio probe, the engine entry (a cut copies the packets of a range, a
// merge decodes every input and encodes one MP3 file) and the UI-free job builders of its cut and
// merge commands. Plain C++ over FFmpeg; a job runs on the conversion engine's pipeline (input
// opening, stream copy, resampler, FIFO and encoder, exclusive output), restricted to audio.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/job_progress.h"
#include "engine/job_request.h"

extern "C" {
#include <libavcodec/codec_id.h>
}

// ---- Probe and engine ----

// What ProbeAudioFile reads from a file.
struct AudioProbeResult {
    int result = -1;                      // 0, or -1 (cannot be opened), -2 (stream information unreadable)
    JobFailure failure;                   // on failure: the step that failed and FFmpeg's code
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

// Runs an audio job (a request from the builders below) on the calling thread (the worker) and
// returns when it has ended, normally or because progress.cancel_requested was set. The caller has
// reset `progress` for the request's files and keeps both alive until this returns. Reports only
// through `progress`: current_file (0 .. the input count), percent of the input in work, the status
// of each input. An input whose audio cannot be read fails; a first input that fails leaves no output
// file and fails the later ones.
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

// ---- Job builders: what the cut and merge commands do, without windows ----

// Why a command starts no job. The tool turns it into its message.
enum class AudioJobRefusal {
    kNone = 0,
    kNoFile,                   // no current file (cut), an empty list (merge): "qxtjsp"
    kTooFewFiles,              // fewer than two checked entries: "zslgwj"
    kTooManyFiles,             // more checked entries than MAX_JOB_FILES
    kOutputFolderMissing,      // "mlbcz"
    kOutputFolderNotWritable,  // the probe file cannot be made: the fixed "MP3 file" text
    kSilent,                   // nothing to start and nothing to say ("\" as the folder, a checked
                               // file name without extension)
    kCannotCopy,               // a join without re-encoding whose files differ (see Mp3JoinCheck)
};

// The output settings of the audio tool's settings dialog (merge only), as numbers.
struct AudioOutputSettings {
    int32_t bit_rate = 128000;
    int32_t sample_rate = 44100;
    int32_t channels = 2;
    bool copy = false;  // join the MP3 frames as they are: the three values above are not used
};

// The file created and deleted again to prove that the output folder takes new files.
inline constexpr char kAudioFolderProbeName[] = "jlewhqlhqwenqfwk.mp3";

// The output-folder check of both commands: kSilent for a folder that is exactly "\",
// kOutputFolderMissing, kOutputFolderNotWritable; kNone when the folder takes files. A file of the
// probe's name that is already there is left alone.
AudioJobRefusal CheckAudioOutputFolder(const std::string& folder);

// A cut of the current file, range in milliseconds as the time fields give them (not checked: the
// engine does with an empty range what the video engine does). The output is named after the current
// file (or `name` when not empty) with the current file's extension, made unique (`song(0).mp3`,
// ...); a current file without extension gives no output path, and the job's input then fails. A
// file named .mp3 whose audio is AAC or MP2 (`probe`) keeps its .mp3 name and gets the container of
// its real codec. Refusals: kNoFile, the folder check's. The progress display counts 1 file.
AudioJobRefusal BuildAudioCutJob(const std::string& current_file, const AudioProbeResult& probe,
                                 int32_t start_ms, int32_t end_ms, const std::string& output_folder,
                                 const std::string& name, JobRequest* request);

// One row of the merge list.
struct AudioMergeEntry {
    std::string path;  // UTF-8
    int32_t start_ms = 0;
    int32_t end_ms = 0;
    bool checked = false;
};

// A merge of the checked rows, in list order, into one MP3 named after the first checked row (or
// `name` when not empty); merge_total_s sums end - start in whole seconds. `checked_rows` (may be
// null) receives the list row of each job input; the progress display counts them all. Refusals, in
// this order: kNoFile (empty list), kTooFewFiles, kTooManyFiles, the folder check's, kSilent (a
// checked file name without an extension), and with settings.copy kCannotCopy when the files cannot
// be joined frame for frame (`copy_check`, may be null, then says which file and why).
AudioJobRefusal BuildAudioMergeJob(const std::vector<AudioMergeEntry>& list,
                                   const AudioOutputSettings& settings, const std::string& output_folder,
                                   const std::string& name, JobRequest* request,
                                   std::vector<int>* checked_rows, Mp3JoinCheck* copy_check = nullptr);
