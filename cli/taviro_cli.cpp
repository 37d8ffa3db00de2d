// taviro-cli: the video tool's engine from the command line, for batch use, scripting and tests.
//
// Exit status: 0 every file done, 1 a file failed (or no preview picture), 2 a usage error or a
// refused job, 130 stopped by Ctrl-C (the job is finished the way the Stop button finishes it).

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
}

#include "cli/cli_job_runner.h"
#include "cli/cli_shell.h"
#include "cli/input_problem.h"
#include "common/setting_texts.h"
#include "engine/convert_engine.h"
#include "engine/preview.h"
#include "engine/probe.h"
#include "jobs/video_jobs.h"

namespace {

using cli::kExitFailed;
using cli::kExitOk;
using cli::kExitUsage;

const cli::Shell kShell("taviro-cli", MediaKind::kVideo);

const char kUsage[] =
    "usage: taviro-cli COMMAND ...\n"
    "\n"
    "commands:\n"
    "  probe FILE\n"
    "      print what the media probe reads from FILE, one key=value a line\n"
    "  cut FILE --from HH:MM:SS.mmm --to HH:MM:SS.mmm --out-dir DIR [--name NAME]\n"
    "      [--direct [--exact] | --preset N --video-quality \"1500 kbps\" --size \"320*240\"\n"
    "       --frame-rate \"29.97 fps\" --audio-quality \"128 kbps\" --sample-rate \"44100 Hz\"]\n"
    "      cut the range out of FILE into DIR; --from defaults to the start, --to to the end;\n"
    "      --direct --exact starts and ends at the chosen times, re-encoding only up to the\n"
    "      nearest key frames (H.264; other video is cut at the key frames, with the reason)\n"
    "  merge FILE FILE... --out-dir DIR [--name NAME] [--direct | the preset options of cut,\n"
    "      plus --channels \"2 Channel Stereo\"]\n"
    "      join the files in order into one file in DIR\n"
    "  preview FILE --at SECONDS --out FILE.bmp\n"
    "      write the picture at SECONDS as a 640x360 24-bit BMP (a new file)\n"
    "  --help\n"
    "      show this text\n"
    "\n"
    "A cut is named after its input and a merge after its first input unless --name is given; an\n"
    "existing file is never overwritten: clip.mp4 becomes clip(0).mp4, clip(1).mp4, ...\n"
    "Without --direct the job re-encodes. The preset options default to the first item of each list:\n"
    "preset 0, \"1500 kbps\", \"320*240\", the source's own frame rate (\"source\"), \"32 kbps\",\n"
    "\"22050 Hz\", and for a merge \"2 Channel Stereo\". Presets:\n";

const char* CodecName(int32_t id) {
    return id == AV_CODEC_ID_NONE ? "none" : avcodec_get_name(static_cast<AVCodecID>(id));
}

void PrintUsage(FILE* out) {
    std::fputs(kUsage, out);
    for (int i = 0; i < OUTPUT_PRESET_COUNT; ++i)
        std::fprintf(out, "  %d  %s\n", i, kOutputPresets[i].entry_text);
    std::fputs(
        "\nThe chosen output path goes to standard output, the progress to standard error.\n"
        "Exit status: 0 done, 1 a file failed, 2 usage error or refused job, 130 stopped by Ctrl-C.\n",
        out);
}

// What a failed probe's code means.
const char* ProbeResultText(int result) {
    switch (result) {
        case PROBE_STREAM_INFO_FAILED:
            return "its streams cannot be read";
        case PROBE_NO_VIDEO_DECODER:
            return "no decoder exists for its video";
        case PROBE_VIDEO_OPEN_FAILED:
            return "its video decoder cannot be opened";
        default:
            return "it is not a media file this program can read";
    }
}

int Probe(const std::vector<std::string>& args) {
    cli::Options options;
    std::string error = cli::ParseOptions(args, {{}, {}}, &options);
    if (!error.empty() || options.files.size() != 1) {
        std::fputs("usage: taviro-cli probe FILE\n", stderr);
        return kExitUsage;
    }
    const std::string& path = options.files[0];
    const ProbeResult probe = ProbeMediaFile(path);
    if (probe.result != PROBE_OK) {
        std::fprintf(stderr, "taviro-cli: probe failed: %d: %s: %s\n", probe.result, path.c_str(),
                     ProbeProblem(path, ProbeResultText(probe.result)).c_str());
        return 1;
    }
    // A file read as media that holds nothing to cut, or whose length is unknown, is no media file.
    const char* problem = probe.video_stream_index < 0 && probe.audio_stream_index < 0
                              ? "it holds neither video nor audio"
                          : probe.duration_us < 0 ? "its length cannot be read"
                                                  : nullptr;
    if (problem) {
        std::fprintf(stderr, "taviro-cli: probe failed: %s: %s\n", path.c_str(), problem);
        return 1;
    }
    std::printf("result=%d\n", probe.result);
    std::printf("video_stream_index=%d\n", probe.video_stream_index);
    std::printf("audio_stream_index=%d\n", probe.audio_stream_index);
    std::printf("video_codec=%s\n", CodecName(probe.video_codec_id));
    std::printf("audio_codec=%s\n", CodecName(probe.audio_codec_id));
    std::printf("width=%d\n", probe.width);
    std::printf("height=%d\n", probe.height);
    std::printf("frame_rate=%d/%d\n", probe.frame_rate_num, probe.frame_rate_den);
    std::printf("input_frame_rate=%lld\n", static_cast<long long>(probe.frame_rate));
    std::printf("video_bit_rate=%d\n", probe.video_bit_rate);
    std::printf("audio_bit_rate=%d\n", probe.audio_bit_rate);
    std::printf("sample_rate=%d\n", probe.sample_rate);
    std::printf("channels=%d\n", probe.channels);
    std::printf("duration_us=%lld\n", static_cast<long long>(probe.duration_us));
    return 0;
}

// ---- options ----

const std::vector<std::string> kPresetOptions = {"--preset",     "--video-quality", "--size",
                                                 "--frame-rate", "--audio-quality", "--sample-rate"};

// The arguments of a cut or merge: files, the options named, the preset options and --direct.
std::string ParseJobOptions(const std::vector<std::string>& args, std::vector<std::string> values,
                            const std::vector<std::string>& preset_options, cli::Options* options) {
    values.insert(values.end(), preset_options.begin(), preset_options.end());
    std::string error = cli::ParseOptions(args, {values, {"--direct", "--exact"}}, options);
    if (error.empty() && options->Flag("--direct") && options->AnyOf(preset_options))
        error = "--direct takes no preset options";
    if (error.empty() && options->Flag("--exact") && !options->Flag("--direct"))
        error = "--exact goes with --direct";
    return error;
}

// The preset options to the dialog's texts, checked. Returns an error text, or empty.
std::string ReadSettingTexts(const cli::Options& options, bool merge, SettingTexts* texts) {
    texts->direct = options.Flag("--direct");
    if (auto v = options.Value("--preset")) {
        char* end = nullptr;
        long index = std::strtol(v->c_str(), &end, 10);
        if (v->empty() || *end || index < 0 || index >= OUTPUT_PRESET_COUNT)
            return "--preset must be a number from 0 to " + std::to_string(OUTPUT_PRESET_COUNT - 1);
        texts->preset_index = static_cast<int>(index);
    }
    if (auto v = options.Value("--video-quality")) {
        if (BitRateFromText(*v) <= 0) return "--video-quality must read like \"1500 kbps\"";
        texts->video_quality = *v;
    }
    if (auto v = options.Value("--size")) {
        int w = 0, h = 0;
        if (!SizeFromText(*v, &w, &h) || w <= 0 || h <= 0 || w > 8192 || h > 8192 || w % 2 || h % 2)
            return "--size must read like \"320*240\" (even numbers up to 8192)";
        texts->size = *v;
    }
    if (auto v = options.Value("--frame-rate")) {
        if (*v == "source") {
            texts->frame_rate.clear();
        } else {
            if (FrameRateFromText(*v).num == 0) {
                std::string list = "\"source\"";
                for (const char* t : kFrameRateTexts) list += std::string(", \"") + t + "\"";
                return "--frame-rate must be one of " + list;
            }
            texts->frame_rate = *v;
        }
    }
    if (auto v = options.Value("--audio-quality")) {
        if (BitRateFromText(*v) <= 0) return "--audio-quality must read like \"128 kbps\"";
        texts->audio_quality = *v;
    }
    if (auto v = options.Value("--sample-rate")) {
        if (SampleRateFromText(*v) <= 0) return "--sample-rate must read like \"44100 Hz\"";
        texts->sample_rate = *v;
    }
    if (merge) {
        if (auto v = options.Value("--channels")) {
            if (ChannelsFromText(*v) == 0)
                return "--channels must be \"1 Channel Mono\" or \"2 Channel Stereo\"";
            texts->channels = *v;
        }
    }
    return {};
}

// ---- commands ----

int RunJob(const JobRequest& job) {
    return RunJobWithProgress(kShell.program(), job,
                              [&](JobProgress& progress) { RunConvertJob(job, progress); });
}

int Cut(const std::vector<std::string>& args) {
    cli::Options options;
    std::string error =
        ParseJobOptions(args, {"--from", "--to", "--out-dir", "--name"}, kPresetOptions, &options);
    if (!error.empty()) return kShell.UsageError(error);
    if (options.files.size() != 1) return kShell.UsageError("cut takes exactly one FILE");
    auto out_dir = options.Value("--out-dir");
    if (!out_dir) return kShell.UsageError("cut needs --out-dir DIR");
    SettingTexts texts;
    error = ReadSettingTexts(options, false, &texts);
    if (!error.empty()) return kShell.UsageError(error);
    const std::string& input = options.files[0];
    std::string name = kShell.ReadOutputName(options, DefaultOutputName(input), &error);
    if (!error.empty()) return kShell.UsageError(error);

    ProbeResult probe;
    cli::CutRange range;
    if (std::optional<int> status = kShell.ProbeCut(options, input, &probe, &range)) return *status;

    JobSettings settings;
    ApplySettingTexts(texts, &settings);
    OutputChoice output{*out_dir, name, PresetExtension(texts.preset_index)};
    JobRequest job;
    settings.exact = options.Flag("--exact");
    if (JobRefusal r = BuildCutJob({input, range.start_ms, range.end_ms}, settings, output, job);
        r != JobRefusal::kNone)
        return kShell.Refused(r);
    if (ExactCutRefusal r = ConfirmExactCut(job); r != ExactCutRefusal::kNone)
        std::fprintf(stderr, "taviro-cli: %s\n", std::string(ExactFallbackEnglishText(r)).c_str());
    return RunJob(job);
}

int Merge(const std::vector<std::string>& args) {
    cli::Options options;
    std::vector<std::string> preset_options = kPresetOptions;
    preset_options.push_back("--channels");
    std::string error = ParseJobOptions(args, {"--out-dir", "--name"}, preset_options, &options);
    if (!error.empty()) return kShell.UsageError(error);
    if (options.Flag("--exact")) return kShell.UsageError("--exact is for cut only");
    if (options.files.empty()) return kShell.Refused(JobRefusal::kNoFile);
    if (options.files.size() < 2) return kShell.Refused(JobRefusal::kTooFewFiles);
    if (options.files.size() > static_cast<size_t>(MAX_JOB_FILES))
        return kShell.Refused(JobRefusal::kTooManyFiles);
    auto out_dir = options.Value("--out-dir");
    if (!out_dir) return kShell.UsageError("merge needs --out-dir DIR");
    SettingTexts texts;
    error = ReadSettingTexts(options, true, &texts);
    if (!error.empty()) return kShell.UsageError(error);
    std::string name = kShell.ReadOutputName(options, DefaultOutputName(options.files[0]), &error);
    if (!error.empty()) return kShell.UsageError(error);

    std::vector<MergeItem> items;
    for (const std::string& path : options.files) {
        const std::optional<ProbeResult> probe = kShell.ProbeForJob(path);
        if (!probe) return kExitUsage;
        items.push_back(MergeItemFromProbe(path, *probe));
    }
    JobSettings settings;
    ApplySettingTexts(texts, &settings);
    JobRequest job;  // without --frame-rate a merge keeps the source's rate
    OutputChoice output{*out_dir, name, PresetExtension(texts.preset_index)};
    if (JobRefusal r = BuildMergeJob(items, settings, output, job); r != JobRefusal::kNone)
        return kShell.Refused(r);
    return RunJob(job);
}

int Preview(const std::vector<std::string>& args) {
    cli::Options options;
    std::string error = cli::ParseOptions(args, {{"--at", "--out"}, {}}, &options);
    if (!error.empty()) return kShell.UsageError(error);
    if (options.files.size() != 1) return kShell.UsageError("preview takes exactly one FILE");
    auto at = options.Value("--at");
    auto out = options.Value("--out");
    if (!at || !out) return kShell.UsageError("preview needs --at SECONDS and --out FILE.bmp");
    char* end = nullptr;
    double at_s = std::strtod(at->c_str(), &end);
    if (at->empty() || *end || !(at_s >= 0) || at_s > 1e9)
        return kShell.UsageError("--at must be a number of seconds, 0 or more");
    std::error_code ec;
    if (std::filesystem::symlink_status(*out, ec).type() != std::filesystem::file_type::not_found)
        return kShell.UsageError(*out + " exists; choose a new file");

    const std::string& input = options.files[0];
    const PreviewResult result = DecodePreviewFrame({input, at_s, *out, false});
    if (!result.written) {
        if (result.failure == PreviewFailure::kWrite) {
            char reason[AV_ERROR_MAX_STRING_SIZE] = "";
            av_strerror(result.error, reason, sizeof reason);
            std::fprintf(stderr, "taviro-cli: cannot write %s: %s\n", out->c_str(), reason);
        } else {
            std::fprintf(stderr, "taviro-cli: no picture could be decoded from %s: %s\n", input.c_str(),
                         ProbeProblem(input, "it holds no video this program can decode").c_str());
        }
        return kExitFailed;
    }
    // Another preview may have taken the name meanwhile: the name actually written.
    std::printf("%s\n", result.written_path.c_str());
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    av_log_set_level(AV_LOG_QUIET);
    return kShell.Main(argc, argv, {{"probe", Probe}, {"cut", Cut}, {"merge", Merge}, {"preview", Preview}},
                       PrintUsage);
}
