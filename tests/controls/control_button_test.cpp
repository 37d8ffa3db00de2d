#include "controls/control_button.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "controls/bitmap_resources.h"

namespace {

QImage Filled(int w, int h, QRgb colour) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Compares a region with the not-pure-white pixels of an image, pixel by pixel.
void ExpectRegionMatchesImage(const QRegion& region, const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            const bool inside = !(qRed(p) == 255 && qGreen(p) == 255 && qBlue(p) == 255);
            ASSERT_EQ(region.contains(QPoint(x, y)), inside) << x << "," << y;
        }
    }
    EXPECT_FALSE(region.contains(QPoint(-1, 0)));
    EXPECT_FALSE(region.contains(QPoint(image.width(), 0)));
}

TEST(RegionFromBitmap, AllWhiteGivesAnEmptyRegion) {
    EXPECT_TRUE(RegionFromBitmap(Filled(40, 30, qRgb(255, 255, 255))).isEmpty());
    EXPECT_TRUE(RegionFromBitmap(QImage()).isEmpty());
}

TEST(RegionFromBitmap, NearlyWhiteStillCounts) {
    QImage image = Filled(10, 10, qRgb(255, 255, 255));
    image.setPixel(3, 4, qRgb(255, 255, 254));
    image.setPixel(7, 7, qRgb(254, 255, 255));
    const QRegion region = RegionFromBitmap(image);
    EXPECT_EQ(region.rectCount(), 2);
    ExpectRegionMatchesImage(region, image);
}

TEST(RegionFromBitmap, MoreThan2000RunsAreCombinedCompletely) {
    // A checkerboard: every row holds 61 one-pixel runs, 7,381 in all.
    QImage image = Filled(121, 121, qRgb(255, 255, 255));
    for (int y = 0; y < image.height(); ++y)
        for (int x = (y % 2); x < image.width(); x += 2) image.setPixel(x, y, qRgb(20, 20, 20));
    const QRegion region = RegionFromBitmap(image);
    EXPECT_GT(region.rectCount(), 2000);
    ExpectRegionMatchesImage(region, image);
}

TEST(RegionFromBitmap, ExactlyOneBatchAndOneMore) {
    // 2,000 runs fill one batch exactly; 2,001 leave one for the final combine.
    for (int rows : {2000, 2001}) {
        QImage image = Filled(3, rows, qRgb(255, 255, 255));
        for (int y = 0; y < rows; ++y) image.setPixel(1, y, qRgb(0, 0, 0));
        const QRegion region = RegionFromBitmap(image);
        EXPECT_EQ(region.boundingRect(), QRect(1, 0, 1, rows)) << rows;
        ExpectRegionMatchesImage(region, image);
    }
}

TEST(RegionFromBitmap, ButtonTileKeepsItsRoundedOutline) {
    const QImage tile = LoadBitmapResourceImage(178);
    ASSERT_FALSE(tile.isNull());
    ExpectRegionMatchesImage(RegionFromBitmap(tile), tile);
}

class ControlButtonTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window.resize(200, 120);
        button = new CControlButton(&window, 1000);
        button->setGeometry(10, 10, 100, 56);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    QWidget window;
    CControlButton* button = nullptr;
};

TEST_F(ControlButtonTest, ShapeDecidesWhereClicksCount) {
    button->SetShapeFromBitmap(178);
    button->SetImages(178, 178, 178);
    ASSERT_TRUE(button->HasRegion());
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    // (QTest takes a null point for the centre, so the corner is probed at 1,1.)
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(1, 1));  // white corner: outside
    EXPECT_EQ(clicked.count(), 0);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(50, 28));
    EXPECT_EQ(clicked.count(), 1);
}

TEST_F(ControlButtonTest, AllWhiteShapeMakesTheButtonInvisibleAndUnclickable) {
    button->SetImages(178, 178, 178);
    button->SetShapeFromImage(Filled(100, 56, qRgb(255, 255, 255)));
    EXPECT_TRUE(button->Shape().isEmpty());
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    for (QPoint p : {QPoint(50, 28), QPoint(1, 1), QPoint(99, 55)})
        QTest::mouseClick(button, Qt::LeftButton, {}, p);
    EXPECT_EQ(clicked.count(), 0);
    const QImage shown = window.grab().toImage();
    EXPECT_EQ(shown.pixel(60, 38), window.palette().color(QPalette::Window).rgb());
}

TEST_F(ControlButtonTest, MissingShapeBitmapLeavesTheButtonRectangular) {
    button->SetShapeFromBitmap(290);
    EXPECT_FALSE(button->HasRegion());
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(clicked.count(), 1);
}

TEST_F(ControlButtonTest, DrawsNormalHoverAndPressedImages) {
    // Distinct images make each state visible: hover 302, normal 301, pressed 304.
    button->resize(34, 32);
    button->SetImages(302, 301, 304);
    auto centre = [&] { return button->grab().toImage().pixel(17, 16); };
    auto image_centre = [](int number) { return LoadBitmapResourceImage(number).pixel(17, 16); };
    ASSERT_NE(image_centre(301), image_centre(302));
    ASSERT_NE(image_centre(301), image_centre(304));

    EXPECT_EQ(centre(), image_centre(301));
    QTest::mouseMove(button, QPoint(17, 16));
    QTRY_VERIFY(button->IsHovered());
    EXPECT_EQ(centre(), image_centre(302));
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(17, 16));
    EXPECT_EQ(centre(), image_centre(304));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(17, 16));
    EXPECT_EQ(centre(), image_centre(302));
    QTest::mouseMove(&window, QPoint(180, 110));
    QTRY_VERIFY(!button->IsHovered());
    EXPECT_EQ(centre(), image_centre(301));
}

TEST_F(ControlButtonTest, MissingImagesDrawNothing) {
    button->SetImages(290, 290, 290);
    EXPECT_FALSE(button->grab().isNull());
    EXPECT_EQ(button->sizeHint(), QSize(32, 32));
    button->SetImages(178, 178, 178);
    EXPECT_EQ(button->sizeHint(), QSize(100, 56));
}

}  // namespace

// Tab shows which button has the focus (inside its shape); the focus a window gives on opening and
// a click show no frame.
TEST_F(ControlButtonTest, TabShowsAFocusFrameAndAClickDoesNot) {
    button->SetShapeFromBitmap(178);
    button->SetImages(178, 178, 178);
    const QImage plain = button->grab().toImage();
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(50, 28));
    EXPECT_EQ(button->grab().toImage(), plain);
    window.activateWindow();
    QTest::keyClick(&window, Qt::Key_Tab);
    ASSERT_TRUE(button->hasFocus());
    const QImage focused = button->grab().toImage();
    EXPECT_NE(focused, plain);
    // The frame stays inside the button's shape: the white corner outside it is untouched.
    EXPECT_EQ(focused.pixel(1, 1), plain.pixel(1, 1));
}
