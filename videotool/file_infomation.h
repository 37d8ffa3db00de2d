#pragma once
// CFileInfomation: the cut settings dialog. The user picks a direct or an indirect cut, an output
// preset with its parameters, the output folder and the file name. Confirming stores the list
// indexes in setting.ini (section "CUT"), fills the cut settings and the three results below, and
// shows the sponsorship prompt first while it is due. Escape and the close box cancel; Enter does
// nothing. UI thread only.

#include <QDialog>
#include <QString>

#include "engine/job_builder.h"

class CAVDonateDlg;
class QComboBox;
class QLineEdit;
class QRadioButton;

class CFileInfomation : public QDialog {
    Q_OBJECT

  public:
    enum ControlId {
        kDirect = 1189,
        kIndirect = 1007,
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
    ~CFileInfomation() override;

    // The caller sets the default name before exec().
    void setFileName(const QString& name) { m_file_name = name; }

    // The results, valid after exec() returned Accepted.
    const QString& outputFolder() const { return m_output_folder; }
    const QString& fileName() const { return m_file_name; }
    const QString& extension() const { return m_extension; }

    CAVDonateDlg* donateDialog() const { return m_donate; }

    // The buttons' handlers.
    void OnDirect();
    void OnIndirect();
    void OnBrowse();
    void OnStart();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void InitDialog();
    QComboBox* Combo(int id) const;

    QString m_program_folder;
    JobSettings* m_settings;
    int m_sponsorship = 1;
    CAVDonateDlg* m_donate = nullptr;
    QString m_output_folder;
    QString m_file_name;
    QString m_extension;
    bool m_initialised = false;
};
