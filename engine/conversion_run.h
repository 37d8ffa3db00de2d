#pragma once
// The state of one run of the conversion engine and its steps, shared by the files that implement
// them: the job loop and output (convert_engine.cpp), stream copy (stream_copy.cpp), video
// re-encoding (video_reencode.cpp) and audio re-encoding (audio_reencode.cpp). Everything here runs
// on the worker thread that called RunConvertJob.

#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

#include "engine/exact_cut.h"
#include "engine/job_progress.h"
#include "engine/job_request.h"
#include "engine/output_publish.h"
#include "engine/packet_copy.h"
#include "media/ffmpeg_ptr.h"
#include "media/input.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace engine {

// Frame size for audio encoders that take any.
inline constexpr int kFallbackAudioFrameSize = 1024;

inline AVRational Inverse(AVRational r) { return AVRational{r.den, r.num}; }
inline bool Valid(AVRational r) { return r.num > 0 && r.den > 0; }

// What one input file needs while it is processed. Each file starts from a fresh one and gives it
// back when it is done (ReleaseFile assigns a new one), so nothing of a file reaches the next.
struct FileRun {
    media::Input input;
    AVStream* video = nullptr;  // the input streams the job reads, null: none
    AVStream* audio = nullptr;
    JobFailure refusal;        // why the file's set-up failed
    double input_start_s = 0;  // the container's start time
    double range_start_s = 0;  // a cut's start on the file's own clock
    bool leave_loop = false;
    bool range_to_end = false;            // a cut's range reaches the end of the input
    std::vector<uint8_t> parameter_sets;  // to put in front of the file's first copied key frame

    // Re-encoded pictures: the picture at picture_origin_s (input seconds) becomes output frame
    // picture_base.
    bool picture_origin_known = false;
    double picture_origin_s = 0;
    int64_t picture_base = 0;
    int64_t pictures_sent = 0;  // pictures of the file given to the encoder

    // Re-encoded sound of a cut.
    bool cut_audio_started = false;  // the first kept sound has been trimmed to the start
    int64_t cut_audio_samples = 0;   // samples of the range queued so far
    int64_t cut_audio_cap = 0;       // samples the range holds

    AVFormatContext* format() const { return input.format.get(); }
    AVCodecContext* video_decoder() const { return video ? input.video_decoder.get() : nullptr; }
    AVCodecContext* audio_decoder() const { return input.audio_decoder.get(); }
};

// The output's video stream for the whole job, copied (the packets go through PacketCopy) or
// re-encoded (encoder set).
struct VideoPath {
    AVStream* out = nullptr;
    media::CodecContextPtr encoder;
    // The muxer's time-stamp generator, kept here: the next time stamp, in frames of frame_tb.
    AVRational frame_tb{1, 25};
    int64_t next = 0;
    int64_t merge_gap_frames = 0;  // frames the next merged file's pictures start later
    media::SwsPtr scaler;          // scratch, reused across pictures and files
    media::FramePtr picture;
    media::FramePtr decoded;
    // Copied H.264: the parameter sets the copied pictures now use.
    std::vector<uint8_t> active_extradata;
    bool active_extradata_known = false;
};

// The output's audio stream for the whole job, copied or re-encoded (encoder set): decoded sound is
// resampled to the encoder's format and cut into its frames by the FIFO.
struct AudioPath {
    AudioPath() = default;
    AudioPath(const AudioPath&) = delete;
    AudioPath& operator=(const AudioPath&) = delete;
    ~AudioPath() { av_channel_layout_uninit(&resampler_in_layout); }

    AVStream* out = nullptr;
    media::CodecContextPtr encoder;
    // The next time stamp, in samples at rate.
    int rate = 0;
    int64_t next = 0;
    int64_t shift = 0;  // added to encoded time stamps, in the encoder's time base
    bool shift_known = false;
    media::FramePtr decoded;  // scratch, reused across frames and files
    media::FramePtr frame;    // one encoder frame
    media::FramePtr resampled;
    media::SwrPtr resampler;
    AVChannelLayout resampler_in_layout{};
    int resampler_in_rate = 0;
    int resampler_in_format = -1;
    media::AudioFifoPtr fifo;
};

