#include "controls/hyperlink.h"

#include <QCursor>
#include <QEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "controls/link_error.h"
#include "controls/static_style.h"
#include "platform/shell_open.h"

CHyperLink::CHyperLink(const QString& text, QWidget* parent, int control_id, int static_style)
    : QWidget(parent), m_control_id(control_id), m_static_style(static_style), m_text(text) {
    m_address = m_text;  // until SetAddress gives another
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    m_hover_timer.setObjectName(QString::number(kHoverTimerId));
    m_hover_timer.setInterval(kHoverPollMs);
    connect(&m_hover_timer, &QTimer::timeout, this, &CHyperLink::OnHoverTimer);
    UpdateFonts();
    FitToText();
    setToolTip(m_address);
}

void CHyperLink::SetAddress(const QString& address) {
    m_address = address;
    if (m_text.isEmpty()) m_text = m_address;
    FitToText();
    setToolTip(m_address);
    update();
}

void CHyperLink::SetText(const QString& text) {
    m_text = text;
    FitToText();
    update();
}

void CHyperLink::SetColours(const QColor& link, const QColor& visited, const QColor& hover) {
    m_link_colour = link;
    m_visited_colour = visited;
    m_hover_colour = hover;
    update();
}

void CHyperLink::SetVisited(bool visited) {
    m_visited = visited;
    update();
}

QColor CHyperLink::CurrentColour() const {
    if (m_over) return m_hover_colour;
    return m_visited ? m_visited_colour : m_link_colour;
}

// The control's font as set is the normal font, underlined or not (the media tools underline
// their links for good); the hover font is its underlined copy.
void CHyperLink::UpdateFonts() {
    m_normal_font = font();
    m_underlined_font = m_normal_font;
    m_underlined_font.setUnderline(true);
}

// The underline is drawn by hand: text shown in a fall-back font (Chinese) can reach below the
// font's own underline position, and Qt would draw the line through it or below the control.
int CHyperLink::UnderlineY() const {
    const QFontMetrics metrics(m_underlined_font);
    const int below_glyphs = metrics.boundingRect(m_text).bottom() + 1;
    return metrics.ascent() + std::max(metrics.underlinePos(), below_glyphs);
}

QSize CHyperLink::sizeHint() const {
    const QFontMetrics metrics(m_underlined_font);
    const int height = std::max(metrics.height(), UnderlineY() + std::max(1, metrics.lineWidth()));
    return QSize(metrics.horizontalAdvance(m_text), height);
}

// Fits the control to its text: the left edge stays (the centre for centred text, the right edge
// for right-aligned text), the top stays (the middle for vertically centred text).
void CHyperLink::FitToText() {
    const QRect old = geometry();
    const QSize text = sizeHint();
    int x = old.x();
    switch (m_static_style & static_style::kTypeMask) {
        case static_style::kCenter:
            x = old.x() + (old.width() - text.width()) / 2;
            break;
        case static_style::kRight:
            x = old.x() + old.width() - text.width();
            break;
        default:
            break;
    }
    int y = old.y();
    if (m_static_style & static_style::kCenterImage) y = old.y() + (old.height() - text.height()) / 2;
    setGeometry(x, y, text.width(), text.height());
}

void CHyperLink::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    QFont text_font = m_normal_font;
    text_font.setUnderline(false);
    painter.setFont(text_font);
    painter.setPen(CurrentColour());
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, m_text);
    if (IsUnderlineShown()) {
        const QFontMetrics metrics(m_underlined_font);
        painter.fillRect(0, UnderlineY(), metrics.horizontalAdvance(m_text), std::max(1, metrics.lineWidth()),
                         CurrentColour());
    }
}

void CHyperLink::mouseMoveEvent(QMouseEvent* event) {
    if (!m_over) {
        m_over = true;
        update();
        m_hover_timer.start();
    }
    QWidget::mouseMoveEvent(event);
}

void CHyperLink::OnHoverTimer() {
    if (rect().contains(mapFromGlobal(QCursor::pos()))) return;
    m_over = false;
    m_hover_timer.stop();
    update();
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    m_over = false;
    update();
    emit clicked(m_control_id);
    OpenAddress();
}

void CHyperLink::OpenAddress() {
    const int code = platform::OpenAddress(m_address);
    if (code > 32) {
        m_visited = true;
        update();
        return;
    }
    ShowHyperlinkError(
        this, m_failure_text.isEmpty() ? HyperlinkErrorText(code) : m_failure_text + "\n" + m_address);
}

void CHyperLink::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        UpdateFonts();
        FitToText();
    }
    QWidget::changeEvent(event);
}
