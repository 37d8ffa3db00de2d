#include "engine/job_progress.h"

extern "C" {
#include <libavutil/error.h>
}

std::string FailureText(const JobFailure& failure) {
    std::string text = failure.step.empty() ? std::string("failed") : failure.step;
    if (failure.error < 0) {
        char buffer[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(failure.error, buffer, sizeof buffer);
        text += ": ";
        text += buffer;
    }
    return text;
}
