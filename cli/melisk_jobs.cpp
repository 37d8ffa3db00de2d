// melisk-cli probe | cut | merge. Exit status: 0 every file done, 1 a file failed (or the probe
// failed), 2 a usage error or a refused job, 130 stopped by Ctrl-C.
#include "cli/melisk_jobs.h"

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "cli/cli_job_runner.h"
#include "common/setting_texts.h"
#include "common/time_text.h"
#include "engine/audio_job.h"
#include "engine/output_names.h"
#include "engine/probe.h"
#include "jobs/audio_jobs.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr char kProgram[] = "melisk-cli";

// The output settings dialog's lists.
constexpr std::array<const char*, 8> kQualityTexts = {"32 kbps",  "64 kbps",  "96 kbps",  "128 kbps",
                                                      "160 kbps", "192 kbps", "256 kbps", "320 kbps"};
constexpr std::array<const char*, 4> kSampleRateTexts = {"44100 Hz", "48000 Hz", "22050 Hz", "32000 Hz"};
constexpr std::array<const char*, 2> kChannelTexts = {"1 Channel Mono", "2 Channel Stereo"};

int UsageError(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n(see %s --help)\n", kProgram, message.c_str(), kProgram);
    return kExitUsage;
}

// Which file keeps a join without re-encoding from starting, and why.
std::string CopyRefusalText(const Mp3JoinCheck& check) {
    std::string why;
    switch (check.problem) {
        case Mp3JoinProblem::kUnreadable:
            why = "it is not an MP3 file";
            break;
        case Mp3JoinProblem::kSampleRate:
            why = "its sample rate is " + std::to_string(check.value) + " Hz, the first file's " +
                  std::to_string(check.expected) + " Hz";
            break;
        case Mp3JoinProblem::kChannels:
            why = "it has " + std::to_string(check.value) + " channel(s), the first file " +
                  std::to_string(check.expected);
            break;
        case Mp3JoinProblem::kNone:
            break;
    }
    return "The files cannot be joined without re-encoding: " + check.path + ": " + why +
           ". Leave out --copy to re-encode them.";
}

int Refused(JobRefusal refusal) {
    std::fprintf(stderr, "%s: %s\n", kProgram,
                 std::string(RefusalEnglishText(refusal, MediaKind::kAudio)).c_str());
    return kExitUsage;
}

struct Options {
    std::vector<std::string> files;
    std::map<std::string, std::string> values;
    std::vector<std::string> flags;
    bool Has(const std::string& flag) const {
        return std::find(flags.begin(), flags.end(), flag) != flags.end();
    }
};

// Files, "--option value" pairs and "--flag"s; an error text, or empty.
std::string ParseOptions(int argc, char** argv, const std::vector<std::string>& known, Options* options,
                         const std::vector<std::string>& known_flags = {}) {
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--") {
            for (++i; i < argc; ++i) options->files.push_back(argv[i]);
            break;
        }
        if (std::find(known_flags.begin(), known_flags.end(), arg) != known_flags.end()) {
            if (options->Has(arg)) return "option " + arg + " given twice";
            options->flags.push_back(arg);
            continue;
        }
        if (std::find(known.begin(), known.end(), arg) != known.end()) {
            if (i + 1 >= argc) return "option " + arg + " needs a value";
            if (options->values.count(arg)) return "option " + arg + " given twice";
            options->values[arg] = argv[++i];
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-') return "unknown option " + arg;
        options->files.push_back(arg);
    }
    return {};
}

std::optional<std::string> Value(const Options& options, const std::string& name) {
    auto it = options.values.find(name);
    if (it == options.values.end()) return std::nullopt;
    return it->second;
}

template <size_t N>
std::string OneOf(const std::string& option, const std::array<const char*, N>& texts) {
    std::string list;
    for (const char* t : texts) list += std::string(list.empty() ? "\"" : ", \"") + t + "\"";
    return option + " must be one of " + list;
}

