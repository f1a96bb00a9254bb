// The engine settings this folder reads from the settings store, as
// integers: "Quality"/"GDCClipMode", "Quality"/"GDCOptimMode",
// "Quality"/"FullColorPathConversion" and "FontSystem"/"AAMethod" (keys from
// settings:: of engine/constants).
#pragma once

#include "engine/constants/setting_keys.h"
#include "engine/core/wstring.h"

namespace vistrel {

struct IntegerSetting {
    bool present = false;
    // False for a stored value of a kind the store does not know.
    bool knownKind = true;
    int value = 0;
};

IntegerSetting readRasterSetting(const WString& section, const WString& key);

// The integer value, or fallback when the setting is missing.
inline int readRasterInt(const WString& section, const WString& key, int fallback) {
    IntegerSetting s = readRasterSetting(section, key);
    return s.present ? s.value : fallback;
}

}  // namespace vistrel
