// Texts of the merge list's rows, the open-file filter and the unreadable-file message.
#include "videotool/file_rows.h"

#include <gtest/gtest.h>

#include "engine/probe.h"

namespace {

struct PathCase {
    const char* path;
    const char* normalized;
    const char* extension;
    const char* file_name;
};

class ChosenPathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(ChosenPathTest, GivesColumnAndMessageTexts) {
    const PathCase& c = GetParam();
    EXPECT_EQ(NormalizeChosenPath(c.path), c.normalized);
    EXPECT_EQ(ExtensionText(c.path), c.extension);
    EXPECT_EQ(FileNameText(c.path), c.file_name);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChosenPathTest,
    ::testing::Values(PathCase{"/home/u/clip.mp4", "/home/u/clip.mp4", "mp4", "clip.mp4"},
                      // A path that begins with the separator is left alone, doubled ones included.
                      PathCase{"//server/share/a.MKV", "//server/share/a.MKV", "MKV", "a.MKV"},
                      PathCase{"media//clips//b.avi", "media/clips/b.avi", "avi", "b.avi"},
                      // Without a dot the whole path stands for the extension.
                      PathCase{"/tmp/noext", "/tmp/noext", "/tmp/noext", "noext"},
                      PathCase{"plain", "plain", "plain", "plain"}));

struct RateCase {
    int num, den;
    const char* text;
};

class FrameRateTextTest : public ::testing::TestWithParam<RateCase> {};

TEST_P(FrameRateTextTest, UsesFivePointTwoFormat) {
    EXPECT_EQ(FrameRateText(GetParam().num, GetParam().den), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Cases, FrameRateTextTest,
                         ::testing::Values(RateCase{25, 1, "25.00fps"}, RateCase{30000, 1001, "29.97fps"},
                                           RateCase{8, 1, " 8.00fps"}, RateCase{120, 1, "120.00fps"},
                                           RateCase{25, 0, " 0.00fps"}));

TEST(FileRowTexts, FillsTheSixColumnsFromTheProbe) {
    ProbeResult job;
    job.duration_us = 3'040'000;
    job.width = 320;
    job.height = 240;
    job.frame_rate_num = 25;
    job.frame_rate_den = 1;
    const auto row = FileRowTexts("/v/clip.mp4", job, "Ready");
    EXPECT_EQ(row[0], "/v/clip.mp4");
    EXPECT_EQ(row[1], "mp4");
    EXPECT_EQ(row[2], "00:00:03.040");
    EXPECT_EQ(row[3], "320*240");
    EXPECT_EQ(row[4], "25.00fps");
    EXPECT_EQ(row[5], "Ready");
}

TEST(VideoFileFilter, HasVideoAndAllFilesEntries) {
    const std::string f = VideoFileFilter("Videos", "All");
    EXPECT_EQ(f.rfind("Videos|*.rm;*.rmvb;", 0), 0u);
    EXPECT_NE(f.find(";*.mp4;"), std::string::npos);
    EXPECT_TRUE(f.ends_with(";*.asf;*.wmv;*.wm|All|*|")) << f;
}

}  // namespace
