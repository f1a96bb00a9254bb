#include "engine/render/raster/gdi_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/settings_store.h"

#include "engine/render/raster/coverage_bitmap.h"
#include "engine/render/raster/gdi_shape.h"
#include "engine/render/raster/image_view.h"
#include "engine/render/raster/raster_settings.h"
#include "engine/render/raster/raster_test_util.h"
#include "engine/render/raster/work_meter.h"

namespace vistrel {
namespace {

using test::Canvas;

void setSetting(const WString& section, const WString& key, const SettingValue& v) {
    settingsStore().set(section, key, v);
}

// Parking a value leaves the setting missing.
void clearSetting(const WString& section, const WString& key) {
    settingsStore().save(section, key);
}

// Span clips are on unless a test says otherwise.
class GdiDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        setSetting(settings::Quality, settings::GDCClipMode, SettingValue::ofInteger(1));
        setSetting(settings::Quality, settings::GDCOptimMode, SettingValue::ofText(WString(u"1")));
    }
    void TearDown() override {
        clearSetting(settings::Quality, settings::GDCClipMode);
        clearSetting(settings::Quality, settings::GDCOptimMode);
        clearSetting(settings::FontSystem, settings::AAMethod);
    }
};

std::unique_ptr<Shape> polygon(GdiDevice& dev, std::vector<IntPoint> pts, int rule = 1) {
    std::unique_ptr<Shape> s = dev.NewShape();
    s->MoveTo(pts[0]);
    for (std::size_t i = 1; i < pts.size(); ++i)
        s->LineTo(pts[i]);
    s->ClosePath();
    s->setFillRule(rule);
    return s;
}

std::string blank(int w, int h) {
    std::string row(std::size_t(w), '.');
    std::string s;
    for (int y = 0; y < h; ++y)
        s += row + "\n";
    return s;
}

void setColors(GdiDevice& dev, std::uint32_t fill, std::uint32_t stroke) {
    DeviceColor f(fill), s(stroke);
    dev.SetFillColor(f);
    dev.SetStrokeColor(s);
}

TEST_F(GdiDeviceTest, RunsWithAndWithoutSpanClip) {
    struct Case {
        bool clip;
        const char* row;
    } cases[] = {
        {false, "........###....."},
        // Under a span clip a leftward run covers the pixels left of its
        // start.
        {true, ".......###......"},
    };
    for (const Case& c : cases) {
        Canvas cv(16, 8);
        GdiDevice dev(cv.dc, IntPoint(16, 8));
        setColors(dev, 0, 0);
        if (c.clip) {
            auto s = polygon(dev, {{-5, -5}, {30, -5}, {30, 30}, {-5, 30}});
            s->setPaintMode(Shape::Nothing);
            // A shape made of a rectangle path would become a plain box clip.
            ASSERT_TRUE(dev.ClipToShape(*s, 1));
            EXPECT_EQ(dev.GetClipState(), 1);
        }
        dev.MoveTo(IntPoint(10, 5));
        EXPECT_TRUE(dev.HorizontalRun(-3));
        EXPECT_EQ(dev.GetCurrentPoint(), IntPoint(7, 5));
        EXPECT_EQ(cv.picture().substr(5 * 17, 16), c.row) << c.clip;
    }
}

TEST_F(GdiDeviceTest, DashedRunsContinueAcrossRuns) {
    Canvas cv(12, 3);
    GdiDevice dev(cv.dc, IntPoint(12, 3));
    setColors(dev, 0xFFFFFF, 0);
    dev.SetDash({2, 1}, 0);
    dev.MoveTo(IntPoint(0, 0));
    dev.HorizontalRun(7);
    dev.HorizontalRun(3);
    // MoveTo starts the pattern again; vertical runs use it too.
    dev.MoveTo(IntPoint(0, 1));
    dev.HorizontalRun(4);
    EXPECT_EQ(cv.picture(), "##.##.##.#..\n##.#........\n............\n");
    // A list set through the line style that cannot be walked is solid.
    LineStyle bad;
    bad.dashes = {0, 0};
    dev.SetLineStyle(bad);
    dev.MoveTo(IntPoint(0, 2));
    dev.HorizontalRun(5);
    EXPECT_EQ(cv.picture().substr(26, 12), "#####.......");
}

// Runs reaching far beyond the page keep the dash pattern of the whole run
// on the pixels near the page, and the state after them, without walking
// every off-page pixel.
TEST_F(GdiDeviceTest, LongDashedRunsKeepTheirPattern) {
    struct Case {
        std::vector<std::int32_t> dashes;
        IntPoint start;
        bool horizontal;
        int length;
        IntPoint then;  // offset to a second run of 15 pixels along x at row 1
        const char* rows;
    } cases[] = {
        // Crosses the page from far left; 200000000 is a multiple of 5.
        {{3, 2}, {-200000000, 0}, true, 250000000, {0, 0}, "###..###..###..|...............|"},
        // From far right, leftward: pixel x is on when (200000000 - x) mod 5 < 3.
        {{3, 2}, {200000000, 0}, true, -250000000, {0, 0}, "#..###..###..##|...............|"},
        // Odd count: on 2, off 1, on 1, then on again at the wrap.
        {{2, 1, 1}, {-200000000, 0}, true, 250000000, {0, 0}, "##.###.###.###.|...............|"},
        // Wholly off the page, then a run on the page continues the state:
        // 100000001 pixels leave one pixel of the first entry consumed.
        {{3, 2},
         {0, -100000000},
         true,
         100000001,
         {-100000001, 100000001},
         "...............|##..###..###..#|"},
        // Vertical, crossing the page from far above, column 2.
        {{1, 1}, {2, -100000000}, false, 200000000, {0, 0}, "..#............|...............|"},
    };
    for (const Case& c : cases) {
        Canvas cv(15, 2);
        GdiDevice dev(cv.dc, IntPoint(15, 2));
        setColors(dev, 0xFFFFFF, 0);
        dev.SetDash(c.dashes, 0);
        dev.MoveTo(c.start);
        EXPECT_TRUE(c.horizontal ? dev.HorizontalRun(c.length) : dev.VerticalRun(c.length));
        const IntPoint end = c.horizontal ? IntPoint(c.start.x + c.length, c.start.y)
                                          : IntPoint(c.start.x, c.start.y + c.length);
        EXPECT_EQ(dev.GetCurrentPoint(), end);
        if (c.then != IntPoint()) {
            dev.OffsetCurrentPoint(c.then);
            dev.HorizontalRun(15);
        }
        std::string pic = cv.picture();
        for (char& ch : pic) {
            if (ch == '\n')
                ch = '|';
        }
        EXPECT_EQ(pic, c.rows) << c.start.x << "," << c.start.y << " " << c.length;
    }
}

