#include "viewer/components/icon_list.h"

#include <gtest/gtest.h>

#include "viewer/components/graphic_errors.h"
#include "viewer/components/picture_test_util.h"

namespace brevant {
namespace {

using testing::pictureFile;

TEST(IconList, StreamsWithAnEmptyEntry) {
    Icon red(pictureFile("red.ico")), green(pictureFile("green.cur"));
    IconList list;
    list.add(red);
    list.add(Icon());
    list.add(green);
    Bytes data = list.saveToBytes();
    Bytes expected;
    putLe32(expected, 3);
    putLe32(expected, std::uint32_t(red.bytes().size()));
    putBytes(expected, red.bytes());
    putLe32(expected, 0);
    putLe32(expected, std::uint32_t(green.bytes().size()));
    putBytes(expected, green.bytes());
    EXPECT_EQ(data, expected);

    IconList back;
    back.loadFromBytes(data);
    ASSERT_EQ(back.count(), 3);
    EXPECT_EQ(back.icon(0)->bytes(), red.bytes());
    EXPECT_EQ(back.icon(1), nullptr);
    EXPECT_EQ(back.icon(2)->type(), 2);
    EXPECT_EQ(back.saveToBytes(), data);
    // Stored when not empty, or when it differs from the list it inherits.
    EXPECT_TRUE(back.shouldStore(&list));
    EXPECT_TRUE(back.shouldStore(nullptr));
    IconList none;
    EXPECT_FALSE(none.shouldStore(nullptr));
    EXPECT_TRUE(none.shouldStore(&list));
}

TEST(IconList, RefusesCountsAndSizesPastTheData) {
    Bytes huge;
    putLe32(huge, 0x7FFFFFFF);
    putLe32(huge, 0);
    Bytes longEntry;
    putLe32(longEntry, 1);
    putLe32(longEntry, 1000);
    longEntry.resize(100);
    for (const Bytes& data : {huge, longEntry}) {
        IconList list;
        list.add(Icon(pictureFile("red.ico")));
        EXPECT_THROW(list.loadFromBytes(data), StreamReadError);
        EXPECT_EQ(list.count(), 1);
    }
}

TEST(IconList, EditsAndTellsChanges) {
    Icon red(pictureFile("red.ico")), green(pictureFile("green.cur"));
    IconList list;
    int changes = 0;
    list.onChange = [&] { ++changes; };
    list.add(red);
    list.put(1, green);  // index equal to the count appends
    list.insert(0, green);
    EXPECT_EQ(changes, 3);
    ASSERT_EQ(list.count(), 3);
    list.exchange(0, 1);  // red, green, green
    EXPECT_EQ(list.icon(0)->type(), 1);
    list.move(0, 2);
    EXPECT_EQ(list.icon(2)->type(), 1);
    EXPECT_EQ(list.indexOf(list.icon(2)), 2);
    EXPECT_EQ(list.indexOf(&red), -1);

    changes = 0;
    list.beginUpdate();
    list.remove(0);
    list.clear();
    EXPECT_EQ(changes, 0);
    list.endUpdate();
    EXPECT_EQ(changes, 1);

    IconList other;
    other.assign(red);
    list.assign(other);
    EXPECT_EQ(list.count(), 1);
    // A contained icon's own change reaches the list.
    changes = 0;
    const_cast<Icon*>(list.icon(0))->load(green.bytes());
    EXPECT_EQ(changes, 1);
}

}  // namespace
}  // namespace brevant
