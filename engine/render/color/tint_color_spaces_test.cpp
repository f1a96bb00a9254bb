// Expected values: see expected_values.py beside this file, which recomputes
// them from the formulas.
#include "engine/render/color/tint_color_spaces.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/render/color/color_test_util.h"
#include "engine/render/color/device_color_spaces.h"

namespace vistrel {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Tint transforms, object 3 of each case.
const std::string kSpotToCmyk =
    "<< /FunctionType 2 /Domain [0 1] /C0 [0 0 0 0] /C1 [1 0.5 0 0.2] /N 1 >>";
const std::string kSpotToRgb =
    "<< /FunctionType 2 /Domain [0 1] /C0 [0.2 0.4 0.6] /C1 [1 1 1] /N 1 >>";
// (a, b) -> (a * b, a, b)
const std::string kPairToRgb = testing::pdfStreamBody(
    "/FunctionType 4 /Domain [0 1 0 1] /Range [0 1 0 1 0 1]", "{2 copy mul 3 1 roll}");
// Lab values 50 -500 400 at tint 0, 300 0 0 at tint 1.
const std::string kSpotToLab =
    "<< /FunctionType 2 /Domain [0 1] /C0 [50 -500 400] /C1 [300 0 0] /N 1 >>";
// Fails at every evaluation: one input, two pops.
const std::string kFailing =
    testing::pdfStreamBody("/FunctionType 4 /Domain [0 1] /Range [0 1]", "{pop pop}");
const char* kLab = "[/Lab << /WhitePoint [0.9505 1 1.089] /Range [-128 127 -128 127] >>]";

TEST(TintColorSpaceTest, ColoursGoThroughTheTintTransform) {
    struct Case {
        std::string operand;
        std::string function;
        DoubleArray in;
        bool ok;
        std::vector<double> out;
    } cases[] = {
        {"[/Separation /Spot /DeviceCMYK 3 0 R]", kSpotToCmyk, values({1}), true, {1, 0.5, 0, 0.2}},
        {"[/Separation /Spot /DeviceCMYK 3 0 R]", kSpotToCmyk, values({0.5}), true,
         {0.5, 0.25, 0, 0.1}},
        {"[/Separation /Spot /DeviceCMYK 3 0 R]", kSpotToCmyk, values({}), false, {}},
        {"[/DeviceN [/A /B] /DeviceRGB 3 0 R]", kPairToRgb, values({0.5, 0.25}), true,
         {0.125, 0.5, 0.25}},
        {"[/DeviceN [/A /B] /DeviceRGB 3 0 R]", kPairToRgb, values({0.5}), false, {}},
        {"[/Separation /Spot /DeviceGray 3 0 R]", kFailing, values({0.5}), false, {}},
        // Through a CIE alternate: Lab's colour curve.
        {std::string("[/Separation /Spot ") + kLab + " 3 0 R]",
         "<< /FunctionType 2 /Domain [0 1] /C0 [100 0 0] /C1 [50 20 -30] /N 1 >>", values({1}),
         true, {0.419903, 0.412505, 0.642302}},
    };
    for (Case& c : cases) {
        ParsedSpace parsed(c.operand, {c.function});
        ASSERT_TRUE(parsed.space && parsed->valid()) << c.operand;
        DoubleArray out = values({9});
        EXPECT_EQ(parsed->convertColor(c.in, out, false), c.ok) << c.operand;
        if (!c.ok)
            continue;
        ASSERT_EQ(out.count(), std::int32_t(c.out.size())) << c.operand;
        for (size_t i = 0; i < c.out.size(); ++i)
            EXPECT_NEAR(out[std::int32_t(i)], c.out[i], 1e-6) << c.operand << " " << i;
    }
}

TEST(TintColorSpaceTest, SamplesGoThroughTheTintTransform) {
    struct Case {
        std::string operand;
        std::string function;
        std::int32_t bits;
        size_t pixels;
        Bytes in;
        Bytes out;
    } cases[] = {
        // 255 evaluates at 1.0 and 0 at 0; four bytes per pixel.
        {"[/Separation /Spot /DeviceCMYK 3 0 R]", kSpotToCmyk, 8, 3, {255, 0, 128},
         {255, 127, 0, 51, 0, 0, 0, 0, 128, 64, 0, 25}},
        {"[/Separation /Spot /DeviceCMYK 3 0 R]", kSpotToCmyk, 1, 2, {0x80},
         {255, 127, 0, 51, 0, 0, 0, 0}},
        {"[/DeviceN [/A /B] /DeviceRGB 3 0 R]", kPairToRgb, 4, 2, {0xF8, 0x0F},
         {136, 255, 136, 0, 0, 255}},
        // Samples of 16 bits cannot be read: Separation evaluates -1 (its
        // domain makes it 0), DeviceN leaves the row.
        {"[/Separation /Spot /DeviceRGB 3 0 R]", kSpotToRgb, 16, 1, {0xFF, 0xFF, 7},
         {51, 102, 153}},
        {"[/DeviceN [/A /B] /DeviceRGB 3 0 R]", kPairToRgb, 16, 1, {1, 2, 3, 4}, {1, 2, 3, 4}},
        // A failing function leaves the row as it was.
        {"[/Separation /Spot /DeviceGray 3 0 R]", kFailing, 8, 2, {10, 20}, {10, 20}},
        // Over Lab the outputs are decoded Lab bytes, held within their
        // ranges: (50, -500, 400) is written as 50, -128, 127 and (300, 0, 0)
        // as 255, 0, 0.
        {std::string("[/Separation /Spot ") + kLab + " 3 0 R]", kSpotToLab, 8, 2, {0, 255},
         {63, 135, 0, 255, 255, 255}},
    };
    for (const Case& c : cases) {
        ParsedSpace parsed(c.operand, {c.function});
        ASSERT_TRUE(parsed.space && parsed->valid()) << c.operand;
        EXPECT_EQ(size_t(parsed->outputBitsPerPixel(c.bits)) * c.pixels / 8,
                  parsed->outputComponents() * c.pixels);
        Bytes row(std::max(c.in.size(), c.out.size()), 0xEE);
        std::copy(c.in.begin(), c.in.end(), row.begin());
        parsed->convertSamples(row.data(), c.bits, c.pixels, false);
        EXPECT_EQ(Bytes(row.begin(), row.begin() + std::ptrdiff_t(c.out.size())), c.out)
            << c.operand << " at " << c.bits << " bits";
    }
}

TEST(TintColorSpaceTest, RowsOfOneSpaceAtEveryDepth) {
    // The function's results are kept between rows by their samples: rows
    // of other depths (the same values meaning other tints) and repeated
    // samples give what a fresh space gives.
    const std::string operand = "[/DeviceN [/A /B] /DeviceRGB 3 0 R]";
    ParsedSpace shared(operand, {kPairToRgb});
    ASSERT_TRUE(shared.space && shared->valid());
    const struct {
        std::int32_t bits;
        size_t pixels;
        Bytes in;
    } rows[] = {
        {8, 3, {1, 1, 255, 0, 0, 17}},
        {4, 3, {0x11, 0xF0, 0x11}},
        {2, 4, {0x5F, 0x05}},
        {1, 4, {0x5A}},
        {8, 2, {255, 0, 1, 1}},
    };
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& r : rows) {
            ParsedSpace fresh(operand, {kPairToRgb});
            Bytes expected(r.pixels * 3, 0), row(r.pixels * 3, 0);
            std::copy(r.in.begin(), r.in.end(), expected.begin());
            std::copy(r.in.begin(), r.in.end(), row.begin());
            fresh->convertSamples(expected.data(), r.bits, r.pixels, false);
            shared->convertSamples(row.data(), r.bits, r.pixels, false);
            EXPECT_EQ(row, expected) << r.bits << " bits, pass " << pass;
        }
    }
}

