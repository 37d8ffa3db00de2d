#include "videotool/settings_dlg.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "common/language_files.h"
#include "common/output_folder.h"
#include "jobs/output_presets.h"
#include "platform/dialog_template.h"
#include "videotool/settings_lists.h"

using namespace taviro;
using namespace common;

namespace {

platform::DialogSpec MergeSettingsTemplate() {
    using platform::ControlKind;
    using platform::kStaticId;
    using platform::kStyleHidden;
    using C = CSettings;
    platform::DialogSpec d{167, QStringLiteral("Merge settings"), 356, 213};
    d.controls = {
        {C::kStart, ControlKind::DefPushButton, QStringLiteral("开始合并"), 295, 187, 56, 22},
        {C::kVideoSize, ControlKind::ComboBox, {}, 245, 65, 76, 76},
        {C::kVideoCodec, ControlKind::ComboBox, {}, 60, 189, 36, 58, kStyleHidden},
        {C::kFrameRate, ControlKind::ComboBox, {}, 102, 84, 73, 60},
        {C::kVideoQuality, ControlKind::ComboBox, {}, 102, 65, 73, 58},
        {C::kSampleRate, ControlKind::ComboBox, {}, 245, 104, 77, 50},
        {C::kChannels, ControlKind::ComboBox, {}, 191, 190, 38, 69, kStyleHidden},
        {C::kAudioQuality, ControlKind::ComboBox, {}, 101, 105, 73, 62},
        {C::kBrowse, ControlKind::PushButton, QStringLiteral("浏览"), 296, 146, 52, 16},
        {C::kAudioCodec, ControlKind::ComboBox, {}, 143, 189, 33, 73, kStyleHidden},
        {1268, ControlKind::Label, QStringLiteral("预置方案:"), 7, 7, 76, 12},
        {1274, ControlKind::Label, QStringLiteral("采样率:"), 193, 106, 47, 8},
        {1273, ControlKind::Label, QStringLiteral("音频质量:"), 38, 107, 60, 8},
        {kStaticId, ControlKind::Label, QStringLiteral("音频声道:"), 4, 190, 36, 8, kStyleHidden},
        {kStaticId, ControlKind::Label, QStringLiteral("音频编码:"), 98, 191, 40, 8, kStyleHidden},
        {1275, ControlKind::Label,
         QStringLiteral("注意:如果选择直接合并后视频文件播放有问题,请选择第二种间接合并"), 13, 128, 313, 8},
        {1271, ControlKind::Label, QStringLiteral("视频大小:"), 193, 68, 48, 8},
        {1270, ControlKind::Label, QStringLiteral("视频质量:"), 37, 68, 61, 8},
        {1272, ControlKind::Label, QStringLiteral("视频帧率:"), 38, 87, 60, 8},
        {C::kDirect, ControlKind::RadioButton,
         QStringLiteral("1.直接合并(不需要重新编解码,速度快,但仅适用于相同视频格式和相同视频参数的文件)"), 15,
         17, 335, 10},
        {C::kIndirect, ControlKind::RadioButton,
         QStringLiteral("2.间接合并(需要重新编解码,速度慢,但适用于任意视频格式,任意视频参数的文件)"), 15, 32,
         334, 10},
        {kStaticId, ControlKind::GroupBox, {}, 3, 0, 349, 139},
        {kStaticId, ControlKind::GroupBox, {}, 4, 140, 347, 44},
        {1276, ControlKind::Label, QStringLiteral("输出目录:"), 9, 151, 53, 8},
        {1277, ControlKind::Label, QStringLiteral("文件名:"), 10, 167, 50, 8},
        {C::kFolder, ControlKind::Edit, {}, 65, 148, 222, 14, platform::kStyleReadOnly},
        {C::kFileName, ControlKind::Edit, {}, 65, 167, 282, 14, platform::kStyleAutoHScroll},
        {1269, ControlKind::Label, QStringLiteral("视频格式:"), 37, 49, 57, 8},
        {C::kPreset, ControlKind::ComboBox, {}, 102, 47, 219, 30},
    };
    return d;
}

}  // namespace

CSettings::CSettings(const QString& program_folder, JobSettings* settings, QWidget* parent)
    : MovableDialog(program_folder, settings, MergeSettingsTemplate(), ControlsOf<CSettings>(),
                    QStringLiteral("JOIN"), parent) {
    m_channels = Combo(kChannels);
    for (int id : {kChannels, kVideoCodec, kAudioCodec}) AddParameterList(Combo(id));
    platform::ControlAs<QPushButton>(this, kBrowse)->setAutoDefault(false);
}

void CSettings::InitDialog() {
    const QString language = LanguagePath();
    InitLists(MergeFrameRateTexts(), MergeAudioQualityTexts(), MergeSampleRateTexts());
    m_channels->addItems(ChannelTexts());
    m_channels->setCurrentIndex(1);

    // The labels' and buttons' "JIEMIAN" keys.
    const std::vector<std::pair<int, const char*>> texts = {
        {1268, "yzfa"}, {kDirect, "zjhb"}, {kIndirect, "jjhb"}, {1269, "spgs"},  {1270, "spzl"},
        {1271, "spdx"}, {1272, "zl"},      {1273, "ypzl"},      {1274, "ypcyl"}, {1275, "zyzjhb"},
        {1276, "scml"}, {kBrowse, "ll"},   {1277, "wjm"},       {kStart, "kshb"}};
    SetControlTexts(this, language, texts);
    m_start->setToolTip(common::ReadLanguageText(language, "JIEMIAN", "kshb"));
    m_name_field->setText(common::ReadLanguageText(language, "JIEMIAN", "hbhwj"));
}

std::string CSettings::ChannelText() const { return m_channels->currentText().toStdString(); }

void CSettings::AdjustSettings(const SettingTexts& texts) {
    if (texts.preset_index < 0 || texts.preset_index >= OUTPUT_PRESET_COUNT) {
        // The hidden codec boxes have no items: without a preset no codec is named.
        m_settings->video_codec_id = AV_CODEC_ID_NONE;
        m_settings->audio_codec_id = AV_CODEC_ID_NONE;
    }
}
