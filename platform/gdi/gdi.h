// Headless stand-in for the graphics device interface the engine and the
// viewer draw through: the screen, memory device contexts, DIB sections,
// pens, brushes, regions, pixel access and block transfers (fonts and text:
// gdi_font.h). It is one shared library, so every object lives in one
// process-wide handle table whichever library made it: a device context the
// viewer makes is valid in the engine. A handle is an opaque number that is
// looked up (and type-checked) on every use, so a stale or forged number is
// refused instead of being dereferenced.
#pragma once

#include <cstddef>
#include <cstdint>

namespace win {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using LONG = std::int32_t;
using BOOL = int;
using COLORREF = std::uint32_t;
// Windows are no part of the stand-in; a window handle is only a number
// (null, or the broadcast address of gdi_font.h).
using HWND = std::uint32_t;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

enum class HandleKind : std::uint8_t { None, DC, Pen, Brush, Bitmap, Region, Font };

// A typed handle: only a number. The table decides whether it names a live
// object of the right kind.
template <HandleKind K>
struct TypedHandle {
    std::uint32_t value = 0;

    constexpr TypedHandle() = default;
    constexpr TypedHandle(std::nullptr_t) {}
    // A handle received as a plain number (for instance across the
    // automation interface); it is only checked when used.
    static constexpr TypedHandle fromValue(std::uint32_t v) {
        TypedHandle h;
        h.value = v;
        return h;
    }
    constexpr explicit operator bool() const { return value != 0; }
    friend constexpr bool operator==(TypedHandle a, TypedHandle b) { return a.value == b.value; }
    friend constexpr bool operator==(TypedHandle a, std::nullptr_t) { return a.value == 0; }
};

using HDC = TypedHandle<HandleKind::DC>;
using HPEN = TypedHandle<HandleKind::Pen>;
using HBRUSH = TypedHandle<HandleKind::Brush>;
using HBITMAP = TypedHandle<HandleKind::Bitmap>;
using HRGN = TypedHandle<HandleKind::Region>;
using HFONT = TypedHandle<HandleKind::Font>;

// Any drawing object (pen, brush, bitmap, region, font).
struct HGDIOBJ {
    std::uint32_t value = 0;

    constexpr HGDIOBJ() = default;
    constexpr HGDIOBJ(std::nullptr_t) {}
    constexpr HGDIOBJ(HPEN h) : value(h.value) {}
    constexpr HGDIOBJ(HBRUSH h) : value(h.value) {}
    constexpr HGDIOBJ(HBITMAP h) : value(h.value) {}
    constexpr HGDIOBJ(HRGN h) : value(h.value) {}
    constexpr HGDIOBJ(HFONT h) : value(h.value) {}
    template <HandleKind K>
    constexpr explicit operator TypedHandle<K>() const {
        return TypedHandle<K>::fromValue(value);
    }
    constexpr explicit operator bool() const { return value != 0; }
    friend constexpr bool operator==(HGDIOBJ a, HGDIOBJ b) { return a.value == b.value; }
};

struct POINT {
    LONG x;
    LONG y;
};

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
    friend bool operator==(const RECT&, const RECT&) = default;
};

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;  // negative: rows from the top
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

// The colour table follows the header in memory (biClrUsed entries, or
// 2^biBitCount when 0, for 8 bits and fewer).
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

// What GetObject tells of a bitmap: bmBits is null for a compatible bitmap,
// whose pixels only the drawing functions reach.
struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    void* bmBits;
};

// ... and of a DIB section besides: its header as made (biHeight negative for
// rows from the top).
struct DIBSECTION {
    BITMAP dsBm;
    BITMAPINFOHEADER dsBmih;
    DWORD dsBitfields[3];
    void* dshSection;
    DWORD dsOffset;
};

struct RGNDATAHEADER {
    DWORD dwSize;
    DWORD iType;
    DWORD nCount;
    DWORD nRgnSize;
    RECT rcBound;
};

struct RGNDATA {
    RGNDATAHEADER rdh;
    char Buffer[1];
};

struct XFORM {
    float eM11, eM12, eM21, eM22, eDx, eDy;
};

constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
    return COLORREF(r) | (COLORREF(g) << 8) | (COLORREF(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) {
    return BYTE(c);
}
constexpr BYTE GetGValue(COLORREF c) {
    return BYTE(c >> 8);
}
constexpr BYTE GetBValue(COLORREF c) {
    return BYTE(c >> 16);
}

// GetDeviceCaps indices.
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;

// Pen styles. ExtCreatePen also takes a type (cosmetic or geometric), and
// for geometric pens an end cap and a join.
constexpr int PS_SOLID = 0;
constexpr int PS_NULL = 5;
constexpr int PS_USERSTYLE = 7;
constexpr DWORD PS_STYLE_MASK = 0x0000000F;
constexpr DWORD PS_ENDCAP_ROUND = 0x00000000;
constexpr DWORD PS_ENDCAP_SQUARE = 0x00000100;
constexpr DWORD PS_ENDCAP_FLAT = 0x00000200;
constexpr DWORD PS_ENDCAP_MASK = 0x00000F00;
constexpr DWORD PS_JOIN_ROUND = 0x00000000;
constexpr DWORD PS_JOIN_BEVEL = 0x00001000;
constexpr DWORD PS_JOIN_MITER = 0x00002000;
constexpr DWORD PS_JOIN_MASK = 0x0000F000;
constexpr DWORD PS_COSMETIC = 0x00000000;
constexpr DWORD PS_GEOMETRIC = 0x00010000;
constexpr DWORD PS_TYPE_MASK = 0x000F0000;

// Brush styles (only solid brushes are made).
constexpr UINT BS_SOLID = 0;

struct LOGBRUSH {
    UINT lbStyle;
    COLORREF lbColor;
    std::uintptr_t lbHatch;
};

// Bitmap compression and colour-table usage.
constexpr DWORD BI_RGB = 0;
constexpr UINT DIB_RGB_COLORS = 0;

// Region results, combine modes and data type.
constexpr int ERROR = 0;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;
constexpr int RGN_AND = 1;
constexpr int RGN_OR = 2;
constexpr int RGN_XOR = 3;
constexpr int RGN_DIFF = 4;
constexpr int RGN_COPY = 5;
constexpr DWORD RDH_RECTANGLES = 1;

// Raster operations.
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD SRCPAINT = 0x00EE0086;
constexpr DWORD SRCAND = 0x008800C6;
constexpr DWORD SRCINVERT = 0x00660046;
constexpr DWORD PATCOPY = 0x00F00021;
constexpr DWORD DSTINVERT = 0x00550009;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;

// The screen: a virtual 32-bit display of kScreenWidth x kScreenHeight
// pixels with no window system behind it, so that the engine renders in tests
// and CI with no display. GetDC(NULL) gives a new device context on it (null
// for any window); ReleaseDC releases one (1), and answers 0 for any other
// context, which DeleteDC frees instead.
constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC hdc);

// Device contexts. DeleteDC refuses a context of the screen.
HDC CreateCompatibleDC(HDC hdc);
BOOL DeleteDC(HDC hdc);
int GetDeviceCaps(HDC hdc, int index);
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj);
BOOL DeleteObject(HGDIOBJ obj);
// The object of a kind a device context holds (OBJ_BITMAP: its bitmap).
constexpr UINT OBJ_PEN = 1;
constexpr UINT OBJ_BRUSH = 2;
constexpr UINT OBJ_FONT = 6;
constexpr UINT OBJ_BITMAP = 7;
HGDIOBJ GetCurrentObject(HDC hdc, UINT type);
// Bitmaps only: with room for a DIBSECTION, a DIB section fills one and
// answers its size; otherwise (and for compatible bitmaps) a BITMAP is
// filled when there is room. Without a buffer, the size it would fill.
// 0 for anything else.
int GetObject(HGDIOBJ obj, int size, void* buffer);

// Bitmaps. 8-, 24- and 32-bit DIB sections; compatible bitmaps are 32-bit.
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, void* section,
                         DWORD offset);
HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);

// Pens and brushes. A pen of width 0 or 1 is cosmetic; wider pens draw with
// round caps and joins.
HPEN CreatePen(int style, int width, COLORREF color);
HBRUSH CreateSolidBrush(COLORREF color);
// A cosmetic pen (PS_SOLID or PS_NULL, width 1) or a geometric one: width
// pixels wide, drawn with a solid brush's colour, with its end cap and join;
// PS_USERSTYLE dashes it with the styleCount lengths (dash, gap, dash, ...;
// every repetition of the list starts with a dash; their sum above 0).
// Geometric pens draw lines as outlines centred on the top left corner of
// the pixels their points name: caps where a figure or a dash ends, joins where its
// segments meet, miter joins within the context's miter limit and bevelled
// beyond it. Null for anything else.
HPEN ExtCreatePen(DWORD style, DWORD width, const LOGBRUSH* brush, DWORD styleCount,
                  const DWORD* styles);
// The miter limit of a context (10 at creation): the longest miter, as a
// ratio to the pen width, that a miter join draws. A limit below 1 is
// refused. The old limit is stored when asked for.
BOOL SetMiterLimit(HDC hdc, float limit, float* old);
BOOL GetMiterLimit(HDC hdc, float* limit);

// Drawing. Lines leave out their last pixel; rectangles exclude right and
// bottom. A geometric pen strokes the polyline as one open figure.
BOOL Polyline(HDC hdc, const POINT* points, int count);

