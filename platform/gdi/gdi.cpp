// Device contexts, objects, pens, brushes and pixel drawing.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/gdi_stroke.h"

namespace win {

namespace {

HandleTable& table() {
    return HandleTable::instance();
}

// The device context and the bitmap selected into it, or nulls.
struct Target {
    DcObject* dc = nullptr;
    BitmapObject* bm = nullptr;
    explicit operator bool() const { return dc && bm; }
};

Target target(HDC hdc) {
    Target t;
    t.dc = findDc(hdc);
    if (t.dc)
        t.bm = findBitmap(t.dc->bitmap);
    return t;
}

void fillSpan(const Target& t, int y, int x0, int x1, COLORREF c) {
    forEachVisibleSpan(*t.dc, *t.bm, y, x0, x1, [&](int a, int b) { t.bm->fillRow(y, a, b, c); });
}

void plot(const Target& t, int x, int y, COLORREF c) {
    if (pointVisible(*t.dc, *t.bm, x, y))
        t.bm->write(x, y, c);
}

// One-pixel line from (x0, y0) towards (x1, y1), the last pixel left out.
// Steps along the major axis; the minor coordinate of step i is the nearest
// integer of the ideal line (halves rounded toward the start) (computed in closed form, so only the
// steps whose major coordinate lies on the bitmap are visited).
void thinLine(const Target& t, int x0, int y0, int x1, int y1, COLORREF c) {
    if (y0 == y1) {
        long long a = x1 > x0 ? x0 : (long long)x1 + 1, b = x1 > x0 ? x1 : (long long)x0 + 1;
        a = std::max(a, -1LL);
        b = std::min(b, (long long)t.bm->width + 1);
        if (a < b)
            fillSpan(t, y0, int(a), int(b), c);
        return;
    }
    long long dx = (long long)x1 - x0, dy = (long long)y1 - y0;
    bool xMajor = std::llabs(dx) >= std::llabs(dy);
    long long major0 = xMajor ? x0 : y0, minor0 = xMajor ? y0 : x0;
    long long dMajor = xMajor ? dx : dy, dMinor = xMajor ? dy : dx;
    long long n = std::llabs(dMajor), m = std::llabs(dMinor);
    int sMajor = dMajor > 0 ? 1 : -1, sMinor = dMinor >= 0 ? 1 : -1;
    long long size = xMajor ? t.bm->width : t.bm->height;
    // Steps whose major coordinate lies in [0, size).
    long long first = sMajor > 0 ? -major0 : major0 - size + 1;
    long long last = sMajor > 0 ? size - 1 - major0 : major0;
    first = std::max(first, 0LL);
    last = std::min(last, n - 1);
    for (long long i = first; i <= last; ++i) {
        long long off = (long long)(((__int128)2 * i * m + n - 1) / ((__int128)2 * n));
        long long a = major0 + sMajor * i, b = minor0 + sMinor * off;
        if (b < INT_MIN || b > INT_MAX)
            continue;
        if (xMajor) {
            plot(t, int(a), int(b), c);
        } else {
            plot(t, int(b), int(a), c);
        }
    }
}

// Pen of width w > 1: every pixel whose centre lies within w/2 of the
// segment (round caps and joins).
void wideSegment(const Target& t, double ax, double ay, double bx, double by, double r,
                 COLORREF c) {
    double minY = std::min(ay, by) - r, maxY = std::max(ay, by) + r;
    int yStart = std::max(0, int(std::floor(minY - 0.5)));
    int yEnd = std::min(t.bm->height - 1, int(std::ceil(maxY - 0.5)));
    double ux = bx - ax, uy = by - ay, len2 = ux * ux + uy * uy;
    for (int y = yStart; y <= yEnd; ++y) {
        double cy = y + 0.5;
        double lo = std::numeric_limits<double>::infinity(), hi = -lo;
        auto disc = [&](double px, double py) {
            double h = r * r - (cy - py) * (cy - py);
            if (h < 0)
                return;
            double s = std::sqrt(h);
            lo = std::min(lo, px - s);
            hi = std::max(hi, px + s);
        };
        disc(ax, ay);
        disc(bx, by);
        if (len2 > 0) {
            // Band: 0 <= t <= 1 and |cross| <= r*|u|, both linear in x.
            double interval[2] = {-std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::infinity()};
            auto clampLinear = [&](double k, double m, double low, double high) {
                // low <= k*x + m <= high
                if (k == 0) {
                    if (m < low || m > high)
                        interval[0] = 1, interval[1] = 0;
                    return;
                }
                double x1 = (low - m) / k, x2 = (high - m) / k;
                if (x1 > x2)
                    std::swap(x1, x2);
                interval[0] = std::max(interval[0], x1);
                interval[1] = std::min(interval[1], x2);
            };
            // t * len2 = (x - ax) * ux + (cy - ay) * uy
            clampLinear(ux, (cy - ay) * uy - ax * ux, 0, len2);
            // cross = ux * (cy - ay) - uy * (x - ax)
            double rl = r * std::sqrt(len2);
            clampLinear(-uy, ux * (cy - ay) + uy * ax, -rl, rl);
            if (interval[0] <= interval[1]) {
                lo = std::min(lo, interval[0]);
                hi = std::max(hi, interval[1]);
            }
        }
        if (lo > hi)
            continue;
        double first = std::ceil(lo - 0.5), last = std::floor(hi - 0.5);
        first = std::max(first, -1.0);
        last = std::min(last, double(t.bm->width));
        if (first <= last)
            fillSpan(t, y, int(first), int(last) + 1, c);
    }
}

// Draws one figure with the pen: a cosmetic pen line by line, a wide
// CreatePen pen segment by segment with round ends, a geometric pen as one
// outline. A wide CreatePen pen of odd width is centred on the middle of the
// pixels its points name, one of even width on their corner; a geometric pen
// always on their corner.
void strokeWithPen(const Target& t, const PenObject& pen, const POINT* points, std::size_t count,
                   bool closed) {
    if (pen.style == PS_NULL || count == 0)
        return;
    if (pen.geometric) {
        StrokeStyle style;
        style.width = pen.width;
        style.endCap = pen.endCap;
        style.join = pen.join;
        style.miterLimit = t.dc->miterLimit;
        style.dashes = pen.dashes;
        std::vector<StrokePoint> figure(count);
        for (std::size_t i = 0; i < count; ++i)
            figure[i] = {double(points[i].x), double(points[i].y)};
        strokeFigure(figure, closed, style, t.bm->width, t.bm->height,
                     [&](int y, int x0, int x1) { fillSpan(t, y, x0, x1, pen.color); });
        return;
    }
    const std::size_t segments = closed && count > 1 ? count : count - 1;
    for (std::size_t i = 0; i < segments; ++i) {
        const POINT a = points[i], b = points[(i + 1) % count];
        const double o = (pen.width & 1) ? 0.5 : 0.0;
        if (pen.width <= 1) {
            thinLine(t, a.x, a.y, b.x, b.y, pen.color);
        } else {
            wideSegment(t, a.x + o, a.y + o, b.x + o, b.y + o, pen.width / 2.0, pen.color);
        }
    }
}

COLORREF applyRop(DWORD rop, COLORREF d, COLORREF s, COLORREF pattern) {
    switch (rop) {
        case SRCCOPY:
            return s;
        case SRCPAINT:
            return d | s;
        case SRCAND:
            return d & s;
        case SRCINVERT:
            return (d ^ s) & 0xFFFFFF;
        case PATCOPY:
            return pattern;
        case DSTINVERT:
            return ~d & 0xFFFFFF;
        case BLACKNESS:
            return 0;
        case WHITENESS:
            return 0xFFFFFF;
    }
    return d;
}

bool ropNeedsSource(DWORD rop) {
    return rop == SRCCOPY || rop == SRCPAINT || rop == SRCAND || rop == SRCINVERT;
}
bool ropKnown(DWORD rop) {
    return ropNeedsSource(rop) || rop == PATCOPY || rop == DSTINVERT || rop == BLACKNESS ||
           rop == WHITENESS;
}

}  // namespace

// ---- device contexts and objects -----------------------------------------

namespace {

// A new context holding the stock objects and the given bitmap.
HDC newDc(HBITMAP bitmap, bool screen) {
    auto dc = std::make_unique<DcObject>();
    HandleTable& t = table();
    dc->bitmap = bitmap;
    dc->pen = t.stockPen();
    dc->brush = t.stockBrush();
    dc->font = t.stockFont();
    dc->screen = screen;
    for (std::uint32_t v : {dc->bitmap.value, dc->pen.value, dc->brush.value, dc->font.value}) {
        if (GdiObject* o = t.find(v))
            ++o->selectedIn;
    }
    return HDC::fromValue(t.add(std::move(dc)));
}

BOOL freeDc(HDC hdc) {
    DcObject* dc = findDc(hdc);
    if (!dc)
        return FALSE;
    HandleTable& t = table();
    for (std::uint32_t v : {dc->bitmap.value, dc->pen.value, dc->brush.value, dc->font.value}) {
        if (GdiObject* o = t.find(v))
            --o->selectedIn;
    }
    t.remove(hdc.value);
    return TRUE;
}

}  // namespace

HDC GetDC(HWND window) {
    if (window)
        return nullptr;
    HBITMAP screen = table().screenBitmap();
    return screen ? newDc(screen, true) : nullptr;
}

int ReleaseDC(HWND, HDC hdc) {
    DcObject* dc = findDc(hdc);
    return dc && dc->screen && freeDc(hdc) ? 1 : 0;
}

HDC CreateCompatibleDC(HDC hdc) {
    if (hdc && !findDc(hdc))
        return nullptr;
    return newDc(table().stockBitmap(), false);
}

BOOL DeleteDC(HDC hdc) {
    DcObject* dc = findDc(hdc);
    if (!dc || dc->screen)
        return FALSE;
    return freeDc(hdc);
}

int GetDeviceCaps(HDC hdc, int index) {
    Target t = target(hdc);
    if (!t.dc)
        return 0;
    switch (index) {
        case BITSPIXEL:
            return t.bm && !t.bm->stock ? t.bm->bitsPerPixel : 32;
        case PLANES:
            return 1;
        case HORZRES:
            return t.bm ? t.bm->width : 0;
        case VERTRES:
            return t.bm ? t.bm->height : 0;
    }
    return 0;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj) {
    DcObject* dc = findDc(hdc);
    GdiObject* o = table().find(obj.value);
    if (!dc || !o)
        return nullptr;
    std::uint32_t* slot = nullptr;
    switch (o->kind) {
        case HandleKind::Pen:
            slot = &dc->pen.value;
            break;
        case HandleKind::Brush:
            slot = &dc->brush.value;
            break;
        case HandleKind::Font:
            slot = &dc->font.value;
            break;
        case HandleKind::Bitmap:
            // A bitmap can be selected into one device context at a time.
            if (o->selectedIn > 0 && dc->bitmap.value != obj.value && !o->stock)
                return nullptr;
            slot = &dc->bitmap.value;
            break;
        case HandleKind::Region: {
            HGDIOBJ r;
            r.value = std::uint32_t(SelectClipRgn(hdc, HRGN::fromValue(obj.value)));
            return r;
        }
        default:
            return nullptr;
    }
    HGDIOBJ old;
    old.value = *slot;
    if (old.value == obj.value)
        return old;
    if (GdiObject* prev = table().find(old.value))
        --prev->selectedIn;
    ++o->selectedIn;
    *slot = obj.value;
    return old;
}

BOOL DeleteObject(HGDIOBJ obj) {
    GdiObject* o = table().find(obj.value);
    if (!o || o->kind == HandleKind::DC)
        return FALSE;
    if (o->stock)
        return TRUE;
    if (o->selectedIn > 0)
        return FALSE;
    table().remove(obj.value);
    return TRUE;
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
    const DcObject* dc = findDc(hdc);
    if (!dc)
        return nullptr;
    switch (type) {
        case OBJ_PEN:
            return dc->pen;
        case OBJ_BRUSH:
            return dc->brush;
        case OBJ_FONT:
            return dc->font;
        case OBJ_BITMAP:
            return dc->bitmap;
    }
    return nullptr;
}

int GetObject(HGDIOBJ obj, int size, void* buffer) {
    const BitmapObject* bm = findBitmap(HBITMAP(obj));
    if (!bm)
        return 0;
    const int wanted = int(bm->section ? sizeof(DIBSECTION) : sizeof(BITMAP));
    if (!buffer)
        return wanted;
    if (size < int(sizeof(BITMAP)))
        return 0;
    BITMAP b{};
    b.bmWidth = bm->width;
    b.bmHeight = bm->height;
    b.bmWidthBytes = LONG(bm->stride);
    b.bmPlanes = 1;
    b.bmBitsPixel = WORD(bm->bitsPerPixel);
    b.bmBits = bm->section ? bm->storage.get() : nullptr;
    if (!bm->section || size < int(sizeof(DIBSECTION))) {
        std::memcpy(buffer, &b, sizeof b);
        return int(sizeof b);
    }
    DIBSECTION ds{};
    ds.dsBm = b;
    ds.dsBmih = {sizeof(BITMAPINFOHEADER), bm->width, bm->topDown ? -bm->height : bm->height, 1,
                 WORD(bm->bitsPerPixel), BI_RGB, DWORD(bm->stride * std::size_t(bm->height)), 0,
                 0, DWORD(bm->paletteSize), 0};
    std::memcpy(buffer, &ds, sizeof ds);
    return int(sizeof ds);
}

// ---- bitmaps ---------------------------------------------------------------

namespace {

std::unique_ptr<BitmapObject> makeBitmap(long long width, long long height, int bpp, bool topDown) {
    if (width <= 0 || height <= 0 || width > 0x7FFF'FFFF || height > 0x7FFF'FFFF)
        return nullptr;
    if (bpp != 8 && bpp != 24 && bpp != 32)
        return nullptr;
    unsigned long long stride = ((unsigned long long)width * bpp + 31) / 32 * 4;
    unsigned long long total = stride * (unsigned long long)height;
    if (total > (1ull << 32))
        return nullptr;  // 4 GiB is far beyond any page
    auto bm = std::make_unique<BitmapObject>();
    bm->storage = zeroedPixels(std::size_t(total), true);
    if (!bm->storage)
        return nullptr;
    bm->width = int(width);
    bm->height = int(height);
    bm->bitsPerPixel = bpp;
    bm->stride = std::size_t(stride);
    bm->topDown = topDown;
    return bm;
}

}  // namespace

HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, void* section,
                         DWORD offset) {
    if (bits)
        *bits = nullptr;
    if (!info || usage != DIB_RGB_COLORS || section || offset)
        return nullptr;
    if (hdc && !findDc(hdc))
        return nullptr;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biPlanes != 1 || h.biCompression != BI_RGB) {
        return nullptr;
    }
    long long height = h.biHeight;
    bool topDown = height < 0;
    auto bm = makeBitmap(h.biWidth, topDown ? -height : height, h.biBitCount, topDown);
    if (!bm)
        return nullptr;
    if (bm->bitsPerPixel == 8) {
        DWORD n = h.biClrUsed ? std::min<DWORD>(h.biClrUsed, 256) : 256;
        const auto* colors = reinterpret_cast<const std::uint8_t*>(info) + h.biSize;
        std::memcpy(bm->palette.data(), colors, n * sizeof(RGBQUAD));
        bm->paletteSize = int(n);
    }
    bm->section = true;
    void* p = bm->storage.get();
    HBITMAP handle = HBITMAP::fromValue(table().add(std::move(bm)));
    if (handle && bits)
        *bits = p;
    return handle;
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height) {
    if (!findDc(hdc))
        return nullptr;
    auto bm = makeBitmap(width, height, 32, true);
    if (!bm)
        return nullptr;
    return HBITMAP::fromValue(table().add(std::move(bm)));
}

