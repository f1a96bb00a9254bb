#include "engine/export/compress_record.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// The coding byte by byte, as the device reads it back.
std::string codeByteByByte(const std::string& in) {
    if (in.size() < 3)
        return in;
    std::string out;
    for (std::size_t i = 0; i < in.size();) {
        const char b = in[i++];
        out += b;
        if (i < in.size() && in[i] == b) {
            out += b;
            if (++i == in.size())
                break;
            unsigned count = 0;
            for (; i < in.size() && count < 255 && in[i] == b; ++i)
                ++count;
            out += char(count);
        }
    }
    return out;
}

TEST(CompressRecord, RowsOfEveryMixCodeAsByteByByte) {
    // Pairs and runs at every position of the blocks the coder scans at
    // once, between stretches of bytes that each differ from the next.
    const struct {
        unsigned alphabet;  // distinct bytes: 2 makes pairs frequent, 200 rare
        std::size_t length;
    } cases[] = {{2, 3},    {2, 17},    {3, 33},     {5, 153},   {200, 16},
                 {200, 17}, {200, 153}, {200, 1000}, {256, 4096}};
    for (const auto& c : cases) {
        for (unsigned seed = 1; seed <= 40; ++seed) {
            std::string row;
            unsigned state = seed;
            while (row.size() < c.length) {
                state = state * 1103515245u + 12345u;
                const char b = char((state >> 16) % c.alphabet);
                // Now and then a run, at times past a count's 255.
                const std::size_t run = (state >> 8) % 23 == 0 ? (state >> 4) % 300 : 1;
                row.append(std::min(run, c.length - row.size()), b);
            }
            ASSERT_EQ(code(row), codeByteByByte(row)) << c.length << " bytes, seed " << seed;
        }
    }
}

}  // namespace
}  // namespace vistrel
