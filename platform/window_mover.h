#pragma once
// Moving a frameless window by a left-button drag on its empty area. UI thread only.
//
// The move starts only once the pointer has travelled the platform's drag distance with the button
// held. A window manager asked to move on the press itself begins the move after the release of a
// quick tap has already gone by, and the window then sticks to the pointer until the next click.

#include <QPoint>

class QMouseEvent;
class QWidget;

namespace platform {

// Asks the window system to move the window under the pointer (desktopHooks.start_system_move stands
// in for it when set); false when it cannot, and the caller moves the window itself.
bool StartSystemMove(QWidget* window);

class WindowMover {
  public:
    // True when the press belongs to the mover (a left-button press); nothing moves yet.
    bool Press(QWidget* window, const QMouseEvent* event);
    void Move(QWidget* window, const QMouseEvent* event);
    void Release() { m_state = State::Idle; }

  private:
    enum class State { Idle, Pressed, FollowingPointer };
    State m_state = State::Idle;
    QPoint m_press_global;
    QPoint m_offset;  // from the window's top-left to the pointer
};

}  // namespace platform
