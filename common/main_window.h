#pragma once
// The main-window skeleton both media tools share: template 102 with its tabs, the file list, the
// time fields, the add, delete and drop of files, the language box and texts, and the sponsorship
// downloads at start. A tool describes its template in a MainWindowLayout and fills in what differs
// through the hooks below: how a file is probed, what a list row shows, its preview or player panel,
// its keys and its commands. Every control the skeleton drives is bound to a member once, when the
// window is built. UI thread only.

#include <QColor>
#include <QDialog>
#include <QPalette>
#include <QPixmap>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTranslator>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "common/language_files.h"
#include "common/language_key.h"
#include "common/main_template_ids.h"
#include "common/window_drag.h"
#include "platform/dialog_template.h"

class CBitmapSlider;
class CCheckListCtrl;
class CControlButton;
class CHyperLink;
class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QTabBar;

namespace common {

// The ids of the controls every main window has; most are alike in both tools' templates.
struct MainControlIds {
    MainControlIds() = default;
    // The ones that differ. panel: the frame the preview or sponsorship picture is drawn into.
    MainControlIds(int start_field, int end_field, int position_text, int language_box, int delete_button,
                   int panel)
        : start_field(start_field),
          end_field(end_field),
          position_text(position_text),
          language_box(language_box),
          delete_button(delete_button),
          panel(panel) {}

    int tabs = kTabs, file_list = kFileList, slider = kPositionSlider, length_field = kLengthField;
    int help_link = kHelpLink, add_button = kAddButton, cut_button = kCutButton, merge_button = kMergeButton;
    int start_point_button = kStartPointButton, end_point_button = kEndPointButton;
    int start_field = 0, end_field = 0, position_text = 0, language_box = 0, delete_button = 0, panel = 0;
};

// A tool's main window as the skeleton sees it: its template and the roles of its controls.
struct MainWindowLayout {
    MainWindowLayout(platform::DialogSpec dialog, MainControlIds ids) : dialog(std::move(dialog)), ids(ids) {}

    platform::DialogSpec dialog;
    MainControlIds ids;
    std::vector<std::pair<int, int>> image_buttons;   // id, bitmap resource
    bool fit_button_images = false;                   // the picture is scaled to the button
    std::vector<int> links;                           // hyperlinks, in the link font
    std::vector<int> add_buttons;                     // each asks for files to add
    std::vector<std::pair<int, const char*>> labels;  // label id, its "JIEMIAN" key
    std::vector<const char*> columns;                 // the list's "JIEMIAN" header keys in order; null: none
    int status_column = 0;
    const char* cut_tab_key = "";  // "JIEMIAN" key of each tab's text
    const char* merge_tab_key = "";
    std::vector<int> shown_on_cut_tab, hidden_on_cut_tab, shown_on_merge_tab, hidden_on_merge_tab;
    std::vector<std::pair<int, const char*>> tooltips;  // control id, its "HINT" key
    unsigned window_colour = 0;                         // Windows COLORREF values, 0x00BBGGRR
    unsigned list_colour = 0;
    std::span<const LanguageKey> language_keys;
    bool sponsor_page_after_jobs = false;    // a finished job opens the sponsorship page while it is due
    const char* web_folder = "";             // "/languages/<tool>/" on the maker's site
    std::vector<const char*> sponsor_files;  // fetched from there while the sponsorship is due
    QStandardPaths::StandardLocation add_folder = QStandardPaths::HomeLocation;
};

class MainWindowBase : public MovableDialog<QDialog> {
    Q_OBJECT

  public:
    ~MainWindowBase() override;

    // Add command: asks for files with the open-file dialog, then adds them.
    void AddFiles();
    // Adds files as if chosen in the dialog: probes each; in the merge tab appends a checked row per
    // file, in the cut tab the last one becomes the current file. Stops at the first file that
    // cannot be read, with a message naming it.
    void AddFilePaths(const QStringList& paths);
    // The folder the add dialog opens in: the one files were last added from ("tjml" of "PATH" in
    // setting.ini), else the tool's standard folder, else the home folder.
    QString AddFolder() const;
    // Delete button and key: removes the selected list row (the first of several) and selects the
    // next one.
    virtual void DeleteSelected();
    // Before a cut: refuses, with a message, typed times the cut cannot use (a text that is no time,
    // an end at or before the start, a start beyond the end of the file) and writes valid ones in
    // full (00:01:30 becomes 00:01:30.000). True when the cut may go on.
    bool ConfirmCutRange();
    // Selects a language box item: stores its language file and applies the texts.
    void SwitchLanguage(int item);
    // Reads the language file into the text cache and sets every text of the window from it.
    void ApplyLanguageTexts();
    virtual void SwitchTab(int tab);

    // The point buttons: the slider marks the thumb's place, the fields get the range's times.
    void SetStartPoint();
    void SetEndPoint();
    // The cut and merge buttons.
    virtual void OnCutCommand() = 0;
    virtual void OnMergeCommand() = 0;

    QWidget* control(int id) const;
    const ProgramFiles& programFiles() const { return m_files; }
    QString settingsPath() const { return m_files.settingsPath(); }
    QString languagePath() const { return m_files.languagePath(m_texts.languageFile()); }
    const TextCache& texts() const { return m_texts; }
    QString text(const char* section, const char* key) const { return m_texts.text(section, key); }
    int sponsorship() const { return m_sponsorship; }
    void setSponsorship(int value) { m_sponsorship = value; }
    const QString& currentFile() const { return m_current_file; }
    int statusColumn() const { return m_layout.status_column; }
    const MainWindowLayout& layout() const { return m_layout; }

