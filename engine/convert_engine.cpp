#include "engine/convert_engine.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/conversion_run.h"
#include "engine/presets.h"
#include "engine/probe.h"

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
    job_.file_count = std::clamp(job_.file_count, 0, MAX_JOB_FILES);
    for (int i = 0; i < job_.file_count; ++i) job_.file_status[i].store(JOB_FILE_PENDING);
    job_.percent.store(0);
    job_.picture_frame = nullptr;
    job_.decoded_frame = nullptr;
    in_packet_.reset(av_packet_alloc());
    out_packet_.reset(av_packet_alloc());
    decoded_video_.reset(av_frame_alloc());
    decoded_audio_.reset(av_frame_alloc());
    job_.input_packet = in_packet_.get();
    job_.current_file.store(0);
    job_.merge_video_pts = 0;

    while (job_.current_file.load() < job_.file_count) {
        if (Cancelled()) break;
        ProcessFile(job_.current_file.load());
        job_.current_file.fetch_add(1);
    }

    // A job stopped before its last file keeps an output without trailer; only the objects go.
    file_.Close();
    job_.output_format = nullptr;
    job_.output_video_stream = job_.output_audio_stream = nullptr;
    job_.video_encoder_context = job_.audio_encoder_context = nullptr;
    job_.picture_frame = job_.decoded_frame = nullptr;
    job_.scaler = nullptr;
    job_.resampler = nullptr;
    job_.audio_fifos = {};
    job_.input_packet = nullptr;
    av_channel_layout_uninit(&resampler_in_layout_);
}

void ConversionRun::ProcessFile(int i) {
    leave_loop_ = false;
    seen_key_frame_ = false;
    audio_copy_origin_known_ = false;
    cut_audio_samples_ = 0;
    job_.input_start_time = 0;
    job_.video_stream_index = job_.audio_stream_index = -1;

    // Nothing may reach an output whose header the first file never wrote.
    bool ready = (i == 0 || header_written_) && OpenInputFile(i) && PrepareOutput(i);
    if (ready) {
        if (i > 0 && job_.merge_mode && job_.reencode) {
            // The joint: a previous file whose audio ran longer moves the pictures on; one whose
            // video ran longer is followed by silence.
            double gap_s = AudioClock() - VideoClock();
            merge_gap_frames_ =
                (out_video_ && gap_s > 0) ? static_cast<int64_t>(gap_s / av_q2d(video_frame_tb_)) : 0;
            PadAudioToVideo();
        }
        job_.input_start_time = input_->start_time == AV_NOPTS_VALUE ? 0.0 : input_->start_time / 1000000.0;
        picture_origin_known_ = false;
        if (!job_.merge_mode) {
            // A cut's first output picture is the one at the start of its range.
            picture_origin_s_ = job_.input_start_time + std::max(0.0, job_.range_start_s[i]);
            picture_base_ = 0;
            picture_origin_known_ = true;
            if (job_.range_start_s[i] > 0) SeekToRangeStart(i);
        }
        PacketLoop(i);
        // Pictures the decoder still holds are part of the file (a failed write ends that too).
        if (job_.reencode && in_video_ && out_video_ && !leave_loop_) DecodeVideo(nullptr);
        if (job_.reencode && audio_decoder_ && out_audio_) {
            DecodeAudio(nullptr);
            FlushResampler();
        }
    } else if (!Cancelled()) {
        Fail();
    }
    // The output is completed after the last file, whatever became of that file, so that what the
    // earlier files wrote stays playable.
    if (i == job_.file_count - 1 && header_written_) FinishOutput();
    ReleaseFile();
    if (Cancelled()) return;
    if (job_.file_status[i].load() != JOB_FILE_FAILED) job_.file_status[i].store(JOB_FILE_DONE);
}

