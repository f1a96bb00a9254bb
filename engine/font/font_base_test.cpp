#include "engine/font/font_base.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/constants/setting_keys.h"
#include "engine/font/font_description.h"
#include "engine/font/font_test_util.h"
#include "engine/render/raster/coverage_bitmap.h"
#include "engine/render/raster/gdi_device.h"
#include "engine/render/raster/raster_test_util.h"

namespace vistrel {
namespace {

using testing::SettingGuard;

constexpr std::uint16_t kSquare = 65;  // a 1000-unit square on the baseline
constexpr std::uint16_t kFlat = 66;    // one contour that only runs sideways
constexpr std::uint16_t kNone = 1;     // no outline

// Adds a square contour with its lower left corner at (x, y), running
// anticlockwise, or clockwise when reversed.
void addSquare(Path& p, std::int32_t x, std::int32_t y, std::int32_t size, bool reversed = false) {
    p.MoveTo(x, y);
    if (reversed) {
        p.RLineTo(0, size);
        p.RLineTo(size, 0);
        p.RLineTo(0, -size);
    } else {
        p.RLineTo(size, 0);
        p.RLineTo(0, size);
        p.RLineTo(-size, 0);
    }
    p.ClosePath();
}

// Glyph units, y upwards, as font programs give them.
Path square(std::int32_t x = 0, std::int32_t size = 1000) {
    Path p;
    addSquare(p, x, 0, size);
    p.SetAdvance(2 * size, 0);
    return p;
}

// A rectangle four times as wide as it is high.
Path bar() {
    Path p;
    p.MoveTo(0, 0);
    p.RLineTo(1000, 0);
    p.RLineTo(0, 250);
    p.RLineTo(-1000, 0);
    p.ClosePath();
    return p;
}

Path flat() {
    Path p;
    p.MoveTo(0, 0);
    p.RLineTo(1000, 0);
    p.ClosePath();
    return p;
}

// An outline font whose outlines the test hands in.
class TestOutlineFont : public FontBase {
public:
    explicit TestOutlineFont(const FontDescription& d, OutputDevice* device = nullptr)
        : FontBase(d, device) {
        setOutlines(OutlineCache::create(256, 255));
        add(kSquare, square());
        add(kFlat, flat());
        setLoaded(true);
        setAscent(0.8);
    }
    bool loadProgram(InputStream* /*stream*/) override { return false; }

    void add(std::uint16_t code, const Path& path) {
        auto entry = std::make_unique<GlyphOutline>();
        entry->path = std::make_unique<Path>(path);
        outlines()->insert(code, std::move(entry));
    }
    void setNotdefPath(const Path& path) {
        auto entry = std::make_unique<GlyphOutline>();
        entry->path = std::make_unique<Path>(path);
        setNotdef(std::move(entry));
    }
    // Upright text of the device size s at (x, y).
    void place(double s, double x = 2, double y = 10) {
        setFontSize(s);
        setTextMatrix(Matrix{1, 0, 0, -1, x, y}, nullptr);
    }
    using FontBase::setLoaded;
    using FontBase::setOutlines;
};

// A rendered glyph: its placement and its coverage rows.
struct Rendered {
    bool ok = false;
    bool hasBitmap = false;
    std::int32_t left = 0, top = 0, baseline = 0;
    std::vector<std::vector<int>> rows;
};

Rendered render(TestOutlineFont& font, std::uint16_t code) {
    CachedGlyph glyph;
    Rendered r;
    r.ok = font.renderGlyph(code, glyph);
    std::unique_ptr<CoverageBitmap> bitmap(glyph.bitmap);
    r.hasBitmap = bool(bitmap);
    r.left = glyph.left;
    r.top = glyph.top;
    r.baseline = glyph.baseline;
    if (bitmap) {
        for (int y = 0; y < bitmap->height(); ++y) {
            const std::uint8_t* row = bitmap->data() + std::size_t(y) * bitmap->width();
            r.rows.emplace_back(row, row + bitmap->width());
        }
    }
    return r;
}

Type1FontDescription& plainDescription() {
    static Type1FontDescription d;
    return d;
}

// A page of w x h pixels whose fill colour is the text colour, drawn on with
// coverage steps of 255 (AASize 1), so that glyph pixels take the colour.
struct Page {
    Page(int w, int h, int r, int g, int b)
        : aaSize(settings::FontSystem, settings::AASize), canvas(w, h), device(canvas.dc, IntPoint(w, h)) {
        aaSize.set(SettingValue::ofInteger(1));
        DeviceColor color;
        color.SetRgb(r, g, b);
        device.SetFillColor(color);
    }
    std::string row(int y) const {
        return canvas.picture().substr(std::size_t(y) * std::size_t(canvas.width + 1),
                                       std::size_t(canvas.width));
    }

