#include "platform/message_box.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>

#include "platform/desktop_hooks.h"

namespace platform {

namespace {

auto& BoxHandler() { return desktopHooks.message_box; }
auto& BeepHandler() { return desktopHooks.beep; }

QMessageBox::Icon ToQt(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Critical:
            return QMessageBox::Critical;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void MessageBoxOk(QWidget* parent, const QString& text, const QString& title, MessageIcon icon) {
    if (BoxHandler()) {
        BoxHandler()(text, title, icon);
        return;
    }
    const QString caption = title.isEmpty() ? QGuiApplication::applicationDisplayName() : title;
    QMessageBox box(ToQt(icon), caption, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);  // texts come from files and file names, never markup
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
}

void SetMessageBoxHandler(std::function<void(const QString& text, const QString& title)> handler) {
    if (!handler) {
        BoxHandler() = nullptr;
        return;
    }
    BoxHandler() = [handler = std::move(handler)](const QString& text, const QString& title, MessageIcon) {
        handler(text, title);
    };
}

void SetMessageBoxIconHandler(
    std::function<void(const QString& text, const QString& title, MessageIcon icon)> handler) {
    BoxHandler() = std::move(handler);
}

void MessageBeep(MessageIcon icon) {
    if (BeepHandler()) {
        BeepHandler()(icon);
        return;
    }
    QApplication::beep();
}

void SetBeepHandler(std::function<void(MessageIcon icon)> handler) { BeepHandler() = std::move(handler); }

ScopedMessageRecorder::ScopedMessageRecorder() {
    SetMessageBoxIconHandler([this](const QString& text, const QString& title, MessageIcon icon) {
        m_messages.push_back({text, title, icon});
    });
    SetBeepHandler([this](MessageIcon icon) { m_beeps.push_back(icon); });
}

ScopedMessageRecorder::~ScopedMessageRecorder() {
    SetMessageBoxHandler({});
    SetBeepHandler({});
}

void ScopedMessageRecorder::clear() {
    m_messages.clear();
    m_beeps.clear();
}

}  // namespace platform
