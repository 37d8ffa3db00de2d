#pragma once
// What both tools' main windows share while a job runs: the progress dialog and file list a tick
// updates, the texts it shows, the outcome messages and the wait for a finishing worker.
// UI thread only.

#include <QString>
#include <string>

#include "common/job_worker.h"
#include "common/progress_protocol.h"

class CAVConvertDlg;
class CCheckListCtrl;
class QObject;
class QTimer;

namespace common {

// Forwards a tick's lines and bars to the progress dialog and its list item updates to the file
// list, whose column 0 holds the paths; rows beyond the list are passed over.
class ListProgressView : public ProgressView {
  public:
    ListProgressView(CAVConvertDlg* dialog, CCheckListCtrl* list, int status_column)
        : m_dialog(dialog), m_list(list), m_status_column(status_column) {}

    void setCurrentFileLine(const QString& text) override;
    void setFileCountLine(const QString& text) override;
    void setFileBar(int percent) override;
    void setFilesBar(int percent) override;
    QString listItemName(int list_index) const override;
    void setListItemStatus(int list_index, const QString& text) override;
    void uncheckListItem(int list_index) override;

  private:
    CAVConvertDlg* m_dialog;
    CCheckListCtrl* m_list;
    int m_status_column;
};

// The "TISHI" texts of a tick, from a window that looks texts up by section and key.
template <class Window>
ProgressTexts TickTexts(const Window& window) {
    return {window.text("TISHI", "wjwc"), window.text("TISHI", "wjwczg"), window.text("TISHI", "wj1"),
            window.text("TISHI", "sb"),   window.text("TISHI", "wc"),     window.text("JIEMIAN", "zb")};
}

// The "TISHI" key of the message that reports an outcome.
const char* OutcomeMessageKey(JobOutcome outcome);

// The text of an outcome message. When the output was published under another name than the one
// planned (that name was taken while the job ran), the name written follows the "saved as" text.
QString OutcomeMessage(const QString& outcome_text, const QString& saved_as_text,
                       const std::string& planned_path, const std::string& written_path);

// Timer 1, which polls a running job; its owner connects the timeout.
QTimer* NewJobTimer(QObject* parent, int interval_ms);

// Waits, with a busy cursor, for a worker that is still finishing after Stop.
void WaitWithBusyCursor(JobWorker& worker);

}  // namespace common
