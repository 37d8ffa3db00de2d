#pragma once
// melisk::CSolvaneDlg: Melisk's main window. The cut tab plays one audio file through the player
// library and chooses a time range of it; the merge tab holds the list of files to join into one
// MP3. The skeleton (common/main_window.h) runs the tabs, the list, adding and the texts; this
// class adds the player panel, the output folder, the keys and the commands below, which tests call
// directly. UI thread only.

#include <QString>
#include <QStringList>
#include <cstdint>

#include "audiotool/output_settings.h"
#include "common/main_window.h"
#include "engine/probe.h"

class CAVDonateDlg;
class CWaveformView;
class QTimer;

namespace melisk {

class EngineWaveform;
class JobCommands;

class CSolvaneDlg : public common::MainWindowBase {
    Q_OBJECT

  public:
    // program_folder holds setting.ini, languages/ and the sponsorship pictures; it must be writable.
    explicit CSolvaneDlg(const QString& program_folder, QWidget* parent = nullptr);
    ~CSolvaneDlg() override;

    // Delete button and key: removes the selected list row, stops playback, zeroes the time texts.
    void DeleteSelected() override;
    void Browse();
    void FindTarget();
    void About();
    void OpenSettings();
    void SwitchTab(int tab) override;

    // Playback (the player library is process-wide; this window is its one user).
    void PlayPause();
    void Stop();
    void PlaySelection();
    void SeekToSlider(int position);
    // A click on the waveform: plays on from that time, as a slider seek does.
    void SeekToMs(int64_t ms);
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

    void OnCutCommand() override;
    void OnMergeCommand() override;
    JobCommands* jobCommands();

    QString labelText(int id) const;
    CAVDonateDlg* donateDialog() const { return m_donate; }

    const ProbeResult& currentProbe() const { return m_current_probe; }
    OutputSettings& outputSettings() { return m_output_settings; }
    QString outputFolder() const;
    const QString& confirmedFolder() const { return m_confirmed_folder; }
    void setConfirmedFolder(const QString& folder) { m_confirmed_folder = folder; }
    QString lastCutOutput() const { return m_last_cut_output; }
    void setLastCutOutput(const QString& path) { m_last_cut_output = path; }

    CWaveformView* waveform() const { return m_waveform; }
    // The current file's waveform (computed on worker threads); null before a file is added.
    const std::shared_ptr<EngineWaveform>& waveformData() const { return m_waveform_data; }
    QComboBox* outputFolderBox() const { return m_folder_box; }
    QLabel* sponsorCaption() const { return m_sponsor_caption; }

  protected:
    void SetUpToolControls() override;
    void ApplyToolTexts() override;
    void FitListColumns() override;
    // The play button's tooltip follows the play state.
    QString TooltipText(int id, const char* key) const override;
    // Adding on the cut tab names the file and readies the player; loading it starts playing.
    QString FileFilter() const override;
    bool ProbeFile(const QString& chosen, QString* path) override;
    void OnCurrentFileCleared() override;
    void TakeCurrentFile(const QString& path) override;
    void LoadCurrentFile() override;
    QStringList RowTexts(const QString& path) const override;
    int32_t CurrentDurationMs() const override;
    int32_t ThumbPositionMs() const override { return m_position_ms; }
    int64_t ThumbDurationUs() const override { return m_current_probe.duration_us; }
    // Delete; Space and the brackets on the cut tab with a file, outside the text fields.
    bool HandleKey(QObject* watched, const QKeyEvent* key) override;
    // The sponsorship picture, downloaded while the sponsorship is due.
    QPixmap PanelPicture() const override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void SetUpPlayer();
    void SetButtonImage(CControlButton* button, int image);
    // The play button's picture and tooltip for the play state.
    void ShowPlayState();
    bool OpenPlayer();
    void StartTimers();
    void StopTimers();
    void SetUpWaveform();
    // The waveform's handles, the slider's marks and the time fields follow each other.
    void OnWaveformStartMoved(int64_t ms);
    void OnWaveformEndMoved(int64_t ms);
    void ShowRangeOnWaveform();
    int SliderValueOfMs(int64_t ms) const;

    CAVDonateDlg* m_donate = nullptr;
    ProbeResult m_current_probe;
    ProbeResult m_added_probe;  // of the file the add command probed last
    OutputSettings m_output_settings;
    QString m_confirmed_folder;
    QString m_last_cut_output;

    // Playback state: "PAUSE" in the play button's terms is m_playing.
    bool m_playing = false;
    bool m_stopped = true;
    bool m_file_open = false;  // once any file has opened; never cleared
    bool m_play_selection = false;
    int32_t m_position_ms = 0;
    int32_t m_media_type[2] = {0, 0};
    int m_slider_template_width = 0;
    QTimer* m_timer100 = nullptr;
    QTimer* m_timer200 = nullptr;
    QTimer* m_selection_end_timer = nullptr;

    CControlButton* m_play_button = nullptr;
    CControlButton* m_stop_button = nullptr;
    CControlButton* m_play_selection_button = nullptr;
    CControlButton* m_browse_button = nullptr;
    CControlButton* m_find_target_button = nullptr;
    CControlButton* m_about_button = nullptr;
    CControlButton* m_setting_button = nullptr;
    QLabel* m_duration_text = nullptr;
    QLabel* m_current_file_text = nullptr;
    CWaveformView* m_waveform = nullptr;
    std::shared_ptr<EngineWaveform> m_waveform_data;
    QComboBox* m_folder_box = nullptr;
    QComboBox* m_format_box = nullptr;
    QLabel* m_sponsor_caption = nullptr;
    JobCommands* m_jobs = nullptr;
};

}  // namespace melisk
