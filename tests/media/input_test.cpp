// Opening an input: a reader that is told to stop while FFmpeg waits on the file gets its answer at
// once, whether it is still opening the file or reading packets.
#include "media/input.h"

#include <gtest/gtest.h>

#include <atomic>

#include "support/fixtures.h"

extern "C" {
#include <libavformat/avformat.h>
}

using testsupport::Fixture;

namespace {

int StopWhenAsked(void* opaque) { return static_cast<std::atomic<bool>*>(opaque)->load() ? 1 : 0; }

TEST(OpenInput, AStopRequestEndsTheOpenAndTheReadsWithAvErrorExit) {
    std::atomic<bool> stop{true};
    media::InputOptions options;
    options.interrupt = {&StopWhenAsked, &stop};
    const media::Input refused = media::OpenInput(Fixture("long_20s.mp4"), options);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.failure.error, AVERROR_EXIT) << media::FailureText(refused.failure);

    stop = false;
    media::Input input = media::OpenInput(Fixture("long_20s.mp4"), options);
    ASSERT_TRUE(input.ok()) << media::FailureText(input.failure);
    media::PacketPtr packet(av_packet_alloc());
    ASSERT_EQ(av_read_frame(input.format.get(), packet.get()), 0);
    av_packet_unref(packet.get());
    // The demuxer's buffer is dropped so that the next read has to go to the file.
    avio_seek(input.format->pb, 0, SEEK_SET);
    avformat_flush(input.format.get());
    stop = true;
    int read = 0;
    for (int i = 0; i < 1000 && read >= 0; ++i) {
        read = av_read_frame(input.format.get(), packet.get());
        av_packet_unref(packet.get());
    }
    EXPECT_EQ(read, AVERROR_EXIT);
}

}  // namespace
