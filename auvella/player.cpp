#include "auvella/player.h"

#define SDL_MAIN_HANDLED
#include <SDL2/SDL.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavutil/error.h>
}

namespace auvella {

namespace {

// A device buffer of about 10 ms (a power of two): a short wait from Start or a seek to the first
// new sample.
int DeviceFrames(int rate) {
    int frames = 64;
    while (frames < rate / 100) frames *= 2;
    return frames;
}

// The queue holds about 200 ms: enough to ride out a slow read, short enough that a seek's flush
// throws little away. The decoding thread refills it once a quarter of it is free.
constexpr int kQueueDivisor = 5;
constexpr int kRefillDivisor = 4;

}  // namespace

Player& ThePlayer() {
    static Player player;
    return player;
}

Player::~Player() { Close(); }

void Player::Initialize(Auvella_FinishedCallback on_finished, Auvella_StatusCallback) {
    std::lock_guard lock(m_mutex);
    m_on_finished = on_finished;
    m_init_thread = std::this_thread::get_id();
}

void Player::SetFileName(std::string path) {
    std::lock_guard lock(m_mutex);
    m_path = std::move(path);
}

int Player::Open() {
    Close();
    std::string path;
    {
        std::lock_guard lock(m_mutex);
        path = m_path;
    }
    // Opening reads the file, so it happens with no lock held; the decoder is nobody else's yet.
    auto decoder = std::make_unique<Decoder>();
    media::Failure failure = decoder->Open(path);
    if (failure.failed()) {
        std::lock_guard lock(m_mutex);
        m_failure = failure;
        return -1;
    }

    // SDL's own lock is taken before ours, so the device is opened with ours released.
    const int rate = decoder->rate();
    const int channels = decoder->channels();
    uint32_t device = 0;
    int device_frames = DeviceFrames(rate);
    bool sdl_audio = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    if (sdl_audio) {
        SDL_AudioSpec want{}, have{};
        want.freq = rate;
        want.format = AUDIO_S16SYS;
        want.channels = static_cast<Uint8>(channels);
        want.samples = static_cast<Uint16>(device_frames);
        want.callback = &Player::AudioCallback;
        want.userdata = this;
        device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);  // opened paused
        if (device) device_frames = have.samples;
    }
    if (!device) {
        std::string step =
            std::string("no audio output device could be opened (SDL: ") + SDL_GetError() + ")";
        if (sdl_audio) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        std::lock_guard lock(m_mutex);
        m_failure = {std::move(step), AVERROR(ENODEV)};
        return -1;
    }

    std::unique_lock lock(m_mutex);
    m_duration_s = decoder->duration_s();
    m_decoder = std::move(decoder);
    m_rate = rate;
    m_channels = channels;
    m_device = device;
    m_device_frames = device_frames;
    m_sdl_audio = true;
    m_queue.Reset(std::max(rate / kQueueDivisor, 2 * device_frames), channels);
    m_refill_frames = std::max<int64_t>(m_queue.capacity_frames() / kRefillDivisor, 1);
    m_seek_done = m_generation;
    m_seek_pending = false;
    m_seek_failed = false;
    m_generation_frames = 0;
    m_decoder_drained = false;
    m_quit = false;
    m_failure = {};
    m_decode_thread = std::thread(&Player::DecodeLoop, this);
    WaitForSeekLocked(lock);
    m_state = State::kStopped;
    m_rewind = false;
    m_segment_start = m_queue.front_frame();
    ResetHandLocked(m_segment_start);
    return 0;
}

void Player::MediaType(int32_t* sample_rate, int32_t* channels) {
    std::lock_guard lock(m_mutex);
    bool open = m_state != State::kClosed;
    if (sample_rate) *sample_rate = open ? m_rate : 0;
    if (channels) *channels = open ? m_channels : 0;
}

