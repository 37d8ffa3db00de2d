#pragma once
// Dialog template 102: Taviro's main window, its controls in template order (their ids are in
// common/main_template_ids.h).

#include "common/main_template_ids.h"
#include "common/main_window.h"
#include "platform/dialog_template.h"

namespace taviro {

platform::DialogSpec MainWindowTemplate();

// The controls each tab shows and hides.
const std::vector<int>& ControlsOfCutTab();
const std::vector<int>& ControlsOfMergeTab();

// The template with the roles of its controls, for the main-window skeleton.
common::MainWindowLayout MainWindowParts();

}  // namespace taviro
