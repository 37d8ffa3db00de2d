#include "videotool/file_infomation.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "common/language_files.h"
#include "common/output_folder.h"
#include "controls/av_donate_dlg.h"
#include "platform/dialog_template.h"
#include "platform/message_box.h"
#include "platform/profile.h"
#include "videotool/output_presets.h"
#include "videotool/settings_lists.h"

using namespace taviro;
using namespace common;

namespace {

platform::DialogSpec CutSettingsTemplate() {
    using platform::ControlKind;
    using C = CFileInfomation;
    platform::DialogSpec d;
    d.id = 165;
    d.title = QStringLiteral("Cut settings");
    d.w = 356;
    d.h = 206;
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

const QString kSection = QStringLiteral("CUT");

// The lists that only an indirect cut uses.
constexpr std::initializer_list<int> kParameterLists = {
    CFileInfomation::kPreset,    CFileInfomation::kVideoQuality, CFileInfomation::kAudioQuality,
    CFileInfomation::kVideoSize, CFileInfomation::kSampleRate,   CFileInfomation::kFrameRate};

}  // namespace

CFileInfomation::CFileInfomation(const QString& program_folder, JobSettings* settings, QWidget* parent)
    : SettingsDialogBase(program_folder, settings, CutSettingsTemplate(), parent) {
    for (QPushButton* b : findChildren<QPushButton*>()) b->setAutoDefault(false);
    ConnectButtons(kDirect, kIndirect, kBrowse, kStart);
}

void CFileInfomation::InitDialog() {
    const QString settings = SettingsPath();
    const QString language = LanguagePath();
    const QString folder = platform::ReadProfileString("PATH", "name", QString(), settings);
    m_sponsorship = platform::ReadProfileInt("TIMES", "time", 1, settings);

    setWindowTitle(common::ReadLanguageText(language, "APPLICATION", "name"));
    SetControlTexts(this, language,
                    {{1259, "yzfa"},
                     {kDirect, "zjjq"},
                     {kExact, "jqjq"},
                     {kIndirect, "jjjq"},
                     {1260, "spgs"},
                     {1261, "spzl"},
                     {1262, "spdx"},
                     {1263, "zl"},
                     {1264, "ypzl"},
                     {1265, "ypcyl"},
                     {1193, "zyzjjq"},
                     {1266, "scml"},
                     {kBrowse, "ll"},
                     {1267, "wjm"},
                     {kStart, "ksjq1"}});

    platform::ControlAs<QRadioButton>(this, kDirect)->setChecked(true);
    OnDirect();
    platform::ControlAs<QCheckBox>(this, kExact)
        ->setChecked(platform::ReadProfileInt(kSection, "exact", 0, settings) != 0);

    FillStoredList(Combo(kPreset), PresetEntryTexts(), kSection, "format", settings);
    FillStoredList(Combo(kVideoQuality), VideoQualityTexts(), kSection, "quality", settings);
    FillStoredList(Combo(kVideoSize), VideoSizeTexts(), kSection, "size", settings);
    FillStoredList(Combo(kFrameRate),
                   QStringList{common::ReadLanguageText(language, "JIEMIAN", "ywjyy")} + CutFrameRateTexts(),
                   kSection, "framerate", settings);
    FillStoredList(Combo(kAudioQuality), CutAudioQualityTexts(), kSection, "audioquality", settings);
    FillStoredList(Combo(kSampleRate), CutSampleRateTexts(), kSection, "samplerate", settings);

    platform::ControlAs<QLineEdit>(this, kFolder)->setText(folder);
    platform::ControlAs<QLineEdit>(this, kFileName)->setText(m_file_name);
}

void CFileInfomation::OnDirect() {
    EnableControls(this, kParameterLists, false);
    EnableControls(this, {kExact}, true);
}

void CFileInfomation::OnIndirect() {
    EnableControls(this, kParameterLists, true);
    EnableControls(this, {kExact}, false);
}

void CFileInfomation::OnBrowse() {
    BrowseOutputFolder(this, platform::ControlAs<QLineEdit>(this, kFolder), SettingsPath(), LanguagePath());
}

void CFileInfomation::OnStart() {
    if (m_sponsorship == 0) m_donate->Run();
    const QString language = LanguagePath();

    // A name that is empty once the characters no file name may hold are gone would give a hidden
    // file named only by its extension.
    const QString name = QString::fromStdString(
        SanitizeOutputName(platform::ControlAs<QLineEdit>(this, kFileName)->text().toStdString()));
    if (name.trimmed().isEmpty()) {
        platform::MessageBoxOk(this, common::ReadLanguageText(language, "TISHI", "xsrwjm"));
        return;
    }

    SettingTexts texts;
    StoreParameterLists({kPreset, kVideoQuality, kVideoSize, kFrameRate, kAudioQuality, kSampleRate}, kDirect,
                        kSection, &texts);
    texts.channels = "2 Channel Stereo";
    const bool exact = platform::ControlAs<QCheckBox>(this, kExact)->isChecked();
    platform::WriteProfileInt(kSection, "exact", exact ? 1 : 0, SettingsPath());
    texts.exact = texts.direct && exact;
    ApplySettingTexts(texts, m_settings);

    m_output_folder = platform::ControlAs<QLineEdit>(this, kFolder)->text();
    if (!ConfirmOutputFolder(this, m_output_folder, language)) return;
    m_file_name = name;
    m_extension = QString::fromStdString(ExtensionFromEntryText(Combo(kPreset)->currentText().toStdString()));
    done(QDialog::Accepted);
}
