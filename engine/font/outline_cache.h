// The glyph outlines of one outline font by 16-bit code. A font reader stores
// each glyph's outline as a Path in glyph units; the font base flattens it
// into an Outline for the text rendering matrix in use and keeps that too,
// until the matrix changes or memory runs short.
//
// Two kinds: a table with one slot per code, for fonts of one-byte codes,
// and a hash table for larger code ranges.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "engine/core/allocator.h"
#include "engine/core/keyed_hash_map.h"
#include "engine/render/raster/outline.h"
#include "engine/render/raster/path.h"

namespace vistrel {

struct GlyphOutline {
    VISTREL_GLOBAL_ALLOCATOR()

    // The glyph in glyph units (1000 per em), with its advance.
    std::unique_ptr<Path> path;
    // Flattened from the path for the matrix (a, b, c, d); none until first
    // drawn and after a trim.
    std::unique_ptr<Outline> edges;
    double a = 0.0;
    double b = 0.0;
    double c = 0.0;
    double d = 0.0;
};

class OutlineCache {
    VISTREL_GLOBAL_ALLOCATOR()

public:
    OutlineCache() = default;
    OutlineCache(const OutlineCache&) = delete;
    OutlineCache& operator=(const OutlineCache&) = delete;
    // Destroys every entry with its path and outline.
    virtual ~OutlineCache() = default;

    // A table when the capacity is at most 256 and the highest code at most
    // 255, else a hash table; null when memory runs out.
    static std::unique_ptr<OutlineCache> create(std::int32_t capacity, std::int32_t highestCode);

    // The entry of a code, or null.
    virtual GlyphOutline* lookup(std::uint32_t code) const = 0;
    // Stores the entry under the code, destroying one stored there before.
    // False, the entry destroyed, when the code has no place or memory runs
    // out.
    virtual bool insert(std::uint32_t code, std::unique_ptr<GlyphOutline> entry) = 0;
    // The walk over the stored entries: first, then next until it answers
    // false. Inserting ends a walk.
    virtual bool first(std::uint32_t& code, GlyphOutline*& entry) = 0;
    virtual bool next(std::uint32_t& code, GlyphOutline*& entry) = 0;
};

// One slot per code: codes at or past the slot count are never stored.
class OutlineTable final : public OutlineCache {
public:
    // capacity slots, 8 when 0 is asked.
    explicit OutlineTable(std::int32_t capacity);

    GlyphOutline* lookup(std::uint32_t code) const override;
    bool insert(std::uint32_t code, std::unique_ptr<GlyphOutline> entry) override;
    bool first(std::uint32_t& code, GlyphOutline*& entry) override;
    bool next(std::uint32_t& code, GlyphOutline*& entry) override;

    std::int32_t slotCount() const { return std::int32_t(slots_.size()); }

private:
    // The first stored slot from `from` on.
    bool walkFrom(std::uint32_t from, std::uint32_t& code, GlyphOutline*& entry);

    std::vector<std::unique_ptr<GlyphOutline>> slots_;
    std::uint32_t cursor_ = 0;
};

// Codes hashed to themselves, in a table sized for the capacity.
class OutlineHash final : public OutlineCache {
public:
    explicit OutlineHash(std::int32_t capacity);
    ~OutlineHash() override;

    GlyphOutline* lookup(std::uint32_t code) const override;
    bool insert(std::uint32_t code, std::unique_ptr<GlyphOutline> entry) override;
    bool first(std::uint32_t& code, GlyphOutline*& entry) override;
    bool next(std::uint32_t& code, GlyphOutline*& entry) override;

    std::int32_t bucketCount() const { return table_.bucketCount(); }

private:
    using Table = KeyedHashMap<std::uint32_t, GlyphOutline*>;

    bool report(std::uint32_t& code, GlyphOutline*& entry);

    Table table_;
    std::optional<Table::iterator> cursor_;
};

}  // namespace vistrel
