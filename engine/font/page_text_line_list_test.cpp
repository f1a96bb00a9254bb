// The text lines of a page: shown strings through the text state of a font,
// the glyph names a code turns into, and the placing of characters on lines
// and in words.
#include "engine/font/page_text_line_list.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "engine/constants/font_constants.h"
#include "engine/font/differences.h"
#include "engine/font/font_description.h"
#include "engine/font/font_encoding.h"
#include "engine/font/font_registry.h"
#include "engine/font/glyph_names.h"
#include "engine/font/type1_font.h"
#include "engine/font/type1_test_util.h"
#include "engine/render/content/font_renderer.h"
#include "engine/render/content/matrix.h"

namespace vistrel {
namespace {

std::string num(double v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", v);
    return buffer;
}

// Every line as its text, then each word as text@x,y+width,height.
std::string dump(const TextLineList& list) {
    std::string out;
    for (size_t i = 0; i < list.lineCount(); ++i) {
        const TextLine* line = list.line(i);
        if (!out.empty())
            out += " | ";
        out += line->text().toUtf8() + ":";
        TextWordRecord word;
        for (size_t j = 0; line->getWordInfo(j, word); ++j) {
            out += " " + word.text.toUtf8() + "@" + num(word.x) + "," + num(word.y) + "+" +
                   num(word.width) + "," + num(word.height);
        }
    }
    return out;
}

// Every code 0.5 wide but the space.
struct CaptureWidths {
    explicit CaptureWidths(double spaceWidth) {
        for (int i = 0; i < 256; ++i)
            table.append(i == 32 ? spaceWidth : 0.5);
    }
    DoubleArray table;
};

// A font whose encoding is the standard one with some codes renamed, or
// none.
class CaptureFont : private CaptureWidths, public FontRenderer {
public:
    explicit CaptureFont(double spaceWidth = 0.25)
        : CaptureWidths(spaceWidth), FontRenderer(&table) {}

    void useEncoding(const std::vector<std::pair<int, const char16_t*>>& renamed) {
        Differences differences;
        for (const auto& [code, name] : renamed)
            differences.add(code, WString(name));
        setEncoding(new FontEncoding(encodings::StandartEncoding, &differences));
    }
    bool capturesText() const override { return captures; }
    const WString& defaultEncodingName() const override {
        return defaultName ? *defaultName : FontRenderer::defaultEncodingName();
    }

