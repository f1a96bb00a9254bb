#include "engine/codec/ccitt_decode.h"

#include "engine/core/streams.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_files.h"

namespace vistrel {
namespace {

using Bytes = std::vector<uint8_t>;

using testing::readBytes;

std::string fixture(const std::string& name) {
    return testing::sourcePath("tests/fixtures/ccitt/" + name);
}

// A binary PBM image: 1 bits are black.
struct Pbm {
    int width = 0;
    int height = 0;
    Bytes bits;
    bool black(int x, int y) const {
        return bits[y * ((width + 7) / 8) + x / 8] & (0x80 >> (x % 8));
    }
};

Pbm readPbm(const std::string& path) {
    Bytes data = readBytes(path);
    Pbm pbm;
    std::string text(data.begin(), data.end());
    std::istringstream in(text);
    std::string magic;
    in >> magic >> pbm.width >> pbm.height;
    in.get();
    pbm.bits.assign(data.begin() + in.tellg(), data.end());
    return pbm;
}

// Bytes from a text of 0 and 1 characters (spaces ignored), the last byte
// completed with 0 bits.
Bytes bits(const std::string& text) {
    Bytes out;
    int n = 0;
    for (char c : text) {
        if (c != '0' && c != '1')
            continue;
        if (n % 8 == 0)
            out.push_back(0);
        if (c == '1')
            out.back() |= 0x80 >> (n % 8);
        ++n;
    }
    return out;
}

struct MemorySource {
    const Bytes* data;
    size_t pos = 0;
    static int read(void* context) {
        auto* self = static_cast<MemorySource*>(context);
        if (self->pos >= self->data->size())
            return -1;
        return (*self->data)[self->pos++];
    }
};

// Decodes until kEndOfData or limit bytes.
Bytes decode(const Bytes& data, const CcittParams& params, size_t limit = 1 << 24,
             bool* started = nullptr) {
    MemorySource source{&data};
    CcittFaxDecoder decoder(&MemorySource::read, &source);
    bool ok = decoder.start(params);
    if (started)
        *started = ok;
    Bytes out;
    while (out.size() < limit) {
        uint16_t b = decoder.getByte();
        if (b == kEndOfData)
            break;
        out.push_back(static_cast<uint8_t>(b));
    }
    return out;
}

// The same through read, in blocks of 1 to 13 bytes and one large block.
Bytes decodeInBlocks(const Bytes& data, const CcittParams& params) {
    MemorySource source{&data};
    CcittFaxDecoder decoder(&MemorySource::read, &source);
    decoder.start(params);
    Bytes out;
    for (size_t block = 1;; block = block % 13 + 1) {
        if (block == 13)
            block = 100000;
        size_t at = out.size();
        out.resize(at + block);
        size_t got = decoder.read(out.data() + at, block);
        out.resize(at + got);
        if (got < block)
            break;
    }
    return out;
}

// Compares decoded rows with the image: white pixels are 1 (0 with
// BlackIs1), the bits after the last column 0 before inversion.
void expectImage(const Bytes& out, const Pbm& pbm, int rows, bool blackIs1) {
    const int rowBytes = (pbm.width + 7) / 8;
    ASSERT_EQ(out.size(), static_cast<size_t>(rows * rowBytes));
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < rowBytes * 8; ++x) {
            bool bit = out[y * rowBytes + x / 8] & (0x80 >> (x % 8));
            bool want = x < pbm.width ? !pbm.black(x, y) : false;
            if (blackIs1)
                want = !want;
            ASSERT_EQ(bit, want) << "row " << y << " column " << x;
        }
    }
}

struct FixtureCase {
    const char* image;
    const char* coding;
    int32_t k;
    bool endOfBlock;
    bool blackIs1;
};

void PrintTo(const FixtureCase& c, std::ostream* os) {
    *os << c.image << "." << c.coding;
}

class CcittFixtureTest : public ::testing::TestWithParam<FixtureCase> {};

