#include "videotool/file_infomation.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "common/language_files.h"
#include "common/output_folder.h"
#include "platform/dialog_template.h"
#include "platform/profile.h"
#include "videotool/settings_lists.h"

using namespace taviro;
using namespace common;

namespace {

platform::DialogSpec CutSettingsTemplate() {
    using platform::ControlKind;
    using C = CFileInfomation;
    platform::DialogSpec d{165, QStringLiteral("Cut settings"), 356, 206};
    d.controls = {
        {1259, ControlKind::Label, QStringLiteral("预置方案:"), 9, 7, 54, 8},
        {C::kDirect, ControlKind::RadioButton,
         QStringLiteral("1.直接剪切(不需要重新编解码,剪切速度快,但不支持RM,RMVB,WMV3,XviD等编码器)"), 20, 17,
         328, 10},
        {C::kIndirect, ControlKind::RadioButton,
         QStringLiteral("2.间接剪切(需要重新编解码,速度慢,但支持任意视频格式(RM,RMVB,WMV3,XviD)"), 20, 37,
         327, 10},
        // After both radio buttons, which form one group only while they follow each other.
        {C::kExact, ControlKind::CheckBox,
         QStringLiteral(
             "Start and end exactly at the chosen times (re-encodes only up to the nearest key frames)"),
         30, 27, 318, 9},
        {C::kPreset, ControlKind::ComboBox, {}, 96, 48, 226, 30},
        {1261, ControlKind::Label, QStringLiteral("视频质量:"), 43, 67, 49, 8},
        {1262, ControlKind::Label, QStringLiteral("视频大小:"), 196, 67, 48, 8},
        {1264, ControlKind::Label, QStringLiteral("音频质量:"), 43, 107, 47, 8},
        {C::kVideoQuality, ControlKind::ComboBox, {}, 96, 65, 74, 30},
        {C::kVideoSize, ControlKind::ComboBox, {}, 246, 65, 75, 30},
        {C::kAudioQuality, ControlKind::ComboBox, {}, 95, 104, 75, 30},
        {1266, ControlKind::Label, QStringLiteral("输出目录:"), 13, 145, 43, 8},
        {C::kFolder, ControlKind::Edit, {}, 57, 143, 226, 14, platform::kStyleReadOnly},
        {C::kBrowse, ControlKind::PushButton, QStringLiteral("浏览"), 291, 142, 50, 16},
        {1193, ControlKind::Label,
         QStringLiteral("注意:如果选择第一种直接剪切后视频文件有问题,请选择第二种间接剪切"), 19, 122, 300, 8},
        {C::kStart, ControlKind::PushButton, QStringLiteral("开始剪切"), 287, 180, 55, 22},
        {platform::kStaticId, ControlKind::GroupBox, {}, 2, 0, 353, 135},
        {platform::kStaticId, ControlKind::GroupBox, {}, 1, 135, 353, 44},
        {C::kFrameRate, ControlKind::ComboBox, {}, 96, 84, 74, 30},
        {1263, ControlKind::Label, QStringLiteral("视频帧率:"), 43, 87, 47, 8},
        {C::kSampleRate, ControlKind::ComboBox, {}, 245, 103, 76, 30},
        {1265, ControlKind::Label, QStringLiteral("采样率:"), 197, 106, 46, 8},
        {1267, ControlKind::Label, QStringLiteral("文件名:"), 14, 166, 41, 8},
        {C::kFileName, ControlKind::Edit, {}, 57, 162, 283, 14, platform::kStyleAutoHScroll},
        {1260, ControlKind::Label, QStringLiteral("视频格式:"), 43, 50, 51, 8},
    };
    return d;
}

}  // namespace

CFileInfomation::CFileInfomation(const QString& program_folder, JobSettings* settings, QWidget* parent)
    : SettingsDialogBase(program_folder, settings, CutSettingsTemplate(), ControlsOf<CFileInfomation>(),
                         QStringLiteral("CUT"), parent) {
    for (QPushButton* b : findChildren<QPushButton*>()) b->setAutoDefault(false);
    m_exact = platform::ControlAs<QCheckBox>(this, kExact);
    // The box belongs to the direct cut.
    connect(m_direct, &QAbstractButton::toggled, m_exact, &QWidget::setEnabled);
}

void CFileInfomation::InitDialog() {
    const QString language = LanguagePath();
    // The labels' and buttons' "JIEMIAN" keys.
    const std::vector<std::pair<int, const char*>> texts = {
        {1259, "yzfa"},   {kDirect, "zjjq"}, {kExact, "jqjq"}, {kIndirect, "jjjq"}, {1260, "spgs"},
        {1261, "spzl"},   {1262, "spdx"},    {1263, "zl"},     {1264, "ypzl"},      {1265, "ypcyl"},
        {1193, "zyzjjq"}, {1266, "scml"},    {kBrowse, "ll"},  {1267, "wjm"},       {kStart, "ksjq1"}};
    SetControlTexts(this, language, texts);
    InitLists(QStringList{common::ReadLanguageText(language, "JIEMIAN", "ywjyy")} + CutFrameRateTexts(),
              CutAudioQualityTexts(), CutSampleRateTexts());
    m_name_field->setText(m_file_name);
    m_exact->setChecked(platform::ReadProfileInt(m_section, "exact", 0, SettingsPath()) != 0);
}

void CFileInfomation::AdjustSettings(const SettingTexts& texts) {
    platform::WriteProfileInt(m_section, "exact", m_exact->isChecked() ? 1 : 0, SettingsPath());
    m_settings->exact = texts.direct && m_exact->isChecked();
}

std::string CFileInfomation::ChannelText() const { return "2 Channel Stereo"; }
