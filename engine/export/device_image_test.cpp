#include "engine/export/device_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
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

// The conversion as it was done before the rows were table-driven and the
// page was copied at its own depth, kept to check that the bytes are the
// same. Pixels are blue, green, red; the preview is painted over them.
struct FormerConversion {
    static std::uint32_t weightedSum(const std::uint8_t* bgr) {
        return 306u * bgr[2] + 601u * bgr[1] + 116u * bgr[0];
    }
    static void paint(std::uint8_t* bgr, const PreviewColor& c) {
        bgr[0] = c.blue;
        bgr[1] = c.green;
        bgr[2] = c.red;
    }

    // mapToPalette; preview (when not null) holds width * height pixels.
    static std::vector<std::uint8_t> map(const std::uint8_t* grey, const std::uint8_t* thresholds,
                                         int width, int height, std::uint16_t format,
                                         std::uint8_t* preview) {
        const bool four = format == kColor4;
        const int n = four ? 3 : 15;
        std::uint8_t level[256];
        for (int g = 0; g < 256; ++g) {
            int i = 0;
            while (i < n && g > thresholds[i])
                ++i;
            level[g] = std::uint8_t(i);
        }
        std::vector<std::uint8_t> packed;
        const std::uint8_t* in = grey;
        std::uint8_t* px = preview;
        for (int y = 0; y < height; ++y) {
            std::uint8_t byte = 0;
            for (int x = 0; x < width; ++x) {
                const int i = level[*in++];
                if (four) {
                    const int value = 3 - i;
                    const int shift = 6 - 2 * (x & 3);
                    byte = std::uint8_t(byte | (value << shift));
                    if (shift == 0) {
                        packed.push_back(byte);
                        byte = 0;
                    }
                    if (px)
                        paint(px, kPreview4[value]);
                } else {
                    const int value = 15 - i;
                    if ((x & 1) == 0) {
                        byte = std::uint8_t(value << 4);
                    } else {
                        packed.push_back(std::uint8_t(byte | value));
                    }
                    if (px)
                        paint(px, kPreview16[i]);
                }
                if (px)
                    px += 3;
            }
            if (four ? (width & 3) != 0 : (width & 1) != 0)
                packed.push_back(byte);
        }
        return packed;
    }

    // convertPageImage with the preview painted back into bgr.
    static std::vector<std::uint8_t> convert(std::vector<std::uint8_t>& bgr, int width, int height,
                                             std::uint16_t& format,
                                             std::vector<std::uint8_t>& grey) {
        std::vector<std::uint8_t> packed;
        if (format == kColor16) {
            std::uint8_t* px = bgr.data();
            for (int y = 0; y < height; ++y) {
                std::uint8_t byte = 0;
                for (int x = 0; x < width; ++x, px += 3) {
                    const std::uint32_t g = weightedSum(px) >> 14;
                    const auto value = std::uint8_t(15 - g);
                    if ((x & 1) == 0) {
                        byte = std::uint8_t(value << 4);
                    } else {
                        packed.push_back(std::uint8_t(byte | value));
                    }
                    paint(px, kPreview16[g]);
                }
                if (width & 1)
                    packed.push_back(byte);
            }
            return packed;
        }
        if (format == kColor16a)
            format = kColor16;
        std::uint32_t histogram[256] = {};
        grey.resize(std::size_t(width) * std::size_t(height));
        for (std::size_t i = 0; i < grey.size(); ++i) {
            const std::uint32_t g = weightedSum(bgr.data() + 3 * i) >> 10;
            grey[i] = std::uint8_t(g);
            ++histogram[g];
        }
        const auto thresholds =
            reducePalette(histogram, 256, std::uint64_t(width) * std::uint64_t(height), format - 1);
        return map(grey.data(), thresholds->data(), width, height, format, bgr.data());
    }
};

