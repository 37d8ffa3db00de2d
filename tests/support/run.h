#pragma once
#include <sys/types.h>

#include <regex>
#include <string>
#include <vector>

namespace testsupport {

struct RunResult {
    int exit_code = -1;  // the program's exit status; -1 when it did not exit normally
    std::string out;     // standard output
    std::string err;     // standard error
};

// Runs a program with arguments (no shell), waits for it and collects both outputs.
RunResult RunCommand(const std::vector<std::string>& argv);

// A running program whose standard error is read as it comes (for progress and Ctrl-C tests).
class RunningProcess {
  public:
    explicit RunningProcess(const std::vector<std::string>& argv);
    RunningProcess(const RunningProcess&) = delete;
    RunningProcess& operator=(const RunningProcess&) = delete;

    // Reads standard error until `pattern` matches what was read; false at its end or after 60 s.
    bool WaitForError(const std::regex& pattern);
    void Signal(int sig);
    // Waits for the end and returns the exit status (-1 when it did not exit normally).
    int Wait();

    const std::string& out() const { return out_; }
    const std::string& err() const { return err_; }

  private:
    pid_t pid_ = -1;
    int out_fd_ = -1, err_fd_ = -1;
    std::string out_, err_;
};

// Quotes a string for the POSIX shell.
std::string ShellQuote(const std::string& s);

}  // namespace testsupport
