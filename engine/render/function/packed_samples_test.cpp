#include "engine/render/function/packed_samples.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/core/streams.h"

namespace vistrel {
namespace {

struct Case {
    std::vector<uint8_t> bytes;
    int bits;
    uint64_t count;
    bool ok;
    std::vector<uint32_t> want;
};

TEST(PackedSamplesTest, ReadsMostSignificantBitFirst) {
    const Case cases[] = {
        {{0x12, 0x34}, 16, 1, true, {0x1234}},
        {{0xA5}, 4, 2, true, {0xA, 0x5}},
        {{0xA5}, 1, 8, true, {1, 0, 1, 0, 0, 1, 0, 1}},
        {{0xE4}, 2, 4, true, {3, 2, 1, 0}},
        {{0xAB, 0xCD, 0xEF}, 12, 2, true, {0xABC, 0xDEF}},
        {{0x01, 0x02, 0x03, 0x04, 0x05, 0x06}, 24, 2, true, {0x010203, 0x040506}},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0x80, 0, 0, 1}, 32, 2, true, {0xFFFFFFFFu, 0x80000001u}},
        {{0x00, 0xFF}, 8, 2, true, {0x00, 0xFF}},
        // extra data is left unread
        {{0x00, 0xFF, 0x77}, 8, 2, true, {0x00, 0xFF}},
        // one byte short
        {{0x00}, 8, 2, false, {}},
        {{0x12}, 16, 1, false, {}},
        // the second sample needs a byte that is missing in the middle of a read
        {{0xAB, 0xCD}, 12, 2, false, {}},
        {{0x01, 0x02, 0x03}, 32, 1, false, {}},
        {{}, 8, 1, false, {}},
        // an all-ones sample is a sample, not the end
        {{0xFF}, 8, 1, true, {0xFF}},
    };
    for (const Case& c : cases) {
        MemoryInputStream in(c.bytes.data(), c.bytes.size());
        std::vector<uint32_t> got;
        bool ok = readPackedSamples(&in, c.bits, c.count, got);
        EXPECT_EQ(ok, c.ok) << c.bits << " bits, " << c.count << " samples";
        if (ok) {
            EXPECT_EQ(got, c.want) << c.bits << " bits";
        }
    }
}

TEST(PackedSamplesTest, NoStreamIsNoData) {
    std::vector<uint32_t> got;
    EXPECT_FALSE(readPackedSamples(nullptr, 8, 1, got));
}

}  // namespace
}  // namespace vistrel
