#pragma once
// The state of one run of the conversion engine and its steps, shared by the files that implement
// them: the job loop and output (convert_engine.cpp), stream copy (stream_copy.cpp), video
// re-encoding (video_reencode.cpp) and audio re-encoding (audio_reencode.cpp). Everything here runs
// on the worker thread that called RunConvertJob.

#include <memory>
#include <vector>

#include "engine/exact_cut.h"
#include "engine/exclusive_output.h"
#include "engine/job_progress.h"
#include "engine/job_request.h"
#include "engine/packet_copy.h"
#include "media/ffmpeg_ptr.h"
#include "media/input.h"

namespace engine {

// Frame size for audio encoders that take any.
inline constexpr int kFallbackAudioFrameSize = 1024;

inline AVRational Inverse(AVRational r) { return AVRational{r.den, r.num}; }
inline bool Valid(AVRational r) { return r.num > 0 && r.den > 0; }

// The working state of one job: owns every FFmpeg object of the run through unique_ptrs. Reads the
// request, reports through the progress channel.
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
    // Marks the current file failed with the step and FFmpeg's code (the first reason is kept).
    void Fail(const char* step, int error = 0) {
        progress_.Fail(progress_.current_file.load(), {step, error});
    }
    // For the set-up steps: keeps the reason for ProcessFile to report, returns false.
    bool Refuse(const char* step, int error = 0) {
        refusal_ = {step, error};
        return false;
    }
    bool Cancelled() const { return progress_.cancel_requested.load(); }
    bool Merge() const { return request_.merge; }
    bool Reencode() const { return request_.reencode; }

    // Where the output's streams stand, in seconds.
    bool PacketCopying() const { return !Reencode(); }
    double VideoClock() const {
        return PacketCopying() ? copy_.VideoEnd() : video_next_ * av_q2d(video_frame_tb_);
    }
    double AudioClock() const {
        if (PacketCopying()) return copy_.AudioEnd();
        return audio_rate_ > 0 ? static_cast<double>(audio_next_) / audio_rate_ : 0.0;
    }
    double RangeLength(int i) const { return request_.inputs[i].length_s; }

    const JobRequest& request_;
    JobProgress& progress_;
    JobFailure refusal_;  // why the current file's set-up failed
    int file_count_ = 0;
    double frame_rate_ = 0;  // the output frame rate the job asked for, or the first input's

    // Output state: lives for the whole job.
    media::MuxerPtr muxer_;
    ExclusiveOutput file_;
    bool header_written_ = false;
    bool trailer_written_ = false;
    bool discard_output_ = false;  // a cut whose range held no picture leaves no file
    PacketCopy copy_;
    std::unique_ptr<ExactCut> exact_;  // a direct cut that starts and ends exactly
    AVStream* out_video_ = nullptr;
    AVStream* out_audio_ = nullptr;
    media::CodecContextPtr video_encoder_;
    media::CodecContextPtr audio_encoder_;
    // The muxer's time-stamp generator, kept here: the next video time stamp in frames of
    // video_frame_tb_, the next audio time stamp in samples at audio_rate_.
    AVRational video_frame_tb_{1, 25};
    int64_t video_next_ = 0;
    int64_t audio_next_ = 0;
    int audio_rate_ = 0;
    int64_t audio_shift_ = 0;  // added to encoded audio time stamps, in the encoder's time base
    bool audio_shift_known_ = false;
    int64_t pictures_sent_ = 0;     // pictures of the current file given to the encoder
    int64_t merge_gap_frames_ = 0;  // frames the next merged file's pictures start later

    // Re-encoding scratch, reused across pictures and files.
    media::SwsPtr scaler_;
    media::FramePtr picture_;
    media::FramePtr decoded_video_;
    media::FramePtr decoded_audio_;
    media::FramePtr encoder_audio_;
    media::FramePtr resampled_;
    media::SwrPtr resampler_;
    AVChannelLayout resampler_in_layout_{};
    int resampler_in_rate_ = 0;
    int resampler_in_format_ = -1;
    media::AudioFifoPtr fifo_;
    media::PacketPtr in_packet_;
    media::PacketPtr out_packet_;

    // Per file.
    media::Input input_file_;
    AVFormatContext* input_ = nullptr;  // input_file_'s container
    double input_start_s_ = 0;          // the container's start time
    double range_start_s_ = 0;          // a cut's start on the file's own clock
    int64_t duration_us_ = 0;
    AVCodecContext* video_decoder_ = nullptr;  // input_file_'s decoders, null when not opened
    AVCodecContext* audio_decoder_ = nullptr;
    AVStream* in_video_ = nullptr;
    AVStream* in_audio_ = nullptr;
    bool leave_loop_ = false;
    bool cut_audio_started_ = false;         // a cut's first kept sound has been trimmed to the start
    std::vector<uint8_t> parameter_sets_;    // to put in front of the file's first copied key frame
    std::vector<uint8_t> active_extradata_;  // whose parameter sets the copied pictures now use
    bool active_extradata_known_ = false;
    int64_t cut_audio_samples_ = 0;  // samples of the cut's range queued so far
    int64_t cut_audio_cap_ = 0;      // samples the cut's range holds
    // Where the file's pictures go: the picture at picture_origin_s_ (input seconds) becomes
    // output frame picture_base_.
    bool picture_origin_known_ = false;
    double picture_origin_s_ = 0;
    int64_t picture_base_ = 0;
};

}  // namespace engine
