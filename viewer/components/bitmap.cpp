#include "viewer/components/bitmap.h"

#include <algorithm>

#include "viewer/components/graphic_errors.h"

namespace brevant {
namespace {

std::size_t strideFor(int width, int bpp) {
    return (std::size_t(width) * std::size_t(bpp) + 31) / 32 * 4;
}

constexpr std::size_t kFileHeader = 14;
constexpr std::size_t kInfoHeader = 40;

}  // namespace

Bitmap::Bitmap(int width, int height, int bitsPerPixel) {
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 24)
        throw InvalidGraphic("Bitmap image is not valid");
    if (width < 0 || height < 0 || std::uint64_t(width) * std::uint64_t(height) > kMaxBitmapPixels)
        throw InvalidGraphic("Bitmap image is not valid");
    width_ = width;
    height_ = height;
    bpp_ = bitsPerPixel;
    stride_ = strideFor(width, bitsPerPixel);
    bits_.assign(stride_ * std::size_t(height), 0);
}

bool Bitmap::monochrome() const {
    if (bpp_ != 1)
        return false;
    Rgb black{0, 0, 0}, white{255, 255, 255};
    return palette_.size() == 2 && ((palette_[0] == black && palette_[1] == white) ||
                                    (palette_[0] == white && palette_[1] == black));
}

std::uint32_t Bitmap::index(int x, int y) const {
    const std::uint8_t* r = row(y);
    switch (bpp_) {
        case 1:
            return (r[x >> 3] >> (7 - (x & 7))) & 1;
        case 4:
            return (x & 1) ? (r[x >> 1] & 0x0F) : (r[x >> 1] >> 4);
        case 8:
            return r[x];
        default:
            return 0;
    }
}

void Bitmap::setIndex(int x, int y, std::uint32_t v) {
    std::uint8_t* r = row(y);
    switch (bpp_) {
        case 1: {
            std::uint8_t bit = std::uint8_t(0x80 >> (x & 7));
            r[x >> 3] = (v & 1) ? (r[x >> 3] | bit) : (r[x >> 3] & ~bit);
            break;
        }
        case 4:
            if (x & 1)
                r[x >> 1] = std::uint8_t((r[x >> 1] & 0xF0) | (v & 0x0F));
            else
                r[x >> 1] = std::uint8_t((r[x >> 1] & 0x0F) | ((v & 0x0F) << 4));
            break;
        case 8:
            r[x] = std::uint8_t(v);
            break;
        default:
            break;
    }
}

Rgb Bitmap::pixel(int x, int y) const {
    if (bpp_ == 24) {
        const std::uint8_t* p = row(y) + std::size_t(x) * 3;
        return {p[2], p[1], p[0]};
    }
    std::uint32_t i = index(x, y);
    return i < palette_.size() ? palette_[i] : Rgb{128, 128, 128};
}

void Bitmap::setPixel(int x, int y, Rgb c) {
    if (bpp_ != 24)
        return;
    std::uint8_t* p = row(y) + std::size_t(x) * 3;
    p[0] = c.b;
    p[1] = c.g;
    p[2] = c.r;
}

Colour Bitmap::effectiveTransparentColour() const {
    if (transparentColour == kColourDefault)
        return empty() ? kColourNone : colourOf(pixel(0, height_ - 1));
    return transparentColour;
}

Bitmap toRgb24(const Bitmap& src) {
    if (src.bitsPerPixel() == 24)
        return src;
    Bitmap out(src.width(), src.height(), 24);
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x)
            out.setPixel(x, y, src.pixel(x, y));
    out.transparent = src.transparent;
    out.transparentColour = src.transparentColour;
    return out;
}

int nearestIndex(const std::vector<Rgb>& table, Rgb c) {
    int best = 0;
    long bestDistance = -1;
    for (std::size_t i = 0; i < table.size(); ++i) {
        long dr = long(table[i].r) - c.r, dg = long(table[i].g) - c.g, db = long(table[i].b) - c.b;
        long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = int(i);
        }
    }
    return best;
}

