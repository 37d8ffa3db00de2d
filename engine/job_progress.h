#pragma once
// The progress channel of a cut or merge job: the only state the worker thread and the window share.
// Both media tools' engines report through it. Free of FFmpeg so that the windows' code can hold it.
//
// Threads: whoever starts a job calls Reset() before the worker starts and owns the object until it
// has joined the worker. While the worker runs, only it writes current_file, percent and the statuses
// (and a failed file's reason before its status); the window writes only cancel_requested.

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "media/failure.h"

inline constexpr int MAX_JOB_FILES = 999;

// Values of JobProgress::file_status.
inline constexpr uint8_t JOB_FILE_PENDING = 0xFF;  // not finished yet
inline constexpr uint8_t JOB_FILE_DONE = 1;        // processed, no step failed
inline constexpr uint8_t JOB_FILE_FAILED = 2;      // a step failed

// Why a file failed: the step, in words, and FFmpeg's error code (0 when the step has none).
using JobFailure = media::Failure;
using media::FailureText;

class JobProgress {
  public:
    JobProgress() { Reset(0); }
    JobProgress(const JobProgress&) = delete;
    JobProgress& operator=(const JobProgress&) = delete;

    // Before a job starts: every file pending, no file current, nothing done, not cancelled.
    void Reset(int file_count) {
        this->file_count = file_count < 0 ? 0 : file_count > MAX_JOB_FILES ? MAX_JOB_FILES : file_count;
        for (auto& s : file_status) s.store(JOB_FILE_PENDING, std::memory_order_relaxed);
        for (auto& f : failures_) f = {};
        published_path_.clear();
        current_file.store(-1);
        percent.store(0);
        cancel_requested.store(false);
    }

    // Worker: marks a file failed with its reason; a file keeps the first reason it was given.
    void Fail(int file, JobFailure reason) {
        if (file < 0 || file >= MAX_JOB_FILES || file_status[file].load() == JOB_FILE_FAILED) return;
        failures_[file] = std::move(reason);
        file_status[file].store(JOB_FILE_FAILED, std::memory_order_release);
    }
    // The reason of a file whose status reads JOB_FILE_FAILED (or any file once the worker ended).
    const JobFailure& failure(int file) const { return failures_[file]; }

    // Worker, once, when the output got its final name: the path actually written, which may be a
    // later free name(N) than the request's when that name was taken while the job ran.
    void SetPublishedPath(std::string path) { published_path_ = std::move(path); }
    // Read once the worker has ended; empty when no output was published.
    const std::string& published_path() const { return published_path_; }

    std::atomic<int32_t> current_file{-1};  // the file being processed; file_count when the job ended
    std::atomic<int32_t> percent{0};        // of the current file, 0 to 100; -1 while a job is set up
    std::atomic<bool> cancel_requested{false};
    std::array<std::atomic<uint8_t>, MAX_JOB_FILES> file_status;
    int32_t file_count = 0;  // set by Reset, read-only while the job runs

  private:
    std::array<JobFailure, MAX_JOB_FILES> failures_;
    std::string published_path_;
};
