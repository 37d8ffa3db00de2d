#pragma once
// Dialog template 102: Melisk's main window, its controls with their ids in template order.

#include <vector>

#include "common/main_window.h"
#include "platform/dialog_template.h"

namespace melisk {

enum ControlId {
    kTabs = 1160,
    kHelpLink = 1180,
    kPositionSlider = 1140,
    kFileList = 1114,
    kStartLabel = 1018,
    kStartField = 1187,
    kEndLabel = 1019,
    kEndField = 1188,
    kLengthLabel = 1157,
    kLengthField = 1025,
    kTimeHint = 1189,
    kPlaybackGroup = 1172,
    kPlayButton = 1003,
    kStopButton = 1135,
    kStartPointButton = 1154,
    kEndPointButton = 1149,
    kPlaySelectionButton = 1177,
    kPositionText = 1155,
    kDurationText = 1022,
    kOutputLabel = 1156,
    kOutputFolderBox = 1077,
    kBrowseButton = 1076,
    kFindTargetButton = 1005,
    kCurrentFileText = 1203,
    kMergeOrderNote = 1195,
    kAddButton = 1000,
    kDeleteButton = 1092,
    kAboutButton = 1098,
    kSettingButton = 1115,
    kSponsorPicture = 1205,
    kCutButton = 1004,
    kMergeButton = 1099,
    kFormatBox = 1105,
    kLanguageBox = 1202,
};

inline constexpr int kMainTemplateId = 102;
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
