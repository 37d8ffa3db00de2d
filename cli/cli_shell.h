#pragma once
// What both command-line tools share around their commands: the command table and the usage text,
// reading options and their values, the --from/--to range, the output name, probing a file for a
// job, refusals and usage errors, and Ctrl-C. Exit statuses are the same for both tools: 0 done, 1 a
// file failed, 2 a usage error or a refused job, 128 + the signal when stopped.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/probe.h"
#include "jobs/job_refusal.h"

namespace cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// The options a command takes: those followed by a value ("--out-dir DIR") and those alone
// ("--direct").
struct OptionNames {
    std::vector<std::string> values;
    std::vector<std::string> flags;
};

// A command's arguments, split.
struct Options {
    std::vector<std::string> files;
    std::map<std::string, std::string> values;
    std::set<std::string> flags;

    std::optional<std::string> Value(const std::string& name) const;
    bool Flag(const std::string& name) const { return flags.count(name) != 0; }
    // Whether any of these value options was given.
    bool AnyOf(const std::vector<std::string>& names) const;
};

// Splits a command's arguments into files and the options `names` lists; everything after "--" is a file.
// Returns an error text ("unknown option --x", "option --x needs a value", "option --x given
// twice"), or empty.
std::string ParseOptions(const std::vector<std::string>& args, const OptionNames& names, Options* options);

// A time option ("--from 00:01:02.500") in milliseconds; nothing when not given. Sets an error text
// when it does not read.
std::optional<int32_t> ReadTimeOption(const Options& options, const std::string& name, std::string* error);

// A cut's range in milliseconds from --from (default the start) and --to (default the end of a file
// lasting duration_us). Returns an error text, or empty: the range must lie inside the file.
struct CutRange {
    int32_t start_ms = 0;
    int32_t end_ms = 0;
};
std::string ReadCutRange(const Options& options, int64_t duration_us, CutRange* range);

// One tool's command line: its name in messages and the words of its refusals.
class Shell {
  public:
    Shell(const char* program, MediaKind kind) : m_program(program), m_kind(kind) {}

    const char* program() const { return m_program; }

    // "<program>: message" and a pointer to --help on standard error; returns kExitUsage.
    int UsageError(const std::string& message) const;
    // The refusal's English text on standard error; returns kExitUsage. An output folder that takes
    // no file names the file the job would have written (`planned_output`), when given.
    int Refused(JobRefusal refusal, const std::string& planned_output = {}) const;

    // The output name: --name with the characters the dialogs remove taken out, else default_name;
    // empty when neither is there (the builder then names the output). Sets an error text for a
    // name that is empty or "." or "..".
    std::string ReadOutputName(const Options& options, const std::optional<std::string>& default_name,
                               std::string* error) const;

    // Probes a file for a job with the tool's probe; prints why and returns nothing when the file
    // cannot be used.
    std::optional<ProbeResult> ProbeForJob(const std::string& path) const;
    // A cut's file and range: probes it and reads --from/--to against its length. Returns the exit
    // status when either fails (the reason printed), else nothing.
    std::optional<int> ProbeCut(const Options& options, const std::string& path, ProbeResult* probe,
                                CutRange* range) const;

    // One command: its name and what runs it with the arguments after the name.
    struct Command {
        const char* name;
        std::function<int(const std::vector<std::string>& args)> run;
    };
    // The whole command line: no command, "--help" or "-h" print the usage (to standard error with
    // status 2 when no command was given); an unknown command is named before the usage.
    int Main(int argc, char** argv, const std::vector<Command>& commands,
             const std::function<void(FILE*)>& print_usage) const;

  private:
    const char* m_program;
    MediaKind m_kind;
};

// SIGINT and SIGTERM as a stop request while the object lives: the first sets caught(), a second
// ends the program at once. Default handling comes back when the object goes.
class StopSignals {
  public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The signal caught, 0 for none. Safe to poll from any thread.
    int caught() const;
};

}  // namespace cli
