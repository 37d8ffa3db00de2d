#include "media/failure.h"

extern "C" {
#include <libavutil/error.h>
}

namespace media {

std::string FailureText(const Failure& failure) {
    std::string text = failure.step.empty() ? std::string("failed") : failure.step;
    if (failure.error < 0) {
        char buffer[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(failure.error, buffer, sizeof buffer);
        text += ": ";
        text += buffer;
    }
    return text;
}

}  // namespace media
