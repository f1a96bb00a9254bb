#include "platform/com/guid.h"

#include <gtest/gtest.h>

#include <string>

namespace win {
namespace {

constexpr GUID kVistrel = {
    0x873C87C3, 0x7F1B, 0x4D98, {0xB9, 0x66, 0x0C, 0x8C, 0xAB, 0xFD, 0xC6, 0x51}};

TEST(Guid, ReadsTheBracedForm) {
    struct Case {
        const char16_t* text;
        bool ok;
    };
    const Case cases[] = {
        {u"{873C87C3-7F1B-4D98-B966-0C8CABFDC651}", true},
        {u"{873c87c3-7f1b-4d98-b966-0c8cabfdc651}", true},
        {u"873C87C3-7F1B-4D98-B966-0C8CABFDC651", false},     // no braces
        {u"{873C87C3-7F1B-4D98-B966-0C8CABFDC651", false},    // cut short
        {u"{873C87C3-7F1B-4D98-B966-0C8CABFDC651}x", false},  // trailing text
        {u"{873C87C3-7F1B-4D98-B9660-C8CABFDC651}", false},   // hyphen misplaced
        {u"{873C87G3-7F1B-4D98-B966-0C8CABFDC651}", false},   // not a hex digit
        {u"", false},
    };
    for (const Case& c : cases) {
        IID id = IID_NULL;
        EXPECT_EQ(IIDFromString(c.text, &id), c.ok ? S_OK : E_INVALIDARG)
            << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
        EXPECT_EQ(id == kVistrel, c.ok);
    }
    EXPECT_EQ(IIDFromString(nullptr, nullptr), E_INVALIDARG);
}

TEST(Guid, WritesTheBracedFormInUpperCase) {
    char16_t text[39];
    EXPECT_EQ(StringFromGUID2(kVistrel, text, 39), 39);
    EXPECT_EQ(std::u16string(text), u"{873C87C3-7F1B-4D98-B966-0C8CABFDC651}");
    EXPECT_EQ(StringFromGUID2(kVistrel, text, 38), 0);
    // Every byte lands in its place: a round trip of an id with all digits.
    constexpr GUID mixed = {
        0x01234567, 0x89AB, 0xCDEF, {0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10}};
    StringFromGUID2(mixed, text, 39);
    EXPECT_EQ(std::u16string(text), u"{01234567-89AB-CDEF-FEDC-BA9876543210}");
    GUID back{};
    ASSERT_EQ(IIDFromString(text, &back), S_OK);
    EXPECT_EQ(back, mixed);
}

}  // namespace
}  // namespace win
