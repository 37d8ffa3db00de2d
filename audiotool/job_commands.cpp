#include "audiotool/job_commands.h"

#include <QLineEdit>
#include <QTabBar>
#include <QTimer>

#include "audiotool/file_rows.h"
#include "audiotool/solvane_dlg.h"
#include "common/av_convert_dlg.h"
#include "common/job_display.h"
#include "common/time_text.h"
#include "controls/av_donate_dlg.h"
#include "controls/check_list_ctrl.h"
#include "engine/audio_job.h"
#include "jobs/audio_jobs.h"
#include "platform/download.h"
#include "platform/message_box.h"
#include "platform/profile.h"
#include "platform/shell_open.h"

namespace melisk {

namespace {

constexpr const char* kSponsorshipPage = "/donate.html";

std::string U(const QString& s) { return s.toStdString(); }

// The progress dialog, the merge list and the outcome report of the main window.
class WindowProgressView : public common::ListProgressView {
  public:
    WindowProgressView(JobCommands* commands, CSolvaneDlg* window)
        : ListProgressView(commands->progressDialog(), window->fileList(), kStatusColumn),
          m_commands(commands) {}

    void closeDialog() override { m_commands->CloseDialog(); }
    void report(common::JobOutcome outcome) override { m_commands->Report(outcome); }

