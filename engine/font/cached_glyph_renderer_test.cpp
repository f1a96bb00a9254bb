#include "engine/font/cached_glyph_renderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "engine/constants/setting_keys.h"
#include "engine/font/font_test_util.h"
#include "engine/render/raster/coverage_bitmap.h"
#include "engine/render/raster/gdi_device.h"
#include "engine/render/raster/raster_test_util.h"

namespace vistrel {
namespace {

using test::Canvas;
using testing::SettingGuard;

constexpr std::uint16_t kA = 65;
constexpr std::uint16_t kB = 66;
constexpr std::uint16_t kSpace = 32;

const DoubleArray& halfWidths() {
    static const DoubleArray widths = [] {
        DoubleArray w;
        for (int code = 0; code < 128; ++code)
            w.append(0.5);
        return w;
    }();
    return widths;
}

// A font whose glyphs are full-coverage blocks of 2 x 3 pixels standing on
// the baseline, the space none; it counts what it renders and can fail or
// answer without a bitmap.
class BlockFont : public CachedGlyphRenderer {
public:
    enum Outcome { kBlock, kFail, kNoBitmap };

    explicit BlockFont(OutputDevice* device) : CachedGlyphRenderer(&halfWidths(), device) {
        setAscent(1.0);
    }

    bool renderGlyph(std::uint16_t code, CachedGlyph& glyph) override {
        rendered.push_back(code);
        if (outcome == kFail)
            return false;
        if (outcome == kNoBitmap || code == kSpace)
            return true;
        glyph.bitmap = device()->NewCoverageBitmap(2, 3).release();
        std::memset(glyph.bitmap->data(), 255, 6);
        glyph.left = 0;
        glyph.top = -3;
        glyph.baseline = 3;
        return true;
    }

    using CachedGlyphRenderer::setDecorations;

    std::vector<std::uint16_t> rendered;
    Outcome outcome = kBlock;
};

DeviceColor rgb(int r, int g, int b) {
    DeviceColor c;
    c.SetRgb(r, g, b);
    return c;
}

// A page of 24 x 14 pixels drawn with a red fill and a green stroke colour;
// its font stands at size 10 with the baseline at (2, 10).
struct Page {
    Canvas canvas{24, 14};
    GdiDevice device{canvas.dc, IntPoint(24, 14)};

    Page() {
        device.SetFillColor(rgb(255, 0, 0));
        device.SetStrokeColor(rgb(0, 255, 0));
    }
    void place(BlockFont& font, double x = 2, double y = 10) {
        font.fillColorChanged();
        font.setFontSize(10);
        const Matrix tm{1, 0, 0, -1, x, y};
        font.setTextMatrix(tm, nullptr);
    }
    std::string row(int y) const {
        std::string picture = canvas.picture();
        return picture.substr(std::size_t(y) * 25, 24);
    }
};

class CachedGlyphRendererTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(glyphCache(), nullptr); }
    void TearDown() override { glyphCache()->purge(0, 0, 0, 0, false); }
    GlyphCache& cache() { return *glyphCache(); }
};

// Two showings of a code render it once and composite it twice, in the fill
// colour, at the baseline; the cache keys it by the rendering matrix.
TEST_F(CachedGlyphRendererTest, RendersOnceAndCompositesTwice) {
    Page page;
    BlockFont font(&page.device);
    page.place(font);
    ASSERT_TRUE(font.showGlyph(kA));
    ASSERT_TRUE(font.showGlyph(kA));
    EXPECT_EQ(font.rendered, std::vector<std::uint16_t>{kA});
    EXPECT_EQ(cache().count(), 1);
    CachedGlyph out;
    EXPECT_TRUE(cache().lookup(GlyphKey{10000, 0, 0, -10000, kA, &font}, out));
    EXPECT_EQ(font.textMatrix().e, 12);
    for (int y : {7, 8, 9})
        EXPECT_EQ(page.row(y), "..rr...rr...............") << y;
    EXPECT_EQ(page.row(6), "........................");
    EXPECT_EQ(page.row(10), "........................");
}

// The text colour follows the device's fill colour, except in render modes
// 8 and 9.
TEST_F(CachedGlyphRendererTest, TextColourFollowsTheFillColour) {
    Page page;
    BlockFont font(&page.device);
    EXPECT_EQ(font.textColor(), 0x0000FFu);
    page.device.SetFillColor(rgb(0, 0, 255));
    font.fillColorChanged();
    EXPECT_EQ(font.textColor(), 0xFF0000u);
    for (int mode : {8, 9}) {
        font.setRenderMode(mode);
        page.device.SetFillColor(rgb(0, 0, 0));
        font.fillColorChanged();
        EXPECT_EQ(font.textColor(), 0xFF0000u) << mode;
    }
}

