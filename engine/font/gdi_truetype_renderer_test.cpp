// TrueType renderers that draw through the system's fonts (the stand-in's
// fonts under the pinned font configuration).
#include "engine/font/gdi_truetype_renderer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/core/settings_store.h"
#include "engine/font/font_encoding.h"
#include "engine/font/installed_font_map.h"
#include "engine/font/truetype_test_util.h"
#include "engine/render/content/content_test_util.h"

namespace vistrel {
namespace {

namespace fs = std::filesystem;
using testing::Program;
using testing::TestPage;
using testing::TrueTypeSettings;
using testing::trueTypeDescription;

// Device space of a page at a zoom: y grows downwards.
Matrix upright(double zoom, double x = 0, double y = 0) {
    return Matrix{zoom, 0, 0, -zoom, x, y};
}

std::string faceOf(const GdiTrueTypeRenderer& font) {
    return std::string(font.logFont().lfFaceName);
}

// A request's name becomes the face the system is asked for: the subset
// prefix goes, the name ends at the first character that is no letter,
// digit or "+", and the table of known names compares case by case.
TEST(GdiTrueTypeRendererTest, ChoosesTheSystemFaceByName) {
    TrueTypeSettings settings;
    const struct {
        const char16_t* name;
        const char* face;  // asked of the system
        const char* chosen;  // what it answers; null: no font
        std::int32_t weight;
        int italic;
    } cases[] = {
        {u"abcdef+helvetica,bold", "Arial", "Liberation Sans", 700, 0},
        {u"arial,italic", "arial", "Liberation Sans", 400, 1},
        {u"timesnewroman", "Times New Roman", "Liberation Serif", 400, 0},
        {u"times-bolditalic", "Times New Roman", "Liberation Serif", 700, 1},
        {u"couriernew,monospace", "Courier New", "Liberation Mono", 400, 0},
        {u"zapfdingbats", "Wingdings", "D050000L", 400, 0},
        // Capitals are not in the table: the name goes to the system as it is.
        {u"Helvetica", "Helvetica", nullptr, 400, 0},
        {u"Arial", "Arial", "Liberation Sans", 400, 0},
        {u"couriernewpsmt", "couriernewpsmt", nullptr, 400, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(WString(c.name).toUtf8()));
        GdiTrueTypeRenderer font(*trueTypeDescription(c.name), nullptr);
        EXPECT_EQ(font.face().toUtf8(), c.face);
        ASSERT_EQ(font.isUsable(), c.chosen != nullptr);
        if (!c.chosen)
            continue;
        EXPECT_EQ(faceOf(font), c.chosen);
        EXPECT_EQ(font.logFont().lfWeight, c.weight);
        EXPECT_EQ(font.logFont().lfItalic, c.italic);
    }
}

// A strict try enumerates the face's family alone; "StrictTTSubst" present
// and off tries that first and then one face of every family, and keeps its
// value. "SubstTTWithT1" leaves a strict try to the outline fonts.
TEST(GdiTrueTypeRendererTest, StrictAndLooseFaceSearch) {
    enum Strict { kAbsent, kOn, kOff };
    const struct {
        Strict strict;
        bool substitute;
        const char16_t* name;
        const char* chosen;  // null: none; "" any face
        int family;          // the chosen face's family class, when checked
    } cases[] = {
        {kAbsent, false, u"arial", "Liberation Sans", 0},
        {kOn, false, u"nosuchface", nullptr, 0},
        {kAbsent, false, u"nosuchface", nullptr, 0},
        {kAbsent, true, u"arial", nullptr, 0},
        {kOn, true, u"arial", nullptr, 0},
        // Off: the strict search first (it finds the family), then the loose
        // one; "SubstTTWithT1" is not asked.
        {kOff, true, u"arial", "Liberation Sans", 0},
        {kOff, false, u"nosuchface,serif", "", win::FF_ROMAN},
        {kOff, false, u"nosuchface,monospace", "", win::FF_MODERN},
        {kOff, false, u"nosuchface", "", win::FF_SWISS},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(WString(c.name).toUtf8()) + " strict " +
                     std::to_string(c.strict) + " substitute " + std::to_string(c.substitute));
        TrueTypeSettings settings;
        if (c.strict != kAbsent)
            settings.strict.set(SettingValue::ofBoolean(c.strict == kOn));
        settings.substitute.set(SettingValue::ofBoolean(c.substitute));
        GdiTrueTypeRenderer font(*trueTypeDescription(c.name), nullptr);
        ASSERT_EQ(font.isUsable(), c.chosen != nullptr);
        if (c.chosen && *c.chosen) {
            EXPECT_EQ(faceOf(font), c.chosen);
        }
        if (c.family) {
            EXPECT_EQ(font.logFont().lfPitchAndFamily & 0xF0, c.family);
        }
        const SettingValue* after =
            settingsStore().find(settings::FontSystem, settings::StrictTTSubst);
        if (c.strict == kAbsent) {
            EXPECT_EQ(after, nullptr);
        } else {
            ASSERT_NE(after, nullptr);
            EXPECT_EQ(readSettingSwitch(after, false), c.strict == kOn);
        }
    }
}

// Among the faces of the loose search, the one whose average width is
// nearest to the description's wins (serif and pitch being equal).
TEST(GdiTrueTypeRendererTest, LooseSearchPrefersTheNearestAverageWidth) {
    TrueTypeSettings settings;
    settings.strict.set(SettingValue::ofBoolean(false));
    auto narrow = trueTypeDescription(u"nosuchface,serif");
    narrow->avgWidth = 0.40;
    auto wide = trueTypeDescription(u"nosuchface,serif");
    wide->avgWidth = 0.60;
    GdiTrueTypeRenderer a(*narrow, nullptr), b(*wide, nullptr);
    ASSERT_TRUE(a.isUsable() && b.isUsable());
    EXPECT_NE(faceOf(a), faceOf(b));
    // Each is nearer its own request than the other's face is.
    for (const auto* font : {&a, &b}) {
        win::HDC dc = win::CreateCompatibleDC(nullptr);
        struct Widths {
            std::string face;
            double width = -1;
        } found{faceOf(*font)};
        win::EnumFontFamiliesA(
            dc, found.face.c_str(),
            [](const win::LOGFONTA* lf, const win::NEWTEXTMETRICA* tm, win::DWORD, win::LPARAM p) {
                auto* w = reinterpret_cast<Widths*>(p);  // NOLINT(performance-no-int-to-ptr)
                if (lf->lfWeight == 400 && !lf->lfItalic)
                    w->width = double(tm->ntmAvgWidth) / tm->ntmSizeEM;
                return 1;
            },
            reinterpret_cast<win::LPARAM>(&found));
        win::DeleteDC(dc);
        const double asked = font == &a ? 0.40 : 0.60;
        const double other = font == &a ? 0.60 : 0.40;
        EXPECT_LT(std::fabs(found.width - asked), std::fabs(found.width - other)) << found.face;
    }
}

// Unknown metrics are measured on the system font at a cell height of 250:
// ascent, descent, average and maximum width from its text metrics, and the
// 256 widths from the extents of the codes as raw bytes (+ 0.04).
TEST(GdiTrueTypeRendererTest, MeasuresUnknownMetricsAtHeight250) {
    TrueTypeSettings settings;
    GdiTrueTypeRenderer font(*trueTypeDescription(u"arial"), nullptr);
    ASSERT_TRUE(font.isUsable());
    EXPECT_EQ(font.logFont().lfHeight, 250);

    win::HDC dc = win::CreateCompatibleDC(nullptr);
    win::HFONT system = win::CreateFontIndirectA(&font.logFont());
    win::HGDIOBJ old = win::SelectObject(dc, system);
    win::TEXTMETRICA tm{};
    ASSERT_TRUE(win::GetTextMetricsA(dc, &tm));
    EXPECT_DOUBLE_EQ(font.averageWidth(), tm.tmAveCharWidth / 250.0);
    EXPECT_DOUBLE_EQ(font.maximumWidth(), tm.tmMaxCharWidth / 250.0);
    EXPECT_DOUBLE_EQ(font.ascent(), tm.tmAscent / 250.0);
    EXPECT_DOUBLE_EQ(font.descent(), tm.tmDescent / 250.0);
    ASSERT_EQ(font.widths().count(), 256);
    for (int code : {0, 32, 72, 0xE9, 255}) {
        const char byte = char(code);
        win::SIZE size{};
        win::GetTextExtentPoint32A(dc, &byte, 1, &size);
        EXPECT_DOUBLE_EQ(font.widths()[code], size.cx / 250.0 + 0.04) << code;
    }
    win::SelectObject(dc, old);
    win::DeleteObject(system);
    win::DeleteDC(dc);
}

// What the description knows is kept; what neither it nor a measurement
// gives falls back: the mean of the positive widths, 2.0, 0.8 and 0.2, or
// one minus the known one of ascent and descent.
TEST(GdiTrueTypeRendererTest, FallbackMetrics) {
    const struct {
        double avg, max, ascent, descent;
        std::vector<double> widths;
        bool measure;
        double wantAvg, wantMax, wantAscent, wantDescent;
        int wantWidths;
    } cases[] = {
        {0, 0, -1, -1, {}, false, 0, 2.0, 0.8, 0.2, 0},
        {0, 0.3, 0.7, -1, {0.5, 0, 0.3}, false, 0.4, 2.0, 0.7, 0.3, 3},
        {0.5, 1.5, -1, 0.25, {0.5}, false, 0.5, 1.5, 0.75, 0.25, 1},
        {0.5, 1.5, 0.9, 0.3, {0.5}, true, 0.5, 1.5, 0.9, 0.3, 1},
        // Measured: only the unknown ones change, and widths that exist stay.
        {0.5, 0, 0.9, 0.3, {0.5}, true, 0.5, -1, 0.9, 0.3, 1},
    };
    for (const auto& c : cases) {
        TrueTypeSettings settings;
        settings.exactWidth.set(SettingValue::ofBoolean(c.measure));
        auto d = trueTypeDescription(u"arial");
        d->avgWidth = c.avg;
        d->maxWidth = c.max;
        d->ascent = c.ascent;
        d->descent = c.descent;
        for (double w : c.widths)
            d->widths().append(w);
        GdiTrueTypeRenderer font(*d, nullptr);
        ASSERT_TRUE(font.isUsable());
        EXPECT_DOUBLE_EQ(font.averageWidth(), c.wantAvg);
        if (c.wantMax > 0) {
            EXPECT_DOUBLE_EQ(font.maximumWidth(), c.wantMax);
        } else {
            EXPECT_NE(font.maximumWidth(), 2.0);  // measured
        }
        EXPECT_DOUBLE_EQ(font.ascent(), c.wantAscent);
        EXPECT_DOUBLE_EQ(font.descent(), c.wantDescent);
        EXPECT_EQ(font.widths().count(), c.wantWidths);
    }
}

// Codes reach the system font in the ANSI code page: through the font's
// encoding and differences to the glyph name, and its WinAnsi code.
TEST(GdiTrueTypeRendererTest, CodeMapThroughTheEncoding) {
    TrueTypeSettings settings;
    auto d = trueTypeDescription(u"arial");
    d->encodingName().assignText(u"MacRomanEncoding");
    auto differences = std::make_unique<Differences>();
    differences->add(65, WString(u"/B"));
    differences->add(66, WString(u"/nosuchglyph"));
    d->setDifferences(std::move(differences));
    GdiTrueTypeRenderer font(*d, nullptr);
    ASSERT_TRUE(font.isUsable());
    EXPECT_EQ(font.mappedCode(0x8E), 0xE9);  // eacute
    EXPECT_EQ(font.mappedCode(0xD0), 0x96);  // endash
    EXPECT_EQ(font.mappedCode(65), 66);
    EXPECT_EQ(font.mappedCode(66), 66);  // a name WinAnsi lacks: as it is
    EXPECT_EQ(font.mappedCode(97), 97);
    ASSERT_NE(font.encoding(), nullptr);
    EXPECT_EQ(font.encoding()->name().toUtf8(), "MacRomanEncoding");

    // An encoding name without a table: WinAnsi.
    auto unknown = trueTypeDescription(u"arial");
    unknown->encodingName().assignText(u"StandardEncoding");
    GdiTrueTypeRenderer winAnsi(*unknown, nullptr);
    ASSERT_NE(winAnsi.encoding(), nullptr);
    EXPECT_EQ(winAnsi.encoding()->name().toUtf8(), "WinAnsiEncoding");
}

// The system font follows the text matrix (in device space) and the font
// size: its height, a turn of the baseline, italic for a skew.
TEST(GdiTrueTypeRendererTest, LogicalFontFollowsTheMatrix) {
    TrueTypeSettings settings;
    TestPage page(64, 64);
    const struct {
        Matrix m;
        double size;
        std::uint32_t bits;  // the turn, mirror and skew bits
        std::int32_t height, escapement;
        int italic;
    } cases[] = {
        {{1, 0, 0, -1, 0, 0}, 12, 0, -12, 0, 0},
        {{2, 0, 0, -2, 0, 0}, 12, 0, -24, 0, 0},
        {{0, -1, 1, 0, 0, 0}, 10, kMatrixMirroredTurn, -10, 900, 0},
        {{0, 1, -1, 0, 0, 0}, 10, kMatrixMirroredTurn, -10, 2700, 0},
        {{0, -1, -1, 0, 0, 0}, 10, kMatrixQuarterTurn, -10, 900, 0},
        {{0, 1, 1, 0, 0, 0}, 10, kMatrixQuarterTurn, -10, 2700, 0},
        {{-1, 0, 0, 1, 0, 0}, 10, kMatrixHalfTurn, -10, 1800, 0},
        {{-1, 0, 0, -1, 0, 0}, 10, kMatrixMirror, -10, 0, 0},
        {{1, 0, 0, 1, 0, 0}, 10, kMatrixMirror, -10, 0, 0},
        {{1, 0, 0.3, -1, 0, 0}, 10, kMatrixSkew, -10, 0, 1},
        {{0.866, -0.5, -0.5, -0.866, 0, 0}, 10, kMatrixSkew, -10, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.m.a << " " << c.m.b << " " << c.m.c << " " << c.m.d);
        constexpr std::uint32_t kShape = kMatrixQuarterTurn | kMatrixHalfTurn | kMatrixMirror |
                                         kMatrixMirroredTurn | kMatrixSkew;
        EXPECT_EQ(matrixClass(c.m) & kShape, c.bits);
        GdiTrueTypeRenderer font(*trueTypeDescription(u"arial"), &page.device);
        ASSERT_TRUE(font.isUsable());
        testing::placeFont(font, c.size, c.m);
        EXPECT_TRUE(font.dirty());
        font.selectGdiFont();
        EXPECT_FALSE(font.dirty());
        EXPECT_TRUE(font.hasSystemFont());
        EXPECT_EQ(font.logFont().lfHeight, c.height);
        EXPECT_EQ(font.logFont().lfWidth, 0);
        EXPECT_EQ(font.logFont().lfEscapement, c.escapement);
        EXPECT_EQ(font.logFont().lfOrientation, c.escapement);
        EXPECT_EQ(font.logFont().lfItalic, c.italic);
    }
}

// The size reaches the system font as text shown by "Tf" on a page at a
// zoom: 12-unit text asks for 12 pixels at zoom 1 and 24 at zoom 2.
TEST(GdiTrueTypeRendererTest, HeightOfTextOnAPageFollowsTheZoom) {
    TrueTypeSettings settings;
    for (const double zoom : {1.0, 2.0}) {
        test::TestDocument doc(
            "/Resources << /Font << /F1 4 0 R >> >>",
            {"<< /Type /Font /Subtype /TrueType /BaseFont /Arial /FirstChar 65 /LastChar 65 "
             "/Widths [667] /FontDescriptor 5 0 R >>",
             "<< /Type /FontDescriptor /FontName /Arial /Flags 32 /FontBBox [0 0 1000 1000] "
             "/ItalicAngle 0 /Ascent 905 /Descent -212 /CapHeight 716 /StemV 80 >>"});
        {
            test::Session session(upright(zoom, 0, 64 * zoom), int(64 * zoom));
            session.in.setResources(doc.page()->resources());
            session.run("BT /F1 12 Tf 10 20 Td (A) Tj ET");
            auto* font = dynamic_cast<GdiTrueTypeRenderer*>(currentFont(session.in));
            ASSERT_NE(font, nullptr);
            EXPECT_EQ(font->logFont().lfHeight, -std::int32_t(12 * zoom)) << zoom;
        }
        fontRegistry()->purge(-1);
    }
}

// "TrueType: " and the logical font's face, style words after it.
TEST(GdiTrueTypeRendererTest, DescriptionTexts) {
    TrueTypeSettings settings;
    const struct {
        const char16_t* name;
        const char* text;
    } cases[] = {
        {u"arial", "TrueType: Liberation Sans "},
        {u"arial,bold", "TrueType: Liberation Sans Bold "},
        {u"arial,italic", "TrueType: Liberation Sans Italic "},
        {u"arial,semibold,italic", "TrueType: Liberation Sans Italic Bold "},
        {u"arial,underline,strikeout", "TrueType: Liberation Sans UnderlineStrikeOut"},
        {u"arial,light,strikeout", "TrueType: Liberation Sans StrikeOut"},
    };
    for (const auto& c : cases) {
        GdiTrueTypeRenderer font(*trueTypeDescription(c.name), nullptr);
        ASSERT_TRUE(font.isUsable());
        WString text;
        font.description(text);
        EXPECT_EQ(text.toUtf8(), c.text);
    }
}

// A copy draws the same: same logical font, codes and encoding, on the
// same device.
TEST(GdiTrueTypeRendererTest, CloneDrawsTheSame) {
    TrueTypeSettings settings;
    TestPage page(80, 40);
    auto d = trueTypeDescription(u"arial");
    d->encodingName().assignText(u"MacRomanEncoding");
    GdiTrueTypeRenderer font(*d, &page.device);
    ASSERT_TRUE(font.isUsable());
    std::unique_ptr<DrawableBase> copy = font.clone();
    auto* clone = dynamic_cast<GdiTrueTypeRenderer*>(copy.get());
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->device(), &page.device);
    EXPECT_TRUE(clone->isUsable());
    EXPECT_TRUE(clone->dirty());
    EXPECT_EQ(faceOf(*clone), faceOf(font));
    EXPECT_EQ(clone->mappedCode(0x8E), 0xE9);
    ASSERT_NE(clone->encoding(), nullptr);
    EXPECT_NE(clone->encoding(), font.encoding());
    std::string pictures[2];
    for (int i = 0; i < 2; ++i) {
        FontRenderer& f = i == 0 ? static_cast<FontRenderer&>(font) : *clone;
        page.clear();
        testing::placeFont(f, 20, upright(1, 10, 30));
        EXPECT_TRUE(f.showGlyph(0x8E));
        pictures[i] = page.canvas.picture();
    }
    EXPECT_EQ(pictures[0], pictures[1]);
    EXPECT_NE(pictures[0].find('#'), std::string::npos);
}

