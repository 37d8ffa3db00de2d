#include "audiotool/job_commands.h"

#include <QLineEdit>

#include "audiotool/file_rows.h"
#include "audiotool/solvane_dlg.h"
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

std::string U(const QString& s) { return s.toStdString(); }

}  // namespace

JobCommands::JobCommands(CSolvaneDlg* window) : JobCommandsFor(window) {}

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

QString JobCommands::CopyRefusalMessage(const Mp3JoinCheck& check) const {
    QString why;
    switch (check.problem) {
        case Mp3JoinProblem::kUnreadable:
            why = m_window->text("TISHI", "fzfmp3");
            break;
        case Mp3JoinProblem::kSampleRate:
            why = m_window->text("TISHI", "fzcyl").arg(check.value).arg(check.expected);
            break;
        case Mp3JoinProblem::kChannels:
            why = m_window->text("TISHI", "fztd").arg(check.value).arg(check.expected);
            break;
        case Mp3JoinProblem::kNone:
            break;
    }
    return m_window->text("TISHI", "fzbnhb").arg(QString::fromStdString(check.path), why);
}

bool JobCommands::Refused(JobRefusal refusal, const Mp3JoinCheck& copy_check) {
    switch (refusal) {
        case JobRefusal::kNone:
            return false;
        case JobRefusal::kSilent:
            return true;
        case JobRefusal::kOutputFolderNotWritable:
            ShowMessage(m_window->text("TISHI", "strmlbcz"));
            return true;
        case JobRefusal::kTooManyFiles:
            ShowMessage(
                QStringLiteral("Too many files: at most %1 can be merged at once.").arg(MAX_JOB_FILES));
            return true;
        case JobRefusal::kCannotCopy:
            ShowMessage(CopyRefusalMessage(copy_check));
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
    RunAudio({}, 1, folder);
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
    const AudioOutputSettings settings{s.bit_rate, s.sample_rate, s.channels, s.copy};
    const QString folder = m_window->outputFolder();
    JobRequest request;
    Mp3JoinCheck copy_check;
    const JobRefusal refusal =
        BuildAudioMergeJob(inputs, settings, U(folder), std::string(), &request, &copy_check);
    if (refusal == JobRefusal::kNone || refusal == JobRefusal::kOutputFolderNotWritable)
        m_window->setConfirmedFolder(folder);
    if (Refused(refusal, copy_check)) return;
    m_request = std::move(request);
    const int shown = static_cast<int>(rows.size());
    RunAudio(std::move(rows), shown, folder);
}

void JobCommands::RunAudio(std::vector<int> job_to_list, int files_shown, const QString& folder) {
    m_protocol.startJob(std::move(job_to_list), files_shown);
    m_progress.Reset(m_request.FileCount());
    RunJob(&RunAudioJob, folder);
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
