#pragma once
// Reading back the timing sources (make_fixtures.sh, "timed_*"): pictures that show their own number
// and sound that beeps at every whole second with a pitch per second. Both are decoded by the ffmpeg
// tool.
#include <string>
#include <vector>

namespace testsupport {

struct Picture {
    double time_s;
    int number;
};

// Every picture in display order with its time and the number it shows.
std::vector<Picture> Pictures(const std::string& path);

struct Beep {
    double time_s;
    int second;  // the source second its pitch tells, modulo 8
};

struct Sound {
    std::vector<Beep> beeps;
    double end_s = 0;
};

// The beeps of the file's sound, placed by its time stamps (gaps filled, the start at 0).
Sound Beeps(const std::string& path);

// Each beep matched to the first picture of its second (number a multiple of 25 whose second has the
// beep's pitch, the nearest within half a second): the beep's time minus the picture's. Beeps whose
// picture is not there are left out.
struct BeepOffset {
    int picture;
    double offset_s;
};
std::vector<BeepOffset> BeepOffsets(const std::vector<Picture>& pictures, const Sound& sound);

// Each picture's frame checksum (ffmpeg -f framemd5), in display order.
std::vector<std::string> FrameChecksums(const std::string& path);

// The PSNR of each picture of `path` against the source's pictures [first, first + count), paired
// in order (ffmpeg's psnr filter, luma and chroma averaged); infinity for identical pictures.
std::vector<double> PicturePsnr(const std::string& path, const std::string& source, int first, int count);

}  // namespace testsupport
