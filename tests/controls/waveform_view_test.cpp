#include "controls/waveform_view.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <cmath>
#include <functional>
#include <memory>

namespace {

// A sound whose every sample is known: a ramp from -1 to 1 over the file, or a part of it known.
class RampData : public WaveformData {
  public:
    RampData(int64_t total, int rate) : m_total(total), m_rate(rate), m_known_until(total) {}
    int sampleRate() const override { return m_length_known ? m_rate : 0; }
    int64_t totalSamples() const override { return m_length_known ? m_total : 0; }
    void columns(double first, double per, int count, WaveColumn* out) const override {
        for (int i = 0; i < count; ++i) {
            const double s0 = first + i * per, s1 = s0 + per;
            if (s0 >= m_known_until || s0 >= m_total) {
                out[i] = WaveColumn{};
                continue;
            }
            out[i] = WaveColumn{Value(s0), Value(std::min<double>(s1, m_total)), true};
        }
    }
    bool settled() const override { return m_length_known && m_known_until >= m_total; }
    float Value(double sample) const { return static_cast<float>(-1.0 + 2.0 * sample / m_total); }

    int64_t m_total;
    int m_rate;
    int64_t m_known_until;
    bool m_length_known = true;  // false: still opening the file
};

WaveformViewport Viewport(int64_t total, int width, int rate = 1000) {
    WaveformViewport vp;
    vp.total_samples = total;
    vp.sample_rate = rate;
    vp.width = width;
    vp.ShowAll();
    return vp;
}

TEST(WaveformViewport, ZoomKeepsTheAnchorInPlaceWithinTheFileAndItsFinestScale) {
    struct Case {
        double anchor;
        double factor;
        double want_per_pixel;
        double want_anchor_x;  // -1: centred (anchor was off screen or the view hit an end)
    } cases[] = {
        {5000, 2, 5, 500},             // middle of 10000 samples on 1000 pixels: stays at pixel 500
        {2500, 4, 2.5, 250},           // a quarter in, stays a quarter in
        {0, 8, 1.25, 0},               // the start stays at the left edge
        {5000, 1e6, 1.0 / 16, 500},    // never finer than a sample 16 pixels wide
        {5000, 0.01, 10, 500},         // never wider than the whole file
        {9999, 16, 10.0 / 16, 999.9},  // the end keeps to the right edge
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.anchor);
        WaveformViewport vp = Viewport(10000, 1000);
        vp.ZoomAround(c.anchor, c.factor);
        EXPECT_DOUBLE_EQ(vp.samples_per_pixel, c.want_per_pixel);
        EXPECT_NEAR(vp.XOfSample(c.anchor), c.want_anchor_x, 0.2);
        EXPECT_GE(vp.first_sample, 0);
        EXPECT_LE(vp.first_sample + vp.samples_per_pixel * vp.width, 10000.0 + 1e-6);
    }
    WaveformViewport vp = Viewport(10000, 1000);
    EXPECT_TRUE(vp.ShowsAll());
    vp.ZoomAround(5000, 10);
    EXPECT_FALSE(vp.ShowsAll());
    vp.Reveal(9000);  // off screen: centred
    EXPECT_NEAR(vp.XOfSample(9000), 500, 1e-6);
    vp.Reveal(9100);  // on screen: no scroll
    EXPECT_NEAR(vp.XOfSample(9000), 500, 1e-6);
    EXPECT_EQ(vp.MsAtX(vp.XOfSample(9000)), 9000);
    EXPECT_EQ(vp.MsAtX(-50), std::llround(std::max(0.0, vp.first_sample - 50 * vp.samples_per_pixel)));
}

TEST(WaveformPainter, HandlesAreGrabbedWithinReachTheNearerFirst) {
    WaveformPicture picture;
    picture.viewport = Viewport(10000, 1000, 10000);  // 10 samples a pixel, 1 ms a pixel
    picture.has_file = true;
    picture.range_start_ms = 200;
    picture.range_end_ms = 600;
    const struct {
        int x;
        WaveHit want;
    } cases[] = {{200, WaveHit::StartHandle}, {195, WaveHit::StartHandle}, {194, WaveHit::None},
                 {605, WaveHit::EndHandle},   {400, WaveHit::None},        {606, WaveHit::None}};
    for (const auto& c : cases) EXPECT_EQ(WaveformPainter::HitTest(picture, c.x), c.want) << c.x;
    picture.range_end_ms = 203;  // both in reach: the nearer
    EXPECT_EQ(WaveformPainter::HitTest(picture, 201), WaveHit::StartHandle);
    EXPECT_EQ(WaveformPainter::HitTest(picture, 203), WaveHit::EndHandle);
    picture.has_file = false;
    EXPECT_EQ(WaveformPainter::HitTest(picture, 200), WaveHit::None);
}

