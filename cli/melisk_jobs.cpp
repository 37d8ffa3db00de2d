// melisk-cli probe | cut | merge. Exit status: 0 every file done, 1 a file failed (or the probe
// failed), 2 a usage error or a refused job, 130 stopped by Ctrl-C.
#include "cli/melisk_jobs.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "cli/cli_job_runner.h"
#include "cli/cli_shell.h"
#include "cli/input_problem.h"
#include "common/setting_texts.h"
#include "engine/audio_job.h"
#include "engine/output_names.h"
#include "engine/probe.h"
#include "jobs/audio_jobs.h"

namespace {

using cli::kExitFailed;
using cli::kExitUsage;

const cli::Shell kShell("melisk-cli", MediaKind::kAudio);

// The output settings dialog's lists.
constexpr std::array<const char*, 8> kQualityTexts = {"32 kbps",  "64 kbps",  "96 kbps",  "128 kbps",
                                                      "160 kbps", "192 kbps", "256 kbps", "320 kbps"};
constexpr std::array<const char*, 4> kSampleRateTexts = {"44100 Hz", "48000 Hz", "22050 Hz", "32000 Hz"};
constexpr std::array<const char*, 2> kChannelTexts = {"1 Channel Mono", "2 Channel Stereo"};

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

int Run(const JobRequest& request) {
    return RunJobWithProgress(kShell.program(), request,
                              [&](JobProgress& progress) { RunAudioJob(request, progress); });
}

}  // namespace

int RunMeliskProbe(const std::vector<std::string>& args) {
    cli::Options options;
    std::string error = cli::ParseOptions(args, {{}, {}}, &options);
    if (!error.empty()) return kShell.UsageError(error);
    if (options.files.size() != 1) return kShell.UsageError("probe takes exactly one FILE");
    const std::string& path = options.files[0];
    ProbeResult p = ProbeAudioFile(path);
    std::printf("result=%d\n", p.result);
    // A file read as media whose length is unknown is no audio file either.
    const char* content = p.result != 0       ? "it is not an audio file this program can read"
                          : p.duration_us < 0 ? "its length cannot be read"
                                              : nullptr;
    if (content) {
        std::fprintf(stderr, "melisk-cli: probe failed: %s: %s\n", path.c_str(),
                     ProbeProblem(path, content).c_str());
        return kExitFailed;
    }
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

int RunMeliskCut(const std::vector<std::string>& args) {
    cli::Options options;
    std::string error = cli::ParseOptions(args, {{"--from", "--to", "--out-dir", "--name"}, {}}, &options);
    if (!error.empty()) return kShell.UsageError(error);
    if (options.files.size() != 1) return kShell.UsageError("cut takes exactly one FILE");
    auto out_dir = options.Value("--out-dir");
    if (!out_dir) return kShell.UsageError("cut needs --out-dir DIR");
    std::string name = kShell.ReadOutputName(options, std::nullopt, &error);
    if (!error.empty()) return kShell.UsageError(error);
    const std::string& input = options.files[0];

    ProbeResult probe;
    cli::CutRange range;
    if (std::optional<int> status = kShell.ProbeCut(options, input, &probe, &range)) return *status;

    JobRequest request;
    if (JobRefusal r = BuildAudioCutJob(input, probe, range.start_ms, range.end_ms, *out_dir, name, &request);
        r != JobRefusal::kNone)
        return kShell.Refused(r, PlannedAudioOutput(input, *out_dir, name, false));
    return Run(request);
}

int RunMeliskMerge(const std::vector<std::string>& args) {
    cli::Options options;
    std::string error = cli::ParseOptions(
        args, {{"--out-dir", "--name", "--audio-quality", "--sample-rate", "--channels"}, {"--copy"}},
        &options);
    if (!error.empty()) return kShell.UsageError(error);
    auto out_dir = options.Value("--out-dir");
    if (!out_dir) return kShell.UsageError("merge needs --out-dir DIR");
    AudioOutputSettings settings;
    settings.copy = options.Flag("--copy");
    if (settings.copy) {
        for (const char* option : {"--audio-quality", "--sample-rate", "--channels"})
            if (options.Value(option)) return kShell.UsageError(std::string("--copy takes no ") + option);
    }
    if (auto v = options.Value("--audio-quality")) {
        if (!Listed(*v, kQualityTexts)) return kShell.UsageError(OneOf("--audio-quality", kQualityTexts));
        settings.bit_rate = BitRateFromText(*v);
    }
    if (auto v = options.Value("--sample-rate")) {
        if (!Listed(*v, kSampleRateTexts)) return kShell.UsageError(OneOf("--sample-rate", kSampleRateTexts));
        settings.sample_rate = SampleRateFromText(*v);
    }
    if (auto v = options.Value("--channels")) {
        if (!Listed(*v, kChannelTexts)) return kShell.UsageError(OneOf("--channels", kChannelTexts));
        settings.channels = ChannelsFromText(*v);
    }
    std::string name = kShell.ReadOutputName(options, std::nullopt, &error);
    if (!error.empty()) return kShell.UsageError(error);

    // Every file with its whole length as the range.
    std::vector<AudioMergeInput> inputs;
    if (options.files.size() <= static_cast<size_t>(MAX_JOB_FILES)) {
        for (const std::string& path : options.files) {
            const std::optional<ProbeResult> probe = kShell.ProbeForJob(path);
            if (!probe) return kExitUsage;
            int64_t ms = std::min<int64_t>(probe->duration_us / 1000, INT32_MAX);
            inputs.push_back({path, 0, static_cast<int32_t>(ms)});
        }
    } else {
        for (const std::string& path : options.files) inputs.push_back({path, 0, 0});
    }
    JobRequest request;
    Mp3JoinCheck check;
    JobRefusal r = BuildAudioMergeJob(inputs, settings, *out_dir, name, &request, &check);
    if (r == JobRefusal::kCannotCopy) {
        std::fprintf(stderr, "%s: %s\n", kShell.program(), CopyRefusalText(check).c_str());
        return kExitUsage;
    }
    if (r != JobRefusal::kNone)
        return kShell.Refused(
            r, inputs.empty() ? std::string() : PlannedAudioOutput(inputs[0].path, *out_dir, name, true));
    return Run(request);
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
