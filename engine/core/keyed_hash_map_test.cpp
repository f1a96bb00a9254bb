#include "engine/core/keyed_hash_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/wstring.h"

namespace vistrel {
namespace {

// A key with a chosen hash, so tests can place keys in buckets at will.
struct TestKey {
    uint32_t h;
    int id;
    uint32_t hash() const { return h; }
    bool equals(const TestKey* other) const { return id == other->id; }
};

using Map = KeyedHashMap<TestKey*, int>;

std::vector<int> order(const Map& map) {
    std::vector<int> ids;
    for (const auto& node : map)
        ids.push_back(node.key->id);
    return ids;
}

TEST(KeyedHashMapTest, BucketCountFromSizeHint) {
    struct Case {
        int32_t hint, growth, buckets, growthStored;
    } cases[] = {{64, 64, 128, 64}, {1, 1, 2, 1},      {0, 0, 2, 1},    {-5, -3, 2, 1},
                 {2, 8, 4, 8},      {65, 64, 256, 64}, {100, 4, 256, 4}};
    for (const Case& c : cases) {
        KeyedHashMap<int32_t, int> map(0, c.hint, c.growth);
        EXPECT_EQ(map.bucketCount(), c.buckets) << c.hint;
        EXPECT_EQ(map.mask(), uint32_t(c.buckets - 1));
        EXPECT_EQ(map.minimumBucketCount(), c.buckets);
        EXPECT_EQ(map.growth(), c.growthStored);
        EXPECT_EQ(map.count(), 0);
    }
}

TEST(KeyedHashMapTest, GrowthThresholdsOfADictionary) {
    // 128 buckets, growth 64: the 121st entry grows to 512, the 409th to 2048.
    std::vector<TestKey> keys(500);
    Map map(0, 64, 64, 0.75);
    struct Step {
        int entries, buckets;
    } steps[] = {{120, 128}, {121, 512}, {408, 512}, {409, 2048}};
    int inserted = 0;
    for (const Step& s : steps) {
        for (; inserted < s.entries; ++inserted) {
            keys[inserted] = {uint32_t(inserted * 2654435761u), inserted};
            ASSERT_TRUE(map.insert(&keys[inserted], inserted));
        }
        EXPECT_EQ(map.bucketCount(), s.buckets) << s.entries;
        EXPECT_EQ(map.count(), s.entries);
    }
    for (int i = 0; i < inserted; ++i)
        EXPECT_EQ(map.get(&keys[i]), i);
}

TEST(KeyedHashMapTest, ChainOrderNewestFirstUntilARehashReversesIt) {
    TestKey a{1, 1}, b{9, 2}, c{17, 3}, d{2, 4};
    Map map(0, 1, 64);  // 2 buckets, no growth before (2 + 32) x 0.75 entries
    map.insert(&a, 10);
    map.insert(&b, 20);
    map.insert(&c, 30);
    map.insert(&d, 40);
    // Bucket 0: d (hash 2 & 1 = 0); bucket 1: c, b, a (newest first).
    EXPECT_EQ(order(map), (std::vector<int>{4, 3, 2, 1}));

    // Growing to 2 x 8 = 16 buckets: a, b and c (hashes 1, 9, 17) land in
    // buckets 1, 9 and 1; walking c, b, a pushes c then a onto bucket 1.
    map.grow(5);
    EXPECT_EQ(map.bucketCount(), 16);
    EXPECT_EQ(order(map), (std::vector<int>{1, 3, 4, 2}));

    // A growth below the minimum bucket count or by less than 1 does nothing.
    Map big(0, 64, 64);
    big.insert(&a, 1);
    big.grow(0);
    EXPECT_EQ(big.bucketCount(), 128);
}

// Before any growth the walk order is fixed by the buckets alone: bucket
// index ascending, newest first within a bucket. Small tables keep their
// entries without a bucket array; the order must be the same on both sides of
// the point where the array is made, after replacements and removals too.
TEST(KeyedHashMapTest, WalkOrderOfSmallTablesMatchesTheBuckets) {
    std::vector<TestKey> keys(40);
    for (int i = 0; i < 40; ++i)
        keys[i] = {uint32_t((i * 37) % 11) + (uint32_t(i) << 8), i};
    for (int32_t hint : {4, 64}) {
        SCOPED_TRACE(hint);
        Map map(0, hint, 64);
        std::vector<int> inserted;  // ids, oldest first
        auto expected = [&] {
            std::vector<int> ids(inserted.rbegin(), inserted.rend());
            std::stable_sort(ids.begin(), ids.end(), [&](int x, int y) {
                return (keys[x].h & map.mask()) < (keys[y].h & map.mask());
            });
            return ids;
        };
        for (int i = 0; i < 20; ++i) {
            ASSERT_TRUE(map.insert(&keys[i], i));
            inserted.push_back(i);
            ASSERT_EQ(order(map), expected()) << "after inserting " << i;
            if (i == 5 || i == 12) {
                // Replacing keeps the position; removing takes the entry out.
                ASSERT_TRUE(map.insert(&keys[2], 99));
                EXPECT_EQ(map.get(&keys[2]), 99);
                ASSERT_TRUE(map.remove(&keys[i - 1]));
                inserted.erase(std::find(inserted.begin(), inserted.end(), i - 1));
                ASSERT_EQ(order(map), expected());
                EXPECT_EQ(map.count(), int32_t(inserted.size()));
            }
        }
        for (int id : inserted)
            EXPECT_EQ(map.get(&keys[id]), id == 2 ? 99 : id);
        EXPECT_FALSE(map.contains(&keys[30]));
    }
}

TEST(KeyedHashMapTest, InsertReplacesValueAndKeepsTheFirstKey) {
    TestKey first{5, 7}, second{5, 7}, other{5, 8};
    Map map(-1, 4, 4);
    EXPECT_EQ(map.get(&first), -1);  // default value for an absent key
    map.insert(&first, 1);
    map.insert(&second, 2);
    EXPECT_EQ(map.count(), 1);
    EXPECT_EQ(map.get(&first), 2);
    EXPECT_EQ(map.find(&second)->key, &first);
    map.insert(&other, 3);  // same hash, not equal: a node of its own
    EXPECT_EQ(map.count(), 2);
    EXPECT_EQ(map.get(&other), 3);

    TestKey* removedKey = nullptr;
    int removedValue = 0;
    EXPECT_TRUE(map.remove(&second, &removedKey, &removedValue));
    EXPECT_EQ(removedKey, &first);
    EXPECT_EQ(removedValue, 2);
    EXPECT_FALSE(map.remove(&first));
    EXPECT_EQ(map.count(), 1);
    EXPECT_EQ(map.get(&other), 3);
}

TEST(KeyedHashMapTest, HashIsComparedBeforeEquality) {
    // Equal ids but different hashes never match: the stored hash decides first.
    TestKey a{1, 1}, b{3, 1};
    Map map(0, 1, 1);
    map.insert(&a, 1);
    EXPECT_EQ(map.get(&b), 0);
}

TEST(KeyedHashMapTest, WStringAndIntegerKeys) {
    KeyedHashMap<const WString*, int32_t> params(0);
    static constinit const WString kColumns{u"Columns", WString::kConstant};
    WString k(u"K");
    params.insert(&kColumns, 1728);
    params.insert(&k, -1);
    WString probe(u"Columns");  // a run-time string finds the constant key
    EXPECT_EQ(params.get(&probe), 1728);
    WString missing(u"Rows");
    EXPECT_EQ(params.get(&missing), 0);

    KeyedHashMap<int32_t, const char*> states(nullptr, 8, 8);
    states.insert(1, "page");
    states.insert(3, "path");
    states.insert(4, "image");
    EXPECT_STREQ(states.get(3), "path");
    EXPECT_EQ(states.get(2), nullptr);
    std::vector<int32_t> keys;
    for (const auto& node : states)
        keys.push_back(node.key);
    EXPECT_EQ(keys, (std::vector<int32_t>{1, 3, 4}));
}

TEST(KeyedHashMapTest, ValuesOfAnyTypeAndClear) {
    KeyedHashMap<int32_t, std::string> map("none", 2, 2);
    for (int i = 0; i < 40; ++i)
        map.insert(i, std::string(30, char('a' + i % 26)));
    EXPECT_EQ(map.count(), 40);
    EXPECT_EQ(map.get(39), std::string(30, 'n'));
    EXPECT_EQ(map.get(99), "none");
    map.clear();
    EXPECT_EQ(map.count(), 0);
    EXPECT_EQ(map.begin(), map.end());
    map.insert(1, "again");
    EXPECT_EQ(map.get(1), "again");
}

// removeIf takes out exactly the chosen nodes, in a table kept as a list and
// in one with buckets, and keeps the bucket count and the others' order.
TEST(KeyedHashMapTest, RemoveIfKeepsTheRest) {
    for (int n : {6, 300}) {
        KeyedHashMap<int32_t, int32_t> map(-1);
        for (int i = 0; i < n; ++i)
            map.insert(i, i * 10);
        const int32_t buckets = map.bucketCount();
        std::vector<int32_t> kept;
        for (const auto& node : map) {
            if (node.key % 3 != 0)
                kept.push_back(node.key);
        }
        EXPECT_EQ(map.removeIf([](const auto& node) { return node.value % 30 == 0; }), (n + 2) / 3);
        std::vector<int32_t> rest;
        for (const auto& node : map)
            rest.push_back(node.key);
        EXPECT_EQ(rest, kept) << n;
        EXPECT_EQ(map.count(), int32_t(kept.size()));
        EXPECT_EQ(map.bucketCount(), buckets);
        EXPECT_EQ(map.get(3), -1);
        EXPECT_EQ(map.get(4), 40);
        EXPECT_EQ(map.removeIf([](const auto&) { return true; }), int32_t(kept.size()));
        EXPECT_TRUE(map.empty());
    }
}

}  // namespace
}  // namespace vistrel
