#include "platform/com/bstr.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace win {
namespace {

std::u16string textOf(BSTR s) {
    return std::u16string(s ? s : u"", SysStringLen(s));
}

TEST(Bstr, LengthsAndContents) {
    const char16_t withNul[] = {u'a', 0, u'b', 0};
    struct Case {
        BSTR made;
        std::u16string expected;
    };
    Case cases[] = {
        {SysAllocString(u"Lumbra"), u"Lumbra"},
        {SysAllocString(u""), u""},
        {SysAllocStringLen(withNul, 3), std::u16string(withNul, 3)},  // NUL inside counts
        {SysAllocStringLen(nullptr, 4), std::u16string(4, u'\0')},
        {SysAllocString(withNul), u"a"},  // stops at the first NUL
    };
    for (Case& c : cases) {
        ASSERT_NE(c.made, nullptr);
        EXPECT_EQ(SysStringLen(c.made), c.expected.size());
        EXPECT_EQ(textOf(c.made), c.expected);
        EXPECT_EQ(c.made[c.expected.size()], 0);  // terminated after the last unit
        std::uint32_t bytes;
        std::memcpy(&bytes, reinterpret_cast<char*>(c.made) - 4, 4);
        EXPECT_EQ(bytes, c.expected.size() * 2);  // byte length just before the text
        SysFreeString(c.made);
    }
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);
    // A length whose byte count does not fit 32 bits is refused.
    EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
}

TEST(Bstr, ReAlloc) {
    BSTR s = nullptr;
    ASSERT_EQ(SysReAllocString(&s, u"first"), 1);
    EXPECT_EQ(textOf(s), u"first");
    // The new text may lie inside the old string.
    ASSERT_EQ(SysReAllocString(&s, s + 2), 1);
    EXPECT_EQ(textOf(s), u"rst");
    ASSERT_EQ(SysReAllocString(&s, nullptr), 1);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(SysReAllocString(nullptr, u"x"), 0);
}

}  // namespace
}  // namespace win
