#pragma once
// PreviewSession: the preview pictures of one video while its slider is dragged. The picture for a
// position is the one DecodePreviewFrame gives (the key frame at or before it), but the file, the
// decoder and the scaler stay open between pictures, the decoder runs on one thread and is drained
// after the key frame (so no later picture is decoded to get it out), and the pictures of the last
// key frames shown are kept by key frame, so a drag that passes them again only copies them. The
// BMP file is written on a thread of its own: the window draws the picture without waiting for it.
// One session per file; PictureAt and WriteBitmapLater are called from one thread.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/preview.h"

struct AVPacket;

namespace engine {

struct PreviewPicture {
    // PREVIEW_HEIGHT rows of PREVIEW_WIDTH * 3 bytes, blue-green-red, the top row first.
    std::vector<uint8_t> bgr;
    int64_t key_position = -1;  // byte position of the key frame's packet (the cache's key)
    // The picture's proportions as it is meant to be shown: width / height, with the sample aspect
    // ratio applied (a 720 x 576 picture of SAR 16:15 shows as 4:3). The 640 x 360 rows ignore it.
    double display_aspect = 16.0 / 9.0;
};

class PreviewSession {
  public:
    static constexpr size_t kDefaultCachedPictures = 32;  // about 22 MB

    explicit PreviewSession(std::string input_path, size_t cached_pictures = kDefaultCachedPictures);
    ~PreviewSession();  // finishes a pending BMP
    PreviewSession(const PreviewSession&) = delete;
    PreviewSession& operator=(const PreviewSession&) = delete;

    const std::string& inputPath() const { return m_path; }
    // The container's start time in seconds (0 when it has none or the file cannot be read).
    double inputStartS();
    // The picture at `position_s` seconds from the start of the file; null when there is none (no
    // file, no video, nothing decodable there).
    std::shared_ptr<const PreviewPicture> PictureAt(double position_s);
    // Writes the picture as the preview BMP on the writer thread; a picture still waiting is
    // replaced by this one (only the last one matters).
    void WriteBitmapLater(std::shared_ptr<const PreviewPicture> picture, const std::string& bitmap_path);
    // Waits until the BMP of the last WriteBitmapLater is on disk; true when it was written.
    bool WaitForBitmap();
    size_t cachedPictures() const { return m_cache.size(); }
    // Pictures served from the cache and decoded, since the session began.
    int cacheHits() const { return m_hits; }
    int decodes() const { return m_decodes; }

  private:
    struct Media;
    bool Open();
    std::shared_ptr<const PreviewPicture> Cached(int64_t key_position);
    std::shared_ptr<const PreviewPicture> Decode(AVPacket* key_packet, int64_t target_pts);
    std::shared_ptr<const PreviewPicture> Scale(const AVFrame* frame, int64_t key_position);
    void Remember(std::shared_ptr<const PreviewPicture> picture);
    void WriterLoop();

    std::string m_path;
    size_t m_capacity;
    std::unique_ptr<Media> m_media;
    bool m_open_failed = false;
    std::list<std::shared_ptr<const PreviewPicture>> m_cache;  // most recent first
    int m_hits = 0;
    int m_decodes = 0;

    std::mutex m_write_mutex;
    std::condition_variable m_write_cv;
    std::shared_ptr<const PreviewPicture> m_pending;
    std::string m_pending_path;
    bool m_writing = false;
    bool m_last_write_ok = false;
    bool m_quit = false;
    std::thread m_writer;
};

}  // namespace engine
