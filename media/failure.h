#pragma once
// Why a step on media failed: the step in words and FFmpeg's error code, kept as values until the
// top turns them into one message. Free of FFmpeg so that the windows' code can hold it.

#include <string>

namespace media {

struct Failure {
    std::string step;  // empty: nothing failed
    int error = 0;     // FFmpeg's (negative) code; 0 when the step has none

    bool failed() const { return !step.empty(); }
};

// "step: FFmpeg's text for the error" ("could not write the header: Invalid argument"), or the step
// alone when it carries no error code.
std::string FailureText(const Failure& failure);

}  // namespace media
