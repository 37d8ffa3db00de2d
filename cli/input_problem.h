#pragma once
// Why a file named on a command line cannot be read, in words for the command-line tools' messages.

#include <string>

// "it does not exist" (also for a link to nothing), "it is a folder, not a file", "it is not a
// regular file (a pipe, device or socket)", or the system's reason (permission denied, ...); empty
// for a readable regular file, whose problem then lies in its content.
std::string InputFileProblem(const std::string& path);

// The reason a probe gives for a file it could not use: InputFileProblem, else `content_reason`.
std::string ProbeProblem(const std::string& path, const std::string& content_reason);
