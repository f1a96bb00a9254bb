// The cached TrueType renderer: glyphs drawn by the system's fonts at F
// times the size, reduced to coverage and composited by the glyph-caching
// base.
#include "engine/font/cached_truetype_renderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

#include "engine/core/settings_store.h"
#include "engine/font/glyph_cache.h"
#include "engine/font/truetype_loader.h"
#include "engine/font/truetype_test_util.h"
#include "engine/render/raster/coverage_bitmap.h"

namespace vistrel {
namespace {

using testing::TestPage;
using testing::TrueTypeSettings;
using testing::trueTypeDescription;

// A description whose metrics are known, so that nothing is measured: the
// descent is 0.25 em.
Ref<TrueTypeFontDescription> knownMetrics(const std::u16string& name) {
    auto d = trueTypeDescription(name);
    d->avgWidth = 0.5;
    d->maxWidth = 1.0;
    d->ascent = 0.75;
    d->descent = 0.25;
    for (int code = 0; code < 256; ++code)
        d->widths().append(0.6);
    return d;
}

TEST(CachedTrueTypeRendererTest, BlockCoverage) {
    const struct {
        int factor, lit, coverage;
    } cases[] = {
        {2, 0, 0},   {2, 1, 64},  {2, 2, 128}, {2, 3, 192},  {2, 4, 255},
        {4, 0, 0},   {4, 1, 15},  {4, 2, 31},  {4, 8, 127},  {4, 15, 239},
        {4, 16, 255},
    };
    for (const auto& c : cases)
        EXPECT_EQ(blockCoverage(c.factor, c.lit), c.coverage) << c.factor << " " << c.lit;
}

// The box holds the size plus the descent at F times the page's size: twice
// as wide as high, square (by the diagonal) for quarter and half turns,
// rounded up to whole blocks and to 4 pixels across. F is 2 for faces of
// weight 700 and more, else 4.
TEST(CachedTrueTypeRendererTest, GlyphBoxAndOrigin) {
    TrueTypeSettings settings;
    const struct {
        const char16_t* name;
        Matrix m;
        int factor, width, height;
        IntPoint origin;
    } cases[] = {
        {u"arial", {1, 0, 0, -1, 0, 40}, 4, 100, 52, {0, 0}},
        {u"arial,semibold", {1, 0, 0, -1, 0, 40}, 4, 100, 52, {0, 0}},
        {u"arial,bold", {1, 0, 0, -1, 0, 40}, 2, 52, 26, {0, 0}},
        {u"arial,heavy", {2, 0, 0, -2, 0, 40}, 2, 100, 50, {0, 0}},
        // Skewed: the device size is the length of the y axis.
        {u"arial", {1, 0, 0.3, -1, 0, 40}, 4, 104, 52, {0, 0}},
        // Turned: text up starts at the bottom left, text down at the top
        // right, upside-down text at the bottom right.
        {u"arial", {0, -1, -1, 0, 0, 40}, 4, 72, 72, {0, 72}},
        {u"arial", {0, 1, 1, 0, 0, 40}, 4, 72, 72, {72, 0}},
        {u"arial", {-1, 0, 0, 1, 0, 40}, 4, 72, 72, {72, 72}},
        {u"arial,bold", {-1, 0, 0, 1, 0, 40}, 2, 36, 36, {36, 36}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << WString(c.name).toUtf8() << " " << c.m.a << " "
                                          << c.m.b << " " << c.m.c << " " << c.m.d);
        TestPage page(64, 64);
        CachedTrueTypeRenderer font(*knownMetrics(c.name), &page.device);
        ASSERT_TRUE(font.isUsable());
        EXPECT_EQ(font.factor(), c.factor);
        testing::placeFont(font, 10, c.m);
        ASSERT_TRUE(font.prepareBitmap());
        EXPECT_EQ(font.inner()->deviceSize(), c.factor * font.deviceSize());
        EXPECT_EQ(font.boxWidth(), c.width);
        EXPECT_EQ(font.boxHeight(), c.height);
        EXPECT_EQ(font.origin(), c.origin);
        EXPECT_EQ(font.bitmapSize(), IntPoint(c.width, c.height));
    }
}

// One bitmap per renderer that only grows; a box over the limit draws no
// glyph and advances all the same.
TEST(CachedTrueTypeRendererTest, BitmapOnlyGrowsAndHugeGlyphsDrawNothing) {
    TrueTypeSettings settings;
    TestPage page(64, 64);
    CachedTrueTypeRenderer font(*knownMetrics(u"arial"), &page.device);
    ASSERT_TRUE(font.isUsable());
    const struct {
        double size;
        Matrix m;
        IntPoint bitmap;
    } steps[] = {
        {10, {1, 0, 0, -1, 0, 40}, {100, 52}},
        {5, {1, 0, 0, -1, 0, 40}, {100, 52}},
        {20, {1, 0, 0, -1, 0, 40}, {200, 100}},
        {10, {0, 1, 1, 0, 0, 40}, {200, 100}},
        {30, {0, 1, 1, 0, 0, 40}, {212, 212}},
    };
    for (const auto& s : steps) {
        testing::placeFont(font, s.size, s.m);
        ASSERT_TRUE(font.prepareBitmap());
        EXPECT_EQ(font.bitmapSize(), s.bitmap) << s.size;
    }

    for (const double size : {1e6, 1e300, double(INFINITY), double(NAN)}) {
        SCOPED_TRACE(size);
        testing::placeFont(font, size, {1, 0, 0, -1, 5, 40});
        EXPECT_TRUE(font.showGlyph('H'));
        EXPECT_EQ(font.boxWidth(), 0);
        EXPECT_EQ(font.bitmapSize(), IntPoint(212, 212));
        EXPECT_EQ(page.ink().count, 0);
        if (std::isfinite(size)) {
            EXPECT_GT(font.textMatrix().e, 5);
        }
    }
}

// Underline and strike-out are drawn by the base as lines; the inner
// renderer's glyphs and its description go without them.
TEST(CachedTrueTypeRendererTest, DecorationsLeftToTheBase) {
    TrueTypeSettings settings;
    TestPage page(64, 64);
    CachedTrueTypeRenderer font(*trueTypeDescription(u"arial,underline,strikeout"), &page.device);
    ASSERT_TRUE(font.isUsable());
    EXPECT_EQ(font.decorations(), CachedGlyphRenderer::kUnderline | CachedGlyphRenderer::kStrikeout);
    EXPECT_EQ(font.inner()->logFont().lfUnderline, 0);
    EXPECT_EQ(font.inner()->logFont().lfStrikeOut, 0);
    WString text;
    font.description(text);
    EXPECT_EQ(text.toUtf8(), "TrueType: Liberation Sans ");

    // The glyph of a space has no ink and no lines; an "i" gets both, the
    // underline two pixels below the baseline across its width.
    testing::placeFont(font, 20, {1, 0, 0, -1, 10, 40});
    EXPECT_TRUE(font.showGlyph(' '));
    EXPECT_EQ(page.ink().count, 0);
    const std::int32_t x = std::int32_t(std::lround(font.textMatrix().e));
    const std::int32_t width = font.roundedWidth('i');
    EXPECT_TRUE(font.showGlyph('i'));
    const TestPage::Ink ink = page.ink();
    EXPECT_EQ(ink.y1, 42);
    for (int px = x; px < x + width; ++px)
        EXPECT_NE(page.canvas.pixel(px, 42), 0xFFFFFFu) << px;
}

// Either renderer puts a glyph's baseline on the glyph's origin, whichever
// way the baseline is turned, and both draw it in the same place.
TEST(CachedTrueTypeRendererTest, GlyphsStandOnTheirBaseline) {
    const struct {
        Matrix m;
        char side;  // the side of the ink box at the origin: bottom, top, left, right
    } cases[] = {
        {{1, 0, 0, -1, 30, 40}, 'b'},
        {{-1, 0, 0, 1, 30, 40}, 't'},
        {{0, -1, -1, 0, 30, 40}, 'r'},
        {{0, 1, 1, 0, 30, 40}, 'l'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.m.a << " " << c.m.b << " " << c.m.c << " " << c.m.d);
        TestPage::Ink inks[2];
        for (const bool cached : {false, true}) {
            TrueTypeSettings settings;
            settings.cache.set(SettingValue::ofBoolean(cached));
            TestPage page(64, 80);
            std::unique_ptr<FontRenderer> font =
                loadTrueTypeFont(*trueTypeDescription(u"arial"), &page.device);
            ASSERT_NE(font, nullptr);
            EXPECT_EQ(dynamic_cast<CachedTrueTypeRenderer*>(font.get()) != nullptr, cached);
            testing::placeFont(*font, 24, c.m);
            ASSERT_TRUE(font->showGlyph('H'));
            const TestPage::Ink ink = page.ink();
            ASSERT_GT(ink.count, 0);
            const int at = c.side == 'b' ? ink.y1 + 1
                           : c.side == 't' ? ink.y0
                           : c.side == 'l' ? ink.x0
                                           : ink.x1 + 1;
            const int origin = c.side == 'b' || c.side == 't' ? 40 : 30;
            EXPECT_LE(std::abs(at - origin), 1) << (cached ? "cached" : "system");
            inks[cached] = ink;
        }
        EXPECT_LE(std::abs(inks[0].x0 - inks[1].x0), 1);
        EXPECT_LE(std::abs(inks[0].x1 - inks[1].x1), 1);
        EXPECT_LE(std::abs(inks[0].y0 - inks[1].y0), 1);
        EXPECT_LE(std::abs(inks[0].y1 - inks[1].y1), 1);
    }
}

// A text cell that reaches further below the size than the description's
// descent (0.01 em here against Liberation Sans's 0.905 + 0.212 em): the box
// holds the system font's whole cell (44 pixels at 4 x 10, not 40), so a
// descender comes out where the system font draws it.
TEST(CachedTrueTypeRendererTest, TheBoxHoldsTheSystemFontsWholeCell) {
    auto shallow = knownMetrics(u"arial");
    shallow->ascent = 0.95;
    shallow->descent = 0.01;
    {
        TrueTypeSettings settings;
        TestPage page(64, 64);
        CachedTrueTypeRenderer font(*shallow, &page.device);
        testing::placeFont(font, 10, {1, 0, 0, -1, 0, 40});
        ASSERT_TRUE(font.prepareBitmap());
        EXPECT_EQ(font.boxHeight(), 44);
        EXPECT_EQ(font.origin(), IntPoint(0, 0));
    }
    TestPage::Ink inks[2];
    for (const bool cached : {false, true}) {
        TrueTypeSettings settings;
        settings.cache.set(SettingValue::ofBoolean(cached));
        TestPage page(64, 80);
        std::unique_ptr<FontRenderer> font = loadTrueTypeFont(*shallow, &page.device);
        ASSERT_NE(font, nullptr);
        testing::placeFont(*font, 24, {1, 0, 0, -1, 20, 40});
        ASSERT_TRUE(font->showGlyph('g'));
        inks[cached] = page.ink();
        ASSERT_GT(inks[cached].count, 0);
    }
    EXPECT_GT(inks[0].y1, 40 + 3);
    EXPECT_LE(std::abs(inks[0].y0 - inks[1].y0), 1);
    EXPECT_LE(std::abs(inks[0].y1 - inks[1].y1), 1);
}

// Measures come back in page pixels.
TEST(CachedTrueTypeRendererTest, MeasuresInPagePixels) {
    TrueTypeSettings settings;
    TestPage page(64, 64);
    CachedTrueTypeRenderer cached(*trueTypeDescription(u"arial"), &page.device);
    GdiTrueTypeRenderer system(*trueTypeDescription(u"arial"), &page.device);
    for (FontRenderer* font : {static_cast<FontRenderer*>(&cached), static_cast<FontRenderer*>(&system)})
        testing::placeFont(*font, 17, {1, 0, 0, -1, 0, 40});
    for (const char16_t code : std::u16string(u"HiW ")) {
        EXPECT_LE(std::abs(cached.roundedWidth(code) - system.roundedWidth(code)), 1) << int(code);
        EXPECT_LE(std::abs(cached.glyphHeight(code) - system.glyphHeight(code)), 1) << int(code);
    }
    const double inner = const_cast<GdiTrueTypeRenderer*>(cached.inner())->programAdvance('H');
    EXPECT_DOUBLE_EQ(cached.programAdvance('H'), inner / 4);
}

// The coverage bitmap of each glyph is the box's lit pixels (bit 7 set),
// bounded and reduced block by block, whatever glyph was drawn before it:
// checked against a plain count over the whole box, for glyphs of many
// widths (so that the lit pixels end anywhere in a word) at both factors.
TEST(CachedTrueTypeRendererTest, CoverageIsTheBoxsLitPixelsReduced) {
    TrueTypeSettings settings;
    const struct {
        const char16_t* name;
        double size;
        Matrix m;
    } cases[] = {
        {u"arial", 23, {1, 0, 0, -1, 0, 40}},          {u"arial", 10.3, {1, 0, 0, -1, 0, 40}},
        {u"times new roman", 7, {1, 0, 0, -1, 0, 40}}, {u"arial,bold", 17.5, {1, 0, 0, -1, 0, 40}},
        {u"arial", 13, {0, 1, 1, 0, 0, 40}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << WString(c.name).toUtf8() << " " << c.size);
        TestPage page(64, 64);
        CachedTrueTypeRenderer font(*knownMetrics(c.name), &page.device);
        ASSERT_TRUE(font.isUsable());
        testing::placeFont(font, c.size, c.m);
        const int f = font.factor();
        for (const char16_t code : std::u16string(u"W.|gi-@l'm_")) {
            SCOPED_TRACE(int(code));
            CachedGlyph glyph;
            ASSERT_TRUE(font.renderGlyph(code, glyph));
            const std::unique_ptr<CoverageBitmap> bitmap(glyph.bitmap);
            int x0 = INT_MAX, x1 = -1, y0 = INT_MAX, y1 = -1;
            for (int y = 0; y < font.boxHeight(); ++y) {
                for (int x = 0; x < font.boxWidth(); ++x) {
                    if (font.imageRow(y)[x] & 0x80) {
                        x0 = std::min(x0, x), x1 = std::max(x1, x);
                        y0 = std::min(y0, y), y1 = y;
                    }
                }
            }
            ASSERT_GE(x1, 0);
            ASSERT_NE(bitmap, nullptr);
            const int c0 = x0 / f, r0 = y0 / f;
            ASSERT_EQ(bitmap->width(), x1 / f - c0 + 1);
            ASSERT_EQ(bitmap->height(), y1 / f - r0 + 1);
            for (int r = 0; r < bitmap->height(); ++r) {
                for (int col = 0; col < bitmap->width(); ++col) {
                    int lit = 0;
                    for (int i = 0; i < f * f; ++i)
                        lit += font.imageRow((r0 + r) * f + i / f)[(c0 + col) * f + i % f] >> 7;
                    ASSERT_EQ(bitmap->data()[std::size_t(r) * bitmap->width() + col],
                              blockCoverage(f, lit))
                        << col << " " << r;
                }
            }
        }
    }
}

// A copy renders the same glyphs with a context of its own.
TEST(CachedTrueTypeRendererTest, CloneRendersTheSame) {
    TrueTypeSettings settings;
    settings.cacheGlyphs.set(SettingValue::ofInteger(2));
    TestPage page(64, 64);
    CachedTrueTypeRenderer font(*trueTypeDescription(u"arial,bold"), &page.device);
    std::unique_ptr<DrawableBase> copy = font.clone();
    auto* clone = dynamic_cast<CachedTrueTypeRenderer*>(copy.get());
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->factor(), 2);
    EXPECT_NE(clone->inner(), font.inner());
    std::string pictures[2];
    for (int i = 0; i < 2; ++i) {
        CachedTrueTypeRenderer& f = i == 0 ? font : *clone;
        page.clear();
        testing::placeFont(f, 20, {1, 0, 0, -1, 10, 40});
        EXPECT_TRUE(f.showGlyph('g'));
        pictures[i] = page.canvas.picture();
    }
    EXPECT_EQ(pictures[0], pictures[1]);
    EXPECT_NE(pictures[0].find('#'), std::string::npos);
}

}  // namespace
}  // namespace vistrel
