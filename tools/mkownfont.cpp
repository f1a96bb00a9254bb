// mkownfont: writes the engine's fonts folder from Type 1 fonts.
//
//   mkownfont SOURCE_DIR OUTPUT_DIR
//
// For each face of the fixed table below it reads SOURCE_DIR/<face>.t1 with
// FreeType and writes OUTPUT_DIR/<face>.olf in the engine's own outline font
// format (see engine/font/own_outline_font.h): every glyph by name, its
// advance as the font states it (1000 units per em, no scaling, no hinting),
// its outline as points with deltas in their smallest form and its box from
// the points. The symbol and dingbat faces, whose glyph names the standard
// encoding does not reach, keep their built-in encoding; the text faces write
// none (they use the standard encoding). It then writes "fonts.dsc", the
// substitution database over the written files keyed by the 35 standard
// PostScript font names, and an empty "cmap.dsc".
//
// Exit status: 0, or 1 with the reason on standard error.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

// One entry of the database: the standard font it stands for, the file it
// is made from, and how the database describes it.
struct Face {
    const char* key;
    const char* source;
    const char* family;
    // Words a request may hold. Helvetica, Times and Courier begin with an
    // empty word, which every request holds: a font the database has no
    // name for then lands on them rather than on another face of the same
    // style. The other faces are named by two words or more for that reason;
    // "courier" stands three times because a Courier request rarely carries
    // the monospace flag.
    const char* keywords;
    bool bold, italic, serif, monospace;
    // Writes the face's own encoding.
    bool builtInEncoding;
};

#define COURIER " courier courier courier couriernew nimbusmonops"
#define HELVETICA " helvetica arial nimbussans"
#define TIMES " times timesnewroman nimbusroman"
#define NARROW "narrow narrow arialnarrow helvetica-narrow nimbussansnarrow"
#define GOTHIC "avantgarde avantgarde urwgothic urwgothic"
#define BOOKMAN "bookman bookman urwbookman urwbookman"
#define CENTURY "newcenturyschlbk newcenturyschlbk centuryschoolbook centuryschoolbook c059 c059"
#define PALATINO "palatino palatino p052 p052"

