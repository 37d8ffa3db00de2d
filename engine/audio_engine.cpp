// The audio probe and the audio tool's job entry, over the conversion engine's pipeline.
#include <strings.h>

#include <algorithm>

#include "engine/audio_job.h"
#include "engine/convert_engine.h"
#include "engine/exact_audio_cut.h"
#include "engine/probe.h"
#include "media/input.h"

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
    media::InputOptions options;
    options.video_decoder = false;
    media::Input input = media::OpenInput(path, options);
    if (!input.ok()) {
        probe.result = input.format ? PROBE_STREAM_INFO_FAILED : PROBE_OPEN_FAILED;
        probe.failure = std::move(input.failure);
        return probe;
    }
    if (input.video) probe.video_stream_index = input.video->index;
    if (input.audio) probe.audio_stream_index = input.audio->index;
    // Without a decoder the audio cannot be played or merged: the file counts as having none.
    if (const AVCodecContext* decoder = input.audio_decoder.get()) {
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
    probe.range_end_us = input.format->duration;
    probe.duration_us = input.format->duration;
    probe.result = PROBE_OK;
    return probe;
}

void RunAudioJob(const JobRequest& request, JobProgress& progress) {
    if (request.merge && !request.reencode) return engine::RunMp3CopyJoin(request, progress);
    if (engine::RunExactAudioCut(request, progress)) return;
    JobRequest audio = request;
    audio.audio_only = true;
    RunConvertJob(audio, progress);
}
