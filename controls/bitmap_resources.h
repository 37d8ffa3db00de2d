#pragma once
// Bitmaps and icons compiled into the programs, addressed by their resource number
// (":/bitmaps/<n>.bmp" and ":/bitmaps/<n>.png").

#include <QIcon>
#include <QImage>
#include <QPixmap>

// The bitmap with the given resource number; a null pixmap when there is no such resource.
QPixmap LoadBitmapResource(int number);

// The same bitmap as an image, for code that reads its pixels.
QImage LoadBitmapResourceImage(int number);

// The icon with the given resource number; a null icon when there is no such resource.
QIcon LoadIconResource(int number);
