#pragma once
// Keeps the Enter key (and, where asked, Escape) from doing anything in a dialog: neither the
// default button nor a focused button is pressed by it, as in a dialog that hands Enter to the
// focused control without the dialog's own key handling. UI thread only.

#include <QObject>

class QDialog;

namespace common {

class DialogKeyBlocker : public QObject {
  public:
    // Installs itself on the application for the dialog's lifetime (it is the dialog's child).
    DialogKeyBlocker(QDialog* dialog, bool block_escape);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QDialog* m_dialog;
    bool m_block_escape;
};

}  // namespace common
