// Expected values: see expected_values.py beside this file, which recomputes
// them from the formulas.
#include "engine/render/color/cie_color_spaces.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/settings_store.h"
#include "engine/render/color/color_test_util.h"

namespace vistrel {
namespace {

using Bytes = std::vector<std::uint8_t>;

const char* kD65 = "/WhitePoint [0.9505 1 1.089]";

std::string cie(const char* family, const std::string& entries) {
    return std::string("[/") + family + " << " + entries + " >>]";
}

// Sets "Quality"/key for the life of the object, then brings the earlier
// state back.
class QualitySetting {
public:
    QualitySetting(const char16_t* key, std::int32_t value) : key_(key) {
        settingsStore().save(section_, key_);
        settingsStore().set(section_, key_, SettingValue::ofInteger(value));
    }
    ~QualitySetting() { settingsStore().restore(section_, key_); }
    QualitySetting(const QualitySetting&) = delete;
    QualitySetting& operator=(const QualitySetting&) = delete;

private:
    WString section_{u"Quality"};
    WString key_;
};

TEST(CieColorSpaceTest, Validity) {
    struct Case {
        std::string operand;
        bool valid;
    } cases[] = {
        {cie("CalGray", kD65), true},
        {cie("CalRGB", kD65), true},
        {cie("Lab", kD65), true},
        // The white point: three numbers with a Y of exactly 1.
        {cie("CalGray", "/WhitePoint [0.95 1.0001 1.09]"), false},
        {cie("CalRGB", "/WhitePoint [0.95 1.0001 1.09]"), false},
        {cie("Lab", "/WhitePoint [0.95 1.0001 1.09]"), false},
        {cie("CalRGB", ""), false},
        {cie("CalRGB", "/WhitePoint [0.95 1]"), false},
        {cie("CalRGB", "/WhitePoint [0.95 (1) 1.09]"), false},
        // X and Z of the white point must be positive for CalGray and CalRGB
        // (they are divided by); Lab only multiplies by them.
        {cie("CalRGB", "/WhitePoint [0 1 1.09]"), false},
        {cie("CalRGB", "/WhitePoint [0.95 1 -1]"), false},
        {cie("CalGray", "/WhitePoint [0.95 1 0]"), false},
        {cie("CalGray", "/WhitePoint [/X 1 1]"), false},
        {cie("Lab", "/WhitePoint [0 1 0]"), true},
        // Black point: optional, no negative component.
        {cie("CalGray", std::string(kD65) + " /BlackPoint [0 0 -0.1]"), false},
        {cie("Lab", std::string(kD65) + " /BlackPoint [0 0 -0.1]"), false},
        {cie("CalRGB", std::string(kD65) + " /BlackPoint [0.01 0.01 0.01]"), true},
        {cie("CalRGB", std::string(kD65) + " /BlackPoint [-1 0]"), true},  // not 3: ignored
        // Gammas: none below 0; 0 is accepted.
        {cie("CalGray", std::string(kD65) + " /Gamma -0.5"), false},
        {cie("CalGray", std::string(kD65) + " /Gamma 0"), true},
        {cie("CalRGB", std::string(kD65) + " /Gamma [1 -1 1]"), false},
        {cie("CalRGB", std::string(kD65) + " /Gamma [0 0 0]"), true},
        // Lab ranges.
        {cie("Lab", std::string(kD65) + " /Range [10 -10 -100 100]"), false},
        {cie("Lab", std::string(kD65) + " /Range [-100 100 5 4]"), false},
        {cie("Lab", std::string(kD65) + " /Range [0 0 0 0]"), true},
    };
    for (const Case& c : cases) {
        ParsedSpace parsed(c.operand);
        ASSERT_NE(parsed.space.get(), nullptr) << c.operand;
        EXPECT_EQ(parsed->valid(), c.valid) << c.operand;
    }
}

TEST(CieColorSpaceTest, Colours) {
    struct Case {
        std::string operand;
        int full;  // "FullColorPathConversion"
        DoubleArray in;
        bool toXyz;
        bool ok;
        std::vector<double> out;
    } cases[] = {
        // Quick CalRGB: in^(gamma / 1.43), not clamped.
        {cie("CalRGB", kD65), 0, values({1, 1, 1}), false, true, {1, 1, 1}},
        {cie("CalRGB", kD65), 0, values({0.5, 0.5, 0.5}), false, true,
         {0.615871, 0.615871, 0.615871}},
        {cie("CalRGB", std::string(kD65) + " /Gamma [2.2 1 2.2]"), 0, values({0.5, 0.5, 2}), false,
         true, {0.344252, 0.615871, 2.904846}},
        {cie("CalRGB", kD65), 0, values({0.5, 0.5}), false, false, {}},
        // Full: gammas, the space's matrix, the white point, the engine's
        // matrix and the video transfer.
        {cie("CalRGB", std::string(kD65) +
                           " /Gamma [1.8 1.8 1.8] /Matrix [0.4497 0.2446 0.0252 0.3163 0.672 "
                           "0.1412 0.1845 0.0833 0.9227]"),
         1, values({0.5, 0.25, 1}), false, true, {0.476207, 0.329724, 0.943928}},
        // CalGray: A^(1.43 / gamma).
        {cie("CalGray", std::string(kD65) + " /Gamma 2.2"), 0, values({0.5}), false, true,
         {0.637280}},
        {cie("CalGray", kD65), 0, values({}), false, false, {}},
        // Lab: X, Y, Z before the matrix; r, g, b through a square root.
        {cie("Lab", kD65), 0, values({100, 0, 0}), true, true, {0.9505, 1, 1.089}},
        {cie("Lab", kD65), 0, values({100, 0, 0}), false, true, {0.970160, 1, 1}},
        {cie("Lab", kD65), 0, values({50, 20, -30}), false, true, {0.419903, 0.412505, 0.642302}},
        {cie("Lab", kD65), 0, values({50, 20}), false, false, {}},
        // Values without a real result become 0.
        {cie("CalGray", std::string(kD65) + " /Gamma 2.2"), 0, values({-1}), false, true, {0}},
        {cie("CalGray", std::string(kD65) + " /Gamma 0"), 0, values({2}), false, true, {0}},
        {cie("CalRGB", kD65), 0, values({-0.5, 0, 1}), false, true, {0, 0, 1}},
    };
    for (Case& c : cases) {
        QualitySetting setting(u"FullColorPathConversion", c.full);
        ParsedSpace parsed(c.operand);
        ASSERT_TRUE(parsed.space && parsed->valid()) << c.operand;
        DoubleArray out = values({9});
        EXPECT_EQ(parsed->convertColor(c.in, out, c.toXyz), c.ok) << c.operand;
        if (!c.ok)
            continue;
        ASSERT_EQ(out.count(), std::int32_t(c.out.size())) << c.operand;
        for (size_t i = 0; i < c.out.size(); ++i)
            EXPECT_NEAR(out[std::int32_t(i)], c.out[i], 1e-6) << c.operand << " " << i;
    }
}

TEST(CieColorSpaceTest, Samples) {
    const std::string calRgb = cie("CalRGB", std::string(kD65) +
                                                 " /Gamma [1.8 1.8 1.8] /Matrix [0.4497 0.2446 "
                                                 "0.0252 0.3163 0.672 0.1412 0.1845 0.0833 0.9227]");
    const std::string lab = cie("Lab", std::string(kD65) + " /Range [-128 127 -128 127]");
    struct Case {
        std::string operand;
        int full;  // "FullColorImageConversion"
        std::int32_t bits;
        bool decoded;
        Bytes in;
        Bytes out;
    } cases[] = {
        // Quick: one table per channel; 128 becomes 95 at gamma 1.
        {cie("CalRGB", kD65), 0, 8, false, {0, 128, 255}, {0, 95, 255}},
        {cie("CalRGB", std::string(kD65) + " /Gamma [2.2 2.2 2.2]"), 0, 8, false, {64, 128, 200},
         {104, 163, 218}},
        {calRgb, 1, 8, false, {128, 64, 255}, {121, 84, 240}},
        {cie("CalGray", std::string(kD65) + " /Gamma 2.2"), 0, 8, false, {0, 1, 128, 255},
         {0, 6, 162, 255}},
        {cie("CalGray", kD65), 1, 8, false, {128}, {95}},
        // Lab rows read no setting.
        {lab, 0, 8, false, {128, 100, 200}, {98, 116, 3}},
        {lab, 1, 8, false, {128, 100, 200}, {98, 116, 3}},
        {lab, 0, 8, true, {50, 20, 256 - 30}, {102, 100, 162}},
        // Fewer than 8 bits: left as they are.
        {cie("CalRGB", kD65), 0, 4, false, {0x18, 0x80}, {0x18, 0x80}},
        {lab, 0, 2, false, {0x18}, {0x18}},
        {cie("CalGray", kD65), 0, 1, false, {0x80}, {0x80}},
    };
    for (const Case& c : cases) {
        QualitySetting setting(u"FullColorImageConversion", c.full);
        ParsedSpace parsed(c.operand);
        ASSERT_TRUE(parsed.space && parsed->valid()) << c.operand;
        Bytes row = c.in;
        parsed->convertSamples(row.data(), c.bits, row.size() / size_t(parsed->components()),
                               c.decoded);
        EXPECT_EQ(row, c.out) << c.operand << " full " << c.full;
    }
}

TEST(CieColorSpaceTest, GammaZeroTables) {
    // An infinite exponent: every byte but 255 becomes 0.
    ParsedSpace gray(cie("CalGray", std::string(kD65) + " /Gamma 0"));
    ParsedSpace rgb(cie("CalRGB", std::string(kD65) + " /Gamma [0 1 1]"));
    ASSERT_TRUE(gray->valid() && rgb->valid());
    Bytes grayRow = {0, 254, 255};
    gray->convertSamples(grayRow.data(), 8, 3, false);
    EXPECT_EQ(grayRow, (Bytes{0, 0, 255}));
    Bytes rgbRow = {254, 254, 254, 255, 255, 255};
    rgb->convertSamples(rgbRow.data(), 8, 2, false);
    EXPECT_EQ(rgbRow, (Bytes{0, 254, 254, 255, 255, 255}));
}

}  // namespace
}  // namespace vistrel
