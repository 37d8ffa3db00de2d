#include "videotool/job_commands.h"

#include <QApplication>
#include <QLineEdit>
#include <QTabBar>
#include <QTimer>

#include "common/av_convert_dlg.h"
#include "common/time_text.h"
#include "controls/check_list_ctrl.h"
#include "engine/convert_engine.h"
#include "engine/convert_job.h"
#include "engine/job_builder.h"
#include "engine/probe.h"
#include "platform/message_box.h"
#include "platform/shell_open.h"
#include "videotool/file_infomation.h"
#include "videotool/output_folder.h"
#include "videotool/settings_dlg.h"
#include "videotool/solvane_dlg.h"

namespace taviro {

namespace {

constexpr int kStatusColumn = 5;

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string U(const QString& s) { return s.toStdString(); }

class ConvertJobProgress : public common::ProgressJob {
  public:
    explicit ConvertJobProgress(ConvertJob& job) : m_job(job) {}
    int currentFile() const override { return m_job.current_file; }
    void setCurrentFile(int value) override { m_job.current_file = value; }
    int percent() const override { return m_job.percent; }
    int fileCount() const override { return m_job.file_count; }
    int uiFileTotal() const override { return m_job.ui_file_total; }
    void setUiFileTotal(int value) override { m_job.ui_file_total = value; }
    int fileStatus(int file) const override {
        return file >= 0 && file < MAX_JOB_FILES ? m_job.file_status[file].load() : common::kJobFilePending;
    }
    bool cancelRequested() const override { return m_job.cancel_requested; }

  private:
    ConvertJob& m_job;
};

}  // namespace

namespace {

// The progress dialog, the file list and the outcome report of the main window.
class MainWindowProgressView : public common::ProgressView {
  public:
    MainWindowProgressView(JobCommands* commands, CSolvaneDlg* window, CAVConvertDlg* dialog, ConvertJob& job)
        : m_commands(commands), m_window(window), m_dialog(dialog), m_job(job) {}

    void setCurrentFileLine(const QString& text) override { m_dialog->SetCurrentFileLine(text); }
    void setFileCountLine(const QString& text) override { m_dialog->SetFileCountLine(text); }
    void setFileBar(int percent) override { m_dialog->SetFileBar(percent); }
    void setFilesBar(int percent) override { m_dialog->SetFilesBar(percent); }
    QString listItemName(int list_index) const override {
        return list_index < m_window->fileList()->rowCount()
                   ? m_window->fileList()->GetItemText(list_index, 0)
                   : QString();
    }
    void setListItemStatus(int list_index, const QString& text) override {
        if (list_index < m_window->fileList()->rowCount())
            m_window->fileList()->SetItemText(list_index, kStatusColumn, text);
    }
    void uncheckListItem(int list_index) override {
        if (list_index < m_window->fileList()->rowCount()) m_window->fileList()->SetCheck(list_index, false);
    }
    void closeDialog() override { m_commands->CloseDialog(m_job); }
    void report(common::JobOutcome outcome) override { m_commands->Report(outcome); }

  private:
    JobCommands* m_commands;
    CSolvaneDlg* m_window;
    CAVConvertDlg* m_dialog;
    ConvertJob& m_job;
};

}  // namespace

JobCommands::JobCommands(CSolvaneDlg* window) : QObject(window), m_window(window) {
    m_progress = new CAVConvertDlg(window->programFiles().folder(), window);
    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("timer1"));
    m_timer->setInterval(kTimerMs);
    connect(m_timer, &QTimer::timeout, this, &JobCommands::Tick);
    connect(m_progress, &CAVConvertDlg::stopRequested, this, [this] {
        if (ConvertJob* job = TheConvertJob()) job->cancel_requested = true;
        m_timer->stop();
    });
}

JobCommands::~JobCommands() { m_worker.join(); }

void JobCommands::ShowMessage(const QString& text) { platform::MessageBoxOk(m_window, text); }

void JobCommands::WaitForWorker() {
    if (!m_worker.joinable()) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_worker.join();
    QApplication::restoreOverrideCursor();
}

void JobCommands::Cut() {
    WaitForWorker();
    const QString path = m_window->currentFile();
    if (path.isEmpty()) return ShowMessage(m_window->text("TISHI", "qxtjsp"));
    ConvertJob& job = EnsureConvertJob();
    m_protocol.startJob();
    job.ui_file_total = 0;
    job.percent = -1;

    CFileInfomation dialog(m_window->programFiles().folder(), &m_window->cutSettings(), m_window);
    dialog.setFileName(Q(DefaultOutputName(U(path))));
    if (dialog.exec() != QDialog::Accepted) return;

    CutRequest request;
    request.input_path = U(path);
    request.start_ms = TextToTime(U(m_window->startField()->text()));
    request.end_ms = TextToTime(U(m_window->endField()->text()));
    const OutputChoice output{U(dialog.outputFolder()), U(dialog.fileName()), U(dialog.extension())};
    const JobRefusal refusal = BuildCutJob(request, m_window->cutSettings(), output, job);
    if (refusal == JobRefusal::kOutputFolderNotWritable)
        return ShowMessage(m_window->text("TISHI", "strmlbcz"));
    if (refusal != JobRefusal::kNone)
        return ShowMessage(m_window->text("TISHI", std::string(RefusalMessageKey(refusal)).c_str()));
    m_window->setResultFolder(dialog.outputFolder());
    RunJob(job);
}

