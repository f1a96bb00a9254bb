#include "viewer/app/number_text.h"

#include <gtest/gtest.h>

#include <utility>

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

// The zoom's form in the view-state text: always 23 characters.
TEST(NumberText, ExtendedFloatText) {
    const std::pair<double, const char*> cases[] = {
        {1.5, " 1.50000000000000E+0000"},   {1, " 1.00000000000000E+0000"},
        {0, " 0.00000000000000E+0000"},     {0.25, " 2.50000000000000E-0001"},
        {-6, "-6.00000000000000E+0000"},    {12.345, " 1.23450000000000E+0001"},
        {1e-5, " 1.00000000000000E-0005"},  {1.0 / 3, " 3.33333333333333E-0001"},
    };
    for (auto [value, text] : cases)
        EXPECT_EQ(extendedFloatText(value), QString::fromLatin1(text)) << value;
}

}  // namespace
}  // namespace brevant
