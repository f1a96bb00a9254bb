// The system's alert sound. There is no sound device here: the stand-in rings
// the bell of the terminal the standard error goes to, when it goes to one.
#pragma once

#include "platform/files/win_files.h"

namespace win {

using UINT = std::uint32_t;

// Plays the alert sound of the given kind (0xFFFFFFFF: the simple beep);
// TRUE.
BOOL MessageBeep(UINT type);

}  // namespace win
