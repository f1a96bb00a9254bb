#include "engine/doc/pdf_date.h"

#include <gtest/gtest.h>

namespace vistrel {
namespace {

constexpr int A = PdfDateFields::kAbsent;

struct DateCase {
    const char* text;
    bool ok;
    int year, month, day, hour, minute, second;
    char16_t zone;
    int zoneHour, zoneMinute;
};

const DateCase kCases[] = {
    {"D:20010315", true, 2001, 3, 15, A, A, A, 0, A, A},
    {"20010315", true, 2001, 3, 15, A, A, A, 0, A, A},
    {"D:2001", true, 2001, A, A, A, A, A, 0, A, A},
    {"D:20013", false, 2001, A, A, A, A, A, 0, A, A},
    {"D:20011315", false, 2001, A, A, A, A, A, 0, A, A},
    {"D:20010132", false, 2001, 1, A, A, A, A, 0, A, A},
    {"D:2001010124", false, 2001, 1, 1, A, A, A, 0, A, A},
    {"D:200101011260", false, 2001, 1, 1, 12, A, A, 0, A, A},
    {"D:19991231235959Z", true, 1999, 12, 31, 23, 59, 59, u'Z', A, A},
    {"D:19991231235959+05'00'", true, 1999, 12, 31, 23, 59, 59, u'+', 5, 0},
    {"D:19991231235959+05'00", false, 1999, 12, 31, 23, 59, 59, u'+', 5, A},
    {"D:19991231235959+05'", true, 1999, 12, 31, 23, 59, 59, u'+', 5, A},
    {"D:19991231235959+05", false, 1999, 12, 31, 23, 59, 59, u'+', A, A},
    {"D:19991231235959+10'00'", false, 1999, 12, 31, 23, 59, 59, u'+', A, A},
    {"D:19991231235959-08'30'", false, 1999, 12, 31, 23, 59, 59, u'-', 8, A},
    {"D:19991231235959-08'00'x", false, 1999, 12, 31, 23, 59, 59, u'-', 8, 0},
    {"D:19991231235959X", false, 1999, 12, 31, 23, 59, 59, 0, A, A},
    {"X:20010315", false, A, A, A, A, A, A, 0, A, A},
    {"D:2O01", false, A, A, A, A, A, A, 0, A, A},
    {"D:200", false, A, A, A, A, A, A, 0, A, A},
    {"D", false, A, A, A, A, A, A, 0, A, A},
    {"", false, A, A, A, A, A, A, 0, A, A},
};

TEST(PdfDateTest, ParsesFieldsAndStopsAtTheFault) {
    for (const DateCase& c : kCases) {
        SCOPED_TRACE(c.text);
        PdfDateFields f;
        f.year = 7;  // every field is reset first
        const WString text = WString::fromLatin1(c.text);
        EXPECT_EQ(parsePdfDate(text, f), c.ok);
        EXPECT_EQ(f.year, c.year);
        EXPECT_EQ(f.month, c.month);
        EXPECT_EQ(f.day, c.day);
        EXPECT_EQ(f.hour, c.hour);
        EXPECT_EQ(f.minute, c.minute);
        EXPECT_EQ(f.second, c.second);
        EXPECT_EQ(f.zone, c.zone);
        EXPECT_EQ(f.zoneHour, c.zoneHour);
        EXPECT_EQ(f.zoneMinute, c.zoneMinute);
        EXPECT_EQ(text.toLatin1(), c.text);
    }
}

}  // namespace
}  // namespace vistrel
