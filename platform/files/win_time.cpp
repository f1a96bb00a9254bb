#include "platform/files/win_time.h"

#include <chrono>

namespace win {
namespace {

TickCountSource tickSource = nullptr;

// The monotonic clock counts from the system's start, as the kernel's tick
// count does.
DWORD monotonicTicks() {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<DWORD>(static_cast<unsigned long long>(ms));
}

// Days from 1 January 1601 (a Monday) to a date and back, counted in the
// Gregorian calendar's 400-year cycles from 1 March 1600, so that a leap day
// ends a cycle's year.
constexpr std::int64_t kDaysPerCycle = 146097;
// From 1 March 1600 to 1 January 1601.
constexpr std::int64_t kDaysMarchTo1601 = 306;

std::int64_t daysFrom1601(std::int64_t year, unsigned month, unsigned day) {
    const std::int64_t y = year - 1600 - (month <= 2 ? 1 : 0);
    const std::int64_t cycle = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yearOfCycle = y - cycle * 400;
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const std::int64_t dayOfCycle =
        yearOfCycle * 365 + yearOfCycle / 4 - yearOfCycle / 100 + dayOfYear;
    return cycle * kDaysPerCycle + dayOfCycle - kDaysMarchTo1601;
}

void dateOf(std::int64_t days, SYSTEMTIME& time) {
    const std::int64_t z = days + kDaysMarchTo1601;
    const std::int64_t cycle = (z >= 0 ? z : z - kDaysPerCycle + 1) / kDaysPerCycle;
    const std::int64_t dayOfCycle = z - cycle * kDaysPerCycle;
    const std::int64_t yearOfCycle =
        (dayOfCycle - dayOfCycle / 1460 + dayOfCycle / 36524 - dayOfCycle / 146096) / 365;
    const std::int64_t dayOfYear =
        dayOfCycle - (365 * yearOfCycle + yearOfCycle / 4 - yearOfCycle / 100);
    const std::int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    const std::int64_t month = monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9;
    time.wYear = WORD(1600 + cycle * 400 + yearOfCycle + (month <= 2 ? 1 : 0));
    time.wMonth = WORD(month);
    time.wDay = WORD(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    time.wDayOfWeek = WORD((days % 7 + 8) % 7);
}

bool isLeapYear(unsigned year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

unsigned daysInMonth(unsigned year, unsigned month) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

constexpr std::int64_t kUnitsPerMillisecond = 10000;
constexpr std::int64_t kMillisecondsPerDay = 86400000;
// Days from 1 January 1601 to 1 January 1970.
constexpr std::int64_t kDaysTo1970 = 134774;

}  // namespace

DWORD GetTickCount() {
    return tickSource ? tickSource() : monotonicTicks();
}

TickCountSource SetTickCountSource(TickCountSource source) {
    TickCountSource old = tickSource;
    tickSource = source;
    return old;
}

void GetSystemTime(SYSTEMTIME* time) {
    if (!time)
        return;
    using namespace std::chrono;
    const std::int64_t ms =
        duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    std::int64_t days = ms / kMillisecondsPerDay;
    std::int64_t ofDay = ms % kMillisecondsPerDay;
    if (ofDay < 0) {
        ofDay += kMillisecondsPerDay;
        --days;
    }
    dateOf(days + kDaysTo1970, *time);
    time->wHour = WORD(ofDay / 3600000);
    time->wMinute = WORD(ofDay / 60000 % 60);
    time->wSecond = WORD(ofDay / 1000 % 60);
    time->wMilliseconds = WORD(ofDay % 1000);
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* time, FILETIME* fileTime) {
    if (!time || !fileTime)
        return 0;
    const SYSTEMTIME& t = *time;
    if (t.wYear < 1601 || t.wYear > 30827 || t.wMonth < 1 || t.wMonth > 12 || t.wDay < 1 ||
        t.wDay > daysInMonth(t.wYear, t.wMonth) || t.wHour > 23 || t.wMinute > 59 ||
        t.wSecond > 59 || t.wMilliseconds > 999) {
        return 0;
    }
    const std::int64_t ms = daysFrom1601(t.wYear, t.wMonth, t.wDay) * kMillisecondsPerDay +
                            ((t.wHour * 60 + t.wMinute) * 60 + t.wSecond) * 1000 +
                            t.wMilliseconds;
    const auto units = static_cast<std::uint64_t>(ms * kUnitsPerMillisecond);
    fileTime->dwLowDateTime = DWORD(units);
    fileTime->dwHighDateTime = DWORD(units >> 32);
    return 1;
}

}  // namespace win
