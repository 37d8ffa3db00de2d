#include "engine/preview.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

#include "engine/preview_session.h"
#include "support/ffprobe.h"
#include "support/fixtures.h"
#include "support/run.h"

extern "C" {
#include <libavutil/frame.h>
}

using testsupport::Fixture;
using testsupport::RunCommand;
using testsupport::ScratchDir;

namespace {

constexpr int kW = 640, kH = 360, kRow = kW * 3;

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

// A BMP read back from its bytes: the header checked field by field against the one layout the
// preview writes, the pixels turned to top-first rows (BGR).
struct Bmp {
    bool ok = false;
    std::vector<uint8_t> top_first;  // kH rows of kRow bytes, the top row first

    const uint8_t* Pixel(int x, int y) const { return &top_first[static_cast<size_t>(y) * kRow + x * 3]; }
};

Bmp ParseBmp(const std::vector<uint8_t>& b) {
    Bmp bmp;
    EXPECT_EQ(b.size(), 691254u);
    if (b.size() != 691254u) return bmp;
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(Le32(b, 2), 691254u);  // file size
    EXPECT_EQ(Le16(b, 6), 0);
    EXPECT_EQ(Le16(b, 8), 0);
    EXPECT_EQ(Le32(b, 10), 54u);   // pixel data offset
    EXPECT_EQ(Le32(b, 14), 40u);   // header size
    EXPECT_EQ(Le32(b, 18), 640u);  // width
    EXPECT_EQ(Le32(b, 22), 360u);  // positive height: bottom-up
    EXPECT_EQ(Le16(b, 26), 1);     // planes
    EXPECT_EQ(Le16(b, 28), 24);    // bits per pixel
    EXPECT_EQ(Le32(b, 30), 0u);    // no compression
    EXPECT_EQ(Le32(b, 34), 691200u);
    EXPECT_EQ(Le32(b, 38), 100u);
    EXPECT_EQ(Le32(b, 42), 100u);
    EXPECT_EQ(Le32(b, 46), 0u);
    EXPECT_EQ(Le32(b, 50), 0u);
    bmp.top_first.resize(static_cast<size_t>(kH) * kRow);
    for (int y = 0; y < kH; ++y)  // file row 0 is the bottom row
        std::memcpy(&bmp.top_first[static_cast<size_t>(y) * kRow],
                    &b[54 + static_cast<size_t>(kH - 1 - y) * kRow], kRow);
    bmp.ok = true;
    return bmp;
}

bool IsRed(const uint8_t* bgr) { return bgr[2] > 200 && bgr[1] < 60 && bgr[0] < 60; }
bool IsBlue(const uint8_t* bgr) { return bgr[0] > 200 && bgr[1] < 60 && bgr[2] < 60; }

// Red above, blue below, checked away from the pattern in the middle.
void ExpectRedAboveBlue(const Bmp& bmp) {
    ASSERT_TRUE(bmp.ok);
    for (int x : {10, 320, 630}) {
        for (int y : {5, 60, 110}) EXPECT_TRUE(IsRed(bmp.Pixel(x, y))) << x << "," << y;
        for (int y : {250, 300, 354}) EXPECT_TRUE(IsBlue(bmp.Pixel(x, y))) << x << "," << y;
    }
}

enum class Seek {
    kExact,      // the tool seeks on the input and decodes forward to the time
    kDecodeAll,  // the tool decodes from the start and drops frames (for inputs it cannot seek in)
};

// The time of the last key frame at or before at_s, as ffprobe lists the key frames.
double KeyFrameAtOrBefore(const std::string& input, double at_s) {
    auto r = RunCommand({"ffprobe", "-v", "error", "-select_streams", "v:0", "-skip_frame", "nokey",
                         "-show_entries", "frame=pts_time", "-of", "csv=p=0", input});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    double best = 0;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        double t = std::atof(line.c_str());
        if (!line.empty() && t <= at_s + 1e-6) best = std::max(best, t);
    }
    return best;
}

// The ffmpeg tool's own picture at a time, scaled to 640x360 BGR24, top row first.
std::vector<uint8_t> FFmpegFrame(const std::string& input, double at_s, Seek seek = Seek::kExact) {
    char at[32];
    std::snprintf(at, sizeof at, "%.3f", at_s);
    std::vector<std::string> args = {"ffmpeg", "-nostdin", "-v", "error"};
    if (seek == Seek::kDecodeAll) {
        args.insert(args.end(), {"-i", input, "-ss", at});
    } else {
        args.insert(args.end(), {"-ss", at, "-i", input});
    }
    for (const char* a : {"-frames:v", "1", "-s", "640x360", "-pix_fmt", "bgr24", "-f", "rawvideo", "-"})
        args.push_back(a);
    auto r = RunCommand(args);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return std::vector<uint8_t>(r.out.begin(), r.out.end());
}

double MeanAbsDiff(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    EXPECT_EQ(a.size(), b.size());
    if (a.size() != b.size() || a.empty()) return 1e9;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) sum += std::abs(int(a[i]) - int(b[i]));
    return sum / a.size();
}

class PreviewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = ScratchDir(std::string("preview_") +
                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
        bitmap_ = dir_ + "/image.bmp";
    }
    bool Decode(const std::string& file, double at_s) {
        result_ = DecodePreviewFrame({file, at_s, bitmap_});
        return result_.written;
    }
    std::string dir_;
    std::string bitmap_;
    PreviewResult result_;
};

TEST_F(PreviewTest, FullHdInputGivesAnUprightBottomUpBitmapWithTheExactHeader) {
    ASSERT_TRUE(Decode(Fixture("split_1080p.mp4"), 0));
    Bmp bmp = ParseBmp(ReadFile(bitmap_));
    ExpectRedAboveBlue(bmp);
}

// The picture shown is the key frame at or before the position (ffprobe names the key frames), not
// the picture at the position itself.
TEST_F(PreviewTest, PictureIsTheKeyFrameAtOrBeforeThePosition) {
    struct Case {
        const char* fixture;
        double at_s;
    } cases[] = {
        {"split_1080p.mp4", 0.0},  {"split_1080p.mp4", 1.0}, {"split_1080p.mp4", 2.0},
        {"split_1080p.mp4", 2.52}, {"split_1080p.mp4", 3.3}, {"merge_a.mp4", 0.52},  // H.264 with B-frames
        {"merge_a.mp4", 1.44},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.fixture) + " at " + std::to_string(c.at_s));
        const std::string input = Fixture(c.fixture);
        ASSERT_TRUE(Decode(input, c.at_s));
        Bmp bmp = ParseBmp(ReadFile(bitmap_));
        ASSERT_TRUE(bmp.ok);
        const double key_frame_s = KeyFrameAtOrBefore(input, c.at_s);
        const double to_key_frame = MeanAbsDiff(bmp.top_first, FFmpegFrame(input, key_frame_s));
        EXPECT_LT(to_key_frame, 1.5);
        if (c.at_s - key_frame_s > 0.1) {
            EXPECT_LT(to_key_frame, MeanAbsDiff(bmp.top_first, FFmpegFrame(input, c.at_s)));
        }
    }
}

TEST_F(PreviewTest, EveryPixelLayoutComesOutUpright) {
    for (const char* name :
         {"split_444.mkv", "split_422.avi", "split_411.mkv", "split_rgb.mov", "split_1080p.mp4"}) {
        SCOPED_TRACE(name);
        std::filesystem::remove(bitmap_);
        ASSERT_TRUE(Decode(Fixture(name), 0.5));
        Bmp bmp = ParseBmp(ReadFile(bitmap_));
        ExpectRedAboveBlue(bmp);
        const double key_frame_s = KeyFrameAtOrBefore(Fixture(name), 0.5);
        EXPECT_LT(MeanAbsDiff(bmp.top_first, FFmpegFrame(Fixture(name), key_frame_s)), 2.0);
    }
}

TEST_F(PreviewTest, KeptScalerGivesTheSamePictureAsAFreshOne) {
    const std::string big = Fixture("split_1080p.mp4"), small = Fixture("split_444.mkv");
    ASSERT_TRUE(Decode(big, 1.2));  // the scaler may come from an earlier test: compare after a change
    ASSERT_TRUE(Decode(small, 0.2));
    ASSERT_TRUE(Decode(big, 1.2));  // fresh scaler for 1920x1080
    auto fresh = ReadFile(bitmap_);
    ASSERT_TRUE(Decode(big, 1.2));  // kept scaler
    EXPECT_EQ(ReadFile(bitmap_), fresh);
    ASSERT_TRUE(Decode(small, 0.2));
    auto small_fresh = ReadFile(bitmap_);
    ASSERT_TRUE(Decode(small, 0.2));
    EXPECT_EQ(ReadFile(bitmap_), small_fresh);
}