bool ConversionRun::OpenInputFile(int i) {
    if (Cancelled()) return false;
    if (static_cast<size_t>(i) >= job_.input_paths.size() ||
        static_cast<size_t>(i) >= job_.output_paths.size())
        return false;
    input_ = OpenInput(job_.input_paths[i].c_str());
    if (!input_) return false;
    job_.input_format = input_.get();
    if (avformat_find_stream_info(input_.get(), nullptr) < 0) return false;

    for (job_.stream_loop_index = 0; job_.stream_loop_index < input_->nb_streams; ++job_.stream_loop_index) {
        AVMediaType type = input_->streams[job_.stream_loop_index]->codecpar->codec_type;
        if (type == AVMEDIA_TYPE_VIDEO)
            job_.video_stream_index = static_cast<int32_t>(job_.stream_loop_index);
        if (type == AVMEDIA_TYPE_AUDIO)
            job_.audio_stream_index = static_cast<int32_t>(job_.stream_loop_index);
    }
    if (job_.video_stream_index >= 0 && !job_.audio_only) {
        in_video_ = input_->streams[job_.video_stream_index];
        AVDictionary* opts = nullptr;
        // Only a re-encoding job decodes every picture; a copy just proves that a decoder exists.
        av_dict_set(&opts, "threads", job_.reencode ? "auto" : "1", 0);
        video_decoder_ = OpenDecoder(in_video_, &opts);
        av_dict_free(&opts);
        if (!video_decoder_) return false;
        job_.video_decoder_context = video_decoder_.get();
        job_.video_decoder = video_decoder_->codec;
    }
    if (job_.audio_stream_index >= 0) {
        in_audio_ = input_->streams[job_.audio_stream_index];
        audio_decoder_ = OpenDecoder(in_audio_);
        job_.audio_decoder_context = audio_decoder_.get();
        job_.audio_decoder = audio_decoder_ ? audio_decoder_->codec : nullptr;
        // Without a decoder the audio cannot be re-encoded; a copy needs no decoder.
        if (!audio_decoder_ && job_.reencode) in_audio_ = nullptr;
    }

    job_.duration_us = input_->duration;
    if (in_video_) {
        job_.input_height = in_video_->codecpar->height;
        job_.input_width = in_video_->codecpar->width;
        in_video_->r_frame_rate = ApplyFrameRateRule(job_, in_video_->r_frame_rate);
    }
    job_.range_start_us = 0;
    job_.range_end_us = input_->duration;
    return true;
}

bool ConversionRun::PrepareOutput(int i) {
    job_.output_format_guess = job_.output_format_name.empty()
                                   ? av_guess_format(nullptr, job_.output_paths[i].c_str(), nullptr)
                                   : av_guess_format(job_.output_format_name.c_str(), nullptr, nullptr);
    if (!job_.output_format_guess) return false;
    if (i == 0) {
        AVFormatContext* raw = nullptr;
        if (avformat_alloc_output_context2(&raw, job_.output_format_guess, nullptr,
                                           job_.output_paths[0].c_str()) < 0)
            return false;
        muxer_.reset(raw);
        job_.output_format = raw;
    }
    if (in_video_) {
        // A later file cannot add a video stream to an output that was made without one.
        if (i > 0 && !out_video_) return false;
        if (i == 0 && !SetUpVideoStream()) return false;
        if (i > 0 && !job_.reencode) PrepareParameterSets();
    }
    if (in_audio_) {
        if (i > 0 && !out_audio_) return false;
        if (i == 0 && !SetUpAudioStream()) return false;
    }
    if (i == 0 && !OpenOutputFile()) return false;
    return true;
}

