// engine::PacketCopy on its own: packets read from ffmpeg-made files go through it into a real
// Matroska muxer, and ffprobe says where each packet landed.

#include "engine/packet_copy.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "media/input.h"
#include "support/ffprobe.h"
#include "support/fixtures.h"
#include "support/run.h"

using testsupport::Fixture;
using testsupport::RunCommand;
using testsupport::ScratchDir;

namespace {

constexpr double kWhole = std::numeric_limits<double>::infinity();
constexpr double kFrame = 0.04;   // one picture at 25 fps
constexpr double kTick = 0.0015;  // Matroska keeps milliseconds

// One input file given to the copy: its range on its own clock (a merge takes whole files).
struct Piece {
    std::string fixture;
    double start_s = 0;
    double end_s = kWhole;
};

struct CopyRun {
    int error = 0;             // the first negative return of Add or EndFile
    double stopped_at_s = -1;  // the input time at which Finished() stopped the reading, -1: never
    bool wrote_picture = false;
};

// Copies the pieces into `out` (Matroska) as the engine does: one PacketCopy for the whole output,
// BeginFile / Add / EndFile per piece, reading stopped once a cut is Finished().
CopyRun Copy(const std::vector<Piece>& pieces, bool merge, bool with_video, const std::string& out) {
    CopyRun run;
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, "matroska", out.c_str()) < 0) return run;
    media::MuxerPtr muxer(raw);
    engine::PacketCopy copy;
    AVStream* out_video = nullptr;
    AVStream* out_audio = nullptr;
    media::PacketPtr pkt(av_packet_alloc());
    for (size_t i = 0; i < pieces.size(); ++i) {
        media::InputOptions options;
        options.video_decoder = options.audio_decoder = false;
        media::Input in = media::OpenInput(Fixture(pieces[i].fixture), options);
        EXPECT_TRUE(in.ok()) << pieces[i].fixture << ": " << media::FailureText(in.failure);
        if (!in.ok()) return run;
        AVStream* in_video = with_video ? in.video : nullptr;
        if (i == 0) {
            for (AVStream* s : {in_video, in.audio}) {
                if (!s) continue;
                AVStream* o = avformat_new_stream(muxer.get(), nullptr);
                avcodec_parameters_copy(o->codecpar, s->codecpar);
                o->codecpar->codec_tag = 0;
                o->time_base = s->time_base;
                (s == in_video ? out_video : out_audio) = o;
            }
            if (avio_open(&muxer->pb, out.c_str(), AVIO_FLAG_WRITE) < 0) return run;
            if (avformat_write_header(muxer.get(), nullptr) < 0) return run;
        }
        copy.BeginFile(in_video, in.audio, out_video, out_audio, pieces[i].start_s, pieces[i].end_s, merge);
        while (av_read_frame(in.format.get(), pkt.get()) >= 0) {
            if (copy.Finished()) {
                const AVStream* s = in.format->streams[pkt->stream_index];
                run.stopped_at_s = pkt->pts * av_q2d(s->time_base);
                av_packet_unref(pkt.get());
                break;
            }
            if (int rc = copy.Add(muxer.get(), pkt.get()); rc < 0 && run.error == 0) run.error = rc;
            av_packet_unref(pkt.get());
        }
        if (int rc = copy.EndFile(muxer.get()); rc < 0 && run.error == 0) run.error = rc;
        run.wrote_picture = copy.WrotePicture();
    }
    av_write_trailer(muxer.get());
    avio_closep(&muxer->pb);
    return run;
}

struct PacketTime {
    double pts = NAN, dts = NAN, duration = NAN;
};

// The packets of one stream ("v" or "a") as ffprobe reads them, in file order.
std::vector<PacketTime> Packets(const std::string& path, const std::string& stream) {
    auto r = RunCommand({"ffprobe", "-v", "error", "-select_streams", stream + ":0", "-show_entries",
                         "packet=pts_time,dts_time,duration_time", "-of", "csv=p=0", path});
    std::vector<PacketTime> packets;
    std::istringstream lines(r.out);
    std::string line;
    auto number = [](const std::string& s) { return s.empty() || s == "N/A" ? NAN : std::stod(s); };
    while (std::getline(lines, line)) {
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string v; std::getline(fields, v, ',');) f.push_back(v);
        f.resize(3);
        packets.push_back({number(f[0]), number(f[1]), number(f[2])});
    }
    return packets;
}

