#include "engine/core/image_readers.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace vistrel {
namespace {

// Reads the header as the image-file loader does: four numbers, each
// followed by skipping past its terminator.
bool readGeometry(NumberTextStream& text, std::array<std::int32_t, 4>& out) {
    const char terminators[] = {',', ',', ',', '>'};
    for (int i = 0; i < 4; ++i) {
        out[i] = text.readNumber();
        if (out[i] < 0) return false;
        text.skipPast(terminators[i]);
    }
    return true;
}

TEST(NumberTextStream, ReadsTheGeometry) {
    struct Case {
        const char* text;
        bool ok;
        std::array<std::int32_t, 4> values;
    };
    const Case cases[] = {
        {"640,480,3,8>", true, {640, 480, 3, 8}},
        // Anything between a number and its terminator is skipped.
        {"640px,480 ,3,8 bits>", true, {640, 480, 3, 8}},
        {"999999999,1,1,1>", true, {999999999, 1, 1, 1}},
        // A blank before a digit makes the number fail.
        {"640, 480,3,8>", false, {}},
        {"-1,480,3,8>", false, {}},
        {"640,480,3,>", false, {}},
        {"", false, {}},
        // At most nine digits: a longer number fails instead of overflowing.
        {"4294967296,1,1,1>", false, {}},
        {"0000000001,1,1,1>", false, {}},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        MemoryInputStream memory(text.data(), text.size());
        NumberTextStream stream(&memory);
        ASSERT_TRUE(stream.isOpen());
        std::array<std::int32_t, 4> values{};
        EXPECT_EQ(readGeometry(stream, values), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(values, c.values) << c.text;
        }
    }
}

TEST(NumberTextStream, GivesBackTheCharacterAfterANumber) {
    std::string text = "12a";
    MemoryInputStream memory(text.data(), text.size());
    NumberTextStream stream(&memory);
    EXPECT_EQ(stream.readNumber(), 12);
    EXPECT_EQ(stream.readNumber(), -1);
    EXPECT_EQ(stream.getByte(), 'a');
    EXPECT_EQ(stream.getByte(), kEndOfData);
}

TEST(NumberTextStream, SkipPastCountsTheReads) {
    std::string text = "ab,cd";
    MemoryInputStream memory(text.data(), text.size());
    NumberTextStream stream(&memory);
    EXPECT_EQ(stream.skipPast(','), 3);
    EXPECT_EQ(stream.skipPast(','), 3);  // "c", "d" and the end of the data
}

TEST(NumberTextStream, IsOpenAsItsInnerStream) {
    NumberTextStream none(nullptr);
    EXPECT_FALSE(none.isOpen());
    EXPECT_EQ(none.getByte(), kEndOfData);
    EXPECT_EQ(none.readNumber(), -1);
}

}  // namespace
}  // namespace vistrel
