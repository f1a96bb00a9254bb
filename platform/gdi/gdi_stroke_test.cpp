#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_test_util.h"

namespace win {
namespace {

HPEN geometricPen(DWORD style, DWORD width, const std::vector<DWORD>& dashes) {
    const LOGBRUSH brush{BS_SOLID, 0, 0};
    if (!dashes.empty())
        style |= PS_USERSTYLE;
    return ExtCreatePen(PS_GEOMETRIC | style, width, &brush, DWORD(dashes.size()),
                        dashes.empty() ? nullptr : dashes.data());
}

// Strokes the points as one figure of a path (closed when asked) with the
// pen and answers the picture.
std::string stroke(Canvas& cv, HPEN pen, const std::vector<POINT>& pts, bool closed) {
    HGDIOBJ old = SelectObject(cv.dc, pen);
    EXPECT_TRUE(BeginPath(cv.dc));
    EXPECT_TRUE(MoveToEx(cv.dc, pts[0].x, pts[0].y, nullptr));
    EXPECT_TRUE(PolylineTo(cv.dc, pts.data() + 1, DWORD(pts.size() - 1)));
    if (closed) {
        EXPECT_TRUE(CloseFigure(cv.dc));
    }
    EXPECT_TRUE(EndPath(cv.dc));
    EXPECT_TRUE(StrokePath(cv.dc));
    SelectObject(cv.dc, old);
    return cv.picture();
}

// The outline of a geometric pen on a 10 x 8 canvas: its points are pixel
// corners, and a pixel is inked when its centre lies inside (on a left or
// top edge counts, on a right or bottom one not).
TEST(GdiGeometricPenTest, CapsJoinsAndDashes) {
    const std::vector<POINT> bar = {{3, 4}, {7, 4}}, corner = {{1, 6}, {6, 6}, {6, 1}},
                             box = {{2, 2}, {7, 2}, {7, 6}, {2, 6}},
                             boxBack = {{2, 2}, {7, 2}, {7, 6}, {2, 6}, {2, 2}},
                             row = {{0, 3}, {10, 3}}, bend = {{1, 2}, {5, 2}, {5, 7}},
                             dots = {{1, 3}, {10, 3}}, point = {{5, 4}, {5, 4}};
    constexpr DWORD flat = PS_ENDCAP_FLAT, square = PS_ENDCAP_SQUARE, round = PS_ENDCAP_ROUND;
    const struct {
        const char* what;
        DWORD style;
        DWORD width;
        std::vector<DWORD> dashes;
        const std::vector<POINT>& pts;
        bool closed;
        float miterLimit;
        const char* picture;
    } cases[] = {
        {"flat caps end at the points",
         flat,
         4,
         {},
         bar,
         false,
         10,
         "..........|..........|...####...|...####...|...####...|...####...|..........|.........."},
        {"square caps reach half the width further",
         square,
         4,
         {},
         bar,
         false,
         10,
         "..........|..........|.########.|.########.|.########.|.########.|..........|.........."},
        {"round caps",
         round,
         4,
         {},
         bar,
         false,
         10,
         "..........|..........|..######..|.########.|.########.|..######..|..........|.........."},
        {"a miter join fills the corner",
         flat | PS_JOIN_MITER,
         4,
         {},
         corner,
         false,
         10,
         "..........|....####..|....####..|....####..|.#######..|.#######..|.#######..|.#######.."},
        {"a miter beyond the limit is bevelled",
         flat | PS_JOIN_MITER,
         4,
         {},
         corner,
         false,
         1.3f,
         "..........|....####..|....####..|....####..|.#######..|.#######..|.######...|.#####...."},
        {"bevel join",
         flat | PS_JOIN_BEVEL,
         4,
         {},
         corner,
         false,
         10,
         "..........|....####..|....####..|....####..|.#######..|.#######..|.######...|.#####...."},
        {"round join",
         flat | PS_JOIN_ROUND,
         4,
         {},
         corner,
         false,
         10,
         "..........|....####..|....####..|....####..|.#######..|.#######..|.#######..|.######..."},
        {"a closed figure joins at its start",
         flat | PS_JOIN_MITER,
         2,
         {},
         box,
         true,
         10,
         "..........|.#######..|.#######..|.##...##..|.##...##..|.#######..|.#######..|.........."},
        {"an open one has its caps there",
         flat | PS_JOIN_MITER,
         2,
         {},
         boxBack,
         false,
         10,
         "..........|..######..|.#######..|.##...##..|.##...##..|.#######..|.#######..|.........."},
        {"dashes with flat caps leave their gaps",
         flat,
         2,
         {2, 1},
         row,
         false,
         10,
         "..........|..........|##.##.##.#|##.##.##.#|..........|..........|..........|.........."},
        {"a dash goes round a corner with its join",
         flat | PS_JOIN_MITER,
         2,
         {6, 2},
         bend,
         false,
         10,
         "..........|.#####....|.#####....|....##....|..........|..........|....##....|.........."},
        {"a dash of no length is a round cap's dot",
         round,
         2,
         {0, 4},
         dots,
         false,
         10,
         "..........|..........|##..##..##|##..##..##|..........|..........|..........|.........."},
        {"and nothing with flat caps",
         flat,
         2,
         {0, 4},
         dots,
         false,
         10,
         "..........|..........|..........|..........|..........|..........|..........|.........."},
        {"a figure of one point is a round cap's dot",
         round,
         4,
         {},
         point,
         false,
         10,
         "..........|..........|....##....|...####...|...####...|....##....|..........|.........."},
        {"and nothing with square caps",
         square,
         4,
         {},
         point,
         false,
         10,
         "..........|..........|..........|..........|..........|..........|..........|.........."},
    };
    for (const auto& c : cases) {
        Canvas cv(10, 8);
        HPEN pen = geometricPen(c.style, c.width, c.dashes);
        ASSERT_TRUE(pen) << c.what;
        ASSERT_TRUE(SetMiterLimit(cv.dc, c.miterLimit, nullptr));
        EXPECT_EQ(stroke(cv, pen, c.pts, c.closed), c.picture) << c.what;
        EXPECT_TRUE(DeleteObject(pen));
    }
}

// Only the part of a dashed line near the canvas is walked: a line across
// four billion pixels draws at once, its dashes where the whole walk puts
// them (two billion is 2 past a multiple of the period 3).
TEST(GdiGeometricPenTest, FarDashesArePassedOverWhole) {
    Canvas cv(10, 5);
    HPEN pen = geometricPen(PS_ENDCAP_FLAT, 2, {2, 1});
    HGDIOBJ old = SelectObject(cv.dc, pen);
    const POINT pts[2] = {{-2000000000, 3}, {2000000000, 3}};
    EXPECT_TRUE(Polyline(cv.dc, pts, 2));
    SelectObject(cv.dc, old);
    DeleteObject(pen);
    EXPECT_EQ(cv.picture(), "..........|..........|.##.##.##.|.##.##.##.|..........");
}

TEST(GdiGeometricPenTest, WhatExtCreatePenRefuses) {
    const DWORD none[1] = {0}, zeros[2] = {0, 0}, dashes[2] = {3, 1};
    const struct {
        DWORD style;
        DWORD width;
        UINT brush;
        DWORD count;
        const DWORD* styles;
        bool made;
    } cases[] = {
        {PS_COSMETIC | PS_SOLID, 1, BS_SOLID, 0, nullptr, true},
        {PS_COSMETIC | PS_SOLID, 2, BS_SOLID, 0, nullptr, false},
        {PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_FLAT | PS_JOIN_BEVEL, 5, BS_SOLID, 0, nullptr, true},
        {PS_GEOMETRIC | PS_USERSTYLE, 5, BS_SOLID, 2, dashes, true},
        {PS_GEOMETRIC | PS_USERSTYLE, 5, BS_SOLID, 2, zeros, false},
        {PS_GEOMETRIC | PS_USERSTYLE, 5, BS_SOLID, 0, none, false},
        {PS_GEOMETRIC | PS_SOLID, 5, BS_SOLID, 2, dashes, false},
        {PS_GEOMETRIC | PS_SOLID | 0x300, 5, BS_SOLID, 0, nullptr, false},
        {PS_GEOMETRIC | PS_SOLID | 0x3000, 5, BS_SOLID, 0, nullptr, false},
        {PS_GEOMETRIC | PS_SOLID, 0, BS_SOLID, 0, nullptr, false},
        {PS_GEOMETRIC | PS_SOLID, 5, 2, 0, nullptr, false},
    };
    for (const auto& c : cases) {
        const LOGBRUSH brush{c.brush, 0, 0};
        HPEN pen = ExtCreatePen(c.style, c.width, &brush, c.count, c.styles);
        EXPECT_EQ(bool(pen), c.made) << std::hex << c.style << " width " << c.width;
        if (pen)
            DeleteObject(pen);
    }
    Canvas cv(1, 1);
    float limit = 0;
    EXPECT_FALSE(SetMiterLimit(cv.dc, 0.5f, &limit));
    EXPECT_TRUE(SetMiterLimit(cv.dc, 2.0f, &limit));
    EXPECT_EQ(limit, 10.0f);
    EXPECT_TRUE(GetMiterLimit(cv.dc, &limit));
    EXPECT_EQ(limit, 2.0f);
}

}  // namespace
}  // namespace win