int Player::Start() {
    uint32_t device = 0;
    {
        std::unique_lock lock(m_mutex);
        if (m_state == State::kClosed) return -1;
        if (m_state == State::kPlaying) return 0;
        if (m_rewind) {
            RequestSeekLocked(0);
            if (!WaitForSeekLocked(lock)) return -1;
        }
        m_state = State::kPlaying;
        m_segment_start = m_queue.front_frame();
        ResetHandLocked(m_segment_start);
        device = m_device;
    }
    SDL_PauseAudioDevice(device, 0);
    return 0;
}

int Player::Pause() {
    uint32_t device = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_state == State::kClosed) return -1;
        device = m_device;
    }
    // Once this returns the callback does not run again until Start.
    SDL_PauseAudioDevice(device, 1);
    std::lock_guard lock(m_mutex);
    if (m_state == State::kPlaying) m_state = State::kPaused;
    return 0;
}

int Player::Stop() {
    uint32_t device = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_state == State::kClosed) return 0;
        device = m_device;
    }
    SDL_PauseAudioDevice(device, 1);
    std::lock_guard lock(m_mutex);
    DropEventLocked();
    if (m_state == State::kClosed) return 0;
    m_state = State::kStopped;
    m_rewind = true;
    return 0;
}

int Player::Close() {
    uint32_t device = 0;
    bool sdl_audio = false;
    {
        std::lock_guard lock(m_mutex);
        device = m_device;
        sdl_audio = m_sdl_audio;
        m_device = 0;
        m_sdl_audio = false;
        m_quit = true;
    }
    m_decode_cv.notify_all();
    // Closing waits for the audio thread, which may be waiting for m_mutex.
    if (device) SDL_CloseAudioDevice(device);
    // The subsystem is released with the file, so the next Open sees the audio set-up of its time.
    if (sdl_audio) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    if (m_decode_thread.joinable()) m_decode_thread.join();
    std::unique_ptr<Decoder> decoder;
    {
        std::lock_guard lock(m_mutex);
        decoder = std::move(m_decoder);  // closed below, with the lock released
        ResetLocked();
        DropEventLocked();
    }
    return 0;
}

double Player::Duration() {
    std::lock_guard lock(m_mutex);
    return m_state == State::kClosed ? 0 : m_duration_s;
}

double Player::Position() {
    std::lock_guard lock(m_mutex);
    if (m_state == State::kClosed || m_rate <= 0) return 0;
    return static_cast<double>(std::max<int64_t>(PositionFramesLocked(), 0)) / m_rate;
}

int Player::Seek(double seconds) {
    std::unique_lock lock(m_mutex);
    if (m_state == State::kClosed || m_rate <= 0 || !std::isfinite(seconds)) return -1;
    if (m_duration_s > 0) seconds = std::min(seconds, m_duration_s);
    seconds = std::max(seconds, 0.0);
    RequestSeekLocked(std::llround(seconds * m_rate));
    if (!WaitForSeekLocked(lock)) return -1;
    if (m_state == State::kEnded) m_state = State::kPaused;
    return 0;
}

int Player::SetFraction(float fraction) {
    double duration = Duration();
    if (!std::isfinite(fraction)) return -1;
    return Seek(std::clamp(static_cast<double>(fraction), 0.0, 1.0) * duration);
}

void Player::SetVolume(int32_t level) {
    std::lock_guard lock(m_mutex);
    m_volume = std::clamp<int32_t>(level, 0, 65535);
}

int32_t Player::Volume() {
    std::lock_guard lock(m_mutex);
    return m_volume;
}

void Player::SetNotify(Auvella_NotifyFunction notify, void* context) {
    bool pending = false;
    {
        std::lock_guard lock(m_mutex);
        m_notify = notify;
        m_notify_context = context;
        pending = m_event_pending;
    }
    if (notify && pending) notify(context);
}

int Player::Dispatch(int timeout_ms) {
    Auvella_FinishedCallback callback = nullptr;
    {
        std::unique_lock lock(m_mutex);
        if (std::this_thread::get_id() != m_init_thread) return -1;
        if (timeout_ms > 0)
            m_event_cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return m_event_pending; });
        if (!m_event_pending) return 0;
        m_event_pending = false;
        callback = m_on_finished;
    }
    if (callback) callback();
    return 1;
}

