#include "auvella/player.h"

#define SDL_MAIN_HANDLED
#include <SDL2/SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace auvella {

namespace {

// A device buffer of about 10 ms (a power of two): a short wait from Start or a seek to the first
// new sample, and still several milliseconds for the audio thread to decode.
int DeviceFrames(int rate) {
    int frames = 64;
    while (frames < rate / 100) frames *= 2;
    return frames;
}

// Consecutive decoding errors after which a file counts as ended rather than damaged in one place.
constexpr int kMaxDecodeErrors = 100;

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
    std::unique_lock lock(m_mutex);
    if (m_path.empty()) return -1;

    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, m_path.c_str(), nullptr, nullptr) < 0) return -1;
    m_format.reset(format);
    const AVCodec* codec = nullptr;
    if (avformat_find_stream_info(format, nullptr) < 0 ||
        (m_stream = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0)) < 0 || !codec) {
        CloseDecoderLocked();
        return -1;
    }
    AVStream* stream = format->streams[m_stream];
    for (unsigned i = 0; i < format->nb_streams; ++i)
        if (static_cast<int>(i) != m_stream) format->streams[i]->discard = AVDISCARD_ALL;
    m_decoder.reset(avcodec_alloc_context3(codec));
    if (!m_decoder || avcodec_parameters_to_context(m_decoder.get(), stream->codecpar) < 0) {
        CloseDecoderLocked();
        return -1;
    }
    m_decoder->pkt_timebase = stream->time_base;
    if (avcodec_open2(m_decoder.get(), codec, nullptr) < 0) {
        CloseDecoderLocked();
        return -1;
    }
    m_time_base = stream->time_base;
    m_stream_start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    if (stream->duration > 0 && stream->duration != AV_NOPTS_VALUE)
        m_duration_s = stream->duration * av_q2d(stream->time_base);
    else if (format->duration > 0)
        m_duration_s = format->duration / static_cast<double>(AV_TIME_BASE);
    m_frame.reset(av_frame_alloc());
    m_packet.reset(av_packet_alloc());

    // The first decoded samples fix the device's format; a file that gives none cannot be played.
    PrimeLocked(1);
    if (m_rate <= 0 || m_buffer.size() <= m_buffer_read) {
        CloseDecoderLocked();
        return -1;
    }
    m_device_frames = DeviceFrames(m_rate);
    PrimeLocked(m_device_frames);
    lock.unlock();

    // The device is opened with the lock released: SDL's own lock is taken before ours.
    uint32_t device = 0;
    int device_frames = m_device_frames;
    bool sdl_audio = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    if (sdl_audio) {
        SDL_AudioSpec want{}, have{};
        want.freq = m_rate;
        want.format = AUDIO_S16SYS;
        want.channels = static_cast<Uint8>(m_channels);
        want.samples = static_cast<Uint16>(m_device_frames);
        want.callback = &Player::AudioCallback;
        want.userdata = this;
        device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);  // opened paused
        if (device) device_frames = have.samples;
    }
    lock.lock();
    if (!device) {
        CloseDecoderLocked();
        lock.unlock();
        if (sdl_audio) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return -1;
    }
    m_device = device;
    m_device_frames = device_frames;
    m_sdl_audio = true;
    m_state = State::kStopped;
    m_rewind = false;
    m_segment_start = m_buffer_start;
    ResetHandLocked(m_buffer_start);
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
        std::lock_guard lock(m_mutex);
        if (m_state == State::kClosed) return -1;
        if (m_state == State::kPlaying) return 0;
        if (m_rewind && SeekLocked(0) != 0) return -1;
        m_state = State::kPlaying;
        m_segment_start = m_buffer_start;
        ResetHandLocked(m_buffer_start);
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
    }
    // Closing waits for the audio thread, which may be waiting for m_mutex.
    if (device) SDL_CloseAudioDevice(device);
    // The subsystem is released with the file, so the next Open sees the audio set-up of its time.
    if (sdl_audio) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    std::lock_guard lock(m_mutex);
    CloseDecoderLocked();
    DropEventLocked();
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
    std::lock_guard lock(m_mutex);
    if (m_state == State::kClosed || m_rate <= 0 || !std::isfinite(seconds)) return -1;
    if (m_duration_s > 0) seconds = std::min(seconds, m_duration_s);
    seconds = std::max(seconds, 0.0);
    if (SeekLocked(std::llround(seconds * m_rate)) != 0) return -1;
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

