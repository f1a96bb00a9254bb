#include "tools/render_presets.h"

#include <cmath>

#include "engine/constants/setting_keys.h"
#include "engine/core/settings_store.h"
#include "engine/render/content/registration.h"
#include "engine/render/raster/output_device.h"

namespace vistrel {
namespace {

void setBool(const WString& section, const WString& key, bool value) {
    settingsStore().set(section, key, SettingValue::ofBoolean(value));
}

void setInt(const WString& section, const WString& key, std::int32_t value) {
    settingsStore().set(section, key, SettingValue::ofInteger(value));
}

}  // namespace

void applyQualityPreset(std::int32_t quality) {
    if (quality < 0 || quality > 5)
        return;
    // The anti-aliasing cap: 2 on a device of at most 4 bits per pixel.
    const SettingValue* bpp = settingsStore().find(settings::Quality, settings::DeviceBitsPerPixel);
    const std::int32_t cap = bpp && readSettingNumber(bpp, 0) <= 4 ? 2 : 8;
    struct Level {
        bool exactWidth, ttCache, ownT1, embeddedT1, substTT;
        std::int32_t aaSize, aaType;  // 0: not written
        std::int32_t imageShow, imageRotation, imageStretch, clip, imageConversion, pathConversion;
    };
    static const Level kLevels[6] = {
        {false, false, false, false, false, 0, 0, 1, 0, 0, 0, 0, 0},
        {false, true, false, false, false, 2, 1, 2, 1, 0, 0, 0, 1},
        {true, true, false, true, false, 4, 1, 2, 2, 1, 1, 0, 2},
        {true, true, true, true, false, 4, 1, 2, 3, 1, 1, 1, 2},
        {true, true, true, true, true, 8, 2, 2, 4, 1, 1, 2, 2},
        {true, true, true, true, true, 8, 2, 0, 4, 1, 1, 2, 2},
    };
    const Level& l = kLevels[quality];
    setBool(settings::FontSystem, settings::CalculateTTExactWidth, l.exactWidth);
    setBool(settings::FontSystem, settings::UseTTCache, l.ttCache);
    setBool(settings::FontSystem, settings::UseOwnT1, l.ownT1);
    setBool(settings::FontSystem, settings::UseEmbeddedT1, l.embeddedT1);
    setBool(settings::FontSystem, settings::SubstTTWithT1, l.substTT);
    if (l.aaSize) {
        setInt(settings::FontSystem, settings::AASize, l.aaSize < cap ? l.aaSize : cap);
        setInt(settings::FontSystem, settings::AAType, l.aaType);
    }
    setInt(settings::Quality, settings::ImageShowMode, l.imageShow);
    setInt(settings::Quality, settings::ImageRotationMode, l.imageRotation);
    setInt(settings::Quality, settings::ImageStretchMode, l.imageStretch);
    setInt(settings::Quality, settings::GDCClipMode, l.clip);
    setInt(settings::Quality, settings::FullColorImageConversion, l.imageConversion);
    setInt(settings::Quality, settings::FullColorPathConversion, l.pathConversion);
}

void applyMemoryPreset(std::int32_t memoryUsage, std::int32_t viewQuality,
                       std::int32_t viewMemoryUsage) {
    const bool low = memoryUsage == 0, middle = memoryUsage == 1;
    setBool(settings::FontSystem, settings::CacheGlyphs, !low && !middle);
    setBool(settings::FontSystem, settings::CacheEdges, !low);
    setInt(settings::Quality, settings::ImageSizeLimit, low ? 0 : middle ? 1 : 2);
    setInt(settings::Quality, settings::GDCOptimMode, low || middle || memoryUsage == 2 ? 0 : 1);
    const double steps = 740 - 40 * (double(viewMemoryUsage) + 1) * (double(viewQuality) - 1);
    double threshold = steps * 0.07142857142857142;
    threshold = threshold > 0 ? std::trunc(threshold + 0.5) : std::trunc(threshold - 0.5);
    // Levels far outside their range saturate.
    threshold = std::fmin(std::fmax(threshold, -2147483648.0), 2147483647.0);
    setInt(settings::FontSystem, settings::CurveThreshold, std::int32_t(threshold));
}

void startRendering(std::int32_t quality, std::int32_t memoryUsage) {
    initOutputDevices();
    registerPdfFontFactories();
    applyMemoryPreset(memoryUsage, quality, memoryUsage);
    applyQualityPreset(quality);
    setBool(settings::Functionality, settings::EnableSearch, true);
}

}  // namespace vistrel
