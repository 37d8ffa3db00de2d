// The audio tool's cut and merge commands, without windows: refusals, output names, the request.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "engine/audio_job.h"

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

JobRefusal BuildAudioCutJob(const std::string& current_file, const AudioProbeResult& probe, int32_t start_ms,
                            int32_t end_ms, const std::string& output_folder, const std::string& name,
                            AudioJobRequest* request) {
    if (current_file.empty()) return JobRefusal::kNoFile;
    if (JobRefusal r = CheckAudioOutputFolder(output_folder); r != JobRefusal::kNone) return r;

    AudioJobRequest job;
    job.merge = false;
    job.input_paths = {current_file};
    job.files_shown = 1;
    job.start_s = start_ms / 1000.0;
    job.length_s = end_ms / 1000.0 - job.start_s;
    // A name without extension gives no output path: the job's input then fails (no container).
    std::string extension = FileExtension(current_file);
    if (!extension.empty()) {
        std::string stem = name.empty() ? DefaultOutputName(current_file) : name;
        job.output_path = UniqueOutputPath(ComposeOutputPath(output_folder, stem, extension));
    }
    // The name keeps saying MP3; the container is the one the audio really needs.
    if (probe.aac_in_mp3) job.output_format_name = "adts";
    if (probe.mp2_in_mp3) job.output_format_name = "mp2";
    *request = std::move(job);
    return JobRefusal::kNone;
}

JobRefusal BuildAudioMergeJob(const std::vector<AudioMergeEntry>& list, const AudioOutputSettings& settings,
                              const std::string& output_folder, const std::string& name,
                              AudioJobRequest* request, std::vector<int>* checked_rows) {
    if (list.empty()) return JobRefusal::kNoFile;
    std::vector<int> rows;
    for (size_t row = 0; row < list.size(); ++row)
        if (list[row].checked) rows.push_back(static_cast<int>(row));
    if (rows.size() < 2) return JobRefusal::kTooFewFiles;
    if (rows.size() > static_cast<size_t>(MAX_JOB_FILES)) return JobRefusal::kTooManyFiles;
    if (JobRefusal r = CheckAudioOutputFolder(output_folder); r != JobRefusal::kNone) return r;

    AudioJobRequest job;
    job.merge = true;
    job.files_shown = static_cast<int32_t>(rows.size());
    double total_s = 0;
    for (int row : rows) {
        const AudioMergeEntry& entry = list[row];
        if (FileExtension(entry.path).empty()) return JobRefusal::kSilent;
        job.input_paths.push_back(entry.path);
        // Whole seconds at each step: 10.6 + 20.7 + 5.9 gives 10, 30, 35.
        total_s = static_cast<int32_t>(entry.end_ms / 1000.0 - entry.start_ms / 1000.0 + total_s);
    }
    job.total_length_s = static_cast<int32_t>(total_s);
    std::string stem = name.empty() ? DefaultOutputName(list[rows[0]].path) : name;
    job.output_path = UniqueOutputPath(ComposeOutputPath(output_folder, stem, ".mp3"));
    job.bit_rate = settings.bit_rate;
    job.sample_rate = settings.sample_rate;
    job.channels = settings.channels;
    *request = std::move(job);
    if (checked_rows) *checked_rows = std::move(rows);
    return JobRefusal::kNone;
}
