#include "videotool/solvane_dlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QUrl>

#include "common/output_folder.h"
#include "common/time_range.h"
#include "common/time_text.h"
#include "controls/bitmap_resources.h"
#include "controls/bitmap_slider.h"
#include "controls/check_list_ctrl.h"
#include "controls/control_button.h"
#include "controls/hyperlink.h"
#include "engine/preview.h"
#include "engine/probe.h"
#include "platform/choosers.h"
#include "platform/dialog_template.h"
#include "platform/download.h"
#include "platform/message_box.h"
#include "platform/profile.h"
#include "platform/shell_open.h"
#include "videotool/file_rows.h"
#include "videotool/language_keys.h"
#include "videotool/main_template.h"

using namespace taviro;

namespace {

// Colours are given as the Windows COLORREF values 0x00BBGGRR.
QColor FromColorRef(unsigned value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}
constexpr int kApplicationIcon = 266;
constexpr unsigned kWindowBackground = 0xFBDEBB;
constexpr unsigned kListBackground = 0xE9FAF1;

constexpr int kDownloadTimeoutMs = 10000;
constexpr const char* kDonationPath = "/donate.html";
constexpr const char* kLinkFontName = "Microsoft Sans Serif";
constexpr int kLinkFontPoints = 10;

QString Utf8(const std::string& s) { return QString::fromStdString(s); }
std::string Utf8(const QString& s) { return s.toStdString(); }

// Where setting.ini keeps the folder files were last added from.

// A time field whose text is no time: dark red text on a pale red ground, visible even when empty.
const QColor kInvalidTimeText(176, 0, 0);
const QColor kInvalidTimeBase(255, 222, 222);

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

platform::ControlFactory MainWindowFactory() {
    auto button = [](const platform::ControlSpec& ctl, QWidget* parent) -> QWidget* {
        auto* b = new CControlButton(parent, ctl.id);
        b->setText(ctl.text);
        return b;
    };
    auto link = [](const platform::ControlSpec& ctl, QWidget* parent) -> QWidget* {
        return new CHyperLink(ctl.text, parent, ctl.id);
    };
    std::map<int, platform::ControlFactory> by_id;
    for (int id : {kCutButton, kAddButton, kMergeButton, kOpenFileButton, kPlayButton, kEndPointButton,
                   kStartPointButton, kRemoveButton, kAddFilesButton})
        by_id[id] = button;
    by_id[kHelpLink] = link;
    by_id[kSponsorLink] = link;
    by_id[kPositionSlider] = [](const platform::ControlSpec& ctl, QWidget* parent) -> QWidget* {
        return new CBitmapSlider(parent, ctl.id);
    };
    by_id[kFileList] = [](const platform::ControlSpec& ctl, QWidget* parent) -> QWidget* {
        return new CCheckListCtrl(parent, ctl.id);
    };
    return platform::FactoryById(std::move(by_id));
}

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
    : MovableDialog(parent), m_files(std::move(files)), m_merge_settings(DefaultMergeSettings()) {
    platform::BuildDialog(this, MainWindowTemplate(), MainWindowFactory());
    m_slider = qobject_cast<CBitmapSlider*>(control(kPositionSlider));
    m_list = qobject_cast<CCheckListCtrl*>(control(kFileList));
    m_tabs = platform::ControlAs<QTabBar>(this, kTabs);
    m_start_field = platform::ControlAs<QLineEdit>(this, kStartField);
    m_end_field = platform::ControlAs<QLineEdit>(this, kEndField);
    m_language_box = platform::ControlAs<QComboBox>(this, kLanguageBox);
    setAcceptDrops(true);
    setWindowIcon(LoadIconResource(kApplicationIcon));

    const common::StartSettings settings = common::ReadStartSettings(settingsPath());
    m_language_box->clear();
    m_language_box->addItems(settings.language_names);
    m_texts.setLanguageFile(settings.language_file);
    m_sponsorship = settings.sponsorship;
    if (m_sponsorship == 0) FetchSponsorshipFiles();
    m_language_box->setCurrentIndex(common::LanguageItemForFile(settings.language_file));

    SetUpControls();
    m_time_field_palette = m_start_field->palette();
    ApplyLanguageTexts();
    m_start_field->setText("00:00:00.000");
    m_end_field->setText("00:00:00.000");

    for (int id : {kAddButton, kOpenFileButton, kAddFilesButton})
        connect(static_cast<CControlButton*>(control(id)), &CControlButton::clicked, this,
                &CSolvaneDlg::AddVideos);
    auto on_click = [this](int id, void (CSolvaneDlg::*slot)()) {
        connect(static_cast<CControlButton*>(control(id)), &CControlButton::clicked, this, slot);
    };
    on_click(kRemoveButton, &CSolvaneDlg::RemoveSelectedVideo);
    on_click(kStartPointButton, &CSolvaneDlg::SetStartPoint);
    on_click(kEndPointButton, &CSolvaneDlg::SetEndPoint);
    on_click(kPlayButton, &CSolvaneDlg::Play);
    on_click(kCutButton, &CSolvaneDlg::OnCutCommand);
    on_click(kMergeButton, &CSolvaneDlg::OnMergeCommand);
    for (QLineEdit* field : {m_start_field, m_end_field}) {
        connect(field, &QLineEdit::textChanged, this, &CSolvaneDlg::UpdateLength);
        connect(field, &QLineEdit::textChanged, this, [this, field] { ShowTimeValidity(field); });
        connect(field, &QLineEdit::textEdited, this, [this, field] { MoveMarkToTypedTime(field); });
    }
    connect(m_slider, &CBitmapSlider::sliderTrack, this,
            [this](int, int position) { ShowFrameAtSliderPosition(position); });
    connect(m_slider, &CBitmapSlider::sliderRelease, this, [this] { update(PreviewRect()); });
    connect(m_tabs, &QTabBar::currentChanged, this, &CSolvaneDlg::SwitchTab);
    connect(m_language_box, &QComboBox::currentIndexChanged, this, &CSolvaneDlg::SwitchLanguage);

    // The Delete key removes the selected list row wherever the focus is, so it is taken before
    // any control of this window sees it.
    qApp->installEventFilter(this);
}

CSolvaneDlg::~CSolvaneDlg() = default;

QWidget* CSolvaneDlg::control(int id) const { return platform::ControlById(this, id); }

void CSolvaneDlg::FetchSponsorshipFiles() {
    QDir().mkpath(m_files.languagesFolder());
    platform::DownloadUrlToFile(platform::WebAddress("/languages/taviro/weixin.jpg"),
                                m_files.filePath("weixin.jpg"), kDownloadTimeoutMs);
    platform::DownloadUrlToFile(platform::WebAddress("/languages/taviro/zfb.jpg"),
                                m_files.filePath("zfb.jpg"), kDownloadTimeoutMs);
    platform::DownloadUrlToFile(platform::WebAddress("/languages/taviro/chinese.ini"),
                                m_files.languagesFolder() + "/chinese.ini", kDownloadTimeoutMs);
}

void CSolvaneDlg::SetUpControls() {
    QPalette background = palette();
    background.setColor(QPalette::Window, FromColorRef(kWindowBackground));
    setPalette(background);
    setAutoFillBackground(true);

    m_tabs->addTab(QString());
    m_tabs->addTab(QString());
    m_tabs_template_width = m_tabs->width();

    m_list->setColumnCount(kFileListColumns);
    for (int c = 0; c < kFileListColumns; ++c) {
        m_list->setHorizontalHeaderItem(c, new QTableWidgetItem());
        m_list->horizontalHeaderItem(c)->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        m_list->setColumnWidth(c, kFileListColumnWidths[c]);
    }
    m_list->InitHeaderCheckBox();
    m_list->SetBkColor(FromColorRef(kListBackground));
    // Paths are long and their file names sit at the end: cut them in the middle, in the folder part.
    m_list->setTextElideMode(Qt::ElideMiddle);
    m_list->setItemDelegateForColumn(0, new PathColumnDelegate(m_list));

    for (int id : {kCutButton, kAddButton, kMergeButton, kOpenFileButton, kPlayButton, kEndPointButton,
                   kStartPointButton, kRemoveButton, kAddFilesButton}) {
        auto* b = static_cast<CControlButton*>(control(id));
        b->SetShapeFromBitmap(ButtonImage(id));
        b->SetImages(ButtonImage(id), ButtonImage(id), ButtonImage(id));
    }
    control(kCutButton)->setEnabled(true);
    control(kMergeButton)->setEnabled(true);

    m_slider->LoadChannelBitmaps();
    m_slider->LoadThumbBitmaps();
    m_slider->DrawFocusRect(false);
    m_slider->SetRange(0, kPreviewSliderMax);
    m_slider->SetPosition(0);
    m_slider->SetMargins(0, 4, 4, 0);
    m_slider->setEnabled(false);

    const QFont link_font = platform::DialogFont(kLinkFontName, kLinkFontPoints);
    for (int id : {kHelpLink, kSponsorLink}) {
        QFont f = link_font;
        f.setUnderline(true);
        control(id)->setFont(f);
    }
    static_cast<CHyperLink*>(control(kSponsorLink))->SetAddress(platform::WebAddress(kDonationPath));
}

void CSolvaneDlg::ApplyLanguageTexts() {
    m_texts.load(languagePath(), VideoToolLanguageKeys());
    // Qt's own dialogs and buttons, and the key names in the tooltips, follow the chosen language.
    QCoreApplication::removeTranslator(&m_qt_translations);
    if (common::LoadQtTranslations(m_qt_translations, m_texts.languageFile()))
        QCoreApplication::installTranslator(&m_qt_translations);

    auto* help = static_cast<CHyperLink*>(control(kHelpLink));
    help->SetText(text("JIEMIAN", "zysybrj"));
    help->SetAddress(text("APPLICATION", "url"));
    // A language file without the sponsor link's text keeps the template's, rather than showing the
    // bare address.
    auto* sponsor = static_cast<CHyperLink*>(control(kSponsorLink));
    const QString sponsor_text = text("JIEMIAN", "zzwm");
    sponsor->SetText(sponsor_text.isEmpty() ? TemplateText(kSponsorLink) : sponsor_text);
    for (CHyperLink* link : {help, sponsor}) link->SetFailureText(text("TISHI", "wfdkwy"));

    const std::pair<int, const char*> labels[] = {
        {kStartLabel, "ksjq"}, {kEndLabel, "jsjq"}, {kLengthLabel, "jqsj"}, {kLanguageLabel, "yy"}};
    for (const auto& [id, key] : labels) platform::ControlAs<QLabel>(this, id)->setText(text("JIEMIAN", key));

    const char* const columns[kFileListColumns] = {"ywj", "spgs", "spcd", "spdx", "zl", "zt"};
    for (int c = 0; c < kFileListColumns; ++c)
        m_list->horizontalHeaderItem(c)->setText(text("JIEMIAN", columns[c]));
    FitListColumns();

    m_tabs->setTabText(0, text("JIEMIAN", "spjq"));
    m_tabs->setTabText(1, text("JIEMIAN", "sphb"));
    // Longer tab texts widen the tab strip into the empty room before the help link rather than
    // hiding a tab behind scroll arrows.
    const int room = control(kHelpLink)->x() - m_tabs->x() - 8;
    m_tabs->resize(
        std::clamp(m_tabs->sizeHint().width(), m_tabs_template_width, std::max(room, m_tabs_template_width)),
        m_tabs->height());

    for (int id : {kAddButton, kOpenFileButton, kAddFilesButton, kRemoveButton, kMergeButton, kCutButton,
                   kPositionSlider, kPlayButton, kStartPointButton, kEndPointButton, kStartField, kEndField})
        control(id)->setToolTip(TooltipText(id));

    setWindowTitle(text("APPLICATION", "name") + " " + text("APPLICATION", "version"));
}

QString CSolvaneDlg::TooltipText(int id) const {
    const QString hint = text("HINT", TooltipKey(id));
    if (id == kPositionSlider) return hint + "\n" + text("HINT", "jpyd");
    const QString keys = KeysOfControl(id);
    return keys.isEmpty() ? hint : hint + " (" + keys + ")";
}

void CSolvaneDlg::FitListColumns() {
    // The status column widens to its longest text and the path column gives up the difference,
    // so that the six columns fill the list without a horizontal scroll bar.
    const QFontMetrics header(m_list->horizontalHeader()->font());
    const QFontMetrics cells(m_list->font());
    const int padding = 2 * header.horizontalAdvance(' ') + 8;
    int status = kFileListColumnWidths[5];
    status = std::max(status, header.horizontalAdvance(text("JIEMIAN", "zt")) + padding);
    for (const char* key : {"wc", "sb"})
        status = std::max(status, cells.horizontalAdvance(text("TISHI", key)) + padding);
    status = std::max(status, cells.horizontalAdvance(text("JIEMIAN", "zb")) + padding);
    const int available =
        m_list->width() - 2 * m_list->frameWidth() - m_list->verticalScrollBar()->sizeHint().width();
    int others = status;
    for (int c = 1; c < kFileListColumns - 1; ++c) others += kFileListColumnWidths[c];
    m_list->setColumnWidth(0, std::max(60, std::min(kFileListColumnWidths[0], available - others)));
    for (int c = 1; c < kFileListColumns - 1; ++c) m_list->setColumnWidth(c, kFileListColumnWidths[c]);
    m_list->setColumnWidth(5, status);
}

void CSolvaneDlg::SwitchLanguage(int item) {
    const QString name = common::LanguageFileForItem(item);
    if (!name.isEmpty()) m_texts.setLanguageFile(name);
    common::WriteLanguageChoice(settingsPath(), m_texts.languageFile());
    ApplyLanguageTexts();
}

void CSolvaneDlg::SwitchTab(int tab) {
    const bool cut = tab == 0;
    for (int id : ControlsOfCutTab()) control(id)->setVisible(cut);
    for (int id : ControlsOfMergeTab()) control(id)->setVisible(!cut);
    if (cut && !m_current_file.isEmpty()) control(kAddButton)->hide();
}

void CSolvaneDlg::AddVideos() {
    if (m_adding) return;
    const QString filter =
        Utf8(VideoFileFilter(Utf8(text("JIEMIAN", "symtwj")), Utf8(text("JIEMIAN", "sywj"))));
    const QStringList paths = platform::ChooseOpenFiles(this, QString(), filter, AddFolder());
    if (paths.isEmpty()) return;
    AddVideoPaths(paths);
}

QString CSolvaneDlg::AddFolder() const {
    return common::AddFolder(settingsPath(),
                             QStandardPaths::writableLocation(QStandardPaths::MoviesLocation));
}

void CSolvaneDlg::RememberAddFolder(const QString& path) { common::RememberAddFolder(settingsPath(), path); }

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

void CSolvaneDlg::AddVideoPaths(const QStringList& paths) {
    // Painting goes on between probes, but no click may start a second add in the middle.
    if (m_adding || paths.isEmpty()) return;
    m_adding = true;
    RememberAddFolder(paths.first());
    const bool cut = m_tabs->currentIndex() == 0;
    if (cut) m_current_file.clear();
    for (const QString& chosen : paths) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        const std::string path = NormalizeChosenPath(Utf8(chosen));
        m_probe_path = path;
        const ProbeResult probe = ProbeMediaFile(path, m_probe);
        // A failed probe leaves the last good one's results.
        if (probe.result == PROBE_OK) m_probe = probe;
        if (probe.result < 0 || probe.range_start_us < 0 || probe.range_end_us < 0) {
            platform::MessageBoxOk(this, Utf8(UnreadableFileMessage(Utf8(text("TISHI", "wj")), path,
                                                                    Utf8(text("TISHI", "wx")))));
            m_adding = false;
            return;
        }
        if (cut) {
            m_current_file = Utf8(path);
            continue;
        }
        if (m_list->rowCount() > 0)
            m_list->selectionModel()->select(m_list->model()->index(0, 0),
                                             QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
        const auto texts = FileRowTexts(path, m_probe, Utf8(text("JIEMIAN", "zb")));
        const int row = m_list->InsertItem(m_list->rowCount(), Utf8(texts[0]));
        for (int c = 1; c < kFileListColumns; ++c) m_list->SetItemText(row, c, Utf8(texts[c]));
        m_list->item(row, 0)->setToolTip(Utf8(texts[0]));
        m_list->SetCheck(row, true);
    }
    m_adding = false;
    if (cut) LoadCurrentFileIntoPreview();
}

void CSolvaneDlg::RemoveSelectedVideo() {
    int row = -1;
    for (const QModelIndex& index : m_list->selectionModel()->selectedRows())
        if (row < 0 || index.row() < row) row = index.row();
    if (row < 0) return;
    m_list->DeleteItemSelectingNext(row);
}

void CSolvaneDlg::LoadCurrentFileIntoPreview() {
    control(kAddButton)->hide();
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
    platform::ControlAs<QLabel>(this, kPositionText)->setText(Utf8(view.position));
    m_slider->setEnabled(true);
}

void CSolvaneDlg::ShowFrameAtSliderPosition(int position) {
    if (!m_probe_path) return;  // nothing was ever probed
    const TrackedPosition p = PositionAtThumb(position, m_probe.duration_us);
    m_preview_ms = p.preview_ms;
    platform::ControlAs<QLabel>(this, kPositionText)->setText(Utf8(p.position));
    DecodePreviewAt(p.seek_s);
}

void CSolvaneDlg::ShowFrameAtTime(int32_t ms) {
    if (m_current_file.isEmpty()) return;
    ms = std::clamp(ms, 0, m_duration_ms);
    m_slider->SetPosition(SliderValueAt(ms, m_duration_ms));
    m_preview_ms = ms;
    platform::ControlAs<QLabel>(this, kPositionText)->setText(Utf8(PositionText(ms, m_duration_ms)));
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
        m_preview_session->WriteBitmapLater(std::move(picture), Utf8(m_preview_path));
    }
    update(PreviewRect());
}

