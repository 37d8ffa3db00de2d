#pragma once
// CSolvaneDlg: Taviro's main window. The cut tab previews one video and chooses a time range of it;
// the merge tab holds the list of videos to join. The skeleton (common/main_window.h) runs the
// tabs, the list, adding and the texts; this class adds the preview panel, the keys and the
// commands below, which tests call directly. UI thread only.

#include <QPixmap>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "common/main_window.h"
#include "engine/preview_session.h"
#include "engine/probe.h"
#include "jobs/video_jobs.h"

class CControlButton;
class CHyperLink;
class QFontMetrics;
namespace taviro {
class JobCommands;
}

// A path as the merge list shows it in width pixels: whole when it fits, else with the middle of its
// folder part left out ("/home/user/Vi…/holiday.mp4"), so that the file name stays readable; a file
// name too long by itself loses its own middle.
QString ElidedPathText(const QString& path, const QFontMetrics& metrics, int width);

class CSolvaneDlg : public common::MainWindowBase {
    Q_OBJECT

  public:
    // program_folder holds setting.ini, languages/ and the preview image; it must be writable.
    explicit CSolvaneDlg(const QString& program_folder, QWidget* parent = nullptr);
    // files says where setting.ini, the downloads and the preview image go (an installed suite).
    explicit CSolvaneDlg(common::ProgramFiles files, QWidget* parent = nullptr);
    ~CSolvaneDlg() override;

    // Add command: asks for files with the open-file dialog, then adds them.
    void AddVideos() { AddFiles(); }
    // Adds files as if chosen in the dialog: probes each; in the merge tab appends a checked row per
    // file, in the cut tab loads the last one. Stops at the first file that cannot be read, with a
    // message naming it.
    void AddVideoPaths(const QStringList& paths) { AddFilePaths(paths); }
    void RemoveSelectedVideo() { DeleteSelected(); }
    // Files named on the command line (paths, relative ones from the current folder, or file:
    // addresses): added once the event loop runs, as if chosen in the add dialog.
    void AddStartupFiles(const QStringList& arguments);

    void Play();
    // Decodes and shows the frame at a slider position (0 to 1000) of the probed video.
    void ShowFrameAtSliderPosition(int position);
    // Decodes and shows the frame at a time of the current video (held within it) and puts the thumb
    // there; the keys step and jump with it.
    void ShowFrameAtTime(int32_t ms);
    void StepPreview(int32_t delta_ms);
    void SwitchTab(int tab) override;

    // The cut and merge buttons: check, ask for the settings, run the job with its progress dialog.
    void OnCutCommand() override;
    void OnMergeCommand() override;
    // The worker, timer 1 and the progress dialog of the commands (made on first use).
    taviro::JobCommands* jobCommands();

    int32_t currentDurationMs() const { return m_duration_ms; }
    const QString& previewImagePath() const { return m_preview_path; }
    int32_t previewPositionMs() const { return m_preview_ms; }
    const QPixmap& previewPicture() const { return m_preview; }
    // The preview BMP is written behind the picture shown; waits until the last one is on disk.
    bool WaitForPreviewBitmap();
    JobSettings& cutSettings() { return m_cut_settings; }
    JobSettings& mergeSettings() { return m_merge_settings; }

  protected:
    // Adding: the chosen path is kept as the list shows it; the last good probe stays.
    bool ProbeFile(const QString& chosen, QString* path) override;
    QStringList RowTexts(const QString& path) const override;
    QString FileFilter() const override;
    void TakeCurrentFile(const QString& path) override { m_current_file = path; }
    // The preview panel: the frame at 0 s of the loaded video, and the thumb over it.
    void LoadCurrentFile() override;
    QPixmap PanelPicture() const override;
    double PanelPictureAspect() const override { return m_preview_aspect; }
    int32_t CurrentDurationMs() const override { return m_duration_ms; }
    int32_t ThumbPositionMs() const override { return m_preview_ms; }
    int64_t ThumbDurationUs() const override { return m_probe.duration_us; }
    // The sponsor link, the path column, the tooltips with their keys, the status column.
    void SetUpToolControls() override;
    void ApplyToolTexts() override;
    QString TooltipText(int id, const char* key) const override;
    void FitListColumns() override;
    // Delete, Ctrl+O; on the cut tab the points, the arrows, Home and End.
    bool HandleKey(QObject* watched, const QKeyEvent* key) override;

  private:
    void DecodePreviewAt(double seek_s);

    // The last file the add command probed (the slider's preview decodes it) and the last good probe.
    std::optional<std::string> m_probe_path;
    ProbeResult m_probe;
    QString m_preview_path;       // empty until the first frame was made
    QPixmap m_preview;            // the picture last decoded into m_preview_path
    double m_preview_aspect = 0;  // its display proportions (the BMP's rows are stretched to 640 x 360)
    int32_t m_preview_ms = 0;
    // The open video and its last key-frame pictures while the slider moves; made again per file.
    std::unique_ptr<engine::PreviewSession> m_preview_session;
    int32_t m_duration_ms = 0;  // of the current file, as probed when it was loaded
    JobSettings m_cut_settings;
    JobSettings m_merge_settings;

    CHyperLink* m_sponsor_link = nullptr;
    CControlButton* m_play_button = nullptr;
    taviro::JobCommands* m_jobs = nullptr;
};
