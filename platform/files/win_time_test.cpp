#include "platform/files/win_time.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <thread>

namespace {

win::DWORD fixedTicks() {
    return 0xFFFFFFF0u;
}

TEST(TickCountTest, MillisecondsOfAMonotonicClockOrAnInjectedSource) {
    const win::DWORD before = win::GetTickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const win::DWORD elapsed = win::GetTickCount() - before;
    EXPECT_GE(elapsed, 30u);
    EXPECT_LT(elapsed, 5000u);

    EXPECT_EQ(win::SetTickCountSource(fixedTicks), nullptr);
    EXPECT_EQ(win::GetTickCount(), 0xFFFFFFF0u);
    EXPECT_EQ(win::SetTickCountSource(nullptr), fixedTicks);
    EXPECT_GE(win::GetTickCount() - before, 30u);
}

std::uint64_t units(const win::FILETIME& t) {
    return std::uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime;
}

// File times of dates across month, year, century and leap-year ends, and
// the dates that do not exist or lie out of range, which leave the file
// time alone.
TEST(SystemTimeTest, FileTimesOfDates) {
    const std::uint64_t kUntouched = 0x0123456789ABCDEFull;
    const struct {
        win::SYSTEMTIME time;
        std::uint64_t expected;  // kUntouched: refused
    } cases[] = {
        {{1601, 1, 0, 1, 0, 0, 0, 0}, 0},
        {{1601, 1, 0, 1, 0, 0, 0, 1}, 10000},
        {{1970, 1, 0, 1, 0, 0, 0, 0}, 116444736000000000ull},
        {{1900, 3, 0, 1, 0, 0, 0, 0}, 94405824000000000ull},
        {{2000, 3, 0, 1, 0, 0, 0, 0}, 125963424000000000ull},
        {{2024, 2, 6, 29, 12, 34, 56, 789}, 133536836967890000ull},
        {{9999, 12, 0, 31, 23, 59, 59, 999}, 2650467743999990000ull},
        {{30827, 12, 0, 31, 23, 59, 59, 999}, 9223149887999990000ull},
        {{1600, 12, 0, 31, 0, 0, 0, 0}, kUntouched},
        {{30828, 1, 0, 1, 0, 0, 0, 0}, kUntouched},
        {{2023, 2, 0, 29, 0, 0, 0, 0}, kUntouched},
        {{1900, 2, 0, 29, 0, 0, 0, 0}, kUntouched},
        {{2023, 4, 0, 31, 0, 0, 0, 0}, kUntouched},
        {{2023, 13, 0, 1, 0, 0, 0, 0}, kUntouched},
        {{2023, 0, 0, 1, 0, 0, 0, 0}, kUntouched},
        {{2023, 1, 0, 0, 0, 0, 0, 0}, kUntouched},
        {{2023, 1, 0, 1, 24, 0, 0, 0}, kUntouched},
        {{2023, 1, 0, 1, 0, 60, 0, 0}, kUntouched},
        {{2023, 1, 0, 1, 0, 0, 60, 0}, kUntouched},
        {{2023, 1, 0, 1, 0, 0, 0, 1000}, kUntouched},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.time.wYear) + "-" + std::to_string(c.time.wMonth) + "-" +
                     std::to_string(c.time.wDay));
        win::FILETIME t{std::uint32_t(kUntouched), std::uint32_t(kUntouched >> 32)};
        EXPECT_EQ(win::SystemTimeToFileTime(&c.time, &t), c.expected == kUntouched ? 0 : 1);
        EXPECT_EQ(units(t), c.expected);
    }
}

// The system time is the calendar's UTC time, with its day of the week.
TEST(SystemTimeTest, SystemTimeIsTheCalendarTime) {
    const std::time_t before = std::time(nullptr);
    win::SYSTEMTIME now{};
    win::GetSystemTime(&now);
    const std::time_t after = std::time(nullptr);
    win::FILETIME t{};
    ASSERT_EQ(win::SystemTimeToFileTime(&now, &t), 1);
    const std::int64_t seconds = std::int64_t(units(t) / 10000000) - 11644473600;
    EXPECT_GE(seconds, std::int64_t(before));
    EXPECT_LE(seconds, std::int64_t(after));
    // 1 January 1970 was a Thursday.
    EXPECT_EQ(now.wDayOfWeek, (seconds / 86400 + 4) % 7);
}

}  // namespace
