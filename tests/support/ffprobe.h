#pragma once
#include <map>
#include <string>
#include <vector>

namespace testsupport {

// What the ffprobe tool says of a media file, independent of our own code.
struct ProbedStream {
    int index = -1;
    std::string codec_type;  // "video", "audio", ...
    std::string codec_name;
    int width = 0, height = 0;
    std::string r_frame_rate;  // "num/den"
    std::string avg_frame_rate;
    int sample_rate = 0;
    int channels = 0;
    double duration_s = -1;  // -1 when ffprobe gives none
    long long nb_frames = -1;
    bool attached_pic = false;                // a picture (cover art), not video
    std::map<std::string, std::string> tags;  // keys in capitals
};

struct ProbedFile {
    bool ok = false;  // ffprobe could read the file
    std::string format_name;
    double duration_s = -1;
    double start_time_s = 0;
    std::vector<ProbedStream> streams;
    std::map<std::string, std::string> tags;  // the container's, keys in capitals

    const ProbedStream* First(const std::string& type) const;
    int Count(const std::string& type) const;
};

ProbedFile FFprobe(const std::string& path);

// Decodes one stream with the ffmpeg tool and returns the number of frames (video) or the decoded
// duration in seconds (audio, from the sample count); -1 when decoding fails.
long long CountDecodedFrames(const std::string& path, const std::string& stream_spec = "v:0");
double DecodedAudioSeconds(const std::string& path);

}  // namespace testsupport
