#include "viewer/components/icon.h"

#include <algorithm>
#include <cstdlib>

#include "viewer/components/graphic_errors.h"

namespace brevant {
namespace {

[[noreturn]] void invalidIcon() {
    throw InvalidGraphic("Icon image is not valid");
}

struct Decoded {
    int width = 0, height = 0, colours = 0;
    std::vector<std::uint32_t> argb;
};

// Decodes one directory entry's image; false for a compressed (PNG) or
// damaged image.
bool decodeEntry(ByteSpan file, const IconEntry& e, Decoded& out) {
    if (e.offset > file.size() || e.size > file.size() - e.offset || e.size < 40)
        return false;
    ByteSpan dib = file.subspan(e.offset, e.size);
    std::int32_t w = std::int32_t(le32At(dib, 4));
    std::int32_t h2 = std::int32_t(le32At(dib, 8));
    if (w <= 0 || w > kMaxIconSide || h2 <= 1 || h2 / 2 > kMaxIconSide)
        return false;
    int h = h2 / 2;
    std::vector<std::uint8_t> alpha;
    std::size_t bitsEnd = 0;
    Bitmap image;
    try {
        image = readDib(dib, h, &alpha, &bitsEnd);
    } catch (const InvalidGraphic&) {
        return false;
    }
    int bpp = le16At(dib, 14);
    std::size_t maskStride = (std::size_t(w) + 31) / 32 * 4;
    bool hasMask = dib.size() - bitsEnd >= maskStride * std::size_t(h);
    if (!hasMask && bpp != 32)
        return false;
    bool useAlpha = std::any_of(alpha.begin(), alpha.end(), [](std::uint8_t a) { return a != 0; });
    out.width = w;
    out.height = h;
    out.colours = bpp >= 24 ? 1 << 24 : 1 << bpp;
    out.argb.assign(std::size_t(w) * std::size_t(h), 0);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* mask =
            hasMask ? dib.data() + bitsEnd + maskStride * std::size_t(h - 1 - y) : nullptr;
        for (int x = 0; x < w; ++x) {
            std::uint32_t a;
            if (useAlpha)
                a = alpha[std::size_t(y) * std::size_t(w) + std::size_t(x)];
            else
                a = mask && ((mask[x >> 3] >> (7 - (x & 7))) & 1) ? 0 : 255;
            out.argb[std::size_t(y) * std::size_t(w) + std::size_t(x)] =
                (a << 24) | colourOf(image.pixel(x, y));
        }
    }
    return true;
}

}  // namespace

Icon::Icon(const Icon& other)
    : bytes_(other.bytes_),
      type_(other.type_),
      entries_(other.entries_),
      width_(other.width_),
      height_(other.height_),
      colours_(other.colours_),
      argb_(other.argb_) {}

Icon& Icon::operator=(const Icon& other) {
    if (this != &other) {
        bytes_ = other.bytes_;
        type_ = other.type_;
        entries_ = other.entries_;
        width_ = other.width_;
        height_ = other.height_;
        colours_ = other.colours_;
        argb_ = other.argb_;
        changed();
    }
    return *this;
}

void Icon::clear() {
    bytes_.clear();
    entries_.clear();
    argb_.clear();
    type_ = 1;
    width_ = height_ = colours_ = 0;
    changed();
}

void Icon::load(ByteSpan file) {
    if (file.size() < 6 || le16At(file, 0) != 0)
        invalidIcon();
    int type = le16At(file, 2);
    std::size_t count = le16At(file, 4);
    if ((type != 1 && type != 2) || count == 0 || count > (file.size() - 6) / 16)
        invalidIcon();
    std::vector<IconEntry> entries;
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t at = 6 + 16 * i;
        IconEntry e;
        e.width = file[at] ? file[at] : 256;
        e.height = file[at + 1] ? file[at + 1] : 256;
        e.colourCount = file[at + 2];
        e.planes = le16At(file, at + 4);
        e.bitCount = le16At(file, at + 6);
        e.size = le32At(file, at + 8);
        e.offset = le32At(file, at + 12);
        entries.push_back(e);
    }
    Decoded best;
    int bestDistance = -1, bestBits = -1;
    for (const IconEntry& e : entries) {
        Decoded d;
        if (!decodeEntry(file, e, d))
            continue;
        int distance = std::abs(d.width - 32) + std::abs(d.height - 32);
        if (bestDistance < 0 || distance < bestDistance ||
            (distance == bestDistance && d.colours > bestBits)) {
            bestDistance = distance;
            bestBits = d.colours;
            best = std::move(d);
        }
    }
    if (bestDistance < 0)
        invalidIcon();
    bytes_.assign(file.begin(), file.end());
    type_ = type;
    entries_ = std::move(entries);
    width_ = best.width;
    height_ = best.height;
    colours_ = best.colours;
    argb_ = std::move(best.argb);
    changed();
}

void Icon::drawOn(Bitmap& dst, int x, int y, int w, int h) const {
    if (empty() || w <= 0 || h <= 0 || dst.bitsPerPixel() != 24)
        return;
    for (int dy = std::max(0, -y); dy < h && y + dy < dst.height(); ++dy) {
        int sy = int(std::int64_t(dy) * height_ / h);
        for (int dx = std::max(0, -x); dx < w && x + dx < dst.width(); ++dx) {
            int sx = int(std::int64_t(dx) * width_ / w);
            std::uint32_t p = argb_[std::size_t(sy) * std::size_t(width_) + std::size_t(sx)];
            std::uint32_t a = p >> 24;
            if (a == 0)
                continue;
            Rgb s = rgbOf(p & 0xFFFFFF), d = dst.pixel(x + dx, y + dy);
            auto mix = [a](int sc, int dc) {
                return std::uint8_t((sc * int(a) + dc * int(255 - a)) / 255);
            };
            dst.setPixel(x + dx, y + dy, {mix(s.r, d.r), mix(s.g, d.g), mix(s.b, d.b)});
        }
    }
}

void fillBitmap(Bitmap& bmp, Colour c) {
    Rgb v = rgbOf(c);
    for (int y = 0; y < bmp.height(); ++y)
        for (int x = 0; x < bmp.width(); ++x)
            bmp.setPixel(x, y, v);
}

}  // namespace brevant
