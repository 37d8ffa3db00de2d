// Draws the bitmap resources of the media tools into BMP files named by resource number.
// Usage: draw_bitmaps OUTDIR   (run with QT_QPA_PLATFORM=offscreen)
//        draw_bitmaps --desktop-icons OUTDIR   (the application icons in the desktop menu's sizes)
//
// Pictures carry no words: a button's tooltip names it, in the chosen language.
//
// Button bitmaps are 24-bit and sit on a pure-white outside: the buttons take their shape from every
// pixel that is not pure white, so each tile's inside is kept slightly off-white.

#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

const QColor kFace(187, 222, 251);  // the media tools' window background, around the slider channel
const QColor kKey(255, 0, 255);     // transparent colour of the thumb and the header images

const QColor kGreen(46, 158, 79);
const QColor kRed(214, 69, 65);
const QColor kBlue(47, 111, 181);
const QColor kSteel(96, 109, 124);
const QColor kAmber(242, 179, 61);
const QColor kGrey(160, 166, 172);

QImage NewImage(int w, int h, const QColor& fill) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(fill);
    return image;
}

// Rounded tile with a soft vertical gradient; `enabled` false gives the greyed look.
void DrawTile(QPainter& p, const QRectF& r, qreal radius, bool enabled = true) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    if (enabled) {
        g.setColorAt(0.0, QColor(253, 253, 253));
        g.setColorAt(0.55, QColor(241, 244, 247));
        g.setColorAt(1.0, QColor(221, 227, 234));
    } else {
        g.setColorAt(0.0, QColor(246, 246, 246));
        g.setColorAt(1.0, QColor(226, 226, 226));
    }
    p.setPen(QPen(enabled ? QColor(150, 164, 180) : QColor(185, 185, 185), 1.2));
    p.setBrush(g);
    p.drawRoundedRect(r.adjusted(0.6, 0.6, -0.6, -0.6), radius, radius);
    // A thin highlight just inside the top edge.
    p.setPen(QPen(QColor(255, 255, 255, 160), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(r.adjusted(1.8, 1.8, -1.8, -1.8), radius - 1, radius - 1);
}

QImage TileImage(int w, int h, qreal radius, bool enabled = true) {
    QImage image = NewImage(w, h, Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // The 100-pixel tiles sit on buttons 56 dialog units wide, which with common dialog fonts are a
    // few pixels narrower than the bitmap: keep the tile's rounded sides inside. The white margin is
    // cut away by the button's shape.
    const qreal inset = w >= 100 ? 3 : 0;
    DrawTile(p, QRectF(inset, 0, w - 2 * inset, h), radius, enabled);
    return image;
}

QColor Darker(const QColor& c, int f = 135) { return c.darker(f); }

// A plus sign of arm length `size` centred on c.
void DrawPlus(QPainter& p, QPointF c, qreal size, const QColor& color) {
    const qreal t = size * 0.34;  // arm thickness
    QPainterPath path;
    path.addRoundedRect(QRectF(c.x() - size / 2, c.y() - t / 2, size, t), t * 0.25, t * 0.25);
    path.addRoundedRect(QRectF(c.x() - t / 2, c.y() - size / 2, t, size), t * 0.25, t * 0.25);
    path.setFillRule(Qt::WindingFill);
    QLinearGradient g(c.x(), c.y() - size / 2, c.x(), c.y() + size / 2);
    g.setColorAt(0, color.lighter(125));
    g.setColorAt(1, Darker(color, 115));
    p.setPen(QPen(Darker(color), 1.0));
    p.setBrush(g);
    p.drawPath(path.simplified());
}

void DrawCross(QPainter& p, QPointF c, qreal size, const QColor& color) {
    p.save();
    p.translate(c);
    p.rotate(45);
    DrawPlus(p, QPointF(0, 0), size, color);
    p.restore();
}

// Scissors pointing right inside a box of side s with top-left o.
void DrawScissors(QPainter& p, QPointF o, qreal s) {
    auto at = [&](qreal x, qreal y) { return QPointF(o.x() + x * s, o.y() + y * s); };
    const QPointF pivot = at(0.52, 0.5);
    auto blade = [&](QPointF from, QPointF tip, qreal width) {
        QLineF axis(from, tip);
        QLineF normal = axis.normalVector();
        normal.setLength(width);
        const QPointF off = normal.p2() - normal.p1();
        QPolygonF poly;
        poly << from + off << tip << from - off;
        p.drawPolygon(poly);
    };
    p.setPen(QPen(Darker(kSteel, 150), 0.8));
    QLinearGradient g(at(0, 0), at(0, 1));
    g.setColorAt(0, QColor(214, 220, 228));
    g.setColorAt(1, QColor(128, 140, 154));
    p.setBrush(g);
    blade(at(0.30, 0.64), at(0.98, 0.22), s * 0.09);
    blade(at(0.30, 0.36), at(0.98, 0.78), s * 0.09);
    p.setBrush(QColor(70, 80, 92));
    p.drawEllipse(pivot, s * 0.04, s * 0.04);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kRed, s * 0.09));
    p.drawEllipse(at(0.2, 0.27), s * 0.14, s * 0.12);
    p.drawEllipse(at(0.2, 0.73), s * 0.14, s * 0.12);
}

