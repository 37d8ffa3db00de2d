// The player library through its C interface, on SDL's disk audio driver: what was handed to the
// device is read back from the driver's file and compared with the ffmpeg tool's decoding.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "auvella/auvella.h"
#include "support/fixtures.h"
#include "support/pcm.h"

using testsupport::Fixture;
using testsupport::Pcm;

namespace {

int g_finished_calls = 0;
std::thread::id g_finished_thread;
int FinishedCallback() {
    ++g_finished_calls;
    g_finished_thread = std::this_thread::get_id();
    return 1;
}

class PlayerTest : public testing::Test {
  protected:
    void SetUp() override {
        g_finished_calls = 0;
        out_ = testsupport::ScratchDir("auvella") + "/device.raw";
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", out_.c_str(), 1);
        // Buffers of about 11.6 ms written every 3 ms: the file plays about four times as fast.
        setenv("SDL_DISKAUDIODELAY", "3", 1);
        Auvella_Initialize(&FinishedCallback, nullptr, AUVELLA_INIT_TEXT);
    }
    void TearDown() override { Auvella_Close(); }

    // Opens a fixture; its device format in rate_ and channels_.
    bool Open(const std::string& name) {
        path_ = Fixture(name);
        Auvella_SetFileName(path_.c_str());
        if (Auvella_Open() != 0) return false;
        Auvella_GetMideaType(&rate_, &channels_);
        return rate_ > 0 && channels_ > 0;
    }

    static double Position() {
        double s = -1;
        Auvella_GetCurrentPosition(&s);
        return s;
    }

    // Waits (at most 60 s) until the position reaches `seconds`.
    static bool WaitForPosition(double seconds) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (Position() < seconds) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

