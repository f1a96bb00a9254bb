#include "engine/codec/lzw_flate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/byte_input.h"

namespace vistrel {
namespace {

using testing::ByteInput;

std::vector<uint8_t> drain(FilterStream& f) {
    std::vector<uint8_t> out;
    for (uint16_t c; (c = f.getByte()) != kEndOfData;)
        out.push_back(uint8_t(c));
    return out;
}

// Packs codes of the given widths, most significant bit first.
std::vector<uint8_t> packCodes(std::initializer_list<std::pair<int, int>> codes) {
    std::vector<uint8_t> out;
    uint32_t acc = 0;
    int n = 0;
    for (auto [code, width] : codes) {
        acc = (acc << width) | uint32_t(code);
        n += width;
        while (n >= 8) {
            n -= 8;
            out.push_back(uint8_t(acc >> n));
        }
    }
    if (n)
        out.push_back(uint8_t(acc << (8 - n)));
    return out;
}

std::vector<uint8_t> text(const char* s) {
    return {s, s + std::strlen(s)};
}

TEST(LzwDecodeTest, CodeTables) {
    struct Case {
        const char* what;
        std::vector<uint8_t> input;
        std::vector<uint8_t> expected;
    };
    const Case cases[] = {
        // The classic example: codes 256 45 258 258 65 259 66 257.
        {"known answer",
         {0x80, 0x0B, 0x60, 0x50, 0x22, 0x0C, 0x0C, 0x85, 0x01},
         text("-----A---B")},
        {"clear then end", packCodes({{256, 9}, {257, 9}}), {}},
        {"kwkwk", packCodes({{256, 9}, {'a', 9}, {258, 9}, {257, 9}}), text("aaa")},
        {"code beyond the table ends",
         packCodes({{256, 9}, {'a', 9}, {'b', 9}, {300, 9}, {'c', 9}}), text("ab")},
        {"repeated clear codes", packCodes({{256, 9}, {256, 9}, {'x', 9}, {257, 9}}), text("x")},
        {"no clear code first", packCodes({{'h', 9}, {'i', 9}, {258, 9}, {257, 9}}), text("hihi")},
        {"clear in the middle",
         packCodes({{'a', 9}, {'b', 9}, {256, 9}, {'c', 9}, {258, 9}, {257, 9}}),
         text("abccc")},  // 258 after the clear is not yet known: KwKwK of "c"
        {"first code not a byte ends", packCodes({{256, 9}, {300, 9}}), {}},
        {"padding bits do not make a code", packCodes({{'a', 9}, {'b', 9}, {'c', 9}}), text("abc")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ByteInput in(c.input);
        LzwDecodeStream f(&in, nullptr);
        EXPECT_EQ(drain(f), c.expected);
        EXPECT_TRUE(f.atEnd());
    }
}

TEST(LzwDecodeTest, FullTableStillDecodesAndWidthStaysTwelve) {
    // After a clear code, 3838 codes fill the table (next code 4096). Every
    // further 12-bit code must still decode, with no entry added.
    std::vector<std::pair<int, int>> codes = {{256, 9}};
    std::vector<uint8_t> expected;
    int next = 258, width = 9;
    codes.push_back({'a', width});
    expected.push_back('a');
    for (int i = 0; i < 3840; ++i) {
        int c = 'a' + (i % 3);
        codes.push_back({c, width});
        expected.push_back(uint8_t(c));
        if (next < 4096)
            ++next;
        if (next != 4095 && next == (1 << width) - 1)
            ++width;
    }
    EXPECT_EQ(width, 12);
    codes.push_back({258, 12});  // the first entry: "aa"
    expected.push_back('a');
    expected.push_back('a');
    codes.push_back({257, 12});
    std::vector<uint8_t> bits;
    {
        uint64_t acc = 0;
        int n = 0;
        for (auto [code, w] : codes) {
            acc = (acc << w) | uint64_t(code);
            n += w;
            while (n >= 8) {
                n -= 8;
                bits.push_back(uint8_t(acc >> n));
            }
        }
        if (n)
            bits.push_back(uint8_t(acc << (8 - n)));
    }
    ByteInput in(bits);
    LzwDecodeStream f(&in, nullptr);
    EXPECT_EQ(drain(f), expected);
}

TEST(LzwDecodeTest, ClosedAndEmpty) {
    ByteInput empty(std::vector<uint8_t>{});
    LzwDecodeStream f(&empty, nullptr);
    EXPECT_EQ(f.getByte(), kEndOfData);
    EXPECT_TRUE(f.atEnd());
    LzwDecodeStream g(nullptr, std::make_unique<FilterParams>());  // the parameters are dropped
    EXPECT_FALSE(g.isOpen());
    EXPECT_EQ(g.parameters(), nullptr);
    ByteInput in(std::vector<uint8_t>{0x80, 0x0B, 0x60});
    LzwDecodeStream h(&in, nullptr);
    h.close();
    EXPECT_EQ(h.getByte(), kEndOfData);
}

std::vector<uint8_t> deflate(const std::vector<uint8_t>& data) {
    uLongf size = compressBound(uLong(data.size()));
    std::vector<uint8_t> out(size);
    EXPECT_EQ(compress2(out.data(), &size, data.data(), uLong(data.size()), 9), Z_OK);
    out.resize(size);
    return out;
}

std::vector<uint8_t> sample(size_t n) {
    std::vector<uint8_t> v(n);
    uint32_t x = 1;
    for (auto& b : v) {
        x = x * 1103515245u + 12345u;
        b = uint8_t((x >> 16) % 7 + 'a');
    }
    return v;
}

TEST(FlateDecodeTest, InlineBuffersReadNothingBehindTheData) {
    std::vector<uint8_t> plain = sample(3000);
    std::vector<uint8_t> packed = deflate(plain);
    size_t end = packed.size();
    packed.insert(packed.end(), {'E', 'I', ' '});
    for (bool inlineImage : {false, true}) {
        SCOPED_TRACE(inlineImage);
        ByteInput in(packed);
        FlateDecodeStream f(&in, nullptr, inlineImage);
        std::vector<uint8_t> out(plain.size() + 10);
        EXPECT_EQ(f.read(out.data(), int32_t(out.size())), int32_t(plain.size()));
        out.resize(plain.size());
        EXPECT_EQ(out, plain);
        EXPECT_TRUE(f.atEnd());
        EXPECT_EQ(f.position(), end);  // compressed bytes consumed
        if (inlineImage) {
            EXPECT_EQ(in.getByte(), 'E');
        }
    }
}

TEST(FlateDecodeTest, TruncatedDataEndsAfterTheLastDecodableByte) {
    std::vector<uint8_t> plain = sample(20000);
    std::vector<uint8_t> packed = deflate(plain);
    packed.resize(packed.size() / 2);
    for (bool inlineImage : {false, true}) {
        ByteInput in(packed);
        FlateDecodeStream f(&in, nullptr, inlineImage);
        std::vector<uint8_t> out = drain(f);
        EXPECT_GT(out.size(), 1000u);
        EXPECT_LT(out.size(), plain.size());
        EXPECT_TRUE(std::equal(out.begin(), out.end(), plain.begin()));
        EXPECT_EQ(f.getByte(), kEndOfData);
    }
}

TEST(FlateDecodeTest, CorruptDataEndsTheData) {
    std::vector<uint8_t> plain = sample(5000);
    std::vector<uint8_t> packed = deflate(plain);
    packed[packed.size() / 2] ^= 0xFF;
    packed[packed.size() / 2 + 1] ^= 0x55;
    {
        ByteInput in(packed);
        FlateDecodeStream f(&in, nullptr, false);
        std::vector<uint8_t> out = drain(f);
        EXPECT_LT(out.size(), plain.size());
        EXPECT_TRUE(f.atEnd());
    }
    {
        ByteInput in(packed);
        FlateDecodeStream f(&in, nullptr, false);
        std::vector<uint8_t> out(plain.size());
        int64_t n = f.read(out.data(), out.size());
        EXPECT_EQ(n, -1);  // the call in which the error happens reports it
        EXPECT_EQ(f.read(out.data(), 10), 0);
    }
    {
        ByteInput in(text("not zlib data at all"));
        FlateDecodeStream f(&in, nullptr, false);
        EXPECT_EQ(f.getByte(), kEndOfData);
    }
}

// Reads below the block size go through the filter's buffer, larger ones
// are inflated into the caller's memory; mixed in any order, whole or
// truncated data, the bytes are the same.
TEST(FlateDecodeTest, EveryReadSizeGivesTheSameBytes) {
    std::vector<uint8_t> plain = sample(200000);
    std::vector<uint8_t> packed = deflate(plain);
    std::vector<uint8_t> truncated(packed.begin(),
                                   packed.begin() + std::ptrdiff_t(packed.size() / 2));
    ByteInput reference(truncated);
    FlateDecodeStream byByte(&reference, nullptr, false);
    const std::vector<uint8_t> truncatedPlain = drain(byByte);
    ASSERT_GT(truncatedPlain.size(), 50000u);

    struct Case {
        const char* name;
        std::vector<size_t> sizes;  // read sizes, used in turn; 0 is one getByte
    } cases[] = {
        {"small reads", {100}},
        {"one block", {FlateDecodeStream::kBlockSize}},
        {"large reads", {1 << 16}},
        {"all at once", {1 << 20}},
        {"mixed", {0, 7, 1 << 16, 0, 30000, 3, FlateDecodeStream::kBlockSize + 1}},
    };
    for (const Case& c : cases) {
        for (bool whole : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (whole ? ", whole" : ", truncated"));
            ByteInput in(whole ? packed : truncated);
            FlateDecodeStream f(&in, nullptr, false);
            std::vector<uint8_t> out, block(1 << 20);
            for (size_t i = 0;; ++i) {
                size_t size = c.sizes[i % c.sizes.size()];
                if (size == 0) {
                    uint16_t b = f.getByte();
                    if (b == 0xFFFF)
                        break;
                    out.push_back(uint8_t(b));
                    continue;
                }
                int64_t n = f.read(block.data(), size);
                ASSERT_GE(n, 0);
                if (n == 0)
                    break;
                out.insert(out.end(), block.begin(), block.begin() + n);
            }
            EXPECT_EQ(out, whole ? plain : truncatedPlain);
            EXPECT_TRUE(f.atEnd());
        }
    }
}

TEST(FlateDecodeTest, PushedBackByteAndParametersAreKept) {
    std::vector<uint8_t> plain = sample(100);
    ByteInput in(deflate(plain));
    auto owned = std::make_unique<FilterParams>();
    FilterParams* params = owned.get();
    params->set(u"/Predictor", 1);
    FlateDecodeStream f(&in, std::move(owned), false);
    EXPECT_EQ(f.parameters(), params);
    uint16_t first = f.getByte();
    f.unread(first);
    std::vector<uint8_t> out(200);
    EXPECT_EQ(f.read(out.data(), 200), 100);
    out.resize(100);
    EXPECT_EQ(out, plain);  // predictor 1: none
}

}  // namespace
}  // namespace vistrel