template <size_t N>
bool Listed(const std::string& text, const std::array<const char*, N>& texts) {
    return std::find_if(texts.begin(), texts.end(), [&](const char* t) { return text == t; }) != texts.end();
}

// --name with the characters the dialogs remove taken out; empty when not given.
std::string ReadName(const Options& options, std::string* error) {
    auto v = Value(options, "--name");
    if (!v) return {};
    std::string name = SanitizeOutputName(*v);
    if (name.empty() || name == "." || name == "..") *error = "the output name is empty or not usable";
    return name;
}

ProbeResult ProbeForJob(const std::string& path, bool* ok) {
    ProbeResult probe = ProbeAudioFile(path);
    *ok = probe.result == 0 && probe.duration_us >= 0;
    if (!*ok)
        std::fprintf(stderr,
                     "%s: The file %s cannot be opened. It is not an audio file this program can read.\n",
                     kProgram, path.c_str());
    return probe;
}

int Run(const JobRequest& request) {
    auto progress = std::make_unique<JobProgress>();
    progress->Reset(request.FileCount(), request.merge ? request.FileCount() : 1);
    return RunJobWithProgress(kProgram, request, *progress, [&] { RunAudioJob(request, *progress); });
}

int Probe(int argc, char** argv) {
    if (argc != 3) return UsageError("probe takes exactly one FILE");
    ProbeResult p = ProbeAudioFile(argv[2]);
    std::printf("result=%d\n", p.result);
    if (p.result != 0) return kExitFailed;
    std::printf("audio_stream_index=%d\n", p.audio_stream_index);
    std::printf("video_stream_index=%d\n", p.video_stream_index);
    std::printf("audio_codec=%s\n", p.audio_codec_id == AV_CODEC_ID_NONE
                                        ? ""
                                        : avcodec_get_name(static_cast<AVCodecID>(p.audio_codec_id)));
    std::printf("bit_rate=%d\n", p.audio_bit_rate);
    std::printf("sample_rate=%d\n", p.sample_rate);
    std::printf("channels=%d\n", p.channels);
    std::printf("duration_us=%lld\n", static_cast<long long>(p.duration_us));
    std::printf("aac_in_mp3=%d\n", p.aac_in_mp3 ? 1 : 0);
    std::printf("mp2_in_mp3=%d\n", p.mp2_in_mp3 ? 1 : 0);
    return 0;
}

int Cut(int argc, char** argv) {
    Options options;
    std::string error = ParseOptions(argc, argv, {"--from", "--to", "--out-dir", "--name"}, &options);
    if (!error.empty()) return UsageError(error);
    if (options.files.size() != 1) return UsageError("cut takes exactly one FILE");
    auto out_dir = Value(options, "--out-dir");
    if (!out_dir) return UsageError("cut needs --out-dir DIR");
    std::string name = ReadName(options, &error);
    if (!error.empty()) return UsageError(error);
    const std::string& input = options.files[0];

    bool ok = false;
    ProbeResult probe = ProbeForJob(input, &ok);
    if (!ok) return kExitUsage;
    int64_t duration_ms = probe.duration_us / 1000;
    int32_t start_ms = 0;
    int32_t end_ms = duration_ms > INT32_MAX ? INT32_MAX : static_cast<int32_t>(duration_ms);
    if (auto v = Value(options, "--from")) {
        auto ms = ParseTimeText(*v);
        if (!ms) return UsageError("--from must read like 00:01:02.500");
        start_ms = *ms;
    }
    if (auto v = Value(options, "--to")) {
        auto ms = ParseTimeText(*v);
        if (!ms) return UsageError("--to must read like 00:01:02.500");
        end_ms = *ms;
    }
    if (end_ms <= start_ms) return UsageError("the end of the range must lie after its start");
    if (start_ms >= duration_ms) return UsageError("the range starts after the end of the file");

    JobRequest request;
    if (JobRefusal r = BuildAudioCutJob(input, probe, start_ms, end_ms, *out_dir, name, &request);
        r != JobRefusal::kNone)
        return Refused(r);
    return Run(request);
}

