#include "audiotool/main_template.h"

#include "audiotool/file_rows.h"
#include "audiotool/language_keys.h"

namespace melisk {

platform::DialogSpec MainWindowTemplate() {
    using namespace platform;
    const unsigned hidden = kStyleHidden;
    DialogSpec d{common::kMainTemplateId, "Melisk ", 375, 220, "MS Shell Dlg", 8};
    d.minimize_box = true;
    d.controls = {
        {kTabs, ControlKind::TabControl, "", 7, 1, 91, 16},
        {kHelpLink, ControlKind::Custom, "", 243, 3, 67, 10},
        {kPositionSlider, ControlKind::Custom, "", 7, 14, 308, 22, kStyleDisabled},
        {kFileList, ControlKind::ListView, "", 7, 14, 294, 126, hidden | kStyleBorder},
        {kStartLabel, ControlKind::Label, "", 7, 122, 41, 8},
        {kStartField, ControlKind::Edit, "", 50, 121, 54, 14, kStyleAutoHScroll},
        {kEndLabel, ControlKind::Label, "", 110, 123, 33, 8},
        {kEndField, ControlKind::Edit, "", 146, 121, 54, 14, kStyleAutoHScroll},
        {kLengthLabel, ControlKind::Label, "", 203, 123, 38, 8},
        {kLengthField, ControlKind::Label, "00:00:00.000", 247, 122, 53, 10, kStyleSunken},
        {kTimeHint, ControlKind::Label,
         QString::fromUtf8("您也可以直接在白色的编辑框内输入时间段,格式为00:00:00.000(时,分,秒,毫秒)"), 7,
         138, 292, 8},
        {kPlaybackGroup, ControlKind::GroupBox, "", 7, 148, 296, 31},
        {kPlayButton, ControlKind::Custom, "Play", 61, 156, 22, 20},
        {kStopButton, ControlKind::Custom, "Stop", 87, 156, 23, 20},
        {kStartPointButton, ControlKind::Custom, "Start Point", 110, 156, 23, 20},
        {kEndPointButton, ControlKind::Custom, "End Point", 134, 156, 25, 20},
        {kPlaySelectionButton, ControlKind::Custom, "Play Selection", 159, 156, 25, 20},
        {kPositionText, ControlKind::Label, "00:00:00.000 /", 194, 161, 49, 8},
        {kDurationText, ControlKind::Label, "00:00:00.000", 245, 161, 52, 8},
        {kOutputLabel, ControlKind::Label, "", 7, 191, 32, 10},
        {kOutputFolderBox, ControlKind::ComboBox, "", 26, 190, 189, 73, kStyleEditable | kStyleSorted},
        {kBrowseButton, ControlKind::Custom, "Browse", 217, 187, 37, 22},
        {kFindTargetButton, ControlKind::Custom, "Find Target", 253, 187, 53, 22},
        {kCurrentFileText, ControlKind::Label, "", 7, 208, 209, 8},
        {kMergeOrderNote, ControlKind::Label, QString::fromUtf8("注意:合并时先添加的文件合并后也在前面"), 7,
         208, 211, 8, hidden},
        {kAddButton, ControlKind::Custom, "&Add", 307, 9, 63, 27},
        {kDeleteButton, ControlKind::Custom, "Cut", 307, 35, 63, 27},
        {kAboutButton, ControlKind::Custom, "About", 307, 61, 63, 27},
        {kSettingButton, ControlKind::Custom, "Setting", 307, 61, 63, 29, hidden},
        {kSponsorPicture, ControlKind::Frame, "", 306, 91, 64, 63},
        {kStaticId, ControlKind::Label, QString::fromUtf8(kSponsorCaptionTemplateText), 305, 160, 65, 8,
         kStyleCenter},
        {kCutButton, ControlKind::Custom, "&Convert", 321, 169, 49, 47},
        {kMergeButton, ControlKind::Custom, "Merge", 320, 169, 50, 47, hidden},
        {kFormatBox, ControlKind::ComboBox, "", 233, 1, 48, 30, hidden},
        // Left of the help link, clear of the buttons on the right.
        {kLanguageBox, ControlKind::ComboBox, "", 190, 0, 48, 30, platform::kStyleVScroll},
    };
    return d;
}

const std::vector<int>& ShownOnCutTab() {
    static const std::vector<int> ids = {
        kCutButton,    kPositionSlider,   kStartPointButton, kEndPointButton,
        kStartLabel,   kEndLabel,         kLengthLabel,      kStartField,
        kEndField,     kLengthField,      kDurationText,     kPlaybackGroup,
        kAddButton,    kDeleteButton,     kOutputLabel,      kOutputFolderBox,
        kBrowseButton, kFindTargetButton, kAboutButton,      kCurrentFileText,
        kPositionText, kPlayButton,       kStopButton,       kPlaySelectionButton,
        kTimeHint};
    return ids;
}

const std::vector<int>& HiddenOnCutTab() {
    static const std::vector<int> ids = {kMergeButton, kFileList, kSettingButton};
    return ids;
}

const std::vector<int>& ShownOnMergeTab() {
    static const std::vector<int> ids = {kFileList,        kMergeButton,  kSettingButton,
                                         kAddButton,       kDeleteButton, kOutputLabel,
                                         kOutputFolderBox, kBrowseButton, kFindTargetButton};
    return ids;
}

const std::vector<int>& HiddenOnMergeTab() {
    static const std::vector<int> ids = {kCutButton,           kPositionSlider, kStartPointButton,
                                         kEndPointButton,      kStartLabel,     kEndLabel,
                                         kLengthLabel,         kStartField,     kEndField,
                                         kLengthField,         kPositionText,   kDurationText,
                                         kPlaybackGroup,       kPlayButton,     kStopButton,
                                         kPlaySelectionButton, kTimeHint,       kAboutButton};
    return ids;
}

common::MainWindowLayout MainWindowParts() {
    common::MainWindowLayout l(MainWindowTemplate(),
                               common::MainControlIds(kStartField, kEndField, kPositionText, kLanguageBox,
                                                      kDeleteButton, kSponsorPicture));
    l.image_buttons = {{kAddButton, 178},          {kCutButton, 186},
                       {kDeleteButton, 188},       {kBrowseButton, 199},
                       {kFindTargetButton, 204},   {kAboutButton, kAboutImage},
                       {kMergeButton, 295},        {kSettingButton, kSettingImage},
                       {kPlayButton, 301},         {kStopButton, 303},
                       {kStartPointButton, 320},   {kEndPointButton, 321},
                       {kPlaySelectionButton, 325}};
    l.fit_button_images = true;
    l.links = {kHelpLink};
    l.add_buttons = {kAddButton};
    l.labels = {{kStartLabel, "ksjq"},
                {kEndLabel, "jsjq"},
                {kLengthLabel, "jqsj"},
                {kOutputLabel, "output"},
                {kTimeHint, "nykyzjsr"}};
    // The duration column is hidden and keeps its own header.
    l.columns = {"ywj", "kssj", "jssj", "scgs", "zt", nullptr};
    l.status_column = kStatusColumn;
    l.cut_tab_key = "mp3jq";
    l.merge_tab_key = "mp3hb";
    l.shown_on_cut_tab = ShownOnCutTab();
    l.hidden_on_cut_tab = HiddenOnCutTab();
    l.shown_on_merge_tab = ShownOnMergeTab();
    l.hidden_on_merge_tab = HiddenOnMergeTab();
    l.tooltips = {{kAddButton, "tjspwj"},
                  {kCutButton, "ksjq"},
                  {kDeleteButton, "sc"},
                  {kBrowseButton, "szscml"},
                  {kFindTargetButton, "dkml"},
                  {kAboutButton, "bz"},
                  {kMergeButton, "hbcygwj"},
                  {kSettingButton, "cssz"},
                  {kPlayButton, "bf"},
                  {kStopButton, "bftz"},
                  {kStartPointButton, "szksjqd"},
                  {kEndPointButton, "szjsjqd"},
                  {kPlaySelectionButton, "bfjqdl"},
                  {kPositionSlider, "djsbzj"}};
    l.window_colour = 0xFBDDBB;  // RGB(187, 221, 251)
    l.list_colour = 0xE9F9F1;    // RGB(241, 249, 233)
    l.language_keys = AudioToolLanguageKeys();
    l.sponsor_page_after_jobs = true;
    l.web_folder = "/languages/melisk/";
    l.sponsor_files = {"weixin.jpg", "weixin1.jpg", "zfb.jpg"};
    l.add_folder = QStandardPaths::MusicLocation;
    return l;
}

}  // namespace melisk
