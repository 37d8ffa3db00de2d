#include "controls/waveform_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kFillRefreshMs = 50;
constexpr double kZoomStep = 2.0;

}  // namespace

void WaveformViewport::ShowAll() {
    if (empty()) return;
    first_sample = 0;
    samples_per_pixel = static_cast<double>(total_samples) / width;
}

bool WaveformViewport::ShowsAll() const {
    return empty() ||
           (first_sample <= 0 && samples_per_pixel * width >= static_cast<double>(total_samples) - 0.5);
}

void WaveformViewport::Clamp() {
    const double widest =
        std::max(kFinestSamplesPerPixel, static_cast<double>(total_samples) / std::max(1, width));
    samples_per_pixel = std::clamp(samples_per_pixel, kFinestSamplesPerPixel, widest);
    const double span = samples_per_pixel * width;
    first_sample = std::clamp(first_sample, 0.0, std::max(0.0, static_cast<double>(total_samples) - span));
}

void WaveformViewport::ZoomAround(double anchor_sample, double factor) {
    if (empty() || factor <= 0) return;
    double x = XOfSample(anchor_sample);
    if (x < 0 || x > width) x = width / 2.0;
    samples_per_pixel /= factor;
    Clamp();
    first_sample = anchor_sample - x * samples_per_pixel;
    Clamp();
}

void WaveformViewport::Reveal(double sample) {
    if (empty()) return;
    const double x = XOfSample(sample);
    if (x >= 0 && x < width) return;
    first_sample = sample - width / 2.0 * samples_per_pixel;
    Clamp();
}

int64_t WaveformViewport::MsAtX(double x) const {
    if (empty()) return 0;
    const double sample = std::clamp(SampleAtX(x), 0.0, static_cast<double>(total_samples));
    return static_cast<int64_t>(std::llround(sample * 1000.0 / sample_rate));
}

void WaveformPainter::Paint(QPainter& painter, const QRect& rect, const QPalette& palette,
                            const WaveformPicture& picture) {
    painter.fillRect(rect, palette.color(QPalette::Base));
    const int mid = rect.top() + rect.height() / 2;
    const double half = std::max(1, rect.height() / 2 - 2);
    painter.setPen(palette.color(QPalette::Mid));
    painter.drawLine(rect.left(), mid, rect.right(), mid);
    const WaveformViewport& vp = picture.viewport;
    const bool drawn = picture.has_file && !vp.empty();

    if (drawn && picture.range_end_ms > picture.range_start_ms) {
        const double x0 = std::max(0.0, vp.XOfMs(picture.range_start_ms));
        const double x1 = std::min<double>(rect.width(), vp.XOfMs(picture.range_end_ms));
        if (x1 > x0) {
            QColor shade = palette.color(QPalette::Highlight);
            shade.setAlpha(70);
            painter.fillRect(QRectF(rect.left() + x0, rect.top(), x1 - x0, rect.height()), shade);
        }
    }

    if (drawn) {
        // Each column reaches to its neighbour's edge, so the trace stays one line when zoomed in.
        painter.setPen(palette.color(QPalette::Text));
        const int count = std::min<int>(static_cast<int>(picture.columns.size()), rect.width());
        for (int i = 0; i < count; ++i) {
            const WaveColumn& c = picture.columns[i];
            if (!c.known) continue;
            float lo = c.min, hi = c.max;
            if (i > 0 && picture.columns[i - 1].known) {
                lo = std::min(lo, picture.columns[i - 1].max);
                hi = std::max(hi, picture.columns[i - 1].min);
            }
            const int y_top = mid - static_cast<int>(std::lround(hi * half));
            const int y_bottom = mid - static_cast<int>(std::lround(lo * half));
            painter.drawLine(rect.left() + i, y_top, rect.left() + i, y_bottom);
        }

        if (picture.range_end_ms > picture.range_start_ms) {
            painter.setPen(palette.color(QPalette::Highlight));
            painter.setBrush(palette.color(QPalette::Highlight));
            for (int64_t ms : {picture.range_start_ms, picture.range_end_ms}) {
                const int x = rect.left() + static_cast<int>(std::lround(vp.XOfMs(ms)));
                if (x < rect.left() - kHandleSize || x > rect.right() + kHandleSize) continue;
                painter.drawLine(x, rect.top(), x, rect.bottom());
                const QPolygon top({QPoint(x - kHandleSize / 2 - 1, rect.top()),
                                    QPoint(x + kHandleSize / 2 + 1, rect.top()),
                                    QPoint(x, rect.top() + kHandleSize)});
                const QPolygon bottom({QPoint(x - kHandleSize / 2 - 1, rect.bottom()),
                                       QPoint(x + kHandleSize / 2 + 1, rect.bottom()),
                                       QPoint(x, rect.bottom() - kHandleSize)});
                painter.drawPolygon(top);
                painter.drawPolygon(bottom);
            }
            painter.setBrush(Qt::NoBrush);
        }

        const double px = vp.XOfMs(picture.position_ms);
        if (px >= 0 && px < rect.width()) {
            painter.setPen(QPen(palette.color(QPalette::Link), 1));
            const int x = rect.left() + static_cast<int>(px);
            painter.drawLine(x, rect.top(), x, rect.bottom());
        }
    }
    painter.setPen(palette.color(QPalette::Dark));
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
}