int Merge(int argc, char** argv) {
    Options options;
    std::string error =
        ParseOptions(argc, argv, {"--out-dir", "--name", "--audio-quality", "--sample-rate", "--channels"},
                     &options, {"--copy"});
    if (!error.empty()) return UsageError(error);
    auto out_dir = Value(options, "--out-dir");
    if (!out_dir) return UsageError("merge needs --out-dir DIR");
    AudioOutputSettings settings;
    settings.copy = options.Has("--copy");
    if (settings.copy) {
        for (const char* option : {"--audio-quality", "--sample-rate", "--channels"})
            if (Value(options, option)) return UsageError(std::string("--copy takes no ") + option);
    }
    if (auto v = Value(options, "--audio-quality")) {
        if (!Listed(*v, kQualityTexts)) return UsageError(OneOf("--audio-quality", kQualityTexts));
        settings.bit_rate = BitRateFromText(*v);
    }
    if (auto v = Value(options, "--sample-rate")) {
        if (!Listed(*v, kSampleRateTexts)) return UsageError(OneOf("--sample-rate", kSampleRateTexts));
        settings.sample_rate = SampleRateFromText(*v);
    }
    if (auto v = Value(options, "--channels")) {
        if (!Listed(*v, kChannelTexts)) return UsageError(OneOf("--channels", kChannelTexts));
        settings.channels = ChannelsFromText(*v);
    }
    std::string name = ReadName(options, &error);
    if (!error.empty()) return UsageError(error);

    // Every file with its whole length as the range.
    std::vector<AudioMergeInput> inputs;
    if (options.files.size() <= static_cast<size_t>(MAX_JOB_FILES)) {
        for (const std::string& path : options.files) {
            bool ok = false;
            ProbeResult probe = ProbeForJob(path, &ok);
            if (!ok) return kExitUsage;
            int64_t ms = std::min<int64_t>(probe.duration_us / 1000, INT32_MAX);
            inputs.push_back({path, 0, static_cast<int32_t>(ms)});
        }
    } else {
        for (const std::string& path : options.files) inputs.push_back({path, 0, 0});
    }
    JobRequest request;
    Mp3JoinCheck check;
    JobRefusal r = BuildAudioMergeJob(inputs, settings, *out_dir, name, &request, &check);
    if (r == JobRefusal::kCannotCopy) {
        std::fprintf(stderr, "%s: %s\n", kProgram, CopyRefusalText(check).c_str());
        return kExitUsage;
    }
    if (r != JobRefusal::kNone) return Refused(r);
    return Run(request);
}

}  // namespace

bool IsMeliskJobCommand(std::string_view command) {
    return command == "probe" || command == "cut" || command == "merge";
}

int RunMeliskJobCommand(int argc, char** argv) {
    std::string_view command = argv[1];
    if (command == "probe") return Probe(argc, argv);
    if (command == "cut") return Cut(argc, argv);
    return Merge(argc, argv);
}

void PrintMeliskJobsUsage(FILE* out) {
    std::fputs(
        "  probe FILE\n"
        "      print what the audio probe reads from FILE, one key=value a line\n"
        "  cut FILE --from HH:MM:SS.mmm --to HH:MM:SS.mmm --out-dir DIR [--name NAME]\n"
        "      copy the range of FILE, without re-encoding, into a new file of its type in DIR;\n"
        "      --from defaults to the start, --to to the end\n"
        "  merge FILE FILE... --out-dir DIR [--name NAME] [--audio-quality \"128 kbps\"]\n"
        "      [--sample-rate \"44100 Hz\"] [--channels \"2 Channel Stereo\"]\n"
        "      decode the files and join them in order into one MP3 file in DIR\n"
        "  merge FILE FILE... --copy --out-dir DIR [--name NAME]\n"
        "      join MP3 files of one sample rate and channel count frame for frame, without\n"
        "      re-encoding (refused, naming the first file that differs, when they do not agree)\n",
        out);
}