BOOL GetBitmapChange(HBITMAP bitmap, RECT* rect, UINT flags) {
    BitmapObject* bm = findBitmap(bitmap);
    if (!bm || !rect)
        return FALSE;
    const bool empty = bm->changed.right <= bm->changed.left;
    *rect = empty ? RECT{} : bm->changed;
    if (flags & DCB_RESET)
        bm->changed = RECT{};
    return TRUE;
}

BOOL AddBitmapChange(HBITMAP bitmap, const RECT* rect) {
    BitmapObject* bm = findBitmap(bitmap);
    if (!bm || !rect)
        return FALSE;
    const LONG top = std::max<LONG>(rect->top, 0),
               bottom = std::min<LONG>(rect->bottom, bm->height);
    const LONG left = std::max<LONG>(rect->left, 0), right = std::min<LONG>(rect->right, bm->width);
    if (top < bottom) {
        bm->noteChange(top, left, right);
        bm->noteChange(bottom - 1, left, right);
    }
    return TRUE;
}

// ---- pens and brushes ----------------------------------------------------

HPEN CreatePen(int style, int width, COLORREF color) {
    if (style != PS_SOLID && style != PS_NULL)
        return nullptr;
    auto pen = std::make_unique<PenObject>();
    pen->style = style;
    pen->width = std::max(width, 1);
    pen->color = color & 0xFFFFFF;
    return HPEN::fromValue(table().add(std::move(pen)));
}