    SettingGuard aaSize;
    test::Canvas canvas;
    GdiDevice device;
};

class FontBaseTest : public ::testing::Test {
protected:
    void TearDown() override { glyphCache()->purge(0, 0, 0, 0, false); }
};

// The square at device size 4: four columns, and five rows since the
// sub-scanlines meet both the top and the bottom edge. Every pixel row holds
// AASize sub-scanlines, each adding 255 / AASize; the last row has only
// its first. AASize is read within 1 to 16.
TEST_F(FontBaseTest, CoverageStepsFollowTheAntiAliasingSize) {
    const struct {
        SettingValue value;
        bool present;
        int full;
        int lastRow;
    } cases[] = {
        {SettingValue(), false, 254, 127},
        {SettingValue::ofInteger(1), true, 255, 255},
        {SettingValue::ofInteger(4), true, 252, 63},
        {SettingValue::ofText(WString(u"8")), true, 248, 31},
        {SettingValue::ofInteger(0), true, 255, 255},
        {SettingValue::ofInteger(-3), true, 255, 255},
        {SettingValue::ofInteger(100), true, 240, 15},
    };
    SettingGuard aaSize(settings::FontSystem, settings::AASize);
    for (const auto& c : cases) {
        if (c.present)
            aaSize.set(c.value);
        TestOutlineFont font(plainDescription());
        font.place(4);
        const Rendered r = render(font, kSquare);
        ASSERT_TRUE(r.ok && r.hasBitmap) << c.full;
        ASSERT_EQ(r.rows.size(), 5u) << c.full;
        for (std::size_t y = 0; y < 5; ++y)
            EXPECT_EQ(r.rows[y], std::vector<int>(4, y < 4 ? c.full : c.lastRow)) << c.full;
        EXPECT_EQ(r.left, 0);
        EXPECT_EQ(r.baseline, 4);
        EXPECT_EQ(r.top, 0);
    }
}

// Contours that overlap add their coverage, which saturates at 255: two
// squares drawn the same way round, half over one another, at a size whose
// rows run over many pixels; the pixels covered twice stay at 255.
TEST_F(FontBaseTest, OverlappingContoursSaturate) {
    SettingGuard aaSize(settings::FontSystem, settings::AASize);
    aaSize.set(SettingValue::ofInteger(1));
    Path both = square();
    addSquare(both, 500, 0, 1000);
    TestOutlineFont font(plainDescription());
    font.add(kSquare + 2, both);
    font.place(40);
    const Rendered r = render(font, kSquare + 2);
    ASSERT_TRUE(r.ok && r.hasBitmap);
    ASSERT_EQ(r.rows.size(), 41u);
    for (std::size_t y = 0; y < 40; ++y) {
        ASSERT_GE(r.rows[y].size(), 40u);
        EXPECT_EQ(r.rows[y], std::vector<int>(r.rows[y].size(), 255)) << y;
    }
}

// A glyph shown on a page lands on its place: the square at size 4 from
// (2, 10) covers columns 2 to 5 and rows 6 to 10 in the text colour.
TEST_F(FontBaseTest, GlyphsLandWhereTheTextStands) {
    Page page(12, 12, 255, 0, 0);
    TestOutlineFont font(plainDescription(), &page.device);
    font.fillColorChanged();
    font.place(4);
    ASSERT_TRUE(font.showGlyph(kSquare));
    for (int y = 0; y < 12; ++y)
        EXPECT_EQ(page.row(y), y >= 6 && y <= 10 ? "..rrrr......" : std::string(12, '.')) << y;
    EXPECT_DOUBLE_EQ(font.textMatrix().e, 2 + 2.0 * 4);
}

// A counter that begins below the outline's top stays open: its sides begin
// after the outer ones, and each row's crossings pair up from left to right.
TEST_F(FontBaseTest, CountersStayOpen) {
    SettingGuard aaSize(settings::FontSystem, settings::AASize);
    aaSize.set(SettingValue::ofInteger(1));
    Path ring = square();
    addSquare(ring, 300, 300, 400, true);
    TestOutlineFont font(plainDescription());
    font.add('O', ring);
    font.place(10);
    const Rendered r = render(font, 'O');
    ASSERT_TRUE(r.hasBitmap);
    ASSERT_EQ(r.rows.size(), 11u);
    EXPECT_EQ(r.rows[5], (std::vector<int>{255, 255, 255, 0, 0, 0, 0, 255, 255, 255}));
}

// The flattened outline is kept in glyph units for the rendering matrix
// divided by the device size: another size of the same shape reuses it,
// another shape of matrix (horizontal scale 50) builds it again.
TEST_F(FontBaseTest, OutlineReusedAtAnySizeRebuiltForAnotherShape) {
    SettingGuard aaSize(settings::FontSystem, settings::AASize);
    aaSize.set(SettingValue::ofInteger(1));
    TestOutlineFont font(plainDescription());
    font.place(4);
    ASSERT_EQ(render(font, kSquare).rows.size(), 5u);
    GlyphOutline* entry = font.outlines()->lookup(kSquare);
    ASSERT_TRUE(entry && entry->edges);
    EXPECT_EQ(entry->a, 1.0);
    EXPECT_EQ(entry->d, -1.0);

    // A second square far right in the path shows only once rebuilt.
    Path wider = square();
    const Path second = square(3000);
    for (const PathPoint& p : second.points())
        wider.AppendPoint(p.x, p.y, p.kind);
    *entry->path = wider;
    Rendered r = render(font, kSquare);
    font.place(8);
    r = render(font, kSquare);
    ASSERT_TRUE(r.hasBitmap);
    EXPECT_EQ(r.rows[0].size(), 8u);

    font.setHorizontalScale(50);
    r = render(font, kSquare);
    ASSERT_TRUE(r.hasBitmap);
    ASSERT_EQ(r.rows[0].size(), 16u);
    EXPECT_EQ(r.rows[0][8], 0);
    EXPECT_EQ(entry->a, 0.5);
}

// Render modes 8 and 9 draw upright at the device size whatever the text
// matrix: the bar under a quarter turn comes out as it does upright.
TEST_F(FontBaseTest, ModesEightAndNineDrawUpright) {
    TestOutlineFont upright(plainDescription());
    upright.add(kSquare, bar());
    upright.place(8);
    const Rendered flatBar = render(upright, kSquare);
    ASSERT_TRUE(flatBar.hasBitmap);
    EXPECT_GT(flatBar.rows[0].size(), flatBar.rows.size());

    for (int mode : {0, 8, 9}) {
        TestOutlineFont font(plainDescription());
        font.add(kSquare, bar());
        font.setFontSize(8);
        font.setTextMatrix(Matrix{0, -1, -1, 0, 2, 10}, nullptr);
        font.setRenderMode(mode);
        const Rendered r = render(font, kSquare);
        ASSERT_TRUE(r.hasBitmap) << mode;
        if (mode == 0) {
            EXPECT_LT(r.rows[0].size(), r.rows.size());
        } else {
            EXPECT_EQ(r.rows, flatBar.rows) << mode;
            EXPECT_EQ(font.outlines()->lookup(kSquare)->d, -1.0) << mode;
        }
    }
}

// Under memory pressure every flattened outline goes but the one of the
// glyph rendered last; the paths stay.
TEST_F(FontBaseTest, TrimKeepsTheLastGlyphsOutline) {
    for (int level : {0, -1}) {
        TestOutlineFont font(plainDescription());
        font.add('C', square());
        font.place(4);
        render(font, kSquare);
        render(font, 'C');
        EXPECT_EQ(font.lastCode(), 'C');
        EXPECT_TRUE(font.trimCache(level));
        EXPECT_EQ(font.outlines()->lookup(kSquare)->edges, nullptr) << level;
        EXPECT_NE(font.outlines()->lookup(kSquare)->path, nullptr) << level;
        EXPECT_NE(font.outlines()->lookup('C')->edges, nullptr) << level;
    }
}

// Glyphs that cannot be drawn draw nothing and succeed: a code without an
// outline (there is no "/.notdef"), a glyph of one contour, a device size
// that is no positive finite number, a glyph over 4096 pixels a side. A
// glyph whose entry has no path fails.
TEST_F(FontBaseTest, GlyphsThatDrawNothing) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        std::uint16_t code;
        double size;
        bool ok;
    } cases[] = {
        {kNone, 4, true},        {kFlat, 4, true},     {kSquare, 0, true},
        {kSquare, -4, true},     {kSquare, inf, true}, {kSquare, std::nan(""), true},
        {kSquare, 4093, true},   {kSquare, 1e300, true}, {'P', 4, false},
    };
    for (const auto& c : cases) {
        TestOutlineFont font(plainDescription());
        font.outlines()->insert('P', std::make_unique<GlyphOutline>());
        font.place(c.size);
        const Rendered r = render(font, c.code);
        EXPECT_EQ(r.ok, c.ok) << c.code << " " << c.size;
        EXPECT_FALSE(r.hasBitmap) << c.code << " " << c.size;
    }
    TestOutlineFont font(plainDescription());
    font.place(4092);
    const Rendered largest = render(font, kSquare);
    ASSERT_TRUE(largest.hasBitmap);
    EXPECT_EQ(largest.rows[0].size(), 4092u);
}

