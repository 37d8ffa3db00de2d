#include "common/av_convert_dlg.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "common/dialog_keys.h"
#include "common/language_files.h"
#include "controls/label.h"
#include "platform/dialog_template.h"
#include "platform/profile.h"

namespace {

const QString kTemplateLine = QStringLiteral("...");

platform::DialogSpec ProgressTemplate() {
    using platform::ControlKind;
    platform::DialogSpec d;
    d.id = 129;
    d.title = QStringLiteral("Converting");
    d.w = 324;
    d.h = 89;
    d.font_name = QStringLiteral("Microsoft Sans Serif");
    d.font_points = 8;
    d.controls = {
        {CAVConvertDlg::kCurrentFileLabel, ControlKind::Label, QStringLiteral("Current:"), 19, 5, 44, 8},
        {CAVConvertDlg::kCurrentFileLine, ControlKind::Custom, kTemplateLine, 66, 5, 254, 8},
        {CAVConvertDlg::kFileBar, ControlKind::ProgressBar, {}, 20, 17, 282, 14},
        {CAVConvertDlg::kFileCountLabel, ControlKind::Label, QStringLiteral("Total:"), 20, 36, 47, 8},
        {CAVConvertDlg::kFileCountLine, ControlKind::Custom, kTemplateLine, 66, 36, 252, 8},
        {CAVConvertDlg::kFilesBar, ControlKind::ProgressBar, {}, 21, 47, 281, 14},
        {CAVConvertDlg::kStopButton, ControlKind::PushButton, QStringLiteral("Stop"), 253, 65, 50, 19},
    };
    return d;
}

}  // namespace

CAVConvertDlg::CAVConvertDlg(const QString& program_folder, QWidget* parent)
    : QDialog(parent), m_program_folder(program_folder) {
    auto make_label = [](const platform::ControlSpec& ctl, QWidget* p) -> QWidget* {
        return new CLabel(ctl.text, p, ctl.id);
    };
    platform::BuildDialog(
        this, ProgressTemplate(),
        platform::FactoryById({{kCurrentFileLine, make_label}, {kFileCountLine, make_label}}));
    m_current_line = qobject_cast<CLabel*>(platform::ControlById(this, kCurrentFileLine));
    m_count_line = qobject_cast<CLabel*>(platform::ControlById(this, kFileCountLine));
    m_file_bar = platform::ControlAs<QProgressBar>(this, kFileBar);
    m_files_bar = platform::ControlAs<QProgressBar>(this, kFilesBar);
    m_stop = platform::ControlAs<QPushButton>(this, kStopButton);
    m_stop->setAutoDefault(false);
    setModal(true);
    new common::DialogKeyBlocker(this, /*block_escape=*/true);
    connect(m_stop, &QPushButton::clicked, this, &CAVConvertDlg::Stop);
}

void CAVConvertDlg::PrepareToOpen() {
    m_current_line->SetText(kTemplateLine);
    m_count_line->SetText(kTemplateLine);
    m_file_bar->setValue(0);
    m_files_bar->setValue(0);

    const common::ProgramFiles files(m_program_folder);
    const QString language_file =
        platform::ReadProfileString("LANGUAGE", "file", QString(), files.settingsPath());
    const QString language = files.languagePath(language_file);
    setWindowTitle(common::ReadLanguageText(language, "APPLICATION", "name"));
    platform::ControlAs<QLabel>(this, kCurrentFileLabel)
        ->setText(common::ReadLanguageText(language, "JIEMIAN", "dqwj"));
    platform::ControlAs<QLabel>(this, kFileCountLabel)
        ->setText(common::ReadLanguageText(language, "JIEMIAN", "zgwj"));
    const QString stop = common::ReadLanguageText(language, "JIEMIAN", "tz");
    m_stop->setText(stop);
    m_stop->setToolTip(stop);
}

int CAVConvertDlg::Run() {
    PrepareToOpen();
    return exec();
}

void CAVConvertDlg::SetCurrentFileLine(const QString& text) { m_current_line->SetText(text); }
void CAVConvertDlg::SetFileCountLine(const QString& text) { m_count_line->SetText(text); }
void CAVConvertDlg::SetFileBar(int percent) { m_file_bar->setValue(percent); }
void CAVConvertDlg::SetFilesBar(int percent) { m_files_bar->setValue(percent); }

void CAVConvertDlg::Stop() {
    if (!isVisible()) return;
    emit stopRequested();
    done(QDialog::Accepted);
}

void CAVConvertDlg::closeEvent(QCloseEvent* event) {
    // done() hides the dialog itself; the close box must not end it a second way.
    event->ignore();
    Stop();
}
