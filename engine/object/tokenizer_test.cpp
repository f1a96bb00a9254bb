#include "engine/object/tokenizer.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "engine/core/streams.h"

#include "tests/support/test_files.h"

namespace vistrel {
namespace {

using K = Tokenizer::Kind;
using namespace std::string_literals;

// One expected token: kind and text, and for numbers whether it is real and
// its value.
struct Tok {
    int kind;
    std::u16string text;
    bool isReal = false;
    double value = 0;
};

Tok num(const char16_t* text, std::int32_t v) {
    return {K::kNumber, text, false, static_cast<double>(v)};
}
Tok real(const char16_t* text, double v) {
    return {K::kNumber, text, true, v};
}
Tok str(std::u16string text) {
    return {K::kString, std::move(text)};
}
Tok name(const char16_t* text) {
    return {K::kName, text};
}
Tok kw(std::u16string text) {
    return {K::kKeyword, std::move(text)};
}
Tok punct(int kind) {
    return {kind, u""};
}

struct Case {
    std::string input;
    std::vector<Tok> tokens;  // the end token (kind 1) is checked after these
};

std::u16string units(std::initializer_list<char16_t> u) {
    return std::u16string(u);
}

const Case kCases[] = {
    // End of data.
    {"", {}},
    {" \t\r\n\f % a comment\r\n%another", {}},
    // Literal strings.
    {"(a(b)c)", {str(u"a(b)c")}},
    {"(a\\)b)", {str(u"a)b")}},
    {"(\\101)", {str(u"A")}},
    {"(\\1012)", {str(u"A2")}},
    {"(\\0053)", {str(units({5, '3'}))}},
    {"(\\7)", {str(units({7}))}},
    {"(\\q)", {str(u"q")}},
    {"(\\n\\r\\b\\t\\f\\\\\\(\\))", {str(u"\n\r\b\t\f\\()")}},
    {"(a\\\r\nb)", {str(u"ab")}},
    {"(a\\\n\n\r\nb)", {str(u"ab")}},
    {"(a\r\nb)", {str(u"a\r\nb")}},
    {"(\\376\\377\\000A\\000B)", {str(u"AB")}},
    {"(\xFE\xFF\x04\x1F\x00)"s, {str(u"\u041F")}},  // a final odd byte is dropped
    {"(\xFE\xFF)", {str(u"")}},
    {"(\xFE)", {str(units({0xFE}))}},
    {"(\xFF\xFE\x00"
     "A)"s,
     {str(units({0xFF, 0xFE, 0, 'A'}))}},
    {"(unterminated", {str(u"unterminated")}},
    {"(a\\", {str(u"a")}},
    {"()", {str(u"")}},
    // Hexadecimal strings.
    {"<48656C6C6F>", {str(u"Hello")}},
    {"<48 65>", {str(u"He")}},
    {"<4>", {str(u"@")}},
    {"<410>", {str(u"A")}},
    {"<00>", {str(units({0}))}},
    {"<4x1\n>", {str(u"A")}},
    {"<FEFF00410042>", {str(u"AB")}},
    {"<feff041f04>", {str(u"\u041F\u0400")}},
    {"<4142", {str(u"AB")}},  // the end of the data ends it
    {"<", {str(u"")}},
    // ASCII85 strings are read over and give an empty string.
    {"<~87cURD]i,\"Ebo80~>x", {str(u""), kw(u"x")}},
    {"<~abc", {str(u"")}},
    // Names.
    {"/Type", {name(u"/Type")}},
    {"/A#42C", {name(u"/ABC")}},
    {"/A#2f", {name(u"/A/")}},
    {"/A#2F", {name(u"/A/")}},
    {"/A#G", {name(u"/A#G")}},
    {"/A#4G", {name(u"/A\u0004G")}},
    {"/A#", {name(u"/A#")}},
    {"/", {name(u"/")}},
    {"/Type/Page", {name(u"/Type"), name(u"/Page")}},
    {"/a%x\n/b", {name(u"/a"), name(u"/b")}},
    // A tilde is a regular character (Ghostscript names second copies of a
    // font "/Name~27"); only "~>" inside ASCII85 data ends something.
    {"/SFPEEJ+CMBX12~27", {name(u"/SFPEEJ+CMBX12~27")}},
    {"/Times-Roman~27/Type", {name(u"/Times-Roman~27"), name(u"/Type")}},
    {"/~", {name(u"/~")}},
    {"/A~ /~B~", {name(u"/A~"), name(u"/~B~")}},
    {"/A#7E~", {name(u"/A~~")}},
    {"[/F~1]", {punct(K::kLeftBracket), name(u"/F~1"), punct(K::kRightBracket)}},
    {"<</F~1>>", {punct(K::kDictOpen), name(u"/F~1"), punct(K::kDictClose)}},
    {"<~9jqo~>/A~", {str(u""), name(u"/A~")}},
    {"~x ~", {kw(u"~x"), kw(u"~")}},
    {"12~", {name(u"12~")}},
    // Keywords.
    {"true false null obj R", {kw(u"true"), kw(u"false"), kw(u"null"), kw(u"obj"), kw(u"R")}},
    {"BT\nET", {kw(u"BT"), kw(u"ET")}},
    {"a#41", {kw(u"aA")}},
    {std::string("a\0b", 3), {kw(std::u16string(u"a\0b", 3))}},
    // Numbers.
    {"12", {num(u"12", 12)}},
    {"-7", {num(u"-7", -7)}},
    {"+3", {num(u"+3", 3)}},
    {"3.5", {real(u"3.5", 3.5)}},
    {"-0.25", {real(u"-0.25", -0.25)}},
    {".5", {real(u".5", 0.5)}},
    {"-.5", {real(u"-.5", -0.5)}},
    {"-3.25", {real(u"-3.25", -3.25)}},
    {"-", {num(u"-", 0)}},
    {".", {real(u".", 0.0)}},
    {"1.", {real(u"1.", 1.0)}},
    {"1e5", {num(u"1", 1), kw(u"e5")}},
    {"1.2.3", {real(u"1.2", 1.2), real(u".3", 0.3)}},
    {"5%c\n6", {num(u"5", 5), num(u"6", 6)}},
    {"0 17 R", {num(u"0", 0), num(u"17", 17), kw(u"R")}},
    {"[1/A]", {punct(K::kLeftBracket), num(u"1", 1), name(u"/A"), punct(K::kRightBracket)}},
    {"12\v", {num(u"12", 12), kw(u"\v")}},
    {"12abc", {name(u"12abc")}},
    {"--5", {name(u"--5")}},
    {"12\f3 x", {name(u"12\f3"), kw(u"x")}},  // form feed does not end a number
    // Numbers beyond 32 bits clamp, integers and the integer part of reals alike.
    {"2147483647", {num(u"2147483647", INT_MAX)}},
    {"2147483648", {num(u"2147483648", INT_MAX)}},
    {"-2147483648", {num(u"-2147483648", INT_MIN)}},
    {"-2147483649", {num(u"-2147483649", INT_MIN)}},
    {"99999999999999999999999999", {num(u"99999999999999999999999999", INT_MAX)}},
    {"3000000000.5", {real(u"3000000000.5", 3000000000.5)}},
    // Punctuation and stray characters.
    {"<<>>", {punct(K::kDictOpen), punct(K::kDictClose)}},
    {"{}[]",
     {punct(K::kLeftBrace), punct(K::kRightBrace), punct(K::kLeftBracket),
      punct(K::kRightBracket)}},
    {"> x", {kw(u"x")}},
    {">", {}},
    {">>>", {punct(K::kDictClose)}},
    {") x", {kw(u"x")}},
    {")% x", {kw(u"x")}},  // a percent sign after a dropped character is dropped alone
    {"))>)<4F>", {str(u"O")}},
};

TEST(TokenizerTest, TokenTable) {
    for (const auto& c : kCases) {
        SCOPED_TRACE(::testing::Message() << "input: \"" << c.input << "\"");
        MemoryInputStream in(c.input.data(), c.input.size());
        Tokenizer t(&in);
        for (std::size_t i = 0; i < c.tokens.size(); ++i) {
            const Tok& want = c.tokens[i];
            SCOPED_TRACE(i);
            ASSERT_EQ(t.NextToken(), want.kind);
            EXPECT_EQ(t.kind, want.kind);
            EXPECT_EQ(std::u16string(t.text.view()), want.text);
            if (want.kind == K::kNumber) {
                EXPECT_EQ(t.isReal, want.isReal);
                if (want.isReal) {
                    EXPECT_DOUBLE_EQ(t.realValue, want.value);
                } else {
                    EXPECT_EQ(t.intValue, static_cast<std::int32_t>(want.value));
                }
            }
        }
        EXPECT_EQ(t.NextToken(), K::kEnd);
        EXPECT_TRUE(t.text.empty());
        EXPECT_EQ(t.NextToken(), K::kEnd);
    }
}

TEST(TokenizerTest, NullStreamEnds) {
    Tokenizer t;
    EXPECT_EQ(t.kind, K::kNone);
    EXPECT_EQ(t.NextToken(), K::kEnd);
}

// The raw bytes of a string are kept as they stood, so that an encrypted
// string can be decrypted first and decoded afterwards; decoding them gives
// the token's text for every string of the table.
TEST(TokenizerTest, RawBytesOfStrings) {
    struct RawCase {
        std::string input;
        std::vector<std::uint8_t> raw;
        bool hex;
    };
    const RawCase cases[] = {
        {"(\xFE\xFF\x9A)",
         {0xFE, 0xFF, 0x9A},
         false},  // ciphertext that happens to open with FE FF
        {"(\\376\\377\\000A)", {0xFE, 0xFF, 0x00, 'A'}, false},
        {"(a\\)\\\nb)", {'a', ')', 'b'}, false},
        {"<FEFF41>", {0xFE, 0xFF, 0x41}, true},
        {"<4>", {0x40}, true},
        {"<410>", {0x41}, true},
        {"<~zz~>", {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        MemoryInputStream in(c.input.data(), c.input.size());
        Tokenizer t(&in);
        ASSERT_EQ(t.NextToken(), K::kString);
        EXPECT_EQ(std::vector<std::uint8_t>(t.rawBytes(), t.rawBytes() + t.rawSize()), c.raw);
        EXPECT_EQ(t.rawIsHex(), c.hex);
    }
    for (const auto& c : kCases) {
        MemoryInputStream in(c.input.data(), c.input.size());
        Tokenizer t(&in);
        while (t.NextToken() != K::kEnd) {
            if (t.kind != K::kString)
                continue;
            SCOPED_TRACE(c.input);
            WString decoded;
            ASSERT_TRUE(decodeStringBytes(t.rawBytes(), t.rawSize(), t.rawIsHex(), decoded));
            EXPECT_EQ(std::u16string(decoded.view()), std::u16string(t.text.view()));
        }
    }
}

TEST(TokenizerTest, SetStreamKeepsTheTokenAndThePushedBackByte) {
    const std::string a = "/A(x", b = "12 ";
    MemoryInputStream first(a.data(), a.size()), second(b.data(), b.size());
    Tokenizer t(&first);
    ASSERT_EQ(t.NextToken(), K::kName);  // '(' was pushed back onto `first`
    t.setStream(&second);
    EXPECT_EQ(t.kind, K::kName);
    EXPECT_EQ(std::u16string(t.text.view()), u"/A");
    EXPECT_EQ(t.NextToken(), K::kNumber);
    EXPECT_EQ(t.intValue, 12);
    t.setStream(&first);
    EXPECT_EQ(t.NextToken(), K::kString);
    EXPECT_EQ(std::u16string(t.text.view()), u"x");
}

// Long runs of stray characters are dropped in a loop, and long tokens are
// limited only by memory.
TEST(TokenizerTest, LongInputs) {
    std::string strays;
    for (int i = 0; i < 200000; ++i)
        strays += i % 2 ? ")" : "> ";
    strays += "x";
    std::string longName = "/" + std::string(1 << 20, 'n');
    std::string longString = "(" + std::string(1 << 20, 's') + ")";
    std::string deep = std::string(100000, '(') + std::string(100000, ')');
    struct LongCase {
        const std::string* input;
        int kind;
        std::size_t length;
    };
    const LongCase cases[] = {
        {&strays, K::kKeyword, 1},
        {&longName, K::kName, longName.size()},
        {&longString, K::kString, longString.size() - 2},
        {&deep, K::kString, deep.size() - 2},
    };
    for (const auto& c : cases) {
        MemoryInputStream in(c.input->data(), c.input->size());
        Tokenizer t(&in);
        ASSERT_EQ(t.NextToken(), c.kind);
        EXPECT_EQ(static_cast<std::size_t>(t.text.size()), c.length);
        EXPECT_EQ(t.NextToken(), K::kEnd);
    }
}

// The tokenizer reads cross-reference subsections straight from files.
TEST(TokenizerTest, OverAFileStream) {
    testing::TempDir dir;
    const std::string path = dir.path("tokenizer-xref.txt");
    ASSERT_TRUE(testing::writeFile(
        path, "xref\n0 2\n0000000000 65535 f \n0000000017 00000 n \ntrailer\n<</Size 2>>"));
    FileInputStream in(std::u16string(path.begin(), path.end()), 16);
    Tokenizer t(&in);
    std::vector<std::u16string> texts;
    while (t.NextToken() != K::kEnd)
        texts.emplace_back(t.text.view());
    const std::vector<std::u16string> want = {
        u"xref",  u"0", u"2",       u"0000000000", u"65535", u"f", u"0000000017",
        u"00000", u"n", u"trailer", u"",           u"/Size", u"2", u""};
    EXPECT_EQ(texts, want);
    std::remove(path.c_str());
}

}  // namespace
}  // namespace vistrel
