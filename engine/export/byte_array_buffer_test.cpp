#include "engine/export/byte_array_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace vistrel {
namespace {

std::string contents(win::SAFEARRAY* array) {
    return std::string(static_cast<const char*>(array->pvData), array->rgsabound[0].cElements);
}

TEST(ByteArrayBufferTest, GrowsAsBytesComeAndHandsOutExactlyThem) {
    ByteArrayBuffer buffer(4, 3);
    ASSERT_TRUE(buffer.isOpen());
    EXPECT_TRUE(buffer.flush());
    EXPECT_FALSE(buffer.open());
    EXPECT_EQ(buffer.write("abc", 3), 3u);
    EXPECT_EQ(buffer.putByte('d'), 1);
    EXPECT_EQ(buffer.append("efghijk", 7), 7u);  // beyond the first 4 elements
    EXPECT_EQ(buffer.append("x", 0), 0u);
    EXPECT_EQ(buffer.append(nullptr, 2), 0u);
    win::SAFEARRAY* array = buffer.copyOut();
    ASSERT_TRUE(array);
    EXPECT_EQ(array->rgsabound[0].lLbound, 0);
    EXPECT_EQ(contents(array), "abcdefghijk");
    win::SafeArrayDestroy(array);
    // A buffer that started far larger still hands out only what was written.
    ByteArrayBuffer big(65536, 1024);
    big.write("xyz", 3);
    array = big.copyOut();
    ASSERT_TRUE(array);
    EXPECT_EQ(contents(array), "xyz");
    win::SafeArrayDestroy(array);
    EXPECT_FALSE(big.refused());
}

TEST(ByteArrayBufferTest, ACountBeyondWhatAnArrayHoldsIsRefused) {
    ByteArrayBuffer buffer(16, 1024);
    buffer.write("ab", 2);
    EXPECT_EQ(buffer.append("cd", std::numeric_limits<std::size_t>::max()), 0u);
    EXPECT_EQ(buffer.append("cd", std::size_t(1) << 31), 0u);
    EXPECT_TRUE(buffer.refused());
    EXPECT_EQ(buffer.used(), 2u);
}

}  // namespace
}  // namespace vistrel
