#include "engine/preview_session.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "engine/preview_internal.h"
#include "media/input.h"
#include "media/seek.h"
#include "media/time.h"

namespace engine {

namespace {

constexpr std::chrono::milliseconds kWriteSettle{25};

}  // namespace

using preview_internal::ScalerCache;

struct PreviewSession::Media {
    media::Input in;
    AVFormatContext* input = nullptr;
    AVCodecContext* decoder = nullptr;
    AVStream* stream = nullptr;  // the last video stream
    double input_start_s = 0;
    media::PacketPtr packet{av_packet_alloc()};
    media::FramePtr frame{av_frame_alloc()};
    ScalerCache scaler;
};

PreviewSession::PreviewSession(std::string input_path, size_t cached_pictures)
    : m_path(std::move(input_path)), m_capacity(std::max<size_t>(1, cached_pictures)) {
    m_writer = std::thread([this] { WriterLoop(); });
}

PreviewSession::~PreviewSession() {
    {
        std::lock_guard lock(m_write_mutex);
        m_quit = true;
    }
    m_write_cv.notify_all();
    m_writer.join();
}

bool PreviewSession::Open() {
    if (m_media) return true;
    if (m_open_failed) return false;
    m_open_failed = true;
    auto m = std::make_unique<Media>();
    if (!m->packet || !m->frame) return false;
    // One still picture at a time: frame threads would only hold it back behind pictures not
    // needed, and the decoder is drained after the key frame anyway.
    media::InputOptions options;
    options.audio_decoder = false;
    options.video_threads = "1";
    m->in = media::OpenInput(m_path, options);
    if (!m->in.ok() || !m->in.video) return false;
    m->input = m->in.format.get();
    m->decoder = m->in.video_decoder.get();
    m->stream = m->in.video;
    m->input_start_s = media::StartSeconds(m->input);
    m_media = std::move(m);
    m_open_failed = false;
    return true;
}

double PreviewSession::inputStartS() { return Open() ? m_media->input_start_s : 0; }

std::shared_ptr<const PreviewPicture> PreviewSession::Cached(int64_t key_position) {
    if (key_position < 0) return nullptr;
    for (auto it = m_cache.begin(); it != m_cache.end(); ++it) {
        if ((*it)->key_position != key_position) continue;
        auto picture = *it;
        m_cache.splice(m_cache.begin(), m_cache, it);
        ++m_hits;
        return picture;
    }
    return nullptr;
}

void PreviewSession::Remember(std::shared_ptr<const PreviewPicture> picture) {
    if (picture->key_position < 0) return;
    m_cache.push_front(std::move(picture));
    while (m_cache.size() > m_capacity) m_cache.pop_back();
}

std::shared_ptr<const PreviewPicture> PreviewSession::PictureAt(double position_s) {
    if (!Open()) return nullptr;
    Media& m = *m_media;
    int64_t target_pts = AV_NOPTS_VALUE;
    if (position_s > 0) {
        target_pts = media::SecondsToTicks(position_s + m.input_start_s, m.stream->time_base);
        // A demuxer with an index names the key frame the seek lands on without seeking.
        const int entry = av_index_search_timestamp(m.stream, target_pts, AVSEEK_FLAG_BACKWARD);
        if (entry >= 0) {
            const AVIndexEntry* e = avformat_index_get_entry(m.stream, entry);
            if (e && (e->flags & AVINDEX_KEYFRAME))
                if (auto picture = Cached(e->pos)) return picture;
        }
    } else {
        target_pts = m.stream->start_time == AV_NOPTS_VALUE ? INT64_MIN + 1 : m.stream->start_time;
    }
    if (!media::SeekToKeyFrame(m.input, m.stream, target_pts, m.packet.get(),
                               media::AfterSeek::kKeepKeyFrame))
        return nullptr;
    const int64_t key = m.packet->pos;
    if (auto picture = Cached(key)) {
        av_packet_unref(m.packet.get());
        return picture;
    }
    return Decode(m.packet.get(), target_pts);
}

// Decodes the first picture from the packet left by the seek on. Sending the key packet and
// draining gives its picture at once; a start that needs more packets (a file that does not begin
// with a key frame) is read on, as the one-shot decoder does.
std::shared_ptr<const PreviewPicture> PreviewSession::Decode(AVPacket* first, int64_t target_pts) {
    Media& m = *m_media;
    AVCodecContext* decoder = m.decoder;
    AVFrame* frame = m.frame.get();
    const int64_t key = first->pos;
    ++m_decodes;
    avcodec_flush_buffers(decoder);
    int rc = avcodec_send_packet(decoder, first);
    av_packet_unref(first);
    if (rc >= 0) {
        avcodec_send_packet(decoder, nullptr);
        if (avcodec_receive_frame(decoder, frame) >= 0) {
            auto picture = Scale(frame, key);
            if (picture) Remember(picture);
            return picture;
        }
    }
    // Read on from the same place until the decoder gives a picture.
    avcodec_flush_buffers(decoder);
    AVPacket* packet = m.packet.get();
    bool have_packet =
        media::SeekToKeyFrame(m.input, m.stream, target_pts, packet, media::AfterSeek::kKeepKeyFrame);
    if (!have_packet) return nullptr;
    bool draining = false;
    for (;;) {
        if (!draining) {
            rc = have_packet ? 0 : av_read_frame(m.input, packet);
            have_packet = false;
            if (rc < 0) {
                draining = true;
                avcodec_send_packet(decoder, nullptr);
            } else if (packet->stream_index == m.stream->index) {
                if (avcodec_send_packet(decoder, packet) == AVERROR(EAGAIN) &&
                    avcodec_receive_frame(decoder, frame) >= 0) {
                    av_packet_unref(packet);
                    break;
                }
            }
            av_packet_unref(packet);
        }
        rc = avcodec_receive_frame(decoder, frame);
        if (rc >= 0) break;
        if (rc != AVERROR(EAGAIN) || draining) return nullptr;
    }
    // Not cached: this picture is not the key frame's own.
    return Scale(frame, -1);
}

std::shared_ptr<const PreviewPicture> PreviewSession::Scale(const AVFrame* frame, int64_t key_position) {
    SwsContext* scaler = m_media->scaler.Get(frame);
    if (!scaler) return nullptr;
    auto picture = std::make_shared<PreviewPicture>();
    picture->bgr.resize(static_cast<size_t>(PREVIEW_BMP_IMAGE_SIZE));
    picture->key_position = key_position;
    uint8_t* dst[4] = {picture->bgr.data(), nullptr, nullptr, nullptr};
    int dst_linesize[4] = {PREVIEW_WIDTH * 3, 0, 0, 0};
    sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, dst, dst_linesize);
    // The frame's own sample aspect ratio, else the stream's or the container's; square when none.
    AVRational sar =
        av_guess_sample_aspect_ratio(m_media->input, m_media->stream, const_cast<AVFrame*>(frame));
    if (sar.num <= 0 || sar.den <= 0) sar = AVRational{1, 1};
    if (frame->width > 0 && frame->height > 0)
        picture->display_aspect = frame->width * av_q2d(sar) / frame->height;
    return picture;
}