TEST_F(PreviewTest, FailuresLeaveThePreviousBitmap) {
    ASSERT_TRUE(Decode(Fixture("split_444.mkv"), 0));
    const auto before = ReadFile(bitmap_);
    for (const char* name : {"audio_only.mp3", "not_media.mp4", "truncated.mp4", "unknown_video_codec.avi"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(Decode(Fixture(name), 0.5));
        EXPECT_EQ(ReadFile(bitmap_), before);
    }
    EXPECT_FALSE(Decode(dir_ + "/no_such_file.mp4", 0));
    EXPECT_EQ(ReadFile(bitmap_), before);

    // A folder that does not exist: nothing is written anywhere.
    bitmap_ = dir_ + "/missing/image.bmp";
    EXPECT_FALSE(Decode(Fixture("split_444.mkv"), 0));
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/missing"));
}

TEST_F(PreviewTest, PositionIsShiftedByTheContainerStartTime) {
    const std::string input = Fixture("video_start10.ts");
    // An MPEG-TS whose only key frame is its first picture: the demuxer's seek lands on a picture that
    // cannot be decoded, so the seek steps back to that key frame.
    ASSERT_TRUE(Decode(input, 1.0));
    EXPECT_NEAR(result_.input_start_s, testsupport::FFprobe(input).start_time_s, 0.001);
    EXPECT_GT(result_.input_start_s, 10.0);
    EXPECT_DOUBLE_EQ(result_.file_position_s, 1.0 + result_.input_start_s);
    Bmp bmp = ParseBmp(ReadFile(bitmap_));
    ASSERT_TRUE(bmp.ok);
    EXPECT_LT(MeanAbsDiff(bmp.top_first, FFmpegFrame(input, 0.0, Seek::kDecodeAll)), 2.0);
    EXPECT_GT(MeanAbsDiff(bmp.top_first, FFmpegFrame(input, 1.0, Seek::kDecodeAll)), 2.0);
}

TEST_F(PreviewTest, PositionPastTheEndShowsTheLastPicture) {
    const std::string input = Fixture("split_444.mkv");  // 1 s
    ASSERT_TRUE(Decode(input, 30.0));
    Bmp bmp = ParseBmp(ReadFile(bitmap_));
    ExpectRedAboveBlue(bmp);
}

TEST(SavePreviewBitmap, RefusesPicturesOfAnotherShape) {
    std::string dir = ScratchDir("preview_save");
    struct Case {
        int w, h;
        AVPixelFormat format;
        bool ok;
    } cases[] = {
        {640, 360, AV_PIX_FMT_BGR24, true},
        {640, 360, AV_PIX_FMT_RGB24, false},
        {320, 180, AV_PIX_FMT_BGR24, false},
        {640, 480, AV_PIX_FMT_BGR24, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.w);
        std::unique_ptr<AVFrame, void (*)(AVFrame*)> frame(av_frame_alloc(),
                                                           [](AVFrame* f) { av_frame_free(&f); });
        frame->width = c.w;
        frame->height = c.h;
        frame->format = c.format;
        ASSERT_EQ(av_frame_get_buffer(frame.get(), 0), 0);
        // Row y holds the value y in every byte, so the row order in the file shows.
        for (int y = 0; y < c.h; ++y) std::memset(frame->data[0] + y * frame->linesize[0], y & 0xFF, c.w * 3);
        std::string path = dir + "/out.bmp";
        std::filesystem::remove(path);
        EXPECT_EQ(SavePreviewBitmap(frame.get(), path), c.ok);
        EXPECT_EQ(std::filesystem::exists(path), c.ok);
        if (c.ok) {
            auto bytes = ReadFile(path);
            ASSERT_EQ(bytes.size(), 691254u);
            EXPECT_EQ(bytes[54], 359 & 0xFF);      // the bottom row comes first
            EXPECT_EQ(bytes[54 + 359 * 1920], 0);  // the top row last
        }
    }
    EXPECT_FALSE(SavePreviewBitmap(nullptr, dir + "/none.bmp"));
}

}  // namespace

// A drag across a video and back through one session: every picture is the key frame at or before
// its position, as the ffmpeg tool decodes it; passing a key frame again gives the very same
// picture from the kept ones, which stay within their bound; the BMP written behind the picture
// holds it.
TEST(PreviewSession, DragAndRevisitShowTheKeyFrameAtOrBefore) {
    for (const char* name : {"gop2_8s.mp4", "merge_a.mp4"}) {
        SCOPED_TRACE(name);
        const std::string input = Fixture(name);
        const double duration_s = testsupport::FFprobe(input).duration_s;
        engine::PreviewSession session(input, 3);
        std::vector<double> positions;
        for (double t = 0; t < duration_s; t += duration_s / 12) positions.push_back(t);
        std::map<double, std::vector<uint8_t>> by_key_frame;  // the ffmpeg tool's pictures
        std::vector<std::shared_ptr<const engine::PreviewPicture>> first_pass;
        for (double t : positions) {
            auto picture = session.PictureAt(t);
            ASSERT_TRUE(picture) << t;
            const double key_s = KeyFrameAtOrBefore(input, t);
            if (!by_key_frame.count(key_s)) by_key_frame[key_s] = FFmpegFrame(input, key_s);
            EXPECT_LT(MeanAbsDiff(picture->bgr, by_key_frame[key_s]), 1.5) << "at " << t;
            first_pass.push_back(picture);
            EXPECT_LE(session.cachedPictures(), 3u);
        }
        const int decodes = session.decodes();
        EXPECT_LT(decodes, static_cast<int>(positions.size()))
            << "positions sharing a key frame decode it once";
        for (size_t i = positions.size(); i-- > positions.size() - 3;) {
            auto again = session.PictureAt(positions[i]);
            ASSERT_TRUE(again);
            EXPECT_EQ(again->bgr, first_pass[i]->bgr) << "at " << positions[i];
        }
        EXPECT_GT(session.cacheHits(), 0);

        const std::string bmp_path = ScratchDir(std::string("session_") + name) + "/image.bmp";
        session.WriteBitmapLater(first_pass.back(), bmp_path);
        ASSERT_TRUE(session.WaitForBitmap());
        Bmp bmp = ParseBmp(ReadFile(bmp_path));
        ASSERT_TRUE(bmp.ok);
        EXPECT_EQ(bmp.top_first, first_pass.back()->bgr);
    }
}
