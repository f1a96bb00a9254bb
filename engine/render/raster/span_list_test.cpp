#include "engine/render/raster/span_list.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace vistrel {
namespace {

using Poly = std::vector<IntPoint>;

std::unique_ptr<SpanList> build(const std::vector<Poly>& polys, int rule, int mask) {
    auto list = std::make_unique<SpanList>(rule);
    list->setMask(mask);
    for (const Poly& poly : polys) {
        Path p;
        p.MoveTo(poly[0].x, poly[0].y);
        for (std::size_t i = 1; i < poly.size(); ++i) {
            p.RLineTo(poly[i].x - poly[i - 1].x, poly[i].y - poly[i - 1].y);
        }
        p.ClosePath();
        list->AddPath(p);
    }
    list->Finish();
    return list;
}

// "y:[a,b)[c,d) " for every row of the box that has spans.
std::string rows(SpanList& list) {
    std::string s;
    for (std::int32_t y = list.minY(); y <= list.maxY(); ++y) {
        const auto* row = list.SpanRow(y);
        if (!row)
            continue;
        s += std::to_string(y) + ":";
        for (std::size_t i = 0; i + 1 < row->size(); i += 2) {
            s += "[" + std::to_string((*row)[i]) + "," + std::to_string((*row)[i + 1]) + ")";
        }
        s += " ";
    }
    return s;
}

const Poly kSquare = {{2, 2}, {6, 2}, {6, 6}, {2, 6}};

TEST(SpanListRowsTest, ShapesToSpans) {
    struct Case {
        const char* name;
        std::vector<Poly> polys;
        int rule;
        int mask;
        std::string expected;
    } cases[] = {
        // Edge pixels count with mask 3: the square covers its right and
        // bottom edges too.
        {"square edges", {kSquare}, 1, 3, "2:[2,7) 3:[2,7) 4:[2,7) 5:[2,7) 6:[2,7) "},
        // Mask 1: only pixels strictly between the crossings; the bottom row
        // is all edge.
        {"square interior", {kSquare}, 1, 1, "2:[3,6) 3:[3,6) 4:[3,6) 5:[3,6) "},
        // Counter-clockwise, the top side joins the upward chain's top row:
        // that row is all edge.
        {"square counter-clockwise",
         {{{2, 2}, {2, 6}, {6, 6}, {6, 2}}},
         0,
         1,
         "3:[3,6) 4:[3,6) 5:[3,6) "},
        // Only horizontal segments: no entries, nothing covered.
        {"horizontal only", {{{1, 3}, {8, 3}, {4, 3}}}, 1, 3, ""},
        // A slanted edge: Bresenham entries per row.
        {"triangle", {{{0, 0}, {6, 3}, {0, 3}}}, 1, 3, "0:[0,1) 1:[0,3) 2:[0,5) 3:[0,6) "},
        // Zero area: the two chains cancel, only their pixels are edges.
        {"there and back edges", {{{0, 0}, {3, 3}}}, 1, 3, "0:[0,1) 1:[1,2) 2:[2,3) 3:[3,4) "},
        {"there and back interior", {{{0, 0}, {3, 3}}}, 1, 1, ""},
        // V shape: the shared bottom vertex is one edge pixel, counted once.
        {"vee", {{{0, 0}, {4, 4}, {8, 0}}}, 1, 1, "1:[2,7) 2:[3,6) 3:[4,5) "},
        {"vee edges", {{{0, 0}, {4, 4}, {8, 0}}}, 1, 3, "0:[0,9) 1:[1,8) 2:[2,7) 3:[3,6) 4:[4,5) "},
    };
    for (const Case& c : cases) {
        auto list = build(c.polys, c.rule, c.mask);
        EXPECT_EQ(rows(*list), c.expected) << c.name;
    }
}

TEST(SpanListRowsTest, FillRulesOnOverlapsAndSelfIntersections) {
    const Poly a = {{0, 0}, {8, 0}, {8, 8}, {0, 8}};
    const Poly b = {{4, 4}, {12, 4}, {12, 12}, {4, 12}};
    // A five-pointed star drawn in one stroke: its centre has winding 2.
    const Poly star = {{20, 0}, {32, 36}, {0, 14}, {40, 14}, {8, 36}};
    struct Case {
        std::vector<Poly> polys;
        int rule;
        IntPoint probe;
        SpanList::PixelClass expected;
    } cases[] = {
        {{a, b}, 1, {6, 6}, SpanList::Interior},  // union
        {{a, b}, 0, {6, 6}, SpanList::Exterior},  // overlap left open
        {{a, b}, 0, {2, 2}, SpanList::Interior},   {{a, b}, 0, {10, 10}, SpanList::Interior},
        {{a, b}, 1, {13, 6}, SpanList::Exterior},  {{a, b}, 1, {8, 2}, SpanList::Edge},
        {{star}, 1, {20, 20}, SpanList::Interior}, {{star}, 0, {20, 20}, SpanList::Exterior},
        {{star}, 0, {20, 8}, SpanList::Interior},  // a point of the star
        {{star}, 1, {2, 30}, SpanList::Exterior},
    };
    for (const Case& c : cases) {
        auto list = build(c.polys, c.rule, 3);
        EXPECT_EQ(list->Classify(c.probe.x, c.probe.y), c.expected)
            << c.rule << " at " << c.probe.x << "," << c.probe.y;
    }
    // Rows of the overlapping squares: even-odd opens the overlap.
    auto eo = build({a, b}, 0, 1);
    const auto* row = eo->SpanRow(6);
    ASSERT_TRUE(row);
    EXPECT_EQ(*row, (std::vector<std::int32_t>{1, 4, 9, 12}));
    auto nz = build({a, b}, 1, 1);
    row = nz->SpanRow(6);
    ASSERT_TRUE(row);
    EXPECT_EQ(*row, (std::vector<std::int32_t>{1, 4, 5, 8, 9, 12}));
}

TEST(SpanListRowsTest, CrossingsAndRowsOutsideTheBox) {
    auto list = build({kSquare}, 1, 3);
    EXPECT_FALSE(list->ScanlineCrossings(1));
    EXPECT_EQ(list->SpanRow(7), nullptr);
    EXPECT_EQ(list->Classify(4, 9), SpanList::Exterior);
    ASSERT_TRUE(list->ScanlineCrossings(6));
    // Both chains end on row 6: one interval, winding 0.
    EXPECT_EQ(list->crossings(), (std::vector<SpanList::Crossing>{{2, 6, 0}}));
    ASSERT_TRUE(list->ScanlineCrossings(3));
    EXPECT_EQ(list->crossings(), (std::vector<SpanList::Crossing>{{2, 2, -1}, {6, 6, 1}}));
}

// The crossing walk gives each crossing of a row as (x, width), left to
// right, and nothing for a row without crossings; a row built in between
// (a span row, a classification) does not move it off its own row.
TEST(SpanListRowsTest, CrossingWalk) {
    // On row 2 the triangle's slanted edge is two pixels wide; on row 1 it
    // touches the upright edge and is one crossing with it.
    auto list = build({{{0, 0}, {6, 3}, {0, 3}}, {{10, 0}, {12, 0}, {12, 3}, {10, 3}}}, 1, 3);
    const auto walk = [&](std::int32_t y, bool askOtherRows) {
        std::string s;
        std::int32_t x = 0, width = 0;
        for (bool more = list->FirstCrossing(y, x, width); more;
             more = list->NextCrossing(x, width)) {
            s += "(" + std::to_string(x) + "," + std::to_string(width) + ")";
            if (askOtherRows) {
                list->SpanRow(y + 1);
                list->Classify(0, y - 1);
            }
        }
        return s;
    };
    EXPECT_EQ(walk(2, false), "(0,1)(3,2)(10,1)(12,1)");
    EXPECT_EQ(walk(2, true), "(0,1)(3,2)(10,1)(12,1)");
    EXPECT_EQ(walk(1, false), "(0,3)(10,1)(12,1)");
    EXPECT_EQ(walk(3, false), "(0,6)(10,3)");
    EXPECT_EQ(walk(-1, false), "");
    EXPECT_EQ(walk(4, false), "");
    std::int32_t x = 0, width = 0;
    EXPECT_FALSE(list->NextCrossing(x, width));
}

// Rows between the ends of straight vertical chains take the crossings of
// a row built before: whatever order the rows are asked in, every row, span
// and pixel is what a list asked for that row alone gives.
TEST(SpanListRowsTest, RowsOfUprightEdgesAnswerAsAlone) {
    const std::vector<std::vector<Poly>> shapes = {
        {kSquare},
        {{{3, 9}, {3, 1}, {8, 1}, {8, 9}}},
        {{{0, 4}, {5, 4}, {5, 5}, {0, 5}}},
        {{{0, 4}, {5, 4}, {5, 6}, {0, 6}}},
        {kSquare, {{4, 0}, {12, 0}, {12, 3}, {4, 3}}, {{1, 5}, {9, 5}, {9, 12}, {1, 12}}},
        {kSquare, {{7, 2}, {9, 2}, {9, 6}, {7, 6}}},
        {{{0, 0}, {6, 0}, {6, 3}, {3, 3}, {3, 8}, {0, 8}}},
        {{{0, 0}, {6, 1}, {6, 8}, {0, 8}}},
    };
    for (std::size_t n = 0; n < shapes.size(); ++n) {
        for (int rule : {0, 1}) {
            for (bool limited : {false, true}) {
                SCOPED_TRACE("shape " + std::to_string(n) + " rule " + std::to_string(rule) +
                             (limited ? " limited" : ""));
                auto fresh = [&] {
                    auto list = build(shapes[n], rule, 3);
                    if (limited)
                        list->Limit(IntPoint(1, 1), IntPoint(6, 5));
                    return list;
                };
                auto reused = fresh();
                for (std::int32_t y : {5, 3, 4, 4, 8, 1, 2, 7, 6, 0, -1, 9, 12, 11, 10, 5, 13}) {
                    auto alone = fresh();
                    EXPECT_EQ(reused->ScanlineCrossings(y), alone->ScanlineCrossings(y)) << y;
                    EXPECT_EQ(reused->crossings(), alone->crossings()) << y;
                    auto rowOf = [y](SpanList& list) {
                        const auto* row = list.SpanRow(y);
                        return row ? *row : std::vector<std::int32_t>{-1};
                    };
                    EXPECT_EQ(rowOf(*reused), rowOf(*fresh())) << y;
                    for (std::int32_t x = -1; x <= 13; ++x)
                        EXPECT_EQ(reused->Classify(x, y), fresh()->Classify(x, y)) << x << "," << y;
                }
            }
        }
    }
}

// Two lists of the same edges, rule, mask and box cover the same; any of
// them different, they do not.
TEST(SpanListClipsTest, SameCoverage) {
    const Poly wide = {{2, 2}, {7, 2}, {7, 6}, {2, 6}};
    auto a = build({kSquare}, 1, 3);
    EXPECT_TRUE(a->sameCoverage(*build({kSquare}, 1, 3)));
    EXPECT_FALSE(a->sameCoverage(*build({wide}, 1, 3)));
    EXPECT_FALSE(a->sameCoverage(*build({kSquare}, 0, 3)));
    EXPECT_FALSE(a->sameCoverage(*build({kSquare}, 1, 1)));
    EXPECT_FALSE(a->sameCoverage(*build({kSquare, kSquare}, 1, 3)));
    auto limited = build({kSquare}, 1, 3);
    limited->Limit(IntPoint(0, 0), IntPoint(5, 5));
    EXPECT_FALSE(a->sameCoverage(*limited));
    a->Limit(IntPoint(0, 0), IntPoint(5, 5));
    EXPECT_TRUE(a->sameCoverage(*limited));
}

TEST(SpanListLimitTest, NarrowsTheBox) {
    auto far = build({{{200, 10}, {300, 10}, {300, 50}, {200, 50}}}, 1, 3);
    EXPECT_FALSE(far->Limit(IntPoint(0, 0), IntPoint(100, 100)));
    EXPECT_TRUE(far->empty());
    EXPECT_EQ(far->SpanRow(20), nullptr);
    auto sq = build({kSquare}, 1, 3);
    // A negative size counts from the other side.
    EXPECT_TRUE(sq->Limit(IntPoint(5, 5), IntPoint(-1, -1)));
    EXPECT_EQ(rows(*sq), "4:[4,6) 5:[4,6) ");
}

TEST(SpanListClipsTest, RowOfAClipHoldsOlderClips) {
    auto older = build({{{0, 0}, {10, 0}, {10, 10}, {0, 10}}}, 1, 3);
    auto newer = build({{{5, 2}, {20, 2}, {20, 4}, {5, 4}}}, 1, 3);
    newer->setNext(older.get());
    const auto* row = newer->SpanRow(3);
    ASSERT_TRUE(row);
    EXPECT_EQ(*row, (std::vector<std::int32_t>{5, 11}));
    auto outside = build({{{30, 0}, {40, 0}, {40, 10}, {30, 10}}}, 1, 3);
    outside->setNext(newer.get());
    EXPECT_EQ(outside->SpanRow(3), nullptr);
}

TEST(SpanListBuildTest, CurvesAndCollinearSteps) {
    // Collinear steps make one chain: the same rows as one straight edge.
    SpanList a(1), b(1);
    a.setMask(3);
    b.setMask(3);
    Path pa, pb;
    pa.MoveTo(0, 0);
    pa.RLineTo(2, 4);
    pa.RLineTo(2, 4);
    pa.RLineTo(-4, 0);
    pa.ClosePath();
    pb.MoveTo(0, 0);
    pb.RLineTo(4, 8);
    pb.RLineTo(-4, 0);
    pb.ClosePath();
    a.AddPath(pa);
    b.AddPath(pb);
    a.Finish();
    b.Finish();
    EXPECT_EQ(rows(a), rows(b));
    // A curve stays within its control box and reaches its end.
    SpanList c(1);
    Path pc;
    pc.MoveTo(0, 0);
    pc.RCurveTo(0, 40, 40, 0, 0, -40);
    pc.ClosePath();
    c.AddPath(pc);
    c.Finish();
    EXPECT_EQ(c.minY(), 0);
    EXPECT_LE(c.maxY(), 40);
    EXPECT_EQ(c.Classify(20, 15), SpanList::Interior);
    EXPECT_EQ(c.Classify(20, 35), SpanList::Exterior);
}

// A list keeps one record per edge rather than per row, so shapes reaching
// as far as device coordinates go cost no memory in proportion to their
// size, and their edges cross the page where they should.
TEST(SpanListBuildTest, HugeCoordinates) {
    SpanList list(1);
    list.setMask(3);
    Path p;
    p.MoveTo(-100000000, -100000000);
    p.RLineTo(200000000, 0);
    p.RLineTo(0, 200000000);
    p.RLineTo(-200000000, 0);
    p.ClosePath();
    list.AddPath(p);
    list.Finish();
    ASSERT_TRUE(list.Limit(IntPoint(0, 0), IntPoint(100, 100)));
    for (int y : {0, 50, 100}) {
        const auto* row = list.SpanRow(y);
        ASSERT_TRUE(row);
        EXPECT_EQ(*row, (std::vector<std::int32_t>{0, 101}));
    }
    // Huge triangles whose diagonal crosses the page: inside where x + y > 50.
    for (const std::int32_t big : {100000000, kCoordLimit - 50}) {
        SCOPED_TRACE(big);
        SpanList tri(1);
        Path t;
        t.MoveTo(-big, big + 50);
        t.RLineTo(2 * big, -2 * big);
        t.RLineTo(0, 2 * big);
        t.ClosePath();
        tri.AddPath(t);
        tri.Finish();
        EXPECT_EQ(tri.Classify(60, 60), SpanList::Interior);
        EXPECT_EQ(tri.Classify(30, 30), SpanList::Interior);
        EXPECT_EQ(tri.Classify(10, 10), SpanList::Exterior);
        EXPECT_EQ(tri.Classify(0, 20), SpanList::Exterior);
        EXPECT_EQ(tri.Classify(25, 25), SpanList::Edge);
    }
}

}  // namespace
}  // namespace vistrel