TEST_F(GdiDeviceTest, LinesAndCurves) {
    Canvas cv(12, 8);
    GdiDevice dev(cv.dc, IntPoint(12, 8));
    setColors(dev, 0xFFFFFF, 0);
    dev.MoveTo(IntPoint(3, 3));
    EXPECT_TRUE(dev.CurveBy(IntPoint(), IntPoint(), IntPoint()));
    EXPECT_EQ(cv.picture(), blank(12, 8));
    dev.Line(IntPoint(0, 0), IntPoint(8, 4));
    dev.Curve(IntPoint(0, 7), IntPoint(3, 4), IntPoint(8, 4), IntPoint(11, 7));
    EXPECT_EQ(dev.GetCurrentPoint(), IntPoint(11, 7));
    // The small curve takes three steps: (4, 6), (7, 6), (11, 7).
    EXPECT_EQ(cv.picture(),
              "#...........\n.##.........\n...##.......\n.....##.....\n.......#....\n"
              "............\n..#######...\n##.......##.\n");
}

TEST_F(GdiDeviceTest, EmptySpanClipDrawsNothing) {
    Canvas cv(10, 10);
    GdiDevice dev(cv.dc, IntPoint(10, 10));
    setColors(dev, 0, 0);
    auto far = polygon(dev, {{20, 20}, {40, 20}, {30, 40}});
    EXPECT_TRUE(dev.ClipToShape(*far, 1));
    EXPECT_EQ(dev.GetClipState(), 0);
    EXPECT_FALSE(dev.FillRect(IntRect(0, 0, 10, 10)));
    EXPECT_FALSE(dev.SetPixel(1, 1, 0));
    EXPECT_FALSE(dev.PointVisible(1, 1));
    EXPECT_EQ(dev.RectVisible(0, 0, 5, 5, false), -1);
    dev.MoveTo(IntPoint(0, 1));
    dev.HorizontalRun(10);
    EXPECT_EQ(cv.picture(), blank(10, 10));
}

TEST_F(GdiDeviceTest, ClipsNestAndRestore) {
    Canvas cv(10, 10);
    GdiDevice dev(cv.dc, IntPoint(10, 10));
    setColors(dev, 0, 0);
    auto tri = polygon(dev, {{0, 0}, {9, 0}, {0, 9}});
    auto band = polygon(dev, {{0, 3}, {10, 3}, {10, 5}, {0, 5}});
    EXPECT_TRUE(dev.SaveClip());
    EXPECT_TRUE(dev.ClipToShape(*tri, 1));
    EXPECT_TRUE(dev.SaveClip());
    EXPECT_TRUE(dev.ClipToShape(*band, 1));
    EXPECT_TRUE(dev.PointVisible(2, 4));
    EXPECT_FALSE(dev.PointVisible(8, 4));  // outside the older clip
    EXPECT_FALSE(dev.PointVisible(2, 1));  // outside the newer one
    // A pixel strictly inside the newest clip is written only when the older
    // clips cover it as well.
    EXPECT_TRUE(dev.SetPixel(2, 4, 0));
    EXPECT_FALSE(dev.SetPixel(8, 4, 0));
    EXPECT_EQ(win::GetPixel(cv.dc, 8, 4), 0xFFFFFFu);
    EXPECT_TRUE(dev.RestoreClip());
    EXPECT_EQ(dev.GetClipState(), 1);
    EXPECT_TRUE(dev.PointVisible(2, 1));
    EXPECT_TRUE(dev.RestoreClip());
    EXPECT_EQ(dev.GetClipState(), -1);
    EXPECT_EQ(dev.spanClip(), nullptr);
    EXPECT_FALSE(dev.RestoreClip());
    // A shape that was filled hands its cached spans to the clip.
    auto filled = polygon(dev, {{1, 1}, {8, 1}, {8, 8}, {1, 8}});
    filled->setPaintMode(Shape::Fill);
    filled->Paint(IntPoint(), dev);
    auto* gdi = static_cast<GdiShape*>(filled.get());
    EXPECT_TRUE(gdi->hasSpanList());
    EXPECT_TRUE(dev.ClipToShape(*filled, 0));
    EXPECT_FALSE(gdi->hasSpanList());
}

