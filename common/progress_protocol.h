#pragma once
// What each 500 ms tick of a media tool's progress timer does with the job record's progress fields:
// the two lines and bars of the progress dialog, the list's status column, the end of the job and
// its outcome. Plain logic over two small interfaces, so both media tools (each with its own job
// record) share it and tests drive it with fakes. UI thread only.

#include <QString>
#include <cstdint>
#include <vector>

namespace common {

// File status values; both job records use the same bytes.
inline constexpr int kJobFilePending = 0xFF;
inline constexpr int kJobFileDone = 1;
inline constexpr int kJobFileFailed = 2;

// The shared fields of a job record as the timer sees them. The worker writes current file,
// percent and the statuses at any time; every read goes to the record anew.
class ProgressJob {
  public:
    virtual ~ProgressJob() = default;
    virtual int currentFile() const = 0;
    virtual void setCurrentFile(int value) = 0;
    virtual int percent() const = 0;
    virtual int fileCount() const = 0;
    virtual int uiFileTotal() const = 0;
    virtual void setUiFileTotal(int value) = 0;
    virtual int fileStatus(int file) const = 0;
    virtual bool cancelRequested() const = 0;
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
};

class ProgressProtocol {
  public:
    // Resets the done count and the job-to-list map for a new job (the commands do this).
    void startJob(std::vector<int> job_to_list = {});

    // One timer tick. merge_tab: the merge tab is selected; cut_path: the file under edit.
    void tick(bool merge_tab, const QString& cut_path, ProgressJob& job, ProgressView& view,
              const ProgressTexts& texts);

    int doneCount() const { return m_done; }
    // The list item of a job file, -1 for none.
    int listIndexOf(int job_file) const;

  private:
    void reportMerge(ProgressJob& job, ProgressView& view, bool* failed);

    int m_done = 0;
    std::vector<int> m_job_to_list;
};

}  // namespace common
