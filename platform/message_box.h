#pragma once
// Message boxes with an OK button only, and the message beep. UI thread only.
// Tests install a handler (in platform::desktopHooks) so that no modal box blocks them;
// ScopedMessageRecorder does it for a scope.

#include <QString>
#include <functional>
#include <vector>

class QWidget;

namespace platform {

enum class MessageIcon { None, Information, Warning, Critical, Question };

// Shows text in a modal QMessageBox with one OK button and returns when it is closed. An empty
// title shows the application's display name. With a handler installed, calls the handler with the
// text and the title as given instead, and shows nothing.
void MessageBoxOk(QWidget* parent, const QString& text, const QString& title = {},
                  MessageIcon icon = MessageIcon::None);

// Replaces the modal box; an empty function restores it. The second form also gets the icon; setting
// either replaces the other.
void SetMessageBoxHandler(std::function<void(const QString& text, const QString& title)> handler);
void SetMessageBoxIconHandler(
    std::function<void(const QString& text, const QString& title, MessageIcon icon)> handler);

// The alert sound for an icon (MessageBeep); with a handler installed, calls it instead.
void MessageBeep(MessageIcon icon = MessageIcon::None);
void SetBeepHandler(std::function<void(MessageIcon icon)> handler);

// Records every message box and beep while it lives, then restores the real ones. One at a time.
class ScopedMessageRecorder {
  public:
    struct Message {
        QString text;
        QString title;
        MessageIcon icon = MessageIcon::None;
    };

    ScopedMessageRecorder();
    ~ScopedMessageRecorder();
    ScopedMessageRecorder(const ScopedMessageRecorder&) = delete;
    ScopedMessageRecorder& operator=(const ScopedMessageRecorder&) = delete;

    const std::vector<Message>& messages() const { return m_messages; }
    const std::vector<MessageIcon>& beeps() const { return m_beeps; }
    // The text of the last message, or an empty text when none was shown.
    QString lastText() const { return m_messages.empty() ? QString() : m_messages.back().text; }
    void clear();

  private:
    std::vector<Message> m_messages;
    std::vector<MessageIcon> m_beeps;
};

}  // namespace platform
