#include "engine/font/font_program_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/font/type1_test_util.h"

namespace vistrel {
namespace {

using namespace std::string_literals;

// The rest of a stream as text.
std::string rest(InputStream& in) {
    std::string s;
    for (std::int32_t c = readChar(in); c >= 0; c = readChar(in))
        s.push_back(char(c));
    return s;
}

// readInteger keeps a sign, consumes a space after the digits and gives any
// other character back; readToken stops at a space; readNumber scales by
// 1000 and reads the leading number of a token.
TEST(FontProgramReaderTest, Readers) {
    const struct {
        const char* text;
        std::int32_t integer;
        const char* afterInteger;
        const char* token;
        double number;
    } cases[] = {
        {"  -12 RD", -12, "RD", "-12", -12000.0},
        {"42/space put", 42, "/space put", "42/space", 42000.0},
        {"0.001 0", 0, ".001 0", "0.001", 1.0},
        {"0]readonly def", 0, "]readonly def", "0]readonly", 0.0},
        {"-2.5e-1 x", -2, ".5e-1 x", "-2.5e-1", -250.0},
        {"x12 y", 0, "y", "x12", 0.0},
        {"99999999999 z", 2147483647, "z", "99999999999", 99999999999000.0},
        {"", 0, "", "", 0.0},
    };
    for (const auto& c : cases) {
        const std::string text = c.text;
        MemoryInputStream a(text.data(), text.size());
        EXPECT_EQ(readInteger(a), c.integer) << c.text;
        EXPECT_EQ(rest(a), c.afterInteger) << c.text;
        MemoryInputStream b(text.data(), text.size());
        std::string token;
        EXPECT_EQ(readToken(b, token), !text.empty()) << c.text;
        EXPECT_EQ(token, c.token);
        MemoryInputStream d(text.data(), text.size());
        EXPECT_DOUBLE_EQ(readNumber(d), c.number) << c.text;
    }
}

TEST(FontProgramReaderTest, FontMatrixAndSkipTo) {
    const std::string text = "/FontMatrix [0.001 0 0.0005 0.002 0 0]readonly def";
    MemoryInputStream in(text.data(), text.size());
    std::array<double, 6> m{};
    ASSERT_TRUE(readFontMatrix(in, m));
    const double expected[] = {1, 0, 0.5, 2, 0, 0};
    for (int i = 0; i < 6; ++i)
        EXPECT_DOUBLE_EQ(m[std::size_t(i)], expected[i]);
    EXPECT_EQ(rest(in), "def");
    const std::string none = "no bracket";
    MemoryInputStream empty(none.data(), none.size());
    EXPECT_FALSE(readFontMatrix(empty, m));

    const std::string words = "dux dup 5";
    MemoryInputStream w(words.data(), words.size());
    EXPECT_TRUE(skipTo(w, "dup"));
    EXPECT_EQ(rest(w), " 5");
    MemoryInputStream w2(words.data(), words.size());
    EXPECT_FALSE(skipTo(w2, "put"));
}

// "/FontMatrix" completes on its "x" although "/FontBBox" shared its first
// five characters; match positions carry over from one call (and stream)
// to the next until the table is reset.
TEST(FontProgramReaderTest, FindNextKeyword) {
    KeywordTable table;
    buildType1KeywordTable(table);
    const std::string text = "/FontBBox{0 0 1 1} /FontMatrix[1] /Subrs /Private /lenI";
    MemoryInputStream in(text.data(), text.size());
    EXPECT_EQ(findNextKeyword(in, table), kKeywordFontBBox);
    EXPECT_EQ(findNextKeyword(in, table), kKeywordFontMatrix);
    EXPECT_EQ(rest(in).substr(0, 4), "[1] ");
    MemoryInputStream again(text.data(), text.size());
    for (int i = 0; i < 3; ++i)
        findNextKeyword(again, table);
    EXPECT_EQ(findNextKeyword(again, table), -1);

    const std::string next = "V 2";
    MemoryInputStream carried(next.data(), next.size());
    EXPECT_EQ(findNextKeyword(carried, table), kKeywordLenIV);
    MemoryInputStream halfDone(text.data(), text.size());
    while (findNextKeyword(halfDone, table) >= 0) {
    }
    table.reset();
    MemoryInputStream fresh(next.data(), next.size());
    EXPECT_EQ(findNextKeyword(fresh, table), -1);
}

// A PFB file and the same program as plain data give the same characters;
// the segment headers never reach the reader, not even when a segment is
// empty, and a type 3 segment or a cut header ends the data.
TEST(FontProgramReaderTest, EexecStreamForms) {
    testing::Type1Program program;
    program.glyphs = {{"A", "0 500 hsbw endchar"}};
    auto decrypted = [](const std::string& bytes) {
        MemoryInputStream inner(bytes.data(), bytes.size());
        EexecStream in(inner);
        std::string s;
        std::int32_t c = 0;
        while (!s.ends_with("eexec") && (c = readChar(in)) >= 0)
            s.push_back(char(c));
        in.startDecrypting();
        return s + "|" + rest(in);
    };
    const std::string plain = decrypted(program.plain());
    // The four bytes that lead the encrypted part come out first.
    EXPECT_NE(plain.find("|xxxxdup /Private"), std::string::npos);
    EXPECT_NE(plain.find("/CharStrings 1 dict"), std::string::npos);
    EXPECT_EQ(decrypted(program.pfb()), plain);
    program.lineEnd = "\r\n";
    EXPECT_EQ(decrypted(program.plain()), plain);

    const struct {
        std::string bytes;
        const char* chars;
    } segments[] = {
        {"\x80\x01\x02\0\0\0ab\x80\x01\0\0\0\0\x80\x02\x01\0\0\0c\x80\x03xyz"s, "abc"},
        {"\x80\x01\x02\0\0\0ab\x80\x01\x05"s, "ab"},
        {"\x80\x01\x09\0\0\0abc"s, "abc"},
        {"plain", "plain"},
    };
    for (const auto& s : segments) {
        MemoryInputStream inner(s.bytes.data(), s.bytes.size());
        EexecStream in(inner);
        EXPECT_EQ(rest(in), s.chars);
    }
}

// Decrypting drops lenIV bytes (none below 1, every byte decrypted all the
// same) and undoes the encryption.
TEST(FontProgramReaderTest, CharStringDecryption) {
    const std::string plain = "\x8b\x8b\x0d\x0e";
    const struct {
        std::int32_t lenIV;
        int lead;
    } cases[] = {{4, 4}, {0, 0}, {-1, 0}, {2, 2}};
    for (const auto& c : cases) {
        const std::string cipher = testing::encrypt(plain, 4330, c.lead);
        EXPECT_EQ(cipher.size(), plain.size() + std::size_t(c.lead));
        EXPECT_EQ(type1Decrypt(cipher, c.lenIV), plain) << c.lenIV;
    }
    EXPECT_EQ(type1Decrypt("abc", 4), "");
}

TEST(FontProgramReaderTest, CharStringNumbers) {
    const struct {
        std::string bytes;
        bool read;
        std::int32_t value;
        std::size_t position;
    } cases[] = {
        {"\x8b", true, 0, 1},
        {"\x20", true, -107, 1},
        {"\xf6", true, 107, 1},
        {std::string("\xf7\x00", 2), true, 108, 2},
        {"\xfa\xff", true, 1131, 2},
        {std::string("\xfb\x00", 2), true, -108, 2},
        {"\xfe\xff", true, -1131, 2},
        {std::string("\xff\x00\x01\x00\x00", 5), true, 65536, 5},
        {"\xff\xff\xff\xff\xff", true, -1, 5},
        {"\xf7", false, 0, 1},
        {"\xff\x01\x02", false, 0, 3},
    };
    for (const auto& c : cases) {
        std::size_t position = 0;
        std::int32_t value = 0;
        EXPECT_EQ(readCharStringNumber(c.bytes, position, value), c.read);
        EXPECT_EQ(position, c.position);
        if (c.read) {
            EXPECT_EQ(value, c.value);
        }
    }
}

}  // namespace
}  // namespace vistrel
