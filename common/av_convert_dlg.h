#pragma once
// CAVConvertDlg: the modal progress dialog of a running job, shared by both media tools. It shows
// what the owner's progress timer sets (two lines, two bars) and offers Stop; Escape and Enter do
// nothing, the close box stops like the Stop button. UI thread only.

#include <QDialog>
#include <QString>

class CLabel;
class QProgressBar;
class QPushButton;

class CAVConvertDlg : public QDialog {
    Q_OBJECT

  public:
    enum ControlId {
        kCurrentFileLabel = 1158,
        kCurrentFileLine = 1018,
        kFileBar = 1011,
        kFileCountLabel = 1159,
        kFileCountLine = 1019,
        kFilesBar = 1012,
        kStopButton = 1000,
    };

    // program_folder holds setting.ini and languages/, read each time the dialog opens.
    explicit CAVConvertDlg(const QString& program_folder, QWidget* parent = nullptr);

    // Opens the dialog modally with the template's texts, then the language texts, and returns
    // when it has been ended (by Stop, the close box or the owner's timer).
    int Run();
    // Resets the controls and reads the language texts, as opening does (Run calls it).
    void PrepareToOpen();

    void SetCurrentFileLine(const QString& text);
    void SetFileCountLine(const QString& text);
    void SetFileBar(int percent);
    void SetFilesBar(int percent);

    CLabel* currentFileLine() const { return m_current_line; }
    CLabel* fileCountLine() const { return m_count_line; }
    QProgressBar* fileBar() const { return m_file_bar; }
    QProgressBar* filesBar() const { return m_files_bar; }
    QPushButton* stopButton() const { return m_stop; }

  signals:
    // Stop or the close box: the owner sets the job's cancel flag and stops its timer before the
    // dialog ends.
    void stopRequested();

  public slots:
    void Stop();

  protected:
    void reject() override {}
    void closeEvent(QCloseEvent* event) override;

  private:
    QString m_program_folder;
    CLabel* m_current_line = nullptr;
    CLabel* m_count_line = nullptr;
    QProgressBar* m_file_bar = nullptr;
    QProgressBar* m_files_bar = nullptr;
    QPushButton* m_stop = nullptr;
};
