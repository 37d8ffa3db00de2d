#pragma once
// Geometry and channel painting of the bitmap slider, kept apart from the widget so it can be
// tested without a window. All coordinates are pixels of the control; x is the thumb centre.

#include <vector>

class QPainter;
class QPixmap;

struct SliderGeometry {
    int minimum = 0;
    int maximum = 100;
    int channel_width = 0;
    int channel_height = 0;
    int thumb_width = 0;
    int thumb_height = 0;
    int left_margin = 0;
    int right_margin = 0;
    int top_margin = 0;
    int bottom_margin = 0;

    // Thumb centre for a value; an empty range puts every value at the start of the track.
    int ValueToPixel(int value) const;
    // Value for a thumb centre, truncated toward zero and not clamped; a track without room
    // gives the minimum.
    int PixelToValue(int x) const;
    // The range the thumb centre may be dragged in.
    int LowestThumbCentre() const { return left_margin + thumb_width / 2; }
    int HighestThumbCentre() const { return channel_width - right_margin - thumb_width / 2; }
    int Clamp(int value) const;
};

// One horizontal piece of the channel, [x_begin, x_end), copied from the selected or the
// unselected channel bitmap at the same place.
struct ChannelSpan {
    int x_begin;
    int x_end;
    bool selected;
    bool operator==(const ChannelSpan&) const = default;
};

// The pieces of the channel for a selection mode: 0 no marks (all selected), 1 start set,
// 2 start and end set. Pieces are listed in drawing order; later ones cover earlier ones.
std::vector<ChannelSpan> SelectionSpans(const SliderGeometry& geometry, int mode, int selection_start,
                                        int selection_end);

// Draws the pieces in full channel height at y = 0.
void PaintChannel(QPainter& painter, const std::vector<ChannelSpan>& spans, const QPixmap& unselected,
                  const QPixmap& selected);
