#include "videotool/file_rows.h"

#include <cstdio>

#include "common/time_range.h"
#include "common/time_text.h"
#include "engine/probe.h"

namespace {
constexpr char kSeparator = '/';
constexpr const char* kVideoPatterns =
    "*.rm;*.rmvb;*.flv;*.swf;*.f4v;*.mov;*.qt;*.avi;*.mpg;*.mpeg;*.mod;*.tod;*.mts;*.ts;*.nut;"
    "*.h264;*.nsv;*.dv;*.m2t;*.vob;*.dat;*.mkv;*.mp4;*.m4v;*.3gp;*.3g2;*.3gpp;*.asf;*.wmv;*.wm";
}  // namespace

std::string NormalizeChosenPath(const std::string& path) {
    const size_t first = path.find(kSeparator);
    if (first == std::string::npos || first == 0) return path;
    std::string out;
    out.reserve(path.size());
    for (size_t i = 0; i < path.size(); ++i) {
        out += path[i];
        if (path[i] == kSeparator && i + 1 < path.size() && path[i + 1] == kSeparator) ++i;
    }
    return out;
}

std::string ExtensionText(const std::string& path) {
    const size_t dot = path.rfind('.');
    return dot == std::string::npos ? path : path.substr(dot + 1);
}

std::string FileNameText(const std::string& path) {
    const size_t sep = path.rfind(kSeparator);
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string FrameRateText(int32_t num, int32_t den) {
    const double rate = den != 0 ? static_cast<double>(num) / den : 0.0;
    char text[64];
    std::snprintf(text, sizeof text, "%5.2ffps", rate);
    return text;
}

std::array<std::string, kFileListColumns> FileRowTexts(const std::string& path, const ProbeResult& probe,
                                                       const std::string& status) {
    return {path,
            ExtensionText(path),
            TimeToText(UsToMs(probe.duration_us)),
            std::to_string(probe.width) + "*" + std::to_string(probe.height),
            FrameRateText(probe.frame_rate_num, probe.frame_rate_den),
            status};
}

std::string VideoFileFilter(const std::string& videos_text, const std::string& all_files_text) {
    return videos_text + "|" + kVideoPatterns + "|" + all_files_text + "|*|";
}
