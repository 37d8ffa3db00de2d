#pragma once
// The preview frame decoder: the picture of a video at a position, as the 640 x 360 24-bit BMP the
// cut tab draws. Runs on the UI thread, never while a job runs (it uses the job record's fields).

#include <string>

#include "engine/convert_job.h"

struct AVFrame;

inline constexpr int PREVIEW_WIDTH = 640;
inline constexpr int PREVIEW_HEIGHT = 360;
inline constexpr int PREVIEW_BMP_HEADER_SIZE = 54;
inline constexpr int PREVIEW_BMP_IMAGE_SIZE = PREVIEW_WIDTH * PREVIEW_HEIGHT * 3;               // 691200
inline constexpr int PREVIEW_BMP_FILE_SIZE = PREVIEW_BMP_HEADER_SIZE + PREVIEW_BMP_IMAGE_SIZE;  // 691254

// Decodes the picture of job.probe_path at job.range_start_s[job.current_file] seconds (the caller
// sets current_file to 0) and writes it to job.preview_bitmap_path. The picture is the first one the
// decoder delivers after seeking to that time: the key frame at or before it, so that scrubbing costs
// one seek and one picture. A positive position is shifted by the container's start time, and the
// shifted value stays in range_start_s.
// Returns whether a BMP was written; on any failure (no file, no video, no decoder, file not
// writable) the previous BMP stays as it was.
bool DecodePreviewFrame(ConvertJob& job);
// The same on the program-wide job record, which must exist.
bool DecodePreviewFrame();

// Writes a 640 x 360 BGR24 picture (rows top first, as FFmpeg lays them out) as a bottom-up 24-bit
// BMP file at `path` (UTF-8). The file appears complete or not at all: it is written under a
// temporary name and renamed over the old one. Returns false, writing nothing, for a picture of
// another size or format or when the file cannot be written.
bool SavePreviewBitmap(const AVFrame* picture, const std::string& path);