bool ConversionRun::SetUpVideoStream() {
    out_video_ = avformat_new_stream(muxer_.get(), nullptr);
    if (!out_video_) return false;
    job_.output_video_stream = out_video_;
    AVRational rate = in_video_->r_frame_rate;
    if (!Valid(rate)) rate = in_video_->avg_frame_rate;
    AVRational frame_tb = Valid(rate) ? Inverse(rate) : kDefaultFrameDuration;

    if (!job_.reencode) {
        if (avcodec_parameters_copy(out_video_->codecpar, in_video_->codecpar) < 0) return false;
        out_video_->codecpar->codec_tag = 0;
        if (out_video_->codecpar->bit_rate == 0) out_video_->codecpar->bit_rate = 3000000;
        out_video_->time_base = frame_tb;
        out_video_->r_frame_rate = out_video_->avg_frame_rate = Inverse(frame_tb);
        video_frame_tb_ = frame_tb;
        return true;
    }

    if (job_.output_frame_rate == 0) {
        if (rate.den != 0) job_.output_frame_rate = static_cast<double>(rate.num / rate.den);
        if (job_.output_video_codec_id == AV_CODEC_ID_MPEG4) {
            if (rate.num == 982057 && rate.den == 32768) frame_tb = AVRational{100, 2997};
            if (rate.num == 785645 && rate.den == 32768) frame_tb = AVRational{1001, 24000};
        }
    }
    EncoderTimeBaseForRate(job_.output_frame_rate, &frame_tb);
    av_reduce(&frame_tb.num, &frame_tb.den, frame_tb.num, frame_tb.den, INT32_MAX);

    auto id = static_cast<AVCodecID>(job_.output_video_codec_id);
    const AVCodec* encoder = IsVideoPresetCodec(id) ? avcodec_find_encoder(id) : nullptr;
    job_.video_encoder = encoder;
    if (!encoder) return false;
    video_encoder_.reset(avcodec_alloc_context3(encoder));
    AVCodecContext* enc = video_encoder_.get();
    if (!enc) return false;
    job_.video_encoder_context = enc;
    enc->bit_rate = job_.output_video_bit_rate > 0 ? job_.output_video_bit_rate : 3000000;
    enc->width = job_.output_width > 0 ? job_.output_width : video_decoder_->width;
    enc->height = job_.output_height > 0 ? job_.output_height : video_decoder_->height;
    // Every preset codec wants even frame sides in 4:2:0.
    enc->width &= ~1;
    enc->height &= ~1;
    enc->time_base = frame_tb;
    enc->framerate = Inverse(frame_tb);
    enc->gop_size = video_decoder_->gop_size;
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
    job_.encoder_options = opts;
    int rc = avcodec_open2(enc, encoder, &opts);
    av_dict_free(&opts);
    job_.encoder_options = nullptr;
    if (rc < 0) return false;
    if (avcodec_parameters_from_context(out_video_->codecpar, enc) < 0) return false;
    out_video_->time_base = enc->time_base;
    out_video_->r_frame_rate = out_video_->avg_frame_rate = enc->framerate;
    video_frame_tb_ = enc->time_base;

    picture_.reset(av_frame_alloc());
    if (!picture_) return false;
    picture_->format = AV_PIX_FMT_YUV420P;
    picture_->width = enc->width;
    picture_->height = enc->height;
    if (av_frame_get_buffer(picture_.get(), 0) < 0) return false;
    job_.picture_frame = picture_.get();
    job_.decoded_frame = decoded_video_.get();
    return true;
}

