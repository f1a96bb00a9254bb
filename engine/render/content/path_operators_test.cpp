// The path construction, painting and clipping operators.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/render/content/content_test_util.h"

namespace vistrel {
namespace {

using test::Session;

// The points of every path of the current path: "M 1 1", "L 11 4", "C ..",
// "Z .."; with `box`, its bounding box only: "box 0 0 10 10".
std::vector<std::string> points(const Shape* shape, bool box) {
    std::vector<std::string> out;
    if (!shape)
        return out;
    if (box) {
        IntPoint lo, hi;
        shape->BoundingBox(lo, hi);
        return {"box " + std::to_string(lo.x) + " " + std::to_string(lo.y) + " " +
                std::to_string(hi.x) + " " + std::to_string(hi.y)};
    }
    static const char kKinds[] = "MLCZ";
    for (const auto& path : shape->paths()) {
        for (const PathPoint& p : path->points())
            out.push_back(std::string(1, kKinds[p.kind]) + " " + std::to_string(p.x) + " " +
                          std::to_string(p.y));
    }
    return out;
}

using Points = std::vector<std::string>;

TEST(PathOperatorsTest, ConstructionRoundsToDevicePixels) {
    const Matrix identity;
    const Matrix flip{2, 0, 0, -2, 0, 100};
    const Matrix turned{0, 2, -2, 0, 100, 0};
    const struct {
        Matrix base;
        const char* content;
        const char* outcome;  // of the last operator
        int state;
        Points points;
        bool box = false;  // compare the bounding box only
    } cases[] = {
        // Device points get half a pixel more: device 0 lands on pixel 1.
        {identity, "0 0 m", "ok", 3, {"M 1 1"}},
        {identity, "10.2 3.7 m", "ok", 3, {"M 11 4"}},
        {identity, "-0.5 -1.6 m", "ok", 3, {"M 0 -1"}},
        {flip, "10 10 m 20 0 l", "ok", 3, {"M 21 81", "L 41 101"}},
        // The first operand taken is y: "5 l" goes to (0, 5).
        {identity, "0 0 m 5 l", "ok", 3, {"M 1 1", "L 1 6"}},
        {identity, "0 0 m 1 2 3 4 5 6 c", "ok", 3, {"M 1 1", "C 2 3", "C 4 5", "C 6 7"}},
        {identity, "0 0 m 1 2 3 4 v", "ok", 3, {"M 1 1", "C 1 1", "C 2 3", "C 4 5"}},
        {identity, "0 0 m 1 2 3 4 y", "ok", 3, {"M 1 1", "C 2 3", "C 4 5", "C 4 5"}},
        {identity, "1 2 3 4 c", "status 4", 1, {}},
        {identity, "0 0 m 1 2 v", "status 4", 3, {"M 1 1"}},
        // Rectangles: the exact corners mapped, then rounded without the
        // extra half pixel.
        {identity, "0 0 10 10 re", "ok", 3, {"box 0 0 10 10"}, true},
        {identity, "0.4 0.4 0.4 0.4 re", "ok", 3, {"box 0 0 1 1"}, true},
        {identity, "0.5 0.5 1.5 1.5 re", "ok", 3, {"box 1 1 2 2"}, true},
        {identity, "-0.5 -0.5 1 1 re", "ok", 3, {"box -1 -1 1 1"}, true},
        {flip, "1 1 2 3 re", "ok", 3, {"box 2 92 6 98"}, true},
        {flip, "1.3 1.3 2.2 3.1 re", "ok", 3, {"box 3 91 7 97"}, true},
        // A side across the rows that would round to nothing covers the row
        // holding its middle, whichever way the rectangle is drawn and the
        // device turned; one along the rows keeps its column, and a side of
        // no length stays empty.
        {identity, "10 20.1 30 0.3 re", "ok", 3, {"box 10 20 40 21"}, true},
        {identity, "10 20.7 30 -0.4 re", "ok", 3, {"box 10 20 40 21"}, true},
        {flip, "10 20.05 30 0.1 re", "ok", 3, {"box 20 59 80 60"}, true},
        {turned, "20.1 10 0.1 30 re", "ok", 3, {"box 20 40 80 41"}, true},
        {identity, "10.9 20 -0.2 30 re", "ok", 3, {"box 11 20 11 50"}, true},
        {turned, "10 20.1 30 0.1 re", "ok", 3, {"box 60 20 60 80"}, true},
        {identity, "10 20 30 0 re", "ok", 3, {"box 10 20 40 20"}, true},
        {identity, "1 2 3 re", "status 4", 1, {}},
        // Coordinates far outside the integer range are kept within the
        // device range.
        {identity,
         "1000000000000000000000000000000 -1000000000000000000000000000000 m",
         "ok",
         3,
         {"M 268435455 -268435455"}},
        {identity,
         "1000000000000000000000000000000 0 0 1000000000000000000000000000000 0 0 cm 3 -1 m",
         "ok",
         3,
         {"M 268435455 -268435455"}},
        {identity,
         "-1000000000000000000000000000000 0 1000000000000000000000000000000 "
         "1000000000000000000000000000000 re",
         "ok",
         3,
         {"box -268435455 0 -1 268435455"},
         true},
    };
    for (const auto& c : cases) {
        Session s(c.base);
        s.run(c.content);
        ASSERT_FALSE(s.trace.lines.empty()) << c.content;
        const std::string& last = s.trace.lines.back();
        EXPECT_EQ(last.substr(last.size() - std::string(c.outcome).size()), c.outcome) << c.content;
        EXPECT_EQ(s.in.mode(), c.state) << c.content;
        EXPECT_EQ(points(s.in.graphicsState().path.get(), c.box), c.points) << c.content;
    }
}

// A self-intersecting star: its centre is inside by the nonzero rule and
// outside by even-odd.
TEST(PathOperatorsTest, FillRules) {
    const char* star = "8 1 m 12 15 l 1 6 l 15 6 l 4 15 l h ";
    const struct {
        const char* painter;
        std::uint32_t centre;
    } cases[] = {{"f", 0x000000},  {"F", 0x000000}, {"f*", 0xFFFFFF}, {"B", 0x000000},
                 {"b*", 0xFFFFFF}, {"n", 0xFFFFFF}, {"S", 0xFFFFFF}};
    for (const auto& c : cases) {
        Session s(Matrix{1, 0, 0, -1, 0, 16});
        s.run("0 g 0 G " + std::string(star) + c.painter);
        EXPECT_EQ(s.canvas.pixel(8, 8), c.centre) << c.painter;
        EXPECT_EQ(s.in.mode(), kStatePage) << c.painter;
        EXPECT_EQ(s.in.graphicsState().path, nullptr) << c.painter;
    }
}

// "W" and "W*" clip with the painter that ends the path, after its painting;
// the later of the two wins.
TEST(PathOperatorsTest, ClipsTakeEffectAfterThePainting) {
    const struct {
        const char* content;
        std::vector<std::string> clips;
        std::string picture;
    } cases[] = {
        {"2 2 4 4 re W n 0 0 8 8 re f",
         {"clip 1 2 2 6 6"},
         "........\n"
         "........\n"
         "..####..\n"
         "..####..\n"
         "..####..\n"
         "..####..\n"
         "........\n"
         "........\n"},
        {"2 2 4 4 re W W* n", {"clip 0 2 2 6 6"}, std::string(8 * 9, '.')},
        {"2 2 4 4 re W* W n", {"clip 1 2 2 6 6"}, std::string(8 * 9, '.')},
        // The wide stroke reaches outside the clip it sets; the fill after it
        // does not.
        {"2 w 2 2 4 4 re W S 0 0 8 8 re f",
         {"clip 1 2 2 6 6"},
         "........\n"
         ".######.\n"
         ".######.\n"
         ".######.\n"
         ".######.\n"
         ".######.\n"
         ".######.\n"
         "........\n"},
        // The clip in force before applies to the painting of the path.
        {"0 0 2 2 re W n 4 4 4 4 re W* f",
         {"clip 1 0 0 2 2", "clip 0 4 4 8 8"},
         std::string(8 * 9, '.')},
    };
    for (const auto& c : cases) {
        Session s(Matrix{}, 8);
        s.run(std::string("0 g 0 G ") + c.content);
        EXPECT_EQ(s.device.entries("clip"), c.clips) << c.content;
        std::string expected = c.picture;
        for (std::size_t i = 8; i < expected.size(); i += 9)
            expected[i] = '\n';
        EXPECT_EQ(s.canvas.picture(), expected) << c.content;
    }
}

}  // namespace
}  // namespace vistrel
