// The cut tab's time fields, position text and selection marks.
#include "common/time_range.h"

#include <gtest/gtest.h>

namespace {

constexpr int64_t kTenSecondsUs = 10'000'000;

TEST(LoadedVideo, SelectsTheWholeVideo) {
    const LoadedVideoView v = ViewOfLoadedVideo(kTenSecondsUs, 0, kTenSecondsUs);
    EXPECT_EQ(v.selection_start, 0);
    EXPECT_EQ(v.selection_end, 1000);
    EXPECT_EQ(v.fields.start, "00:00:00.000");
    EXPECT_EQ(v.fields.end, "00:00:10.000");
    EXPECT_EQ(v.fields.length, "00:00:10.000");
    EXPECT_EQ(v.position, "00:00:00.000 / 00:00:10.000");
}

TEST(LoadedVideo, LongVideoStillEndsAtTheSliderEnd) {
    // 100 hours: the per-mille product needs 64 bits.
    const int64_t d = 360'000'000'000LL;
    const LoadedVideoView v = ViewOfLoadedVideo(d, 0, d);
    EXPECT_EQ(v.selection_end, 1000);
    EXPECT_EQ(v.fields.end, "100:00:00.000");
}

TEST(LoadedVideo, WithoutDurationDoesNotDivideByZero) {
    const LoadedVideoView v = ViewOfLoadedVideo(0, 0, 0);
    EXPECT_EQ(v.selection_start, 0);
    EXPECT_EQ(v.selection_end, 1000);
    EXPECT_EQ(v.fields.length, "00:00:00.000");
}

struct ThumbCase {
    int thumb;
    int64_t duration_us;
    double seek_s;
    const char* position;
};

class ThumbTest : public ::testing::TestWithParam<ThumbCase> {};

TEST_P(ThumbTest, GivesSeekTimeAndPositionText) {
    const ThumbCase& c = GetParam();
    const TrackedPosition p = PositionAtThumb(c.thumb, c.duration_us);
    EXPECT_NEAR(p.seek_s, c.seek_s, 1e-3);
    EXPECT_EQ(p.position, c.position);
    EXPECT_EQ(p.preview_ms, static_cast<int32_t>(p.seek_s * 1000));
}

INSTANTIATE_TEST_SUITE_P(Cases, ThumbTest,
                         ::testing::Values(ThumbCase{0, kTenSecondsUs, 0.0, "00:00:00.000 / 00:00:10.000"},
                                           ThumbCase{500, kTenSecondsUs, 5.0, "00:00:05.000 / 00:00:10.000"},
                                           ThumbCase{1000, kTenSecondsUs, 10.0,
                                                     "00:00:10.000 / 00:00:10.000"},
                                           ThumbCase{250, 3'000'000, 0.75, "00:00:00.750 / 00:00:03.000"}));

TEST(StartPoint, ResetsTheEndToTheEndOfTheVideo) {
    const TimeFields f = FieldsForStartPoint(3000, kTenSecondsUs);
    EXPECT_EQ(f.start, "00:00:03.000");
    EXPECT_EQ(f.end, "00:00:10.000");
    EXPECT_EQ(f.length, "00:00:07.000");
}

struct EndCase {
    const char* start_text;
    int32_t preview_ms;
    TimeFields expected;
};

class EndPointTest : public ::testing::TestWithParam<EndCase> {};

TEST_P(EndPointTest, SetsEndOrSwapsWithStart) {
    const EndCase& c = GetParam();
    const TimeFields f = FieldsForEndPoint(c.start_text, c.preview_ms);
    EXPECT_EQ(f.start, c.expected.start);
    EXPECT_EQ(f.end, c.expected.end);
    EXPECT_EQ(f.length, c.expected.length);
}

INSTANTIATE_TEST_SUITE_P(Cases, EndPointTest,
                         ::testing::Values(
                             // After the start: the end moves there.
                             EndCase{"00:00:02.000", 7000, {"00:00:02.000", "00:00:07.000", "00:00:05.000"}},
                             // Before the start: the two times swap.
                             EndCase{"00:00:05.000", 2000, {"00:00:02.000", "00:00:05.000", "00:00:03.000"}},
                             // At the start: swapped as well, an empty range.
                             EndCase{
                                 "00:00:04.000", 4000, {"00:00:04.000", "00:00:04.000", "00:00:00.000"}}));

struct LengthCase {
    const char* start;
    const char* end;
    const char* length;
};

class LengthTest : public ::testing::TestWithParam<LengthCase> {};

TEST_P(LengthTest, IsTheDifferenceOrZero) {
    EXPECT_EQ(LengthText(GetParam().start, GetParam().end), GetParam().length);
}

INSTANTIATE_TEST_SUITE_P(Cases, LengthTest,
                         ::testing::Values(LengthCase{"00:00:01.000", "00:00:03.500", "00:00:02.500"},
                                           LengthCase{"00:00:05.000", "00:00:02.000", "00:00:00.000"},
                                           LengthCase{"00:00:05.000", "00:00:05.000", "00:00:00.000"},
                                           LengthCase{"", "01:00:00.000", "01:00:00.000"},
                                           LengthCase{"garbage", "", "00:00:00.000"}));

}  // namespace
