#include "audiotool/solvane_dlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTabBar>
#include <QTimer>

#include "audiotool/file_rows.h"
#include "audiotool/language_keys.h"
#include "audiotool/main_template.h"
#include "audiotool/player_binding.h"
#include "audiotool/settings_dlg.h"
#include "auvella/auvella.h"
#include "common/output_folder.h"
#include "common/time_range.h"
#include "common/time_text.h"
#include "controls/av_donate_dlg.h"
#include "controls/bitmap_resources.h"
#include "controls/bitmap_slider.h"
#include "controls/check_list_ctrl.h"
#include "controls/control_button.h"
#include "controls/hyperlink.h"
#include "platform/choosers.h"
#include "platform/dialog_template.h"
#include "platform/download.h"
#include "platform/message_box.h"
#include "platform/profile.h"
#include "platform/shell_open.h"

namespace melisk {

namespace {

// Colours are given as the Windows COLORREF values 0x00BBGGRR.
QColor FromColorRef(unsigned value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}
constexpr int kApplicationIcon = 266;
constexpr unsigned kWindowBackground = 0xFBDDBB;  // RGB(187, 221, 251)
constexpr unsigned kListBackground = 0xE9F9F1;    // RGB(241, 249, 233)
constexpr int kDownloadTimeoutMs = 10000;
constexpr const char* kLinkFontName = "Microsoft Sans Serif";
constexpr int kLinkFontPoints = 10;
constexpr int kSliderMax = 1000;
const QString kZeroTime = QStringLiteral("00:00:00.000");
const QColor kInvalidTimeText(176, 0, 0);
const QColor kInvalidTimeBase(255, 222, 222);

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string U(const QString& s) { return s.toStdString(); }

platform::ControlFactory MainWindowFactory() {
    auto button = [](const platform::ControlSpec& ctl, QWidget* parent) -> QWidget* {
        auto* b = new CControlButton(parent, ctl.id);
        b->setText(ctl.text);
        return b;
    };
    std::map<int, platform::ControlFactory> by_id;
    for (int id : ImageButtons()) by_id[id] = button;
    by_id[kHelpLink] = [](const platform::ControlSpec& ctl, QWidget* parent) -> QWidget* {
        return new CHyperLink(ctl.text, parent, ctl.id);
    };
    by_id[kPositionSlider] = [](const platform::ControlSpec& ctl, QWidget* parent) -> QWidget* {
        return new CBitmapSlider(parent, ctl.id);
    };
    by_id[kFileList] = [](const platform::ControlSpec& ctl, QWidget* parent) -> QWidget* {
        return new CCheckListCtrl(parent, ctl.id);
    };
    return platform::FactoryById(std::move(by_id));
}

}  // namespace

CSolvaneDlg::CSolvaneDlg(const QString& program_folder, QWidget* parent)
    : MovableDialog(parent), m_files(program_folder) {
    platform::BuildDialog(this, MainWindowTemplate(), MainWindowFactory());
    m_slider = qobject_cast<CBitmapSlider*>(control(kPositionSlider));
    m_list = qobject_cast<CCheckListCtrl*>(control(kFileList));
    m_tabs = platform::ControlAs<QTabBar>(this, kTabs);
    m_start_field = platform::ControlAs<QLineEdit>(this, kStartField);
    m_end_field = platform::ControlAs<QLineEdit>(this, kEndField);
    m_folder_box = platform::ControlAs<QComboBox>(this, kOutputFolderBox);
    m_language_box = platform::ControlAs<QComboBox>(this, kLanguageBox);
    for (QLabel* label : findChildren<QLabel*>())
        if (label->text() == QString::fromUtf8(kSponsorCaptionTemplateText)) m_sponsor_caption = label;
    setAcceptDrops(true);
    setWindowIcon(LoadIconResource(kApplicationIcon));
    m_donate = new CAVDonateDlg(program_folder, CAVDonateDlg::Variant::kAudioTool, this);

    const common::StartSettings settings = common::ReadStartSettings(settingsPath());
    m_language_box->clear();
    m_language_box->addItems(settings.language_names);
    m_texts.setLanguageFile(settings.language_file);
    const QString saved_folder = platform::ReadProfileString("PATH", "name", QString(), settingsPath());
    m_sponsorship = settings.sponsorship;
    if (m_sponsorship == 0) FetchSponsorshipFiles();
    m_language_box->setCurrentIndex(common::LanguageItemForFile(settings.language_file));

    SetUpControls();
    ApplyLanguageTexts();
    m_start_field->setText(kZeroTime);
    m_end_field->setText(kZeroTime);
    m_folder_box->setEditText(saved_folder);
    m_confirmed_folder = saved_folder;
    SetUpPlayer();

    auto on_click = [this](int id, void (CSolvaneDlg::*slot)()) {
        connect(static_cast<CControlButton*>(control(id)), &CControlButton::clicked, this, slot);
    };
    on_click(kAddButton, &CSolvaneDlg::AddFiles);
    on_click(kDeleteButton, &CSolvaneDlg::DeleteSelected);
    on_click(kBrowseButton, &CSolvaneDlg::Browse);
    on_click(kFindTargetButton, &CSolvaneDlg::FindTarget);
    on_click(kAboutButton, &CSolvaneDlg::About);
    on_click(kSettingButton, &CSolvaneDlg::OpenSettings);
    on_click(kCutButton, &CSolvaneDlg::OnCutCommand);
    on_click(kMergeButton, &CSolvaneDlg::OnMergeCommand);
    on_click(kPlayButton, &CSolvaneDlg::PlayPause);
    on_click(kStopButton, &CSolvaneDlg::Stop);
    on_click(kStartPointButton, &CSolvaneDlg::SetStartPoint);
    on_click(kEndPointButton, &CSolvaneDlg::SetEndPoint);
    on_click(kPlaySelectionButton, &CSolvaneDlg::PlaySelection);
    m_time_field_palette = m_start_field->palette();
    for (QLineEdit* field : {m_start_field, m_end_field}) {
        connect(field, &QLineEdit::textChanged, this, &CSolvaneDlg::UpdateLength);
        connect(field, &QLineEdit::textChanged, this, [this, field] { ShowTimeValidity(field); });
    }
    // The slider reports every step of a drag queued, after its own handler has returned.
    connect(m_slider, &CBitmapSlider::sliderTrack, this,
            [this](int, int position) { SeekToSlider(position); });
    connect(m_tabs, &QTabBar::currentChanged, this, &CSolvaneDlg::SwitchTab);
    connect(m_language_box, &QComboBox::currentIndexChanged, this, &CSolvaneDlg::SwitchLanguage);

    // Delete, Space, "[" and "]" act on the window wherever the focus is (Space and the brackets
    // not while typing into a text field), so they are taken before any control sees them.
    qApp->installEventFilter(this);
}

CSolvaneDlg::~CSolvaneDlg() {
    qApp->removeEventFilter(this);
    StopTimers();
    UnbindPlayer();
}

QWidget* CSolvaneDlg::control(int id) const { return platform::ControlById(this, id); }

QString CSolvaneDlg::labelText(int id) const {
    auto* label = platform::ControlAs<QLabel>(this, id);
    return label ? label->text() : QString();
}

QString CSolvaneDlg::outputFolder() const { return m_folder_box->currentText(); }

void CSolvaneDlg::FetchSponsorshipFiles() {
    QDir().mkpath(m_files.languagesFolder());
    for (const char* name : {"weixin.jpg", "weixin1.jpg", "zfb.jpg"})
        platform::DownloadUrlToFile(platform::WebAddress(QStringLiteral("/languages/melisk/") + name),
                                    m_files.filePath(name), kDownloadTimeoutMs);
    platform::DownloadUrlToFile(platform::WebAddress("/languages/melisk/chinese.ini"),
                                m_files.languagesFolder() + "/chinese.ini", kDownloadTimeoutMs);
}

void CSolvaneDlg::SetUpControls() {
    QPalette background = palette();
    background.setColor(QPalette::Window, FromColorRef(kWindowBackground));
    setPalette(background);
    setAutoFillBackground(true);

    m_tabs->addTab(QString());
    m_tabs->addTab(QString());

    m_list->setColumnCount(kFileListColumns);
    for (int c = 0; c < kFileListColumns; ++c) {
        m_list->setHorizontalHeaderItem(c, new QTableWidgetItem());
        m_list->horizontalHeaderItem(c)->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    m_list->horizontalHeaderItem(kDurationColumn)->setText(QStringLiteral("Duration"));
    m_list->setColumnHidden(kFormatColumn, true);
    m_list->setColumnHidden(kDurationColumn, true);
    // Long paths keep their beginning and their file name; the tooltip has the whole path.
    m_list->setTextElideMode(Qt::ElideMiddle);
    m_list->setWordWrap(false);
    m_list->InitHeaderCheckBox();
    m_list->SetBkColor(FromColorRef(kListBackground));

    for (int id : ImageButtons()) SetButtonImage(id, ButtonImage(id));
    control(kPlayButton)->setEnabled(false);
    control(kStopButton)->setEnabled(false);

    const int template_width = m_slider->width();
    m_slider->LoadChannelBitmaps();
    m_slider->FitChannelToWidth(template_width);
    m_slider->LoadThumbBitmaps();
    m_slider->DrawFocusRect(false);
    m_slider->SetRange(0, kSliderMax);
    m_slider->SetPosition(0);
    m_slider->setEnabled(false);

    auto* format = platform::ControlAs<QComboBox>(this, kFormatBox);
    format->addItem(QString::fromLatin1(kMp3FormatEntry));
    format->setCurrentIndex(0);

    QFont link_font = platform::DialogFont(kLinkFontName, kLinkFontPoints);
    link_font.setUnderline(true);
    control(kHelpLink)->setFont(link_font);
}

void CSolvaneDlg::SetButtonImage(int id, int image) {
    auto* b = static_cast<CControlButton*>(control(id));
    b->SetFitToButton(true);
    b->SetShapeFromBitmap(image);
    b->SetImages(image, image, image);
    b->update();
}

void CSolvaneDlg::ApplyLanguageTexts() {
    m_texts.load(languagePath(), AudioToolLanguageKeys());
    // Qt's own dialogs and buttons follow the chosen language too.
    QCoreApplication::removeTranslator(&m_qt_translations);
    if (common::LoadQtTranslations(m_qt_translations, m_texts.languageFile()))
        QCoreApplication::installTranslator(&m_qt_translations);

    auto* help = static_cast<CHyperLink*>(control(kHelpLink));
    help->SetText(text("JIEMIAN", "zysybrj"));
    help->SetAddress(text("APPLICATION", "url"));
    help->SetFailureText(text("TISHI", "wfdkwy"));

    const std::pair<int, const char*> labels[] = {{kStartLabel, "ksjq"},
                                                  {kEndLabel, "jsjq"},
                                                  {kLengthLabel, "jqsj"},
                                                  {kOutputLabel, "output"},
                                                  {kTimeHint, "nykyzjsr"}};
    for (const auto& [id, key] : labels) platform::ControlAs<QLabel>(this, id)->setText(text("JIEMIAN", key));
    m_sponsor_caption->setText(text("JIEMIAN", "wxsm"));

    const char* const columns[] = {"ywj", "kssj", "jssj", "scgs", "zt"};
    for (int c = 0; c < 5; ++c) m_list->horizontalHeaderItem(c)->setText(text("JIEMIAN", columns[c]));
    FitListColumns();

    m_tabs->setTabText(0, text("JIEMIAN", "mp3jq"));
    m_tabs->setTabText(1, text("JIEMIAN", "mp3hb"));
    // Longer tab texts widen the strip into the empty room before the help link rather than hiding
    // a tab behind scroll arrows.
    const int room = control(kHelpLink)->x() - m_tabs->x() - 8;
    m_tabs->resize(std::min(std::max(m_tabs->sizeHint().width(), m_tabs->width()), room), m_tabs->height());

    for (int id : ImageButtons())
        if (const char* key = TooltipKey(id, m_playing)) control(id)->setToolTip(text("HINT", key));
    m_slider->setToolTip(text("HINT", TooltipKey(kPositionSlider)));

    setWindowTitle(text("APPLICATION", "name") + " " + text("APPLICATION", "version"));
}

void CSolvaneDlg::FitListColumns() {
    // The status column takes the list's width less the three visible columns, but at least its
    // longest text; the path column gives up what the status needs beyond that.
    const QFontMetrics header(m_list->horizontalHeader()->font());
    const QFontMetrics cells(m_list->font());
    const int padding = 2 * header.horizontalAdvance(' ') + 8;
    int status = header.horizontalAdvance(text("JIEMIAN", "zt")) + padding;
    for (const QString& t : {text("TISHI", "wc"), text("TISHI", "sb"), text("JIEMIAN", "zb")})
        status = std::max(status, cells.horizontalAdvance(t) + padding);
    const int available =
        m_list->width() - 2 * m_list->frameWidth() - m_list->verticalScrollBar()->sizeHint().width();
    const int times = kFileListColumnWidths[kStartColumn] + kFileListColumnWidths[kEndColumn];
    const int path = std::max(80, std::min(kFileListColumnWidths[kPathColumn], available - times - status));
    m_list->setColumnWidth(kPathColumn, path);
    m_list->setColumnWidth(kStartColumn, kFileListColumnWidths[kStartColumn]);
    m_list->setColumnWidth(kEndColumn, kFileListColumnWidths[kEndColumn]);
    m_list->setColumnWidth(kStatusColumn, std::max(status, available - times - path));
}

void CSolvaneDlg::SwitchLanguage(int item) {
    const QString name = common::LanguageFileForItem(item);
    if (!name.isEmpty()) m_texts.setLanguageFile(name);
    common::WriteLanguageChoice(settingsPath(), m_texts.languageFile());
    ApplyLanguageTexts();
}

void CSolvaneDlg::SwitchTab(int tab) {
    const bool cut = tab == 0;
    if (!cut) Stop();
    for (int id : cut ? ShownOnCutTab() : ShownOnMergeTab()) control(id)->show();
    for (int id : cut ? HiddenOnCutTab() : HiddenOnMergeTab()) control(id)->hide();
    // Back on the cut tab the file under edit is named again.
    platform::ControlAs<QLabel>(this, kCurrentFileText)->setText(cut ? m_current_file : QString());
}

void CSolvaneDlg::AddFiles() {
    if (m_adding) return;
    const QString filter =
        AudioFileFilter(text("JIEMIAN", "symtwj"), text("JIEMIAN", "mp3wj"), text("JIEMIAN", "sywj"));
    const QStringList paths = platform::ChooseOpenFiles(this, QString(), filter, AddFolder());
    if (paths.isEmpty()) return;
    AddFilePaths(paths);
}

QString CSolvaneDlg::AddFolder() const {
    return common::AddFolder(settingsPath(), QStandardPaths::writableLocation(QStandardPaths::MusicLocation));
}

bool CSolvaneDlg::ConfirmCutRange() {
    if (m_current_file.isEmpty()) return true;  // the cut command says what is missing
    const std::string start = U(m_start_field->text());
    const std::string end = U(m_end_field->text());
    if (const char* refusal = CutRangeRefusalKey(start, end, UsToMs(m_current_probe.duration_us))) {
        platform::MessageBoxOk(this, text("TISHI", refusal));
        return false;
    }
    // The cut reads the fields with the lenient reader, which takes a text without milliseconds for
    // something else: hand it the full form.
    m_start_field->setText(Q(TimeToText(*ParseTimeText(start))));
    m_end_field->setText(Q(TimeToText(*ParseTimeText(end))));
    return true;
}

void CSolvaneDlg::ShowTimeValidity(QLineEdit* field) {
    QPalette look = m_time_field_palette;
    if (!ParseTimeText(U(field->text()))) {
        look.setColor(QPalette::Text, kInvalidTimeText);
        look.setColor(QPalette::Base, kInvalidTimeBase);
    }
    field->setPalette(look);
}

void CSolvaneDlg::AddFilePaths(const QStringList& paths) {
    // Painting goes on between probes, but no click may start a second add in the middle.
    if (m_adding || paths.isEmpty()) return;
    m_adding = true;
    common::RememberAddFolder(settingsPath(), paths.first());
    const bool cut = m_tabs->currentIndex() == 0;
    if (cut) {
        m_current_file.clear();
        platform::ControlAs<QLabel>(this, kCurrentFileText)->clear();
    }
    for (const QString& path : paths) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        const ProbeResult probe = ProbeAudioFile(U(path));
        if (probe.result < 0 || probe.range_start_us < 0 || probe.range_end_us < 0) {
            platform::MessageBoxOk(this,
                                   UnreadableFileMessage(text("TISHI", "wj"), path, text("TISHI", "wx")));
            m_adding = false;
            return;
        }
        if (cut) {
            m_current_file = path;
            m_current_probe = probe;
            platform::ControlAs<QLabel>(this, kCurrentFileText)->setText(path);
            SetButtonImage(kPlayButton, kPlayImage);
            SetButtonImage(kStopButton, kStopImage);
            control(kPlayButton)->setEnabled(true);
            control(kStopButton)->setEnabled(true);
            continue;
        }
        if (m_list->rowCount() > 0)
            m_list->selectionModel()->select(m_list->model()->index(0, 0),
                                             QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
        const auto texts = FileRowTexts(path, probe, text("JIEMIAN", "zb"));
        const int row = m_list->InsertItem(m_list->rowCount(), texts[0]);
        for (int c = 1; c < kFileListColumns; ++c) m_list->SetItemText(row, c, texts[c]);
        m_list->item(row, kPathColumn)->setToolTip(path);
        m_list->SetCheck(row, true);
    }
    m_adding = false;
    if (cut) {
        Stop();
        PlayPause();
    }
}

void CSolvaneDlg::DeleteSelected() {
    Stop();
    for (QLabel* label :
         {platform::ControlAs<QLabel>(this, kPositionText), platform::ControlAs<QLabel>(this, kDurationText),
          platform::ControlAs<QLabel>(this, kLengthField)})
        label->setText(kZeroTime);
    m_start_field->setText(kZeroTime);
    m_end_field->setText(kZeroTime);

    const int row = m_list->GetSelectedRow();
    if (row < 0) return;
    m_list->DeleteItemSelectingNext(row);
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

void CSolvaneDlg::SetFields(const std::string& start, const std::string& end, const std::string& length) {
    m_start_field->setText(Q(start));
    m_end_field->setText(Q(end));
    platform::ControlAs<QLabel>(this, kLengthField)->setText(Q(length));
}

void CSolvaneDlg::UpdateLength() {
    platform::ControlAs<QLabel>(this, kLengthField)
        ->setText(Q(LengthText(U(m_start_field->text()), U(m_end_field->text()))));
}

void CSolvaneDlg::closeEvent(QCloseEvent* event) {
    StopTimers();
    Auvella_Close();
    event->accept();
    QDialog::done(QDialog::Accepted);
}

bool CSolvaneDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType() ||
        static_cast<QWidget*>(watched)->window() != this)
        return QDialog::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Delete) {
        DeleteSelected();
        return true;
    }
    const bool typing = qobject_cast<QLineEdit*>(watched) != nullptr;
    const bool cut_tab = m_tabs->currentIndex() == 0;
    if (typing || !cut_tab || m_current_file.isEmpty()) return QDialog::eventFilter(watched, event);
    switch (key) {
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
            return QDialog::eventFilter(watched, event);
    }
}

void CSolvaneDlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    const QImage picture(m_files.filePath("weixin1.jpg"));
    const QWidget* frame = control(kSponsorPicture);
    if (picture.isNull() || !frame->isVisible()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(frame->geometry(), picture);
}

void CSolvaneDlg::dragEnterEvent(QDragEnterEvent* event) { common::TakeLocalFiles(event); }

void CSolvaneDlg::dropEvent(QDropEvent* event) {
    common::AddDroppedFiles(event, this, [this](const QStringList& paths) { AddFilePaths(paths); });
}

}  // namespace melisk
