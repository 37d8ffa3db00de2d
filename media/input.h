#pragma once
// Opening a media file for reading, the one way every reader does it (the conversion run, the
// preview, both probes): a regular local file only, through FFmpeg's `file` protocol, its stream
// information read, its streams chosen (the last of each kind) and their decoders opened.
// Runs on the caller's thread; the returned Input owns everything it holds.

#include <string>

#include "media/failure.h"
#include "media/ffmpeg_ptr.h"

namespace media {

struct InputOptions {
    bool video_decoder = true;  // open the chosen video stream's decoder (failing the open when it cannot)
    bool audio_decoder = true;  // open the chosen audio stream's decoder (left null when it cannot)
    const char* video_threads = nullptr;  // the video decoder's "threads" option; null: FFmpeg's own
    // Polled by FFmpeg while it opens and reads the input (on the reading thread): a nonzero return
    // ends the waiting call with AVERROR_EXIT. The opaque pointer must outlive the Input.
    AVIOInterruptCB interrupt{nullptr, nullptr};
};

struct Input {
    InputFormatPtr format;
    AVStream* video = nullptr;  // the last video stream, null for none
    AVStream* audio = nullptr;  // the last audio stream, null for none
    CodecContextPtr video_decoder;
    CodecContextPtr audio_decoder;
    Failure failure;  // the step that failed and FFmpeg's code; nothing else is usable then

    bool ok() const { return !failure.failed(); }
};

// Opens `path` (UTF-8). Anything but a regular file (a directory, a FIFO, a device) is refused
// before anything opens it, so a reader never blocks on it; the path is always a file name, never a
// protocol ("pipe:0.mp3" is the file of that name).
Input OpenInput(const std::string& path, const InputOptions& options = {});

// A decoder for one stream, filled from its codec parameters and opened with `threads` (null:
// FFmpeg's default). Null on failure, with the step and code in *failure.
CodecContextPtr OpenDecoder(const AVStream* stream, const char* threads, Failure* failure);

}  // namespace media
