#pragma once
// What the cut and merge settings dialogs have in common: they are built from a control table, set
// themselves up from setting.ini and the language file when first shown, carry the sponsorship
// prompt, and hand the chosen output folder, file name and extension back to the command. Their
// buttons do the same in both: the two radio buttons enable the lists, browse asks for the output
// folder, start checks and stores the choices. UI thread only.

#include <QDialog>
#include <QString>
#include <string>
#include <vector>

#include "common/setting_texts.h"

class CAVDonateDlg;
class QAbstractButton;
class QComboBox;
class QLineEdit;

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

    // The buttons' handlers. Direct and indirect disable and enable the lists only an indirect job
    // uses; start shows the sponsorship prompt while due, refuses a file name that is empty once the
    // characters no file name may hold are gone, stores the lists' choices in setting.ini and in the
    // settings, checks the output folder and ends the dialog.
    void OnDirect();
    void OnIndirect();
    void OnBrowse();
    void OnStart();

  protected:
    // The ids of the controls both dialogs have.
    struct Controls {
        int direct, indirect, preset, video_quality, size, frame_rate, audio_quality, sample_rate;
        int folder, file_name, browse, start;
    };
    // A dialog class's ids of those controls, by their common names.
    template <class Dialog>
    static Controls ControlsOf() {
        return {Dialog::kDirect,    Dialog::kIndirect,  Dialog::kPreset,       Dialog::kVideoQuality,
                Dialog::kVideoSize, Dialog::kFrameRate, Dialog::kAudioQuality, Dialog::kSampleRate,
                Dialog::kFolder,    Dialog::kFileName,  Dialog::kBrowse,       Dialog::kStart};
    }
    // settings: the process-wide cut or merge settings, written when the user starts the job;
    // section: where setting.ini keeps the lists' choices.
    SettingsDialogBase(const QString& program_folder, JobSettings* settings,
                       const platform::DialogSpec& dialog, const Controls& ids, const QString& section,
                       QWidget* parent);
    // Reads the dialog's texts and stored choices; runs once, before the dialog first shows.
    virtual void InitDialog() = 0;
    // The channels of an indirect job.
    virtual std::string ChannelText() const = 0;
    // After the lists' texts went into the settings.
    virtual void AdjustSettings(const SettingTexts&) {}
    void showEvent(QShowEvent* event) override;

    // The common part of InitDialog: the sponsorship flag, the title, the folder, a direct job, and
    // the six lists with their stored choices (the preset, quality and size lists are alike in
    // both dialogs).
    void InitLists(const QStringList& frame_rates, const QStringList& audio_qualities,
                   const QStringList& sample_rates);
    // Lists that only an indirect job uses besides the six.
    void AddParameterList(QWidget* list) { m_parameter_lists.push_back(list); }
    QComboBox* Combo(int id) const;
    QString SettingsPath() const;
    // The language file that setting.ini names now.
    QString LanguagePath() const;

    QString m_program_folder;
    JobSettings* m_settings;
    QString m_section;
    int m_sponsorship = 1;  // "time" of "TIMES": 0 while the sponsorship prompt is due
    CAVDonateDlg* m_donate = nullptr;
    QString m_output_folder;
    QString m_file_name;
    QString m_extension;

    QAbstractButton* m_direct = nullptr;
    QAbstractButton* m_indirect = nullptr;
    QComboBox* m_preset = nullptr;
    QComboBox* m_video_quality = nullptr;
    QComboBox* m_size = nullptr;
    QComboBox* m_frame_rate = nullptr;
    QComboBox* m_audio_quality = nullptr;
    QComboBox* m_sample_rate = nullptr;
    QLineEdit* m_folder = nullptr;
    QLineEdit* m_name_field = nullptr;
    QAbstractButton* m_browse = nullptr;
    QAbstractButton* m_start = nullptr;

  private:
    bool m_initialised = false;
    std::vector<QWidget*> m_parameter_lists;
};
