#include "videotool/solvane_dlg.h"

#include <QApplication>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QUrl>

#include "common/time_range.h"
#include "common/time_text.h"
#include "controls/bitmap_slider.h"
#include "controls/check_list_ctrl.h"
#include "controls/control_button.h"
#include "controls/hyperlink.h"
#include "engine/preview.h"
#include "platform/dialog_template.h"
#include "platform/download.h"
#include "platform/message_box.h"
#include "platform/shell_open.h"
#include "videotool/file_rows.h"
#include "videotool/main_template.h"

using namespace taviro;

namespace {

constexpr const char* kDonationPath = "/donate.html";

QString Utf8(const std::string& s) { return QString::fromStdString(s); }
std::string Utf8(const QString& s) { return s.toStdString(); }

constexpr int32_t kStepMs = 1000;
constexpr int32_t kShiftStepMs = 10000;

QString TemplateText(int id) {
    for (const platform::ControlSpec& ctl : MainWindowTemplate().controls)
        if (ctl.id == id) return ctl.text;
    return QString();
}

QString KeyName(QKeyCombination key) { return QKeySequence(key).toString(QKeySequence::NativeText); }

// The keys a control's tooltip names after its text, "" for none.
QString KeysOfControl(int id) {
    switch (id) {
        case kAddButton:
        case kOpenFileButton:
        case kAddFilesButton:
            return KeyName(Qt::CTRL | Qt::Key_O);
        case kStartPointButton:
            return KeyName(QKeyCombination(Qt::Key_BracketLeft)) + ", " + KeyName(QKeyCombination(Qt::Key_I));
        case kEndPointButton:
            return KeyName(QKeyCombination(Qt::Key_BracketRight)) + ", " +
                   KeyName(QKeyCombination(Qt::Key_O));
        case kRemoveButton:
            return KeyName(QKeyCombination(Qt::Key_Delete));
        default:
            return QString();
    }
}

// The merge list's path column: the path elided by ElidedPathText to the room its cell gives.
class PathColumnDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        const QRect text_rect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
        // The style keeps a margin on either side of the text.
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        opt.text = ElidedPathText(opt.text, opt.fontMetrics, text_rect.width() - 2 * margin);
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    }
};

}  // namespace

QString ElidedPathText(const QString& path, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(path) <= width) return path;
    const qsizetype slash = path.lastIndexOf('/');
    const QString ellipsis(QChar(0x2026));
    const QString file = path.mid(slash + 1);
    const QString tail = ellipsis + path.mid(slash);  // "…/name.mp4", or "…name" without a folder
    if (slash < 0 || metrics.horizontalAdvance(tail) > width)
        return metrics.elidedText(file, Qt::ElideMiddle, width);
    // As much of the folder's beginning as fits before the ellipsis.
    qsizetype keep = 0;
    while (keep < slash && metrics.horizontalAdvance(path.left(keep + 1) + tail) <= width) ++keep;
    return path.left(keep) + tail;
}

CSolvaneDlg::CSolvaneDlg(const QString& program_folder, QWidget* parent)
    : CSolvaneDlg(common::ProgramFiles(program_folder), parent) {}

CSolvaneDlg::CSolvaneDlg(common::ProgramFiles files, QWidget* parent)
    : MainWindowBase(std::move(files), MainWindowParts(), parent), m_merge_settings(DefaultMergeSettings()) {
    m_sponsor_link = Bind<CHyperLink>(kSponsorLink);
    m_play_button = Bind<CControlButton>(kPlayButton);
    StartUp();

    connect(m_play_button, &CControlButton::clicked, this, &CSolvaneDlg::Play);
    connect(m_slider, &CBitmapSlider::sliderTrack, this,
            [this](int, int position) { ShowFrameAtSliderPosition(position); });
    // The picture is scaled plainly while the thumb is dragged; smoothly again once it is let go.
    connect(m_slider, &CBitmapSlider::sliderRelease, this, [this] { update(m_panel->geometry()); });
}

CSolvaneDlg::~CSolvaneDlg() = default;

void CSolvaneDlg::SetUpToolControls() {
    for (int c = 0; c < kFileListColumns; ++c) m_list->setColumnWidth(c, kFileListColumnWidths[c]);
    // Paths are long and their file names sit at the end: cut them in the middle, in the folder part.
    m_list->setItemDelegateForColumn(0, new PathColumnDelegate(m_list));
    m_slider->SetMargins(0, 4, 4, 0);
    m_sponsor_link->SetAddress(platform::WebAddress(kDonationPath));
}

