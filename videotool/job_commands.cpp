#include "videotool/job_commands.h"

#include <QLineEdit>

#include "common/output_folder.h"
#include "common/time_text.h"
#include "controls/check_list_ctrl.h"
#include "engine/convert_engine.h"
#include "engine/probe.h"
#include "videotool/file_infomation.h"
#include "videotool/settings_dlg.h"
#include "videotool/solvane_dlg.h"

namespace taviro {

using namespace common;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string U(const QString& s) { return s.toStdString(); }

}  // namespace

JobCommands::JobCommands(CSolvaneDlg* window) : JobCommandsFor(window) {}

void JobCommands::Cut() {
    WaitForWorker();
    const QString path = m_window->currentFile();
    if (path.isEmpty()) return ShowMessage(m_window->text("TISHI", "qxtjsp"));
    m_protocol.startJob();
    m_progress.Reset(0);
    m_progress.percent = -1;

    CFileInfomation dialog(m_window->programFiles().folder(), &m_window->cutSettings(), m_window);
    dialog.setFileName(Q(DefaultOutputName(U(path))));
    if (dialog.exec() != QDialog::Accepted) return;

    CutRequest request;
    request.input_path = U(path);
    request.start_ms = TextToTime(U(m_window->startField()->text()));
    request.end_ms = TextToTime(U(m_window->endField()->text()));
    const OutputChoice output{U(dialog.outputFolder()), U(dialog.fileName()), U(dialog.extension())};
    JobRequest job;
    const JobRefusal refusal = BuildCutJob(request, m_window->cutSettings(), output, job);
    if (refusal == JobRefusal::kOutputFolderNotWritable)
        return ShowMessage(m_window->text("TISHI", "strmlbcz"));
    if (refusal != JobRefusal::kNone)
        return ShowMessage(m_window->text("TISHI", std::string(RefusalMessageKey(refusal)).c_str()));
    // A file that cannot be cut exactly is cut at the key frames, and the user is told why first.
    if (ExactCutRefusal r = ConfirmExactCut(job); r != ExactCutRefusal::kNone)
        ShowMessage(m_window->text("TISHI", std::string(ExactFallbackMessageKey(r)).c_str()));
    m_request = std::move(job);
    m_progress.Reset(1);
    RunJob(&RunConvertJob, dialog.outputFolder());
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
    // A job holds at most MAX_JOB_FILES files.
    if (items.size() > static_cast<size_t>(MAX_JOB_FILES))
        return ShowMessage(m_window->text("TISHI", "wjtd"));

    m_protocol.startJob(job_to_list, static_cast<int>(items.size()));
    m_progress.Reset(0);
    m_progress.percent = -1;

    CSettings dialog(m_window->programFiles().folder(), &m_window->mergeSettings(), m_window);
    if (dialog.exec() != QDialog::Accepted) return;

    if (m_window->mergeSettings().direct) {
        // Copied packets must fit the streams the first file set up: compare what the files hold,
        // not only the list's texts.
        for (MergeItem& item : items) {
            const ProbeResult probe = ProbeMediaFile(item.path);
            if (probe.result < 0) continue;
            const MergeItem probed = MergeItemFromProbe(item.path, probe);
            item.video_codec_id = probed.video_codec_id;
            item.audio_codec_id = probed.audio_codec_id;
            item.sample_rate = probed.sample_rate;
            item.channels = probed.channels;
        }
    }
    const OutputChoice output{U(dialog.outputFolder()), U(dialog.fileName()), U(dialog.extension())};
    JobRequest job;
    const JobRefusal refusal = BuildMergeJob(items, m_window->mergeSettings(), output, job);
    if (refusal == JobRefusal::kOutputFolderNotWritable)
        return ShowMessage(m_window->text("TISHI", "strmlbcz"));
    if (refusal == JobRefusal::kTooManyFiles) return ShowMessage(m_window->text("TISHI", "wjtd"));
    if (refusal != JobRefusal::kNone)
        return ShowMessage(m_window->text("TISHI", std::string(RefusalMessageKey(refusal)).c_str()));
    m_request = std::move(job);
    m_progress.Reset(m_request.FileCount());
    RunJob(&RunConvertJob, dialog.outputFolder());
}

}  // namespace taviro
