#include "engine/render/raster/path.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/render/raster/outline.h"
#include "engine/render/raster/raster_test_util.h"
#include "engine/render/raster/shape.h"

namespace vistrel {
namespace {

using test::Canvas;
using test::RecordingDevice;
using K = PathPoint::Kind;

TEST(PathTest, AppendRules) {
    Path p;
    p.RMoveTo(0, 0);
    p.RLineTo(0, 0);
    EXPECT_TRUE(p.points().empty());
    p.MoveTo(1, 1);
    p.RLineTo(4, 0);
    p.RCurveTo(1, 1, 1, 1, 1, 1);
    EXPECT_EQ(p.ClosePath(), 3);
    EXPECT_EQ(p.ClosePath(), 3);
    // A close leaves the current point; a line after it starts a new
    // subpath there.
    p.RLineTo(0, 2);
    p.ClosePath();
    std::vector<PathPoint> expected = {{1, 1, K::Move},  {5, 1, K::Line},  {6, 2, K::Curve},
                                       {7, 3, K::Curve}, {8, 4, K::Curve}, {1, 1, K::Close},
                                       {8, 6, K::Line},  {8, 4, K::Close}};
    EXPECT_EQ(p.points(), expected);
    EXPECT_EQ(p.boxMin(), IntPoint(1, 1));
    EXPECT_EQ(p.boxMax(), IntPoint(8, 6));
    EXPECT_FALSE(p.IsRectangle());
    // The most negative width of a rectangle is cut to the coordinate range
    // rather than negated past it.
    Path r;
    r.Rectangle(1, 0, INT32_MIN, 1);
    ASSERT_EQ(r.points().size(), 5u);
    EXPECT_EQ(r.points()[1], (PathPoint{-kCoordLimit, 0, K::Line}));
    EXPECT_EQ(r.points()[3], (PathPoint{0, 1, K::Line}));
}

TEST(PathTest, MatrixRoundsHalfAwayFromZero) {
    struct Case {
        std::array<double, 4> m;
        std::int32_t x, y;
        PathPoint stored;
    } cases[] = {
        {{2, 0, 0, 2}, 1, 1, {2, 2, K::Move}},
        {{0.5, 0, 0, 0.5}, -3, 0, {-2, 0, K::Move}},
        {{0.5, 0, 0, 0.5}, 3, 5, {2, 3, K::Move}},
        {{0, 1, -1, 0}, 2, 3, {-3, 2, K::Move}},
        {{1e12, 0, 0, 1}, 5, 0, {kCoordLimit, 0, K::Move}},
    };
    for (const Case& c : cases) {
        Path p;
        p.setMatrix(c.m);
        p.MoveTo(c.x, c.y);
        ASSERT_EQ(p.points().size(), 1u);
        EXPECT_EQ(p.points()[0], c.stored);
    }
}

TEST(PathTest, SidebearingAndAdvance) {
    Path p;
    p.MoveTo(10, 0);
    p.RLineTo(30, 20);
    EXPECT_EQ(p.AdvanceWidth(), 30);
    p.SetSidebearingWidth(5, 0, 500, 0);
    p.SetSidebearingWidth(7, 0, 900, 0);
    EXPECT_EQ(p.AdvanceWidth(), 500);
    EXPECT_EQ(p.origin(), IntPoint(5, 0));
}

TEST(PathTest, DrawAndDrawTransformed) {
    RecordingDevice dev;
    dev.drawPixels = false;
    dev.Attach(win::HDC::fromValue(1), IntPoint(100, 100));
    Path p;
    p.MoveTo(0, 0);
    p.RLineTo(3, 0);
    p.RLineTo(0, 2);
    p.ClosePath();
    EXPECT_TRUE(p.Draw(IntPoint(10, 10), dev));
    EXPECT_EQ(dev.GetCurrentPoint(), IntPoint(10, 10));
    EXPECT_EQ(dev.pixels.size(), 3u + 2u + 3u);
    dev.pixels.clear();
    Path glyph;  // thousandths
    glyph.MoveTo(0, 0);
    glyph.RLineTo(2000, 0);
    const double m[6] = {1, 0, 0, 1, 5, 5};
    EXPECT_TRUE(glyph.DrawTransformed(IntPoint(1, 0), dev, m));
    EXPECT_EQ(dev.pixels, (std::vector<std::pair<int, int>>{{6, 5}, {7, 5}}));
}

TEST(ShapeTest, BuildingBoxAndRectangleTest) {
    Shape s;
    IntPoint mn, mx;
    s.BoundingBox(mn, mx);
    EXPECT_EQ(mn, IntPoint());
    EXPECT_EQ(mx, IntPoint());
    s.LineTo(IntPoint(4, 4));  // makes a path of its own
    s.MoveTo(IntPoint(10, 10));
    s.CurveTo(IntPoint(12, 8), IntPoint(14, 8), IntPoint(16, 10));
    s.ClosePath();
    s.MoveTo(IntPoint(50, 50));  // a lone move does not count
    s.BoundingBox(mn, mx);
    EXPECT_EQ(mn, IntPoint(4, 4));
    EXPECT_EQ(mx, IntPoint(16, 10));
    EXPECT_EQ(s.currentPoint(), IntPoint(50, 50));

    Shape r;
    const double m[6] = {2, 0, 0, -2, 10, 100};
    r.AddRectangle(IntRect(1, 1, 3, 2), m);
    ASSERT_EQ(r.paths().size(), 2u);
    std::vector<PathPoint> expected = {{12, 98, K::Move},
                                       {18, 98, K::Line},
                                       {18, 94, K::Line},
                                       {12, 94, K::Line},
                                       {12, 98, K::Close}};
    EXPECT_EQ(r.paths()[0]->points(), expected);
    EXPECT_FALSE(r.IsRectangle());  // only Path::Rectangle marks a rectangle

    Shape q;
    std::unique_ptr<Path> path = q.NewPath();
    path->Rectangle(1, 1, 2, 2);
    const_cast<std::vector<std::unique_ptr<Path>>&>(q.paths()).push_back(std::move(path));
    EXPECT_TRUE(q.IsRectangle());
    q.MoveTo(IntPoint(5, 5));
    EXPECT_TRUE(q.IsRectangle());
    q.LineTo(IntPoint(6, 6));
    EXPECT_FALSE(q.IsRectangle());
}

TEST(ShapeTest, PaintModes) {
    Canvas cv(8, 6);
    RecordingDevice dev;
    dev.Attach(cv.dc, IntPoint(8, 6));
    Shape s;
    s.MoveTo(IntPoint(1, 1));
    s.LineTo(IntPoint(6, 1));
    s.LineTo(IntPoint(6, 4));
    s.LineTo(IntPoint(1, 4));
    s.ClosePath();
    EXPECT_TRUE(s.Paint(IntPoint(), dev));  // mode 3: nothing
    EXPECT_TRUE(dev.pixels.empty());
    DeviceColor black(0);
    dev.SetFillColor(black);
    s.setPaintMode(Shape::Fill);
    EXPECT_TRUE(s.Paint(IntPoint(), dev));
    EXPECT_EQ(cv.picture(), "........\n.#####..\n.#####..\n.#####..\n........\n........\n");
    s.setPaintMode(Shape::Stroke);
    dev.pixels.clear();
    EXPECT_TRUE(s.Paint(IntPoint(), dev));
    EXPECT_EQ(dev.pixels.size(), 16u);  // the outline, end pixels left out
}

// Step endpoints of a flattened curve stay near the true curve, and a finer
// tolerance takes more steps.
TEST(OutlineTest, FlatteningWithinTolerance) {
    int lastSteps = 1 << 30;
    for (int tolerance : {1, 3, 5}) {
        Path p;
        p.MoveTo(0, 0);
        p.RCurveTo(0, 300, 400, 0, 0, -300);
        Outline o;
        o.Build(p, tolerance, nullptr, Outline::DropEmptyAndReverse);
        std::int32_t x = 0, y = 0;
        int steps = 0;
        // Upward and downward halves make two contours; walk them from
        // their own starts.
        for (const auto& c : o.contours()) {
            x = c->startX;
            y = c->startY;
            for (const auto& s : c->steps) {
                x += s.dx;
                y += s.dy;
                ++steps;
                double best = 1e9;
                for (int i = 0; i <= 2000; ++i) {
                    double t = i / 2000.0, u = 1 - t;
                    double bx = 3 * u * t * t * 400 + t * t * t * 400;
                    double by = 3 * u * u * t * 300 + 3 * u * t * t * 300;
                    best = std::min(best, std::hypot(bx - x, by - y));
                }
                EXPECT_LE(best, tolerance + 1.0) << tolerance;
            }
        }
        EXPECT_GT(steps, 2);
        EXPECT_LE(steps, lastSteps);
        lastSteps = steps;
        EXPECT_EQ(o.minX(), 0);
        EXPECT_EQ(o.maxX(), 400);
        EXPECT_EQ(o.maxY(), 225);
    }
}

TEST(OutlineTest, ContoursRunDownwardAndOrder) {
    // A diamond drawn clockwise from the top: right side goes down, left side
    // comes back up.
    Path p;
    p.MoveTo(10, 0);
    p.RLineTo(10, 10);
    p.RLineTo(-10, 10);
    p.RLineTo(-10, -10);
    p.RLineTo(10, -10);
    p.ClosePath();
    Outline o;
    o.Build(p, 5, nullptr, Outline::DropEmptyAndReverse | Outline::OrderContours);
    ASSERT_EQ(o.contours().size(), 2u);
    const auto& left = *o.contours()[0];
    const auto& right = *o.contours()[1];
    EXPECT_EQ(left.orientation, -1);
    EXPECT_EQ(right.orientation, 1);
    for (const auto* c : {&left, &right}) {
        EXPECT_EQ(c->top(), 0);
        EXPECT_EQ(c->bottom(), 20);
        for (const auto& s : c->steps)
            EXPECT_GT(s.dy, 0);
    }
    EXPECT_EQ(left.xAt(10), 0);
    EXPECT_EQ(right.xAt(10), 20);
    EXPECT_EQ(left.xAt(5), 5);
    EXPECT_EQ(left.steps, (std::vector<Outline::Step>{{-10, 10}, {10, 10}}));
    // Collinear steps merge: one contour, one step.
    Path line;
    line.MoveTo(0, 0);
    line.RLineTo(2, 4);
    line.RLineTo(3, 6);
    Outline m;
    m.Build(line, 5, nullptr, 0);
    ASSERT_EQ(m.contours().size(), 1u);
    EXPECT_EQ(m.contours()[0]->steps, (std::vector<Outline::Step>{{5, 10}}));
}

// Contours that run alike over two billion rows (one rectangle drawn twenty
// times, as a hostile glyph may) are ordered by a sample of their rows, so
// the ordering ends.
TEST(OutlineTest, TallAlikeContoursAreOrdered) {
    Path p;
    for (int i = 0; i < 20; ++i) {
        p.MoveTo(0, -1000000000);
        p.RLineTo(10, 0);
        p.RLineTo(0, 2000000000);
        p.RLineTo(-10, 0);
        p.ClosePath();
    }
    Outline o;
    o.Build(p, 5, nullptr, Outline::DropEmptyAndReverse | Outline::OrderContours);
    ASSERT_EQ(o.contours().size(), 40u);
    for (std::size_t i = 0; i < 40; ++i)
        EXPECT_EQ(o.contours()[i]->xAt(0), i < 20 ? 0 : 10) << i;
}

TEST(OutlineTest, OffsetMatrixAndEmptyContours) {
    Path p;
    p.MoveTo(0, 0);
    p.MoveTo(1, 1);
    p.RLineTo(0, 2);
    Outline o;
    o.setCurrent(10, 20);
    const double m[4] = {2, 0, 0, 2};
    o.Build(p, 5, m, Outline::KeepOffset | Outline::DropEmptyAndReverse);
    ASSERT_EQ(o.contours().size(), 1u);
    EXPECT_EQ(o.contours()[0]->startX, 22);
    EXPECT_EQ(o.contours()[0]->startY, 42);
    EXPECT_EQ(o.contours()[0]->bottom(), 46);
    Outline none;
    none.Build(p, 5, nullptr, Outline::NoPoints);
    EXPECT_TRUE(none.contours().empty());
}

TEST(FiguresTest, DrawnThroughTheDeviceInterface) {
    Canvas cv(24, 16);
    RecordingDevice dev;
    dev.Attach(cv.dc, IntPoint(24, 16));
    DeviceColor black(0), red(0x0000FF), blue(0xFF0000);
    // A filled triangle (plain shape fill).
    Shape tri;
    tri.MoveTo(IntPoint(2, 2));
    tri.LineTo(IntPoint(10, 2));
    tri.LineTo(IntPoint(2, 10));
    tri.ClosePath();
    tri.setPaintMode(Shape::Fill);
    // Runs of the device-independent layer plot in the stroke colour.
    dev.SetStrokeColor(blue);
    tri.Paint(IntPoint(), dev);
    // A rectangle fill and a stroked diagonal and curve.
    dev.SetFillColor(red);
    dev.FillRect(IntRect(14, 2, 6, 3));
    dev.SetStrokeColor(black);
    dev.Line(IntPoint(12, 14), IntPoint(22, 6));
    dev.Curve(IntPoint(1, 14), IntPoint(4, 10), IntPoint(8, 10), IntPoint(11, 14));
    EXPECT_EQ(cv.picture(), test::readFixture("figures.txt"));
}

}  // namespace
}  // namespace vistrel

namespace vistrel {
namespace {

// The plain fill walks only the rows and columns of the page, so a shape
// with coordinates of a hundred million pixels fills the page at once.
TEST(PlainShapeFillTest, HugeCoordinatesStayOnThePage) {
    Canvas cv(6, 4);
    RecordingDevice dev;
    dev.Attach(cv.dc, IntPoint(6, 4));
    DeviceColor black(0);
    dev.SetStrokeColor(black);
    Shape s;
    s.MoveTo(IntPoint(-100000000, -100000000));
    s.LineTo(IntPoint(100000000, -100000000));
    s.LineTo(IntPoint(100000000, 100000000));
    s.LineTo(IntPoint(-100000000, 100000000));
    s.ClosePath();
    s.setPaintMode(Shape::Fill);
    EXPECT_TRUE(s.Paint(IntPoint(), dev));
    EXPECT_EQ(cv.picture(), "######\n######\n######\n######\n");
}

}  // namespace
}  // namespace vistrel
