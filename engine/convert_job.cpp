#include "engine/convert_job.h"

#include <memory>

ConvertJob::ConvertJob() {
    for (auto& s : file_status) s.store(JOB_FILE_PENDING, std::memory_order_relaxed);
}

void ConvertJob::Reset(int files, int files_shown) {
    file_count = files < 0 ? 0 : files > MAX_JOB_FILES ? MAX_JOB_FILES : files;
    for (auto& s : file_status) s.store(JOB_FILE_PENDING, std::memory_order_relaxed);
    current_file.store(-1);
    percent.store(0);
    ui_file_total.store(files_shown);
    cancel_requested.store(false);
}

namespace {
std::unique_ptr<ConvertJob>& JobSlot() {
    static std::unique_ptr<ConvertJob> job;
    return job;
}
}  // namespace

ConvertJob* TheConvertJob() { return JobSlot().get(); }

ConvertJob& EnsureConvertJob() {
    auto& slot = JobSlot();
    if (!slot) slot = std::make_unique<ConvertJob>();
    return *slot;
}

void DeleteConvertJob() { JobSlot().reset(); }
