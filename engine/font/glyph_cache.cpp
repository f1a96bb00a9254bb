#include "engine/font/glyph_cache.h"

#include <cstdint>

#include "engine/render/raster/coverage_bitmap.h"

namespace vistrel {

std::uint32_t GlyphKey::hash() const {
    const auto identity = reinterpret_cast<std::uintptr_t>(font);
    const std::uint32_t k5 = std::uint32_t(identity) ^ std::uint32_t(std::uint64_t(identity) >> 32);
    const std::uint32_t low = code & 0xFFFF;
    return (low << 16) ^ low ^ std::uint32_t(a) ^ std::uint32_t(b) ^ std::uint32_t(c) ^
           std::uint32_t(d) ^ k5;
}

GlyphCache::Entry& GlyphCache::Entry::operator=(Entry&& other) noexcept {
    if (this != &other) {
        replaceBitmap(other.glyph.bitmap);
        glyph = other.glyph;
        other.glyph.bitmap = nullptr;
    }
    return *this;
}

GlyphCache::Entry::~Entry() {
    delete glyph.bitmap;
}

void GlyphCache::Entry::replaceBitmap(CoverageBitmap* bitmap) {
    if (glyph.bitmap != bitmap)
        delete glyph.bitmap;
    glyph.bitmap = bitmap;
}

GlyphCache::GlyphCache(std::int32_t sizeHint, std::int32_t growth, double loadFactor)
    : table_(Entry(), sizeHint, growth, loadFactor) {}

GlyphCache::~GlyphCache() = default;

bool GlyphCache::lookup(const GlyphKey& key, CachedGlyph& glyph) {
    auto* node = table_.find(key);
    if (!node)
        return false;
    CachedGlyph& stored = node->value.glyph;
    glyph = stored;
    ++stored.useCount;
    stored.stamp = ++stampCounter_;
    return true;
}

bool GlyphCache::insert(const GlyphKey& key, const CachedGlyph& glyph) {
    auto* node = table_.find(key);
    if (!node) {
        // The entry is made empty first, so that a failed insert leaves the
        // bitmap with the caller.
        if (!table_.insert(key, Entry()))
            return false;
        node = table_.find(key);
    }
    Entry& entry = node->value;
    entry.replaceBitmap(glyph.bitmap);
    entry.glyph.left = glyph.left;
    entry.glyph.top = glyph.top;
    entry.glyph.baseline = glyph.baseline;
    entry.glyph.useCount = 1;
    entry.glyph.stamp = stampCounter_++;
    return true;
}

void GlyphCache::remove(const GlyphKey& key) {
    table_.remove(key);
}

void GlyphCache::purge(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d, bool match) {
    if (a == 0 && b == 0 && c == 0 && d == 0) {
        table_.removeIf([](const auto&) { return true; });
        return;
    }
    table_.removeIf([&](const auto& node) {
        const GlyphKey& k = node.key;
        const bool same = k.a == a && k.b == b && k.c == c && k.d == d;
        return same == match;
    });
}

bool GlyphCache::trim(int level) {
    if (table_.empty())
        return false;
    if (level != 0)
        return table_.removeIf([](const auto&) { return true; }) > 0;
    // Stamps never exceed the counter, so the oldest entry lies at or below
    // the midpoint and at least one entry goes.
    std::uint64_t oldest = stampCounter_;
    for (const auto& node : table_) {
        if (node.value.glyph.stamp < oldest)
            oldest = node.value.glyph.stamp;
    }
    const std::uint64_t threshold = oldest + (stampCounter_ - oldest) / 2;
    return table_.removeIf(
               [threshold](const auto& node) { return node.value.glyph.stamp <= threshold; }) > 0;
}

namespace {

GlyphCache* theGlyphCache = nullptr;

}  // namespace

GlyphCache* glyphCache() {
    return theGlyphCache;
}

bool createGlyphCache() {
    if (!theGlyphCache)
        theGlyphCache = new GlyphCache();
    return theGlyphCache != nullptr;
}

void destroyGlyphCache() {
    delete theGlyphCache;
    theGlyphCache = nullptr;
}

}  // namespace vistrel