// The working state of one job: owns every FFmpeg object of the run through unique_ptrs. Reads the
// request, reports through the progress channel. The job's own state lives here; a file's in
// FileRun, each output stream's in its path.
class ConversionRun {
  public:
    ConversionRun(const JobRequest& request, JobProgress& progress)
        : request_(request), progress_(progress) {}
    // The whole job, file by file; returns when it ended or was stopped.
    void Run();

  private:
    // One input file, from opening to release.
    void ProcessFile(int i);
    bool OpenInputFile(int i);
    bool PrepareOutput(int i);
    bool SetUpVideoStream();
    bool SetUpAudioStream();
    bool OpenOutputFile();
    void SeekToRangeStart();
    void PacketLoop(int i);
    bool CutRangeWritten(int i) const;
    void UpdateProgress(int i);
    void ReleaseFile();

    // For a later file of a direct merge: what its first key frame must carry (parameter_sets_).
    void PrepareParameterSets();

    // Video re-encoding.
    void DecodeVideo(const AVPacket* pkt);
    void EncodePicture(AVFrame* decoded);
    bool SendVideoFrame(AVFrame* frame);

    // Audio re-encoding.
    void DecodeAudio(const AVPacket* pkt);
    void QueueAudio(AVFrame* decoded);
    void TrimToStreamEnd(AVFrame* frame) const;
    void QueueSamples(uint8_t** data, int samples);
    void FlushResampler();
    bool EncodeQueuedAudio(bool final_frame);
    bool SendAudioFrame(AVFrame* frame);
    void PadAudioToVideo();

    // Writes every packet the encoder has ready to the stream; false when a write failed.
    bool WriteEncoded(AVCodecContext* encoder, AVStream* stream);
    void FinishOutput();
    // A write to the output failed: the job fails and the output is never published.
    void FailWrite(const char* step, int error) {
        output_broken_ = true;
        Fail(step, error);
    }
    // Marks the current file failed with the step and FFmpeg's code (the first reason is kept). Once
    // every file went through, a failure finishing the output belongs to the last file.
    void Fail(const char* step, int error = 0) { Fail(JobFailure{step, error}); }
    void Fail(JobFailure reason) { progress_.Fail(std::min(file_index_, file_count_ - 1), std::move(reason)); }
    // For the set-up steps: keeps the reason for ProcessFile to report, returns false.
    bool Refuse(const char* step, int error = 0) {
        in_.refusal = {step, error};
        return false;
    }
    bool Cancelled() const { return progress_.cancel_requested.load(); }
    bool Merge() const { return request_.merge; }
    bool Reencode() const { return request_.reencode; }

    // Where the output's streams stand, in seconds.
    bool PacketCopying() const { return !Reencode(); }
    double VideoClock() const {
        return PacketCopying() ? copy_.VideoEnd() : video_.next * av_q2d(video_.frame_tb);
    }
    double AudioClock() const {
        if (PacketCopying()) return copy_.AudioEnd();
        return audio_.rate > 0 ? static_cast<double>(audio_.next) / audio_.rate : 0.0;
    }
    // A cut's length. A range that runs to the end of the input has none: the data may last longer
    // than the container's estimated duration.
    double RangeLength(int i) const {
        return in_.range_to_end ? std::numeric_limits<double>::infinity() : request_.inputs[i].length_s;
    }

    const JobRequest& request_;
    JobProgress& progress_;
    int file_count_ = 0;
    int file_index_ = 0;  // the file being processed; the channel only ever gets a copy
    AVRational frame_rate_{0, 1};  // the output frame rate the job asked for, or the first input's

    // Output state: lives for the whole job.
    media::MuxerPtr muxer_;
    PublishedOutput file_;
    bool header_written_ = false;
    bool output_broken_ = false;  // a write failed: the output is removed, never published
    bool wrote_media_ = false;    // a packet reached the output
    bool trailer_written_ = false;
    bool discard_output_ = false;  // a cut whose range held no picture leaves no file
    PacketCopy copy_;
    std::unique_ptr<ExactCut> exact_;  // a direct cut that starts and ends exactly
    VideoPath video_;
    AudioPath audio_;
    media::PacketPtr in_packet_;
    media::PacketPtr out_packet_;

    FileRun in_;  // the file in work
};

}  // namespace engine
