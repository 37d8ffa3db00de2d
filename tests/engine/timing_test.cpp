// Sound with picture: cuts and merges of sources whose pictures show their own number and whose sound
// beeps at every whole second with a pitch per second, decoded by the ffmpeg tool. Each beep is
// matched to the first picture of its second; the two must come out together.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "engine/convert_engine.h"
#include "support/fixtures.h"
#include "support/run.h"

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/log.h>
}

using testsupport::Fixture;
using testsupport::RunCommand;
using testsupport::ScratchDir;

namespace {

const bool kQuietLibraries = [] {
    av_log_set_level(AV_LOG_ERROR);
    return true;
}();

constexpr double kFps = 25;
constexpr int kSampleRate = 44100;

struct Picture {
    double time_s;
    int number;
};

// Every picture in display order with its time and the number it shows.
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

struct Beep {
    double time_s;
    int second;  // the source second its pitch tells, modulo 8
};

struct Sound {
    std::vector<Beep> beeps;
    double end_s = 0;
};

// The beeps of the output's sound, placed by its time stamps (gaps filled, the start at 0).
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

struct Row {
    const char* name;
    std::vector<const char*> inputs;
    bool merge, reencode;
    double from_s, to_s;       // a cut's range
    double tolerance_s;        // how far a beep may be from its picture
    int min_beeps;             // beeps that must find their picture
    int first_min, first_max;  // the first picture's number (a cut)
    int last_min;              // the last picture's number at least (a cut): the whole range is there
};

const Row kRows[] = {
    // Key frames every 2 s, B-frames: the sound follows the display times, not the decode times.
    {"direct_cut_bframes_mp4", {"timed_12s.mp4"}, false, false, 6, 11, 0.025, 5, 150, 150, 274},
    {"direct_cut_holds_the_range_end", {"timed_12s.mp4"}, false, false, 3, 8, 0.025, 6, 50, 50, 199},
    {"direct_merge_of_four",
     {"timed_3s.mp4", "timed_3s.mp4", "timed_3s.mp4", "timed_3s.mp4"},
     true,
     false,
     0,
     0,
     0.025,
     12,
     0,
     0,
     0},
    {"direct_merge_after_longer_sound",
     {"timed_sound_longer.mp4", "timed_3s_from4.mp4"},
     true,
     false,
     0,
     0,
     0.025,
     5,
     0,
     0,
     0},
    {"reencoded_merge_after_longer_sound",
     {"timed_sound_longer.mp4", "timed_3s_from4.mp4"},
     true,
     true,
     0,
     0,
     0.010,
     5,
     0,
     0,
     0},
    {"direct_cut_vfr_mp4", {"timed_vfr.mp4"}, false, false, 1, 6, 0.025, 5, 0, 0, 149},
    {"direct_cut_bframes_mkv", {"timed_8s.mkv"}, false, false, 3, 7, 0.025, 4, 50, 50, 174},
    {"direct_cut_ts_from_2_5", {"timed_8s_start_1_4.ts"}, false, false, 2.5, 6, 0.025, 4, 50, 50, 149},
    {"reencoded_cut_ts_from_2_5", {"timed_8s_start_1_4.ts"}, false, true, 2.5, 6, 0.040, 3, 62, 63, 149},
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

class TimingTest : public ::testing::TestWithParam<Row> {};

TEST_P(TimingTest, SoundStaysWithItsPicture) {
    const Row& row = GetParam();
    JobRequest request;
    for (const char* name : row.inputs)
        request.inputs.push_back({Fixture(name), row.from_s, row.to_s - row.from_s});
    request.merge = row.merge;
    request.reencode = row.reencode;
    request.output_path =
        ScratchDir(std::string("timing_") + row.name) + "/out" +
        (row.reencode ? std::string(".mp4")
                      : std::string(row.inputs[0]).substr(std::string(row.inputs[0]).rfind('.')));
    if (row.reencode) {
        request.output = {AV_CODEC_ID_H264, AV_CODEC_ID_AAC, 1500000, 384, 96, {25, 1}, 128000, kSampleRate, 2};
    }
    JobProgress progress;
    progress.Reset(request.FileCount(), row.merge ? request.FileCount() : 0);
    RunConvertJob(request, progress);
    for (int i = 0; i < request.FileCount(); ++i) ASSERT_EQ(progress.file_status[i], JOB_FILE_DONE) << i;

    const auto pictures = Pictures(request.output_path);
    const Sound sound = Beeps(request.output_path);
    ASSERT_FALSE(pictures.empty());
    if (!row.merge) {
        EXPECT_GE(pictures.front().number, row.first_min);
        EXPECT_LE(pictures.front().number, row.first_max);
        // An MP4 starts at 0 (other containers may shift every stream alike).
        if (request.output_path.ends_with(".mp4")) EXPECT_NEAR(pictures.front().time_s, 0.0, 0.001);
        EXPECT_GE(pictures.back().number, row.last_min);
        // Every picture at its own time: no restamping on a fixed grid, no time going back.
        for (const Picture& p : pictures) {
            EXPECT_NEAR(p.time_s - pictures.front().time_s, (p.number - pictures.front().number) / kFps,
                        row.reencode ? 0.5 / kFps : 0.002)
                << "picture " << p.number;
        }
        // The sound ends with the pictures.
        EXPECT_NEAR(sound.end_s, pictures.back().time_s + 1 / kFps, 0.05);
    }
    int matched = 0;
    for (const Beep& beep : sound.beeps) {
        const Picture* best = nullptr;
        for (const Picture& p : pictures) {
            if (p.number % 25 != 0 || (p.number / 25) % 8 != beep.second) continue;
            if (!best || std::abs(p.time_s - beep.time_s) < std::abs(best->time_s - beep.time_s)) best = &p;
        }
        if (!best || std::abs(best->time_s - beep.time_s) > 0.5)
            continue;  // its picture is not in the output
        ++matched;
        EXPECT_NEAR(beep.time_s, best->time_s, row.tolerance_s) << "the beep of picture " << best->number;
    }
    EXPECT_GE(matched, row.min_beeps);
}

INSTANTIATE_TEST_SUITE_P(Rows, TimingTest, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
