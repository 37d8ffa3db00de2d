#include "cli/cli_shell.h"

#include <algorithm>
#include <csignal>

#include "cli/input_problem.h"
#include "common/time_text.h"
#include "engine/output_names.h"

namespace cli {

namespace {

bool Listed(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

volatile std::sig_atomic_t g_stop_signal = 0;

void OnStopSignal(int signal) {
    g_stop_signal = signal;
    // A second Ctrl-C ends the program at once.
    std::signal(signal, SIG_DFL);
}

}  // namespace

std::optional<std::string> Options::Value(const std::string& name) const {
    auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
}

bool Options::AnyOf(const std::vector<std::string>& names) const {
    return std::any_of(names.begin(), names.end(), [&](const std::string& n) { return values.count(n); });
}

std::string ParseOptions(const std::vector<std::string>& args, const OptionNames& names, Options* options) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            options->files.insert(options->files.end(), args.begin() + i + 1, args.end());
            break;
        }
        if (Listed(names.flags, arg)) {
            if (!options->flags.insert(arg).second) return "option " + arg + " given twice";
            continue;
        }
        if (Listed(names.values, arg)) {
            if (i + 1 >= args.size()) return "option " + arg + " needs a value";
            if (options->values.count(arg)) return "option " + arg + " given twice";
            options->values[arg] = args[++i];
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-') return "unknown option " + arg;
        options->files.push_back(arg);
    }
    return {};
}

std::optional<int32_t> ReadTimeOption(const Options& options, const std::string& name, std::string* error) {
    auto v = options.Value(name);
    if (!v) return std::nullopt;
    auto ms = ParseTimeText(*v);
    if (!ms) *error = name + " must read like 00:01:02.500";
    return ms;
}

std::string ReadCutRange(const Options& options, int64_t duration_us, CutRange* range) {
    const int64_t duration_ms = duration_us / 1000;
    std::string error;
    const auto from = ReadTimeOption(options, "--from", &error);
    if (!error.empty()) return error;
    const auto to = ReadTimeOption(options, "--to", &error);
    if (!error.empty()) return error;
    range->start_ms = from.value_or(0);
    range->end_ms = to.value_or(duration_ms > INT32_MAX ? INT32_MAX : static_cast<int32_t>(duration_ms));
    if (range->end_ms <= range->start_ms) return "the end of the range must lie after its start";
    if (range->start_ms >= duration_ms) return "the range starts after the end of the file";
    return {};
}

int Shell::UsageError(const std::string& message) const {
    std::fprintf(stderr, "%s: %s\n(see %s --help)\n", m_program, message.c_str(), m_program);
    return kExitUsage;
}

int Shell::Refused(JobRefusal refusal, const std::string& planned_output) const {
    if (refusal == JobRefusal::kOutputFolderNotWritable && !planned_output.empty()) {
        std::fprintf(stderr,
                     "%s: The file %s cannot be created: its folder cannot be written to. Please choose "
                     "another folder.\n",
                     m_program, planned_output.c_str());
        return kExitUsage;
    }
    std::fprintf(stderr, "%s: %s\n", m_program, std::string(RefusalEnglishText(refusal, m_kind)).c_str());
    return kExitUsage;
}

std::string Shell::ReadOutputName(const Options& options, const std::optional<std::string>& default_name,
                                  std::string* error) const {
    std::optional<std::string> name = default_name;
    if (auto v = options.Value("--name")) name = SanitizeOutputName(*v);
    if (!name) return {};
    if (name->empty() || *name == "." || *name == "..") *error = "the output name is empty or not usable";
    return *name;
}

std::optional<ProbeResult> Shell::ProbeForJob(const std::string& path) const {
    const bool video = m_kind == MediaKind::kVideo;
    const ProbeResult probe = video ? ProbeMediaFile(path) : ProbeAudioFile(path);
    if (probe.result != PROBE_OK || probe.range_start_us < 0 || probe.range_end_us < 0 ||
        probe.duration_us < 0) {
        // A missing file, a folder or a pipe is named as such; a regular file's problem is its content.
        if (const std::string problem = InputFileProblem(path); !problem.empty())
            std::fprintf(stderr, "%s: The file %s cannot be opened: %s.\n", m_program, path.c_str(),
                         problem.c_str());
        else
            std::fprintf(stderr,
                         "%s: The file %s cannot be opened. It is not %s file this program can read.\n",
                         m_program, path.c_str(), video ? "a video" : "an audio");
        return std::nullopt;
    }
    return probe;
}

std::optional<int> Shell::ProbeCut(const Options& options, const std::string& path, ProbeResult* probe,
                                   CutRange* range) const {
    std::optional<ProbeResult> probed = ProbeForJob(path);
    if (!probed) return kExitUsage;
    *probe = *probed;
    std::string error = ReadCutRange(options, probe->duration_us, range);
    if (!error.empty()) return UsageError(error);
    return std::nullopt;
}

int Shell::Main(int argc, char** argv, const std::vector<Command>& commands,
                const std::function<void(FILE*)>& print_usage) const {
    if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
        print_usage(argc < 2 ? stderr : stdout);
        return argc < 2 ? kExitUsage : kExitOk;
    }
    const std::string name = argv[1];
    for (const Command& command : commands)
        if (name == command.name) return command.run(std::vector<std::string>(argv + 2, argv + argc));
    std::fprintf(stderr, "%s: unknown command '%s'\n\n", m_program, name.c_str());
    print_usage(stderr);
    return kExitUsage;
}

StopSignals::StopSignals() {
    g_stop_signal = 0;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

StopSignals::~StopSignals() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

int StopSignals::caught() const { return g_stop_signal; }

}  // namespace cli
