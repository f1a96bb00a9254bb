// The text object and text-showing operators, with fonts that log what they
// show and text lines that log what they capture, in one shared log.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/constants/name_constants.h"
#include "engine/doc/typed_objects.h"
#include "engine/render/content/content_test_util.h"
#include "engine/render/content/text_line_list.h"

namespace vistrel {
namespace {

using test::num;
using test::Session;
using test::TestDocument;

std::vector<std::string> shared;

std::string at(const Matrix& m) {
    return num(m.e) + " " + num(m.f);
}

// Every code 0.5 units wide; strings are shown glyph by glyph (no bars).
class ShowingFont : public FontRenderer {
public:
    ShowingFont() : FontRenderer(&widthTable()) {}

    bool showString(const WString& text) override {
        shared.push_back("show " + text.toLatin1() + " at " + at(textMatrix()));
        return FontRenderer::showString(text);
    }
    bool allowsTextBar() const override { return false; }

    static const DoubleArray& widthTable() {
        static const DoubleArray table = [] {
            DoubleArray w;
            for (int i = 0; i < 256; ++i)
                w.append(0.5);
            return w;
        }();
        return table;
    }
};

class CapturingLines : public TextLineList {
public:
    void clear() override {}
    void spaceWords() override {}
    void addShownText(const WString& text, const Matrix& m, FontHandle* font) override {
        shared.push_back("capture " + text.toLatin1() + " at " + at(m));
        EXPECT_NE(font, nullptr);
    }
};

// The fonts the maker made, and the dictionaries it was asked for; a
// dictionary with /BaseFont /Fail makes none.
std::vector<std::unique_ptr<ShowingFont>> made;
std::vector<PdfDict*> askedFor;

Ref<FontHandle> makeShowingFont(PdfDict& dict, ContentInterpreter&) {
    askedFor.push_back(&dict);
    PdfName* base = asName(dict.get(names::BaseFont));
    if (base && base->textValue().toLatin1() == "/Fail")
        return nullptr;
    made.push_back(std::make_unique<ShowingFont>());
    return makeRef<FontHandle>(made.back().get());
}

// /F1 and /F2 name one dictionary, /F3 another; /GS1 selects /F3's at size
// 9 and sets the line width 3; /F9 is no font dictionary, /F4 makes no font.
const char* const kResources =
    "/Resources << /Font << /F1 4 0 R /F2 4 0 R /F3 5 0 R /F4 6 0 R /F9 7 0 R >> "
    "/ExtGState << /GS1 << /Font [5 0 R 9] /LW 3 >> >> >>";
const std::vector<std::string> kObjects = {
    "<< /Type /Font /Subtype /Type1 /BaseFont /One >>",
    "<< /Type /Font /Subtype /Type1 /BaseFont /Three >>",
    "<< /Type /Font /Subtype /Type1 /BaseFont /Fail >>",
    "<< /Subtype /Type1 /BaseFont /NotTyped >>",
};

// The maker and the typed font dictionaries installed for a test.
class TextOperatorsTest : public ::testing::Test {
protected:
    void SetUp() override {
        oldFactory_ = setFontDictFactory(test::makeTestFontDict);
        oldMaker_ = setFontMaker(makeShowingFont);
    }
    void TearDown() override {
        setFontMaker(oldMaker_);
        setFontDictFactory(oldFactory_);
    }

private:
    FontDictFactory oldFactory_ = nullptr;
    FontMaker oldMaker_ = nullptr;
};

// A page over the resources above, run with capture on.
class Page {
public:
    explicit Page(const Matrix& base = Matrix{}) : doc_(kResources, kObjects) {
        shared.clear();
        askedFor.clear();
        session_ = std::make_unique<Session>(base);
        session_->in.setResources(doc_.page()->resources());
        session_->in.setTextCapture(&lines_, true);
    }
    ~Page() {
        session_.reset();
        made.clear();
    }

