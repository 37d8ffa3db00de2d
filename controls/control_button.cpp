#include "controls/control_button.h"

#include <QPainter>
#include <QPainterPath>
#include <QVector>

#include "controls/bitmap_resources.h"

namespace {

constexpr int kRectsPerBatch = 2000;

bool IsPureWhite(QRgb pixel) { return qRed(pixel) == 255 && qGreen(pixel) == 255 && qBlue(pixel) == 255; }

}  // namespace

QRegion RegionFromBitmap(const QImage& source) {
    QRegion result;
    if (source.isNull()) return result;
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    QVector<QRect> batch;
    batch.reserve(kRectsPerBatch);
    auto flush = [&] {
        if (batch.isEmpty()) return;
        QRegion part;
        part.setRects(batch.constData(), static_cast<int>(batch.size()));
        result |= part;
        batch.clear();
    };
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        int x = 0;
        while (x < image.width()) {
            while (x < image.width() && IsPureWhite(row[x])) ++x;
            const int run_start = x;
            while (x < image.width() && !IsPureWhite(row[x])) ++x;
            if (x > run_start) {
                batch.append(QRect(run_start, y, x - run_start, 1));
                if (batch.size() == kRectsPerBatch) flush();
            }
        }
    }
    flush();
    return result;
}

CControlButton::CControlButton(QWidget* parent, int control_id)
    : QAbstractButton(parent), m_control_id(control_id) {
    setAttribute(Qt::WA_Hover);
    // Tab reaches the button; a click does not leave a focus frame behind.
    setFocusPolicy(Qt::TabFocus);
}

QImage CControlButton::Fitted(const QImage& image) const {
    if (!m_fit || image.isNull() || (image.width() <= width() && image.height() <= height())) return image;
    return image.scaled(size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

void CControlButton::SetImages(int hover_id, int normal_id, int pressed_id) {
    auto load = [this](int id) { return QPixmap::fromImage(Fitted(LoadBitmapResourceImage(id))); };
    m_hover_image = load(hover_id);
    m_normal = load(normal_id);
    m_pressed = load(pressed_id);
    updateGeometry();
    update();
}

void CControlButton::SetShapeFromBitmap(int resource_id) {
    const QImage image = LoadBitmapResourceImage(resource_id);
    if (image.isNull()) return;
    SetShapeFromImage(Fitted(image));
}

void CControlButton::SetShapeFromImage(const QImage& image) {
    m_shape = RegionFromBitmap(image);
    m_has_region = true;
    // An empty mask would mean "no mask" to Qt; a mask outside the widget hides all of it.
    setMask(m_shape.isEmpty() ? QRegion(-1, -1, 1, 1) : m_shape);
    update();
}

QSize CControlButton::sizeHint() const {
    if (!m_normal.isNull()) return m_normal.size();
    return QSize(32, 32);
}

void CControlButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect item = rect();
    const QPixmap& image = m_hover ? m_hover_image : m_normal;
    if (!image.isNull()) painter.drawPixmap(item.topLeft(), image, item);
    if (isDown() && !m_pressed.isNull()) painter.drawPixmap(item.topLeft(), m_pressed, item);
    if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) DrawFocusFrame(painter);
}

void CControlButton::DrawFocusFrame(QPainter& painter) const {
    // The outline of what can be clicked: the inner half of a stroke along the shape's edge (a
    // shaped button's mask clips the outer half), or a frame inside the rectangle.
    QPainterPath outline;
    if (m_has_region)
        outline.addRegion(m_shape);
    else
        outline.addRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    QPen pen(palette().color(QPalette::Highlight), m_has_region ? 4 : 2);
    painter.setClipRegion(m_has_region ? m_shape : QRegion(rect()));
    painter.strokePath(outline.simplified(), pen);
}

void CControlButton::enterEvent(QEnterEvent* event) {
    m_hover = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CControlButton::leaveEvent(QEvent* event) {
    m_hover = false;
    update();
    QAbstractButton::leaveEvent(event);
}

bool CControlButton::hitButton(const QPoint& pos) const {
    if (m_has_region) return m_shape.contains(pos);
    return QAbstractButton::hitButton(pos);
}
