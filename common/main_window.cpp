#include "common/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QTabBar>
#include <algorithm>
#include <cmath>
#include <map>

#include "common/output_folder.h"
#include "common/time_range.h"
#include "common/time_text.h"
#include "controls/bitmap_resources.h"
#include "controls/bitmap_slider.h"
#include "controls/check_list_ctrl.h"
#include "controls/control_button.h"
#include "controls/hyperlink.h"
#include "platform/choosers.h"
#include "platform/download.h"
#include "platform/message_box.h"

namespace common {

namespace {

constexpr int kApplicationIcon = 266;
constexpr int kDownloadTimeoutMs = 10000;
constexpr const char* kLinkFontName = "Microsoft Sans Serif";
constexpr int kLinkFontPoints = 10;
const QString kZeroTime = QStringLiteral("00:00:00.000");

// A time field whose text is no time: dark red text on a pale red ground, visible even when empty.
const QColor kInvalidTimeText(176, 0, 0);
const QColor kInvalidTimeBase(255, 222, 222);

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string U(const QString& s) { return s.toStdString(); }

// The image buttons, the links, the slider and the file list are the suite's own controls.
platform::ControlFactory ControlFactory(const MainWindowLayout& layout) {
    std::map<int, platform::ControlFactory> by_id;
    for (const auto& [id, image] : layout.image_buttons)
        by_id[id] = [](const platform::ControlSpec& ctl, QWidget* parent) -> QWidget* {
            auto* b = new CControlButton(parent, ctl.id);
            b->setText(ctl.text);
            return b;
        };
    for (int id : layout.links)
        by_id[id] = [](const platform::ControlSpec& ctl, QWidget* parent) -> QWidget* {
            return new CHyperLink(ctl.text, parent, ctl.id);
        };
    by_id[layout.ids.slider] = [](const platform::ControlSpec& ctl, QWidget* parent) -> QWidget* {
        return new CBitmapSlider(parent, ctl.id);
    };
    by_id[layout.ids.file_list] = [](const platform::ControlSpec& ctl, QWidget* parent) -> QWidget* {
        return new CCheckListCtrl(parent, ctl.id);
    };
    return platform::FactoryById(std::move(by_id));
}

}  // namespace

QColor FromColorRef(unsigned value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

QRect FitToAspect(const QRect& area, double aspect) {
    if (aspect <= 0 || area.isEmpty()) return area;
    int width = area.width(), height = area.height();
    if (width > height * aspect)
        width = std::max(1, static_cast<int>(std::lround(height * aspect)));
    else
        height = std::max(1, static_cast<int>(std::lround(width / aspect)));
    return QRect(area.x() + (area.width() - width) / 2, area.y() + (area.height() - height) / 2, width,
                 height);
}

QString UnreadableFileMessage(const QString& wj, const QString& path, const QString& wx) {
    return wj + path.mid(path.lastIndexOf('/') + 1) + " " + wx;
}

const char* UnreadableFileReasonKey(const QString& path) { return QFileInfo::exists(path) ? "wx" : "wjbcz"; }

MainWindowBase::MainWindowBase(ProgramFiles files, MainWindowLayout layout, QWidget* parent)
    : MovableDialog(parent), m_files(std::move(files)), m_layout(std::move(layout)) {
    platform::BuildDialog(this, m_layout.dialog, ControlFactory(m_layout));
    const MainControlIds& ids = m_layout.ids;
    m_tabs = Bind<QTabBar>(ids.tabs);
    m_list = Bind<CCheckListCtrl>(ids.file_list);
    m_slider = Bind<CBitmapSlider>(ids.slider);
    m_start_field = Bind<QLineEdit>(ids.start_field);
    m_end_field = Bind<QLineEdit>(ids.end_field);
    m_length_field = Bind<QLabel>(ids.length_field);
    m_position_text = Bind<QLabel>(ids.position_text);
    m_language_box = Bind<QComboBox>(ids.language_box);
    m_help_link = Bind<CHyperLink>(ids.help_link);
    m_add_button = Bind<CControlButton>(ids.add_button);
    m_delete_button = Bind<CControlButton>(ids.delete_button);
    m_cut_button = Bind<CControlButton>(ids.cut_button);
    m_merge_button = Bind<CControlButton>(ids.merge_button);
    m_start_point_button = Bind<CControlButton>(ids.start_point_button);
    m_end_point_button = Bind<CControlButton>(ids.end_point_button);
    m_panel = control(ids.panel);

    for (const auto& [id, image] : m_layout.image_buttons)
        m_image_buttons.emplace_back(Bind<CControlButton>(id), image);
    for (int id : m_layout.add_buttons) m_add_buttons.push_back(Bind<CControlButton>(id));
    for (const auto& [id, key] : m_layout.labels) m_labels.emplace_back(Bind<QLabel>(id), key);
    for (const auto& [id, key] : m_layout.tooltips) m_tooltips.push_back({control(id), id, key});
    for (int id : m_layout.links) m_links.push_back(control(id));
    const std::vector<int>* tab_ids[2][2] = {{&m_layout.shown_on_cut_tab, &m_layout.hidden_on_cut_tab},
                                             {&m_layout.shown_on_merge_tab, &m_layout.hidden_on_merge_tab}};
    for (int tab = 0; tab < 2; ++tab)
        for (int shown = 0; shown < 2; ++shown)
            for (int id : *tab_ids[tab][shown]) m_tab_controls[tab][shown].push_back(control(id));

    setAcceptDrops(true);
    setWindowIcon(LoadIconResource(kApplicationIcon));
}

MainWindowBase::~MainWindowBase() { qApp->removeEventFilter(this); }

void MainWindowBase::StartUp() {
    const StartSettings settings = ReadStartSettings(settingsPath());
    m_language_box->clear();
    m_language_box->addItems(LanguageBoxItems(settings.language_names));
    m_texts.setLanguageFile(settings.language_file);
    m_sponsorship = settings.sponsorship;
    if (m_sponsorship == 0) FetchSponsorshipFiles();
    m_language_box->setCurrentIndex(LanguageItemForFile(settings.language_file));

    SetUpControls();
    SetUpToolControls();
    m_time_field_palette = m_start_field->palette();
    ApplyLanguageTexts();
    m_start_field->setText(kZeroTime);
    m_end_field->setText(kZeroTime);

    for (CControlButton* add : m_add_buttons)
        connect(add, &CControlButton::clicked, this, &MainWindowBase::AddFiles);
    connect(m_delete_button, &CControlButton::clicked, this, [this] { DeleteSelected(); });
    connect(m_cut_button, &CControlButton::clicked, this, [this] { OnCutCommand(); });
    connect(m_merge_button, &CControlButton::clicked, this, [this] { OnMergeCommand(); });
    connect(m_start_point_button, &CControlButton::clicked, this, &MainWindowBase::SetStartPoint);
    connect(m_end_point_button, &CControlButton::clicked, this, &MainWindowBase::SetEndPoint);
    for (QLineEdit* field : {m_start_field, m_end_field}) {
        connect(field, &QLineEdit::textChanged, this, &MainWindowBase::UpdateLength);
        connect(field, &QLineEdit::textChanged, this, [this, field] { ShowTimeValidity(field); });
        connect(field, &QLineEdit::textEdited, this, [this, field] { MoveMarkToTypedTime(field); });
    }
    connect(m_tabs, &QTabBar::currentChanged, this, [this](int tab) { SwitchTab(tab); });
    connect(m_language_box, &QComboBox::currentIndexChanged, this, &MainWindowBase::SwitchLanguage);

    // The window's keys act wherever the focus is, so they are taken before any control sees them.
    qApp->installEventFilter(this);
}

QWidget* MainWindowBase::control(int id) const { return platform::ControlById(this, id); }

void MainWindowBase::FetchSponsorshipFiles() {
    QDir().mkpath(m_files.languagesFolder());
    const QString folder = QString::fromLatin1(m_layout.web_folder);
    for (const char* name : m_layout.sponsor_files)
        platform::DownloadUrlToFile(platform::WebAddress(folder + name), m_files.filePath(name),
                                    kDownloadTimeoutMs);
    platform::DownloadUrlToFile(platform::WebAddress(folder + "chinese.ini"),
                                m_files.languagesFolder() + "/chinese.ini", kDownloadTimeoutMs);
}

void MainWindowBase::SetUpControls() {
    QPalette background = palette();
    background.setColor(QPalette::Window, FromColorRef(m_layout.window_colour));
    setPalette(background);
    setAutoFillBackground(true);

    m_tabs->addTab(QString());
    m_tabs->addTab(QString());
    m_tabs_template_width = m_tabs->width();

    const int columns = static_cast<int>(m_layout.columns.size());
    m_list->setColumnCount(columns);
    for (int c = 0; c < columns; ++c) {
        m_list->setHorizontalHeaderItem(c, new QTableWidgetItem());
        m_list->horizontalHeaderItem(c)->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    m_list->InitHeaderCheckBox();
    m_list->SetBkColor(FromColorRef(m_layout.list_colour));
    // Long paths keep their beginning and their file name; the tooltip has the whole path.
    m_list->setTextElideMode(Qt::ElideMiddle);

    for (const auto& [button, image] : m_image_buttons) {
        button->SetFitToButton(m_layout.fit_button_images);
        button->SetShapeFromBitmap(image);
        button->SetImages(image, image, image);
    }

    m_slider->LoadChannelBitmaps();
    m_slider->LoadThumbBitmaps();
    m_slider->DrawFocusRect(false);
    m_slider->SetRange(0, kPreviewSliderMax);
    m_slider->SetPosition(0);
    m_slider->setEnabled(false);

    QFont link_font = platform::DialogFont(kLinkFontName, kLinkFontPoints);
    link_font.setUnderline(true);
    for (QWidget* link : m_links) link->setFont(link_font);
}

void MainWindowBase::ApplyLanguageTexts() {
    m_texts.load(languagePath(), m_layout.language_keys, m_files.englishPath());
    // Qt's own dialogs and buttons, and the key names in the tooltips, follow the chosen language.
    QCoreApplication::removeTranslator(&m_qt_translations);
    if (LoadQtTranslations(m_qt_translations, m_texts.languageFile()))
        QCoreApplication::installTranslator(&m_qt_translations);

    m_help_link->SetText(text("JIEMIAN", "zysybrj"));
    m_help_link->SetAddress(text("APPLICATION", "url"));
    m_help_link->SetFailureText(text("TISHI", "wfdkwy"));
    for (const auto& [label, key] : m_labels) label->setText(text("JIEMIAN", key));
    for (size_t c = 0; c < m_layout.columns.size(); ++c)
        if (const char* key = m_layout.columns[c])
            m_list->horizontalHeaderItem(static_cast<int>(c))->setText(text("JIEMIAN", key));
    FitListColumns();

    m_tabs->setTabText(0, text("JIEMIAN", m_layout.cut_tab_key));
    m_tabs->setTabText(1, text("JIEMIAN", m_layout.merge_tab_key));
    // Longer tab texts widen the tab strip into the empty room before the help link rather than
    // hiding a tab behind scroll arrows.
    const int room = m_help_link->x() - m_tabs->x() - 8;
    m_tabs->resize(
        std::clamp(m_tabs->sizeHint().width(), m_tabs_template_width, std::max(room, m_tabs_template_width)),
        m_tabs->height());

    for (const Tooltip& tip : m_tooltips) tip.control->setToolTip(TooltipText(tip.id, tip.key));
    ApplyToolTexts();
    setWindowTitle(text("APPLICATION", "name") + " " + text("APPLICATION", "version"));
}

QString MainWindowBase::TooltipText(int, const char* key) const { return text("HINT", key); }

int MainWindowBase::StatusColumnWidth(int minimum) const {
    const QFontMetrics header(m_list->horizontalHeader()->font());
    const QFontMetrics cells(m_list->font());
    const int padding = 2 * header.horizontalAdvance(' ') + 8;
    int status = std::max(minimum, header.horizontalAdvance(text("JIEMIAN", "zt")) + padding);
    for (const QString& t : {text("TISHI", "wc"), text("TISHI", "sb"), text("JIEMIAN", "zb")})
        status = std::max(status, cells.horizontalAdvance(t) + padding);
    return status;
}

int MainWindowBase::ListRoom() const {
    return m_list->width() - 2 * m_list->frameWidth() - m_list->verticalScrollBar()->sizeHint().width();
}

void MainWindowBase::SwitchLanguage(int item) {
    const QString name = LanguageFileForItem(item);
    if (!name.isEmpty()) m_texts.setLanguageFile(name);
    WriteLanguageChoice(settingsPath(), m_texts.languageFile());
    ApplyLanguageTexts();
}

void MainWindowBase::SwitchTab(int tab) {
    const int index = tab == 0 ? 0 : 1;
    for (QWidget* w : m_tab_controls[index][0]) w->show();
    for (QWidget* w : m_tab_controls[index][1]) w->hide();
}

void MainWindowBase::AddFiles() {
    if (m_adding) return;
    const QStringList paths = platform::ChooseOpenFiles(this, QString(), FileFilter(), AddFolder());
    if (paths.isEmpty()) return;
    AddFilePaths(paths);
}

QString MainWindowBase::AddFolder() const {
    return common::AddFolder(settingsPath(), QStandardPaths::writableLocation(m_layout.add_folder));
}

void MainWindowBase::AddFilePaths(const QStringList& paths) {
    // Painting goes on between probes, but no click may start a second add in the middle.
    if (m_adding || paths.isEmpty()) return;
    m_adding = true;
    RememberAddFolder(settingsPath(), paths.first());
    const bool cut = m_tabs->currentIndex() == 0;
    if (cut) {
        m_current_file.clear();
        OnCurrentFileCleared();
    }
    for (const QString& chosen : paths) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QString path;
        if (!ProbeFile(chosen, &path)) {
            ReportUnreadableFile(path);
            m_adding = false;
            return;
        }
        if (cut) {
            TakeCurrentFile(path);
            continue;
        }
        if (m_list->rowCount() > 0)
            m_list->selectionModel()->select(m_list->model()->index(0, 0),
                                             QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
        const QStringList texts = RowTexts(path);
        const int row = m_list->InsertItem(m_list->rowCount(), texts[0]);
        for (int c = 1; c < texts.size(); ++c) m_list->SetItemText(row, c, texts[c]);
        m_list->item(row, 0)->setToolTip(texts[0]);
        m_list->SetCheck(row, true);
    }
    m_adding = false;
    if (cut) LoadCurrentFile();
}

void MainWindowBase::ReportUnreadableFile(const QString& path) {
    platform::MessageBoxOk(
        this, UnreadableFileMessage(text("TISHI", "wj"), path, text("TISHI", UnreadableFileReasonKey(path))));
}

void MainWindowBase::DeleteSelected() {
    const int row = m_list->GetSelectedRow();
    if (row < 0) return;
    m_list->DeleteItemSelectingNext(row);
}

void MainWindowBase::SetStartPoint() {
    if (m_current_file.isEmpty()) return;
    m_slider->MarkStartAtThumb();
    const TimeFields f = FieldsForStartPoint(ThumbPositionMs(), ThumbDurationUs());
    SetFields(f.start, f.end, f.length);
}

void MainWindowBase::SetEndPoint() {
    if (m_current_file.isEmpty()) return;
    m_slider->MarkEndAtThumb();
    const TimeFields f = FieldsForEndPoint(U(m_start_field->text()), ThumbPositionMs());
    SetFields(f.start, f.end, f.length);
}

void MainWindowBase::SetFields(const std::string& start, const std::string& end, const std::string& length) {
    m_start_field->setText(Q(start));
    m_end_field->setText(Q(end));
    m_length_field->setText(Q(length));
}

void MainWindowBase::UpdateLength() {
    m_length_field->setText(Q(LengthText(U(m_start_field->text()), U(m_end_field->text()))));
}

// A typed time moves its mark on the slider at once, as a bracket button does.
void MainWindowBase::MoveMarkToTypedTime(QLineEdit* field) {
    const std::optional<int32_t> ms = ParseTimeText(U(field->text()));
    if (m_current_file.isEmpty() || !ms) return;
    const int value = SliderValueAt(*ms, CurrentDurationMs());
    if (field == m_start_field) {
        m_slider->SetSelectionStart(value);
        if (m_slider->GetSelectionMode() != 2) m_slider->SetSelectionMode(1);
    } else {
        m_slider->SetSelectionEnd(value);
        m_slider->SetSelectionMode(2);
    }
    m_slider->update();
}

void MainWindowBase::ShowTimeValidity(QLineEdit* field) {
    QPalette look = m_time_field_palette;
    if (!ParseTimeText(U(field->text()))) {
        look.setColor(QPalette::Text, kInvalidTimeText);
        look.setColor(QPalette::Base, kInvalidTimeBase);
    }
    field->setPalette(look);
}

bool MainWindowBase::ConfirmCutRange() {
    if (m_current_file.isEmpty()) return true;  // the cut command says what is missing
    const std::string start = U(m_start_field->text());
    const std::string end = U(m_end_field->text());
    if (const char* refusal = CutRangeRefusalKey(start, end, CurrentDurationMs())) {
        platform::MessageBoxOk(this, text("TISHI", refusal));
        return false;
    }
    // The cut reads the fields with the lenient reader, which takes a text without milliseconds for
    // something else: hand it the full form.
    m_start_field->setText(Q(TimeToText(*ParseTimeText(start))));
    m_end_field->setText(Q(TimeToText(*ParseTimeText(end))));
    return true;
}

void MainWindowBase::closeEvent(QCloseEvent* event) {
    event->accept();
    QDialog::done(QDialog::Accepted);
}

bool MainWindowBase::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this &&
        HandleKey(watched, static_cast<QKeyEvent*>(event)))
        return true;
    return QDialog::eventFilter(watched, event);
}

QRect MainWindowBase::PanelRect() const { return QRect(m_panel->pos(), m_panel->size()); }

void MainWindowBase::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (!m_panel->isVisible()) return;
    const QPixmap picture = PanelPicture();
    if (picture.isNull()) return;
    QPainter painter(this);
    // Smooth scaling costs more than a preview from the kept pictures: while the thumb is dragged
    // the picture is scaled plainly.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, !m_slider->IsDragging());
    const QRect area = PanelRect();
    const QRect target = FitToAspect(area, PanelPictureAspect());
    // The bars cover what the frame showed before, in the window's own colour.
    if (target != area) painter.fillRect(area, palette().color(QPalette::Window));
    painter.drawPixmap(target, picture);
}

void MainWindowBase::dragEnterEvent(QDragEnterEvent* event) { TakeLocalFiles(event); }

void MainWindowBase::dropEvent(QDropEvent* event) {
    AddDroppedFiles(event, this, [this](const QStringList& paths) { AddFilePaths(paths); });
}

}  // namespace common
