#pragma once
// CControlButton: a push button drawn from bitmaps (normal, hover, pressed) and shaped by a bitmap:
// every pixel that is not pure white belongs to the button. UI thread only.

#include <QAbstractButton>
#include <QImage>
#include <QPixmap>
#include <QRegion>

// The region of all pixels of an image whose red, green and blue are not all 255, built from
// one-pixel-high runs, combined in batches of 2,000 rectangles.
QRegion RegionFromBitmap(const QImage& image);

class QPainter;

class CControlButton : public QAbstractButton {
    Q_OBJECT

  public:
    explicit CControlButton(QWidget* parent = nullptr, int control_id = 0);

    // Loads the three images by resource number; a missing one stays empty and is not drawn.
    void SetImages(int hover_id, int normal_id, int pressed_id);
    // From now on images and shapes larger than the button are scaled down, keeping their aspect,
    // to fit it (a tool whose buttons are smaller than the shared bitmaps); set before the images.
    void SetFitToButton(bool fit) { m_fit = fit; }
    // Shapes the button by the bitmap's not-pure-white pixels; a missing bitmap leaves the button
    // rectangular. An all-white bitmap leaves nothing: the button can be neither seen nor clicked.
    void SetShapeFromBitmap(int resource_id);
    // The same from an image (tests and windows that draw their own shapes).
    void SetShapeFromImage(const QImage& image);

    int ControlId() const { return m_control_id; }
    bool IsHovered() const { return m_hover; }
    bool HasRegion() const { return m_has_region; }
    const QRegion& Shape() const { return m_shape; }

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

  private:
    QImage Fitted(const QImage& image) const;
    void DrawFocusFrame(QPainter& painter) const;

    int m_control_id = 0;
    bool m_fit = false;
    bool m_hover = false;
    bool m_has_region = false;
    QRegion m_shape;
    QPixmap m_normal;
    QPixmap m_hover_image;
    QPixmap m_pressed;
};