// Without a device nothing is drawn or measured; render modes 3 and 7
// advance without drawing.
TEST(GdiTrueTypeRendererTest, NothingWithoutADeviceOrInInvisibleModes) {
    TrueTypeSettings settings;
    GdiTrueTypeRenderer detached(*trueTypeDescription(u"arial"), nullptr);
    testing::placeFont(detached, 20, upright(1, 10, 30));
    EXPECT_FALSE(detached.showGlyph('H'));
    EXPECT_EQ(detached.textMatrix().e, 10);
    EXPECT_EQ(detached.roundedWidth('H'), 0);
    EXPECT_EQ(detached.stringWidth(WString(u"HH")), 0);
    EXPECT_EQ(detached.programAdvance('H'), 0.0);

    TestPage page(80, 40);
    GdiTrueTypeRenderer font(*trueTypeDescription(u"arial"), &page.device);
    for (std::int32_t mode : {3, 7}) {
        font.setRenderMode(mode);
        testing::placeFont(font, 20, upright(1, 10, 30));
        EXPECT_TRUE(font.showGlyph('H'));
        EXPECT_GT(font.textMatrix().e, 10);
        EXPECT_EQ(page.ink().count, 0);
    }
    font.setRenderMode(0);
    EXPECT_GT(font.roundedWidth('H'), 0);
    EXPECT_EQ(font.stringWidth(WString(u"HH")), 2 * font.roundedWidth('H'));
    EXPECT_GT(font.stringHeight(WString(u"HH")), 20);
}

