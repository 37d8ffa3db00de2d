#include "support/ffprobe.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

#include "support/run.h"

namespace testsupport {

namespace {

// Parses ffprobe's "flat" output: lines like streams.stream.0.codec_name="h264".
std::map<std::string, std::string> ParseFlat(const std::string& text) {
    std::map<std::string, std::string> values;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string value = line.substr(eq + 1);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        values[line.substr(0, eq)] = value;
    }
    return values;
}

double ToDouble(const std::string& s, double fallback) {
    if (s.empty() || s == "N/A") return fallback;
    return std::strtod(s.c_str(), nullptr);
}

// The values whose keys start with `prefix`, by the rest of the key in capitals.
std::map<std::string, std::string> Tags(const std::map<std::string, std::string>& values,
                                        const std::string& prefix) {
    std::map<std::string, std::string> tags;
    for (const auto& [key, value] : values) {
        if (key.compare(0, prefix.size(), prefix) != 0) continue;
        std::string name = key.substr(prefix.size());
        for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        tags[name] = value;
    }
    return tags;
}

}  // namespace

const ProbedStream* ProbedFile::First(const std::string& type) const {
    for (const auto& s : streams)
        if (s.codec_type == type) return &s;
    return nullptr;
}

int ProbedFile::Count(const std::string& type) const {
    int n = 0;
    for (const auto& s : streams) n += s.codec_type == type;
    return n;
}

ProbedFile FFprobe(const std::string& path) {
    RunResult r = RunCommand({"ffprobe", "-v", "error", "-show_entries",
                              "stream=index,codec_type,codec_name,width,height,r_frame_rate,avg_frame_rate,"
                              "sample_rate,channels,duration,nb_frames:stream_disposition=attached_pic:"
                              "stream_tags:format=format_name,duration,start_time:format_tags",
                              "-of", "flat", path});
    ProbedFile file;
    if (r.exit_code != 0) return file;
    auto v = ParseFlat(r.out);
    file.ok = true;
    file.format_name = v["format.format_name"];
    file.duration_s = ToDouble(v["format.duration"], -1);
    file.start_time_s = ToDouble(v["format.start_time"], 0);
    file.tags = Tags(v, "format.tags.");
    for (int i = 0;; ++i) {
        std::string p = "streams.stream." + std::to_string(i) + ".";
        if (!v.count(p + "index")) break;
        ProbedStream s;
        s.index = std::atoi(v[p + "index"].c_str());
        s.codec_type = v[p + "codec_type"];
        s.codec_name = v[p + "codec_name"];
        s.width = std::atoi(v[p + "width"].c_str());
        s.height = std::atoi(v[p + "height"].c_str());
        s.r_frame_rate = v[p + "r_frame_rate"];
        s.avg_frame_rate = v[p + "avg_frame_rate"];
        s.sample_rate = std::atoi(v[p + "sample_rate"].c_str());
        s.channels = std::atoi(v[p + "channels"].c_str());
        s.duration_s = ToDouble(v[p + "duration"], -1);
        s.nb_frames = static_cast<long long>(ToDouble(v[p + "nb_frames"], -1));
        s.attached_pic = v[p + "disposition.attached_pic"] == "1";
        s.tags = Tags(v, p + "tags.");
        file.streams.push_back(s);
    }
    return file;
}

long long CountDecodedFrames(const std::string& path, const std::string& stream_spec) {
    RunResult r = RunCommand({"ffprobe", "-v", "error", "-count_frames", "-select_streams", stream_spec,
                              "-show_entries", "stream=nb_read_frames", "-of", "default=nw=1:nk=1", path});
    if (r.exit_code != 0 || r.out.empty()) return -1;
    return std::atoll(r.out.c_str());
}

double DecodedAudioSeconds(const std::string& path) {
    // Decode to raw samples at a known rate and count the bytes: independent of container time stamps.
    RunResult r = RunCommand({"bash", "-c",
                              "ffmpeg -nostdin -v error -i " + ShellQuote(path) +
                                  " -map 0:a:0 -ac 1 -ar 48000 -f s16le - | wc -c"});
    if (r.exit_code != 0) return -1;
    return std::atoll(r.out.c_str()) / 2.0 / 48000.0;
}

}  // namespace testsupport
