#include "platform/window_mover.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

#include "platform/desktop_hooks.h"

namespace platform {

bool StartSystemMove(QWidget* window) {
    QWindow* handle = window->windowHandle();
    if (!handle) return false;
    if (desktopHooks.start_system_move) return desktopHooks.start_system_move(handle);
    return handle->startSystemMove();
}

bool WindowMover::Press(QWidget* window, const QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return false;
    m_state = State::Pressed;
    m_press_global = event->globalPosition().toPoint();
    m_offset = m_press_global - window->frameGeometry().topLeft();
    return true;
}

void WindowMover::Move(QWidget* window, const QMouseEvent* event) {
    if (m_state == State::Idle || !(event->buttons() & Qt::LeftButton)) return;
    const QPoint global = event->globalPosition().toPoint();
    if (m_state == State::Pressed) {
        if ((global - m_press_global).manhattanLength() < QApplication::startDragDistance()) return;
        if (StartSystemMove(window)) {
            // The window manager follows the pointer from here and ends the move on release.
            m_state = State::Idle;
            return;
        }
        m_state = State::FollowingPointer;
    }
    window->move(global - m_offset);
}

}  // namespace platform
