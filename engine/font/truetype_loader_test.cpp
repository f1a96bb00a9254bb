// The TrueType loader and the description factory of the "Standard"
// category.
#include "engine/font/truetype_loader.h"

#include <gtest/gtest.h>

#include "engine/constants/font_constants.h"
#include "engine/core/settings_store.h"
#include "engine/font/cached_truetype_renderer.h"
#include "engine/font/font_registry.h"
#include "engine/font/glyph_cache.h"
#include "engine/font/truetype_test_util.h"

namespace vistrel {
namespace {

using testing::TrueTypeSettings;
using testing::trueTypeDescription;

// "UseTTCache" picks the renderer; descriptions of other kinds, and fonts
// that find no face, give none.
TEST(TrueTypeLoaderTest, RendererByTheCacheSetting) {
    TrueTypeSettings settings;
    std::unique_ptr<FontRenderer> font = loadTrueTypeFont(*trueTypeDescription(u"arial"), nullptr);
    EXPECT_NE(dynamic_cast<GdiTrueTypeRenderer*>(font.get()), nullptr);
    settings.cache.set(SettingValue::ofText(WString(u"true")));
    font = loadTrueTypeFont(*trueTypeDescription(u"arial"), nullptr);
    EXPECT_NE(dynamic_cast<CachedTrueTypeRenderer*>(font.get()), nullptr);
    EXPECT_EQ(loadTrueTypeFont(*trueTypeDescription(u"nosuchface"), nullptr), nullptr);
    Type1FontDescription type1;
    type1.name().assignText(u"arial");
    EXPECT_EQ(loadTrueTypeFont(type1, nullptr), nullptr);
}

// A face the system cannot give makes no cached renderer, whose making
// would drop glyphs of other fonts under caching mode 1 (a page that asks
// for such a font again each time would empty the cache of that matrix).
TEST(TrueTypeLoaderTest, AFaceNotFoundMakesNoCachedRenderer) {
    TrueTypeSettings settings;
    settings.cache.set(SettingValue::ofBoolean(true));
    settings.cacheGlyphs.set(SettingValue::ofBoolean(true));
    ASSERT_NE(glyphCache(), nullptr);
    const char other = 0;
    glyphCache()->insert(GlyphKey{1000, 0, 0, 1000, 65, &other}, CachedGlyph());
    EXPECT_EQ(loadTrueTypeFont(*trueTypeDescription(u"nosuchface"), nullptr), nullptr);
    EXPECT_EQ(glyphCache()->count(), 1);
    glyphCache()->removeFont(&other);
}

// The key name is the face with the style words; the key "Standard: " and
// the face alone.
TEST(TrueTypeLoaderTest, StandardDescriptions) {
    const struct {
        std::int32_t weight;
        bool italic, underline, strikeout;
        const char* name;
    } cases[] = {
        {400, false, false, false, "Arial"},
        {700, true, false, false, "Arialitalicbold"},
        {100, false, true, true, "Arialunderlinestrikeoutthin"},
        {200, false, false, false, "Arialextralight"},
        {300, false, false, false, "Ariallight"},
        {500, false, false, false, "Arialmedium"},
        {600, false, false, false, "Arialsemibold"},
        {800, false, false, false, "Arialextrabold"},
        {900, true, true, false, "Arialitalicunderlineheavy"},
        {450, false, false, false, "Arial"},
    };
    for (const auto& c : cases) {
        auto request = makeRef<StandardFontRequest>();
        request->name.assignText(u"MacRomanEncoding");
        request->faces.assignText(u"Arial");
        request->weight = c.weight;
        request->italic = c.italic;
        request->underline = c.underline;
        request->strikeout = c.strikeout;
        request->differences = std::make_unique<Differences>();
        request->differences->add(65, WString(u"/B"));
        WString key;
        Ref<FontDescription> d = makeStandardTrueTypeDescription(FontSource(request.get()), key);
        ASSERT_NE(d, nullptr);
        ASSERT_EQ(d->kind(), FontDescription::kTrueType);
        const auto& tt = static_cast<const TrueTypeFontDescription&>(*d);
        EXPECT_EQ(tt.name().toUtf8(), c.name);
        EXPECT_EQ(key.toUtf8(), "Standard: Arial");
        EXPECT_EQ(tt.encodingName().toUtf8(), "MacRomanEncoding");
        ASSERT_NE(tt.differences(), nullptr);
        EXPECT_TRUE(tt.differences()->equals(*request->differences));
        EXPECT_EQ(tt.widths().count(), 0);
        EXPECT_EQ(tt.avgWidth, 0.0);
        EXPECT_EQ(tt.maxWidth, 0.0);
        EXPECT_EQ(tt.ascent, -1.0);
        EXPECT_EQ(tt.descent, -1.0);
        EXPECT_EQ(tt.program(), nullptr);
        EXPECT_EQ(tt.weight(), c.weight == 450 ? 400 : c.weight);
    }
    WString key;
    EXPECT_EQ(makeStandardTrueTypeDescription(FontSource(), key), nullptr);
}

// A "Standard" request through the registry: the factory's description and
// the loader's font, the next face of the list when one is not found.
TEST(TrueTypeLoaderTest, StandardFontsThroughTheRegistry) {
    TrueTypeSettings settings;
    testing::freshEngineRegistry();
    auto request = makeRef<StandardFontRequest>();
    request->name.assignText(u"WinAnsiEncoding");
    request->faces.assignText(u"nosuchface;couriernew");
    request->weight = 400;
    {
        Ref<FontHandle> handle = fontRegistry()->createFont(
            fontwords::TrueType, fontwords::Standard, FontSource(request.get()), nullptr, false);
        ASSERT_NE(handle, nullptr);
        ASSERT_NE(handle->font(), nullptr);
        WString text;
        handle->font()->description(text);
        EXPECT_EQ(text.toUtf8(), "TrueType: Liberation Mono ");
        EXPECT_EQ(fontRegistry()->liveFont(*handle)->key.toUtf8(), "Standard: couriernew");
    }
    fontRegistry()->purge(-1);
}

}  // namespace
}  // namespace vistrel
