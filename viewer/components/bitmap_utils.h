// Drawing the components' bitmaps with Qt: conversions to and from QImage
// and the transparent stretch draw.
#pragma once

#include <QImage>
#include <QRect>

#include "viewer/components/bitmap.h"

class QPainter;

namespace brevant {

// The bitmap as an opaque 32-bit image.
QImage toQImage(const Bitmap& bmp);
// A QImage as a 24-bit bitmap (alpha dropped).
Bitmap fromQImage(const QImage& image);

// The source rectangle of bmp (a width or height below 1: the whole bitmap)
// as a 32-bit image whose pixels of the transparent colour have alpha 0 and
// all others 255; kColourNone leaves nothing out, kColourDefault takes the
// lower-left pixel's colour, and a monochrome bitmap always leaves out
// white. Null when nothing of the bitmap lies in the rectangle.
QImage transparentImage(const Bitmap& bmp, QRect source, Colour transparent);
// Draws the source rectangle of bmp stretched (nearest pixel) into
// (x, y, width, height), leaving out the pixels transparentImage makes
// transparent. A destination width or height below 1 means the bitmap's.
void stretchDrawTransparent(QPainter& painter, int x, int y, int width, int height,
                            const Bitmap& bmp, QRect source, Colour transparent);

}  // namespace brevant
