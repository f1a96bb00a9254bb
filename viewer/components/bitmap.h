// The components' bitmap: a device-independent image of 1, 4 or 8 bits per
// pixel with a colour table, or of 24 bits per pixel, stored top-down in rows
// padded to 32 bits; and Windows bitmap files in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "viewer/components/byte_io.h"

namespace brevant {

// A colour as 0x00RRGGBB, or one of the special values below.
using Colour = std::uint32_t;
constexpr Colour kColourNone = 0x1FFFFFFF;     // no colour (no transparency)
constexpr Colour kColourDefault = 0x20000000;  // the bitmap's lower-left pixel
constexpr Colour kColourWindow = 0x80000005;   // the window background colour
constexpr Colour kColourMagenta = 0xFF00FF;
constexpr Colour kColourWhite = 0xFFFFFF;

inline bool isRgbColour(Colour c) {
    return c <= 0xFFFFFF;
}

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline Colour colourOf(Rgb c) {
    return (Colour(c.r) << 16) | (Colour(c.g) << 8) | c.b;
}
inline Rgb rgbOf(Colour c) {
    return {std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c)};
}

// Largest number of pixels a bitmap may hold; readers refuse larger claims.
constexpr std::uint64_t kMaxBitmapPixels = std::uint64_t(1) << 26;

class Bitmap {
public:
    Bitmap() = default;
    // A zero-filled bitmap; bitsPerPixel is 1, 4, 8 or 24. Throws
    // InvalidGraphic for another depth or more than kMaxBitmapPixels pixels.
    Bitmap(int width, int height, int bitsPerPixel);

    int width() const { return width_; }
    int height() const { return height_; }
    int bitsPerPixel() const { return bpp_; }
    std::size_t stride() const { return stride_; }
    bool empty() const { return width_ <= 0 || height_ <= 0; }
    // A 1-bit bitmap whose table is black and white.
    bool monochrome() const;

    std::vector<Rgb>& palette() { return palette_; }
    const std::vector<Rgb>& palette() const { return palette_; }

    std::uint8_t* row(int y) { return bits_.data() + std::size_t(y) * stride_; }
    const std::uint8_t* row(int y) const { return bits_.data() + std::size_t(y) * stride_; }
    std::vector<std::uint8_t>& bits() { return bits_; }
    const std::vector<std::uint8_t>& bits() const { return bits_; }

    // Colour-table index at (x, y) of a 1-, 4- or 8-bit bitmap.
    std::uint32_t index(int x, int y) const;
    void setIndex(int x, int y, std::uint32_t v);
    // Colour at (x, y): through the table (grey 128 past its end) or direct.
    Rgb pixel(int x, int y) const;
    // Sets a 24-bit pixel.
    void setPixel(int x, int y, Rgb c);

    // The bitmap's own transparency (as a picture property carries it).
    bool transparent = false;
    Colour transparentColour = kColourDefault;
    // The transparent colour resolved: the lower-left pixel for the default.
    Colour effectiveTransparentColour() const;

    friend bool operator==(const Bitmap&, const Bitmap&) = default;

private:
    int width_ = 0, height_ = 0, bpp_ = 24;
    std::size_t stride_ = 0;
    std::vector<Rgb> palette_;
    std::vector<std::uint8_t> bits_;
};

// The bitmap converted to 24 bits per pixel.
Bitmap toRgb24(const Bitmap& src);

// Index of the table entry nearest to c by squared distance (first on ties).
int nearestIndex(const std::vector<Rgb>& table, Rgb c);

// A Windows bitmap file (file header, 40-byte info header, colour table,
// bottom-up rows) holding the bitmap.
Bytes writeBmpFile(const Bitmap& bmp);

// Reads a Windows bitmap file; 32-bit images come back as 24-bit ones.
// Throws InvalidGraphic for anything else than uncompressed 1, 4, 8, 24 or
// 32 bits per pixel, or sizes past the data or kMaxBitmapPixels.
Bitmap readBmpFile(ByteSpan file);

// Reads a device-independent bitmap that starts with its info header. rows,
// when above 0, replaces the header's height (an icon image keeps two
// images under one height). When alpha is given, a 32-bit image leaves its
// fourth bytes there, top-down. bitsEnd receives the offset past the rows.
Bitmap readDib(ByteSpan dib, int rows = 0, std::vector<std::uint8_t>* alpha = nullptr,
               std::size_t* bitsEnd = nullptr);

}  // namespace brevant