media::Failure Player::LastFailure() {
    std::lock_guard lock(m_mutex);
    return m_failure;
}

HandInfo Player::LastHand() {
    std::lock_guard lock(m_mutex);
    return m_last_hand;
}

void Player::ResetCallbackStats() {
    m_stat_callbacks = 0;
    m_stat_over_1ms = 0;
    m_stat_longest_ns = 0;
    m_stat_frames = 0;
}

CallbackStats Player::CallbackStatsNow() {
    return {m_stat_callbacks.load(), m_stat_over_1ms.load(),
            std::chrono::nanoseconds(m_stat_longest_ns.load()), m_stat_frames.load()};
}

int Player::DeviceBufferFrames() {
    std::lock_guard lock(m_mutex);
    return m_state == State::kClosed ? 0 : m_device_frames;
}

// ---- the audio thread ----

// Copies from the queue while playing, silence otherwise; never decodes or reads. The end of the file
// counts as reached when two callbacks in a row found the queue empty after the decoding thread had
// queued the last samples, so those have left the device's queue by the time the event is raised.
void Player::AudioCallback(void* self, uint8_t* stream, int len) {
    auto* player = static_cast<Player*>(self);
    const Clock::time_point entered = Clock::now();
    auto* out = reinterpret_cast<int16_t*>(stream);
    int64_t handed = 0;
    int channels = 1;
    int32_t volume = 65535;
    bool wake_decoder = false;
    bool ended = false;
    Auvella_NotifyFunction notify = nullptr;
    void* context = nullptr;
    {
        std::lock_guard lock(player->m_mutex);
        channels = std::max(player->m_channels, 1);
        volume = player->m_volume;
        if (player->m_state == State::kPlaying) {
            handed = player->m_queue.Pop(out, len / (2 * channels));
            if (handed > 0) {
                player->m_last_hand = {entered, player->m_queue.front_frame() - handed, handed};
                player->m_silent_callbacks = 0;
            } else if (player->m_decoder_drained && ++player->m_silent_callbacks >= 2) {
                player->m_state = State::kEnded;
                player->m_rewind = true;
                ended = !player->m_event_pending;
                player->m_event_pending = true;
                notify = player->m_notify;
                context = player->m_notify_context;
            }
            wake_decoder =
                !player->m_decoder_drained && player->m_queue.free_frames() >= player->m_refill_frames;
        }
    }
    const size_t handed_samples = static_cast<size_t>(handed) * channels;
    std::memset(out + handed_samples, 0, static_cast<size_t>(len) - handed_samples * sizeof(int16_t));
    if (volume < 65535)
        for (size_t i = 0; i < handed_samples; ++i) out[i] = static_cast<int16_t>(out[i] * volume / 65535);
    if (wake_decoder) player->m_decode_cv.notify_one();
    if (ended) {
        player->m_event_cv.notify_all();
        if (notify) notify(context);
    }
    player->CountCallback(Clock::now() - entered, handed);
}

void Player::CountCallback(Clock::duration spent, int64_t frames_handed) {
    int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(spent).count();
    m_stat_callbacks.fetch_add(1, std::memory_order_relaxed);
    if (ns > 1'000'000) m_stat_over_1ms.fetch_add(1, std::memory_order_relaxed);
    if (ns > m_stat_longest_ns.load(std::memory_order_relaxed))
        m_stat_longest_ns.store(ns, std::memory_order_relaxed);
    m_stat_frames.fetch_add(frames_handed, std::memory_order_relaxed);
}

// ---- the decoding thread ----

