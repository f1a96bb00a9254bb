#include "engine/core/time_record.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

namespace vistrel {
namespace {

// Days since 1 January 1601 across month, year, century and leap-year ends;
// the last second of a day still counts to that day. Dates that do not exist
// give -1.
TEST(TimeRecordTest, DayNumbers) {
    const struct {
        TimeRecord time;  // hour, minute, second, day, month, year
        std::int32_t days;
    } cases[] = {
        {{0, 0, 0, 1, 1, 1601}, 0},
        {{23, 59, 59, 31, 12, 1601}, 364},
        {{0, 0, 0, 1, 1, 1602}, 365},
        {{0, 0, 0, 28, 2, 1900}, 109265},
        {{0, 0, 0, 1, 3, 1900}, 109266},
        {{0, 0, 0, 1, 1, 1970}, 134774},
        {{0, 0, 0, 28, 2, 2000}, 145789},
        {{12, 0, 0, 29, 2, 2000}, 145790},
        {{0, 0, 0, 1, 3, 2000}, 145791},
        {{23, 59, 59, 31, 1, 2023}, 154162},
        {{0, 0, 0, 1, 2, 2023}, 154163},
        {{23, 59, 59, 28, 2, 2023}, 154190},
        {{0, 0, 0, 1, 3, 2023}, 154191},
        {{23, 59, 59, 31, 12, 2023}, 154496},
        {{0, 0, 0, 1, 1, 2024}, 154497},
        {{0, 0, 0, 28, 2, 2024}, 154555},
        {{23, 59, 59, 29, 2, 2024}, 154556},
        {{23, 59, 59, 1, 3, 2024}, 154557},
        {{0, 0, 0, 1, 1, 2025}, 154863},
        {{0, 0, 0, 29, 2, 2023}, -1},
        {{0, 0, 0, 29, 2, 1900}, -1},
        {{0, 0, 0, 31, 4, 2024}, -1},
        {{0, 0, 0, 1, 13, 2024}, -1},
        {{24, 0, 0, 1, 1, 2024}, -1},
        {{0, 0, 0, 31, 12, 1600}, -1},
        {{0, 0, 0, 1, 1, 65536 + 2024}, -1},
        {{0, 0, -1, 1, 1, 2024}, -1},
    };
    for (const auto& c : cases) {
        const TimeRecord& t = c.time;
        SCOPED_TRACE(std::to_string(t.year) + "-" + std::to_string(t.month) + "-" +
                     std::to_string(t.day) + " " + std::to_string(t.hour) + ":" +
                     std::to_string(t.minute) + ":" + std::to_string(t.second));
        EXPECT_EQ(dayNumber(t), c.days);
    }
}

// Spans added with their carries up to the day, which is a count: it is
// not carried into months, so a span may run past a month's or a year's
// end.
TEST(TimeRecordTest, AddedTimes) {
    using win::SYSTEMTIME;
    const struct {
        const char* name;
        SYSTEMTIME a, b;  // year, month, weekday, day, hour, minute, second, ms
        SYSTEMTIME sum;
    } cases[] = {
        {"no carry", {2024, 3, 5, 1, 10, 20, 30, 400}, {0, 0, 0, 2, 1, 2, 3, 4},
         {2024, 3, 5, 3, 11, 22, 33, 404}},
        {"milliseconds to seconds", {0, 0, 0, 0, 0, 0, 59, 999}, {0, 0, 0, 0, 0, 0, 0, 1},
         {0, 0, 0, 0, 0, 1, 0, 0}},
        {"each carry up to the day", {2024, 12, 2, 31, 23, 59, 59, 999},
         {0, 0, 0, 0, 0, 0, 0, 1}, {2024, 12, 2, 32, 0, 0, 0, 0}},
        {"whole days past a month's end", {2024, 2, 3, 28, 12, 0, 0, 0},
         {0, 0, 0, 1, 12, 0, 0, 0}, {2024, 2, 3, 30, 0, 0, 0, 0}},
        {"largest fields", {0, 0, 0, 10, 23, 59, 59, 999}, {0, 0, 0, 10, 23, 59, 59, 999},
         {0, 0, 0, 21, 23, 59, 59, 998}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SYSTEMTIME s = addTimes(c.a, c.b);
        EXPECT_EQ(s.wYear, c.sum.wYear);
        EXPECT_EQ(s.wMonth, c.sum.wMonth);
        EXPECT_EQ(s.wDayOfWeek, c.sum.wDayOfWeek);
        EXPECT_EQ(s.wDay, c.sum.wDay);
        EXPECT_EQ(s.wHour, c.sum.wHour);
        EXPECT_EQ(s.wMinute, c.sum.wMinute);
        EXPECT_EQ(s.wSecond, c.sum.wSecond);
        EXPECT_EQ(s.wMilliseconds, c.sum.wMilliseconds);
    }
}

// The current time is today's date in UTC.
TEST(TimeRecordTest, CurrentTimeIsToday) {
    const std::time_t before = std::time(nullptr);
    TimeRecord now;
    currentTime(now);
    const std::time_t after = std::time(nullptr);
    const std::int32_t day = dayNumber(now);
    EXPECT_GE(day, 134774 + std::int32_t(before / 86400));
    EXPECT_LE(day, 134774 + std::int32_t(after / 86400));
    EXPECT_LT(now.hour, 24);
}

}  // namespace
}  // namespace vistrel
