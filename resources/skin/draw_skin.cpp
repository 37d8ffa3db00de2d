// Draws the launcher's skin into a folder: bk.png (the window) and the four-frame button strips
// (normal, hover, pressed, disabled), plus the window icon (icon/128.png, compiled in). Run through `cmake
// --build <dir> --target redraw_skin`.
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <functional>

namespace {

constexpr int kWidth = 660;
constexpr int kHeight = 380;

QFont Font(int pixels, bool bold = false) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

bool Save(const QImage& image, const QString& folder, const char* name) {
    const QString path = folder + QLatin1Char('/') + QLatin1String(name);
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

QImage Background() {
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, kHeight);
    sky.setColorAt(0, QColor(0x1d, 0x2b, 0x4a));
    sky.setColorAt(1, QColor(0x0c, 0x12, 0x22));
    p.fillRect(image.rect(), sky);
    // A soft band behind the title.
    QLinearGradient band(0, 0, kWidth, 0);
    band.setColorAt(0, QColor(0x3d, 0x8b, 0xd8, 90));
    band.setColorAt(1, QColor(0x3d, 0x8b, 0xd8, 0));
    p.fillRect(QRect(0, 40, kWidth, 80), band);
    p.setPen(QColor(0xf2, 0xf5, 0xfa));
    p.setFont(Font(34, true));
    p.drawText(QRect(37, 40, 400, 50), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Ostrand"));
    p.setPen(QColor(0xa9, 0xc4, 0xe6));
    p.setFont(Font(15));
    p.drawText(QRect(37, 88, 500, 30), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Cut and join your video and audio files"));
    p.setPen(QColor(0x6f, 0x84, 0xa3));
    p.setFont(Font(12));
    p.drawText(QRect(37, 326, 380, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Pick a tool to start it. Right-click for About."));
    return image;
}

// Paints one frame of a button: state 0 normal, 1 hover, 2 pressed, 3 disabled.
using FramePainter = std::function<void(QPainter&, const QRectF&, int state)>;

QImage Strip(int frame_w, int frame_h, const FramePainter& paint) {
    QImage image(frame_w * 4, frame_h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (int state = 0; state < 4; ++state) {
        p.save();
        p.setClipRect(QRect(state * frame_w, 0, frame_w, frame_h));
        paint(p, QRectF(state * frame_w, 0, frame_w, frame_h), state);
        p.restore();
    }
    return image;
}

QColor CardFill(int state) {
    switch (state) {
        case 1:
            return QColor(255, 255, 255, 70);
        case 2:
            return QColor(255, 255, 255, 25);
        case 3:
            return QColor(128, 128, 128, 40);
        default:
            return QColor(255, 255, 255, 40);
    }
}

void Card(QPainter& p, const QRectF& frame, int state, const QString& name, const QString& line,
          const std::function<void(QPainter&, const QRectF&, const QColor&)>& icon) {
    const QRectF card = frame.adjusted(2, 2, -2, -2).translated(state == 2 ? 1 : 0, state == 2 ? 1 : 0);
    p.setPen(QPen(state == 1 ? QColor(0x7c, 0xc4, 0xff) : QColor(255, 255, 255, 60), state == 1 ? 2 : 1));
    p.setBrush(CardFill(state));
    p.drawRoundedRect(card, 12, 12);
    const QColor ink = state == 3 ? QColor(0x80, 0x86, 0x90) : QColor(0xf2, 0xf5, 0xfa);
    icon(p, QRectF(card.left() + 16, card.top() + 25, 76, 76), state == 3 ? ink : QColor(0x7c, 0xc4, 0xff));
    p.setPen(ink);
    p.setFont(Font(24, true));
    p.drawText(QRectF(card.left() + 108, card.top() + 28, 150, 34), Qt::AlignLeft | Qt::AlignVCenter, name);
    p.setFont(Font(12));
    p.setPen(state == 3 ? ink : QColor(0xa9, 0xc4, 0xe6));
    p.drawText(QRectF(card.left() + 108, card.top() + 64, 150, 40), Qt::AlignLeft | Qt::TextWordWrap, line);
}

void NoteIcon(QPainter& p, const QRectF& box, const QColor& color) {
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(QRectF(box.left() + 8, box.bottom() - 24, 24, 18));
    p.drawEllipse(QRectF(box.left() + 44, box.bottom() - 32, 24, 18));
    p.drawRect(QRectF(box.left() + 27, box.top() + 10, 5, box.height() - 26));
    p.drawRect(QRectF(box.left() + 63, box.top() + 2, 5, box.height() - 26));
    QPainterPath beam;
    beam.moveTo(box.left() + 27, box.top() + 10);
    beam.lineTo(box.left() + 68, box.top() + 2);
    beam.lineTo(box.left() + 68, box.top() + 14);
    beam.lineTo(box.left() + 27, box.top() + 22);
    p.drawPath(beam);
}

void FilmIcon(QPainter& p, const QRectF& box, const QColor& color) {
    const QRectF film = box.adjusted(4, 14, -4, -14);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawRoundedRect(film, 5, 5);
    p.setBrush(QColor(0x12, 0x1c, 0x33));
    for (int i = 0; i < 5; ++i) {
        const qreal x = film.left() + 6 + i * (film.width() - 12) / 5;
        p.drawRect(QRectF(x, film.top() + 4, 7, 6));
        p.drawRect(QRectF(x, film.bottom() - 10, 7, 6));
    }
    p.drawRect(film.adjusted(6, 14, -6, -14));
}

void TextButton(QPainter& p, const QRectF& frame, int state, const QString& text, const QColor& base) {
    QColor fill = base;
    if (state == 1) fill = base.lighter(125);
    if (state == 2) fill = base.darker(125);
    if (state == 3) fill = QColor(0x5a, 0x60, 0x6a);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(frame.adjusted(1, 1, -1, -1), 8, 8);
    p.setPen(state == 3 ? QColor(0xa0, 0xa4, 0xaa) : Qt::white);
    p.setFont(Font(14, true));
    p.drawText(frame, Qt::AlignCenter, text);
}

void CloseFrame(QPainter& p, const QRectF& frame, int state) {
    const QRectF circle = frame.adjusted(2, 2, -2, -2);
    p.setPen(Qt::NoPen);
    p.setBrush(state == 1   ? QColor(0xd9, 0x48, 0x48)
               : state == 2 ? QColor(0xa8, 0x30, 0x30)
                            : QColor(255, 255, 255, state == 3 ? 20 : 45));
    p.drawEllipse(circle);
    p.setPen(QPen(state == 3 ? QColor(0x80, 0x86, 0x90) : Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
    const QPointF c = circle.center();
    p.drawLine(c + QPointF(-5, -5), c + QPointF(5, 5));
    p.drawLine(c + QPointF(-5, 5), c + QPointF(5, -5));
}

// The launcher's window icon: a tile with a play triangle over a wave.
QImage Icon() {
    QImage image(48, 48, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, 48);
    fill.setColorAt(0, QColor(0x3d, 0x8b, 0xd8));
    fill.setColorAt(1, QColor(0x1d, 0x2b, 0x4a));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(2, 2, 44, 44), 9, 9);
    p.setBrush(Qt::white);
    QPainterPath play;
    play.moveTo(17, 12);
    play.lineTo(35, 24);
    play.lineTo(17, 36);
    play.closeSubpath();
    p.drawPath(play);
    return image;
}

}  // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_skin FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    bool ok = Save(Background(), folder, "bk.png");
    ok &= Save(Strip(270, 130,
                     [](QPainter& p, const QRectF& f, int s) {
                         Card(p, f, s, QStringLiteral("Melisk"), QStringLiteral("Cut and join audio"),
                              NoteIcon);
                     }),
               folder, "Product0.png");
    ok &= Save(Strip(270, 130,
                     [](QPainter& p, const QRectF& f, int s) {
                         Card(p, f, s, QStringLiteral("Taviro"), QStringLiteral("Cut and join video"),
                              FilmIcon);
                     }),
               folder, "Product1.png");
    ok &= Save(Strip(28, 28, CloseFrame), folder, "Close.png");
    ok &= Save(Strip(150, 40,
                     [](QPainter& p, const QRectF& f, int s) {
                         TextButton(p, f, s, QStringLiteral("Buy now"), QColor(0xe0, 0x8a, 0x1e));
                     }),
               folder, "BuyNow.png");
    ok &= Save(Strip(60, 40,
                     [](QPainter& p, const QRectF& f, int s) {
                         TextButton(p, f, s, QStringLiteral("Home"), QColor(0x2f, 0x7d, 0xc8));
                     }),
               folder, "HomePage.png");
    ok &= QDir(folder).mkpath(QStringLiteral("icon")) && Save(Icon(), folder, "icon/128.png");
    return ok ? 0 : 1;
}
