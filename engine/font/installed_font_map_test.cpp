#include "engine/font/installed_font_map.h"

#include <gtest/gtest.h>

namespace vistrel {
namespace {

// A path the map does not hold counts 0; the map keeps its own copy of each
// path.
TEST(InstalledFontMapTest, CountsByPath) {
    InstalledFontMap map;
    EXPECT_EQ(map.bucketCount(), 128);
    WString path(u"/fonts/a.ttf");
    EXPECT_EQ(map.count(path), 0);
    EXPECT_TRUE(map.setCount(path, 1));
    EXPECT_TRUE(map.setCount(WString(u"/fonts/b.ttf"), 3));
    path.assignText(u"/fonts/b.ttf");
    EXPECT_EQ(map.count(path), 3);
    EXPECT_TRUE(map.setCount(path, 0));
    EXPECT_EQ(map.count(path), 0);
    EXPECT_EQ(map.count(WString(u"/fonts/a.ttf")), 1);
    EXPECT_EQ(map.size(), 2);
}

}  // namespace
}  // namespace vistrel
