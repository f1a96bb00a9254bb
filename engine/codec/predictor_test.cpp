#include "engine/codec/predictor.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/codec/filter_stream.h"
#include "engine/codec/lzw_flate.h"
#include "tests/support/byte_input.h"

namespace vistrel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::ByteInput;

Bytes deflate(const Bytes& data) {
    uLongf size = compressBound(uLong(data.size()));
    Bytes out(size);
    EXPECT_EQ(compress2(out.data(), &size, data.data(), uLong(data.size()), 9), Z_OK);
    out.resize(size);
    return out;
}

std::unique_ptr<FilterParams> params(int predictor, int colors, int bits, int columns) {
    auto p = std::make_unique<FilterParams>();
    p->set(u"/Predictor", predictor);
    if (colors)
        p->set(u"/Colors", colors);
    if (bits)
        p->set(u"/BitsPerComponent", bits);
    if (columns)
        p->set(u"/Columns", columns);
    return p;
}

// Every byte of f, read one at a time or in blocks of 7.
Bytes drain(InputStream& f, bool blocks) {
    Bytes out;
    std::uint8_t block[7];
    for (;;) {
        if (!blocks) {
            const std::uint16_t c = f.getByte();
            if (c == kEndOfData)
                break;
            out.push_back(std::uint8_t(c));
            continue;
        }
        const std::int64_t n = f.read(block, sizeof block);
        if (n <= 0)
            break;
        out.insert(out.end(), block, block + n);
    }
    return out;
}

// The encoder side, written from the definitions: samples packed from the
// high end of each byte, TIFF rows as differences of samples, PNG rows as
// differences of bytes.
Bytes packRow(const std::vector<unsigned>& samples, int bits) {
    Bytes row((samples.size() * unsigned(bits) + 7) / 8);
    for (std::size_t s = 0; s < samples.size(); ++s) {
        const std::size_t bit = s * unsigned(bits);
        if (bits == 16) {
            row[bit / 8] = std::uint8_t(samples[s] >> 8);
            row[bit / 8 + 1] = std::uint8_t(samples[s]);
        } else {
            row[bit / 8] |= std::uint8_t(samples[s] << (8 - bits - bit % 8));
        }
    }
    return row;
}

Bytes tiffEncode(const std::vector<unsigned>& samples, int bits, int colors) {
    const unsigned mask = (1u << bits) - 1;
    std::vector<unsigned> diff(samples);
    for (std::size_t s = std::size_t(colors); s < samples.size(); ++s)
        diff[s] = (samples[s] - samples[s - std::size_t(colors)]) & mask;
    return packRow(diff, bits);
}

Bytes pngEncode(int filter, const Bytes& row, const Bytes& up, std::size_t left) {
    Bytes out{std::uint8_t(filter)};
    for (std::size_t i = 0; i < row.size(); ++i) {
        const int a = i >= left ? row[i - left] : 0;
        const int b = up[i];
        const int c = i >= left ? up[i - left] : 0;
        int predicted = 0;
        if (filter == 1) {
            predicted = a;
        } else if (filter == 2) {
            predicted = b;
        } else if (filter == 3) {
            predicted = (a + b) / 2;
        } else if (filter == 4) {
            const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b),
                      pc = std::abs(p - c);
            predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
        }
        out.push_back(std::uint8_t(row[i] - predicted));
    }
    return out;
}

// Each PNG row has its own filter: five rows take the five filters in turn,
// at every component size; TIFF 2 the same sizes. Rows of sub-byte samples
// end inside a byte.
TEST(PredictorTest, UndoesEveryFilterAtEveryComponentSize) {
    struct Case {
        int predictor, bits, colors, columns;
    } cases[] = {
        {15, 1, 1, 13}, {15, 2, 3, 5}, {15, 4, 2, 5}, {15, 8, 3, 4}, {15, 16, 2, 3}, {10, 8, 1, 6},
        {2, 1, 1, 13},  {2, 2, 3, 5},  {2, 4, 2, 5},  {2, 8, 3, 4},  {2, 16, 2, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "predictor " << c.predictor << ", " << c.bits
                                          << " bits, " << c.colors << " colours");
        const unsigned mask = (1u << c.bits) - 1;
        const std::size_t left = std::size_t(c.colors * c.bits + 7) / 8;
        Bytes plain, encoded;
        Bytes up((std::size_t(c.columns * c.colors * c.bits) + 7) / 8);
        std::uint32_t x = 7;
        for (int r = 0; r < 5; ++r) {
            std::vector<unsigned> samples;
            for (int s = 0; s < c.columns * c.colors; ++s) {
                x = x * 1103515245u + 12345u;
                samples.push_back((x >> 8) & mask);
            }
            const Bytes row = packRow(samples, c.bits);
            const Bytes coded = c.predictor == 2 ? tiffEncode(samples, c.bits, c.colors)
                                                 : pngEncode(r, row, up, left);
            plain.insert(plain.end(), row.begin(), row.end());
            encoded.insert(encoded.end(), coded.begin(), coded.end());
            up = row;
        }
        const Bytes packed = deflate(encoded);
        for (bool blocks : {false, true}) {
            ByteInput in(packed);
            FlateDecodeStream f(&in, params(c.predictor, c.colors, c.bits, c.columns), false);
            EXPECT_EQ(drain(f, blocks), plain) << (blocks ? "blocks" : "bytes");
            EXPECT_TRUE(f.atEnd());
        }
    }
}

