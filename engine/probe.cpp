#include "engine/probe.h"

#include "engine/ffmpeg_ptr.h"

using namespace engine;

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

ProbeResult ProbeMediaFile(const std::string& path, const ProbeResult& previous) {
    ProbeResult failed;
    InputFormatPtr input = OpenInput(path.c_str());
    if (!input) return failed;
    failed.result = PROBE_STREAM_INFO_FAILED;
    if (avformat_find_stream_info(input.get(), nullptr) < 0) return failed;

    ProbeResult r;
    r.frame_rate = previous.frame_rate;
    r.frame_rate_num = previous.frame_rate_num;
    r.frame_rate_den = previous.frame_rate_den;
    for (unsigned s = 0; s < input->nb_streams; ++s) {
        AVMediaType type = input->streams[s]->codecpar->codec_type;
        if (type == AVMEDIA_TYPE_VIDEO) r.video_stream_index = static_cast<int32_t>(s);
        if (type == AVMEDIA_TYPE_AUDIO) r.audio_stream_index = static_cast<int32_t>(s);
    }

    CodecContextPtr video, audio;
    if (r.video_stream_index >= 0) {
        int error = 0;
        video = OpenDecoder(input->streams[r.video_stream_index], nullptr, &error);
        if (!video) {
            failed.result = error == -4 ? PROBE_NO_VIDEO_DECODER : PROBE_VIDEO_OPEN_FAILED;
            return failed;
        }
    }
    // A missing or unopenable audio decoder is not an error: the file then counts as having no audio.
    if (r.audio_stream_index >= 0) audio = OpenDecoder(input->streams[r.audio_stream_index]);

    if (video) {
        r.height = video->height;
        r.width = video->width;
        r.video_codec_id = video->codec_id;
        r.video_bit_rate = static_cast<int32_t>(video->bit_rate);
        ApplyFrameRateRule(r, input->streams[r.video_stream_index]->r_frame_rate);
    }
    if (audio) {
        r.audio_codec_id = audio->codec_id;
        r.audio_bit_rate = static_cast<int32_t>(audio->bit_rate);
        r.sample_rate = audio->sample_rate;
        r.channels = audio->ch_layout.nb_channels;
    }
    r.range_start_us = 0;
    r.range_end_us = input->duration;
    r.duration_us = input->duration;
    r.result = PROBE_OK;
    return r;
}
