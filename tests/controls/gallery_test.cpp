#include <gtest/gtest.h>

#include <QImage>
#include <QString>

#include "support/fixtures.h"
#include "support/run.h"

namespace {

struct Picture {
    const char* file;
    int min_width;
    int min_height;
};

// Each state the gallery shows, at least as large as the control it pictures.
const Picture kPictures[] = {
    {"slider_mode0", 620, 20},
    {"slider_mode1", 620, 20},
    {"slider_mode2", 620, 20},
    {"slider_mode2_to_end", 620, 20},
    {"slider_mode2_from_start", 620, 20},
    {"slider_focused", 620, 20},
    {"slider_disabled", 620, 20},
    {"slider_dragging", 620, 20},
    {"buttons_video", 400, 100},
    {"buttons_audio", 400, 200},
    {"button_178_normal", 100, 56},
    {"button_178_hover", 100, 56},
    {"button_178_pressed", 100, 56},
    {"button_186_normal", 92, 37},
    {"button_326_pressed", 34, 32},
    {"checklist_mixed", 460, 150},
    {"checklist_all_checked", 460, 150},
    {"link_normal", 100, 20},
    {"link_hover", 100, 20},
    {"link_visited", 100, 20},
    {"labels", 300, 88},
};

TEST(ControlsGallery, RendersEveryStateToAPicture) {
    const std::string out = testsupport::ScratchDir("controls_gallery");
    const testsupport::RunResult run = testsupport::RunCommand({MAKE_SCREENSHOTS, out, "controls"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    for (const Picture& picture : kPictures) {
        const QString path = QString::fromStdString(out) + "/controls/" + picture.file + ".png";
        const QImage image(path);
        ASSERT_FALSE(image.isNull()) << picture.file;
        EXPECT_GE(image.width(), picture.min_width) << picture.file;
        EXPECT_GE(image.height(), picture.min_height) << picture.file;
        // A finished picture holds more than a background.
        EXPECT_GT(image.convertToFormat(QImage::Format_Indexed8).colorCount(), 8) << picture.file;
    }
}

}  // namespace