bool ConversionRun::SetUpAudioStream() {
    out_audio_ = avformat_new_stream(muxer_.get(), nullptr);
    if (!out_audio_) return false;
    job_.output_audio_stream = out_audio_;
    const AVCodecParameters* in = in_audio_->codecpar;

    if (!job_.reencode) {
        if (avcodec_parameters_copy(out_audio_->codecpar, in) < 0) return false;
        AVCodecParameters* par = out_audio_->codecpar;
        par->codec_tag = 0;
        if (par->block_align == 1 && par->codec_id == AV_CODEC_ID_MP3) par->block_align = 0;
        if (par->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&par->ch_layout, par->ch_layout.nb_channels);
        audio_rate_ = par->sample_rate > 0 ? par->sample_rate : 44100;
        out_audio_->time_base = AVRational{1, audio_rate_};
        return true;
    }

    auto id = static_cast<AVCodecID>(job_.output_audio_codec_id);
    const AVCodec* encoder = id != AV_CODEC_ID_NONE ? FindAudioEncoder(id) : nullptr;
    job_.audio_encoder = encoder;
    if (!encoder || encoder->type != AVMEDIA_TYPE_AUDIO) return false;
    audio_encoder_.reset(avcodec_alloc_context3(encoder));
    AVCodecContext* enc = audio_encoder_.get();
    if (!enc) return false;
    job_.audio_encoder_context = enc;

    enc->sample_fmt = ChooseSampleFormat(encoder, WantedSampleFormat(id));
    int channels = job_.output_channels > 0 ? job_.output_channels : audio_decoder_->ch_layout.nb_channels;
    // Planar output carries at most two channels.
    if (av_sample_fmt_is_planar(enc->sample_fmt)) channels = std::min(channels, 2);
    channels = std::max(channels, 1);
    av_channel_layout_default(&enc->ch_layout, channels);
    int rate = job_.output_sample_rate > 0 ? job_.output_sample_rate : audio_decoder_->sample_rate;
    if (encoder->supported_samplerates) rate = NearestRate(encoder->supported_samplerates, rate);
    // FLV stores MP3 (and any codec but AAC) only at 44.1 kHz and its halves.
    if (std::string(muxer_->oformat->name) == "flv" && id != AV_CODEC_ID_AAC) {
        static const int kFlvRates[] = {44100, 22050, 11025, 0};
        rate = NearestRate(kFlvRates, rate);
    }
    enc->sample_rate = rate;
    enc->time_base = AVRational{1, rate};
    enc->bit_rate = job_.output_audio_bit_rate;
    if (id == AV_CODEC_ID_AAC && enc->bit_rate < 128000) enc->bit_rate = 128000;
    if (muxer_->oformat->flags & AVFMT_GLOBALHEADER) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(enc, encoder, nullptr) < 0) return false;
    if (avcodec_parameters_from_context(out_audio_->codecpar, enc) < 0) return false;
    out_audio_->time_base = enc->time_base;
    audio_rate_ = rate;

    int frame_size = enc->frame_size > 0 ? enc->frame_size : kFallbackAudioFrameSize;
    encoder_audio_.reset(av_frame_alloc());
    resampled_.reset(av_frame_alloc());
    if (!encoder_audio_ || !resampled_) return false;
    encoder_audio_->format = enc->sample_fmt;
    encoder_audio_->sample_rate = rate;
    encoder_audio_->nb_samples = frame_size;
    if (av_channel_layout_copy(&encoder_audio_->ch_layout, &enc->ch_layout) < 0) return false;
    if (av_frame_get_buffer(encoder_audio_.get(), 0) < 0) return false;
    fifo_.reset(av_audio_fifo_alloc(enc->sample_fmt, channels, kFifoStartSamples));
    if (!fifo_) return false;
    job_.audio_fifos[0] = fifo_.get();
    return true;
}

bool ConversionRun::OpenOutputFile() {
    if (muxer_->nb_streams == 0) return false;
    // Created exclusively: an existing file (an input among them) is never written over.
    if (file_.Open(job_.output_paths[0]) < 0) return false;
    muxer_->pb = file_.io();
    if (avformat_write_header(muxer_.get(), nullptr) < 0) {
        muxer_->pb = nullptr;
        file_.Discard();
        return false;
    }
    header_written_ = true;
    return true;
}

void ConversionRun::SeekToRangeStart(int i) {
    job_.input_has_ts_discont = (input_->iformat->flags & AVFMT_TS_DISCONT) ? 1 : 0;
    if (!job_.input_has_ts_discont) {
        job_.range_start_s[i] += job_.input_start_time;
        auto target_us = static_cast<int64_t>(job_.range_start_s[i] * 1000000);
        job_.last_result = av_seek_frame(input_.get(), -1, target_us, AVSEEK_FLAG_BACKWARD);
        return;
    }
    int64_t size = avio_size(input_->pb);
    if (job_.duration_us <= 0 || size <= 0) return;
    job_.byte_seek_position =
        job_.range_start_s[i] / static_cast<double>(job_.duration_us) * static_cast<double>(size);
    auto target = static_cast<int64_t>(job_.byte_seek_position * 1000000);
    job_.last_result = av_seek_frame(input_.get(), -1, target, AVSEEK_FLAG_BYTE);
}