    // Waits (at most 60 s) until the device has written at least 4 KiB more than it had now, so
    // that, whatever stdio still held back, some of what it wrote since is in the file.
    void WaitForDeviceWrites() {
        std::error_code ec;
        auto size = [&] { return std::filesystem::file_size(out_, ec); };
        auto from = size();
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (size() < from + 8192 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }

    // Runs the dispatch loop until the end-of-playback callback ran (at most 60 s).
    static bool WaitForEnd() {
        for (int i = 0; i < 600 && g_finished_calls == 0; ++i) Auvella_Dispatch(100);
        return g_finished_calls > 0;
    }

    // What the device played, after Close has flushed the driver's file.
    testsupport::Played Played() {
        Auvella_Close();
        return testsupport::CutSilence(testsupport::ReadPcm(out_, rate_, channels_));
    }
    Pcm Reference() { return testsupport::DecodeWithFfmpeg(path_, rate_, channels_); }

    std::string out_, path_;
    int32_t rate_ = 0, channels_ = 0;
};

TEST_F(PlayerTest, PlaysTheWholeFileAndCallsBackOnceOnTheInitializingThread) {
    static std::atomic<int> notified;
    notified = 0;
    Auvella_SetNotify([](void* count) { ++*static_cast<std::atomic<int>*>(count); }, &notified);
    ASSERT_TRUE(Open("beeps_10s.wav"));
    double duration = 0;
    Auvella_GetDuration(&duration);
    EXPECT_DOUBLE_EQ(duration, 10.0);
    ASSERT_EQ(Auvella_Start(), 0);
    ASSERT_TRUE(WaitForEnd());
    // The audio thread calls notify just after releasing the event to Dispatch, so under load the
    // callback can have run before notify did: wait for it (at most 60 s).
    for (int i = 0; i < 30000 && notified == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(g_finished_thread, std::this_thread::get_id());
    float fraction = 0;
    Auvella_GetPos(&fraction);
    EXPECT_FLOAT_EQ(fraction, 1.0f);
    // No second call for the same end.
    EXPECT_EQ(Auvella_Dispatch(200), 0);
    EXPECT_EQ(g_finished_calls, 1);
    EXPECT_EQ(notified, 1);
    Auvella_SetNotify(nullptr, nullptr);

    auto played = Played();
    Pcm reference = Reference();
    ASSERT_EQ(reference.frames(), 10 * 44100);
    ASSERT_EQ(played.pcm.frames(), reference.frames());
    EXPECT_TRUE(SamplesMatch(played.pcm, 0, reference, 0, reference.frames()));
    EXPECT_TRUE(played.gap_starts.empty());
    auto beeps = testsupport::FindBeeps(played.pcm);
    ASSERT_EQ(beeps.size(), 10u);
    for (int k = 0; k < 10; ++k) EXPECT_EQ(beeps[k].second, k);
}

TEST_F(PlayerTest, PauseThenStartResumesAtTheSameSampleAndStopFallsSilent) {
    ASSERT_TRUE(Open("beeps_10s.wav"));
    ASSERT_EQ(Auvella_Start(), 0);
    ASSERT_TRUE(WaitForPosition(0.5));
    ASSERT_EQ(Auvella_Pause(), 0);
    double paused_at = Position();
    WaitForDeviceWrites();
    EXPECT_EQ(Position(), paused_at);
    ASSERT_EQ(Auvella_Start(), 0);
    ASSERT_TRUE(WaitForPosition(paused_at + 0.5));
    ASSERT_EQ(Auvella_Stop(), 0);
    EXPECT_EQ(Position(), 0);
    WaitForDeviceWrites();
    Auvella_Stop();

    auto played = Played();
    Pcm reference = Reference();
    // One gap, where the pause was, exactly at the paused position; no sample lost or repeated.
    ASSERT_EQ(played.gap_starts.size(), 1u);
    EXPECT_EQ(played.gap_starts[0], static_cast<int64_t>(paused_at * rate_ + 0.5));
    EXPECT_GE(played.pcm.seconds(), paused_at + 0.5);
    EXPECT_LT(played.pcm.seconds(), 5);
    EXPECT_TRUE(SamplesMatch(played.pcm, 0, reference, 0, played.pcm.frames()));
    // Nothing after Stop but silence: the device went on writing zeros until Close.
    Pcm written = testsupport::ReadPcm(out_, rate_, channels_);
    EXPECT_GT(written.frames(), played.pcm.frames() + rate_ / 100);
}

TEST_F(PlayerTest, SeekingWhilePlayingContinuesFromTheTarget) {
    ASSERT_TRUE(Open("beeps_10s.wav"));
    ASSERT_EQ(Auvella_Start(), 0);
    ASSERT_TRUE(WaitForPosition(1.3));
    ASSERT_EQ(Auvella_SetPos(0.5f), 0);
    EXPECT_NEAR(Position(), 5.0, 0.1);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(g_finished_calls, 1);

    auto played = Played();
    Pcm reference = Reference();
    // The first stretch from 0, then exactly the second half of the file.
    const int64_t half = 5 * 44100;
    int64_t before = played.pcm.frames() - half;
    ASSERT_GT(before, static_cast<int64_t>(1.3 * rate_));
    ASSERT_LT(before, static_cast<int64_t>(4.5 * rate_));
    EXPECT_TRUE(SamplesMatch(played.pcm, 0, reference, 0, before));
    EXPECT_TRUE(SamplesMatch(played.pcm, before, reference, half, half));
}

TEST_F(PlayerTest, ASeekWhilePlayingDropsWhatWasDecodedAheadOfIt) {
    // A slow device (11.6 ms buffers written every 40 ms), so that the device takes little from the
    // player between the two seeks below, while the player's decoding runs as fast as it can.
    setenv("SDL_DISKAUDIODELAY", "40", 1);
    ASSERT_TRUE(Open("beeps_10s.wav"));
    ASSERT_EQ(Auvella_Start(), 0);
    ASSERT_TRUE(WaitForPosition(0.2));
    // 0.1 s before beep 3: what the player decodes ahead from here holds the start of that beep.
    ASSERT_EQ(Auvella_SetCurrentPosition(2.9), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    ASSERT_EQ(Auvella_SetCurrentPosition(6.5), 0);
    ASSERT_TRUE(WaitForPosition(7.3));
    Auvella_Stop();

    auto played = Played();
    auto beeps = testsupport::FindBeeps(played.pcm);
    ASSERT_EQ(beeps.size(), 2u);
    EXPECT_EQ(beeps[0].second, 0);
    EXPECT_EQ(beeps[1].second, 7);
    // From the second target on, the file's own samples without a gap: beep 7 lies as far from the
    // target in what was played as in the file.
    Pcm reference = Reference();
    auto reference_beeps = testsupport::FindBeeps(reference);
    ASSERT_EQ(reference_beeps.size(), 10u);
    int64_t from = beeps[1].onset_frame - (reference_beeps[7].onset_frame - 13 * rate_ / 2);
    ASSERT_GT(from, 0);
    EXPECT_TRUE(SamplesMatch(played.pcm, from, reference, 13 * rate_ / 2, played.pcm.frames() - from));
}

TEST_F(PlayerTest, AtTheEndPlayingStopsOnceAndStartPlaysFromTheBeginning) {
    static std::atomic<int> notified;
    notified = 0;
    Auvella_SetNotify([](void* count) { ++*static_cast<std::atomic<int>*>(count); }, &notified);
    ASSERT_TRUE(Open("beeps_10s.wav"));
    ASSERT_EQ(Auvella_SetCurrentPosition(8.5), 0);
    ASSERT_EQ(Auvella_Start(), 0);
    ASSERT_TRUE(WaitForEnd());
    for (int i = 0; i < 30000 && notified == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(notified, 1);
    // The device goes on running: it must get only silence now.
    WaitForDeviceWrites();
    WaitForDeviceWrites();
    EXPECT_EQ(g_finished_calls, 1);
    EXPECT_EQ(notified, 1);
    Auvella_SetNotify(nullptr, nullptr);
    ASSERT_EQ(Auvella_Start(), 0);
    ASSERT_TRUE(WaitForPosition(1.2));
    Auvella_Stop();

    auto played = Played();
    Pcm reference = Reference();
    // The last 1.5 s exactly, silence, then the file again from its first sample.
    const int64_t tail = 3 * rate_ / 2;
    ASSERT_EQ(played.gap_starts.size(), 1u);
    EXPECT_EQ(played.gap_starts[0], tail);
    ASSERT_GT(played.pcm.frames(), tail + rate_);
    EXPECT_TRUE(SamplesMatch(played.pcm, 0, reference, reference.frames() - tail, tail));
    EXPECT_TRUE(SamplesMatch(played.pcm, tail, reference, 0, played.pcm.frames() - tail));
}

// Every format the audio tool adds: a seek before Start to 5 s plays the beep of second 5 first.
class SeekInFormat : public PlayerTest, public testing::WithParamInterface<const char*> {};

TEST_P(SeekInFormat, PlaysFromTheTarget) {
    ASSERT_TRUE(Open(std::string("beeps_10s.") + GetParam()));
    double duration = 0;
    Auvella_GetDuration(&duration);
    EXPECT_NEAR(duration, 10.0, 0.05);
    ASSERT_EQ(Auvella_SetCurrentPosition(5.0), 0);
    EXPECT_NEAR(Position(), 5.0, 0.03);
    ASSERT_EQ(Auvella_Start(), 0);
    ASSERT_TRUE(WaitForPosition(5.4));
    Auvella_Stop();

    auto played = Played();
    auto beeps = testsupport::FindBeeps(played.pcm);
    ASSERT_FALSE(beeps.empty());
    EXPECT_EQ(beeps[0].second, 5);
    // Within 50 ms: WMA's decoder gives, after a seek, one 46 ms frame from before its time stamp (the
    // ffmpeg tool's -ss does the same); the other formats land within a few milliseconds.
    EXPECT_LT(beeps[0].onset_frame, rate_ / 20) << "the first beep starts late";
}

INSTANTIATE_TEST_SUITE_P(Formats, SeekInFormat,
                         testing::Values("mp3", "m4a", "aac", "ogg", "opus", "wav", "wma", "flac", "ac3",
                                         "aiff", "mp2", "au"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });

TEST_F(PlayerTest, ADamagedFilePlaysWhatCanBeDecodedAndEnds) {
    ASSERT_TRUE(Open("beeps_damaged.mp3"));
    ASSERT_EQ(Auvella_Start(), 0);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(g_finished_calls, 1);
    auto played = Played();
    EXPECT_GT(played.pcm.seconds(), 5.5);
    EXPECT_LT(played.pcm.seconds(), 8.0);
    // What follows the damage plays too, up to where the file was cut off.
    auto beeps = testsupport::FindBeeps(played.pcm);
    ASSERT_FALSE(beeps.empty());
    EXPECT_EQ(beeps.back().second, 7);
}

TEST_F(PlayerTest, ALostDeviceEndsPlaybackInsteadOfHanging) {
    // The disk driver counts a failed write as the device going away; SDL then runs the player in
    // real time with its output thrown away.
    setenv("SDL_DISKAUDIOFILE", "/dev/full", 1);
    ASSERT_TRUE(Open("audio_only.mp3"));
    ASSERT_EQ(Auvella_Start(), 0);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(g_finished_calls, 1);
    EXPECT_EQ(Auvella_Stop(), 0);
    EXPECT_EQ(Auvella_Close(), 0);
}

TEST_F(PlayerTest, BadFilesAndMissingDevicesFailWithoutHarm) {
    // Nothing open: every call is harmless.
    EXPECT_EQ(Auvella_Start(), -1);
    EXPECT_EQ(Auvella_Pause(), -1);
    EXPECT_EQ(Auvella_SetPos(0.5f), -1);
    EXPECT_EQ(Auvella_Stop(), 0);
    EXPECT_EQ(Auvella_Close(), 0);
    EXPECT_EQ(Auvella_Close(), 0);
    double seconds = -1;
    Auvella_GetDuration(&seconds);
    EXPECT_EQ(seconds, 0);
    EXPECT_EQ(Position(), 0);

    for (const std::string& path : {std::string(""), std::string("/nonexistent/a.mp3"),
                                    Fixture("not_media.mp4"), Fixture("video_only.mp4")}) {
        SCOPED_TRACE(path);
        Auvella_SetFileName(path.c_str());
        EXPECT_EQ(Auvella_Open(), -1);
        EXPECT_EQ(Auvella_Start(), -1);
    }
    Auvella_SetFileName(nullptr);
    EXPECT_EQ(Auvella_Open(), -1);

    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    Auvella_SetFileName(Fixture("beeps_10s.wav").c_str());
    EXPECT_EQ(Auvella_Open(), -1);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    EXPECT_EQ(Auvella_Open(), 0);

    // The callback is only run on the initializing thread.
    int from_other_thread = 0;
    std::thread([&] { from_other_thread = Auvella_Dispatch(0); }).join();
    EXPECT_EQ(from_other_thread, -1);
}

}  // namespace
