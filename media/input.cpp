#include "media/input.h"

#include <sys/stat.h>

#include <cerrno>

namespace media {

namespace {

const char* KindName(const AVStream* stream) {
    return stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO ? "video" : "audio";
}

}  // namespace

CodecContextPtr OpenDecoder(const AVStream* stream, const char* threads, Failure* failure) {
    const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!decoder) {
        *failure = {std::string("no decoder for the ") + KindName(stream), AVERROR_DECODER_NOT_FOUND};
        return nullptr;
    }
    CodecContextPtr ctx(avcodec_alloc_context3(decoder));
    if (!ctx) {
        *failure = {std::string("could not set up the ") + KindName(stream) + " decoder", AVERROR(ENOMEM)};
        return nullptr;
    }
    if (int rc = avcodec_parameters_to_context(ctx.get(), stream->codecpar); rc < 0) {
        *failure = {std::string("could not set up the ") + KindName(stream) + " decoder", rc};
        return nullptr;
    }
    ctx->pkt_timebase = stream->time_base;
    AVDictionary* options = nullptr;
    if (threads) av_dict_set(&options, "threads", threads, 0);
    int rc = avcodec_open2(ctx.get(), decoder, &options);
    av_dict_free(&options);
    if (rc < 0) {
        *failure = {std::string("could not open the ") + KindName(stream) + " decoder", rc};
        return nullptr;
    }
    return ctx;
}

Input OpenInput(const std::string& path, const InputOptions& options) {
    Input in;
    // stat, not open: opening a FIFO waits for a writer, a device may never answer.
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        in.failure = {"could not open the input", AVERROR(errno)};
        return in;
    }
    if (!S_ISREG(st.st_mode)) {
        in.failure = {"the input is not a regular file", S_ISDIR(st.st_mode) ? AVERROR(EISDIR) : 0};
        return in;
    }

    AVFormatContext* ctx = avformat_alloc_context();
    if (!ctx) {
        in.failure = {"could not open the input", AVERROR(ENOMEM)};
        return in;
    }
    ctx->interrupt_callback = options.interrupt;
    // Only the file protocol, also for whatever the demuxer opens itself (a playlist's entries).
    AVDictionary* format_options = nullptr;
    av_dict_set(&format_options, "protocol_whitelist", "file", 0);
    // As the ffmpeg tools open inputs. Without it an MPEG-TS stream whose frames each have a packet
    // of their own keeps the stream type's guess "mp3" where the frames are MP2.
    av_dict_set(&format_options, "scan_all_pmts", "1", 0);
    const std::string url = "file:" + path;
    int rc = avformat_open_input(&ctx, url.c_str(), nullptr, &format_options);  // frees ctx on failure
    av_dict_free(&format_options);
    if (rc < 0) {
        in.failure = {"could not open the input", rc};
        return in;
    }
    in.format.reset(ctx);
    if ((rc = avformat_find_stream_info(ctx, nullptr)) < 0) {
        in.failure = {"could not read the input's streams", rc};
        return in;
    }

    for (unsigned s = 0; s < ctx->nb_streams; ++s) {
        AVMediaType type = ctx->streams[s]->codecpar->codec_type;
        if (type == AVMEDIA_TYPE_VIDEO) in.video = ctx->streams[s];
        if (type == AVMEDIA_TYPE_AUDIO) in.audio = ctx->streams[s];
    }
    if (in.video && options.video_decoder) {
        in.video_decoder = OpenDecoder(in.video, options.video_threads, &in.failure);
        if (!in.video_decoder) return in;
    }
    if (in.audio && options.audio_decoder) {
        Failure ignored;
        in.audio_decoder = OpenDecoder(in.audio, nullptr, &ignored);
    }
    return in;
}

}  // namespace media
