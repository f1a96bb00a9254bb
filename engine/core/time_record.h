// Time helpers: a date with its time of day, the whole days since 1 January
// 1601, the current time, the sum of two times and the alert sound.
#pragma once

#include <cstdint>

#include "platform/files/win_time.h"

namespace vistrel {

struct TimeRecord {
    std::int32_t hour = 0;
    std::int32_t minute = 0;
    std::int32_t second = 0;
    std::int32_t day = 0;
    std::int32_t month = 0;
    std::int32_t year = 0;
};

// The whole days from 1 January 1601 to the record's date (its time of day
// counts only as part of that day); -1 when the record is no date and time
// the system's calendar knows (see win::SystemTimeToFileTime).
std::int32_t dayNumber(const TimeRecord& record);

// The current date and time in UTC.
void currentTime(TimeRecord& record);

// Two spans of time added up: days, hours, minutes, seconds and milliseconds,
// with carries at 1000 milliseconds, 60 seconds, 60 minutes and 24 hours.
// The days are a count, never carried into months; year, month and day of
// the week are a's.
win::SYSTEMTIME addTimes(const win::SYSTEMTIME& a, const win::SYSTEMTIME& b);

// The simple alert sound.
void beep();

}  // namespace vistrel
