#include "engine/export/device_image.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/gdi/gdi_test_util.h"

namespace vistrel {
namespace {

using win::COLORREF;
using win::RGB;

COLORREF colorOf(char c) {
    return c == '#' ? RGB(0, 0, 0) : c == 'g' ? RGB(128, 128, 128) : RGB(255, 255, 255);
}

COLORREF previewRef(const PreviewColor& c) {
    return RGB(c.red, c.green, c.blue);
}

std::string hex(const std::vector<std::uint8_t>& bytes) {
    std::string s;
    char b[4];
    for (std::uint8_t v : bytes) {
        std::snprintf(b, sizeof b, s.empty() ? "%02X" : " %02X", v);
        s += b;
    }
    return s;
}

TEST(DeviceImage, ConvertsPagesToDeviceValuesAndPreview) {
    // Rows of '#' black, '.' white and 'g' grey 128 joined by '|'.
    const struct {
        const char* picture;
        std::uint16_t format;
        const char* packed;
        std::uint16_t formatAfter;
        std::map<char, COLORREF> preview;
    } cases[] = {
        {".....", kColor4, "00 00", kColor4, {{'.', previewRef(kPreview4[0])}}},
        {".....", kColor16, "00 00 00", kColor16, {{'.', previewRef(kPreview16[15])}}},
        {".....", kColor16a, "00 00 00", kColor16, {{'.', previewRef(kPreview16[15])}}},
        // A row of 5 takes 3 bytes, the last with a zero low nibble.
        {"#.#.#", kColor16, "F0 F0 F0", kColor16, {{'#', RGB(0, 0, 0)}, {'.', RGB(123, 140, 99)}}},
        {"g", kColor16, "80", kColor16, {{'g', previewRef(kPreview16[7])}}},
        // Two tones: one valley at 127; a row of 6 takes 2 bytes.
        {"#.#.#.|......",
         kColor4,
         "CC C0 00 00",
         kColor4,
         {{'#', RGB(0, 0, 0)}, {'.', RGB(123, 140, 90)}}},
        {"#.#.|.#.#",
         kColor16a,
         "F0 F0 0F 0F",
         kColor16,
         {{'#', RGB(0, 0, 0)}, {'.', RGB(123, 140, 99)}}},
    };
    for (const auto& c : cases) {
        const std::string picture = c.picture;
        const int width =
            int(picture.find('|') == std::string::npos ? picture.size() : picture.find('|'));
        const int height = int(picture.size() + 1) / (width + 1);
        win::Canvas canvas(width, height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                win::SetPixel(canvas.dc, x, y, colorOf(picture[y * (width + 1) + x]));
        }
        const std::size_t rowBytes = (width * devicePixelBits(c.format) + 7) / 8;
        std::vector<std::uint8_t> packed(rowBytes * height, 0xAA), grey(width * height);
        DeviceImage image;
        image.width = width;
        image.height = height;
        image.format = c.format;
        image.packed = packed.data();
        image.grey = grey.data();
        ASSERT_TRUE(convertPageImage(canvas.dc, image, true)) << c.picture;
        EXPECT_EQ(hex(packed), c.packed) << c.picture << " format " << c.format;
        EXPECT_EQ(image.format, c.formatAfter) << c.picture;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                EXPECT_EQ(canvas.pixel(x, y), c.preview.at(picture[y * (width + 1) + x]))
                    << c.picture << " format " << c.format << " at " << x << "," << y;
            }
        }
    }
}

TEST(DeviceImage, ReducePaletteSpreadsThresholdsOverTheValleys) {
    using Bars = std::map<int, std::uint32_t>;
    const struct {
        const char* name;
        Bars bars;  // empty: a flat histogram
        std::uint64_t pixels;
        int n;
        std::vector<int> thresholds;
    } cases[] = {
        {"flat, 4 levels", {}, 2560, 3, {64, 128, 192}},
        {"flat, 16 levels",
         {},
         2560,
         15,
         {16, 32, 48, 64, 80, 96, 112, 128, 144, 160, 176, 192, 208, 224, 240}},
        {"one valley at 100",
         {{50, 500}, {150, 500}},
         1000,
         15,
         {12, 25, 37, 50, 62, 75, 87, 100, 119, 139, 158, 178, 197, 217, 236}},
        {"two tones", {{0, 500}, {254, 500}}, 1000, 3, {63, 127, 191}},
        {"one valley below 3", {{0, 500}, {2, 500}}, 1000, 3, {1, 86, 171}},
        // The small bumps make two valleys too many; scaling wears them away.
        {"too many valleys",
         {{10, 1000}, {30, 2}, {90, 1000}, {130, 2}, {170, 1000}, {250, 1000}},
         1000,
         3,
         {50, 130, 210}},
        {"no pixels", {}, 0, 3, {64, 128, 192}},
    };
    for (const auto& c : cases) {
        std::uint32_t h[256];
        for (int i = 0; i < 256; ++i)
            h[i] = c.bars.empty() && c.pixels ? 10 : 0;
        for (const auto& [grey, count] : c.bars)
            h[grey] = count;
        const auto t = reducePalette(h, 256, c.pixels, c.n);
        ASSERT_TRUE(t) << c.name;
        EXPECT_EQ(std::vector<int>(t->begin(), t->begin() + c.n), c.thresholds) << c.name;
    }
    std::uint32_t h[256] = {};
    EXPECT_FALSE(reducePalette(h, 256, 100, 4));
    EXPECT_FALSE(reducePalette(h, 256, 100, 16));
}

TEST(DeviceImage, GreyAtAThresholdTakesItsLevel) {
    const std::uint8_t grey[] = {0, 64, 65, 128, 129, 192, 193, 255};
    const std::uint8_t t[] = {64, 128, 192};
    std::vector<std::uint8_t> packed(2);
    ASSERT_TRUE(mapToPalette(grey, packed.data(), t, 8, 1, {}, kColor4));
    EXPECT_EQ(hex(packed), "FA 50");
}

TEST(DeviceImage, ConversionFailsWithoutItsDeviceContext) {
    win::HDC gone;
    {
        win::Canvas canvas(4, 4);
        gone = canvas.dc;
    }
    for (std::uint16_t format : {kColor4, kColor16, kColor16a}) {
        std::vector<std::uint8_t> packed(8), grey(16);
        DeviceImage image;
        image.width = 4;
        image.height = 4;
        image.format = format;
        image.packed = packed.data();
        image.grey = grey.data();
        EXPECT_FALSE(convertPageImage(gone, image, true)) << format;
    }
}

}  // namespace
}  // namespace vistrel
