#pragma once
// The player library's set-up for a Qt program: its end-of-playback callback is delivered on the UI
// thread, through the Qt event loop, to the one window that plays. The library is process-wide, so
// is this binding. UI thread only.

#include <functional>

namespace melisk {

// Initialises the player library on the calling thread; on_finished runs on it, from the event loop,
// each time a file has played to its end. A second call replaces on_finished.
void BindPlayer(std::function<void()> on_finished);

// Closes the player and forgets on_finished; a pending end of playback is dropped.
void UnbindPlayer();

}  // namespace melisk