const Face kFaces[] = {
    {"Courier", "NimbusMonoPS-Regular", "Courier", COURIER, false, false, true, true, false},
    {"Courier-Bold", "NimbusMonoPS-Bold", "Courier", COURIER, true, false, true, true, false},
    {"Courier-Oblique", "NimbusMonoPS-Italic", "Courier", COURIER, false, true, true, true, false},
    {"Courier-BoldOblique", "NimbusMonoPS-BoldItalic", "Courier", COURIER, true, true, true, true,
     false},
    {"Helvetica", "NimbusSans-Regular", "Helvetica", HELVETICA, false, false, false, false, false},
    {"Helvetica-Bold", "NimbusSans-Bold", "Helvetica", HELVETICA, true, false, false, false, false},
    {"Helvetica-Oblique", "NimbusSans-Italic", "Helvetica", HELVETICA, false, true, false, false,
     false},
    {"Helvetica-BoldOblique", "NimbusSans-BoldItalic", "Helvetica", HELVETICA, true, true, false,
     false, false},
    {"Times-Roman", "NimbusRoman-Regular", "Times", TIMES, false, false, true, false, false},
    {"Times-Bold", "NimbusRoman-Bold", "Times", TIMES, true, false, true, false, false},
    {"Times-Italic", "NimbusRoman-Italic", "Times", TIMES, false, true, true, false, false},
    {"Times-BoldItalic", "NimbusRoman-BoldItalic", "Times", TIMES, true, true, true, false, false},
    // No bare "symbol": every symbolic font's request ends in "-symbol".
    {"Symbol", "StandardSymbolsPS", "Symbol",
     "symbol-symbol symbol-symbol symbolmt symbolmt standardsymbolsps standardsymbolsps", false,
     false, false, false, true},
    {"ZapfDingbats", "D050000L", "ZapfDingbats", "zapfdingbats zapfdingbats dingbats d050000l",
     false, false, false, false, true},
    {"Helvetica-Narrow", "NimbusSansNarrow-Regular", "Helvetica-Narrow", NARROW, false, false,
     false, false, false},
    {"Helvetica-Narrow-Bold", "NimbusSansNarrow-Bold", "Helvetica-Narrow", NARROW, true, false,
     false, false, false},
    {"Helvetica-Narrow-Oblique", "NimbusSansNarrow-Oblique", "Helvetica-Narrow", NARROW, false,
     true, false, false, false},
    {"Helvetica-Narrow-BoldOblique", "NimbusSansNarrow-BoldOblique", "Helvetica-Narrow", NARROW,
     true, true, false, false, false},
    {"AvantGarde-Book", "URWGothic-Book", "AvantGarde", GOTHIC, false, false, false, false, false},
    {"AvantGarde-BookOblique", "URWGothic-BookOblique", "AvantGarde", GOTHIC, false, true, false,
     false, false},
    {"AvantGarde-Demi", "URWGothic-Demi", "AvantGarde", GOTHIC " demi", true, false, false, false,
     false},
    {"AvantGarde-DemiOblique", "URWGothic-DemiOblique", "AvantGarde", GOTHIC " demi", true, true,
     false, false, false},
    {"Bookman-Light", "URWBookman-Light", "Bookman", BOOKMAN, false, false, true, false, false},
    {"Bookman-LightItalic", "URWBookman-LightItalic", "Bookman", BOOKMAN, false, true, true, false,
     false},
    {"Bookman-Demi", "URWBookman-Demi", "Bookman", BOOKMAN " demi", true, false, true, false,
     false},
    {"Bookman-DemiItalic", "URWBookman-DemiItalic", "Bookman", BOOKMAN " demi", true, true, true,
     false, false},
    {"NewCenturySchlbk-Roman", "C059-Roman", "NewCenturySchlbk", CENTURY, false, false, true,
     false, false},
    {"NewCenturySchlbk-Italic", "C059-Italic", "NewCenturySchlbk", CENTURY, false, true, true,
     false, false},
    {"NewCenturySchlbk-Bold", "C059-Bold", "NewCenturySchlbk", CENTURY, true, false, true, false,
     false},
    {"NewCenturySchlbk-BoldItalic", "C059-BdIta", "NewCenturySchlbk", CENTURY, true, true, true,
     false, false},
    {"Palatino-Roman", "P052-Roman", "Palatino", PALATINO, false, false, true, false, false},
    {"Palatino-Italic", "P052-Italic", "Palatino", PALATINO, false, true, true, false, false},
    {"Palatino-Bold", "P052-Bold", "Palatino", PALATINO, true, false, true, false, false},
    {"Palatino-BoldItalic", "P052-BoldItalic", "Palatino", PALATINO, true, true, true, false,
     false},
    {"ZapfChancery-MediumItalic", "Z003-MediumItalic", "ZapfChancery",
     "zapfchancery zapfchancery z003 z003", false, true, false, false, false},
};

constexpr unsigned char kSignature = 222;
// Point kinds of the file.
enum Kind : int { kMove = 0, kLine = 1, kCurve = 2, kClose = 3 };

void putByte(std::string& out, unsigned v) {
    out.push_back(char(v & 0xFF));
}

void putWord(std::string& out, unsigned v) {
    putByte(out, v >> 8);
    putByte(out, v);
}

void putName(std::string& out, const std::string& name) {
    putByte(out, unsigned(name.size()));
    out += name;
}

// The points of one glyph as FreeType decomposes its outline.
struct GlyphPoints {
    struct Point {
        long x, y;
        int kind;
    };
    std::vector<Point> points;
    long startX = 0, startY = 0;
    long x = 0, y = 0;
    bool open = false;

    void add(long px, long py, int kind) {
        points.push_back(Point{px, py, kind});
        x = px;
        y = py;
    }
    // A contour ends with a close at its start.
    void close() {
        if (open)
            add(startX, startY, kClose);
        open = false;
    }
};

