#pragma once
// CSettings: the merge settings dialog, the merge twin of CFileInfomation. Confirming stores the
// list indexes in setting.ini (section "JOIN"), fills the merge settings and the three results, and
// shows the sponsorship prompt first while it is due. Escape and the close box cancel; Enter does
// nothing, not even in the file name field. UI thread only.

#include <QDialog>
#include <QPoint>
#include <QString>

#include "engine/job_builder.h"

class CAVDonateDlg;
class QComboBox;

class CSettings : public QDialog {
    Q_OBJECT

  public:
    enum ControlId {
        kStart = 1,
        kVideoSize = 1063,
        kVideoCodec = 1064,
        kFrameRate = 1065,
        kVideoQuality = 1066,
        kSampleRate = 1067,
        kChannels = 1068,
        kAudioCodec = 1069,
        kAudioQuality = 1070,
        kBrowse = 1072,
        kDirect = 1256,
        kIndirect = 1007,
        kFolder = 1003,
        kFileName = 1075,
        kPreset = 1105,
    };

    // settings: the process-wide merge settings, written when the user starts the merge.
    CSettings(const QString& program_folder, JobSettings* settings, QWidget* parent = nullptr);
    ~CSettings() override;

    const QString& outputFolder() const { return m_output_folder; }
    const QString& fileName() const { return m_file_name; }
    const QString& extension() const { return m_extension; }

    CAVDonateDlg* donateDialog() const { return m_donate; }

    void OnDirect();
    void OnIndirect();
    void OnBrowse();
    void OnStart();

  protected:
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

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
    bool m_dragging = false;
    QPoint m_drag_offset;
};
