#include "jobs/video_jobs.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

ExactCutRefusal ConfirmExactCut(JobRequest& job) {
    if (!job.exact || job.merge || job.reencode || job.inputs.empty()) return ExactCutRefusal::kNone;
    ExactCutRefusal refusal = CheckExactCut(job.inputs[0].path, job.output_path);
    if (refusal != ExactCutRefusal::kNone) job.exact = false;
    return refusal;
}

std::string_view ExactFallbackMessageKey(ExactCutRefusal refusal) {
    switch (refusal) {
        case ExactCutRefusal::kNone:
            return {};
        case ExactCutRefusal::kUnreadable:
            return "jqbkd";
        case ExactCutRefusal::kNotH264:
            return "jqfh264";
        case ExactCutRefusal::kNoEncoder:
            return "jqwbmq";
        case ExactCutRefusal::kPictureFormat:
            return "jqhmgs";
        case ExactCutRefusal::kParameterSets:
            return "jqcsj";
    }
    return {};
}

std::string_view ExactFallbackEnglishText(ExactCutRefusal refusal) {
    switch (refusal) {
        case ExactCutRefusal::kNone:
            return {};
        case ExactCutRefusal::kUnreadable:
            return "The video cannot be read to cut it exactly; it is cut at the nearest key frames instead.";
        case ExactCutRefusal::kNotH264:
            return "Only H.264 video can be cut exactly; this video is cut at the nearest key frames "
                   "instead.";
        case ExactCutRefusal::kNoEncoder:
            return "The H.264 encoder (libx264) is missing; the video is cut at the nearest key frames "
                   "instead.";
        case ExactCutRefusal::kPictureFormat:
            return "The encoder cannot match this video's pictures (pixel format or interlacing); it is cut "
                   "at "
                   "the nearest key frames instead.";
        case ExactCutRefusal::kParameterSets:
            return "This video's stream headers cannot be joined with new ones; it is cut at the nearest key "
                   "frames instead.";
    }
    return {};
}

JobSettings DefaultMergeSettings() {
    JobSettings s;
    s.video_codec_id = AV_CODEC_ID_MPEG4;
    s.audio_codec_id = AV_CODEC_ID_AAC;
    s.video_bit_rate = 3000000;
    s.width = 320;
    s.height = 240;
    s.frame_rate = AVRational{30000, 1001};
    s.audio_bit_rate = 192000;
    s.sample_rate = 44100;
    s.channels = 2;
    return s;
}

namespace {

JobRefusal CheckOutputFolder(const std::string& folder) {
    std::error_code ec;
    if (folder.empty() || !fs::is_directory(folder, ec)) return JobRefusal::kOutputFolderMissing;
    if (access(folder.c_str(), W_OK | X_OK) != 0) return JobRefusal::kOutputFolderNotWritable;
    return JobRefusal::kNone;
}

// The output parameters every job takes from its settings record. The frame rate differs between the
// two commands and is set by the caller.
void ApplyOutputSettings(const JobSettings& settings, OutputParameters& out) {
    if (settings.video_codec_id != AV_CODEC_ID_NONE) out.video_codec_id = settings.video_codec_id;
    if (settings.audio_codec_id != AV_CODEC_ID_NONE) out.audio_codec_id = settings.audio_codec_id;
    out.video_bit_rate = settings.video_bit_rate;
    out.height = settings.height;
    out.width = settings.width;
    out.audio_bit_rate = settings.audio_bit_rate;
    out.channels = settings.channels;
    out.sample_rate = settings.sample_rate;
}

}  // namespace