// A clip that covers what the newest one covers, no more and no less, is not
// laid over it: forms drawing forms with the same box keep one clip, and
// restoring goes back through the clips that were laid.
TEST_F(GdiDeviceTest, ClipEqualToTheNewestIsNotLaid) {
    Canvas cv(10, 10);
    GdiDevice dev(cv.dc, IntPoint(10, 10));
    const std::vector<IntPoint> box = {{1, 1}, {8, 1}, {8, 8}, {1, 8}};
    const std::vector<IntPoint> far = {{20, 20}, {40, 20}, {30, 40}};
    for (const auto& corners : {box, far}) {
        const int state = corners == box ? 1 : 0;
        EXPECT_TRUE(dev.SaveClip());
        EXPECT_TRUE(dev.ClipToShape(*polygon(dev, corners), 1));
        SpanList* first = dev.spanClip();
        for (int depth = 0; depth < 3; ++depth) {
            EXPECT_TRUE(dev.SaveClip());
            EXPECT_TRUE(dev.ClipToShape(*polygon(dev, corners), 1));
            EXPECT_EQ(dev.spanClip(), first);
            EXPECT_EQ(dev.GetClipState(), state);
        }
        // Another rule covers otherwise: laid over it.
        EXPECT_TRUE(dev.SaveClip());
        EXPECT_TRUE(dev.ClipToShape(*polygon(dev, corners), 0));
        EXPECT_EQ(dev.spanClip()->next(), first);
        for (int depth = 0; depth < 4; ++depth) {
            EXPECT_TRUE(dev.RestoreClip());
            EXPECT_EQ(dev.spanClip(), first);
            EXPECT_EQ(dev.GetClipState(), state);
        }
        EXPECT_TRUE(dev.RestoreClip());
        EXPECT_EQ(dev.spanClip(), nullptr);
        EXPECT_EQ(dev.GetClipState(), -1);
    }
}

TEST_F(GdiDeviceTest, ClipWithoutSpanClipsUsesTheBox) {
    clearSetting(settings::Quality, settings::GDCOptimMode);
    Canvas cv(10, 10);
    GdiDevice dev(cv.dc, IntPoint(10, 10));
    auto tri = polygon(dev, {{2, 2}, {6, 2}, {2, 7}});
    EXPECT_TRUE(dev.ClipToShape(*tri, 1));
    EXPECT_EQ(dev.GetClipState(), -1);
    win::HRGN r = win::CreateRectRgn(0, 0, 0, 0);
    ASSERT_EQ(win::GetClipRgn(cv.dc, r), 1);
    win::RECT box;
    win::GetRgnBox(r, &box);
    EXPECT_EQ(box, (win::RECT{2, 2, 6, 7}));
    win::DeleteObject(r);
}

TEST_F(GdiDeviceTest, PixelsAndRectanglesUnderASpanClip) {
    Canvas cv(10, 10);
    GdiDevice dev(cv.dc, IntPoint(10, 10));
    setColors(dev, 0, 0);
    auto sq = polygon(dev, {{2, 2}, {6, 2}, {6, 6}, {2, 6}});
    dev.ClipToShape(*sq, 1);
    // SetPixel needs a pixel strictly inside; edge pixels are refused.
    EXPECT_TRUE(dev.SetPixel(4, 4, 0));
    EXPECT_FALSE(dev.SetPixel(2, 4, 0));
    EXPECT_TRUE(dev.PointVisible(2, 4));
    struct Case {
        int x0, y0, x1, y1;
        bool quick;
        int expected;
    } cases[] = {
        {3, 3, 5, 5, false, 1}, {0, 0, 1, 1, false, -1}, {20, 20, 30, 30, true, -1},
        {3, 3, 5, 5, true, 0},  {0, 3, 4, 4, false, 0},  {3, 0, 4, 3, false, 0},
        {5, 5, 3, 3, false, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dev.RectVisible(c.x0, c.y0, c.x1, c.y1, c.quick), c.expected)
            << c.x0 << "," << c.y0 << "," << c.x1 << "," << c.y1;
    }
    DeviceColor red(0x0000FF);
    dev.SetFillColor(red);
    EXPECT_TRUE(dev.FillRect(IntRect(0, 0, 10, 100000000)));
    EXPECT_EQ(cv.picture(),
              "..........\n..........\n..rrrrr...\n..rrrrr...\n..rrrrr...\n..rrrrr...\n"
              "..rrrrr...\n..........\n..........\n..........\n");
    EXPECT_EQ(dev.Capabilities(0xFFFFFFFF), 0x60001117u);
}

// A 24-bit top-down image for blits.
class TestImage : public ImageView {
public:
    TestImage(int w, int h, std::uint32_t color) : w_(w), h_(h) {
        win::BITMAPINFO info{};
        info.bmiHeader = {sizeof(win::BITMAPINFOHEADER), w, -h, 1, 24, win::BI_RGB, 0, 0, 0, 0, 0};
        void* p = nullptr;
        dib_ = win::CreateDIBSection(nullptr, &info, win::DIB_RGB_COLORS, &p, nullptr, 0);
        bits_ = static_cast<std::uint8_t*>(p);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                std::uint8_t* q = dibRow(y) + x * 3;
                q[0] = std::uint8_t(color >> 16);
                q[1] = std::uint8_t(color >> 8);
                q[2] = std::uint8_t(color);
            }
        }
    }
    ~TestImage() override { win::DeleteObject(dib_); }
    win::HBITMAP dibSection() const override { return dib_; }
    int dibWidth() const override { return w_; }
    int dibHeight() const override { return h_; }
    int bytesPerPixel() const override { return 3; }
    std::size_t dibStride() const override { return (std::size_t(w_) * 3 + 3) & ~std::size_t(3); }
    std::uint8_t* dibRow(int y) override { return bits_ + std::size_t(y) * dibStride(); }

private:
    int w_, h_;
    win::HBITMAP dib_;
    std::uint8_t* bits_;
};

