#pragma once
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

// Quotes a string for the POSIX shell.
std::string ShellQuote(const std::string& s);

}  // namespace testsupport
