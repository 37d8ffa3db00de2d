#pragma once
// CSettings: the merge settings dialog, the merge twin of CFileInfomation. Confirming stores the
// list indexes in setting.ini (section "JOIN"), fills the merge settings and the three results, and
// shows the sponsorship prompt first while it is due. Escape and the close box cancel; Enter does
// nothing, not even in the file name field. UI thread only.

#include "common/settings_template_ids.h"
#include "common/window_drag.h"
#include "videotool/settings_dialog_base.h"

class CSettings : public common::MovableDialog<SettingsDialogBase> {
    Q_OBJECT

  public:
    using enum common::SettingsControlId;

    // settings: the process-wide merge settings, written when the user starts the merge.
    CSettings(const QString& program_folder, JobSettings* settings, QWidget* parent = nullptr);

  protected:
    void InitDialog() override;
    // The hidden channel list's choice.
    std::string ChannelText() const override;
    // Without a preset the codec names are the hidden codec lists' empty texts.
    void AdjustSettings(const SettingTexts& texts) override;

  private:
    QComboBox* m_channels = nullptr;
};