QPalette TestPalette() {
    QPalette p;
    p.setColor(QPalette::Base, QColor(255, 255, 255));
    p.setColor(QPalette::Text, QColor(0, 0, 0));
    p.setColor(QPalette::Mid, QColor(128, 128, 128));
    p.setColor(QPalette::Dark, QColor(64, 64, 64));
    p.setColor(QPalette::Highlight, QColor(0, 0, 255));
    p.setColor(QPalette::Link, QColor(255, 0, 0));
    return p;
}

// The band from the palette: columns from their minimum to their maximum, nothing where a column
// is unknown, the range shaded, the handles and the play position as lines; with no file only the
// empty band.
TEST(WaveformPainter, PaintsColumnsRangeHandlesAndPositionInThePaletteColours) {
    RampData data(10000, 1000);
    data.m_known_until = 7000;
    WaveformPicture picture;
    picture.viewport = Viewport(10000, 100);  // 100 samples a column
    picture.has_file = true;
    picture.columns.resize(100);
    data.columns(0, 100, 100, picture.columns.data());
    picture.range_start_ms = 2000;  // pixel 20
    picture.range_end_ms = 4000;    // pixel 40
    picture.position_ms = 5000;     // pixel 50

    QImage image(100, 61, QImage::Format_RGB32);
    const QPalette palette = TestPalette();
    {
        QPainter painter(&image);
        WaveformPainter::Paint(painter, image.rect(), palette, picture);
    }
    const QRgb text = palette.color(QPalette::Text).rgb();
    const QRgb base = palette.color(QPalette::Base).rgb();
    auto y_of = [](float v) { return 30 - static_cast<int>(std::lround(v * 28)); };
    // The ramp: column 10 spans -0.8..-0.78, drawn below the middle; column 90 is unknown.
    EXPECT_EQ(image.pixel(10, y_of(-0.79f)), text);
    EXPECT_EQ(image.pixel(10, y_of(0.5f)), base);
    EXPECT_EQ(image.pixel(65, y_of(0.3f)), text);
    for (int y = 2; y < 59; ++y)
        if (y != 30) EXPECT_EQ(image.pixel(90, y), base) << y;
    // Shaded range between the handles, handles and position in their colours.
    const QColor shaded = image.pixelColor(30, 5);
    EXPECT_LT(shaded.red(), 255);
    EXPECT_EQ(shaded.blue(), 255);
    EXPECT_EQ(image.pixel(60, 5), base);
    EXPECT_EQ(image.pixel(20, 30 + 10), palette.color(QPalette::Highlight).rgb());
    EXPECT_EQ(image.pixel(40, 30 + 10), palette.color(QPalette::Highlight).rgb());
    EXPECT_EQ(image.pixel(50, 45), palette.color(QPalette::Link).rgb());

    picture.has_file = false;
    picture.columns.clear();
    {
        QPainter painter(&image);
        WaveformPainter::Paint(painter, image.rect(), palette, picture);
    }
    EXPECT_EQ(image.pixel(30, 5), base);
    EXPECT_EQ(image.pixel(50, 45), base);
    EXPECT_EQ(image.pixel(10, 30), palette.color(QPalette::Mid).rgb());
}

class WaveformViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        view.resize(500, 80);
        view.SetData(data);
        view.SetRange(2000, 6000);  // pixels 100 and 300
        view.show();
    }
    std::shared_ptr<RampData> data = std::make_shared<RampData>(10000, 1000);  // 10 s, 20 ms a pixel
    CWaveformView view;
};