// A film strip inside a box of side s with top-left o.
void DrawFilm(QPainter& p, QPointF o, qreal s) {
    const QRectF strip(o.x() + s * 0.08, o.y() + s * 0.12, s * 0.84, s * 0.76);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(52, 64, 80));
    p.drawRoundedRect(strip, s * 0.08, s * 0.08);
    // Perforations along both long edges.
    p.setBrush(QColor(236, 240, 245));
    const int holes = 5;
    for (int i = 0; i < holes; ++i) {
        const qreal x = strip.left() + strip.width() * (i + 0.5) / holes - s * 0.045;
        p.drawRoundedRect(QRectF(x, strip.top() + s * 0.04, s * 0.09, s * 0.08), 1, 1);
        p.drawRoundedRect(QRectF(x, strip.bottom() - s * 0.12, s * 0.09, s * 0.08), 1, 1);
    }
    // Two frames with a sky-and-hill picture, joined in the middle.
    const qreal fh = strip.height() * 0.5;
    const qreal fy = strip.center().y() - fh / 2;
    const qreal fw = strip.width() * 0.4;
    for (int i = 0; i < 2; ++i) {
        const QRectF frame(strip.left() + strip.width() * 0.07 + i * (fw + strip.width() * 0.06), fy, fw, fh);
        QLinearGradient sky(frame.topLeft(), frame.bottomLeft());
        sky.setColorAt(0, QColor(120, 186, 240));
        sky.setColorAt(1, QColor(196, 228, 252));
        p.setBrush(sky);
        p.drawRect(frame);
        QPainterPath hill;
        hill.moveTo(frame.bottomLeft());
        hill.quadTo(frame.center().x(), frame.top() + fh * 0.35, frame.right(), frame.bottom() - fh * 0.2);
        hill.lineTo(frame.bottomRight());
        hill.closeSubpath();
        p.setBrush(QColor(88, 170, 92));
        p.drawPath(hill);
    }
}

