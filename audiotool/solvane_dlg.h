#pragma once
// melisk::CSolvaneDlg: Melisk's main window. The cut tab plays one audio file through the player
// library and chooses a time range of it; the merge tab holds the list of files to join into one
// MP3. The window reads its settings and language file from its program folder at start and wires
// the controls of template 102 to the commands below, which tests call directly. UI thread only.

#include <QDialog>
#include <QPalette>
#include <QString>
#include <QStringList>
#include <QTranslator>
#include <cstdint>
#include <memory>

#include "audiotool/output_settings.h"
#include "common/language_files.h"
#include "common/window_drag.h"
#include "engine/probe.h"

class CAVDonateDlg;
class CBitmapSlider;
class CCheckListCtrl;
class QComboBox;
class QLabel;
class QLineEdit;
class QTabBar;
class QTimer;

namespace melisk {

class JobCommands;

class CSolvaneDlg : public common::MovableDialog<QDialog> {
    Q_OBJECT

  public:
    // program_folder holds setting.ini, languages/ and the sponsorship pictures; it must be writable.
    explicit CSolvaneDlg(const QString& program_folder, QWidget* parent = nullptr);
    ~CSolvaneDlg() override;

    // Add command: asks for files with the open-file dialog, then adds them.
    void AddFiles();
    // The folder the add dialog opens in: the one files were last added from, else the music folder.
    QString AddFolder() const;
    // Before a cut: refuses, with a message, typed times the cut cannot use (a text that is no time,
    // an end at or before the start, a start beyond the end of the file) and writes valid ones in
    // full. True when the cut may go on.
    bool ConfirmCutRange();
    // Adds files as if chosen in the dialog: probes each; in the merge tab appends a checked row per
    // file, in the cut tab makes the last one the current file and starts playing it. Stops at the
    // first file that cannot be read, with a message naming it.
    void AddFilePaths(const QStringList& paths);
    // Delete button and key: removes the selected list row, stops playback, zeroes the time texts.
    void DeleteSelected();
    void Browse();
    void FindTarget();
    void About();
    void OpenSettings();
    void SwitchTab(int tab);
    void SwitchLanguage(int item);
    void ApplyLanguageTexts();

    // Playback (the player library is process-wide; this window is its one user).
    void PlayPause();
    void Stop();
    void PlaySelection();
    void SetStartPoint();
    void SetEndPoint();
    void SeekToSlider(int position);
    // Timer 100: position texts and slider, and the end of a selection.
    void OnPositionTimer();
    // The player's end of playback, delivered on this window's thread.
    void OnPlaybackFinished();
    bool isPlaying() const { return m_playing; }
    bool isStopped() const { return m_stopped; }
    int32_t positionMs() const { return m_position_ms; }
    QTimer* positionTimer() const { return m_timer100; }
    // The device format the player reported for the file opened last (rate, channels).
    int32_t deviceRate() const { return m_media_type[0]; }
    int32_t deviceChannels() const { return m_media_type[1]; }

    virtual void OnCutCommand();
    virtual void OnMergeCommand();
    JobCommands* jobCommands();

    QWidget* control(int id) const;
    QString labelText(int id) const;
    const common::ProgramFiles& programFiles() const { return m_files; }
    QString settingsPath() const { return m_files.settingsPath(); }
    QString languagePath() const { return m_files.languagePath(m_texts.languageFile()); }
    QString text(const char* section, const char* key) const { return m_texts.text(section, key); }
    int sponsorship() const { return m_sponsorship; }
    void setSponsorship(int value) { m_sponsorship = value; }
    CAVDonateDlg* donateDialog() const { return m_donate; }

    const QString& currentFile() const { return m_current_file; }
    const ProbeResult& currentProbe() const { return m_current_probe; }
    OutputSettings& outputSettings() { return m_output_settings; }
    QString outputFolder() const;
    const QString& confirmedFolder() const { return m_confirmed_folder; }
    void setConfirmedFolder(const QString& folder) { m_confirmed_folder = folder; }
    QString lastCutOutput() const { return m_last_cut_output; }
    void setLastCutOutput(const QString& path) { m_last_cut_output = path; }

    CBitmapSlider* slider() const { return m_slider; }
    CCheckListCtrl* fileList() const { return m_list; }
    QTabBar* tabs() const { return m_tabs; }
    QLineEdit* startField() const { return m_start_field; }
    QLineEdit* endField() const { return m_end_field; }
    QComboBox* outputFolderBox() const { return m_folder_box; }
    QComboBox* languageBox() const { return m_language_box; }
    QLabel* sponsorCaption() const { return m_sponsor_caption; }

  protected:
    // Enter and Escape never close the window: they would throw the list and playback away.
    void accept() override {}
    void reject() override {}
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void FetchSponsorshipFiles();
    void SetUpControls();
    void SetUpPlayer();
    void FitListColumns();
    void SetButtonImage(int id, int image);
    void UpdateLength();
    // A time field whose text is no time shows red.
    void ShowTimeValidity(QLineEdit* field);
    void SetFields(const std::string& start, const std::string& end, const std::string& length);
    bool OpenPlayer();
    void StartTimers();
    void StopTimers();
    int32_t CurrentDurationMs() const;

    common::ProgramFiles m_files;
    common::TextCache m_texts;
    int m_sponsorship = 1;
    CAVDonateDlg* m_donate = nullptr;

    QString m_current_file;
    ProbeResult m_current_probe;
    OutputSettings m_output_settings;
    QString m_confirmed_folder;
    QString m_last_cut_output;
    bool m_adding = false;

    // Playback state: "PAUSE" in the play button's terms is m_playing.
    bool m_playing = false;
    bool m_stopped = true;
    bool m_file_open = false;  // once any file has opened; never cleared
    bool m_play_selection = false;
    int32_t m_position_ms = 0;
    int32_t m_media_type[2] = {0, 0};
    QTimer* m_timer100 = nullptr;
    QTimer* m_timer200 = nullptr;
    QTimer* m_selection_end_timer = nullptr;

    CBitmapSlider* m_slider = nullptr;
    CCheckListCtrl* m_list = nullptr;
    QTabBar* m_tabs = nullptr;
    QLineEdit* m_start_field = nullptr;
    QLineEdit* m_end_field = nullptr;
    QComboBox* m_folder_box = nullptr;
    QComboBox* m_language_box = nullptr;
    QLabel* m_sponsor_caption = nullptr;
    JobCommands* m_jobs = nullptr;
    QPalette m_time_field_palette;  // a time field's look while its text is a time
    QTranslator m_qt_translations;  // Qt's own texts in the chosen language
};

}  // namespace melisk
