#pragma once
/*
 * Auvella: the audio tool's player library. One player per process, one file at a time, decoded with
 * FFmpeg and played on the default SDL2 audio device (SDL picks PipeWire, PulseAudio or ALSA;
 * SDL_AUDIODRIVER and SDL's other variables choose otherwise).
 *
 * Paths are UTF-8 text (in place of wide text). Times are seconds as doubles;
 * fractions are of the file's duration. Every function may be called in any state, in any order,
 * any number of times: one that cannot act returns -1 or leaves its outputs at 0, never crashes.
 *
 * Threads. Call every function from the thread that called Auvella_Initialize (the "initializing
 * thread", the application's UI thread). The library decodes on a thread of its own, about 200 ms
 * ahead of the device; SDL's audio thread only copies those samples to the device. Positions are
 * taken from the samples handed to the device, less the one device buffer still to play.
 *
 * End of playback. When the file has played to its end, the library does not call the
 * end-of-playback callback from the audio thread. It queues the event and
 *   1. calls the notify function, if one is registered (Auvella_SetNotify), on the audio thread;
 *   2. runs the callback when the initializing thread calls Auvella_Dispatch.
 * A Qt application registers a notify function that posts a queued call of Auvella_Dispatch(0) to
 * its UI thread's object (QMetaObject::invokeMethod(obj, [] { Auvella_Dispatch(0); },
 * Qt::QueuedConnection)); a console program calls Auvella_Dispatch(ms) in its wait loop instead.
 * The event belongs to the file that raised it: Stop, Close, a seek or another Open before the
 * dispatch drop it, so a stale end never stops a file the user has just started again.
 */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Runs on the initializing thread, inside Auvella_Dispatch; its result is ignored. It may call any
 * Auvella function (typically Stop and Close). */
typedef int (*Auvella_FinishedCallback)(void);
/* Accepted and kept for the application's sake; the library never calls it. */
typedef void (*Auvella_StatusCallback)(int32_t value);
/* Runs on the library's audio thread with no library lock held, at most once per queued event. It
 * must only arrange for Auvella_Dispatch to run on the initializing thread and return at once: it
 * must not block and must not call any Auvella function. */
typedef void (*Auvella_NotifyFunction)(void* context);

/* The text applications pass to Auvella_Initialize. */
#define AUVELLA_INIT_TEXT "Auvella player"

/* Once, at start-up: keeps the callbacks (either may be null) and makes the calling thread the
 * initializing thread. The text is not checked. Calling it again replaces the callbacks and the
 * thread. Returns 0. */
int Auvella_Initialize(Auvella_FinishedCallback on_finished, Auvella_StatusCallback on_status,
                       const char* text);

/* The file the next Auvella_Open opens (UTF-8; copied, so the buffer may change afterwards). A null
 * or empty path makes the next Open fail. Returns 0. */
int Auvella_SetFileName(const char* utf8_path);

/* Closes any open file, then opens the file named last, its decoder and the audio device (paused).
 * Returns -1 when the file has no decodable audio or no device can be opened, else 0: the file is
 * open and stopped at its start. */
int Auvella_Open(void);

/* After a successful Open: *sample_rate and *channels of the device's format (the samples an SDL
 * disk-driver file holds are signed 16-bit native-endian, interleaved). Both 0 when nothing is open.
 * Either pointer may be null. */
void Auvella_GetMideaType(int32_t* sample_rate, int32_t* channels);

/* Starts or resumes playing at the current position. At the end of the file it plays again from the
 * start. Returns -1 when nothing is open, else 0. */
int Auvella_Start(void);

/* Halts playing and keeps the position; Start resumes at the next sample. Returns -1 when nothing is
 * open, else 0. */
int Auvella_Pause(void);

/* Ends playing: the device goes silent and the position returns to the start; the file stays open.
 * Harmless when nothing is open or nothing plays. Returns 0. */
int Auvella_Stop(void);

/* Stops, closes the audio device and releases the file. Harmless when repeated. Returns 0. */
int Auvella_Close(void);

/* *seconds = the open file's duration, 0 when nothing is open. */
void Auvella_GetDuration(double* seconds);

/* *seconds = the position now sounding, 0 when nothing is open. */
void Auvella_GetCurrentPosition(double* seconds);

/* *fraction = the position now sounding as a fraction 0.0 to 1.0 of the duration, 0 when nothing is
 * open or the duration is unknown. */
void Auvella_GetPos(float* fraction);

/* Moves the position to fraction x duration (clamped to 0..1); playing goes on there if it was
 * playing. Returns -1 when nothing is open or the file cannot seek there (what was queued is dropped
 * either way, so after a failed seek playing ends as at the end of the file), else 0. */
int Auvella_SetPos(float fraction);

/* Moves the position to the given second (clamped to the file); as Auvella_SetPos otherwise. */
int Auvella_SetCurrentPosition(double seconds);

/* Output level 0 (mute) to 65535 (full, the start-up value); values outside are clamped. Kept across
 * files. Returns 0. */
int Auvella_SetVolume(int32_t level);

/* *level = the output level set last. */
void Auvella_GetVolume(int32_t* level);

/* Not one of the player's operations: why the last Open or seek failed, as text ("could not
 * open the decoder: Invalid data found when processing input"), copied into text (size bytes with
 * the terminating zero; either may be 0). Returns FFmpeg's error code (negative), or 0 when nothing
 * failed or the failed step has no code; the text is empty after a success. The file's own problems
 * and the machine's are told apart by the code: AVERROR_STREAM_NOT_FOUND for a file without sound,
 * AVERROR(ENODEV) when no audio output device could be opened. */
int Auvella_GetLastError(char* text, int size);

/* Not one of the player's operations but the delivery hook described at the top: registers the
 * function called when an event is queued (null removes it). If an event is already waiting, notify
 * is called at once, on the calling thread. Returns 0. */
int Auvella_SetNotify(Auvella_NotifyFunction notify, void* context);

/* Runs the end-of-playback callback for a queued event, on the initializing thread. Waits up to
 * timeout_ms for one (0: only look). Returns 1 when the callback ran, 0 when nothing was queued, -1
 * when called on another thread (nothing runs). */
int Auvella_Dispatch(int timeout_ms);

#ifdef __cplusplus
}
#endif