// Caching mode 2 renders every showing and leaves the cache alone; a glyph
// it finds there is lent, not destroyed.
TEST_F(CachedGlyphRendererTest, ModeTwoRendersEveryTime) {
    SettingGuard caching(settings::FontSystem, settings::CacheGlyphs);
    caching.set(SettingValue::ofInteger(2));
    Page page;
    BlockFont font(&page.device);
    page.place(font);
    EXPECT_EQ(font.cachingMode(), 2);
    ASSERT_TRUE(font.showGlyph(kA));
    ASSERT_TRUE(font.showGlyph(kA));
    EXPECT_EQ(font.rendered, (std::vector<std::uint16_t>{kA, kA}));
    EXPECT_EQ(cache().count(), 0);
    EXPECT_EQ(page.row(8), "..rr...rr...............");

    // An entry under the font's own key is used and stays in the cache.
    const GlyphKey key{10000, 0, 0, -10000, kB, &font};
    CachedGlyph lent;
    lent.bitmap = page.device.NewCoverageBitmap(1, 1).release();
    lent.bitmap->data()[0] = 255;
    ASSERT_TRUE(cache().insert(key, lent));
    ASSERT_TRUE(font.showGlyph(kB));
    EXPECT_EQ(font.rendered.size(), 2u);
    CachedGlyph out;
    ASSERT_TRUE(cache().lookup(key, out));
    EXPECT_EQ(out.bitmap, lent.bitmap);
    EXPECT_EQ(page.row(10), "............r...........");
}

// Render modes 3 and 7 advance without rendering or drawing.
TEST_F(CachedGlyphRendererTest, InvisibleModesOnlyAdvance) {
    for (int mode : {3, 7}) {
        Page page;
        BlockFont font(&page.device);
        page.place(font);
        font.setRenderMode(mode);
        EXPECT_TRUE(font.showGlyph(kA));
        EXPECT_TRUE(font.rendered.empty()) << mode;
        EXPECT_EQ(font.textMatrix().e, 7) << mode;
        EXPECT_EQ(cache().count(), 0) << mode;
        EXPECT_EQ(page.canvas.picture().find_first_not_of(".\n"), std::string::npos) << mode;
    }
}

// A glyph that cannot be rendered stops the showing without advancing; one
// rendered without a bitmap draws nothing, not a glyph rendered before.
TEST_F(CachedGlyphRendererTest, FailedAndEmptyRenderings) {
    Page page;
    BlockFont font(&page.device);
    page.place(font);
    ASSERT_TRUE(font.showGlyph(kA));

    font.outcome = BlockFont::kFail;
    EXPECT_FALSE(font.showGlyph(kB));
    EXPECT_EQ(font.textMatrix().e, 7);
    EXPECT_FALSE(font.drawGlyph(kB, IntPoint(15, 10)));

    font.outcome = BlockFont::kNoBitmap;
    EXPECT_TRUE(font.showGlyph(kB));
    EXPECT_TRUE(font.drawGlyph(kB, IntPoint(15, 10)));
    EXPECT_EQ(font.textMatrix().e, 12);
    EXPECT_EQ(cache().count(), 3);
    for (int y = 0; y < 14; ++y)
        EXPECT_EQ(page.row(y),
                  y >= 7 && y <= 9 ? "..rr...................." : std::string(24, '.'));
}

// Underline 2 pixels below the baseline and strike-out 0.3 of the size above
// it, as long as the rounded width, in the text colour; a space gets none.
// The device's colours are put back.
TEST_F(CachedGlyphRendererTest, DecorationLinesOnAGdiDevice) {
    Page page;
    BlockFont font(&page.device);
    page.place(font);
    font.setDecorations(CachedGlyphRenderer::kUnderline | CachedGlyphRenderer::kStrikeout);
    ASSERT_TRUE(font.showGlyph(kA));
    ASSERT_TRUE(font.showGlyph(kSpace));
    EXPECT_EQ(page.row(12), "..rrrrr.................");
    EXPECT_EQ(page.row(7), "..rrrrr.................");
    EXPECT_EQ(page.row(8), "..rr....................");
    EXPECT_EQ(page.row(11), "........................");
    EXPECT_EQ(page.device.FillColorValue(), 0x0000FFu);
    EXPECT_EQ(page.device.StrokeColorValue(), 0x00FF00u);

    font.setDecorations(CachedGlyphRenderer::kUnderline);
    ASSERT_TRUE(font.showGlyph(kB));
    EXPECT_EQ(page.row(12), "..rrrrr.....rrrrr.......");
    EXPECT_EQ(page.row(7), "..rrrrr.....rr..........");
}

