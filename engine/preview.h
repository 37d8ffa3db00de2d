#pragma once
// The preview frame decoder: the picture of a video at a position, as the 640 x 360 24-bit BMP the
// cut tab draws. Runs on the UI thread.

#include <cstdint>
#include <string>

struct AVFrame;

inline constexpr int PREVIEW_WIDTH = 640;
inline constexpr int PREVIEW_HEIGHT = 360;
inline constexpr int PREVIEW_BMP_HEADER_SIZE = 54;
inline constexpr int PREVIEW_BMP_IMAGE_SIZE = PREVIEW_WIDTH * PREVIEW_HEIGHT * 3;               // 691200
inline constexpr int PREVIEW_BMP_FILE_SIZE = PREVIEW_BMP_HEADER_SIZE + PREVIEW_BMP_IMAGE_SIZE;  // 691254

struct PreviewRequest {
    std::string input_path;   // UTF-8
    double position_s = 0;    // seconds from the start of the file
    std::string bitmap_path;  // UTF-8; the BMP written
};

struct PreviewResult {
    bool written = false;        // a BMP was written
    double input_start_s = 0;    // the container's start time
    double file_position_s = 0;  // the position sought, on the file's own clock (a positive position
                                 // shifted by the start time)
};

// Decodes the picture of the input at the position and writes it to the bitmap path. The picture is
// the first one the decoder delivers after seeking to that time: the key frame at or before it, so
// that scrubbing costs one seek and one picture. On any failure (no file, no video, no decoder, file
// not writable) nothing is written and the previous BMP stays as it was.
PreviewResult DecodePreviewFrame(const PreviewRequest& request);

// Writes a 640 x 360 BGR24 picture (rows top first, as FFmpeg lays them out) as a bottom-up 24-bit
// BMP file at `path` (UTF-8). The file appears complete or not at all: it is written under a
// temporary name and renamed over the old one. Returns false, writing nothing, for a picture of
// another size or format or when the file cannot be written.
bool SavePreviewBitmap(const AVFrame* picture, const std::string& path);
// The same from 640 x 360 BGR24 rows, the top one first, `linesize` bytes apart.
bool SavePreviewBitmapRows(const uint8_t* top_row, int linesize, const std::string& path);
