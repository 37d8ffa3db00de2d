#pragma once
// The player behind auvella.h: one file decoded with FFmpeg, converted to signed 16-bit interleaved
// samples at the file's own rate (mono or stereo) and handed to an SDL2 audio device on SDL's audio
// thread. Public functions run on the application's thread; AudioCallback on SDL's.
//
// Locking: m_mutex guards the decoder and the position; the audio callback takes it inside SDL's
// device lock. So no SDL device call (pause, close) is ever made while m_mutex is held.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include "auvella/auvella.h"

namespace auvella {

struct InputCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecFreer {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFreer {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwrFreer {
    void operator()(SwrContext* c) const { swr_free(&c); }
};

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

    HandInfo LastHand();
    // Call while the device is paused or closed, so that no callback runs meanwhile.
    void ResetCallbackStats();
    CallbackStats CallbackStatsNow();
    int DeviceBufferFrames();  // frames in one buffer of the open device

  private:
    enum class State { kClosed, kStopped, kPlaying, kPaused, kEnded };

    static void AudioCallback(void* self, uint8_t* stream, int len);
    void CountCallback(Clock::duration spent, int64_t frames_handed);
    void Fill(int16_t* out, int frames);

    // All below run with m_mutex held.
    void CloseDecoderLocked();
    bool DecodeMoreLocked();  // false at the end of the stream (or a read error)
    bool ConvertFrameLocked(const AVFrame* frame);
    int SeekLocked(int64_t target_frame);
    void PrimeLocked(int64_t frames);
    int64_t PositionFramesLocked() const;
    void ResetHandLocked(int64_t frame);
    void DropEventLocked() { m_event_pending = false; }

    std::mutex m_mutex;
    std::condition_variable m_event_cv;

    // Set by Initialize.
    Auvella_FinishedCallback m_on_finished = nullptr;
    std::thread::id m_init_thread;
    Auvella_NotifyFunction m_notify = nullptr;
    void* m_notify_context = nullptr;
    bool m_event_pending = false;

    std::string m_path;
    int32_t m_volume = 65535;

    // The open file.
    State m_state = State::kClosed;
    uint32_t m_device = 0;     // SDL_AudioDeviceID, 0 when none
    bool m_sdl_audio = false;  // this player holds a reference on SDL's audio subsystem
    std::unique_ptr<AVFormatContext, InputCloser> m_format;
    std::unique_ptr<AVCodecContext, CodecFreer> m_decoder;
    std::unique_ptr<SwrContext, SwrFreer> m_swr;
    std::unique_ptr<AVFrame, FrameFreer> m_frame;
    std::unique_ptr<AVPacket, PacketFreer> m_packet;
    int m_stream = -1;
    int64_t m_stream_start = 0;  // in the stream's time base
    AVRational m_time_base{1, 1};
    // The input m_swr was made for, to rebuild it when the stream's format changes.
    int m_swr_in_rate = 0;
    int m_swr_in_format = -1;
    AVChannelLayout m_swr_in_layout{};
    int m_rate = 0;           // the device's sample rate
    int m_channels = 0;       // and channels (1 or 2)
    int m_device_frames = 0;  // frames in one device buffer
    double m_duration_s = 0;
    bool m_decoder_drained = false;  // the decoder gave its last frame

    // Decoded samples not yet handed; m_buffer_start is the position of m_buffer[m_buffer_read].
    std::vector<int16_t> m_buffer;
    size_t m_buffer_read = 0;  // in samples (frames x channels)
    int64_t m_buffer_start = 0;
    int64_t m_next_frame = 0;         // position of the next converted sample
    bool m_next_frame_known = false;  // false after a seek until a decoded frame carries a time
    int64_t m_discard_until = 0;      // samples before this position are dropped (after a seek)

    // Hand-over to the device: positions in sample frames of the file (0 = its start).
    int64_t m_segment_start = 0;  // where the current stretch of playing began (open, seek)
    HandInfo m_last_hand;
    int m_silent_callbacks = 0;  // callbacks with nothing left to hand after the end
    bool m_rewind = false;       // Stop or the end happened: Start plays from the beginning

    // Written by the audio callback only (after it released every lock), read by benchmarks.
    std::atomic<int64_t> m_stat_callbacks{0};
    std::atomic<int64_t> m_stat_over_1ms{0};
    std::atomic<int64_t> m_stat_longest_ns{0};
    std::atomic<int64_t> m_stat_frames{0};
};

// The process-wide player behind the C functions.
Player& ThePlayer();

}  // namespace auvella
