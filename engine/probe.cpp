#include "engine/probe.h"

#include "engine/ffmpeg_ptr.h"

using namespace engine;

AVRational ApplyFrameRateRule(ConvertJob& job, AVRational rate) {
    if (rate.den != 0) job.input_frame_rate = static_cast<double>(rate.num / rate.den);
    if (job.input_frame_rate > 1000.0) {
        rate.den = 1001;
        job.input_frame_rate = static_cast<double>(rate.num / 1001);
    }
    job.input_frame_rate_den = rate.den;
    job.input_frame_rate_num = rate.num;
    return rate;
}

int ProbeMediaFile(ConvertJob& job) {
    job.video_stream_index = -1;
    job.audio_stream_index = -1;
    job.video_decoder_context = nullptr;
    job.audio_decoder_context = nullptr;

    InputFormatPtr input = OpenInput(job.probe_path.c_str());
    if (!input) return PROBE_OPEN_FAILED;
    if (avformat_find_stream_info(input.get(), nullptr) < 0) return PROBE_STREAM_INFO_FAILED;

    for (job.stream_loop_index = 0; job.stream_loop_index < input->nb_streams; ++job.stream_loop_index) {
        AVMediaType type = input->streams[job.stream_loop_index]->codecpar->codec_type;
        if (type == AVMEDIA_TYPE_VIDEO) job.video_stream_index = static_cast<int32_t>(job.stream_loop_index);
        if (type == AVMEDIA_TYPE_AUDIO) job.audio_stream_index = static_cast<int32_t>(job.stream_loop_index);
    }

    CodecContextPtr video, audio;
    if (job.video_stream_index >= 0) {
        int error = 0;
        video = OpenDecoder(input->streams[job.video_stream_index], nullptr, &error);
        if (!video) return error == -4 ? PROBE_NO_VIDEO_DECODER : PROBE_VIDEO_OPEN_FAILED;
    }
    // A missing or unopenable audio decoder is not an error: the file then counts as having no audio.
    if (job.audio_stream_index >= 0) audio = OpenDecoder(input->streams[job.audio_stream_index]);

    job.input_format = input.get();
    job.video_decoder_context = video.get();
    job.audio_decoder_context = audio.get();
    job.video_decoder = video ? video->codec : nullptr;
    job.audio_decoder = audio ? audio->codec : nullptr;

    if (!video) {
        job.input_height = job.input_width = 0;
        job.output_video_codec_id = AV_CODEC_ID_NONE;
        job.output_video_bit_rate = 0;
    } else {
        job.input_height = video->height;
        job.input_width = video->width;
        job.output_video_codec_id = video->codec_id;
        job.output_video_bit_rate = static_cast<int32_t>(video->bit_rate);
        ApplyFrameRateRule(job, input->streams[job.video_stream_index]->r_frame_rate);
    }
    if (audio) {
        job.output_audio_codec_id = audio->codec_id;
        job.output_audio_bit_rate = static_cast<int32_t>(audio->bit_rate);
        job.output_sample_rate = audio->sample_rate;
        job.output_channels = audio->ch_layout.nb_channels;
    } else {
        job.output_audio_codec_id = AV_CODEC_ID_NONE;
        job.output_audio_bit_rate = job.output_sample_rate = job.output_channels = 0;
    }
    job.range_start_us = 0;
    job.range_end_us = input->duration;
    job.duration_us = input->duration;

    // The decoders and the demuxer are released on return; drop the references to them.
    job.input_format = nullptr;
    job.video_decoder_context = nullptr;
    job.audio_decoder_context = nullptr;
    return PROBE_OK;
}

int ProbeMediaFile() { return ProbeMediaFile(*TheConvertJob()); }