// Group 3 (one- and two-dimensional) and group 4 data made by libtiff: row
// widths from 1 to 2700 columns, runs of every code class.
TEST_P(CcittFixtureTest, DecodesTheImage) {
    const FixtureCase& c = GetParam();
    Pbm pbm = readPbm(fixture(std::string(c.image) + ".pbm"));
    Bytes data = readBytes(fixture(std::string(c.image) + "." + c.coding));
    ASSERT_FALSE(data.empty());
    CcittParams params;
    params.k = c.k;
    params.columns = pbm.width;
    params.endOfBlock = c.endOfBlock;
    params.blackIs1 = c.blackIs1;
    if (!c.endOfBlock)
        params.rows = pbm.height;
    Bytes out = decode(data, params);
    expectImage(out, pbm, pbm.height, c.blackIs1);
    EXPECT_EQ(decodeInBlocks(data, params), out);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, CcittFixtureTest,
    ::testing::Values(
        FixtureCase{"wide", "g31d", 0, true, false}, FixtureCase{"wide", "g32d", 4, true, false},
        FixtureCase{"wide", "g4", -1, true, false}, FixtureCase{"wide", "g31d", 0, false, false},
        FixtureCase{"wide", "g32d", 2, false, true}, FixtureCase{"wide", "g4", -1, false, false},
        FixtureCase{"codes", "g31d", 0, true, false}, FixtureCase{"codes", "g32d", 1, true, false},
        FixtureCase{"codes", "g4", -1, true, false}, FixtureCase{"odd", "g31d", 0, true, true},
        FixtureCase{"odd", "g32d", 1, true, false}, FixtureCase{"odd", "g4", -1, true, false},
        FixtureCase{"narrow", "g31d", 0, true, false},
        FixtureCase{"narrow", "g32d", 3, false, false}, FixtureCase{"narrow", "g4", -1, true, true},
        FixtureCase{"single", "g31d", 0, false, false},
        FixtureCase{"single", "g32d", 1, true, false},
        FixtureCase{"single", "g4", -1, true, false}),
    [](const ::testing::TestParamInfo<FixtureCase>& info) {
        const FixtureCase& c = info.param;
        return std::string(c.image) + "_" + c.coding + (c.endOfBlock ? "" : "_noEOB") +
               (c.blackIs1 ? "_blackIs1" : "");
    });

TEST(CcittFaxDecoderTest, TruncatedDataKeepsTheWholeRowsBeforeTheCut) {
    Pbm pbm = readPbm(fixture("wide.pbm"));
    for (const char* coding : {"g31d", "g4"}) {
        Bytes data = readBytes(fixture(std::string("wide.") + coding));
        data.resize(data.size() / 2);
        CcittParams params;
        params.k = coding[1] == '4' ? -1 : 0;
        params.columns = pbm.width;
        Bytes out = decode(data, params);
        const size_t rowBytes = (pbm.width + 7) / 8;
        ASSERT_GT(out.size(), 0u) << coding;
        ASSERT_EQ(out.size() % rowBytes, 0u) << coding;
        int rows = static_cast<int>(out.size() / rowBytes);
        EXPECT_LT(rows, pbm.height) << coding;
        expectImage(out, pbm, rows, false);
    }
}

struct BitsCase {
    const char* name;
    CcittParams params;
    const char* data;
    Bytes expected;
};

void PrintTo(const BitsCase& c, std::ostream* os) {
    *os << c.name;
}

CcittParams make(int32_t k, int32_t columns, const std::function<void(CcittParams&)>& more = {}) {
    CcittParams p;
    p.k = k;
    p.columns = columns;
    if (more)
        more(p);
    return p;
}

class CcittBitsTest : public ::testing::TestWithParam<BitsCase> {};

TEST_P(CcittBitsTest, Decodes) {
    const BitsCase& c = GetParam();
    EXPECT_EQ(decode(bits(c.data), c.params), c.expected);
}

