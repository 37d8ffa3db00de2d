#include "videotool/main_template.h"

namespace taviro {

using platform::ControlKind;
using platform::ControlSpec;

platform::DialogSpec MainWindowTemplate() {
    using namespace platform;
    platform::DialogSpec d;
    d.id = kMainTemplateId;
    d.title = "Taviro";
    d.w = 363;
    d.h = 252;
    d.font_name = "MS Shell Dlg";
    d.font_points = 9;
    d.minimize_box = true;
    d.controls = {
        {kCutButton, ControlKind::Custom, "&Convert", 306, 227, 52, 24, 0},
        {kAddButton, ControlKind::Custom, "&Add", 146, 78, 63, 36, 0},
        {kMergeButton, ControlKind::Custom, "Merge", 300, 122, 56, 35, kStyleHidden},
        {kFileList, ControlKind::ListView, "", 6, 15, 289, 189, kStyleHidden | kStyleBorder},
        {kPreviewArea, ControlKind::Frame, "", 6, 16, 352, 164, kStyleBlackFrame},
        {kPositionSlider, ControlKind::Custom, "", 6, 183, 322, 12, kStyleDisabled},
        {kStartLabel, ControlKind::Label, "", 6, 235, 39, 8, 0},
        {kEndLabel, ControlKind::Label, "", 105, 235, 37, 8, 0},
        {kOpenFileButton, ControlKind::Custom, "Open file", 94, 200, 34, 22, 0},
        {kPlayButton, ControlKind::Custom, "Play", 130, 202, 24, 21, 0},
        {kEndPointButton, ControlKind::Custom, "End Point", 177, 202, 23, 20, 0},
        {kStartPointButton, ControlKind::Custom, "Start Point", 154, 202, 21, 21, 0},
        {kLengthLabel, ControlKind::Label, "", 201, 235, 41, 8, 0},
        {kLengthField, ControlKind::Label, "00:00:00.000", 243, 233, 53, 10, kStyleSunken},
        {kPointsGroup, ControlKind::GroupBox, "", 6, 195, 352, 31, 0},
        {kHelpLink, ControlKind::Custom, QString::fromUtf8("怎样使用本软件"), 192, 4, 62, 8, 0},
        {kPositionText, ControlKind::Label, "00:00:00:000 / 00:00:00:000", 234, 208, 112, 8, 0},
        {kStartField, ControlKind::Edit, "", 46, 231, 55, 14, kStyleAutoHScroll},
        {kEndField, ControlKind::Edit, "", 145, 231, 54, 14, kStyleAutoHScroll},
        {kTabs, ControlKind::TabControl, "", 6, 0, 91, 16, 0},
        {kRemoveButton, ControlKind::Custom, "Button5", 300, 87, 56, 33, kStyleHidden},
        {kAddFilesButton, ControlKind::Custom, QString::fromUtf8("添加文件"), 300, 51, 56, 32, kStyleHidden},
        {kLanguageLabel, ControlKind::Label, QString::fromUtf8("语言"), 318, 2, 29, 8, kStyleHidden},
        {kLanguageBox, ControlKind::ComboBox, "", 308, 0, 48, 30, kStyleHidden | kStyleVScroll},
        {kSponsorLink, ControlKind::Custom, QString::fromUtf8("赞助我们"), 299, 4, 50, 8, 0},
    };
    return d;
}

int ButtonImage(int control_id) {
    switch (control_id) {
        case kCutButton:
            return 186;
        case kAddButton:
            return 178;
        case kMergeButton:
            return 295;
        case kOpenFileButton:
            return 254;
        case kPlayButton:
            return 326;
        case kEndPointButton:
            return 321;
        case kStartPointButton:
            return 320;
        case kRemoveButton:
            return 331;
        case kAddFilesButton:
            return 178;
        default:
            return 0;
    }
}

const char* TooltipKey(int control_id) {
    switch (control_id) {
        case kAddButton:
        case kOpenFileButton:
        case kAddFilesButton:
            return "tjspwj";
        case kRemoveButton:
            return "sc";
        case kMergeButton:
            return "hbcygwj";
        case kCutButton:
            return "ksjq";
        case kPositionSlider:
            return "djsbzj";
        case kPlayButton:
            return "bf";
        case kStartPointButton:
            return "szksjqd";
        case kEndPointButton:
            return "szjsjqd";
        case kStartField:
        case kEndField:
            return "zjsrsjd";
        default:
            return nullptr;
    }
}

const std::vector<int>& ControlsOfCutTab() {
    static const std::vector<int> ids = {kCutButton,      kOpenFileButton, kPositionSlider, kStartPointButton,
                                         kEndPointButton, kAddButton,      kStartLabel,     kEndLabel,
                                         kLengthLabel,    kStartField,     kEndField,       kLengthField,
                                         kPointsGroup,    kPreviewArea,    kPositionText,   kPlayButton};
    return ids;
}

const std::vector<int>& ControlsOfMergeTab() {
    static const std::vector<int> ids = {kFileList, kMergeButton, kRemoveButton, kAddFilesButton};
    return ids;
}

}  // namespace taviro
