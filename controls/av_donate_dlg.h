#pragma once
// CAVDonateDlg: the sponsorship prompt. It shows a message from the Chinese language file and two
// QR-code pictures from the program folder, and keeps its two buttons disabled while it counts
// down once a second. The first button records in setting.ini that the prompt is no longer due.
// The video tool shows template 332, the audio tool its own copy, template 329, with other ids and
// template texts; both behave alike. UI thread only.

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;
class QTimer;

class CAVDonateDlg : public QDialog {
    Q_OBJECT

  public:
    enum ControlId {
        kMessage = 65535,
        kFirstPicture = 1279,
        kSecondPicture = 1280,
        kDoneButton = 1,
        kLaterButton = 2,
        // Template 329 (the audio tool's).
        kAudioFirstPicture = 1206,
        kAudioSecondPicture = 1207,
        kAudioLaterButton = 3,
    };
    enum class Variant { kVideoTool, kAudioTool };

    // program_folder holds setting.ini, weixin.jpg and zfb.jpg; languages/chinese.ini is read there
    // or, when not updated there, beside the program.
    explicit CAVDonateDlg(const QString& program_folder, QWidget* parent = nullptr);
    CAVDonateDlg(const QString& program_folder, Variant variant, QWidget* parent = nullptr);

    // Opens the prompt modally (initialised afresh each time) and returns when a button ended it.
    // Both buttons end it with Rejected; owners do not look at the result.
    int Run();
    // What opening does before the dialog is shown: texts, the hidden button, the countdown.
    void PrepareToOpen();

    // Remaining seconds of the countdown.
    int remainingSeconds() const { return m_remaining; }
    QPushButton* doneButton() const { return m_done; }
    QPushButton* laterButton() const { return m_later; }
    QLabel* message() const { return m_message; }
    QTimer* countdownTimer() const { return m_timer; }

    // One countdown tick (the timer's slot).
    void Tick();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void reject() override;

  private:
    void OnDone();
    void EnableButtons();

    QString m_program_folder;
    Variant m_variant = Variant::kVideoTool;
    int m_remaining = 0;
    QLabel* m_message = nullptr;
    QPushButton* m_done = nullptr;
    QPushButton* m_later = nullptr;
    QTimer* m_timer = nullptr;
};
