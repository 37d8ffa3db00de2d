#pragma once
// The cut and merge commands of Melisk's main window and the running-job display: they show the
// sponsorship prompt while it is due, stop playback, check and build the job, start the worker,
// poll it with timer 1 (500 ms) while the progress dialog is open, and report the outcome.
// UI thread only.

#include <QObject>
#include <QString>
#include <memory>

#include "common/job_worker.h"
#include "common/progress_protocol.h"
#include "engine/job_request.h"
#include "jobs/job_refusal.h"

class CAVConvertDlg;
class QTimer;

namespace melisk {

class CSolvaneDlg;

// Shown when no file can be made in the output folder; a fixed text, not a language text.
QString FolderNotWritableMessage();

class JobCommands : public QObject {
    Q_OBJECT

  public:
    static constexpr int kTimerMs = 500;

    explicit JobCommands(CSolvaneDlg* window);
    ~JobCommands() override;

    void Cut();
    void Merge();
    // One tick of timer 1.
    void Tick();
    // Waits, with a busy cursor, for a worker that is still finishing after Stop.
    void WaitForWorker();
    // What a tick does at the end of a job: stops the timer and ends the dialog; then the report.
    void CloseDialog();
    void Report(common::JobOutcome outcome);

    CAVConvertDlg* progressDialog() const { return m_dialog; }
    QTimer* timer() const { return m_timer; }
    const JobRequest& request() const { return m_request; }
    JobProgress* progress() const { return m_progress.get(); }

  private:
    // The start both commands share: the sponsorship prompt while due, then playback stops.
    void CommonStart();
    // Turns a refusal into its message; true when there was one.
    bool Refused(JobRefusal refusal);
    // files_shown: what the progress display counts (a cut 1, a merge its inputs).
    void RunJob(std::vector<int> job_to_list, int files_shown);
    void ShowMessage(const QString& text);

    CSolvaneDlg* m_window;
    CAVConvertDlg* m_dialog = nullptr;
    QTimer* m_timer = nullptr;
    common::ProgressProtocol m_protocol;
    // The job's request and progress channel; the worker reads and writes them until it is joined.
    JobRequest m_request;
    std::unique_ptr<JobProgress> m_progress;
    common::JobWorker m_worker;
};

}  // namespace melisk
