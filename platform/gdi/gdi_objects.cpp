#include "platform/gdi/gdi_objects.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace win {

namespace {
constexpr std::uint32_t kIndexBits = 20;
constexpr std::uint32_t kIndexMask = (1u << kIndexBits) - 1;
constexpr std::uint32_t kGenerationMask = 0x7FF;  // values stay below 2^31
}  // namespace

namespace {

// Blocks from this size on are mapped at once when they are drawn whole.
constexpr std::size_t kMapAtOnce = std::size_t(1) << 20;

}  // namespace

PixelStorage zeroedPixels(std::size_t bytes, bool drawnWhole) {
    PixelStorage pixels(static_cast<std::uint8_t*>(std::calloc(bytes > 0 ? bytes : 1, 1)));
    if (pixels && drawnWhole && bytes >= kMapAtOnce) {
        // The whole pages inside the block; a system without the advice
        // maps them on first write as before.
        const auto page = std::uintptr_t(::sysconf(_SC_PAGESIZE));
        const auto start = reinterpret_cast<std::uintptr_t>(pixels.get());
        const std::uintptr_t first = (start + page - 1) & ~(page - 1);
        const std::uintptr_t end = (start + bytes) & ~(page - 1);
        if (first < end)
            ::madvise(pixels.get() + (first - start), end - first, MADV_POPULATE_WRITE);
    }
    return pixels;
}

namespace {

// Made on first use and kept until the last static destructors run (the
// lowest priority runs last), so that objects released while a program or
// library ends, its own static objects among them, still find their table.
HandleTable* theTable = nullptr;

__attribute__((destructor(101))) void destroyTable() {
    delete theTable;
    theTable = nullptr;
}

}  // namespace

HandleTable& HandleTable::instance() {
    if (!theTable)
        theTable = new HandleTable;
    return *theTable;
}

HandleTable::HandleTable() {
    auto pen = std::make_unique<PenObject>();
    pen->stock = true;
    stockPen_ = HPEN::fromValue(add(std::move(pen)));
    auto brush = std::make_unique<BrushObject>();
    brush->stock = true;
    stockBrush_ = HBRUSH::fromValue(add(std::move(brush)));
    auto bm = std::make_unique<BitmapObject>();
    bm->stock = true;
    bm->width = bm->height = 1;
    bm->stride = 4;
    bm->storage = zeroedPixels(4);
    stockBitmap_ = HBITMAP::fromValue(add(std::move(bm)));
    auto font = std::make_unique<FontObject>(defaultLogFont());
    font->stock = true;
    stockFont_ = HFONT::fromValue(add(std::move(font)));
}

HBITMAP HandleTable::screenBitmap() {
    if (!screenBitmap_) {
        auto bm = std::make_unique<BitmapObject>();
        bm->stock = true;
        bm->width = kScreenWidth;
        bm->height = kScreenHeight;
        bm->stride = std::size_t(kScreenWidth) * 4;
        bm->storage = zeroedPixels(bm->stride * kScreenHeight);
        if (bm->storage)
            screenBitmap_ = HBITMAP::fromValue(add(std::move(bm)));
    }
    return screenBitmap_;
}

std::uint32_t HandleTable::add(std::unique_ptr<GdiObject> obj) {
    std::uint32_t index;
    if (!free_.empty()) {
        index = free_.back();
        free_.pop_back();
    } else {
        if (slots_.size() >= kIndexMask)
            return 0;
        index = std::uint32_t(slots_.size());
        slots_.emplace_back();
    }
    Slot& s = slots_[index];
    s.obj = std::move(obj);
    return (s.generation << kIndexBits) | (index + 1);
}

GdiObject* HandleTable::find(std::uint32_t value) const {
    std::uint32_t low = value & kIndexMask;
    if (low == 0 || low > slots_.size())
        return nullptr;
    const Slot& s = slots_[low - 1];
    if ((value >> kIndexBits) != s.generation)
        return nullptr;
    return s.obj.get();
}

