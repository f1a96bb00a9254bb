#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace win {
namespace {

void drawLine(HDC dc, std::vector<POINT> pts, int width = 1, COLORREF color = 0) {
    HPEN pen = CreatePen(PS_SOLID, width, color);
    HGDIOBJ old = SelectObject(dc, pen);
    EXPECT_TRUE(Polyline(dc, pts.data(), int(pts.size())));
    SelectObject(dc, old);
    EXPECT_TRUE(DeleteObject(pen));
}

TEST(GdiLinesTest, CosmeticPenLeavesOutTheEndPixel) {
    struct Case {
        std::vector<POINT> pts;
        const char* picture;
    } cases[] = {
        {{{0, 1}, {4, 1}}, ".....|####.|.....|.....|....."},
        {{{4, 1}, {0, 1}}, ".....|.####|.....|.....|....."},
        {{{1, 0}, {1, 3}}, ".#...|.#...|.#...|.....|....."},
        {{{1, 4}, {1, 0}}, ".....|.#...|.#...|.#...|.#..."},
        {{{0, 0}, {3, 3}}, "#....|.#...|..#..|.....|....."},
        {{{0, 0}, {4, 2}}, "##...|..##.|.....|.....|....."},
        {{{0, 0}, {2, 0}, {2, 2}}, "###..|..#..|.....|.....|....."},
        {{{2, 2}, {2, 2}}, ".....|.....|.....|.....|....."},
        // Far outside: only the visible part is walked.
        {{{-2000000000, 3}, {2000000000, 3}}, ".....|.....|.....|#####|....."},
        {{{-1000000000, -1000000000}, {1000000000, 1000000000}}, "#....|.#...|..#..|...#.|....#"},
    };
    for (const Case& c : cases) {
        Canvas cv(5, 5);
        drawLine(cv.dc, c.pts);
        EXPECT_EQ(cv.picture(), c.picture) << c.pts[0].x << "," << c.pts[0].y;
    }
}

TEST(GdiLinesTest, WidePenHasRoundCaps) {
    Canvas cv(11, 9);
    drawLine(cv.dc, {{3, 4}, {7, 4}}, 5);
    EXPECT_EQ(cv.picture(),
              "...........|...........|..#######..|.#########.|.#########.|.#########.|"
              "..#######..|...........|...........");
    Canvas even(8, 4);
    drawLine(even.dc, {{2, 2}, {6, 2}}, 2);
    EXPECT_EQ(even.picture(), "........|.######.|.######.|........");
}

TEST(GdiFillTest, RectanglesAndRops) {
    Canvas cv(6, 4);
    HBRUSH black = CreateSolidBrush(0);
    RECT r{1, 1, 3, 3};
    EXPECT_TRUE(FillRect(cv.dc, &r, black));
    EXPECT_EQ(cv.picture(), "......|.##...|.##...|......");
    // Negative sizes extend left and up; DSTINVERT flips what is there.
    EXPECT_TRUE(PatBlt(cv.dc, 4, 3, -3, -2, DSTINVERT));
    EXPECT_EQ(cv.picture(), "......|...#..|...#..|......");
    EXPECT_FALSE(PatBlt(cv.dc, 0, 0, 1, 1, SRCCOPY));  // needs a source
    HGDIOBJ old = SelectObject(cv.dc, black);
    EXPECT_TRUE(PatBlt(cv.dc, 5, 0, 1, 4, PATCOPY));
    SelectObject(cv.dc, old);
    EXPECT_EQ(cv.picture(), ".....#|...#.#|...#.#|.....#");
    DeleteObject(black);
}

// Fills of whole rows, the bitmap's rows with and without padding, from
// the top or the bottom: the rows asked for take the colour, the others and
// the padding stay. A clip region is kept to.
TEST(GdiFillTest, WholeRowsInEveryKindOfBitmap) {
    const CanvasKind kinds[] = {{8}, {24}, {24, true}, {32}, {32, true}, {32, false, true}};
    for (const CanvasKind& kind : kinds) {
        for (const int width : {4, 5}) {
            for (const bool clipped : {false, true}) {
                Canvas cv(width, 6, kind);
                if (clipped)
                    IntersectClipRect(cv.dc, 0, 0, width, 2);
                HBRUSH brush = CreateSolidBrush(RGB(0x40, 0x40, 0x40));
                const RECT rows{-2, 1, width + 3, 4};
                EXPECT_TRUE(FillRect(cv.dc, &rows, brush));
                HGDIOBJ old = SelectObject(cv.dc, brush);
                EXPECT_TRUE(PatBlt(cv.dc, 0, 5, width, 1, BLACKNESS));
                SelectObject(cv.dc, old);
                DeleteObject(brush);
                for (int y = 0; y < 6; ++y) {
                    const bool filled = y >= 1 && y < 4 && (!clipped || y < 2);
                    const COLORREF expected =
                        filled ? RGB(0x40, 0x40, 0x40) : y == 5 && !clipped ? 0 : 0xFFFFFF;
                    for (int x = 0; x < width; ++x)
                        EXPECT_EQ(cv.pixel(x, y), expected) << kind.bitsPerPixel << " " << width;
                }
                if (kind.bitsPerPixel == 24 && width == 5) {
                    for (int y = 0; y < 6; ++y)
                        EXPECT_EQ(cv.bits[y * 16 + 15], 0) << y;  // 15 bytes a row, 1 padding
                }
            }
        }
    }
}

TEST(GdiFillTest, FocusRectIsAnInvertedDottedFrame) {
    Canvas cv(6, 5);
    RECT r{0, 0, 6, 5};
    EXPECT_TRUE(DrawFocusRect(cv.dc, &r));
    std::string p = cv.picture();
    EXPECT_EQ(p, "#.#.#.|.....#|#.....|.....#|#.#.#.");
    // Drawing it again restores the page.
    DrawFocusRect(cv.dc, &r);
    EXPECT_EQ(cv.picture(), "......|......|......|......|......");
}

TEST(GdiPixelsTest, ColoursAndInvalidOutsideTheClip) {
    Canvas cv(4, 4);
    EXPECT_EQ(SetPixel(cv.dc, 1, 2, RGB(10, 20, 30)), RGB(10, 20, 30));
    EXPECT_EQ(GetPixel(cv.dc, 1, 2), RGB(10, 20, 30));
    // Bytes in the DIB are blue, green, red.
    EXPECT_EQ(cv.bits[2 * 12 + 3], 30);
    EXPECT_EQ(cv.bits[2 * 12 + 5], 10);
    EXPECT_EQ(GetPixel(cv.dc, 4, 0), CLR_INVALID);
    EXPECT_EQ(SetPixel(cv.dc, -1, 0, 0), CLR_INVALID);
    IntersectClipRect(cv.dc, 0, 0, 2, 2);
    EXPECT_EQ(GetPixel(cv.dc, 1, 2), CLR_INVALID);
    EXPECT_EQ(SetPixel(cv.dc, 3, 3, 0), CLR_INVALID);
    EXPECT_EQ(GetPixel(cv.dc, 1, 1), 0xFFFFFFu);
}

TEST(GdiPixelsTest, GreyPaletteSectionStoresNearestEntry) {
    Canvas cv(2, 1, 8);
    EXPECT_EQ(SetPixel(cv.dc, 0, 0, RGB(100, 100, 102)), RGB(101, 101, 101));
    EXPECT_EQ(cv.bits[0], 101);
    EXPECT_EQ(GetDeviceCaps(cv.dc, BITSPIXEL), 8);
}

std::vector<RECT> rectsOf(HRGN rgn) {
    DWORD n = GetRegionData(rgn, 0, nullptr);
    std::vector<std::uint8_t> buf(n);
    EXPECT_EQ(GetRegionData(rgn, n, reinterpret_cast<RGNDATA*>(buf.data())), n);
    RGNDATAHEADER h;
    std::memcpy(&h, buf.data(), sizeof h);
    std::vector<RECT> out(h.nCount);
    if (h.nCount)
        std::memcpy(out.data(), buf.data() + sizeof h, h.nCount * sizeof(RECT));
    return out;
}

TEST(GdiRegionsTest, CombineModes) {
    // A = (0,0)-(4,4), B = (2,2)-(6,6).
    struct Case {
        int mode;
        int result;
        std::vector<RECT> rects;
    } cases[] = {
        {RGN_AND, SIMPLEREGION, {{2, 2, 4, 4}}},
        {RGN_OR, COMPLEXREGION, {{0, 0, 4, 2}, {0, 2, 6, 4}, {2, 4, 6, 6}}},
        {RGN_XOR, COMPLEXREGION, {{0, 0, 4, 2}, {0, 2, 2, 4}, {4, 2, 6, 4}, {2, 4, 6, 6}}},
        {RGN_DIFF, COMPLEXREGION, {{0, 0, 4, 2}, {0, 2, 2, 4}}},
        {RGN_COPY, SIMPLEREGION, {{0, 0, 4, 4}}},
    };
    HRGN a = CreateRectRgn(0, 0, 4, 4), b = CreateRectRgn(2, 2, 6, 6);
    for (const Case& c : cases) {
        HRGN d = CreateRectRgn(0, 0, 0, 0);
        EXPECT_EQ(CombineRgn(d, a, b, c.mode), c.result) << c.mode;
        EXPECT_EQ(rectsOf(d), c.rects) << c.mode;
        DeleteObject(d);
    }
    // Results that cancel out or touch merge back.
    HRGN d = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(CombineRgn(d, a, a, RGN_XOR), NULLREGION);
    HRGN right = CreateRectRgn(4, 0, 8, 4);
    EXPECT_EQ(CombineRgn(d, a, right, RGN_OR), SIMPLEREGION);
    EXPECT_EQ(rectsOf(d), (std::vector<RECT>{{0, 0, 8, 4}}));
    EXPECT_EQ(CombineRgn(d, a, b, 9), ERROR);
    EXPECT_TRUE(PtInRegion(a, 3, 3));
    EXPECT_FALSE(PtInRegion(a, 4, 3));
    for (HRGN r : {a, b, d, right})
        DeleteObject(r);
}

TEST(GdiRegionsTest, RegionDataRoundTripAndMalformedData) {
    HRGN a = CreateRectRgn(0, 0, 4, 4), b = CreateRectRgn(2, 2, 6, 6);
    CombineRgn(a, a, b, RGN_XOR);
    DWORD n = GetRegionData(a, 0, nullptr);
    EXPECT_EQ(n, 32u + 4 * 16);
    std::vector<std::uint8_t> buf(n);
    EXPECT_EQ(GetRegionData(a, n - 1, reinterpret_cast<RGNDATA*>(buf.data())), 0u);
    ASSERT_EQ(GetRegionData(a, n, reinterpret_cast<RGNDATA*>(buf.data())), n);
    HRGN c = ExtCreateRegion(nullptr, n, reinterpret_cast<RGNDATA*>(buf.data()));
    ASSERT_TRUE(c);
    EXPECT_EQ(rectsOf(c), rectsOf(a));
    RECT box;
    EXPECT_EQ(GetRgnBox(c, &box), COMPLEXREGION);
    EXPECT_EQ(box, (RECT{0, 0, 6, 6}));
    // A count larger than the data, or a wrong header, is refused.
    EXPECT_FALSE(ExtCreateRegion(nullptr, n - 16, reinterpret_cast<RGNDATA*>(buf.data())));
    buf[4] = 2;
    EXPECT_FALSE(ExtCreateRegion(nullptr, n, reinterpret_cast<RGNDATA*>(buf.data())));
    EXPECT_FALSE(ExtCreateRegion(nullptr, 8, reinterpret_cast<RGNDATA*>(buf.data())));
    for (HRGN r : {a, b, c})
        DeleteObject(r);
}

TEST(GdiRegionsTest, ClipRegionOfADeviceContext) {
    Canvas cv(6, 6);
    HRGN probe = CreateRectRgn(0, 0, 1, 1);
    EXPECT_EQ(GetClipRgn(cv.dc, probe), 0);
    EXPECT_EQ(GetClipRgn(cv.dc, nullptr), -1);
    EXPECT_EQ(GetClipRgn(HDC::fromValue(12345), probe), -1);
    HRGN r = CreateRectRgn(1, 1, 3, 3);
    EXPECT_EQ(SelectClipRgn(cv.dc, r), SIMPLEREGION);
    DeleteObject(r);  // the context keeps its own copy
    EXPECT_EQ(GetClipRgn(cv.dc, probe), 1);
    EXPECT_EQ(rectsOf(probe), (std::vector<RECT>{{1, 1, 3, 3}}));
    EXPECT_EQ(IntersectClipRect(cv.dc, 2, 0, 6, 6), SIMPLEREGION);
    GetClipRgn(cv.dc, probe);
    EXPECT_EQ(rectsOf(probe), (std::vector<RECT>{{2, 1, 3, 3}}));
    EXPECT_EQ(IntersectClipRect(cv.dc, 5, 5, 6, 6), NULLREGION);
    EXPECT_EQ(SelectClipRgn(cv.dc, nullptr), SIMPLEREGION);
    EXPECT_EQ(GetClipRgn(cv.dc, probe), 0);
    // Without a clip region, the whole surface is intersected.
    EXPECT_EQ(IntersectClipRect(cv.dc, -5, -5, 2, 2), SIMPLEREGION);
    GetClipRgn(cv.dc, probe);
    EXPECT_EQ(rectsOf(probe), (std::vector<RECT>{{0, 0, 2, 2}}));
    DeleteObject(probe);
}

// The clip box: the bitmap without a clip region, else the clip within the
// bitmap, simple when that is one rectangle (bands cut alike by the
// bitmap's edge too).
TEST(GdiRegionsTest, ClipBoxWithinTheBitmap) {
    const struct {
        std::vector<RECT> clip;  // joined; none: no clip region
        int kind;
        RECT box;
    } cases[] = {
        {{}, SIMPLEREGION, {0, 0, 8, 6}},
        {{{2, 1, 5, 4}}, SIMPLEREGION, {2, 1, 5, 4}},
        {{{-3, -2, 20, 20}}, SIMPLEREGION, {0, 0, 8, 6}},
        {{{10, 1, 12, 4}}, NULLREGION, {0, 0, 0, 0}},
        {{{1, 1, 3, 3}, {5, 1, 7, 3}}, COMPLEXREGION, {1, 1, 7, 3}},
        {{{1, 0, 3, 2}, {1, 4, 3, 6}}, COMPLEXREGION, {1, 0, 3, 6}},
        {{{1, 0, 3, 3}, {2, 3, 4, 6}}, COMPLEXREGION, {1, 0, 4, 6}},
        // Two bands that differ beyond the right edge alone.
        {{{1, 0, 9, 3}, {1, 3, 12, 6}}, SIMPLEREGION, {1, 0, 8, 6}},
    };
    for (const auto& c : cases) {
        Canvas cv(8, 6);
        if (!c.clip.empty()) {
            HRGN all = CreateRectRgn(0, 0, 0, 0);
            for (const RECT& r : c.clip) {
                HRGN part = CreateRectRgn(r.left, r.top, r.right, r.bottom);
                CombineRgn(all, all, part, RGN_OR);
                DeleteObject(part);
            }
            SelectClipRgn(cv.dc, all);
            DeleteObject(all);
        }
        RECT box{9, 9, 9, 9};
        EXPECT_EQ(GetClipBox(cv.dc, &box), c.kind) << c.clip.size();
        EXPECT_EQ(box, c.box) << c.clip.size();
    }
    RECT box{};
    EXPECT_EQ(GetClipBox(HDC::fromValue(12345), &box), ERROR);
}

// Copies between 24- and 32-bit bitmaps keep every colour, either way.
TEST(GdiBlitTest, CopiesBetween24And32Bits) {
    for (const int from : {24, 32}) {
        Canvas src(4, 3, from);
        for (int i = 0; i < 12; ++i)
            SetPixel(src.dc, i % 4, i / 4, RGB(BYTE(20 * i), BYTE(255 - 7 * i), BYTE(i * i)));
        Canvas dst(6, 5, from == 24 ? 32 : 24);
        EXPECT_TRUE(BitBlt(dst.dc, 1, 2, 4, 3, src.dc, 0, 0, SRCCOPY));
        for (int i = 0; i < 12; ++i)
            EXPECT_EQ(GetPixel(dst.dc, 1 + i % 4, 2 + i / 4), GetPixel(src.dc, i % 4, i / 4)) << i;
        EXPECT_EQ(GetPixel(dst.dc, 0, 2), RGB(255, 255, 255));
        EXPECT_EQ(GetPixel(dst.dc, 5, 4), RGB(255, 255, 255));
    }
}

TEST(GdiBlitTest, CopiesConvertAndClip) {
    Canvas src(3, 2, 8);
    // Grey palette: index i is (i, i, i).
    const std::uint8_t grey[] = {0, 128, 255};
    for (int x = 0; x < 3; ++x) {
        src.bits[x] = grey[x];
        src.bits[4 + x] = 0;
    }
    struct Case {
        int x, y, w, h, sx, sy;
        DWORD rop;
        bool clip;
        const char* picture;
    } cases[] = {
        {1, 1, 3, 2, 0, 0, SRCCOPY, false, ".....|.#?..|.###.|....."},
        // Parts outside the source are left alone.
        {0, 0, 5, 4, -1, -1, SRCCOPY, false, ".....|.#?..|.###.|....."},
        {1, 1, 3, 2, 0, 0, SRCCOPY, true, ".....|.....|..##.|....."},
        // White OR anything stays white; black is kept where the page was.
        {1, 1, 3, 2, 0, 0, SRCPAINT, false, ".....|.....|.....|....."},
    };
    for (const Case& c : cases) {
        Canvas dst(5, 4);
        if (c.clip)
            IntersectClipRect(dst.dc, 2, 2, 5, 4);
        EXPECT_TRUE(BitBlt(dst.dc, c.x, c.y, c.w, c.h, src.dc, c.sx, c.sy, c.rop));
        EXPECT_EQ(dst.picture(), c.picture);
        if (c.x == 1 && c.rop == SRCCOPY && !c.clip) {
            EXPECT_EQ(GetPixel(dst.dc, 2, 1), RGB(128, 128, 128));
        }
    }
    Canvas dst(5, 4);
    PatBlt(dst.dc, 0, 0, 5, 4, BLACKNESS);
    EXPECT_TRUE(BitBlt(dst.dc, 1, 1, 3, 2, src.dc, 0, 0, SRCPAINT));
    EXPECT_EQ(dst.picture(), "#####|##?.#|#####|#####");
}

// AlphaBlend with per-pixel alpha over 24- and 32-bit destinations: every
// pair of alpha and destination byte, under source bytes of every value,
// gives min(255, source + (destination * (255 - alpha) + 127) / 255), the
// destination's fourth byte kept; rows of 257 pixels end past whole groups
// of four.
TEST(GdiBlitTest, AlphaBlendEveryAlphaOverEveryByte) {
    const int w = 257, h = 256;
    Canvas src(w, h, 32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = src.bits + (std::size_t(y) * w + x) * 4;
            for (int ch = 0; ch < 3; ++ch)
                p[ch] = std::uint8_t((x * 7 + y * 13 + ch * 101) % 256);
            p[3] = std::uint8_t(y);
        }
    }
    for (const int bpp : {24, 32}) {
        Canvas dst(w, h, bpp);
        const std::size_t stride = (std::size_t(w) * (bpp / 8) + 3) & ~std::size_t(3);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w * (bpp / 8); ++x)
                dst.bits[std::size_t(y) * stride + x] = std::uint8_t(x / (bpp / 8) + x % 4 * 50);
        }
        std::vector<std::uint8_t> before(dst.bits, dst.bits + stride * h);
        ASSERT_TRUE(AlphaBlend(dst.dc, 0, 0, w, h, src.dc, 0, 0, w, h,
                               BLENDFUNCTION{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA}));
        int wrong = 0;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const std::uint8_t* in = src.bits + (std::size_t(y) * w + x) * 4;
                const std::size_t at = std::size_t(y) * stride + std::size_t(x) * (bpp / 8);
                for (int ch = 0; ch < bpp / 8; ++ch) {
                    const unsigned d = before[at + ch];
                    const unsigned want =
                        ch == 3 ? d : std::min(255u, in[ch] + (d * (255u - in[3]) + 127) / 255);
                    wrong += dst.bits[at + ch] != want;
                }
            }
        }
        EXPECT_EQ(wrong, 0) << bpp;
    }
}