HPEN ExtCreatePen(DWORD style, DWORD width, const LOGBRUSH* brush, DWORD styleCount,
                  const DWORD* styles) {
    const DWORD kind = style & PS_STYLE_MASK, endCap = style & PS_ENDCAP_MASK,
                join = style & PS_JOIN_MASK, type = style & PS_TYPE_MASK;
    if (!brush || brush->lbStyle != BS_SOLID)
        return nullptr;
    if (style & ~(PS_STYLE_MASK | PS_ENDCAP_MASK | PS_JOIN_MASK | PS_TYPE_MASK))
        return nullptr;
    auto pen = std::make_unique<PenObject>();
    pen->color = brush->lbColor & 0xFFFFFF;
    if (type == PS_COSMETIC) {
        if ((kind != PS_SOLID && kind != PS_NULL) || width != 1 || styleCount != 0)
            return nullptr;
        pen->style = int(kind);
        return HPEN::fromValue(table().add(std::move(pen)));
    }
    if (type != PS_GEOMETRIC || width < 1 || width > DWORD(INT_MAX))
        return nullptr;
    if (kind != PS_SOLID && kind != PS_NULL && kind != PS_USERSTYLE)
        return nullptr;
    if (endCap != PS_ENDCAP_ROUND && endCap != PS_ENDCAP_SQUARE && endCap != PS_ENDCAP_FLAT)
        return nullptr;
    if (join != PS_JOIN_ROUND && join != PS_JOIN_BEVEL && join != PS_JOIN_MITER)
        return nullptr;
    if (kind == PS_USERSTYLE) {
        if (styleCount == 0 || !styles)
            return nullptr;
        std::uint64_t sum = 0;
        for (DWORD i = 0; i < styleCount; ++i)
            sum += styles[i];
        if (sum == 0)
            return nullptr;
        pen->dashes.assign(styles, styles + styleCount);
    } else if (styleCount != 0) {
        return nullptr;
    }
    pen->style = kind == PS_NULL ? PS_NULL : PS_SOLID;
    pen->width = int(width);
    pen->geometric = true;
    pen->endCap = endCap;
    pen->join = join;
    return HPEN::fromValue(table().add(std::move(pen)));
}