void PreviewSession::WriteBitmapLater(std::shared_ptr<const PreviewPicture> picture,
                                      const std::string& bitmap_path) {
    if (!picture) return;
    {
        std::lock_guard lock(m_write_mutex);
        m_pending = std::move(picture);
        m_pending_path = bitmap_path;
    }
    m_write_cv.notify_all();
}

bool PreviewSession::WaitForBitmap() {
    std::unique_lock lock(m_write_mutex);
    m_write_cv.wait(lock, [this] { return !m_pending && !m_writing; });
    return m_last_write_ok;
}

void PreviewSession::WriterLoop() {
    std::unique_lock lock(m_write_mutex);
    for (;;) {
        m_write_cv.wait(lock, [this] { return m_quit || m_pending; });
        if (!m_pending) return;  // quitting with nothing left to write
        // While the slider moves, pictures come faster than files are worth writing: wait a moment
        // for a newer one, and write only the last.
        m_write_cv.wait_for(lock, kWriteSettle, [this] { return m_quit; });
        auto picture = std::move(m_pending);
        const std::string path = m_pending_path;
        m_pending.reset();
        m_writing = true;
        lock.unlock();
        const bool ok = SavePreviewBitmapRows(picture->bgr.data(), PREVIEW_WIDTH * 3, path) == 0;
        lock.lock();
        m_writing = false;
        m_last_write_ok = ok;
        m_write_cv.notify_all();
    }
}

}  // namespace engine