// Pages of every red, green and blue level (over a width that leaves half
// a byte at the end of each row, and more rows than one band of the
// conversion holds), of a few bands of greys and noise (whose histogram has
// valleys) and of a corner, the last columns and rows of the first and the
// last lying beyond the page's bitmap (black then), held in a 24-bit bitmap, in 32-bit ones from
// the top and from the bottom (whose fourth bytes the preview leaves 0) and
// in the bitmap the control renders into, give the device values, greys and preview of the former
// conversion in every format.
TEST(DeviceImage, ConversionGivesTheBytesOfTheFormerLoops) {
    struct Page {
        const char* name;
        int width, height, missing;
        std::uint8_t (*channel)(int x, int y, int ch);
    };
    const Page pages[] = {
        {"levels", 259, 258, 2,
         [](int x, int y, int ch) {
             return std::uint8_t(ch == 0 ? (x * 5 + y * 3) & 255 : ch == 1 ? y : x & 255);
         }},
        {"bands", 130, 40, 0,
         [](int x, int y, int ch) {
             const int band = x / 26, noise = (x * 7 + y * 11 + ch * 5) % 9;
             return std::uint8_t(std::min(255, band * 60 + noise));
         }},
        {"corner", 13, 7, 2,
         [](int x, int y, int ch) { return std::uint8_t((x * 40 + y * 90 + ch * 17) & 255); }},
        // Runs of 1 to 13 equal greys, across every place of a group of
        // eight and the row ends.
        {"runs", 203, 61, 0,
         [](int x, int y, int) { return std::uint8_t((x + 3 * y) / (1 + y % 13) % 4 * 85); }},
        {"sparse", 96, 30, 0,
         [](int x, int y, int) { return std::uint8_t((x * 7 + y * 13) % 97 == 0 ? 0 : 255); }},
    };
    const win::CanvasKind kinds[] = {
        {24, false, false}, {32, false, false}, {32, true, false}, {32, false, true}};
    for (const Page& page : pages) {
        const int bitmapWidth = page.width - page.missing,
                  bitmapHeight = page.height - page.missing;
        auto at = [&page](int x, int y) {
            return std::size_t(y) * std::size_t(page.width) + std::size_t(x);
        };
        std::vector<std::uint8_t> pixels(std::size_t(page.width) * std::size_t(page.height) * 3);
        for (int y = 0; y < bitmapHeight; ++y) {
            for (int x = 0; x < bitmapWidth; ++x) {
                for (int ch = 0; ch < 3; ++ch)
                    pixels[at(x, y) * 3 + std::size_t(ch)] = page.channel(x, y, ch);
            }
        }
        for (std::uint16_t format : {kColor4, kColor16, kColor16a}) {
            std::vector<std::uint8_t> preview = pixels, formerGrey;
            std::uint16_t formatAfter = format;
            const std::vector<std::uint8_t> expected = FormerConversion::convert(
                preview, page.width, page.height, formatAfter, formerGrey);
            for (const win::CanvasKind& kind : kinds) {
                const std::string what =
                    std::string(page.name) + ", format " + std::to_string(format) + ", " +
                    std::to_string(kind.bitsPerPixel) + " bits" +
                    (kind.bottomUp ? ", bottom-up" : "") + (kind.compatible ? ", compatible" : "");
                win::Canvas canvas(bitmapWidth, bitmapHeight, kind);
                std::uint8_t* const fourth = kind.bitsPerPixel == 32 ? canvas.bits : nullptr;
                for (int y = 0; y < bitmapHeight; ++y) {
                    for (int x = 0; x < bitmapWidth; ++x) {
                        const std::uint8_t* p = pixels.data() + at(x, y) * 3;
                        win::SetPixel(canvas.dc, x, y, RGB(p[2], p[1], p[0]));
                        if (fourth)
                            fourth[(std::size_t(y) * std::size_t(bitmapWidth) + std::size_t(x)) *
                                       4 +
                                   3] = 0xFF;
                    }
                }
                if (format == kColor4) {
                    std::array<std::uint32_t, 256> counted{}, former{};
                    for (std::uint8_t g : formerGrey)
                        ++former[g];
                    std::vector<std::uint8_t> greys(formerGrey.size());
                    ASSERT_TRUE(convertToGrey16(canvas.dc, counted.data(), greys.data(), page.width,
                                                page.height, false, nullptr))
                        << what;
                    EXPECT_EQ(counted, former) << what;
                }
                std::vector<std::uint8_t> packed(expected.size()), grey(formerGrey.size());
                DeviceImage image;
                image.width = page.width;
                image.height = page.height;
                image.format = format;
                image.packed = packed.data();
                image.grey = grey.data();
                ASSERT_TRUE(convertPageImage(canvas.dc, image, true)) << what;
                EXPECT_EQ(packed, expected) << what;
                EXPECT_EQ(image.format, formatAfter) << what;
                EXPECT_EQ(grey, formerGrey) << what;
                int wrong = 0;
                for (int y = 0; y < bitmapHeight; ++y) {
                    for (int x = 0; x < bitmapWidth; ++x) {
                        const std::uint8_t* p = preview.data() + at(x, y) * 3;
                        wrong += canvas.pixel(x, y) != RGB(p[2], p[1], p[0]);
                        if (fourth)
                            wrong += fourth[(std::size_t(y) * std::size_t(bitmapWidth) +
                                             std::size_t(x)) *
                                                4 +
                                            3] != 0;
                    }
                }
                EXPECT_EQ(wrong, 0) << what;
            }
        }
    }
}