BOOL SetMiterLimit(HDC hdc, float limit, float* old) {
    DcObject* dc = findDc(hdc);
    if (!dc || !(limit >= 1.0f))
        return FALSE;
    if (old)
        *old = dc->miterLimit;
    dc->miterLimit = limit;
    return TRUE;
}

BOOL GetMiterLimit(HDC hdc, float* limit) {
    DcObject* dc = findDc(hdc);
    if (!dc || !limit)
        return FALSE;
    *limit = dc->miterLimit;
    return TRUE;
}

HBRUSH CreateSolidBrush(COLORREF color) {
    auto brush = std::make_unique<BrushObject>();
    brush->color = color & 0xFFFFFF;
    return HBRUSH::fromValue(table().add(std::move(brush)));
}

// ---- drawing -------------------------------------------------------------

BOOL Polyline(HDC hdc, const POINT* points, int count) {
    Target t = target(hdc);
    if (!t || !points || count < 2)
        return FALSE;
    PenObject* pen = findPen(t.dc->pen);
    if (!pen)
        return FALSE;
    strokeWithPen(t, *pen, points, std::size_t(count), false);
    return TRUE;
}

BOOL BeginPath(HDC hdc) {
    DcObject* dc = findDc(hdc);
    if (!dc)
        return FALSE;
    dc->path.clear();
    dc->pathOpen = true;
    dc->pathDone = false;
    return TRUE;
}