// A string goes on past a code without an outline, which advances by its
// width; with a "/.notdef" outline such a code draws that. Without an
// outline cache a glyph fails.
TEST_F(FontBaseTest, CodesWithoutGlyphDoNotStopTheString) {
    Page page(40, 14, 0, 0, 0);
    TestOutlineFont font(plainDescription(), &page.device);
    font.fillColorChanged();
    font.place(8, 2, 12);
    const char16_t text[] = {kSquare, kNone, kSquare, 0};
    ASSERT_TRUE(font.showString(WString(text)));

    // Two squares a square's advance apart, the code between them without
    // a width.
    EXPECT_EQ(page.row(8), "..########........########..............");
    EXPECT_DOUBLE_EQ(font.textMatrix().e, 2 + 2 * 16);

    font.setNotdefPath(square(0, 500));
    font.place(4);
    const Rendered notdef = render(font, kNone);
    ASSERT_TRUE(notdef.hasBitmap);
    EXPECT_EQ(notdef.rows[0].size(), 2u);
    EXPECT_DOUBLE_EQ(font.programAdvance(kNone), 1.0);
    EXPECT_DOUBLE_EQ(font.programAdvance(kSquare), 2.0);
    // The advance stands in for the widths, which the horizontal scale
    // narrows.
    font.setHorizontalScale(50);
    EXPECT_DOUBLE_EQ(font.glyphWidth(kSquare), 1.0);

    TestOutlineFont empty(plainDescription());
    empty.setOutlines(nullptr);
    empty.place(4);
    EXPECT_FALSE(render(empty, kSquare).ok);
    EXPECT_EQ(empty.programAdvance(kSquare), 0.0);
}

