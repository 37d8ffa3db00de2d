#include "videotool/job_builder.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "videotool/output_presets.h"

namespace fs = std::filesystem;

std::string_view RefusalMessageKey(JobRefusal refusal) {
    switch (refusal) {
        case JobRefusal::kNoFile:
            return "qxtjsp";
        case JobRefusal::kTooFewFiles:
            return "zslgwj";
        case JobRefusal::kNotSameFormat:
            return "bnzjhb";
        case JobRefusal::kOutputFolderMissing:
            return "mlbcz";
        case JobRefusal::kOutputNameRefused:
            return "mcbky";
        default:
            return {};
    }
}

std::string_view RefusalEnglishText(JobRefusal refusal) {
    switch (refusal) {
        case JobRefusal::kNone:
            return {};
        case JobRefusal::kNoFile:
            return "Please add a video first.";
        case JobRefusal::kTooFewFiles:
            return "Please check at least two videos to merge.";
        case JobRefusal::kNotSameFormat:
            return "These videos cannot be merged directly. Please choose the indirect merge.";
        case JobRefusal::kTooManyFiles:
            return "At most 999 videos can be merged at once.";
        case JobRefusal::kOutputFolderMissing:
            return "The output folder does not exist. Please choose another folder.";
        case JobRefusal::kOutputFolderNotWritable:
            return "The output file cannot be created in this folder. Please choose another folder.";
        case JobRefusal::kOutputNameRefused:
            return "The output name cannot be used (too long or not allowed). Please choose a shorter name.";
    }
    return {};
}

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
    s.video_codec_name = "MPEG4";
    s.audio_codec_name = "AAC";
    s.video_bit_rate = 3000000;
    s.width = 320;
    s.height = 240;
    s.frame_rate_text = "29.97 fps";
    s.audio_bit_rate = 192000;
    s.sample_rate = 44100;
    s.channels = 2;
    return s;
}

void ApplySettingTexts(const SettingTexts& texts, JobSettings* settings) {
    settings->direct = texts.direct;
    settings->exact = texts.exact;
    if (texts.preset_index >= 0 && texts.preset_index < OUTPUT_PRESET_COUNT) {
        settings->video_codec_name = kOutputPresets[texts.preset_index].video_codec_name;
        settings->audio_codec_name = kOutputPresets[texts.preset_index].audio_codec_name;
    }
    settings->video_bit_rate = BitRateFromText(texts.video_quality);
    SizeFromText(texts.size, &settings->width, &settings->height);
    settings->frame_rate_text = texts.frame_rate;
    settings->audio_bit_rate = BitRateFromText(texts.audio_quality);
    settings->sample_rate = SampleRateFromText(texts.sample_rate);
    if (texts.channels == "1 Channel Mono")
        settings->channels = 1;
    else if (texts.channels == "2 Channel Stereo")
        settings->channels = 2;
    else if (texts.channels == "5.1 Channel")
        settings->channels = 6;
}

std::string PresetExtension(int preset_index) {
    if (preset_index < 0 || preset_index >= OUTPUT_PRESET_COUNT) return {};
    return ExtensionFromEntryText(kOutputPresets[preset_index].entry_text);
}

namespace {

JobRefusal CheckOutputFolder(const std::string& folder) {
    std::error_code ec;
    if (folder.empty() || !fs::is_directory(folder, ec)) return JobRefusal::kOutputFolderMissing;
    if (access(folder.c_str(), W_OK | X_OK) != 0) return JobRefusal::kOutputFolderNotWritable;
    return JobRefusal::kNone;
}

void SetCodecIdByName(const std::string& name, int32_t* field) {
    AVCodecID id = CodecIdFromName(name);
    if (id != AV_CODEC_ID_NONE) *field = id;
}

// The output parameters every job takes from its settings record. The frame rate differs between the
// two commands and is set by the caller.
void ApplyOutputSettings(const JobSettings& settings, OutputParameters& out) {
    SetCodecIdByName(settings.video_codec_name, &out.video_codec_id);
    SetCodecIdByName(settings.audio_codec_name, &out.audio_codec_id);
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
    job.output.frame_rate = FrameRateFromText(settings.frame_rate_text);  // 0: the input's own rate
    job.output.channels = 2;                                              // a cut always gives stereo
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
    if (double rate = FrameRateFromText(settings.frame_rate_text); rate != 0) job.output.frame_rate = rate;
    return JobRefusal::kNone;
}
