// What a device needs of an image to blit it: the DIB section the image was
// converted into and its geometry. Raster images implement it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/render/raster/drawable_base.h"
#include "platform/gdi/gdi.h"

namespace vistrel {

class ImageView : public DrawableBase {
public:
    virtual win::HBITMAP dibSection() const = 0;
    virtual int dibWidth() const = 0;
    virtual int dibHeight() const = 0;
    virtual int bytesPerPixel() const = 0;
    virtual std::size_t dibStride() const = 0;
    // Rows from the top, dibStride() bytes apart.
    virtual std::uint8_t* dibRow(int y) = 0;
    // A stencil is a one-byte-per-pixel coverage: 0 paints the device's
    // fill colour, 255 leaves the page as it is, values between mix the two.
    virtual bool stencil() const { return false; }
};

}  // namespace vistrel
