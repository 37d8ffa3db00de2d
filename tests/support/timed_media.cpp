#include "support/timed_media.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <sstream>

#include "support/run.h"

namespace testsupport {

namespace {
constexpr int kSampleRate = 44100;  // the rate the sound is read back at
}  // namespace

std::vector<Picture> Pictures(const std::string& path) {
    auto times = RunCommand({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                             "frame=best_effort_timestamp_time", "-of", "csv=p=0", path});
    // Each 32-pixel column becomes one grey byte: one bit of the number.
    auto pixels =
        RunCommand({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:v:0", "-vsync", "passthrough",
                    "-vf", "scale=12:1:flags=area", "-pix_fmt", "gray", "-f", "rawvideo", "-"});
    std::vector<Picture> pictures;
    std::istringstream lines(times.out);
    std::string line;
    for (size_t k = 0; std::getline(lines, line) && (k + 1) * 12 <= pixels.out.size();) {
        if (line.empty() || line[0] == ',') continue;  // lines of side data
        int number = 0;
        for (int bit = 0; bit < 12; ++bit)
            if (static_cast<uint8_t>(pixels.out[k * 12 + bit]) > 128) number |= 1 << bit;
        pictures.push_back({std::atof(line.c_str()), number});
        ++k;
    }
    return pictures;
}

Sound Beeps(const std::string& path) {
    auto r = RunCommand({"ffmpeg", "-nostdin", "-v", "error", "-copyts", "-i", path, "-map", "0:a:0", "-af",
                         "aresample=async=1:min_hard_comp=0.001:first_pts=0", "-ac", "1", "-ar",
                         std::to_string(kSampleRate), "-f", "s16le", "-"});
    const auto* s = reinterpret_cast<const int16_t*>(r.out.data());
    const size_t n = r.out.size() / 2;
    Sound sound;
    sound.end_s = static_cast<double>(n) / kSampleRate;
    const int threshold = 3000;
    size_t last_loud = 0;
    for (size_t i = 0; i < n; ++i) {
        if (std::abs(s[i]) < threshold) continue;
        // A beep starts after at least 0.3 s of quiet; its pitch is counted over 60 ms.
        if (sound.beeps.empty() || i - last_loud > static_cast<size_t>(0.3 * kSampleRate)) {
            const size_t from = i + kSampleRate / 200, to = std::min(n, from + kSampleRate * 6 / 100);
            int crossings = 0;
            for (size_t k = from + 1; k < to; ++k) crossings += (s[k - 1] < 0) != (s[k] < 0);
            const double hz = crossings / 2.0 / (static_cast<double>(to - from) / kSampleRate);
            const int second = static_cast<int>(std::lround((hz - 400) / 100));
            if (second >= 0 && second < 8)
                sound.beeps.push_back({static_cast<double>(i) / kSampleRate, second});
        }
        last_loud = i;
    }
    return sound;
}

std::vector<BeepOffset> BeepOffsets(const std::vector<Picture>& pictures, const Sound& sound) {
    std::vector<BeepOffset> offsets;
    for (const Beep& beep : sound.beeps) {
        const Picture* best = nullptr;
        for (const Picture& p : pictures) {
            if (p.number % 25 != 0 || (p.number / 25) % 8 != beep.second) continue;
            if (!best || std::abs(p.time_s - beep.time_s) < std::abs(best->time_s - beep.time_s)) best = &p;
        }
        if (best && std::abs(best->time_s - beep.time_s) <= 0.5)
            offsets.push_back({best->number, beep.time_s - best->time_s});
    }
    return offsets;
}

std::vector<std::string> FrameChecksums(const std::string& path) {
    auto r = RunCommand({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:v:0", "-vsync",
                         "passthrough", "-f", "framemd5", "-"});
    std::vector<std::string> sums;
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#') continue;
        sums.push_back(line.substr(line.rfind(',') + 1));
        sums.back().erase(0, sums.back().find_first_not_of(' '));
    }
    return sums;
}

std::vector<double> PicturePsnr(const std::string& path, const std::string& source, int first, int count) {
    const std::string graph = "[0:v]setpts=N[a];[1:v]trim=start_frame=" + std::to_string(first) +
                              ":end_frame=" + std::to_string(first + count) +
                              ",setpts=N[b];[a][b]psnr=stats_file=-";
    auto r = RunCommand({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-i", source, "-filter_complex",
                         graph, "-f", "null", "-"});
    std::vector<double> values;
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t at = line.find("psnr_avg:");
        if (at == std::string::npos) continue;
        const std::string v = line.substr(at + 9, line.find(' ', at) - at - 9);
        values.push_back(v == "inf" ? std::numeric_limits<double>::infinity() : std::atof(v.c_str()));
    }
    return values;
}

}  // namespace testsupport
