#include "controls/bitmap_resources.h"

#include <QString>

namespace {

QString ResourcePath(int number) { return QStringLiteral(":/bitmaps/%1.bmp").arg(number); }

}  // namespace

QPixmap LoadBitmapResource(int number) { return QPixmap(ResourcePath(number), "BMP"); }

QImage LoadBitmapResourceImage(int number) { return QImage(ResourcePath(number), "BMP"); }

QIcon LoadIconResource(int number) {
    QPixmap pixmap(QStringLiteral(":/bitmaps/%1.png").arg(number), "PNG");
    return pixmap.isNull() ? QIcon() : QIcon(pixmap);
}