BOOL EndPath(HDC hdc) {
    DcObject* dc = findDc(hdc);
    if (!dc || !dc->pathOpen)
        return FALSE;
    dc->pathOpen = false;
    dc->pathDone = true;
    return TRUE;
}

BOOL AbortPath(HDC hdc) {
    DcObject* dc = findDc(hdc);
    if (!dc)
        return FALSE;
    dc->path.clear();
    dc->pathOpen = dc->pathDone = false;
    return TRUE;
}

BOOL StrokePath(HDC hdc) {
    Target t = target(hdc);
    if (!t || !t.dc->pathDone)
        return FALSE;
    PenObject* pen = findPen(t.dc->pen);
    if (!pen)
        return FALSE;
    for (const DcObject::Figure& f : t.dc->path)
        strokeWithPen(t, *pen, f.points.data(), f.points.size(), f.closed);
    t.dc->path.clear();
    t.dc->pathDone = false;
    return TRUE;
}

BOOL MoveToEx(HDC hdc, int x, int y, POINT* old) {
    DcObject* dc = findDc(hdc);
    if (!dc)
        return FALSE;
    if (old)
        *old = dc->position;
    dc->position = POINT{x, y};
    if (dc->pathOpen)
        dc->path.push_back(DcObject::Figure{{dc->position}, false});
    return TRUE;
}

BOOL PolylineTo(HDC hdc, const POINT* points, DWORD count) {
    DcObject* dc = findDc(hdc);
    if (!dc || !points)
        return FALSE;
    if (count == 0)
        return TRUE;
    if (dc->pathOpen) {
        if (dc->path.empty() || dc->path.back().closed)
            dc->path.push_back(DcObject::Figure{{dc->position}, false});
        std::vector<POINT>& figure = dc->path.back().points;
        figure.insert(figure.end(), points, points + count);
    } else {
        Target t = target(hdc);
        PenObject* pen = t ? findPen(t.dc->pen) : nullptr;
        if (!pen)
            return FALSE;
        std::vector<POINT> line{dc->position};
        line.insert(line.end(), points, points + count);
        strokeWithPen(t, *pen, line.data(), line.size(), false);
    }
    dc->position = points[count - 1];
    return TRUE;
}

BOOL CloseFigure(HDC hdc) {
    DcObject* dc = findDc(hdc);
    if (!dc || !dc->pathOpen || dc->path.empty() || dc->path.back().closed)
        return FALSE;
    dc->path.back().closed = true;
    return TRUE;
}

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
    Target t = target(hdc);
    BrushObject* b = findBrush(brush);
    if (!t || !rect || !b)
        return 0;
    int top = std::max(rect->top, 0), bottom = std::min(rect->bottom, t.bm->height);
    for (int y = top; y < bottom; ++y)
        fillSpan(t, y, rect->left, rect->right, b->color);
    return 1;
}

BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop) {
    Target t = target(hdc);
    if (!t || !ropKnown(rop) || ropNeedsSource(rop))
        return FALSE;
    long long x0 = x, y0 = y, x1 = (long long)x + width, y1 = (long long)y + height;
    if (x1 < x0)
        std::swap(x0, x1);
    if (y1 < y0)
        std::swap(y0, y1);
    x0 = std::max<long long>(x0, 0);
    y0 = std::max<long long>(y0, 0);
    x1 = std::min<long long>(x1, t.bm->width);
    y1 = std::min<long long>(y1, t.bm->height);
    COLORREF pattern = 0;
    if (BrushObject* b = findBrush(t.dc->brush))
        pattern = b->color;
    for (int row = int(y0); row < y1; ++row) {
        forEachVisibleSpan(*t.dc, *t.bm, row, int(x0), int(x1), [&](int a, int b) {
            if (rop == DSTINVERT) {
                t.bm->invertRow(row, a, b);
            } else {
                t.bm->fillRow(row, a, b, applyRop(rop, 0, 0, pattern));
            }
        });
    }
    return TRUE;
}

