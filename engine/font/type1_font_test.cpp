#include "engine/font/type1_font.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "engine/font/font_description.h"
#include "engine/font/type1_test_util.h"
#include "engine/render/raster/path.h"

namespace vistrel {
namespace {

using testing::charString;
using testing::Type1Program;

// A path's points as "M0,0 L300,0 C... Z0,0" (move, line, curve, close).
std::string pointsText(const Path& path) {
    std::string s;
    for (const PathPoint& p : path.points()) {
        if (!s.empty())
            s += ' ';
        s += "MLCZ"[p.kind & 3];
        s += std::to_string(p.x) + "," + std::to_string(p.y);
    }
    return s;
}

// Subroutines 0-2 as fonts hold them for flex, then a box.
SubrList flexSubrs() {
    return {charString("3 0 callothersubr pop pop setcurrentpoint return"),
            charString("0 1 callothersubr return"), charString("0 2 callothersubr return"),
            charString("return"),
            charString("0 0 rmoveto 30 0 rlineto 0 30 rlineto closepath return")};
}

// n subroutines each calling the next; the last draws a line.
SubrList chain(int n) {
    SubrList subrs;
    for (int i = 0; i + 1 < n; ++i)
        subrs.push_back(charString(std::to_string(i + 1) + " callsubr return"));
    subrs.push_back(charString("100 0 rlineto return"));
    return subrs;
}

// Each of ten subroutines calls the next twenty times.
SubrList fanOut() {
    SubrList subrs;
    for (int i = 0; i < 10; ++i) {
        std::string text;
        for (int k = 0; k < 20; ++k)
            text += std::to_string(i + 1) + " callsubr ";
        subrs.push_back(charString(i < 9 ? text + "return" : "1 1 rlineto return"));
    }
    return subrs;
}

const char* const kFlex =
    "0 500 hsbw 1 callsubr -250 50 rmoveto 2 callsubr 200 0 rmoveto 2 callsubr "
    "-100 50 rmoveto 2 callsubr -100 0 rmoveto 2 callsubr -100 0 rmoveto 2 callsubr "
    "-100 -50 rmoveto 2 callsubr -50 -50 rmoveto 2 callsubr 50 -500 0 0 callsubr "
    "closepath endchar";

// The interpreter: the path each charstring draws and what it reports.
TEST(Type1FontTest, CharStrings) {
    const struct {
        const char* what;
        std::string charstring;
        SubrList subrs;
        std::int32_t baseX, baseY;
        int result;
        const char* points;
        IntPoint advance;
    } cases[] = {
        {"a negative side bearing starts left of the origin",
         charString("-100 500 hsbw 0 0 rmoveto 300 0 rlineto 0 500 rlineto closepath endchar"),
         {}, 0, 0, kCharStringDone, "M-100,0 L200,0 L200,500 Z-100,0", {500, 0}},
        {"sbw", charString("60 40 700 10 sbw 0 0 rmoveto 100 0 rlineto closepath endchar"), {}, 0,
         0, kCharStringDone, "M60,40 L160,40 Z60,40", {700, 10}},
        {"side bearings from the base, negative ones too",
         charString("-60 -40 700 10 sbw 0 0 rmoveto 100 0 rlineto closepath endchar"), {}, 100,
         50, kCharStringDone, "M40,10 L140,10 Z40,10", {700, 10}},
        {"moves close the subpath (which keeps the current point); h/v lines and curves",
         charString("0 400 hsbw 10 0 rmoveto 50 hlineto 50 vlineto 20 hmoveto 5 vmoveto "
                    "1 2 3 4 vhcurveto 1 2 3 4 hvcurveto 1 2 3 4 5 6 rrcurveto endchar"),
         {}, 0, 0, kCharStringDone,
         "M0,0 M10,0 L60,0 L60,50 Z10,0 M80,50 M80,55 C80,56 C82,59 C86,59 C87,59 C89,62 C89,66 "
         "C90,68 C93,72 C98,78 Z80,55",
         {400, 0}},
        {"flex draws two curves and nothing for its seven moves", charString(kFlex), flexSubrs(),
         0, 0, kCharStringDone,
         "M0,0 C-50,50 C-150,100 C-250,100 C-350,100 C-450,50 C-500,0 Z0,0", {500, 0}},
        {"flex end with too little recorded",
         charString("0 500 hsbw 1 callsubr -250 50 rmoveto 2 callsubr 50 0 0 0 callsubr"),
         flexSubrs(), 0, 0, kCharStringFailed, "M0,0", {500, 0}},
        {"hint replacement calls the subroutine othersubr 3 leaves",
         charString("0 500 hsbw 4 1 3 callothersubr pop callsubr endchar"), flexSubrs(), 0, 0,
         kCharStringDone, "M0,0 L30,0 L30,30 Z0,0", {500, 0}},
        {"too few operands draw nothing",
         charString("0 0 hsbw 5 rlineto 7 rrcurveto 1 2 3 hvcurveto 10 20 rlineto endchar"), {},
         0, 0, kCharStringDone, "M0,0 L10,20 Z0,0", {}},
        {"setcurrentpoint and hsbw take the base",
         charString("0 0 hsbw 10 20 setcurrentpoint 5 0 rlineto"), {}, 100, 50, kCharStringDone,
         "M100,50 M110,70 L115,70 Z110,70", {}},
        {"a number cut short ends the charstring", charString("0 0 hsbw 10 20 rlineto") + "\xf7",
         {}, 0, 0, kCharStringDone, "M0,0 L10,20 Z0,0", {}},
        {"ten nested calls", charString("0 0 hsbw 0 callsubr endchar"), chain(10), 0, 0,
         kCharStringDone, "M0,0 L100,0 Z0,0", {}},
        {"eleven nested calls", charString("0 0 hsbw 0 callsubr endchar"), chain(11), 0, 0,
         kCharStringFailed, "M0,0", {}},
        {"a subroutine calling itself", charString("0 callsubr"), {charString("0 callsubr")}, 0,
         0, kCharStringFailed, "", {}},
        {"subroutine numbers outside the list", charString("0 0 hsbw 1 callsubr"), {""}, 0, 0,
         kCharStringFailed, "M0,0", {}},
        {"a negative subroutine number", charString("-1 callsubr"), {""}, 0, 0, kCharStringFailed,
         "", {}},
        {"exponentially many calls", charString("0 callsubr"), fanOut(), 0, 0, kCharStringFailed,
         nullptr, {}},
        {"seac", charString("20 620 hsbw 200 300 30 65 194 seac 5 5 rlineto"), {}, 0, 0,
         kCharStringAccent, "M20,0", {620, 0}},
    };
    for (const auto& c : cases) {
        Path path;
        OperandStack stack;
        AccentRequest accent;
        EXPECT_EQ(runCharString(c.charstring, c.subrs, path, c.baseX, c.baseY, stack, accent),
                  c.result)
            << c.what;
        if (c.points) {
            EXPECT_EQ(pointsText(path), c.points) << c.what;
        }
        EXPECT_EQ(path.advance(), c.advance) << c.what;
        if (c.result == kCharStringAccent) {
            EXPECT_EQ(accent.asb, 200);
            EXPECT_EQ(accent.adx, 300);
            EXPECT_EQ(accent.ady, 30);
            EXPECT_EQ(accent.bchar, 65);
            EXPECT_EQ(accent.achar, 194);
        }
    }
}

// div leaves the truncated quotient (0 for a zero divisor, clamped) and
// keeps the stack; pop leaves its value.
TEST(Type1FontTest, Div) {
    const struct {
        const char* text;
        std::int32_t top;
    } cases[] = {{"100 3 div", 33},       {"-100 3 div", -33},          {"7 0 div", 0},
                 {"5 div", 5},            {"-2147483648 -1 div", 2147483647},
                 {"9 2 div 1 pop", 1}};
    for (const auto& c : cases) {
        Path path;
        OperandStack stack;
        AccentRequest accent;
        EXPECT_EQ(runCharString(charString(c.text), {}, path, 0, 0, stack, accent),
                  kCharStringDone);
        EXPECT_EQ(stack.pop(), c.top) << c.text;
    }
}

// A program's glyphs by code, for comparing loads.
std::string glyphsText(const Type1Font& font) {
    std::string s;
    for (std::uint32_t code = 0; code < 256; ++code) {
        if (const GlyphOutline* g = font.outlines()->lookup(code))
            s += std::to_string(code) + ": " + pointsText(*g->path) + "\n";
    }
    if (font.notdef())
        s += "notdef: " + pointsText(*font.notdef()->path) + "\n";
    return s;
}

struct Loaded {
    std::unique_ptr<Type1Font> font;
    bool loaded;
};

Loaded load(const std::string& program, const char16_t* encodingName = u"",
            const std::vector<std::pair<int, const char16_t*>>& differences = {}) {
    Ref<Type1FontDescription> d = makeRef<Type1FontDescription>();
    d->encodingName().assign(WString(encodingName));
    if (!differences.empty()) {
        auto list = std::make_unique<Differences>();
        for (const auto& [code, name] : differences)
            list->add(code, WString(name));
        d->setDifferences(std::move(list));
    }
    Loaded l{std::make_unique<Type1Font>(*d, nullptr), false};
    MemoryInputStream in(program.data(), program.size());
    l.loaded = l.font->loadProgram(&in);
    EXPECT_EQ(l.font->isUsable(), l.loaded);
    return l;
}

Type1Program tinyProgram() {
    Type1Program p;
    p.encoding = "256 array\n0 1 255 {1 index exch /.notdef put} for\n"
                 "dup 65 /A put\ndup 66 /Aacute put\ndup 67 /Aacute put\ndup 68 /flex put\n";
    p.subrs = {{0, "3 0 callothersubr pop pop setcurrentpoint return"},
               {1, "0 1 callothersubr return"},
               {2, "0 2 callothersubr return"}};
    p.glyphs = {
        {".notdef", "50 500 hsbw 0 0 rmoveto 400 0 rlineto 0 600 rlineto closepath endchar"},
        {"A", "20 620 hsbw 0 0 rmoveto 100 0 rlineto 190 500 rlineto closepath endchar"},
        {"acute", "200 400 hsbw 0 750 rmoveto 80 0 rlineto 120 150 rlineto closepath endchar"},
        {"Aacute", "20 620 hsbw 200 300 30 65 194 seac"},
        {"flex", kFlex},
    };
    return p;
}

// The same program as PFB segments, plain with binary eexec after any line
// end, and with lenIV 0 gives the same glyphs; so does a fonts-urw-base35
// PFB file and its segments joined.
TEST(Type1FontTest, ProgramFormsGiveTheSameGlyphs) {
    Type1Program program = tinyProgram();
    const Loaded plain = load(program.plain());
    ASSERT_TRUE(plain.loaded);
    const std::string glyphs = glyphsText(*plain.font);
    EXPECT_NE(glyphs.find("68: M0,0 C-50,50"), std::string::npos) << glyphs;
    EXPECT_EQ(glyphsText(*load(program.pfb()).font), glyphs);
    for (const char* lineEnd : {"\r", "\r\n"}) {
        program.lineEnd = lineEnd;
        EXPECT_EQ(glyphsText(*load(program.plain()).font), glyphs);
    }
    program.lenIV = 0;
    EXPECT_EQ(glyphsText(*load(program.plain()).font), glyphs);
    program.lenIV = -1;
    const Loaded negative = load(program.plain());
    EXPECT_EQ(negative.font->lenIV(), -1);
    EXPECT_EQ(glyphsText(*negative.font), glyphs);

    const std::string urw = "/usr/share/fonts/X11/Type1/NimbusSans-Regular.pfb";
    if (!std::filesystem::exists(urw))
        GTEST_SKIP() << urw << " is missing (fonts-urw-base35)";
    std::ifstream file(urw, std::ios::binary);
    const std::string pfb((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::string joined;
    for (std::size_t at = 0; at + 6 <= pfb.size() && pfb[at + 1] != 3;) {
        const std::size_t length = std::uint8_t(pfb[at + 2]) | std::uint8_t(pfb[at + 3]) << 8 |
                                   std::uint8_t(pfb[at + 4]) << 16 | std::size_t(std::uint8_t(pfb[at + 5])) << 24;
        joined += pfb.substr(at + 6, length);
        at += 6 + length;
    }
    const Loaded segmented = load(pfb);
    ASSERT_TRUE(segmented.loaded);
    const std::string urwGlyphs = glyphsText(*segmented.font);
    EXPECT_GT(std::count(urwGlyphs.begin(), urwGlyphs.end(), '\n'), 140);
    EXPECT_EQ(glyphsText(*load(joined).font), urwGlyphs);
}

// An accented character reached from two codes is composed alike for both:
// the base character, then the accent with its side bearing point at (adx,
// ady) from the character's (its origin asb left of that), the advance the
// base's.
TEST(Type1FontTest, AccentedCharacterAtTwoCodes) {
    const Loaded l = load(tinyProgram().plain());
    ASSERT_TRUE(l.loaded);
    const GlyphOutline* first = l.font->outlines()->lookup(66);
    const GlyphOutline* second = l.font->outlines()->lookup(67);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(pointsText(*first->path),
              "M20,0 M0,0 M20,0 L120,0 L310,500 Z20,0 M0,0 M300,30 M320,30 M320,780 L400,780 "
              "L520,930 Z320,780");
    EXPECT_EQ(pointsText(*second->path), pointsText(*first->path));
    EXPECT_EQ(first->path->advance(), IntPoint(620, 0));
}

// The description's encoding, when it names one, wins over the program's;
// its differences apply to whichever encoding the font takes, the standard
// one when the program brings none.
TEST(Type1FontTest, Encodings) {
    auto program = [](const std::string& encoding) {
        Type1Program p;
        p.encoding = encoding;
        p.glyphs = {{"A", "0 100 hsbw endchar"}, {"B", "0 200 hsbw endchar"},
                    {"C", "0 300 hsbw endchar"}};
        return p.plain();
    };
    const std::string custom = "256 array\ndup 65 /B put\ndup 68 /C put readonly def %";
    const struct {
        std::string program;
        const char16_t* encodingName;
        std::vector<std::pair<int, const char16_t*>> differences;
        std::int32_t widths[4];  // codes 65 to 68, 0 for none
    } cases[] = {
        {program(custom), u"", {}, {200, 0, 0, 300}},
        {program(custom), u"WinAnsiEncoding", {}, {100, 200, 300, 0}},
        {program(custom), u"WinAnsiEncoding", {{65, u"/C"}}, {300, 200, 300, 0}},
        {program(custom), u"", {{66, u"/C"}}, {200, 300, 0, 300}},
        {program("StandardEncoding"), u"", {{65, u"/C"}}, {300, 200, 300, 0}},
        {program(""), u"", {{67, u"/A"}}, {100, 200, 100, 0}},
    };
    for (const auto& c : cases) {
        const Loaded l = load(c.program, c.encodingName, c.differences);
        ASSERT_TRUE(l.loaded);
        for (int i = 0; i < 4; ++i) {
            const GlyphOutline* g = l.font->outlines()->lookup(std::uint32_t(65 + i));
            EXPECT_EQ(g ? g->path->advance().x : 0, c.widths[i]) << c.program << " code " << 65 + i;
        }
    }
}

// The program's own encoding tells whether it keeps TeX's ligatures at
// codes 11 to 15, also when the font draws through the encoding the
// description names; what follows the encoding is read as before.
TEST(Type1FontTest, OwnEncodingInTexLayout) {
    Type1Program p;
    p.fontMatrix = "[0.002 0 0 0.002 0 0]";
    p.glyphs = {{"A", "0 100 hsbw endchar"}, {"ff", "0 200 hsbw endchar"}};
    auto program = [&](const std::string& encoding) {
        p.encoding = encoding;
        return p.plain();
    };
    // An encoding that no def ends, put before a key or before eexec.
    auto unended = [&](const char* before) {
        std::string text = program("");
        text.insert(text.find(before), "/Encoding 256 array\ndup 11 /ff put\ndup 65 /A put ");
        return text;
    };
    const std::string tex =
        "256 array\n0 1 255 {1 index exch /.notdef put} for\n"
        "dup 11 /ff put\ndup 12 /fi put\ndup 65 /A put\n";
    const struct {
        const char* what;
        std::string program;
        const char16_t* encodingName;
        bool texLigatures;
    } cases[] = {
        {"TeX's layout drawn through another encoding", program(tex), u"WinAnsiEncoding", true},
        {"TeX's layout as the font's encoding", program(tex), u"", true},
        {"another name at 11", program("256 array\ndup 11 /A put\ndup 12 /fi put"),
         u"WinAnsiEncoding", false},
        {"none of the codes named", program("256 array\ndup 65 /A put"), u"WinAnsiEncoding", false},
        {"the standard encoding", program("StandardEncoding"), u"WinAnsiEncoding", false},
        {"no def before a key", unended("/FontMatrix"), u"WinAnsiEncoding", true},
        {"no def before eexec", unended("currentfile eexec"), u"WinAnsiEncoding", true},
    };
    for (const auto& c : cases) {
        const Loaded l = load(c.program, c.encodingName);
        ASSERT_TRUE(l.loaded) << c.what;
        EXPECT_EQ(l.font->hasTexLigatures(), c.texLigatures) << c.what;
        EXPECT_EQ(l.font->fontMatrix().a, 2.0) << c.what;
        EXPECT_NE(l.font->outlines()->lookup(65), nullptr) << c.what;
    }
}

// Hostile and damaged programs end cleanly: entries past the announced
// count are ignored, counts and lengths beyond the data fail the load
// without allocating for them.
TEST(Type1FontTest, DamagedPrograms) {
    Type1Program p;
    p.subrCount = 2;
    p.subrs = {{0, "0 0 rmoveto 10 0 rlineto closepath return"},
               {5, "0 0 rmoveto 900 0 rlineto closepath return"}};
    p.glyphs = {{"A", "0 100 hsbw 0 callsubr endchar"}, {"B", "0 200 hsbw 5 callsubr endchar"}};
    const Loaded beyond = load(p.plain());
    ASSERT_TRUE(beyond.loaded);
    EXPECT_EQ(beyond.font->subrCount(), 2);
    EXPECT_EQ(pointsText(*beyond.font->outlines()->lookup(65)->path), "M0,0 L10,0 Z0,0");
    EXPECT_EQ(pointsText(*beyond.font->outlines()->lookup(66)->path), "M0,0");
    // No /.notdef: codes outside the encoding have no outline at all.
    EXPECT_EQ(beyond.font->notdef(), nullptr);
    EXPECT_EQ(beyond.font->outlines()->lookup(67), nullptr);

    const std::string good = tinyProgram().clearText();
    const struct {
        const char* what;
        std::string program;
        bool loaded;
    } cases[] = {
        {"subrs count beyond the data", "/Subrs 2000000000 array\ndup 0 1 RD x NP\n", false},
        {"charstrings count beyond the data", "/CharStrings 2000000000 dict\n/A 1 RD x ND\n",
         false},
        {"charstring length beyond the data", "/CharStrings 1 dict\n/A 2000000000 RD xyz", false},
        {"negative length", "/CharStrings 1 dict\n/A -5 RD  ND\n", true},
        {"font matrix without [", "/FontMatrix 0.001 0 0 0.001 0 0", false},
        {"font box without {", "/FontBBox 0 0 1 1", false},
        {"encoding cut short", "/Encoding 256 array\ndup 65 /A", false},
        {"no keyword at all", "%!PS-AdobeFont-1.0", true},
        {"eexec at the very end", good + "eexec", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(load(c.program).loaded, c.loaded) << c.what;
}

// Each program is scanned from a fresh start: a program that ends inside a
// keyword leaves nothing half-matched for the next one.
TEST(Type1FontTest, KeywordsStartAfreshForEachProgram) {
    EXPECT_TRUE(load("%!PS /FontMa").loaded);
    const Loaded next = load("trix [0.002 0 0 0.002 0 0] readonly def");
    EXPECT_EQ(next.font->fontMatrix().a, 1.0);
    EXPECT_EQ(load("/FontMatrix [0.002 0 0 0.001 0 0] readonly def").font->fontMatrix().a, 2.0);
}

// The font matrix (times 1000) maps every glyph point as it is added.
TEST(Type1FontTest, FontMatrixScalesGlyphs) {
    Type1Program p;
    p.fontMatrix = "[0.002 0 0.0005 0.001 0 0]";
    p.glyphs = {{"A", "10 500 hsbw 0 0 rmoveto 100 200 rlineto closepath endchar"}};
    const Loaded l = load(p.plain());
    ASSERT_TRUE(l.loaded);
    EXPECT_EQ(pointsText(*l.font->outlines()->lookup(65)->path), "M20,0 L320,200 Z20,0");
}

}  // namespace
}  // namespace vistrel
