// A page drawn as the control's render step draws it: the page box and
// rotation give the bitmap size and the page matrix, a memory device context
// over a 24-bit top-down DIB section cleared to white takes a GDI device of
// that size, and the page renderer draws onto it.
#pragma once

#include <cstdint>
#include <string>

#include "engine/object/pdf_object.h"
#include "platform/gdi/gdi.h"

namespace vistrel {

class PdfPage;
class ProgressSink;

// The page box ([x1 y1 x2 y2]: /CropBox, else /MediaBox, both inherited),
// the rotation (inherited /Rotate modulo 360, from 0 to 359) and the box's
// size at the zoom, not truncated.
struct PageGeometry {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    std::int32_t rotation = 0;
    double width = 0, height = 0;
};

// False when the page has neither box.
bool pageGeometry(PdfPage& page, double zoom, PageGeometry& out);

// The bitmap size: width and height swapped for the rotations 90 and 270,
// each truncated toward zero (saturated to the 32-bit range).
void bitmapSize(const PageGeometry& g, std::int32_t& width, std::int32_t& height);

// Page space to bitmap pixels: the zoom, the rotation's turn and flip, and
// the box's corner (x1, y1) moved to the origin first.
Matrix computePageMatrix(const PageGeometry& g, double zoom);

// A memory device context over a 24-bit top-down DIB section.
class PageBitmap {
public:
    PageBitmap() = default;
    ~PageBitmap();
    PageBitmap(const PageBitmap&) = delete;
    PageBitmap& operator=(const PageBitmap&) = delete;

    // Makes the bitmap (a new one when the size changes) and clears it to
    // white; false when it cannot be made.
    bool create(std::int32_t width, std::int32_t height);

    win::HDC dc() const { return dc_; }
    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }
    // Row y, 3 bytes per pixel in the order blue, green, red.
    const std::uint8_t* row(std::int32_t y) const { return bits_ + std::size_t(y) * stride_; }

private:
    void destroy();

    win::HDC dc_;
    win::HBITMAP bitmap_;
    win::HGDIOBJ previous_;
    std::uint8_t* bits_ = nullptr;
    std::size_t stride_ = 0;
    std::int32_t width_ = 0, height_ = 0;
};

// Renders the page at the zoom into the bitmap (made to the page's size);
// false, with the reason, when the page has no box or the bitmap cannot be
// made.
bool renderPageBitmap(PdfPage& page, double zoom, ProgressSink& sink, PageBitmap& bitmap,
                      std::string& why);

// Writes the bitmap as 8-bit RGB: PNG for a name ending in ".png", binary
// PPM for ".ppm"; false, with the reason, otherwise or when writing fails.
bool writePageImage(const PageBitmap& bitmap, const std::string& path, std::string& why);

}  // namespace vistrel
