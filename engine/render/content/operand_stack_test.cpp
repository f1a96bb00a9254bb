#include "engine/render/content/operand_stack.h"

#include <gtest/gtest.h>

namespace vistrel {
namespace {

TEST(OperandStackTest, FetchesPopAndRelease) {
    ContentOperandStack stack;
    EXPECT_EQ(stack.kind(), kKindOperandStack);
    EXPECT_EQ(std::u16string(stack.text().view()), u"***stack***");
    // Empty stack: nothing popped, zero results.
    EXPECT_EQ(FetchIntOperand(stack), 0);
    EXPECT_EQ(FetchRealOperand(stack), 0.0);
    EXPECT_EQ(FetchNameOperand(stack), nullptr);

    auto name = makeRef<PdfName>(WString(u"/F1"));
    auto real = makeRef<PdfNumber>(2.5);
    stack.push(name);
    stack.push(makeRef<PdfString>(WString(u"x")));
    stack.push(real);
    stack.push(makeRef<PdfNumber>(7));
    EXPECT_EQ(real->refCount(), 2u);
    EXPECT_EQ(stack.peek(1), real.get());

    EXPECT_EQ(FetchIntOperand(stack), 7);
    EXPECT_EQ(FetchIntOperand(stack), 2);  // a real gives its truncated value
    EXPECT_EQ(real->refCount(), 1u);
    EXPECT_EQ(FetchRealOperand(stack), 0.0);  // not a number: popped and released
    Ref<PdfName> fetched = FetchNameOperand(stack);
    EXPECT_EQ(fetched.get(), name.get());
    EXPECT_EQ(name->refCount(), 2u);  // the stack's reference passed to the caller
    EXPECT_EQ(stack.count(), 0);

    // Not a name where one is wanted: popped, and nothing comes back.
    stack.push(makeRef<PdfNumber>(1));
    EXPECT_EQ(FetchNameOperand(stack), nullptr);
    EXPECT_EQ(stack.count(), 0);
    stack.push(makeRef<PdfNumber>(1));
    stack.push(makeRef<PdfNumber>(2));
    stack.clear();
    EXPECT_EQ(stack.count(), 0);
    stack.release();  // reference counting never destroys the stack
    EXPECT_EQ(stack.count(), 0);
}

// Numbers the content loop pushes as values read as the number objects the
// parser makes of the same tokens, whichever way an operator takes them.
TEST(OperandStackTest, NumberValuesReadAsNumberObjects) {
    const struct {
        bool isReal;
        int32_t intValue;
        double realValue;
        int32_t asInt;
        double asReal;
        const char16_t* text;
    } cases[] = {
        {false, 7, 0.0, 7, 7.0, u"7"},
        {false, -2147483647 - 1, 0.0, -2147483647 - 1, -2147483648.0, u"-2147483648"},
        {true, 0, 2.75, 2, 2.75, u"2.750000"},
        {true, 0, -0.5, 0, -0.5, u"-0.500000"},
        {true, 2147483647, 1e12, 2147483647, 1e12, u"1000000000000.000000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(WString(c.text).toLatin1());
        ContentOperandStack stack;
        for (int i = 0; i < 4; ++i)
            stack.pushNumber(c.isReal, c.intValue, c.realValue);
        EXPECT_EQ(stack.count(), 4);
        EXPECT_EQ(stack.kindAt(0), kKindNumber);
        EXPECT_EQ(FetchIntOperand(stack), c.asInt);
        EXPECT_EQ(FetchRealOperand(stack), c.asReal);
        ObjectRef popped = stack.pop();
        PdfNumber* number = asNumber(popped.get());
        ASSERT_NE(number, nullptr);
        EXPECT_EQ(number->isInteger(), !c.isReal);
        EXPECT_EQ(number->intValue(), c.asInt);
        EXPECT_EQ(number->realValue(), c.asReal);
        EXPECT_EQ(std::u16string(number->text().view()), c.text);
        // Looked at in place, the number becomes an object that stays.
        PdfObject* peeked = stack.peek(0);
        ASSERT_NE(peeked, nullptr);
        EXPECT_EQ(stack.peek(0), peeked);
        EXPECT_TRUE(peeked->equals(number));
        EXPECT_EQ(FetchRealOperand(stack), c.asReal);
        EXPECT_EQ(stack.count(), 0);
    }
    ContentOperandStack stack;
    stack.push(makeRef<PdfName>(WString(u"/P")));
    stack.push(nullptr);
    stack.pushNumber(false, 1, 0.0);
    EXPECT_EQ(stack.kindAt(0), kKindNumber);
    EXPECT_EQ(stack.kindAt(1), -1);
    EXPECT_EQ(stack.kindAt(2), kKindName);
    EXPECT_EQ(stack.kindAt(3), -1);
    EXPECT_EQ(FetchNameOperand(stack), nullptr);
    stack.clear();
    EXPECT_EQ(stack.count(), 0);
}

}  // namespace
}  // namespace vistrel