// Where a stream's sound ends: the last packet's time plus its duration.
double EndOf(const std::vector<PacketTime>& packets) {
    return packets.empty() ? NAN : packets.back().pts + packets.back().duration;
}

// ---- Cuts: the range's start goes back to the key frame before it, its end keeps every picture
// shown before the end, and the output starts at 0 ----

struct CutCase {
    const char* name;
    double start_s, end_s;
    int pictures;  // in the output: from the key frame at or before the start to the end
};

class PacketCopyCut : public ::testing::TestWithParam<CutCase> {};

TEST_P(PacketCopyCut, StartsAtTheKeyFrameBeforeTheRangeAndEndsWithItsLastPicture) {
    const CutCase& c = GetParam();
    const std::string out = ScratchDir("packet_copy_cut") + "/out.mkv";
    CopyRun run = Copy({{"copy_gop1.mkv", c.start_s, c.end_s}}, false, true, out);
    ASSERT_EQ(run.error, 0);
    EXPECT_TRUE(run.wrote_picture);

    auto video = Packets(out, "v");
    ASSERT_EQ(static_cast<int>(video.size()), c.pictures);
    for (int k = 0; k < c.pictures; ++k) EXPECT_NEAR(video[k].pts, k * kFrame, kTick) << "picture " << k;
    EXPECT_EQ(testsupport::CountDecodedFrames(out), c.pictures);

    // The sound runs from the first picture to the end of the last one.
    auto audio = Packets(out, "a");
    ASSERT_FALSE(audio.empty());
    EXPECT_NEAR(audio.front().pts, 0, kTick);
    EXPECT_NEAR(EndOf(audio), c.pictures * kFrame, kTick);
    EXPECT_NEAR(testsupport::DecodedAudioSeconds(out), c.pictures * kFrame, 0.001);

    // A cut that ends before the file does stops the reading within a second of its end.
    if (c.end_s < 4) {
        EXPECT_GE(run.stopped_at_s, c.end_s);
        EXPECT_LT(run.stopped_at_s, c.end_s + 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Ranges, PacketCopyCut,
                         ::testing::Values(CutCase{"FromTheStart", 0, 1.0, 25},
                                           CutCase{"StartBetweenKeyFrames", 1.5, 2.5, 38},
                                           CutCase{"StartOnAKeyFrame", 1.0, 1.2, 5},
                                           CutCase{"EndBetweenPictures", 2.0, 2.1, 3},
                                           CutCase{"EndPastTheFile", 4.5, 100, 25}),
                         [](const auto& info) { return std::string(info.param.name); });

// Sound alone: from the packet that holds the start until the range's length is written.
TEST(PacketCopySound, ACutOfSoundAloneLastsItsRangeFromItsStart) {
    const std::string out = ScratchDir("packet_copy_sound") + "/out.mkv";
    CopyRun run = Copy({{"copy_gop1.mkv", 0.5, 1.5}}, false, false, out);
    ASSERT_EQ(run.error, 0);
    auto audio = Packets(out, "a");
    ASSERT_EQ(audio.size(), 50u);
    EXPECT_NEAR(audio.front().pts, 0, kTick);
    EXPECT_NEAR(EndOf(audio), 1.0, kTick);
    EXPECT_TRUE(Packets(out, "v").empty());
    EXPECT_GE(run.stopped_at_s, 1.5);
}

// Pictures decoded before they are shown: the copy holds them until it knows where the file goes,
// then writes them so that no decoding time falls before 0 and every picture of the range plays.
TEST(PacketCopyHeld, ReorderedPicturesKeepTheirDelayAndDecodingTimesStayAtOrAfterZero) {
    const std::string out = ScratchDir("packet_copy_bframes") + "/out.mkv";
    CopyRun run = Copy({{"copy_bframes.mov", 1.5, 2.5}}, false, true, out);
    ASSERT_EQ(run.error, 0);
    auto video = Packets(out, "v");
    ASSERT_FALSE(video.empty());
    double first_pts = video.front().pts;
    double min_pts = first_pts;
    for (const PacketTime& p : video) min_pts = std::min(min_pts, p.pts);
    // The key frame at 1.0 s comes first and is the earliest picture shown; the output places it
    // after the B-frame delay of the input (two pictures), so that its decoding time is 0.
    EXPECT_NEAR(first_pts, min_pts, kTick);
    EXPECT_NEAR(first_pts, 2 * kFrame, kTick);
    // Every picture from the key frame at 1.0 s to the last one shown before 2.5 s is there, and so
    // are the later ones decoded before 2.5 s (with all shown between them), as ffprobe reads the input.
    double last_kept_pts = 0;
    for (const PacketTime& p : Packets(Fixture("copy_bframes.mov"), "v"))
        if (p.dts < 2.5 - kTick) last_kept_pts = std::max(last_kept_pts, p.pts);
    ASSERT_GT(last_kept_pts, 2.5) << "the input reorders no picture across the range's end";
    const auto expected = std::lround((last_kept_pts - 1.0) / kFrame) + 1;
    EXPECT_EQ(static_cast<long>(video.size()), expected);
    EXPECT_EQ(testsupport::CountDecodedFrames(out), expected);
    // The sound starts at the key frame's time: with the picture.
    auto audio = Packets(out, "a");
    ASSERT_FALSE(audio.empty());
    EXPECT_NEAR(audio.front().pts, first_pts, 0.033);
}

// ---- Merges: each file is rebased onto where the output stands ----

struct MergeCase {
    const char* name;
    std::vector<Piece> pieces;
    std::vector<double> file_starts_s;  // where each file's first picture lands
    int pictures;
    double sound_s;  // decoded sound in the output
};

class PacketCopyMerge : public ::testing::TestWithParam<MergeCase> {};

TEST_P(PacketCopyMerge, EachFileStartsWhereTheOutputStands) {
    const MergeCase& c = GetParam();
    const std::string out = ScratchDir("packet_copy_merge") + "/out.mkv";
    CopyRun run = Copy(c.pieces, true, true, out);
    ASSERT_EQ(run.error, 0);
    EXPECT_EQ(run.stopped_at_s, -1) << "a merge reads every file to its end";

    auto video = Packets(out, "v");
    ASSERT_EQ(static_cast<int>(video.size()), c.pictures);
    int first = 0;
    for (size_t f = 0; f < c.file_starts_s.size(); ++f) {
        EXPECT_NEAR(video[first].pts, c.file_starts_s[f], kTick) << "file " << f;
        // Each file's pictures follow each other frame by frame from its start.
        const int count = f + 1 < c.file_starts_s.size() ? 25 : c.pictures - first;
        for (int k = 1; k < count; ++k)
            EXPECT_NEAR(video[first + k].pts, c.file_starts_s[f] + k * kFrame, kTick) << "file " << f;
        first += count;
    }
    EXPECT_EQ(testsupport::CountDecodedFrames(out), c.pictures);
    EXPECT_NEAR(testsupport::DecodedAudioSeconds(out), c.sound_s, 0.001);
    // Every file's sound starts with its pictures.
    auto audio = Packets(out, "a");
    for (double start : c.file_starts_s) {
        bool found = false;
        for (const PacketTime& p : audio) found = found || std::abs(p.pts - start) < kTick;
        EXPECT_TRUE(found) << "no sound packet starts at " << start;
    }
}

INSTANTIATE_TEST_SUITE_P(Joints, PacketCopyMerge,
                         ::testing::Values(
                             // Files whose clocks start at 10 s go on from 0 and right after each other.
                             MergeCase{"AFileThatStartsLateIsRebased",
                                       {{"copy_offset10.mkv"}, {"copy_offset10.mkv"}},
                                       {0, 1.0},
                                       50,
                                       2.0},
                             // Sound that outlasts the pictures is kept; the next pictures wait for it on the
                             // frame grid (0.5 s of extra sound: 13 frames).
                             MergeCase{"LongerSoundIsKeptAndTheNextPicturesWait",
                                       {{"copy_sound_longer.mkv"}, {"copy_offset10.mkv"}},
                                       {0, 1.52},
                                       50,
                                       2.5},
                             MergeCase{
                                 "AWaitInTheMiddleMovesTheRestOn",
                                 {{"copy_offset10.mkv"}, {"copy_sound_longer.mkv"}, {"copy_offset10.mkv"}},
                                 {0, 1.0, 2.52},
                                 75,
                                 3.5}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