BOOL DrawFocusRect(HDC hdc, const RECT* rect) {
    Target t = target(hdc);
    if (!t || !rect)
        return FALSE;
    // A dotted frame drawn by inverting every other pixel of the border.
    auto dot = [&](int x, int y) {
        if (((x + y) & 1) == 0 && pointVisible(*t.dc, *t.bm, x, y))
            t.bm->invertRow(y, x, x + 1);
    };
    int l = rect->left, tp = rect->top, r = rect->right, b = rect->bottom;
    if (l >= r || tp >= b)
        return TRUE;
    int xs = std::max(l, 0), xe = std::min(r, t.bm->width);
    for (int x = xs; x < xe; ++x) {
        dot(x, tp);
        if (b - 1 != tp)
            dot(x, b - 1);
    }
    int ys = std::max(tp + 1, 0), ye = std::min(b - 1, t.bm->height);
    for (int y = ys; y < ye; ++y) {
        dot(l, y);
        if (r - 1 != l)
            dot(r - 1, y);
    }
    return TRUE;
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
    Target t = target(hdc);
    if (!t || !pointVisible(*t.dc, *t.bm, x, y))
        return CLR_INVALID;
    t.bm->write(x, y, color & 0xFFFFFF);
    return t.bm->read(x, y);
}

COLORREF GetPixel(HDC hdc, int x, int y) {
    Target t = target(hdc);
    if (!t || !pointVisible(*t.dc, *t.bm, x, y))
        return CLR_INVALID;
    return t.bm->read(x, y);
}

// ---- block transfers -----------------------------------------------------