// A one-byte-per-pixel stencil: a grey DIB whose pixels are drawn from a
// picture ('#' 0, '.' 255, '+' 128).
class TestStencil : public ImageView {
public:
    TestStencil(int w, int h, const std::string& picture) : w_(w), h_(h) {
        struct {
            win::BITMAPINFOHEADER h;
            win::RGBQUAD colors[256];
        } info{};
        info.h = {sizeof(win::BITMAPINFOHEADER), w, -h, 1, 8, win::BI_RGB, 0, 0, 0, 0, 0};
        for (int i = 0; i < 256; ++i)
            info.colors[i] = {win::BYTE(i), win::BYTE(i), win::BYTE(i), 0};
        void* p = nullptr;
        dib_ = win::CreateDIBSection(nullptr, reinterpret_cast<win::BITMAPINFO*>(&info),
                                     win::DIB_RGB_COLORS, &p, nullptr, 0);
        bits_ = static_cast<std::uint8_t*>(p);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const char c = picture[std::size_t(y) * (w + 1) + x];
                dibRow(y)[x] = c == '#' ? 0 : c == '+' ? 128 : 255;
            }
        }
    }
    ~TestStencil() override { win::DeleteObject(dib_); }
    win::HBITMAP dibSection() const override { return dib_; }
    int dibWidth() const override { return w_; }
    int dibHeight() const override { return h_; }
    int bytesPerPixel() const override { return 1; }
    std::size_t dibStride() const override { return (std::size_t(w_) + 3) & ~std::size_t(3); }
    std::uint8_t* dibRow(int y) override { return bits_ + std::size_t(y) * dibStride(); }
    bool stencil() const override { return true; }

private:
    int w_, h_;
    win::HBITMAP dib_;
    std::uint8_t* bits_;
};

// A stencil paints the fill colour where it is 0 and leaves the page where
// it is 255, also under a span clip; coverage between mixes the two.
TEST_F(GdiDeviceTest, StencilsPaintTheFillColour) {
    Canvas cv(6, 3);
    GdiDevice dev(cv.dc, IntPoint(6, 3));
    win::SetPixel(cv.dc, 1, 0, 0xFF0000);  // a blue page pixel under a '.'
    setColors(dev, 0x0000FF, 0);
    TestStencil mask(4, 2, "#.##|.#.+|");
    EXPECT_TRUE(dev.BlitImage(mask, IntPoint(0, 0)));
    EXPECT_EQ(cv.picture(), "rbrr..\n.r.?..\n......\n");
    EXPECT_EQ(cv.pixel(3, 1), 0x8080FFu);
    // The colour table is the grey ramp again.
    EXPECT_EQ(mask.dibRow(0)[0], 0);
    win::PatBlt(cv.dc, 0, 0, 6, 3, win::WHITENESS);
    auto tri = polygon(dev, {{0, 0}, {6, 0}, {0, 6}});
    dev.ClipToShape(*tri, 1);
    TestStencil full(6, 3, "######|######|######|");
    setColors(dev, 0x00FF00, 0);
    EXPECT_TRUE(dev.BlitImage(full, IntPoint(0, 0)));
    EXPECT_EQ(cv.picture(), "gggggg\ngggggg\nggggg.\n");
}

TEST_F(GdiDeviceTest, ImageBlitsHonourTheSpanClip) {
    Canvas cv(10, 6);
    GdiDevice dev(cv.dc, IntPoint(10, 6));
    setColors(dev, 0x00FF00, 0);
    win::PatBlt(cv.dc, 0, 0, 10, 6, win::WHITENESS);
    // Half of the image lies under the clip (a triangle).
    auto tri = polygon(dev, {{0, 0}, {5, 0}, {0, 5}});
    dev.ClipToShape(*tri, 1);
    TestImage img(6, 4, 0x0000FF);
    EXPECT_TRUE(dev.BlitImage(img, IntPoint(1, 1)));
    EXPECT_EQ(cv.picture(),
              "..........\n.rrrr.....\n.rrr......\n.rr.......\n.r........\n..........\n");
    // The fill colour is back.
    EXPECT_EQ(dev.FillColorValue(), 0x00FF00u);
    // Wholly hidden and wholly visible images.
    TestImage hidden(2, 2, 0xFF0000);
    EXPECT_TRUE(dev.BlitImage(hidden, IntPoint(7, 3)));
    GdiDevice plain(cv.dc, IntPoint(10, 6));
    EXPECT_TRUE(plain.BlitImage(hidden, IntPoint(8, 4)));
    EXPECT_EQ(cv.picture(),
              "..........\n.rrrr.....\n.rrr......\n.rr.......\n.r......bb\n........bb\n");
}

TEST_F(GdiDeviceTest, FiguresThroughTheDevice) {
    Canvas cv(32, 24);
    GdiDevice dev(cv.dc, IntPoint(32, 24));
    DeviceColor white(0xFFFFFF);
    dev.SetFillColor(white);
    dev.ClearPage();
    // A star filled with the nonzero rule, and one with even-odd.
    setColors(dev, 0xFF0000, 0);
    auto star = polygon(dev, {{7, 0}, {12, 14}, {0, 5}, {14, 5}, {2, 14}}, 1);
    star->setPaintMode(Shape::Fill);
    EXPECT_TRUE(star->Paint(IntPoint(), dev));
    auto hollow = polygon(dev, {{24, 0}, {29, 14}, {17, 5}, {31, 5}, {19, 14}}, 0);
    hollow->setPaintMode(Shape::FillStroke);
    EXPECT_TRUE(hollow->Paint(IntPoint(), dev));
    // A rectangle fill clipped to a triangle.
    auto tri = polygon(dev, {{0, 16}, {16, 16}, {0, 24}});
    dev.SaveClip();
    dev.ClipToShape(*tri, 1);
    setColors(dev, 0x0000FF, 0);
    dev.FillRect(IntRect(0, 16, 20, 8));
    dev.RestoreClip();
    // A wide stroke (round caps) and a dashed vertical line.
    dev.SetLineWidth(3);
    dev.Line(IntPoint(20, 18), IntPoint(24, 18));
    dev.SetLineWidth(1);
    dev.SetDash({3, 2}, 1);
    dev.Line(IntPoint(29, 16), IntPoint(29, 24));
    EXPECT_EQ(cv.picture(), test::readFixture("gdi_figures.txt"));
}

