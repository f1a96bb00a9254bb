// GUIDs: class, interface and type library ids, compared by value, read
// from and written as the "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" text form.
#pragma once

#include "platform/com/com_types.h"

namespace win {

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];

    friend constexpr bool operator==(const GUID&, const GUID&) = default;
};

using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

constexpr GUID GUID_NULL = {};
constexpr IID IID_NULL = {};

// Reads the braced text form (hex digits of either case); E_INVALIDARG for
// any other text, leaving *id unchanged.
HRESULT IIDFromString(LPCOLESTR text, IID* id);

// Writes the braced form in upper case with its terminator; answers the
// units written (39), or 0 when the buffer holds fewer.
int StringFromGUID2(REFGUID id, LPOLESTR buffer, int bufferLength);

}  // namespace win