// Code strings: white 8 = 10011, white 3 = 1000, black 7 = 00011,
// white 1 = 000111, black 1 = 010, white 2 = 0111, black 2 = 11,
// EOL = 000000000001, horizontal = 001, V0 = 1, VL3 = 0000010.
INSTANTIATE_TEST_SUITE_P(
    Rows, CcittBitsTest,
    ::testing::Values(
        // A row ends as soon as its positions reach Columns: no black run follows.
        BitsCase{"WhiteRowOfEight", make(0, 8), "10011", {0xFF}},
        BitsCase{"WhiteRowOfEightBlackIs1",
                 make(0, 8, [](auto& p) { p.blackIs1 = true; }),
                 "10011",
                 {0x00}},
        // 10 columns: the bits after the last column are 0 before BlackIs1.
        BitsCase{"TenColumns", make(0, 10), "1000 00011", {0xE0, 0x00}},
        BitsCase{"TenColumnsBlackIs1",
                 make(0, 10, [](auto& p) { p.blackIs1 = true; }),
                 "1000 00011",
                 {0x1F, 0xFF}},
        // A row starting black has a white run of 0 first.
        BitsCase{"StartsBlack", make(0, 8), "00110101 010 0111 11 000111 11", {0x64}},
        // /Rows ends the data when /EndOfBlock is false, even with more rows coded.
        BitsCase{"RowsLimit",
                 make(0, 8,
                      [](auto& p) {
                          p.rows = 2;
                          p.endOfBlock = false;
                      }),
                 "10011 10011 10011",
                 {0xFF, 0xFF}},
        // Negative /Rows counts as 0: no limit.
        BitsCase{"NegativeRows",
                 make(0, 8,
                      [](auto& p) {
                          p.rows = -2;
                          p.endOfBlock = false;
                      }),
                 "10011 10011 10011",
                 {0xFF, 0xFF, 0xFF}},
        // An end-of-line code after each row is skipped in either mode.
        BitsCase{"EndOfLineBetweenRows",
                 make(0, 8, [](auto& p) { p.endOfBlock = false; }),
                 "10011 000000000001 10011",
                 {0xFF, 0xFF}},
        // Group 4: two EOL codes after a row end the data at once.
        BitsCase{"EndOfBlockGroup4", make(-1, 8), "1 000000000001 000000000001 1 1", {0xFF}},
        // Group 3: after the two EOL codes, four more 12-bit groups follow
        // (the return to control); the rows coded after them are not decoded.
        BitsCase{"ReturnToControl1D",
                 make(0, 8),
                 "10011 000000000001 000000000001 000000000001 000000000001"
                 " 000000000001 000000000001 10011",
                 {0xFF}},
        BitsCase{"ReturnToControlMixed",
                 make(2, 8),
                 "000000000001 1 10011 000000000001 1 000000000001 1 000000000001 1"
                 " 000000000001 1 000000000001 1 000000000001 1 10011",
                 {0xFF}},
        // Mixed coding: the tag bit after the EOL picks a two-dimensional row.
        BitsCase{"MixedTagBits",
                 make(1, 8),
                 "000000000001 1 1000 00011 000000000001 0 1 1 000000000001 0 001 0111 11 1",
                 {0xE0, 0xE0, 0xCF}},
        // EncodedByteAlign: each row starts on a byte boundary.
        BitsCase{"EncodedByteAlign",
                 make(0, 8, [](auto& p) { p.encodedByteAlign = true; }),
                 "10011 111 1000 00011 0",
                 {0xFF, 0xE0}},
        // No code matches (here fill bits): the data ends, earlier rows stay.
        BitsCase{"BadCodeEndsData", make(-1, 8), "1 0000000 1", {0xFF}},
        // Data ending inside a row drops that row.
        BitsCase{"EndInsideRow", make(0, 8), "10011 1000", {0xFF}}),
    [](const ::testing::TestParamInfo<BitsCase>& info) { return std::string(info.param.name); });

TEST(CcittFaxDecoderTest, DefaultsToGroup3With1728Columns) {
    // Data starting with an EOL: the EOL is skipped, a white run of 1728
    // (make-up 1728 + terminating 0) fills the row.
    Bytes out = decode(bits("000000000001 010011011 00110101"), CcittParams{});
    EXPECT_EQ(out, Bytes(216, 0xFF));
}

// Hostile data must end cleanly, never touch memory outside the lines and
// never hang.
TEST(CcittFaxDecoderTest, RefusesColumnsOutsideOneTo65536) {
    for (int32_t columns : {0, -1, -1728, 65537, INT32_MAX}) {
        bool started = true;
        Bytes out = decode(bits("10011"), make(0, columns), 16, &started);
        EXPECT_FALSE(started) << columns;
        EXPECT_TRUE(out.empty()) << columns;
    }
    bool started = false;
    decode(bits("1"), make(-1, 65536), 16, &started);
    EXPECT_TRUE(started);
}

TEST(CcittFaxDecoderTest, LeftShiftsPastTheStartEndTheData) {
    // Row 1: horizontal white 1 black 1, then V0: W B W...; then a stream of
    // VL3 codes, which point before the start of the line over and over.
    std::string data = "001 000111 010 1";
    for (int i = 0; i < 60; ++i)
        data += " 0000010";
    EXPECT_EQ(decode(bits(data), make(-1, 16)), (Bytes{0xBF, 0xFF}));
}

TEST(CcittFaxDecoderTest, RunsThatDoNotAdvanceEndTheData) {
    // White 0 and black 0 again and again: the changing elements never
    // reach Columns; the line's capacity ends the data.
    std::string oneD;
    for (int i = 0; i < 100; ++i)
        oneD += " 00110101 0000110111";
    EXPECT_TRUE(decode(bits(oneD), make(0, 8)).empty());
    // The same with horizontal mode codes of two empty runs.
    std::string twoD;
    for (int i = 0; i < 100; ++i)
        twoD += " 001 00110101 0000110111";
    EXPECT_TRUE(decode(bits(twoD), make(-1, 8)).empty());
}