// --- Embedded programs ---

struct FileState {
    bool exists;
    std::int32_t uses;
};

FileState stateOf(const WString& path) {
    return {fs::exists(path.toUtf8()), installedFontMap()->count(path)};
}

class EmbeddedTrueTypeTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vistrel-embedded-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        base_ = pattern;
        settings_.folder.set(SettingValue::ofText(WString::fromUtf8(base_ + "/")));
        settings_.strict.set(SettingValue::ofBoolean(false));
    }
    void TearDown() override { fs::remove_all(base_); }

    std::string base_;
    TrueTypeSettings settings_;
};

// The program is written into a folder of the process's own inside the
// setting's folder, under the face's name, and shared by renderers of the
// same program (a copy counts as one more); it goes with the last of them.
TEST_F(EmbeddedTrueTypeTest, InstalledWhileUsed) {
    Program serif(testing::kLiberationSerif);
    Program again(testing::kLiberationSerif);
    ASSERT_FALSE(serif.empty());
    auto d = trueTypeDescription(u"abcdef+samename,serif", serif.stream());
    auto first = std::make_unique<GdiTrueTypeRenderer>(*d, nullptr);
    ASSERT_TRUE(first->installed());
    const WString path = first->filePath();
    const fs::path file(path.toUtf8());
    EXPECT_EQ(file.filename(), "abcdef+samename.ttf");
    EXPECT_EQ(file.parent_path().parent_path(), base_);
    EXPECT_EQ(fs::status(file.parent_path()).permissions(), fs::perms::owner_all);
    EXPECT_EQ(testing::fileBytes(file), testing::fileBytes(testing::kLiberationSerif));
    EXPECT_EQ(faceOf(*first), "abcdef+samename");
    EXPECT_EQ(first->logFont().lfCharSet, win::DEFAULT_CHARSET);
    EXPECT_EQ(first->logFont().lfPitchAndFamily, win::VARIABLE_PITCH | win::FF_ROMAN);
    EXPECT_FALSE(first->isReleasable());
    // The document's own codes go to its program as they are.
    EXPECT_EQ(first->mappedCode(0x8E), 0x8E);

    auto second = std::make_unique<GdiTrueTypeRenderer>(
        *trueTypeDescription(u"abcdef+samename", again.stream()), nullptr);
    ASSERT_TRUE(second->installed());
    EXPECT_EQ(second->filePath().toUtf8(), path.toUtf8());
    std::unique_ptr<DrawableBase> copy = first->clone();
    auto* clone = dynamic_cast<GdiTrueTypeRenderer*>(copy.get());
    ASSERT_NE(clone, nullptr);
    EXPECT_TRUE(clone->installed());
    EXPECT_EQ(stateOf(path).uses, 3);

    first.reset();
    second.reset();
    EXPECT_TRUE(stateOf(path).exists);
    EXPECT_EQ(stateOf(path).uses, 1);
    copy.reset();
    EXPECT_FALSE(stateOf(path).exists);
    EXPECT_EQ(stateOf(path).uses, 0);
}

