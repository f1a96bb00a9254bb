// Icons and cursors in their file format (a directory of images, each a
// device-independent bitmap followed by its AND mask), kept as the bytes they
// were loaded from and decoded for drawing.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "viewer/components/bitmap.h"
#include "viewer/components/byte_io.h"

namespace brevant {

// Icons larger than this on either side are refused.
constexpr int kMaxIconSide = 256;

struct IconEntry {
    int width = 0, height = 0;  // from the directory (0 stands for 256)
    int colourCount = 0;
    int planes = 0;    // a cursor's hot spot x
    int bitCount = 0;  // a cursor's hot spot y
    std::uint32_t size = 0, offset = 0;
};

class Icon {
public:
    Icon() = default;
    // Loads icon file bytes; throws InvalidGraphic when no image decodes.
    explicit Icon(ByteSpan file) { load(file); }
    Icon(const Icon& other);
    // Takes the other icon's image and tells onChange.
    Icon& operator=(const Icon& other);

    void load(ByteSpan file);
    void clear();
    bool empty() const { return bytes_.empty(); }

    // The bytes the icon was loaded from (its file format).
    const Bytes& bytes() const { return bytes_; }
    // 1 for an icon, 2 for a cursor.
    int type() const { return type_; }
    const std::vector<IconEntry>& entries() const { return entries_; }

    // Size of the image shown: the entry nearest to 32 by 32 pixels, the
    // deeper one among equals.
    int width() const { return width_; }
    int height() const { return height_; }
    // Colours of the shown image's data (2 to the bit count).
    int colourCount() const { return colours_; }
    // Its pixels as 0xAARRGGBB, top-down.
    const std::vector<std::uint32_t>& argb() const { return argb_; }

    // Draws the icon stretched (nearest pixel) into (x, y, w, h) of a 24-bit
    // bitmap, blending by its mask or alpha.
    void drawOn(Bitmap& dst, int x, int y, int w, int h) const;

    std::function<void()> onChange;

private:
    void changed() {
        if (onChange)
            onChange();
    }

    Bytes bytes_;
    int type_ = 1;
    std::vector<IconEntry> entries_;
    int width_ = 0, height_ = 0, colours_ = 0;
    std::vector<std::uint32_t> argb_;
};

// Fills a 24-bit bitmap with one colour.
void fillBitmap(Bitmap& bmp, Colour c);

}  // namespace brevant