TEST(CcittFaxDecoderTest, EndlessMakeUpCodesDoNotOverflow) {
    // About a million make-up codes of 2560 (000000011111) in one run, then
    // a terminating white 0: the run is capped, the row is all white.
    Bytes data;
    for (int i = 0; i < 500000; ++i) {
        data.insert(data.end(), {0x01, 0xF0, 0x1F});  // two codes
    }
    Bytes tail = bits("00110101");
    data.insert(data.end(), tail.begin(), tail.end());
    EXPECT_EQ(decode(data, make(0, 16)), (Bytes{0xFF, 0xFF}));
}

// The filter link reads its parameters from the /DecodeParms map.
TEST(CcittFaxDecodeStreamTest, ReadsTheDecodeParms) {
    Pbm pbm = readPbm(fixture("odd.pbm"));
    Bytes data = readBytes(fixture("odd.g32d"));
    MemoryInputStream memory(data.data(), data.size());
    CcittFaxDecodeStream filter(&memory, nullptr);
    auto owned = std::make_unique<FilterParams>();
    FilterParams* params = owned.get();
    params->set(u"/K", 1);
    params->set(u"/Columns", pbm.width);
    params->set(u"/Rows", pbm.height);
    params->set(u"/EndOfBlock", 0);
    params->set(u"/BlackIs1", 1);
    EXPECT_EQ(filter.setParameters(std::move(owned)), params);
    const CcittParams& p = filter.ccittParams();
    EXPECT_EQ(p.k, 1);
    EXPECT_EQ(p.columns, pbm.width);
    EXPECT_EQ(p.rows, pbm.height);
    EXPECT_FALSE(p.endOfBlock);
    EXPECT_TRUE(p.blackIs1);
    EXPECT_FALSE(p.encodedByteAlign);
    EXPECT_FALSE(filter.atEnd());
    Bytes out((pbm.width + 7) / 8 * pbm.height);
    EXPECT_EQ(filter.read(out.data(), out.size()), static_cast<std::int64_t>(out.size()));
    expectImage(out, pbm, pbm.height, true);
    EXPECT_TRUE(filter.atEnd());
    EXPECT_EQ(filter.getByte(), kEndOfData);
    // A byte given back comes again, also after the end.
    filter.unread(0x42);
    EXPECT_EQ(filter.getByte(), 0x42);
    filter.close();
    EXPECT_EQ(filter.getByte(), kEndOfData);
}

TEST(CcittFaxDecodeStreamTest, WithoutParametersIsGroup3With1728Columns) {
    Bytes data = bits("010011011 00110101 010011011 00110101");
    MemoryInputStream memory(data.data(), data.size());
    CcittFaxDecodeStream filter(&memory, nullptr);
    EXPECT_EQ(filter.ccittParams().columns, 1728);
    EXPECT_EQ(filter.ccittParams().k, 0);
    EXPECT_TRUE(filter.ccittParams().endOfBlock);
    Bytes out(2 * 216 + 1);
    EXPECT_EQ(filter.read(out.data(), out.size()), 2 * 216);
}

TEST(CcittFaxDecodeStreamTest, ColumnsOutOfRangeEndTheData) {
    Bytes data = bits("10011 10011");
    for (int32_t columns : {0, -8, 1 << 20}) {
        MemoryInputStream memory(data.data(), data.size());
        CcittFaxDecodeStream filter(&memory, nullptr);
        auto params = std::make_unique<FilterParams>();
        params->set(u"/Columns", columns);
        filter.setParameters(std::move(params));
        EXPECT_EQ(filter.getByte(), kEndOfData) << columns;
        EXPECT_TRUE(filter.atEnd()) << columns;
    }
}

TEST(CcittFaxDecodeStreamTest, OverAClosedStreamIsClosed) {
    MemoryInputStream memory(nullptr, 5);
    CcittFaxDecodeStream filter(&memory, nullptr);
    EXPECT_FALSE(filter.isOpen());
    EXPECT_EQ(filter.getByte(), kEndOfData);
    CcittFaxDecodeStream none(nullptr, std::make_unique<FilterParams>());
    EXPECT_FALSE(none.isOpen());
    EXPECT_EQ(none.getByte(), kEndOfData);
}

}  // namespace
}  // namespace vistrel
