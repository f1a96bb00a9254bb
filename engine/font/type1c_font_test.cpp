#include "engine/font/type1c_font.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/streams.h"
#include "engine/font/font_description.h"
#include "engine/font/font_encoding.h"
#include "engine/font/type1_loader.h"

namespace vistrel {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Type 2 operators; escaped ones as 0xC00 + x.
enum class Op : int {
    hstem = 1, vstem = 3, vmoveto = 4, rlineto = 5, hlineto = 6, vlineto = 7, rrcurveto = 8,
    callsubr = 10, ret = 11, endchar = 14, hstemhm = 18, hintmask = 19, cntrmask = 20,
    rmoveto = 21, hmoveto = 22, vstemhm = 23, rcurveline = 24, rlinecurve = 25, vvcurveto = 26,
    hhcurveto = 27, callgsubr = 29, vhcurveto = 30, hvcurveto = 31,
    and_ = 0xC03, or_ = 0xC04, not_ = 0xC05, abs = 0xC09, add = 0xC0A, sub = 0xC0B, div = 0xC0C,
    neg = 0xC0E, eq = 0xC0F, drop = 0xC12, ifelse = 0xC16, random = 0xC17, mul = 0xC18,
    sqrt = 0xC1A, dup = 0xC1B, exch = 0xC1C, index = 0xC1D, roll = 0xC1E,
    hflex = 0xC22, flex = 0xC23, hflex1 = 0xC24, flex1 = 0xC25,
};

// A charstring item: a number or an operator.
struct Item {
    Item(int v) : value(v) {}  // NOLINT(google-explicit-constructor)
    Item(Op o) : value(int(o)), isOp(true) {}  // NOLINT(google-explicit-constructor)
    int value;
    bool isOp = false;
};

Bytes number(int v) {
    if (v >= -107 && v <= 107)
        return {std::uint8_t(v + 139)};
    if (v >= 108 && v <= 1131)
        return {std::uint8_t(247 + (v - 108) / 256), std::uint8_t((v - 108) % 256)};
    if (v >= -1131 && v <= -108)
        return {std::uint8_t(251 + (-v - 108) / 256), std::uint8_t((-v - 108) % 256)};
    return {28, std::uint8_t(v >> 8), std::uint8_t(v)};
}

Bytes t2(std::initializer_list<Item> items) {
    Bytes out;
    for (const Item& item : items) {
        if (!item.isOp) {
            const Bytes n = number(item.value);
            out.insert(out.end(), n.begin(), n.end());
        } else if (item.value >= 0xC00) {
            out.push_back(12);
            out.push_back(std::uint8_t(item.value - 0xC00));
        } else {
            out.push_back(std::uint8_t(item.value));
        }
    }
    return out;
}

Bytes word(int v) {
    return {std::uint8_t(v >> 8), std::uint8_t(v)};
}

// A DICT integer in its five-byte form, so that sizes do not depend on it.
Bytes dictInt(std::int32_t v) {
    const auto u = std::uint32_t(v);
    return {29, std::uint8_t(u >> 24), std::uint8_t(u >> 16), std::uint8_t(u >> 8),
            std::uint8_t(u)};
}

Bytes index(const std::vector<Bytes>& entries, int offSize = 4) {
    if (entries.empty())
        return {0, 0};
    Bytes out = word(int(entries.size()));
    out.push_back(std::uint8_t(offSize));
    std::uint32_t offset = 1;
    auto put = [&](std::uint32_t v) {
        for (int k = offSize - 1; k >= 0; --k)
            out.push_back(std::uint8_t(v >> (8 * k)));
    };
    put(offset);
    for (const Bytes& e : entries) {
        offset += std::uint32_t(e.size());
        put(offset);
    }
    for (const Bytes& e : entries)
        out.insert(out.end(), e.begin(), e.end());
    return out;
}

Bytes charsetFormat0(const std::vector<int>& sids) {
    Bytes out{0};
    for (int sid : sids) {
        const Bytes w = word(sid);
        out.insert(out.end(), w.begin(), w.end());
    }
    return out;
}

// A compact font program, part by part.
struct CffSpec {
    std::vector<Bytes> charStrings;
    std::vector<std::string> strings;
    std::vector<Bytes> globalSubrs;
    std::vector<Bytes> localSubrs;
    // Predefined charset or encoding id, or custom data (format byte first).
    int charset = 0;
    Bytes charsetData;
    int encoding = 0;
    Bytes encodingData;
    // More Top DICT entries, before the offsets.
    Bytes topExtra;
    bool charStringsEntry = true;
    bool privateEntry = true;
    // The parts behind the Global Subr INDEX in the reverse order: Private
    // DICT and Subrs, CharStrings, charset, encoding.
    bool reversed = false;
};

Bytes build(const CffSpec& spec) {
    std::vector<Bytes> strings;
    for (const std::string& s : spec.strings)
        strings.emplace_back(s.begin(), s.end());
    const Bytes privateDict =
        spec.localSubrs.empty() ? Bytes{139, 20} : cat({dictInt(6), {19}});
    const Bytes charStrings = index(spec.charStrings);
    const Bytes localSubrs = spec.localSubrs.empty() ? Bytes{} : index(spec.localSubrs);

    // The Top DICT's size does not depend on the offsets it holds.
    auto topDict = [&](std::int32_t charset, std::int32_t encoding, std::int32_t cs,
                       std::int32_t priv) {
        Bytes top = spec.topExtra;
        top = cat({top, dictInt(charset), {15}, dictInt(encoding), {16}});
        if (spec.charStringsEntry)
            top = cat({top, dictInt(cs), {17}});
        if (spec.privateEntry)
            top = cat({top, dictInt(std::int32_t(privateDict.size())), dictInt(priv), {18}});
        return top;
    };
    const Bytes head = cat({{1, 0, 4, 4}, index({Bytes{'T', 'e', 's', 't'}})});
    const Bytes tail = cat({index(strings), index(spec.globalSubrs)});
    std::size_t pos = head.size() + index({topDict(0, 0, 0, 0)}).size() + tail.size();

    struct Part {
        const Bytes* data;
        std::int32_t* offset;
    };
    std::int32_t charsetOffset = spec.charset, encodingOffset = spec.encoding;
    std::int32_t charStringsOffset = 0, privateOffset = 0;
    const Bytes privateAndSubrs = cat({privateDict, localSubrs});
    std::vector<Part> parts = {{&spec.encodingData, &encodingOffset},
                               {&spec.charsetData, &charsetOffset},
                               {&charStrings, &charStringsOffset},
                               {&privateAndSubrs, &privateOffset}};
    if (spec.reversed)
        std::reverse(parts.begin(), parts.end());
    Bytes body;
    for (const Part& part : parts) {
        if (part.data->empty())
            continue;
        *part.offset = std::int32_t(pos + body.size());
        body.insert(body.end(), part.data->begin(), part.data->end());
    }
    return cat({head, index({topDict(charsetOffset, encodingOffset, charStringsOffset,
                                     privateOffset)}),
                tail, body});
}

struct Loaded {
    std::unique_ptr<Type1CFont> font;
    bool loaded = false;

