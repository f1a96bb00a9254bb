// Expected values: see expected_values.py beside this file, which recomputes
// them from the formulas.
#include "engine/render/color/indexed_color_space.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/render/color/color_test_util.h"

namespace vistrel {
namespace {

using Bytes = std::vector<std::uint8_t>;

const IndexedColorSpace& indexed(const ParsedSpace& parsed) {
    return static_cast<const IndexedColorSpace&>(*parsed.space);
}

TEST(IndexedColorSpaceTest, ColoursSelectTheirEntry) {
    struct Case {
        const char* operand;
        DoubleArray in;
        bool ok;
        std::vector<double> out;
    } cases[] = {
        {"[/Indexed /DeviceRGB 1 <FF000000FF00>]", values({0}), true, {1, 0, 0}},
        {"[/Indexed /DeviceRGB 1 <FF000000FF00>]", values({1.7}), true, {0, 1, 0}},
        {"[/Indexed /DeviceRGB 1 <FF000000FF00>]", values({-0.5}), true, {1, 0, 0}},
        {"[/Indexed /DeviceRGB 1 <FF000000FF00>]", values({2}), false, {}},
        {"[/Indexed /DeviceRGB 1 <FF000000FF00>]", values({-1}), false, {}},
        {"[/Indexed /DeviceRGB 1 <FF000000FF00>]", values({}), false, {}},
        // Entries the lookup data lacks are all zero: black over RGB, no ink
        // over CMYK; a partial last entry is dropped.
        {"[/Indexed /DeviceRGB 2 <FF000000FF>]", values({1}), true, {0, 0, 0}},
        {"[/Indexed /DeviceRGB 2 <FF000000FF>]", values({2}), true, {0, 0, 0}},
        {"[/Indexed /DeviceCMYK 1 <00FF0000>]", values({1}), true, {0, 0, 0, 0}},
        // Converted through the base when made: CalGray of gamma 1 maps 128
        // to 95.
        {"[/Indexed [/CalGray << /WhitePoint [1 1 1] >>] 1 <0080>]", values({1}), true,
         {95 / 255.0}},
        // A string that opened with FE FF (read as UTF-16) keeps its bytes.
        {"[/Indexed /DeviceRGB 1 <FEFF01020304>]", values({0}), true,
         {0xFE / 255.0, 0xFF / 255.0, 1 / 255.0}},
        {"[/Indexed /DeviceRGB 1 <FEFF01020304>]", values({1}), true,
         {2 / 255.0, 3 / 255.0, 4 / 255.0}},
    };
    for (Case& c : cases) {
        ParsedSpace parsed(c.operand);
        ASSERT_NE(parsed.space.get(), nullptr) << c.operand;
        ASSERT_TRUE(parsed->valid()) << c.operand;
        DoubleArray out = values({9});
        EXPECT_EQ(parsed->convertColor(c.in, out, false), c.ok) << c.operand;
        if (!c.ok)
            continue;
        ASSERT_EQ(out.count(), std::int32_t(c.out.size())) << c.operand;
        for (size_t i = 0; i < c.out.size(); ++i)
            EXPECT_DOUBLE_EQ(out[std::int32_t(i)], c.out[i]) << c.operand << " " << i;
    }
}

TEST(IndexedColorSpaceTest, SamplesBecomeTheirEntries) {
    const char* rgb4 = "[/Indexed /DeviceRGB 3 <0A0B0C 1A1B1C 2A2B2C 3A3B3C>]";
    struct Case {
        const char* operand;
        std::int32_t bits;
        size_t pixels;
        Bytes in;
        Bytes out;
    } cases[] = {
        // 1 bit over CMYK with hival 255: four bytes per pixel.
        {"[/Indexed /DeviceCMYK 255 <01020304 05060708>]", 1, 3, {0xA0},
         {5, 6, 7, 8, 1, 2, 3, 4, 5, 6, 7, 8}},
        {rgb4, 2, 4, {0x1B}, {0xA, 0xB, 0xC, 0x1A, 0x1B, 0x1C, 0x2A, 0x2B, 0x2C, 0x3A, 0x3B, 0x3C}},
        // Indices above hival take hival's entry.
        {rgb4, 4, 3, {0x2F, 0x00}, {0x2A, 0x2B, 0x2C, 0x3A, 0x3B, 0x3C, 0xA, 0xB, 0xC}},
        {rgb4, 8, 3, {1, 200, 0}, {0x1A, 0x1B, 0x1C, 0x3A, 0x3B, 0x3C, 0xA, 0xB, 0xC}},
        {rgb4, 16, 2, {0x00, 0x02, 0xFF, 0xFF}, {0x2A, 0x2B, 0x2C, 0x3A, 0x3B, 0x3C}},
        // One component out: each index byte is replaced in place.
        {"[/Indexed /DeviceGray 2 <102030>]", 8, 4, {2, 1, 0, 2}, {0x30, 0x20, 0x10, 0x30}},
        // Bits the row does not have: nothing changes.
        {rgb4, 0, 2, {1, 2}, {1, 2}},
        {rgb4, 17, 1, {1, 2, 3}, {1, 2, 3}},
    };
    for (const Case& c : cases) {
        ParsedSpace parsed(c.operand);
        ASSERT_TRUE(parsed.space && parsed->valid()) << c.operand;
        const size_t room = std::max(c.in.size(), c.out.size());
        if (c.bits >= 1 && c.bits <= 16) {
            EXPECT_EQ(size_t(parsed->outputBitsPerPixel(c.bits)) * c.pixels / 8, c.out.size())
                << c.operand << " " << c.bits;
        }
        Bytes row(room, 0xEE);
        std::copy(c.in.begin(), c.in.end(), row.begin());
        parsed->convertSamples(row.data(), c.bits, c.pixels, false);
        EXPECT_EQ(Bytes(row.begin(), row.begin() + std::ptrdiff_t(c.out.size())), c.out)
            << c.operand << " at " << c.bits << " bits";
    }
}

TEST(IndexedColorSpaceTest, LookupStreams) {
    // Decoded through its filters; longer data than hival + 1 entries is not
    // read into the table (a stream that inflates without end stays small).
    ParsedSpace hex("[/Indexed /DeviceRGB 1 3 0 R]",
                    {testing::pdfStreamBody("/Filter /ASCIIHexDecode", "FF0000 00FF00 0000FF>")});
    ASSERT_TRUE(hex.space && hex->valid());
    EXPECT_EQ(indexed(hex).lookupTable(), (Bytes{0xFF, 0, 0, 0, 0xFF, 0}));

    ParsedSpace bomb("[/Indexed /DeviceGray 3 3 0 R]",
                     {testing::pdfStreamBody("", std::string(100000, '\x7F'))});
    ASSERT_TRUE(bomb.space && bomb->valid());
    EXPECT_EQ(indexed(bomb).lookupTable(), (Bytes{0x7F, 0x7F, 0x7F, 0x7F}));

    // A stream that cannot be opened gives up the base.
    ParsedSpace broken("[/Indexed /DeviceRGB 1 3 0 R]",
                       {testing::pdfStreamBody("/Filter /NoSuchFilter", "FF0000")});
    ASSERT_NE(broken.space.get(), nullptr);
    EXPECT_FALSE(broken->valid());
    EXPECT_EQ(broken->baseSpace(), nullptr);
}

TEST(IndexedColorSpaceTest, LookupThroughATintTransform) {
    // A Separation base from white (tint 0) to red (tint 1): the lookup bytes
    // are tints.
    ParsedSpace parsed("[/Indexed [/Separation /Red /DeviceRGB 3 0 R] 2 <00FF80>]",
                       {"<< /FunctionType 2 /Domain [0 1] /C0 [1 1 1] /C1 [1 0 0] /N 1 >>"});
    ASSERT_TRUE(parsed.space && parsed->valid());
    EXPECT_EQ(parsed->outputComponents(), 3);
    EXPECT_EQ(indexed(parsed).lookupTable(),
              (Bytes{255, 255, 255, 255, 0, 0, 255, 127, 127}));
}

}  // namespace
}  // namespace vistrel