    void run(const std::string& content) { session_->run(content); }
    ContentInterpreter& in() { return session_->in; }
    TextState& text() { return *session_->in.textState(); }
    FontRenderer* font() { return currentFont(session_->in); }
    std::string lastWidth() const { return session_->lastWidth(); }
    const std::vector<std::string>& trace() const { return session_->trace.lines; }

private:
    TestDocument doc_;
    CapturingLines lines_;
    std::unique_ptr<Session> session_;
};

// Each string is captured where it starts, then shown; TJ numbers move by
// thousandths of the font size whatever the horizontal scaling.
TEST_F(TextOperatorsTest, StringsAreCapturedThenShown) {
    const struct {
        const char* content;
        std::vector<std::string> log;
    } cases[] = {
        {"BT /F1 10 Tf 1 0 0 1 5 6 Tm (Hi) Tj ET", {"capture Hi at 5 6", "show Hi at 5 6"}},
        // The invisible mode is captured too.
        {"BT /F1 10 Tf 3 Tr (A) Tj ET", {"capture A at 0 0", "show A at 0 0"}},
        {"BT /F1 10 Tf [(A) -500 (B)] TJ ET",
         {"capture A at 0 0", "show A at 0 0", "capture B at 10 0", "show B at 10 0"}},
        {"BT /F1 10 Tf 50 Tz [(A) -500 (B)] TJ ET",
         {"capture A at 0 0", "show A at 0 0", "capture B at 7.5 0", "show B at 7.5 0"}},
        {"BT /F1 10 Tf [(A) /X null (B)] TJ ET",
         {"capture A at 0 0", "show A at 0 0", "capture B at 5 0", "show B at 5 0"}},
        {"BT /F1 10 Tf 12 TL 0 100 Td (x) ' ET", {"capture x at 0 88", "show x at 0 88"}},
        {"BT /F1 10 Tf 12 TL 1 2 (xy) \" ET", {"capture xy at 0 -12", "show xy at 0 -12"}},
    };
    for (const auto& c : cases) {
        Page page;
        page.run(c.content);
        EXPECT_EQ(shared, c.log) << c.content;
        EXPECT_EQ(page.in().mode(), kStatePage) << c.content;
    }
}

// ' and the quotation mark move the interpreter's line matrix by the
// leading; the quotation mark sets both spacings, also when its string is
// missing or of the wrong kind, and also without a font.
TEST_F(TextOperatorsTest, NextLineAndSpacings) {
    const struct {
        const char* content;
        const char* trace;
        double lineY, wordSpacing, charSpacing;
        double fontWordSpacing;
    } cases[] = {
        {"BT /F1 10 Tf 12 TL 1 2 (x) \"", "0 2 \" ok", -12, 1, 2, 1},
        {"BT /F1 10 Tf 12 TL 1 2 5 \"", "0 2 \" status 3", 0, 1, 2, 0},
        {"BT /F1 10 Tf 12 TL 1 2 \"", "0 2 \" status 3", 0, 0, 1, 0},
        {"BT /F1 10 Tf 12 TL \"", "0 2 \" status 4", 0, 0, 0, 0},
        {"BT 12 TL 1 2 (x) \" (y) '", "0 2 ' ok", -24, 1, 2, 0},
    };
    for (const auto& c : cases) {
        Page page;
        page.run(c.content);
        EXPECT_EQ(page.trace().back(), c.trace) << c.content;
        EXPECT_EQ(page.text().lineMatrix.f, c.lineY) << c.content;
        EXPECT_EQ(page.text().textMatrix.f, c.lineY) << c.content;
        EXPECT_EQ(page.text().wordSpacing, c.wordSpacing) << c.content;
        EXPECT_EQ(page.text().charSpacing, c.charSpacing) << c.content;
        if (FontRenderer* f = page.font()) {
            EXPECT_EQ(f->wordSpacing(), c.fontWordSpacing) << c.content;
        }
    }
}

// Without a font nothing is shown or captured, and the operators answer 0.
TEST_F(TextOperatorsTest, NothingWithoutAFont) {
    Page page;
    page.run("BT (x) Tj [(y) 5] TJ 12 TL (z) ' 1 2 (w) \" ET");
    EXPECT_TRUE(shared.empty());
    for (const std::string& line : page.trace())
        EXPECT_EQ(line.substr(line.size() - 2), "ok") << line;
    EXPECT_EQ(page.text().lineMatrix.f, -24);
    // A dictionary that makes no font leaves the text state without one.
    page.run("BT /F1 10 Tf /F4 10 Tf (x) Tj ET");
    EXPECT_EQ(page.trace()[page.trace().size() - 3], "0 2 Tf status 3");
    EXPECT_EQ(page.text().font, nullptr);
    EXPECT_TRUE(shared.empty());
}

// Wrong or missing operands: 3 or 4, nothing shown, the font and its size
// kept.
TEST_F(TextOperatorsTest, OperandErrors) {
    const struct {
        const char* content;
        const char* trace;
    } cases[] = {
        {"/F9 12 Tf", "0 2 Tf status 3"}, {"/Nope 12 Tf", "0 2 Tf status 3"},
        {"12 12 Tf", "0 2 Tf status 3"},  {"5 Tj", "0 2 Tj status 3"},
        {"Tj", "0 2 Tj status 4"},        {"(x) TJ", "0 2 TJ status 3"},
        {"TJ", "0 2 TJ status 4"},        {"/x '", "0 2 ' status 3"},
    };
    for (const auto& c : cases) {
        Page page;
        page.run("BT /F1 10 Tf");
        FontHandle* before = page.text().font.get();
        shared.clear();
        page.run(c.content);
        EXPECT_EQ(page.trace().back(), c.trace) << c.content;
        EXPECT_EQ(page.text().font.get(), before) << c.content;
        EXPECT_EQ(page.text().fontSize, 10) << c.content;
        EXPECT_TRUE(shared.empty()) << c.content;
    }
}

// The font gets the text state; one name selected twice in a run is one
// font; a second name continues where the font before it stands.
TEST_F(TextOperatorsTest, FontSelection) {
    Page page;
    page.run("BT 2 Tc 3 Tw 12 TL 80 Tz 1 Tr 4 Ts /F1 10 Tf");
    FontRenderer* f = page.font();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->charSpacing(), 2);
    EXPECT_EQ(f->wordSpacing(), 3);
    EXPECT_EQ(f->leading(), 12);
    EXPECT_EQ(f->horizontalScale(), 80);
    EXPECT_EQ(f->renderMode(), 1);
    EXPECT_EQ(f->rise(), 4);
    EXPECT_EQ(f->fontSize(), 10);

