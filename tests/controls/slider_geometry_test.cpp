#include "controls/slider_geometry.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPixmap>

namespace {

// The media tools' slider: channel 620 wide, thumb 23, margins left 0 and right 4, range 0-1000.
SliderGeometry ToolSlider() {
    SliderGeometry g;
    g.minimum = 0;
    g.maximum = 1000;
    g.channel_width = 620;
    g.channel_height = 20;
    g.thumb_width = 23;
    g.thumb_height = 11;
    g.left_margin = 0;
    g.right_margin = 4;
    g.top_margin = 4;
    return g;
}

TEST(SliderGeometry, ValueToPixelTruncatesAndAddsHalfThumb) {
    const SliderGeometry g = ToolSlider();
    const struct {
        int value;
        int x;
    } cases[] = {{0, 11}, {1, 11}, {2, 12}, {200, 129}, {500, 307}, {999, 603}, {1000, 604}};
    for (const auto& c : cases) EXPECT_EQ(g.ValueToPixel(c.value), c.x) << c.value;
    EXPECT_EQ(g.LowestThumbCentre(), 11);
    EXPECT_EQ(g.HighestThumbCentre(), 605);
}

TEST(SliderGeometry, PixelToValueTruncatesWithoutClamping) {
    const SliderGeometry g = ToolSlider();
    const struct {
        int x;
        int value;
    } cases[] = {{11, 0}, {12, 1}, {23, 20}, {307, 499}, {604, 1000}, {605, 1001}, {0, -18}};
    for (const auto& c : cases) EXPECT_EQ(g.PixelToValue(c.x), c.value) << c.x;
}

TEST(SliderGeometry, MarginsShiftTheTrack) {
    SliderGeometry g = ToolSlider();
    g.left_margin = 10;
    g.right_margin = 10;
    EXPECT_EQ(g.ValueToPixel(0), 21);
    EXPECT_EQ(g.ValueToPixel(1000), 598);
    EXPECT_EQ(g.PixelToValue(21), 0);
    EXPECT_EQ(g.PixelToValue(598), 1000);
}

TEST(SliderGeometry, DegenerateRangeOrTrackDoesNotDivideByZero) {
    SliderGeometry g = ToolSlider();
    g.maximum = g.minimum;
    EXPECT_EQ(g.ValueToPixel(0), 11);
    EXPECT_EQ(g.ValueToPixel(50), 11);
    g = ToolSlider();
    g.channel_width = 27;  // no room left for the thumb to travel
    EXPECT_EQ(g.PixelToValue(100), 0);
}

TEST(SliderGeometry, SelectionSpansFollowTheModes) {
    const SliderGeometry g = ToolSlider();
    const int x200 = g.ValueToPixel(200);
    const int x300 = g.ValueToPixel(300);
    const int x500 = g.ValueToPixel(500);
    const struct {
        const char* name;
        int mode;
        int start;
        int end;
        std::vector<ChannelSpan> spans;
    } cases[] = {
        {"mode 0 ignores marks", 0, 200, 500, {{0, 620, true}}},
        {"mode 1 from 0 is all selected", 1, 0, 0, {{0, 620, true}}},
        {"mode 1 from 200", 1, 200, 0, {{0, x200, false}, {x200, 620, true}}},
        {"mode 2 from 200 to the maximum", 2, 200, 1000, {{0, x200, false}, {x200, 620, true}}},
        {"mode 2 from 0 to the maximum", 2, 0, 1000, {{0, 620, true}}},
        {"mode 2 from 0 to 500", 2, 0, 500, {{x500, 620, false}, {0, x500, true}}},
        {"mode 2 from 300 to 500", 2, 300, 500, {{0, x300, false}, {x500, 620, false}, {x300, x500, true}}},
    };
    for (const auto& c : cases) EXPECT_EQ(SelectionSpans(g, c.mode, c.start, c.end), c.spans) << c.name;
}

TEST(SliderGeometry, PaintChannelCopiesEachPieceFromItsBitmap) {
    QPixmap unselected(40, 4);
    unselected.fill(Qt::red);
    QPixmap selected(40, 4);
    selected.fill(Qt::blue);
    QImage out(40, 4, QImage::Format_RGB32);
    out.fill(Qt::white);
    {
        QPainter painter(&out);
        PaintChannel(painter, {{0, 10, false}, {30, 40, false}, {10, 30, true}}, unselected, selected);
    }
    for (int x = 0; x < 40; ++x) {
        const QRgb expected = (x >= 10 && x < 30) ? qRgb(0, 0, 255) : qRgb(255, 0, 0);
        EXPECT_EQ(out.pixel(x, 2), expected) << x;
    }
}

}  // namespace