void DrawPlay(QPainter& p, QPointF c, qreal h, const QColor& color) {
    QPolygonF tri;
    tri << QPointF(c.x() - h * 0.38, c.y() - h / 2) << QPointF(c.x() + h * 0.5, c.y())
        << QPointF(c.x() - h * 0.38, c.y() + h / 2);
    QLinearGradient g(c.x(), c.y() - h / 2, c.x(), c.y() + h / 2);
    g.setColorAt(0, color.lighter(130));
    g.setColorAt(1, Darker(color, 110));
    p.setPen(QPen(Darker(color), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(g);
    p.drawPolygon(tri);
}

void DrawPause(QPainter& p, QPointF c, qreal h, const QColor& color) {
    p.setPen(QPen(Darker(color), 1.0));
    p.setBrush(color);
    const qreal w = h * 0.3;
    p.drawRoundedRect(QRectF(c.x() - w * 1.35, c.y() - h / 2, w, h), 1.5, 1.5);
    p.drawRoundedRect(QRectF(c.x() + w * 0.35, c.y() - h / 2, w, h), 1.5, 1.5);
}

void DrawStop(QPainter& p, QPointF c, qreal h, const QColor& color) {
    p.setPen(QPen(Darker(color), 1.0));
    QLinearGradient g(c.x(), c.y() - h / 2, c.x(), c.y() + h / 2);
    g.setColorAt(0, color.lighter(125));
    g.setColorAt(1, Darker(color, 110));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(c.x() - h / 2, c.y() - h / 2, h, h), 2, 2);
}

// An opening ('[') or closing (']') bracket of height h centred on c.
void DrawBracket(QPainter& p, QPointF c, qreal h, bool opening, const QColor& color) {
    const qreal w = h * 0.38;
    const qreal dir = opening ? 1 : -1;
    const qreal x = c.x() - dir * w / 2;
    QPolygonF line;
    line << QPointF(x + dir * w, c.y() - h / 2) << QPointF(x, c.y() - h / 2) << QPointF(x, c.y() + h / 2)
         << QPointF(x + dir * w, c.y() + h / 2);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(color, h * 0.16, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawPolyline(line);
}

void DrawFolder(QPainter& p, const QRectF& r) {
    QPainterPath back;
    back.moveTo(r.left(), r.top() + r.height() * 0.12);
    back.lineTo(r.left() + r.width() * 0.38, r.top() + r.height() * 0.12);
    back.lineTo(r.left() + r.width() * 0.48, r.top() + r.height() * 0.26);
    back.lineTo(r.right(), r.top() + r.height() * 0.26);
    back.lineTo(r.right(), r.bottom());
    back.lineTo(r.left(), r.bottom());
    back.closeSubpath();
    p.setPen(QPen(Darker(kAmber, 150), 1.0));
    p.setBrush(Darker(kAmber, 112));
    p.drawPath(back);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, kAmber.lighter(128));
    g.setColorAt(1, kAmber);
    p.setBrush(g);
    QPolygonF front;
    front << QPointF(r.left() + r.width() * 0.1, r.top() + r.height() * 0.4)
          << QPointF(r.right() + r.width() * 0.06, r.top() + r.height() * 0.4)
          << QPointF(r.right(), r.bottom()) << QPointF(r.left(), r.bottom());
    p.drawPolygon(front);
}

// "About": a white "i" on a blue disc of radius r centred on c, drawn as shapes (no font needed).
void DrawInfo(QPainter& p, QPointF c, qreal r) {
    QRadialGradient disc(c - QPointF(r * 0.35, r * 0.4), r * 1.5);
    disc.setColorAt(0, kBlue.lighter(150));
    disc.setColorAt(1, Darker(kBlue, 110));
    p.setPen(QPen(Darker(kBlue, 140), 1.0));
    p.setBrush(disc);
    p.drawEllipse(c, r, r);
    p.setPen(Qt::NoPen);
    // Not pure white: a button is shaped by its picture's not-pure-white pixels, and a pure white
    // glyph would be a hole through which clicks fall to the window below.
    p.setBrush(QColor(254, 254, 254));
    const qreal stem = r * 0.26;
    p.drawEllipse(QPointF(c.x(), c.y() - r * 0.47), stem * 0.62, stem * 0.62);
    p.drawRoundedRect(QRectF(c.x() - stem / 2, c.y() - r * 0.17, stem, r * 0.72), stem * 0.2, stem * 0.2);
    p.drawRect(QRectF(c.x() - stem * 0.95, c.y() - r * 0.17, stem * 0.6, stem * 0.42));
    p.drawRect(QRectF(c.x() - stem * 0.95, c.y() + r * 0.55 - stem * 0.42, stem * 1.9, stem * 0.42));
}

// "Settings": a grey gear of outer radius r centred on c, with eight teeth and a hole.
void DrawGear(QPainter& p, QPointF c, qreal r) {
    const int teeth = 8;
    const qreal inner = r * 0.74;
    auto at = [&](qreal turn, qreal radius) {
        const qreal a = 2 * M_PI * turn;
        return c + QPointF(std::cos(a), std::sin(a)) * radius;
    };
    QPolygonF outline;
    for (int i = 0; i < teeth; ++i) {
        // Each period holds a tooth (narrower at its tip) and a gap of the same width.
        const qreal t = qreal(i) / teeth;
        const qreal period = 1.0 / teeth;
        outline << at(t, inner) << at(t + period * 0.1, r) << at(t + period * 0.4, r)
                << at(t + period * 0.5, inner) << at(t + period * 0.75, inner);
    }
    QPainterPath gear;
    gear.addPolygon(outline);
    gear.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(c, r * 0.3, r * 0.3);
    gear = gear.subtracted(hole);
    QLinearGradient g(c.x(), c.y() - r, c.x(), c.y() + r);
    g.setColorAt(0, kSteel.lighter(160));
    g.setColorAt(1, Darker(kSteel, 110));
    p.setPen(QPen(Darker(kSteel, 150), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(g);
    p.drawPath(gear);
}

void DrawMagnifier(QPainter& p, QPointF c, qreal radius) {
    p.setPen(QPen(QColor(70, 80, 92), radius * 0.55, Qt::SolidLine, Qt::RoundCap));
    const QPointF handle_from = c + QPointF(radius * 0.75, radius * 0.75);
    p.drawLine(handle_from, c + QPointF(radius * 1.75, radius * 1.75));
    QRadialGradient glass(c - QPointF(radius * 0.3, radius * 0.3), radius * 1.2);
    glass.setColorAt(0, QColor(236, 246, 255));
    glass.setColorAt(1, QColor(160, 200, 236));
    p.setBrush(glass);
    p.setPen(QPen(kBlue, radius * 0.32));
    p.drawEllipse(c, radius, radius);
}

void DrawBin(QPainter& p, const QRectF& r, const QColor& color) {
    p.setPen(QPen(Darker(color, 150), 1.0));
    QLinearGradient g(r.topLeft(), r.topRight());
    g.setColorAt(0, color.lighter(120));
    g.setColorAt(1, Darker(color, 115));
    p.setBrush(g);
    const qreal lid = r.height() * 0.16;
    p.drawRoundedRect(QRectF(r.left() + r.width() * 0.3, r.top(), r.width() * 0.4, lid * 0.8), 1.5, 1.5);
    p.drawRoundedRect(QRectF(r.left(), r.top() + lid * 0.6, r.width(), lid), 1.5, 1.5);
    QPolygonF body;
    body << QPointF(r.left() + r.width() * 0.08, r.top() + lid * 1.8)
         << QPointF(r.right() - r.width() * 0.08, r.top() + lid * 1.8)
         << QPointF(r.right() - r.width() * 0.16, r.bottom())
         << QPointF(r.left() + r.width() * 0.16, r.bottom());
    p.drawPolygon(body);
    p.setPen(QPen(QColor(255, 255, 255, 170), r.width() * 0.07, Qt::SolidLine, Qt::RoundCap));
    for (int i = -1; i <= 1; ++i) {
        const qreal x = r.center().x() + i * r.width() * 0.2;
        p.drawLine(QPointF(x, r.top() + lid * 2.5), QPointF(x, r.bottom() - lid * 0.6));
    }
}

// ---- the bitmaps ----

QImage Channel(bool selected) {
    QImage image = NewImage(620, 20, kFace);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF groove(1.5, 6.5, 617, 7);
    if (selected) {
        QLinearGradient g(groove.topLeft(), groove.bottomLeft());
        g.setColorAt(0, QColor(104, 170, 236));
        g.setColorAt(1, QColor(38, 110, 196));
        p.setBrush(g);
        p.setPen(QPen(QColor(28, 84, 152), 1.0));
    } else {
        QLinearGradient g(groove.topLeft(), groove.bottomLeft());
        g.setColorAt(0, QColor(196, 200, 206));
        g.setColorAt(1, QColor(232, 234, 237));
        p.setBrush(g);
        p.setPen(QPen(QColor(150, 156, 164), 1.0));
    }
    p.drawRoundedRect(groove, 3.5, 3.5);
    return image;
}

// The thumb is keyed by its top-left colour, so it is drawn without antialiasing: a blended edge
// would leave key-coloured fringes.
QImage Thumb() {
    QImage image = NewImage(23, 11, kKey);
    QPainter p(&image);
    const QColor border(60, 72, 88);
    QLinearGradient g(0, 0, 0, 11);
    g.setColorAt(0, QColor(255, 255, 255));
    g.setColorAt(1, QColor(190, 200, 212));
    QPainterPath body;
    body.addRoundedRect(QRectF(0, 0, 22, 10), 3, 3);
    p.setPen(border);
    p.setBrush(g);
    p.drawPath(body);
    // Three grip lines in the middle.
    p.setPen(QColor(110, 124, 140));
    for (int x : {8, 11, 14}) p.drawLine(x, 3, x, 7);
    p.end();
    image.setPixelColor(0, 0, kKey);
    return image;
}

QImage HeaderImages() {
    QImage image = NewImage(48, 16, kKey);
    QPainter p(&image);
    for (int i = 1; i <= 2; ++i) {
        const QRect box(i * 16 + 2, 2, 12, 12);
        p.setPen(QColor(80, 90, 104));
        p.setBrush(Qt::white);
        p.drawRect(box.adjusted(0, 0, -1, -1));
        if (i == 2) {
            p.setPen(QPen(QColor(24, 24, 24), 2.0));
            p.drawPolyline(
                QPolygon({QPoint(box.left() + 3, box.top() + 5), QPoint(box.left() + 5, box.top() + 8),
                          QPoint(box.left() + 9, box.top() + 3)}));
        }
    }
    return image;
}

// A tile with a picture drawn about its centre.
QImage TileWith(int w, int h, qreal radius, bool enabled,
                const std::function<void(QPainter&, QPointF)>& draw) {
    QImage image = TileImage(w, h, radius, enabled);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p, QPointF(w / 2.0, h / 2.0));
    return image;
}

QImage PlusTile(int w, int h) {
    return TileWith(w, h, std::min(w, h) * 0.2, true,
                    [&](QPainter& p, QPointF c) { DrawPlus(p, c, h * 0.56, kGreen); });
}

QImage CrossTile(int w, int h) {
    return TileWith(w, h, std::min(w, h) * 0.2, true,
                    [&](QPainter& p, QPointF c) { DrawCross(p, c, h * 0.64, kRed); });
}

QImage BinTile(int w, int h) {
    return TileWith(w, h, std::min(w, h) * 0.2, true, [&](QPainter& p, QPointF c) {
        const qreal bh = h * 0.56;
        DrawBin(p, QRectF(c.x() - bh * 0.4, c.y() - bh / 2, bh * 0.8, bh), kRed);
    });
}

// A picture of side s centred on a tile.
QImage PictureTile(int w, int h, qreal s, const std::function<void(QPainter&, QPointF, qreal)>& picture) {
    return TileWith(w, h, std::min(w, h) * 0.22, true,
                    [&](QPainter& p, QPointF c) { picture(p, c - QPointF(s / 2, s / 2), s); });
}

QImage SmallTile(int w, int h, bool enabled, const std::function<void(QPainter&, QPointF, qreal)>& icon) {
    return TileWith(w, h, 6, enabled, [&](QPainter& p, QPointF c) { icon(p, c, h * 0.5); });
}

QImage FolderTile(int w, int h) {
    return TileWith(w, h, 7, true, [&](QPainter& p, QPointF c) {
        const qreal fh = h * 0.52;
        DrawFolder(p, QRectF(c.x() - fh * 0.65, c.y() - fh / 2, fh * 1.3, fh));
    });
}

QImage FindTile(int w, int h) {
    QImage image = TileImage(w, h, 7);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal fh = h * 0.5;
    const qreal total = fh * 1.3 + fh * 0.9;
    const qreal left = (w - total) / 2;
    DrawFolder(p, QRectF(left, h / 2.0 - fh / 2, fh * 1.3, fh));
    DrawMagnifier(p, QPointF(left + fh * 1.5, h / 2.0 - fh * 0.05), fh * 0.36);
    return image;
}

bool Save(const QImage& image, const QString& dir, int number, QImage::Format format) {
    const QString path = QDir(dir).filePath(QString::number(number) + QStringLiteral(".bmp"));
    QImage out = image.convertToFormat(format);
    if (!out.save(path, "BMP")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// An application icon: a picture on a rounded square of the given tint, on a transparent outside.
QImage RoundedIcon(int side, const QColor& top, const QColor& bottom, const QColor& border,
                   const std::function<void(QPainter&, QPointF, qreal)>& picture) {
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(side * 0.04, side * 0.04, side * 0.92, side * 0.92);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0.0, top);
    g.setColorAt(1.0, bottom);
    p.setPen(QPen(border, side * 0.03));
    p.setBrush(g);
    p.drawRoundedRect(r, side * 0.2, side * 0.2);
    picture(p, QPointF(side * 0.14, side * 0.14), side * 0.72);
    return image;
}

// A quaver with its flag, in the square of side s at o.
void DrawNote(QPainter& p, QPointF o, qreal s) {
    auto at = [&](qreal x, qreal y) { return QPointF(o.x() + x * s, o.y() + y * s); };
    const QColor ink(34, 52, 70);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.save();
    p.translate(at(0.36, 0.78));
    p.rotate(-22);
    p.drawEllipse(QPointF(0, 0), s * 0.17, s * 0.12);
    p.restore();
    p.drawRect(QRectF(at(0.47, 0.14), at(0.54, 0.76)));
    QPainterPath flag;
    flag.moveTo(at(0.50, 0.14));
    flag.cubicTo(at(0.58, 0.30), at(0.86, 0.34), at(0.74, 0.62));
    flag.cubicTo(at(0.78, 0.42), at(0.62, 0.38), at(0.52, 0.36));
    flag.closeSubpath();
    p.drawPath(flag);
}

// Taviro's application icon: the scissors on a blue rounded square.
QImage AppIcon(int side) {
    return RoundedIcon(side, QColor(214, 234, 252), kFace.darker(112), kBlue, DrawScissors);
}

// Melisk's: a note on a green one.
QImage AudioAppIcon(int side) {
    return RoundedIcon(side, QColor(222, 244, 226), QColor(150, 206, 162), kGreen, DrawNote);
}

// Ostrand's, the launcher's window icon at any size: a white play triangle on a blue tile, drawn
// on a 48-unit grid.
QImage LauncherAppIcon(int side) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(side / 48.0, side / 48.0);
    QLinearGradient fill(0, 0, 0, 48);
    fill.setColorAt(0, QColor(0x3d, 0x8b, 0xd8));
    fill.setColorAt(1, QColor(0x1d, 0x2b, 0x4a));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(2, 2, 44, 44), 9, 9);
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({QPointF(17, 12), QPointF(35, 24), QPointF(17, 36)}));
    return image;
}

