#pragma once
// CWaveformView: the picture of a sound to cut on. Per pixel column the minimum and maximum of the
// samples, the chosen range shaded, the play position as a line and the range's start and end as
// handles. A click asks to seek there, dragging a handle moves that time, the wheel and the keys
// zoom around the play position down to single samples. The samples come from a WaveformData,
// which may still be filling in (the view then repaints as it grows). Geometry and painting live in
// the plain WaveformViewport and WaveformPainter, tested without a window. UI thread only.

#include <QPalette>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <vector>

class QTimer;

struct WaveColumn {
    float min = 0;
    float max = 0;
    bool known = false;  // false where that stretch is not computed yet
};

// The sound a view shows. Implementations may fill in on other threads; every call here is made on
// the UI thread and must not wait for them.
class WaveformData {
  public:
    virtual ~WaveformData() = default;
    virtual int sampleRate() const = 0;
    virtual int64_t totalSamples() const = 0;
    // out[i] = the range of samples [first + i * per, first + (i + 1) * per); per may be below one
    // (then neighbouring columns repeat one sample).
    virtual void columns(double first_sample, double samples_per_column, int count,
                         WaveColumn* out) const = 0;
    // False while the picture may still change by itself (the view then looks again shortly).
    virtual bool settled() const = 0;
};

// Which samples the view's pixel columns show.
struct WaveformViewport {
    static constexpr double kFinestSamplesPerPixel = 1.0 / 16;  // one sample 16 pixels wide

    int64_t total_samples = 0;
    int sample_rate = 0;
    int width = 0;  // pixels
    double first_sample = 0;
    double samples_per_pixel = 1;

    bool empty() const { return total_samples <= 0 || sample_rate <= 0 || width <= 0; }
    // The whole file across the width.
    void ShowAll();
    bool ShowsAll() const;
    // Zooms by `factor` (above 1 zooms in) keeping `anchor_sample` at the same pixel when it is on
    // screen, else centring it; never finer than kFinestSamplesPerPixel nor wider than the file.
    void ZoomAround(double anchor_sample, double factor);
    // Scrolls (keeping the scale) so that the sample is on screen, centred when it was not.
    void Reveal(double sample);
    double SampleAtX(double x) const { return first_sample + x * samples_per_pixel; }
    double XOfSample(double sample) const { return (sample - first_sample) / samples_per_pixel; }
    double XOfMs(int64_t ms) const { return XOfSample(static_cast<double>(ms) * sample_rate / 1000.0); }
    int64_t MsAtX(double x) const;  // clamped to the file

  private:
    void Clamp();
};

// What a press at a pixel grabs.
enum class WaveHit { None, StartHandle, EndHandle };

// The view's state as the painter sees it. Times in milliseconds; a range with end <= start is none.
struct WaveformPicture {
    WaveformViewport viewport;
    std::vector<WaveColumn> columns;  // one per pixel column (may be empty: no file)
    bool has_file = false;
    int64_t range_start_ms = 0;
    int64_t range_end_ms = 0;
    int64_t position_ms = 0;
};

class WaveformPainter {
  public:
    static constexpr int kHandleGrab = 5;  // pixels either side of a handle that grab it
    static constexpr int kHandleSize = 7;  // the handle's triangle

    // Paints the band: background, centre line, the shaded range, the min/max columns, the handles
    // and the play position, all in the palette's colours. With no file, the empty band.
    static void Paint(QPainter& painter, const QRect& rect, const QPalette& palette,
                      const WaveformPicture& picture);
    // The handle under pixel x, the nearer one when both are in reach.
    static WaveHit HitTest(const WaveformPicture& picture, int x);
};

class CWaveformView : public QWidget {
    Q_OBJECT

  public:
    explicit CWaveformView(QWidget* parent = nullptr);
    ~CWaveformView() override;

    // Shows a sound, the whole of it; null shows the empty band.
    void SetData(std::shared_ptr<WaveformData> data);
    const std::shared_ptr<WaveformData>& data() const { return m_data; }
    void SetRange(int64_t start_ms, int64_t end_ms);
    void SetPosition(int64_t position_ms);
    // Zoom steps as the wheel and the keys make them; factor above 1 zooms in, around the position.
    void Zoom(double factor);
    void ShowAll();

    const WaveformViewport& viewport() const { return m_picture.viewport; }
    int64_t rangeStartMs() const { return m_picture.range_start_ms; }
    int64_t rangeEndMs() const { return m_picture.range_end_ms; }
    int64_t positionMs() const { return m_picture.position_ms; }
    bool isDraggingHandle() const { return m_drag != WaveHit::None; }

    QSize sizeHint() const override { return {400, 80}; }

  signals:
    // A click away from the handles: play from there.
    void seekRequested(qint64 ms);
    // A handle dragged to a new time (start or end), at every step of the drag.
    void startMoved(qint64 ms);
    void endMoved(qint64 ms);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Refresh();
    void DragHandleTo(int x);

    std::shared_ptr<WaveformData> m_data;
    WaveformPicture m_picture;
    WaveHit m_drag = WaveHit::None;
    QTimer* m_fill_timer = nullptr;  // looks again while the data is still filling in
};
