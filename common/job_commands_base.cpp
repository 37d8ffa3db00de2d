#include "common/job_commands_base.h"

#include <QTabBar>
#include <QTimer>

#include "common/av_convert_dlg.h"
#include "common/job_display.h"
#include "common/main_window.h"
#include "platform/download.h"
#include "platform/message_box.h"
#include "platform/shell_open.h"

namespace common {

namespace {

constexpr const char* kSponsorshipPage = "/donate.html";

// The progress dialog, the file list and the outcome report of a main window.
class WindowProgressView : public ListProgressView {
  public:
    WindowProgressView(JobCommandsBase* commands, MainWindowBase* window)
        : ListProgressView(commands->progressDialog(), window->fileList(), window->statusColumn()),
          m_commands(commands) {}

    void closeDialog() override { m_commands->CloseDialog(); }
    void report(JobOutcome outcome) override { m_commands->Report(outcome); }

  private:
    JobCommandsBase* m_commands;
};

}  // namespace

JobCommandsBase::JobCommandsBase(MainWindowBase* window) : QObject(window), m_base_window(window) {
    m_dialog = new CAVConvertDlg(window->programFiles().folder(), window);
    m_timer = NewJobTimer(this, kTimerMs);
    connect(m_timer, &QTimer::timeout, this, &JobCommandsBase::Tick);
    connect(m_dialog, &CAVConvertDlg::stopRequested, this, [this] {
        m_progress.cancel_requested = true;
        m_timer->stop();
    });
}

JobCommandsBase::~JobCommandsBase() {
    m_progress.cancel_requested = true;
    m_worker.join();
}

void JobCommandsBase::ShowMessage(const QString& text) { platform::MessageBoxOk(m_base_window, text); }

void JobCommandsBase::WaitForWorker() { WaitWithBusyCursor(m_worker); }

void JobCommandsBase::RunJob(const Engine& engine, const QString& result_folder) {
    m_result_folder = result_folder;
    m_worker.start([this, engine] { engine(m_request, m_progress); });
    m_timer->start();
    m_dialog->Run();
    // After Stop the worker may still be finishing its current file; the job objects stay untouched
    // until it has ended.
    m_timer->stop();
    WaitForWorker();
    // The last tick may have come before the end (Stop): the rows show how the job left each file.
    ChannelProgressJob progress(m_progress);
    WindowProgressView view(this, m_base_window);
    m_protocol.showFinalRows(progress, view, TickTexts(*m_base_window));
}

void JobCommandsBase::Tick() {
    ChannelProgressJob progress(m_progress);
    WindowProgressView view(this, m_base_window);
    m_protocol.tick(m_base_window->tabs()->currentIndex() == 1, m_base_window->currentFile(), progress, view,
                    TickTexts(*m_base_window));
}

void JobCommandsBase::CloseDialog() {
    m_timer->stop();
    m_progress.cancel_requested = true;
    if (m_dialog->isVisible()) m_dialog->done(QDialog::Accepted);
}

void JobCommandsBase::Report(JobOutcome outcome) {
    ShowMessage(OutcomeMessage(m_base_window->text("TISHI", OutcomeMessageKey(outcome)),
                               m_base_window->text("TISHI", "bcwjm"), m_request.output_path,
                               m_progress.published_path()));
    if (outcome == JobOutcome::kCutFailed || outcome == JobOutcome::kMergeFailed) {
        platform::OpenAddress(m_base_window->text("APPLICATION", "url"));
        return;
    }
    platform::ShellOpen(m_result_folder);
    if (m_base_window->layout().sponsor_page_after_jobs && m_base_window->sponsorship() == 0)
        platform::OpenAddress(platform::WebAddress(kSponsorshipPage));
}

}  // namespace common
