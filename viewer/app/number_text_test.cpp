#include "viewer/app/number_text.h"

#include <gtest/gtest.h>

#include <climits>

namespace brevant {
namespace {

TEST(NumberText, ParseLeadingInt) {
    struct Case {
        QString text;
        std::optional<int> expected;  // none: no number
    };
    const Case cases[] = {
        {"150%", 150},
        {" 42 ", 42},
        {"-5 px", -5},
        {"3 of 12", 3},
        {"12ab", 12},
        {"+7", 7},
        {"\t9\r\n", 9},
        {"-2147483648", INT_MIN},
        {"abc", std::nullopt},
        {"", std::nullopt},
        {"%150", std::nullopt},
        {"- 5", std::nullopt},
        {"2147483648 pages", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(ParseLeadingInt(c.text, -99, false), c.expected.value_or(-99));
        if (c.expected) {
            EXPECT_EQ(ParseLeadingInt(c.text, -99, true), *c.expected);
        } else {
            EXPECT_THROW(ParseLeadingInt(c.text, -99, true), NumberError);
        }
    }
}

TEST(NumberText, DecimalIntAcceptsOnlySignAndDigits) {
    EXPECT_EQ(parseDecimalInt(u"-0"), 0);
    EXPECT_EQ(parseDecimalInt(u"+2147483647"), INT_MAX);
    for (const char16_t* bad : {u"", u"+", u"-", u" 1", u"1 ", u"0x10", u"1.0", u"2147483648"})
        EXPECT_EQ(parseDecimalInt(bad), std::nullopt);
}

}  // namespace
}  // namespace brevant
