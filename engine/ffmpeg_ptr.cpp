#include "engine/ffmpeg_ptr.h"

namespace engine {

InputFormatPtr OpenInput(const char* path, int* error) {
    AVFormatContext* ctx = nullptr;
    int rc = avformat_open_input(&ctx, path, nullptr, nullptr);
    if (error) *error = rc;
    if (rc != 0) return nullptr;
    return InputFormatPtr(ctx);
}

CodecContextPtr OpenDecoder(const AVStream* stream, AVDictionary** options, int* error) {
    const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!decoder) {
        if (error) *error = -4;
        return nullptr;
    }
    CodecContextPtr ctx(avcodec_alloc_context3(decoder));
    if (!ctx || avcodec_parameters_to_context(ctx.get(), stream->codecpar) < 0) {
        if (error) *error = -5;
        return nullptr;
    }
    ctx->pkt_timebase = stream->time_base;
    if (avcodec_open2(ctx.get(), decoder, options) < 0) {
        if (error) *error = -5;
        return nullptr;
    }
    if (error) *error = 0;
    return ctx;
}

}  // namespace engine
