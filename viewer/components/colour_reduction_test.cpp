#include "viewer/components/colour_reduction.h"

#include <gtest/gtest.h>

#include "viewer/components/graphic_errors.h"
#include "viewer/components/message_test_util.h"

namespace brevant {
namespace {

Bitmap rgbImage(int w, int h, const std::vector<Rgb>& pixels) {
    Bitmap b(w, h, 24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setPixel(x, y, pixels[std::size_t(y) * w + x]);
    return b;
}

// Values worked out by hand for each method on one or a few pixels.
TEST(ColourReduction, MapsPixelsAsWorkedOutByHand) {
    const Rgb px{30, 200, 100};
    struct Case {
        ReductionMethod method;
        std::uint32_t index;
        Rgb entry;
    } cases[] = {
        // 30 -> level 1 of 7 (43), 200 -> 5 of 8 (182), 100 -> 1 of 4 (85).
        {ReductionMethod::Truncate784, 1 * 32 + 5 * 4 + 1, {43, 182, 85}},
        // 30 -> 51, 200 -> 204, 100 -> 102.
        {ReductionMethod::Truncate666, 1 * 36 + 4 * 6 + 2, {51, 204, 102}},
        // (77 * 30 + 150 * 200 + 29 * 100) >> 8 = 137.
        {ReductionMethod::Grey, 137, {137, 137, 137}},
        // Position (0, 0) keeps red: 30 div 4.
        {ReductionMethod::Tripel, 7, {28, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.method));
        Bitmap out = reduceColours(rgbImage(1, 1, {px}), c.method);
        ASSERT_EQ(out.bitsPerPixel(), 8);
        ASSERT_EQ(out.palette().size(), 256u);
        EXPECT_EQ(out.index(0, 0), c.index);
        EXPECT_EQ(out.palette()[c.index], c.entry);
    }
    Bitmap t = reduceColours(rgbImage(1, 1, {px}), ReductionMethod::Truncate784);
    EXPECT_EQ(t.palette()[224], (Rgb{128, 128, 128}));  // unused entries
}

TEST(ColourReduction, TripelKeepsOneChannelByPosition) {
    const Rgb c{200, 100, 40};
    Bitmap out = reduceColours(rgbImage(3, 2, std::vector<Rgb>(6, c)), ReductionMethod::Tripel);
    // (row + column) mod 3: 0 red, 1 green, 2 blue.
    EXPECT_EQ(out.index(0, 0), 50u);
    EXPECT_EQ(out.index(1, 0), 64u + 25u);
    EXPECT_EQ(out.index(2, 0), 128u + 10u);
    EXPECT_EQ(out.index(0, 1), 64u + 25u);
    EXPECT_EQ(out.palette()[64 + 25], (Rgb{0, 100, 0}));
}

TEST(ColourReduction, HistogramTakesTheMostFrequentColours) {
    const Rgb a{250, 10, 10}, b{10, 250, 10}, c{240, 30, 20};
    std::vector<Rgb> px{b, a, a, c, a, b, a, b, a};  // a x5, b x3, c x1
    Bitmap out = reduceByHistogram(rgbImage(3, 3, px), 2);
    EXPECT_EQ(out.palette()[0], a);
    EXPECT_EQ(out.palette()[1], b);
    EXPECT_EQ(out.palette()[2], (Rgb{128, 128, 128}));
    EXPECT_EQ(out.index(0, 0), 1u);
    EXPECT_EQ(out.index(1, 0), 0u);
    EXPECT_EQ(out.index(0, 1), 0u);  // c is nearest to a
}

TEST(ColourReduction, HistogramCoarsensPastTheColourLimit) {
    // 2200 colours differing in the lowest blue bit pairwise: blue loses
    // that bit, leaving 1100; the most frequent one comes first.
    std::vector<Rgb> px;
    for (int i = 0; i < 1100; ++i)
        for (int lowBit = 0; lowBit < 2; ++lowBit)
            px.push_back(
                {std::uint8_t(i % 40 * 6), std::uint8_t(i / 40 * 8), std::uint8_t(100 + lowBit)});
    for (int i = 0; i < 30; ++i)
        px.push_back({0, 0, 101});
    Bitmap out = reduceColours(rgbImage(int(px.size()), 1, px), ReductionMethod::Histogram);
    EXPECT_EQ(out.palette()[0], (Rgb{0, 0, 100}));
    for (const Rgb& e : out.palette())
        EXPECT_EQ(e.b & 1, 0);
    EXPECT_EQ(out.index(0, 0), 0u);
    EXPECT_EQ(out.index(1, 0), 0u);
}

TEST(ColourReduction, MedianCutSplitsByTheLargestExtent) {
    const Rgb red{255, 0, 0}, blue{0, 0, 255}, black{0, 0, 0};
    std::vector<Rgb> px{red, red, red, red, blue, blue, black};
    Bitmap out = reduceColours(rgbImage(7, 1, px), ReductionMethod::Quantize);
    // Boxes: the red axis splits black and blue from red, then blue from
    // black; each colour is its cell's value * 16 + 15, and a colour of
    // channels all 16 or less is black.
    EXPECT_EQ(out.palette()[0], black);
    EXPECT_EQ(out.palette()[1], (Rgb{255, 15, 15}));
    EXPECT_EQ(out.palette()[2], (Rgb{15, 15, 255}));
    EXPECT_EQ(out.palette()[3], black);
    EXPECT_EQ(out.index(0, 0), 1u);
    EXPECT_EQ(out.index(4, 0), 2u);
    EXPECT_EQ(out.index(6, 0), 0u);
}

TEST(ColourReduction, DepthFollowsTheColourCount) {
    struct Case {
        int colours, bits;
    } cases[] = {{2, 1}, {3, 4}, {16, 4}, {17, 8}, {256, 8}, {257, 24}};
    for (const Case& c : cases)
        EXPECT_EQ(bitsForColours(c.colours), c.bits) << c.colours;
}

TEST(ColourReduction, ConvertsToBitmapFiles) {
    Bitmap src = rgbImage(2, 2, {{0, 0, 0}, {255, 255, 255}, {250, 250, 250}, {5, 0, 0}});
    Bytes file = bitmapToDibFile(src, 8, ReductionMethod::Histogram);
    ASSERT_EQ(std::string(file.begin(), file.begin() + 2), "BM");
    EXPECT_EQ(le16At(file, 28), 8);
    EXPECT_EQ(le32At(file, 10), 14u + 40u + 4u * 256u);
    Bitmap back = readBmpFile(file);
    EXPECT_EQ(back.pixel(1, 0), (Rgb{255, 255, 255}));

    Bitmap mono = convertToDib(src, 1, kDefaultReduction);
    EXPECT_EQ(mono.bitsPerPixel(), 1);
    EXPECT_EQ(mono.index(0, 0), 0u);
    EXPECT_EQ(mono.index(0, 1), 1u);  // 250 grey is nearer white
    // Already of the target depth: kept, unless the method is grey.
    Bitmap eight = reduceColours(src, ReductionMethod::Truncate666);
    EXPECT_EQ(convertToDib(eight, 8, kDefaultReduction), eight);
    EXPECT_EQ(convertToDib(eight, 8, ReductionMethod::Grey).palette()[7], (Rgb{7, 7, 7}));

    EXPECT_THROW(convertToDib(Bitmap(), 8, kDefaultReduction), InvalidGraphic);

    testing::ScriptedMessages boxes;
    EXPECT_THROW(convertToDib(eight, 16, kDefaultReduction), Abort);
    EXPECT_EQ(
        boxes.shown,
        (std::vector<MessageRequest>{{"Error", "Функция не реализована", MessageIcon::Error}}));
}

}  // namespace
}  // namespace brevant
