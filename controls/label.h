#pragma once
// CLabel: a static text that paints itself off-screen on the dialog face, laid out by the static
// style bits (controls/static_style.h). UI thread only.

#include <QColor>
#include <QString>
#include <QWidget>

// Qt text flags for a label's style and text: centre and right wrap words, "left, no word wrap"
// does not, any other style is left-aligned and wrapped; tabs are expanded. With the centre-image
// bit, a one-line text (no CR LF) is centred both ways on a single line and a text with CR LF is
// only centred horizontally.
int LabelTextFlags(int style, const QString& text);

class CLabel : public QWidget {
    Q_OBJECT

  public:
    explicit CLabel(const QString& text = QString(), QWidget* parent = nullptr, int control_id = 0);

    void SetText(const QString& text);
    void SetStaticStyle(int style);
    void SetTextColor(const QColor& color);

    QString Text() const { return m_text; }
    int StaticStyle() const { return m_style; }
    int ControlId() const { return m_control_id; }

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int m_control_id = 0;
    int m_style = 0;
    QString m_text;
    QColor m_text_color;  // invalid: the palette's window text
};
