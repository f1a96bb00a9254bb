#include "engine/export/compress_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vistrel {
namespace {

std::string code(const std::string& in) {
    std::string out(compressedCapacity(in.size()), '\0');
    const std::size_t n = compressRecord(reinterpret_cast<const std::uint8_t*>(in.data()),
                                         in.size(), reinterpret_cast<std::uint8_t*>(out.data()));
    out.resize(n);
    return out;
}

TEST(CompressRecord, CodesRowsAsTheDeviceReads) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"abc", "abc"},
        {"aaaa", std::string("aa\x02", 3)},
        {"abb", "abb"},  // a pair ending the row has no count
        {"aab", std::string("aa\0b", 4)},
        {std::string(300, 'x'), "xx\xffxx\x29"},
        {std::string(258, 'x'), "xx\xffx"},  // after a count the next byte starts afresh
        {std::string(265, 'x'), "xx\xffxx\x06"},
        {std::string(20, 'x') + "y", "xx\x12y"},
        {"ab" + std::string(13, 'y'), "abyy\x0b"},
        {"xx", "xx"},
        {"x", "x"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(code(c.in), c.out) << c.in.size() << " bytes";
}

TEST(CompressRecord, WorstCaseFitsItsRoom) {
    // Pairs of changing bytes: every pair but the last gets a count of 0.
    std::string row;
    for (int i = 0; i < 31000; ++i)
        row += std::string(2, char(i & 1 ? 'b' : 'a'));
    const std::string coded = code(row);
    EXPECT_EQ(coded.size(), 92999u);
    EXPECT_LE(coded.size(), compressedCapacity(62000));
    EXPECT_EQ(coded.substr(0, 7), std::string("aa\0bb\0a", 7));
}

}  // namespace
}  // namespace vistrel
