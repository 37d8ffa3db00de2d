#pragma once
// CHyperLink: a static text that acts as a web link: link, visited and hover colours, underline
// while hovered, a hand cursor, a tooltip with the address, and opening the address through the
// platform layer (desktop handler, then the browser fall-backs). The hover look ends by a 100 ms
// poll of the pointer, so it ends even when no leave event arrives. UI thread only.

#include <QColor>
#include <QFont>
#include <QString>
#include <QTimer>
#include <QWidget>

class CHyperLink : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kHoverTimerId = 100;
    static constexpr int kHoverPollMs = 100;

    // Takes the text as the address while no address is set; an empty text shows the address.
    explicit CHyperLink(const QString& text = QString(), QWidget* parent = nullptr, int control_id = 0,
                        int static_style = 0);

    // Stores the address, fits the control to its text again and updates the tooltip.
    void SetAddress(const QString& address);
    // Changes the shown text (the address stays) and fits the control to it.
    void SetText(const QString& text);
    void SetColours(const QColor& link, const QColor& visited, const QColor& hover);
    void SetVisited(bool visited);
    // What a failed open says, followed by a new line and the address; empty (the default) gives the
    // shell's error text for the failure.
    void SetFailureText(const QString& text) { m_failure_text = text; }

    QString Address() const { return m_address; }
    QString Text() const { return m_text; }
    int ControlId() const { return m_control_id; }
    bool IsOver() const { return m_over; }
    bool IsVisited() const { return m_visited; }
    // Underlined while hovered, and always when the control's font is underlined.
    bool IsUnderlineShown() const { return m_over || m_normal_font.underline(); }
    // The colour the text is drawn in now.
    QColor CurrentColour() const;
    const QTimer& HoverTimer() const { return m_hover_timer; }

    // Opens the address; on success marks the link visited, on failure beeps and shows the error box.
    void OpenAddress();

    QSize sizeHint() const override;

  signals:
    void clicked(int control_id);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void OnHoverTimer();
    void FitToText();
    int UnderlineY() const;
    void UpdateFonts();

    int m_control_id = 0;
    int m_static_style = 0;
    QString m_text;
    QString m_address;
    QString m_failure_text;
    QColor m_link_colour{0, 0, 238};
    QColor m_visited_colour{85, 26, 139};
    QColor m_hover_colour{255, 0, 0};
    bool m_over = false;
    bool m_visited = false;
    QFont m_normal_font;
    QFont m_underlined_font;
    QTimer m_hover_timer;
};