JobRefusal BuildCutJob(const CutRequest& request, const JobSettings& settings, const OutputChoice& output,
                       JobRequest& job) {
    if (request.input_path.empty()) return JobRefusal::kNoFile;
    if (JobRefusal r = CheckOutputFolder(output.folder); r != JobRefusal::kNone) return r;

    std::string extension = settings.direct ? FileExtension(request.input_path) : output.extension;
    std::string output_path = UniqueOutputPath(ComposeOutputPath(output.folder, output.name, extension));
    if (output_path.empty()) return JobRefusal::kOutputNameRefused;

    JobInput input;
    input.path = request.input_path;
    input.start_s = request.start_ms / 1000.0;
    input.length_s = request.end_ms / 1000.0 - request.start_ms / 1000.0;
    job.inputs = {input};
    job.output_path = output_path;
    job.reencode = !settings.direct;
    job.merge = false;
    job.exact = settings.direct && settings.exact;

    ApplyOutputSettings(settings, job.output);
    job.output.frame_rate = settings.frame_rate;  // 0/1: the input's own rate
    job.output.channels = 2;                      // a cut always gives stereo
    return JobRefusal::kNone;
}

std::string FormatColumnText(std::string_view path) {
    size_t dot = path.rfind('.');
    return std::string(dot == std::string_view::npos ? path : path.substr(dot + 1));
}

MergeItem MergeItemFromProbe(const std::string& path, const ProbeResult& probe) {
    MergeItem item;
    item.path = path;
    item.format_text = FormatColumnText(path);
    item.size_text = std::to_string(probe.width) + "*" + std::to_string(probe.height);
    int64_t duration_ms = probe.duration_us / 1000;
    item.duration_ms = duration_ms > INT32_MAX ? INT32_MAX
                       : duration_ms < 0       ? 0
                                               : static_cast<int32_t>(duration_ms);
    item.video_codec_id = probe.video_codec_id;
    item.audio_codec_id = probe.audio_codec_id;
    item.sample_rate = probe.sample_rate;
    item.channels = probe.channels;
    return item;
}

bool SameFormatForDirectMerge(const std::vector<MergeItem>& items) {
    auto differ = [](int32_t a, int32_t b) { return a != 0 && b != 0 && a != b; };
    for (size_t k = 1; k < items.size(); ++k) {
        const MergeItem& a = items[k - 1];
        const MergeItem& b = items[k];
        if (a.format_text != b.format_text || a.size_text != b.size_text) return false;
        if (differ(a.video_codec_id, b.video_codec_id) || differ(a.audio_codec_id, b.audio_codec_id) ||
            differ(a.sample_rate, b.sample_rate) || differ(a.channels, b.channels))
            return false;
    }
    return true;
}

JobRefusal BuildMergeJob(const std::vector<MergeItem>& items, const JobSettings& settings,
                         const OutputChoice& output, JobRequest& job) {
    if (items.empty()) return JobRefusal::kNoFile;
    if (items.size() < 2) return JobRefusal::kTooFewFiles;
    if (items.size() > static_cast<size_t>(MAX_JOB_FILES)) return JobRefusal::kTooManyFiles;
    if (settings.direct && !SameFormatForDirectMerge(items)) return JobRefusal::kNotSameFormat;
    if (JobRefusal r = CheckOutputFolder(output.folder); r != JobRefusal::kNone) return r;

    // A direct merge keeps the files' own container (they all share its extension).
    std::string extension = settings.direct ? FileExtension(items[0].path) : output.extension;
    std::string output_path = UniqueOutputPath(ComposeOutputPath(output.folder, output.name, extension));
    if (output_path.empty()) return JobRefusal::kOutputNameRefused;
    job.output_path = output_path;
    job.inputs.assign(items.size(), {});
    job.merge_total_s = 0;
    for (size_t v = 0; v < items.size(); ++v) {
        job.inputs[v].path = items[v].path;
        // Truncated file by file, so the fractions of the durations are lost one by one.
        job.merge_total_s = static_cast<int32_t>(job.merge_total_s + items[v].duration_ms / 1000.0);
    }
    job.reencode = !settings.direct;
    job.merge = true;

    ApplyOutputSettings(settings, job.output);
    if (settings.frame_rate.num > 0) job.output.frame_rate = settings.frame_rate;
    return JobRefusal::kNone;
}
