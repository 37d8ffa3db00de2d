#include "controls/bitmap_resources.h"

#include <gtest/gtest.h>

#include "controls/control_button.h"

namespace {

struct BitmapSize {
    int number;
    int width;
    int height;
};

// Sizes the windows rely on: the slider's channel and thumb, the header strip, the tiles.
const BitmapSize kSizes[] = {
    {306, 620, 20}, {307, 620, 20}, {308, 23, 11},  {292, 48, 16}, {178, 100, 56}, {254, 55, 40},
    {331, 100, 56}, {186, 92, 37},  {295, 100, 56}, {320, 34, 32}, {326, 34, 32},  {321, 34, 32},
};

const int kButtonBitmaps[] = {178, 186, 188, 199, 204, 254, 295, 301, 302,
                              303, 304, 310, 320, 321, 325, 326, 331};

TEST(BitmapResources, HaveTheSizesTheWindowsExpect) {
    for (const BitmapSize& size : kSizes) {
        const QPixmap pixmap = LoadBitmapResource(size.number);
        ASSERT_FALSE(pixmap.isNull()) << size.number;
        EXPECT_EQ(pixmap.width(), size.width) << size.number;
        EXPECT_EQ(pixmap.height(), size.height) << size.number;
    }
}

TEST(BitmapResources, UnknownNumberGivesNullPixmap) {
    EXPECT_TRUE(LoadBitmapResource(290).isNull());
    EXPECT_TRUE(LoadBitmapResourceImage(-1).isNull());
}

// Every button picture is a tile on a pure-white outside: the corners fall outside the shape and
// the middle inside it.
TEST(BitmapResources, ButtonBitmapsHaveAShapeWithinTheirFrame) {
    for (int number : kButtonBitmaps) {
        const QImage image = LoadBitmapResourceImage(number);
        ASSERT_FALSE(image.isNull()) << number;
        const QRegion shape = RegionFromBitmap(image);
        EXPECT_FALSE(shape.contains(QPoint(0, 0))) << number;
        EXPECT_FALSE(shape.contains(QPoint(image.width() - 1, image.height() - 1))) << number;
        EXPECT_TRUE(shape.contains(QPoint(image.width() / 2, image.height() / 2))) << number;
        EXPECT_GT(shape.boundingRect().width(), image.width() * 9 / 10) << number;
    }
}

TEST(BitmapResources, ThumbAndHeaderCarryTheirKeyColours) {
    const QImage thumb = LoadBitmapResourceImage(308);
    ASSERT_FALSE(thumb.isNull());
    const QRgb key = thumb.pixel(0, 0);
    EXPECT_NE(thumb.pixel(11, 5), key);
    const QImage header = LoadBitmapResourceImage(292);
    ASSERT_FALSE(header.isNull());
    EXPECT_EQ(header.depth(), 8);
    for (int image = 0; image < 3; ++image) {
        EXPECT_EQ(header.pixel(image * 16, 0), qRgb(255, 0, 255)) << image;
    }
    // Image 0 is empty; images 1 and 2 hold a box and differ by the tick.
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) EXPECT_EQ(header.pixel(x, y), qRgb(255, 0, 255));
    EXPECT_NE(header.copy(16, 0, 16, 16), header.copy(32, 0, 16, 16));
}

}  // namespace
