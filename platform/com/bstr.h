// BSTR: a counted string of 16-bit units handed between the engine and its
// host. The pointer addresses the first unit; the 32-bit byte length lies
// just before it and a terminator just after the last unit, so a BSTR may
// hold NULs of its own. A null BSTR reads as the empty text. Every BSTR is
// allocated and freed by this library, whichever library holds it.
#pragma once

#include "platform/com/com_types.h"

namespace win {

using BSTR = OLECHAR*;

// Copies the terminated text; null for a null text or when memory runs out.
BSTR SysAllocString(LPCOLESTR text);

// A string of length units copied from text (zeros when text is null); null
// when memory runs out or the length exceeds the 32-bit byte count.
BSTR SysAllocStringLen(LPCOLESTR text, UINT length);

// Replaces *string by a copy of text (which may lie inside *string); the old
// string is freed. Answers 0, leaving *string as it was, on failure.
INT SysReAllocString(BSTR* string, LPCOLESTR text);

void SysFreeString(BSTR string);

// Length in units; 0 for null.
UINT SysStringLen(BSTR string);

}  // namespace win