// A stroke of a path two pixels wide or more: the line style's caps, join
// and dashes, centred where the exact points lie (a content point names the
// pixel right of and below its own; a rectangle's corners are rounded as
// they are, so both boxes below draw alike).
TEST_F(GdiDeviceTest, WidePathsHaveTheirCapsJoinsAndDashes) {
    struct Case {
        const char* what;
        double width;
        int cap, join;
        std::vector<std::int32_t> dashes;
        std::vector<IntPoint> pts;  // none: the rectangle (2, 1, 6, 5)
        bool closed;
        const char* picture;
    } cases[] = {
        {"butt caps",
         2,
         0,
         0,
         {},
         {{3, 5}, {8, 5}},
         false,
         "............|............|............|..#####.....|..#####.....|"},
        {"square caps",
         2,
         2,
         0,
         {},
         {{3, 5}, {8, 5}},
         false,
         "............|............|............|.#######....|.#######....|"},
        {"dashes in pixels, gaps kept",
         2,
         0,
         0,
         {2, 1},
         {{1, 5}, {13, 5}},
         false,
         "............|............|............|##.##.##.##.|##.##.##.##.|"},
        {"a closed path with miter joins",
         2,
         0,
         0,
         {},
         {{3, 2}, {9, 2}, {9, 7}, {3, 7}},
         true,
         ".########...|.########...|.##....##...|.##....##...|.##....##...|"},
        {"the rectangle",
         2,
         0,
         0,
         {},
         {},
         true,
         ".########...|.########...|.##....##...|.##....##...|.##....##...|"},
        {"bevel joins",
         2,
         0,
         2,
         {},
         {{3, 2}, {9, 2}, {9, 7}, {3, 7}},
         true,
         ".#######....|.########...|.##....##...|.##....##...|.##....##...|"},
    };
    for (const Case& c : cases) {
        Canvas cv(12, 5);
        GdiDevice dev(cv.dc, IntPoint(12, 5));
        setColors(dev, 0xFFFFFF, 0);
        dev.SetLineWidth(c.width);
        dev.SetLineCap(c.cap);
        dev.SetLineJoin(c.join);
        dev.SetDash(c.dashes, 0);
        std::unique_ptr<Shape> s = dev.NewShape();
        if (c.pts.empty()) {
            const double identity[6] = {1, 0, 0, 1, 0, 0};
            s->AddRectangle(2.0, 1.0, 6.0, 5.0, identity);
        } else {
            s->MoveTo(c.pts[0]);
            for (std::size_t i = 1; i < c.pts.size(); ++i)
                s->LineTo(c.pts[i]);
            if (c.closed)
                s->ClosePath();
        }
        s->setPaintMode(Shape::Stroke);
        EXPECT_TRUE(s->Paint(IntPoint(), dev));
        std::string pic = cv.picture();
        for (char& ch : pic) {
            if (ch == '\n')
                ch = '|';
        }
        EXPECT_EQ(pic, c.picture) << c.what;
    }
}

// Under a span clip a wide stroke shows where the clip lets a fill show.
TEST_F(GdiDeviceTest, WideStrokesHonourTheSpanClip) {
    auto draw = [](bool clipped, bool stroke) {
        Canvas cv(16, 12);
        GdiDevice dev(cv.dc, IntPoint(16, 12));
        setColors(dev, 0, 0);
        dev.SaveClip();
        if (clipped) {
            auto tri = polygon(dev, {{0, 0}, {16, 0}, {0, 12}});
            dev.ClipToShape(*tri, 1);
        }
        if (stroke) {
            dev.SetLineWidth(5);
            dev.SetLineCap(2);
            dev.SetDash({4, 2}, 0);
            auto path = dev.NewShape();
            path->MoveTo(IntPoint(2, 3));
            path->LineTo(IntPoint(14, 6));
            path->LineTo(IntPoint(6, 11));
            path->setPaintMode(Shape::Stroke);
            path->Paint(IntPoint(), dev);
        } else {
            dev.FillRect(IntRect(0, 0, 16, 12));
        }
        dev.RestoreClip();
        return cv.picture();
    };
    const std::string whole = draw(false, true), area = draw(true, false),
                      clipped = draw(true, true);
    std::string expected = whole;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] == '#' && area[i] != '#')
            expected[i] = '.';
    }
    EXPECT_NE(expected, whole);
    EXPECT_NE(expected, blank(16, 12));
    EXPECT_EQ(clipped, expected);
}