void CSolvaneDlg::ApplyToolTexts() {
    // A language file without the sponsor link's text keeps the template's, rather than showing the
    // bare address.
    const QString sponsor_text = text("JIEMIAN", "zzwm");
    m_sponsor_link->SetText(sponsor_text.isEmpty() ? TemplateText(kSponsorLink) : sponsor_text);
    m_sponsor_link->SetFailureText(text("TISHI", "wfdkwy"));
}

QString CSolvaneDlg::TooltipText(int id, const char* key) const {
    const QString hint = text("HINT", key);
    if (id == kPositionSlider) return hint + "\n" + text("HINT", "jpyd");
    const QString keys = KeysOfControl(id);
    return keys.isEmpty() ? hint : hint + " (" + keys + ")";
}

void CSolvaneDlg::FitListColumns() {
    // The status column widens to its longest text and the path column gives up the difference,
    // so that the six columns fill the list without a horizontal scroll bar.
    const int status = StatusColumnWidth(kFileListColumnWidths[5]);
    const int available = ListRoom();
    int others = status;
    for (int c = 1; c < kFileListColumns - 1; ++c) others += kFileListColumnWidths[c];
    m_list->setColumnWidth(0, std::max(60, std::min(kFileListColumnWidths[0], available - others)));
    for (int c = 1; c < kFileListColumns - 1; ++c) m_list->setColumnWidth(c, kFileListColumnWidths[c]);
    m_list->setColumnWidth(5, status);
}

void CSolvaneDlg::SwitchTab(int tab) {
    MainWindowBase::SwitchTab(tab);
    if (tab == 0 && !m_current_file.isEmpty()) m_add_button->hide();
}

QString CSolvaneDlg::FileFilter() const {
    return Utf8(VideoFileFilter(Utf8(text("JIEMIAN", "symtwj")), Utf8(text("JIEMIAN", "sywj"))));
}

void CSolvaneDlg::AddStartupFiles(const QStringList& arguments) {
    QStringList paths;
    for (const QString& argument : arguments) {
        if (argument.isEmpty()) continue;
        // File managers may pass file: addresses instead of paths.
        const QString path =
            argument.startsWith(QLatin1String("file:")) ? QUrl(argument).toLocalFile() : argument;
        if (!path.isEmpty()) paths << QFileInfo(path).absoluteFilePath();
    }
    if (paths.isEmpty()) return;
    QMetaObject::invokeMethod(
        this, [this, paths] { AddVideoPaths(paths); }, Qt::QueuedConnection);
}

bool CSolvaneDlg::ProbeFile(const QString& chosen, QString* path) {
    const std::string normalized = NormalizeChosenPath(Utf8(chosen));
    *path = Utf8(normalized);
    m_probe_path = normalized;
    const ProbeResult probe = ProbeMediaFile(normalized, m_probe);
    // A failed probe leaves the last good one's results.
    if (probe.result == PROBE_OK) m_probe = probe;
    return probe.result >= 0 && probe.range_start_us >= 0 && probe.range_end_us >= 0;
}

QStringList CSolvaneDlg::RowTexts(const QString& path) const {
    QStringList row;
    for (const std::string& t : FileRowTexts(Utf8(path), m_probe, Utf8(text("JIEMIAN", "zb"))))
        row << Utf8(t);
    return row;
}

void CSolvaneDlg::LoadCurrentFile() {
    m_add_button->hide();
    // A new file starts with no pictures kept, even under an old file's name.
    m_preview_session.reset();
    DecodePreviewAt(0.0);
    WaitForPreviewBitmap();

    const LoadedVideoView view =
        ViewOfLoadedVideo(m_probe.duration_us, m_probe.range_start_us, m_probe.range_end_us);
    m_duration_ms = UsToMs(m_probe.duration_us);
    // The frame shown is the one at 0 s: so are the thumb and the preview position.
    m_slider->SetPosition(0);
    m_preview_ms = 0;
    m_slider->SetSelectionStart(view.selection_start);
    m_slider->SetSelectionEnd(view.selection_end);
    SetFields(view.fields.start, view.fields.end, view.fields.length);
    m_position_text->setText(Utf8(view.position));
    m_slider->setEnabled(true);
}