namespace {

// Where a destination column or row takes its source pixel.
struct AxisMap {
    long long d0, dn, s0, sn;
    bool flip, plain;
    long long source(long long k) const {
        long long m = plain ? k - d0 : (2 * (k - d0) + 1) * sn / (2 * dn);
        if (flip)
            m = sn - 1 - m;
        return s0 + m;
    }
};

// Walks the destination rectangle of a block transfer row by row, and each
// row by the spans the destination's clip leaves visible: f(d, s, row,
// sourceRow, a, b, columns) for the columns [a, b). Without a source (s
// empty) every row is visited with sourceRow 0. Negative sizes mirror.
template <class F>
BOOL eachTransferSpan(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                      int srcWidth, int srcHeight, bool needSource, F&& f) {
    Target d = target(dest);
    if (!d)
        return FALSE;
    Target s;
    if (needSource) {
        s = target(src);
        if (!s)
            return FALSE;
    }
    bool flipX = false, flipY = false;
    long long dx0 = x, dy0 = y, dw = width, dh = height;
    long long sx0 = srcX, sy0 = srcY, sw = srcWidth, sh = srcHeight;
    if (dw < 0)
        dx0 += dw, dw = -dw, flipX = !flipX;
    if (dh < 0)
        dy0 += dh, dh = -dh, flipY = !flipY;
    if (sw < 0)
        sx0 += sw, sw = -sw, flipX = !flipX;
    if (sh < 0)
        sy0 += sh, sh = -sh, flipY = !flipY;
    if (dw == 0 || dh == 0)
        return TRUE;
    if (s && (sw == 0 || sh == 0))
        return TRUE;

    const bool plain = !flipX && !flipY && dw == sw && dh == sh;
    const bool same = s && s.bm == d.bm;
    const AxisMap columns{dx0, dw, sx0, sw, flipX, plain};
    const AxisMap rows{dy0, dh, sy0, sh, flipY, plain};

    long long rowFirst = std::max<long long>(dy0, 0);
    long long rowLast = std::min<long long>(dy0 + dh, d.bm->height);  // exclusive
    // Walk rows so that an overlapping copy within one bitmap reads each
    // source row before it is overwritten.
    bool upward = same && plain && dy0 > sy0;
    for (long long i = 0; i < rowLast - rowFirst; ++i) {
        int row = int(upward ? rowLast - 1 - i : rowFirst + i);
        long long sr = 0;
        if (s) {
            sr = rows.source(row);
            if (sr < 0 || sr >= s.bm->height)
                continue;
        }
        long long colFirst = std::max<long long>(dx0, 0);
        long long colLast = std::min<long long>(dx0 + dw, d.bm->width);
        if (s && plain) {
            // Keep the columns whose source lies inside the source bitmap.
            colFirst = std::max(colFirst, dx0 - sx0);
            colLast = std::min(colLast, dx0 - sx0 + s.bm->width);
        }
        if (colFirst >= colLast)
            continue;
        forEachVisibleSpan(*d.dc, *d.bm, row, int(colFirst), int(colLast),
                           [&](int a, int b) { f(d, s, row, sr, a, b, columns); });
    }
    return TRUE;
}

bool direct(int bitsPerPixel) {
    return bitsPerPixel == 24 || bitsPerPixel == 32;
}

// Copies n pixels from column x of a row of 24 or 32 bits per pixel to
// column at of a row of the other size (blue, green, red; the fourth byte
// of a 32-bit pixel is 0).
void copyPixels(std::uint8_t* to, int toBpp, int at, const std::uint8_t* from, int fromBpp, int x,
                int n) {
    to += std::size_t(at) * std::size_t(toBpp / 8);
    from += std::size_t(x) * std::size_t(fromBpp / 8);
    if (toBpp == 32) {
        for (int i = 0; i < n; ++i, to += 4, from += 3) {
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
            to[3] = 0;
        }
    } else {
        for (int i = 0; i < n; ++i, to += 3, from += 4) {
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
        }
    }
}

BOOL transfer(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY,
              int srcWidth, int srcHeight, DWORD rop) {
    if (!ropKnown(rop))
        return FALSE;
    COLORREF pattern = 0;
    if (DcObject* dc = findDc(dest)) {
        if (BrushObject* b = findBrush(dc->brush))
            pattern = b->color;
    }
    std::vector<COLORREF> line;
    return eachTransferSpan(
        dest, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight, ropNeedsSource(rop),
        [&](const Target& d, const Target& s, int row, long long sr, int a, int b,
            const AxisMap& columns) {
            if (!s) {
                if (rop == DSTINVERT) {
                    d.bm->invertRow(row, a, b);
                } else {
                    d.bm->fillRow(row, a, b, applyRop(rop, 0, 0, pattern));
                }
                return;
            }
            if (columns.plain && rop == SRCCOPY && s.bm->bitsPerPixel == d.bm->bitsPerPixel &&
                s.bm->bitsPerPixel != 8) {
                int bpp = d.bm->bitsPerPixel / 8;
                std::memmove(d.bm->rowToWrite(row, a, b) + std::size_t(a) * bpp,
                             s.bm->row(int(sr)) + std::size_t(columns.source(a)) * bpp,
                             std::size_t(b - a) * bpp);
                return;
            }
            if (columns.plain && rop == SRCCOPY && direct(s.bm->bitsPerPixel) &&
                direct(d.bm->bitsPerPixel)) {
                // 24 and 32 bits per pixel into each other (the shared
                // coverage section and a screen-compatible page).
                copyPixels(d.bm->rowToWrite(row, a, b), d.bm->bitsPerPixel, a, s.bm->row(int(sr)),
                           s.bm->bitsPerPixel, int(columns.source(a)), b - a);
                return;
            }
            if (columns.plain && rop == SRCCOPY && s.bm->bitsPerPixel == 8 &&
                d.bm->bitsPerPixel != 8 && s.bm != d.bm) {
                // Palette entries straight into the destination's bytes.
                const std::size_t bpp = std::size_t(d.bm->bitsPerPixel / 8);
                const std::uint8_t* in = s.bm->row(int(sr)) + columns.source(a);
                std::uint8_t* out = d.bm->rowToWrite(row, a, b) + std::size_t(a) * bpp;
                for (int c = a; c < b; ++c, out += bpp) {
                    const RGBQUAD& q = s.bm->palette[*in++];
                    out[0] = q.rgbBlue;
                    out[1] = q.rgbGreen;
                    out[2] = q.rgbRed;
                    if (bpp == 4)
                        out[3] = 0;
                }
                return;
            }
            line.resize(std::size_t(b - a));
            for (int c = a; c < b; ++c) {
                long long sc = columns.source(c);
                line[c - a] =
                    (sc < 0 || sc >= s.bm->width) ? CLR_INVALID : s.bm->read(int(sc), int(sr));
            }
            for (int c = a; c < b; ++c) {
                COLORREF sv = line[c - a];
                if (sv == CLR_INVALID)
                    continue;
                COLORREF dv = rop == SRCCOPY ? 0 : d.bm->read(c, row);
                d.bm->write(c, row, applyRop(rop, dv, sv, pattern));
            }
        });
}

}  // namespace

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop) {
    return transfer(dest, x, y, width, height, src, srcX, srcY, width, height, rop);
}

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                int srcWidth, int srcHeight, DWORD rop) {
    return transfer(dest, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight, rop);
}