// A page white outside a rectangle converts to the same bytes, greys,
// thresholds and preview when the conversion is told that rectangle (and
// reads only the pixels inside it) as when it reads every pixel: rectangles
// off the blocks of eight pixels, at the page's edges, beyond them, empty and
// of one column, in the bitmap kinds that are read straight or through bands
// (the wide page takes two), in every format.
TEST(DeviceImage, DrawnRectangleGivesTheBytesOfAFullRead) {
    const struct {
        int width, height;
        win::RECT drawn;
    } cases[] = {
        {37, 23, {3, 2, 21, 9}},       {37, 23, {0, 0, 8, 23}},        {37, 23, {9, 5, 37, 6}},
        {37, 23, {-5, -4, 90, 99}},    {37, 23, {0, 0, 0, 0}},         {37, 23, {36, 0, 37, 23}},
        {600, 120, {13, 7, 589, 115}}, {600, 120, {0, 100, 600, 120}},
    };
    const win::CanvasKind kinds[] = {{24, false, false}, {32, false, false}, {32, false, true}};
    for (const auto& c : cases) {
        // Noise of greys (valleys for the adaptive formats) inside the
        // rectangle, white outside.
        const auto colorAt = [&c](int x, int y) {
            if (x < c.drawn.left || x >= c.drawn.right || y < c.drawn.top || y >= c.drawn.bottom)
                return RGB(255, 255, 255);
            const int v = (x * 37 + y * 91) % 7;
            return RGB(v * 40, v * 36, v * 30);
        };
        for (const win::CanvasKind& kind : kinds) {
            for (std::uint16_t format : {kColor4, kColor16, kColor16a}) {
                const std::string what =
                    std::to_string(c.width) + " x " + std::to_string(c.height) + ", rectangle " +
                    std::to_string(c.drawn.left) + "," + std::to_string(c.drawn.top) + " to " +
                    std::to_string(c.drawn.right) + "," + std::to_string(c.drawn.bottom) + ", " +
                    std::to_string(kind.bitsPerPixel) + " bits" +
                    (kind.compatible ? ", compatible" : "") + ", format " + std::to_string(format);
                struct Result {
                    std::vector<std::uint8_t> packed, grey;
                    DeviceImage image;
                    std::vector<COLORREF> preview;
                } full, told;
                for (Result* r : {&full, &told}) {
                    win::Canvas canvas(c.width, c.height, kind);
                    for (int y = 0; y < c.height; ++y) {
                        for (int x = 0; x < c.width; ++x)
                            win::SetPixel(canvas.dc, x, y, colorAt(x, y));
                    }
                    r->packed.assign(std::size_t((c.width * 4 + 7) / 8) * std::size_t(c.height),
                                     0xAA);
                    r->grey.assign(std::size_t(c.width) * std::size_t(c.height), 0xAA);
                    r->image.width = c.width;
                    r->image.height = c.height;
                    r->image.format = format;
                    r->image.packed = r->packed.data();
                    r->image.grey = r->grey.data();
                    if (r == &told)
                        r->image.drawn = c.drawn;
                    ASSERT_TRUE(convertPageImage(canvas.dc, r->image, true)) << what;
                    for (int y = 0; y < c.height; ++y) {
                        for (int x = 0; x < c.width; ++x)
                            r->preview.push_back(canvas.pixel(x, y));
                    }
                }
                EXPECT_EQ(told.packed, full.packed) << what;
                EXPECT_EQ(told.image.format, full.image.format) << what;
                if (format != kColor16) {
                    EXPECT_EQ(told.grey, full.grey) << what;
                    EXPECT_EQ(told.image.histogram, full.image.histogram) << what;
                    EXPECT_EQ(told.image.thresholds, full.image.thresholds) << what;
                }
                EXPECT_EQ(told.preview, full.preview) << what;
            }
        }
    }
}

