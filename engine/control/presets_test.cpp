#include "engine/control/presets.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/constants/setting_keys.h"
#include "engine/core/settings_store.h"

namespace vistrel {
namespace {

// A setting as the readers see it: "-" when missing, else its kind and value.
std::string setting(const WString& section, const WString& key) {
    const SettingValue* value = settingsStore().find(section, key);
    if (!value)
        return "-";
    if (value->kind == SettingValue::kBoolean)
        return value->boolean ? "true" : "false";
    return std::to_string(readSettingNumber(value, -999));
}

TEST(PresetsTest, EachQualityLevelWritesItsRow) {
    struct Key {
        const WString& section;
        const WString& key;
    };
    const std::vector<Key> keys = {
        {settings::FontSystem, settings::CalculateTTExactWidth},
        {settings::FontSystem, settings::UseTTCache},
        {settings::FontSystem, settings::UseOwnT1},
        {settings::FontSystem, settings::UseEmbeddedT1},
        {settings::FontSystem, settings::SubstTTWithT1},
        {settings::FontSystem, settings::AASize},
        {settings::FontSystem, settings::AAType},
        {settings::Quality, settings::ImageShowMode},
        {settings::Quality, settings::ImageRotationMode},
        {settings::Quality, settings::ImageStretchMode},
        {settings::Quality, settings::GDCClipMode},
        {settings::Quality, settings::FullColorImageConversion},
        {settings::Quality, settings::FullColorPathConversion},
    };
    // Level 0 runs after level 4 and keeps its anti-aliasing values.
    const struct {
        int level;
        std::vector<std::string> row;
    } levels[] = {
        {4, {"true", "true", "true", "true", "true", "8", "2", "2", "4", "1", "1", "2", "2"}},
        {0, {"false", "false", "false", "false", "false", "8", "2", "1", "0", "0", "0", "0", "0"}},
        {1, {"false", "true", "false", "false", "false", "2", "1", "2", "1", "0", "0", "0", "1"}},
        {2, {"true", "true", "false", "true", "false", "4", "1", "2", "2", "1", "1", "0", "2"}},
        {3, {"true", "true", "true", "true", "false", "4", "1", "2", "3", "1", "1", "1", "2"}},
        {5, {"true", "true", "true", "true", "true", "8", "2", "0", "4", "1", "1", "2", "2"}},
        // Outside the table: nothing is written.
        {6, {"true", "true", "true", "true", "true", "8", "2", "0", "4", "1", "1", "2", "2"}},
        {-1, {"true", "true", "true", "true", "true", "8", "2", "0", "4", "1", "1", "2", "2"}},
    };
    for (const auto& l : levels) {
        applyQualityPreset(l.level);
        std::vector<std::string> row;
        row.reserve(keys.size());
        for (const Key& k : keys)
            row.push_back(setting(k.section, k.key));
        EXPECT_EQ(row, l.row) << "level " << l.level;
    }
    // A device of 4 bits per pixel or fewer caps anti-aliasing at 2.
    settingsStore().set(settings::Quality, settings::DeviceBitsPerPixel,
                        SettingValue::ofText(WString(u"4")));
    applyQualityPreset(4);
    EXPECT_EQ(setting(settings::FontSystem, settings::AASize), "2");
    settingsStore().save(settings::Quality, settings::DeviceBitsPerPixel);  // gone again
    applyQualityPreset(4);
    EXPECT_EQ(setting(settings::FontSystem, settings::AASize), "8");
    EXPECT_EQ(setting(settings::Quality, settings::DeviceBitsPerPixel), "-");
}

TEST(PresetsTest, MemoryLevelsAndTheCurveThresholdOfTheView) {
    const struct {
        int level, quality, memory;
        std::vector<std::string> row;  // glyphs, edges, size limit, optimisation, threshold
    } cases[] = {
        {0, 4, 4, {"false", "false", "0", "0", "10"}},
        {1, 4, 4, {"false", "true", "1", "0", "10"}},
        {2, 1, 0, {"true", "true", "2", "0", "53"}},
        {3, 1, 4, {"true", "true", "2", "1", "53"}},
        {9, 0, 0, {"true", "true", "2", "1", "56"}},
        {-5, 5, 4, {"true", "true", "2", "1", "-4"}},
        // Levels far outside their range saturate.
        {4, 2147483647, 2147483647, {"true", "true", "2", "1", "-2147483648"}},
        {4, -2147483647, 2147483647, {"true", "true", "2", "1", "2147483647"}},
    };
    for (const auto& c : cases) {
        applyMemoryPreset(c.level, c.quality, c.memory);
        const std::vector<std::string> row = {
            setting(settings::FontSystem, settings::CacheGlyphs),
            setting(settings::FontSystem, settings::CacheEdges),
            setting(settings::Quality, settings::ImageSizeLimit),
            setting(settings::Quality, settings::GDCOptimMode),
            setting(settings::FontSystem, settings::CurveThreshold)};
        EXPECT_EQ(row, c.row) << "level " << c.level;
    }
}

}  // namespace
}  // namespace vistrel