namespace {

// Blends premultiplied 32-bit source pixels over 32-bit destination ones,
// four at a time, as the scalar loop of AlphaBlend does: each colour byte
// becomes min(255, source + (destination * (255 - alpha) + 127) / 255), the
// fourth byte is kept. The division by 255 of x <= 65534 is
// (x + 1 + (x >> 8)) >> 8 exactly. The pixels done (a multiple of four).
int blendOver32(const std::uint8_t* in, std::uint8_t* out, int count) {
    int done = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i full = _mm_set1_epi32(255);
    const __m128i half = _mm_set1_epi16(127);
    const __m128i one = _mm_set1_epi16(1);
    const __m128i fourth = _mm_set1_epi32(std::int32_t(0xFF000000u));
    for (; done + 4 <= count; done += 4) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done * 4));
        std::uint8_t* at = out + done * 4;
        const __m128i dst = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        // 255 - alpha in both 16-bit halves of each pixel's 32 bits.
        const __m128i inverse = _mm_sub_epi32(full, _mm_srli_epi32(s, 24));
        const __m128i inverse16 = _mm_or_si128(inverse, _mm_slli_epi32(inverse, 16));
        const __m128i scales[2] = {_mm_unpacklo_epi32(inverse16, inverse16),
                                   _mm_unpackhi_epi32(inverse16, inverse16)};
        const __m128i dsts[2] = {_mm_unpacklo_epi8(dst, zero), _mm_unpackhi_epi8(dst, zero)};
        const __m128i srcs[2] = {_mm_unpacklo_epi8(s, zero), _mm_unpackhi_epi8(s, zero)};
        __m128i sums[2];
        for (int i = 0; i < 2; ++i) {
            const __m128i x = _mm_add_epi16(_mm_mullo_epi16(dsts[i], scales[i]), half);
            const __m128i q =
                _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x, one), _mm_srli_epi16(x, 8)), 8);
            sums[i] = _mm_add_epi16(srcs[i], q);
        }
        // Packing saturates at 255.
        const __m128i blended = _mm_packus_epi16(sums[0], sums[1]);
        const __m128i result =
            _mm_or_si128(_mm_andnot_si128(fourth, blended), _mm_and_si128(fourth, dst));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at), result);
    }
#else
    (void)in;
    (void)out;
    (void)count;
#endif
    return done;
}

}  // namespace

BOOL AlphaBlend(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                int srcWidth, int srcHeight, BLENDFUNCTION blend) {
    if (blend.BlendOp != AC_SRC_OVER || width < 0 || height < 0 || srcWidth < 0 || srcHeight < 0)
        return FALSE;
    const bool perPixel = (blend.AlphaFormat & AC_SRC_ALPHA) != 0;
    if (perPixel) {
        const DcObject* dc = findDc(src);
        const BitmapObject* bm = dc ? findBitmap(dc->bitmap) : nullptr;
        if (!bm || bm->bitsPerPixel != 32)
            return FALSE;
    }
    const unsigned constant = blend.SourceConstantAlpha;
    return eachTransferSpan(
        dest, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight, true,
        [&](const Target& d, const Target& s, int row, long long sr, int a, int b,
            const AxisMap& columns) {
            const std::uint8_t* sourceRow = s.bm->row(int(sr));
            if (perPixel && constant == 255 && columns.plain && d.bm->bitsPerPixel != 8) {
                // Straight over the destination's bytes; uncovered pixels
                // are left, covered ones copied.
                const std::size_t bpp = std::size_t(d.bm->bitsPerPixel / 8);
                const std::uint8_t* in = sourceRow + std::size_t(columns.source(a)) * 4;
                std::uint8_t* out = d.bm->rowToWrite(row, a, b) + std::size_t(a) * bpp;
                int c = a;
                if (bpp == 4)
                    c += blendOver32(in, out, b - a);
                in += std::size_t(c - a) * 4;
                out += std::size_t(c - a) * bpp;
                for (; c < b; ++c, in += 4, out += bpp) {
                    const unsigned alpha = in[3];
                    if (alpha == 0 && (in[0] | in[1] | in[2]) == 0)
                        continue;
                    if (alpha == 255) {
                        // Opaque: the sum below leaves the source.
                        out[0] = in[0];
                        out[1] = in[1];
                        out[2] = in[2];
                        continue;
                    }
                    for (int ch = 0; ch < 3; ++ch)
                        out[ch] = std::uint8_t(
                            std::min(255u, in[ch] + (out[ch] * (255 - alpha) + 127) / 255));
                }
                return;
            }
            for (int c = a; c < b; ++c) {
                const long long sc = columns.source(c);
                if (sc < 0 || sc >= s.bm->width)
                    continue;
                // Source colour and alpha, premultiplied by the constant.
                unsigned sv[3], alpha;
                if (perPixel) {
                    const std::uint8_t* p = sourceRow + std::size_t(sc) * 4;
                    for (int ch = 0; ch < 3; ++ch)
                        sv[ch] = (p[2 - ch] * constant + 127) / 255;
                    alpha = (p[3] * constant + 127) / 255;
                } else {
                    const COLORREF v = s.bm->read(int(sc), int(sr));
                    sv[0] = (GetRValue(v) * constant + 127) / 255;
                    sv[1] = (GetGValue(v) * constant + 127) / 255;
                    sv[2] = (GetBValue(v) * constant + 127) / 255;
                    alpha = constant;
                }
                if (alpha == 0 && sv[0] == 0 && sv[1] == 0 && sv[2] == 0)
                    continue;  // nothing to add
                const COLORREF dv = d.bm->read(c, row);
                const unsigned dc[3] = {GetRValue(dv), GetGValue(dv), GetBValue(dv)};
                unsigned out[3];
                for (int ch = 0; ch < 3; ++ch)
                    out[ch] = std::min(255u, sv[ch] + (dc[ch] * (255 - alpha) + 127) / 255);
                d.bm->write(c, row, RGB(BYTE(out[0]), BYTE(out[1]), BYTE(out[2])));
            }
        });
}

}  // namespace win
