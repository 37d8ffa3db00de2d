#include "engine/probe.h"

#include "media/input.h"

AVRational ApplyFrameRateRule(ProbeResult& result, AVRational rate) {
    if (rate.den != 0) result.frame_rate = static_cast<double>(rate.num / rate.den);
    if (result.frame_rate > 1000.0) {
        rate.den = 1001;
        result.frame_rate = static_cast<double>(rate.num / 1001);
    }
    result.frame_rate_den = rate.den;
    result.frame_rate_num = rate.num;
    return rate;
}

namespace {

// The failure's code: the streams are chosen only once their information was read, so a chosen video
// stream without its decoder is where the video decoder failed.
int ProbeCode(const media::Input& input) {
    if (!input.format) return PROBE_OPEN_FAILED;
    if (!input.video || input.video_decoder) return PROBE_STREAM_INFO_FAILED;
    return input.failure.error == AVERROR_DECODER_NOT_FOUND ? PROBE_NO_VIDEO_DECODER
                                                            : PROBE_VIDEO_OPEN_FAILED;
}

}  // namespace

ProbeResult ProbeMediaFile(const std::string& path, const ProbeResult& previous) {
    // A missing or unopenable audio decoder is not an error: the file then counts as having no audio.
    media::Input input = media::OpenInput(path);
    if (!input.ok()) {
        ProbeResult failed;
        failed.result = ProbeCode(input);
        failed.failure = std::move(input.failure);
        return failed;
    }

    ProbeResult r;
    r.frame_rate = previous.frame_rate;
    r.frame_rate_num = previous.frame_rate_num;
    r.frame_rate_den = previous.frame_rate_den;
    if (input.video) r.video_stream_index = input.video->index;
    if (input.audio) r.audio_stream_index = input.audio->index;
    if (const AVCodecContext* video = input.video_decoder.get()) {
        r.height = video->height;
        r.width = video->width;
        r.video_codec_id = video->codec_id;
        r.video_bit_rate = static_cast<int32_t>(video->bit_rate);
        ApplyFrameRateRule(r, input.video->r_frame_rate);
    }
    if (const AVCodecContext* audio = input.audio_decoder.get()) {
        r.audio_codec_id = audio->codec_id;
        r.audio_bit_rate = static_cast<int32_t>(audio->bit_rate);
        r.sample_rate = audio->sample_rate;
        r.channels = audio->ch_layout.nb_channels;
    }
    r.range_start_us = 0;
    r.range_end_us = input.format->duration;
    r.duration_us = input.format->duration;
    r.result = PROBE_OK;
    return r;
}