    askedFor.clear();
    page.run("0 Tc 0 Tw 100 Tz 0 Ts /F1 10 Tf (AB) Tj /F1 12 Tf");
    EXPECT_EQ(askedFor.size(), 1u);
    EXPECT_EQ(page.font()->fontSize(), 12);
    // /F2 names the same dictionary under another name: the font made for it
    // starts where /F1 stands after "AB" (2 x 0.5 x 10).
    page.run("ET BT /F1 10 Tf (AB) Tj /F1 12 Tf /F2 10 Tf (C) Tj ET");
    EXPECT_EQ(askedFor.size(), 3u);
    EXPECT_EQ(shared.back(), "show C at 10 0");
}

// BT puts a current font's matrices back to CTM x base.
TEST_F(TextOperatorsTest, BeginTextResetsTheFontsMatrices) {
    Page page(Matrix{2, 0, 0, -2, 0, 100});
    page.run("1 0 0 1 10 5 cm BT /F1 10 Tf 7 8 Td (x) Tj ET BT");
    FontRenderer* f = page.font();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(test::RecordingFont::text(f->textMatrix()), "2 0 0 -2 20 90");
    EXPECT_EQ(test::RecordingFont::text(f->lineMatrix()), "2 0 0 -2 20 90");
    EXPECT_EQ(page.in().mode(), kStateText);
}

// "gs" with /Font selects the font dictionary at the size and then sets the
// line width; the dictionary is the font's key in the run.
TEST_F(TextOperatorsTest, ExtGStateSelectsAFont) {
    Page page;
    page.run("BT /GS1 gs (A) Tj /GS1 gs ET");
    ASSERT_NE(page.font(), nullptr);
    EXPECT_EQ(page.font()->fontSize(), 9);
    EXPECT_EQ(page.text().fontSize, 9);
    ASSERT_EQ(askedFor.size(), 1u);
    EXPECT_EQ(asName(askedFor[0]->get(names::BaseFont))->textValue().toLatin1(), "/Three");
    EXPECT_EQ(shared, (std::vector<std::string>{"capture A at 0 0", "show A at 0 0"}));
    EXPECT_EQ(page.lastWidth(), "width 3");
}

}  // namespace
}  // namespace vistrel