    bool captures = true;
    const WString* defaultName = nullptr;
};

// A device-space text matrix: zoom z, y growing downwards, origin (100, 200).
Matrix deviceMatrix(double z) {
    return Matrix{z, 0.0, 0.0, -z, 100.0, 200.0};
}

struct TextState {
    double size = 10.0;
    double charSpacing = 0.0;
    double wordSpacing = 0.0;
    double scale = 100.0;
    double rise = 0.0;
    double spaceWidth = 0.25;
    // Codes the font's encoding names otherwise than the standard one.
    std::vector<std::pair<int, const char16_t*>> renamed = {};
};

// One element of a TJ array: a string, else a number (thousandths of the
// size the text position moves back by).
struct Shown {
    std::u16string text;
    double number = 0.0;
};

// Shows the elements as TJ does, with a fresh font and list, the font
// advancing its own text matrix; gives the lines.
std::string showArray(const std::vector<Shown>& array, const Matrix& tm,
                      const TextState& state = {}) {
    CaptureFont font(state.spaceWidth);
    font.useEncoding(state.renamed);
    font.setFontSize(state.size);
    font.setCharSpacing(state.charSpacing);
    font.setWordSpacing(state.wordSpacing);
    font.setHorizontalScale(state.scale);
    font.setRise(state.rise);
    font.setTextMatrix(tm, nullptr);
    Ref<FontHandle> handle = makeRef<FontHandle>(&font);
    PageTextLineList list;
    for (const Shown& element : array) {
        if (element.text.empty()) {
            font.translateTextMatrix(element.number * state.size * -0.001, 0.0);
            continue;
        }
        const WString text(element.text.data(), std::int32_t(element.text.size()));
        list.addShownText(text, font.textMatrix(), handle.get());
        font.showString(text);
    }
    list.spaceWords();
    return dump(list);
}

// Shows one string with a fresh font and list; gives the lines.
std::string show(const std::u16string& text, const Matrix& tm, const TextState& state = {}) {
    return showArray({{text}}, tm, state);
}

TEST(PageTextLineListTest, ShownStrings) {
    struct Case {
        const char* what;
        std::u16string text;
        Matrix tm;
        TextState state;
        std::string lines;
    } cases[] = {
        {"only spaces", u"   ", deviceMatrix(1), {}, ""},
        // The space advances 2.5 pixels, at least 0.13 of the size of 10.
        {"a space between words",
         u"A B",
         deviceMatrix(1),
         {},
         "A B: A@100,200+5,10 B@107.5,200+5,10"},
        {"the same at zoom 2", u"A B", deviceMatrix(2), {}, "A B: A@100,200+10,20 B@115,200+10,20"},
        {"a narrow space", u"A B", deviceMatrix(1), {.spaceWidth = 0.1}, "AB: AB@100,200+11,10"},
        {"the same at zoom 2",
         u"A B",
         deviceMatrix(2),
         {.spaceWidth = 0.1},
         "AB: AB@100,200+22,20"},
        // Each space: the word spacing, then 2.5 + the character spacing.
        // A glyph is as wide as its own advance: the spacing after it
        // moves the next glyph, it does not widen the word.
        {"spaces move the text",
         u"  A",
         deviceMatrix(1),
         {.charSpacing = 1, .wordSpacing = 2},
         "A: A@111,200+5,10"},
        // The scale narrows the glyphs, not the spacing.
        {"horizontal scale",
         u"AB",
         deviceMatrix(1),
         {.charSpacing = 1, .scale = 50},
         "AB: AB@100,200+6,10"},
        {"rise", u"A", deviceMatrix(1), {.rise = 3}, "A: A@100,197+5,10"},
        {"negative word spacing closes the gap",
         u"A B",
         deviceMatrix(1),
         {.wordSpacing = -2},
         "AB: AB@100,200+10.5,10"},
        // Text running down, up or left the bitmap is read along its own
        // baseline, its boxes in device pixels: the glyphs' tops lie right
        // of the baseline running down, left of it running up, below it
        // upside down.
        {"running down", u"AB", Matrix{0, 1, 1, 0, 100, 200}, {}, "AB: AB@100,210+10,10"},
        {"running down with rise",
         u"A",
         Matrix{0, 1, 1, 0, 100, 200},
         {.rise = 2},
         "A: A@102,205+10,5"},
        {"running up", u"AB", Matrix{0, -1, -1, 0, 100, 200}, {}, "AB: AB@90,200+10,10"},
        {"upside down",
         u"AB C",
         Matrix{-1, 0, 0, 1, 100, 200},
         {},
         "AB C: AB@90,210+10,10 C@82.5,210+5,10"},
        // Less than a twentieth of a pixel along the baseline counts as no
        // advance: the character stands left of its origin, as wide as the
        // size and as high as its advance along y.
        {"almost no advance", u"A", Matrix{0.0099, 0, 0, -1, 100, 200}, {}, "A: A@90,200+10,0"},
        {"a tenth of a pixel", u"A", Matrix{0.02, 0, 0, -1, 100, 200}, {}, "A: A@100,200+0.1,10"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(show(c.text, c.tm, c.state), c.lines) << c.what;
}

// Gaps are measured from a glyph's own advance to where the next glyph
// lands after the character spacing, the word spacing and the numbers of
// TJ. Glyphs 5 pixels wide at size 10 (a joining gap of 1.3).
TEST(PageTextLineListTest, CharacterSpacingAndWordGaps) {
    struct Case {
        const char* what;
        std::vector<Shown> array;
        TextState state;
        std::string words;
    } cases[] = {
        // Letter spacing of up to 0.15 of the size, nothing else moving the
        // glyphs, within a string and across strings.
        {"letter-spaced", {{u"Word"}}, {.charSpacing = 1.5}, "Word: Word@100,200+24.5,10"},
        {"letter-spaced across strings",
         {{u"Wo"}, {u"rd"}},
         {.charSpacing = 1.5},
         "Word: Word@100,200+24.5,10"},
        // Wider character spacing is a word gap, as Ghostscript writes them:
        // the number of TJ takes it back within a word.
        {"word gaps made with the character spacing",
         {{u"wi"}, {u"", 371}, {u"sd"}},
         {.charSpacing = 3.71},
         "w is d: w@100,200+5,10 is@108.71,200+10,10 d@122.42,200+5,10"},
        // TeX through dvips: about an em of character spacing after every
        // glyph, taken back by TJ, a little less between words. The size
        // is 1 here, the text matrix ten times larger.
        {"an em taken back",
         {{u"C"},
          {u"", 1003},
          {u"h"},
          {u"", 1002},
          {u"a"},
          {u"", 1001},
          {u"r"},
          {u"", 1000},
          {u"t"},
          {u"", 999},
          {u"s"},
          {u"", 750},
          {u"o"},
          {u"", 1000},
          {u"f"}},
         {.size = 1, .charSpacing = 1.0015},
         "Charts of: Charts@100,200+30.025,10 of@132.54,200+10.015,10"},
        {"half an em taken back",
         {{u"S"},
          {u"", 498.5},
          {u"o"},
          {u"", 497.5},
          {u"m"},
          {u"", 500.5},
          {u"e"},
          {u"", 243.5},
          {u"F"},
          {u"", 515},
          {u"o"},
          {u"", 497},
          {u"n"},
          {u"", 498},
          {u"t"}},
         {.size = 1, .charSpacing = 0.498},
         "Some Font: Some@100,200+19.975,10 Font@122.52,200+19.84,10"},
        // A number of TJ between letter-spaced glyphs is no letter spacing.
        {"letter spacing widened by TJ",
         {{u"Wo"}, {u"", -100}, {u"rd"}},
         {.charSpacing = 1.5},
         "Wo rd: Wo@100,200+11.5,10 rd@114,200+11.5,10"},
        {"negative character spacing",
         {{u"Word"}},
         {.charSpacing = -1},
         "Word: Word@100,200+17,10"},
    };
    for (const Case& c : cases) {
        const Matrix tm = deviceMatrix(c.state.size == 1 ? 10 : 1);
        EXPECT_EQ(showArray(c.array, tm, c.state), c.words) << c.what;
    }
}

// What is dropped as a space is decided by the glyph a code names: a letter
// at code 32 is that letter (the word spacing still moves it), a space glyph
// at another code is a space.
TEST(PageTextLineListTest, SpacesByTheirGlyph) {
    struct Case {
        const char* what;
        std::u16string text;
        TextState state;
        std::string words;
    } cases[] = {
        {"a letter at 32 and a space at 1",
         u"ab cd\x01"
         u"ef",
         {.spaceWidth = 0.5, .renamed = {{32, u"/w"}, {1, u"/space"}}},
         "abwcd ef: abwcd@100,200+25,10 ef@130,200+10,10"},
        {"the word spacing moves the letter at 32",
         u"ab cd",
         {.wordSpacing = 3, .spaceWidth = 0.5, .renamed = {{32, u"/w"}}},
         "ab wcd: ab@100,200+10,10 wcd@113,200+15,10"},
        {"code 32 named space",
         u"ab cd",
         {.renamed = {{32, u"/space"}}},
         "ab cd: ab@100,200+10,10 cd@112.5,200+10,10"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(show(c.text, deviceMatrix(1), c.state), c.words) << c.what;
    // Code 32 in a font without an encoding is a space.
    CaptureFont bare;
    Ref<FontHandle> handle = makeRef<FontHandle>(&bare);
    PageTextLineList list;
    list.addChar(PlacedChar{32, 0, 0, 10, 8}, *handle);
    EXPECT_EQ(list.lineCount(), 0u);
}

TEST(PageTextLineListTest, GlyphNamesBecomeText) {
    struct Case {
        const char16_t* glyph;
        // The font's default encoding, when not the standard one.
        const WString* defaultEncoding;
        std::u16string text;
    } cases[] = {
        {u"/A", nullptr, u"A"},
        {u"/Aacute", nullptr, u"A"},
        {u"/Aring", nullptr, u"A"},
        {u"/fi", nullptr, u"fi"},
        {u"/oe", nullptr, u"oe"},
        {u"/LJ", nullptr, u"LJ"},
        {u"/hyphen", nullptr, u"-"},
        {u"/endash", nullptr, u"-"},
        {u"/emdash", nullptr, u"-"},
        {u"/quotedblright", nullptr, u"\u201C"},
        {u"/Eth", nullptr, u"\u00F0"},
        {u"/idieresis", nullptr, u"i"},
        {u"/dotlessi", nullptr, u"i"},
        {u"/bullet", nullptr, u"\u00B7"},
        {u"/ellipsis", nullptr, u"\u2026"},
        // Numeric names: the glyph at that code of the default encoding.
        {u"/G65", nullptr, u"A"},
        {u"/C65", nullptr, u"A"},
        {u"/65", nullptr, u"A"},
        {u"/123", nullptr, u"{"},
        {u"/g97", nullptr, u"a"},
        {u"/c225", nullptr, u"AE"},
        {u"/c225", &encodings::WinAnsiEncoding, u"a"},
        {u"/g193", nullptr, u"\u00C1"},
        {u"/G32", nullptr, u""},
        // The raw code (200) where the name has no value.
        {u"/uni0041", nullptr, u"\u00C8"},
        {u"/G127", nullptr, u"\u00C8"},
        {u"/B12", nullptr, u"\u00C8"},
        {u"/G0", nullptr, u"\u00C8"},
        {u"/Gab", nullptr, u"\u00C8"},
        {u"/c1234", nullptr, u"\u00C8"},
        {u"/G300", nullptr, u"\u00C8"},
        {u"/c65", &encodings::MacExpertEncoding, u"\u00C8"},
    };
    for (const Case& c : cases) {
        CaptureFont font;
        font.useEncoding({{200, c.glyph}});
        font.defaultName = c.defaultEncoding;
        Ref<FontHandle> handle = makeRef<FontHandle>(&font);
        PageTextLineList list;
        list.addChar(PlacedChar{200, 0, 0, 10, 8}, *handle);
        std::u16string text;
        if (const TextLine* line = list.line(0))
            text = line->text().view();
        EXPECT_EQ(text, c.text) << WString(c.glyph).toUtf8();
        EXPECT_EQ(list.lineCount(), c.text.empty() ? 0u : 1u);
    }
}

// The ligatures of f in every naming give their letters; so do the codes
// 11 to 15 of a Type 1 program in TeX's layout where the encoding the font
// draws through names nothing.
TEST(PageTextLineListTest, LigaturesInEveryNaming) {
    const struct {
        const char16_t* letters;
        std::vector<const char16_t*> names;
    } ligatures[] = {
        {u"ff", {u"/ff", u"/f_f", u"/uniFB00"}},
        {u"fi", {u"/fi", u"/uniFB01"}},
        {u"fl", {u"/fl", u"/uniFB02"}},
        {u"ffi", {u"/ffi", u"/f_f_i", u"/uniFB03"}},
        {u"ffl", {u"/ffl", u"/f_f_l", u"/uniFB04"}},
    };
    auto textOf = [](FontRenderer& font, char16_t code) {
        Ref<FontHandle> handle = makeRef<FontHandle>(&font);
        PageTextLineList list;
        list.addChar(PlacedChar{code, 0, 0, 10, 8}, *handle);
        return list.line(0) ? std::u16string(list.line(0)->text().view()) : std::u16string();
    };
    // A program in TeX's layout, drawn through WinAnsiEncoding, and one in
    // the standard layout.
    auto type1 = [](const std::string& encoding) {
        testing::Type1Program p;
        p.encoding = encoding;
        p.glyphs = {{"A", "0 100 hsbw endchar"}};
        Ref<Type1FontDescription> d = makeRef<Type1FontDescription>();
        d->encodingName().assign(encodings::WinAnsiEncoding);
        auto font = std::make_unique<Type1Font>(*d, nullptr);
        const std::string text = p.plain();
        MemoryInputStream in(text.data(), text.size());
        EXPECT_TRUE(font->loadProgram(&in));
        return font;
    };
    auto tex = type1(
        "256 array\ndup 11 /ff put\ndup 12 /fi put\ndup 13 /fl put\n"
        "dup 14 /ffi put\ndup 15 /ffl put");
    auto standard = type1("StandardEncoding");
    for (size_t i = 0; i < std::size(ligatures); ++i) {
        const auto& l = ligatures[i];
        for (const char16_t* name : l.names) {
            CaptureFont font;
            font.useEncoding({{200, name}});
            EXPECT_EQ(textOf(font, 200), l.letters) << WString(name).toUtf8();
        }
        const char16_t code = char16_t(11 + i);
        EXPECT_EQ(textOf(*tex, code), l.letters) << "TeX's layout, code " << int(code);
        EXPECT_EQ(textOf(*standard, code), std::u16string(1, code)) << int(code);
    }
}

// Codes past one byte, and every code of a font without an encoding, are
// their own text.
TEST(PageTextLineListTest, RawCodes) {
    CaptureFont encoded;
    encoded.useEncoding({});
    CaptureFont bare;
    for (CaptureFont* font : {&encoded, &bare}) {
        Ref<FontHandle> handle = makeRef<FontHandle>(font);
        PageTextLineList list;
        list.addChar(PlacedChar{0x12C, 0, 0, 10, 8}, *handle);
        list.addChar(PlacedChar{u'B', 8, 0, 10, 8}, *handle);
        EXPECT_EQ(dump(list), "\u012CB: \u012CB@0,0+16,10");
        // A code 0 is a character like any other.
        list.addChar(PlacedChar{0, 16, 0, 10, 8}, *handle);
        TextWordRecord word;
        ASSERT_TRUE(list.line(0)->getWordInfo(0, word));
        EXPECT_EQ(word.text.view(), std::u16string_view(u"\u012CB\0", 3));
        EXPECT_EQ(list.line(0)->text().size(), 3);
    }
}

// Ligatures and accented letters share the advance among their parts: seen
// with a height of 0, where no character joins another's word.
TEST(PageTextLineListTest, PartsShareTheAdvance) {
    CaptureFont font;
    font.useEncoding({{1, u"/fi"}, {2, u"/Aacute"}});
    Ref<FontHandle> handle = makeRef<FontHandle>(&font);
    PageTextLineList list;
    list.addChar(PlacedChar{1, 10, 0, 0, 8}, *handle);
    EXPECT_EQ(dump(list), "fi: f@10,0+4,0 i@14,0+4,0");
    list.clear();
    list.addChar(PlacedChar{2, 10, 0, 0, 8}, *handle);
    EXPECT_EQ(dump(list), "A: A@10,0+8,0");
}

struct Placed {
    char16_t code;
    double x;
    double y;
    double height;
    double advance;
};

std::string place(const std::vector<Placed>& chars, bool spaced = false) {
    CaptureFont font;
    Ref<FontHandle> handle = makeRef<FontHandle>(&font);
    PageTextLineList list;
    for (const Placed& c : chars)
        list.addChar(PlacedChar{c.code, c.x, c.y, c.height, c.advance}, *handle);
    if (spaced)
        list.spaceWords();
    return dump(list);
}

TEST(PageTextLineListTest, LinesAndWords) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* what;
        std::vector<Placed> chars;
        std::string lines;
    } cases[] = {
        {"a space is dropped", {{u' ', 0, 0, 10, 5}}, ""},
        // Within half the line's height of its y, and near the end of its
        // last word: from 0.65 heights before to 2 heights after (open).
        {"near the end",
         {{u'A', 0, 100, 10, 10}, {u'B', 10 - 6.4, 100, 10, 5}, {u'C', 10 + 19.9, 105, 10, 5}},
         "ABC: AB@0,100+10,10 C@29.9,105+5,10"},
        {"too far before the end",
         {{u'A', 0, 100, 10, 10}, {u'B', 10 - 6.5, 100, 10, 5}},
         "A: A@0,100+10,10 | B: B@3.5,100+5,10"},
        {"too far after the end",
         {{u'A', 0, 100, 10, 10}, {u'B', 30, 100, 10, 5}},
         "A: A@0,100+10,10 | B: B@30,100+5,10"},
        {"too far below",
         {{u'A', 0, 100, 10, 10}, {u'B', 10, 105.01, 10, 5}},
         "A: A@0,100+10,10 | B: B@10,105.01+5,10"},
        // The line grows to cover y + height of its characters: 100 to 120.
        {"a taller line",
         {{u'A', 0, 100, 10, 10}, {u'B', 10, 105, 15, 5}, {u'C', 15, 110, 10, 5}},
         "ABC: ABC@0,110+20,10"},
        // A word starts 0.13 heights past the end of every word of the line.
        {"the joining gap",
         {{u'A', 0, 100, 10, 10}, {u'B', 11.29, 100, 10, 5}, {u'C', 16.29 + 1.3, 100, 10, 5}},
         "ABC: AB@0,100+16.29,10 C@17.59,100+5,10"},
        // Full stops and other characters join each other across less than
        // 0.1 heights: a dot leader stands off the title and the number.
        {"a leader between a title and a number",
         {{u'A', 0, 100, 10, 10},
          {u'.', 11.2, 100, 10, 2.5},
          {u'.', 14, 100, 10, 2.5},
          {u'1', 17.5, 100, 10, 5}},
         "A..1: A@0,100+10,10 ..@11.2,100+5.3,10 1@17.5,100+5,10"},
        {"a full stop ending a word",
         {{u'A', 0, 100, 10, 10}, {u'.', 10.9, 100, 10, 2.5}, {u'B', 13.5, 100, 10, 5}},
         "A.B: A.B@0,100+18.5,10"},
        // A character joins the first word whose end lies less than 0.13
        // heights before it, even one it lies left of: it goes to that
        // word's end.
        {"joining a later word",
         {{u'A', 0, 100, 60, 10}, {u'B', 15, 100, 10, 10}, {u'C', 12, 100, 10, 2}},
         "ABC: A@0,100+10,60 BC@15,100+10,10"},
        {"joining the first word from its left",
         {{u'A', 0, 100, 60, 10}, {u'B', 15, 100, 10, 10}, {u'D', -5, 100, 10, 2}},
         "ADB: AD@0,100+10,60 B@15,100+10,10"},
        // New words stand by x, their text with them: a word that starts
        // before the first one (which runs leftwards) without joining it.
        {"a word before the others",
         {{u'A', 0, 100, 10, -10}, {u'C', -5, 100, 10, 2}},
         "CA: C@-5,100+2,10 A@0,100+-10,10"},
        {"lines by y",
         {{u'C', 0, 300, 10, 10}, {u'A', 0, 100, 10, 10}, {u'B', 0, 200, 10, 10}},
         "A: A@0,100+10,10 | B: B@0,200+10,10 | C: C@0,300+10,10"},
        // Not captured: a position, height or advance that is not finite,
        // or lies beyond 2^28 pixels.
        {"infinite x", {{u'A', kInf, 100, 10, 10}}, ""},
        {"no y", {{u'A', 0, kNaN, 10, 10}}, ""},
        {"infinite height", {{u'A', 0, 100, -kInf, 10}}, ""},
        {"no advance", {{u'A', 0, 100, 10, kNaN}}, ""},
        {"far off", {{u'A', -268435456.5, 100, 10, 10}, {u'B', 0, 100, 10, 3e8}}, ""},
        {"just in", {{u'A', -268435456, 100, 10, 10}}, "A: A@-2.68435e+08,100+10,10"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(place(c.chars), c.lines) << c.what;
}

// Words of a line placed at one height, by x.
TEST(PageTextLineListTest, WordsOfALine) {
    // Height 0: nothing joins, every character is a word of the line that
    // its first one opened (through its parts).
    CaptureFont font;
    font.useEncoding({{1, u"/fi"}});
    Ref<FontHandle> handle = makeRef<FontHandle>(&font);
    PageTextLineList list;
    list.addChar(PlacedChar{1, 10, 0, 0, 8}, *handle);
    const TextLine& line = *list.line(0);
    EXPECT_EQ(line.wordCount(), 2u);
    EXPECT_EQ(line.text().toUtf8(), "fi");
    EXPECT_EQ(line.wordRange(1), (std::pair<std::int32_t, std::int32_t>(1, 2)));
}

TEST(PageTextLineListTest, SpaceWords) {
    CaptureFont font;
    Ref<FontHandle> handle = makeRef<FontHandle>(&font);
    PageTextLineList list;
    for (char16_t c : {u'A', u'B', u'C'})
        list.addChar(PlacedChar{c, double(c - u'A') * 4, 100, 10, 2}, *handle);
    const TextLine& line = *list.line(0);
    EXPECT_EQ(line.text().toUtf8(), "ABC");
    list.spaceWords();
    EXPECT_EQ(line.text().toUtf8(), "A B C");
    using Range = std::pair<std::int32_t, std::int32_t>;
    EXPECT_EQ(line.wordRange(0), Range(0, 1));
    EXPECT_EQ(line.wordRange(1), Range(2, 3));
    EXPECT_EQ(line.wordRange(2), Range(4, 5));
    EXPECT_EQ(line.wordRange(3), Range(0, 0));
    // Not idempotent: a second call puts in one more space.
    list.spaceWords();
    EXPECT_EQ(line.text().toUtf8(), "A  B  C");
    EXPECT_EQ(line.wordRange(2), Range(6, 7));

    TextWordRecord record;
    record.x = -1;
    EXPECT_TRUE(line.getWordInfo(2, record));
    EXPECT_EQ(record.text.toUtf8(), "C");
    EXPECT_EQ(record.font.get(), handle.get());
    record.x = -1;
    EXPECT_FALSE(line.getWordInfo(3, record));
    EXPECT_EQ(record.x, -1);
    EXPECT_EQ(record.text.toUtf8(), "C");
    EXPECT_EQ(list.line(1), nullptr);
}

// On a turned page the text is grouped along the page's lines as on an
// upright one, and the boxes come back in device pixels, around the same
// user-space box.
TEST(PageTextLineListTest, TurnedPages) {
    struct Box {
        double left, top, right, bottom;
    };
    // The device box of a user-space box through a page matrix.
    auto deviceBox = [](const Matrix& p, double x0, double y0, double x1, double y1) {
        Box box{1e9, 1e9, -1e9, -1e9};
        for (double x : {x0, x1}) {
            for (double y : {y0, y1}) {
                const double dx = x * p.a + y * p.c + p.e;
                const double dy = x * p.b + y * p.d + p.f;
                box = Box{std::min(box.left, dx), std::min(box.top, dy), std::max(box.right, dx),
                          std::max(box.bottom, dy)};
            }
        }
        return box;
    };
    for (double z : {1.0, 2.0}) {
        const Matrix pages[] = {
            {z, 0, 0, -z, 0, 300 * z},         // upright
            {0, z, z, 0, 0, 0},                // a quarter turn
            {-z, 0, 0, z, 400 * z, 0},         // half a turn
            {0, -z, -z, 0, 300 * z, 400 * z},  // three quarters
        };
        for (const Matrix& page : pages) {
            CaptureFont font;
            font.setFontSize(10);
            const Matrix tm = multiply(Matrix{1, 0, 0, 1, 100, 200}, page);
            font.setTextMatrix(tm, nullptr);
            Ref<FontHandle> handle = makeRef<FontHandle>(&font);
            PageTextLineList list;
            list.setPageMatrix(page);
            list.addShownText(WString(u"AB CD"), tm, handle.get());
            list.spaceWords();
            ASSERT_EQ(list.lineCount(), 1u) << z << " " << page.a << " " << page.b;
            EXPECT_EQ(list.line(0)->text().toUtf8(), "AB CD");
            // Words 10 units wide from x 100 and 112.5, 10 high.
            const double lefts[] = {100, 112.5};
            for (size_t i = 0; i < 2; ++i) {
                TextWordRecord word;
                ASSERT_TRUE(list.line(0)->getWordInfo(i, word));
                const Box expected = deviceBox(page, lefts[i], 200, lefts[i] + 10, 210);
                EXPECT_DOUBLE_EQ(word.x, expected.left);
                EXPECT_DOUBLE_EQ(word.x + word.width, expected.right);
                EXPECT_DOUBLE_EQ(word.y - word.height, expected.top);
                EXPECT_DOUBLE_EQ(word.y, expected.bottom);
            }
        }
    }
}

// Text that a turned page's content turns back, and text running across the
// page's lines, is read along its own lines, in device pixels; the lines of
// the page's own frame come first, then those of the frames a quarter, half
// and three quarters further on.
TEST(PageTextLineListTest, TextAcrossATurnedPage) {
    CaptureFont font;
    font.setFontSize(10);
    Ref<FontHandle> handle = makeRef<FontHandle>(&font);
    PageTextLineList list;
    const Matrix page{0, 1, 1, 0, 0, 0};
    list.setPageMatrix(page);
    const Matrix along = multiply(Matrix{1, 0, 0, 1, 100, 200}, page);
    const Matrix right = deviceMatrix(1);
    const Matrix up{0, -1, -1, 0, 50, 300};
    for (const Matrix& tm : {right, up, along}) {
        font.setTextMatrix(tm, nullptr);
        list.addShownText(WString(u"AB CD"), tm, handle.get());
    }
    list.spaceWords();
    EXPECT_EQ(dump(list),
              "AB CD: AB@200,110+10,10 CD@200,122.5+10,10 | "
              "AB CD: AB@40,300+10,10 CD@40,287.5+10,10 | "
              "AB CD: AB@100,200+10,10 CD@112.5,200+10,10");
}

// The lines are built when they are first read, from what was shown in the
// order it was shown: by the font as it stood then, the spaces put between
// the words of the lines there were at the time.
TEST(PageTextLineListTest, LinesBuiltOnReading) {
    CaptureFont font;
    font.useEncoding({});
    font.setFontSize(10);
    Ref<FontHandle> handle = makeRef<FontHandle>(&font);
    PageTextLineList list;
    font.setTextMatrix(deviceMatrix(1), nullptr);
    list.addShownText(WString(u"AB CD"), font.textMatrix(), handle.get());
    list.spaceWords();
    font.useEncoding({{u'A', u"/Z"}});
    const Matrix below{1, 0, 0, -1, 100, 250};
    font.setTextMatrix(below, nullptr);
    list.addShownText(WString(u"AB CD"), below, handle.get());
    EXPECT_EQ(dump(list),
              "AB CD: AB@100,200+10,10 CD@112.5,200+10,10 | "
              "ZBCD: ZB@100,250+10,10 CD@112.5,250+10,10");
}

// A word keeps its first character's font handle until the list lets go.
TEST(PageTextLineListTest, WordsHoldTheirFont) {
    CaptureFont font;
    font.setFontSize(10);
    font.setTextMatrix(deviceMatrix(1), nullptr);
    Ref<FontHandle> handle = makeRef<FontHandle>(&font);
    PageTextLineList list;
    list.addShownText(WString(u"AB CD"), font.textMatrix(), handle.get());
    ASSERT_EQ(list.lineCount(), 1u);
    EXPECT_EQ(handle->refCount(), 3u);
    list.clear();
    EXPECT_EQ(list.lineCount(), 0u);
    EXPECT_EQ(handle->refCount(), 1u);
    {
        PageTextLineList other;
        other.addShownText(WString(u"A"), font.textMatrix(), handle.get());
        EXPECT_EQ(handle->refCount(), 2u);
    }
    EXPECT_EQ(handle->refCount(), 1u);
}

// The registry's low-memory purge between capturing and reading: the words'
// handles keep their font alive; once the list lets go, the purge frees it.
class PlainDescription : public FontDescription {
public:
    std::int32_t kind() const override { return 257; }
};

std::unique_ptr<FontRenderer> loadCaptureFont(FontDescription&, OutputDevice*) {
    auto font = std::make_unique<CaptureFont>();
    font->setFontSize(10);
    font->setTextMatrix(deviceMatrix(1), nullptr);
    return font;
}

TEST(PageTextLineListTest, WordsOutliveAPurge) {
    FontRegistry registry;
    ASSERT_TRUE(registry.registerLoader(fontwords::Type1, loadCaptureFont, 0));
    auto description = Ref<FontDescription>::adopt(new PlainDescription());
    PageTextLineList list;
    {
        Ref<FontHandle> handle = registry.createFont(fontwords::Type1, fontwords::Plain,
                                                     FontSource(description.get()), nullptr, false);
        ASSERT_TRUE(handle);
        FontRenderer* font = handle->font();
        list.addShownText(WString(u"AB CD"), font->textMatrix(), handle.get());
    }
    registry.purge(-1);
    EXPECT_EQ(registry.liveFontCount(), 1);
    TextWordRecord word;
    ASSERT_TRUE(list.line(0)->getWordInfo(1, word));
    ASSERT_NE(word.font->font(), nullptr);
    EXPECT_EQ(word.font->font()->deviceSize(), 10);
    word.font = nullptr;
    list.clear();
    registry.purge(-1);
    EXPECT_EQ(registry.liveFontCount(), 0);
}

// A font that captures no text (Type 3), a handle without a font, and no
// handle: nothing.
TEST(PageTextLineListTest, NothingToCapture) {
    CaptureFont font;
    font.setFontSize(10);
    font.setTextMatrix(deviceMatrix(1), nullptr);
    font.captures = false;
    Ref<FontHandle> handle = makeRef<FontHandle>(&font);
    Ref<FontHandle> empty = makeRef<FontHandle>(nullptr);
    PageTextLineList list;
    list.addShownText(WString(u"AB"), font.textMatrix(), handle.get());
    list.addShownText(WString(u"AB"), font.textMatrix(), empty.get());
    list.addShownText(WString(u"AB"), font.textMatrix(), nullptr);
    EXPECT_EQ(list.lineCount(), 0u);
}

// The factory the font layer installs gives pages these lists.
TEST(PageTextLineListTest, PagesGetTheseLists) {
    std::unique_ptr<TextLineList> list(newTextLineList());
    EXPECT_NE(dynamic_cast<PageTextLineList*>(list.get()), nullptr);
    EXPECT_TRUE(accentMap()->built());
}

}  // namespace
}  // namespace vistrel