// Paths: between BeginPath and EndPath, MoveToEx starts a figure,
// PolylineTo adds lines from the current position and CloseFigure joins the
// figure's end to its start. StrokePath strokes the figures with the pen
// and discards the path; AbortPath discards it. Outside a path MoveToEx only
// moves the current position and PolylineTo draws as Polyline from it.
BOOL BeginPath(HDC hdc);
BOOL EndPath(HDC hdc);
BOOL AbortPath(HDC hdc);
BOOL StrokePath(HDC hdc);
BOOL MoveToEx(HDC hdc, int x, int y, POINT* old);
BOOL PolylineTo(HDC hdc, const POINT* points, DWORD count);
BOOL CloseFigure(HDC hdc);
int FillRect(HDC hdc, const RECT* rect, HBRUSH brush);
BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop);
BOOL DrawFocusRect(HDC hdc, const RECT* rect);
COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color);
COLORREF GetPixel(HDC hdc, int x, int y);

// Regions.
HRGN CreateRectRgn(int left, int top, int right, int bottom);
int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode);
BOOL PtInRegion(HRGN rgn, int x, int y);
int GetRgnBox(HRGN rgn, RECT* box);
DWORD GetRegionData(HRGN rgn, DWORD count, RGNDATA* data);
HRGN ExtCreateRegion(const XFORM* xform, DWORD count, const RGNDATA* data);

// Clipping of a device context (a copy of the region is kept).
int GetClipRgn(HDC hdc, HRGN rgn);
int SelectClipRgn(HDC hdc, HRGN rgn);
int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom);
// The smallest rectangle holding what the context may draw into (its
// bitmap, within the clip region), and what that area is: NULLREGION,
// SIMPLEREGION (the rectangle itself) or COMPLEXREGION; ERROR for a bad
// context.
int GetClipBox(HDC hdc, RECT* rect);

// The bounding rectangle a device context gathers while it is enabled: the
// pixels text output (ExtTextOutA) may have changed, within the bitmap and
// the clip region; other drawing leaves it as it is. SetBoundsRect resets
// it (DCB_RESET), adds a rectangle to it (DCB_ACCUMULATE), then enables or
// disables the gathering, and answers the state before the call (DCB_ENABLE
// or DCB_DISABLE, with DCB_SET when the rectangle was not empty, else
// DCB_RESET). GetBoundsRect copies it ({0, 0, 0, 0} when empty) and resets it
// with DCB_RESET; it answers DCB_SET or DCB_RESET. Both answer 0 for a bad
// context.
constexpr UINT DCB_RESET = 0x0001;
constexpr UINT DCB_ACCUMULATE = 0x0002;
constexpr UINT DCB_SET = DCB_RESET | DCB_ACCUMULATE;
constexpr UINT DCB_ENABLE = 0x0004;
constexpr UINT DCB_DISABLE = 0x0008;
UINT SetBoundsRect(HDC hdc, const RECT* rect, UINT flags);
UINT GetBoundsRect(HDC hdc, RECT* rect, UINT flags);

// Beyond Win32: the smallest rectangle holding every pixel of a bitmap that
// drawing, text output and block transfers changed since the bitmap was made
// or the rectangle reset ({0, 0, 0, 0} when none); GetBitmapChange copies it
// and resets it with DCB_RESET. Writes through a section's bits pointer are
// no part of it: their writer adds them with AddBitmapChange (clipped to the
// bitmap). A program that keeps one bitmap for pictures on a plain
// background restores only what the last picture drew. FALSE for a bad
// handle.
BOOL GetBitmapChange(HBITMAP bitmap, RECT* rect, UINT flags);
BOOL AddBitmapChange(HBITMAP bitmap, const RECT* rect);

// Block transfers between device contexts.
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop);
BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                int srcWidth, int srcHeight, DWORD rop);

// Blending a source over the destination: Dst = Src + Dst (255 - SrcAlpha)
// / 255. With AC_SRC_ALPHA the source is a 32-bit bitmap whose colours are
// premultiplied by the alpha in its fourth byte, else every source pixel
// takes the constant alpha; the constant also scales the per-pixel alpha.
// The source is stretched as by StretchBlt (sizes may not be negative).
struct BLENDFUNCTION {
    BYTE BlendOp;
    BYTE BlendFlags;
    BYTE SourceConstantAlpha;
    BYTE AlphaFormat;
};
constexpr BYTE AC_SRC_OVER = 0x00;
constexpr BYTE AC_SRC_ALPHA = 0x01;
BOOL AlphaBlend(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                int srcWidth, int srcHeight, BLENDFUNCTION blend);

// Number of live objects of a kind in the handle table (stock objects not
// counted); lets callers check that they release what they create.
std::size_t LiveObjectCount(HandleKind kind);

}  // namespace win
