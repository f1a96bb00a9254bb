// Every setting the viewer keeps, with its stored name (spelled exactly as
// stored, "Defaul Quality" included), its kind and the default its readers
// give. The read and write overloads each open their own TOptions.
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace brevant {

class TOptions;

struct StringSetting {
    const char16_t* name;
    const char16_t* def;
};
struct IntegerSetting {
    const char16_t* name;
    int def;
};
struct BoolSetting {
    const char16_t* name;
    bool def;
};
// Written but never read back, so without a default.
struct WriteOnlyIntegerSetting {
    const char16_t* name;
};

namespace settings {

// The window placement block (see WindowPlacement).
inline constexpr const char16_t* kMainForm = u"Main Form";
// Folder the Files tab opens to.
inline constexpr StringSetting kTreePath{u"Tree Path", u""};
// Recent files, full paths, oldest first, lines separated by CR LF.
inline constexpr StringSetting kFileHistory{u"File history", u""};
// Initial folder of the Open dialog.
inline constexpr StringSetting kOpenDir{u"Open dir", u"."};
// Device format: 4, 16 or 17.
inline constexpr IntegerSetting kPalmFormat{u"Palm Format", 4};
inline constexpr BoolSetting kProgressIndicator{u"Progress Indicator", true};
inline constexpr BoolSetting kLeftPanel{u"Left panel", true};
inline constexpr BoolSetting kShowSplash{u"Show Splash", true};
inline constexpr BoolSetting kToolBar{u"Tool bar", true};
inline constexpr BoolSetting kStatusBar{u"Status bar", true};
inline constexpr BoolSetting kDisplayGraphics{u"Display Graphics", true};
inline constexpr BoolSetting kOpenDialog{u"Open dialog", false};
inline constexpr BoolSetting kPreviewInPalm{u"Preview In Palm", true};
inline constexpr IntegerSetting kDefaultPage{u"Default page", 1};
// Percent.
inline constexpr IntegerSetting kDefaultZoom{u"Default zoom", 100};
inline constexpr BoolSetting kIsGoto{u"IsGoto", false};
inline constexpr BoolSetting kAutostartPdb{u"Autostart PDB", true};
// Quality 0-5 and memory usage 0-4 of the Quality/Memory Options dialog.
inline constexpr WriteOnlyIntegerSetting kDefaultQuality{u"Defaul Quality"};
inline constexpr WriteOnlyIntegerSetting kDefaultMemoryUsage{u"Default Memory Usage"};

}  // namespace settings

QString readSetting(const StringSetting& setting);
int readSetting(const IntegerSetting& setting);
bool readSetting(const BoolSetting& setting);
void writeSetting(const StringSetting& setting, const QString& value);
void writeSetting(const IntegerSetting& setting, int value);
void writeSetting(const WriteOnlyIntegerSetting& setting, int value);
void writeSetting(const BoolSetting& setting, bool value);

// The main window's placement as stored under "Main Form": eleven
// little-endian 32-bit integers, the first the block's length (44), then
// the flags, the show state, the minimised and maximised positions and the
// normal rectangle (left, top, right, bottom).
struct WindowPlacement {
    static constexpr int kSize = 44;
    std::int32_t flags = 0;
    std::int32_t showState = 0;
    std::int32_t minX = 0, minY = 0;
    std::int32_t maxX = 0, maxY = 0;
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;

    std::array<std::uint8_t, kSize> toBytes() const;
    friend bool operator==(const WindowPlacement&, const WindowPlacement&) = default;
};

// The stored placement, only when exactly 44 bytes come back.
std::optional<WindowPlacement> readMainForm();
void writeMainForm(const WindowPlacement& placement);

}  // namespace brevant
