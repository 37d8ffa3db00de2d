#pragma once
// What Taviro's cut and merge commands do once their settings dialog is confirmed: turn the chosen
// settings, the input files and the output choice into a job request. UI-free, so the window and
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
#include "jobs/job_refusal.h"
#include "jobs/output_presets.h"

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/rational.h>
}

// What the settings dialog leaves for the cut or merge command (each window keeps one of each), as
// numbers in the units of the job fields (bits per second, pixels, Hz) and codec ids.
struct JobSettings {
    bool direct = false;
    bool exact = false;                         // a direct cut starts and ends exactly at the chosen times
    int32_t video_codec_id = AV_CODEC_ID_NONE;  // none keeps the request's
    int32_t audio_codec_id = AV_CODEC_ID_NONE;
    int32_t video_bit_rate = 0;
    int32_t width = 0;
    int32_t height = 0;
    AVRational frame_rate{0, 1};  // one of kOutputFrameRates; 0/1: the input's own rate
    int32_t audio_bit_rate = 0;
    int32_t sample_rate = 0;
    int32_t channels = 2;
};

// The merge settings the main window starts with.
JobSettings DefaultMergeSettings();

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