int moveTo(const FT_Vector* to, void* user) {
    auto& g = *static_cast<GlyphPoints*>(user);
    g.close();
    g.add(to->x, to->y, kMove);
    g.startX = to->x;
    g.startY = to->y;
    g.open = true;
    return 0;
}

int lineTo(const FT_Vector* to, void* user) {
    static_cast<GlyphPoints*>(user)->add(to->x, to->y, kLine);
    return 0;
}

int cubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
    auto& g = *static_cast<GlyphPoints*>(user);
    g.add(c1->x, c1->y, kCurve);
    g.add(c2->x, c2->y, kCurve);
    g.add(to->x, to->y, kCurve);
    return 0;
}

// A quadratic curve raised to the cubic of the same shape.
int conicTo(const FT_Vector* c, const FT_Vector* to, void* user) {
    auto& g = *static_cast<GlyphPoints*>(user);
    const FT_Vector c1{g.x + (2 * (c->x - g.x)) / 3, g.y + (2 * (c->y - g.y)) / 3};
    const FT_Vector c2{to->x + (2 * (c->x - to->x)) / 3, to->y + (2 * (c->y - to->y)) / 3};
    return cubicTo(&c1, &c2, to, user);
}

// One point record: the flag (form, signs, kind) and the delta in the
// smallest form that holds it. False when a delta does not fit 16 bits.
bool putPoint(std::string& out, long dx, long dy, int kind) {
    const unsigned long ax = std::labs(dx), ay = std::labs(dy);
    if (ax > 0xFFFF || ay > 0xFFFF)
        return false;
    unsigned form;
    if (ax == 0 && ay == 0)
        form = 7;
    else if (ax <= 15 && ay <= 15)
        form = 0;
    else if (ay == 0 && ax <= 0xFF)
        form = 5;
    else if (ax == 0 && ay <= 0xFF)
        form = 6;
    else if (ax <= 0xFF && ay <= 0xFF)
        form = 1;
    else if (ax <= 0xFF)
        form = 2;
    else if (ay <= 0xFF)
        form = 3;
    else
        form = 4;
    putByte(out, form << 5 | (dx < 0 ? 0x10u : 0u) | (dy < 0 ? 0x08u : 0u) | unsigned(kind));
    switch (form) {
        case 0:
            putByte(out, unsigned(ax << 4 | ay));
            break;
        case 1:
            putByte(out, unsigned(ax));
            putByte(out, unsigned(ay));
            break;
        case 2:
            putByte(out, unsigned(ax));
            putWord(out, unsigned(ay));
            break;
        case 3:
            putWord(out, unsigned(ax));
            putByte(out, unsigned(ay));
            break;
        case 4:
            putWord(out, unsigned(ax));
            putWord(out, unsigned(ay));
            break;
        case 5:
            putByte(out, unsigned(ax));
            break;
        case 6:
            putByte(out, unsigned(ay));
            break;
        default:
            break;
    }
    return true;
}

bool fail(const std::string& message) {
    std::fprintf(stderr, "mkownfont: %s\n", message.c_str());
    return false;
}

std::string glyphName(FT_Face face, FT_UInt index) {
    char name[256] = {};
    if (FT_Get_Glyph_Name(face, index, name, sizeof name) != 0)
        return {};
    return name;
}

// The face's built-in encoding: (name, code) for every code it maps.
bool putEncoding(std::string& out, FT_Face face) {
    if (FT_Select_Charmap(face, FT_ENCODING_ADOBE_CUSTOM) != 0)
        return fail("no built-in encoding in " + std::string(face->family_name));
    std::string entries;
    unsigned count = 0;
    for (FT_ULong code = 0; code < 256; ++code) {
        const FT_UInt index = FT_Get_Char_Index(face, code);
        const std::string name = index ? glyphName(face, index) : std::string();
        if (name.empty() || name == ".notdef")
            continue;
        putName(entries, name);
        putByte(entries, unsigned(code));
        ++count;
    }
    putWord(out, count);
    out += entries;
    return true;
}

