// The objects behind GDI handles and the process-wide handle table.
// Internal to the stand-in (and to code that shares the table, such as the
// font half of the stand-in); callers of the API only ever see handles.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_font.h"
#include "platform/gdi/rect_set.h"

namespace win {

namespace font {
class ScaledFont;
}

struct GdiObject {
    explicit GdiObject(HandleKind k) : kind(k) {}
    virtual ~GdiObject() = default;
    HandleKind kind;
    bool stock = false;  // never deleted
    int selectedIn = 0;  // number of device contexts that hold it
};

struct PenObject : GdiObject {
    PenObject() : GdiObject(HandleKind::Pen) {}
    int style = PS_SOLID;
    int width = 1;
    COLORREF color = 0;
    // ExtCreatePen's geometric pens: end cap, join and dash lengths (empty:
    // solid).
    bool geometric = false;
    DWORD endCap = PS_ENDCAP_ROUND;
    DWORD join = PS_JOIN_ROUND;
    std::vector<DWORD> dashes;
};

struct BrushObject : GdiObject {
    BrushObject() : GdiObject(HandleKind::Brush) {}
    COLORREF color = 0xFFFFFF;
};

struct RegionObject : GdiObject {
    RegionObject() : GdiObject(HandleKind::Region) {}
    RectSet set;
};

// Zeroed pixel memory: taken with calloc, so that a large bitmap's pages
// come zeroed from the system instead of being cleared once more.
struct FreeBytes {
    void operator()(std::uint8_t* p) const { std::free(p); }
};
using PixelStorage = std::unique_ptr<std::uint8_t[], FreeBytes>;
// Null when memory runs out. drawnWhole: every pixel is written soon (a
// bitmap a program makes is cleared or filled before it is shown), so the
// pages of a large block are mapped in one call rather than by a fault each
// as they are first written.
PixelStorage zeroedPixels(std::size_t bytes, bool drawnWhole = false);

// Pixels of 8 (palette), 24 (blue, green, red) or 32 (blue, green, red, x)
// bits, rows top-down or bottom-up.
struct BitmapObject : GdiObject {
    BitmapObject() : GdiObject(HandleKind::Bitmap) {}
    int width = 0;
    int height = 0;
    int bitsPerPixel = 32;
    std::size_t stride = 0;
    bool topDown = true;
    bool section = false;  // made by CreateDIBSection
    PixelStorage storage;
    std::array<RGBQUAD, 256> palette{};
    int paletteSize = 0;

    // The pixels changed since the bitmap was made or the rectangle last
    // reset (empty: right <= left): every write below adds to it.
    RECT changed{};

