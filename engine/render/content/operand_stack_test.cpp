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

}  // namespace
}  // namespace vistrel