    const Path* path(int code) const {
        const GlyphOutline* entry = font->outlines()->lookup(std::uint32_t(code));
        return entry ? entry->path.get() : nullptr;
    }
    std::vector<PathPoint> points(int code) const {
        const Path* p = path(code);
        return p ? p->points() : std::vector<PathPoint>{};
    }
};

Loaded load(const Bytes& program, const char16_t* encodingName = u"",
            const Differences* differences = nullptr) {
    Type1FontDescription description;
    description.encodingName().assign(WString(encodingName));
    if (differences)
        description.setDifferences(std::make_unique<Differences>(*differences));
    Loaded result;
    result.font = std::make_unique<Type1CFont>(description, nullptr);
    MemoryInputStream stream(program.data(), program.size());
    result.loaded = result.font->loadProgram(&stream);
    EXPECT_EQ(result.font->isUsable(), result.loaded);
    return result;
}

// A font of .notdef and "A" (SID 34, code 65 of the standard encoding)
// drawn by the charstring.
CffSpec fontOfA(const Bytes& charString) {
    CffSpec spec;
    spec.charStrings = {t2({Op::endchar}), charString};
    spec.charsetData = charsetFormat0({34});
    return spec;
}

std::vector<PathPoint> pointsOfA(const Bytes& charString) {
    Loaded f = load(build(fontOfA(charString)));
    EXPECT_TRUE(f.loaded);
    return f.points(65);
}

constexpr std::int32_t M = PathPoint::Move, L = PathPoint::Line, C = PathPoint::Curve,
                       Z = PathPoint::Close;

// ---------------------------------------------------------------------------
// The program's parts.

TEST(Type1CFontTest, LoadsAFontAndDrawsItsGlyph) {
    Loaded f = load(build(fontOfA(t2({100, 200, Op::rmoveto, 50, 0, Op::rlineto, 0, 60,
                                      Op::rlineto, Op::endchar}))));
    ASSERT_TRUE(f.loaded);
    EXPECT_EQ(f.points(65), (std::vector<PathPoint>{
                                {100, 200, M}, {150, 200, L}, {150, 260, L}, {100, 200, Z}}));
    EXPECT_EQ(f.font->glyphCount(), 2u);
    EXPECT_EQ(f.font->builtInEncoding().entry(65).view(), u"/A");
    // Codes whose glyph the font lacks get no outline.
    EXPECT_EQ(f.path(66), nullptr);
}

TEST(Type1CFontTest, RefusesProgramsWithoutTheirPartsOrWithWrongIndexes) {
    const Bytes good = build(fontOfA(t2({Op::endchar})));
    CffSpec noCharStrings = fontOfA(t2({Op::endchar}));
    noCharStrings.charStringsEntry = false;
    CffSpec noPrivate = fontOfA(t2({Op::endchar}));
    noPrivate.privateEntry = false;
    // The Name INDEX ("Test") at byte 4: count 1, offset size 4 at byte 6,
    // offsets 1 and 5 at bytes 7 to 10 and 11 to 14.
    auto patched = [&good](std::size_t at, std::uint8_t v) {
        Bytes b = good;
        b[at] = v;
        return b;
    };
    Bytes cut(good.begin(), good.begin() + std::ptrdiff_t(good.size() / 2));
    struct Case {
        const char* label;
        Bytes program;
    } cases[] = {
        {"no CharStrings", build(noCharStrings)},
        {"no Private DICT", build(noPrivate)},
        {"offset size 0", patched(6, 0)},
        {"offset size 5", patched(6, 5)},
        {"first offset 0", patched(10, 0)},
        {"falling offsets", patched(14, 0)},
        {"offset past the data", patched(13, 0xFF)},
        {"cut in the middle", cut},
        {"empty", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Loaded f = load(c.program);
        EXPECT_FALSE(f.loaded);
    }
    EXPECT_TRUE(load(good).loaded);
}

TEST(Type1CFontTest, ReadsCharsetsEncodingsAndStrings) {
    const Bytes endchar = t2({Op::endchar});
    struct Case {
        const char* label;
        CffSpec spec;
        std::size_t glyphsNamed;
        std::vector<std::int32_t> charsetStart;
        std::vector<std::pair<int, const char16_t*>> encoding;
    };
    CffSpec format1;
    format1.charStrings = {endchar, endchar, endchar, endchar};
    format1.charsetData = {1, 0, 100, 2};
    CffSpec format2 = format1;
    format2.charsetData = {2, 0, 100, 0, 1, 1, 44, 0, 0};
    CffSpec isoAdobe;
    isoAdobe.charStrings.assign(300, endchar);
    CffSpec expert;
    expert.charStrings.assign(3, endchar);
    expert.charset = 1;
    expert.encoding = 1;
    CffSpec expertSubset = expert;
    expertSubset.charset = 2;
    CffSpec custom0;
    custom0.charStrings.assign(3, endchar);
    custom0.charsetData = charsetFormat0({34, 391});
    custom0.strings = {"Alpha"};
    custom0.encodingData = {0, 2, 200, 201};
    CffSpec supplements = custom0;
    supplements.encodingData = {0x80, 2, 200, 201, 2, 65, 0, 34, 66, 0, 132};
    CffSpec ranges = custom0;
    ranges.encodingData = {1, 1, 254, 3};
    CffSpec lostCharset = custom0;
    lostCharset.charsetData = {};
    lostCharset.charset = 100000;
    CffSpec pastStrings = custom0;
    pastStrings.strings = {};

    Case cases[] = {
        {"format 1 (100, 2)", format1, 4, {0, 100, 101, 102}, {}},
        {"format 2 (100, 1), (300, 0)", format2, 4, {0, 100, 101, 300}, {}},
        {"ISOAdobe names 229 glyphs", isoAdobe, 229, {0, 1, 2},
         {{65, u"/A"}, {251, u"/germandbls"}, {0, u"/.notdef"}}},
        {"Expert charset and encoding", expert, 3, {0, 1, 229},
         {{33, u"/exclamsmall"}, {255, u"/Ydieresissmall"}}},
        {"ExpertSubset charset", expertSubset, 3, {0, 1, 231}, {}},
        {"custom encoding format 0", custom0, 3, {0, 34, 391}, {{200, u"/A"}, {201, u"/Alpha"}}},
        {"format 0x80 with two supplements", supplements, 3, {0, 34, 391},
         {{200, u"/A"}, {201, u"/Alpha"}, {65, u"/A"}, {66, u"/ring"}}},
        {"format 1 ranges end at code 255", ranges, 3, {0, 34, 391},
         {{254, u"/A"}, {255, u"/Alpha"}, {0, u"/.notdef"}}},
        {"charset offset past the end", lostCharset, 1, {0}, {{200, u""}}},
        {"SID past the String INDEX", pastStrings, 3, {0, 34, 391}, {{200, u"/A"}, {201, u""}}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.label);
        Loaded f = load(build(c.spec));
        ASSERT_TRUE(f.loaded);
        const std::vector<std::int32_t>& charset = f.font->charset();
        ASSERT_EQ(charset.size(), c.glyphsNamed);
        EXPECT_TRUE(std::equal(c.charsetStart.begin(), c.charsetStart.end(), charset.begin()));
        for (const auto& [code, name] : c.encoding)
            EXPECT_EQ(f.font->builtInEncoding().entry(code).view(), std::u16string_view(name))
                << code;
    }
}

TEST(Type1CFontTest, EncodingOfTheDescriptionWinsAndDifferencesApply) {
    // Glyphs A (SID 34) and Alpha (own string); built-in encoding: Alpha at
    // 65, A at 66.
    CffSpec spec;
    spec.charStrings = {t2({Op::endchar}), t2({10, Op::hlineto, Op::endchar}),
                        t2({20, Op::hlineto, Op::endchar})};
    spec.charsetData = charsetFormat0({34, 391});
    spec.strings = {"Alpha"};
    spec.encodingData = {0, 2, 66, 65};
    const Bytes program = build(spec);
    Differences differences;
    differences.add(200, WString(u"/Alpha"));
    struct Case {
        const char* label;
        const char16_t* encodingName;
        const Differences* differences;
        std::vector<std::pair<int, int>> lineByCode;  // code, line length (0: no glyph)
    } cases[] = {
        {"built-in", u"", nullptr, {{65, 20}, {66, 10}, {200, 0}}},
        {"built-in with differences", u"", &differences, {{65, 20}, {66, 10}, {200, 20}}},
        {"WinAnsiEncoding", u"WinAnsiEncoding", nullptr, {{65, 10}, {66, 0}, {200, 0}}},
        {"WinAnsiEncoding with differences", u"WinAnsiEncoding", &differences,
         {{65, 10}, {66, 0}, {200, 20}}},
        {"an encoding without table", u"MacExpertEncoding", nullptr, {{65, 20}, {66, 10}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Loaded f = load(program, c.encodingName, c.differences);
        ASSERT_TRUE(f.loaded);
        for (const auto& [code, length] : c.lineByCode) {
            if (length == 0) {
                EXPECT_EQ(f.path(code), nullptr) << code;
                continue;
            }
            ASSERT_NE(f.path(code), nullptr) << code;
            EXPECT_EQ(f.points(code)[0], (PathPoint{length, 0, L})) << code;
        }
    }
}

TEST(Type1CFontTest, PartsInAnyOrderReadAlike) {
    CffSpec spec = fontOfA(t2({100, 0, Op::rmoveto, 5, Op::callsubr, Op::endchar}));
    spec.localSubrs.assign(120, t2({Op::ret}));
    spec.localSubrs[112] = t2({30, 40, Op::rlineto, Op::ret});
    spec.encodingData = {0, 1, 90};
    spec.charsetData = charsetFormat0({391});
    spec.strings = {"Zed"};
    CffSpec reversed = spec;
    reversed.reversed = true;
    Loaded forward = load(build(spec));
    Loaded backward = load(build(reversed));
    ASSERT_TRUE(forward.loaded);
    ASSERT_TRUE(backward.loaded);
    const std::vector<PathPoint> expected = {{100, 0, M}, {130, 40, L}, {100, 0, Z}};
    EXPECT_EQ(forward.points(90), expected);
    EXPECT_EQ(backward.points(90), expected);
    EXPECT_EQ(backward.font->builtInEncoding().entry(90).view(), u"/Zed");
}

TEST(Type1CFontTest, TopDictOperandsAndFontMatrix) {
    // FontBBox -200 (28 FF 38), -100 (real), 1000 (29), 900; FontMatrix
    // 0.002 0 0.0005 0.002 0 0 in reals.
    CffSpec spec = fontOfA(t2({100, 200, Op::rmoveto, 100, 0, Op::rlineto, Op::endchar}));
    spec.topExtra = {28,   0xFF, 0x38, 30,   0xE1, 0x00, 0xFF, 29, 0, 0, 0x03, 0xE8,
                     250,  24,   5,    30,   0xA0, 0x02, 0xFF, 139, 30, 0xA0, 0x00, 0x5F,
                     30,   0xA0, 0x02, 0xFF, 139, 139,  12,   7};
    Loaded f = load(build(spec));
    ASSERT_TRUE(f.loaded);
    EXPECT_EQ(f.font->fontBBox(), (std::array<std::int32_t, 4>{-200, -100, 1000, 900}));
    const Matrix& m = f.font->fontMatrix();
    EXPECT_DOUBLE_EQ(m.a, 2.0);
    EXPECT_DOUBLE_EQ(m.c, 0.5);
    EXPECT_DOUBLE_EQ(m.d, 2.0);
    // x' = 2x + 0.5y, y' = 2y.
    EXPECT_EQ(f.points(65), (std::vector<PathPoint>{{300, 400, M}, {500, 400, L}, {300, 400, Z}}));
}

TEST(Type1CFontTest, StringsAndSids) {
    CffSpec spec = fontOfA(t2({Op::endchar}));
    spec.strings = {"Alpha", "space"};
    Loaded f = load(build(spec));
    ASSERT_TRUE(f.loaded);
    struct Case {
        std::int32_t sid;
        const char16_t* name;
    } cases[] = {{0, u"/.notdef"},          {1, u"/space"},         {95, u"/asciitilde"},
                 {96, u"/exclamdown"},      {228, u"/zcaron"},      {229, u"/exclamsmall"},
                 {378, u"/Ydieresissmall"}, {379, u"/001.000"},     {390, u"/Semibold"},
                 {391, u"/Alpha"},          {392, u"/space"},       {393, u""},
                 {-1, u""}};
    for (const Case& c : cases)
        EXPECT_EQ(f.font->sidName(c.sid).view(), std::u16string_view(c.name)) << c.sid;
    // A font string equal to a standard one resolves to the standard SID; a
    // name without its slash matches nothing.
    EXPECT_EQ(f.font->sidOf(WString(u"/space")), 1);
    EXPECT_EQ(f.font->sidOf(WString(u"/Alpha")), 391);
    EXPECT_EQ(f.font->sidOf(WString(u"space")), -1);
    EXPECT_EQ(f.font->sidOf(WString(u"/Beta")), -1);

    // Without a String INDEX every SID is a standard one.
    Loaded plain = load(build(fontOfA(t2({Op::endchar}))));
    EXPECT_EQ(plain.font->sidName(391).view(), u"");
    EXPECT_EQ(plain.font->sidName(34).view(), u"/A");
}

TEST(Type1CFontTest, SubroutineBiasesFollowTheirCounts) {
    struct Case {
        std::size_t count;
        std::int32_t bias;
    } cases[] = {{0, 107}, {1239, 107}, {1240, 1131}, {33899, 1131}, {33900, 32768}};
    for (const Case& c : cases)
        EXPECT_EQ(Type1CFont::subrBias(c.count), c.bias) << c.count;

    for (const std::size_t count : {1239u, 1240u}) {
        SCOPED_TRACE(count);
        const int bias = count < 1240 ? 107 : 1131;
        const int last = int(count) - 1;
        for (const bool global : {true, false}) {
            CffSpec spec = fontOfA(t2({last - bias, global ? Op::callgsubr : Op::callsubr,
                                       Op::endchar}));
            std::vector<Bytes>& subrs = global ? spec.globalSubrs : spec.localSubrs;
            subrs.assign(count, t2({Op::ret}));
            subrs[std::size_t(last)] = t2({7, 9, Op::rlineto, Op::ret});
            Loaded f = load(build(spec));
            ASSERT_TRUE(f.loaded);
            EXPECT_EQ(global ? f.font->globalSubrCount() : f.font->localSubrCount(), count);
            EXPECT_EQ(f.points(65), (std::vector<PathPoint>{{7, 9, L}, {0, 0, Z}}));
        }
    }
}

// ---------------------------------------------------------------------------
// Type 2 charstrings.

TEST(Type2CharStringTest, OperatorsDrawAsTheirPlainForms) {
    struct Case {
        const char* label;
        Bytes charString;
        Bytes plain;
    } cases[] = {
        {"rmoveto with a width", t2({50, 100, 200, Op::rmoveto}), t2({100, 200, Op::rmoveto})},
        {"hmoveto with a width", t2({50, 100, Op::hmoveto}), t2({100, 0, Op::rmoveto})},
        {"vmoveto", t2({100, Op::vmoveto}), t2({0, 100, Op::rmoveto})},
        {"hlineto", t2({10, 20, 30, Op::hlineto}),
         t2({10, 0, 0, 20, 30, 0, Op::rlineto})},
        {"vlineto", t2({10, 20, 30, Op::vlineto}),
         t2({0, 10, 20, 0, 0, 30, Op::rlineto})},
        {"rcurveline", t2({1, 2, 3, 4, 5, 6, 7, 8, Op::rcurveline}),
         t2({1, 2, 3, 4, 5, 6, Op::rrcurveto, 7, 8, Op::rlineto})},
        {"rlinecurve", t2({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, Op::rlinecurve}),
         t2({1, 2, 3, 4, Op::rlineto, 5, 6, 7, 8, 9, 10, Op::rrcurveto})},
        {"vvcurveto with dx1", t2({1, 2, 3, 4, 5, 6, 7, 8, 9, Op::vvcurveto}),
         t2({1, 2, 3, 4, 0, 5, 0, 6, 7, 8, 0, 9, Op::rrcurveto})},
        {"hhcurveto with dy1", t2({1, 2, 3, 4, 5, Op::hhcurveto}),
         t2({2, 1, 3, 4, 5, 0, Op::rrcurveto})},
        {"vhcurveto with a last delta", t2({1, 2, 3, 4, 5, 6, 7, 8, 9, Op::vhcurveto}),
         t2({0, 1, 2, 3, 4, 0, 5, 0, 6, 7, 9, 8, Op::rrcurveto})},
        {"hvcurveto", t2({1, 2, 3, 4, 5, 6, 7, 8, Op::hvcurveto}),
         t2({1, 0, 2, 3, 0, 4, 0, 5, 6, 7, 8, 0, Op::rrcurveto})},
        {"flex", t2({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 50, Op::flex}),
         t2({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, Op::rrcurveto})},
        {"hflex", t2({1, 2, 3, 4, 5, 6, 7, Op::hflex}),
         t2({1, 0, 2, 3, 4, 0, 5, 0, 6, -3, 7, 0, Op::rrcurveto})},
        {"hflex1", t2({1, 2, 3, 4, 5, 6, 7, 8, 9, Op::hflex1}),
         t2({1, 2, 3, 4, 5, 0, 6, 0, 7, 8, 9, -14, Op::rrcurveto})},
        {"flex1 mostly across", t2({10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 7, Op::flex1}),
         t2({10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 7, -5, Op::rrcurveto})},
        {"flex1 mostly up", t2({1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 7, Op::flex1}),
         t2({1, 10, 1, 10, 1, 10, 1, 10, 1, 10, -5, 7, Op::rrcurveto})},
        {"16.16 operand as its integer part", Bytes{255, 0, 1, 0x80, 0, 139, 5},
         t2({1, 0, Op::rlineto})},
        {"negative 16.16 operand", Bytes{255, 0xFF, 0xFE, 0x80, 0, 139, 5},
         t2({-1, 0, Op::rlineto})},
        {"stems with a width, then hintmask skipping one byte",
         cat({t2({9, 1, 2, 3, 4, Op::hstemhm, 5, 6, Op::hintmask}), {0xFF}, t2({10, 0, Op::rlineto})}),
         t2({10, 0, Op::rlineto})},
        {"nine stems: hintmask skips two bytes",
         cat({t2({1, 2, 1, 2, 1, 2, 1, 2, 1, 2, 1, 2, Op::hstem, 1, 2, 1, 2, 1, 2, Op::vstem,
                  Op::hintmask}),
              {0xFF, 0xFF}, t2({10, 0, Op::rlineto})}),
         t2({10, 0, Op::rlineto})},
        {"cntrmask counts the stems before it too",
         cat({t2({1, 2, Op::hstem, 3, 4, Op::cntrmask}), {0x8B}, t2({10, 0, Op::rlineto})}),
         t2({10, 0, Op::rlineto})},
        {"hintmask in a subroutine counts the glyph's stems",
         cat({t2({1, 2, 1, 2, 1, 2, 1, 2, 1, 2, Op::hstem, 1, 2, 1, 2, 1, 2, 1, 2, Op::vstem,
                  -107, Op::callsubr, 10, 0, Op::rlineto})}),
         t2({10, 0, Op::rlineto})},
        {"hintmask at the end skips no further",
         t2({1, 2, 1, 2, 1, 2, 1, 2, 1, 2, 1, 2, 1, 2, 1, 2, 1, 2, Op::hstem, 10, 0, Op::rlineto,
             Op::hintmask}),
         t2({10, 0, Op::rlineto})},
        {"endchar ends the glyph", t2({10, 0, Op::rlineto, Op::endchar, 0, 50, Op::rlineto}),
         t2({10, 0, Op::rlineto})},
        {"unused operators keep the stack", t2({10, 0, Op(9), Op(13), Op(15), Op(0xC00), Op::rlineto}),
         t2({10, 0, Op::rlineto})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        CffSpec spec = fontOfA(cat({c.charString, t2({Op::endchar})}));
        // Local subroutine 0: a hintmask skipping two bytes after the nine
        // stems of its caller.
        spec.localSubrs = {cat({t2({Op::hintmask}), {0xAA, 0xAA}, t2({Op::ret})})};
        Loaded f = load(build(spec));
        ASSERT_TRUE(f.loaded);
        EXPECT_EQ(f.points(65), pointsOfA(cat({c.plain, t2({Op::endchar})})));
        EXPECT_FALSE(f.points(65).empty());
    }
}

TEST(Type2CharStringTest, ArithmeticAndStackOperators) {
    // Each case leaves one number, drawn as the length of a horizontal line.
    struct Case {
        const char* label;
        std::vector<Item> items;
        int result;
    } cases[] = {
        {"and", {3, 0, Op::and_}, 0},
        {"or", {3, 0, Op::or_}, 1},
        {"not", {0, Op::not_}, 1},
        {"abs", {-7, Op::abs}, 7},
        {"add", {3, 4, Op::add}, 7},
        {"sub", {3, 4, Op::sub}, -1},
        {"div", {100, 3, Op::div}, 33},
        {"div truncates toward 0", {-7, 2, Op::div}, -3},
        {"div by 0", {7, 0, Op::div}, 0},
        {"most negative by -1", {-32768, 256, Op::mul, 256, Op::mul, -1, Op::div}, 0},
        {"neg", {5, Op::neg}, -5},
        {"eq", {5, 5, Op::eq}, 1},
        {"drop", {5, 6, Op::drop}, 5},
        {"ifelse first", {1, 2, 3, 4, Op::ifelse}, 1},
        {"ifelse second", {1, 2, 4, 3, Op::ifelse}, 2},
        {"mul", {6, -7, Op::mul}, -42},
        {"sqrt", {17, Op::sqrt}, 4},
        {"sqrt of a negative number", {-4, Op::sqrt}, 0},
        {"dup", {3, Op::dup, Op::add}, 6},
        {"exch", {3, 10, Op::exch, Op::sub}, 7},
        {"index", {5, 6, 7, 2, Op::index, Op::add, Op::add, Op::add}, 23},
        {"index with a negative operand", {5, 6, -3, Op::index, Op::add, Op::add}, 17},
        {"index past the stack", {5, 6, 9, Op::index, Op::add, Op::add}, 16},
        {"roll", {1, 2, 3, 3, 1, Op::roll, Op::drop, Op::drop}, 3},
        {"roll backwards", {1, 2, 3, 3, -1, Op::roll, Op::drop, Op::drop}, 2},
        {"roll of 0", {1, 2, 0, 1, Op::roll, Op::drop}, 1},
        {"roll past the stack", {1, 2, 5, 1, Op::roll, Op::drop}, 1},
        {"random", {Op::random}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Bytes cs;
        for (const Item& item : c.items) {
            const Bytes one = t2({item});
            cs.insert(cs.end(), one.begin(), one.end());
        }
        // The result as the x of a line up.
        const std::vector<PathPoint> points =
            pointsOfA(cat({cs, t2({100, Op::rlineto, Op::endchar})}));
        ASSERT_FALSE(points.empty());
        EXPECT_EQ(points[0], (PathPoint{c.result, 100, L}));
    }
}

TEST(Type2CharStringTest, EndcharComposesAnAccentedGlyph) {
    // A (SID 34, standard code 65) a line; acute (SID 125, code 194) a tick;
    // B (SID 35, code 66) composes itself with the acute.
    const Bytes base = t2({10, 0, Op::rmoveto, 100, 0, Op::rlineto, Op::endchar});
    const Bytes acute = t2({20, 0, Op::rmoveto, 5, 5, Op::rlineto, Op::endchar});
    CffSpec spec;
    spec.charStrings = {t2({Op::endchar}),
                        base,
                        acute,
                        t2({0, 300, 66, 194, Op::endchar}),
                        t2({0, 300, 65, 194, Op::endchar}),
                        t2({600, 0, 300, 65, 194, Op::endchar}),
                        t2({0, 0, 67, 194, Op::endchar}),
                        t2({0, 0, 65, 300, Op::endchar})};
    spec.charsetData = charsetFormat0({34, 125, 35, 391, 392, 393, 394});
    spec.strings = {"Aacute", "Aacute.w", "Nobase", "Badcode"};
    spec.encodingData = {0, 7, 65, 194, 66, 200, 201, 202, 203};
    Loaded f = load(build(spec));
    ASSERT_TRUE(f.loaded);
    const std::vector<PathPoint> composed = {{10, 0, M},  {110, 0, L},  {10, 0, Z}, {0, 300, M},
                                             {20, 300, M}, {25, 305, L}, {20, 300, Z}};
    EXPECT_EQ(f.points(200), composed);
    // A leading width is skipped.
    EXPECT_EQ(f.points(201), composed);
    // Inside a composition endchar composes nothing: B's own base is empty.
    EXPECT_EQ(f.points(66),
              (std::vector<PathPoint>{{0, 300, M}, {20, 300, M}, {25, 305, L}, {20, 300, Z}}));
    // No glyph for code 67: the accent alone, where it stands.
    EXPECT_EQ(f.points(202), (std::vector<PathPoint>{{20, 0, M}, {25, 5, L}, {20, 0, Z}}));
    // 300 is no code: the base alone.
    EXPECT_EQ(f.points(203),
              (std::vector<PathPoint>{{10, 0, M}, {110, 0, L}, {10, 0, Z}, {0, 0, M}}));
}

TEST(Type2CharStringTest, HostileProgramsEndCleanly) {
    const Bytes line = t2({10, 0, Op::rlineto});
    struct Case {
        const char* label;
        Bytes charString;
        std::vector<Bytes> localSubrs;
        std::size_t lines;  // lines drawn before the glyph stopped
    } cases[] = {
        {"a subroutine that calls itself", cat({t2({-107, Op::callsubr}), line}),
         {cat({line, t2({-107, Op::callsubr, Op::ret})})}, 10},
        {"ten nested calls", cat({t2({-107, Op::callsubr}), line}),
         [&] {
             std::vector<Bytes> chain;
             chain.reserve(10);
             for (int i = 0; i < 9; ++i)
                 chain.push_back(cat({line, t2({i - 106, Op::callsubr, Op::ret})}));
             chain.push_back(cat({line, t2({Op::ret})}));
             return chain;
         }(),
         11},
        {"a subroutine number past the list", cat({line, t2({-106, Op::callsubr}), line}),
         {t2({Op::ret})}, 1},
        {"a negative subroutine number", cat({line, t2({-108, Op::callsubr}), line}),
         {t2({Op::ret})}, 1},
        {"callsubr without an operand", cat({line, t2({Op::callsubr}), line}), {}, 1},
        {"rlineto with one operand", cat({line, t2({5, Op::rlineto}), line}), {}, 1},
        {"rrcurveto with five operands", cat({line, t2({1, 2, 3, 4, 5, Op::rrcurveto}), line}),
         {}, 1},
        {"rmoveto with one operand", cat({line, t2({5, Op::rmoveto}), line}), {}, 1},
        {"add with one operand", cat({line, t2({5, Op::add}), line}), {}, 1},
        {"index without an element", cat({line, t2({0, Op::index}), line}), {}, 1},
        {"a number cut short", cat({line, Bytes{28, 1}}), {}, 1},
        {"an escape at the end", cat({line, Bytes{12}}), {}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        CffSpec spec = fontOfA(cat({c.charString, t2({Op::endchar})}));
        spec.localSubrs = c.localSubrs;
        Loaded f = load(build(spec));
        ASSERT_TRUE(f.loaded);
        std::size_t lines = 0;
        for (const PathPoint& p : f.points(65))
            lines += p.kind == L ? 1 : 0;
        EXPECT_EQ(lines, c.lines);
    }

    // Subroutines that each call the next one 200 times, ten deep: the
    // glyph stops after its steps run out.
    CffSpec fanOut = fontOfA(t2({-107, Op::callsubr, Op::endchar}));
    for (int i = 0; i < 9; ++i) {
        Bytes calls;
        for (int k = 0; k < 200; ++k)
            calls = cat({calls, t2({i - 106, Op::callsubr})});
        fanOut.localSubrs.push_back(cat({calls, t2({Op::ret})}));
    }
    fanOut.localSubrs.push_back(cat({line, t2({Op::ret})}));
    Loaded f = load(build(fanOut));
    EXPECT_TRUE(f.loaded);

    // An operand stack that grows without end stops the glyph.
    Bytes pushes = t2({1});
    for (int i = 0; i < 11; ++i)
        pushes = cat({pushes, pushes});
    Loaded deep = load(build(fontOfA(cat({line, pushes, t2({Op::rlineto, Op::endchar})}))));
    ASSERT_TRUE(deep.loaded);
    EXPECT_EQ(deep.points(65).size(), 2u);
}

// ---------------------------------------------------------------------------
// The loader.

TEST(Type1CFontTest, TheType1LoaderReadsACompactProgram) {
    const Bytes program = build(fontOfA(t2({10, 0, Op::rlineto, Op::endchar})));
    MemoryInputStream stream(program.data(), program.size());
    Ref<Type1FontDescription> description =
        Ref<Type1FontDescription>::adopt(new Type1FontDescription());
    description->name().assignText(u"ABCDEF+Compact");
    description->setProgram(&stream, true);
    std::unique_ptr<FontRenderer> font = loadType1Font(*description, nullptr);
    ASSERT_NE(font, nullptr);
    WString text;
    font->description(text);
    EXPECT_EQ(text.view(), u"T1C: ABCDEF+Compact");
    EXPECT_NE(static_cast<FontBase*>(font.get())->outlines()->lookup(65), nullptr);

    // A compact program that does not load leaves no font.
    const Bytes broken = {1, 0, 4, 4, 0, 1, 9};
    MemoryInputStream brokenStream(broken.data(), broken.size());
    description->setProgram(&brokenStream, true);
    EXPECT_EQ(loadType1Font(*description, nullptr), nullptr);
}

}  // namespace
}  // namespace vistrel
