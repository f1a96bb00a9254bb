// The process-wide cache of rendered glyphs, shared by every glyph-caching
// font. A glyph is rendered once for a text rendering matrix, a code and a
// font; later showings copy its coverage bitmap to the device. The cache has
// no fixed capacity: it gives memory back when the heap runs short (it is a
// Purgeable), when a font asks for glyphs to be dropped and when a font goes
// (its own glyphs, found through a ring of each font's entries).
#pragma once

#include <cstdint>

#include "engine/core/allocator.h"
#include "engine/core/keyed_hash_map.h"

namespace vistrel {

class CoverageBitmap;

// Six words compared as a whole: the rendering matrix terms a, b, c, d, each
// times 1000 and truncated by the caller, the glyph code and the font's
// identity. The cache never interprets them.
struct GlyphKey {
    std::int32_t a = 0;
    std::int32_t b = 0;
    std::int32_t c = 0;
    std::int32_t d = 0;
    std::uint32_t code = 0;
    const void* font = nullptr;

    // All six words mixed, so that keys differing in one word alone (the
    // sizes of one glyph, whose a and d are equal) spread over the buckets.
    std::uint32_t hash() const;
    bool operator==(const GlyphKey&) const = default;
};

// A rendered glyph: its coverage bitmap and where the bitmap stands.
struct CachedGlyph {
    // Once inserted, the cache owns the bitmap; a lookup only lends it.
    CoverageBitmap* bitmap = nullptr;
    // Offsets of the bitmap's top-left corner from the glyph origin, and the
    // depth of the baseline below the bitmap's top, in device pixels. The
    // cache stores them unchanged.
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t baseline = 0;
    std::uint32_t useCount = 0;
    // Last use, from the cache's stamp counter.
    std::uint64_t stamp = 0;
};

class GlyphCache : public Purgeable {
    VISTREL_GLOBAL_ALLOCATOR()

public:
    GlyphCache(std::int32_t sizeHint = 64, std::int32_t growth = 64, double loadFactor = 0.75);
    // Destroys every bitmap.
    ~GlyphCache() override;

    // On a hit copies the entry out (use count and stamp as they were), then
    // counts the use and stamps it with the next counter value. A miss
    // changes nothing.
    bool lookup(const GlyphKey& key, CachedGlyph& glyph);
    // Stores a rendered glyph and takes over its bitmap. A key already
    // present has its bitmap destroyed and replaced; either way the use
    // count becomes 1 and the stamp the counter, which then goes up. False,
    // the bitmap left with the caller, when memory runs out.
    bool insert(const GlyphKey& key, const CachedGlyph& glyph);
    // Removes the key's entry and destroys its bitmap; nothing when absent.
    void remove(const GlyphKey& key);
    // Removes the entries of one font (the key's last word), in a time of
    // their number alone.
    void removeFont(const void* font);
    // Removes entries by the four matrix terms alone, across fonts: all of
    // them when a, b, c and d are 0; else, with match, those whose terms
    // equal (a, b, c, d), without match those that differ in any term.
    void purge(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d, bool match);
    // Level 0: removes the entries last used at or before the midpoint
    // between the oldest stamp and the counter. Any other level removes
    // everything. True only when an entry was removed.
    bool trim(int level);
    bool purge(int level) override { return trim(level); }

    std::int32_t count() const { return table_.count(); }
    std::int32_t bucketCount() const { return table_.bucketCount(); }
    std::uint64_t stampCounter() const { return stampCounter_; }
    // Sets the counter (to test trimming of long-lived caches).
    void setStampCounter(std::uint64_t value) { stampCounter_ = value; }

private:
    struct KeyTraits {
        static std::uint32_t hash(const GlyphKey& key) { return key.hash(); }
        static bool equal(const GlyphKey& stored, const GlyphKey& probe) { return stored == probe; }
    };
    // A member of the ring of one font's entries, or the ring's head. A
    // member leaves the ring when it is destroyed; one moved takes the
    // other's place.
    struct Ring {
        Ring* prev = this;
        Ring* next = this;

        Ring() = default;
        Ring(Ring&& other) noexcept { takePlace(other); }
        Ring& operator=(Ring&& other) noexcept {
            takePlace(other);
            return *this;
        }
        ~Ring() { unlink(); }
        bool alone() const { return next == this; }
        void unlink();
        void linkAfter(Ring& at);
        // Leaves this ring and takes other's place in its; other is left
        // alone.
        void takePlace(Ring& other);
    };
    struct FontTraits {
        static std::uint32_t hash(const void* font);
        static bool equal(const void* stored, const void* probe) { return stored == probe; }
    };
    // The stored glyph, its key and its place in its font's ring; destroys
    // its bitmap with the entry.
    struct Entry : Ring {
        CachedGlyph glyph;
        GlyphKey key;

        Entry() = default;
        Entry(Entry&& other) noexcept : glyph(other.glyph), key(other.key) {
            takePlace(other);
            other.glyph.bitmap = nullptr;
        }
        Entry& operator=(Entry&& other) noexcept;
        ~Entry();
        void replaceBitmap(CoverageBitmap* bitmap);
    };

    KeyedHashMap<GlyphKey, Entry, KeyTraits> table_;
    // The head of each font's ring, by the font's identity.
    KeyedHashMap<const void*, Ring, FontTraits> fonts_;
    std::uint64_t stampCounter_ = 0;
};

// The process-wide cache: null until createGlyphCache and after
// destroyGlyphCache. Glyph-caching fonts render without caching while there
// is none.
GlyphCache* glyphCache();
// Makes the cache (nothing when it exists); false when memory runs out.
bool createGlyphCache();
// Destroys the cache and every bitmap in it.
void destroyGlyphCache();

}  // namespace vistrel
