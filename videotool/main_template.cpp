#include "videotool/main_template.h"

#include "videotool/language_keys.h"

namespace taviro {

using platform::ControlKind;
using platform::ControlSpec;

platform::DialogSpec MainWindowTemplate() {
    using namespace platform;
    platform::DialogSpec d{common::kMainTemplateId, "Taviro", 363, 252, "MS Shell Dlg", 9};
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
        {kPositionText, ControlKind::Label, "00:00:00.000 / 00:00:00.000", 234, 208, 112, 8, 0},
        {kStartField, ControlKind::Edit, "", 46, 231, 55, 14, kStyleAutoHScroll},
        {kEndField, ControlKind::Edit, "", 145, 231, 54, 14, kStyleAutoHScroll},
        {kTabs, ControlKind::TabControl, "", 6, 0, 91, 16, 0},
        {kRemoveButton, ControlKind::Custom, "Button5", 300, 87, 56, 33, kStyleHidden},
        {kAddFilesButton, ControlKind::Custom, QString::fromUtf8("添加文件"), 300, 51, 56, 32, kStyleHidden},
        {kLanguageLabel, ControlKind::Label, QString::fromUtf8("语言"), 318, 2, 29, 8, kStyleHidden},
        // Between the help link and the sponsorship link; the names speak for themselves without the label.
        {kLanguageBox, ControlKind::ComboBox, "", 257, 0, 40, 30, kStyleVScroll},
        {kSponsorLink, ControlKind::Custom, QString::fromUtf8("赞助我们"), 299, 4, 50, 8, 0},
    };
    return d;
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

common::MainWindowLayout MainWindowParts() {
    common::MainWindowLayout l(MainWindowTemplate(),
                               common::MainControlIds(kStartField, kEndField, kPositionText, kLanguageBox,
                                                      kRemoveButton, kPreviewArea));
    l.image_buttons = {{kCutButton, 186},        {kAddButton, 178},    {kMergeButton, 295},
                       {kOpenFileButton, 254},   {kPlayButton, 326},   {kEndPointButton, 321},
                       {kStartPointButton, 320}, {kRemoveButton, 331}, {kAddFilesButton, 178}};
    l.links = {kHelpLink, kSponsorLink};
    l.add_buttons = {kAddButton, kOpenFileButton, kAddFilesButton};
    l.labels = {{kStartLabel, "ksjq"}, {kEndLabel, "jsjq"}, {kLengthLabel, "jqsj"}, {kLanguageLabel, "yy"}};
    l.columns = {"ywj", "spgs", "spcd", "spdx", "zl", "zt"};
    l.status_column = 5;
    l.cut_tab_key = "spjq";
    l.merge_tab_key = "sphb";
    l.shown_on_cut_tab = l.hidden_on_merge_tab = ControlsOfCutTab();
    l.shown_on_merge_tab = l.hidden_on_cut_tab = ControlsOfMergeTab();
    l.tooltips = {{kAddButton, "tjspwj"},       {kOpenFileButton, "tjspwj"}, {kAddFilesButton, "tjspwj"},
                  {kRemoveButton, "sc"},        {kMergeButton, "hbcygwj"},   {kCutButton, "ksjq"},
                  {kPositionSlider, "djsbzj"},  {kPlayButton, "bf"},         {kStartPointButton, "szksjqd"},
                  {kEndPointButton, "szjsjqd"}, {kStartField, "zjsrsjd"},    {kEndField, "zjsrsjd"}};
    l.window_colour = 0xFBDEBB;
    l.list_colour = 0xE9FAF1;
    l.language_keys = VideoToolLanguageKeys();
    l.web_folder = "/languages/taviro/";
    l.sponsor_files = {"weixin.jpg", "zfb.jpg"};
    l.add_folder = QStandardPaths::MoviesLocation;
    return l;
}

}  // namespace taviro