// drawGlyph keys the glyph by the device size, composites it at the point
// plus its offsets, leaves the text position, and in render mode 8 draws in
// the foreground colour (the decoration leaves the device's fill colour at
// it).
TEST_F(CachedGlyphRendererTest, DrawGlyphAtAPoint) {
    Page page;
    BlockFont font(&page.device);
    page.place(font);
    font.setRenderMode(8);
    font.setDecorations(CachedGlyphRenderer::kUnderline);
    ASSERT_TRUE(font.drawGlyph(kA, IntPoint(4, 5)));
    CachedGlyph out;
    EXPECT_TRUE(cache().lookup(GlyphKey{10000, 0, 0, 10000, kA, &font}, out));
    EXPECT_EQ(font.textMatrix().e, 2);
    EXPECT_EQ(font.textColor(), 0u);
    EXPECT_EQ(page.row(2), "....##..................");
    EXPECT_EQ(page.row(4), "....##..................");
    EXPECT_EQ(page.row(7), "....#####...............");
    EXPECT_EQ(page.device.FillColorValue(), 0u);
    EXPECT_EQ(page.device.StrokeColorValue(), 0x00FF00u);
}

// Matrices from a document may be huge or not numbers: the key terms and
// the position are clamped, nothing lands on the page.
TEST_F(CachedGlyphRendererTest, NonFiniteAndHugeMatrices) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double scale;
        double x;
        std::int32_t term;
    } cases[] = {
        {1e300, 2, std::numeric_limits<std::int32_t>::max()},
        {-inf, 2, std::numeric_limits<std::int32_t>::min()},
        {std::nan(""), 2, 0},
        {1, 1e300, 1000},
        {1, std::nan(""), 1000},
    };
    for (const auto& c : cases) {
        Page page;
        BlockFont font(&page.device);
        page.place(font);
        font.setTextMatrix(Matrix{c.scale, 0, 0, -1, c.x, 1e20}, nullptr);
        font.setFontSize(1);
        font.showGlyph(kA);
        CachedGlyph out;
        EXPECT_TRUE(cache().lookup(GlyphKey{c.term, 0, 0, -1000, kA, &font}, out)) << c.scale;
        EXPECT_EQ(page.canvas.picture().find_first_not_of(".\n"), std::string::npos) << c.scale;
        cache().purge(0, 0, 0, 0, false);
    }
}

// "CacheGlyphs" read as a number; mode 1 then drops the glyphs of the
// font's matrix (of every font), mode 2 every glyph.
TEST_F(CachedGlyphRendererTest, ReadsTheCachingMode) {
    const struct {
        SettingValue value;
        bool present;
        std::int32_t mode;
        int left;  // of the two cached glyphs
    } cases[] = {
        {SettingValue(), false, 0, 2},
        {SettingValue::ofText(WString(u"2")), true, 2, 0},
        {SettingValue::ofBoolean(true), true, 1, 1},
        {SettingValue::ofBoolean(false), true, 0, 2},
        {SettingValue::ofReal(0.6), true, 1, 1},
        {SettingValue::ofInteger(7), true, 7, 2},
    };
    SettingGuard caching(settings::FontSystem, settings::CacheGlyphs);
    Page page;
    BlockFont font(&page.device);
    page.place(font);
    const char other = 0;
    for (const auto& c : cases) {
        cache().insert(GlyphKey{10000, 0, 0, -10000, kA, &other}, CachedGlyph());
        cache().insert(GlyphKey{20000, 0, 0, -20000, kA, &other}, CachedGlyph());
        if (c.present)
            caching.set(c.value);
        font.readOptions();
        EXPECT_EQ(font.cachingMode(), c.mode);
        EXPECT_EQ(cache().count(), c.left) << c.mode;
        cache().purge(0, 0, 0, 0, false);
    }
}

// A glyph-caching font that goes takes its own glyphs along; those of the
// fonts that stay are kept and not rendered again.
TEST_F(CachedGlyphRendererTest, DestructionDropsTheFontsOwnGlyphs) {
    Page page;
    BlockFont keeper(&page.device);
    page.place(keeper);
    keeper.showGlyph(kA);
    {
        BlockFont font(&page.device);
        page.place(font, 12);
        font.showGlyph(kA);
        font.showGlyph(kB);
        EXPECT_EQ(cache().count(), 3);
    }
    EXPECT_EQ(cache().count(), 1);
    page.place(keeper);
    keeper.showGlyph(kA);
    EXPECT_EQ(keeper.rendered, std::vector<std::uint16_t>{kA});
}

}  // namespace
}  // namespace vistrel