// The desktop menu's copies of the application icons, in the icon theme's layout:
// DIR/<n>x<n>/apps/<program>.png for the sizes menus and file managers ask for.
bool SaveDesktopIcons(const QString& dir) {
    const std::pair<const char*, QImage (*)(int)> icons[] = {
        {"taviro", AppIcon}, {"melisk", AudioAppIcon}, {"ostrand", LauncherAppIcon}};
    bool ok = true;
    for (int side : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QDir(dir).filePath(QStringLiteral("%1x%1/apps").arg(side));
        QDir().mkpath(folder);
        for (const auto& [name, draw] : icons) {
            const QString path = folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png");
            if (!draw(side).save(path, "PNG")) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
                ok = false;
            }
        }
    }
    return ok;
}

bool SaveIcon(const QImage& image, const QString& dir, int number) {
    const QString path = QDir(dir).filePath(QString::number(number) + QStringLiteral(".png"));
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--desktop-icons")
        return SaveDesktopIcons(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_bitmaps OUTDIR | draw_bitmaps --desktop-icons OUTDIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);

    const auto rgb = QImage::Format_RGB888;
    const QColor play_green(46, 150, 74);
    const QColor stop_red(200, 62, 58);
    bool ok = true;
    ok &= Save(Channel(false), dir, 306, rgb);
    ok &= Save(Channel(true), dir, 307, rgb);
    ok &= Save(Thumb(), dir, 308, rgb);
    // 8-bit: a full 256-entry palette keeps the writer from choosing a smaller depth.
    QImage header = HeaderImages().convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    QList<QRgb> palette = header.colorTable();
    while (palette.size() < 256) palette.append(qRgb(0, 0, 0));
    header.setColorTable(palette);
    ok &= Save(header, dir, 292, QImage::Format_Indexed8);

    ok &= Save(PlusTile(100, 56), dir, 178, rgb);
    ok &= Save(PlusTile(55, 40), dir, 254, rgb);
    ok &= Save(CrossTile(100, 56), dir, 331, rgb);
    ok &= Save(BinTile(100, 56), dir, 188, rgb);
    ok &= Save(PictureTile(92, 37, 37 * 0.86, DrawScissors), dir, 186, rgb);
    ok &= Save(PictureTile(100, 56, 56 * 0.86, DrawFilm), dir, 295, rgb);
    ok &= Save(TileWith(55, 40, 8, true, [](QPainter& p, QPointF c) { DrawInfo(p, c, 40 * 0.34); }), dir, 340,
               rgb);
    ok &= Save(TileWith(55, 40, 8, true, [](QPainter& p, QPointF c) { DrawGear(p, c, 40 * 0.36); }), dir, 341,
               rgb);
    ok &= Save(FolderTile(56, 36), dir, 199, rgb);
    ok &= Save(FindTile(80, 36), dir, 204, rgb);

    auto bracket = [](bool opening) {
        return [opening](QPainter& p, QPointF c, qreal h) { DrawBracket(p, c, h * 1.1, opening, kBlue); };
    };
    auto play = [&](const QColor& color) {
        return [color](QPainter& p, QPointF c, qreal h) { DrawPlay(p, c + QPointF(1, 0), h, color); };
    };
    ok &= Save(SmallTile(34, 32, true, bracket(true)), dir, 320, rgb);
    ok &= Save(SmallTile(34, 32, true, bracket(false)), dir, 321, rgb);
    ok &= Save(SmallTile(34, 32, true, play(play_green)), dir, 326, rgb);
    ok &= Save(SmallTile(34, 32, false, play(kGrey)), dir, 301, rgb);
    ok &= Save(SmallTile(34, 32, true, play(play_green)), dir, 302, rgb);
    ok &= Save(SmallTile(34, 32, true, [](QPainter& p, QPointF c, qreal h) { DrawPause(p, c, h, kBlue); }),
               dir, 310, rgb);
    ok &= Save(
        SmallTile(34, 32, false, [](QPainter& p, QPointF c, qreal h) { DrawStop(p, c, h * 0.8, kGrey); }),
        dir, 303, rgb);
    ok &= Save(
        SmallTile(34, 32, true, [&](QPainter& p, QPointF c, qreal h) { DrawStop(p, c, h * 0.8, stop_red); }),
        dir, 304, rgb);
    ok &= Save(SmallTile(40, 32, true,
                         [&](QPainter& p, QPointF c, qreal h) {
                             DrawBracket(p, c - QPointF(h * 0.62, 0), h * 1.1, true, kBlue);
                             DrawPlay(p, c + QPointF(1, 0), h * 0.72, play_green);
                             DrawBracket(p, c + QPointF(h * 0.62, 0), h * 1.1, false, kBlue);
                         }),
               dir, 325, rgb);
    ok &= SaveIcon(AppIcon(64), dir, 266);
    return ok ? 0 : 1;
}
