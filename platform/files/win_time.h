// The kernel's clocks: the tick count (milliseconds of a monotonic clock as an
// unsigned 32-bit number that wraps around after about 49.7 days), the system
// time in UTC as calendar fields, and the file time (100-nanosecond units
// since 1 January 1601, UTC) those fields convert to.
#pragma once

#include <cstdint>

#include "platform/files/win_files.h"

namespace win {

using WORD = std::uint16_t;

// Milliseconds since the system started, modulo 2^32.
DWORD GetTickCount();

// Replaces the clock GetTickCount reads, so that tests can drive time; null
// brings the monotonic clock back. Returns the source it replaces (null for
// the monotonic clock).
using TickCountSource = DWORD (*)();
TickCountSource SetTickCountSource(TickCountSource source);

// A date and time of day; the day of the week counts from Sunday (0).
struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

// The current date and time in UTC.
void GetSystemTime(SYSTEMTIME* time);

// The file time of a date and time (the day of the week is not read).
// FALSE, leaving the file time alone, for a date that does not exist or one
// outside the years 1601 to 30827, and for a time of day out of range.
BOOL SystemTimeToFileTime(const SYSTEMTIME* time, FILETIME* fileTime);

}  // namespace win
