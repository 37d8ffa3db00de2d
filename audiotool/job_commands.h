#pragma once
// The cut and merge commands of Melisk's main window: they show the sponsorship prompt while it is
// due, stop playback, check and build the job; the shared part (common/job_commands_base.h) runs it
// with its progress dialog and reports the outcome. UI thread only.

#include <QString>
#include <vector>

#include "common/job_commands_base.h"
#include "engine/audio_job.h"
#include "jobs/job_refusal.h"

namespace melisk {

class CSolvaneDlg;

class JobCommands : public common::JobCommandsFor<CSolvaneDlg> {
  public:
    explicit JobCommands(CSolvaneDlg* window);

    void Cut();
    void Merge();

  private:
    // The start both commands share: the sponsorship prompt while due, then playback stops.
    void CommonStart();
    // Turns a refusal into its message; true when there was one.
    bool Refused(JobRefusal refusal, const Mp3JoinCheck& copy_check = {});
    // Why the checked files cannot be joined without re-encoding, in the window's language.
    QString CopyRefusalMessage(const Mp3JoinCheck& check) const;
    // files_shown: what the progress display counts (a cut 1, a merge its inputs); a success opens
    // folder.
    void RunAudio(std::vector<int> job_to_list, int files_shown, const QString& folder);
};

}  // namespace melisk
