#pragma once
// CSolvaneDlg: Taviro's main window. The cut tab previews one video and chooses a time range of it;
// the merge tab holds the list of videos to join. The window reads its settings and language file
// from its program folder at start, and wires the controls of template 102 to the commands below,
// which tests call directly. UI thread only.

#include <QDialog>
#include <QPalette>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QTranslator>
#include <cstdint>
#include <optional>
#include <string>

#include "common/language_files.h"
#include "common/window_drag.h"
#include "engine/probe.h"
#include "jobs/video_jobs.h"

class CBitmapSlider;
class QKeyEvent;
class QLineEdit;
class QTabBar;
class CCheckListCtrl;
class QComboBox;
namespace taviro {
class JobCommands;
}

class QFontMetrics;

// A path as the merge list shows it in width pixels: whole when it fits, else with the middle of its
// folder part left out ("/home/user/Vi…/holiday.mp4"), so that the file name stays readable; a file
// name too long by itself loses its own middle.
QString ElidedPathText(const QString& path, const QFontMetrics& metrics, int width);

class CSolvaneDlg : public common::MovableDialog<QDialog> {
    Q_OBJECT

  public:
    // program_folder holds setting.ini, languages/ and the preview image; it must be writable.
    explicit CSolvaneDlg(const QString& program_folder, QWidget* parent = nullptr);
    // files says where setting.ini, the downloads and the preview image go (an installed suite).
    explicit CSolvaneDlg(common::ProgramFiles files, QWidget* parent = nullptr);
    ~CSolvaneDlg() override;

    // Add command: asks for files with the open-file dialog, then adds them.
    void AddVideos();
    // Adds files as if chosen in the dialog: probes each; in the merge tab appends a checked row per
    // file, in the cut tab loads the last one. Stops at the first file that cannot be read, with a
    // message naming it.
    void AddVideoPaths(const QStringList& paths);
    void RemoveSelectedVideo();
    // Files named on the command line (paths, relative ones from the current folder, or file:
    // addresses): added once the event loop runs, as if chosen in the add dialog.
    void AddStartupFiles(const QStringList& arguments);
    // The folder the add dialog opens in: the one files were last added from ("tjml" of "PATH" in
    // setting.ini), else the user's videos folder, else the home folder.
    QString AddFolder() const;

    void SetStartPoint();
    void SetEndPoint();
    void Play();
    // Decodes and shows the frame at a slider position (0 to 1000) of the probed video.
    void ShowFrameAtSliderPosition(int position);
    // Decodes and shows the frame at a time of the current video (held within it) and puts the thumb
    // there; the keys step and jump with it.
    void ShowFrameAtTime(int32_t ms);
    void StepPreview(int32_t delta_ms);
    // Before a cut: refuses, with a message, typed times the cut cannot use (a text that is no time,
    // an end at or before the start, a start beyond the end of the video) and writes valid ones in
    // full (00:01:30 becomes 00:01:30.000). True when the cut may go on.
    bool ConfirmCutRange();
    void SwitchTab(int tab);
    // Selects a language box item: stores its language file and applies the texts.
    void SwitchLanguage(int item);
    // Reads the language file into the text cache and sets every text of the window from it.
    void ApplyLanguageTexts();

    // The cut and merge buttons: check, ask for the settings, run the job with its progress dialog.
    virtual void OnCutCommand();
    virtual void OnMergeCommand();
    // The worker, timer 1 and the progress dialog of the commands (made on first use).
    taviro::JobCommands* jobCommands();

    QWidget* control(int id) const;
    const common::ProgramFiles& programFiles() const { return m_files; }
    QString settingsPath() const { return m_files.settingsPath(); }
    QString languagePath() const { return m_files.languagePath(m_texts.languageFile()); }
    const common::TextCache& texts() const { return m_texts; }
    QString text(const char* section, const char* key) const { return m_texts.text(section, key); }
    int sponsorship() const { return m_sponsorship; }

    const QString& currentFile() const { return m_current_file; }
    int32_t currentDurationMs() const { return m_duration_ms; }
    const QString& previewImagePath() const { return m_preview_path; }
    int32_t previewPositionMs() const { return m_preview_ms; }
    const QPixmap& previewPicture() const { return m_preview; }
    QString resultFolder() const { return m_result_folder; }
    void setResultFolder(const QString& folder) { m_result_folder = folder; }
    JobSettings& cutSettings() { return m_cut_settings; }
    JobSettings& mergeSettings() { return m_merge_settings; }

    CBitmapSlider* slider() const { return m_slider; }
    CCheckListCtrl* fileList() const { return m_list; }
    QTabBar* tabs() const { return m_tabs; }
    QLineEdit* startField() const { return m_start_field; }
    QLineEdit* endField() const { return m_end_field; }
    QComboBox* languageBox() const { return m_language_box; }

  protected:
    // Enter and Escape never close the window.
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
    void LoadCurrentFileIntoPreview();
    void ReloadPreviewPicture();
    void UpdateLength();
    void FitListColumns();
    void SetFields(const std::string& start, const std::string& end, const std::string& length);
    void DecodePreviewAt(double seek_s);
    void ShowTimeValidity(QLineEdit* field);
    void MoveMarkToTypedTime(QLineEdit* field);
    void RememberAddFolder(const QString& path);
    // The window's keys; true when the key was used.
    bool HandleKey(const QKeyEvent* key);
    QString TooltipText(int id) const;
    QRect PreviewRect() const;

    common::ProgramFiles m_files;
    common::TextCache m_texts;
    int m_sponsorship = 1;

    QString m_current_file;
    // The last file the add command probed (the slider's preview decodes it) and the last good probe.
    std::optional<std::string> m_probe_path;
    ProbeResult m_probe;
    QString m_preview_path;  // empty until the first frame was made
    QPixmap m_preview;       // the picture last decoded into m_preview_path
    int32_t m_preview_ms = 0;
    int32_t m_duration_ms = 0;  // of the current file, as probed when it was loaded
    QString m_result_folder;
    JobSettings m_cut_settings;
    JobSettings m_merge_settings;
    bool m_adding = false;

    CBitmapSlider* m_slider = nullptr;
    CCheckListCtrl* m_list = nullptr;
    QTabBar* m_tabs = nullptr;
    int m_tabs_template_width = 0;
    QLineEdit* m_start_field = nullptr;
    QLineEdit* m_end_field = nullptr;
    QComboBox* m_language_box = nullptr;
    QPalette m_time_field_palette;  // a time field's look while its text is a time
    taviro::JobCommands* m_jobs = nullptr;
    QTranslator m_qt_translations;  // Qt's own texts in the chosen language
};
