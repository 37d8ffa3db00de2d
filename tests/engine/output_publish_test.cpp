// Publishing an output: the final name appears only for a complete file, never replaces anything and
// never follows a link; whatever fails leaves nothing behind.

#include "engine/output_publish.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "support/fixtures.h"

using engine::PublishedOutput;
using testsupport::Bytes;
using testsupport::Listing;
using testsupport::ScratchDir;
namespace fs = std::filesystem;

namespace {

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

TEST(PublishedOutput, TheFinalNameAppearsOnlyWhenPublished) {
    const std::string dir = ScratchDir("publish_basic");
    PublishedOutput out;
    ASSERT_EQ(out.Open(dir + "/holiday.mp4"), 0);
    ASSERT_EQ(out.Write("data", 4), 0);
    // While written, only a hidden file that names what it becomes.
    std::vector<std::string> during = Listing(dir);
    ASSERT_EQ(during.size(), 1u);
    EXPECT_EQ(during[0].rfind(".holiday.mp4.part-", 0), 0u) << during[0];
    EXPECT_EQ(during[0], out.temp_name());

    EXPECT_EQ(out.Publish().step, "");
    EXPECT_EQ(out.published_path(), dir + "/holiday.mp4");
    EXPECT_EQ(Listing(dir), std::vector<std::string>{"holiday.mp4"});
    EXPECT_EQ(Bytes(dir + "/holiday.mp4"), "data");
}

TEST(PublishedOutput, ANameTakenMeanwhileGivesTheNextFreeNumberedName) {
    struct Case {
        const char* planned;
        std::vector<std::string> taken;  // made after Open: names taken while the job ran
        const char* expected;
    };
    const Case cases[] = {
        {"clip.mp4", {"clip.mp4"}, "clip(0).mp4"},
        // The counter applies to the composed name: suffixes never pile up.
        {"clip(0).mp4", {"clip.mp4", "clip(0).mp4"}, "clip(1).mp4"},
        {"clip(1).mp4", {"clip.mp4", "clip(0).mp4", "clip(1).mp4"}, "clip(2).mp4"},
        {"noext", {"noext"}, "noext(0)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.planned);
        const std::string dir = ScratchDir("publish_taken");
        PublishedOutput out;
        ASSERT_EQ(out.Open(dir + "/" + c.planned), 0);
        ASSERT_EQ(out.Write("new", 3), 0);
        for (const std::string& name : c.taken) WriteText(dir + "/" + name, "user's " + name);
        EXPECT_EQ(out.Publish().step, "");
        EXPECT_EQ(out.published_path(), dir + "/" + c.expected);
        EXPECT_EQ(Bytes(dir + "/" + c.expected), "new");
        for (const std::string& name : c.taken) EXPECT_EQ(Bytes(dir + "/" + name), "user's " + name);
    }
}

TEST(PublishedOutput, ALinkUnderTheFinalNameIsNeitherFollowedNorReplaced) {
    const std::string dir = ScratchDir("publish_link");
    const std::string outside = ScratchDir("publish_link_outside");
    PublishedOutput out;
    ASSERT_EQ(out.Open(dir + "/pic.bmp"), 0);
    ASSERT_EQ(out.Write("picture", 7), 0);
    // A dangling link and a link to a user's file, made while the output was written.
    fs::create_symlink(outside + "/target.bmp", dir + "/pic.bmp");
    WriteText(outside + "/mine.bmp", "mine");
    fs::create_symlink(outside + "/mine.bmp", dir + "/pic(0).bmp");
    EXPECT_EQ(out.Publish().step, "");
    EXPECT_EQ(out.published_path(), dir + "/pic(1).bmp");
    EXPECT_FALSE(fs::exists(outside + "/target.bmp"));
    EXPECT_EQ(Bytes(outside + "/mine.bmp"), "mine");
    EXPECT_TRUE(fs::is_symlink(dir + "/pic.bmp"));
    EXPECT_TRUE(fs::is_symlink(dir + "/pic(0).bmp"));
}

TEST(PublishedOutput, ReplaceModeSwapsTheToolsOwnScratchFileAtOnce) {
    const std::string dir = ScratchDir("publish_replace");
    WriteText(dir + "/image.bmp", "old");
    PublishedOutput out;
    ASSERT_EQ(out.Open(dir + "/image.bmp"), 0);
    ASSERT_EQ(out.Write("new", 3), 0);
    EXPECT_EQ(out.Publish(PublishedOutput::Existing::kReplace).step, "");
    EXPECT_EQ(Listing(dir), std::vector<std::string>{"image.bmp"});
    EXPECT_EQ(Bytes(dir + "/image.bmp"), "new");
}

TEST(PublishedOutput, AnUnpublishedOutputLeavesNothing) {
    const std::string dir = ScratchDir("publish_discard");
    {
        PublishedOutput out;
        ASSERT_EQ(out.Open(dir + "/a.mp3"), 0);
        ASSERT_EQ(out.Write("partial", 7), 0);
    }
    PublishedOutput discarded;
    ASSERT_EQ(discarded.Open(dir + "/b.mp3"), 0);
    discarded.Discard();
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST(PublishedOutput, AFolderDeletedOrReplacedDuringTheJobFailsTheOutput) {
    // Deleted: the job must not claim a file that nobody can find.
    const std::string root = ScratchDir("publish_folder");
    const std::string dir = root + "/out";
    fs::create_directories(dir);
    PublishedOutput deleted;
    ASSERT_EQ(deleted.Open(dir + "/song.mp3"), 0);
    ASSERT_EQ(deleted.Write("x", 1), 0);
    fs::remove_all(dir);
    const JobFailure gone = deleted.Publish();
    EXPECT_EQ(gone.step, "the output folder no longer exists");
    EXPECT_TRUE(deleted.published_path().empty());

    // Moved away and a new folder made under its name: the file would land in the moved folder,
    // not where the user looks.
    fs::create_directories(dir);
    PublishedOutput moved;
    ASSERT_EQ(moved.Open(dir + "/song.mp3"), 0);
    ASSERT_EQ(moved.Write("x", 1), 0);
    fs::rename(dir, root + "/moved");
    fs::create_directories(dir);
    EXPECT_EQ(moved.Publish().step, "the output folder no longer holds the output file");
    EXPECT_TRUE(fs::is_empty(dir));
    EXPECT_TRUE(fs::is_empty(root + "/moved"));
}

TEST(PublishedOutput, OutputsOfOneNameStartedTogetherAllGetTheirOwnFile) {
    const std::string dir = ScratchDir("publish_race");
    constexpr int kWriters = 8;
    std::vector<std::string> published(kWriters);
    std::vector<std::thread> threads;
    for (int i = 0; i < kWriters; ++i) {
        threads.emplace_back([&, i] {
            PublishedOutput out;
            if (out.Open(dir + "/same.wav") != 0) return;
            std::string data = "writer " + std::to_string(i);
            if (out.Write(data.data(), data.size()) != 0) return;
            if (out.Publish().step.empty()) published[i] = out.published_path();
        });
    }
    for (auto& t : threads) t.join();
    for (int i = 0; i < kWriters; ++i) {
        ASSERT_FALSE(published[i].empty()) << i;
        EXPECT_EQ(Bytes(published[i]), "writer " + std::to_string(i));
    }
    EXPECT_EQ(Listing(dir).size(), static_cast<size_t>(kWriters));
}

TEST(PublishedOutput, ANameNearTheSystemsLimitStillGetsATemporaryFile) {
    const std::string dir = ScratchDir("publish_long");
    const std::string name = std::string(251, 'n') + ".mp4";  // 255 bytes: the longest name
    PublishedOutput out;
    ASSERT_EQ(out.Open(dir + "/" + name), 0);
    EXPECT_LE(out.temp_name().size(), 255u);
    ASSERT_EQ(out.Write("x", 1), 0);
    EXPECT_EQ(out.Publish().step, "");
    EXPECT_EQ(Listing(dir), std::vector<std::string>{name});
}

}  // namespace
