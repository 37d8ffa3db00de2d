#pragma once
// What the cut and merge commands do once their settings dialog is confirmed: turn the chosen
// settings, the input files and the output choice into a job request. UI-free, so the windows and
// taviro-cli build the same jobs. Refusals come back as values; the caller turns them into a message
// (the language file's key, or the English text).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/exact_cut.h"
#include "engine/job_request.h"
#include "engine/output_names.h"
#include "engine/probe.h"

// Why a command starts no job.
enum class JobRefusal {
    kNone = 0,
    kNoFile,                   // "qxtjsp": no file under edit, or an empty merge list
    kTooFewFiles,              // "zslgwj": fewer than two files to merge
    kNotSameFormat,            // "bnzjhb": a direct merge of files that differ
    kTooManyFiles,             // more files than MAX_JOB_FILES
    kOutputFolderMissing,      // "mlbcz"
    kOutputFolderNotWritable,  // the folder exists but no file can be made in it
    kOutputNameRefused,        // the system refuses the output's name (too long, not allowed)
};

// The language file's key (section "TISHI") for a refusal; empty when the message is a fixed text.
std::string_view RefusalMessageKey(JobRefusal refusal);
// The English text of a refusal, for taviro-cli, which has no language file.
std::string_view RefusalEnglishText(JobRefusal refusal);

// The process-wide "cut settings" and "merge settings" records: what the settings dialog leaves for
// the command. Numbers are in the units of the job fields (bits per second, pixels, Hz).
struct JobSettings {
    bool direct = false;
    bool exact = false;            // a direct cut starts and ends exactly at the chosen times
    std::string video_codec_name;  // "MPEG4", "H.264", "FLV", "WMV2"
    std::string audio_codec_name;  // "AAC", "MP3", "WMA8", "VORBIS"
    int32_t video_bit_rate = 0;
    int32_t width = 0;
    int32_t height = 0;
    std::string frame_rate_text;  // a text of the frame-rate table, or anything else for the input's rate
    int32_t audio_bit_rate = 0;
    int32_t sample_rate = 0;
    int32_t channels = 2;
};

// The merge settings the main window starts with.
JobSettings DefaultMergeSettings();

// The selected texts of a settings dialog (or the taviro-cli options); the defaults are the first
// item of each list of the cut settings dialog, with the source's own frame rate.
struct SettingTexts {
    bool direct = true;
    bool exact = false;
    int preset_index = 0;  // 0 to 6; anything else keeps the codec names
    std::string video_quality = "1500 kbps";
    std::string size = "320*240";
    std::string frame_rate;  // empty or a text outside the table: the source's own rate
    std::string audio_quality = "32 kbps";
    std::string sample_rate = "22050 Hz";
    std::string channels = "2 Channel Stereo";
};

// What the dialogs' start buttons put into the settings record: codec names from the preset (kept
// for an index outside the table), numbers by the readers of the preset tables, the size only when
// it reads, the channel count from "1 Channel Mono" / "2 Channel Stereo" / "5.1 Channel" (kept for
// any other text).
void ApplySettingTexts(const SettingTexts& texts, JobSettings* settings);

// The output extension of a preset position (".mp4"); empty outside the table.
std::string PresetExtension(int preset_index);

// The dialog's results: where the output goes. `extension` is the preset's (used when re-encoding;
// a direct job takes the input's own extension).
struct OutputChoice {
    std::string folder;
    std::string name;
    std::string extension;
};

// A cut: the file under edit and the range in milliseconds, as the time fields give it. The end is
// not checked against the start (an empty range gives an output with no media).
struct CutRequest {
    std::string input_path;  // UTF-8; empty: no file under edit
    int32_t start_ms = 0;
    int32_t end_ms = 0;
};

// Fills the request for a cut (one input with its range in seconds, mode, output parameters) and
// chooses the unique output path. On a refusal the job is left untouched.
JobRefusal BuildCutJob(const CutRequest& request, const JobSettings& settings, const OutputChoice& output,
                       JobRequest& job);

// A cut that asks to start and end exactly keeps that wish only where the engine can do it for the
// input and output; otherwise the job becomes a key-frame cut and the reason comes back.
ExactCutRefusal ConfirmExactCut(JobRequest& job);
// The language file's key (section "TISHI") for the reason a cut falls back to the key frames, and
// its English text for taviro-cli.
std::string_view ExactFallbackMessageKey(ExactCutRefusal refusal);
std::string_view ExactFallbackEnglishText(ExactCutRefusal refusal);

// One file of a merge as the merge list shows it, plus what the probe knows of its streams.
struct MergeItem {
    std::string path;         // UTF-8
    std::string format_text;  // list column 1: the extension as typed, without the dot
    std::string size_text;    // list column 3: "width*height"
    int32_t duration_ms = 0;  // list column 2, read back with TextToTime
    // The probed codecs and audio format; 0 when not known (then not compared).
    int32_t video_codec_id = 0;
    int32_t audio_codec_id = 0;
    int32_t sample_rate = 0;
    int32_t channels = 0;
};

// The list columns and stream facts of a file the probe read.
MergeItem MergeItemFromProbe(const std::string& path, const ProbeResult& probe);
// The list's format column for a path: the text after the last "." (the whole path without one).
std::string FormatColumnText(std::string_view path);

// Whether a direct merge may join these files: same format and size columns (exact text) and the
// same known codecs, sample rate and channel count, so that every copied packet fits the streams the
// first file set up.
bool SameFormatForDirectMerge(const std::vector<MergeItem>& items);

// Fills the request for a merge (inputs in order, merge_total_s, mode, output parameters) and chooses
// the unique output path. A request's frame rate already set is kept when the settings name none.
// On a refusal the job is left untouched.
JobRefusal BuildMergeJob(const std::vector<MergeItem>& items, const JobSettings& settings,
                         const OutputChoice& output, JobRequest& job);
