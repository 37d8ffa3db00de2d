#include "cli/cli_job_runner.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_shell.h"

namespace {

// A bar redrawn in place on a terminal, otherwise a line whenever the file or the tens of the
// percentage change.
class ProgressLine {
  public:
    explicit ProgressLine(int total_files) : total_(total_files), live_(isatty(STDERR_FILENO)) {}

    void Show(int file, int percent) {
        if (percent < 0 || percent > 100 || file < 0) return;
        int shown_file = std::min(file + 1, total_);
        if (live_) {
            constexpr int kWidth = 40;
            int filled = percent * kWidth / 100;
            std::fprintf(stderr, "\r[%s%s] %3d%%  file %d/%d", std::string(filled, '#').c_str(),
                         std::string(kWidth - filled, ' ').c_str(), percent, shown_file, total_);
            std::fflush(stderr);
            drawn_ = true;
        } else if (shown_file != last_file_ || percent / 10 != last_percent_ / 10) {
            std::fprintf(stderr, "progress: file %d/%d %d%%\n", shown_file, total_, percent);
        }
        last_file_ = shown_file;
        last_percent_ = percent;
    }
    void End() {
        if (live_ && drawn_) std::fputc('\n', stderr);
    }

  private:
    int total_;
    bool live_;
    bool drawn_ = false;
    int last_file_ = -1;
    int last_percent_ = -100;
};

}  // namespace

int RunJobWithProgress(const char* program, const JobRequest& request,
                       const std::function<void(JobProgress&)>& work) {
    auto channel = std::make_unique<JobProgress>();
    JobProgress& progress = *channel;
    progress.Reset(request.FileCount());
    cli::StopSignals stop;

    // The worker announces its end at once, so a short job is not kept waiting for the next tick.
    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false;
    std::thread worker([&] {
        work(progress);
        std::lock_guard lock(mutex);
        finished = true;
        ended.notify_one();
    });
    const int file_count = progress.file_count;
    ProgressLine line(file_count);
    bool stop_noted = false;
    for (;;) {
        if (stop.caught() && !stop_noted) {
            progress.cancel_requested = true;
            stop_noted = true;
        }
        line.Show(progress.current_file, progress.percent);
        std::unique_lock lock(mutex);
        if (ended.wait_for(lock, std::chrono::milliseconds(100), [&] { return finished; })) break;
    }
    worker.join();

    // The name the output really got: a later free name when the planned one was taken meanwhile.
    const std::string& written = progress.published_path();
    if (!written.empty()) {
        std::printf("%s\n", written.c_str());
        std::fflush(stdout);
    }
    if (stop.caught()) {
        line.End();
        if (written.empty())
            std::fprintf(stderr, "%s: stopped; no output was written\n", program);
        else
            std::fprintf(stderr, "%s: stopped\n", program);
        return 128 + stop.caught();
    }
    std::vector<int> failed;
    for (int i = 0; i < file_count; ++i)
        if (progress.file_status[i] != JOB_FILE_DONE) failed.push_back(i);
    if (failed.empty()) line.Show(file_count - 1, 100);
    line.End();
    for (int i : failed) {
        std::string reason = progress.file_status[i] == JOB_FILE_FAILED ? FailureText(progress.failure(i))
                                                                        : std::string("not processed");
        std::fprintf(stderr, "%s: failed: %s: %s\n", program, request.inputs[i].path.c_str(), reason.c_str());
    }
    return failed.empty() ? 0 : 1;
}
