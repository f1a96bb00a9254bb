// Device image conversion: turns a rendered page bitmap into the packed grey
// pixels the handheld shows (4 levels at 2 bits or 16 levels at 4 bits per
// pixel) and repaints the page with the colours the device screen will show,
// so that the page view previews the device.
//
// Grey of a pixel: S = 306 R + 601 G + 116 B; the 8-bit grey is S >> 10 and
// the 4-bit grey S >> 14, 0 the darkest. Device values run the other way: 0
// is white and 3 (or 15) black. Packed rows are (width * bits + 7) / 8 bytes,
// the first pixel in the most significant bits, unused bits 0.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/gdi/gdi.h"

namespace vistrel {

// Device formats.
enum PalmFormat : std::uint16_t {
    kNotPalm = 0,
    kColor4 = 4,
    kColor16 = 16,
    kColor16a = 17,
};

struct PreviewColor {
    std::uint8_t red, green, blue;
};

// Preview colours of the 16 levels by 15 - device value (row 0 is black),
// and of the 4 levels by device value (3 is black).
extern const std::array<PreviewColor, 16> kPreview16;
extern const std::array<PreviewColor, 4> kPreview4;

// Bits per device pixel: 4 for the 16-level formats, 2 otherwise.
constexpr int devicePixelBits(std::uint16_t format) {
    return format == kColor16 || format == kColor16a ? 4 : 2;
}

// What a conversion works on: the page's size, its format, the buffers it
// fills (packed pixels of packedRowBytes * height bytes, width * height grey
// bytes) and the histogram and thresholds of the adaptive formats.
struct DeviceImage {
    int32_t width = 0;
    int32_t height = 0;
    std::uint16_t format = kColor4;
    std::uint8_t* packed = nullptr;
    std::uint8_t* grey = nullptr;
    std::array<std::uint32_t, 256> histogram{};
    std::array<std::uint8_t, 15> thresholds{};
    // The part of the page its drawing may have changed, when the source is
    // known to be white (0xFFFFFF) everywhere else: the adaptive formats then
    // take the grey of the pixels outside without reading them. None: every
    // pixel is read.
    std::optional<win::RECT> drawn;
};

// Converts the page held by the source device context into image.packed
// according to image.format (Color16a becomes Color16: a 16-level image from
// then on); with paintBack the source then shows the device preview. False
// when a device context or bitmap cannot be made or the thresholds cannot be
// found; the packed pixels are then not to be used.
bool convertPageImage(win::HDC source, DeviceImage& image, bool paintBack);

// First pass over the page. With pack, writes Color16 pixels straight into
// packed and paints the preview back into the source; without, fills grey and
// (when given) histogram, reading only the pixels within drawn when given
// (the source white outside it).
bool convertToGrey16(win::HDC source, std::uint32_t* histogram, std::uint8_t* grey, int32_t width,
                     int32_t height, bool pack, std::uint8_t* packed,
                     const win::RECT* drawn = nullptr);

// Grey thresholds for n levels (3 or 15) from a histogram of the 8-bit greys
// of `pixels` pixels: the valleys of the normalised histogram, spread over the
// levels. Changes the histogram. None when n is not 3 or 15 or exceeds size.
std::optional<std::array<std::uint8_t, 15>> reducePalette(std::uint32_t* histogram, int size,
                                                          std::uint64_t pixels, int n);

// Maps every grey to the level of the first threshold not below it, packs the
// device values and, with a target, paints the preview into it. With drawn,
// the greys outside it are those of white (254) and are not read.
bool mapToPalette(const std::uint8_t* grey, std::uint8_t* packed, const std::uint8_t* thresholds,
                  int32_t width, int32_t height, win::HDC target, std::uint16_t format,
                  const win::RECT* drawn = nullptr);

}  // namespace vistrel