bool putGlyph(std::string& out, FT_Face face, FT_UInt index) {
    const std::string name = glyphName(face, index);
    if (name.empty() || name.size() > 255)
        return fail("glyph " + std::to_string(index) + " has no usable name");
    if (FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) != 0)
        return fail("cannot load glyph " + name);
    FT_GlyphSlot slot = face->glyph;
    GlyphPoints glyph;
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE && slot->outline.n_points > 0) {
        const FT_Outline_Funcs funcs{moveTo, lineTo, conicTo, cubicTo, 0, 0};
        if (FT_Outline_Decompose(&slot->outline, &funcs, &glyph) != 0)
            return fail("cannot decompose glyph " + name);
        glyph.close();
    }
    if (glyph.points.size() > 0xFFFF)
        return fail("glyph " + name + " has too many points");
    long minX = 0, maxX = 0, minY = 0, maxY = 0;
    if (!glyph.points.empty()) {
        minX = maxX = glyph.points[0].x;
        minY = maxY = glyph.points[0].y;
        for (const auto& p : glyph.points) {
            minX = std::min(minX, p.x);
            maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y);
            maxY = std::max(maxY, p.y);
        }
    }
    putName(out, name);
    putWord(out, unsigned(glyph.points.size()));
    for (long v : {minX, maxX, minY, maxY, long(slot->metrics.horiAdvance), 0L})
        putWord(out, unsigned(v) & 0xFFFF);
    long x = 0, y = 0;
    for (const auto& p : glyph.points) {
        if (!putPoint(out, p.x - x, p.y - y, p.kind))
            return fail("glyph " + name + " has a point too far away");
        x = p.x;
        y = p.y;
    }
    return true;
}

bool convert(FT_Library library, const Face& face, const std::string& sourceDir,
             const std::string& outputDir) {
    const std::string source = sourceDir + "/" + face.source + ".t1";
    FT_Face ft = nullptr;
    if (FT_New_Face(library, source.c_str(), 0, &ft) != 0)
        return fail("cannot read " + source);
    std::string out;
    putByte(out, kSignature);
    bool ok = face.builtInEncoding ? putEncoding(out, ft) : (putWord(out, 0), true);
    if (ok && ft->num_glyphs > 0xFFFF)
        ok = fail(source + " has too many glyphs");
    if (ok) {
        putWord(out, unsigned(ft->num_glyphs));
        for (FT_Long i = 0; ok && i < ft->num_glyphs; ++i)
            ok = putGlyph(out, ft, FT_UInt(i));
    }
    FT_Done_Face(ft);
    if (!ok)
        return false;
    const std::string target = outputDir + "/" + face.source + ".olf";
    std::ofstream file(target, std::ios::binary);
    file.write(out.data(), std::streamsize(out.size()));
    return file.good() || fail("cannot write " + target);
}

bool writeText(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary);
    file << text;
    return file.good() || fail("cannot write " + path);
}

std::string databaseText() {
    std::string text =
        "% The engine's own outline fonts by the standard font they stand for.\n"
        "% Written by mkownfont.\n<<\n";
    for (const Face& f : kFaces) {
        char line[512];
        std::snprintf(line, sizeof line,
                      "/%s << /FileName (%s.olf) /FamilyName (%s) /KeyWords (%s) /keyOnly 0 "
                      "/isBold %d /isItalic %d /isSerif %d /isMonoSpace %d >>\n",
                      f.key, f.source, f.family, f.keywords, f.bold, f.italic, f.serif,
                      f.monospace);
        text += line;
    }
    return text + ">>\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: mkownfont SOURCE_DIR OUTPUT_DIR\n");
        return 1;
    }
    const std::string sourceDir = argv[1], outputDir = argv[2];
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) {
        fail("cannot start FreeType");
        return 1;
    }
    bool ok = true;
    for (const Face& face : kFaces)
        ok = ok && convert(library, face, sourceDir, outputDir);
    FT_Done_FreeType(library);
    ok = ok && writeText(outputDir + "/fonts.dsc", databaseText()) &&
         writeText(outputDir + "/cmap.dsc", "<< >>\n");
    return ok ? 0 : 1;
}
