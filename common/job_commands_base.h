#pragma once
// What both tools' cut and merge commands share once a job is built: the progress dialog, timer 1
// (500 ms) polling the job while the dialog is open, the worker thread, the end of the job and the
// outcome report. Each tool's commands check, ask for settings, build the request and hand it to
// RunJob. UI thread only.

#include <QObject>
#include <QString>
#include <functional>

#include "common/job_worker.h"
#include "common/progress_protocol.h"
#include "engine/job_progress.h"
#include "engine/job_request.h"

class CAVConvertDlg;
class QTimer;

namespace common {

class MainWindowBase;

class JobCommandsBase : public QObject {
  public:
    static constexpr int kTimerMs = 500;

    ~JobCommandsBase() override;

    // One tick of timer 1.
    void Tick();
    // Waits, with a busy cursor, for a worker that is still finishing after Stop.
    void WaitForWorker();
    // What a tick does at the end of a job: stops the timer and ends the dialog; then the report.
    void CloseDialog();
    // Shows the outcome's message, then opens the result folder after success (and the sponsorship
    // page while it is due, where the tool's layout asks for it) and the help address after a failure.
    void Report(JobOutcome outcome);

    CAVConvertDlg* progressDialog() const { return m_dialog; }
    QTimer* timer() const { return m_timer; }
    const ProgressProtocol& protocol() const { return m_protocol; }
    const JobRequest& request() const { return m_request; }
    // The last job's progress; read it only while no worker runs.
    const JobProgress& jobProgress() const { return m_progress; }

  protected:
    explicit JobCommandsBase(MainWindowBase* window);

    // The engine call the worker makes; it runs on the worker thread.
    using Engine = std::function<void(const JobRequest&, JobProgress&)>;
    // Runs m_request with the progress dialog open and returns once the worker has ended; a success
    // opens result_folder.
    void RunJob(const Engine& engine, const QString& result_folder);
    void ShowMessage(const QString& text);

    MainWindowBase* m_base_window;
    ProgressProtocol m_protocol;
    // The job the worker runs: written here before it starts, untouched while it runs.
    JobRequest m_request;
    JobProgress m_progress;

  private:
    QString m_result_folder;
    CAVConvertDlg* m_dialog = nullptr;
    QTimer* m_timer = nullptr;
    // Last, so that it is joined (by the destructor) before the job objects go.
    JobWorker m_worker;
};

// The base with the tool's own window type at hand.
template <class Window>
class JobCommandsFor : public JobCommandsBase {
  protected:
    explicit JobCommandsFor(Window* window) : JobCommandsBase(window), m_window(window) {}

    Window* m_window;
};

}  // namespace common
