#pragma once
// The cut and merge commands of Taviro's main window and the running-job display: they check the
// preconditions, run the settings dialog, build the job, start the worker, poll it with timer 1
// (500 ms) while the progress dialog is open, and report the outcome. UI thread only.

#include <QObject>
#include <QString>

#include "common/job_worker.h"
#include "common/progress_protocol.h"
#include "engine/job_progress.h"
#include "engine/job_request.h"

class CAVConvertDlg;
class CSolvaneDlg;
class QTimer;

namespace taviro {

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

    // What a tick does at the end of a job: closes the dialog (the worker has ended) and reports.
    void CloseDialog();
    void Report(common::JobOutcome outcome);

    CAVConvertDlg* progressDialog() const { return m_progress; }
    QTimer* timer() const { return m_timer; }
    const common::ProgressProtocol& protocol() const { return m_protocol; }
    // The last job's progress; read it only while no worker runs.
    const JobProgress& jobProgress() const { return m_job_progress; }

  private:
    void RunJob();
    void ShowMessage(const QString& text);

    CSolvaneDlg* m_window;
    CAVConvertDlg* m_progress = nullptr;
    QTimer* m_timer = nullptr;
    common::ProgressProtocol m_protocol;
    // The job the worker runs: written here before it starts, untouched while it runs.
    JobRequest m_request;
    JobProgress m_job_progress;
    // Last, so that it is joined (by the destructor) before the job objects go.
    common::JobWorker m_worker;
};

}  // namespace taviro
