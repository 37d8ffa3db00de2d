#pragma once
// Dialog template 102: Melisk's main window, its controls in template order (their ids are in
// common/main_template_ids.h).

#include <vector>

#include "common/main_template_ids.h"
#include "common/main_window.h"
#include "platform/dialog_template.h"

namespace melisk {

// The template text of the label under the sponsorship picture, which has no id.
inline constexpr const char* kSponsorCaptionTemplateText = "微信扫码赞助一元钱";

platform::DialogSpec MainWindowTemplate();

// About and Setting show an "i" and a gear: the shared bitmaps 254 and 326 are Taviro's add and play
// pictures, which would tell the user something else here.
inline constexpr int kAboutImage = 340;
inline constexpr int kSettingImage = 341;
// Bitmaps of the play and stop buttons while playback runs.
inline constexpr int kPlayImage = 302;
inline constexpr int kPauseImage = 310;
inline constexpr int kStopImage = 304;

// The controls each tab shows and hides.
const std::vector<int>& ShownOnCutTab();
const std::vector<int>& HiddenOnCutTab();
const std::vector<int>& ShownOnMergeTab();
const std::vector<int>& HiddenOnMergeTab();

// The template with the roles of its controls, for the main-window skeleton.
common::MainWindowLayout MainWindowParts();

}  // namespace melisk