// Decodes ahead until the queue is full, then waits for the callback to make room. Decoding and
// seeking run with the lock released; queuing a chunk is one copy with it held. A chunk that does not
// fit at once is queued in parts as room appears.
void Player::DecodeLoop() {
    // SDL raises its audio thread's priority; this thread must keep up with it, or the device runs
    // dry on a busy machine. Without the right to raise it, it stays as it is.
    SDL_SetThreadPriority(SDL_THREAD_PRIORITY_HIGH);
    std::unique_lock lock(m_mutex);
    Decoder* decoder = m_decoder.get();
    Chunk chunk;
    int64_t queued = 0;  // frames of chunk already queued
    bool have_chunk = false;
    for (;;) {
        m_decode_cv.wait(lock, [&] {
            return m_quit || m_seek_pending ||
                   (!m_decoder_drained && m_queue.free_frames() >= m_refill_frames);
        });
        if (m_quit) return;
        if (m_seek_pending) {
            m_seek_pending = false;
            have_chunk = false;
            const uint64_t generation = m_generation;
            const int64_t target = m_seek_target;
            lock.unlock();
            media::Failure failure = decoder->Seek(target);
            lock.lock();
            if (generation == m_generation) {
                m_seek_done = generation;
                m_seek_failed = failure.failed();
                if (failure.failed()) {
                    m_failure = failure;
                    m_decoder_drained = true;
                }
                m_queued_cv.notify_all();
            }
            continue;
        }
        if (!have_chunk) {
            const uint64_t generation = m_generation;
            lock.unlock();
            bool got = decoder->Next(&chunk);
            lock.lock();
            if (generation != m_generation) continue;  // decoded from before a seek: the seek is next
            if (!got) {
                m_decoder_drained = true;
                m_queued_cv.notify_all();
                continue;
            }
            have_chunk = true;
            queued = 0;
        }
        const int64_t frames = static_cast<int64_t>(chunk.samples.size()) / m_channels;
        const bool was_primed = PrimedLocked();
        const int64_t count = m_queue.Push(chunk.samples.data() + queued * m_channels, frames - queued,
                                           chunk.first_frame + queued);
        queued += count;
        m_generation_frames += count;
        if (queued >= frames) have_chunk = false;
        if (!was_primed && PrimedLocked()) m_queued_cv.notify_all();
    }
}

// ---- with m_mutex held ----

// Empties the queue at once, so the callback plays nothing from before the target, and leaves the
// decoder's seek to the decoding thread.
void Player::RequestSeekLocked(int64_t target_frame) {
    ++m_generation;
    m_failure = {};
    m_seek_pending = true;
    m_seek_target = target_frame;
    m_seek_failed = false;
    m_generation_frames = 0;
    m_queue.Clear(target_frame);
    m_decoder_drained = false;
    m_silent_callbacks = 0;
    m_rewind = false;
    m_segment_start = target_frame;
    ResetHandLocked(target_frame);
    DropEventLocked();
    m_decode_cv.notify_one();
}

bool Player::WaitForSeekLocked(std::unique_lock<std::mutex>& lock) {
    m_queued_cv.wait(lock, [&] { return PrimedLocked(); });
    return !m_seek_failed;
}

bool Player::PrimedLocked() const {
    return m_seek_done == m_generation &&
           (m_seek_failed || m_decoder_drained || m_generation_frames >= m_device_frames);
}

void Player::ResetLocked() {
    m_state = State::kClosed;
    m_rate = 0;
    m_channels = 0;
    m_device_frames = 0;
    m_duration_s = 0;
    m_queue.Reset(0, 1);
    m_seek_pending = false;
    m_decoder_drained = false;
    m_segment_start = 0;
    m_last_hand = {};
    m_silent_callbacks = 0;
    m_rewind = false;
}

// The position now sounding. While playing: the samples handed so far, less the device buffer still
// queued, advanced by the time since the last hand-over but never past what was handed. Otherwise
// the next sample to hand, where Start resumes.
int64_t Player::PositionFramesLocked() const {
    if (m_state == State::kStopped && m_rewind) return 0;
    if (m_state != State::kPlaying) return m_queue.front_frame();
    if (m_last_hand.frames == 0) return m_segment_start;
    double elapsed_s = std::chrono::duration<double>(Clock::now() - m_last_hand.at).count();
    int64_t played = std::min<int64_t>(std::llround(elapsed_s * m_rate), m_last_hand.frames);
    return std::max(m_last_hand.first_frame + played - m_device_frames, m_segment_start);
}

}  // namespace auvella