// AlphaBlend: a premultiplied 32-bit source over the page, per-pixel alpha
// scaled by the constant; without per-pixel alpha the constant alone.
TEST(GdiBlitTest, AlphaBlendOverTheDestination) {
    Canvas src(3, 1, 32);
    const std::uint8_t pixels[12] = {
        0, 0, 200, 255,  // opaque red 200
        0, 0, 0, 0,      // transparent
        0, 64, 0, 128,   // half-covering green, premultiplied
    };
    std::memcpy(src.bits, pixels, sizeof pixels);
    const struct {
        BYTE constant, format;
        COLORREF a, b, c;
    } cases[] = {
        {255, AC_SRC_ALPHA, RGB(200, 0, 0), RGB(0, 0, 255), RGB(0, 64 + 0, 127)},
        {128, AC_SRC_ALPHA, RGB(100, 0, 127), RGB(0, 0, 255), RGB(0, 32, 191)},
        {128, 0, RGB(100, 0, 127), RGB(0, 0, 127), RGB(0, 32, 127)},
    };
    for (const auto& c : cases) {
        Canvas dst(3, 1);
        PatBlt(dst.dc, 0, 0, 3, 1, BLACKNESS);
        for (int x = 0; x < 3; ++x)
            SetPixel(dst.dc, x, 0, RGB(0, 0, 255));
        EXPECT_TRUE(AlphaBlend(dst.dc, 0, 0, 3, 1, src.dc, 0, 0, 3, 1,
                               BLENDFUNCTION{AC_SRC_OVER, 0, c.constant, c.format}));
        EXPECT_EQ(GetPixel(dst.dc, 0, 0), c.a) << int(c.constant) << " " << int(c.format);
        EXPECT_EQ(GetPixel(dst.dc, 1, 0), c.b) << int(c.constant) << " " << int(c.format);
        EXPECT_EQ(GetPixel(dst.dc, 2, 0), c.c) << int(c.constant) << " " << int(c.format);
    }
    // Per-pixel alpha needs a 32-bit source; negative sizes are refused.
    Canvas grey(3, 1, 8);
    Canvas dst(3, 1);
    EXPECT_FALSE(AlphaBlend(dst.dc, 0, 0, 3, 1, grey.dc, 0, 0, 3, 1,
                            BLENDFUNCTION{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA}));
    EXPECT_FALSE(AlphaBlend(dst.dc, 3, 0, -3, 1, src.dc, 0, 0, 3, 1,
                            BLENDFUNCTION{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA}));
}