// A click away from the handles asks to play from there; a handle dragged moves its time at every
// step and stops at the other handle.
TEST_F(WaveformViewTest, ClickSeeksAndHandlesDrag) {
    QSignalSpy seeks(&view, &CWaveformView::seekRequested);
    QSignalSpy starts(&view, &CWaveformView::startMoved);
    QSignalSpy ends(&view, &CWaveformView::endMoved);
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(400, 40));
    ASSERT_EQ(seeks.size(), 1);
    EXPECT_EQ(seeks[0][0].toLongLong(), 8000);
    EXPECT_TRUE(starts.isEmpty() && ends.isEmpty());

    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(302, 40));
    EXPECT_TRUE(view.isDraggingHandle());
    QTest::mouseMove(&view, QPoint(350, 40));
    QTest::mouseMove(&view, QPoint(450, 40));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(450, 40));
    ASSERT_EQ(ends.size(), 2);
    EXPECT_EQ(ends[0][0].toLongLong(), 7000);
    EXPECT_EQ(ends[1][0].toLongLong(), 9000);
    EXPECT_EQ(view.rangeEndMs(), 9000);
    EXPECT_EQ(seeks.size(), 1);

    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(99, 40));
    QTest::mouseMove(&view, QPoint(480, 40));  // past the end handle: held there
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(480, 40));
    EXPECT_EQ(view.rangeStartMs(), 9000);
    EXPECT_EQ(starts.back()[0].toLongLong(), 9000);
    EXPECT_FALSE(view.isDraggingHandle());
}

// The wheel and the keys zoom around the play position, down to single samples, and back out.
TEST_F(WaveformViewTest, WheelAndKeysZoomAroundThePosition) {
    view.SetPosition(3000);
    const double x_before = view.viewport().XOfMs(3000);
    QWheelEvent wheel(QPointF(10, 10), view.mapToGlobal(QPointF(10, 10)), {}, QPoint(0, 240), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&view, &wheel);
    EXPECT_DOUBLE_EQ(view.viewport().samples_per_pixel, 20.0 / 4);
    EXPECT_NEAR(view.viewport().XOfMs(3000), x_before, 0.5);
    for (int i = 0; i < 12; ++i) QTest::keyClick(&view, Qt::Key_Plus);
    EXPECT_DOUBLE_EQ(view.viewport().samples_per_pixel, WaveformViewport::kFinestSamplesPerPixel);
    EXPECT_NEAR(view.viewport().XOfMs(3000), x_before, 0.5);
    QTest::keyClick(&view, Qt::Key_Minus);
    EXPECT_DOUBLE_EQ(view.viewport().samples_per_pixel, 2 * WaveformViewport::kFinestSamplesPerPixel);
    QTest::keyClick(&view, Qt::Key_0);
    EXPECT_TRUE(view.viewport().ShowsAll());
}

// While the data fills in, the view looks again by itself and shows what has come.
TEST_F(WaveformViewTest, PictureFillsInAsTheDataGrows) {
    auto growing = std::make_shared<RampData>(10000, 1000);
    growing->m_known_until = 0;
    view.SetData(growing);
    QImage before = view.grab().toImage();
    growing->m_known_until = 10000;
    QTest::qWait(200);
    QImage after = view.grab().toImage();
    const QRgb text = view.palette().color(QPalette::Text).rgb();
    auto count_text = [&](const QImage& image) {
        int n = 0;
        for (int y = 1; y < image.height() - 1; ++y)
            for (int x = 1; x < image.width() - 1; ++x) n += image.pixel(x, y) == text;
        return n;
    };
    EXPECT_EQ(count_text(before), 0);
    EXPECT_GT(count_text(after), 0);
}

// Data still finding its file's length: nothing to click on yet; once it knows, the view shows
// the whole file by itself.
TEST_F(WaveformViewTest, DataThatLearnsItsLengthLaterIsShownWholeOnceKnown) {
    auto opening = std::make_shared<RampData>(10000, 1000);
    opening->m_length_known = false;
    view.SetData(opening);
    QSignalSpy seeks(&view, &CWaveformView::seekRequested);
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(400, 40));
    EXPECT_TRUE(seeks.isEmpty());
    EXPECT_TRUE(view.viewport().empty());

    opening->m_length_known = true;
    QTest::qWait(200);
    EXPECT_TRUE(view.viewport().ShowsAll());
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(400, 40));
    ASSERT_EQ(seeks.size(), 1);
    EXPECT_EQ(seeks[0][0].toLongLong(), 8000);
}

}  // namespace