bool CSolvaneDlg::WaitForPreviewBitmap() { return m_preview_session && m_preview_session->WaitForBitmap(); }

QRect CSolvaneDlg::PreviewRect() const {
    const auto* frame = control(kPreviewArea);
    return QRect(frame->pos(), frame->size());
}

void CSolvaneDlg::SetStartPoint() {
    if (m_current_file.isEmpty() || !m_probe_path) return;
    m_slider->MarkStartAtThumb();
    const TimeFields f = FieldsForStartPoint(m_preview_ms, m_probe.duration_us);
    SetFields(f.start, f.end, f.length);
}

void CSolvaneDlg::SetEndPoint() {
    if (m_current_file.isEmpty()) return;
    m_slider->MarkEndAtThumb();
    const TimeFields f = FieldsForEndPoint(Utf8(m_start_field->text()), m_preview_ms);
    SetFields(f.start, f.end, f.length);
}

void CSolvaneDlg::SetFields(const std::string& start, const std::string& end, const std::string& length) {
    m_start_field->setText(Utf8(start));
    m_end_field->setText(Utf8(end));
    platform::ControlAs<QLabel>(this, kLengthField)->setText(Utf8(length));
}

void CSolvaneDlg::ShowTimeValidity(QLineEdit* field) {
    QPalette look = m_time_field_palette;
    if (!ParseTimeText(Utf8(field->text()))) {
        look.setColor(QPalette::Text, kInvalidTimeText);
        look.setColor(QPalette::Base, kInvalidTimeBase);
    }
    field->setPalette(look);
}