    CBitmapSlider* slider() const { return m_slider; }
    CCheckListCtrl* fileList() const { return m_list; }
    QTabBar* tabs() const { return m_tabs; }
    QLineEdit* startField() const { return m_start_field; }
    QLineEdit* endField() const { return m_end_field; }
    QComboBox* languageBox() const { return m_language_box; }

  protected:
    MainWindowBase(ProgramFiles files, MainWindowLayout layout, QWidget* parent);
    // The rest of the start, once the tool's part of the window exists: reads setting.ini, fetches
    // the sponsorship files while due, sets the controls up and applies the language texts.
    void StartUp();

    // Called when an add on the cut tab starts and the current file is forgotten.
    virtual void OnCurrentFileCleared() {}
    // What a tool fills in. Probes a chosen file; false (with the message shown by the skeleton)
    // when it cannot be read. path: the file as the window keeps it.
    virtual bool ProbeFile(const QString& chosen, QString* path) = 0;
    // The column texts of the last file probed.
    virtual QStringList RowTexts(const QString& path) const = 0;
    // The cut tab: the last file probed becomes the current one; once all are added, it is loaded.
    virtual void TakeCurrentFile(const QString& path) = 0;
    virtual void LoadCurrentFile() = 0;
    // The open-file dialog's filter.
    virtual QString FileFilter() const = 0;
    // The current file's duration, for the range check.
    virtual int32_t CurrentDurationMs() const = 0;
    // Where the thumb stands in the file the slider shows, and that file's duration.
    virtual int32_t ThumbPositionMs() const = 0;
    virtual int64_t ThumbDurationUs() const = 0;
    // The tool's own controls, after the skeleton's, and its texts, after the skeleton's.
    virtual void SetUpToolControls() {}
    virtual void ApplyToolTexts() {}
    // A control's tooltip from its "HINT" key.
    virtual QString TooltipText(int id, const char* key) const;
    virtual void FitListColumns() = 0;
    // The window's keys, wherever the focus is within it; true when the key was used.
    virtual bool HandleKey(QObject* watched, const QKeyEvent* key) = 0;
    // The picture drawn into the panel frame while it shows; a null one draws nothing.
    virtual QPixmap PanelPicture() const = 0;
    // The proportions (width / height) the panel's picture is shown with, letterboxed in the frame
    // on the window's background; 0 stretches it over the whole frame.
    virtual double PanelPictureAspect() const { return 0; }

    // Binds a control of the template to a member.
    template <class T>
    T* Bind(int id) const {
        return platform::ControlAs<T>(this, id);
    }
    // Says that the file cannot be used, and why: it does not exist, or the tool cannot read it.
    void ReportUnreadableFile(const QString& path);
    void SetFields(const std::string& start, const std::string& end, const std::string& length);
    void UpdateLength();
    // The status column's width: its longest text ("zt", "wc", "sb", "zb"), at least minimum.
    int StatusColumnWidth(int minimum) const;
    // The room the list's columns have without a horizontal scroll bar.
    int ListRoom() const;

    // Enter and Escape never close the window.
    void accept() override {}
    void reject() override {}
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

    ProgramFiles m_files;
    TextCache m_texts;
    int m_sponsorship = 1;
    QString m_current_file;

    CBitmapSlider* m_slider = nullptr;
    CCheckListCtrl* m_list = nullptr;
    QTabBar* m_tabs = nullptr;
    QLineEdit* m_start_field = nullptr;
    QLineEdit* m_end_field = nullptr;
    QLabel* m_length_field = nullptr;
    QLabel* m_position_text = nullptr;
    QComboBox* m_language_box = nullptr;
    CHyperLink* m_help_link = nullptr;
    CControlButton* m_add_button = nullptr;
    CControlButton* m_delete_button = nullptr;
    CControlButton* m_cut_button = nullptr;
    CControlButton* m_merge_button = nullptr;
    CControlButton* m_start_point_button = nullptr;
    CControlButton* m_end_point_button = nullptr;
    QWidget* m_panel = nullptr;

  private:
    void FetchSponsorshipFiles();
    void SetUpControls();
    void ShowTimeValidity(QLineEdit* field);
    void MoveMarkToTypedTime(QLineEdit* field);
    QRect PanelRect() const;

    MainWindowLayout m_layout;
    int m_tabs_template_width = 0;
    bool m_adding = false;
    std::vector<std::pair<CControlButton*, int>> m_image_buttons;
    std::vector<CControlButton*> m_add_buttons;
    std::vector<std::pair<QLabel*, const char*>> m_labels;
    struct Tooltip {
        QWidget* control;
        int id;
        const char* key;
    };
    std::vector<Tooltip> m_tooltips;
    std::vector<QWidget*> m_links;
    std::vector<QWidget*> m_tab_controls[2][2];  // [tab][0 shown, 1 hidden]
    QPalette m_time_field_palette;               // a time field's look while its text is a time
    QTranslator m_qt_translations;               // Qt's own texts in the chosen language
};

// Colours are given as the Windows COLORREF values 0x00BBGGRR.
QColor FromColorRef(unsigned value);

// The largest rectangle of the given proportions (width / height) centred in `area`; `area` itself
// for an aspect of 0 or less.
QRect FitToAspect(const QRect& area, double aspect);

// The message for a file that cannot be added: "wj", the file name, one space, "wx".
QString UnreadableFileMessage(const QString& wj, const QString& path, const QString& wx);
// The "TISHI" key of the reason a file cannot be used: "wjbcz" when it does not exist (or is a link
// to nothing), else "wx" (not a file the tool can read).
const char* UnreadableFileReasonKey(const QString& path);

}  // namespace common
