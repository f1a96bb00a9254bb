// The engine's own outline fonts as the build writes them (tools/mkownfont)
// against the fonts they are made from: every glyph of every face decodes to
// the points FreeType gives for it, with the advance width the face's AFM
// file states; the symbol face keeps its own encoding.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/core/streams.h"
#include "engine/font/font_database.h"
#include "engine/font/font_description.h"
#include "engine/font/font_encoding.h"
#include "engine/font/font_registry.h"
#include "engine/font/own_outline_font.h"

namespace vistrel {
namespace {

const std::string kFontsDir = VISTREL_FONTS_DIR;
const std::string kSourceDir = VISTREL_URW_FONT_DIR;

// Glyph name to advance width, from the "C ... ; WX w ; N name ;" lines.
std::map<std::string, int> afmWidths(const std::string& path) {
    std::map<std::string, int> widths;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("C ", 0) != 0)
            continue;
        const std::size_t wx = line.find("WX "), n = line.find("; N ");
        if (wx == std::string::npos || n == std::string::npos)
            continue;
        std::istringstream name(line.substr(n + 4));
        std::string glyph;
        name >> glyph;
        widths[glyph] = std::stoi(line.substr(wx + 3));
    }
    return widths;
}

// The points FreeType decomposes a glyph into, as the engine's paths hold
// them: moves, lines and three points per curve; the closes of the own
// files are left out of the comparison.
struct Collected {
    std::vector<PathPoint> points;
};

int add(const FT_Vector* v, void* user, std::int32_t kind) {
    static_cast<Collected*>(user)->points.push_back(
        PathPoint{std::int32_t(v->x), std::int32_t(v->y), kind});
    return 0;
}

std::vector<PathPoint> freetypePoints(FT_Face face, FT_UInt index) {
    Collected c;
    if (FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) != 0)
        return c.points;
    const FT_Outline_Funcs funcs{
        [](const FT_Vector* to, void* u) { return add(to, u, PathPoint::Move); },
        [](const FT_Vector* to, void* u) { return add(to, u, PathPoint::Line); },
        [](const FT_Vector*, const FT_Vector*, void*) { return 1; },
        [](const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* u) {
            add(c1, u, PathPoint::Curve);
            add(c2, u, PathPoint::Curve);
            return add(to, u, PathPoint::Curve);
        },
        0, 0};
    FT_Outline_Decompose(&face->glyph->outline, &funcs, &c);
    return c.points;
}

std::vector<PathPoint> withoutCloses(const std::vector<PathPoint>& points) {
    std::vector<PathPoint> out;
    for (const PathPoint& p : points) {
        if (p.kind != PathPoint::Close)
            out.push_back(p);
    }
    return out;
}

// An own font whose codes reach the given glyph names, in order.
std::unique_ptr<OwnOutlineFont> loadWithNames(const std::string& file,
                                              const std::vector<std::string>& names) {
    Type1FontDescription description;
    auto differences = std::make_unique<Differences>();
    for (std::size_t i = 0; i < names.size(); ++i)
        differences->add(std::int32_t(i), WString::fromLatin1("/" + names[i]));
    description.setDifferences(std::move(differences));
    auto font = std::make_unique<OwnOutlineFont>(description, nullptr);
    FileInputStream in(WideFromUtf8(file), 4096);
    return font->loadProgram(&in) ? std::move(font) : nullptr;
}

class OwnFontFilesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        fontStaticObjects().buildAll();
        ASSERT_EQ(FT_Init_FreeType(&library), 0);
    }
    static void TearDownTestSuite() { FT_Done_FreeType(library); }
    static FT_Library library;
};

FT_Library OwnFontFilesTest::library = nullptr;

TEST_F(OwnFontFilesTest, EveryGlyphOfEveryFace) {
    FontDatabase database;
    database.loadFiles(WString::fromUtf8(kFontsDir));
    ASSERT_NE(database.fonts(), nullptr);
    int faces = 0;
    for (const auto& entry : database.fonts()->entries()) {
        const PdfDict* dict = asDict(entry.value);
        const PdfString* fileName = dict ? asString(dict->get(PdfName(WString(u"/FileName")))) : nullptr;
        ASSERT_TRUE(fileName);
        const std::string file = fileName->textValue().toLatin1();
        const std::string source = kSourceDir + "/" + file.substr(0, file.size() - 4);
        SCOPED_TRACE(source);
        FT_Face face = nullptr;
        ASSERT_EQ(FT_New_Face(library, (source + ".t1").c_str(), 0, &face), 0);
        const std::map<std::string, int> widths = afmWidths(source + ".afm");
        ASSERT_FALSE(widths.empty());

        std::vector<std::string> names;
        for (FT_Long i = 0; i < face->num_glyphs; ++i) {
            char name[256] = {};
            FT_Get_Glyph_Name(face, FT_UInt(i), name, sizeof name);
            names.push_back(name);
        }
        for (std::size_t first = 0; first < names.size(); first += 256) {
            const std::vector<std::string> chunk(
                names.begin() + long(first),
                names.begin() + long(std::min(first + 256, names.size())));
            std::unique_ptr<OwnOutlineFont> font = loadWithNames(kFontsDir + file, chunk);
            ASSERT_TRUE(font);
            for (std::size_t i = 0; i < chunk.size(); ++i) {
                const GlyphOutline* glyph = font->outlines()->lookup(std::uint32_t(i));
                ASSERT_TRUE(glyph && glyph->path) << chunk[i];
                const auto width = widths.find(chunk[i]);
                if (width != widths.end()) {
                    EXPECT_EQ(glyph->path->AdvanceWidth(), width->second) << chunk[i];
                }
                EXPECT_EQ(withoutCloses(glyph->path->points()),
                          freetypePoints(face, FT_UInt(first + i)))
                    << chunk[i];
            }
        }
        FT_Done_Face(face);
        ++faces;
    }
    EXPECT_EQ(faces, 35);
}

// Helvetica's "A" is 667 wide; the symbol face's 0x61 is its alpha.
TEST_F(OwnFontFilesTest, StandardWidthsAndTheSymbolEncoding) {
    std::unique_ptr<OwnOutlineFont> helvetica =
        loadWithNames(kFontsDir + "NimbusSans-Regular.olf", {"A"});
    ASSERT_TRUE(helvetica);
    EXPECT_DOUBLE_EQ(helvetica->programAdvance(0), 0.667);

    Type1FontDescription plain;
    OwnOutlineFont symbol(plain, nullptr);
    FileInputStream in(WideFromUtf8(kFontsDir + "StandardSymbolsPS.olf"), 4096);
    ASSERT_TRUE(symbol.loadProgram(&in));
    std::unique_ptr<OwnOutlineFont> alpha = loadWithNames(kFontsDir + "StandardSymbolsPS.olf", {"alpha"});
    ASSERT_TRUE(alpha);
    const GlyphOutline* a = symbol.outlines()->lookup(0x61);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->path->points(), alpha->outlines()->lookup(0)->path->points());
    EXPECT_EQ(symbol.encoding()->glyphName(0x61).toLatin1(), "/alpha");
}

}  // namespace
}  // namespace vistrel
