#include "controls/bitmap_slider.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include "controls/bitmap_resources.h"

namespace {

constexpr int kId = 1140;
constexpr int kMidY = 10;

// The slider as the media tools set it up: range 0-1000, margins left 0, top 4, right 4, bottom 0.
class BitmapSliderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        slider.SetControlId(kId);
        ASSERT_TRUE(slider.LoadChannelBitmaps());
        ASSERT_TRUE(slider.LoadThumbBitmaps());
        slider.DrawFocusRect(false);
        slider.SetRange(0, 1000);
        slider.SetPosition(0);
        slider.SetMargins(0, 4, 4, 0);
        slider.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&slider));
    }

    // Delivers what the slider posted.
    static void Deliver() { QCoreApplication::sendPostedEvents(); }

    int ThumbCentre() const { return slider.Geometry().ValueToPixel(slider.GetPosition()); }

    CBitmapSlider slider;
    QSignalSpy track{&slider, &CBitmapSlider::sliderTrack};
    QSignalSpy release{&slider, &CBitmapSlider::sliderRelease};
};

TEST_F(BitmapSliderTest, TakesItsSizeFromTheChannel) {
    EXPECT_EQ(slider.size(), QSize(620, 20));
    EXPECT_EQ(slider.sizeHint(), QSize(620, 20));
    EXPECT_EQ(slider.Geometry().thumb_width, 23);
    EXPECT_EQ(slider.Geometry().thumb_height, 11);
}

TEST_F(BitmapSliderTest, MissingBitmapsLoadNothing) {
    CBitmapSlider other;
    EXPECT_FALSE(other.LoadChannelBitmaps(306, 290));
    EXPECT_FALSE(other.LoadThumbBitmaps(290, 290));
    other.resize(100, 20);
    EXPECT_FALSE(other.grab().isNull());  // paints without bitmaps
}

TEST_F(BitmapSliderTest, PositionAndSelectionAreClampedToTheRange) {
    slider.SetPosition(1200);
    EXPECT_EQ(slider.GetPosition(), 1000);
    slider.SetPosition(-5);
    EXPECT_EQ(slider.GetPosition(), 0);
    slider.SetSelectionStart(-1);
    slider.SetSelectionEnd(5000);
    EXPECT_EQ(slider.GetSelectionStart(), 0);
    EXPECT_EQ(slider.GetSelectionEnd(), 1000);
}

TEST_F(BitmapSliderTest, PressNearTheThumbCentreKeepsTheGrip) {
    slider.SetPosition(500);
    const int centre = ThumbCentre();
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(centre + 5, kMidY));
    EXPECT_EQ(slider.GrabOffset(), 5);
    EXPECT_EQ(slider.GetPosition(), 500);
    QTest::mouseMove(&slider, QPoint(centre + 15, kMidY));
    // The thumb follows the pointer's 10 pixels (within a pixel of rounding), not the pointer.
    EXPECT_NEAR(ThumbCentre(), centre + 10, 1);
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(centre + 15, kMidY));
}

TEST_F(BitmapSliderTest, PressFurtherAwayMakesTheThumbJump) {
    slider.SetPosition(500);
    const int centre = ThumbCentre();
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(centre + 12, kMidY));
    EXPECT_EQ(slider.GrabOffset(), 0);
    EXPECT_NEAR(ThumbCentre(), centre + 12, 1);
    EXPECT_GT(slider.GetPosition(), 500);
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(centre + 12, kMidY));
}

TEST_F(BitmapSliderTest, TrackArrivesQueuedAfterTheHandler) {
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(300, kMidY));
    const int position = slider.GetPosition();
    EXPECT_EQ(track.count(), 0);  // posted, not sent
    Deliver();
    ASSERT_EQ(track.count(), 1);
    EXPECT_EQ(track.at(0).at(0).toInt(), kId);
    EXPECT_EQ(track.at(0).at(1).toInt(), position);
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(300, kMidY));
}

TEST_F(BitmapSliderTest, DraggingPastTheEndStopsAtTheMaximumAndPostsNothingMore) {
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(ThumbCentre(), kMidY));
    QTest::mouseMove(&slider, QPoint(600, kMidY));
    QTest::mouseMove(&slider, QPoint(700, kMidY));
    Deliver();
    EXPECT_EQ(slider.GetPosition(), 1000);
    ASSERT_GE(track.count(), 1);
    EXPECT_EQ(track.last().at(1).toInt(), 1000);
    const auto tracks = track.count();
    for (int x : {720, 800, 650, 606, 605}) QTest::mouseMove(&slider, QPoint(x, kMidY));
    Deliver();
    EXPECT_EQ(track.count(), tracks);
    EXPECT_EQ(slider.GetPosition(), 1000);
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(800, kMidY));
    Deliver();
    ASSERT_EQ(release.count(), 1);
    EXPECT_EQ(release.at(0).at(1).toInt(), 1000);
}

TEST_F(BitmapSliderTest, DraggingBeforeTheStartStopsAtTheMinimum) {
    slider.SetPosition(100);
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(ThumbCentre(), kMidY));
    QTest::mouseMove(&slider, QPoint(-50, kMidY));
    EXPECT_EQ(slider.GetPosition(), 0);
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(-50, kMidY));
}

TEST_F(BitmapSliderTest, ReleaseAfterAPressOutsideTheThumbPostsRelease) {
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(400, kMidY));
    EXPECT_TRUE(slider.IsDragging());
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(400, kMidY));
    EXPECT_FALSE(slider.IsDragging());
    EXPECT_EQ(release.count(), 0);
    Deliver();
    ASSERT_EQ(release.count(), 1);
    EXPECT_EQ(release.at(0).at(0).toInt(), kId);
    EXPECT_EQ(release.at(0).at(1).toInt(), slider.GetPosition());
    EXPECT_TRUE(slider.hasFocus());
}

