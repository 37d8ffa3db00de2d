#include "jobs/video_jobs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "engine/probe.h"
#include "support/fixtures.h"

namespace fs = std::filesystem;
using testsupport::Fixture;
using testsupport::ScratchDir;

namespace {

void Touch(const std::string& path) { std::ofstream(path) << "x"; }

constexpr AVRational kNtscRate{30000, 1001};

JobSettings ReencodeSettings(int preset, AVRational frame_rate = kNtscRate) {
    JobSettings s;
    s.direct = false;
    s.video_codec_id = kOutputPresets[preset].video_codec_id;
    s.audio_codec_id = kOutputPresets[preset].audio_codec_id;
    s.video_bit_rate = 2500000;
    s.width = 640;
    s.height = 480;
    s.frame_rate = frame_rate;
    s.audio_bit_rate = 128000;
    s.sample_rate = 44100;
    return s;
}

bool SameRate(AVRational a, AVRational b) { return av_cmp_q(a, b) == 0; }

JobSettings DirectSettings() {
    JobSettings s = ReencodeSettings(0);
    s.direct = true;
    return s;
}

TEST(OutputNames, ExtensionsNamesAndSanitising) {
    struct Case {
        const char *path, *extension, *name, *format_column;
    } cases[] = {
        {"/v/holiday.avi", ".avi", "holiday", "avi"},
        {"/v/holiday.trip.MKV", ".MKV", "holiday.trip", "MKV"},
        {"/v/noext", "", "noext", "/v/noext"},
        {"/v.d/noext", "", "noext", "d/noext"},  // a dot in a folder is no extension
        {"clip.mp4", ".mp4", "clip", "mp4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(FileExtension(c.path), c.extension);
        EXPECT_EQ(DefaultOutputName(c.path), c.name);
        EXPECT_EQ(FormatColumnText(c.path), c.format_column);
    }
    EXPECT_EQ(SanitizeOutputName("a/b:c*d?e"), "abcde");
    EXPECT_EQ(SanitizeOutputName("x\\y<z>|w@q\"r"), "xyzwq\"r");
    EXPECT_EQ(ComposeOutputPath("/out", "clip", ".mp4"), "/out/clip.mp4");
    EXPECT_EQ(ComposeOutputPath("/out/", "clip", ".mp4"), "/out/clip.mp4");
}

TEST(OutputNames, UniqueNameCountsBeforeTheExtensionAndNeverPilesUp) {
    std::string dir = ScratchDir("job_builder_unique");
    std::string p = dir + "/clip.mp4";
    EXPECT_EQ(UniqueOutputPath(p), p);
    Touch(p);
    EXPECT_EQ(UniqueOutputPath(p), dir + "/clip(0).mp4");
    Touch(dir + "/clip(0).mp4");
    EXPECT_EQ(UniqueOutputPath(p), dir + "/clip(1).mp4");
    fs::create_directory(dir + "/clip(1).mp4");               // a folder takes the name too
    fs::create_symlink(dir + "/gone", dir + "/clip(2).mp4");  // and so does a dangling link
    EXPECT_EQ(UniqueOutputPath(p), dir + "/clip(3).mp4");

    std::string bare = dir + "/noext";
    Touch(bare);
    EXPECT_EQ(UniqueOutputPath(bare), dir + "/noext(0)");

    // A name the system refuses ends the search with a refusal instead of counting forever: too long
    // at once, or too long once the counter is added.
    JobRequest job;
    EXPECT_EQ(BuildCutJob({"/v/a.mp4", 0, 1000}, DirectSettings(), {dir, std::string(252, 'n'), ".mp4"}, job),
              JobRefusal::kOutputNameRefused);
    const std::string longest(251, 'm');
    Touch(dir + "/" + longest + ".mp4");
    EXPECT_EQ(BuildCutJob({"/v/" + longest + ".mp4", 0, 1000}, DirectSettings(), {dir, longest, ".mp4"}, job),
              JobRefusal::kOutputNameRefused);
    EXPECT_TRUE(job.output_path.empty());
}

class CutJobTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = ScratchDir("job_builder_cut");
        job_ = std::make_unique<JobRequest>();
    }
    std::string dir_;
    std::unique_ptr<JobRequest> job_;
};