TEST(GdiDeviceAttachTest, AttachDetachAndPens) {
    Canvas cv(4, 4);
    std::size_t pens = win::LiveObjectCount(win::HandleKind::Pen);
    {
        GdiDevice dev(cv.dc, IntPoint(4, 4));
        EXPECT_TRUE(dev.IsAttached());
        EXPECT_EQ(dev.bitsPerPixel(), 24);
        EXPECT_EQ(dev.clipMode(), 0);
        EXPECT_FALSE(dev.Attach(cv.dc, IntPoint(4, 4)));
        EXPECT_TRUE(dev.SelectStrokePen());
        EXPECT_EQ(win::LiveObjectCount(win::HandleKind::Pen), pens + 1);
        EXPECT_EQ(dev.Detach(), cv.dc);
        EXPECT_EQ(win::LiveObjectCount(win::HandleKind::Pen), pens);
        dev.MoveTo(IntPoint(2, 2));  // detached: ignored
        EXPECT_EQ(dev.GetCurrentPoint(), IntPoint());
        EXPECT_TRUE(dev.Attach(cv.dc, IntPoint(4, 4)));
        EXPECT_TRUE(dev.BeginSpans());
    }
    EXPECT_EQ(win::LiveObjectCount(win::HandleKind::Pen), pens);
}

// ---- coverage bitmaps --------------------------------------------------------

TEST_F(GdiDeviceTest, CoverageBlendsTowardTheColour) {
    struct Case {
        std::uint8_t coverage;
        std::uint32_t expected;
    } cases[] = {
        {0, 0xFFFFFF}, {128, 0x7F7F7F}, {250, 0x050505}, {251, 0}, {255, 0},
    };
    for (bool dib : {false, true}) {
        Canvas cv(5, 1);
        GdiDevice dev(cv.dc, IntPoint(5, 1));
        std::unique_ptr<CoverageBitmap> bm =
            dib ? dev.NewCoverageBitmap(5, 1) : std::make_unique<CoverageBitmap>(5, 1);
        ASSERT_TRUE(bm && bm->isUsable());
        for (int i = 0; i < 5; ++i)
            bm->data()[i] = cases[i].coverage;
        EXPECT_TRUE(dev.Draw(IntPoint(0, 0), *bm));
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(cv.pixel(i, 0), cases[i].expected) << dib << " " << i;
    }
}

TEST_F(GdiDeviceTest, DibCompositeIgnoresTheSpanClip) {
    SettingValue unknownKind;
    unknownKind.kind = 0;
    const SettingValue zero = SettingValue::ofInteger(0), two = SettingValue::ofReal(2.0);
    struct Case {
        bool dib;
        const SettingValue* method;  // null: missing
        const char* picture;
    } cases[] = {
        // The plain kind writes only pixels strictly inside the clip.
        {false, nullptr, ".##.\n.##.\n....\n"},     {true, nullptr, "####\n####\n####\n"},
        {true, &zero, ".##.\n.##.\n....\n"},         // plain
        {true, &unknownKind, ".##.\n.##.\n....\n"},  // plain
        {true, &two, "####\n####\n####\n"},
    };
    for (const Case& c : cases) {
        if (c.method) {
            setSetting(settings::FontSystem, settings::AAMethod, *c.method);
        } else {
            clearSetting(settings::FontSystem, settings::AAMethod);
        }
        Canvas cv(4, 3);
        GdiDevice dev(cv.dc, IntPoint(4, 3));
        auto sq = polygon(dev, {{0, 0}, {3, 0}, {3, 2}, {0, 2}});
        dev.ClipToShape(*sq, 1);
        std::unique_ptr<CoverageBitmap> bm =
            c.dib ? dev.NewCoverageBitmap(4, 3) : std::make_unique<CoverageBitmap>(4, 3);
        std::fill_n(bm->data(), 12, std::uint8_t(255));
        bm->Composite(IntPoint(0, 0), dev);
        EXPECT_EQ(cv.picture(), c.picture) << c.dib;
    }
}

// A page of a kind for the coverage tests: a DIB section of 8 (grey), 24 or
// 32 bits with rows from the top or the bottom, or a compatible bitmap, its
// pixels a pattern of colours.
struct PatternPage {
    win::HDC dc;
    win::HBITMAP bitmap;
    win::HGDIOBJ old;
    void* bits = nullptr;

    PatternPage(int bpp, bool bottomUp, bool compatible, int w, int h) {
        dc = win::CreateCompatibleDC(nullptr);
        if (compatible) {
            bitmap = win::CreateCompatibleBitmap(dc, w, h);
        } else {
            struct {
                win::BITMAPINFOHEADER h;
                win::RGBQUAD colors[256];
            } info{};
            info.h = {sizeof(win::BITMAPINFOHEADER), w, bottomUp ? h : -h, 1, win::WORD(bpp),
                      win::BI_RGB, 0, 0, 0, 0, 0};
            for (int i = 0; i < 256; ++i)
                info.colors[i] = {win::BYTE(i), win::BYTE(i), win::BYTE(i), 0};
            bitmap = win::CreateDIBSection(dc, reinterpret_cast<win::BITMAPINFO*>(&info),
                                           win::DIB_RGB_COLORS, &bits, nullptr, 0);
        }
        old = win::SelectObject(dc, bitmap);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x)
                win::SetPixel(dc, x, y, win::RGB(x * 29 % 256, y * 53 % 256, (x + y) * 17 % 256));
        }
    }
    ~PatternPage() {
        win::SelectObject(dc, old);
        win::DeleteObject(bitmap);
        win::DeleteDC(dc);
    }
    std::vector<std::uint32_t> pixels(int w, int h) const {
        win::SelectClipRgn(dc, nullptr);
        std::vector<std::uint32_t> all;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x)
                all.push_back(win::GetPixel(dc, x, y));
        }
        return all;
    }
};

