#include "cli/input_problem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

std::string InputFileProblem(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return errno == ENOENT ? "it does not exist" : std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return "it is a folder, not a file";
    if (!S_ISREG(st.st_mode)) return "it is not a regular file (a pipe, device or socket)";
    if (::access(path.c_str(), R_OK) != 0) return std::strerror(errno);
    return {};
}

std::string ProbeProblem(const std::string& path, const std::string& content_reason) {
    std::string problem = InputFileProblem(path);
    return problem.empty() ? content_reason : problem;
}
