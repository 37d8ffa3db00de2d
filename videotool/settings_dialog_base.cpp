#include "videotool/settings_dialog_base.h"

#include <QAbstractButton>
#include <QComboBox>

#include "common/dialog_keys.h"
#include "common/language_files.h"
#include "common/output_folder.h"
#include "controls/av_donate_dlg.h"
#include "platform/dialog_template.h"
#include "platform/profile.h"

SettingsDialogBase::SettingsDialogBase(const QString& program_folder, JobSettings* settings,
                                       const platform::DialogSpec& dialog, QWidget* parent)
    : QDialog(parent), m_program_folder(program_folder), m_settings(settings) {
    platform::BuildDialog(this, dialog);
    m_donate = new CAVDonateDlg(program_folder, this);
    new common::DialogKeyBlocker(this, /*block_escape=*/false);
}

SettingsDialogBase::~SettingsDialogBase() = default;

void SettingsDialogBase::ConnectButtons(int direct, int indirect, int browse, int start) {
    auto button = [this](int id) { return platform::ControlAs<QAbstractButton>(this, id); };
    connect(button(direct), &QAbstractButton::clicked, this, [this] { OnDirect(); });
    connect(button(indirect), &QAbstractButton::clicked, this, [this] { OnIndirect(); });
    connect(button(browse), &QAbstractButton::clicked, this, [this] { OnBrowse(); });
    connect(button(start), &QAbstractButton::clicked, this, [this] { OnStart(); });
}

void SettingsDialogBase::showEvent(QShowEvent* event) {
    if (!m_initialised) {
        m_initialised = true;
        InitDialog();
    }
    QDialog::showEvent(event);
}

void SettingsDialogBase::StoreParameterLists(const ParameterLists& lists, int direct_button,
                                             const QString& section, SettingTexts* texts) const {
    common::StoreIndexes(this,
                         {{lists.preset, "format"},
                          {lists.video_quality, "quality"},
                          {lists.size, "size"},
                          {lists.frame_rate, "framerate"},
                          {lists.audio_quality, "audioquality"},
                          {lists.sample_rate, "samplerate"}},
                         section, SettingsPath());
    auto text = [this](int id) { return Combo(id)->currentText().toStdString(); };
    texts->direct = platform::ControlAs<QAbstractButton>(this, direct_button)->isChecked();
    texts->preset_index = Combo(lists.preset)->currentIndex();
    texts->video_quality = text(lists.video_quality);
    texts->size = text(lists.size);
    texts->frame_rate = text(lists.frame_rate);
    texts->audio_quality = text(lists.audio_quality);
    texts->sample_rate = text(lists.sample_rate);
}

QComboBox* SettingsDialogBase::Combo(int id) const { return platform::ControlAs<QComboBox>(this, id); }

QString SettingsDialogBase::SettingsPath() const {
    return common::ProgramFiles(m_program_folder).settingsPath();
}

QString SettingsDialogBase::LanguagePath() const {
    return common::ProgramFiles(m_program_folder)
        .languagePath(platform::ReadProfileString("LANGUAGE", "file", QString(), SettingsPath()));
}