void HandleTable::remove(std::uint32_t value) {
    if (!find(value))
        return;
    std::uint32_t index = (value & kIndexMask) - 1;
    Slot& s = slots_[index];
    s.obj.reset();
    s.generation = (s.generation & kGenerationMask) == kGenerationMask ? 1 : s.generation + 1;
    free_.push_back(index);
}

std::size_t HandleTable::liveCount(HandleKind kind) const {
    std::size_t n = 0;
    for (const Slot& s : slots_) {
        if (s.obj && s.obj->kind == kind && !s.obj->stock)
            ++n;
    }
    return n;
}

std::size_t LiveObjectCount(HandleKind kind) {
    return HandleTable::instance().liveCount(kind);
}

COLORREF BitmapObject::read(int x, int y) const {
    const std::uint8_t* p = row(y);
    switch (bitsPerPixel) {
        case 8: {
            const RGBQUAD& q = palette[p[x]];
            return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
        }
        case 24:
            p += std::size_t(x) * 3;
            return RGB(p[2], p[1], p[0]);
        default:
            p += std::size_t(x) * 4;
            return RGB(p[2], p[1], p[0]);
    }
}

std::uint8_t BitmapObject::nearestIndex(COLORREF c) const {
    if (nearestKept_ && nearestColor_ == c)
        return nearestIndex_;
    int best = 0;
    long bestDist = -1;
    int n = paletteSize > 0 ? paletteSize : 256;
    for (int i = 0; i < n; ++i) {
        long dr = long(palette[i].rgbRed) - GetRValue(c);
        long dg = long(palette[i].rgbGreen) - GetGValue(c);
        long db = long(palette[i].rgbBlue) - GetBValue(c);
        long d = dr * dr + dg * dg + db * db;
        if (bestDist < 0 || d < bestDist) {
            bestDist = d;
            best = i;
            if (d == 0)
                break;
        }
    }
    nearestKept_ = true;
    nearestColor_ = c;
    nearestIndex_ = std::uint8_t(best);
    return nearestIndex_;
}

void BitmapObject::write(int x, int y, COLORREF c) {
    fillRow(y, x, x + 1, c);
}

void BitmapObject::fillRow(int y, int x0, int x1, COLORREF c) {
    if (x0 >= x1)
        return;
    std::uint8_t* p = rowToWrite(y, x0, x1);
    std::uint8_t r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    switch (bitsPerPixel) {
        case 8:
            std::memset(p + x0, nearestIndex(c), std::size_t(x1 - x0));
            break;
        case 24:
            if (r == g && g == b) {
                std::memset(p + std::size_t(x0) * 3, r, std::size_t(x1 - x0) * 3);
            } else {
                std::uint8_t* q = p + std::size_t(x0) * 3;
                const std::size_t n = std::size_t(x1 - x0) * 3;
                q[0] = b;
                q[1] = g;
                q[2] = r;
                // The pixels written so far copied after themselves, doubling.
                for (std::size_t done = 3; done < n; done *= 2)
                    std::memcpy(q + done, q, std::min(done, n - done));
            }
            break;
        default: {
            const std::uint32_t v =
                std::uint32_t(b) | (std::uint32_t(g) << 8) | (std::uint32_t(r) << 16);
            // The library's fill of 4-byte units: as fast as a fill of bytes,
            // which pages of white want most.
            static_assert(sizeof(wchar_t) == 4);
            std::wmemset(reinterpret_cast<wchar_t*>(p + std::size_t(x0) * 4), wchar_t(v),
                         std::size_t(x1 - x0));
            break;
        }
    }
}

void BitmapObject::invertRow(int y, int x0, int x1) {
    if (x0 >= x1)
        return;
    if (bitsPerPixel == 8) {
        for (int x = x0; x < x1; ++x) {
            COLORREF c = read(x, y);
            write(x, y, ~c & 0xFFFFFF);
        }
        return;
    }
    int bpp = bitsPerPixel / 8;
    std::uint8_t* p = rowToWrite(y, x0, x1);
    for (std::size_t i = std::size_t(x0) * bpp; i < std::size_t(x1) * bpp; ++i)
        p[i] = ~p[i];
}

}  // namespace win
