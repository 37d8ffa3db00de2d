#pragma once
// The cut and merge commands of Taviro's main window: they check the preconditions, run the settings
// dialog and build the job; the shared part (common/job_commands_base.h) runs it with its progress
// dialog and reports the outcome. UI thread only.

#include "common/job_commands_base.h"

class CSolvaneDlg;

namespace taviro {

class JobCommands : public common::JobCommandsFor<CSolvaneDlg> {
  public:
    explicit JobCommands(CSolvaneDlg* window);

    void Cut();
    void Merge();
};

}  // namespace taviro
