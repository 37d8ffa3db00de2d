#pragma once
// The player behind auvella.h: one file decoded ahead on the player's own decoding thread into a
// bounded queue (about 200 ms) and handed to an SDL2 audio device by SDL's audio thread, whose
// callback only copies from the queue. Public functions run on the application's thread.
//
// Threads and locking. The Decoder belongs to the decoding thread from Open until Close joins it;
// the application's thread asks it to seek through m_seek_pending. m_mutex guards everything else
// the three threads share, and every holder keeps it only for a copy or a few assignments: nobody
// reads the file or decodes with it held, so the callback never waits long for it. The callback runs
// inside SDL's device lock, so no SDL device call (pause, close) is made while m_mutex is held.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "auvella/auvella.h"
#include "auvella/decoder.h"
#include "auvella/sample_queue.h"

namespace auvella {

using Clock = std::chrono::steady_clock;

// When the audio callback last handed decoded samples to the device, and which (for benchmarks).
struct HandInfo {
    Clock::time_point at{};
    int64_t first_frame = 0;  // position of the first sample handed, in sample frames
    int64_t frames = 0;
};

// What the audio callback has done since ResetCallbackStats (for benchmarks).
struct CallbackStats {
    int64_t callbacks = 0;
    int64_t over_1ms = 0;       // callbacks that took longer than a millisecond
    Clock::duration longest{};  // the longest time spent in one callback, lock waits included
    int64_t frames_handed = 0;  // decoded sample frames handed to the device
};

class Player {
  public:
    Player() = default;
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    void Initialize(Auvella_FinishedCallback on_finished, Auvella_StatusCallback on_status);
    void SetFileName(std::string path);
    int Open();
    void MediaType(int32_t* sample_rate, int32_t* channels);
    int Start();
    int Pause();
    int Stop();
    int Close();
    double Duration();
    double Position();
    int Seek(double seconds);
    int SetFraction(float fraction);
    void SetVolume(int32_t level);
    int32_t Volume();
    void SetNotify(Auvella_NotifyFunction notify, void* context);
    int Dispatch(int timeout_ms);

    // Why the last Open or seek failed (the step and FFmpeg's code); empty after a success.
    media::Failure LastFailure();

    HandInfo LastHand();
    // Call while the device is paused or closed, so that no callback runs meanwhile.
    void ResetCallbackStats();
    CallbackStats CallbackStatsNow();
    int DeviceBufferFrames();  // frames in one buffer of the open device

  private:
    enum class State { kClosed, kStopped, kPlaying, kPaused, kEnded };

    static void AudioCallback(void* self, uint8_t* stream, int len);
    void CountCallback(Clock::duration spent, int64_t frames_handed);
    void DecodeLoop();  // the decoding thread

    // All below run with m_mutex held.
    void RequestSeekLocked(int64_t target_frame);
    // Waits (releasing the lock meanwhile) until the decoding thread has sought and queued one device
    // buffer from there, or found the end. False when the seek failed.
    bool WaitForSeekLocked(std::unique_lock<std::mutex>& lock);
    bool PrimedLocked() const;
    int64_t PositionFramesLocked() const;
    void ResetHandLocked(int64_t frame) { m_last_hand = {Clock::now(), frame, 0}; }
    void DropEventLocked() { m_event_pending = false; }
    void ResetLocked();

    std::mutex m_mutex;
    std::condition_variable m_event_cv;   // an end-of-playback event was queued
    std::condition_variable m_decode_cv;  // for the decoding thread: room in the queue, a seek, quit
    std::condition_variable m_queued_cv;  // for the application's thread: a seek done, samples queued

    // Set by Initialize.
    Auvella_FinishedCallback m_on_finished = nullptr;
    std::thread::id m_init_thread;
    Auvella_NotifyFunction m_notify = nullptr;
    void* m_notify_context = nullptr;
    bool m_event_pending = false;

    std::string m_path;
    int32_t m_volume = 65535;
    media::Failure m_failure;

    // The open file.
    State m_state = State::kClosed;
    uint32_t m_device = 0;     // SDL_AudioDeviceID, 0 when none
    bool m_sdl_audio = false;  // this player holds a reference on SDL's audio subsystem
    std::unique_ptr<Decoder> m_decoder;
    std::thread m_decode_thread;
    int m_rate = 0;               // the device's sample rate
    int m_channels = 0;           // and channels (1 or 2)
    int m_device_frames = 0;      // frames in one device buffer
    int64_t m_refill_frames = 0;  // the decoding thread waits until this much of the queue is free
    double m_duration_s = 0;

    // Between the decoding thread and the others. A seek empties the queue and raises m_generation,
    // so samples decoded from before it are never queued.
    SampleQueue m_queue;
    uint64_t m_generation = 0;
    bool m_seek_pending = false;
    int64_t m_seek_target = 0;
    uint64_t m_seek_done = 0;  // the generation whose seek the decoding thread has made
    bool m_seek_failed = false;
    int64_t m_generation_frames = 0;  // frames queued since the last seek (or Open)
    bool m_decoder_drained = false;   // everything up to the end of the file is queued
    bool m_quit = false;

    // Hand-over to the device: positions in sample frames of the file (0 = its start).
    int64_t m_segment_start = 0;  // where the current stretch of playing began (open, seek)
    HandInfo m_last_hand;
    int m_silent_callbacks = 0;  // callbacks with nothing left to hand after the end
    bool m_rewind = false;       // Stop or the end happened: Start plays from the beginning

    // Written by the audio callback only (after it released the lock), read by benchmarks.
    std::atomic<int64_t> m_stat_callbacks{0};
    std::atomic<int64_t> m_stat_over_1ms{0};
    std::atomic<int64_t> m_stat_longest_ns{0};
    std::atomic<int64_t> m_stat_frames{0};
};

// The process-wide player behind the C functions.
Player& ThePlayer();

}  // namespace auvella
