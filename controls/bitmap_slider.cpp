#include "controls/bitmap_slider.h"

#include <QBitmap>
#include <QKeyEvent>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <cstdlib>

#include "controls/bitmap_resources.h"

namespace {

// The bitmap with every pixel of its top-left colour made transparent.
QPixmap KeyedBitmap(int number) {
    const QImage image = LoadBitmapResourceImage(number);
    if (image.isNull()) return {};
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setMask(QBitmap::fromImage(image.createMaskFromColor(image.pixel(0, 0), Qt::MaskInColor)));
    return pixmap;
}

}  // namespace

CBitmapSlider::CBitmapSlider(QWidget* parent, int control_id) : QWidget(parent), m_control_id(control_id) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool CBitmapSlider::LoadChannelBitmaps(int channel, int selected_channel) {
    QPixmap normal = LoadBitmapResource(channel);
    QPixmap selected = LoadBitmapResource(selected_channel);
    if (normal.isNull() || selected.isNull()) {
        m_channel = QPixmap();
        m_selected_channel = QPixmap();
        return false;
    }
    m_channel = normal;
    m_selected_channel = selected;
    m_geometry.channel_width = m_channel.width();
    m_geometry.channel_height = m_channel.height();
    resize(m_channel.size());
    updateGeometry();
    update();
    return true;
}

void CBitmapSlider::FitChannelToWidth(int width) {
    if (m_channel.isNull() || width <= 0 || width == m_channel.width()) return;
    m_channel = m_channel.scaled(width, m_channel.height(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    m_selected_channel = m_selected_channel.scaled(width, m_selected_channel.height(), Qt::IgnoreAspectRatio,
                                                   Qt::SmoothTransformation);
    m_geometry.channel_width = width;
    resize(m_channel.size());
    updateGeometry();
    update();
}

bool CBitmapSlider::LoadThumbBitmaps(int thumb, int dragging_thumb) {
    QPixmap normal = KeyedBitmap(thumb);
    QPixmap dragging = KeyedBitmap(dragging_thumb);
    if (normal.isNull() || dragging.isNull()) {
        m_thumb = QPixmap();
        m_dragging_thumb = QPixmap();
        return false;
    }
    m_thumb = normal;
    m_dragging_thumb = dragging;
    m_geometry.thumb_width = m_thumb.width();
    m_geometry.thumb_height = m_thumb.height();
    if (m_channel.isNull()) {
        m_geometry.channel_width = width();
        m_geometry.channel_height = height();
    }
    update();
    return true;
}

void CBitmapSlider::SetRange(int minimum, int maximum) {
    m_geometry.minimum = minimum;
    m_geometry.maximum = maximum;
    m_position = m_geometry.Clamp(m_position);
    update();
}

void CBitmapSlider::SetPosition(int value) {
    m_position = m_geometry.Clamp(value);
    update();
}

void CBitmapSlider::SetSelectionStart(int value) {
    m_selection_start = m_geometry.Clamp(value);
    update();
}

void CBitmapSlider::SetSelectionEnd(int value) {
    m_selection_end = m_geometry.Clamp(value);
    update();
}

void CBitmapSlider::SetSelectionMode(int mode) {
    m_selection_mode = mode;
    update();
}

void CBitmapSlider::MarkStartAtThumb() {
    SetSelectionStart(m_position);
    SetSelectionMode(1);
}

void CBitmapSlider::MarkEndAtThumb() {
    SetSelectionEnd(m_position);
    SetSelectionMode(2);
}

void CBitmapSlider::SetPageStep(int step) { m_page_step = step; }

void CBitmapSlider::SetMargins(int left, int top, int right, int bottom) {
    m_geometry.left_margin = left;
    m_geometry.top_margin = top;
    m_geometry.right_margin = right;
    m_geometry.bottom_margin = bottom;
    update();
}

void CBitmapSlider::DrawFocusRect(bool draw) {
    m_draw_focus_rect = draw;
    update();
}

void CBitmapSlider::Enable(bool enabled) {
    m_enabled = enabled;
    if (!enabled) m_dragging = false;
    update();
}

QSize CBitmapSlider::sizeHint() const {
    if (!m_channel.isNull()) return m_channel.size();
    return QSize(m_geometry.thumb_width * 4, m_geometry.thumb_height + m_geometry.top_margin);
}

void CBitmapSlider::paintEvent(QPaintEvent*) {
    QPixmap frame(size());
    frame.fill(palette().color(QPalette::Window));
    QPainter painter(&frame);

    if (!m_channel.isNull()) {
        if (!m_selected_channel.isNull() && m_enabled) {
            PaintChannel(painter,
                         SelectionSpans(m_geometry, m_selection_mode, m_selection_start, m_selection_end),
                         m_channel, m_selected_channel);
        } else {
            painter.drawPixmap(0, 0, m_channel);
        }
    }
    if (!m_thumb.isNull() && m_enabled) {
        const QPixmap& thumb = m_dragging ? m_dragging_thumb : m_thumb;
        painter.drawPixmap(m_geometry.ValueToPixel(m_position) - m_geometry.thumb_width / 2,
                           m_geometry.top_margin, thumb);
    }
    if (m_draw_focus_rect && hasFocus() && m_enabled) {
        // The classic dotted focus rectangle around the whole control.
        painter.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    painter.end();
    QPainter(this).drawPixmap(0, 0, frame);
}

void CBitmapSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_enabled) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    m_dragging = true;
    const int pointer_x = event->position().toPoint().x();
    const int distance = pointer_x - m_geometry.ValueToPixel(m_position);
    // Within half a thumb of the centre the thumb keeps its grip; further away it jumps.
    m_grab_offset = std::abs(distance) > m_geometry.thumb_width / 2 ? 0 : distance;
    DragTo(pointer_x);
    update();
}

void CBitmapSlider::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging && m_enabled) DragTo(event->position().toPoint().x());
    QWidget::mouseMoveEvent(event);
}

void CBitmapSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_enabled) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    m_dragging = false;
    update();
    PostRelease();
}

void CBitmapSlider::DragTo(int pointer_x) {
    int target = pointer_x - m_grab_offset;
    target = std::max(target, m_geometry.LowestThumbCentre());
    target = std::min(target, m_geometry.HighestThumbCentre());
    if (target == m_geometry.ValueToPixel(m_position)) return;
    // The highest centre can lie a pixel past the maximum's pixel; a move there must not report
    // the unchanged position again and again.
    const int position = m_geometry.Clamp(m_geometry.PixelToValue(target));
    if (position == m_position) return;
    m_position = position;
    update();
    PostTrack();
}

void CBitmapSlider::keyPressEvent(QKeyEvent* event) {
    if (!m_enabled) {
        QWidget::keyPressEvent(event);
        return;
    }
    int position = m_position;
    switch (event->key()) {
        case Qt::Key_PageUp:
            position = m_position - m_page_step;
            break;
        case Qt::Key_PageDown:
            position = m_position + m_page_step;
            break;
        case Qt::Key_End:
            position = m_geometry.maximum;
            break;
        case Qt::Key_Home:
            position = m_geometry.minimum;
            break;
        case Qt::Key_Left:
        case Qt::Key_Up:
            position = m_position - 1;
            break;
        case Qt::Key_Right:
        case Qt::Key_Down:
            position = m_position + 1;
            break;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            QWidget::keyPressEvent(event);
            return;
        default:
            // The slider asks for every key but Tab, so Enter and Escape stop here too.
            event->accept();
            return;
    }
    SetPosition(position);
    PostRelease();
}

void CBitmapSlider::PostTrack() {
    QMetaObject::invokeMethod(
        this, [this, position = m_position] { emit sliderTrack(m_control_id, position); },
        Qt::QueuedConnection);
}

void CBitmapSlider::PostRelease() {
    QMetaObject::invokeMethod(
        this, [this, position = m_position] { emit sliderRelease(m_control_id, position); },
        Qt::QueuedConnection);
}