TEST_F(BitmapSliderTest, PageDownAt990GivesTheMaximumAndOneRelease) {
    slider.SetPosition(990);
    QTest::keyClick(&slider, Qt::Key_PageDown);
    Deliver();
    EXPECT_EQ(slider.GetPosition(), 1000);
    ASSERT_EQ(release.count(), 1);
    EXPECT_EQ(release.at(0).at(1).toInt(), 1000);
    EXPECT_EQ(track.count(), 0);
}

TEST_F(BitmapSliderTest, EachKeyMovesThePositionAndPostsRelease) {
    const struct {
        Qt::Key key;
        int expected;
    } cases[] = {
        {Qt::Key_PageUp, 480}, {Qt::Key_PageDown, 520}, {Qt::Key_End, 1000},  {Qt::Key_Home, 0},
        {Qt::Key_Left, 499},   {Qt::Key_Up, 499},       {Qt::Key_Right, 501}, {Qt::Key_Down, 501},
    };
    for (const auto& c : cases) {
        slider.SetPosition(500);
        release.clear();
        QTest::keyClick(&slider, c.key);
        Deliver();
        EXPECT_EQ(slider.GetPosition(), c.expected) << c.key;
        ASSERT_EQ(release.count(), 1) << c.key;
        EXPECT_EQ(release.at(0).at(1).toInt(), c.expected) << c.key;
    }
}

TEST_F(BitmapSliderTest, OtherKeysChangeNothing) {
    slider.SetPosition(500);
    for (Qt::Key key : {Qt::Key_A, Qt::Key_Space, Qt::Key_Return, Qt::Key_Escape})
        QTest::keyClick(&slider, key);
    Deliver();
    EXPECT_EQ(slider.GetPosition(), 500);
    EXPECT_EQ(release.count(), 0);
}

TEST_F(BitmapSliderTest, ClearedEnabledFlagIgnoresInputAndHidesTheThumb) {
    slider.SetPosition(500);
    slider.Enable(false);
    QTest::mouseClick(&slider, Qt::LeftButton, {}, QPoint(100, kMidY));
    QTest::keyClick(&slider, Qt::Key_Home);
    Deliver();
    EXPECT_EQ(slider.GetPosition(), 500);
    EXPECT_EQ(track.count() + release.count(), 0);
    // Without thumb and selection the control shows the plain channel.
    EXPECT_EQ(slider.grab().toImage().convertToFormat(QImage::Format_RGB32),
              LoadBitmapResourceImage(306).convertToFormat(QImage::Format_RGB32));
}

// Painted selection: columns left of the thumb come from the selected or the unselected channel.
class SliderPaintTest : public BitmapSliderTest {
  protected:
    void ExpectColumns(int x_selected_begin, int x_selected_end) {
        const QImage painted = slider.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage normal = LoadBitmapResourceImage(306).convertToFormat(QImage::Format_RGB32);
        const QImage selected = LoadBitmapResourceImage(307).convertToFormat(QImage::Format_RGB32);
        const int thumb_left = ThumbCentre() - 11;
        int telling_columns = 0;
        for (int x = 0; x < 620; ++x) {
            if (x >= thumb_left && x < thumb_left + 23) continue;
            if (normal.pixel(x, kMidY) == selected.pixel(x, kMidY)) continue;  // the channel's ends
            ++telling_columns;
            const bool in = x >= x_selected_begin && x < x_selected_end;
            EXPECT_EQ(painted.pixel(x, kMidY), (in ? selected : normal).pixel(x, kMidY)) << "x " << x;
        }
        EXPECT_GT(telling_columns, 580);
    }
};

TEST_F(SliderPaintTest, ModeTwoFrom200ToTheMaximumSelectsTheRest) {
    slider.SetPosition(600);
    slider.SetSelectionStart(200);
    slider.SetSelectionEnd(1000);
    slider.SetSelectionMode(2);
    ExpectColumns(129, 620);
}

TEST_F(SliderPaintTest, ModeTwoFrom0To500SelectsTheBeginning) {
    slider.SetPosition(800);
    slider.SetSelectionStart(0);
    slider.SetSelectionEnd(500);
    slider.SetSelectionMode(2);
    ExpectColumns(0, 307);
}

TEST_F(SliderPaintTest, ModeOneFrom0ShowsEverythingSelected) {
    slider.SetPosition(300);
    slider.SetSelectionStart(0);
    slider.SetSelectionMode(1);
    ExpectColumns(0, 620);
}

TEST_F(SliderPaintTest, ModeOneFrom200) {
    slider.SetPosition(900);
    slider.SetSelectionStart(200);
    slider.SetSelectionMode(1);
    ExpectColumns(129, 620);
}

TEST_F(SliderPaintTest, ThumbIsDrawnThroughItsKeyColour) {
    slider.SetPosition(500);
    const QImage painted = slider.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage thumb = LoadBitmapResourceImage(308).convertToFormat(QImage::Format_RGB32);
    const QImage channel = LoadBitmapResourceImage(307).convertToFormat(QImage::Format_RGB32);
    const int left = 307 - 11;
    // The key-coloured corner shows the channel, the middle shows the thumb.
    EXPECT_EQ(painted.pixel(left, 4), channel.pixel(left, 4));
    EXPECT_EQ(painted.pixel(left + 11, 4 + 5), thumb.pixel(11, 5));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 620; ++x) ASSERT_NE(painted.pixel(x, y), thumb.pixel(0, 0)) << x << "," << y;
}

}  // namespace
