// Cuts as exact as each format allows without re-encoding lossy sound; the formats this file does
// not know go through the conversion run's packet copy.
#include "engine/exact_audio_cut.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/output_publish.h"
#include "media/ffmpeg_ptr.h"
#include "media/input.h"

namespace engine {

using media::MuxerPtr;
using media::PacketPtr;

namespace {

bool FormatIs(const AVFormatContext* input, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (std::strcmp(input->iformat->name, n) == 0) return true;
    return false;
}

struct ParametersFreer {
    void operator()(AVCodecParameters* p) const { avcodec_parameters_free(&p); }
};
using ParametersPtr = std::unique_ptr<AVCodecParameters, ParametersFreer>;

bool IsPcmOrAdpcm(AVCodecID id) { return id >= AV_CODEC_ID_PCM_S16LE && id < AV_CODEC_ID_AMR_NB; }

}  // namespace

CutSamples CutRange(const JobInput& input, int rate, bool to_end) {
    const double start_s = std::max(0.0, input.start_s);
    return {std::llround(start_s * rate), std::llround((start_s + input.length_s) * rate), to_end};
}

int32_t CutSamples::Percent(int64_t done) const {
    return end > start ? static_cast<int32_t>(std::clamp<int64_t>(done * 100 / (end - start), 0, 100)) : 100;
}

void EndCut(JobProgress& progress, const char* step, int error) {
    if (step) {
        progress.Fail(0, {step, error});
    } else if (!progress.cancel_requested.load()) {
        progress.percent.store(100);
        progress.file_status[0].store(JOB_FILE_DONE);
    }
    progress.current_file.store(1);
}

namespace {

// One cut's output: a muxer over an exclusively created file, made when the first packet is ready so
// that a range without sound leaves nothing behind.
class CutOutput {
  public:
    CutOutput(const JobRequest& request) : request_(request) {}
    ~CutOutput() {
        if (muxer_) muxer_->pb = nullptr;
    }
    // The output stream, set up from `in` (time base: `tb`). Returns 0 or an FFmpeg error, *step
    // saying which step failed.
    int Start(const AVCodecParameters* in, AVRational tb, const char** step) {
        AVFormatContext* raw = nullptr;
        const char* format = request_.output_format.empty() ? nullptr : request_.output_format.c_str();
        int error = avformat_alloc_output_context2(&raw, nullptr, format, request_.output_path.c_str());
        muxer_.reset(raw);
        if (error < 0 || !raw) return *step = "no output format fits the output name", error;
        stream_ = avformat_new_stream(raw, nullptr);
        if (!stream_) return *step = "could not create the output stream", AVERROR(ENOMEM);
        if ((error = avcodec_parameters_copy(stream_->codecpar, in)) < 0)
            return *step = "could not create the output stream", error;
        stream_->codecpar->codec_tag = 0;
        stream_->time_base = tb;
        if ((error = file_.Open(request_.output_path)) < 0)
            return *step = "could not create the output file", error;
        raw->pb = file_.io();
        if (!raw->pb) return *step = "could not create the output file", AVERROR(ENOMEM);
        if ((error = avformat_write_header(raw, nullptr)) < 0) {
            raw->pb = nullptr;
            file_.Discard();
            return *step = "could not write the header", error;
        }
        started_ = true;
        return 0;
    }
    bool started() const { return started_; }
    AVStream* stream() const { return stream_; }
    AVFormatContext* muxer() const { return muxer_.get(); }
    // Writes the trailer and publishes the file under its final name; on an error the file is removed.
    JobFailure Finish() {
        int error = av_write_trailer(muxer_.get());
        muxer_->pb = nullptr;
        if (error < 0) {
            file_.Discard();
            return {"could not write the trailer", error};
        }
        return file_.Publish();
    }
    const std::string& published_path() const { return file_.published_path(); }
    void Discard() {
        if (muxer_) muxer_->pb = nullptr;
        file_.Discard();
    }
    // Ends the job: after a failed step the file is removed, a range without sound made none, else
    // the file is finished.
    void End(JobProgress& progress, const char* step, int error) {
        if (step) {
            Discard();
            return EndCut(progress, step, error);
        }
        if (!started_) return EndCut(progress, "the range holds no sound", 0);
        const JobFailure finished = Finish();
        if (finished.failed()) return EndCut(progress, finished.step.c_str(), finished.error);
        progress.SetPublishedPath(file_.published_path());
        EndCut(progress, nullptr, 0);
    }