TEST_F(CutJobTest, ReencodingCutFillsTheJob) {
    Touch(dir_ + "/holiday.flv");  // the first choice exists: the counter applies
    JobSettings settings = ReencodeSettings(3);
    CutRequest request{"/v/holiday.avi", 10000, 25500};
    ASSERT_EQ(BuildCutJob(request, settings, {dir_, "holiday", PresetExtension(3)}, *job_),
              JobRefusal::kNone);

    ASSERT_EQ(job_->FileCount(), 1);
    EXPECT_EQ(job_->inputs[0].path, "/v/holiday.avi");
    EXPECT_EQ(job_->output_path, dir_ + "/holiday(0).flv");
    EXPECT_DOUBLE_EQ(job_->inputs[0].start_s, 10.0);
    EXPECT_DOUBLE_EQ(job_->inputs[0].length_s, 15.5);
    EXPECT_TRUE(job_->reencode);
    EXPECT_FALSE(job_->merge);
    EXPECT_EQ(job_->output.video_codec_id, AV_CODEC_ID_FLV1);
    EXPECT_EQ(job_->output.audio_codec_id, AV_CODEC_ID_MP3);
    EXPECT_EQ(job_->output.video_bit_rate, 2500000);
    EXPECT_EQ(job_->output.width, 640);
    EXPECT_EQ(job_->output.height, 480);
    EXPECT_TRUE(SameRate(job_->output.frame_rate, kNtscRate));
    EXPECT_EQ(job_->output.audio_bit_rate, 128000);
    EXPECT_EQ(job_->output.sample_rate, 44100);
    EXPECT_EQ(job_->output.channels, 2);
}

TEST_F(CutJobTest, PresetsGiveTheirCodecsAndExtensions) {
    struct Case {
        int preset;
        AVCodecID video, audio;
        const char* extension;
    } cases[] = {
        {0, AV_CODEC_ID_MPEG4, AV_CODEC_ID_AAC, ".mp4"},   {1, AV_CODEC_ID_H264, AV_CODEC_ID_AAC, ".mp4"},
        {2, AV_CODEC_ID_MPEG4, AV_CODEC_ID_MP3, ".avi"},   {3, AV_CODEC_ID_FLV1, AV_CODEC_ID_MP3, ".flv"},
        {4, AV_CODEC_ID_WMV2, AV_CODEC_ID_WMAV2, ".wmv"},  {5, AV_CODEC_ID_MPEG4, AV_CODEC_ID_AAC, ".mov"},
        {6, AV_CODEC_ID_H264, AV_CODEC_ID_VORBIS, ".mkv"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.preset);
        ASSERT_EQ(BuildCutJob({"/v/in.mkv", 0, 1000}, ReencodeSettings(c.preset),
                              {dir_, "out", PresetExtension(c.preset)}, *job_),
                  JobRefusal::kNone);
        EXPECT_EQ(job_->output.video_codec_id, c.video);
        EXPECT_EQ(job_->output.audio_codec_id, c.audio);
        EXPECT_EQ(job_->output_path, dir_ + "/out" + c.extension);
    }
}

TEST_F(CutJobTest, DirectCutKeepsTheInputExtensionWhateverThePreset) {
    ASSERT_EQ(BuildCutJob({"/v/film.mkv", 0, 5000}, DirectSettings(), {dir_, "film", ".mp4"}, *job_),
              JobRefusal::kNone);
    EXPECT_EQ(job_->output_path, dir_ + "/film.mkv");
    EXPECT_FALSE(job_->reencode);
}

TEST_F(CutJobTest, NoFrameRateMeansTheSourceRate) {
    job_->output.frame_rate = AVRational{25, 1};
    ASSERT_EQ(
        BuildCutJob({"/v/a.mp4", 0, 1000}, ReencodeSettings(0, AVRational{0, 1}), {dir_, "a", ".mp4"}, *job_),
        JobRefusal::kNone);
    EXPECT_EQ(job_->output.frame_rate.num, 0);
}

TEST_F(CutJobTest, NoCodecsLeaveTheFields) {
    JobSettings s = ReencodeSettings(0);
    s.video_codec_id = AV_CODEC_ID_NONE;
    s.audio_codec_id = AV_CODEC_ID_NONE;
    job_->output.video_codec_id = AV_CODEC_ID_WMV2;
    job_->output.audio_codec_id = AV_CODEC_ID_MP3;
    ASSERT_EQ(BuildCutJob({"/v/a.mp4", 0, 1000}, s, {dir_, "a", ".mp4"}, *job_), JobRefusal::kNone);
    EXPECT_EQ(job_->output.video_codec_id, AV_CODEC_ID_WMV2);
    EXPECT_EQ(job_->output.audio_codec_id, AV_CODEC_ID_MP3);
}

TEST_F(CutJobTest, EndBeforeStartIsPassedOnAsItIs) {
    ASSERT_EQ(BuildCutJob({"/v/a.mp4", 7000, 2000}, ReencodeSettings(0), {dir_, "a", ".mp4"}, *job_),
              JobRefusal::kNone);
    EXPECT_DOUBLE_EQ(job_->inputs[0].start_s, 7.0);
    EXPECT_DOUBLE_EQ(job_->inputs[0].length_s, -5.0);
}