  private:
    JobCommands* m_commands;
};

}  // namespace

QString FolderNotWritableMessage() {
    return QStringLiteral("MP3文件生成失败，请点击浏览按钮选择保存到其他目录!");
}

JobCommands::JobCommands(CSolvaneDlg* window) : QObject(window), m_window(window) {
    m_dialog = new CAVConvertDlg(window->programFiles().folder(), window);
    m_timer = common::NewJobTimer(this, kTimerMs);
    connect(m_timer, &QTimer::timeout, this, &JobCommands::Tick);
    connect(m_dialog, &CAVConvertDlg::stopRequested, this, [this] {
        if (m_progress) m_progress->cancel_requested = true;
        m_timer->stop();
    });
}

JobCommands::~JobCommands() {
    if (m_progress) m_progress->cancel_requested = true;
    m_worker.join();
}

void JobCommands::ShowMessage(const QString& text) { platform::MessageBoxOk(m_window, text); }

void JobCommands::WaitForWorker() { common::WaitWithBusyCursor(m_worker); }

void JobCommands::CommonStart() {
    WaitForWorker();
    if (m_window->sponsorship() == 0) {
        m_window->donateDialog()->Run();
        // Its confirm button writes the flag; whatever closed it, the command goes on.
        if (platform::ReadProfileInt("TIMES", "time", 0, m_window->settingsPath()) == 1)
            m_window->setSponsorship(1);
    }
    m_window->Stop();
}

bool JobCommands::Refused(JobRefusal refusal) {
    switch (refusal) {
        case JobRefusal::kNone:
            return false;
        case JobRefusal::kSilent:
            return true;
        case JobRefusal::kOutputFolderNotWritable:
            ShowMessage(FolderNotWritableMessage());
            return true;
        case JobRefusal::kTooManyFiles:
            ShowMessage(
                QStringLiteral("Too many files: at most %1 can be merged at once.").arg(MAX_JOB_FILES));
            return true;
        default:
            ShowMessage(m_window->text("TISHI", std::string(RefusalMessageKey(refusal)).c_str()));
            return true;
    }
}

void JobCommands::Cut() {
    CommonStart();
    if (!m_window->ConfirmCutRange()) return;
    const QString folder = m_window->outputFolder();
    const int32_t start_ms = TextToTime(U(m_window->startField()->text()));
    const int32_t end_ms = TextToTime(U(m_window->endField()->text()));
    JobRequest request;
    const JobRefusal refusal = BuildAudioCutJob(U(m_window->currentFile()), m_window->currentProbe(),
                                                start_ms, end_ms, U(folder), std::string(), &request);
    if (refusal == JobRefusal::kNone || refusal == JobRefusal::kOutputFolderNotWritable)
        m_window->setConfirmedFolder(folder);
    if (Refused(refusal)) return;
    m_window->setLastCutOutput(QString::fromStdString(request.output_path));
    m_request = std::move(request);
    RunJob({}, 1);
}

void JobCommands::Merge() {
    CommonStart();
    CCheckListCtrl* list = m_window->fileList();
    // The checked rows, in list order; the builder sees only their files and ranges.
    std::vector<AudioMergeInput> inputs;
    std::vector<int> rows;
    for (int row = 0; row < list->rowCount(); ++row) {
        if (!list->GetCheck(row)) continue;
        rows.push_back(row);
        inputs.push_back({U(list->GetItemText(row, kPathColumn)),
                          TextToTime(U(list->GetItemText(row, kStartColumn))),
                          TextToTime(U(list->GetItemText(row, kEndColumn)))});
    }
    if (list->rowCount() == 0) {
        Refused(JobRefusal::kNoFile);
        return;
    }
    if (inputs.size() < 2) {
        Refused(JobRefusal::kTooFewFiles);
        return;
    }
    const OutputSettings& s = m_window->outputSettings();
    const AudioOutputSettings settings{s.bit_rate, s.sample_rate, s.channels};
    const QString folder = m_window->outputFolder();
    JobRequest request;
    const JobRefusal refusal = BuildAudioMergeJob(inputs, settings, U(folder), std::string(), &request);
    if (refusal == JobRefusal::kNone || refusal == JobRefusal::kOutputFolderNotWritable)
        m_window->setConfirmedFolder(folder);
    if (Refused(refusal)) return;
    m_request = std::move(request);
    const int shown = static_cast<int>(rows.size());
    RunJob(std::move(rows), shown);
}

void JobCommands::RunJob(std::vector<int> job_to_list, int files_shown) {
    m_protocol.startJob(std::move(job_to_list));
    m_progress = std::make_unique<JobProgress>();
    m_progress->Reset(m_request.FileCount(), files_shown);
    const JobRequest* request = &m_request;
    JobProgress* progress = m_progress.get();
    m_worker.start([request, progress] { RunAudioJob(*request, *progress); });
    m_timer->start();
    m_dialog->Run();
    // After Stop the worker may still be finishing its current file; the next job waits for it.
    m_timer->stop();
    WaitForWorker();
}

void JobCommands::Tick() {
    if (!m_progress) return;
    common::ChannelProgressJob progress(*m_progress);
    WindowProgressView view(this, m_window);
    m_protocol.tick(m_window->tabs()->currentIndex() == 1, m_window->currentFile(), progress, view,
                    common::TickTexts(*m_window));
}

void JobCommands::CloseDialog() {
    m_timer->stop();
    if (m_progress) m_progress->cancel_requested = true;
    if (m_dialog->isVisible()) m_dialog->done(QDialog::Accepted);
}

void JobCommands::Report(common::JobOutcome outcome) {
    using common::JobOutcome;
    ShowMessage(m_window->text("TISHI", common::OutcomeMessageKey(outcome)));
    if (outcome == JobOutcome::kCutFailed || outcome == JobOutcome::kMergeFailed) {
        platform::OpenAddress(m_window->text("APPLICATION", "url"));
        return;
    }
    platform::ShellOpen(m_window->confirmedFolder());
    if (m_window->sponsorship() == 0) platform::OpenAddress(platform::WebAddress(kSponsorshipPage));
}

}  // namespace melisk

namespace melisk {

JobCommands* CSolvaneDlg::jobCommands() {
    if (!m_jobs) m_jobs = new JobCommands(this);
    return m_jobs;
}

void CSolvaneDlg::OnCutCommand() { jobCommands()->Cut(); }

void CSolvaneDlg::OnMergeCommand() { jobCommands()->Merge(); }

}  // namespace melisk