bool ConversionRun::CutRangeWritten(int i) const {
    double length = RangeLength(i);
    if (!job_.reencode) {
        // A copy ends on the video clock; without video, on the audio clock.
        if (out_video_ && in_video_) return length <= VideoClock();
        return !out_video_ && length <= AudioClock();
    }
    bool video_done = !in_video_ || !out_video_ || length <= VideoClock();
    bool audio_done = !in_audio_ || !out_audio_ || cut_audio_samples_ >= cut_audio_cap_;
    return video_done && audio_done;
}

void ConversionRun::UpdateProgress(int i) {
    if (job_.merge_mode) job_.range_length_s[i] = job_.merge_total_s;
    double t = std::max(VideoClock(), AudioClock());
    double length = RangeLength(i);
    int percent = 0;
    if (length > 0) percent = static_cast<int>(std::clamp(t * 100.0 / length, 0.0, 100.0));
    job_.percent.store(percent);
}

void ConversionRun::PacketLoop(int i) {
    AVPacket* pkt = in_packet_.get();
    cut_audio_cap_ = static_cast<int64_t>(std::llround(std::max(0.0, RangeLength(i)) * audio_rate_));
    while (!leave_loop_ && av_read_frame(input_.get(), pkt) >= 0) {
        if (Cancelled()) {
            av_packet_unref(pkt);
            break;
        }
        RefreshClocks();
        if (!job_.merge_mode && CutRangeWritten(i)) {
            av_packet_unref(pkt);
            break;
        }
        UpdateProgress(i);
        if (in_video_ && pkt->stream_index == in_video_->index && out_video_) {
            if (job_.reencode)
                DecodeVideo(pkt);
            else
                CopyVideoPacket(pkt);
        } else if (in_audio_ && pkt->stream_index == in_audio_->index && out_audio_) {
            if (job_.reencode)
                DecodeAudio(pkt);
            else
                CopyAudioPacket(pkt);
        }
        av_packet_unref(pkt);
    }
    RefreshClocks();
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
            if (!audio_shift_known_) {
                audio_shift_known_ = true;
                if (pkt->pts != AV_NOPTS_VALUE && pkt->pts < 0 &&
                    !(muxer_->oformat->flags & AVFMT_TS_NEGATIVE))
                    audio_shift_ = -pkt->pts;
            }
            if (pkt->pts != AV_NOPTS_VALUE) pkt->pts += audio_shift_;
            if (pkt->dts != AV_NOPTS_VALUE) pkt->dts += audio_shift_;
        }
        av_packet_rescale_ts(pkt, encoder->time_base, stream->time_base);
        pkt->stream_index = stream->index;
        job_.encoded_size = pkt->size;
        job_.last_result = av_interleaved_write_frame(muxer_.get(), pkt);
        if (job_.last_result < 0) ok = false;
        av_packet_unref(pkt);
    }
    return ok;
}

// ---- Finishing ---------------------------------------------------------------------------------

void ConversionRun::FinishOutput() {
    if (trailer_written_) return;
    bool ok = true;
    if (video_encoder_) {
        // Pictures the encoder still holds belong in the output.
        avcodec_send_frame(video_encoder_.get(), nullptr);
        ok = WriteEncoded(video_encoder_.get(), out_video_) && ok;
    }
    if (audio_encoder_) {
        ok = EncodeQueuedAudio(true) && ok;
        avcodec_send_frame(audio_encoder_.get(), nullptr);
        ok = WriteEncoded(audio_encoder_.get(), out_audio_) && ok;
    }
    RefreshClocks();
    if (av_write_trailer(muxer_.get()) < 0) ok = false;
    trailer_written_ = true;
    muxer_->pb = nullptr;
    file_.Close();
    if (!ok) Fail();
}

void ConversionRun::ReleaseFile() {
    job_.video_decoder_context = job_.audio_decoder_context = nullptr;
    job_.video_decoder = job_.audio_decoder = nullptr;
    job_.input_format = nullptr;
    video_decoder_.reset();
    audio_decoder_.reset();
    input_.reset();
    in_video_ = in_audio_ = nullptr;
    job_.video_stream_index = job_.audio_stream_index = -1;
}

}  // namespace engine

void ConvertThreadProc(ConvertJob& job) {
    engine::ConversionRun run(job);
    run.Run();
}