TEST_F(CutJobTest, RefusalsLeaveTheJobAlone) {
    std::string readonly = dir_ + "/readonly";
    fs::create_directory(readonly);
    chmod(readonly.c_str(), 0555);
    bool root = access(readonly.c_str(), W_OK) == 0;  // root writes anywhere
    struct Case {
        CutRequest request;
        std::string folder;
        JobRefusal refusal;
    } cases[] = {
        {{"", 0, 1000}, dir_, JobRefusal::kNoFile},
        {{"/v/a.mp4", 0, 1000}, dir_ + "/missing", JobRefusal::kOutputFolderMissing},
        {{"/v/a.mp4", 0, 1000}, "", JobRefusal::kOutputFolderMissing},
        {{"/v/a.mp4", 0, 1000}, readonly, root ? JobRefusal::kNone : JobRefusal::kOutputFolderNotWritable},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        auto job = std::make_unique<JobRequest>();
        EXPECT_EQ(BuildCutJob(c.request, ReencodeSettings(0), {c.folder, "a", ".mp4"}, *job), c.refusal);
        if (c.refusal != JobRefusal::kNone) {
            EXPECT_EQ(job->FileCount(), 0);
            EXPECT_TRUE(job->output_path.empty());
        }
    }
    chmod(readonly.c_str(), 0755);
    EXPECT_EQ(RefusalMessageKey(JobRefusal::kNoFile), "qxtjsp");
    EXPECT_EQ(RefusalMessageKey(JobRefusal::kOutputFolderMissing), "mlbcz");
}

MergeItem Item(const std::string& path, const std::string& size, int32_t duration_ms, int32_t video = 0,
               int32_t audio = 0) {
    MergeItem item;
    item.path = path;
    item.format_text = FormatColumnText(path);
    item.size_text = size;
    item.duration_ms = duration_ms;
    item.video_codec_id = video;
    item.audio_codec_id = audio;
    return item;
}

class MergeJobTest : public CutJobTest {};

TEST_F(MergeJobTest, MergeFillsEveryEntryAndLosesFractionsFileByFile) {
    std::vector<MergeItem> items = {Item("/v/a.mp4", "320*240", 1900), Item("/v/b.avi", "640*480", 1900),
                                    Item("/v/c.mkv", "320*240", 1900)};
    JobSettings settings = DefaultMergeSettings();
    ASSERT_EQ(BuildMergeJob(items, settings, {dir_, "merged", ".mp4"}, *job_), JobRefusal::kNone);
    ASSERT_EQ(job_->FileCount(), 3);
    EXPECT_EQ(job_->merge_total_s, 3);  // 1, then 2, then 3
    for (int i = 0; i < 3; ++i) EXPECT_EQ(job_->inputs[i].path, items[i].path);
    EXPECT_EQ(job_->output_path, dir_ + "/merged.mp4");
    EXPECT_TRUE(job_->merge);
    EXPECT_TRUE(job_->reencode);
    EXPECT_EQ(job_->output.video_codec_id, AV_CODEC_ID_MPEG4);
    EXPECT_EQ(job_->output.audio_codec_id, AV_CODEC_ID_AAC);
    EXPECT_EQ(job_->output.video_bit_rate, 3000000);
    EXPECT_EQ(job_->output.width, 320);
    EXPECT_EQ(job_->output.height, 240);
    EXPECT_TRUE(SameRate(job_->output.frame_rate, kNtscRate));
    EXPECT_EQ(job_->output.audio_bit_rate, 192000);
    EXPECT_EQ(job_->output.sample_rate, 44100);
    EXPECT_EQ(job_->output.channels, 2);
}

TEST_F(MergeJobTest, MergeFrameRateOutsideTheTableKeepsThePreviousValue) {
    JobSettings settings = DefaultMergeSettings();
    settings.frame_rate = AVRational{0, 1};
    job_->output.frame_rate = AVRational{24, 1};
    ASSERT_EQ(BuildMergeJob({Item("/v/a.mp4", "1*1", 0), Item("/v/b.mp4", "1*1", 0)}, settings,
                            {dir_, "m", ".mp4"}, *job_),
              JobRefusal::kNone);
    EXPECT_TRUE(SameRate(job_->output.frame_rate, AVRational{24, 1}));
}

