#pragma once
// What each 500 ms tick of a media tool's progress timer does with the job's progress channel: the
// two lines and bars of the progress dialog, the list's status column, the end of the job and its
// outcome. Plain logic over two small interfaces, so both media tools share it and tests drive it
// with fakes. UI thread only.

#include <QString>
#include <cstdint>
#include <vector>

#include "engine/job_progress.h"

namespace common {

// The progress of a job as the timer sees it, read-only: the worker writes current file, percent and
// the statuses (JOB_FILE_PENDING, JOB_FILE_DONE, JOB_FILE_FAILED) at any time; every read goes to the
// channel anew.
class ProgressJob {
  public:
    virtual ~ProgressJob() = default;
    virtual int currentFile() const = 0;
    virtual int percent() const = 0;
    virtual int fileCount() const = 0;
    virtual int fileStatus(int file) const = 0;
    virtual bool cancelRequested() const = 0;
};

// Both media tools' progress channel behind that interface.
class ChannelProgressJob : public ProgressJob {
  public:
    explicit ChannelProgressJob(JobProgress& progress) : m_progress(progress) {}
    int currentFile() const override { return m_progress.current_file; }
    int percent() const override { return m_progress.percent; }
    int fileCount() const override { return m_progress.file_count; }
    int fileStatus(int file) const override {
        return file >= 0 && file < MAX_JOB_FILES ? m_progress.file_status[file].load() : JOB_FILE_PENDING;
    }
    bool cancelRequested() const override { return m_progress.cancel_requested; }

  private:
    JobProgress& m_progress;
};

enum class JobOutcome {
    kCutDone,      // "jqcg", then the result folder opens
    kCutFailed,    // "jqsb", then the help address opens
    kMergeDone,    // "hbcg", then the result folder opens
    kMergeFailed,  // "hbsb", then the help address opens
};

// Where a tick's results go: the progress dialog, the file list and the outcome report.
class ProgressView {
  public:
    virtual ~ProgressView() = default;
    virtual void setCurrentFileLine(const QString& text) = 0;                 // label 1018
    virtual void setFileCountLine(const QString& text) = 0;                   // label 1019
    virtual void setFileBar(int percent) = 0;                                 // bar 1011
    virtual void setFilesBar(int percent) = 0;                                // bar 1012
    virtual QString listItemName(int list_index) const = 0;                   // column 0 of a list item
    virtual void setListItemStatus(int list_index, const QString& text) = 0;  // column 5
    virtual void uncheckListItem(int list_index) = 0;
    // Stops the timer, asks the worker to stop (it has ended already) and ends the dialog.
    virtual void closeDialog() = 0;
    // Shows the outcome message and opens what goes with it.
    virtual void report(JobOutcome outcome) = 0;
};

// The "TISHI" texts a tick shows.
struct ProgressTexts {
    QString done_word;      // "wjwc": after the percentage
    QString of_word;        // "wjwczg": between the done count and the total
    QString files_word;     // "wj1": after the total
    QString failed_status;  // "sb"
    QString done_status;    // "wc"
    QString ready_status;   // "zb": a file the job did not finish
};

class ProgressProtocol {
  public:
    // Resets the counters and the job-to-list map for a new job (the commands do this). files_shown:
    // the files a merge's dialog counts (a cut counts one).
    void startJob(std::vector<int> job_to_list = {}, int files_shown = 0);

    // One timer tick. merge_tab: the merge tab is selected; cut_path: the file under edit.
    void tick(bool merge_tab, const QString& cut_path, ProgressJob& job, ProgressView& view,
              const ProgressTexts& texts);

    // Once the worker has ended (a stopped job included): every job row shows the engine's final
    // status of its file, a file that was not finished shows ready again.
    void showFinalRows(ProgressJob& job, ProgressView& view, const ProgressTexts& texts);

    int doneCount() const { return m_done; }
    // The end of the job has been reported (or the job was stopped): later ticks do nothing.
    bool endReported() const { return m_end_reported; }
    // The list item of a job file, -1 for none.
    int listIndexOf(int job_file) const;

  private:
    void reportMerge(ProgressJob& job, ProgressView& view, bool* failed);
    void showRow(int job_file, int status, ProgressView& view, const ProgressTexts& texts) const;

    // The dialog's own counters: the window never writes to the worker's channel but to cancel.
    int m_done = 0;
    int m_files_shown = 0;
    bool m_end_reported = false;
    std::vector<int> m_job_to_list;
};

}  // namespace common
