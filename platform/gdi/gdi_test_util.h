// A memory device context with a bitmap of its own, for tests that draw
// through the graphics stand-in.
#pragma once

#include <cstdint>
#include <string>

#include "platform/gdi/gdi.h"

namespace win {

// Kinds of bitmap: DIB sections of 8 (grey palette), 24 or 32 bits, rows
// from the top or (bottomUp) from the bottom, or a compatible bitmap.
struct CanvasKind {
    int bitsPerPixel = 24;
    bool bottomUp = false;
    bool compatible = false;
};

// Cleared to white.
struct Canvas {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    std::uint8_t* bits = nullptr;  // none for a compatible bitmap
    int width, height;

    Canvas(int w, int h, int bpp = 24) : Canvas(w, h, CanvasKind{bpp}) {}
    Canvas(int w, int h, CanvasKind kind) : width(w), height(h) {
        dc = CreateCompatibleDC(nullptr);
        if (kind.compatible) {
            bitmap = CreateCompatibleBitmap(dc, w, h);
        } else {
            struct {
                BITMAPINFOHEADER h;
                RGBQUAD colors[256];
            } info{};
            info.h = {sizeof(BITMAPINFOHEADER),
                      w,
                      kind.bottomUp ? h : -h,
                      1,
                      WORD(kind.bitsPerPixel),
                      BI_RGB,
                      0,
                      0,
                      0,
                      0,
                      0};
            for (int i = 0; i < 256; ++i)
                info.colors[i] = {BYTE(i), BYTE(i), BYTE(i), 0};
            void* p = nullptr;
            bitmap = CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &p,
                                      nullptr, 0);
            bits = static_cast<std::uint8_t*>(p);
        }
        old = SelectObject(dc, bitmap);
        PatBlt(dc, 0, 0, w, h, WHITENESS);
    }
    ~Canvas() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // The pixel whatever the clip region.
    COLORREF pixel(int x, int y) const {
        SelectClipRgn(dc, nullptr);
        return GetPixel(dc, x, y);
    }
    // '.' white, '#' black, '?' anything else; rows joined by '|'.
    std::string picture() const {
        std::string s;
        for (int y = 0; y < height; ++y) {
            if (y)
                s += '|';
            for (int x = 0; x < width; ++x) {
                COLORREF c = pixel(x, y);
                s += c == 0xFFFFFF ? '.' : c == 0 ? '#' : '?';
            }
        }
        return s;
    }
};

}  // namespace win