// The options: "CacheEdges" on unless it reads off, "CacheGlyphs" off only
// when it reads as the number 2, "CurveThreshold" 13 when missing; each read
// by the engine's conventions (a value of no known kind is off and 0), when
// the font is made and again by readOptions.
TEST_F(FontBaseTest, OptionsAndTheirDefaults) {
    const SettingValue none;  // of no known kind
    const auto text = [](const char16_t* t) { return SettingValue::ofText(WString(t)); };
    struct Case {
        const char* name;
        std::optional<SettingValue> edges, glyphs, threshold;
        bool cacheEdges, cacheGlyphs;
        std::int32_t curveThreshold;
    } cases[] = {
        {"missing", {}, {}, {}, true, true, 13},
        {"integers", SettingValue::ofInteger(0), SettingValue::ofInteger(2),
         SettingValue::ofInteger(0), false, false, 0},
        {"other integers", SettingValue::ofInteger(5), SettingValue::ofInteger(1),
         SettingValue::ofInteger(40), true, true, 40},
        {"texts", text(u"true"), text(u"2"), text(u"20"), true, false, 20},
        {"other texts", text(u"on"), text(u"1"), text(u"x"), false, true, 0},
        {"reals half away from zero", SettingValue::ofReal(0.5), SettingValue::ofReal(1.5),
         SettingValue::ofReal(-7.5), true, false, -8},
        {"other reals", SettingValue::ofReal(0.0), SettingValue::ofReal(2.5),
         SettingValue::ofReal(7.4), false, true, 7},
        {"booleans", SettingValue::ofBoolean(false), SettingValue::ofBoolean(true),
         SettingValue::ofBoolean(true), false, true, 1},
        {"no known kind", none, none, none, false, true, 0},
    };
    TestOutlineFont reread(plainDescription());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SettingGuard edges(settings::FontSystem, settings::CacheEdges);
        SettingGuard glyphs(settings::FontSystem, settings::CacheGlyphs);
        SettingGuard threshold(settings::FontSystem, settings::CurveThreshold);
        if (c.edges)
            edges.set(*c.edges);
        if (c.glyphs)
            glyphs.set(*c.glyphs);
        if (c.threshold)
            threshold.set(*c.threshold);
        TestOutlineFont made(plainDescription());
        reread.readOptions();
        for (const FontBase* font : {static_cast<const FontBase*>(&made),
                                     static_cast<const FontBase*>(&reread)}) {
            EXPECT_EQ(font->cacheEdges(), c.cacheEdges);
            EXPECT_EQ(font->cacheGlyphs(), c.cacheGlyphs);
            EXPECT_EQ(font->curveThreshold(), c.curveThreshold);
        }
    }
}

}  // namespace
}  // namespace vistrel