// Glyphs blend straight into pages whose pixels can be reached and through
// the shared section into the others, with the same pixels: every kind of
// page, clipped or not, the block inside the page, across its edges or off
// it. A 32-bit section ends with its fourth byte cleared where the block was
// copied back, and kept elsewhere.
TEST_F(GdiDeviceTest, DibCompositeGivesTheSamePixelsOnEveryPage) {
    const int w = 13, h = 11;
    const struct {
        int bpp;
        bool bottomUp;
    } kinds[] = {{24, false}, {24, true}, {32, false}, {32, true}, {8, false}};
    const std::vector<std::vector<win::RECT>> clips = {
        {}, {{2, 1, 10, 9}}, {{1, 1, 4, 4}, {6, 5, 12, 10}}, {{20, 20, 30, 30}}};
    const IntPoint places[] = {{3, 2}, {-4, -3}, {8, 7}, {20, 2}, {2, -12}};
    for (const auto& kind : kinds) {
        for (std::size_t clip = 0; clip < clips.size(); ++clip) {
            for (const IntPoint& at : places) {
                std::vector<std::uint32_t> results[2];
                for (const bool compatible : {true, false}) {
                    PatternPage page(kind.bpp, kind.bottomUp, compatible, w, h);
                    if (kind.bpp == 32 && !compatible) {
                        for (int i = 0; i < w * h; ++i)
                            static_cast<std::uint8_t*>(page.bits)[i * 4 + 3] = 0x5A;
                    }
                    if (!clips[clip].empty()) {
                        win::HRGN all = win::CreateRectRgn(0, 0, 0, 0);
                        for (const win::RECT& r : clips[clip]) {
                            win::HRGN part = win::CreateRectRgn(r.left, r.top, r.right, r.bottom);
                            win::CombineRgn(all, all, part, win::RGN_OR);
                            win::DeleteObject(part);
                        }
                        win::SelectClipRgn(page.dc, all);
                        win::DeleteObject(all);
                    }
                    GdiDevice dev(page.dc, IntPoint(w, h));
                    std::unique_ptr<CoverageBitmap> bm = dev.NewCoverageBitmap(9, 7);
                    for (int i = 0; i < 63; ++i)
                        bm->data()[i] = std::uint8_t(i * 37 % 256);
                    bm->setColor(0x3080C0);
                    EXPECT_TRUE(bm->Composite(at, dev));
                    results[compatible] = page.pixels(w, h);
                    if (kind.bpp != 32 || compatible)
                        continue;
                    for (int y = 0; y < h; ++y) {
                        for (int x = 0; x < w; ++x) {
                            bool copied = x >= at.x && x < at.x + 9 && y >= at.y && y < at.y + 7;
                            if (!clips[clip].empty()) {
                                bool inside = false;
                                for (const win::RECT& r : clips[clip])
                                    inside = inside || (x >= r.left && x < r.right &&
                                                        y >= r.top && y < r.bottom);
                                copied = copied && inside;
                            }
                            const int row = kind.bottomUp ? h - 1 - y : y;
                            EXPECT_EQ(static_cast<std::uint8_t*>(page.bits)[(row * w + x) * 4 + 3],
                                      copied ? 0 : 0x5A)
                                << clip << " " << at.x << " " << x << "," << y;
                        }
                    }
                }
                if (kind.bpp != 8) {
                    EXPECT_EQ(results[0], results[1]) << kind.bpp << " " << clip << " " << at.x;
                }
            }
        }
    }
}

// Glyphs blended in place, many pixels a row at once, give every page value
// under every coverage the blend of one pixel: the value kept without
// coverage, the colour above 250, d - (d - k) x c / 255 between. The rows of
// the block end off the sixteen-pixel step, just before the page's edge, and
// the pixels beside the block keep their values.
TEST_F(GdiDeviceTest, DibCompositeBlendsEveryValueUnderEveryCoverage) {
    const int at = 7, h = 256;
    for (const int bpp : {24, 32}) {
        for (const auto& [columns, color] :
             {std::pair{256 + 5, 0x000000u}, std::pair{256 + 12, 0xFFFFFFu},
              std::pair{256 + 9, 0x3080C0u}}) {
            const int w = at + columns;
            PatternPage page(bpp, false, false, w, h);
            const int bytes = bpp / 8;
            const std::size_t stride = (std::size_t(w) * bytes + 3) & ~std::size_t(3);
            auto* bits = static_cast<std::uint8_t*>(page.bits);
            // Pixel x of a row holds x - 7 in every channel (the fourth byte
            // too); the coverage is the row's number.
            const auto value = [at](int x) { return std::uint8_t((x + 256 - at) % 256); };
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x)
                    std::fill_n(bits + y * stride + x * bytes, bytes, value(x));
            }
            GdiDevice dev(page.dc, IntPoint(w, h));
            std::unique_ptr<CoverageBitmap> bm = dev.NewCoverageBitmap(columns, h);
            for (int y = 0; y < h; ++y)
                std::fill_n(bm->data() + y * columns, columns, std::uint8_t(y));
            bm->setColor(color);
            ASSERT_TRUE(bm->Composite(IntPoint(at, 0), dev));
            for (int c = 0; c < h; ++c) {
                for (int x = 0; x < w; ++x) {
                    const std::uint8_t* p = bits + c * stride + x * bytes;
                    const std::uint32_t d = value(x);
                    for (int i = 0; i < bytes; ++i) {
                        const std::uint32_t k = i < 3 ? (color >> (16 - 8 * i)) & 0xFF : 0;
                        const std::uint32_t want = x < at    ? d
                                                   : i == 3  ? 0
                                                   : c == 0  ? d
                                                   : c > 250 ? k
                                                             : blendChannel(d, k, c);
                        ASSERT_EQ(p[i], want) << bpp << " " << color << " c " << c << " x " << x;
                    }
                }
            }
        }
    }
}

