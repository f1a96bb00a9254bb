#include "engine/font/operand_stack.h"

#include <gtest/gtest.h>

#include <vector>

namespace vistrel {
namespace {

std::vector<std::int32_t> contents(const OperandStack& stack) {
    std::vector<std::int32_t> v;
    for (std::int32_t i = stack.depth() - 1; i >= 0; --i)
        v.push_back(stack.peek(i));
    return v;
}

// Popping an empty stack gives 0; copy duplicates the top entries in order
// and refuses more than the stack holds; a push after a pop overwrites.
TEST(OperandStackTest, PopPeekAndCopy) {
    OperandStack stack;
    EXPECT_EQ(stack.pop(), 0);
    EXPECT_EQ(stack.peek(0), 0);
    for (std::int32_t v : {1, 2, 3})
        stack.push(v);
    EXPECT_TRUE(stack.copy(2));
    EXPECT_EQ(contents(stack), (std::vector<std::int32_t>{1, 2, 3, 2, 3}));
    EXPECT_FALSE(stack.copy(6));
    EXPECT_TRUE(stack.copy(0));
    EXPECT_TRUE(stack.copy(-1));
    EXPECT_EQ(stack.depth(), 5);
    EXPECT_EQ(stack.pop(), 3);
    stack.push(9);
    EXPECT_EQ(contents(stack), (std::vector<std::int32_t>{1, 2, 3, 2, 9}));
    EXPECT_EQ(stack.peek(4), 1);
    EXPECT_EQ(stack.peek(5), 0);
    stack.clear();
    EXPECT_EQ(stack.depth(), 0);
    EXPECT_EQ(stack.pop(), 0);
    // Growing past the first capacity keeps every entry.
    for (std::int32_t v = 0; v < 100; ++v)
        stack.push(v);
    EXPECT_EQ(stack.peek(99), 0);
    EXPECT_EQ(stack.pop(), 99);
}

TEST(OperandStackTest, IntArrayReverses) {
    IntArray a;
    EXPECT_EQ(a.capacity(), 8);
    for (std::int32_t v = 1; v <= 9; ++v)
        a.append(v);
    EXPECT_EQ(a.capacity(), 16);
    a.reverse();
    EXPECT_EQ(a[0], 9);
    EXPECT_EQ(a[8], 1);
}

}  // namespace
}  // namespace vistrel
