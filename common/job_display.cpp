#include "common/job_display.h"

#include <QApplication>
#include <QTimer>

#include "common/av_convert_dlg.h"
#include "controls/check_list_ctrl.h"

namespace common {

void ListProgressView::setCurrentFileLine(const QString& text) { m_dialog->SetCurrentFileLine(text); }
void ListProgressView::setFileCountLine(const QString& text) { m_dialog->SetFileCountLine(text); }
void ListProgressView::setFileBar(int percent) { m_dialog->SetFileBar(percent); }
void ListProgressView::setFilesBar(int percent) { m_dialog->SetFilesBar(percent); }

QString ListProgressView::listItemName(int list_index) const {
    return list_index < m_list->rowCount() ? m_list->GetItemText(list_index, 0) : QString();
}

void ListProgressView::setListItemStatus(int list_index, const QString& text) {
    if (list_index < m_list->rowCount()) m_list->SetItemText(list_index, m_status_column, text);
}

void ListProgressView::uncheckListItem(int list_index) {
    if (list_index < m_list->rowCount()) m_list->SetCheck(list_index, false);
}

QString OutcomeMessage(const QString& outcome_text, const QString& saved_as_text,
                       const std::string& planned_path, const std::string& written_path) {
    if (written_path.empty() || written_path == planned_path) return outcome_text;
    return outcome_text + "\n" + saved_as_text + "\n" + QString::fromStdString(written_path);
}

const char* OutcomeMessageKey(JobOutcome outcome) {
    switch (outcome) {
        case JobOutcome::kCutDone:
            return "jqcg";
        case JobOutcome::kCutFailed:
            return "jqsb";
        case JobOutcome::kMergeDone:
            return "hbcg";
        case JobOutcome::kMergeFailed:
            break;
    }
    return "hbsb";
}

QTimer* NewJobTimer(QObject* parent, int interval_ms) {
    auto* timer = new QTimer(parent);
    timer->setObjectName(QStringLiteral("timer1"));
    timer->setInterval(interval_ms);
    return timer;
}

void WaitWithBusyCursor(JobWorker& worker) {
    if (!worker.joinable()) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    worker.join();
    QApplication::restoreOverrideCursor();
}

}  // namespace common