TEST_F(MergeJobTest, DirectMergeNeedsTheSameFormatSizeAndCodecs) {
    const int32_t h264 = AV_CODEC_ID_H264, mpeg4 = AV_CODEC_ID_MPEG4, aac = AV_CODEC_ID_AAC,
                  mp3 = AV_CODEC_ID_MP3;
    struct Case {
        const char* what;
        std::vector<MergeItem> items;
        JobRefusal refusal;
    } cases[] = {
        {"same",
         {Item("/v/a.mp4", "320*240", 3000, h264, aac), Item("/v/b.mp4", "320*240", 3000, h264, aac)},
         JobRefusal::kNone},
        {"avi and mp4",
         {Item("/v/a.avi", "320*240", 3000), Item("/v/b.mp4", "320*240", 3000)},
         JobRefusal::kNotSameFormat},
        {"case of the extension",
         {Item("/v/a.mp4", "320*240", 3000), Item("/v/b.MP4", "320*240", 3000)},
         JobRefusal::kNotSameFormat},
        {"size",
         {Item("/v/a.mp4", "320*240", 3000), Item("/v/b.mp4", "640*480", 3000)},
         JobRefusal::kNotSameFormat},
        {"video codec",
         {Item("/v/a.mp4", "320*240", 3000, h264, aac), Item("/v/b.mp4", "320*240", 3000, mpeg4, aac)},
         JobRefusal::kNotSameFormat},
        {"audio codec",
         {Item("/v/a.mp4", "320*240", 3000, h264, aac), Item("/v/b.mp4", "320*240", 3000, h264, mp3)},
         JobRefusal::kNotSameFormat},
        {"third differs",
         {Item("/v/a.mp4", "320*240", 3000), Item("/v/b.mp4", "320*240", 3000),
          Item("/v/c.mp4", "320*241", 3000)},
         JobRefusal::kNotSameFormat},
        {"one file", {Item("/v/a.mp4", "320*240", 3000)}, JobRefusal::kTooFewFiles},
        {"none", {}, JobRefusal::kNoFile},
        {"too many", std::vector<MergeItem>(MAX_JOB_FILES + 1, Item("/v/a.mp4", "1*1", 1)),
         JobRefusal::kTooManyFiles},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto job = std::make_unique<JobRequest>();
        EXPECT_EQ(BuildMergeJob(c.items, DirectSettings(), {dir_, "m", ".avi"}, *job), c.refusal);
        if (c.refusal == JobRefusal::kNone) {
            EXPECT_FALSE(job->reencode);
            EXPECT_EQ(job->output_path, dir_ + "/m.mp4");  // the files' own extension
        } else {
            EXPECT_EQ(job->FileCount(), 0);
        }
    }
    // The same files that differ merge by re-encoding.
    auto job = std::make_unique<JobRequest>();
    EXPECT_EQ(BuildMergeJob({Item("/v/a.avi", "320*240", 3000), Item("/v/b.mp4", "640*480", 3000)},
                            ReencodeSettings(0), {dir_, "m", ".mp4"}, *job),
              JobRefusal::kNone);
    EXPECT_EQ(RefusalMessageKey(JobRefusal::kNotSameFormat), "bnzjhb");
    EXPECT_EQ(RefusalMessageKey(JobRefusal::kTooFewFiles), "zslgwj");
    EXPECT_EQ(RefusalMessageKey(JobRefusal::kTooManyFiles), "");
    EXPECT_FALSE(RefusalEnglishText(JobRefusal::kTooManyFiles, MediaKind::kVideo).empty());
}

TEST_F(MergeJobTest, AMergeOfExactlyTheLimitIsAccepted) {
    std::vector<MergeItem> items(MAX_JOB_FILES, Item("/v/a.mp4", "1*1", 1000));
    ASSERT_EQ(BuildMergeJob(items, DefaultMergeSettings(), {dir_, "m", ".mp4"}, *job_), JobRefusal::kNone);
    EXPECT_EQ(job_->FileCount(), MAX_JOB_FILES);
    EXPECT_EQ(job_->merge_total_s, MAX_JOB_FILES);
}

TEST(MergeItemFromProbe, TakesTheListColumnsFromTheProbe) {
    const std::string path = Fixture("video_h264_aac.mp4");
    const ProbeResult probe = ProbeMediaFile(path);
    ASSERT_EQ(probe.result, PROBE_OK);
    MergeItem item = MergeItemFromProbe(path, probe);
    EXPECT_EQ(item.format_text, "mp4");
    EXPECT_EQ(item.size_text, "320*240");
    EXPECT_NEAR(item.duration_ms, 3000, 100);
    EXPECT_EQ(item.video_codec_id, AV_CODEC_ID_H264);
    EXPECT_EQ(item.audio_codec_id, AV_CODEC_ID_AAC);
    EXPECT_EQ(item.sample_rate, 44100);
    EXPECT_EQ(item.channels, 2);
}

}  // namespace
