#include "engine/render/color/make_color_space.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/render/color/color_test_util.h"
#include "engine/render/color/device_color_spaces.h"

namespace vistrel {
namespace {

std::string iccStream(const std::string& entries) {
    return testing::pdfStreamBody(entries, "not a profile");
}

constexpr int kNull = -1;

TEST(MakeColorSpaceTest, FamiliesByOperand) {
    struct Case {
        const char* operand;
        int family;  // kNull: no space
        bool valid = false;
        int components = 0;
        int base = kNull;  // family of the base space
    } cases[] = {
        {"/DeviceGray", 0, true, 1, kNull},
        {"/DeviceRGB", 1, true, 3, kNull},
        {"/DeviceCMYK", 2, true, 4, kNull},
        // Abbreviations, /Pattern and bare family names give nothing.
        {"/G", kNull},
        {"/RGB", kNull},
        {"/Pattern", kNull},
        {"/CalRGB", kNull},
        {"/ICCBased", kNull},
        {"[/Pattern /DeviceRGB]", kNull},
        {"[/DeviceRGB]", kNull},
        {"[/DeviceRGB /DeviceRGB]", kNull},
        {"[(ICCBased) 3 0 R]", kNull},
        {"[/ICCBased]", kNull},
        {"[/ICCBased 5]", kNull},
        {"42", kNull},
        {"null", kNull},
        // ICC-based spaces over their alternates.
        {"[/ICCBased 3 0 R]", 9, true, 3, 1},        // /N 3
        {"[/ICCBased 4 0 R]", 9, true, 1, 0},        // /N 1
        {"[/ICCBased 5 0 R]", 9, true, 4, 2},        // /N 4 /Alternate /DeviceCMYK
        {"[/ICCBased 6 0 R]", 9, false, 2, kNull},   // /N 2, no alternate
        {"[/ICCBased 7 0 R]", 9, false, 1, 1},       // /N 1 over an RGB alternate
        {"[/ICCBased 8 0 R]", 9, false, 0, kNull},   // /N 0
        {"[/ICCBased 9 0 R]", 9, false, 0, kNull},   // no /N
        {"[/ICCBased 10 0 R]", 9, true, 3, 9},       // alternate ICC-based /N 3
        {"[/ICCBased 12 0 R]", 9, false, 3, 9},      // alternate ICC-based /N 2
        {"[/ICCBased 11 0 R]", 9, false, 3, kNull},  // alternate /Pattern
        {"[/ICCBased << /N 3 >>]", 9, true, 3, 1},   // a plain dictionary serves
        {"[/ICCBased 18 0 R]", 9, false, 1, 8},      // /N 1 over an RGB palette
        // CIE families take a dictionary.
        {"[/CalGray << /WhitePoint [0.9505 1 1.089] >>]", 3, true, 1, kNull},
        {"[/CalRGB << /WhitePoint [0.9505 1 1.089] >>]", 4, true, 3, kNull},
        {"[/Lab << /WhitePoint [0.9505 1 1.089] >>]", 5, true, 3, kNull},
        {"[/Lab 3 0 R]", 5, false, 3, kNull},  // a stream dictionary without /WhitePoint
        {"[/CalRGB /WhitePoint]", kNull},
        // Indexed: base, an integer hival, a lookup string or stream.
        {"[/Indexed /DeviceRGB 1 <FF000000FF00>]", 8, true, 1, 1},
        {"[/Indexed /DeviceCMYK 1 14 0 R]", 8, true, 1, 2},
        {"[/Indexed /DeviceRGB 1]", kNull},
        {"[/Indexed /DeviceRGB 1.0 <FF>]", kNull},
        {"[/Indexed /DeviceRGB 1 5]", kNull},
        {"[/Indexed /DeviceRGB 1 /Name]", kNull},
        {"[/Indexed /DeviceRGB 256 <>]", 8, false, 1, kNull},
        {"[/Indexed /DeviceRGB -1 <>]", 8, false, 1, kNull},
        {"[/Indexed /Pattern 1 <>]", 8, false, 1, kNull},
        {"[/Indexed [/ICCBased 6 0 R] 0 <00>]", 8, false, 1, 9},  // the base is not usable
        {"[/Indexed [/Indexed /DeviceRGB 0 <000000>] 0 <00>]", 8, false, 1, 8},
        // Separation: a name, the alternate, a function (13: 1 in, 3 out).
        {"[/Separation /Spot /DeviceRGB 13 0 R]", 6, true, 1, 1},
        {"[/Separation /Spot /DeviceRGB << /FunctionType 2 /Domain [0 1] /C1 [1 0 0] /N 1 >>]",
         6, true, 1, 1},
        {"[/Separation (Spot) /DeviceRGB 13 0 R]", kNull},
        {"[/Separation /Spot /DeviceRGB]", kNull},
        {"[/Separation /Spot /DeviceRGB 14 0 R]", kNull},  // a stream, no function
        {"[/Separation /Spot /DeviceCMYK 13 0 R]", 6, false, 1, kNull},  // 3 outputs for 4
        {"[/Separation /Spot [/ICCBased 7 0 R] 17 0 R]", 6, false, 1, kNull},
        {"[/Separation /Spot /Pattern 13 0 R]", 6, false, 1, kNull},
        // DeviceN: an array of names (16: 2 in, 3 out), optional attributes.
        {"[/DeviceN [/A /B] /DeviceRGB 16 0 R]", 7, true, 2, 1},
        {"[/DeviceN [/A /B] /DeviceRGB 16 0 R << /Subtype /DeviceN >>]", 7, true, 2, 1},
        {"[/DeviceN [/A /B] /DeviceRGB 16 0 R 5]", 7, true, 2, 1},
        {"[/DeviceN [/A 2] /DeviceRGB 16 0 R]", kNull},
        {"[/DeviceN /A /DeviceRGB 16 0 R]", kNull},
        {"[/DeviceN [/A /B] /DeviceRGB]", kNull},
        {"[/DeviceN [/A /B] /DeviceRGB 13 0 R]", 7, false, 2, kNull},  // 1 input for 2
        {"[/DeviceN [] /DeviceRGB 13 0 R]", 7, false, 0, kNull},
    };
    for (const Case& c : cases) {
        Objects objects({
            std::string("[") + c.operand + "]",  // 2: the operand, inside an array
            iccStream("/N 3"),
            iccStream("/N 1"),
            iccStream("/N 4 /Alternate /DeviceCMYK"),
            iccStream("/N 2"),
            iccStream("/N 1 /Alternate /DeviceRGB"),
            iccStream("/N 0"),
            iccStream(""),
            iccStream("/N 3 /Alternate [/ICCBased 3 0 R]"),
            iccStream("/N 3 /Alternate /Pattern"),
            iccStream("/N 3 /Alternate [/ICCBased 6 0 R]"),
            "<< /FunctionType 2 /Domain [0 1] /C0 [0 0 0] /C1 [1 0.5 0] /N 1 >>",
            testing::pdfStreamBody("", std::string("\xFF\x00\x00\x00\x00\xFF\x00\x00", 8)),
            "<< /FunctionType 2 /Domain [0 1] /C1 [1 1 1 1] /N 1 >>",
            testing::pdfStreamBody("/FunctionType 4 /Domain [0 1 0 1] /Range [0 1 0 1 0 1]",
                                   "{add 2 div dup dup}"),
            "<< /FunctionType 2 /Domain [0 1] /C1 [1] /N 1 >>",
            iccStream("/N 1 /Alternate [/Indexed /DeviceRGB 0 <FF0000>]"),
        });
        PdfArray* holder = asArray(objects.ref(2));
        ASSERT_NE(holder, nullptr) << c.operand;
        Ref<ColorSpace> space = makeColorSpace(holder->at(0));
        if (c.family == kNull) {
            EXPECT_EQ(space.get(), nullptr) << c.operand;
            continue;
        }
        ASSERT_NE(space.get(), nullptr) << c.operand;
        EXPECT_EQ(int(space->family()), c.family) << c.operand;
        EXPECT_EQ(space->valid(), c.valid) << c.operand;
        EXPECT_EQ(space->components(), c.components) << c.operand;
        ColorSpace* base = space->baseSpace();
        EXPECT_EQ(base ? int(base->family()) : kNull, c.base) << c.operand;
    }
}

TEST(MakeColorSpaceTest, OperandsAreResolvedThroughReferences) {
    Objects objects({"/DeviceRGB", "[/ICCBased 4 0 R]", iccStream("/N 1")});
    Ref<ColorSpace> rgb = makeColorSpace(objects.ref(2));
    ASSERT_NE(rgb.get(), nullptr);
    EXPECT_EQ(rgb.get(), deviceRgbSpace());
    Ref<ColorSpace> icc = makeColorSpace(objects.ref(3));
    ASSERT_NE(icc.get(), nullptr);
    EXPECT_TRUE(icc->valid());
    EXPECT_EQ(icc->baseSpace(), deviceGraySpace());
}

TEST(MakeColorSpaceTest, AlternatesNamingThemselvesEnd) {
    // An ICC-based space whose alternate is itself, and two that name each
    // other: the nesting is cut, and the spaces are invalid.
    Objects objects({"[/ICCBased 3 0 R]", iccStream("/N 3 /Alternate 2 0 R"), "[/ICCBased 5 0 R]",
                     iccStream("/N 3 /Alternate 6 0 R"), "[/ICCBased 7 0 R]",
                     iccStream("/N 3 /Alternate 4 0 R")});
    for (int number : {2, 4}) {
        Ref<ColorSpace> space = makeColorSpace(objects.ref(number));
        ASSERT_NE(space.get(), nullptr);
        EXPECT_FALSE(space->valid());
        int depth = 0;
        for (ColorSpace* s = space.get(); s; s = s->baseSpace())
            ++depth;
        EXPECT_EQ(depth, kMaxColorSpaceNesting + 1);
        DoubleArray out;
        EXPECT_FALSE(space->convertColor(values({0.1, 0.2, 0.3}), out, false));
    }
}

TEST(MakeColorSpaceTest, CompositeCyclesEnd) {
    // Object 2 is the space; every family that builds another space through
    // the dispatcher meets the nesting cap.
    const std::string tint = "<< /FunctionType 2 /Domain [0 1] /C1 [1] /N 1 >>";
    const std::vector<std::vector<std::string>> cases = {
        {"[/Indexed 2 0 R 1 <000000FFFFFF>]"},
        {"[/Separation /S 2 0 R 3 0 R]", tint},
        {"[/DeviceN [/A] 3 0 R 4 0 R]", "[/Separation /S 2 0 R 4 0 R]", tint},
        {"[/Indexed 3 0 R 0 <00>]", "[/ICCBased 4 0 R]", iccStream("/N 1 /Alternate 2 0 R")},
        {"[/Indexed 3 0 R 0 <00>]", "[/Separation /S 2 0 R 4 0 R]", tint},
    };
    for (const auto& bodies : cases) {
        Objects objects(bodies);
        Ref<ColorSpace> space = makeColorSpace(objects.ref(2));
        ASSERT_NE(space.get(), nullptr) << bodies[0];
        EXPECT_FALSE(space->valid()) << bodies[0];
        int depth = 0;
        for (ColorSpace* s = space.get(); s; s = s->baseSpace())
            ++depth;
        EXPECT_LE(depth, kMaxColorSpaceNesting + 1) << bodies[0];
        DoubleArray out;
        EXPECT_FALSE(space->convertColor(values({0, 0, 0, 0}), out, false)) << bodies[0];
        std::uint8_t row[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        space->convertSamples(row, 8, 2, false);
        EXPECT_EQ(row[0], 1) << bodies[0];
    }
}

TEST(MakeColorSpaceTest, DeviceSpacesAreSharedAndSurviveReleases) {
    ColorSpace* gray = deviceGraySpace();
    const std::uint32_t before = gray->refCount();
    EXPECT_GE(before, 0xC0000000u);
    {
        Ref<ColorSpace> a = makeColorSpace(makeRef<PdfName>(WString(u"/DeviceGray")).get());
        EXPECT_EQ(a.get(), gray);
        EXPECT_EQ(gray->refCount(), before + 1);
    }
    EXPECT_EQ(gray->refCount(), before);
    // A failed space over a device alternate gives back its reference.
    Objects objects({"[/ICCBased 3 0 R]", iccStream("/N 1 /Alternate /DeviceCMYK")});
    const std::uint32_t cmykBefore = deviceCmykSpace()->refCount();
    {
        Ref<ColorSpace> bad = makeColorSpace(objects.ref(2));
        ASSERT_NE(bad.get(), nullptr);
        EXPECT_FALSE(bad->valid());
    }
    EXPECT_EQ(deviceCmykSpace()->refCount(), cmykBefore);
}

TEST(ColorSpaceTest, ConvertColor) {
    Objects objects({"[/ICCBased 3 0 R]", iccStream("/N 3"), "[/ICCBased 5 0 R]",
                     iccStream("/N 4 /Alternate /DeviceCMYK")});
    Ref<ColorSpace> icc3 = makeColorSpace(objects.ref(2));
    Ref<ColorSpace> icc4 = makeColorSpace(objects.ref(4));
    struct Case {
        ColorSpace* space;
        DoubleArray in;
        bool ok;
        std::vector<double> out;
    } cases[] = {
        {deviceGraySpace(), values({0.5}), true, {0.5}},
        // Every value is copied, not only the first components; nothing is
        // clamped.
        {deviceGraySpace(), values({1.5, 7}), true, {1.5, 7}},
        {deviceRgbSpace(), values({0.1, 0.2, 0.3}), true, {0.1, 0.2, 0.3}},
        {deviceRgbSpace(), values({0.1, 0.2}), false, {}},
        {deviceCmykSpace(), values({0, 0, 0}), false, {}},
        {deviceGraySpace(), values({}), false, {}},
        {icc3.get(), values({0.1, 0.2, 0.3}), true, {0.1, 0.2, 0.3}},
        {icc3.get(), values({0.1}), false, {}},
        {icc4.get(), values({0, 1, 0, 0}), true, {0, 1, 0, 0}},
    };
    for (Case& c : cases) {
        DoubleArray out = values({9, 9});
        EXPECT_EQ(c.space->convertColor(c.in, out, false), c.ok) << int(c.space->family());
        EXPECT_EQ(std::vector<double>(out.begin(), out.end()), c.out) << int(c.space->family());
    }
    // The same array in and out: unchanged; CIE values are refused.
    DoubleArray same = values({0.25, 0.5, 0.75});
    EXPECT_TRUE(deviceRgbSpace()->convertColor(same, same, false));
    EXPECT_EQ(std::vector<double>(same.begin(), same.end()),
              (std::vector<double>{0.25, 0.5, 0.75}));
    DoubleArray out;
    EXPECT_FALSE(deviceRgbSpace()->convertColor(same, out, true));
    EXPECT_FALSE(icc3->convertColor(same, out, true));
}

TEST(ColorSpaceTest, SamplesOfDeviceAndIccSpacesStayAsTheyAre) {
    Objects objects({"[/ICCBased 3 0 R]", iccStream("/N 3")});
    Ref<ColorSpace> icc = makeColorSpace(objects.ref(2));
    for (ColorSpace* space : {deviceGraySpace(), deviceCmykSpace(), icc.get()}) {
        std::uint8_t row[] = {1, 2, 3, 4, 5, 6, 7, 8};
        space->convertSamples(row, 8, 2, false);
        EXPECT_EQ(std::vector<std::uint8_t>(row, row + 8),
                  (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
        EXPECT_EQ(space->outputComponents(), space->components());
        EXPECT_EQ(space->outputBitsPerPixel(8), space->components() * 8);
    }
}

}  // namespace
}  // namespace vistrel
