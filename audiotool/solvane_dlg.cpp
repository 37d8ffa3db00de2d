#include "audiotool/solvane_dlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>

#include "audiotool/file_rows.h"
#include "audiotool/main_template.h"
#include "audiotool/player_binding.h"
#include "audiotool/settings_dlg.h"
#include "audiotool/waveform_source.h"
#include "auvella/auvella.h"
#include "common/output_folder.h"
#include "common/time_text.h"
#include "controls/av_donate_dlg.h"
#include "controls/bitmap_slider.h"
#include "controls/check_list_ctrl.h"
#include "controls/control_button.h"
#include "controls/waveform_view.h"
#include "platform/dialog_template.h"
#include "platform/message_box.h"
#include "platform/profile.h"
#include "platform/shell_open.h"

namespace melisk {

namespace {

const QString kZeroTime = QStringLiteral("00:00:00.000");

std::string U(const QString& s) { return s.toStdString(); }

}  // namespace

CSolvaneDlg::CSolvaneDlg(const QString& program_folder, QWidget* parent)
    : MainWindowBase(common::ProgramFiles(program_folder), MainWindowParts(), parent) {
    m_play_button = Bind<CControlButton>(kPlayButton);
    m_stop_button = Bind<CControlButton>(kStopButton);
    m_play_selection_button = Bind<CControlButton>(kPlaySelectionButton);
    m_browse_button = Bind<CControlButton>(kBrowseButton);
    m_find_target_button = Bind<CControlButton>(kFindTargetButton);
    m_about_button = Bind<CControlButton>(kAboutButton);
    m_setting_button = Bind<CControlButton>(kSettingButton);
    m_duration_text = Bind<QLabel>(kDurationText);
    m_current_file_text = Bind<QLabel>(kCurrentFileText);
    m_folder_box = Bind<QComboBox>(kOutputFolderBox);
    m_format_box = Bind<QComboBox>(kFormatBox);
    // The label under the sponsorship picture has no id of its own.
    for (QLabel* label : findChildren<QLabel*>())
        if (label->text() == QString::fromUtf8(kSponsorCaptionTemplateText)) m_sponsor_caption = label;
    m_slider_template_width = m_slider->width();
    m_donate = new CAVDonateDlg(program_folder, CAVDonateDlg::Variant::kAudioTool, this);

    const QString saved_folder = platform::ReadProfileString("PATH", "name", QString(), settingsPath());
    StartUp();
    m_folder_box->setEditText(saved_folder);
    m_confirmed_folder = saved_folder;
    SetUpPlayer();

    auto on_click = [this](CControlButton* button, void (CSolvaneDlg::*slot)()) {
        connect(button, &CControlButton::clicked, this, slot);
    };
    on_click(m_browse_button, &CSolvaneDlg::Browse);
    on_click(m_find_target_button, &CSolvaneDlg::FindTarget);
    on_click(m_about_button, &CSolvaneDlg::About);
    on_click(m_setting_button, &CSolvaneDlg::OpenSettings);
    on_click(m_play_button, &CSolvaneDlg::PlayPause);
    on_click(m_stop_button, &CSolvaneDlg::Stop);
    on_click(m_play_selection_button, &CSolvaneDlg::PlaySelection);
    // The slider reports every step of a drag queued, after its own handler has returned.
    connect(m_slider, &CBitmapSlider::sliderTrack, this,
            [this](int, int position) { SeekToSlider(position); });
    SetUpWaveform();
}

CSolvaneDlg::~CSolvaneDlg() {
    qApp->removeEventFilter(this);
    StopTimers();
    UnbindPlayer();
}

QString CSolvaneDlg::labelText(int id) const {
    auto* label = platform::ControlAs<QLabel>(this, id);
    return label ? label->text() : QString();
}

QString CSolvaneDlg::outputFolder() const { return m_folder_box->currentText(); }

void CSolvaneDlg::SetUpToolControls() {
    m_list->horizontalHeaderItem(kDurationColumn)->setText(QStringLiteral("Duration"));
    m_list->setColumnHidden(kFormatColumn, true);
    m_list->setColumnHidden(kDurationColumn, true);
    m_list->setWordWrap(false);

    m_play_button->setEnabled(false);
    m_stop_button->setEnabled(false);
    m_slider->FitChannelToWidth(m_slider_template_width);

    m_format_box->addItem(QString::fromLatin1(kMp3FormatEntry));
    m_format_box->setCurrentIndex(0);
}

void CSolvaneDlg::SetButtonImage(CControlButton* button, int image) {
    button->SetShapeFromBitmap(image);
    button->SetImages(image, image, image);
    button->update();
}

void CSolvaneDlg::ShowPlayState() {
    SetButtonImage(m_play_button, m_playing ? kPauseImage : kPlayImage);
    m_play_button->setToolTip(TooltipText(kPlayButton, "bf"));
}

void CSolvaneDlg::ApplyToolTexts() { m_sponsor_caption->setText(text("JIEMIAN", "wxsm")); }

QString CSolvaneDlg::TooltipText(int id, const char* key) const {
    // The play button offers to pause while playing.
    return text("HINT", id == kPlayButton && m_playing ? "zanting" : key);
}

void CSolvaneDlg::FitListColumns() {
    // The status column takes the list's width less the three visible columns, but at least its
    // longest text; the path column gives up what the status needs beyond that.
    const int status = StatusColumnWidth(0);
    const int available = ListRoom();
    const int times = kFileListColumnWidths[kStartColumn] + kFileListColumnWidths[kEndColumn];
    const int path = std::max(80, std::min(kFileListColumnWidths[kPathColumn], available - times - status));
    m_list->setColumnWidth(kPathColumn, path);
    m_list->setColumnWidth(kStartColumn, kFileListColumnWidths[kStartColumn]);
    m_list->setColumnWidth(kEndColumn, kFileListColumnWidths[kEndColumn]);
    m_list->setColumnWidth(kStatusColumn, std::max(status, available - times - path));
}

void CSolvaneDlg::SwitchTab(int tab) {
    const bool cut = tab == 0;
    if (!cut) Stop();
    MainWindowBase::SwitchTab(tab);
    m_waveform->setVisible(cut);
    // Back on the cut tab the file under edit is named again.
    m_current_file_text->setText(cut ? m_current_file : QString());
}

QString CSolvaneDlg::FileFilter() const {
    return AudioFileFilter(text("JIEMIAN", "symtwj"), text("JIEMIAN", "mp3wj"), text("JIEMIAN", "sywj"));
}

int32_t CSolvaneDlg::CurrentDurationMs() const { return UsToMs(m_current_probe.duration_us); }

void CSolvaneDlg::OnCurrentFileCleared() { m_current_file_text->clear(); }

bool CSolvaneDlg::ProbeFile(const QString& chosen, QString* path) {
    *path = chosen;
    m_added_probe = ProbeAudioFile(U(chosen));
    return m_added_probe.result >= 0 && m_added_probe.range_start_us >= 0 && m_added_probe.range_end_us >= 0;
}

QStringList CSolvaneDlg::RowTexts(const QString& path) const {
    const auto texts = FileRowTexts(path, m_added_probe, text("JIEMIAN", "zb"));
    return QStringList(texts.begin(), texts.end());
}

void CSolvaneDlg::TakeCurrentFile(const QString& path) {
    m_current_file = path;
    m_current_probe = m_added_probe;
    m_current_file_text->setText(path);
    SetButtonImage(m_play_button, kPlayImage);
    SetButtonImage(m_stop_button, kStopImage);
    m_play_button->setEnabled(true);
    m_stop_button->setEnabled(true);
}

void CSolvaneDlg::LoadCurrentFile() {
    // The previous file's waveform stops computing as this one starts.
    if (m_waveform_data) m_waveform_data->Cancel();
    m_waveform_data = std::make_shared<EngineWaveform>(m_current_file);
    m_waveform->SetData(m_waveform_data);
    Stop();
    PlayPause();
}

void CSolvaneDlg::DeleteSelected() {
    Stop();
    for (QLabel* label : {m_position_text, m_duration_text, m_length_field}) label->setText(kZeroTime);
    m_start_field->setText(kZeroTime);
    m_end_field->setText(kZeroTime);
    MainWindowBase::DeleteSelected();
}

void CSolvaneDlg::Browse() {
    const QString before = m_folder_box->currentText();
    auto* field = m_folder_box->lineEdit();
    common::BrowseOutputFolder(this, field, settingsPath(), languagePath());
    const QString chosen = field->text();
    if (chosen.isEmpty() || chosen == before) return;
    m_confirmed_folder = chosen;
    if (m_folder_box->findText(chosen) < 0) platform::ComboAddString(m_folder_box, chosen);
    m_folder_box->setCurrentIndex(m_folder_box->findText(chosen));
}

void CSolvaneDlg::FindTarget() { platform::ShellOpen(outputFolder()); }

void CSolvaneDlg::About() {
    const QString address = text("APPLICATION", "url");
    if (platform::OpenAddress(address) <= 32)
        platform::MessageBoxOk(this, text("TISHI", "wfdkwy") + "\n" + address);
}

void CSolvaneDlg::OpenSettings() {
    CSettings dialog(m_files.folder(), &m_output_settings, this);
    dialog.exec();
}

void CSolvaneDlg::SetUpWaveform() {
    // The band between the slider and the time fields, as wide as the file list.
    m_waveform = new CWaveformView(this);
    m_waveform->setObjectName(QStringLiteral("waveform"));
    const int top = m_slider->geometry().bottom() + 4;
    const int bottom = control(kStartLabel)->geometry().top() - 4;
    const QRect list = control(kFileList)->geometry();
    m_waveform->setGeometry(list.left(), top, list.width(), std::max(8, bottom - top));
    connect(m_waveform, &CWaveformView::seekRequested, this, &CSolvaneDlg::SeekToMs);
    connect(m_waveform, &CWaveformView::startMoved, this, &CSolvaneDlg::OnWaveformStartMoved);
    connect(m_waveform, &CWaveformView::endMoved, this, &CSolvaneDlg::OnWaveformEndMoved);
    for (QLineEdit* field : {m_start_field, m_end_field})
        connect(field, &QLineEdit::textChanged, this, &CSolvaneDlg::ShowRangeOnWaveform);
}

int CSolvaneDlg::SliderValueOfMs(int64_t ms) const {
    const int64_t duration_ms = m_current_probe.duration_us / 1000;
    const int maximum = m_slider->GetRangeMax();
    return duration_ms > 0 ? static_cast<int>(std::clamp<int64_t>(ms * maximum / duration_ms, 0, maximum))
                           : 0;
}

void CSolvaneDlg::OnWaveformStartMoved(int64_t ms) {
    m_start_field->setText(QString::fromStdString(TimeToText(static_cast<int32_t>(ms))));
    m_slider->SetSelectionStart(SliderValueOfMs(ms));
    if (m_slider->GetSelectionMode() < 1) m_slider->SetSelectionMode(1);
    m_slider->update();
}

void CSolvaneDlg::OnWaveformEndMoved(int64_t ms) {
    m_end_field->setText(QString::fromStdString(TimeToText(static_cast<int32_t>(ms))));
    m_slider->SetSelectionEnd(SliderValueOfMs(ms));
    m_slider->SetSelectionMode(2);
    m_slider->update();
}

void CSolvaneDlg::ShowRangeOnWaveform() {
    const auto start = ParseTimeText(U(m_start_field->text()));
    const auto end = ParseTimeText(U(m_end_field->text()));
    if (start && end) m_waveform->SetRange(*start, *end);
}

void CSolvaneDlg::closeEvent(QCloseEvent* event) {
    StopTimers();
    Auvella_Close();
    MainWindowBase::closeEvent(event);
}

bool CSolvaneDlg::HandleKey(QObject* watched, const QKeyEvent* key) {
    if (key->key() == Qt::Key_Delete) {
        DeleteSelected();
        return true;
    }
    // Space and the brackets not while typing into a text field.
    const bool typing = qobject_cast<QLineEdit*>(watched) != nullptr;
    if (typing || m_tabs->currentIndex() != 0 || m_current_file.isEmpty()) return false;
    switch (key->key()) {
        case Qt::Key_Space:
            PlayPause();
            return true;
        case Qt::Key_BracketLeft:
            SetStartPoint();
            return true;
        case Qt::Key_BracketRight:
            SetEndPoint();
            return true;
        default:
            return false;
    }
}

QPixmap CSolvaneDlg::PanelPicture() const {
    return QPixmap::fromImage(QImage(m_files.filePath("weixin1.jpg")));
}

}  // namespace melisk
