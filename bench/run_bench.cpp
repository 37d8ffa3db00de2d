// Benchmarks: our engine against the ffmpeg tool doing the same work on the same inputs, side by
// side in one run. Prints the median wall time of each, their ratio (ours / ffmpeg) and the peak
// memory of both. Ours runs as a child process like ffmpeg: this program started again with
// --run-job, which builds the job request and runs the engine; taviro-cli doing the same is timed
// beside it. Makes its own inputs with the ffmpeg tool (once) in the build tree's bench-media folder.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/audio_job.h"
#include "engine/convert_engine.h"
#include "engine/preview.h"
#include "engine/probe.h"
#include "engine/waveform.h"

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/log.h>
}

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

namespace {

const std::string kMedia = BENCH_MEDIA;
const std::string kCli = TAVIRO_CLI;
const std::string kMeliskCli = MELISK_CLI;

struct RunStats {
    double seconds = 0;
    long max_rss_kb = 0;
    int exit_code = -1;
};

// Runs a program (no shell) with its output thrown away; wall time and the child's peak memory.
RunStats Run(const Args& argv) {
    std::vector<char*> cargv;
    for (const auto& a : argv) cargv.push_back(const_cast<char*>(a.c_str()));
    cargv.push_back(nullptr);
    // Nothing buffered may be written twice by the child.
    std::fflush(nullptr);
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        FILE* null_out = std::freopen("/dev/null", "w", stdout);
        FILE* null_err = std::freopen("/dev/null", "w", stderr);
        (void)null_out;
        (void)null_err;
        execvp(cargv[0], cargv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    RunStats stats;
    stats.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    stats.max_rss_kb = usage.ru_maxrss;
    stats.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return stats;
}

void Make(const std::string& name, const Args& ffmpeg_args) {
    std::string path = kMedia + "/" + name;
    if (fs::exists(path)) return;
    std::printf("making %s ...\n", name.c_str());
    std::fflush(stdout);
    std::string tmp = kMedia + "/.tmp." + name;
    Args argv = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y"};
    argv.insert(argv.end(), ffmpeg_args.begin(), ffmpeg_args.end());
    argv.push_back(tmp);
    if (Run(argv).exit_code != 0) {
        std::fprintf(stderr, "could not make %s\n", name.c_str());
        std::exit(1);
    }
    fs::rename(tmp, path);
}

std::string Media(const std::string& name) { return kMedia + "/" + name; }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// A fresh, empty output folder for one run.
std::string OutDir(const std::string& name) {
    std::string dir = kMedia + "/out/" + name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

struct Task {
    std::string name;
    int repetitions;
    std::function<Args(const std::string& dir)> ours;  // the engine in a child process
    std::function<Args(const std::string& dir)> cli;   // taviro-cli or melisk-cli; none: not timed
    std::function<Args(const std::string& dir)> theirs;
    double target;
};

const Args kH264Settings = {"--preset",      "1",        "--video-quality", "3000 kbps",
                            "--size",        "1280*720", "--audio-quality", "128 kbps",
                            "--sample-rate", "44100 Hz"};
// The same encoder settings as the engine's H.264 output.
const Args kFfmpegH264 = {"-c:v",   "libx264",  "-preset", "superfast",   "-threads", "2",         "-b:v",
                          "3000k",  "-g",       "12",      "-keyint_min", "25",       "-me_range", "16",
                          "-qdiff", "4",        "-qmin",   "10",          "-qmax",    "51",        "-qcomp",
                          "0.6",    "-pix_fmt", "yuv420p", "-s",          "1280x720", "-c:a",      "aac",
                          "-b:a",   "128k",     "-ar",     "44100",       "-ac",      "2"};

Args Join(Args a, const Args& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Args Ffmpeg(const Args& args) {
    return Join({"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y"}, args);
}

std::string ConcatList(const std::string& name, const std::vector<std::string>& files) {
    std::string path = Media(name);
    std::ofstream out(path);
    for (const auto& f : files) out << "file '" << f << "'\n";
    return path;
}

// An audio job as the audio tool's commands fill it: a merge to 128 kbps MP3 (re-encoded, or MP3
// frames joined), or a cut.
JobRequest AudioRequest(const std::string& kind, const std::string& output, std::vector<std::string> inputs) {
    JobRequest request;
    request.output_path = output;
    request.merge = kind != "audio-cut";
    request.reencode = kind == "audio-merge";
    for (std::string& in : inputs) request.inputs.push_back({std::move(in)});
    if (request.merge) request.output = {0, AV_CODEC_ID_MP3, 0, 0, 0, {0, 1}, 128000, 44100, 2};
    return request;
}

bool RunAudioRequest(const JobRequest& request) {
    auto progress = std::make_unique<JobProgress>();
    progress->Reset(request.FileCount());
    RunAudioJob(request, *progress);
    for (int i = 0; i < request.FileCount(); ++i)
        if (progress->file_status[i] != JOB_FILE_DONE) return false;
    return true;
}

// The child side: one job straight on the engine, filled as the commands fill it.
//   --run-job cut direct|exact|h264 OUT FROM_S TO_S IN
//   --run-job merge direct|h264 OUT IN...
//   --run-job preview AT_S OUT IN
//   --run-job audio-cut OUT FROM_S TO_S IN
//   --run-job audio-merge OUT IN...
//   --run-job audio-join OUT IN...        (MP3 frames joined without re-encoding)
//   --run-job waveform IN
int RunJob(int argc, char** argv) {
    av_log_set_level(AV_LOG_ERROR);
    std::string kind = argv[2];
    if (kind == "waveform") {
        engine::WaveformBuilder builder;
        if (argc < 4 || !builder.Start(argv[3])) return 1;
        auto summary = builder.summary();
        while (!summary->complete()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return builder.failed() ? 1 : 0;
    }
    if (kind == "audio-cut" || kind == "audio-merge" || kind == "audio-join") {
        const bool cut = kind == "audio-cut";
        JobRequest request =
            AudioRequest(kind, argv[3], std::vector<std::string>(argv + (cut ? 6 : 4), argv + argc));
        if (cut) {
            request.inputs[0].start_s = std::atof(argv[4]);
            request.inputs[0].length_s = std::atof(argv[5]) - request.inputs[0].start_s;
        }
        return RunAudioRequest(request) ? 0 : 1;
    }
    if (kind == "preview") return DecodePreviewFrame({argv[5], std::atof(argv[3]), argv[4]}).written ? 0 : 1;
    JobRequest job;
    job.reencode = std::string(argv[3]) == "h264";
    job.exact = std::string(argv[3]) == "exact";
    job.output_path = argv[4];
    job.merge = kind == "merge";
    for (int i = kind == "cut" ? 7 : 5; i < argc; ++i) job.inputs.push_back({argv[i]});
    if (job.merge) {
        for (const JobInput& in : job.inputs) {
            ProbeResult probe = ProbeMediaFile(in.path);
            if (probe.result != PROBE_OK) return 1;
            job.merge_total_s = static_cast<int32_t>(job.merge_total_s + probe.duration_us / 1000 / 1000.0);
        }
    } else {
        job.inputs[0].start_s = std::atof(argv[5]);
        job.inputs[0].length_s = std::atof(argv[6]) - job.inputs[0].start_s;
    }
    if (job.reencode) {
        // The H.264 preset's codecs, as the cut settings dialog turns them into the request.
        job.output.video_codec_id = AV_CODEC_ID_H264;
        job.output.audio_codec_id = AV_CODEC_ID_AAC;
        job.output.video_bit_rate = 3000000;
        job.output.width = 1280;
        job.output.height = 720;
        job.output.frame_rate = AVRational{0, 1};
        job.output.audio_bit_rate = 128000;
        job.output.sample_rate = 44100;
        job.output.channels = 2;
    }
    JobProgress progress;
    progress.Reset(job.FileCount());
    RunConvertJob(job, progress);
    for (int i = 0; i < progress.file_count; ++i)
        if (progress.file_status[i] != JOB_FILE_DONE) return 1;
    return 0;
}

// An exact direct cut of 20 s from 1080p H.264 with key frames every 2 s, starting and ending between
// key frames, against the key-frame direct cut of the same range and against the ffmpeg tool
// encoding the whole range again. Its peak memory must not grow with the range's length.
bool ExactCutBench(const std::string& self) {
    Make("in1080.mp4", {"-f",
                        "lavfi",
                        "-i",
                        "testsrc2=size=1920x1080:rate=25:duration=40",
                        "-f",
                        "lavfi",
                        "-i",
                        "sine=frequency=440:sample_rate=48000:duration=40",
                        "-ac",
                        "2",
                        "-c:v",
                        "libx264",
                        "-preset",
                        "veryfast",
                        "-b:v",
                        "8M",
                        "-bf",
                        "3",
                        "-g",
                        "50",
                        "-keyint_min",
                        "50",
                        "-sc_threshold",
                        "0",
                        "-pix_fmt",
                        "yuv420p",
                        "-c:a",
                        "aac",
                        "-b:a",
                        "128k",
                        "-shortest"});
    const std::string in = Media("in1080.mp4");
    auto job = [&](const char* mode, const char* from, const char* to) {
        return Args{self, "--run-job", "cut", mode, OutDir(mode) + "/out.mp4", from, to, in};
    };
    std::vector<double> exact, keyframe, full;
    long exact_rss = 0;
    bool failed = false;
    for (int r = 0; r < 3; ++r) {
        RunStats a = Run(job("exact", "5.3", "25.3"));
        RunStats b = Run(job("direct", "5.3", "25.3"));
        RunStats c = Run(Ffmpeg({"-ss", "5.3", "-to", "25.3", "-i", in, "-c:v", "libx264", "-c:a", "copy",
                                 OutDir("full") + "/out.mp4"}));
        failed = failed || a.exit_code || b.exit_code || c.exit_code;
        exact.push_back(a.seconds);
        keyframe.push_back(b.seconds);
        full.push_back(c.seconds);
        exact_rss = std::max(exact_rss, a.max_rss_kb);
    }
    // The same cut over a range four times as long: the memory stays what it was.
    RunStats longer = Run(job("exact", "5.3", "37.3"));
    RunStats shorter = Run(job("exact", "5.3", "13.3"));
    const double vs_keyframe = Median(exact) / Median(keyframe);
    const double vs_full = Median(exact) / Median(full);
    const double growth = static_cast<double>(longer.max_rss_kb) / std::max(1L, shorter.max_rss_kb);
    std::printf(
        "\nexact direct cut 20 s of 1080p H.264: %.3f s; key-frame direct cut %.3f s: %.2fx (target at most "
        "3x); ffmpeg re-encoding the range (libx264) %.3f s: %.2fx (target at most 0.25x); peak %.1f MB, "
        "8 s range %.1f MB, 32 s range %.1f MB: %.2fx (target at most 1.20x)%s\n",
        Median(exact), Median(keyframe), vs_keyframe, Median(full), vs_full, exact_rss / 1024.0,
        shorter.max_rss_kb / 1024.0, longer.max_rss_kb / 1024.0, growth,
        failed || longer.exit_code || shorter.exit_code ? "  (a run failed)" : "");
    std::fflush(stdout);
    return !failed && vs_keyframe <= 3 && vs_full <= 0.25 && growth <= 1.2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::string(argv[1]) == "--run-job") return RunJob(argc, argv);
    const std::string self = fs::canonical("/proc/self/exe").string();
    for (const std::string& cli : {kCli, kMeliskCli}) {
        if (!fs::exists(cli)) {
            std::fprintf(stderr, "%s is not built\n", cli.c_str());
            return 1;
        }
    }
    fs::create_directories(kMedia);
    // 60 s of 1280x720 H.264 at 25 fps with 44.1 kHz stereo AAC, and pieces of it.
    Make("in60.mp4", {"-f",       "lavfi",     "-i",       "testsrc2=size=1280x720:rate=25:duration=60",
                      "-f",       "lavfi",     "-i",       "sine=frequency=440:sample_rate=44100:duration=60",
                      "-ac",      "2",         "-c:v",     "libx264",
                      "-preset",  "superfast", "-b:v",     "4000k",
                      "-g",       "50",        "-pix_fmt", "yuv420p",
                      "-c:a",     "aac",       "-b:a",     "128k",
                      "-shortest"});
    Make("in10.mp4", {"-i", Media("in60.mp4"), "-t", "10", "-c", "copy"});
    Make("in30.mp4", {"-i", Media("in60.mp4"), "-t", "30", "-c", "copy"});
    Make("in300.mp4", {"-stream_loop", "4", "-i", Media("in60.mp4"), "-c", "copy"});

    // Audio: 10 minutes of MP3, and three 60 s inputs of different formats for a merge.
    Make("audio600.mp3", {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=600", "-ac",
                          "2", "-c:a", "libmp3lame", "-b:a", "128k"});
    Make("audio60.mp3", {"-i", Media("audio600.mp3"), "-t", "60", "-c", "copy"});
    // An hour and three hours of MP3 for the waveform, the 10 minutes joined by copying.
    // run_bench [TEXT]: only the tasks whose name holds TEXT.
    const std::string only = argc > 1 ? argv[1] : "";
    auto wanted = [&only](const std::string& name) { return name.find(only) != std::string::npos; };
    const std::string kLongWaveform = "waveform of a 60-minute MP3";
    if (wanted(kLongWaveform)) {
        Make("audio3600.mp3", {"-stream_loop", "5", "-i", Media("audio600.mp3"), "-c", "copy"});
        Make("audio10800.mp3", {"-stream_loop", "17", "-i", Media("audio600.mp3"), "-c", "copy"});
    }
    Make("audio60.m4a", {"-f", "lavfi", "-i", "sine=frequency=550:sample_rate=48000:duration=60", "-ac", "2",
                         "-c:a", "aac", "-b:a", "128k"});
    Make("audio60.wav", {"-f", "lavfi", "-i", "sine=frequency=660:sample_rate=22050:duration=60", "-ac", "1",
                         "-c:a", "pcm_s16le"});

    // Three 60 s MP3s of one sample rate and channel count (bit rates differ) to join, and 5 minutes
    // of PCM WAV to cut.
    Make("join60_b.mp3", {"-f", "lavfi", "-i", "sine=frequency=550:sample_rate=44100:duration=60", "-ac", "2",
                          "-c:a", "libmp3lame", "-b:a", "192k"});
    Make("join60_c.mp3", {"-f", "lavfi", "-i", "sine=frequency=660:sample_rate=44100:duration=60", "-ac", "2",
                          "-c:a", "libmp3lame", "-b:a", "96k"});
    Make("audio300.wav", {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=300", "-ac",
                          "2", "-c:a", "pcm_s16le"});
    const std::vector<std::string> join3 = {Media("audio60.mp3"), Media("join60_b.mp3"),
                                            Media("join60_c.mp3")};
    const std::string join_list = ConcatList("join3.txt", join3);
    const std::string wav300 = Media("audio300.wav");

    const std::string in60 = Media("in60.mp4"), in10 = Media("in10.mp4");
    const std::string audio600 = Media("audio600.mp3");
    const std::vector<std::string> audio3 = {Media("audio60.mp3"), Media("audio60.m4a"),
                                             Media("audio60.wav")};
    const std::string list3 = ConcatList("merge3.txt", {in60, in60, in60});
    const std::string list10 = ConcatList("merge10.txt", {in10, in10, in10});
    const std::string list4 = ConcatList("merge4.txt", {in10, in10, in10, in10});

    std::vector<Task> tasks = {
        {"direct cut 20 s", 7,
         [&](const std::string& d) {
             return Args{self, "--run-job", "cut", "direct", d + "/out.mp4", "20", "40", in60};
         },
         [&](const std::string& d) {
             return Args{kCli,   "cut",          in60,        "--from", "00:00:20.000",
                         "--to", "00:00:40.000", "--out-dir", d,        "--direct"};
         },
         [&](const std::string& d) {
             return Ffmpeg({"-ss", "20", "-i", in60, "-t", "20", "-map", "0:v", "-map", "0:a", "-c", "copy",
                            d + "/out.mp4"});
         },
         1.0},
        {"re-encoding cut 20 s (H.264)", 3,
         [&](const std::string& d) {
             return Args{self, "--run-job", "cut", "h264", d + "/out.mp4", "20", "40", in60};
         },
         [&](const std::string& d) {
             return Join(
                 {kCli, "cut", in60, "--from", "00:00:20.000", "--to", "00:00:40.000", "--out-dir", d},
                 kH264Settings);
         },
         [&](const std::string& d) {
             return Ffmpeg(Join(Join({"-ss", "20", "-i", in60, "-t", "20"}, kFfmpegH264), {d + "/out.mp4"}));
         },
         1.1},
        {"direct merge 3 x 60 s", 7,
         [&](const std::string& d) {
             return Args{self, "--run-job", "merge", "direct", d + "/out.mp4", in60, in60, in60};
         },
         [&](const std::string& d) {
             return Args{kCli, "merge", in60, in60, in60, "--out-dir", d, "--direct"};
         },
         [&](const std::string& d) {
             return Ffmpeg({"-f", "concat", "-safe", "0", "-i", list3, "-c", "copy", d + "/out.mp4"});
         },
         1.0},
        {"direct merge 4 x 10 s", 7,
         [&](const std::string& d) {
             return Args{self, "--run-job", "merge", "direct", d + "/out.mp4", in10, in10, in10, in10};
         },
         [&](const std::string& d) {
             return Args{kCli, "merge", in10, in10, in10, in10, "--out-dir", d, "--direct"};
         },
         [&](const std::string& d) {
             return Ffmpeg({"-f", "concat", "-safe", "0", "-i", list4, "-c", "copy", d + "/out.mp4"});
         },
         1.0},
        {"re-encoding merge 3 x 10 s (H.264)", 3,
         [&](const std::string& d) {
             return Args{self, "--run-job", "merge", "h264", d + "/out.mp4", in10, in10, in10};
         },
         [&](const std::string& d) {
             return Join(Join({kCli, "merge", in10, in10, in10, "--out-dir", d}, kH264Settings),
                         {"--channels", "2 Channel Stereo"});
         },
         [&](const std::string& d) {
             return Ffmpeg(
                 Join(Join({"-f", "concat", "-safe", "0", "-i", list10}, kFfmpegH264), {d + "/out.mp4"}));
         },
         1.1},
        {"audio copy cut 5 min (MP3)", 9,
         [&](const std::string& d) {
             return Args{self, "--run-job", "audio-cut", d + "/out.mp3", "60", "360", audio600};
         },
         [&](const std::string& d) {
             return Args{kMeliskCli, "cut",          audio600,    "--from", "00:01:00.000",
                         "--to",     "00:06:00.000", "--out-dir", d};
         },
         [&](const std::string& d) {
             return Ffmpeg(
                 {"-ss", "60", "-i", audio600, "-t", "300", "-map", "0:a", "-c", "copy", d + "/out.mp3"});
         },
         1.2},
        {"MP3 merge 3 x 60 s (MP3, M4A, WAV)", 3,
         [&](const std::string& d) {
             return Join({self, "--run-job", "audio-merge", d + "/out.mp3"}, audio3);
         },
         [&](const std::string& d) {
             return Join(Join({kMeliskCli, "merge"}, audio3), {"--out-dir", d});
         },
         [&](const std::string& d) {
             return Ffmpeg({"-i", audio3[0], "-i", audio3[1], "-i", audio3[2], "-filter_complex",
                            "[0:a][1:a][2:a]concat=n=3:v=0:a=1", "-c:a", "libmp3lame", "-b:a", "128k", "-ar",
                            "44100", "-ac", "2", d + "/out.mp3"});
         },
         1.1},
        {"waveform of a 10-minute MP3", 5,
         [&](const std::string&) {
             return Args{self, "--run-job", "waveform", audio600};
         },
         nullptr,
         [&](const std::string&) {
             return Ffmpeg({"-i", audio600, "-f", "null", "-"});
         },
         0.6},
        {kLongWaveform, 1,
         [&](const std::string&) {
             return Args{self, "--run-job", "waveform", Media("audio3600.mp3")};
         },
         nullptr,
         [&](const std::string&) {
             return Ffmpeg({"-i", Media("audio3600.mp3"), "-f", "null", "-"});
         },
         0.6},
        {"MP3 join, no re-encoding, 3 x 60 s", 9,
         [&](const std::string& d) {
             return Join({self, "--run-job", "audio-join", d + "/out.mp3"}, join3);
         },
         [&](const std::string& d) {
             return Join(Join({kMeliskCli, "merge"}, join3), {"--copy", "--out-dir", d});
         },
         [&](const std::string& d) {
             return Ffmpeg({"-f", "concat", "-safe", "0", "-i", join_list, "-c", "copy", d + "/out.mp3"});
         },
         1.2},
        {"sample-exact cut 3 min of 5 (PCM WAV)", 9,
         [&](const std::string& d) {
             return Args{self, "--run-job", "audio-cut", d + "/out.wav", "60.5", "240.25", wav300};
         },
         [&](const std::string& d) {
             return Args{kMeliskCli, "cut",          wav300,      "--from", "00:01:00.500",
                         "--to",     "00:04:00.250", "--out-dir", d};
         },
         [&](const std::string& d) {
             return Ffmpeg({"-ss", "60.5", "-to", "240.25", "-i", wav300, "-c", "copy", d + "/out.wav"});
         },
         1.2},
        {"preview frame at 30 s", 9,
         [&](const std::string& d) { return Args{self, "--run-job", "preview", "30", d + "/p.bmp", in60}; },
         [&](const std::string& d) {
             return Args{kCli, "preview", in60, "--at", "30", "--out", d + "/p.bmp"};
         },
         [&](const std::string& d) {
             return Ffmpeg({"-ss", "30", "-i", in60, "-frames:v", "1", "-s", "640x360", d + "/p.bmp"});
         },
         1.0},
    };

    std::printf("\n%-36s %9s %9s %7s %7s %9s %8s %10s\n", "task", "ours s", "ffmpeg s", "ratio", "target",
                "our MB", "ffmpeg MB", "cli");
    bool all_met = true;
    for (const Task& task : tasks) {
        if (!wanted(task.name)) continue;
        std::vector<double> ours, cli, theirs;
        long rss = 0, their_rss = 0;
        bool failed = false;
        for (int r = 0; r < task.repetitions; ++r) {
            // In turn, so all three see the same machine load.
            RunStats a = Run(task.ours(OutDir("ours")));
            RunStats b = Run(task.theirs(OutDir("ffmpeg")));
            RunStats c = task.cli ? Run(task.cli(OutDir("cli"))) : RunStats{0, 0, 0};
            failed = failed || a.exit_code != 0 || b.exit_code != 0 || c.exit_code != 0;
            ours.push_back(a.seconds);
            theirs.push_back(b.seconds);
            cli.push_back(c.seconds);
            rss = std::max(rss, a.max_rss_kb);
            their_rss = std::max(their_rss, b.max_rss_kb);
        }
        double ratio = Median(ours) / Median(theirs);
        all_met = all_met && ratio <= task.target && !failed;
        char cli_ratio[32] = "-";
        if (task.cli) std::snprintf(cli_ratio, sizeof cli_ratio, "%.2fx", Median(cli) / Median(theirs));
        std::printf("%-36s %9.3f %9.3f %6.2fx %6.1fx %9.1f %8.1f %10s%s\n", task.name.c_str(), Median(ours),
                    Median(theirs), ratio, task.target, rss / 1024.0, their_rss / 1024.0, cli_ratio,
                    failed ? "  (a run failed)" : "");
        std::fflush(stdout);
    }
    std::printf(
        "(ratio: median of ours over median of ffmpeg; cli: taviro-cli's or melisk-cli's median over "
        "ffmpeg's)\n");

    if (wanted(kLongWaveform)) {
        // The first part of a waveform the window can draw, and the whole one's peak memory for three
        // hours of sound.
        engine::WaveformBuilder builder;
        auto start = std::chrono::steady_clock::now();
        if (builder.Start(Media("audio3600.mp3"))) {
            auto summary = builder.summary();
            while (summary->doneFraction() == 0 && !summary->complete())
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            std::printf(
                "\nwaveform, first part of a 60-minute MP3 ready after %.0f ms (the window looks every 50 "
                "ms)\n",
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        builder.Cancel();
        RunStats three_hours = Run({self, "--run-job", "waveform", Media("audio10800.mp3")});
        std::printf("waveform, 3-hour MP3: %.1f s, peak memory %.1f MB (target under 50 MB)%s\n",
                    three_hours.seconds, three_hours.max_rss_kb / 1024.0,
                    three_hours.exit_code ? "  (the run failed)" : "");
    }
    // The join without re-encoding against the re-encoding merge of the same three MP3s, as the
    // audio tool's window runs them: in this process, so that neither pays for starting a program
    // (which costs a join as long as the join itself).
    if (only.empty() || std::string("MP3 join").find(only) != std::string::npos) {
        std::vector<double> join, merge;
        auto timed = [&](const char* kind, const char* name) {
            const auto start = std::chrono::steady_clock::now();
            const bool ok = RunAudioRequest(AudioRequest(kind, OutDir("ours") + name, join3));
            all_met = all_met && ok;
            return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        };
        for (int r = 0; r < 5; ++r) {
            join.push_back(timed("audio-join", "/j.mp3"));
            merge.push_back(timed("audio-merge", "/m.mp3"));
        }
        double speedup = Median(merge) / Median(join);
        all_met = all_met && speedup >= 20;
        std::printf(
            "\nMP3 join 3 x 60 s: %.3f s without re-encoding, %.3f s re-encoding: %.0fx faster (target at "
            "least 20x)\n",
            Median(join), Median(merge), speedup);
    }
    if (only.empty() || std::string("exact direct cut").find(only) != std::string::npos)
        all_met = ExactCutBench(self) && all_met;
    if (!only.empty()) return 0;
    // Peak memory must not grow with the input: a 10-minute direct merge against a 1-minute one.
    const std::string in300 = Media("in300.mp4"), in30 = Media("in30.mp4");
    RunStats small = Run({self, "--run-job", "merge", "direct", OutDir("ours") + "/m.mp4", in30, in30});
    RunStats large = Run({self, "--run-job", "merge", "direct", OutDir("ours") + "/m.mp4", in300, in300});
    double growth =
        static_cast<double>(large.max_rss_kb) / static_cast<double>(std::max(1L, small.max_rss_kb));
    bool flat = growth <= 1.2 && small.exit_code == 0 && large.exit_code == 0;
    std::printf(
        "\npeak memory, direct merge: 1 min %.1f MB, 10 min %.1f MB: %.2fx (target at most 1.20x)%s\n",
        small.max_rss_kb / 1024.0, large.max_rss_kb / 1024.0, growth,
        small.exit_code || large.exit_code ? "  (a run failed)" : "");
    RunStats small_re = Run({self, "--run-job", "merge", "h264", OutDir("ours") + "/m.mp4", in30, in30});
    std::printf("peak memory, re-encoding merge of 1 min: %.1f MB\n", small_re.max_rss_kb / 1024.0);
    std::printf("\n%s\n", all_met && flat ? "all targets met" : "some targets missed");
    fs::remove_all(kMedia + "/out");
    return 0;
}
