// The LZW coding of GIF image data: a minimum code size byte, then the codes,
// least significant bit first, in sub-blocks of up to 255 bytes and a
// terminating empty sub-block.
#pragma once

#include <functional>

#include "viewer/components/bitmap.h"
#include "viewer/components/byte_io.h"

namespace brevant {

struct LzwDecodeOptions {
    int bitsPerPixel = 8;  // of the frame's colour table; pixel values are masked to it
    bool interlaced = false;
    bool loadCorrupted = false;
    std::function<void(int percent)> progress;  // share of the data read
};

// Upper bound of the pixels LZW data of `bytes` bytes can produce.
std::uint64_t maxLzwPixels(std::size_t bytes);

// Decodes into out, a zeroed 1-, 4- or 8-bit bitmap of the frame's size.
// Returns true when the data were damaged and loadCorrupted allowed the
// decoding to end early; throws GraphicError (61094, 61095) or
// StreamReadError otherwise.
bool decodeGifLzw(ByteSpan data, Bitmap& out, const LzwDecodeOptions& options);

// Encodes the indexes of a 1-, 4- or 8-bit bitmap with codes of
// bitsPerPixel + 1 bits to start with (3 for 1-bit images); progress is told
// per row.
Bytes encodeGifLzw(const Bitmap& image, int bitsPerPixel,
                   const std::function<void(int row)>& progress = {});

}  // namespace brevant