TEST(GdiBlitTest, StretchScalesAndMirrors) {
    Canvas src(2, 1);
    SetPixel(src.dc, 0, 0, 0);
    Canvas dst(4, 2);
    EXPECT_TRUE(StretchBlt(dst.dc, 0, 0, 4, 2, src.dc, 0, 0, 2, 1, SRCCOPY));
    EXPECT_EQ(dst.picture(), "##..|##..");
    EXPECT_TRUE(StretchBlt(dst.dc, 4, 0, -4, 1, src.dc, 0, 0, 2, 1, SRCCOPY));
    EXPECT_EQ(dst.picture(), "..##|##..");
}

TEST(GdiBlitTest, OverlappingCopyWithinOneBitmap) {
    Canvas cv(4, 4);
    SetPixel(cv.dc, 0, 0, 0);
    SetPixel(cv.dc, 1, 1, 0);
    EXPECT_TRUE(BitBlt(cv.dc, 1, 1, 3, 3, cv.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(cv.picture(), "#...|.#..|..#.|....");
}

TEST(GdiHandlesTest, LookupRefusesStaleAndMistypedHandles) {
    std::size_t pens = LiveObjectCount(HandleKind::Pen);
    HPEN pen = CreatePen(PS_SOLID, 1, 0);
    EXPECT_EQ(LiveObjectCount(HandleKind::Pen), pens + 1);
    // The pen's number used as a brush is not a brush.
    RECT r{0, 0, 1, 1};
    Canvas cv(2, 2);
    EXPECT_EQ(FillRect(cv.dc, &r, HBRUSH::fromValue(pen.value)), 0);
    HGDIOBJ old = SelectObject(cv.dc, pen);
    EXPECT_FALSE(DeleteObject(pen));  // still selected
    SelectObject(cv.dc, old);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_FALSE(DeleteObject(pen));
    EXPECT_FALSE(SelectObject(cv.dc, pen));
    EXPECT_EQ(LiveObjectCount(HandleKind::Pen), pens);
    // A slot reused by a new object does not answer to the old number.
    HPEN again = CreatePen(PS_SOLID, 1, 0);
    EXPECT_NE(again.value, pen.value);
    DeleteObject(again);
    // A bitmap can be selected into one context only.
    HDC other = CreateCompatibleDC(cv.dc);
    EXPECT_FALSE(SelectObject(other, cv.bitmap));
    EXPECT_FALSE(DeleteObject(cv.bitmap));
    EXPECT_TRUE(DeleteDC(other));
    EXPECT_FALSE(DeleteDC(other));
    EXPECT_EQ(GetPixel(other, 0, 0), CLR_INVALID);
}

TEST(GdiScreenTest, HeadlessScreenGivesContextsOfThirtyTwoBits) {
    const std::size_t dcs = LiveObjectCount(HandleKind::DC);
    EXPECT_FALSE(GetDC(7));  // there are no windows
    HDC screen = GetDC(0);
    ASSERT_TRUE(screen);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
    EXPECT_EQ(GetDeviceCaps(screen, HORZRES), kScreenWidth);
    EXPECT_EQ(GetDeviceCaps(screen, VERTRES), kScreenHeight);
    // Two contexts on the one screen see the same pixels.
    HDC second = GetDC(0);
    EXPECT_NE(second, screen);
    EXPECT_EQ(SetPixel(screen, 3, 4, RGB(1, 2, 3)), RGB(1, 2, 3));
    EXPECT_EQ(GetPixel(second, 3, 4), RGB(1, 2, 3));
    // What the engine makes from it: a memory context and a bitmap of 32 bits.
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 5, 2);
    ASSERT_TRUE(memory && bitmap);
    HGDIOBJ old = SelectObject(memory, bitmap);
    EXPECT_EQ(GetDeviceCaps(memory, BITSPIXEL), 32);
    EXPECT_EQ(GetPixel(memory, 4, 1), 0u);
    SelectObject(memory, old);
    // A screen context is released, not deleted; a memory one the other way.
    EXPECT_FALSE(DeleteDC(screen));
    EXPECT_EQ(ReleaseDC(0, memory), 0);
    EXPECT_EQ(ReleaseDC(0, screen), 1);
    EXPECT_EQ(ReleaseDC(0, screen), 0);
    EXPECT_EQ(ReleaseDC(0, second), 1);
    EXPECT_TRUE(DeleteDC(memory));
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_EQ(LiveObjectCount(HandleKind::DC), dcs);
}

TEST(GdiBitmapsTest, SectionsAndCompatibleBitmaps) {
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 32);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 4, 2, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    // Rows from the bottom when the height is positive.
    HBITMAP up = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_TRUE(up);
    HGDIOBJ old = SelectObject(dc, up);
    SetPixel(dc, 0, 0, RGB(1, 2, 3));
    EXPECT_EQ(static_cast<std::uint8_t*>(bits)[12], 3);  // stride 12, second row in memory
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 24);
    // What the context holds, and what a section tells of itself.
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), HGDIOBJ(up));
    EXPECT_EQ(GetObject(up, 0, nullptr), int(sizeof(DIBSECTION)));
    DIBSECTION ds{};
    EXPECT_EQ(GetObject(up, sizeof ds, &ds), int(sizeof ds));
    EXPECT_EQ(ds.dsBm.bmBits, bits);
    EXPECT_EQ(ds.dsBm.bmWidth, 4);
    EXPECT_EQ(ds.dsBm.bmHeight, 2);
    EXPECT_EQ(ds.dsBm.bmWidthBytes, 12);
    EXPECT_EQ(ds.dsBm.bmBitsPixel, 24);
    EXPECT_EQ(ds.dsBmih.biHeight, 2);
    HBITMAP compatible = CreateCompatibleBitmap(dc, 3, 3);
    ASSERT_TRUE(compatible);
    SelectObject(dc, compatible);
    EXPECT_EQ(GetPixel(dc, 2, 2), 0u);
    EXPECT_EQ(GetPixel(dc, 3, 2), CLR_INVALID);
    // A compatible bitmap keeps its pixels to itself.
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), HGDIOBJ(compatible));
    EXPECT_EQ(GetObject(compatible, sizeof ds, &ds), int(sizeof(BITMAP)));
    EXPECT_EQ(ds.dsBm.bmBits, nullptr);
    EXPECT_EQ(ds.dsBm.bmBitsPixel, 32);
    EXPECT_EQ(GetObject(compatible, 2, &ds), 0);
    EXPECT_EQ(GetObject(GetCurrentObject(dc, OBJ_PEN), sizeof ds, &ds), 0);
    EXPECT_EQ(GetCurrentObject(dc, 99), HGDIOBJ());
    SelectObject(dc, old);
    DeleteObject(up);
    DeleteObject(compatible);
    // Refused: zero or absurd sizes, unknown depths.
    struct Bad {
        LONG w, h;
        WORD bpp;
    } bad[] = {{0, 4, 24}, {4, 0, 24}, {1 << 30, 1 << 30, 24}, {4, 4, 16}, {-4, 4, 24}};
    for (const Bad& b : bad) {
        info.bmiHeader.biWidth = b.w;
        info.bmiHeader.biHeight = b.h;
        info.bmiHeader.biBitCount = b.bpp;
        EXPECT_FALSE(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        EXPECT_EQ(bits, nullptr);
    }
    DeleteDC(dc);
}

