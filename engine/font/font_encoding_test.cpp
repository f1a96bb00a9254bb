#include "engine/font/font_encoding.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/font/differences.h"
#include "engine/render/content/font_renderer.h"

namespace vistrel {
namespace {

using Pairs = std::vector<std::pair<int64_t, const char16_t*>>;

std::unique_ptr<Differences> differencesOf(const Pairs& pairs) {
    auto d = std::make_unique<Differences>();
    for (const auto& [code, name] : pairs)
        d->add(code, WString(name));
    return d;
}

std::string described(const FontEncoding& e) {
    WString text(u"old text");
    e.describe(text);
    return text.toLatin1();
}

TEST(FontEncodingTest, NamedEncodings) {
    struct Case {
        const char16_t* name;
        bool withDifferences;
        Pairs pairs;
        std::vector<std::pair<int32_t, const char*>> glyphs;
        const char* describe;
    } cases[] = {
        {u"WinAnsiEncoding", false, {}, {{65, "/A"}, {128, "/Euro"}}, "WinANSI"},
        {u"StandartEncoding", false, {}, {{39, "/quoteright"}, {128, ""}}, "Standard"},
        {u"StandardEncoding", false, {}, {{65, ""}}, "Custom"},
        {u"MacRomanEncoding",
         true,
         {{65, u"/B"}, {65, u"/C"}},
         {{65, "/C"}, {66, "/B"}},
         "MacRoman(Modified)"},
        {u"MacExpertEncoding", false, {}, {{65, ""}}, "MaxExpert"},
        {u"PDFDocEncoding", false, {}, {{160, "/Euro"}}, "Custom"},
        {u"Unknown", true, {{65, u"/B"}}, {{65, "/B"}, {66, ""}}, "Custom(Modified)"},
        {u"", false, {}, {{65, ""}}, "Custom"},
        {u"WinAnsiEncoding", true, {}, {{65, "/A"}}, "WinANSI"},
        // Pairs a document cannot give, as a list made by hand may hold them.
        {u"WinAnsiEncoding",
         true,
         {{250, u"/a"}, {251, u"/b"}, {255, u"/f"}, {256, u"/g"}, {1000, u"/h"}, {-3, u"/i"}},
         {{250, "/a"}, {255, "/f"}, {0, ""}, {65, "/A"}},
         "WinANSI(Modified)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(WString(c.name).toLatin1() + (c.withDifferences ? " with differences" : ""));
        std::unique_ptr<Differences> d = c.withDifferences ? differencesOf(c.pairs) : nullptr;
        FontEncoding e(WString(c.name), d.get());
        EXPECT_EQ(e.name().toLatin1(), WString(c.name).toLatin1());
        EXPECT_EQ(e.base(), encodingTableByName(WString(c.name)));
        // Given differences (even none) make an effective table of its own.
        EXPECT_EQ(e.effective() == e.base(), !c.withDifferences);
        for (const auto& [code, glyph] : c.glyphs)
            EXPECT_EQ(e.glyphName(code).toLatin1(), glyph) << "code " << code;
        EXPECT_EQ(described(e), c.describe);

        // NOLINTNEXTLINE(performance-unnecessary-copy-initialization): the copy is tested
        FontEncoding copy(e);
        EXPECT_EQ(copy.base(), e.base());
        for (const auto& [code, glyph] : c.glyphs)
            EXPECT_EQ(copy.glyphName(code).toLatin1(), glyph) << "copy, code " << code;
        EXPECT_EQ(described(copy), c.describe);
    }
}

TEST(FontEncodingTest, EncodingsOverAFontProgramsTable) {
    EncodingTable program;
    program.setEntry(WString(u"/alpha"), 1);
    program.setEntry(WString(u"/beta"), 2);

    FontEncoding plain(program, nullptr);
    auto none = differencesOf({});
    FontEncoding emptyList(program, none.get());
    auto some = differencesOf({{2, u"/gamma"}});
    FontEncoding modified(program, some.get());
    program.setEntry(WString(u"/changed"), 1);  // the encodings hold copies

    EXPECT_EQ(plain.name().toLatin1(), "");
    EXPECT_EQ(plain.effective(), plain.base());
    EXPECT_EQ(emptyList.effective(), emptyList.base());
    EXPECT_NE(modified.effective(), modified.base());
    EXPECT_EQ(plain.glyphName(1).toLatin1(), "/alpha");
    EXPECT_EQ(modified.glyphName(1).toLatin1(), "/alpha");
    EXPECT_EQ(modified.glyphName(2).toLatin1(), "/gamma");
    EXPECT_EQ(modified.base()->entry(2).toLatin1(), "/beta");
    EXPECT_EQ(described(plain), "Custom");
    EXPECT_EQ(described(emptyList), "Custom");
    EXPECT_EQ(described(modified), "Custom(Modified)");

    // NOLINTNEXTLINE(performance-unnecessary-copy-initialization): the copy is tested
    FontEncoding copy(modified);
    EXPECT_NE(copy.base(), modified.base());
    EXPECT_EQ(copy.glyphName(2).toLatin1(), "/gamma");
    EXPECT_EQ(copy.base()->entry(2).toLatin1(), "/beta");
}

TEST(FontEncodingTest, CodesOutsideOneByteHaveNoName) {
    FontEncoding e(WString(u"WinAnsiEncoding"));
    for (int32_t code : {-1, 256, 0x4141, 65535}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(e.glyphName(code).toLatin1(), "");
    }
    EXPECT_EQ(e.glyphName(255).toLatin1(), "/ydieresis");
    EXPECT_EQ(glyphNameOf(&e, 65).toLatin1(), "/A");
    EXPECT_EQ(glyphNameOf(nullptr, 65).toLatin1(), "");
}

TEST(FontEncodingTest, FindVisitsEveryCodeOfAName) {
    auto d = differencesOf({{3, u"/a"}, {200, u"/a"}, {255, u"/last"}});
    FontEncoding e(WString(u"StandartEncoding"), d.get());

    // /a stands at 3, 97 and 200.
    ASSERT_TRUE(e.findFirst(WString(u"/a")));
    std::vector<int32_t> codes;
    int32_t code = -1;
    bool more = true;
    while (more) {
        more = e.findNext(code, WString(u"/a"));
        codes.push_back(code);
    }
    EXPECT_EQ(codes, (std::vector<int32_t>{3, 97, 200}));
    code = -1;
    EXPECT_FALSE(e.findNext(code, WString(u"/a")));
    EXPECT_EQ(code, -1);

    // The last code: findNext gives it and answers false.
    ASSERT_TRUE(e.findFirst(WString(u"/last")));
    EXPECT_FALSE(e.findNext(code, WString(u"/last")));
    EXPECT_EQ(code, 255);

    EXPECT_FALSE(e.findFirst(WString(u"/nothing")));
    code = -1;
    EXPECT_FALSE(e.findNext(code, WString(u"/nothing")));
    EXPECT_EQ(code, -1);
    FontEncoding unknown(WString(u"Unknown"));
    EXPECT_FALSE(unknown.findFirst(WString(u"/A")));
}

TEST(FontEncodingTest, AFontOwnsItsEncoding) {
    FontRenderer font;
    auto* first = new FontEncoding(WString(u"WinAnsiEncoding"));
    font.setEncoding(first);
    EXPECT_EQ(font.encoding(), first);
    // Replacing it destroys the first; the font destroys the second (the
    // leak checker sees either go missing).
    auto* second = new FontEncoding(WString(u"MacRomanEncoding"));
    font.setEncoding(second);
    EXPECT_EQ(font.encoding()->glyphName(193).toLatin1(), "/exclam");
}

}  // namespace
}  // namespace vistrel
