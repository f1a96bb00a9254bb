// Reduction of 24-bit images to 8-bit ones with a colour table of 256
// entries, and the conversion of bitmaps to device-independent bitmaps of 1,
// 4 or 8 bits per pixel that the GIF writer and the cursor strip use.
#pragma once

#include "viewer/components/bitmap.h"

namespace brevant {

enum class ReductionMethod {
    Histogram = 0,    // the most frequent colours
    Quantize = 1,     // median cut
    Truncate784 = 2,  // 7 red, 8 green, 4 blue levels
    Truncate666 = 3,  // 6 levels per channel
    Tripel = 4,       // one channel per pixel, chosen by position
    Grey = 5,         // 256 greys
};

constexpr ReductionMethod kDefaultReduction = ReductionMethod::Histogram;

// Reduces an image (any depth; taken as 24-bit) to an 8-bit bitmap with a
// 256-entry table.
Bitmap reduceColours(const Bitmap& src, ReductionMethod method);

// The histogram reduction to at most `colours` table entries (1..256).
Bitmap reduceByHistogram(const Bitmap& src, int colours);

// The bitmap as a device-independent bitmap of bitsPerPixel (1, 4, 8; a
// bitmap already of that depth, or of 24 for 24, is kept as it is unless the
// method is Grey). Other depths show the not-implemented box. An empty
// bitmap raises InvalidGraphic.
Bitmap convertToDib(const Bitmap& src, int bitsPerPixel, ReductionMethod method);

// The same as a Windows bitmap file in memory.
Bytes bitmapToDibFile(const Bitmap& src, int bitsPerPixel, ReductionMethod method);

// Depth for a colour count: up to 2 gives 1, up to 16 gives 4, up to 256
// gives 8, more gives 24.
int bitsForColours(int colours);

// The conversion for a colour count with the default method.
Bitmap convertForColours(const Bitmap& src, int colours);

}  // namespace brevant