WaveHit WaveformPainter::HitTest(const WaveformPicture& picture, int x) {
    if (!picture.has_file || picture.viewport.empty() || picture.range_end_ms <= picture.range_start_ms)
        return WaveHit::None;
    const double ds = std::fabs(picture.viewport.XOfMs(picture.range_start_ms) - x);
    const double de = std::fabs(picture.viewport.XOfMs(picture.range_end_ms) - x);
    if (std::min(ds, de) > kHandleGrab) return WaveHit::None;
    // Equal distances (handles on one pixel): the end, so that a range can still be widened.
    return ds < de ? WaveHit::StartHandle : WaveHit::EndHandle;
}

CWaveformView::CWaveformView(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_fill_timer = new QTimer(this);
    m_fill_timer->setInterval(kFillRefreshMs);
    connect(m_fill_timer, &QTimer::timeout, this, &CWaveformView::Refresh);
}

CWaveformView::~CWaveformView() = default;

void CWaveformView::SetData(std::shared_ptr<WaveformData> data) {
    m_data = std::move(data);
    m_drag = WaveHit::None;
    WaveformViewport& vp = m_picture.viewport;
    vp.total_samples = m_data ? m_data->totalSamples() : 0;
    vp.sample_rate = m_data ? m_data->sampleRate() : 0;
    vp.width = width();
    vp.ShowAll();
    Refresh();
}

void CWaveformView::SetRange(int64_t start_ms, int64_t end_ms) {
    if (start_ms == m_picture.range_start_ms && end_ms == m_picture.range_end_ms) return;
    m_picture.range_start_ms = start_ms;
    m_picture.range_end_ms = end_ms;
    update();
}

void CWaveformView::SetPosition(int64_t position_ms) {
    if (position_ms == m_picture.position_ms) return;
    m_picture.position_ms = position_ms;
    // A zoomed view follows playback a page at a time.
    WaveformViewport& vp = m_picture.viewport;
    const double before = vp.first_sample;
    if (!vp.ShowsAll() && m_drag == WaveHit::None)
        vp.Reveal(static_cast<double>(position_ms) * vp.sample_rate / 1000.0);
    if (vp.first_sample != before)
        Refresh();
    else
        update();
}

void CWaveformView::Zoom(double factor) {
    WaveformViewport& vp = m_picture.viewport;
    vp.ZoomAround(static_cast<double>(m_picture.position_ms) * vp.sample_rate / 1000.0, factor);
    Refresh();
}

void CWaveformView::ShowAll() {
    m_picture.viewport.ShowAll();
    Refresh();
}

// Takes the columns for the current view from the data; keeps looking while it fills in.
void CWaveformView::Refresh() {
    WaveformViewport& vp = m_picture.viewport;
    // Data whose file turned out to have no sound to draw looks like no file.
    m_picture.has_file = m_data && (m_data->totalSamples() > 0 || !m_data->settled());
    // Data that learns its length after it was given (still being opened) gets the whole file
    // across the width once it knows.
    if (m_data && vp.total_samples <= 0 && m_data->totalSamples() > 0) {
        vp.total_samples = m_data->totalSamples();
        vp.sample_rate = m_data->sampleRate();
        vp.ShowAll();
    }
    m_picture.columns.assign(m_data && !vp.empty() ? vp.width : 0, WaveColumn{});
    if (!m_picture.columns.empty())
        m_data->columns(vp.first_sample, vp.samples_per_pixel, vp.width, m_picture.columns.data());
    if (m_data && !m_data->settled())
        m_fill_timer->start();
    else
        m_fill_timer->stop();
    update();
}

void CWaveformView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    WaveformPainter::Paint(painter, rect(), palette(), m_picture);
}

void CWaveformView::resizeEvent(QResizeEvent*) {
    WaveformViewport& vp = m_picture.viewport;
    const bool all = vp.ShowsAll();
    vp.width = width();
    if (all) vp.ShowAll();
    Refresh();
}

void CWaveformView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_data || m_picture.viewport.empty()) return;
    const int x = static_cast<int>(event->position().x());
    m_drag = WaveformPainter::HitTest(m_picture, x);
    if (m_drag == WaveHit::None) emit seekRequested(m_picture.viewport.MsAtX(x));
}

void CWaveformView::mouseMoveEvent(QMouseEvent* event) {
    if (m_drag != WaveHit::None) DragHandleTo(static_cast<int>(event->position().x()));
}

void CWaveformView::mouseReleaseEvent(QMouseEvent* event) {
    if (m_drag != WaveHit::None) DragHandleTo(static_cast<int>(event->position().x()));
    m_drag = WaveHit::None;
}

void CWaveformView::DragHandleTo(int x) {
    int64_t ms = m_picture.viewport.MsAtX(std::clamp(x, 0, width()));
    // A handle stops at the other one: the range never turns inside out.
    if (m_drag == WaveHit::StartHandle) {
        ms = std::min(ms, m_picture.range_end_ms);
        if (ms == m_picture.range_start_ms) return;
        m_picture.range_start_ms = ms;
        emit startMoved(ms);
    } else {
        ms = std::max(ms, m_picture.range_start_ms);
        if (ms == m_picture.range_end_ms) return;
        m_picture.range_end_ms = ms;
        emit endMoved(ms);
    }
    update();
}

void CWaveformView::wheelEvent(QWheelEvent* event) {
    if (!m_data) return;
    const int steps = event->angleDelta().y() / 120;
    if (steps == 0) return;
    Zoom(std::pow(kZoomStep, steps));
    event->accept();
}

void CWaveformView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
        case Qt::Key_Up:
            Zoom(kZoomStep);
            break;
        case Qt::Key_Minus:
        case Qt::Key_Down:
            Zoom(1 / kZoomStep);
            break;
        case Qt::Key_0:
            ShowAll();
            break;
        default:
            QWidget::keyPressEvent(event);
    }
}
