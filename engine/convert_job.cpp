#include "engine/convert_job.h"

#include <memory>

ConvertJob::ConvertJob() {
    for (auto& s : file_status) s.store(JOB_FILE_PENDING, std::memory_order_relaxed);
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
