#include "common/dialog_keys.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>

namespace common {

DialogKeyBlocker::DialogKeyBlocker(QDialog* dialog, bool block_escape)
    : QObject(dialog), m_dialog(dialog), m_block_escape(block_escape) {
    qApp->installEventFilter(this);
}

bool DialogKeyBlocker::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    if (!watched->isWidgetType() || static_cast<QWidget*>(watched)->window() != m_dialog) return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    const bool escape = key == Qt::Key_Escape;
    return enter || (escape && m_block_escape);
}

}  // namespace common
