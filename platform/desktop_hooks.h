#pragma once
// The one seam where tests (and off-screen tools) stand in for the desktop's modal dialogs and the
// shell: message boxes, the beep, the file and folder choosers, shell open, the window manager's move. An
// empty member means the real thing. Set and read on the UI thread only; the Set*Handler functions and the
// Scoped* helpers of message_box.h and choosers.h write these members.

#include <QString>
#include <QStringList>
#include <functional>

class QWindow;

#include "platform/message_box.h"

namespace platform {

struct DesktopHooks {
    std::function<void(const QString& text, const QString& title, MessageIcon icon)> message_box;
    std::function<void(MessageIcon icon)> beep;
    std::function<QStringList(const QString& title, const QString& qt_filter, const QString& folder)>
        open_files;
    std::function<QString(const QString& title)> folder;
    std::function<int(const QString& target)> shell_open;
    // Asked instead of the window system to start moving a window; returns whether it did.
    std::function<bool(QWindow* window)> start_system_move;
};

inline DesktopHooks desktopHooks;

}  // namespace platform
