// Where a page lands in its bitmap: the page box and rotation, the bitmap
// size at a zoom, and the page matrix from page space to bitmap pixels.
#pragma once

#include <cstdint>

#include "engine/object/pdf_object.h"

namespace vistrel {

class PdfPage;

// The largest page bitmap a render makes: each side, and the whole.
inline constexpr std::int32_t kMaxBitmapSide = 32767;
inline constexpr std::int64_t kMaxBitmapPixels = 100'000'000;

// The page box [x1 y1 x2 y2] (/CropBox when it is a rectangle, else
// /MediaBox, both inherited through /Parent), the rotation (the inherited
// /Rotate modulo 360: 0, 90, 180 or 270; any other value counts as 0) and
// the box's width and height at the zoom, not truncated.
struct PageGeometry {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    std::int32_t rotation = 0;
    double width = 0, height = 0;
};

// The first and the second number of a rectangle ([x1 y1 x2 y2]): the
// corner (x1, y1). NaN for an item that is missing or no number.
double getNumberValue(PdfArray& rectangle);
double getNumberValue2(PdfArray& rectangle);

// False when neither box is a rectangle of four numbers.
bool readPageGeometry(PdfPage& page, double zoom, PageGeometry& out);

// The bitmap size: width and height swapped for the rotations 90 and 270,
// each truncated toward zero. False for a size that is not finite, below one
// pixel, above maxSide on a side or above maxPixels in all.
bool pageBitmapSize(const PageGeometry& geometry, std::int32_t maxSide, std::int64_t maxPixels,
                    std::int32_t& width, std::int32_t& height);

// Page space to bitmap pixels: the box's corner (x1, y1) moved to the origin,
// the zoom, then the rotation's turn with the flip of the y axis. A box with
// x1 < x2 and y1 < y2 fills the bitmap exactly.
Matrix pageMatrix(const PageGeometry& geometry, double zoom);

// A point through a matrix.
inline void transformPoint(const Matrix& m, double x, double y, double& outX, double& outY) {
    outX = m.a * x + m.c * y + m.e;
    outY = m.b * x + m.d * y + m.f;
}

// Rounded half away from zero, saturated to 32 bits (NaN gives 0).
std::int32_t roundToLong(double value);

}  // namespace vistrel
