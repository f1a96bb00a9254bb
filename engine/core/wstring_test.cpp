#include "engine/core/wstring.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/core/allocator.h"

namespace vistrel {
namespace {

std::string utf8(const WString& s) {
    return s.toUtf8();
}

TEST(WStringTest, ConstructionLengthCapacityHash) {
    struct Case {
        const char* name;
        WString s;
        int32_t length, capacity;
        uint32_t hash;
        const char* text;
    } cases[] = {
        {"empty", WString(), 1, 16, 0, ""},
        {"capacity 5", WString(5), 1, 6, 0, ""},
        {"copy", WString(u"A"), 2, 2, 455, "A"},
        {"two units", WString(u"AB"), 3, 3, 576, "AB"},
        {"first n", WString(u"hello", 3), 4, 4, WString::computeHash(u"hel"), "hel"},
        {"n beyond text", WString(u"hi", 10), 3, 3, WString::computeHash(u"hi"), "hi"},
        {"constant", WString(u"/K", WString::kConstant), 3, 3, WString::computeHash(u"/K"), "/K"},
        {"literal", WString(u"/K", -1, true), 3, 3, WString::computeHash(u"/K"), "/K"},
        {"empty literal", WString(u"", WString::kConstant), 1, 1, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.s.length(), c.length);
        EXPECT_EQ(c.s.capacity(), c.capacity);
        EXPECT_EQ(c.s.hash(), c.hash);
        EXPECT_EQ(utf8(c.s), c.text);
    }
}

TEST(WStringTest, ConstantsUseLiteralInPlaceAndHashLikeRuntimeStrings) {
    static constexpr char16_t literal[] = u"FontSystem";
    static constinit const WString constant{literal, WString::kConstant};
    EXPECT_EQ(constant.chars(), literal);
    EXPECT_TRUE(constant.isConstant());
    EXPECT_EQ(constant.hash(), WString(u"FontSystem").hash());
    EXPECT_TRUE(constant.equals(WString(u"FontSystem")));

    // A copy owns its text; modifying a copy leaves the literal alone.
    WString copy(constant);
    EXPECT_FALSE(copy.isConstant());
    EXPECT_NE(copy.chars(), literal);
    copy.toUpper();
    EXPECT_EQ(utf8(copy), "FONTSYSTEM");
    EXPECT_EQ(std::u16string(literal), u"FontSystem");

    // Destroying a constant frees nothing (the literal is static storage).
    { WString local(literal, -1, true); }
    EXPECT_EQ(std::u16string(literal), u"FontSystem");

    // Modifying a constant object detaches it from the literal first.
    WString self(literal, -1, true);
    self.mid(self, 4, 6);
    EXPECT_EQ(utf8(self), "System");
    WString literalString(literal, -1, true);
    EXPECT_TRUE(literalString.appendText(u"!"));
    EXPECT_FALSE(literalString.isConstant());
    EXPECT_EQ(utf8(literalString), "FontSystem!");
    EXPECT_EQ(std::u16string(literal), u"FontSystem");
    EXPECT_EQ(literalString.hash(), WString::computeHash(u"FontSystem!"));
}

TEST(WStringTest, GrowthRule) {
    WString s;
    EXPECT_TRUE(s.appendText(u"abc"));
    EXPECT_EQ(s.length(), 4);
    EXPECT_EQ(s.capacity(), 16);

    struct Case {
        int32_t length, capacity;
    } cases[] = {{16, 16}, {17, 32}, {32, 32}, {33, 64}, {64, 64}, {65, 96}};
    for (const Case& c : cases) {
        WString t;
        ASSERT_TRUE(t.setLength(c.length));
        EXPECT_EQ(t.length(), c.length);
        EXPECT_EQ(t.capacity(), c.capacity) << c.length;
    }
    // Capacity never shrinks.
    WString t;
    t.setLength(100);
    t.setLength(2);
    EXPECT_EQ(t.capacity(), 128);

    // Absurd lengths fail without touching the string.
    WString u(u"keep");
    EXPECT_FALSE(u.setLength(INT32_MAX));
    EXPECT_EQ(utf8(u), "keep");
}

TEST(WStringTest, EditingOperations) {
    struct Case {
        const char* name;
        void (*op)(WString&);
        const char* expected;
    } cases[] = {
        {"insert front", [](WString& s) { s.insert(u'X', 0); }, "Xhello"},
        {"insert appends at terminator", [](WString& s) { s.insert(u'X', 5); }, "helloX"},
        {"insert past end does nothing", [](WString& s) { s.insert(u'X', 6); }, "hello"},
        {"insert negative does nothing", [](WString& s) { s.insert(u'X', -1); }, "hello"},
        {"insertText middle", [](WString& s) { s.insertText(u"--", 2); }, "he--llo"},
        {"insertText own text", [](WString& s) { s.insertText(s.chars(), 1); }, "hhelloello"},
        {"append self", [](WString& s) { s.append(s); }, "hellohello"},
        {"appendText", [](WString& s) { s.appendText(u" world"); }, "hello world"},
        {"erase past end", [](WString& s) { s.erase(1, 100); }, "h"},
        {"erase to end", [](WString& s) { s.erase(2, -1); }, "he"},
        {"erase middle", [](WString& s) { s.erase(1, 3); }, "ho"},
        {"erase zero", [](WString& s) { s.erase(1, 0); }, "hello"},
        {"erase at terminator", [](WString& s) { s.erase(5, 3); }, "hello"},
        {"erase beyond", [](WString& s) { s.erase(6, 3); }, "hello"},
        {"erase negative index", [](WString& s) { s.erase(-1, 3); }, "hello"},
        {"assign", [](WString& s) { s.assign(WString(u"xy")); }, "xy"},
        {"assign self", [](WString& s) { s.assign(s); }, "hello"},
        {"assignText own tail", [](WString& s) { s.assignText(s.chars() + 3); }, "lo"},
        {"mid", [](WString& s) { s.mid(WString(u"abcdef"), 2, 3); }, "cde"},
        {"mid to end", [](WString& s) { s.mid(WString(u"abcdef"), 4, -1); }, "ef"},
        {"mid past end", [](WString& s) { s.mid(WString(u"abcdef"), 6, 2); }, ""},
        {"mid of itself", [](WString& s) { s.mid(s, 1, 2); }, "el"},
        {"toUpper", [](WString& s) { s.toUpper(); }, "HELLO"},
        {"appendColonTriple", [](WString& s) { s.appendColonTriple(1, -2, 300); }, "hello1:-2:300"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WString s(u"hello");
        c.op(s);
        EXPECT_EQ(utf8(s), c.expected);
        EXPECT_EQ(s.length(), static_cast<int32_t>(std::string(c.expected).size()) + 1);
        EXPECT_EQ(s.chars()[s.length() - 1], 0);
    }
}

TEST(WStringTest, TrimLeftAndCase) {
    WString s(u" \t\r\n\fx y ");
    s.trimLeft();
    EXPECT_EQ(utf8(s), "x y ");
    WString v(u"\vx");  // vertical tab is not trimmed
    v.trimLeft();
    EXPECT_EQ(v.length(), 3);
    WString m(u"MiXeD \u00C4");
    m.toLower();
    EXPECT_EQ(m.view(), u"mixed \u00C4");  // only A-Z change
}

TEST(WStringTest, Substr) {
    WString hello(u"hello");
    struct Case {
        int32_t index, count;
        const char* text;
    } cases[] = {{2, -1, "llo"}, {5, 1, ""},   {0, 0, ""},  {1, 2, "el"},
                 {3, 99, "lo"},  {4, -1, "o"}, {-1, 2, ""}, {0, -1, "hello"}};
    for (const Case& c : cases) {
        WString s = hello.substr(c.index, c.count);
        EXPECT_EQ(utf8(s), c.text) << c.index << "," << c.count;
    }
    EXPECT_EQ(hello.substr(5, 1).capacity(), 3);  // count + 2
    EXPECT_EQ(hello.substr(0, 0).capacity(), 16);
    EXPECT_EQ(hello.substr(5, -1).capacity(), 3);  // length - index + 2
}

TEST(WStringTest, Find) {
    WString hello(u"hello");
    struct Case {
        const char16_t* text;
        int32_t start, limit, expected;
    } cases[] = {
        {u"lo", 0, -1, 3},    {u"lo", 0, 1, 2},       {u"lo", 3, -1, 3},
        {u"lo", 4, -1, -1},   {u"h", 0, -1, 0},       {u"xyz", 0, -1, -1},
        {u"hello", 0, -1, 0}, {u"hellos", 0, -1, -1}, {u"l", -3, -1, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(hello.find(c.text, c.start, c.limit), c.expected)
            << Utf8FromWide(c.text) << " from " << c.start;
    }
    EXPECT_EQ(hello.findChar(u'l'), 2);
    EXPECT_EQ(hello.findChar(u'l', 3), 3);
    EXPECT_EQ(hello.findChar(u'z'), -1);
    EXPECT_EQ(hello.findChar(u'h', 40), -1);
    EXPECT_EQ(hello.findLast(u'l'), 3);
    EXPECT_EQ(hello.findLast(u'z'), -1);
}

TEST(WStringTest, SplitPath) {
    struct Case {
        const char16_t* path;
        const char* name;
    } cases[] = {{u"C:\\dir\\file.pdf", "file.pdf"},
                 {u"/a/b\\c/d.txt", "d.txt"},
                 {u"dir\\sub/x", "x"},
                 {u"plain", "plain"},
                 {u"ends/", ""}};
    for (const Case& c : cases)
        EXPECT_EQ(utf8(WString(c.path).splitPath()), c.name);
}

TEST(WStringTest, Concatenation) {
    WString a(u"ab");
    WString b(u"cd");
    struct Case {
        WString result;
        const char* text;
        int32_t capacity;
    } cases[] = {
        {a + b, "abcd", 32},        // left capacity 3 grown to fit 5
        {WString() + b, "cd", 16},  // left capacity 16 holds it
        {a + u"x", "abx", 3 + 29},  // needs 4 > 3
        {u"x" + b, "xcd", 32},      // text's length + 1 = 2, grown
        {a + u'!', "ab!", 32},     {u'!' + b, "!cd", 32}, {WString(40) + u'x', "x", 41},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf8(c.result), c.text);
        EXPECT_EQ(c.result.length(), static_cast<int32_t>(std::string(c.text).size()) + 1);
        EXPECT_EQ(c.result.capacity(), c.capacity) << c.text;
    }
}

TEST(WStringTest, NumberConversions) {
    WString s;
    s.fromInt(-42);
    EXPECT_EQ(utf8(s), "-42");
    EXPECT_EQ(s.length(), 4);
    EXPECT_EQ(s.capacity(), 64);
    s.fromDouble(1.5);
    EXPECT_EQ(utf8(s), "1.500000");
    s.fromDouble(-0.0000004);
    EXPECT_EQ(utf8(s), "-0.000000");
    s.fromDouble(1e300);  // longer than the 64-unit buffer: grows, no overrun
    EXPECT_EQ(s.length(), 301 + 7 + 1);
    EXPECT_EQ(utf8(s).substr(0, 4), "1000");

    struct IntCase {
        const char16_t* text;
        int radix;
        int32_t value;
    } ints[] = {
        {u"", 10, 0},
        {u"  -17xyz", 10, -17},
        {u"+8", 10, 8},
        {u"ff", 16, 255},
        {u"0x1F", 16, 31},
        {u"0x1F", 0, 31},
        {u"017", 0, 15},
        {u"99999999999", 10, INT32_MAX},
        {u"-99999999999", 10, INT32_MIN},
        {u"-2147483648", 10, INT32_MIN},
        {u"abc", 10, 0},
        {u"12", 1, 0},
    };
    for (const IntCase& c : ints) {
        EXPECT_EQ(WString(c.text).toInt(c.radix), c.value) << Utf8FromWide(c.text);
    }

    struct RealCase {
        const char16_t* text;
        double value;
    } reals[] = {
        {u"", 0.0},           {u"3.25", 3.25},  {u" -0.5e1x", -5.0}, {u".5", 0.5},
        {u"7.", 7.0},         {u"1e", 1.0},     {u"abc", 0.0},       {u"-", 0.0},
        {u"1e999", HUGE_VAL}, {u"1e-999", 0.0}, {u"+2E+2", 200.0},
    };
    for (const RealCase& c : reals) {
        EXPECT_EQ(WString(c.text).toDouble(), c.value) << Utf8FromWide(c.text);
    }
}

TEST(WStringTest, WideTextFunctions) {
    EXPECT_EQ(WideLength(u"abc"), 3);
    EXPECT_EQ(WideLength(u""), 0);
    EXPECT_LT(WideCompare(u"abc", u"abd"), 0);
    EXPECT_GT(WideCompare(u"abd", u"abc"), 0);
    EXPECT_EQ(WideCompare(u"abc", u"abd", 2), 0);
    EXPECT_LT(WideCompare(u"ab", u"abc"), 0);
    EXPECT_EQ(WideCompare(u"x", u"y", 0), 0);

    char16_t buffer[8];
    WideCopy(buffer, u"hey");
    EXPECT_EQ(std::u16string(buffer), u"hey");
    WideCopy(buffer, u"abcdef", 2);
    EXPECT_EQ(buffer[0], u'a');
    EXPECT_EQ(buffer[1], u'b');
    EXPECT_EQ(buffer[2], u'y');  // at most n units, no terminator added

    EXPECT_EQ(*WideFindChar(u"abc", u'b'), u'b');
    EXPECT_EQ(WideFindChar(u"abc", u'z'), nullptr);
    const char16_t* hay = u"find the needle";
    EXPECT_EQ(WideFindText(hay, u"needle"), hay + 9);
    EXPECT_EQ(WideFindText(hay, u"pin"), nullptr);

    char16_t small[4];
    EXPECT_EQ(std::u16string(WideFormat(-12345, small, 4)), u"-12");
    char16_t wide[32];
    EXPECT_EQ(std::u16string(WideFormat(-12345, wide, 32)), u"-12345");
    EXPECT_EQ(std::u16string(WideFormatReal(2.25, wide, 32)), u"2.250000");
    EXPECT_EQ(std::u16string(WideFormatReal(2.25, small, 4)), u"2.2");

    struct HexCase {
        uint8_t byte;
        const char16_t* text;
    } hex[] = {{0x00, u"00"}, {0x0A, u"0a"}, {0xF3, u"f3"}, {0xFF, u"ff"}};
    for (const HexCase& c : hex) {
        EXPECT_EQ(std::u16string(WideFormatHex2(c.byte, buffer)), c.text);
    }

    struct DigitCase {
        int c;
        bool isHex;
        int value;
    } digits[] = {{'0', true, 0},   {'9', true, 9},   {'a', true, 10},    {'f', true, 15},
                  {'A', true, 10},  {'F', true, 15},  {'g', false, -1},   {'G', false, -1},
                  {'/', false, -1}, {'>', false, -1}, {0xFFFF, false, -1}};
    for (const DigitCase& c : digits) {
        EXPECT_EQ(isHexDigit(c.c), c.isHex) << c.c;
        EXPECT_EQ(hexDigitValue(c.c), c.value) << c.c;
    }
    EXPECT_EQ(hexDigitChar(9), u'9');
    EXPECT_EQ(hexDigitChar(11), u'B');

    int values[] = {5, 1, 4, 2, 3};
    sortArray(values, 5, sizeof(int), [](const void* a, const void* b) {
        return *static_cast<const int*>(a) - *static_cast<const int*>(b);
    });
    EXPECT_EQ(values[0], 1);
    EXPECT_EQ(values[4], 5);
}

TEST(WStringTest, NarrowAndWideConversions) {
    const char16_t units[] = {u'a', 0x0141, 0x00E9, 0};
    char* low = NarrowFromWide(units);
    ASSERT_NE(low, nullptr);
    EXPECT_EQ(std::string(low), "aA\xE9");  // 0x0141 narrows to 0x41
    blockPool().free(low);

    char* dup = NarrowDupFromWide(units);
    EXPECT_EQ(std::string(dup), "a?\xE9");
    blockPool().free(dup);

    char* bytes = NarrowFromWideN(u"abcdef", 3);
    EXPECT_EQ(std::string(bytes, 3), "abc");
    blockPool().free(bytes);

    char16_t* wide = WideFromNarrow("x\xE9y");
    EXPECT_EQ(std::u16string(wide), u"x\u00E9y");
    blockPool().free(wide);

    const uint8_t raw[] = {0, 'A', 0xFF};
    char16_t* fromBytes = WideFromBytes(raw, 3);
    EXPECT_EQ(fromBytes[0], 0);
    EXPECT_EQ(fromBytes[1], u'A');
    EXPECT_EQ(fromBytes[2], 0xFF);
    EXPECT_EQ(fromBytes[3], 0);
    blockPool().free(fromBytes);

    // UTF-8 both ways, with surrogate pairs and broken input.
    struct Utf8Case {
        std::string utf8;
        std::u16string wide;
    } cases[] = {
        {"plain", u"plain"},
        {"caf\xC3\xA9", u"caf\u00E9"},
        {"\xE2\x82\xAC", u"\u20AC"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},
    };
    for (const Utf8Case& c : cases) {
        WString s = WString::fromUtf8(c.utf8);
        EXPECT_EQ(s.view(), c.wide);
        EXPECT_EQ(s.toUtf8(), c.utf8);
    }
    EXPECT_EQ(WideFromUtf8("a\xFF"
                           "b"),
              u"a\uFFFD"
              "b");
    EXPECT_EQ(WideFromUtf8("\xC3"), u"\uFFFD");      // truncated sequence
    EXPECT_EQ(WideFromUtf8("\xC0\x80"), u"\uFFFD");  // overlong
    const char16_t lone[] = {0xD800, u'x', 0};
    EXPECT_EQ(Utf8FromWide(lone), "\xEF\xBF\xBDx");

    WString latin = WString::fromLatin1("\xE9t\xE9");
    EXPECT_EQ(latin.view(), u"\u00E9t\u00E9");
    EXPECT_EQ(latin.toLatin1(), "\xE9t\xE9");
}

TEST(WStringTest, MoveAndCopy) {
    WString a(u"text");
    a.appendText(u" more");
    WString b(std::move(a));
    EXPECT_EQ(utf8(b), "text more");
    EXPECT_TRUE(a.empty());  // NOLINT(bugprone-use-after-move): moved from, now empty
    EXPECT_TRUE(a.appendText(u"reuse"));
    EXPECT_EQ(utf8(a), "reuse");
    WString c;
    c = b;
    EXPECT_EQ(utf8(c), "text more");
    EXPECT_NE(c.chars(), b.chars());
    EXPECT_EQ(c.capacity(), 16);  // assignment keeps the capacity when it fits

    // Appending unit by unit across the capacity boundary.
    WString built;
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(built.appendChar(char16_t('a' + i % 26)));
    EXPECT_EQ(built.length(), 41);
    EXPECT_EQ(built.capacity(), 64);
    EXPECT_EQ(built.chars()[40], 0);
    EXPECT_EQ(utf8(built).substr(24, 4), "yzab");
    EXPECT_TRUE(emptyWString().empty());
    EXPECT_EQ(emptyWString().capacity(), 16);
}

TEST(WStringTest, CompareTextOrdersByUnsignedUnits) {
    struct Case {
        std::u16string a, b;
        int order;
    } cases[] = {
        {u"abc", u"abc", 0},  {u"ab", u"abc", -1},       {u"abd", u"abc", 1}, {u"", u"a", -1},
        {u"\u00e9", u"z", 1}, {u"\uffff", u"\u0100", 1}, {u"B", u"a", -1},
    };
    for (const Case& c : cases) {
        WString a(c.a.c_str()), b(c.b.c_str());
        EXPECT_EQ(compareText(a, b), c.order);
        EXPECT_EQ(compareText(b, a), -c.order);
    }
}

}  // namespace
}  // namespace vistrel
