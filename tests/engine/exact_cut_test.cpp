// Direct cuts that start and end exactly: H.264 sources with B-frames whose pictures show their own
// number, in each container that stores H.264. The ffmpeg tool decodes every output: the pictures are
// exactly the range's, the copied ones bit for bit, the encoded ones close to the source's, the file
// decodes without a message, and the sound stays with its pictures.

#include "engine/exact_cut.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/convert_engine.h"
#include "support/fixtures.h"
#include "support/run.h"
#include "support/timed_media.h"

extern "C" {
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

constexpr int kFps = 25;
constexpr int kGop = 50;  // the sources' key frames: every 2 s exactly

struct Row {
    const char* name;
    const char* input;
    double from_s, to_s;  // the range, from the file's start
    bool all_copied;      // a range between key frames: nothing is encoded again
};

const Row kRows[] = {
    {"mp4_mid_group_to_mid_group", "timed_12s.mp4", 2.6, 7.32, false},
    {"mov_mid_group_to_mid_group", "timed_8s.mov", 1.24, 5.52, false},
    {"mkv_mid_group_to_mid_group", "timed_8s.mkv", 2.21, 6.37, false},
    {"ts_mid_group_to_mid_group", "timed_8s_start_1_4.ts", 3.15, 6.7, false},
    {"mp4_within_one_group", "timed_12s.mp4", 4.48, 5.32, false},
    {"mp4_key_frame_to_key_frame", "timed_12s.mp4", 4.0, 8.0, true},
};

// Where the video starts after the file's start, by ffprobe: picture n shows from that plus n/25.
double VideoOffset(const std::string& path) {
    auto start = [&](const char* entries, const char* select) {
        std::vector<std::string> argv = {"ffprobe", "-v", "error"};
        if (*select) argv.insert(argv.end(), {"-select_streams", select});
        argv.insert(argv.end(), {"-show_entries", entries, "-of", "csv=p=0", path});
        return std::atof(RunCommand(argv).out.c_str());
    };
    return start("stream=start_time", "v:0") - start("format=start_time", "");
}

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

// The distinct sequence parameter set ids the stream carries (its header and in band), as FFmpeg's
// header tracer reads them.
std::set<std::string> SequenceParameterSetIds(const std::string& path) {
    auto r = RunCommand({"ffmpeg", "-nostdin", "-v", "trace", "-i", path, "-map", "0:v:0", "-c", "copy",
                         "-bsf:v", "trace_headers", "-f", "null", "-"});
    std::set<std::string> ids;
    std::istringstream lines(r.err);
    std::string line;
    while (std::getline(lines, line))
        if (line.find(" seq_parameter_set_id ") != std::string::npos)
            ids.insert(line.substr(line.rfind('=') + 1));
    return ids;
}

class ExactCutTest : public ::testing::TestWithParam<Row> {};

TEST_P(ExactCutTest, HoldsExactlyTheRangeWithCopiedPicturesUntouched) {
    const Row& row = GetParam();
    const std::string source = Fixture(row.input);
    const std::string ext = source.substr(source.rfind('.'));
    // The picture shown at the start is the first; the last is the last shown before the end.
    const double offset = VideoOffset(source);
    const int from_frame = static_cast<int>(std::floor((row.from_s - offset) * kFps + 1e-6));
    const int to_frame = static_cast<int>(std::ceil((row.to_s - offset) * kFps - 1e-6));
    JobRequest request;
    request.inputs = {{source, row.from_s, row.to_s - row.from_s}};
    request.reencode = false;
    request.exact = true;
    request.output_path = ScratchDir(std::string("exact_") + row.name) + "/cut" + ext;
    ASSERT_EQ(CheckExactCut(source, request.output_path), ExactCutRefusal::kNone);
    JobProgress progress;
    progress.Reset(1);
    RunConvertJob(request, progress);
    ASSERT_EQ(progress.file_status[0], JOB_FILE_DONE);
    const std::string out = request.output_path;

    // Exactly the range's pictures, in order.
    const auto pictures = testsupport::Pictures(out);
    ASSERT_EQ(static_cast<int>(pictures.size()), to_frame - from_frame);
    for (size_t k = 0; k < pictures.size(); ++k)
        ASSERT_EQ(pictures[k].number, from_frame + static_cast<int>(k));

    // Copied pictures bit for bit: all from the first key frame after the start up to the few
    // before the end that a decoder shows out of order. Encoded ones close to the source's.
    const auto source_sums = testsupport::FrameChecksums(source);
    const auto sums = testsupport::FrameChecksums(out);
    ASSERT_EQ(sums.size(), pictures.size());
    const int first_copied = row.all_copied ? from_frame : (from_frame / kGop + 1) * kGop;
    const int last_copied = row.all_copied ? to_frame : to_frame - 4;
    int copied = 0;
    for (int n = from_frame; n < to_frame; ++n) {
        const bool same = sums[n - from_frame] == source_sums[n];
        copied += same;
        if (n >= first_copied && n < last_copied) {
            EXPECT_TRUE(same) << "picture " << n;
        }
    }
    if (row.all_copied) {
        EXPECT_EQ(copied, to_frame - from_frame);
    }
    const auto psnr = testsupport::PicturePsnr(out, source, from_frame, to_frame - from_frame);
    ASSERT_EQ(psnr.size(), pictures.size());
    for (size_t k = 0; k < psnr.size(); ++k) EXPECT_GE(psnr[k], 40.0) << "picture " << from_frame + k;

    // Encoded pictures bring their own parameter sets beside the source's.
    if (!row.all_copied) {
        EXPECT_GE(SequenceParameterSetIds(out).size(), 2u);
    }

    // Decodes without a message.
    auto decode = RunCommand({"ffmpeg", "-nostdin", "-v", "warning", "-i", out, "-f", "null", "-"});
    EXPECT_EQ(decode.exit_code, 0);
    EXPECT_EQ(decode.err, "");

    // Sound with its pictures at every beep in the range.
    const auto offsets = testsupport::BeepOffsets(pictures, testsupport::Beeps(out));
    const int beeps = (to_frame - 1) / kFps - (from_frame + kFps - 1) / kFps + 1;
    EXPECT_GE(static_cast<int>(offsets.size()), beeps);
    for (const auto& o : offsets) EXPECT_NEAR(o.offset_s, 0.0, 0.025) << "the beep of picture " << o.picture;
}

INSTANTIATE_TEST_SUITE_P(Rows, ExactCutTest, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

TEST(ExactCutCheck, RefusesWhatItCannotCutExactlyWithTheReason) {
    struct Case {
        const char* input;
        const char* output;
        ExactCutRefusal want;
    };
    const Case cases[] = {
        {"video_mpeg4_mp3.avi", "cut.avi", ExactCutRefusal::kNotH264},
        {"audio_only.mp3", "cut.mp3", ExactCutRefusal::kNotH264},
        {"not_media.mp4", "cut.mp4", ExactCutRefusal::kUnreadable},
        // Length-prefixed packets cannot go where start codes are stored.
        {"video_h264_aac.mp4", "cut.ts", ExactCutRefusal::kParameterSets},
        {"split_444.mkv", "cut.mkv", ExactCutRefusal::kNone},
    };
    for (const Case& c : cases) EXPECT_EQ(CheckExactCut(Fixture(c.input), c.output), c.want) << c.input;
}
