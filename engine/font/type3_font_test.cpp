// Type 3 fonts made by "Tf" through the process's font registry, their glyph
// procedures run in the page's interpreter onto a small canvas.
#include "engine/font/type3_font.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engine/constants/setting_keys.h"
#include "engine/core/settings_store.h"
#include "engine/font/font_registry.h"
#include "engine/font/font_test_util.h"
#include "engine/font/pdf_font_factories.h"
#include "engine/render/content/content_test_util.h"
#include "engine/render/content/matrix.h"

namespace vistrel {
namespace {

using test::Session;
using test::streamObject;
using test::TestDocument;
using testing::SettingGuard;

// Page space with y upward onto a 64 x 64 canvas.
const Matrix kUp{1, 0, 0, -1, 0, 64};

// A Type 3 font dictionary: the /FontMatrix scale, the encoding's
// /Differences, and further entries.
std::string type3(double scale, const std::string& differences, const std::string& more) {
    return "<< /Type /Font /Subtype /Type3 /FontMatrix [" + test::num(scale) + " 0 0 " +
           test::num(scale) + " 0 0] /FontBBox [0 0 1000 1000] /Encoding << /Type /Encoding " +
           "/Differences [" + differences + "] >> " + more + " >>";
}

// The pixels of one colour ('#', 'r', 'g', 'b' as Canvas::picture names
// them): how many, and their bounding box in device pixels.
struct Ink {
    int count = 0;
    int x0 = 0, y0 = 0, x1 = -1, y1 = -1;
    std::string box() const {
        return std::to_string(x0) + "," + std::to_string(y0) + " " + std::to_string(x1) + "," +
               std::to_string(y1);
    }
};

Ink inkOf(const test::Canvas& canvas, char colour) {
    const std::string picture = canvas.picture();
    Ink ink;
    int x = 0, y = 0;
    for (char c : picture) {
        if (c == '\n') {
            x = 0;
            ++y;
            continue;
        }
        if (c == colour) {
            if (ink.count++ == 0) {
                ink.x0 = ink.x1 = x;
                ink.y0 = ink.y1 = y;
            }
            ink.x0 = std::min(ink.x0, x);
            ink.x1 = std::max(ink.x1, x);
            ink.y0 = std::min(ink.y0, y);
            ink.y1 = std::max(ink.y1, y);
        }
        ++x;
    }
    return ink;
}

// A page whose resources are given, run through an interpreter of its own.
// The registry's fonts that only it still holds go with it.
class Page {
public:
    Page(const std::string& resources, const std::vector<std::string>& objects,
         const Matrix& base = kUp)
        : doc_("/Resources << " + resources + " >>", objects),
          session_(std::make_unique<Session>(base, 64)) {
        session_->in.setResources(doc_.page()->resources());
    }
    ~Page() {
        session_.reset();
        fontRegistry()->purge(-1);
    }

