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

// Draws the source rectangle of bmp stretched (nearest pixel) into
// (x, y, width, height). A destination width or height below 1 means the
// bitmap's; a source width or height below 1 the whole bitmap. Pixels of the
// transparent colour are left out: kColourNone draws everything,
// kColourDefault takes the lower-left pixel's colour, and a monochrome
// bitmap always leaves out white.
void stretchDrawTransparent(QPainter& painter, int x, int y, int width, int height,
                            const Bitmap& bmp, QRect source, Colour transparent);

}  // namespace brevant
