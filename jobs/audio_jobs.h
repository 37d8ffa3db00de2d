#pragma once
// What Melisk's cut and merge commands do, without windows: the output-folder check, refusals, output
// names and the request. The window and melisk-cli build the same jobs; RunAudioJob
// (engine/audio_job.h) runs them.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/audio_job.h"
#include "engine/job_request.h"
#include "engine/probe.h"
#include "jobs/job_refusal.h"

// The output settings of a merge, as numbers.
struct AudioOutputSettings {
    int32_t bit_rate = 128000;  // bits per second
    int32_t sample_rate = 44100;
    int32_t channels = 2;
    bool copy = false;  // join the MP3 frames as they are: the three values above are not used
};

// The file created and deleted again to prove that the output folder takes new files.
inline constexpr char kAudioFolderProbeName[] = "jlewhqlhqwenqfwk.mp3";

// The output-folder check of both commands: kSilent for a folder that is exactly "\",
// kOutputFolderMissing, kOutputFolderNotWritable; kNone when the folder takes files. A file of the
// probe's name that is already there is left alone.
JobRefusal CheckAudioOutputFolder(const std::string& folder);

// The output a cut or merge plans before a free name is found ("DIR/song.m4a"): `name`, else the
// first input's name, with the cut input's own extension or ".mp3" for a merge; empty for a cut of
// a file without extension.
std::string PlannedAudioOutput(const std::string& first_input, const std::string& folder,
                               const std::string& name, bool merge);

// A cut of the current file, range in milliseconds as the time fields give them (not checked: the
// engine does with an empty range what the video engine does). The output is named after the current
// file (or `name` when not empty) with the current file's extension, made unique (`song(0).mp3`,
// ...); a current file without extension gives no output path, and the job's input then fails. A
// file named .mp3 whose audio is AAC or MP2 (`probe`, the audio probe's) keeps its .mp3 name and gets
// the container of its real codec. Refusals: kNoFile, the folder check's. The progress display
// counts 1 file.
JobRefusal BuildAudioCutJob(const std::string& current_file, const ProbeResult& probe, int32_t start_ms,
                            int32_t end_ms, const std::string& output_folder, const std::string& name,
                            JobRequest* request);

// One file a merge takes, with the range its list row shows.
struct AudioMergeInput {
    std::string path;  // UTF-8
    int32_t start_ms = 0;
    int32_t end_ms = 0;
};

// A merge of the inputs, in order, into one MP3 named after the first (or `name` when not empty);
// merge_total_s sums end - start in whole seconds. The progress display counts every input.
// Refusals, in this order: kNoFile (none), kTooFewFiles, kTooManyFiles, the folder check's, kSilent
// (an input's file name without an extension), and with settings.copy kCannotCopy when the files
// cannot be joined frame for frame (`copy_check`, may be null, then says which file and why).
JobRefusal BuildAudioMergeJob(const std::vector<AudioMergeInput>& inputs, const AudioOutputSettings& settings,
                              const std::string& output_folder, const std::string& name, JobRequest* request,
                              Mp3JoinCheck* copy_check = nullptr);