void Player::AudioCallback(void* self, uint8_t* stream, int len) {
    auto* player = static_cast<Player*>(self);
    const Clock::time_point entered = Clock::now();
    Auvella_NotifyFunction notify = nullptr;
    void* context = nullptr;
    int64_t handed = 0;
    {
        std::lock_guard lock(player->m_mutex);
        bool was_pending = player->m_event_pending;
        int frame_bytes = 2 * std::max(player->m_channels, 1);
        player->Fill(reinterpret_cast<int16_t*>(stream), len / frame_bytes);
        std::memset(stream + len / frame_bytes * frame_bytes, 0, len % frame_bytes);
        if (player->m_last_hand.at >= entered) handed = player->m_last_hand.frames;
        if (!was_pending && player->m_event_pending) {
            player->m_event_cv.notify_all();
            notify = player->m_notify;
            context = player->m_notify_context;
        }
    }
    if (notify) notify(context);
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

// Hands `frames` sample frames to the device: decoded samples while playing, silence otherwise.
// The end of the file counts as reached when two callbacks in a row found nothing left, so the last
// samples have left the device's queue by the time the end-of-playback event is raised.
void Player::Fill(int16_t* out, int frames) {
    size_t wanted = static_cast<size_t>(frames) * m_channels;
    if (m_state != State::kPlaying || !m_format) {
        std::memset(out, 0, wanted * sizeof(int16_t));
        return;
    }
    while (m_buffer.size() - m_buffer_read < wanted && DecodeMoreLocked()) {
    }
    size_t samples = std::min(wanted, m_buffer.size() - m_buffer_read);
    const int16_t* in = m_buffer.data() + m_buffer_read;
    if (m_volume >= 65535) {
        std::memcpy(out, in, samples * sizeof(int16_t));
    } else {
        for (size_t i = 0; i < samples; ++i) out[i] = static_cast<int16_t>(in[i] * m_volume / 65535);
    }
    std::memset(out + samples, 0, (wanted - samples) * sizeof(int16_t));
    int64_t handed = static_cast<int64_t>(samples / m_channels);
    if (handed > 0) {
        m_last_hand = {Clock::now(), m_buffer_start, handed};
        m_buffer_start += handed;
        m_buffer_read += samples;
        m_silent_callbacks = 0;
    } else if (m_decoder_drained && ++m_silent_callbacks >= 2) {
        m_state = State::kEnded;
        m_rewind = true;
        m_event_pending = true;
    }
}

// ---- decoding, with m_mutex held ----

void Player::CloseDecoderLocked() {
    m_state = State::kClosed;
    m_swr.reset();
    m_decoder.reset();
    m_format.reset();
    m_frame.reset();
    m_packet.reset();
    av_channel_layout_uninit(&m_swr_in_layout);
    m_swr_in_rate = 0;
    m_swr_in_format = -1;
    m_stream = -1;
    m_rate = 0;
    m_channels = 0;
    m_duration_s = 0;
    m_decoder_drained = false;
    m_buffer.clear();
    m_buffer_read = 0;
    m_buffer_start = 0;
    m_next_frame = 0;
    m_next_frame_known = false;
    m_discard_until = 0;
    m_segment_start = 0;
    m_last_hand = {};
    m_silent_callbacks = 0;
    m_rewind = false;
}

bool Player::DecodeMoreLocked() {
    if (!m_decoder || m_decoder_drained) return false;
    int errors = 0;
    for (;;) {
        int result = avcodec_receive_frame(m_decoder.get(), m_frame.get());
        if (result == 0) {
            bool converted = ConvertFrameLocked(m_frame.get());
            av_frame_unref(m_frame.get());
            if (converted) return true;
            if (++errors > kMaxDecodeErrors) break;
            continue;
        }
        if (result == AVERROR_EOF) break;
        if (result != AVERROR(EAGAIN)) {
            if (++errors > kMaxDecodeErrors) break;
            continue;
        }
        result = av_read_frame(m_format.get(), m_packet.get());
        if (result < 0) {
            // The end of the file or a read error: drain what the decoder holds.
            if (avcodec_send_packet(m_decoder.get(), nullptr) < 0) break;
            continue;
        }
        if (m_packet->stream_index == m_stream && avcodec_send_packet(m_decoder.get(), m_packet.get()) < 0 &&
            ++errors > kMaxDecodeErrors) {
            av_packet_unref(m_packet.get());
            break;
        }
        av_packet_unref(m_packet.get());
    }
    m_decoder_drained = true;
    return false;
}

// Converts one decoded frame into m_buffer, dropping what lies before m_discard_until. Returns false
// when the frame cannot be converted.
bool Player::ConvertFrameLocked(const AVFrame* frame) {
    if (frame->nb_samples <= 0 || frame->sample_rate <= 0 || frame->ch_layout.nb_channels <= 0) return false;
    if (m_rate == 0) {
        m_rate = frame->sample_rate;
        m_channels = frame->ch_layout.nb_channels == 1 ? 1 : 2;
    }
    if (!m_swr || frame->sample_rate != m_swr_in_rate || frame->format != m_swr_in_format ||
        av_channel_layout_compare(&frame->ch_layout, &m_swr_in_layout) != 0) {
        AVChannelLayout in{}, out{};
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&in, frame->ch_layout.nb_channels);
        else
            av_channel_layout_copy(&in, &frame->ch_layout);
        av_channel_layout_default(&out, m_channels);
        SwrContext* swr = nullptr;
        int result =
            swr_alloc_set_opts2(&swr, &out, AV_SAMPLE_FMT_S16, m_rate, &in,
                                static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&in);
        if (result < 0 || swr_init(swr) < 0) {
            swr_free(&swr);
            m_swr.reset();
            return false;
        }
        m_swr.reset(swr);
        m_swr_in_rate = frame->sample_rate;
        m_swr_in_format = frame->format;
        av_channel_layout_uninit(&m_swr_in_layout);
        av_channel_layout_copy(&m_swr_in_layout, &frame->ch_layout);
    }

    // After a seek the frame's own time says where the samples lie; from then on they are counted.
    if (!m_next_frame_known) {
        int64_t ts = frame->best_effort_timestamp;
        m_next_frame = ts == AV_NOPTS_VALUE
                           ? m_discard_until
                           : av_rescale_q(ts - m_stream_start, m_time_base, AVRational{1, m_rate});
        m_next_frame_known = true;
    }

    if (m_buffer_read == m_buffer.size()) {
        m_buffer.clear();
        m_buffer_read = 0;
    } else if (m_buffer_read > (1u << 16)) {
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(m_buffer_read));
        m_buffer_read = 0;
    }
    bool was_empty = m_buffer_read == m_buffer.size();
    int capacity = swr_get_out_samples(m_swr.get(), frame->nb_samples);
    if (capacity <= 0) return false;
    size_t old_size = m_buffer.size();
    m_buffer.resize(old_size + static_cast<size_t>(capacity) * m_channels);
    auto* out = reinterpret_cast<uint8_t*>(m_buffer.data() + old_size);
    int converted = swr_convert(m_swr.get(), &out, capacity,
                                const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
    converted = std::max(converted, 0);
    m_buffer.resize(old_size + static_cast<size_t>(converted) * m_channels);

    int64_t first = m_next_frame;
    m_next_frame += converted;
    if (was_empty) {
        int64_t drop = std::clamp<int64_t>(m_discard_until - first, 0, converted);
        m_buffer_read = old_size + static_cast<size_t>(drop) * m_channels;
        m_buffer_start = first + drop;
    }
    return true;
}

