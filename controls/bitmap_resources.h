#pragma once
// Bitmaps and icons compiled into the programs, addressed by their resource number
// (":/bitmaps/<n>.bmp" and ":/bitmaps/<n>.png").

#include <QIcon>
#include <QImage>
#include <QPixmap>

// The audio tool's About button ("i" on a blue disc) and Setting button (a gear), 55 x 40 tiles.
inline constexpr int kAboutBitmap = 340;
inline constexpr int kSettingsBitmap = 341;

// The bitmap with the given resource number; a null pixmap when there is no such resource.
QPixmap LoadBitmapResource(int number);

// The same bitmap as an image, for code that reads its pixels.
QImage LoadBitmapResourceImage(int number);

// The icon with the given resource number; a null icon when there is no such resource.
QIcon LoadIconResource(int number);
