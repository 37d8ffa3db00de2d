// taviro-cli: the video tool's engine from the command line, for batch use, scripting and tests.
//
// Exit status: 0 every file done, 1 a file failed (or no preview picture), 2 a usage error or a
// refused job, 130 stopped by Ctrl-C (the job is finished the way the Stop button finishes it).

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
}

#include "cli/cli_job_runner.h"
#include "common/setting_texts.h"
#include "common/time_text.h"
#include "engine/convert_engine.h"
#include "engine/preview.h"
#include "engine/probe.h"
#include "jobs/video_jobs.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

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

int UsageError(const std::string& message) {
    std::fprintf(stderr, "taviro-cli: %s\n(see taviro-cli --help)\n", message.c_str());
    return kExitUsage;
}

int Probe(const char* path) {
    const ProbeResult probe = ProbeMediaFile(path);
    if (probe.result != PROBE_OK) {
        std::fprintf(stderr, "probe failed: %d\n", probe.result);
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

struct Options {
    std::vector<std::string> files;
    std::map<std::string, std::string> values;  // "--from" -> text
    bool direct = false;
    bool exact = false;
    bool has_preset_option = false;
};

// Splits the arguments after the command into files and options. Returns an error text, or empty.
std::string ParseOptions(int argc, char** argv, const std::vector<std::string>& value_options,
                         bool allow_direct, const std::vector<std::string>& preset_options,
                         Options* options) {
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--direct" && allow_direct) {
            options->direct = true;
            continue;
        }
        if (arg == "--exact" && allow_direct) {
            options->exact = true;
            continue;
        }
        bool takes_value = std::find(value_options.begin(), value_options.end(), arg) != value_options.end();
        bool is_preset = std::find(preset_options.begin(), preset_options.end(), arg) != preset_options.end();
        if (takes_value || is_preset) {
            if (i + 1 >= argc) return "option " + arg + " needs a value";
            if (options->values.count(arg)) return "option " + arg + " given twice";
            options->values[arg] = argv[++i];
            options->has_preset_option |= is_preset;
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-' && arg != "--") return "unknown option " + arg;
        if (arg == "--") {
            for (++i; i < argc; ++i) options->files.push_back(argv[i]);
            break;
        }
        options->files.push_back(arg);
    }
    if (options->direct && options->has_preset_option) return "--direct takes no preset options";
    if (options->exact && !options->direct) return "--exact goes with --direct";
    return {};
}

std::optional<std::string> Value(const Options& options, const std::string& name) {
    auto it = options.values.find(name);
    if (it == options.values.end()) return std::nullopt;
    return it->second;
}

// The preset options to the dialog's texts, checked. Returns an error text, or empty.
std::string ReadSettingTexts(const Options& options, bool merge, SettingTexts* texts) {
    texts->direct = options.direct;
    texts->exact = options.exact;
    if (auto v = Value(options, "--preset")) {
        char* end = nullptr;
        long index = std::strtol(v->c_str(), &end, 10);
        if (v->empty() || *end || index < 0 || index >= OUTPUT_PRESET_COUNT)
            return "--preset must be a number from 0 to " + std::to_string(OUTPUT_PRESET_COUNT - 1);
        texts->preset_index = static_cast<int>(index);
    }
    if (auto v = Value(options, "--video-quality")) {
        if (BitRateFromText(*v) <= 0) return "--video-quality must read like \"1500 kbps\"";
        texts->video_quality = *v;
    }
    if (auto v = Value(options, "--size")) {
        int w = 0, h = 0;
        if (!SizeFromText(*v, &w, &h) || w <= 0 || h <= 0 || w > 8192 || h > 8192 || w % 2 || h % 2)
            return "--size must read like \"320*240\" (even numbers up to 8192)";
        texts->size = *v;
    }
    if (auto v = Value(options, "--frame-rate")) {
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
    if (auto v = Value(options, "--audio-quality")) {
        if (BitRateFromText(*v) <= 0) return "--audio-quality must read like \"128 kbps\"";
        texts->audio_quality = *v;
    }
    if (auto v = Value(options, "--sample-rate")) {
        if (SampleRateFromText(*v) <= 0) return "--sample-rate must read like \"44100 Hz\"";
        texts->sample_rate = *v;
    }
    if (merge) {
        if (auto v = Value(options, "--channels")) {
            if (ChannelsFromText(*v) == 0)
                return "--channels must be \"1 Channel Mono\" or \"2 Channel Stereo\"";
            texts->channels = *v;
        }
    }
    return {};
}

// The output name: --name with the characters the dialogs remove taken out, or the default.
std::string ReadOutputName(const Options& options, const std::string& default_name, std::string* error) {
    std::string name = default_name;
    if (auto v = Value(options, "--name")) name = SanitizeOutputName(*v);
    if (name.empty() || name == "." || name == "..") *error = "the output name is empty or not usable";
    return name;
}

// Probes a file for a job; prints the reason and returns nothing when the file cannot be used.
std::optional<ProbeResult> ProbeForJob(const std::string& path) {
    ProbeResult probe = ProbeMediaFile(path);
    if (probe.result != PROBE_OK || probe.range_start_us < 0 || probe.range_end_us < 0) {
        std::fprintf(
            stderr,
            "taviro-cli: The file %s cannot be opened. It is not a video file this program can read.\n",
            path.c_str());
        return std::nullopt;
    }
    return probe;
}

// ---- running a job ----

// Runs the job on a worker thread; Ctrl-C stops it the way the Stop button does.
int RunJob(const JobRequest& job) {
    JobProgress progress;
    progress.Reset(job.FileCount(), job.merge ? job.FileCount() : 0);
    return RunJobWithProgress("taviro-cli", job, progress, [&] { RunConvertJob(job, progress); });
}

int Refused(JobRefusal refusal) {
    std::fprintf(stderr, "taviro-cli: %s\n",
                 std::string(RefusalEnglishText(refusal, MediaKind::kVideo)).c_str());
    return kExitUsage;
}

const std::vector<std::string> kPresetOptions = {"--preset",     "--video-quality", "--size",
                                                 "--frame-rate", "--audio-quality", "--sample-rate"};

int Cut(int argc, char** argv) {
    Options options;
    std::string error =
        ParseOptions(argc, argv, {"--from", "--to", "--out-dir", "--name"}, true, kPresetOptions, &options);
    if (!error.empty()) return UsageError(error);
    if (options.files.size() != 1) return UsageError("cut takes exactly one FILE");
    auto out_dir = Value(options, "--out-dir");
    if (!out_dir) return UsageError("cut needs --out-dir DIR");
    SettingTexts texts;
    error = ReadSettingTexts(options, false, &texts);
    if (!error.empty()) return UsageError(error);
    const std::string& input = options.files[0];
    std::string name = ReadOutputName(options, DefaultOutputName(input), &error);
    if (!error.empty()) return UsageError(error);

    const std::optional<ProbeResult> probe = ProbeForJob(input);
    if (!probe) return kExitUsage;

    CutRequest request;
    request.input_path = input;
    request.start_ms = 0;
    int64_t duration_ms = probe->duration_us / 1000;
    request.end_ms = duration_ms > INT32_MAX ? INT32_MAX : static_cast<int32_t>(duration_ms);
    if (auto v = Value(options, "--from")) {
        auto ms = ParseTimeText(*v);
        if (!ms) return UsageError("--from must read like 00:01:02.500");
        request.start_ms = *ms;
    }
    if (auto v = Value(options, "--to")) {
        auto ms = ParseTimeText(*v);
        if (!ms) return UsageError("--to must read like 00:01:02.500");
        request.end_ms = *ms;
    }
    if (request.end_ms <= request.start_ms)
        return UsageError("the end of the range must lie after its start");
    if (request.start_ms >= duration_ms) return UsageError("the range starts after the end of the file");

    JobSettings settings;
    ApplySettingTexts(texts, &settings);
    OutputChoice output{*out_dir, name, PresetExtension(texts.preset_index)};
    JobRequest job;
    if (JobRefusal r = BuildCutJob(request, settings, output, job); r != JobRefusal::kNone) return Refused(r);
    if (ExactCutRefusal r = ConfirmExactCut(job); r != ExactCutRefusal::kNone)
        std::fprintf(stderr, "taviro-cli: %s\n", std::string(ExactFallbackEnglishText(r)).c_str());
    return RunJob(job);
}

int Merge(int argc, char** argv) {
    Options options;
    std::vector<std::string> preset_options = kPresetOptions;
    preset_options.push_back("--channels");
    std::string error = ParseOptions(argc, argv, {"--out-dir", "--name"}, true, preset_options, &options);
    if (!error.empty()) return UsageError(error);
    if (options.exact) return UsageError("--exact is for cut only");
    if (options.files.empty()) return Refused(JobRefusal::kNoFile);
    if (options.files.size() < 2) return Refused(JobRefusal::kTooFewFiles);
    if (options.files.size() > static_cast<size_t>(MAX_JOB_FILES)) return Refused(JobRefusal::kTooManyFiles);
    auto out_dir = Value(options, "--out-dir");
    if (!out_dir) return UsageError("merge needs --out-dir DIR");
    SettingTexts texts;
    error = ReadSettingTexts(options, true, &texts);
    if (!error.empty()) return UsageError(error);
    std::string name = ReadOutputName(options, DefaultOutputName(options.files[0]), &error);
    if (!error.empty()) return UsageError(error);

    std::vector<MergeItem> items;
    for (const std::string& path : options.files) {
        const std::optional<ProbeResult> probe = ProbeForJob(path);
        if (!probe) return kExitUsage;
        items.push_back(MergeItemFromProbe(path, *probe));
    }
    JobSettings settings;
    ApplySettingTexts(texts, &settings);
    JobRequest job;  // without --frame-rate a merge keeps the source's rate
    OutputChoice output{*out_dir, name, PresetExtension(texts.preset_index)};
    if (JobRefusal r = BuildMergeJob(items, settings, output, job); r != JobRefusal::kNone) return Refused(r);
    return RunJob(job);
}

int Preview(int argc, char** argv) {
    Options options;
    std::string error = ParseOptions(argc, argv, {"--at", "--out"}, false, {}, &options);
    if (!error.empty()) return UsageError(error);
    if (options.files.size() != 1) return UsageError("preview takes exactly one FILE");
    auto at = Value(options, "--at");
    auto out = Value(options, "--out");
    if (!at || !out) return UsageError("preview needs --at SECONDS and --out FILE.bmp");
    char* end = nullptr;
    double at_s = std::strtod(at->c_str(), &end);
    if (at->empty() || *end || !(at_s >= 0) || at_s > 1e9)
        return UsageError("--at must be a number of seconds, 0 or more");
    std::error_code ec;
    if (std::filesystem::symlink_status(*out, ec).type() != std::filesystem::file_type::not_found)
        return UsageError(*out + " exists; choose a new file");

    if (!DecodePreviewFrame({options.files[0], at_s, *out}).written) {
        std::fprintf(stderr, "taviro-cli: no picture could be decoded from %s\n", options.files[0].c_str());
        return kExitFailed;
    }
    std::printf("%s\n", out->c_str());
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    av_log_set_level(AV_LOG_QUIET);
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        PrintUsage(argc < 2 ? stderr : stdout);
        return argc < 2 ? kExitUsage : kExitOk;
    }
    std::string command = argv[1];
    if (command == "probe") {
        if (argc != 3) {
            std::fputs("usage: taviro-cli probe FILE\n", stderr);
            return kExitUsage;
        }
        return Probe(argv[2]);
    }
    if (command == "cut") return Cut(argc, argv);
    if (command == "merge") return Merge(argc, argv);
    if (command == "preview") return Preview(argc, argv);
    std::fprintf(stderr, "taviro-cli: unknown command '%s'\n\n", argv[1]);
    PrintUsage(stderr);
    return kExitUsage;
}
