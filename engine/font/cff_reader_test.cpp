#include "engine/font/cff_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace vistrel {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(CffReaderTest, DictOperands) {
    struct Case {
        const char* label;
        Bytes operand;
        double value;
        bool isInteger;
    } cases[] = {
        {"28 FF 38", {28, 0xFF, 0x38}, -200, true},
        {"29", {29, 0xFF, 0xFF, 0xFF, 0xFE}, -2, true},
        {"32", {32}, -107, true},
        {"246", {246}, 107, true},
        {"247 0", {247, 0}, 108, true},
        {"250 255", {250, 255}, 1131, true},
        {"251 0", {251, 0}, -108, true},
        {"254 255", {254, 255}, -1131, true},
        {"real -2.25", {30, 0xE2, 0xA2, 0x5F}, -2.25, false},
        {"real 1E-3", {30, 0x1C, 0x3F}, 0.001, false},
        {"real 1.5E2", {30, 0x1A, 0x5B, 0x2F}, 150, false},
        {"real .5 ending in its low nibble", {30, 0xA5, 0xFF}, 0.5, false},
        {"real without digits", {30, 0xAF}, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Bytes dict = c.operand;
        dict.push_back(17);
        std::vector<CffReader::Operand> seen;
        std::int32_t op = -1;
        CffReader::parseDict(dict, [&](std::int32_t o, std::span<const CffReader::Operand> args) {
            op = o;
            seen.assign(args.begin(), args.end());
        });
        EXPECT_EQ(op, 17);
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_DOUBLE_EQ(seen[0].real, c.value);
        EXPECT_EQ(seen[0].isInteger, c.isInteger);
        EXPECT_EQ(seen[0].integer, std::int32_t(c.value));
    }

    // Two-byte operators; a reserved byte or one cut short ends the DICT.
    std::vector<std::int32_t> ops;
    const Bytes dict = {139, 12, 7, 139, 5, 255, 139, 17};
    CffReader::parseDict(dict, [&](std::int32_t o, auto) { ops.push_back(o); });
    EXPECT_EQ(ops, (std::vector<std::int32_t>{CffReader::kEscape + 7, 5}));
    ops.clear();
    CffReader::parseDict(Bytes{139, 17, 28, 1}, [&](std::int32_t o, auto) { ops.push_back(o); });
    EXPECT_EQ(ops, (std::vector<std::int32_t>{17}));
}

TEST(CffReaderTest, Indexes) {
    struct Case {
        const char* label;
        Bytes data;
        bool read;
        std::vector<Bytes> entries;
        std::size_t end;
    } cases[] = {
        {"empty", {0, 0, 9}, true, {}, 2},
        {"two entries", {0, 2, 1, 1, 2, 4, 'a', 'b', 'c', 9}, true, {{'a'}, {'b', 'c'}}, 9},
        {"an empty entry", {0, 2, 1, 1, 1, 2, 'a'}, true, {{}, {'a'}}, 7},
        {"offset size 0", {0, 1, 0, 1, 2, 'a'}, false, {}, 0},
        {"offset size 5", {0, 1, 5, 0, 0, 0, 0, 1, 0, 0, 0, 0, 2, 'a'}, false, {}, 0},
        {"first offset 0", {0, 1, 1, 0, 1, 'a'}, false, {}, 0},
        {"falling offsets", {0, 2, 1, 1, 3, 2, 'a', 'b'}, false, {}, 0},
        {"past the data", {0, 1, 1, 1, 3, 'a'}, false, {}, 0},
        {"offsets cut short", {0, 3, 1, 1, 2}, false, {}, 0},
        {"no count", {0}, false, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        CffReader in(c.data);
        std::vector<std::span<const std::uint8_t>> entries;
        ASSERT_EQ(in.readIndex(entries), c.read);
        if (!c.read)
            continue;
        EXPECT_EQ(in.position(), c.end);
        ASSERT_EQ(entries.size(), c.entries.size());
        for (std::size_t i = 0; i < entries.size(); ++i)
            EXPECT_EQ(Bytes(entries[i].begin(), entries[i].end()), c.entries[i]);
    }
}

}  // namespace
}  // namespace vistrel
