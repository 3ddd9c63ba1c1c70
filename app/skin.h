#pragma once
// The skin's pictures, compiled into the program and decoded with libjpeg and libpng.

#include <QIcon>
#include <QImage>
#include <QPalette>

#include "controls/bitmap.h"
#include "controls/png_image.h"

namespace qb {

// name: a file of the skin folder, "header_left.jpg". Both throw when the picture is missing
// or cannot be decoded, which only a broken build can cause.
QImage skinJpeg(const char* name);
// The same picture for a screen of the given pixel ratio: above 1 the twice-size twin
// ("header_left@2x.jpg") where the skin has one, with a pixel ratio of 2 so that it keeps the
// 1x picture's place and the painter scales it smoothly to fractional ratios such as 1.5.
QImage skinJpeg(const char* name, qreal pixelRatio);
PngImage skinPng(const char* name);
// The window-button sprite sheet: rows of normal, pointer-over and pressed pictures.
Bitmap skinSpriteSheet();
// The program's icon at 16, 32 and 48 pixels.
QIcon programIcon();
// The colours of the controls inside the skin, the same on every desktop theme.
QPalette skinPalette();

}  // namespace qb
