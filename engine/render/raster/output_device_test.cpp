#include "engine/render/raster/output_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "engine/render/raster/raster_test_util.h"
#include "engine/render/raster/shape.h"

namespace vistrel {
namespace {

using test::Canvas;
using test::RecordingDevice;
using Pixels = std::vector<std::pair<int, int>>;

TEST(OutputDeviceLinesTest, RunLengthBresenham) {
    struct Case {
        IntPoint delta;
        Pixels pixels;
    } cases[] = {
        {{0, 0}, {}},
        {{4, 1}, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
        {{8, 4}, {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}, {5, 3}, {6, 3}, {7, 4}}},
        {{-3, 7}, {{0, 0}, {0, 1}, {-1, 2}, {-1, 3}, {-2, 4}, {-2, 5}, {-3, 6}}},
        {{-3, 0}, {{0, 0}, {-1, 0}, {-2, 0}}},
        {{0, -2}, {{0, 0}, {0, -1}}},
        {{-2, -2}, {{0, 0}, {-1, -1}}},
    };
    for (const Case& c : cases) {
        RecordingDevice dev;
        dev.drawPixels = false;
        dev.Attach(win::HDC::fromValue(1), IntPoint(100, 100));
        dev.MoveTo(IntPoint(0, 0));
        EXPECT_TRUE(dev.LineBy(c.delta));
        EXPECT_EQ(dev.pixels, c.pixels) << c.delta.x << "," << c.delta.y;
        EXPECT_EQ(dev.GetCurrentPoint(), c.delta);
    }
}

TEST(OutputDeviceLinesTest, FarLinesAreCutToThePage) {
    RecordingDevice dev;
    dev.drawPixels = false;
    dev.Attach(win::HDC::fromValue(1), IntPoint(10, 10));
    dev.MoveTo(IntPoint(-100000000, -50000000));
    EXPECT_TRUE(dev.LineTo(IntPoint(100000000, 50000000)));
    EXPECT_EQ(dev.GetCurrentPoint(), IntPoint(100000000, 50000000));
    EXPECT_LT(dev.pixels.size(), 20000u);
    // The part on the page is still the line through the origin.
    EXPECT_NE(std::find(dev.pixels.begin(), dev.pixels.end(), std::make_pair(4, 2)),
              dev.pixels.end());
}

TEST(OutputDeviceCurvesTest, HalvingEndsOnTheEndPoint) {
    RecordingDevice dev;
    dev.drawPixels = false;
    dev.Attach(win::HDC::fromValue(1), IntPoint(100, 100));
    EXPECT_TRUE(dev.Curve(IntPoint(0, 0), IntPoint(0, 30), IntPoint(30, 30), IntPoint(30, 0)));
    EXPECT_EQ(dev.GetCurrentPoint(), IntPoint(30, 0));
    // The curve reaches y = 22 or 23 in the middle (3/4 of 30) and never
    // leaves the hull.
    int maxY = 0;
    for (auto [x, y] : dev.pixels) {
        EXPECT_GE(x, 0);
        EXPECT_LE(x, 30);
        maxY = std::max(maxY, y);
    }
    EXPECT_GE(maxY, 21);
    EXPECT_LE(maxY, 23);
    dev.pixels.clear();
    EXPECT_TRUE(dev.CurveBy(IntPoint(), IntPoint(), IntPoint()));
    EXPECT_TRUE(dev.pixels.empty());
}

TEST(OutputDeviceStyleTest, DashNormalisation) {
    struct Case {
        std::vector<std::int32_t> dashes;
        int phase;
        std::vector<std::int32_t> expected;
    } cases[] = {
        {{3, 2}, 0, {3, 2}},
        {{3, 2}, 1, {2, 2, 1}},
        {{3, 2}, 3, {0, 2, 3}},
        {{3, 2}, 1000000001, {2, 2, 1}},  // phase reduced by the pattern length
        {{2, 1, 1}, 4, {0, 2, 1, 1}},
        {{2, 1, 1}, 12, {0, 2, 1, 1}},  // odd count: period of two lengths
        {{2, 1, 1}, 8, {2, 1, 1}},
        {{0, 0}, 5, {}},
        {{}, 5, {}},
        {{4, -1}, 0, {}},  // negative length: solid
        {{3, 2}, -4, {3, 2}},
    };
    for (const Case& c : cases) {
        RecordingDevice dev;
        dev.SetDash(c.dashes, c.phase);
        EXPECT_EQ(dev.GetLineStyle().dashes, c.expected) << c.phase;
    }
}

TEST(OutputDeviceStyleTest, StyleFieldsAndCopies) {
    RecordingDevice dev;
    dev.SetLineWidth(2.5);
    dev.SetLineCap(1);
    dev.SetLineJoin(2);
    dev.SetMiterLimit(4.0);
    dev.SetDash({1, 2}, 0);
    std::unique_ptr<LineStyle> copy = dev.CopyLineStyle();
    EXPECT_EQ(copy->width, 2.5);
    EXPECT_EQ(copy->cap, 1);
    EXPECT_EQ(copy->join, 2);
    EXPECT_EQ(copy->miterLimit, 4.0);
    EXPECT_EQ(copy->dashes, (std::vector<std::int32_t>{1, 2}));
    RecordingDevice other;
    other.SetLineStyle(*copy);
    EXPECT_EQ(other.GetLineWidth(), 2.5);
    EXPECT_EQ(other.GetMiterLimit(), 4.0);
}

TEST(GeometryTest, RectangleNormalisation) {
    EXPECT_EQ(IntRect(10, 10, -4, 3, true), IntRect(6, 10, 4, 3));
    EXPECT_EQ(IntRect(10, 10, -4, -3, true), IntRect(6, 7, 4, 3));
    EXPECT_EQ(IntRect(10, 10, -4, 3, false).width, -4);
    IntRect r(1, 2, 3, 4);
    r.clear();
    EXPECT_EQ(r, IntRect());
    // Sums stay clamped instead of wrapping.
    EXPECT_EQ((IntPoint(kCoordLimit, 0) + IntPoint(kCoordLimit, 0)).x, kCoordLimit);
    EXPECT_EQ(roundCoord(-2.5), -3);
    EXPECT_EQ(roundCoord(1e300), kCoordLimit);
    EXPECT_EQ(roundCoord(0.0 / 0.0), 0);
}

TEST(PointerStackTest, PopKeepsEntriesForPushAgain) {
    PointerStack<int*> s;
    int a = 1, b = 2, c = 3;
    EXPECT_EQ(s.pop(), nullptr);
    EXPECT_EQ(s.push(&a), 1u);
    EXPECT_EQ(s.push(&b), 2u);
    EXPECT_EQ(s.peek(0), &b);
    EXPECT_EQ(s.peek(1), &a);
    EXPECT_EQ(s.peek(2), nullptr);
    EXPECT_TRUE(s.pushAgain(2));
    EXPECT_EQ(s.size(), 4u);
    EXPECT_EQ(s.peek(0), &b);
    EXPECT_EQ(s.peek(1), &a);
    EXPECT_FALSE(s.pushAgain(5));
    EXPECT_TRUE(s.pushAgain(0));
    EXPECT_EQ(s.pop(), &b);
    EXPECT_EQ(s.push(&c), 4u);  // overwrites the popped slot
    EXPECT_EQ(s.peek(0), &c);
    s.clear();
    EXPECT_TRUE(s.empty());
}

// The rectangles of the clip region of a context, or none without one.
std::vector<win::RECT> clipRects(win::HDC dc, bool* hasClip = nullptr) {
    win::HRGN r = win::CreateRectRgn(0, 0, 0, 0);
    int got = win::GetClipRgn(dc, r);
    if (hasClip)
        *hasClip = got == 1;
    std::vector<win::RECT> out;
    if (got == 1) {
        std::vector<std::uint8_t> buf(win::GetRegionData(r, 0, nullptr));
        win::GetRegionData(r, win::DWORD(buf.size()), reinterpret_cast<win::RGNDATA*>(buf.data()));
        win::RGNDATAHEADER h;
        std::memcpy(&h, buf.data(), sizeof h);
        out.resize(h.nCount);
        std::memcpy(out.data(), buf.data() + sizeof h, h.nCount * sizeof(win::RECT));
    }
    win::DeleteObject(r);
    return out;
}

TEST(DcDeviceClipTest, CombineModes) {
    struct Case {
        int mode;
        bool result;
        std::vector<win::RECT> rects;
    } cases[] = {
        {1, true, {{2, 2, 5, 4}}},  // no clip region counts as the whole page
        {2, true, {{0, 0, 10, 8}}},
        {3, true, {{0, 0, 10, 2}, {0, 2, 2, 4}, {5, 2, 10, 4}, {0, 4, 10, 8}}},
        {4, true, {{0, 0, 10, 2}, {0, 2, 2, 4}, {5, 2, 10, 4}, {0, 4, 10, 8}}},
        {5, true, {{2, 2, 5, 4}}},
        {6, false, {}},
    };
    for (const Case& c : cases) {
        Canvas cv(10, 8);
        RecordingDevice dev;
        dev.Attach(cv.dc, IntPoint(10, 8));
        // A negative size extends to the left and upwards.
        EXPECT_EQ(dev.CombineClipRect(IntPoint(5, 4), IntPoint(-3, -2), c.mode), c.result);
        EXPECT_EQ(clipRects(cv.dc), c.rects) << c.mode;
        dev.Detach();
    }
}

TEST(DcDeviceClipTest, SaveAndRestoreNest) {
    Canvas cv(10, 8);
    RecordingDevice dev;
    EXPECT_FALSE(dev.SaveClip());  // not attached
    dev.Attach(cv.dc, IntPoint(10, 8));
    EXPECT_FALSE(dev.RestoreClip());
    bool has = true;
    clipRects(cv.dc, &has);
    EXPECT_FALSE(has);
    EXPECT_TRUE(dev.SaveClip());  // saves "no clip"
    EXPECT_TRUE(dev.IntersectClipRect(IntRect(1, 1, 4, 4)));
    EXPECT_TRUE(dev.SaveClip());
    EXPECT_TRUE(dev.IntersectClipRect(IntRect(3, 3, 4, 4)));
    EXPECT_EQ(clipRects(cv.dc), (std::vector<win::RECT>{{3, 3, 5, 5}}));
    EXPECT_TRUE(dev.RestoreClip());
    EXPECT_EQ(clipRects(cv.dc), (std::vector<win::RECT>{{1, 1, 5, 5}}));
    EXPECT_TRUE(dev.RestoreClip());
    clipRects(cv.dc, &has);
    EXPECT_FALSE(has);
    EXPECT_FALSE(dev.RestoreClip());
    // Regions still saved at destruction are freed.
    std::size_t regions = win::LiveObjectCount(win::HandleKind::Region);
    {
        RecordingDevice other;
        other.Attach(cv.dc, IntPoint(10, 8));
        other.SaveClip();
        other.IntersectClipRect(IntRect(0, 0, 2, 2));
        other.SaveClip();
        other.SaveClip();
        other.Detach();
    }
    EXPECT_EQ(win::LiveObjectCount(win::HandleKind::Region), regions);
}

TEST(DcDeviceTest, AttachColoursBrushAndPixels) {
    Canvas cv(4, 4);
    RecordingDevice dev;
    DeviceColor red(0x0000FF);
    EXPECT_FALSE(dev.SetFillColor(red));  // not attached
    EXPECT_FALSE(dev.ClearPage());
    EXPECT_TRUE(dev.Attach(cv.dc, IntPoint(4, 4)));
    EXPECT_FALSE(dev.Attach(cv.dc, IntPoint(4, 4)));
    EXPECT_EQ(dev.deviceHandle(), cv.dc.value);
    std::unique_ptr<DeviceColor> c = dev.NewColor();
    std::uint32_t v = 0;
    c->getValue(v);
    EXPECT_EQ(v, 0xFFFFFFu);
    EXPECT_TRUE(dev.SetFillColor(red));
    EXPECT_EQ(dev.FillColorValue(), 0x0000FFu);
    EXPECT_TRUE(dev.FillRect(IntRect(1, 1, 2, 1)));
    EXPECT_EQ(cv.picture(), "....\n.rr.\n....\n....\n");
    DeviceColor probe;
    EXPECT_TRUE(dev.GetPixel(IntPoint(1, 1), probe));
    EXPECT_EQ(probe.value(), 0x0000FFu);
    EXPECT_FALSE(dev.GetPixel(IntPoint(9, 9), probe));
    EXPECT_EQ(dev.GetPixelValue(9, 9), 0xFFFFFFFFu);
    EXPECT_TRUE(dev.InvertRect(IntPoint(0, 3), IntPoint(4, 1)));
    EXPECT_EQ(cv.picture(), "....\n.rr.\n....\n####\n");
    DeviceColor black(0);
    EXPECT_TRUE(dev.SetFillColor(black));
    EXPECT_TRUE(dev.IntersectClipRect(IntRect(0, 0, 1, 1)));
    EXPECT_TRUE(dev.ClearPage());  // resets the clip first
    EXPECT_EQ(cv.picture(), "####\n####\n####\n####\n");
    std::size_t brushes = win::LiveObjectCount(win::HandleKind::Brush);
    EXPECT_EQ(dev.Detach(), cv.dc);
    EXPECT_EQ(win::LiveObjectCount(win::HandleKind::Brush), brushes - 1);
    EXPECT_FALSE(dev.Detach());
    EXPECT_FALSE(dev.IsAttached());
}

TEST(DcDeviceTest, RootAnswers) {
    RecordingDevice dev;
    EXPECT_EQ(dev.Capabilities(0xFFFFFFFF), 0u);
    EXPECT_EQ(dev.RectVisible(0, 0, 5, 5, false), 1);
    EXPECT_EQ(dev.GetClipState(), -1);
    EXPECT_TRUE(dev.PointVisible(-5, 7));
    EXPECT_TRUE(initOutputDevices());
    EXPECT_EQ(dev.NewImage(), nullptr);  // no image factory installed
    std::unique_ptr<Shape> s = dev.NewShape();
    EXPECT_EQ(s->paintMode(), Shape::Nothing);
    EXPECT_EQ(s->Edges(3), nullptr);
}

}  // namespace
}  // namespace vistrel
