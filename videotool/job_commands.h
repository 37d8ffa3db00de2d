#pragma once
// The cut and merge commands of Taviro's main window and the running-job display: they check the
// preconditions, run the settings dialog, build the job, start the worker, poll it with timer 1
// (500 ms) while the progress dialog is open, and report the outcome. UI thread only.

#include <QObject>
#include <QString>

#include "common/job_worker.h"
#include "common/progress_protocol.h"

class CAVConvertDlg;
class CSolvaneDlg;
class QTimer;
struct ConvertJob;

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
    void CloseDialog(ConvertJob& job);
    void Report(common::JobOutcome outcome);

    CAVConvertDlg* progressDialog() const { return m_progress; }
    QTimer* timer() const { return m_timer; }
    const common::ProgressProtocol& protocol() const { return m_protocol; }

  private:
    void RunJob(ConvertJob& job);
    void ShowMessage(const QString& text);

    CSolvaneDlg* m_window;
    CAVConvertDlg* m_progress = nullptr;
    QTimer* m_timer = nullptr;
    common::ProgressProtocol m_protocol;
    common::JobWorker m_worker;
};

}  // namespace taviro
