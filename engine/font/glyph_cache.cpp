#include "engine/font/glyph_cache.h"

#include <cstdint>

#include "engine/render/raster/coverage_bitmap.h"

namespace vistrel {

namespace {

// One word mixed into a running hash (a multiplicative step and a fold of
// the high half into the low one, which picks the bucket).
std::uint64_t mixWord(std::uint64_t h, std::uint64_t word) {
    h = (h ^ word) * 0x9E3779B97F4A7C15ull;
    return h ^ (h >> 32);
}

}  // namespace

std::uint32_t GlyphKey::hash() const {
    std::uint64_t h = 0;
    for (const std::int32_t term : {a, b, c, d})
        h = mixWord(h, std::uint32_t(term));
    h = mixWord(h, code);
    h = mixWord(h, reinterpret_cast<std::uintptr_t>(font));
    return std::uint32_t(h);
}

void GlyphCache::Ring::unlink() {
    prev->next = next;
    next->prev = prev;
    prev = next = this;
}

void GlyphCache::Ring::linkAfter(Ring& at) {
    unlink();
    prev = &at;
    next = at.next;
    at.next->prev = this;
    at.next = this;
}

void GlyphCache::Ring::takePlace(Ring& other) {
    if (this == &other)
        return;
    unlink();
    if (other.alone())
        return;
    prev = other.prev;
    next = other.next;
    prev->next = this;
    next->prev = this;
    other.prev = other.next = &other;
}

std::uint32_t GlyphCache::FontTraits::hash(const void* font) {
    return std::uint32_t(mixWord(0, reinterpret_cast<std::uintptr_t>(font)));
}

GlyphCache::Entry& GlyphCache::Entry::operator=(Entry&& other) noexcept {
    if (this != &other) {
        takePlace(other);
        replaceBitmap(other.glyph.bitmap);
        glyph = other.glyph;
        key = other.key;
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
        // The font's ring and the entry are made empty first, so that a
        // failed insert leaves the bitmap with the caller.
        auto* ring = fonts_.find(key.font);
        if (!ring) {
            if (!fonts_.insert(key.font, Ring()))
                return false;
            ring = fonts_.find(key.font);
        }
        if (!table_.insert(key, Entry()))
            return false;
        node = table_.find(key);
        node->value.key = key;
        node->value.linkAfter(ring->value);
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

void GlyphCache::removeFont(const void* font) {
    auto* node = fonts_.find(font);
    if (!node)
        return;
    Ring& ring = node->value;
    while (!ring.alone()) {
        // Removing the entry takes it out of the ring.
        auto& entry = static_cast<Entry&>(*ring.next);
        const GlyphKey key = entry.key;
        if (!table_.remove(key))
            entry.unlink();
    }
    fonts_.remove(font);
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
