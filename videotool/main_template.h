#pragma once
// Dialog template 102: Taviro's main window, its controls with their ids in template order.

#include "common/main_window.h"
#include "platform/dialog_template.h"

namespace taviro {

enum ControlId {
    kCutButton = 1004,
    kAddButton = 1000,
    kMergeButton = 1099,
    kFileList = 1114,
    kPreviewArea = 1139,
    kPositionSlider = 1140,
    kStartLabel = 1018,
    kEndLabel = 1019,
    kOpenFileButton = 1183,
    kPlayButton = 1188,
    kEndPointButton = 1149,
    kStartPointButton = 1154,
    kLengthLabel = 1157,
    kLengthField = 1025,
    kPointsGroup = 1172,
    kHelpLink = 1180,
    kPositionText = 1184,
    kStartField = 1023,
    kEndField = 1024,
    kTabs = 1160,
    kRemoveButton = 1254,
    kAddFilesButton = 1255,
    kLanguageLabel = 1278,
    kLanguageBox = 1105,
    kSponsorLink = 1281,
};

inline constexpr int kMainTemplateId = 102;

platform::DialogSpec MainWindowTemplate();

// The controls each tab shows and hides.
const std::vector<int>& ControlsOfCutTab();
const std::vector<int>& ControlsOfMergeTab();

// The template with the roles of its controls, for the main-window skeleton.
common::MainWindowLayout MainWindowParts();

}  // namespace taviro