  private:
    const JobRequest& request_;
    MuxerPtr muxer_;
    PublishedOutput file_;
    AVStream* stream_ = nullptr;
    bool started_ = false;
};

// PCM and ADPCM: packets are whole blocks of `block_align` bytes (one sample frame for PCM); the cut
// splits packets between blocks, keeping each block whose middle lies in the range, so its length is
// exact for PCM and within one block for ADPCM.
void BlockCut(const JobRequest& request, const CutSamples& range, AVFormatContext* input, AVStream* st,
              JobProgress& progress) {
    const AVCodecParameters* par = st->codecpar;
    const int block = par->block_align;
    const int64_t block_samples = av_get_audio_frame_duration2(const_cast<AVCodecParameters*>(par), block);
    const AVRational sample_tb{1, par->sample_rate};
    const int64_t origin = st->start_time == AV_NOPTS_VALUE ? 0 : st->start_time;
    const int64_t start = range.start;
    const int64_t end = range.Stop();
    if (range.end <= start) return EndCut(progress, "the range holds no sound", 0);
    if (start > 0)
        av_seek_frame(input, st->index, origin + av_rescale_q(start, sample_tb, st->time_base),
                      AVSEEK_FLAG_BACKWARD);

    CutOutput out(request);
    PacketPtr pkt(av_packet_alloc());
    PacketPtr piece(av_packet_alloc());
    int64_t written = 0;
    const char* step = nullptr;
    int error = 0;
    bool past_end = false;
    while (!past_end && !progress.cancel_requested.load() && av_read_frame(input, pkt.get()) >= 0) {
        if (pkt->stream_index != st->index || pkt->size < block) {
            av_packet_unref(pkt.get());
            continue;
        }
        int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
        int64_t first_sample = av_rescale_q(ts - origin, st->time_base, sample_tb);
        int blocks = pkt->size / block;
        int keep_from = -1, keep_to = -1;
        for (int b = 0; b < blocks; ++b) {
            int64_t middle2 = 2 * (first_sample + b * block_samples) + block_samples;  // twice the middle
            if (middle2 / 2 >= end) {
                past_end = true;
                break;
            }
            if (middle2 < 2 * start) continue;
            if (keep_from < 0) keep_from = b;
            keep_to = b + 1;
        }
        if (keep_from >= 0) {
            if (!out.started() && (error = out.Start(par, sample_tb, &step)) < 0) break;
            av_packet_unref(piece.get());
            piece->data = pkt->data + keep_from * block;
            piece->size = (keep_to - keep_from) * block;
            piece->pts = piece->dts = written;
            piece->duration = (keep_to - keep_from) * block_samples;
            piece->stream_index = out.stream()->index;
            piece->flags = AV_PKT_FLAG_KEY;
            written += piece->duration;
            if ((error = av_write_frame(out.muxer(), piece.get())) < 0) {
                step = "could not write a packet";
                break;
            }
            progress.percent.store(range.Percent(written));
        }
        av_packet_unref(pkt.get());
    }
    piece->data = nullptr;
    piece->size = 0;
    out.End(progress, step, error);
}

// Frames of a codec whose decoder needs the frames before the start (AAC in MP4, Opus in Ogg): the
// packets from `preroll` samples before the start on are copied with time stamps counted from the
// start, so the first ones are negative, and the container trims what lies before zero: an MP4
// muxer writes an edit list, Opus gets the pre-skip. Opus ends at the sample through the last
// packet's granule position; AAC ends with the frame that holds the range's end.
void PrerollCut(const JobRequest& request, bool to_end, AVFormatContext* input, AVStream* st, int64_t preroll,
                JobProgress& progress) {
    const AVCodecParameters* par = st->codecpar;
    const bool opus = par->codec_id == AV_CODEC_ID_OPUS;
    const int rate = opus ? 48000 : par->sample_rate;
    const AVRational sample_tb{1, rate};
    const CutSamples range = CutRange(request.inputs[0], rate, to_end);
    const int64_t start = range.start;
    const int64_t end = range.Stop();
    if (range.end <= start) return EndCut(progress, "the range holds no sound", 0);
    av_seek_frame(input, st->index, av_rescale_q(start - preroll, sample_tb, st->time_base),
                  AVSEEK_FLAG_BACKWARD);

    CutOutput out(request);
    PacketPtr pkt(av_packet_alloc());
    const char* step = nullptr;
    int error = 0;
    while (!progress.cancel_requested.load() && av_read_frame(input, pkt.get()) >= 0) {
        if (pkt->stream_index != st->index || pkt->pts == AV_NOPTS_VALUE) {
            av_packet_unref(pkt.get());
            continue;
        }
        const int64_t from = av_rescale_q(pkt->pts, st->time_base, sample_tb);
        const int64_t to = from + av_rescale_q(pkt->duration, st->time_base, sample_tb);
        if (from >= end) break;
        if (to <= start - preroll) {
            av_packet_unref(pkt.get());
            continue;
        }
        if (!out.started()) {
            // The samples to drop before the start: what the copied frames hold ahead of it.
            ParametersPtr copy(avcodec_parameters_alloc());
            avcodec_parameters_copy(copy.get(), par);
            if (opus && copy->extradata_size >= 12) {
                const int64_t skip = std::clamp<int64_t>(start - from, 0, 65535);
                copy->extradata[10] = static_cast<uint8_t>(skip);
                copy->extradata[11] = static_cast<uint8_t>(skip >> 8);
                copy->initial_padding = static_cast<int>(skip);
            }
            if ((error = out.Start(copy.get(), sample_tb, &step)) < 0) break;
        }
        av_packet_rescale_ts(pkt.get(), st->time_base, sample_tb);
        pkt->pts = pkt->dts = from - start;
        // Opus ends where the range ends: the muxer's granule position counts to the packet's end.
        if (opus && to > end) pkt->duration = end - from;
        pkt->stream_index = out.stream()->index;
        pkt->pos = -1;
        if ((error = av_write_frame(out.muxer(), pkt.get())) < 0) {
            step = "could not write a packet";
            break;
        }
        progress.percent.store(range.Percent(to - start));
        av_packet_unref(pkt.get());
    }
    out.End(progress, step, error);
}

}  // namespace

bool RunExactAudioCut(const JobRequest& request, JobProgress& progress) {
    if (request.merge || request.reencode || request.inputs.size() != 1 || request.output_path.empty())
        return false;
    media::InputOptions options;
    options.video_decoder = options.audio_decoder = false;
    media::Input opened = media::OpenInput(request.inputs[0].path, options);
    AVStream* audio = opened.audio;
    if (!opened.ok() || !audio) return false;
    media::InputFormatPtr& input = opened.format;
    const AVCodecParameters* par = audio->codecpar;
    const bool same_container = request.output_format.empty();
    const bool to_end = RangeRunsToEnd(request.inputs[0], input->duration);

    if (same_container && par->codec_id == AV_CODEC_ID_MP3 && FormatIs(input.get(), {"mp3"})) {
        input.reset();
        return RunMp3Cut(request, to_end, progress);
    }
    if (same_container && IsPcmOrAdpcm(par->codec_id) && par->block_align > 0 && par->sample_rate > 0 &&
        FormatIs(input.get(), {"wav", "aiff", "au"}) &&
        av_get_audio_frame_duration2(const_cast<AVCodecParameters*>(par), par->block_align) > 0) {
        progress.current_file.store(0);
        progress.percent.store(0);
        BlockCut(request, CutRange(request.inputs[0], par->sample_rate, to_end), input.get(), audio,
                 progress);
        return true;
    }
    if (same_container && par->codec_id == AV_CODEC_ID_VORBIS && FormatIs(input.get(), {"ogg"})) {
        input.reset();
        return RunVorbisCut(request, to_end, progress);
    }
    if (same_container && par->codec_id == AV_CODEC_ID_FLAC && FormatIs(input.get(), {"flac"})) {
        input.reset();
        return RunFlacCut(request, to_end, progress);
    }
    // AAC needs the frame before the start for its overlap; Opus predicts each frame's energy from
    // the frames before, so its decoder needs a quarter of a second to settle.
    const int64_t preroll = par->codec_id == AV_CODEC_ID_AAC ? 1024 : 12000;
    if (same_container &&
        ((par->codec_id == AV_CODEC_ID_AAC && FormatIs(input.get(), {"mov,mp4,m4a,3gp,3g2,mj2"})) ||
         (par->codec_id == AV_CODEC_ID_OPUS && FormatIs(input.get(), {"ogg"})))) {
        progress.current_file.store(0);
        progress.percent.store(0);
        PrerollCut(request, to_end, input.get(), audio, preroll, progress);
        return true;
    }
    return false;
}

}  // namespace engine