// Known rows, the defaults, and what ends the data.
TEST(PredictorTest, KnownRowsDefaultsAndLimits) {
    struct Case {
        const char* what;
        int predictor, colors, bits, columns;  // 0: not given
        Bytes encoded;
        Bytes plain;
    } cases[] = {
        {"sub", 15, 0, 0, 4, {1, 1, 1, 1, 1}, {1, 2, 3, 4}},
        {"up, then average", 15, 0, 0, 2, {2, 10, 20, 3, 4, 4}, {10, 20, 9, 18}},
        {"paeth", 15, 0, 0, 2, {0, 10, 20, 4, 1, 1}, {10, 20, 11, 21}},
        {"sums wrap", 12, 0, 0, 2, {1, 200, 100}, {200, 44}},
        {"defaults: one column of one 8-bit colour", 12, 0, 0, 0, {2, 5, 2, 3}, {5, 8}},
        {"tiff, 2 bits", 2, 0, 2, 4, {0x55}, {0x6C}},
        {"tiff, 16 bits", 2, 0, 16, 2, {0x00, 0xFF, 0x00, 0x02}, {0x00, 0xFF, 0x01, 0x01}},
        {"tiff keeps the padding bits", 2, 0, 1, 3, {0xB5}, {0xD5}},
        {"a short last row is handed out as far as it goes",
         15,
         0,
         0,
         3,
         {1, 1, 1, 1, 2, 5},
         {1, 2, 3, 6}},
        {"a filter byte of no filter ends the data",
         15,
         0,
         0,
         2,
         {0, 1, 2, 5, 3, 4, 0, 5, 6},
         {1, 2}},
        {"predictor 1 is none", 1, 0, 0, 2, {0, 1, 2}, {0, 1, 2}},
        {"an unknown predictor is none", 3, 0, 0, 2, {0, 1, 2}, {0, 1, 2}},
        {"3 bits ends the data", 15, 0, 3, 2, {0, 1, 2}, {}},
        {"no colours ends the data", 15, -1, 0, 2, {0, 1, 2}, {}},
        {"33 colours end the data", 15, 33, 0, 2, {0, 1, 2}, {}},
        {"no columns ends the data", 2, 0, 0, -5, {0, 1, 2}, {}},
        {"a row beyond the limit ends the data",
         15,
         4,
         16,
         int(Predictor::kMaxRowBytes / 8 + 1),
         {0, 1, 2},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ByteInput in(deflate(c.encoded));
        FlateDecodeStream f(&in, params(c.predictor, c.colors, c.bits, c.columns), false);
        EXPECT_EQ(drain(f, false), c.plain);
        EXPECT_EQ(f.getByte(), kEndOfData);
    }
}

// LZW data takes the predictor of its parameters too, also when they come
// after the filter is made (as the filter chain hands them).
TEST(PredictorTest, LzwAppliesTheParametersItIsGiven) {
    // Codes of single bytes: clear, 2 10 20 2 1 1, end (two PNG "Up" rows).
    Bytes codes;
    std::uint32_t acc = 0;
    int n = 0;
    for (int code : {256, 2, 10, 20, 2, 1, 1, 257}) {
        acc = (acc << 9) | std::uint32_t(code);
        for (n += 9; n >= 8; n -= 8)
            codes.push_back(std::uint8_t(acc >> (n - 8)));
    }
    if (n > 0)
        codes.push_back(std::uint8_t(acc << (8 - n)));
    ByteInput in(codes);
    LzwDecodeStream f(&in, nullptr);
    f.setParameters(params(12, 0, 0, 2));
    EXPECT_EQ(drain(f, true), (Bytes{10, 20, 11, 21}));
    EXPECT_TRUE(f.atEnd());
}

}  // namespace
}  // namespace vistrel
