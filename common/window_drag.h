#pragma once
// What the tools' windows share for mouse drags: moving a frameless window by its empty client
// area, and taking the local files dropped on a window. UI thread only.

#include <QPoint>
#include <QStringList>
#include <functional>

#include "platform/window_mover.h"

class QDropEvent;
class QObject;
class QWidget;

namespace common {

using WindowMover = platform::WindowMover;

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
