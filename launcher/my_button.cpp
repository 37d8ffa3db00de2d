#include "launcher/my_button.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

CMyButton::CMyButton(QWidget* parent) : QPushButton(parent) {
    setAutoDefault(false);
    // Tab moves between the buttons; a click does not leave a focus frame behind.
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
    connect(this, &QPushButton::pressed, this, [this] { SetState(kPressed); });
}

bool CMyButton::SetSkinImage(const QString& path, int x, int y, const QPixmap& background) {
    m_image = QImage(path).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    m_frame_width = m_image.width() / 4;
    m_frame_height = m_image.height();
    m_background = background.isNull() ? QPixmap() : background.copy(x, y, m_frame_width, m_frame_height);
    setGeometry(x, y, m_frame_width, m_frame_height);
    update();
    return true;
}

void CMyButton::SetState(DrawState state) {
    if (m_state == state) return;
    m_state = state;
    update();
}

void CMyButton::enterEvent(QEnterEvent* event) {
    SetState(kHover);
    QPushButton::enterEvent(event);
}

void CMyButton::leaveEvent(QEvent* event) {
    SetState(kNormal);
    QPushButton::leaveEvent(event);
}

void CMyButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) SetState(kDisabled);
    QPushButton::changeEvent(event);
}

void CMyButton::paintEvent(QPaintEvent*) {
    if (m_image.isNull()) return;
    QPainter painter(this);
    if (!m_background.isNull()) painter.drawPixmap(0, 0, m_background);
    painter.drawImage(QPoint(0, 0), m_image,
                      QRect(m_frame_width * m_state, 0, m_frame_width, m_frame_height));
    // Only after Tab: the focus a window gives its first button when it opens is not shown.
    if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        QStyleOptionFocusRect frame;
        frame.initFrom(this);
        frame.rect = rect().adjusted(1, 1, -1, -1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, &painter, this);
    }
}
