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
#include "support/timed_media.h"

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/log.h>
}

using testsupport::Beeps;
using testsupport::Fixture;
using testsupport::Picture;
using testsupport::Pictures;
using testsupport::RunCommand;
using testsupport::ScratchDir;
using testsupport::Sound;

namespace {

const bool kQuietLibraries = [] {
    av_log_set_level(AV_LOG_ERROR);
    return true;
}();

constexpr double kFps = 25;
constexpr int kSampleRate = 44100;  // the re-encoded rows' sound

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
        request.output = {AV_CODEC_ID_H264, AV_CODEC_ID_AAC, 1500000,     384, 96,
                          {25, 1},          128000,          kSampleRate, 2};
    }
    JobProgress progress;
    progress.Reset(request.FileCount());
    RunConvertJob(request, progress);
    for (int i = 0; i < request.FileCount(); ++i) ASSERT_EQ(progress.file_status[i], JOB_FILE_DONE) << i;

    const auto pictures = Pictures(request.output_path);
    const Sound sound = Beeps(request.output_path);
    ASSERT_FALSE(pictures.empty());
    if (!row.merge) {
        EXPECT_GE(pictures.front().number, row.first_min);
        EXPECT_LE(pictures.front().number, row.first_max);
        // An MP4 starts at 0 (other containers may shift every stream alike).
        if (request.output_path.ends_with(".mp4")) {
            EXPECT_NEAR(pictures.front().time_s, 0.0, 0.001);
        }
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
    const auto offsets = testsupport::BeepOffsets(pictures, sound);
    for (const auto& o : offsets)
        EXPECT_NEAR(o.offset_s, 0.0, row.tolerance_s) << "the beep of picture " << o.picture;
    const int matched = static_cast<int>(offsets.size());
    EXPECT_GE(matched, row.min_beeps);
}

INSTANTIATE_TEST_SUITE_P(Rows, TimingTest, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

// Direct merges of eleven copies of a clip whose sound ends inside its last packet (the decoder still
// plays the whole packet): every joint holds picture and sound within half an audio frame, and the
// offsets do not grow from joint to joint.
struct JointRow {
    const char* name;
    const char* clip;
    int sample_rate;
    double clip_s;
};

const JointRow kJointRows[] = {
    {"aac_44k", "timed_1s_44k.mp4", 44100, 1.0},
    {"aac_48k", "timed_1_48s_48k.mp4", 48000, 1.48},
};

void PrintTo(const JointRow& row, std::ostream* os) { *os << row.name; }

class MergeJointTest : public ::testing::TestWithParam<JointRow> {};

TEST_P(MergeJointTest, TenJointsStayWithinHalfAnAudioFrame) {
    const JointRow& row = GetParam();
    constexpr int kClips = 11;
    JobRequest request;
    for (int k = 0; k < kClips; ++k) request.inputs.push_back({Fixture(row.clip), 0, 0});
    request.merge = true;
    request.reencode = false;
    request.output_path = ScratchDir(std::string("joints_") + row.name) + "/out.mp4";
    JobProgress progress;
    progress.Reset(request.FileCount());
    RunConvertJob(request, progress);
    for (int i = 0; i < request.FileCount(); ++i) ASSERT_EQ(progress.file_status[i], JOB_FILE_DONE) << i;

    const auto pictures = Pictures(request.output_path);
    const Sound sound = Beeps(request.output_path);
    ASSERT_EQ(static_cast<long>(pictures.size()), std::lround(kClips * row.clip_s * kFps));
    // Each clip's first beep, with its first picture (number 0).
    std::vector<double> offsets;
    for (const auto& o : testsupport::BeepOffsets(pictures, sound))
        if (o.picture == 0) offsets.push_back(o.offset_s);
    ASSERT_EQ(offsets.size(), static_cast<size_t>(kClips));
    // The first clip is copied as it is: its offset is the source's own, which every joint keeps.
    const double half_frame_s = 1024.0 / 2 / row.sample_rate;
    for (size_t k = 1; k < offsets.size(); ++k)
        EXPECT_LE(std::abs(offsets[k] - offsets[0]), half_frame_s) << "clip " << k;
    // Nothing accumulates: the last joint is where the first one is.
    EXPECT_NEAR(offsets.back(), offsets[1], 0.002);
}

INSTANTIATE_TEST_SUITE_P(Rates, MergeJointTest, ::testing::ValuesIn(kJointRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
