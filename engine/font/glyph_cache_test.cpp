#include "engine/font/glyph_cache.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

#include "engine/render/raster/coverage_bitmap.h"

namespace vistrel {
namespace {

// A bitmap that counts the live ones.
class CountedBitmap : public CoverageBitmap {
public:
    static int live;
    CountedBitmap() : CoverageBitmap(2, 2) { ++live; }
    ~CountedBitmap() override { --live; }
};
int CountedBitmap::live = 0;

char kFontA;
char kFontB;

GlyphKey key(std::int32_t scale, std::uint32_t code, const void* font = &kFontA) {
    return GlyphKey{scale, 0, 0, -scale, code, font};
}

CachedGlyph glyph(CoverageBitmap* bitmap, std::int32_t left = 0, std::int32_t top = 0,
                  std::int32_t baseline = 0) {
    CachedGlyph g;
    g.bitmap = bitmap;
    g.left = left;
    g.top = top;
    g.baseline = baseline;
    return g;
}

// Keys that differ in one word alone (the sizes of one glyph, whose a and d
// are equal; codes; fonts) get hashes of their own, spread over the buckets.
TEST(GlyphCacheTest, KeysDifferingInOneWordSpreadOverTheBuckets) {
    static const char fonts[256] = {};
    const struct {
        const char* what;
        GlyphKey (*make)(std::int32_t i);
    } families[] = {
        {"size", [](std::int32_t i) { return GlyphKey{4000 + 100 * i, 0, 0, 4000 + 100 * i, 65,
                                                     &kFontA}; }},
        {"code", [](std::int32_t i) { return GlyphKey{10000, 0, 0, 10000, std::uint32_t(i),
                                                     &kFontA}; }},
        {"font", [](std::int32_t i) { return GlyphKey{10000, 0, 0, 10000, 65, &fonts[i]}; }},
    };
    for (const auto& family : families) {
        std::set<std::uint32_t> hashes, buckets;
        for (std::int32_t i = 0; i < 256; ++i) {
            const std::uint32_t h = family.make(i).hash();
            hashes.insert(h);
            buckets.insert(h & 127);
        }
        EXPECT_EQ(hashes.size(), 256u) << family.what;
        EXPECT_GE(buckets.size(), 96u) << family.what;
    }
}

// 128 buckets at first; 512 from the 121st entry, 2048 from the 409th, 8192
// from the 1561st; removing every entry keeps the last count.
TEST(GlyphCacheTest, BucketsGrowAtFixedPointsAndNeverShrink) {
    GlyphCache cache;
    EXPECT_EQ(cache.bucketCount(), 128);
    const struct {
        int entries;
        int buckets;
    } steps[] = {{120, 128}, {121, 512}, {408, 512}, {409, 2048}, {1560, 2048}, {1561, 8192}};
    std::uint32_t code = 0;
    for (const auto& step : steps) {
        while (cache.count() < step.entries)
            ASSERT_TRUE(cache.insert(key(1000, code++), glyph(nullptr)));
        EXPECT_EQ(cache.bucketCount(), step.buckets) << step.entries;
    }
    for (std::uint32_t c = 0; c < code; ++c)
        cache.remove(key(1000, c));
    EXPECT_EQ(cache.count(), 0);
    EXPECT_EQ(cache.bucketCount(), 8192);
    cache.purge(0, 0, 0, 0, false);
    EXPECT_FALSE(cache.trim(-1));
    EXPECT_EQ(cache.bucketCount(), 8192);
}

// A hit copies the entry out as it was, then counts the use and stamps it;
// a miss leaves the record alone.
TEST(GlyphCacheTest, LookupCopiesOutBeforeCountingTheUse) {
    GlyphCache cache;
    auto* bitmap = new CountedBitmap();
    ASSERT_TRUE(cache.insert(key(1000, 65), glyph(bitmap, 1, -7, 6)));
    EXPECT_EQ(cache.stampCounter(), 1u);

    const struct {
        std::uint32_t useCount;
        std::uint64_t stamp;
        std::uint64_t counterAfter;
    } hits[] = {{1, 0, 2}, {2, 2, 3}, {3, 3, 4}};
    for (const auto& hit : hits) {
        CachedGlyph out;
        ASSERT_TRUE(cache.lookup(key(1000, 65), out));
        EXPECT_EQ(out.bitmap, bitmap);
        EXPECT_EQ(out.left, 1);
        EXPECT_EQ(out.top, -7);
        EXPECT_EQ(out.baseline, 6);
        EXPECT_EQ(out.useCount, hit.useCount);
        EXPECT_EQ(out.stamp, hit.stamp);
        EXPECT_EQ(cache.stampCounter(), hit.counterAfter);
    }

    // Another code, matrix or font misses.
    for (const GlyphKey& miss : {key(1000, 66), key(1001, 65), key(1000, 65, &kFontB)}) {
        CachedGlyph out = glyph(nullptr, 9, 9, 9);
        EXPECT_FALSE(cache.lookup(miss, out));
        EXPECT_EQ(out.left, 9);
        EXPECT_EQ(out.bitmap, nullptr);
    }
    EXPECT_EQ(cache.stampCounter(), 4u);
}

// Inserting a present key destroys the old bitmap, overwrites the placement
// and restarts the use count; the entry count stays.
TEST(GlyphCacheTest, InsertReplacesAnEntry) {
    GlyphCache cache;
    ASSERT_TRUE(cache.insert(key(1000, 65), glyph(new CountedBitmap(), 1, 2, 3)));
    CachedGlyph out;
    cache.lookup(key(1000, 65), out);
    cache.lookup(key(1000, 65), out);
    auto* second = new CountedBitmap();
    ASSERT_TRUE(cache.insert(key(1000, 65), glyph(second, 4, 5, 6)));
    EXPECT_EQ(CountedBitmap::live, 1);
    EXPECT_EQ(cache.count(), 1);
    ASSERT_TRUE(cache.lookup(key(1000, 65), out));
    EXPECT_EQ(out.bitmap, second);
    EXPECT_EQ(out.left, 4);
    EXPECT_EQ(out.baseline, 6);
    EXPECT_EQ(out.useCount, 1u);
    EXPECT_EQ(out.stamp, 3u);

    cache.remove(key(1000, 66));
    EXPECT_EQ(cache.count(), 1);
    cache.remove(key(1000, 65));
    EXPECT_EQ(cache.count(), 0);
    EXPECT_EQ(CountedBitmap::live, 0);
}

// Purge goes by the four matrix terms alone, across fonts.
TEST(GlyphCacheTest, PurgeByMatrixWithAndWithoutMatch) {
    const struct {
        std::int32_t a, b, c, d;
        bool match;
        std::vector<std::int32_t> left;  // scales of the entries that stay
    } cases[] = {
        {1000, 0, 0, -1000, true, {2000, 2000}},
        {1000, 0, 0, -1000, false, {1000, 1000}},
        {1000, 0, 0, 1000, true, {1000, 1000, 2000, 2000}},
        {1000, 0, 0, 1000, false, {}},
        {0, 0, 0, 0, true, {}},
        {0, 0, 0, 0, false, {}},
    };
    for (const auto& c : cases) {
        {
            GlyphCache cache;
            for (std::int32_t scale : {1000, 2000}) {
                cache.insert(key(scale, 65, &kFontA), glyph(new CountedBitmap()));
                cache.insert(key(scale, 65, &kFontB), glyph(new CountedBitmap()));
            }
            cache.purge(c.a, c.b, c.c, c.d, c.match);
            std::vector<std::int32_t> left;
            for (std::int32_t scale : {1000, 2000}) {
                for (const void* font : {&kFontA, &kFontB}) {
                    CachedGlyph out;
                    if (cache.lookup(key(scale, 65, font), out))
                        left.push_back(scale);
                }
            }
            EXPECT_EQ(left, c.left) << c.a << " " << c.d << " " << c.match;
            EXPECT_EQ(CountedBitmap::live, int(c.left.size()));
        }
        EXPECT_EQ(CountedBitmap::live, 0);
    }
}

// A level-0 trim removes what was used at or before the midpoint between the
// oldest stamp and the counter, also where the counter passes 2^31 and 2^32
// (a 32-bit sum wraps there and would remove nothing); a full trim removes
// everything. Each answers whether something went.
TEST(GlyphCacheTest, TrimAtBothLevels) {
    const std::uint64_t starts[] = {0, (1ull << 31) - 3, (1ull << 31) + 5, (1ull << 32) - 2,
                                    (1ull << 32) + 7};
    for (std::uint64_t start : starts) {
        GlyphCache cache;
        EXPECT_FALSE(cache.trim(0));
        EXPECT_FALSE(cache.trim(-1));
        cache.setStampCounter(start);
        for (std::uint32_t code = 65; code < 69; ++code)
            cache.insert(key(1000, code), glyph(new CountedBitmap()));
        // 65 is used again: stamps 66..68 = start+1..start+3, 65 = start+5.
        CachedGlyph out;
        cache.lookup(key(1000, 65), out);
        EXPECT_TRUE(cache.trim(0)) << start;
        EXPECT_EQ(cache.count(), 1) << start;
        EXPECT_TRUE(cache.lookup(key(1000, 65), out)) << start;
        // A lone entry is at or below any midpoint.
        EXPECT_TRUE(cache.trim(0));
        EXPECT_EQ(cache.count(), 0);

        cache.insert(key(1000, 70), glyph(new CountedBitmap()));
        cache.insert(key(2000, 70), glyph(new CountedBitmap()));
        EXPECT_TRUE(cache.trim(-1));
        EXPECT_EQ(cache.count(), 0);
        EXPECT_EQ(CountedBitmap::live, 0);
    }
}

// A font's entries go together, whatever their matrices; other fonts' stay,
// and a font without entries changes nothing. The font's ring is made anew
// for later entries.
TEST(GlyphCacheTest, RemovesTheEntriesOfOneFont) {
    GlyphCache cache;
    for (std::int32_t scale : {1000, 2000, 3000}) {
        for (std::uint32_t code : {65u, 66u}) {
            cache.insert(key(scale, code, &kFontA), glyph(new CountedBitmap()));
            cache.insert(key(scale, code, &kFontB), glyph(new CountedBitmap()));
        }
    }
    // A replaced and a removed entry leave the ring as well.
    cache.insert(key(1000, 65, &kFontA), glyph(new CountedBitmap()));
    cache.remove(key(2000, 66, &kFontA));
    EXPECT_EQ(cache.count(), 11);
    const char none = 0;
    cache.removeFont(&none);
    EXPECT_EQ(cache.count(), 11);

    cache.removeFont(&kFontA);
    EXPECT_EQ(cache.count(), 6);
    EXPECT_EQ(CountedBitmap::live, 6);
    CachedGlyph out;
    EXPECT_FALSE(cache.lookup(key(1000, 65, &kFontA), out));
    EXPECT_TRUE(cache.lookup(key(3000, 66, &kFontB), out));

    cache.insert(key(1000, 67, &kFontA), glyph(new CountedBitmap()));
    cache.trim(-1);
    cache.insert(key(1000, 68, &kFontB), glyph(new CountedBitmap()));
    cache.removeFont(&kFontA);
    EXPECT_EQ(cache.count(), 1);
    cache.removeFont(&kFontB);
    EXPECT_EQ(cache.count(), 0);
    EXPECT_EQ(CountedBitmap::live, 0);
}

// The heap's low-memory walk reaches the cache through the purge list.
TEST(GlyphCacheTest, GivesMemoryBackThroughThePurgeList) {
    GlyphCache cache;
    cache.insert(key(1000, 65), glyph(new CountedBitmap()));
    EXPECT_TRUE(purgeCaches(-1));
    EXPECT_EQ(cache.count(), 0);
    EXPECT_EQ(CountedBitmap::live, 0);
}

}  // namespace
}  // namespace vistrel
