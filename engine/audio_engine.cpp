// The audio probe and the audio tool's job entry, over the conversion engine's pipeline.
#include <strings.h>

#include <algorithm>

#include "engine/audio_job.h"
#include "engine/convert_engine.h"
#include "engine/ffmpeg_ptr.h"
#include "engine/probe.h"

using namespace engine;

namespace {

bool NamedMp3(const std::string& path) {
    size_t dot = path.rfind('.');
    size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
    return strcasecmp(path.c_str() + dot + 1, "mp3") == 0;
}

}  // namespace

ProbeResult ProbeAudioFile(const std::string& path) {
    ProbeResult probe;
    InputFormatPtr input = OpenInput(path.c_str());
    if (!input) {
        probe.result = PROBE_OPEN_FAILED;
        return probe;
    }
    if (avformat_find_stream_info(input.get(), nullptr) < 0) {
        probe.result = PROBE_STREAM_INFO_FAILED;
        return probe;
    }
    for (unsigned s = 0; s < input->nb_streams; ++s) {
        AVMediaType type = input->streams[s]->codecpar->codec_type;
        if (type == AVMEDIA_TYPE_VIDEO) probe.video_stream_index = static_cast<int32_t>(s);
        if (type == AVMEDIA_TYPE_AUDIO) probe.audio_stream_index = static_cast<int32_t>(s);
    }
    // Without a decoder the audio cannot be played or merged: the file counts as having none.
    CodecContextPtr decoder;
    if (probe.audio_stream_index >= 0) decoder = OpenDecoder(input->streams[probe.audio_stream_index]);
    if (decoder) {
        probe.audio_codec_id = decoder->codec_id;
        probe.channels = decoder->ch_layout.nb_channels;
        probe.sample_rate = decoder->sample_rate;
        probe.audio_bit_rate = static_cast<int32_t>(decoder->bit_rate);
        if (NamedMp3(path)) {
            probe.aac_in_mp3 = decoder->codec_id == AV_CODEC_ID_AAC;
            probe.mp2_in_mp3 = decoder->codec_id == AV_CODEC_ID_MP2;
        }
    }
    probe.range_start_us = 0;
    probe.range_end_us = input->duration;
    probe.duration_us = input->duration;
    probe.result = PROBE_OK;
    return probe;
}

void RunAudioJob(const JobRequest& request, JobProgress& progress) {
    JobRequest audio = request;
    audio.audio_only = true;
    RunConvertJob(audio, progress);
}
