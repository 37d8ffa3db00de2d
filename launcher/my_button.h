#pragma once
// CMyButton: an image button drawn from a PNG strip of four equal frames side by side (normal, hover,
// pressed, disabled), blended over the part of the parent's background that lies under it.
// UI thread only.

#include <QImage>
#include <QPixmap>
#include <QPushButton>

class CMyButton : public QPushButton {
    Q_OBJECT
  public:
    enum DrawState { kNormal = 0, kHover = 1, kPressed = 2, kDisabled = 3 };

    explicit CMyButton(QWidget* parent = nullptr);

    // Loads the strip, moves the button to (x, y) sized as one frame, and keeps the piece of
    // background under it (background may be null). A missing image gives a 0 x 0 button.
    bool SetSkinImage(const QString& path, int x, int y, const QPixmap& background);

    DrawState drawState() const { return m_state; }
    QSize frameSize() const { return QSize(m_frame_width, m_frame_height); }
    QSize sizeHint() const override { return frameSize(); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    // The frame stays until the pointer leaves: after a click the pressed frame, after being
    // enabled again the disabled frame.
    void SetState(DrawState state);

    QImage m_image;
    QPixmap m_background;
    int m_frame_width = 0;
    int m_frame_height = 0;
    DrawState m_state = kNormal;
};
