#pragma once
// The video tool's one job and media record: the description of a cut or merge job, the engine's
// working state, the progress channel between the worker thread and the window, and the result of
// the last media probe.
//
// Threads: the window fills the job fields (J) and starts the worker; while the worker runs, only
// the atomic progress fields (P) are shared: the worker writes current_file, percent, file_status and
// the output clocks, and the window writes cancel_requested. Everything else belongs to whichever
// thread is working on the record at the time (the probe and the preview run on the UI thread,
// never while a job runs).

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

struct AVAudioFifo;
struct SwrContext;
struct SwsContext;

inline constexpr int MAX_JOB_FILES = 999;

// Values of ConvertJob::file_status.
inline constexpr uint8_t JOB_FILE_PENDING = 0xFF;  // not finished yet
inline constexpr uint8_t JOB_FILE_DONE = 1;        // processed, no step failed
inline constexpr uint8_t JOB_FILE_FAILED = 2;      // a step failed

// Size of the buffer that receives one encoded picture.
inline constexpr int VIDEO_OUTPUT_BUFFER_SIZE = 1835008;

struct ConvertJob {
    ConvertJob();
    ConvertJob(const ConvertJob&) = delete;
    ConvertJob& operator=(const ConvertJob&) = delete;

    // The progress fields before a job starts: every file pending, none current, not cancelled.
    void Reset(int files, int files_shown = 0);

    // Engine working state. FFmpeg pointers here are references: the engine (or the probe) owns
    // the objects while it works on a file and clears the references when it releases them.
    AVFormatContext* input_format = nullptr;
    AVCodecContext* video_decoder_context = nullptr;
    AVCodecContext* audio_decoder_context = nullptr;
    const AVCodec* audio_decoder = nullptr;
    const AVCodec* video_decoder = nullptr;
    AVPacket* input_packet = nullptr;
    const AVOutputFormat* output_format_guess = nullptr;
    AVFormatContext* output_format = nullptr;
    AVCodecContext* video_encoder_context = nullptr;
    AVCodecContext* audio_encoder_context = nullptr;
    const AVCodec* video_encoder = nullptr;
    const AVCodec* audio_encoder = nullptr;
    AVStream* output_video_stream = nullptr;
    AVStream* output_audio_stream = nullptr;
    AVFrame* decoded_frame = nullptr;
    AVFrame* picture_frame = nullptr;
    // Slot 0 holds interleaved output; slots 0 and 1 hold the two channels of planar output.
    std::array<AVAudioFifo*, 2> audio_fifos{};

    int32_t output_video_codec_id = AV_CODEC_ID_NONE;  // job input; the probe leaves the input's
    int32_t output_audio_codec_id = AV_CODEC_ID_NONE;

    SwrContext* resampler = nullptr;
    SwsContext* scaler = nullptr;
    AVDictionary* encoder_options = nullptr;

    uint32_t stream_loop_index = 0;
    int32_t video_stream_index = -1;  // chosen input streams, -1 for none
    int32_t audio_stream_index = -1;
    double input_start_time = 0;  // seconds; 0 when the container has none

    // Output stream positions in seconds (read by the window for nothing but kept shared-safe).
    std::atomic<double> output_audio_clock{0};
    std::atomic<double> output_video_clock{0};

    int32_t got_picture = 0;
    int32_t video_decode_result = 0;
    int32_t merge_video_pts = 0;
    int32_t last_result = 0;
    int32_t encoded_size = 0;
    int32_t video_output_buffer_size = VIDEO_OUTPUT_BUFFER_SIZE;
    std::vector<uint8_t> audio_frame_buffer;
    std::vector<uint8_t> video_output_buffer;

    std::atomic<bool> cancel_requested{false};  // set by the window to stop the job
    bool merge_mode = false;                    // false: cut; true: merge
    bool reencode = true;                       // true: decode and re-encode; false: copy packets
    bool audio_only = false;                    // the audio tool's jobs: video streams are ignored
    std::string output_format_name;             // the muxer's short name; empty: guessed from the path
    int32_t input_has_ts_discont = 0;
    double byte_seek_position = 0;

    std::string probe_path;                // UTF-8; the probe's and the preview's input
    std::vector<std::string> input_paths;  // UTF-8, file_count entries, in processing order
    std::vector<std::string> output_paths; // UTF-8, the output path in every entry
    std::string preview_bitmap_path;       // UTF-8 path of the preview bitmap

    std::array<std::atomic<uint8_t>, MAX_JOB_FILES> file_status;
    std::array<double, MAX_JOB_FILES> range_start_s{};   // cut: start; preview: position
    std::array<double, MAX_JOB_FILES> range_length_s{};  // cut: length; merge: merge_total_s
    int32_t merge_total_s = 0;
    std::atomic<int32_t> percent{0};  // 0 to 100; -1 while a job is being set up

    int64_t range_start_us = 0;  // probe: start of the selectable range (always 0)
    int64_t range_end_us = 0;    // probe: end of the selectable range
    int64_t duration_us = 0;     // container duration, AV_TIME_BASE units

    int32_t output_video_bit_rate = 0;  // bits per second
    int32_t output_height = 0;
    int32_t input_height = 0;
    int32_t output_width = 0;
    int32_t input_width = 0;
    double output_frame_rate = 0;  // 0: the input's own rate
    double input_frame_rate = 0;   // integer quotient of the input rate
    int32_t input_frame_rate_den = 0;
    int32_t input_frame_rate_num = 0;
    int32_t output_audio_bit_rate = 0;
    int32_t output_sample_rate = 0;
    int32_t output_channels = 0;

    std::atomic<int32_t> current_file{-1};  // index of the file being processed
    std::atomic<int32_t> ui_file_total{0};  // files the progress display counts
    int32_t file_count = 0;                 // 1 to MAX_JOB_FILES
};

// The one program-wide job record. The add command creates it on first use, the main window
// deletes it when it closes.
ConvertJob* TheConvertJob();           // null before the first use
ConvertJob& EnsureConvertJob();        // creates it when needed
void DeleteConvertJob();