    void run(const std::string& content) { session_->run(content); }
    ContentInterpreter& in() { return session_->in; }
    TextState& text() { return *session_->in.textState(); }
    FontRenderer* font() { return currentFont(session_->in); }
    Ink ink(char colour) const { return inkOf(session_->canvas, colour); }
    std::string picture() const { return session_->canvas.picture(); }
    std::vector<std::uint32_t> pixels() const {
        std::vector<std::uint32_t> all;
        for (int y = 0; y < session_->canvas.height; ++y) {
            for (int x = 0; x < session_->canvas.width; ++x)
                all.push_back(session_->canvas.pixel(x, y));
        }
        return all;
    }
    // The deepest content run an operator ran in (0: the page's own).
    int deepestRun() const {
        int deepest = 0;
        for (const std::string& line : session_->trace.lines)
            deepest = std::max(deepest, std::stoi(line));
        return deepest;
    }
    // A fresh interpreter over a fresh canvas, as the next page render has.
    void renewInterpreter() {
        session_ = std::make_unique<Session>(kUp, 64);
        session_->in.setResources(doc_.page()->resources());
    }
    void setObserver(StepObserver* observer) { session_->in.setStepObserver(observer); }
    // How far the font has moved along the text's x axis, in text space,
    // from where the interpreter's text matrix stands.
    double advance() {
        const Matrix start = multiply(text().textMatrix, in().deviceMatrix());
        const Matrix& now = font()->textMatrix();
        return std::hypot(now.e - start.e, now.f - start.f) / std::hypot(now.a, now.b);
    }

private:
    TestDocument doc_;
    std::unique_ptr<Session> session_;
};

// Each test starts with a registry of its own, registered as the engine
// registers it.
class Type3FontTest : public ::testing::Test {
protected:
    void SetUp() override { testing::freshEngineRegistry(); }
    void TearDown() override { testing::freshEngineRegistry(); }
};

// A filled square over the glyph's em, in an RGB colour. (The scan
// converter fills a square of n units over n + 1 pixels: both edges.)
std::string square(const char* rgb) {
    return streamObject("", std::string(rgb) + " rg 0 0 1000 1000 re f");
}

// The advance is the width in glyph space through the font matrix, times the
// size, plus the character spacing; a code past the widths advances by the
// spacing alone; the glyph is drawn under the same matrices.
TEST_F(Type3FontTest, AdvanceAndGlyphFollowTheFontMatrix) {
    const struct {
        double scale;
        const char* content;
        double advance;
        const char* box;
    } cases[] = {
        {0.001, "BT /T 12 Tf (a) Tj ET", 6, "0,52 12,63"},
        {0.002, "BT /T 12 Tf (a) Tj ET", 12, "0,40 24,63"},
        {0.001, "BT /T 10 Tf 2 Tc 50 Tz (a) Tj ET", 4.5, "0,54 5,63"},
        {0.001, "BT /T 10 Tf [(a) -500 (a)] TJ ET", 15, "0,54 20,63"},
        {0.001, "BT /T 10 Tf 2 Tc (\\310) Tj ET", 2, ""},
        // The transformation in force applies once, through the text
        // rendering matrix.
        {0.001, "2 0 0 2 4 4 cm BT /T 10 Tf (a) Tj ET", 5, "4,40 24,60"},
        {0.001, "BT /T 10 Tf 0 1 -1 0 30 0 Tm (a) Tj ET", 5, "20,54 30,63"},
    };
    for (const auto& c : cases) {
        Page page("/Font << /T 4 0 R >>",
                  {type3(c.scale, "97 /a", "/CharProcs << /a 5 0 R >> /FirstChar 97 /Widths [500]"),
                   square("1 0 0")});
        page.run(c.content);
        ASSERT_NE(page.font(), nullptr) << c.content;
        EXPECT_NEAR(page.advance(), c.advance, 1e-9) << c.content;
        const Ink red = page.ink('r');
        EXPECT_EQ(red.count > 0 ? red.box() : "", c.box) << c.content << "\n" << page.picture();
    }
}

// The glyph of a code is the name /Differences gives it (a number sets the
// running code, a name takes it and raises it, anything else is skipped), and
// the procedure /CharProcs holds under that name. A code without one draws
// nothing, advances, and the string goes on.
TEST_F(Type3FontTest, GlyphsByTheirNamesInDifferences) {
    const struct {
        const char* differences;
        const char* string;
        const char* red;
        const char* blue;
    } cases[] = {
        {"0 /a 10 /b", "(\\012)", "", "0,54 10,63"},
        {"0 /a 10 /b", "(\\000)", "0,54 10,63", ""},
        {"0 /a 10 /b", "(\\005)", "", ""},
        {"0 /a 10 /b", "(\\005\\012)", "", "12,54 22,63"},
        {"0 null /a 10 (x) /b", "(\\000\\012)", "0,54 10,63", "12,54 22,63"},
        {"0 /x /b", "(\\001)", "", "0,54 10,63"},
        {"", "(\\000)", "", ""},
    };
    for (const auto& c : cases) {
        Page page("/Font << /T 4 0 R >>",
                  {type3(0.001, c.differences, "/CharProcs << /a 5 0 R /b 6 0 R /x 7 0 R >>"),
                   square("1 0 0"), square("0 0 1"), "(not a stream)"});
        page.run(std::string("BT /T 10 Tf 12 Tc ") + c.string + " Tj ET");
        SCOPED_TRACE(std::string(c.differences) + " " + c.string);
        EXPECT_EQ(page.ink('r').count ? page.ink('r').box() : "", c.red);
        EXPECT_EQ(page.ink('b').count ? page.ink('b').box() : "", c.blue);
    }
    // The encoding must be an encoding dictionary.
    Page page("/Font << /T 4 0 R >>",
              {"<< /Type /Font /Subtype /Type3 /FontMatrix [0.001 0 0 0.001 0 0] "
               "/Encoding << /Differences [0 /a] >> /CharProcs << /a 5 0 R >> >>",
               square("1 0 0")});
    page.run("BT /T 10 Tf (\\000) Tj ET");
    EXPECT_EQ(page.ink('r').count, 0);
}

// Widths: /FirstChar zeros, /Widths x 0.001, then zeros from /LastChar + 1 to
// 255 (however many widths there are). /FontMatrix: an array of six, an
// element that is no number keeping the identity's value; anything else is
// the identity.
TEST_F(Type3FontTest, WidthsAndFontMatrixFromTheDictionary) {
    std::string many;
    for (int i = 0; i < 169; ++i)
        many += " 600";
    const struct {
        std::string entries;
        std::int32_t count;
        std::int32_t code;
        double width;
        Matrix matrix;
    } cases[] = {
        {"/FirstChar 32 /LastChar 200 /Widths [" + many + "]", 256, 200, 0.6, {}},
        {"/FirstChar 97 /Widths [500] /FontMatrix [0.002 0 0 0.002 0 0]", 98, 97, 0.5,
         {0.002, 0, 0, 0.002, 0, 0}},
        {"/LastChar 2 /Widths [1 2 3] /FontMatrix [/x 0 0 0.5 1 2]", 256, 2, 0.003,
         {1, 0, 0, 0.5, 1, 2}},
        {"/FontMatrix [0.5 0 0 0.5]", 0, 0, 0, {}},
        {"/FontMatrix 5", 0, 0, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entries);
        testing::FontTestDocument doc({"<< /Type /Font /Subtype /Type3 " + c.entries + " >>"});
        auto* dict = static_cast<Type3FontDict*>(asFontDict(doc.object(1)));
        ASSERT_NE(dict, nullptr);
        auto description = makeRef<Type3FontDescription>(dict, nullptr);
        std::unique_ptr<FontRenderer> font = loadType3Font(*description, nullptr);
        ASSERT_NE(font, nullptr);
        const auto& type3 = static_cast<const Type3Font&>(*font);
        EXPECT_EQ(font->widths().count(), c.count);
        if (c.count > 0) {
            EXPECT_DOUBLE_EQ(font->widths()[c.code], c.width);
            EXPECT_EQ(font->widths()[c.count - 1], c.code == c.count - 1 ? c.width : 0.0);
        }
        EXPECT_EQ(test::RecordingFont::text(type3.fontMatrix()),
                  test::RecordingFont::text(c.matrix));
    }
}

// What a Type 3 font answers where it differs from the base; a copy draws
// like the font it was made from.
TEST_F(Type3FontTest, Answers) {
    testing::FontTestDocument doc(
        {"<< /Type /Font /Subtype /Type3 /FirstChar 1 /Widths [250] "
         "/FontMatrix [0.002 0 0 0.002 0 0] >>",
         "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"});
    auto* dict = static_cast<Type3FontDict*>(asFontDict(doc.object(1)));
    ContentInterpreter interpreter(fullOperatorStateMap(), kStatePage, true);
    auto description = makeRef<Type3FontDescription>(dict, &interpreter);
    std::unique_ptr<FontRenderer> font = loadType3Font(*description, nullptr);
    ASSERT_NE(font, nullptr);
    WString text(u"before");
    font->description(text);
    EXPECT_EQ(text.toLatin1(), "Type3 font");
    EXPECT_EQ(font->ascent(), 0.8);
    EXPECT_EQ(font->descent(), 0.2);
    EXPECT_FALSE(font->capturesText());
    EXPECT_FALSE(font->allowsTextBar());
    EXPECT_FALSE(font->isReleasable());
    EXPECT_FALSE(font->drawGlyph(1, IntPoint(0, 0)));
    EXPECT_EQ(font->programAdvance(1), 0.0);
    EXPECT_TRUE(font->isUsable());
    EXPECT_EQ(font->deviceSize(), 1.0);
    font->setFontSize(7);
    font->setTextMatrix(Matrix{3, 0, 0, 3, 10, 20}, nullptr);
    EXPECT_EQ(font->deviceSize(), 7.0);

    std::unique_ptr<DrawableBase> copy = font->clone();
    auto* type3 = dynamic_cast<Type3Font*>(copy.get());
    ASSERT_NE(type3, nullptr);
    EXPECT_EQ(type3->interpreter(), &interpreter);
    EXPECT_EQ(type3->fontSize(), 7.0);
    EXPECT_EQ(type3->widths().count(), 2);
    EXPECT_EQ(test::RecordingFont::text(type3->textMatrix()), "3 0 0 3 10 20");
    EXPECT_DOUBLE_EQ(type3->fontMatrix().a, 0.002);

    // Other descriptions make no Type 3 font.
    WString out;
    Ref<FontDescription> type1 = createType1Font(FontSource(doc.object(2)), out);
    ASSERT_TRUE(type1);
    EXPECT_EQ(loadType3Font(*type1, nullptr), nullptr);
}

// The nested font of a procedure comes from the font's own resources; the
// text state's font is back afterwards and the outer text goes on.
TEST_F(Type3FontTest, ProcedureShowsTextWithItsOwnResources) {
    Page page("/Font << /T 4 0 R >>",
              {type3(0.001, "97 /a",
                     "/CharProcs << /a 5 0 R >> /FirstChar 97 /Widths [1000] "
                     "/Resources << /Font << /In 6 0 R >> >>"),
               streamObject("", "BT /In 1000 Tf (b) Tj ET"),
               type3(0.001, "98 /b", "/CharProcs << /b 7 0 R >>"), square("0 0 1"),
               square("1 0 0")});
    page.run("BT /T 10 Tf");
    Ref<FontHandle> outer = page.text().font;
    page.run("(a) Tj");
    EXPECT_EQ(page.text().font, outer);
    EXPECT_EQ(page.in().mode(), kStateText);
    EXPECT_EQ(page.ink('b').box(), "0,54 10,63");
    page.run("(a) Tj ET");
    EXPECT_EQ(page.ink('b').box(), "0,54 20,63");
    EXPECT_EQ(page.in().mode(), kStatePage);
}

// A procedure that leaves "q" open leaves none of its state behind: the
// outer states, colour and font are back after each glyph, also between the
// strings of "TJ".
TEST_F(Type3FontTest, ProceduresLeavingStatesOpen) {
    Page page("/Font << /T 4 0 R >>",
              {type3(0.001, "97 /a", "/CharProcs << /a 5 0 R >> /FirstChar 97 /Widths [1000]"),
               streamObject("", "q q 1 0 0 rg 2 0 0 2 0 0 cm 0 0 500 500 re f")});
    page.run("0 0 1 rg BT /T 10 Tf");
    Ref<FontHandle> outer = page.text().font;
    page.run("[(a) -500 (a)] TJ");
    EXPECT_EQ(page.in().savedStateCount(), 0u);
    EXPECT_EQ(page.text().font, outer);
    EXPECT_NEAR(page.advance(), 25, 1e-9);
    page.run("ET 40 40 4 4 re f");
    EXPECT_EQ(page.ink('r').box(), "0,54 25,63");
    EXPECT_EQ(page.ink('b').box(), "40,20 44,24");
}

// "Interface"/"ProgressIndicator" reads off inside glyph procedures, nested
// ones too, and as the host left it afterwards.
class SettingLog : public StepObserver {
public:
    std::vector<std::string> inside;
    void operatorDone(const OperatorTrace& t) override {
        if (t.depth == 0)
            return;
        const SettingValue* v =
            settingsStore().find(settings::Interface, settings::ProgressIndicator);
        inside.push_back(v ? std::to_string(readSettingNumber(v, -1)) : "none");
    }
};

TEST_F(Type3FontTest, ProgressIndicatorIsOffWhileProceduresRun) {
    const struct {
        bool set;
        const char* after;
    } cases[] = {{true, "7"}, {false, "none"}};
    for (const auto& c : cases) {
        SettingGuard guard(settings::Interface, settings::ProgressIndicator);
        if (c.set)
            guard.set(SettingValue::ofInteger(7));
        Page page("/Font << /T 4 0 R >>",
                  {type3(0.001, "97 /a",
                         "/CharProcs << /a 5 0 R >> /Resources << /Font << /In 6 0 R >> >>"),
                   streamObject("", "BT /In 1000 Tf (b) Tj ET"),
                   type3(0.001, "98 /b", "/CharProcs << /b 7 0 R >>"), square("0 0 1")});
        SettingLog log;
        page.setObserver(&log);
        page.run("BT /T 10 Tf (a) Tj ET");
        // Four operators of the outer procedure, three of the inner one.
        EXPECT_EQ(log.inside, std::vector<std::string>(7, "0"));
        const SettingValue* v =
            settingsStore().find(settings::Interface, settings::ProgressIndicator);
        EXPECT_EQ(v ? std::to_string(readSettingNumber(v, -1)) : "none", c.after);
    }
}

// A procedure that shows text in its own font, directly or through another
// font or a form, ends: a font whose glyph is being drawn is not entered
// again, and procedures nest at most four deep. A skipped glyph only
// advances; the page goes on.
TEST_F(Type3FontTest, RecursionEnds) {
    const std::string showA = streamObject("", "BT /X 1000 Tf (a) Tj ET");
    auto font = [](int procedure, const std::string& resources) {
        return type3(0.001, "97 /a",
                     "/CharProcs << /a " + std::to_string(procedure) +
                         " 0 R >> /FirstChar 97 /Widths [1000] /Resources << " + resources +
                         " >>");
    };
    // Fonts 4 to 9 with procedures 10 to 15, each showing the next font; the
    // last procedure is a red square.
    std::vector<std::string> chain;
    chain.reserve(12);
    for (int i = 0; i < 6; ++i)
        chain.push_back(font(10 + i, "/Font << /X " + std::to_string(5 + i) + " 0 R >>"));
    chain.insert(chain.end(), 5, showA);
    chain.push_back(square("1 0 0"));
    const struct {
        const char* name;
        std::vector<std::string> objects;
        int deepest;
    } cases[] = {
        {"itself", {font(5, "/Font << /X 4 0 R >>"), showA}, 1},
        {"each other",
         {font(5, "/Font << /X 6 0 R >>"), showA, font(7, "/Font << /X 4 0 R >>"), showA},
         2},
        {"a form",
         {font(5, "/XObject << /Fm 6 0 R >>"), streamObject("", "/Fm Do"),
          streamObject("/Type /XObject /Subtype /Form /BBox [0 0 1000 1000] "
                       "/Resources << /Font << /X 4 0 R >> >>",
                       "BT /X 1000 Tf (a) Tj ET")},
         2},
        {"a chain of six", chain, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Page page("/Font << /T 4 0 R >>", c.objects);
        page.run("BT /T 10 Tf (aa) Tj ET 0 1 0 rg 40 40 4 4 re f");
        EXPECT_EQ(page.deepestRun(), c.deepest);
        EXPECT_NEAR(page.advance(), 20, 1e-9);
        EXPECT_EQ(page.ink('g').box(), "40,20 44,24");
        EXPECT_EQ(page.ink('r').count, 0);
    }
}

// The font the registry keeps after its page draws through the interpreter
// of the page that selects it next, also when the registry makes it again;
// with no interpreter it draws nothing.
TEST_F(Type3FontTest, FontsDrawThroughTheCurrentPagesInterpreter) {
    Page page("/Font << /T 4 0 R >>",
              {type3(0.001, "97 /a", "/CharProcs << /a 5 0 R >> /FirstChar 97 /Widths [1000]"),
               square("1 0 0")});
    page.run("BT /T 10 Tf (a) Tj ET");
    Ref<FontHandle> handle = page.text().font;
    auto* font = static_cast<Type3Font*>(handle->font());
    EXPECT_EQ(font->interpreter(), &page.in());

    page.renewInterpreter();
    EXPECT_EQ(font->interpreter(), nullptr);
    EXPECT_TRUE(font->showGlyph('a'));
    EXPECT_EQ(page.ink('r').count, 0);

    page.run("BT /T 10 Tf (a) Tj ET");
    EXPECT_EQ(page.text().font, handle);
    EXPECT_EQ(font->interpreter(), &page.in());
    EXPECT_EQ(page.ink('r').box(), "0,54 10,63");

    // Made again by the registry from the record it keeps: the new font
    // takes the text state of the run that uses it.
    page.renewInterpreter();
    page.run("BT /T 10 Tf ET");
    handle->setFont(nullptr);
    page.run("BT (a) Tj ET");
    auto* again = static_cast<Type3Font*>(handle->currentFont());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->interpreter(), &page.in());
    EXPECT_EQ(page.ink('r').box(), "0,54 10,63");
}

}  // namespace
}  // namespace vistrel