TEST_F(GdiDeviceTest, SharedSectionGrowsAndIsReleased) {
    Canvas cv(4, 4);
    GdiDevice dev(cv.dc, IntPoint(4, 4));
    ASSERT_EQ(DibCoverageBitmap::liveCount(), 0);
    {
        std::unique_ptr<CoverageBitmap> a = dev.NewCoverageBitmap(10, 4);
        EXPECT_EQ(DibCoverageBitmap::sharedSize(), IntPoint(10, 4));
        std::unique_ptr<CoverageBitmap> b = dev.NewCoverageBitmap(6, 9);
        EXPECT_EQ(DibCoverageBitmap::sharedSize(), IntPoint(10, 9));
        std::unique_ptr<CoverageBitmap> c = dev.NewCoverageBitmap(3, 3);
        EXPECT_EQ(DibCoverageBitmap::sharedSize(), IntPoint(10, 9));
        std::unique_ptr<DrawableBase> copy = c->clone();
        auto* d = static_cast<CoverageBitmap*>(copy.get());
        EXPECT_EQ(DibCoverageBitmap::liveCount(), 4);
        EXPECT_TRUE(d->isUsable());
        EXPECT_TRUE(d->Resize(12, 2));
        EXPECT_EQ(DibCoverageBitmap::sharedSize(), IntPoint(12, 9));
    }
    EXPECT_EQ(DibCoverageBitmap::liveCount(), 0);
    EXPECT_EQ(DibCoverageBitmap::sharedSize(), IntPoint(0, 0));
    std::unique_ptr<CoverageBitmap> e = dev.NewCoverageBitmap(2, 2);
    EXPECT_EQ(DibCoverageBitmap::sharedSize(), IntPoint(2, 2));
    // Oversized and negative requests are refused.
    EXPECT_EQ(dev.NewCoverageBitmap(1 << 20, 1 << 20), nullptr);
    EXPECT_EQ(dev.NewCoverageBitmap(-1, 5), nullptr);
    EXPECT_FALSE(e->Resize(1 << 20, 1 << 20));
    EXPECT_EQ(DibCoverageBitmap::liveCount(), 1);
}

// What the device paints is charged to the page's work meter for the part of
// the page it covers, however far the figure reaches beyond it; once the
// meter is spent the device paints nothing more.
TEST_F(GdiDeviceTest, PaintingIsChargedAndEndsOnceTheWorkIsSpent) {
    constexpr int kW = 40, kH = 30;
    struct Case {
        const char* what;
        void (*paint)(GdiDevice& dev);
        std::uint64_t least;  // the work of the pixels it covers
    };
    const Case cases[] = {
        {"rectangle reaching far off the page",
         [](GdiDevice& dev) { dev.FillRect(IntRect(-1000000, -1000000, 1000020, 1000010)); },
         20 * 10 / WorkMeter::kPixelsPerUnit},
        {"polygon",
         [](GdiDevice& dev) {
             std::unique_ptr<Shape> triangle = polygon(dev, {{0, 0}, {kW, 0}, {0, kH}});
             triangle->setPaintMode(Shape::Fill);
             triangle->Paint(IntPoint(0, 0), dev);
         },
         kW * kH / 2 / WorkMeter::kPixelsPerUnit},
        {"wide line reaching far off the page",
         [](GdiDevice& dev) {
             dev.SetLineWidth(9);
             dev.Line(IntPoint(-100000, 15), IntPoint(100000, 15));
         },
         kW * 9 / WorkMeter::kPixelsPerUnit},
        {"image",
         [](GdiDevice& dev) {
             TestImage img(10, 10, 0x0000FF);
             dev.BlitImage(img, IntPoint(5, 5));
         },
         WorkMeter::kImagePixelWork * 100},
        {"glyph",
         [](GdiDevice& dev) {
             std::unique_ptr<CoverageBitmap> glyph = dev.NewCoverageBitmap(8, 8);
             std::fill_n(glyph->data(), 64, std::uint8_t(255));
             dev.Draw(IntPoint(2, 2), *glyph);
         },
         WorkMeter::kGlyphPixelWork * 64},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (bool spent : {false, true}) {
            Canvas cv(kW, kH);
            GdiDevice dev(cv.dc, IntPoint(kW, kH));
            setColors(dev, 0, 0);
            WorkMeter meter;
            if (spent)
                meter.charge(WorkMeter::kBudget + 1);
            dev.setWorkMeter(&meter);
            c.paint(dev);
            EXPECT_EQ(cv.picture() == blank(kW, kH), spent);
            if (!spent) {
                EXPECT_GE(meter.done(), c.least);
                // At most a few times the whole page.
                EXPECT_LE(meter.done(), WorkMeter::kImagePixelWork *
                                            WorkMeter::paintWork(kH, std::uint64_t(kW) * kH));
            }
        }
    }
}

// A meter charges one device at a time, and either may go first.
TEST(GdiDeviceWorkMeterTest, MeterAndDeviceLeaveEachOther) {
    Canvas cv(4, 4);
    WorkMeter meter;
    {
        GdiDevice first(cv.dc, IntPoint(4, 4)), second(cv.dc, IntPoint(4, 4));
        first.setWorkMeter(&meter);
        second.setWorkMeter(&meter);
        EXPECT_EQ(first.workMeter(), nullptr);
        EXPECT_EQ(meter.device(), &second);
    }
    EXPECT_EQ(meter.device(), nullptr);
    GdiDevice device(cv.dc, IntPoint(4, 4));
    {
        WorkMeter shortLived;
        device.setWorkMeter(&shortLived);
    }
    EXPECT_EQ(device.workMeter(), nullptr);
    EXPECT_TRUE(device.FillRect(IntRect(0, 0, 4, 4)));
}

}  // namespace
}  // namespace vistrel