    const std::uint8_t* row(int y) const {
        return storage.get() + std::size_t(topDown ? y : height - 1 - y) * stride;
    }
    // Row y for writing pixels [x0, x1) of it.
    std::uint8_t* rowToWrite(int y, int x0, int x1) {
        noteChange(y, x0, x1);
        return storage.get() + std::size_t(topDown ? y : height - 1 - y) * stride;
    }
    void noteChange(int y, int x0, int x1) {
        if (x0 >= x1)
            return;
        if (changed.right <= changed.left) {
            changed = RECT{x0, y, x1, y + 1};
            return;
        }
        changed.left = std::min(changed.left, x0);
        changed.right = std::max(changed.right, x1);
        changed.top = std::min(changed.top, y);
        changed.bottom = std::max(changed.bottom, y + 1);
    }
    COLORREF read(int x, int y) const;
    void write(int x, int y, COLORREF c);
    // Palette index closest to a colour (8-bit bitmaps); the last answer is
    // kept, as fills ask for one colour row after row.
    std::uint8_t nearestIndex(COLORREF c) const;
    // Fills [x0, x1) of row y with one colour.
    void fillRow(int y, int x0, int x1, COLORREF c);
    // Inverts [x0, x1) of row y.
    void invertRow(int y, int x0, int x1);

private:
    mutable bool nearestKept_ = false;
    mutable COLORREF nearestColor_ = 0;
    mutable std::uint8_t nearestIndex_ = 0;
};

// The font a device context holds from its creation.
LOGFONTA defaultLogFont();

struct FontObject : GdiObject {
    explicit FontObject(const LOGFONTA& lf);
    ~FontObject() override;
    LOGFONTA logfont;
    // The face and size chosen for the logical font: made at creation, and
    // on first use for the stock font.
    std::unique_ptr<font::ScaledFont> scaled;
};

struct DcObject : GdiObject {
    DcObject() : GdiObject(HandleKind::DC) {}
    HBITMAP bitmap;
    HPEN pen;
    HBRUSH brush;
    HFONT font;
    std::optional<RectSet> clip;  // none: the whole bitmap
    COLORREF textColor = 0;
    int bkMode = OPAQUE;
    bool screen = false;  // made by GetDC, released by ReleaseDC
    // The bounding rectangle (empty: right <= left) and whether it gathers.
    RECT bounds{};
    bool boundsEnabled = false;
    float miterLimit = 10.0f;
    // The current position, and the path between BeginPath and EndPath: its
    // figures (points, closed).
    POINT position{0, 0};
    struct Figure {
        std::vector<POINT> points;
        bool closed = false;
    };
    bool pathOpen = false;
    bool pathDone = false;  // ended, waiting to be stroked
    std::vector<Figure> path;
};

// The smallest rectangle holding both; an empty one adds nothing.
inline RECT unionRect(const RECT& a, const RECT& b) {
    if (b.right <= b.left || b.bottom <= b.top)
        return a;
    if (a.right <= a.left || a.bottom <= a.top)
        return b;
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

// One table for the process. Handle values carry a slot index and a
// generation, so a value whose object was deleted no longer resolves.
class HandleTable {
public:
    static HandleTable& instance();

    std::uint32_t add(std::unique_ptr<GdiObject> obj);
    GdiObject* find(std::uint32_t value) const;
    template <class T>
    T* find(std::uint32_t value, HandleKind kind) const {
        GdiObject* o = find(value);
        return o && o->kind == kind ? static_cast<T*>(o) : nullptr;
    }
    void remove(std::uint32_t value);
    std::size_t liveCount(HandleKind kind) const;

    HPEN stockPen() const { return stockPen_; }
    HBRUSH stockBrush() const { return stockBrush_; }
    HBITMAP stockBitmap() const { return stockBitmap_; }
    HFONT stockFont() const { return stockFont_; }
    // The screen's pixels, made on first use; a stock object, so every
    // screen context holds it; null when memory runs out.
    HBITMAP screenBitmap();

private:
    HandleTable();
    struct Slot {
        std::unique_ptr<GdiObject> obj;
        std::uint32_t generation = 1;
    };
    std::vector<Slot> slots_;
    std::vector<std::uint32_t> free_;
    HPEN stockPen_;
    HBRUSH stockBrush_;
    HBITMAP stockBitmap_;
    HFONT stockFont_;
    HBITMAP screenBitmap_;
};

inline DcObject* findDc(HDC h) {
    return HandleTable::instance().find<DcObject>(h.value, HandleKind::DC);
}
inline BitmapObject* findBitmap(HBITMAP h) {
    return HandleTable::instance().find<BitmapObject>(h.value, HandleKind::Bitmap);
}
inline PenObject* findPen(HPEN h) {
    return HandleTable::instance().find<PenObject>(h.value, HandleKind::Pen);
}
inline BrushObject* findBrush(HBRUSH h) {
    return HandleTable::instance().find<BrushObject>(h.value, HandleKind::Brush);
}
inline RegionObject* findRegion(HRGN h) {
    return HandleTable::instance().find<RegionObject>(h.value, HandleKind::Region);
}
inline FontObject* findFont(HFONT h) {
    return HandleTable::instance().find<FontObject>(h.value, HandleKind::Font);
}

// The area a device context may draw into: its bitmap's bounds, further
// limited by its clip region. Visits the visible x intervals of a row.
template <class F>
void forEachVisibleSpan(const DcObject& dc, const BitmapObject& bm, int y, int x0, int x1, F&& f) {
    if (y < 0 || y >= bm.height)
        return;
    if (x0 < 0)
        x0 = 0;
    if (x1 > bm.width)
        x1 = bm.width;
    if (x0 >= x1)
        return;
    if (!dc.clip) {
        f(x0, x1);
        return;
    }
    const RectSet::Band* band = dc.clip->bandAt(y);
    if (!band)
        return;
    for (const RectSet::Span& s : band->spans) {
        if (s.right <= x0)
            continue;
        if (s.left >= x1)
            break;
        f(s.left > x0 ? s.left : x0, s.right < x1 ? s.right : x1);
    }
}

inline bool pointVisible(const DcObject& dc, const BitmapObject& bm, int x, int y) {
    if (x < 0 || y < 0 || x >= bm.width || y >= bm.height)
        return false;
    return !dc.clip || dc.clip->contains(x, y);
}

}  // namespace win
