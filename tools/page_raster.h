// A page drawn as the control's render step draws it: the page box and
// rotation give the bitmap size and the page matrix (the control's own
// routines, engine/control/page_geometry.h), a memory device context over a
// 24-bit top-down DIB section cleared to white takes a GDI device of that
// size, and the page renderer draws onto it.
#pragma once

#include <cstdint>
#include <string>

#include "engine/object/pdf_object.h"
#include "platform/gdi/gdi.h"

namespace vistrel {

class PdfPage;
class ProgressSink;

// A memory device context over a 24-bit top-down DIB section.
class PageBitmap {
public:
    PageBitmap() = default;
    ~PageBitmap();
    PageBitmap(const PageBitmap&) = delete;
    PageBitmap& operator=(const PageBitmap&) = delete;

    // Makes the bitmap (a new one when the size changes) and clears it to
    // white (a kept one where the last page changed it); false when it
    // cannot be made.
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