// A different program under a name that is installed is not installed: it
// takes a system face instead of drawing with the other program's glyphs.
// Once the other is gone, it installs and draws its own.
TEST_F(EmbeddedTrueTypeTest, ProgramsOfOneNameKeepTheirOwnGlyphs) {
    Program serif(testing::kLiberationSerif);
    Program dejaVu(testing::kDejaVuSerif);
    Program dejaVuAgain(testing::kDejaVuSerif);
    TestPage page(120, 60);
    auto glyphs = [&](FontRenderer& font) {
        page.clear();
        testing::placeFont(font, 40, upright(1, 5, 45));
        for (char16_t c : std::u16string(u"Rag"))
            font.showGlyph(c);
        return page.canvas.picture();
    };

    auto a = std::make_unique<GdiTrueTypeRenderer>(
        *trueTypeDescription(u"samename", serif.stream()), &page.device);
    ASSERT_TRUE(a->installed());
    const std::string original = testing::fileBytes(a->filePath().toUtf8());
    GdiTrueTypeRenderer b(*trueTypeDescription(u"samename", dejaVu.stream()), &page.device);
    EXPECT_FALSE(b.installed());
    ASSERT_TRUE(b.isUsable());
    EXPECT_NE(faceOf(b), "samename");
    EXPECT_NE(faceOf(b), "Liberation Serif");  // the name the other program goes by
    EXPECT_EQ(testing::fileBytes(a->filePath().toUtf8()), original);
    const std::string drawnByA = glyphs(*a);
    EXPECT_NE(glyphs(b), drawnByA);
    a.reset();

    GdiTrueTypeRenderer c(*trueTypeDescription(u"samename", dejaVuAgain.stream()), &page.device);
    ASSERT_TRUE(c.installed());
    GdiTrueTypeRenderer system(*trueTypeDescription(u"dejavuserif"), &page.device);
    ASSERT_EQ(faceOf(system), "DejaVu Serif");
    EXPECT_EQ(glyphs(c), glyphs(system));
    EXPECT_NE(glyphs(c), drawnByA);
}