void CSolvaneDlg::ShowFrameAtSliderPosition(int position) {
    if (!m_probe_path) return;  // nothing was ever probed
    const TrackedPosition p = PositionAtThumb(position, m_probe.duration_us);
    m_preview_ms = p.preview_ms;
    m_position_text->setText(Utf8(p.position));
    DecodePreviewAt(p.seek_s);
}

void CSolvaneDlg::ShowFrameAtTime(int32_t ms) {
    if (m_current_file.isEmpty()) return;
    ms = std::clamp(ms, 0, m_duration_ms);
    m_slider->SetPosition(SliderValueAt(ms, m_duration_ms));
    m_preview_ms = ms;
    m_position_text->setText(Utf8(PositionText(ms, m_duration_ms)));
    DecodePreviewAt(ms / 1000.0);
}

void CSolvaneDlg::StepPreview(int32_t delta_ms) { ShowFrameAtTime(m_preview_ms + delta_ms); }

void CSolvaneDlg::DecodePreviewAt(double seek_s) {
    if (!m_probe_path) return;  // nothing was ever probed
    m_preview_path = m_files.scratchPath("image.bmp");
    if (!m_preview_session || m_preview_session->inputPath() != *m_probe_path)
        m_preview_session = std::make_unique<engine::PreviewSession>(*m_probe_path);
    // The picture is drawn from memory at once; the BMP file follows on the session's writer
    // thread. A failed decode leaves the previous picture (and file) as they were.
    if (auto picture = m_preview_session->PictureAt(seek_s)) {
        const QImage image(picture->bgr.data(), PREVIEW_WIDTH, PREVIEW_HEIGHT, PREVIEW_WIDTH * 3,
                           QImage::Format_BGR888);
        m_preview = QPixmap::fromImage(image);
        m_preview_aspect = picture->display_aspect;
        m_preview_session->WriteBitmapLater(std::move(picture), Utf8(m_preview_path));
    }
    update(m_panel->geometry());
}

bool CSolvaneDlg::WaitForPreviewBitmap() { return m_preview_session && m_preview_session->WaitForBitmap(); }

QPixmap CSolvaneDlg::PanelPicture() const { return m_preview_path.isEmpty() ? QPixmap() : m_preview; }

void CSolvaneDlg::Play() {
    if (m_current_file.isEmpty()) return;
    // A file deleted since it was loaded is named as such, not blamed on a missing player.
    if (!QFileInfo::exists(m_current_file)) return ReportUnreadableFile(m_current_file);
    if (platform::ShellOpen(m_current_file) <= 32)
        platform::MessageBoxOk(this, text("TISHI", "wfbf") + "\n" + m_current_file);
}

bool CSolvaneDlg::HandleKey(QObject*, const QKeyEvent* key) {
    const Qt::KeyboardModifiers modifiers =
        key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const bool command = modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    switch (key->key()) {
        case Qt::Key_Delete:
            DeleteSelected();
            return true;
        case Qt::Key_O:
            if (modifiers == Qt::ControlModifier) {
                AddVideos();
                return true;
            }
            break;
        default:
            break;
    }
    // The rest belong to the cut tab with a video loaded.
    if (m_tabs->currentIndex() != 0 || m_current_file.isEmpty() || command) return false;
    // In a time field the arrows, Home and End move the cursor; no time holds a letter or a bracket.
    const bool typing = qobject_cast<QLineEdit*>(QApplication::focusWidget()) != nullptr;
    switch (key->key()) {
        case Qt::Key_BracketLeft:
        case Qt::Key_I:
            SetStartPoint();
            return true;
        case Qt::Key_BracketRight:
        case Qt::Key_O:
            SetEndPoint();
            return true;
        case Qt::Key_Left:
        case Qt::Key_Right: {
            if (typing) return false;
            const int32_t step = modifiers == Qt::ShiftModifier ? kShiftStepMs : kStepMs;
            StepPreview(key->key() == Qt::Key_Left ? -step : step);
            return true;
        }
        case Qt::Key_Home:
        case Qt::Key_End: {
            if (typing) return false;
            const QLineEdit* field = key->key() == Qt::Key_Home ? m_start_field : m_end_field;
            if (const std::optional<int32_t> ms = ParseTimeText(Utf8(field->text()))) ShowFrameAtTime(*ms);
            return true;
        }
        default:
            return false;
    }
}