void CSolvaneDlg::MoveMarkToTypedTime(QLineEdit* field) {
    const std::optional<int32_t> ms = ParseTimeText(Utf8(field->text()));
    if (m_current_file.isEmpty() || !ms) return;
    const int value = SliderValueAt(*ms, m_duration_ms);
    if (field == m_start_field) {
        m_slider->SetSelectionStart(value);
        if (m_slider->GetSelectionMode() != 2) m_slider->SetSelectionMode(1);
    } else {
        m_slider->SetSelectionEnd(value);
        m_slider->SetSelectionMode(2);
    }
    m_slider->update();
}

bool CSolvaneDlg::ConfirmCutRange() {
    if (m_current_file.isEmpty()) return true;  // the cut command says what is missing
    if (const char* refusal =
            CutRangeRefusalKey(Utf8(m_start_field->text()), Utf8(m_end_field->text()), m_duration_ms)) {
        platform::MessageBoxOk(this, text("TISHI", refusal));
        return false;
    }
    const std::optional<int32_t> start = ParseTimeText(Utf8(m_start_field->text()));
    const std::optional<int32_t> end = ParseTimeText(Utf8(m_end_field->text()));
    // The cut reads the fields with the lenient reader, which takes a text without milliseconds for
    // something else: hand it the full form.
    m_start_field->setText(Utf8(TimeToText(*start)));
    m_end_field->setText(Utf8(TimeToText(*end)));
    return true;
}

