#pragma once
// CFileInfomation: the cut settings dialog. The user picks a direct cut (exact at the chosen times or
// at the key frames) or an indirect cut, an output
// preset with its parameters, the output folder and the file name. Confirming stores the list
// indexes in setting.ini (section "CUT"), fills the cut settings and the three results below, and
// shows the sponsorship prompt first while it is due. Escape and the close box cancel; Enter does
// nothing. UI thread only.

#include "videotool/settings_dialog_base.h"

class CFileInfomation : public SettingsDialogBase {
    Q_OBJECT

  public:
    enum ControlId {
        kDirect = 1189,
        kIndirect = 1007,
        kExact = 1198,  // a direct cut starts and ends exactly (under the direct cut)
        kPreset = 1105,
        kVideoQuality = 1190,
        kVideoSize = 1191,
        kAudioQuality = 1192,
        kFrameRate = 1065,
        kSampleRate = 1197,
        kFolder = 1003,
        kBrowse = 1076,
        kFileName = 1075,
        kStart = 1194,
    };

    // settings: the process-wide cut settings, written when the user starts the cut.
    CFileInfomation(const QString& program_folder, JobSettings* settings, QWidget* parent = nullptr);

    // The caller sets the default name before exec().
    void setFileName(const QString& name) { m_file_name = name; }

  protected:
    void InitDialog() override;
    // A cut's sound is stereo.
    std::string ChannelText() const override;
    // Remembers the exact-cut box; only a direct cut is exact.
    void AdjustSettings(const SettingTexts& texts) override;

  private:
    QAbstractButton* m_exact = nullptr;
};
