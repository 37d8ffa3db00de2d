#pragma once
// What the tools' windows share for mouse drags: moving a frameless window by its empty client
// area, and taking the local files dropped on a window. UI thread only.

#include <QPoint>
#include <QStringList>
#include <functional>

class QDropEvent;
class QMouseEvent;
class QObject;
class QWidget;

namespace common {

// Moves a window by a left-button drag on its empty area. The window system moves it where it can;
// elsewhere the window follows the mouse itself.
class WindowMover {
  public:
    // True when the press starts a move; otherwise the window handles the press as usual.
    bool Press(QWidget* window, const QMouseEvent* event);
    void Move(QWidget* window, const QMouseEvent* event);
    void Release() { m_dragging = false; }

  private:
    bool m_dragging = false;
    QPoint m_offset;
};

// The local files a drag carries; the drag is accepted when there are any.
QStringList TakeLocalFiles(QDropEvent* event);

// Hands the dropped local files to add once the drop has finished, so the source application is not
// kept waiting.
void AddDroppedFiles(QDropEvent* event, QObject* context, std::function<void(const QStringList&)> add);

// A dialog that moves by a left-button drag on its empty area.
template <class Dialog>
class MovableDialog : public Dialog {
  protected:
    using Dialog::Dialog;

    void mousePressEvent(QMouseEvent* event) override {
        if (!m_mover.Press(this, event)) Dialog::mousePressEvent(event);
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        m_mover.Move(this, event);
        Dialog::mouseMoveEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        m_mover.Release();
        Dialog::mouseReleaseEvent(event);
    }

  private:
    WindowMover m_mover;
};

}  // namespace common
