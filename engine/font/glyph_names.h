// Glyph names as text: the glyph-name map gives the 16-bit Unicode value of a
// glyph name, and the accent map breaks accented letters, ligatures and a few
// dashes and quotes into the glyph names of the plain characters the text
// capture records in their place. Both are process-wide and read only by the
// text capture (text_line_list.h).
//
// Names carry their leading "/" (/A), as the glyph-name constants hold them.
// Keys are the shared constants themselves; lookups take any WString.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/core/allocator.h"
#include "engine/core/keyed_hash_map.h"
#include "engine/core/wstring.h"

namespace vistrel {

class GlyphNameMap {
    VISTREL_GLOBAL_ALLOCATOR()

public:
    // Empty: 128 buckets to start, load factor 0.75.
    GlyphNameMap();

    // Sets or replaces the value of a name. The name is kept by address: a
    // glyph-name constant (or another string that outlives the map).
    bool insert(const WString& name, char16_t value);
    // The value of a name; 0 when the map does not hold it.
    char16_t value(const WString& name) const { return map_.get(&name); }
    std::int32_t count() const { return map_.count(); }

private:
    KeyedHashMap<const WString*, char16_t> map_;
};

// Fills a map with the engine's 338 names and values.
void buildGlyphNameMap(GlyphNameMap& map);

class AccentMap {
    VISTREL_GLOBAL_ALLOCATOR()

public:
    using Components = std::vector<const WString*>;

    // Empty: 512 buckets to start, load factor 0.75.
    AccentMap();

    // Sets the name's components to the one (two or three) given, replacing
    // an earlier list. Names are kept by address, as in GlyphNameMap::insert.
    bool insert(const WString& name, const WString& component);
    bool insert(const WString& name, const WString& first, const WString& second);
    bool insert(const WString& name, const WString& first, const WString& second,
                const WString& third);
    // The components of a name in order; empty when the map does not hold it.
    std::span<const WString* const> components(const WString& name) const;
    std::int32_t count() const { return map_.count(); }

    // Fills the map with the engine's 181 names; nothing when it has run.
    void build();
    bool built() const { return built_; }

private:
    KeyedHashMap<const WString*, Components> map_;
    bool built_ = false;
};

class EncodingTable;

// TeX's text fonts (the OT1 layout) keep the ligatures ff, fi, fl, ffi and
// ffl at codes 11 to 15: the glyph name of such a code, null for any other.
const WString* texLigatureName(std::int32_t code);
// Whether a font program's own encoding follows that layout: it names at
// least one of those codes, and each that it names as TeX does.
bool followsTexLigatures(const EncodingTable& table);

// The process-wide maps: made when the font layer's static objects are built
// (the glyph-name map filled, the accent map empty until the first text line
// list fills it) and destroyed with them; null outside that time.
const GlyphNameMap* glyphNameMap();
AccentMap* accentMap();
void createGlyphNameMaps();
void destroyGlyphNameMaps();

}  // namespace vistrel