namespace vistrel {
namespace {

// A glyph drawing one 8 x 10 image mask in line, as bitmap fonts are
// written; `more` goes after "d1".
std::string stencilGlyph(const std::string& more) {
    return streamObject("", "800 0 0 0 8 10 d1 " + more +
                                "q 8 0 0 10 0 0 cm BI /W 8 /H 10 /IM true /BPC 1 /D [1 0] ID "
                                "\x3c\x42\x81\xa5\x81\xbd\x81\x42\x3c\x18 EI Q");
}

// A glyph that only draws an image mask is drawn from the image its first
// showing made wherever the image lands on the same whole-pixel edges, and
// gives the very pixels its procedure draws: at fractional positions, in
// other colours, clipped (a clipped blit changes the image it draws) and at
// other sizes. The twin glyph's "0 w" keeps it from being kept.
TEST_F(Type3FontTest, KeptStencilGlyphsDrawAsTheirProcedures) {
    SettingGuard show(settings::Quality, settings::ImageShowMode);
    settingsStore().set(settings::Quality, settings::ImageShowMode, SettingValue::ofInteger(2));
    // Clips of other shapes than rectangles as span lists, which images are
    // clipped by pixel.
    SettingGuard clipMode(settings::Quality, settings::GDCClipMode);
    SettingGuard optimMode(settings::Quality, settings::GDCOptimMode);
    settingsStore().set(settings::Quality, settings::GDCClipMode, SettingValue::ofInteger(1));
    settingsStore().set(settings::Quality, settings::GDCOptimMode, SettingValue::ofInteger(1));
    const char* contents[] = {
        "0 g BT /T 7.3 Tf 1.37 Tc 3.3 50.7 Td (aaaaaaaa) Tj 0.2 0.5 0.7 rg (aaaa) Tj ET",
        "0 g BT /T 9.1 Tf 0.61 Tc 2.2 6.4 Td (a) Tj ET 1 0 0 rg q 0 0 m 40 0 l 0 40 l h W n "
        "BT /T 9.1 Tf 0.61 Tc 2.2 18.4 Td (aaaaaaa) Tj ET Q "
        "0 g BT /T 9.1 Tf 0.61 Tc 2.2 30.4 Td (aaaa) Tj ET",
        "0 g BT /T 5 Tf 0.77 Tc 1 5.5 Td (aaaaaaaaaaaa) Tj /T 12.3 Tf 0 -4.2 Td (aaaaa) Tj ET",
    };
    for (const char* content : contents) {
        SCOPED_TRACE(content);
        std::vector<std::uint32_t> pixels[2];
        for (int twin = 0; twin < 2; ++twin) {
            Page page("/Font << /T 4 0 R >>",
                      {type3(0.1, "97 /a", "/CharProcs << /a 5 0 R >> /FirstChar 97 /Widths [8]"),
                       stencilGlyph(twin ? "0 w " : "")});
            page.setObserver(nullptr);
            page.run(content);
            const auto* font = dynamic_cast<const Type3Font*>(page.font());
            ASSERT_NE(font, nullptr);
            if (twin == 0) {
                EXPECT_GT(font->glyphCache().keptImages(), 0u);
                EXPECT_GT(font->glyphCache().drawnFromKept(), 0u);
            } else {
                EXPECT_EQ(font->glyphCache().keptImages(), 0u);
            }
            pixels[twin] = page.pixels();
        }
        EXPECT_EQ(pixels[0], pixels[1]);
        EXPECT_NE(std::count(pixels[0].begin(), pixels[0].end(), 0xFFFFFFu),
                  std::ptrdiff_t(pixels[0].size()));
    }
}

}  // namespace
}  // namespace vistrel
