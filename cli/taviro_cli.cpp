// taviro-cli: the video tool's engine from the command line, for batch use, scripting and tests.

#include <cstdio>
#include <cstring>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
}

#include "engine/convert_job.h"
#include "engine/probe.h"

namespace {

const char kUsage[] =
    "usage: taviro-cli COMMAND ...\n"
    "\n"
    "commands:\n"
    "  probe FILE     print what the media probe reads from FILE, one key=value a line\n"
    "  --help         show this text\n";

const char* CodecName(int32_t id) {
    return id == AV_CODEC_ID_NONE ? "none" : avcodec_get_name(static_cast<AVCodecID>(id));
}

int Probe(const char* path) {
    ConvertJob& job = EnsureConvertJob();
    job.probe_path = path;
    int result = ProbeMediaFile();
    if (result != PROBE_OK) {
        std::fprintf(stderr, "probe failed: %d\n", result);
        return 1;
    }
    std::printf("result=%d\n", result);
    std::printf("video_stream_index=%d\n", job.video_stream_index);
    std::printf("audio_stream_index=%d\n", job.audio_stream_index);
    std::printf("video_codec=%s\n", CodecName(job.output_video_codec_id));
    std::printf("audio_codec=%s\n", CodecName(job.output_audio_codec_id));
    std::printf("width=%d\n", job.input_width);
    std::printf("height=%d\n", job.input_height);
    std::printf("frame_rate=%d/%d\n", job.input_frame_rate_num, job.input_frame_rate_den);
    std::printf("input_frame_rate=%lld\n", static_cast<long long>(job.input_frame_rate));
    std::printf("video_bit_rate=%d\n", job.output_video_bit_rate);
    std::printf("audio_bit_rate=%d\n", job.output_audio_bit_rate);
    std::printf("sample_rate=%d\n", job.output_sample_rate);
    std::printf("channels=%d\n", job.output_channels);
    std::printf("duration_us=%lld\n", static_cast<long long>(job.duration_us));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    av_log_set_level(AV_LOG_QUIET);
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        std::fputs(kUsage, argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    std::string command = argv[1];
    if (command == "probe") {
        if (argc != 3) {
            std::fputs("usage: taviro-cli probe FILE\n", stderr);
            return 2;
        }
        return Probe(argv[2]);
    }
    std::fprintf(stderr, "taviro-cli: unknown command '%s'\n\n%s", argv[1], kUsage);
    return 2;
}
