#include "engine/core/containers.h"

#include <gtest/gtest.h>

#include <vector>

namespace vistrel {
namespace {

TEST(ContainersTest, AppendDoublesTheCapacityOnce) {
    PointerArray<int> array;
    EXPECT_EQ(array.capacity(), 8);
    int values[20];
    for (int i = 0; i < 8; ++i)
        ASSERT_TRUE(array.append(&values[i]));
    EXPECT_EQ(array.capacity(), 8);
    ASSERT_TRUE(array.append(&values[8]));  // the ninth element
    EXPECT_EQ(array.capacity(), 16);
    EXPECT_EQ(array.count(), 9);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(array[i], &values[i]);

    PointerArray<int> empty(0);  // no storage yet: the first append makes room
    ASSERT_TRUE(empty.append(&values[0]));
    EXPECT_GE(empty.capacity(), 1);
}

TEST(ContainersTest, SetSizeGrowsToWhatIsAsked) {
    struct Case {
        int32_t initial, size, capacity;
    } cases[] = {{8, 8, 8}, {8, 9, 16}, {8, 17, 32}, {8, 100, 128}, {4, 3, 4}, {0, 5, 8}};
    for (const Case& c : cases) {
        DoubleArray array(c.initial);
        ASSERT_TRUE(array.setSize(c.size));
        EXPECT_EQ(array.count(), c.size);
        EXPECT_EQ(array.capacity(), c.capacity) << c.initial << " -> " << c.size;
        for (int32_t i = 0; i < c.size; ++i)
            array[i] = i;  // every slot is writable
    }
    DoubleArray array;
    EXPECT_FALSE(array.setSize(-1));
    EXPECT_FALSE(array.setSize(INT32_MAX));  // too large: fails, array unchanged
    EXPECT_EQ(array.count(), 0);
    EXPECT_EQ(array.capacity(), 8);
}

TEST(ContainersTest, CopyAssignRelease) {
    DoubleArray source;
    for (int i = 0; i < 3; ++i)
        source.append(i + 0.5);
    DoubleArray copy(source);
    EXPECT_EQ(copy.capacity(), 3);
    EXPECT_EQ(copy.count(), 3);
    EXPECT_EQ(copy[2], 2.5);

    DoubleArray target(16);
    target.append(9);
    target.assign(DoubleArray());
    EXPECT_EQ(target.count(), 0);
    EXPECT_EQ(target.capacity(), 16);  // storage kept
    target.assign(source);
    EXPECT_EQ(target.count(), 3);
    EXPECT_EQ(target.setAt(1, 7.0), 1.5);
    EXPECT_EQ(target[1], 7.0);

    target.release();
    EXPECT_EQ(target.count(), 0);
    EXPECT_EQ(target.capacity(), 0);
    EXPECT_TRUE(target.append(1.0));
}

std::vector<int> entries(const TokenList<int>& list) {
    std::vector<int> out;
    list.forEach([&](int e) { out.push_back(e); });
    return out;
}

TEST(ContainersTest, TokenListCursor) {
    TokenList<int> list;
    EXPECT_EQ(list.currentIndex(), -1);
    for (int v : {10, 11, 12, 13})
        list.append(v);
    EXPECT_EQ(list.currentIndex(), -1);  // appending leaves the cursor alone

    struct Step {
        const char* what;
        void (*op)(TokenList<int>&);
        int index, entry;
    } steps[] = {
        {"seek 2", [](TokenList<int>& l) { l.seek(2); }, 2, 12},
        {"seek same", [](TokenList<int>& l) { l.seek(2); }, 2, 12},
        {"seek back", [](TokenList<int>& l) { l.seek(0); }, 0, 10},
        {"seek out of range", [](TokenList<int>& l) { l.seek(4); }, 0, 10},
        {"seek negative", [](TokenList<int>& l) { l.seek(-1); }, 0, 10},
        {"prev onto sentinel", [](TokenList<int>& l) { l.prev(); }, -1, 0},
        {"prev wraps to last", [](TokenList<int>& l) { l.prev(); }, 3, 13},
        {"next onto sentinel", [](TokenList<int>& l) { l.next(); }, -1, 0},
        {"next wraps to first", [](TokenList<int>& l) { l.next(); }, 0, 10},
        {"seek last", [](TokenList<int>& l) { l.seek(3); }, 3, 13},
        {"remove first", [](TokenList<int>& l) { l.removeFirst(); }, 2, 13},
        {"seek from sentinel",
         [](TokenList<int>& l) {
             l.next();
             l.seek(1);
         },
         1, 12},
    };
    for (const Step& s : steps) {
        s.op(list);
        EXPECT_EQ(list.currentIndex(), s.index) << s.what;
        EXPECT_EQ(list.current(), s.entry) << s.what;
    }
    EXPECT_EQ(entries(list), (std::vector<int>{11, 12, 13}));
    EXPECT_EQ(list.entryAt(0), 11);

    // Removing the entry under the cursor leaves the cursor on the sentinel.
    int removed = 0;
    EXPECT_TRUE(list.removeFirst(&removed));
    EXPECT_EQ(removed, 11);
    EXPECT_EQ(list.currentIndex(), -1);
    EXPECT_EQ(list.count(), 2);
    list.clear();
    EXPECT_FALSE(list.removeFirst());
    EXPECT_EQ(list.entryAt(0), 0);
}

}  // namespace
}  // namespace vistrel
