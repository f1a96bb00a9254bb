#include "engine/core/bit_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "engine/core/streams.h"

namespace vistrel {
namespace {

struct BitsCase {
    const char* what;
    std::vector<std::uint8_t> bytes;
    std::vector<int> widths;
    std::vector<std::uint16_t> results;
};

// Each case reads the widths in order and expects the results, including what
// comes once the data runs out.
TEST(BitReaderTest, ReadBits) {
    const BitsCase cases[] = {
        {"whole bytes", {0xB5, 0x3C}, {8, 8, 8}, {0xB5, 0x3C, 0xFFFF}},
        {"within one byte", {0xB5}, {1, 3, 4}, {1, 0x3, 0x5}},
        {"across two bytes", {0xB5, 0x3C}, {3, 9, 4}, {0x5, 0x153, 0xC}},
        {"across three bytes", {0xB5, 0x3C, 0xF0}, {1, 15, 8}, {1, 0x353C, 0xF0}},
        {"twelve-bit codes", {0x12, 0x34, 0x56}, {12, 12}, {0x123, 0x456}},
        {"16 or more bits refused", {0xFF, 0xFF, 0xFF}, {16, 20, 4}, {0xFFFF, 0xFFFF, 0xF}},
        {"zero bits read nothing", {0xA0}, {0, 3, 0}, {0, 0x5, 0}},
        {"missing first byte", {}, {4, 1}, {0xFFFF, 0xFFFF}},
        {"missing later byte reads as ones", {0x80}, {4, 8}, {0x8, 0xFF}},
        {"missing bytes of a long read", {0x00}, {2, 14}, {0, 0x3FFF}},
        {"bits of the last byte, then the end", {0x0F}, {4, 4, 1}, {0, 0xF, 0xFFFF}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryInputStream in(c.bytes.data(), c.bytes.size());
        BitReader reader(&in);
        ASSERT_TRUE(reader.isOpen());
        for (std::size_t i = 0; i < c.widths.size(); ++i) {
            EXPECT_EQ(reader.readBits(c.widths[i]), c.results[i]) << "read " << i;
        }
    }
}

TEST(BitReaderTest, AttachmentFollowsTheSource) {
    BitReader none;
    EXPECT_FALSE(none.isOpen());
    EXPECT_TRUE(none.endFlag);
    EXPECT_EQ(none.readBits(1), kEndOfData);

    const std::uint8_t bytes[] = {0xC0};
    MemoryInputStream closed(bytes, 1);
    closed.close();
    BitReader onClosed(&closed);
    EXPECT_FALSE(onClosed.isOpen());
    EXPECT_TRUE(onClosed.atEnd());
    EXPECT_EQ(onClosed.readBits(1), kEndOfData);

    MemoryInputStream in(bytes, 1);
    BitReader reader(&in);
    EXPECT_FALSE(reader.atEnd());
    EXPECT_EQ(reader.readBits(1), 1);
    // reset clears the partly used byte and starts over on the source.
    in.rewind();
    reader.reset(&in);
    EXPECT_EQ(reader.bitsUsed, 0);
    EXPECT_EQ(reader.readBits(2), 3);
    EXPECT_EQ(reader.readBits(6), 0);
    EXPECT_TRUE(reader.atEnd());
}

TEST(BitSetTest, BitsAndWords) {
    BitSet set(33);
    EXPECT_EQ(set.wordCount(), 2u);
    set.assignBit(31, true);
    EXPECT_TRUE(set.test(31));
    EXPECT_EQ(set.word(0), 0x80000000u);
    EXPECT_EQ(set.word(1), 0u);
    set.assignBit(32, true);
    EXPECT_EQ(set.word(1), 1u);
    set.assignBit(31, false);
    EXPECT_EQ(set.word(0), 0u);
    EXPECT_FALSE(set.test(500));
    set.assignBit(500, true);  // outside the set: ignored
    EXPECT_EQ(set.word(1), 1u);

    BitSet copy(set);
    copy.assignBit(0, true);
    EXPECT_FALSE(set.test(0));
    EXPECT_TRUE(copy.test(32));

    set.invert();
    EXPECT_EQ(set.word(0), 0xFFFFFFFFu);
    EXPECT_EQ(set.word(1), 0xFFFFFFFEu);  // bits beyond the count included
}

TEST(BitSetTest, WordOperations) {
    BitSet a(64), b(64), small(8);
    a.assignBit(1, true);
    a.assignBit(40, true);
    b.assignBit(1, true);
    b.assignBit(2, true);
    small.assignBit(2, true);

    BitSet x(a);
    x.xorWith(b);
    EXPECT_EQ(x.word(0), 0x4u);
    EXPECT_EQ(x.word(1), 0x100u);
    BitSet o(a);
    o.orWith(b);
    EXPECT_EQ(o.word(0), 0x6u);
    BitSet n(a);
    n.andWith(b);
    EXPECT_EQ(n.word(0), 0x2u);
    EXPECT_EQ(n.word(1), 0u);
    // A shorter other set counts as zero beyond its words.
    BitSet s(a);
    s.orWith(small);
    EXPECT_EQ(s.word(0), 0x6u);
    EXPECT_EQ(s.word(1), 0x100u);
    s.andWith(small);
    EXPECT_EQ(s.word(0), 0x4u);
    EXPECT_EQ(s.word(1), 0u);
}

TEST(NumericHelpersTest, Functions) {
    const double pi = std::numbers::pi;
    EXPECT_DOUBLE_EQ(DegToRad(180), pi);
    EXPECT_DOUBLE_EQ(RadToDeg(pi), 180);
    EXPECT_EQ(Ln(1), 0.0);
    EXPECT_EQ(Log10(1), 0.0);
    EXPECT_DOUBLE_EQ(Log10(1000), 3.0);
    EXPECT_DOUBLE_EQ(Ln(std::numbers::e), 1.0);
    EXPECT_DOUBLE_EQ(Atan(1), pi / 4);
    EXPECT_DOUBLE_EQ(Acos(-1), pi);
    EXPECT_DOUBLE_EQ(Pow(2, 10), 1024);
    EXPECT_DOUBLE_EQ(Sqrt(2.25), 1.5);
    EXPECT_EQ(cieGammaNumerator(), 1.43);
}

// Samples of each width, most significant first, up to the end of the row:
// a sample that would need bits beyond the byte count ends the row.
TEST(RowCursorTest, ReadSample) {
    const struct {
        int bits;
        std::vector<std::uint8_t> bytes;
        std::vector<std::uint16_t> samples;  // then the end
    } cases[] = {
        {1, {0xA5}, {1, 0, 1, 0, 0, 1, 0, 1}},
        {2, {0xE4, 0x80}, {3, 2, 1, 0, 2, 0, 0, 0}},
        {4, {0x9C}, {9, 12}},
        {8, {0x00, 0xFF, 0x7F}, {0, 255, 127}},
        {12, {0xAB, 0xCD, 0xEF}, {0xABC, 0xDEF}},
        {12, {0xAB, 0xCD}, {0xABC}},  // four bits left over: the end
        {16, {0x12, 0x34, 0x56}, {0x1234}},
        {3, {0xB6, 0xDB}, {5, 5, 5, 5, 5}},
        {0, {0xFF}, {}},
        {17, {0xFF, 0xFF, 0xFF}, {}},
    };
    for (const auto& c : cases) {
        RowCursor cursor;
        cursor.init(c.bits, c.bytes.data(), c.bytes.size());
        std::vector<std::uint16_t> got;
        for (int i = 0; i < 64; ++i) {
            const std::uint16_t s = cursor.readSample();
            if (s == RowCursor::kEndOfRow && cursor.endFlag)
                break;
            got.push_back(s);
        }
        EXPECT_EQ(got, c.samples) << c.bits << " bits";
        EXPECT_TRUE(cursor.endFlag);
        EXPECT_EQ(cursor.readSample(), RowCursor::kEndOfRow);
    }
}

TEST(NumericHelpersTest, ByteOrder) {
    std::uint32_t w = 0x12345678;
    reverseBytes32(w);
    EXPECT_EQ(w, 0x78563412u);
    std::uint32_t v = 0x12345678;
    toLittleEndian32(v);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&v);
    EXPECT_EQ(bytes[0], 0x78);
    EXPECT_EQ(bytes[3], 0x12);

    const std::int32_t a[2] = {5, 0}, b[2] = {5, 9}, c[2] = {6, 0};
    EXPECT_TRUE(firstWordEqual(a, b));
    EXPECT_FALSE(firstWordDiffers(a, b));
    EXPECT_TRUE(firstWordDiffers(a, c));
}

}  // namespace
}  // namespace vistrel
