// The main window's job commands, kept apart from its layout and preview code.
#include "videotool/job_commands.h"
#include "videotool/solvane_dlg.h"

taviro::JobCommands* CSolvaneDlg::jobCommands() {
    if (!m_jobs) m_jobs = new taviro::JobCommands(this);
    return m_jobs;
}

void CSolvaneDlg::OnCutCommand() {
    if (ConfirmCutRange()) jobCommands()->Cut();
}

void CSolvaneDlg::OnMergeCommand() { jobCommands()->Merge(); }
