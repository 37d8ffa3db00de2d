#include "common/progress_protocol.h"

namespace common {

void ProgressProtocol::startJob(std::vector<int> job_to_list, int files_shown) {
    m_done = 0;
    m_files_shown = files_shown;
    m_end_reported = false;
    m_job_to_list = std::move(job_to_list);
}

int ProgressProtocol::listIndexOf(int job_file) const {
    if (job_file < 0 || job_file >= static_cast<int>(m_job_to_list.size())) return -1;
    return m_job_to_list[job_file];
}

void ProgressProtocol::tick(bool merge_tab, const QString& cut_path, ProgressJob& job, ProgressView& view,
                            const ProgressTexts& texts) {
    if (m_end_reported) return;
    const int current = job.currentFile();
    QString name;
    if (merge_tab) {
        const int item = listIndexOf(current);
        if (item >= 0) name = view.listItemName(item);
    } else {
        name = cut_path;
    }
    const int total = merge_tab ? m_files_shown : 1;

    const int percent = job.percent();
    if (percent >= 0 && current < total)
        view.setCurrentFileLine(name + "   " + QString::number(percent) + "% " + texts.done_word);
    view.setFileCountLine(QString::number(m_done) + " " + texts.of_word + " " + QString::number(total) + " " +
                          texts.files_word);
    if (total > 0) view.setFilesBar(m_done * 100 / total);
    if (percent >= 0 && percent <= 100) view.setFileBar(percent);

    if (job.cancelRequested()) view.closeDialog();

    if (merge_tab) {
        // The end first: every row gets its final status before the outcome is reported.
        if (total > 0 && job.currentFile() == total) {
            m_end_reported = true;
            showFinalRows(job, view, texts);
            view.closeDialog();
            bool failed = false;
            reportMerge(job, view, &failed);
            return;
        }
        // current_file is read anew for every file: the worker goes on while the list is updated.
        for (int i = 0; i < job.currentFile() && i < job.fileCount(); ++i) {
            const int status = job.fileStatus(i);
            if (status == JOB_FILE_DONE) m_done = job.currentFile();
            if (status != JOB_FILE_PENDING) showRow(i, status, view, texts);
        }
        return;
    }
    if (job.currentFile() == total) {
        m_end_reported = true;
        view.closeDialog();
        const int status = job.fileStatus(0);
        if (status == JOB_FILE_DONE)
            view.report(JobOutcome::kCutDone);
        else if (status == JOB_FILE_FAILED)
            view.report(JobOutcome::kCutFailed);
        // A file that ended neither done nor failed was stopped: nothing to report.
    }
}

void ProgressProtocol::showRow(int job_file, int status, ProgressView& view,
                               const ProgressTexts& texts) const {
    const int item = listIndexOf(job_file);
    if (item < 0) return;
    if (status == JOB_FILE_DONE) {
        view.setListItemStatus(item, texts.done_status);
        view.uncheckListItem(item);
    } else if (status == JOB_FILE_FAILED) {
        view.setListItemStatus(item, texts.failed_status);
    } else {
        // Not finished (stopped, or never reached): the row is as ready as before the job.
        view.setListItemStatus(item, texts.ready_status);
    }
}

void ProgressProtocol::showFinalRows(ProgressJob& job, ProgressView& view, const ProgressTexts& texts) {
    int done = 0;
    for (int i = 0; i < job.fileCount(); ++i) {
        const int status = job.fileStatus(i);
        if (status == JOB_FILE_DONE) ++done;
        showRow(i, status, view, texts);
    }
    m_done = done;
}

void ProgressProtocol::reportMerge(ProgressJob& job, ProgressView& view, bool* failed) {
    *failed = false;
    for (int f = 0; f < job.fileCount(); ++f)
        if (job.fileStatus(f) == JOB_FILE_FAILED) *failed = true;
    view.report(*failed ? JobOutcome::kMergeFailed : JobOutcome::kMergeDone);
}

}  // namespace common