Bytes writeBmpFile(const Bitmap& bmp) {
    std::size_t tableEntries = bmp.bitsPerPixel() <= 8 ? bmp.palette().size() : 0;
    std::size_t offset = kFileHeader + kInfoHeader + 4 * tableEntries;
    std::size_t imageSize = bmp.stride() * std::size_t(bmp.height());
    Bytes out;
    out.reserve(offset + imageSize);
    putText(out, "BM");
    putLe32(out, std::uint32_t(offset + imageSize));
    putLe32(out, 0);
    putLe32(out, std::uint32_t(offset));
    putLe32(out, kInfoHeader);
    putLe32(out, std::uint32_t(bmp.width()));
    putLe32(out, std::uint32_t(bmp.height()));
    putLe16(out, 1);
    putLe16(out, std::uint32_t(bmp.bitsPerPixel()));
    putLe32(out, 0);  // no compression
    putLe32(out, std::uint32_t(imageSize));
    putLe32(out, 0);
    putLe32(out, 0);
    bool fullTable = tableEntries == (std::size_t(1) << (bmp.bitsPerPixel() & 15));
    putLe32(out, bmp.bitsPerPixel() <= 8 && !fullTable ? std::uint32_t(tableEntries) : 0);
    putLe32(out, 0);
    for (std::size_t i = 0; i < tableEntries; ++i) {
        const Rgb& c = bmp.palette()[i];
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
    for (int y = bmp.height() - 1; y >= 0; --y)
        out.insert(out.end(), bmp.row(y), bmp.row(y) + bmp.stride());
    return out;
}

Bitmap readDib(ByteSpan dib, int rows, std::vector<std::uint8_t>* alpha, std::size_t* bitsEnd) {
    const InvalidGraphic invalid("Bitmap image is not valid");
    if (dib.size() < kInfoHeader)
        throw invalid;
    std::uint32_t headerSize = le32At(dib, 0);
    std::int32_t width = std::int32_t(le32At(dib, 4));
    std::int32_t height = std::int32_t(le32At(dib, 8));
    int bpp = le16At(dib, 14);
    std::uint32_t compression = le32At(dib, 16);
    std::uint32_t clrUsed = le32At(dib, 32);
    if (headerSize < kInfoHeader || headerSize > dib.size() || compression != 0)
        throw invalid;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)
        throw invalid;
    bool topDown = height < 0;
    std::int64_t h = rows > 0 ? rows : (topDown ? -std::int64_t(height) : height);
    if (width <= 0 || h <= 0 || std::uint64_t(width) * std::uint64_t(h) > kMaxBitmapPixels)
        throw invalid;
    std::size_t tableSize = 0;
    if (bpp <= 8) {
        std::size_t full = std::size_t(1) << bpp;
        tableSize = clrUsed == 0 || clrUsed > full ? full : clrUsed;
    }
    std::size_t bitsOffset = headerSize + 4 * tableSize;
    std::size_t srcStride = strideFor(width, bpp);
    if (bitsOffset > dib.size() || srcStride * std::size_t(h) > dib.size() - bitsOffset)
        throw invalid;
    if (bitsEnd)
        *bitsEnd = bitsOffset + srcStride * std::size_t(h);

    Bitmap out(width, int(h), bpp == 32 ? 24 : bpp);
    for (std::size_t i = 0; i < tableSize; ++i) {
        std::size_t at = headerSize + 4 * i;
        out.palette().push_back({dib[at + 2], dib[at + 1], dib[at]});
    }
    if (alpha && bpp == 32)
        alpha->assign(std::size_t(width) * std::size_t(h), 0);
    for (std::int64_t y = 0; y < h; ++y) {
        std::int64_t dst = topDown ? y : h - 1 - y;
        const std::uint8_t* src = dib.data() + bitsOffset + srcStride * std::size_t(y);
        std::uint8_t* d = out.row(int(dst));
        if (bpp != 32) {
            std::copy(src, src + out.stride(), d);
            continue;
        }
        for (std::int32_t x = 0; x < width; ++x) {
            d[3 * x] = src[4 * x];
            d[3 * x + 1] = src[4 * x + 1];
            d[3 * x + 2] = src[4 * x + 2];
            if (alpha)
                (*alpha)[std::size_t(dst) * std::size_t(width) + std::size_t(x)] = src[4 * x + 3];
        }
    }
    return out;
}

Bitmap readBmpFile(ByteSpan file) {
    if (file.size() < kFileHeader + kInfoHeader || file[0] != 'B' || file[1] != 'M')
        throw InvalidGraphic("Bitmap image is not valid");
    std::uint32_t offset = le32At(file, 10);
    ByteSpan dib = file.subspan(kFileHeader);
    // The rows start where the file header says, which may lie past the
    // colour table; read them from there.
    std::uint32_t headerSize = le32At(dib, 0);
    if (offset < kFileHeader + headerSize || offset > file.size())
        throw InvalidGraphic("Bitmap image is not valid");
    int bpp = le16At(dib, 14);
    std::uint32_t clrUsed = le32At(dib, 32);
    std::size_t tableSize = 0;
    if (bpp <= 8 && bpp > 0) {
        std::size_t full = std::size_t(1) << bpp;
        tableSize = clrUsed == 0 || clrUsed > full ? full : clrUsed;
    }
    std::size_t expected = kFileHeader + headerSize + 4 * tableSize;
    if (offset == expected)
        return readDib(dib);
    if (offset < expected)
        throw InvalidGraphic("Bitmap image is not valid");
    // Gap between table and rows: rebuild a contiguous image.
    Bytes joined(dib.begin(), dib.begin() + std::ptrdiff_t(headerSize + 4 * tableSize));
    joined.insert(joined.end(), file.begin() + offset, file.end());
    return readDib(joined);
}

}  // namespace brevant
