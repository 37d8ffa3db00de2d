#include "controls/label.h"

#include <QPainter>
#include <QPixmap>

#include "controls/static_style.h"

int LabelTextFlags(int style, const QString& text) {
    int flags = 0;
    switch (style & static_style::kTypeMask) {
        case static_style::kCenter:
            flags = Qt::AlignHCenter | Qt::TextWordWrap;
            break;
        case static_style::kRight:
            flags = Qt::AlignRight | Qt::TextWordWrap;
            break;
        case static_style::kLeftNoWordWrap:
            flags = Qt::AlignLeft;
            break;
        default:
            flags = Qt::AlignLeft | Qt::TextWordWrap;
            break;
    }
    if (style & static_style::kCenterImage) {
        if (text.contains(QLatin1String("\r\n")))
            flags = Qt::AlignHCenter;
        else
            flags = Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine;
    }
    if (!(flags & Qt::AlignVCenter)) flags |= Qt::AlignTop;
    if (text.contains(QLatin1Char('\t'))) flags |= Qt::TextExpandTabs;
    return flags;
}

CLabel::CLabel(const QString& text, QWidget* parent, int control_id)
    : QWidget(parent), m_control_id(control_id), m_text(text) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CLabel::SetText(const QString& text) {
    m_text = text;
    updateGeometry();
    update();
}

void CLabel::SetStaticStyle(int style) {
    m_style = style;
    update();
}

void CLabel::SetTextColor(const QColor& color) {
    m_text_color = color;
    update();
}

QSize CLabel::sizeHint() const {
    QString shown = m_text;
    shown.remove(QLatin1Char('\r'));
    return fontMetrics().size(Qt::TextExpandTabs, shown);
}

void CLabel::paintEvent(QPaintEvent*) {
    QPixmap frame(size());
    frame.fill(palette().color(QPalette::Window));
    QPainter painter(&frame);
    painter.setFont(font());
    painter.setPen(m_text_color.isValid() ? m_text_color : palette().color(QPalette::WindowText));
    QString shown = m_text;
    shown.remove(QLatin1Char('\r'));
    painter.drawText(rect(), LabelTextFlags(m_style, m_text), shown);
    painter.end();
    QPainter(this).drawPixmap(0, 0, frame);
}
