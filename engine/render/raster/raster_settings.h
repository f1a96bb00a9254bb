// The engine settings this folder reads ("Quality"/"GDCClipMode",
// "Quality"/"GDCOptimMode", "FontSystem"/"AAMethod"), read as integers
// through a reader that the engine installs over its settings store. Without
// a reader every setting is missing.
#pragma once

namespace vistrel {

struct IntegerSetting {
    bool present = false;
    // False for a stored value of a kind the store does not know.
    bool knownKind = true;
    int value = 0;
};

using IntegerSettingReader = IntegerSetting (*)(const char16_t* section, const char16_t* key);

void setRasterSettingReader(IntegerSettingReader reader);
IntegerSetting readRasterSetting(const char16_t* section, const char16_t* key);

// The integer value, or fallback when the setting is missing.
inline int readRasterInt(const char16_t* section, const char16_t* key, int fallback) {
    IntegerSetting s = readRasterSetting(section, key);
    return s.present ? s.value : fallback;
}

}  // namespace vistrel
