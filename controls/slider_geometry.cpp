#include "controls/slider_geometry.h"

#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <cmath>

int SliderGeometry::ValueToPixel(int value) const {
    const double track = channel_width - right_margin - thumb_width - left_margin;
    const int range = maximum - minimum;
    const double offset = range == 0 ? 0.0 : std::trunc(track * (value - minimum) / range);
    return left_margin + static_cast<int>(offset) + thumb_width / 2;
}

int SliderGeometry::PixelToValue(int x) const {
    const int track = channel_width - right_margin - left_margin - thumb_width;
    if (track == 0) return minimum;
    const double value =
        minimum + static_cast<double>(x - thumb_width / 2 - left_margin) / track * (maximum - minimum);
    return static_cast<int>(std::trunc(value));
}

int SliderGeometry::Clamp(int value) const { return std::clamp(value, minimum, std::max(minimum, maximum)); }

std::vector<ChannelSpan> SelectionSpans(const SliderGeometry& g, int mode, int selection_start,
                                        int selection_end) {
    const int width = g.channel_width;
    if (mode == 1 && selection_start != 0) {
        const int xs = g.ValueToPixel(selection_start);
        return {{0, xs, false}, {xs, width, true}};
    }
    if (mode == 2) {
        std::vector<ChannelSpan> spans;
        const int xs = selection_start != 0 ? g.ValueToPixel(selection_start) : 0;
        if (selection_start != 0) spans.push_back({0, xs, false});
        if (selection_end == g.maximum) {
            spans.push_back({xs, width, true});
        } else {
            const int xe = g.ValueToPixel(selection_end);
            spans.push_back({xe, width, false});
            spans.push_back({xs, xe, true});
        }
        return spans;
    }
    return {{0, width, true}};
}

void PaintChannel(QPainter& painter, const std::vector<ChannelSpan>& spans, const QPixmap& unselected,
                  const QPixmap& selected) {
    for (const ChannelSpan& span : spans) {
        if (span.x_end <= span.x_begin) continue;
        const QPixmap& source = span.selected ? selected : unselected;
        const QRect piece(span.x_begin, 0, span.x_end - span.x_begin, source.height());
        painter.drawPixmap(piece, source, piece);
    }
}
