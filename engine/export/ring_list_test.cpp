#include "engine/export/ring_list.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace vistrel {
namespace {

TEST(RingList, CursorFollowsAppendsAndWalks) {
    RingList<int> list;
    EXPECT_EQ(list.currentIndex(), -1);
    EXPECT_EQ(list.first(), nullptr);
    ASSERT_TRUE(list.append(10));
    ASSERT_TRUE(list.append(20));
    ASSERT_TRUE(list.append(30));
    EXPECT_EQ(*list.current(), 30);
    EXPECT_EQ(list.currentIndex(), 2);

    std::vector<std::pair<int, int>> walked;
    for (int* v = list.first(); v; v = list.next())
        walked.emplace_back(*v, list.currentIndex());
    EXPECT_EQ(walked, (std::vector<std::pair<int, int>>{{10, 0}, {20, 1}, {30, 2}}));
    EXPECT_EQ(list.currentIndex(), -1);

    list.first();
    list.next();
    list.next();  // on the last entry
    ASSERT_TRUE(list.removeLast());
    EXPECT_EQ(list.current(), nullptr);
    EXPECT_EQ(list.currentIndex(), -1);
    EXPECT_EQ(std::vector<int>(list.begin(), list.end()), (std::vector<int>{10, 20}));
    EXPECT_EQ(list.count(), 2);
}

TEST(RingList, OwnsItsEntries) {
    auto probe = std::make_shared<int>(1);
    {
        RingList<std::shared_ptr<int>> list;
        list.append(probe);
        list.append(probe);
        EXPECT_EQ(probe.use_count(), 3);
        list.removeLast();
        EXPECT_EQ(probe.use_count(), 2);
    }
    EXPECT_EQ(probe.use_count(), 1);
}

}  // namespace
}  // namespace vistrel
