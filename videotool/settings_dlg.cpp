#include "videotool/settings_dlg.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "common/language_files.h"
#include "common/output_folder.h"
#include "controls/av_donate_dlg.h"
#include "jobs/output_presets.h"
#include "platform/dialog_template.h"
#include "platform/message_box.h"
#include "platform/profile.h"
#include "videotool/settings_lists.h"

using namespace taviro;
using namespace common;

namespace {

platform::DialogSpec MergeSettingsTemplate() {
    using platform::ControlKind;
    using platform::kStaticId;
    using platform::kStyleHidden;
    using C = CSettings;
    platform::DialogSpec d;
    d.id = 167;
    d.title = QStringLiteral("Merge settings");
    d.w = 356;
    d.h = 213;
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

const QString kSection = QStringLiteral("JOIN");

// The lists that only an indirect merge uses.
constexpr std::initializer_list<int> kParameterLists = {
    CSettings::kPreset,       CSettings::kVideoSize,  CSettings::kFrameRate,
    CSettings::kVideoQuality, CSettings::kSampleRate, CSettings::kAudioQuality,
    CSettings::kChannels,     CSettings::kVideoCodec, CSettings::kAudioCodec};

}  // namespace

CSettings::CSettings(const QString& program_folder, JobSettings* settings, QWidget* parent)
    : MovableDialog(program_folder, settings, MergeSettingsTemplate(), parent) {
    platform::ControlAs<QPushButton>(this, kBrowse)->setAutoDefault(false);
    ConnectButtons(kDirect, kIndirect, kBrowse, kStart);
}

void CSettings::InitDialog() {
    const QString settings = SettingsPath();
    const QString language = LanguagePath();
    m_sponsorship = platform::ReadProfileInt("TIMES", "time", 1, settings);

    FillStoredList(Combo(kPreset), PresetEntryTexts(), kSection, "format", settings);
    platform::ControlAs<QLineEdit>(this, kFolder)
        ->setText(platform::ReadProfileString("PATH", "name", QString(), settings));
    FillStoredList(Combo(kVideoSize), VideoSizeTexts(), kSection, "size", settings);
    FillStoredList(Combo(kFrameRate), MergeFrameRateTexts(), kSection, "framerate", settings);
    FillStoredList(Combo(kVideoQuality), VideoQualityTexts(), kSection, "quality", settings);
    FillStoredList(Combo(kSampleRate), MergeSampleRateTexts(), kSection, "samplerate", settings);
    FillStoredList(Combo(kAudioQuality), MergeAudioQualityTexts(), kSection, "audioquality", settings);
    Combo(kChannels)->addItems(ChannelTexts());
    Combo(kChannels)->setCurrentIndex(1);

    platform::ControlAs<QRadioButton>(this, kDirect)->setChecked(true);
    OnDirect();

    setWindowTitle(common::ReadLanguageText(language, "APPLICATION", "name"));
    SetControlTexts(this, language,
                    {{1268, "yzfa"},
                     {kDirect, "zjhb"},
                     {kIndirect, "jjhb"},
                     {1269, "spgs"},
                     {1270, "spzl"},
                     {1271, "spdx"},
                     {1272, "zl"},
                     {1273, "ypzl"},
                     {1274, "ypcyl"},
                     {1275, "zyzjhb"},
                     {1276, "scml"},
                     {kBrowse, "ll"},
                     {1277, "wjm"},
                     {kStart, "kshb"}});
    platform::ControlById(this, kStart)->setToolTip(common::ReadLanguageText(language, "JIEMIAN", "kshb"));
    platform::ControlAs<QLineEdit>(this, kFileName)
        ->setText(common::ReadLanguageText(language, "JIEMIAN", "hbhwj"));
}

void CSettings::OnDirect() { EnableControls(this, kParameterLists, false); }

void CSettings::OnIndirect() { EnableControls(this, kParameterLists, true); }

void CSettings::OnBrowse() {
    BrowseOutputFolder(this, platform::ControlAs<QLineEdit>(this, kFolder), SettingsPath(), LanguagePath());
}

void CSettings::OnStart() {
    if (m_sponsorship == 0) m_donate->Run();
    const QString language = LanguagePath();

    // Checked without the characters no file name may hold: what is left must still name a file.
    const QString name = QString::fromStdString(
        SanitizeOutputName(platform::ControlAs<QLineEdit>(this, kFileName)->text().toStdString()));
    if (name.trimmed().isEmpty()) {
        platform::MessageBoxOk(this, common::ReadLanguageText(language, "TISHI", "xsrwjm"));
        return;
    }

    SettingTexts texts;
    StoreParameterLists({kPreset, kVideoQuality, kVideoSize, kFrameRate, kAudioQuality, kSampleRate}, kDirect,
                        kSection, &texts);
    texts.channels = Combo(kChannels)->currentText().toStdString();
    ApplySettingTexts(texts, m_settings);
    if (texts.preset_index < 0 || texts.preset_index >= OUTPUT_PRESET_COUNT) {
        // The hidden codec boxes have no items: without a preset no codec is named.
        m_settings->video_codec_id = AV_CODEC_ID_NONE;
        m_settings->audio_codec_id = AV_CODEC_ID_NONE;
    }

    m_output_folder = platform::ControlAs<QLineEdit>(this, kFolder)->text();
    if (!ConfirmOutputFolder(this, m_output_folder, language)) return;
    m_file_name = name;
    m_extension = QString::fromStdString(ExtensionFromEntryText(Combo(kPreset)->currentText().toStdString()));
    done(QDialog::Accepted);
}
