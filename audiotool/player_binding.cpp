#include "audiotool/player_binding.h"

#include <QCoreApplication>

#include "auvella/auvella.h"

namespace melisk {

namespace {

std::function<void()>& FinishedHandler() {
    static std::function<void()> handler;
    return handler;
}

int PlaybackFinished() {
    if (FinishedHandler()) FinishedHandler()();
    return 1;
}

void IgnoreStatus(int32_t) {}

// Runs on the library's audio thread: only queues the dispatch onto the application's thread. The
// application object outlives every window, so the queued call always has a receiver.
void QueueDispatch(void*) {
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            app, [] { Auvella_Dispatch(0); }, Qt::QueuedConnection);
}

}  // namespace

void BindPlayer(std::function<void()> on_finished) {
    FinishedHandler() = std::move(on_finished);
    Auvella_Initialize(&PlaybackFinished, &IgnoreStatus, AUVELLA_INIT_TEXT);
    Auvella_SetNotify(&QueueDispatch, nullptr);
}

void UnbindPlayer() {
    Auvella_Close();
    FinishedHandler() = nullptr;
}

}  // namespace melisk
