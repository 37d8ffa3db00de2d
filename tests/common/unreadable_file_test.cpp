#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/main_window.h"
#include "support/fixtures.h"

namespace {

TEST(UnreadableFileMessage, NamesTheFileBetweenTheTwoTexts) {
    EXPECT_EQ(common::UnreadableFileMessage("The file ", "/a/b/bad.mp4", "cannot be opened.").toStdString(),
              "The file bad.mp4 cannot be opened.");
    EXPECT_EQ(common::UnreadableFileMessage("", "bad", "").toStdString(), "bad ");
}

// Only a file that is not there is said not to exist; whatever is there is "not readable".
TEST(UnreadableFileReasonKey, TellsAMissingFileFromAnUnreadableOne) {
    const std::string dir = testsupport::ScratchDir("unreadable_reason");
    std::ofstream(dir + "/junk.mp4") << "junk";
    std::filesystem::create_directories(dir + "/folder.mp4");
    ASSERT_EQ(::symlink((dir + "/nowhere.mp4").c_str(), (dir + "/dangling.mp4").c_str()), 0);
    const struct {
        const char* name;
        const char* key;
    } cases[] = {
        {"junk.mp4", "wx"},
        {"folder.mp4", "wx"},
        {"missing.mp4", "wjbcz"},
        {"dangling.mp4", "wjbcz"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(common::UnreadableFileReasonKey(QString::fromStdString(dir + "/" + c.name)), c.key)
            << c.name;
}

}  // namespace