// Moves the decoder to a position in sample frames and fills one device buffer from there.
int Player::SeekLocked(int64_t target_frame) {
    int64_t target_ts = m_stream_start + av_rescale_q(target_frame, AVRational{1, m_rate}, m_time_base);
    AVFormatContext* format = m_format.get();
    int result = avformat_seek_file(format, m_stream, INT64_MIN, target_ts, target_ts, 0);
    if (result < 0) result = av_seek_frame(format, m_stream, target_ts, AVSEEK_FLAG_BACKWARD);
    // Formats without a usable index or time stamps: decode from the start up to the target.
    if (result < 0) result = av_seek_frame(format, -1, 0, AVSEEK_FLAG_BYTE);
    if (result < 0) return -1;
    avcodec_flush_buffers(m_decoder.get());
    m_swr.reset();
    m_buffer.clear();
    m_buffer_read = 0;
    m_buffer_start = target_frame;
    m_next_frame_known = false;
    m_discard_until = target_frame;
    m_decoder_drained = false;
    m_silent_callbacks = 0;
    m_rewind = false;
    m_segment_start = target_frame;
    ResetHandLocked(target_frame);
    DropEventLocked();
    PrimeLocked(m_device_frames);
    return 0;
}

void Player::PrimeLocked(int64_t frames) {
    while (static_cast<int64_t>(m_buffer.size() - m_buffer_read) < frames * std::max(m_channels, 1) &&
           DecodeMoreLocked()) {
    }
}

void Player::ResetHandLocked(int64_t frame) { m_last_hand = {Clock::now(), frame, 0}; }

// The position now sounding. While playing: the samples handed so far, less the device buffer still
// queued, advanced by the time since the last hand-over but never past what was handed. Otherwise
// the next sample to hand, where Start resumes.
int64_t Player::PositionFramesLocked() const {
    if (m_state == State::kStopped && m_rewind) return 0;
    if (m_state != State::kPlaying) return m_buffer_start;
    if (m_last_hand.frames == 0) return m_segment_start;
    double elapsed_s = std::chrono::duration<double>(Clock::now() - m_last_hand.at).count();
    int64_t played = std::min<int64_t>(std::llround(elapsed_s * m_rate), m_last_hand.frames);
    return std::max(m_last_hand.first_frame + played - m_device_frames, m_segment_start);
}

}  // namespace auvella
