// The kernel's tick count: milliseconds of a monotonic clock as an unsigned
// 32-bit number that wraps around after about 49.7 days.
#pragma once

#include "platform/files/win_files.h"

namespace win {

// Milliseconds since the system started, modulo 2^32.
DWORD GetTickCount();

// Replaces the clock GetTickCount reads, so that tests can drive time; null
// brings the monotonic clock back. Returns the source it replaces (null for
// the monotonic clock).
using TickCountSource = DWORD (*)();
TickCountSource SetTickCountSource(TickCountSource source);

}  // namespace win
