#include "engine/font/outline_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace vistrel {
namespace {

std::unique_ptr<GlyphOutline> entryWithAdvance(std::int32_t advance) {
    auto entry = std::make_unique<GlyphOutline>();
    entry->path = std::make_unique<Path>();
    entry->path->SetAdvance(advance, 0);
    return entry;
}

// The codes the walk visits, in its order.
std::vector<std::uint32_t> walk(OutlineCache& cache) {
    std::vector<std::uint32_t> codes;
    std::uint32_t code = 0;
    GlyphOutline* entry = nullptr;
    for (bool more = cache.first(code, entry); more; more = cache.next(code, entry)) {
        EXPECT_EQ(entry, cache.lookup(code));
        codes.push_back(code);
    }
    return codes;
}

// One-byte fonts get a table of one slot per code (8 slots when 0 are
// asked); anything larger a hash table sized for the capacity.
TEST(OutlineCacheTest, KindBySizeAndCodes) {
    const struct {
        std::int32_t capacity, highest;
        std::int32_t slots;  // 0: a hash table
        std::int32_t buckets;
    } cases[] = {
        {256, 255, 256, 0}, {0, 10, 8, 0}, {257, 255, 0, 1024}, {1000, 65535, 0, 2048},
    };
    for (const auto& c : cases) {
        std::unique_ptr<OutlineCache> cache = OutlineCache::create(c.capacity, c.highest);
        ASSERT_TRUE(cache);
        if (c.slots) {
            auto* table = dynamic_cast<OutlineTable*>(cache.get());
            ASSERT_TRUE(table) << c.capacity;
            EXPECT_EQ(table->slotCount(), c.slots);
        } else {
            auto* hash = dynamic_cast<OutlineHash*>(cache.get());
            ASSERT_TRUE(hash) << c.capacity;
            EXPECT_EQ(hash->bucketCount(), c.buckets);
        }
    }
}

// A table finds nothing at or past its slot count and refuses to store
// there; its walk visits every stored slot in code order, the last one
// included; storing again replaces.
TEST(OutlineCacheTest, TableBoundsAndWalk) {
    OutlineTable table(8);
    EXPECT_TRUE(walk(table).empty());
    EXPECT_TRUE(table.insert(7, entryWithAdvance(7)));
    EXPECT_TRUE(table.insert(0, entryWithAdvance(0)));
    EXPECT_TRUE(table.insert(3, entryWithAdvance(3)));
    EXPECT_FALSE(table.insert(8, entryWithAdvance(8)));
    EXPECT_EQ(table.lookup(8), nullptr);
    EXPECT_EQ(table.lookup(0xFFFFFFFF), nullptr);
    EXPECT_EQ(walk(table), (std::vector<std::uint32_t>{0, 3, 7}));
    std::uint32_t code = 0;
    GlyphOutline* entry = nullptr;
    EXPECT_FALSE(table.next(code, entry));

    EXPECT_TRUE(table.insert(3, entryWithAdvance(30)));
    EXPECT_EQ(table.lookup(3)->path->AdvanceWidth(), 30);
}

// The hash table keeps any code, replaces an entry stored under the same
// code and walks every entry once.
TEST(OutlineCacheTest, HashStoresEveryCode) {
    OutlineHash hash(1000);
    for (std::uint32_t code : {300u, 65535u, 0u, 12345u})
        ASSERT_TRUE(hash.insert(code, entryWithAdvance(std::int32_t(code))));
    ASSERT_TRUE(hash.insert(300, entryWithAdvance(1)));
    EXPECT_EQ(hash.lookup(300)->path->AdvanceWidth(), 1);
    EXPECT_EQ(hash.lookup(301), nullptr);
    std::vector<std::uint32_t> codes = walk(hash);
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(codes, (std::vector<std::uint32_t>{0, 300, 12345, 65535}));
}

}  // namespace
}  // namespace vistrel
