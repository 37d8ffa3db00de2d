#pragma once
// The control ids of template 102, the main window of both media tools. The tools number their
// controls from one table: a control both have keeps one id, and a tool's own control takes an id
// the other leaves free; the few controls whose ids differ between the tools follow, per tool.

namespace common {

enum MainControlId : int {
    kAddButton = 1000,
    kCutButton = 1004,
    kFindTargetButton = 1005,
    kStartLabel = 1018,
    kEndLabel = 1019,
    kDurationText = 1022,
    kLengthField = 1025,
    kBrowseButton = 1076,
    kOutputFolderBox = 1077,
    kDeleteButton = 1092,
    kAboutButton = 1098,
    kMergeButton = 1099,
    kFormatBox = 1105,  // Melisk's: Taviro has its language box there
    kFileList = 1114,
    kSettingButton = 1115,
    kStopButton = 1135,
    kPreviewArea = 1139,
    kPositionSlider = 1140,
    kEndPointButton = 1149,
    kStartPointButton = 1154,
    kOutputLabel = 1156,
    kLengthLabel = 1157,
    kTabs = 1160,
    kPointsGroup = 1172,
    kPlaybackGroup = 1172,
    kPlaySelectionButton = 1177,
    kHelpLink = 1180,
    kOpenFileButton = 1183,
    kTimeHint = 1189,
    kMergeOrderNote = 1195,
    kCurrentFileText = 1203,
    kSponsorPicture = 1205,
    kRemoveButton = 1254,
    kAddFilesButton = 1255,
    kLanguageLabel = 1278,
    kSponsorLink = 1281,
};

inline constexpr int kMainTemplateId = 102;

}  // namespace common

namespace taviro {
using enum common::MainControlId;
inline constexpr common::MainControlId kPlayButton{1188};
inline constexpr common::MainControlId kPositionText{1184};
inline constexpr common::MainControlId kStartField{1023};
inline constexpr common::MainControlId kEndField{1024};
inline constexpr common::MainControlId kLanguageBox{1105};
}  // namespace taviro

namespace melisk {
using enum common::MainControlId;
inline constexpr common::MainControlId kPlayButton{1003};
inline constexpr common::MainControlId kPositionText{1155};
inline constexpr common::MainControlId kStartField{1187};
inline constexpr common::MainControlId kEndField{1188};
inline constexpr common::MainControlId kLanguageBox{1202};
}  // namespace melisk
