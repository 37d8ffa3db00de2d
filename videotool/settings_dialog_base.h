#pragma once
// What the cut and merge settings dialogs have in common: they are built from a control table, set
// themselves up from setting.ini and the language file when first shown, carry the sponsorship
// prompt, and hand the chosen output folder, file name and extension back to the command.
// UI thread only.

#include <QDialog>
#include <QString>

#include "common/setting_texts.h"

class CAVDonateDlg;
class QComboBox;

namespace platform {
struct DialogSpec;
}

class SettingsDialogBase : public QDialog {
    Q_OBJECT

  public:
    ~SettingsDialogBase() override;

    // The results, valid after exec() returned Accepted.
    const QString& outputFolder() const { return m_output_folder; }
    const QString& fileName() const { return m_file_name; }
    const QString& extension() const { return m_extension; }

    CAVDonateDlg* donateDialog() const { return m_donate; }

    // The buttons' handlers.
    virtual void OnDirect() = 0;
    virtual void OnIndirect() = 0;
    virtual void OnBrowse() = 0;
    virtual void OnStart() = 0;

  protected:
    // settings: the process-wide cut or merge settings, written when the user starts the job.
    SettingsDialogBase(const QString& program_folder, JobSettings* settings,
                       const platform::DialogSpec& dialog, QWidget* parent);
    // Connects the two radio buttons, the browse and the start button to their handlers.
    void ConnectButtons(int direct, int indirect, int browse, int start);
    // Reads the dialog's texts and stored choices; runs once, before the dialog first shows.
    virtual void InitDialog() = 0;
    void showEvent(QShowEvent* event) override;

    // The six lists both dialogs have, by control id.
    struct ParameterLists {
        int preset, video_quality, size, frame_rate, audio_quality, sample_rate;
    };
    // Stores the lists' selection indexes under section of setting.ini and reads the direct button
    // and the lists' texts into texts (channels are left to the caller).
    void StoreParameterLists(const ParameterLists& lists, int direct_button, const QString& section,
                             SettingTexts* texts) const;

    QComboBox* Combo(int id) const;
    QString SettingsPath() const;
    // The language file that setting.ini names now.
    QString LanguagePath() const;

    QString m_program_folder;
    JobSettings* m_settings;
    int m_sponsorship = 1;  // "time" of "TIMES": 0 while the sponsorship prompt is due
    CAVDonateDlg* m_donate = nullptr;
    QString m_output_folder;
    QString m_file_name;
    QString m_extension;

  private:
    bool m_initialised = false;
};