void CSolvaneDlg::UpdateLength() {
    platform::ControlAs<QLabel>(this, kLengthField)
        ->setText(Utf8(LengthText(Utf8(m_start_field->text()), Utf8(m_end_field->text()))));
}

void CSolvaneDlg::Play() {
    if (m_current_file.isEmpty()) return;
    if (platform::ShellOpen(m_current_file) <= 32)
        platform::MessageBoxOk(this, text("TISHI", "wfbf") + "\n" + m_current_file);
}

void CSolvaneDlg::closeEvent(QCloseEvent* event) {
    event->accept();
    QDialog::done(QDialog::Accepted);
}

bool CSolvaneDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this && HandleKey(static_cast<QKeyEvent*>(event)))
        return true;
    return QDialog::eventFilter(watched, event);
}

bool CSolvaneDlg::HandleKey(const QKeyEvent* key) {
    const Qt::KeyboardModifiers modifiers =
        key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const bool command = modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    switch (key->key()) {
        case Qt::Key_Delete:
            RemoveSelectedVideo();
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

void CSolvaneDlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (m_preview_path.isEmpty() || m_preview.isNull() || !control(kPreviewArea)->isVisible()) return;
    QPainter painter(this);
    // Smooth scaling costs more than a decode from the kept pictures: while the thumb is dragged the
    // picture is scaled plainly, and smoothly again once the drag ends.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, !m_slider->IsDragging());
    painter.drawPixmap(PreviewRect(), m_preview);
}

void CSolvaneDlg::dragEnterEvent(QDragEnterEvent* event) { common::TakeLocalFiles(event); }

void CSolvaneDlg::dropEvent(QDropEvent* event) {
    common::AddDroppedFiles(event, this, [this](const QStringList& paths) { AddVideoPaths(paths); });
}
