#include "engine/job_builder.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "engine/presets.h"

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

// Where the file name starts: after the last "/".
size_t FileNameStart(std::string_view path) {
    size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? 0 : slash + 1;
}

// The position of the extension's "." within the file name part, or npos.
size_t ExtensionDot(std::string_view path) {
    size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || dot < FileNameStart(path)) return std::string_view::npos;
    return dot;
}

}  // namespace

std::string FileExtension(std::string_view path) {
    size_t dot = ExtensionDot(path);
    return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot));
}

std::string DefaultOutputName(std::string_view path) {
    size_t start = FileNameStart(path);
    size_t dot = ExtensionDot(path);
    return std::string(
        path.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
}

std::string SanitizeOutputName(std::string_view name) {
    std::string out;
    for (char c : name)
        if (std::string_view("/\\:*?<>|@").find(c) == std::string_view::npos) out += c;
    return out;
}

std::string ComposeOutputPath(std::string_view folder, std::string_view name, std::string_view extension) {
    std::string path(folder);
    if (path.empty() || path.back() != '/') path += '/';
    path += name;
    path += extension;
    return path;
}

namespace {
bool NameTaken(const std::string& path) {
    std::error_code ec;
    // symlink_status: a dangling link still occupies the name, and writing through it would land
    // somewhere else.
    return fs::symlink_status(path, ec).type() != fs::file_type::not_found;
}
}  // namespace

std::string UniqueOutputPath(const std::string& path) {
    if (!NameTaken(path)) return path;
    size_t dot = ExtensionDot(path);
    std::string stem = dot == std::string::npos ? path : path.substr(0, dot);
    std::string extension = dot == std::string::npos ? std::string() : path.substr(dot);
    for (unsigned long n = 0;; ++n) {
        std::string candidate = stem + "(" + std::to_string(n) + ")" + extension;
        if (!NameTaken(candidate)) return candidate;
    }
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

// The output settings every job takes from its settings record. The frame rate differs between the
// two commands and is set by the caller.
void ApplyOutputSettings(const JobSettings& settings, ConvertJob& job) {
    SetCodecIdByName(settings.video_codec_name, &job.output_video_codec_id);
    SetCodecIdByName(settings.audio_codec_name, &job.output_audio_codec_id);
    job.output_video_bit_rate = settings.video_bit_rate;
    job.output_height = settings.height;
    job.output_width = settings.width;
    job.output_audio_bit_rate = settings.audio_bit_rate;
    job.output_channels = settings.channels;
    job.output_sample_rate = settings.sample_rate;
}

void ResetProgress(ConvertJob& job) {
    job.current_file = -1;
    job.cancel_requested = false;
    job.percent = 0;
}

}  // namespace

JobRefusal BuildCutJob(const CutRequest& request, const JobSettings& settings, const OutputChoice& output,
                       ConvertJob& job) {
    if (request.input_path.empty()) return JobRefusal::kNoFile;
    if (JobRefusal r = CheckOutputFolder(output.folder); r != JobRefusal::kNone) return r;

    std::string extension = settings.direct ? FileExtension(request.input_path) : output.extension;
    std::string output_path = UniqueOutputPath(ComposeOutputPath(output.folder, output.name, extension));

    job.file_count = 1;
    job.ui_file_total = 0;
    job.input_paths = {request.input_path};
    job.output_paths = {output_path};
    job.range_start_s[0] = request.start_ms / 1000.0;
    job.range_length_s[0] = request.end_ms / 1000.0 - request.start_ms / 1000.0;
    job.reencode = !settings.direct;
    job.merge_mode = false;

    ApplyOutputSettings(settings, job);
    job.output_frame_rate = FrameRateFromText(settings.frame_rate_text);  // 0: the input's own rate
    job.output_channels = 2;                                              // a cut always gives stereo
    ResetProgress(job);
    return JobRefusal::kNone;
}

std::string FormatColumnText(std::string_view path) {
    size_t dot = path.rfind('.');
    return std::string(dot == std::string_view::npos ? path : path.substr(dot + 1));
}

MergeItem MergeItemFromProbe(const std::string& path, const ConvertJob& job) {
    MergeItem item;
    item.path = path;
    item.format_text = FormatColumnText(path);
    item.size_text = std::to_string(job.input_width) + "*" + std::to_string(job.input_height);
    int64_t duration_ms = job.duration_us / 1000;
    item.duration_ms = duration_ms > INT32_MAX ? INT32_MAX
                       : duration_ms < 0       ? 0
                                               : static_cast<int32_t>(duration_ms);
    item.video_codec_id = job.output_video_codec_id;
    item.audio_codec_id = job.output_audio_codec_id;
    item.sample_rate = job.output_sample_rate;
    item.channels = job.output_channels;
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
                         const OutputChoice& output, ConvertJob& job) {
    if (items.empty()) return JobRefusal::kNoFile;
    if (items.size() < 2) return JobRefusal::kTooFewFiles;
    if (items.size() > static_cast<size_t>(MAX_JOB_FILES)) return JobRefusal::kTooManyFiles;
    if (settings.direct && !SameFormatForDirectMerge(items)) return JobRefusal::kNotSameFormat;
    if (JobRefusal r = CheckOutputFolder(output.folder); r != JobRefusal::kNone) return r;

    const int count = static_cast<int>(items.size());
    job.file_count = count;
    job.ui_file_total = count;
    job.input_paths.assign(count, {});
    job.output_paths.assign(count, {});
    job.merge_total_s = 0;
    for (int v = 0; v < count; ++v) {
        const MergeItem& item = items[v];
        job.input_paths[v] = item.path;
        // Truncated file by file, so the fractions of the durations are lost one by one.
        job.merge_total_s = static_cast<int32_t>(job.merge_total_s + item.duration_ms / 1000.0);
        std::string extension = settings.direct ? FileExtension(item.path) : output.extension;
        job.output_paths[v] = UniqueOutputPath(ComposeOutputPath(output.folder, output.name, extension));
    }
    job.reencode = !settings.direct;
    job.merge_mode = true;

    ApplyOutputSettings(settings, job);
    if (double rate = FrameRateFromText(settings.frame_rate_text); rate != 0) job.output_frame_rate = rate;
    ResetProgress(job);
    return JobRefusal::kNone;
}
