#include "jobs/audio_jobs.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "engine/output_names.h"

extern "C" {
#include <libavcodec/codec_id.h>
}

namespace fs = std::filesystem;

JobRefusal CheckAudioOutputFolder(const std::string& folder) {
    if (folder == "\\") return JobRefusal::kSilent;
    std::error_code ec;
    if (folder.empty() || !fs::is_directory(folder, ec)) return JobRefusal::kOutputFolderMissing;
    std::string probe = ComposeOutputPath(folder, kAudioFolderProbeName, "");
    // Made exclusively, so a user's own file of that name is never opened or deleted; when one is
    // there, the folder's permissions answer instead.
    int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
        ::close(fd);
        ::unlink(probe.c_str());
        return JobRefusal::kNone;
    }
    if (errno == EEXIST && ::access(folder.c_str(), W_OK | X_OK) == 0) return JobRefusal::kNone;
    return JobRefusal::kOutputFolderNotWritable;
}

std::string PlannedAudioOutput(const std::string& first_input, const std::string& folder,
                               const std::string& name, bool merge) {
    const std::string extension = merge ? std::string(".mp3") : FileExtension(first_input);
    if (extension.empty()) return {};
    return ComposeOutputPath(folder, name.empty() ? DefaultOutputName(first_input) : name, extension);
}

JobRefusal BuildAudioCutJob(const std::string& current_file, const ProbeResult& probe, int32_t start_ms,
                            int32_t end_ms, const std::string& output_folder, const std::string& name,
                            JobRequest* request) {
    if (current_file.empty()) return JobRefusal::kNoFile;
    if (JobRefusal r = CheckAudioOutputFolder(output_folder); r != JobRefusal::kNone) return r;

    JobRequest job;
    job.merge = false;
    job.reencode = false;
    job.audio_only = true;
    const double start_s = start_ms / 1000.0;
    job.inputs = {{current_file, start_s, end_ms / 1000.0 - start_s}};
    // A name without extension gives no output path: the job's input then fails (no container).
    if (const std::string planned = PlannedAudioOutput(current_file, output_folder, name, false);
        !planned.empty()) {
        job.output_path = UniqueOutputPath(planned);
        if (job.output_path.empty()) return JobRefusal::kOutputNameRefused;
    }
    // The name keeps saying MP3; the container is the one the audio really needs.
    if (probe.aac_in_mp3) job.output_format = "adts";
    if (probe.mp2_in_mp3) job.output_format = "mp2";
    *request = std::move(job);
    return JobRefusal::kNone;
}

JobRefusal BuildAudioMergeJob(const std::vector<AudioMergeInput>& inputs, const AudioOutputSettings& settings,
                              const std::string& output_folder, const std::string& name, JobRequest* request,
                              Mp3JoinCheck* copy_check) {
    if (inputs.empty()) return JobRefusal::kNoFile;
    if (inputs.size() < 2) return JobRefusal::kTooFewFiles;
    if (inputs.size() > static_cast<size_t>(MAX_JOB_FILES)) return JobRefusal::kTooManyFiles;
    if (JobRefusal r = CheckAudioOutputFolder(output_folder); r != JobRefusal::kNone) return r;

    JobRequest job;
    job.merge = true;
    job.reencode = true;
    job.audio_only = true;
    double total_s = 0;
    for (const AudioMergeInput& input : inputs) {
        if (FileExtension(input.path).empty()) return JobRefusal::kSilent;
        job.inputs.push_back({input.path, 0, 0});
        // Whole seconds at each step: 10.6 + 20.7 + 5.9 gives 10, 30, 35.
        total_s = static_cast<int32_t>(input.end_ms / 1000.0 - input.start_ms / 1000.0 + total_s);
    }
    job.merge_total_s = static_cast<int32_t>(total_s);
    if (settings.copy) {
        std::vector<std::string> paths;
        for (const JobInput& in : job.inputs) paths.push_back(in.path);
        Mp3JoinCheck check = CheckMp3CopyJoin(paths);
        if (copy_check) *copy_check = check;
        if (check.problem != Mp3JoinProblem::kNone) return JobRefusal::kCannotCopy;
        job.reencode = false;
    }
    job.output_path = UniqueOutputPath(PlannedAudioOutput(inputs[0].path, output_folder, name, true));
    if (job.output_path.empty()) return JobRefusal::kOutputNameRefused;
    job.output.audio_codec_id = AV_CODEC_ID_MP3;
    job.output.audio_bit_rate = settings.bit_rate;
    job.output.sample_rate = settings.sample_rate;
    job.output.channels = settings.channels;
    *request = std::move(job);
    return JobRefusal::kNone;
}