TEST(TintColorSpaceTest, ManyColorants) {
    // 40 colorants averaged into one gray: no fixed number of components.
    std::string names, program;
    for (int i = 0; i < 40; ++i) {
        names += " /C" + std::to_string(i);
        program += i ? " add" : "";
    }
    std::string domain;
    for (int i = 0; i < 40; ++i)
        domain += " 0 1";
    ParsedSpace parsed("[/DeviceN [" + names + "] /DeviceGray 3 0 R]",
                       {testing::pdfStreamBody("/FunctionType 4 /Domain [" + domain +
                                                   "] /Range [0 1]",
                                               "{" + program + " 40 div}")});
    ASSERT_TRUE(parsed.space && parsed->valid());
    EXPECT_EQ(parsed->components(), 40);
    DoubleArray in;
    for (int i = 0; i < 40; ++i)
        in.append(i < 10 ? 1.0 : 0.0);
    DoubleArray out;
    ASSERT_TRUE(parsed->convertColor(in, out, false));
    EXPECT_EQ(toVector(out), std::vector<double>{0.25});
    Bytes row(80, 255);
    std::fill(row.begin() + 40, row.end(), 0);
    parsed->convertSamples(row.data(), 8, 2, false);
    EXPECT_EQ(row[0], 255);
    EXPECT_EQ(row[1], 0);
}

TEST(TintColorSpaceTest, AlternateTakingMoreComponentsThanItGives) {
    // The alternate reads five components per pixel but gives one: the row
    // handed to it has room for its input (the tint outputs, then zeros).
    ParsedSpace parsed(
        "[/Separation /Spot [/DeviceN [/A /B /C /D /E] /DeviceGray 4 0 R] 3 0 R]",
        {"<< /FunctionType 2 /Domain [0 1] /C0 [0] /C1 [1] /N 1 >>",
         testing::pdfStreamBody("/FunctionType 4 /Domain [0 1 0 1 0 1 0 1 0 1] /Range [0 1]",
                                "{add add add add 5 div}")});
    ASSERT_TRUE(parsed.space && parsed->valid());
    Bytes row = {255, 0};
    parsed->convertSamples(row.data(), 8, 2, false);
    EXPECT_EQ(row, (Bytes{51, 0}));
}

TEST(TintColorSpaceTest, RefusedTintTransformLeavesTheDeviceSpace) {
    // Three outputs for the four CMYK components: invalid, and the shared
    // CMYK space gets its reference back.
    const std::uint32_t before = deviceCmykSpace()->refCount();
    {
        ParsedSpace parsed("[/Separation /Spot /DeviceCMYK 3 0 R]",
                           {"<< /FunctionType 2 /Domain [0 1] /C1 [1 1 1] /N 1 >>"});
        ASSERT_NE(parsed.space.get(), nullptr);
        EXPECT_FALSE(parsed->valid());
        EXPECT_EQ(parsed->baseSpace(), nullptr);
        EXPECT_EQ(deviceCmykSpace()->refCount(), before);
    }
    EXPECT_EQ(deviceCmykSpace()->refCount(), before);
    EXPECT_EQ(deviceCmykSpace()->components(), 4);
    EXPECT_TRUE(deviceCmykSpace()->valid());
}

}  // namespace
}  // namespace vistrel
