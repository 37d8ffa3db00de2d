#include "videotool/settings_dialog_base.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>

#include "common/dialog_keys.h"
#include "common/language_files.h"
#include "common/output_folder.h"
#include "controls/av_donate_dlg.h"
#include "engine/output_names.h"
#include "jobs/output_presets.h"
#include "platform/dialog_template.h"
#include "platform/message_box.h"
#include "platform/profile.h"
#include "videotool/settings_lists.h"

SettingsDialogBase::SettingsDialogBase(const QString& program_folder, JobSettings* settings,
                                       const platform::DialogSpec& dialog, const Controls& ids,
                                       const QString& section, QWidget* parent)
    : QDialog(parent), m_program_folder(program_folder), m_settings(settings), m_section(section) {
    platform::BuildDialog(this, dialog);
    m_donate = new CAVDonateDlg(program_folder, this);
    new common::DialogKeyBlocker(this, /*block_escape=*/false);

    m_direct = platform::ControlAs<QAbstractButton>(this, ids.direct);
    m_indirect = platform::ControlAs<QAbstractButton>(this, ids.indirect);
    m_preset = Combo(ids.preset);
    m_video_quality = Combo(ids.video_quality);
    m_size = Combo(ids.size);
    m_frame_rate = Combo(ids.frame_rate);
    m_audio_quality = Combo(ids.audio_quality);
    m_sample_rate = Combo(ids.sample_rate);
    m_folder = platform::ControlAs<QLineEdit>(this, ids.folder);
    m_name_field = platform::ControlAs<QLineEdit>(this, ids.file_name);
    m_browse = platform::ControlAs<QAbstractButton>(this, ids.browse);
    m_start = platform::ControlAs<QAbstractButton>(this, ids.start);
    m_parameter_lists = {m_preset, m_video_quality, m_size, m_frame_rate, m_audio_quality, m_sample_rate};

    connect(m_direct, &QAbstractButton::clicked, this, &SettingsDialogBase::OnDirect);
    connect(m_indirect, &QAbstractButton::clicked, this, &SettingsDialogBase::OnIndirect);
    connect(m_browse, &QAbstractButton::clicked, this, &SettingsDialogBase::OnBrowse);
    connect(m_start, &QAbstractButton::clicked, this, &SettingsDialogBase::OnStart);
}

SettingsDialogBase::~SettingsDialogBase() = default;

void SettingsDialogBase::showEvent(QShowEvent* event) {
    if (!m_initialised) {
        m_initialised = true;
        InitDialog();
    }
    QDialog::showEvent(event);
}

void SettingsDialogBase::InitLists(const QStringList& frame_rates, const QStringList& audio_qualities,
                                   const QStringList& sample_rates) {
    const QString settings = SettingsPath();
    m_sponsorship = platform::ReadProfileInt("TIMES", "time", 1, settings);
    setWindowTitle(common::ReadLanguageText(LanguagePath(), "APPLICATION", "name"));
    m_folder->setText(platform::ReadProfileString("PATH", "name", QString(), settings));
    m_direct->setChecked(true);
    OnDirect();

    const std::pair<QComboBox*, QStringList> lists[] = {
        {m_preset, taviro::PresetEntryTexts()}, {m_video_quality, taviro::VideoQualityTexts()},
        {m_size, taviro::VideoSizeTexts()},     {m_frame_rate, frame_rates},
        {m_audio_quality, audio_qualities},     {m_sample_rate, sample_rates}};
    const char* const keys[] = {"format", "quality", "size", "framerate", "audioquality", "samplerate"};
    for (int i = 0; i < 6; ++i)
        common::FillStoredList(lists[i].first, lists[i].second, m_section, keys[i], settings);
}

void SettingsDialogBase::OnDirect() {
    for (QWidget* list : m_parameter_lists) list->setEnabled(false);
}

void SettingsDialogBase::OnIndirect() {
    for (QWidget* list : m_parameter_lists) list->setEnabled(true);
}

void SettingsDialogBase::OnBrowse() {
    common::BrowseOutputFolder(this, m_folder, SettingsPath(), LanguagePath());
}

void SettingsDialogBase::OnStart() {
    if (m_sponsorship == 0) m_donate->Run();
    const QString language = LanguagePath();

    // A name that is empty once the characters no file name may hold are gone would give a hidden
    // file named only by its extension.
    const QString name = QString::fromStdString(SanitizeOutputName(m_name_field->text().toStdString()));
    if (name.trimmed().isEmpty()) {
        platform::MessageBoxOk(this, common::ReadLanguageText(language, "TISHI", "xsrwjm"));
        return;
    }

    const QString settings = SettingsPath();
    const std::pair<const QComboBox*, const char*> stored[] = {
        {m_preset, "format"},        {m_video_quality, "quality"},      {m_size, "size"},
        {m_frame_rate, "framerate"}, {m_audio_quality, "audioquality"}, {m_sample_rate, "samplerate"}};
    for (const auto& [box, key] : stored) common::StoreIndex(box, m_section, key, settings);
    SettingTexts texts;
    texts.direct = m_direct->isChecked();
    texts.preset_index = m_preset->currentIndex();
    texts.video_quality = m_video_quality->currentText().toStdString();
    texts.size = m_size->currentText().toStdString();
    texts.frame_rate = m_frame_rate->currentText().toStdString();
    texts.audio_quality = m_audio_quality->currentText().toStdString();
    texts.sample_rate = m_sample_rate->currentText().toStdString();
    texts.channels = ChannelText();
    ApplySettingTexts(texts, m_settings);
    AdjustSettings(texts);

    m_output_folder = m_folder->text();
    if (!common::ConfirmOutputFolder(this, m_output_folder, language)) return;
    m_file_name = name;
    m_extension = QString::fromStdString(ExtensionFromEntryText(m_preset->currentText().toStdString()));
    done(QDialog::Accepted);
}

QComboBox* SettingsDialogBase::Combo(int id) const { return platform::ControlAs<QComboBox>(this, id); }

QString SettingsDialogBase::SettingsPath() const {
    return common::ProgramFiles(m_program_folder).settingsPath();
}

QString SettingsDialogBase::LanguagePath() const {
    return common::ProgramFiles(m_program_folder)
        .languagePath(platform::ReadProfileString("LANGUAGE", "file", QString(), SettingsPath()));
}
