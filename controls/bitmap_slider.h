#pragma once
// CBitmapSlider: a horizontal slider drawn from bitmaps: a channel that gives the control its size,
// a selected-look channel that marks the chosen range, and a thumb keyed by its top-left colour.
// Dragging reports sliderTrack, releasing the button or a key reports sliderRelease; both arrive
// queued, after the slider's own event handler has returned. UI thread only.

#include <QPixmap>
#include <QWidget>

#include "controls/slider_geometry.h"

class CBitmapSlider : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kChannelBitmap = 306;
    static constexpr int kSelectedChannelBitmap = 307;
    static constexpr int kThumbBitmap = 308;

    explicit CBitmapSlider(QWidget* parent = nullptr, int control_id = 0);

    // Loads the unselected and selected channel bitmaps and resizes the control to the channel,
    // keeping its position. Returns false, keeping neither, when either cannot be loaded.
    bool LoadChannelBitmaps(int channel = kChannelBitmap, int selected_channel = kSelectedChannelBitmap);
    // Stretches the loaded channel bitmaps to a width in pixels (a window whose slider is narrower or
    // wider than the shared bitmaps) and resizes the control to match.
    void FitChannelToWidth(int width);
    // Loads the thumb; the same bitmap serves as the dragging thumb. Returns false when it cannot
    // be loaded.
    bool LoadThumbBitmaps(int thumb = kThumbBitmap, int dragging_thumb = kThumbBitmap);

    void SetRange(int minimum, int maximum);
    void SetPosition(int value);  // clamped to the range
    void SetSelectionStart(int value);
    void SetSelectionEnd(int value);
    void SetSelectionMode(int mode);  // 0 no marks, 1 start set, 2 start and end set
    // The start and end point buttons: mark the selection's start (or end) at the thumb.
    void MarkStartAtThumb();
    void MarkEndAtThumb();
    void SetPageStep(int step);
    void SetMargins(int left, int top, int right, int bottom);
    void DrawFocusRect(bool draw);
    // The control's own enabled flag, separate from the window's: when cleared the slider shows
    // neither thumb nor selection and ignores input.
    void Enable(bool enabled);
    void SetControlId(int id) { m_control_id = id; }

    int GetPosition() const { return m_position; }
    int GetRangeMin() const { return m_geometry.minimum; }
    int GetRangeMax() const { return m_geometry.maximum; }
    int GetSelectionStart() const { return m_selection_start; }
    int GetSelectionEnd() const { return m_selection_end; }
    int GetSelectionMode() const { return m_selection_mode; }
    int GetPageStep() const { return m_page_step; }
    int ControlId() const { return m_control_id; }
    bool IsEnabledFlag() const { return m_enabled; }
    bool IsDragging() const { return m_dragging; }
    int GrabOffset() const { return m_grab_offset; }
    const SliderGeometry& Geometry() const { return m_geometry; }

    QSize sizeHint() const override;

  signals:
    void sliderTrack(int control_id, int position);
    void sliderRelease(int control_id, int position);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void DragTo(int pointer_x);
    void PostTrack();
    void PostRelease();

    SliderGeometry m_geometry;
    int m_control_id = 0;
    int m_position = 0;
    int m_page_step = 20;
    int m_grab_offset = 0;
    int m_selection_start = 0;
    int m_selection_end = 0;
    int m_selection_mode = 0;
    bool m_dragging = false;
    bool m_draw_focus_rect = true;
    bool m_enabled = true;

    QPixmap m_channel;
    QPixmap m_selected_channel;
    QPixmap m_thumb;           // with its key colour made transparent
    QPixmap m_dragging_thumb;  // likewise
};
