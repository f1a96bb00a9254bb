#include "engine/render/function/function_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace vistrel {
namespace {

TEST(FunctionMathTest, ClipToPair) {
    struct Case {
        double x, lo, hi, want;
    } cases[] = {
        {0.5, 0, 1, 0.5},
        {-1, 0, 1, 0},
        {2, 0, 1, 1},
        {0, 0, 1, 0},
        {1, 0, 1, 1},
        // an inverted pair: the upper bound wins
        {0.5, 1, 0, 0},
        {-5, 1, 0, 0},
        {5, 1, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(clipToPair(c.x, c.lo, c.hi), c.want) << c.x;
}

SampleTable table(std::vector<uint32_t> size, int n, int bps, std::vector<uint32_t> samples,
                  std::vector<double> domain = {}, std::vector<double> encode = {},
                  std::vector<double> decode = {}) {
    SampleTable t;
    t.inputCount = int(size.size());
    t.outputCount = n;
    t.size = size;
    t.bitsPerSample = bps;
    t.samples = std::move(samples);
    for (size_t i = 0; i < size.size(); ++i) {
        if (domain.size() < 2 * size.size())
            domain.insert(domain.end(), {0.0, 1.0});
        if (encode.size() < 2 * size.size())
            encode.insert(encode.end(), {0.0, size[i] - 1.0});
    }
    while (decode.size() < 2 * size_t(n))
        decode.insert(decode.end(), {0.0, 1.0});
    t.domain = domain;
    t.encode = encode;
    t.decode = decode;
    EXPECT_TRUE(t.layout());
    return t;
}

TEST(FunctionMathTest, SampleLookupTakesTheNearestPoint) {
    struct Case {
        SampleTable t;
        std::vector<double> in;
        std::vector<double> want;
    } cases[] = {
        // two points 0x00 0xFF: the nearest point, 0.5 rounding up
        {table({2}, 1, 8, {0, 255}), {0.49}, {0}},
        {table({2}, 1, 8, {0, 255}), {0.5}, {1}},
        {table({2}, 1, 8, {0, 255}), {1}, {1}},
        // 16-bit samples decoded onto (0, 1)
        {table({2}, 1, 16, {0x1234, 0xFFFF}), {0}, {0x1234 / 65535.0}},
        // two outputs per point, decode onto (-1, 1) and (10, 20)
        {table({3}, 2, 4, {0, 15, 5, 10, 15, 0}, {}, {}, {-1, 1, 10, 20}),
         {0.5},
         {-1 + 5 * 2 / 15.0, 10 + 10 * 10 / 15.0}},
        // first input varies fastest: point (1, 2) of a 2 x 3 grid is index 5
        {table({2, 3}, 1, 8, {0, 1, 2, 3, 4, 5}, {}, {}, {0, 255}), {1, 1}, {5}},
        {table({2, 3}, 1, 8, {0, 1, 2, 3, 4, 5}, {}, {}, {0, 255}), {0, 0.5}, {2}},
        // encode beyond the table is clamped to its ends
        {table({2}, 1, 8, {7, 9}, {}, {-5, 10}, {0, 255}), {0.2}, {7}},
        {table({2}, 1, 8, {7, 9}, {}, {-5, 10}, {0, 255}), {0.8}, {9}},
        // inverted encode reads the table backwards
        {table({4}, 1, 8, {1, 2, 3, 4}, {}, {3, 0}, {0, 255}), {0}, {4}},
        // zero-width domain: 0/0 becomes point 0 instead of an index
        {table({4}, 1, 8, {1, 2, 3, 4}, {0.5, 0.5}, {}, {0, 255}), {0.5}, {1}},
        // 32-bit samples
        {table({1}, 1, 32, {0xFFFFFFFFu}), {0.3}, {1}},
    };
    for (const Case& c : cases) {
        std::vector<double> out(c.t.outputCount, -99);
        c.t.lookup(c.in.data(), out.data());
        for (size_t j = 0; j < c.want.size(); ++j)
            EXPECT_NEAR(out[j], c.want[j], 1e-12) << j;
    }
}

TEST(FunctionMathTest, NanAndInfiniteInputsStayInsideTheTable) {
    SampleTable t = table({3, 2}, 1, 8, {1, 2, 3, 4, 5, 6}, {}, {}, {0, 255});
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    double in[][2] = {{nan, nan}, {inf, -inf}, {-inf, inf}, {1e300, -1e300}};
    const double want[] = {1, 3, 4, 3};
    for (size_t i = 0; i < 4; ++i) {
        double out = -1;
        t.lookup(in[i], &out);
        EXPECT_EQ(out, want[i]) << i;
    }
}

TEST(FunctionMathTest, LayoutRefusesEmptyAndHugeTables) {
    SampleTable t;
    t.outputCount = 3;
    t.size = {0, 5};
    EXPECT_FALSE(t.layout());
    t.size = {65536, 65536};
    EXPECT_FALSE(t.layout());
    t.size = {2048, 1024, 1024};
    EXPECT_FALSE(t.layout());
    t.size = {1000, 1000};
    EXPECT_TRUE(t.layout());
    EXPECT_EQ(t.sampleCount(), 3000000u);
}

TEST(FunctionMathTest, StitchingSubdomains) {
    const double two[] = {0, 0.5, 1};
    const double three[] = {0, 0.3, 0.6, 1};
    struct Case {
        const double* bounds;
        int32_t k;
        double x;
        int32_t want;
    } cases[] = {
        {two, 2, 0, 0},     {two, 2, 0.25, 0},   {two, 2, 0.5, 1},
        {two, 2, 1, 1},     {three, 3, 0.29, 0}, {three, 3, 0.3, 1},
        {three, 3, 0.6, 2}, {three, 3, 1, 2},    {two, 1, 0.7, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(stitchingSubdomain(c.x, c.bounds, c.k), c.want) << c.x;
    const double rising[] = {0, 1};
    const double falling[] = {1, 0};
    EXPECT_DOUBLE_EQ(stitchingEncode(0.75, two + 1, falling), 0.5);
    EXPECT_DOUBLE_EQ(stitchingEncode(0.5, two + 1, rising), 0);
    EXPECT_DOUBLE_EQ(stitchingEncode(1, two + 1, rising), 1);
    // a zero-width subdomain maps onto its encode start instead of 0/0
    const double flat[] = {1, 1};
    const double quarter[] = {0.25, 0.75};
    EXPECT_EQ(stitchingEncode(1, flat, quarter), 0.25);
}

}  // namespace
}  // namespace vistrel
