#include "engine/control/presets.h"

#include <cmath>

#include "engine/constants/setting_keys.h"
#include "engine/core/settings_store.h"

namespace vistrel {
namespace {

void setBoolean(const WString& section, const WString& key, bool value) {
    settingsStore().set(section, key, SettingValue::ofBoolean(value));
}

void setInteger(const WString& section, const WString& key, std::int32_t value) {
    settingsStore().set(section, key, SettingValue::ofInteger(value));
}

struct QualityLevel {
    bool exactWidth, ttCache, ownT1, embeddedT1, substTTWithT1;
    std::int32_t aaSize, aaType;  // aaSize 0: neither is written
    std::int32_t imageShow, imageRotation, imageStretch, clip, imageConversion, pathConversion;
};

constexpr QualityLevel kQualityLevels[6] = {
    {false, false, false, false, false, 0, 0, 1, 0, 0, 0, 0, 0},
    {false, true, false, false, false, 2, 1, 2, 1, 0, 0, 0, 1},
    {true, true, false, true, false, 4, 1, 2, 2, 1, 1, 0, 2},
    {true, true, true, true, false, 4, 1, 2, 3, 1, 1, 1, 2},
    {true, true, true, true, true, 8, 2, 2, 4, 1, 1, 2, 2},
    {true, true, true, true, true, 8, 2, 0, 4, 1, 1, 2, 2},
};

}  // namespace

void applyQualityPreset(std::int32_t quality) {
    if (quality < 0 || quality > 5)
        return;
    // Anti-aliasing is capped at 2 on a device of 4 bits per pixel or fewer.
    const SettingValue* bits = settingsStore().find(settings::Quality, settings::DeviceBitsPerPixel);
    const std::int32_t cap = bits && readSettingNumber(bits, 0) <= 4 ? 2 : 8;
    const QualityLevel& l = kQualityLevels[quality];
    setBoolean(settings::FontSystem, settings::CalculateTTExactWidth, l.exactWidth);
    setBoolean(settings::FontSystem, settings::UseTTCache, l.ttCache);
    setBoolean(settings::FontSystem, settings::UseOwnT1, l.ownT1);
    setBoolean(settings::FontSystem, settings::UseEmbeddedT1, l.embeddedT1);
    setBoolean(settings::FontSystem, settings::SubstTTWithT1, l.substTTWithT1);
    if (l.aaSize) {
        setInteger(settings::FontSystem, settings::AASize, l.aaSize < cap ? l.aaSize : cap);
        setInteger(settings::FontSystem, settings::AAType, l.aaType);
    }
    setInteger(settings::Quality, settings::ImageShowMode, l.imageShow);
    setInteger(settings::Quality, settings::ImageRotationMode, l.imageRotation);
    setInteger(settings::Quality, settings::ImageStretchMode, l.imageStretch);
    setInteger(settings::Quality, settings::GDCClipMode, l.clip);
    setInteger(settings::Quality, settings::FullColorImageConversion, l.imageConversion);
    setInteger(settings::Quality, settings::FullColorPathConversion, l.pathConversion);
}

std::int32_t curveThreshold(std::int32_t viewQuality, std::int32_t viewMemoryUsage) {
    // Exact in doubles for every level a view is meant to hold.
    const double steps = 740.0 - 40.0 * (double(viewMemoryUsage) + 1) * (double(viewQuality) - 1);
    const double scaled = steps * 0.07142857142857142;
    const double rounded = scaled < 0 ? std::trunc(scaled - 0.5) : std::trunc(scaled + 0.5);
    return std::int32_t(std::fmin(std::fmax(rounded, -2147483648.0), 2147483647.0));
}

void applyMemoryPreset(std::int32_t memoryUsage, std::int32_t viewQuality,
                       std::int32_t viewMemoryUsage) {
    const bool least = memoryUsage == 0, less = memoryUsage == 1;
    setBoolean(settings::FontSystem, settings::CacheGlyphs, !least && !less);
    setBoolean(settings::FontSystem, settings::CacheEdges, !least);
    setInteger(settings::Quality, settings::ImageSizeLimit, least ? 0 : less ? 1 : 2);
    setInteger(settings::Quality, settings::GDCOptimMode, least || less || memoryUsage == 2 ? 0 : 1);
    setInteger(settings::FontSystem, settings::CurveThreshold,
               curveThreshold(viewQuality, viewMemoryUsage));
}

}  // namespace vistrel
