#include "engine/convert_engine.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/conversion_run.h"
#include "engine/frame_rates.h"
#include "engine/probe.h"
#include "media/seek.h"
#include "media/time.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
}

namespace engine {

namespace {

constexpr AVRational kDefaultFrameDuration{1, 25};
constexpr int kFifoStartSamples = 153600 / 4;

// The sample format the engine asks of each audio encoder; an encoder that does not take it gets
// its own first format.
AVSampleFormat WantedSampleFormat(AVCodecID id) {
    switch (id) {
        case AV_CODEC_ID_AAC:
            return AV_SAMPLE_FMT_S16;
        case AV_CODEC_ID_MP3:
            return AV_SAMPLE_FMT_S32P;
        case AV_CODEC_ID_VORBIS:
        case AV_CODEC_ID_WMAV2:
            return AV_SAMPLE_FMT_FLTP;
        default:
            return AV_SAMPLE_FMT_NONE;
    }
}

AVSampleFormat ChooseSampleFormat(const AVCodec* encoder, AVSampleFormat wanted) {
    if (!encoder->sample_fmts) return wanted != AV_SAMPLE_FMT_NONE ? wanted : AV_SAMPLE_FMT_S16;
    for (const AVSampleFormat* f = encoder->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
        if (*f == wanted) return wanted;
    return encoder->sample_fmts[0];
}

// The supported rate nearest to the wanted one.
int NearestRate(const int* rates, int wanted) {
    int best = rates[0];
    for (const int* r = rates; *r; ++r)
        if (std::abs(*r - wanted) < std::abs(best - wanted)) best = *r;
    return best;
}

const AVCodec* FindAudioEncoder(AVCodecID id) {
    // The native Vorbis encoder is experimental; the library one makes standard streams.
    if (id == AV_CODEC_ID_VORBIS)
        if (const AVCodec* lib = avcodec_find_encoder_by_name("libvorbis")) return lib;
    return avcodec_find_encoder(id);
}

bool IsVideoPresetCodec(AVCodecID id) {
    return id == AV_CODEC_ID_MPEG4 || id == AV_CODEC_ID_FLV1 || id == AV_CODEC_ID_WMV2 ||
           id == AV_CODEC_ID_H264;
}

}  // namespace

void ConversionRun::Run() {
    file_count_ = std::min(request_.FileCount(), progress_.file_count);
    for (int i = 0; i < file_count_; ++i) progress_.file_status[i].store(JOB_FILE_PENDING);
    progress_.percent.store(0);
    frame_rate_ = request_.output.frame_rate;
    in_packet_.reset(av_packet_alloc());
    out_packet_.reset(av_packet_alloc());
    video_.decoded.reset(av_frame_alloc());
    audio_.decoded.reset(av_frame_alloc());
    for (file_index_ = 0; file_index_ < file_count_; ++file_index_) {
        progress_.current_file.store(file_index_);
        if (Cancelled()) break;
        ProcessFile(file_index_);
    }
    progress_.current_file.store(file_index_);

    // A stopped job still gets its trailer, so that what was converted up to the stop plays.
    if (header_written_) FinishOutput();
    file_.Discard();
}

void ConversionRun::ProcessFile(int i) {
    // Nothing may reach an output whose header the first file never wrote.
    bool ready = (i == 0 || header_written_ || Refuse("the output was not started")) && OpenInputFile(i) &&
                 PrepareOutput(i);
    if (ready) {
        if (i > 0 && Merge() && Reencode()) {
            // The joint: a previous file whose audio ran longer moves the pictures on (to the nearest
            // frame); silence fills the sound up to where the next pictures start.
            double gap_frames = (AudioClock() - VideoClock()) / av_q2d(video_.frame_tb);
            video_.merge_gap_frames = video_.out && gap_frames > 0 ? std::llround(gap_frames) : 0;
            PadAudioToVideo();
        }
        in_.input_start_s = media::StartSeconds(in_.format());
        const double start_s = std::max(0.0, request_.inputs[i].start_s);
        if (!Merge()) {
            in_.range_to_end = RangeRunsToEnd(request_.inputs[i], in_.format()->duration);
            // A cut's first output picture is the one at the start of its range, on the file's own
            // clock (its start time included).
            in_.range_start_s = in_.input_start_s + start_s;
            in_.picture_origin_s = in_.range_start_s;
            in_.picture_base = 0;
            in_.picture_origin_known = true;
            if (start_s > 0) SeekToRangeStart();
        }
        if (PacketCopying()) {
            copy_.BeginFile(in_.video, in_.audio, video_.out, audio_.out, in_.range_start_s,
                            in_.range_start_s + RangeLength(i), Merge());
            copy_.SetKeyFramePrefix(std::move(in_.parameter_sets));
            in_.parameter_sets.clear();
            if (exact_ && i == 0) {
                if (int error = exact_->Begin(&copy_, in_.range_start_s, in_.range_start_s + RangeLength(i));
                    error < 0) {
                    Fail("could not open the video decoder", error);
                    in_.leave_loop = true;
                }
            }
        }
        PacketLoop(i);
        if (PacketCopying()) {
            if (exact_ && !in_.leave_loop)
                if (int error = exact_->End(muxer_.get()); error < 0)
                    FailWrite("could not cut the video exactly", error);
            if (int error = copy_.EndFile(muxer_.get()); error < 0)
                FailWrite("could not write a packet", error);
        }
        // Pictures the decoder still holds are part of the file (a failed write ends that too).
        if (Reencode() && in_.video && video_.out && !in_.leave_loop) DecodeVideo(nullptr);
        if (Reencode() && in_.audio_decoder() && audio_.out) {
            DecodeAudio(nullptr);
            FlushResampler();
        }
        // A cut that gives any of its output streams nothing (no picture, no sound) fails and leaves
        // no file: the range lies beyond what the file really holds.
        bool no_picture =
            PacketCopying() ? !copy_.WrotePicture() : in_.video && video_.out && in_.pictures_sent == 0;
        bool no_sound =
            in_.audio && audio_.out && (PacketCopying() ? !copy_.WroteSound() : in_.cut_audio_samples == 0);
        if (!Merge() && (no_picture || no_sound) && !Cancelled()) {
            Fail(no_picture ? "the range holds no picture" : "the range holds no sound");
            discard_output_ = true;
        }
        if (PacketCopying() && (copy_.WroteSound() || (in_.video && copy_.WrotePicture())))
            wrote_media_ = true;
    } else if (!Cancelled()) {
        progress_.Fail(i, in_.refusal);
    }
    // The output is completed after the last file (or at a stop), whatever became of that file, so
    // that what the earlier files wrote stays playable.
    if ((i == file_count_ - 1 || Cancelled()) && header_written_) FinishOutput();
    ReleaseFile();
    if (Cancelled()) return;
    if (progress_.file_status[i].load() != JOB_FILE_FAILED) {
        // A finished job shows all of it done, whatever the clocks' last rounding.
        if (i == file_count_ - 1) progress_.percent.store(100);
        progress_.file_status[i].store(JOB_FILE_DONE);
    }
}

bool ConversionRun::OpenInputFile(int i) {
    if (Cancelled()) return false;
    media::InputOptions options;
    options.video_decoder = !request_.audio_only;
    // Only a re-encoding job decodes every picture; a copy just proves that a decoder exists.
    options.video_threads = Reencode() ? "auto" : "1";
    // Stop and Ctrl-C end a job that waits on its input.
    options.interrupt = {[](void* cancel) { return static_cast<std::atomic<bool>*>(cancel)->load() ? 1 : 0; },
                         &progress_.cancel_requested};
    in_.input = media::OpenInput(request_.inputs[i].path, options);
    if (!in_.input.ok()) {
        in_.refusal = in_.input.failure;
        return false;
    }
    if (!request_.audio_only) in_.video = in_.input.video;
    in_.audio = in_.input.audio;
    // Without a decoder the audio cannot be re-encoded; a copy needs no decoder.
    if (!in_.audio_decoder() && Reencode()) in_.audio = nullptr;

    if (in_.video) {
        ProbeResult rate;
        in_.video->r_frame_rate = ApplyFrameRateRule(rate, in_.video->r_frame_rate);
    }
    return true;
}

bool ConversionRun::PrepareOutput(int i) {
    const AVOutputFormat* format = request_.output_format.empty()
                                       ? av_guess_format(nullptr, request_.output_path.c_str(), nullptr)
                                       : av_guess_format(request_.output_format.c_str(), nullptr, nullptr);
    if (!format) return Refuse("no container is known for the output's extension");
    if (i == 0) {
        AVFormatContext* raw = nullptr;
        int error = avformat_alloc_output_context2(&raw, format, nullptr, request_.output_path.c_str());
        if (error < 0) return Refuse("could not set up the output", error);
        muxer_.reset(raw);
    }
    if (in_.video) {
        // A later file cannot add a video stream to an output that was made without one.
        if (i > 0 && !video_.out) return Refuse("the output has no video stream for this file's video");
        if (i == 0 && !SetUpVideoStream()) return false;
        if (i > 0 && !Reencode()) PrepareParameterSets();
    }
    if (in_.audio) {
        if (i > 0 && !audio_.out) return Refuse("the output has no audio stream for this file's audio");
        if (i == 0 && !SetUpAudioStream()) return false;
    }
    if (i == 0 && !OpenOutputFile()) return false;
    return true;
}

bool ConversionRun::SetUpVideoStream() {
    video_.out = avformat_new_stream(muxer_.get(), nullptr);
    if (!video_.out) return Refuse("could not add the video stream", AVERROR(ENOMEM));
    AVRational rate = in_.video->r_frame_rate;
    if (!Valid(rate)) rate = in_.video->avg_frame_rate;
    AVRational frame_tb = Valid(rate) ? Inverse(rate) : kDefaultFrameDuration;

    if (!Reencode()) {
        if (int error = avcodec_parameters_copy(video_.out->codecpar, in_.video->codecpar); error < 0)
            return Refuse("could not copy the video parameters", error);
        video_.out->codecpar->codec_tag = 0;
        if (video_.out->codecpar->bit_rate == 0) video_.out->codecpar->bit_rate = 3000000;
        // Copied packets keep their own time stamps: the input's time base holds them exactly.
        video_.out->time_base = in_.video->time_base;
        video_.out->r_frame_rate = in_.video->r_frame_rate;
        video_.out->avg_frame_rate = in_.video->avg_frame_rate;
        video_.frame_tb = frame_tb;
        if (request_.exact && !Merge()) {
            exact_ = std::make_unique<ExactCut>();
            const bool global_header = muxer_->oformat->flags & AVFMT_GLOBALHEADER;
            if (exact_->Prepare(in_.video, global_header, video_.out->codecpar) != ExactCutRefusal::kNone)
                return Refuse("the video cannot be cut exactly");
        }
        return true;
    }

    if (frame_rate_.num == 0) {
        // The input's rate counts in whole frames per second here (29.97 selects 29).
        if (rate.den != 0) frame_rate_ = AVRational{rate.num / rate.den, 1};
        if (request_.output.video_codec_id == AV_CODEC_ID_MPEG4) {
            if (rate.num == 982057 && rate.den == 32768) frame_tb = AVRational{100, 2997};
            if (rate.num == 785645 && rate.den == 32768) frame_tb = AVRational{1001, 24000};
        }
    }
    EncoderTimeBaseForRate(frame_rate_, &frame_tb);
    av_reduce(&frame_tb.num, &frame_tb.den, frame_tb.num, frame_tb.den, INT32_MAX);

    auto id = static_cast<AVCodecID>(request_.output.video_codec_id);
    const AVCodec* encoder = IsVideoPresetCodec(id) ? avcodec_find_encoder(id) : nullptr;
    if (!encoder) return Refuse("no encoder for the output's video codec", AVERROR_ENCODER_NOT_FOUND);
    video_.encoder.reset(avcodec_alloc_context3(encoder));
    AVCodecContext* enc = video_.encoder.get();
    if (!enc) return Refuse("could not set up the video encoder", AVERROR(ENOMEM));
    const OutputParameters& out = request_.output;
    enc->bit_rate = out.video_bit_rate > 0 ? out.video_bit_rate : 3000000;
    enc->width = out.width > 0 ? out.width : in_.video_decoder()->width;
    enc->height = out.height > 0 ? out.height : in_.video_decoder()->height;
    // Every preset codec wants even frame sides in 4:2:0.
    enc->width &= ~1;
    enc->height &= ~1;
    enc->time_base = frame_tb;
    enc->framerate = Inverse(frame_tb);
    enc->gop_size = in_.video_decoder()->gop_size;
    enc->pix_fmt = AV_PIX_FMT_YUV420P;
    enc->sample_aspect_ratio = AVRational{1, 1};
    if (muxer_->oformat->flags & AVFMT_GLOBALHEADER) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (id == AV_CODEC_ID_H264) {
        enc->me_range = 16;
        enc->max_qdiff = 4;
        enc->qmin = 10;
        enc->qmax = 51;
        enc->qcompress = 0.6f;
        enc->keyint_min = 25;
    }
    AVDictionary* opts = nullptr;
    av_dict_set(&opts, "preset", "superfast", 0);
    av_dict_set(&opts, "threads", "2", 0);
    int rc = avcodec_open2(enc, encoder, &opts);
    av_dict_free(&opts);
    if (rc < 0) return Refuse("could not open the video encoder", rc);
    if ((rc = avcodec_parameters_from_context(video_.out->codecpar, enc)) < 0)
        return Refuse("could not set up the video stream", rc);
    video_.out->time_base = enc->time_base;
    video_.out->r_frame_rate = video_.out->avg_frame_rate = enc->framerate;
    video_.frame_tb = enc->time_base;

    video_.picture.reset(av_frame_alloc());
    if (!video_.picture) return Refuse("out of memory", AVERROR(ENOMEM));
    video_.picture->format = AV_PIX_FMT_YUV420P;
    video_.picture->width = enc->width;
    video_.picture->height = enc->height;
    if ((rc = av_frame_get_buffer(video_.picture.get(), 0)) < 0)
        return Refuse("could not get a picture buffer", rc);
    return true;
}

bool ConversionRun::SetUpAudioStream() {
    audio_.out = avformat_new_stream(muxer_.get(), nullptr);
    if (!audio_.out) return Refuse("could not add the audio stream", AVERROR(ENOMEM));
    const AVCodecParameters* in = in_.audio->codecpar;
    const OutputParameters& out = request_.output;

    if (!Reencode()) {
        if (int error = avcodec_parameters_copy(audio_.out->codecpar, in); error < 0)
            return Refuse("could not copy the audio parameters", error);
        AVCodecParameters* par = audio_.out->codecpar;
        par->codec_tag = 0;
        if (par->block_align == 1 && par->codec_id == AV_CODEC_ID_MP3) par->block_align = 0;
        if (par->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&par->ch_layout, par->ch_layout.nb_channels);
        audio_.rate = par->sample_rate > 0 ? par->sample_rate : 44100;
        audio_.out->time_base = AVRational{1, audio_.rate};
        return true;
    }

    auto id = static_cast<AVCodecID>(out.audio_codec_id);
    const AVCodec* encoder = id != AV_CODEC_ID_NONE ? FindAudioEncoder(id) : nullptr;
    if (!encoder || encoder->type != AVMEDIA_TYPE_AUDIO)
        return Refuse("no encoder for the output's audio codec", AVERROR_ENCODER_NOT_FOUND);
    audio_.encoder.reset(avcodec_alloc_context3(encoder));
    AVCodecContext* enc = audio_.encoder.get();
    if (!enc) return Refuse("could not set up the audio encoder", AVERROR(ENOMEM));

    enc->sample_fmt = ChooseSampleFormat(encoder, WantedSampleFormat(id));
    int channels = out.channels > 0 ? out.channels : in_.audio_decoder()->ch_layout.nb_channels;
    // Planar output carries at most two channels.
    if (av_sample_fmt_is_planar(enc->sample_fmt)) channels = std::min(channels, 2);
    channels = std::max(channels, 1);
    av_channel_layout_default(&enc->ch_layout, channels);
    int rate = out.sample_rate > 0 ? out.sample_rate : in_.audio_decoder()->sample_rate;
    if (encoder->supported_samplerates) rate = NearestRate(encoder->supported_samplerates, rate);
    // FLV stores MP3 (and any codec but AAC) only at 44.1 kHz and its halves.
    if (std::string(muxer_->oformat->name) == "flv" && id != AV_CODEC_ID_AAC) {
        static const int kFlvRates[] = {44100, 22050, 11025, 0};
        rate = NearestRate(kFlvRates, rate);
    }
    enc->sample_rate = rate;
    enc->time_base = AVRational{1, rate};
    enc->bit_rate = out.audio_bit_rate;
    if (id == AV_CODEC_ID_AAC && enc->bit_rate < 128000) enc->bit_rate = 128000;
    if (muxer_->oformat->flags & AVFMT_GLOBALHEADER) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (int error = avcodec_open2(enc, encoder, nullptr); error < 0)
        return Refuse("could not open the audio encoder", error);
    if (int error = avcodec_parameters_from_context(audio_.out->codecpar, enc); error < 0)
        return Refuse("could not set up the audio stream", error);
    audio_.out->time_base = enc->time_base;
    audio_.rate = rate;

    int frame_size = enc->frame_size > 0 ? enc->frame_size : kFallbackAudioFrameSize;
    audio_.frame.reset(av_frame_alloc());
    audio_.resampled.reset(av_frame_alloc());
    if (!audio_.frame || !audio_.resampled) return Refuse("out of memory", AVERROR(ENOMEM));
    audio_.frame->format = enc->sample_fmt;
    audio_.frame->sample_rate = rate;
    audio_.frame->nb_samples = frame_size;
    if (av_channel_layout_copy(&audio_.frame->ch_layout, &enc->ch_layout) < 0 ||
        av_frame_get_buffer(audio_.frame.get(), 0) < 0)
        return Refuse("could not get an audio buffer", AVERROR(ENOMEM));
    audio_.fifo.reset(av_audio_fifo_alloc(enc->sample_fmt, channels, kFifoStartSamples));
    if (!audio_.fifo) return Refuse("out of memory", AVERROR(ENOMEM));
    return true;
}

bool ConversionRun::OpenOutputFile() {
    if (muxer_->nb_streams == 0)
        return Refuse(request_.audio_only ? "the input has no sound"
                                          : "the input has neither video nor audio");
    // Written under a new temporary name and published when complete: an existing file (an input
    // among them) is never written over, and no partial file ever carries the final name.
    if (int error = file_.Open(request_.output_path); error < 0)
        return Refuse("could not create the output file", error);
    muxer_->pb = file_.io();
    if (!muxer_->pb) {
        file_.Discard();
        return Refuse("could not create the output file", AVERROR(ENOMEM));
    }
    if (int error = avformat_write_header(muxer_.get(), nullptr); error < 0) {
        muxer_->pb = nullptr;
        file_.Discard();
        return Refuse("could not write the header", error);
    }
    header_written_ = true;
    return true;
}

void ConversionRun::SeekToRangeStart() {
    if (!in_.video) {
        av_seek_frame(in_.format(), -1, media::SecondsToTicks(in_.range_start_s, AV_TIME_BASE_Q),
                      AVSEEK_FLAG_BACKWARD);
        return;
    }
    media::SeekToKeyFrame(in_.format(), in_.video,
                          media::SecondsToTicks(in_.range_start_s, in_.video->time_base), in_packet_.get(),
                          media::AfterSeek::kReadFromKeyFrame);
}

bool ConversionRun::CutRangeWritten(int i) const {
    double length = RangeLength(i);
    if (PacketCopying()) return copy_.Finished();
    bool video_done = !in_.video || !video_.out || length <= VideoClock();
    bool audio_done = !in_.audio || !audio_.out || in_.cut_audio_samples >= in_.cut_audio_cap;
    return video_done && audio_done;
}

void ConversionRun::UpdateProgress(int i) {
    double t = std::max(VideoClock(), AudioClock());
    double length = Merge() ? request_.merge_total_s : request_.inputs[i].length_s;
    int percent = 0;
    if (length > 0) percent = static_cast<int>(std::clamp(t * 100.0 / length, 0.0, 100.0));
    progress_.percent.store(percent);
}

void ConversionRun::PacketLoop(int i) {
    AVPacket* pkt = in_packet_.get();
    in_.cut_audio_cap = in_.range_to_end
                            ? std::numeric_limits<int64_t>::max()
                            : static_cast<int64_t>(std::llround(std::max(0.0, RangeLength(i)) * audio_.rate));
    while (!in_.leave_loop && av_read_frame(in_.format(), pkt) >= 0) {
        if (Cancelled()) {
            av_packet_unref(pkt);
            break;
        }
        if (!Merge() && CutRangeWritten(i)) {
            av_packet_unref(pkt);
            break;
        }
        UpdateProgress(i);
        if (PacketCopying()) {
            if (int error = exact_ ? exact_->Add(muxer_.get(), pkt) : copy_.Add(muxer_.get(), pkt);
                error < 0) {
                FailWrite("could not write a packet", error);
                in_.leave_loop = true;
            }
        } else if (in_.video && pkt->stream_index == in_.video->index && video_.out) {
            DecodeVideo(pkt);
        } else if (in_.audio && pkt->stream_index == in_.audio->index && audio_.out) {
            DecodeAudio(pkt);
        }
        av_packet_unref(pkt);
    }
    UpdateProgress(i);
}

bool ConversionRun::WriteEncoded(AVCodecContext* encoder, AVStream* stream) {
    AVPacket* pkt = out_packet_.get();
    bool ok = true;
    while (avcodec_receive_packet(encoder, pkt) == 0) {
        if (pkt->duration == 0 && encoder->codec_type == AVMEDIA_TYPE_VIDEO) pkt->duration = 1;
        if (encoder->codec_type == AVMEDIA_TYPE_AUDIO) {
            // The encoder's priming samples come out before 0. A container without negative time
            // stamps would shift every stream by that, with rounding gaps in coarse video clocks;
            // the audio starts at 0 instead.
            if (!audio_.shift_known) {
                audio_.shift_known = true;
                if (pkt->pts != AV_NOPTS_VALUE && pkt->pts < 0 &&
                    !(muxer_->oformat->flags & AVFMT_TS_NEGATIVE))
                    audio_.shift = -pkt->pts;
            }
            if (pkt->pts != AV_NOPTS_VALUE) pkt->pts += audio_.shift;
            if (pkt->dts != AV_NOPTS_VALUE) pkt->dts += audio_.shift;
        }
        av_packet_rescale_ts(pkt, encoder->time_base, stream->time_base);
        pkt->stream_index = stream->index;
        if (int error = av_interleaved_write_frame(muxer_.get(), pkt); error < 0) {
            FailWrite("could not write a packet", error);
            ok = false;
        } else {
            wrote_media_ = true;
        }
        av_packet_unref(pkt);
    }
    return ok;
}

// ---- Finishing ---------------------------------------------------------------------------------

void ConversionRun::FinishOutput() {
    if (trailer_written_) return;
    trailer_written_ = true;
    if (discard_output_) {
        // Only ever the file this run created.
        muxer_->pb = nullptr;
        file_.Discard();
        return;
    }
    bool ok = true;
    if (video_.encoder) {
        // Pictures the encoder still holds belong in the output.
        avcodec_send_frame(video_.encoder.get(), nullptr);
        ok = WriteEncoded(video_.encoder.get(), video_.out) && ok;
    }
    if (audio_.encoder) {
        ok = EncodeQueuedAudio(true) && ok;
        avcodec_send_frame(audio_.encoder.get(), nullptr);
        ok = WriteEncoded(audio_.encoder.get(), audio_.out) && ok;
    }
    if (int error = av_write_trailer(muxer_.get()); error < 0)
        FailWrite("could not write the trailer", error);
    muxer_->pb = nullptr;
    if (!ok) Fail("could not finish the output");
    if (output_broken_) {
        file_.Discard();
        return;
    }
    // A job stopped (or failed) before anything reached the output leaves no empty file behind.
    if (!wrote_media_) {
        file_.Discard();
        if (!Cancelled()) Fail("nothing was written to the output");
        return;
    }
    JobFailure published = file_.Publish();
    if (!published.step.empty()) {
        Fail(std::move(published));
        return;
    }
    progress_.SetPublishedPath(file_.published_path());
}

void ConversionRun::ReleaseFile() { in_ = {}; }

}  // namespace engine

void RunConvertJob(const JobRequest& request, JobProgress& progress) {
    engine::ConversionRun run(request, progress);
    run.Run();
}