// Every grey through sets of thresholds (even, bunched, at the ends, equal,
// out of order) into both packings, over widths that leave 0 to 3 pixels in
// the last byte and blocks of 16 pixels with 0 to 15 after them, gives the
// device values and preview of the former mapping.
TEST(DeviceImage, EveryGreyMapsAsTheFormerLoopDid) {
    const std::vector<std::vector<std::uint8_t>> thresholdSets = {
        {64, 128, 192},
        {0, 0, 0},
        {255, 255, 255},
        {3, 4, 250},
        // White (254) the first grey of the last level.
        {100, 200, 253},
        // A grey takes the thresholds before the first not below it: 3 to
        // 0 at once above 200, 3 to 1 above 100.
        {200, 50, 100},
        {100, 50, 200},
        {16, 32, 48, 64, 80, 96, 112, 128, 144, 160, 176, 192, 208, 224, 240},
        {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 254},
        {12, 25, 37, 50, 62, 75, 87, 100, 100, 100, 158, 178, 197, 217, 255},
    };
    for (const auto& thresholds : thresholdSets) {
        const std::uint16_t format = thresholds.size() == 3 ? kColor4 : kColor16;
        // Every grey in turn, a row of each grey (as the margins of a page
        // are), or a row of white (254, as between the letters of a line)
        // but for one pixel of each grey, its place moving along the row.
        enum Pattern { kEveryGrey, kRowsOfOneGrey, kWhiteButOne };
        const std::pair<int, Pattern> shapes[] = {
            {1, kEveryGrey},    {2, kEveryGrey},     {3, kEveryGrey},      {4, kEveryGrey},
            {5, kEveryGrey},    {6, kEveryGrey},     {7, kEveryGrey},      {16, kEveryGrey},
            {17, kEveryGrey},   {31, kEveryGrey},    {33, kEveryGrey},     {47, kEveryGrey},
            {256, kEveryGrey},  {5, kRowsOfOneGrey}, {18, kRowsOfOneGrey}, {256, kRowsOfOneGrey},
            {53, kWhiteButOne},
        };
        for (const auto& [width, pattern] : shapes) {
            const int height = pattern == kEveryGrey ? (256 + width - 1) / width : 256;
            std::vector<std::uint8_t> grey(std::size_t(width) * std::size_t(height));
            for (std::size_t i = 0; i < grey.size(); ++i) {
                const std::size_t y = i / std::size_t(width), x = i % std::size_t(width);
                grey[i] = std::uint8_t(pattern == kEveryGrey             ? i
                                       : pattern == kRowsOfOneGrey       ? y
                                       : x == y * 7 % std::size_t(width) ? y
                                                                         : 254);
            }
            std::vector<std::uint8_t> preview(grey.size() * 3);
            const std::vector<std::uint8_t> expected = FormerConversion::map(
                grey.data(), thresholds.data(), width, height, format, preview.data());
            win::Canvas canvas(width, height);
            std::vector<std::uint8_t> packed(expected.size());
            ASSERT_TRUE(mapToPalette(grey.data(), packed.data(), thresholds.data(), width, height,
                                     canvas.dc, format));
            const std::string what = "width " + std::to_string(width) + ", thresholds from " +
                                     std::to_string(thresholds[0]) +
                                     (pattern == kRowsOfOneGrey ? ", rows of one grey"
                                      : pattern == kWhiteButOne ? ", white rows"
                                                                : "");
            EXPECT_EQ(packed, expected) << what;
            for (std::size_t i = 0; i < grey.size(); ++i) {
                const std::uint8_t* p = preview.data() + i * 3;
                ASSERT_EQ(canvas.pixel(int(i % std::size_t(width)), int(i / std::size_t(width))),
                          RGB(p[2], p[1], p[0]))
                    << what << ", grey " << int(grey[i]);
            }
        }
    }
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
