#include "engine/render/raster/device_color.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "engine/core/settings_store.h"
#include "engine/render/raster/raster_settings.h"

namespace vistrel {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

DoubleArray values(const std::vector<double>& v) {
    DoubleArray a;
    for (double x : v)
        a.append(x);
    return a;
}

// Sets "FullColorPathConversion" for one test; parks it again afterwards
// (a parked value reads as missing).
class PathConversion {
public:
    explicit PathConversion(const SettingValue* value) {
        if (value)
            settingsStore().set(settings::Quality, settings::FullColorPathConversion, *value);
        else
            settingsStore().save(settings::Quality, settings::FullColorPathConversion);
    }
    ~PathConversion() { settingsStore().save(settings::Quality, settings::FullColorPathConversion); }
};

struct FromCase {
    std::vector<double> components;
    std::int32_t model;
    std::uint32_t expected;  // 0x00BBGGRR
};

TEST(DeviceColorTest, FromComponentsByModel) {
    const FromCase cases[] = {
        {{0.5}, kModelGray, 0x808080},  // 127.5 rounds up
        {{0}, kModelGray, 0x000000},
        {{1, 0, 0}, kModelRgb, 0x0000FF},
        {{0.2, 0.4, 0.6}, kModelRgb, 0x996633},
        {{0, 0, 1}, kModelByCount, 0xFF0000},
        {{0.25}, kModelByCount, 0x404040},
        {{0, 0, 0, 0}, kModelByCount, 0xFFFFFF},
        {{255, 128, 0}, kModelRawRgb, 0x0080FF},
        {{256.9, -1, 511}, kModelRawRgb, 0xFFFF00},  // truncated, low 8 bits
        // Extra components are not read.
        {{1, 0, 0, 0.5, 0.5}, kModelRgb, 0x0000FF},
        // Out of range and NaN clamp to 0..1.
        {{1.2}, kModelGray, 0xFFFFFF},
        {{-0.1}, kModelGray, 0x000000},
        {{kNaN}, kModelGray, 0x000000},
        {{2, -3, kInf}, kModelRgb, 0xFF00FF},
    };
    for (const FromCase& c : cases) {
        DeviceColor color(0x123456);
        EXPECT_TRUE(color.fromComponents(values(c.components), c.model)) << c.model;
        EXPECT_EQ(color.value(), c.expected) << c.model << " " << c.components[0];
    }
}

TEST(DeviceColorTest, RefusedModelsAndCountsKeepTheValue) {
    struct Case {
        std::vector<double> components;
        std::int32_t model;
    } cases[] = {
        {{0.5, 0.5}, kModelByCount},   {{0.5, 0.5, 0.5, 0.5, 0.5}, kModelByCount},
        {{0.5, 0.5, 0.5}, kModelNone}, {{0.5, 0.5, 0.5}, 6},
        {{0.5, 0.5, 0.5}, -1},         {{}, kModelGray},
        {{0.5, 0.5}, kModelRgb},       {{0.5, 0.5, 0.5}, kModelCmyk},
    };
    for (const Case& c : cases) {
        DeviceColor color(0x123456);
        EXPECT_FALSE(color.fromComponents(values(c.components), c.model)) << c.model;
        EXPECT_EQ(color.value(), 0x123456u) << c.model;
    }
}

struct CmykCase {
    std::vector<double> cmyk;
    std::uint32_t quick, matrix, ink;
};

TEST(DeviceColorTest, CmykModelsFollowTheSetting) {
    const CmykCase cases[] = {
        {{0, 0, 0, 0}, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF},
        // Cyan: quick 0,255,255; matrix 0,130,191; ink 0,89,202.
        {{1, 0, 0, 0}, 0xFFFF00, 0xBF8200, 0xCA5900},
        {{0, 0, 0, 1}, 0x000000, 0x000000, 0x03060A},
        // Quick: a negative ink sum gives 0, out-of-range inks clamp.
        {{0.7, 0, 0, 0.6}, 0x666600, 0x000000, 0x1C1E17},
        // NaN and infinities never reach an integer conversion.
        {{-1, 2, kNaN, -5}, 0xFF00FF, 0xFFFFFF, 0x000000},
    };
    const SettingValue one = SettingValue::ofInteger(1);
    const SettingValue two = SettingValue::ofText(WString(u"2"));
    const SettingValue unknown = SettingValue::ofInteger(7);
    for (const CmykCase& c : cases) {
        struct {
            const SettingValue* setting;
            std::uint32_t expected;
        } runs[] = {{nullptr, c.quick}, {&unknown, c.quick}, {&one, c.matrix}, {&two, c.ink}};
        for (const auto& run : runs) {
            PathConversion conversion(run.setting);
            DeviceColor color;
            EXPECT_TRUE(color.fromComponents(values(c.cmyk), kModelCmyk));
            EXPECT_EQ(color.value(), run.expected) << c.cmyk[0] << " " << c.cmyk[3] << " setting "
                                                   << (run.setting ? run.setting->integer : -1);
        }
    }
}

TEST(DeviceColorTest, ToComponentsByModel) {
    struct Case {
        std::uint32_t value;
        std::int32_t model;
        std::vector<double> expected;
    } cases[] = {
        {0x0000FF, kModelGray, {255 * 0.3333333333333333 * 0.00392156862745098}},
        {0x0080FF, kModelRawRgb, {255, 128, 0}},
        {0xFF0000, kModelRgb, {0, 0, 1}},
        {0xFFFFFF, kModelCmyk, {0, 0, 0, 0}},
        {0x000000, kModelCmyk, {1, 1, 1, 0}},
    };
    for (const Case& c : cases) {
        DeviceColor color(c.value);
        DoubleArray out = values({9, 9, 9, 9, 9, 9});
        EXPECT_TRUE(color.toComponents(out, c.model));
        ASSERT_EQ(std::size_t(out.count()), c.expected.size()) << c.model;
        for (std::int32_t i = 0; i < out.count(); ++i)
            EXPECT_DOUBLE_EQ(out[i], c.expected[i]) << c.model << " " << i;
    }
    DeviceColor color(0x808080);
    for (std::int32_t refused : {std::int32_t(kModelNone), std::int32_t(kModelByCount), 9}) {
        DoubleArray out = values({1, 2});
        EXPECT_FALSE(color.toComponents(out, refused));
        EXPECT_TRUE(out.empty());
    }
    // An array without storage is refused by both conversions.
    DoubleArray none(0);
    EXPECT_FALSE(color.toComponents(none, kModelRgb));
    EXPECT_FALSE(color.fromComponents(none, kModelByCount));
}

TEST(DeviceColorTest, CloneAndPackedAccess) {
    DeviceColor color;
    EXPECT_EQ(color.value(), 0xFFFFFFu);  // white when made
    color.SetRgb(0x12, 0x34, 0x56);
    int r, g, b;
    color.getRgb(r, g, b);
    EXPECT_EQ(r, 0x12);
    EXPECT_EQ(g, 0x34);
    EXPECT_EQ(b, 0x56);
    std::unique_ptr<DeviceColor> copy(color.clone());
    std::uint32_t v = 0;
    copy->getValue(v);
    EXPECT_EQ(v, 0x563412u);
}

}  // namespace
}  // namespace vistrel
