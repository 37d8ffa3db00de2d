#include <gtest/gtest.h>

#include "common/main_window.h"

namespace {

TEST(UnreadableFileMessage, NamesTheFileBetweenTheTwoTexts) {
    EXPECT_EQ(common::UnreadableFileMessage("The file ", "/a/b/bad.mp4", "cannot be opened.").toStdString(),
              "The file bad.mp4 cannot be opened.");
    EXPECT_EQ(common::UnreadableFileMessage("", "bad", "").toStdString(), "bad ");
}

}  // namespace
