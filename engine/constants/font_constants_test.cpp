#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/constants/font_constants.h"
#include "engine/constants/setting_keys.h"
#include "engine/object/pdf_object.h"

namespace vistrel {
namespace {

std::string narrow(const WString& s) {
    return s.toLatin1();
}

#define VISTREL_X(id, text) &glyphs::id,
const std::vector<const WStringConstant*> kLatin = {VISTREL_LATIN_GLYPH_NAMES(VISTREL_X) &
                                                    glyphs::K};
const std::vector<const WStringConstant*> kLatinExtA = {VISTREL_LATIN_EXT_A_GLYPH_NAMES(VISTREL_X)};
const std::vector<const WStringConstant*> kLigatures = {VISTREL_LIGATURE_GLYPH_NAMES(VISTREL_X)};
#undef VISTREL_X
#define VISTREL_X(id, text) &encodings::id,
const std::vector<const WStringConstant*> kEncodingWords = {VISTREL_ENCODING_WORDS(VISTREL_X)};
#undef VISTREL_X
#define VISTREL_X(id, text) &fontwords::id,
#define VISTREL_W(id, text, weight) &fontwords::id,
const std::vector<const WStringConstant*> kFontWords = {
    VISTREL_FONT_WORDS(VISTREL_X) VISTREL_WEIGHT_WORDS(VISTREL_W)
        VISTREL_TYPE1_KIND_WORDS(VISTREL_X) VISTREL_TYPE3_KIND_WORDS(VISTREL_X)};
#undef VISTREL_W
#undef VISTREL_X

TEST(FontConstantsTest, ListsAreCompleteDistinctAndFoundLikeRunTimeText) {
    struct List {
        const char* label;
        const std::vector<const WStringConstant*>& constants;
        size_t count;
        bool glyphNames;
    } lists[] = {
        {"Latin glyph names", kLatin, 230, true},
        {"Latin Extended-A glyph names", kLatinExtA, 97, true},
        {"ligature glyph names", kLigatures, 11, true},
        {"encoding words", kEncodingWords, 11, false},
        {"font words", kFontWords, 25, false},
    };
    std::set<std::u16string> glyphTexts;
    for (const List& list : lists) {
        SCOPED_TRACE(list.label);
        EXPECT_EQ(list.constants.size(), list.count);
        std::set<std::u16string> texts;
        for (const WStringConstant* c : list.constants) {
            SCOPED_TRACE(narrow(*c));
            std::u16string text(c->view());
            EXPECT_TRUE(texts.insert(text).second);
            if (list.glyphNames)
                glyphTexts.insert(text);
            EXPECT_TRUE(c->isConstant());
            EXPECT_EQ(c->length(), c->size() + 1);
            EXPECT_EQ(c->capacity(), c->length());
            EXPECT_EQ(text[0] == u'/', list.glyphNames);
            WString runtime(text.c_str());
            EXPECT_EQ(runtime.hash(), c->hash());
            EXPECT_TRUE(runtime.equals(*c));
        }
    }
    // The glyph-name map's 338 names are all different.
    EXPECT_EQ(glyphTexts.size(), 338u);
}

TEST(FontConstantsTest, SpellingsAreTheSystemsOwn) {
    const std::pair<const WStringConstant*, const char*> cases[] = {
        {&encodings::StandartEncoding, "StandartEncoding"},
        {&encodings::WinAnsiEncoding, "WinAnsiEncoding"},
        {&encodings::MaxExpert, "MaxExpert"},
        {&encodings::WinANSI, "WinANSI"},
        {&encodings::MacExpertEncoding, "MacExpertEncoding"},
        {&encodings::Modified, "(Modified)"},
        {&fontwords::Type1CID, "Type1CID"},
        {&fontwords::Plain, "Plain"},
        {&glyphs::LJ, "/LJ"},
        {&glyphs::lj, "/lj"},
        {&glyphs::Macute, "/Macute"},
        {&glyphs::macute, "/macute"},
        {&glyphs::Lcedilla, "/Lcedilla"},
        {&glyphs::lcedila, "/lcedila"},
        {&glyphs::rcaron, "/rcaron"},
        {&glyphs::Rcaron, "/Rcaron"},
        {&glyphs::Euro, "/Euro"},
    };
    for (const auto& [constant, text] : cases)
        EXPECT_EQ(narrow(*constant), text);
    // "/K" is one constant, the decode-parameter key.
    EXPECT_EQ(&glyphs::K, &params::K);
    EXPECT_EQ(narrow(glyphs::K), "/K");
}

TEST(FontConstantsTest, GlyphNamesMatchTheTextOfParsedNames) {
    const struct {
        const char16_t* parsed;
        const WStringConstant* constant;
        bool equal;
    } cases[] = {
        {u"/Aacute", &glyphs::Aacute, true},   {u"/K", &glyphs::K, true},
        {u"/lcedila", &glyphs::lcedila, true}, {u"/IJ", &glyphs::LJ, false},
        {u"/Nacute", &glyphs::Macute, false},  {u"/aacute", &glyphs::Aacute, false},
        {u"Aacute", &glyphs::Aacute, false},
    };
    for (const auto& c : cases) {
        auto name = makeRef<PdfName>(WString(c.parsed));
        SCOPED_TRACE(narrow(name->textValue()));
        EXPECT_EQ(name->textValue().equals(*c.constant), c.equal);
        EXPECT_EQ(wideStringEquals(name->textValue(), *c.constant), c.equal);
    }
}

TEST(FontConstantsTest, WeightWordsInTheirOrder) {
    std::vector<std::pair<std::string, int32_t>> order;
    for (const WeightWord& w : kWeightWords)
        order.emplace_back(narrow(*w.word), w.weight);
    const std::vector<std::pair<std::string, int32_t>> expected = {
        {"thin", 100},      {"extralight", 200}, {"ultralight", 200}, {"light", 300},
        {"medium", 500},    {"semibold", 600},   {"demibold", 600},   {"extrabold", 800},
        {"ultrabold", 800}, {"heavy", 900},      {"black", 900},      {"bold", 700}};
    EXPECT_EQ(order, expected);
    EXPECT_EQ(kNormalWeight, 400);
}

}  // namespace
}  // namespace vistrel