void JobCommands::Merge() {
    WaitForWorker();
    CCheckListCtrl* list = m_window->fileList();
    if (list->rowCount() == 0) return ShowMessage(m_window->text("TISHI", "qxtjsp"));

    std::vector<int> job_to_list;
    std::vector<MergeItem> items;
    for (int row = 0; row < list->rowCount(); ++row) {
        if (!list->GetCheck(row)) continue;
        job_to_list.push_back(row);
        MergeItem item;
        item.path = U(list->GetItemText(row, 0));
        item.format_text = U(list->GetItemText(row, 1));
        item.duration_ms = TextToTime(U(list->GetItemText(row, 2)));
        item.size_text = U(list->GetItemText(row, 3));
        items.push_back(std::move(item));
    }
    if (items.size() < 2) return ShowMessage(m_window->text("TISHI", "zslgwj"));
    // The job record holds at most MAX_JOB_FILES files.
    if (items.size() > static_cast<size_t>(MAX_JOB_FILES))
        return ShowMessage(m_window->text("TISHI", "wjtd"));

    ConvertJob& job = EnsureConvertJob();
    m_protocol.startJob(job_to_list);
    job.ui_file_total = static_cast<int>(items.size());
    job.percent = -1;

    CSettings dialog(m_window->programFiles().folder(), &m_window->mergeSettings(), m_window);
    if (dialog.exec() != QDialog::Accepted) return;

    if (m_window->mergeSettings().direct) {
        // Copied packets must fit the streams the first file set up: compare what the files hold,
        // not only the list's texts. Probed into a scratch record; the shared one keeps its state.
        auto scratch = std::make_unique<ConvertJob>();
        for (MergeItem& item : items) {
            scratch->probe_path = item.path;
            if (ProbeMediaFile(*scratch) < 0) continue;
            const MergeItem probed = MergeItemFromProbe(item.path, *scratch);
            item.video_codec_id = probed.video_codec_id;
            item.audio_codec_id = probed.audio_codec_id;
            item.sample_rate = probed.sample_rate;
            item.channels = probed.channels;
        }
    }
    const OutputChoice output{U(dialog.outputFolder()), U(dialog.fileName()), U(dialog.extension())};
    const JobRefusal refusal = BuildMergeJob(items, m_window->mergeSettings(), output, job);
    if (refusal == JobRefusal::kOutputFolderNotWritable)
        return ShowMessage(m_window->text("TISHI", "strmlbcz"));
    if (refusal == JobRefusal::kTooManyFiles) return ShowMessage(m_window->text("TISHI", "wjtd"));
    if (refusal != JobRefusal::kNone)
        return ShowMessage(m_window->text("TISHI", std::string(RefusalMessageKey(refusal)).c_str()));
    m_window->setResultFolder(dialog.outputFolder());
    RunJob(job);
}

void JobCommands::RunJob(ConvertJob& job) {
    for (int i = 0; i < job.file_count; ++i) job.file_status[i] = JOB_FILE_PENDING;
    ConvertJob* record = &job;
    m_worker.start([record] { ConvertThreadProc(*record); });
    m_timer->start();
    m_progress->Run();
    // After Stop the worker may still be finishing its current file; nothing may touch the job
    // record (a probe, a preview, the next job) until it has ended.
    m_timer->stop();
    WaitForWorker();
}

void JobCommands::Tick() {
    ConvertJob* job = TheConvertJob();
    if (!job) return;
    ConvertJobProgress progress(*job);
    MainWindowProgressView view(this, m_window, m_progress, *job);
    common::ProgressTexts texts{m_window->text("TISHI", "wjwc"), m_window->text("TISHI", "wjwczg"),
                                m_window->text("TISHI", "wj1"), m_window->text("TISHI", "sb"),
                                m_window->text("TISHI", "wc")};
    m_protocol.tick(m_window->tabs()->currentIndex() == 1, m_window->currentFile(), progress, view, texts);
}

void JobCommands::CloseDialog(ConvertJob& job) {
    m_timer->stop();
    job.cancel_requested = true;
    if (m_progress->isVisible()) m_progress->done(QDialog::Accepted);
}

void JobCommands::Report(common::JobOutcome outcome) {
    using common::JobOutcome;
    const char* key = outcome == JobOutcome::kCutDone     ? "jqcg"
                      : outcome == JobOutcome::kCutFailed ? "jqsb"
                      : outcome == JobOutcome::kMergeDone ? "hbcg"
                                                          : "hbsb";
    ShowMessage(m_window->text("TISHI", key));
    if (outcome == JobOutcome::kCutDone || outcome == JobOutcome::kMergeDone)
        platform::ShellOpen(m_window->resultFolder());
    else
        platform::OpenAddress(m_window->text("APPLICATION", "url"));
}

}  // namespace taviro