// No file for a program that cannot be installed: an empty face, data that
// is no font, a folder that cannot be written; each takes the system path.
TEST_F(EmbeddedTrueTypeTest, FailedInstallationsLeaveNoFile) {
    Program serif(testing::kLiberationSerif);
    std::string junk(4000, 'x');
    MemoryInputStream noFont(reinterpret_cast<const std::uint8_t*>(junk.data()), junk.size());
    MemoryInputStream empty(nullptr, 0);
    const struct {
        const char16_t* name;
        InputStream* program;
        const char* folder;  // else the test's base
    } cases[] = {
        {u",bold", serif.stream(), nullptr},
        {u"junk", &noFont, nullptr},
        {u"empty", &empty, nullptr},
        {u"arial", serif.stream(), "/proc/nosuchfolder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(WString(c.name).toUtf8()));
        if (c.folder)
            settings_.folder.set(SettingValue::ofText(WString::fromUtf8(c.folder)));
        GdiTrueTypeRenderer font(*trueTypeDescription(c.name, c.program), nullptr);
        EXPECT_FALSE(font.installed());
        EXPECT_TRUE(font.filePath().empty());
        for (const auto& entry : fs::recursive_directory_iterator(base_))
            EXPECT_TRUE(entry.is_directory()) << entry.path();
    }
}

}  // namespace
}  // namespace vistrel