// Every kind of write adds the pixels it changed to the bitmap's changed
// rectangle, clipped as the write is; reading leaves it as it is.
TEST(GdiBitmapsTest, ChangedRectangleHoldsWhatEveryWriteChanged) {
    Canvas src(4, 4, 32);
    Canvas grey(4, 4, 8);
    const struct {
        const char* name;
        void (*write)(HDC dc, HDC src, HDC grey);
        RECT changed;
    } cases[] = {
        {"FillRect",
         [](HDC dc, HDC, HDC) {
             const RECT r{2, 3, 7, 9};
             HBRUSH b = CreateSolidBrush(0);
             FillRect(dc, &r, b);
             DeleteObject(b);
         },
         {2, 3, 7, 9}},
        {"PatBlt within a clip",
         [](HDC dc, HDC, HDC) {
             IntersectClipRect(dc, 5, 6, 10, 8);
             PatBlt(dc, 0, 0, 20, 20, DSTINVERT);
         },
         {5, 6, 10, 8}},
        {"SetPixel", [](HDC dc, HDC, HDC) { SetPixel(dc, 4, 6, 0); }, {4, 6, 5, 7}},
        {"line",
         [](HDC dc, HDC, HDC) {
             drawLine(dc, {{1, 10}, {6, 10}});
         },
         {1, 10, 6, 11}},
        {"BitBlt",
         [](HDC dc, HDC src, HDC) { BitBlt(dc, 3, 4, 4, 2, src, 0, 0, SRCCOPY); },
         {3, 4, 7, 6}},
        {"BitBlt of a palette",
         [](HDC dc, HDC, HDC grey) { BitBlt(dc, 18, 18, 4, 4, grey, 0, 0, SRCCOPY); },
         {18, 18, 20, 20}},
        {"StretchBlt",
         [](HDC dc, HDC src, HDC) { StretchBlt(dc, 0, 12, 8, 2, src, 0, 0, 4, 4, SRCAND); },
         {0, 12, 8, 14}},
        {"AlphaBlend",
         [](HDC dc, HDC src, HDC) {
             AlphaBlend(dc, 9, 1, 2, 3, src, 0, 0, 2, 3,
                        BLENDFUNCTION{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA});
         },
         {9, 1, 11, 4}},
        {"AlphaBlend with a constant",
         [](HDC dc, HDC src, HDC) {
             AlphaBlend(dc, 1, 1, 2, 2, src, 0, 0, 4, 4, BLENDFUNCTION{AC_SRC_OVER, 0, 128, 0});
         },
         {1, 1, 3, 3}},
        {"reading",
         [](HDC dc, HDC src, HDC) {
             GetPixel(dc, 1, 1);
             BitBlt(src, 0, 0, 4, 4, dc, 0, 0, SRCCOPY);
         },
         {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        Canvas cv(20, 20, 32);
        RECT r{};
        ASSERT_TRUE(GetBitmapChange(cv.bitmap, &r, DCB_RESET));
        EXPECT_EQ(r, (RECT{0, 0, 20, 20})) << c.name;  // the clear
        c.write(cv.dc, src.dc, grey.dc);
        ASSERT_TRUE(GetBitmapChange(cv.bitmap, &r, 0));
        EXPECT_EQ(r, c.changed) << c.name;
    }

    // Writes through the bits are added by hand, clipped to the bitmap;
    // a reset empties the rectangle.
    Canvas cv(20, 20, 32);
    RECT r{};
    GetBitmapChange(cv.bitmap, &r, DCB_RESET);
    const RECT a{-5, 2, 3, 4}, b{15, 10, 30, 25}, empty{6, 6, 6, 9};
    EXPECT_TRUE(AddBitmapChange(cv.bitmap, &a));
    EXPECT_TRUE(AddBitmapChange(cv.bitmap, &empty));
    EXPECT_TRUE(GetBitmapChange(cv.bitmap, &r, DCB_RESET));
    EXPECT_EQ(r, (RECT{0, 2, 3, 4}));
    EXPECT_TRUE(AddBitmapChange(cv.bitmap, &b));
    EXPECT_TRUE(GetBitmapChange(cv.bitmap, &r, DCB_RESET));
    EXPECT_EQ(r, (RECT{15, 10, 20, 20}));
    EXPECT_TRUE(GetBitmapChange(cv.bitmap, &r, 0));
    EXPECT_EQ(r, (RECT{0, 0, 0, 0}));
    EXPECT_FALSE(GetBitmapChange(HBITMAP(), &r, 0));
    EXPECT_FALSE(GetBitmapChange(cv.bitmap, nullptr, 0));
    EXPECT_FALSE(AddBitmapChange(HBITMAP(), &a));
}

}  // namespace
}  // namespace win
