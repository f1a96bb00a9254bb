#include "platform/gdi/gdi_font.h"

#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/gdi/font_face.h"
#include "platform/gdi/gdi_test_util.h"
#include "platform/gdi/scaled_font.h"
#include "tests/support/pinned_fonts.h"

namespace win {
namespace {

// Values read from the font files with fontTools (font_expectations.inc).
struct ExpectedMetrics {
    const char* face;
    int weight, italic, height;
    // ascent, descent, cell height, internal and external leading, average
    // and maximum width
    LONG values[7];
};
struct ExpectedExtent {
    const char* face;
    int weight, italic, height;
    const char* text;
    LONG cx;
};
struct ExpectedGlyph {
    const char* face;
    int weight, italic;
    char byte;
    int unitsPerEm, winAscent, winDescent;
    double box[4];  // xMin, yMin, xMax, yMax
    int advance;
    int underline[2];  // position, thickness
    int strikeout[2];
};
struct ExpectedStyle {
    const char* family;
    int weight, italic, averageWidth, unitsPerEm;
};
#include "font_expectations.inc"

const std::filesystem::path kFixtures = VISTREL_FONT_FIXTURES;

class GdiFontTest : public testing::Test {
protected:
    static void SetUpTestSuite() { usePinnedFonts(); }
};

LOGFONTA logFont(const char* face, LONG height, LONG weight = FW_NORMAL, bool italic = false,
                 LONG escapement = 0) {
    LOGFONTA lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfItalic = italic;
    lf.lfEscapement = lf.lfOrientation = escapement;
    std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return lf;
}

// A font made and selected into a device context for a scope.
struct Selected {
    HDC dc;
    HFONT font;
    HGDIOBJ old;
    Selected(HDC d, const LOGFONTA& lf) : dc(d), font(CreateFontIndirectA(&lf)) {
        old = SelectObject(dc, font);
    }
    ~Selected() {
        SelectObject(dc, old);
        DeleteObject(font);
    }
    TEXTMETRICA metrics() const {
        TEXTMETRICA tm{};
        EXPECT_TRUE(GetTextMetricsA(dc, &tm));
        return tm;
    }
};

struct Enumerated {
    LOGFONTA lf;
    NEWTEXTMETRICA tm;
    DWORD type;
};

std::vector<Enumerated> enumerate(HDC dc, const char* family) {
    std::vector<Enumerated> r;
    EnumFontFamiliesA(
        dc, family,
        [](const LOGFONTA* lf, const NEWTEXTMETRICA* tm, DWORD type, LPARAM data) {
            // NOLINTNEXTLINE(performance-no-int-to-ptr): the enumeration hands the pointer back as a number
            reinterpret_cast<std::vector<Enumerated>*>(data)->push_back({*lf, *tm, type});
            return 1;
        },
        reinterpret_cast<LPARAM>(&r));
    return r;
}

// Bounds of the pixels that differ from `background`; right and bottom
// exclusive.
struct Box {
    long left = LONG_MAX, top = LONG_MAX, right = LONG_MIN, bottom = LONG_MIN;
    bool empty() const { return left > right; }
};

Box inkBox(const Canvas& cv, COLORREF background = 0xFFFFFF) {
    Box b;
    for (int y = 0; y < cv.height; ++y) {
        for (int x = 0; x < cv.width; ++x) {
            if (cv.pixel(x, y) != background) {
                b.left = std::min<long>(b.left, x);
                b.top = std::min<long>(b.top, y);
                b.right = std::max<long>(b.right, x + 1);
                b.bottom = std::max<long>(b.bottom, y + 1);
            }
        }
    }
    return b;
}

bool blank(const Canvas& cv) {
    return inkBox(cv).empty();
}

void draw(HDC dc, int x, int y, const std::string& text) {
    SetBkMode(dc, TRANSPARENT);
    EXPECT_TRUE(ExtTextOutA(dc, x, y, 0, nullptr, text.data(), UINT(text.size()), nullptr));
}

// A scratch folder removed at the end of the test.
struct TempDir {
    std::filesystem::path path;
    TempDir() {
        path = std::filesystem::temp_directory_path() /
               ("vistrel-fonts-" + std::to_string(getpid()) + "-" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(path);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
};

TEST_F(GdiFontTest, EnumeratesTheStylesOfAFamily) {
    const struct {
        const char* family;
        BYTE pitchAndFamily;
    } families[] = {
        {"Liberation Sans", FF_SWISS | VARIABLE_PITCH},
        {"Liberation Serif", FF_ROMAN | VARIABLE_PITCH},
        {"Liberation Mono", FF_MODERN | FIXED_PITCH},
    };
    Canvas cv(1, 1);
    for (const auto& f : families) {
        std::vector<const ExpectedStyle*> styles;
        for (const ExpectedStyle& s : kLiberationStyles) {
            if (std::strcmp(s.family, f.family) == 0)
                styles.push_back(&s);
        }
        std::vector<Enumerated> got = enumerate(cv.dc, f.family);
        ASSERT_EQ(got.size(), styles.size()) << f.family;
        for (std::size_t i = 0; i < got.size(); ++i) {
            const Enumerated& e = got[i];
            const ExpectedStyle& s = *styles[i];
            EXPECT_STREQ(e.lf.lfFaceName, f.family);
            EXPECT_EQ(e.lf.lfWeight, s.weight) << f.family << " " << i;
            EXPECT_EQ(e.lf.lfItalic, s.italic) << f.family << " " << i;
            EXPECT_EQ(e.lf.lfPitchAndFamily, f.pitchAndFamily) << f.family;
            EXPECT_EQ(e.lf.lfCharSet, ANSI_CHARSET);
            EXPECT_EQ(e.type, TRUETYPE_FONTTYPE);
            EXPECT_EQ(e.tm.ntmSizeEM, UINT(s.unitsPerEm));
            EXPECT_EQ(e.tm.ntmAvgWidth, UINT(s.averageWidth)) << f.family << " " << i;
            EXPECT_EQ(e.tm.tmWeight, s.weight);
        }
    }
}

TEST_F(GdiFontTest, EnumeratesEveryFamilyOnce) {
    Canvas cv(1, 1);
    std::vector<std::string> names;
    for (const Enumerated& e : enumerate(cv.dc, nullptr))
        names.push_back(e.lf.lfFaceName);
    EXPECT_EQ(names,
              std::vector<std::string>(std::begin(kSystemFamilies), std::end(kSystemFamilies)));

    // The callback's answer 0 ends the enumeration.
    int calls = 0;
    int answer = EnumFontFamiliesA(
        cv.dc, nullptr,
        [](const LOGFONTA*, const NEWTEXTMETRICA*, DWORD, LPARAM data) {
            ++*reinterpret_cast<int*>(data);  // NOLINT(performance-no-int-to-ptr)
            return 0;
        },
        reinterpret_cast<LPARAM>(&calls));
    EXPECT_EQ(answer, 0);
    EXPECT_EQ(calls, 1);
}

TEST_F(GdiFontTest, ResolvesNamesWithoutCaseAndThroughAliases) {
    const struct {
        const char* asked;
        const char* family;  // null: no face of that name
    } cases[] = {
        {"liberation SANS", "Liberation Sans"},
        {"Arial", "Liberation Sans"},
        {"TIMES NEW ROMAN", "Liberation Serif"},
        {"Courier New", "Liberation Mono"},
        {"Wingdings", "D050000L"},
        {"No Such Face", nullptr},
    };
    Canvas cv(1, 1);
    for (const auto& c : cases) {
        std::vector<Enumerated> got = enumerate(cv.dc, c.asked);
        if (!c.family) {
            EXPECT_TRUE(got.empty()) << c.asked;
            // A font is still made, from another face.
            LOGFONTA lf = logFont(c.asked, -20);
            HFONT f = CreateFontIndirectA(&lf);
            EXPECT_TRUE(f);
            DeleteObject(f);
            continue;
        }
        ASSERT_FALSE(got.empty()) << c.asked;
        EXPECT_STREQ(got[0].lf.lfFaceName, c.family);
        TEXTMETRICA asked = Selected(cv.dc, logFont(c.asked, -33)).metrics();
        TEXTMETRICA real = Selected(cv.dc, logFont(c.family, -33)).metrics();
        auto fields = [](const TEXTMETRICA& m) {
            return std::tie(m.tmHeight, m.tmAscent, m.tmDescent, m.tmInternalLeading, m.tmExternalLeading,
                            m.tmAveCharWidth, m.tmMaxCharWidth, m.tmWeight, m.tmOverhang, m.tmDigitizedAspectX,
                            m.tmDigitizedAspectY, m.tmFirstChar, m.tmLastChar, m.tmDefaultChar, m.tmBreakChar,
                            m.tmItalic, m.tmUnderlined, m.tmStruckOut, m.tmPitchAndFamily, m.tmCharSet);
        };
        EXPECT_TRUE(fields(asked) == fields(real)) << c.asked;
    }
}

TEST_F(GdiFontTest, TextMetricsAndExtentsMatchTheFontFiles) {
    Canvas cv(1, 1);
    for (const ExpectedMetrics& m : kExpectedMetrics) {
        Selected s(cv.dc, logFont(m.face, m.height, m.weight, m.italic));
        TEXTMETRICA tm = s.metrics();
        LONG got[7] = {tm.tmAscent,          tm.tmDescent,         tm.tmHeight,
                       tm.tmInternalLeading, tm.tmExternalLeading, tm.tmAveCharWidth,
                       tm.tmMaxCharWidth};
        for (int i = 0; i < 7; ++i)
            EXPECT_EQ(got[i], m.values[i]) << m.face << " " << m.height << " value " << i;
        EXPECT_EQ(tm.tmItalic, m.italic);
        EXPECT_EQ(tm.tmWeight, m.weight);
        EXPECT_EQ(tm.tmOverhang, 0);
    }
    for (const ExpectedExtent& e : kExpectedExtents) {
        Selected s(cv.dc, logFont(e.face, e.height, e.weight, e.italic));
        SIZE size{};
        ASSERT_TRUE(GetTextExtentPoint32A(cv.dc, e.text, int(std::strlen(e.text)), &size));
        EXPECT_EQ(size.cx, e.cx) << e.face << " " << e.height << " " << e.text;
        EXPECT_EQ(size.cy, s.metrics().tmHeight);
    }
}

TEST_F(GdiFontTest, InkStaysInTheOutlineBox) {
    const int em = 100, x = 150, y = 150;
    const struct {
        int glyph;  // in kExpectedGlyphs
        LONG escapement;
        LONG weight;
        bool italic;
    } cases[] = {
        {0, 0, FW_NORMAL, false},
        {0, 900, FW_NORMAL, false},
        {0, 2700, FW_NORMAL, false},
        {1, 0, FW_NORMAL, false},
        {2, 0, FW_NORMAL, false},
        // The light face has no bold and no italic of its own, nor has the
        // symbol face (CFF outlines) a bold.
        {3, 0, FW_BOLD, false},
        {3, 0, 200, true},
        {4, 0, FW_BOLD, false},
    };
    for (const auto& c : cases) {
        const ExpectedGlyph& g = kExpectedGlyphs[c.glyph];
        Canvas cv(300, 300);
        Selected s(cv.dc, logFont(g.face, -em, c.weight, c.italic, c.escapement));
        draw(cv.dc, x, y, std::string(1, g.byte));

        const double scale = double(em) / g.unitsPerEm;
        double x0 = g.box[0] * scale, y0 = g.box[1] * scale;
        double x1 = g.box[2] * scale, y1 = g.box[3] * scale;
        if (c.weight == FW_BOLD) {
            x1 += em * font::kBoldStrength;
            y1 += em * font::kBoldStrength;
        }
        if (c.italic) {  // the glyph's corners lie at its lowest and highest points
            x0 += y0 * font::kObliqueSlant;
            x1 += y1 * font::kObliqueSlant;
        }
        const double ascent = std::round(g.winAscent * scale);
        double left, top, right, bottom;
        if (c.escapement == 0) {
            left = x + x0, right = x + x1, top = y + ascent - y1, bottom = y + ascent - y0;
        } else if (c.escapement == 900) {
            left = x + ascent - y1, right = x + ascent - y0, top = y - x1, bottom = y - x0;
        } else {
            left = x - ascent + y0, right = x - ascent + y1, top = y + x0, bottom = y + x1;
        }
        Box ink = inkBox(cv);
        std::string what = std::string(g.face) + " " + g.byte + " " + std::to_string(c.escapement);
        EXPECT_NEAR(ink.left, std::floor(left), 1) << what;
        EXPECT_NEAR(ink.right, std::ceil(right), 1) << what;
        EXPECT_NEAR(ink.top, std::floor(top), 1) << what;
        EXPECT_NEAR(ink.bottom, std::ceil(bottom), 1) << what;
    }
}

TEST_F(GdiFontTest, UnderlineAndStrikeOutRunAlongTheAdvance) {
    const ExpectedGlyph& g = kExpectedGlyphs[0];
    const int em = 100, x = 20, y = 20;
    const double scale = double(em) / g.unitsPerEm;
    const int baseline = y + int(std::round(g.winAscent * scale));
    const int advance = int(std::round(g.advance * scale));
    for (bool strike : {false, true}) {
        const int* stroke = strike ? g.strikeout : g.underline;
        const int top = baseline - int(std::round(stroke[0] * scale));
        const int thickness = std::max(1, int(std::round(stroke[1] * scale)));
        Canvas cv(160, 160);
        LOGFONTA lf = logFont(g.face, -em);
        (strike ? lf.lfStrikeOut : lf.lfUnderline) = 1;
        Selected s(cv.dc, lf);
        EXPECT_EQ(strike ? s.metrics().tmStruckOut : s.metrics().tmUnderlined, 1);
        draw(cv.dc, x, y, std::string(1, g.byte));
        // Left of the glyph's ink only the stroke is drawn.
        for (int row = top - 2; row < top + thickness + 2; ++row) {
            bool inStroke = row >= top && row < top + thickness;
            EXPECT_EQ(cv.pixel(x + 2, row), inStroke ? 0u : 0xFFFFFFu) << strike << " row " << row;
        }
        for (int col = x; col < x + advance; ++col)
            EXPECT_EQ(cv.pixel(col, top), 0u) << strike << " column " << col;
        EXPECT_EQ(cv.pixel(x + advance, top), 0xFFFFFFu);
        EXPECT_EQ(cv.pixel(x - 1, top), 0xFFFFFFu);
    }
}

TEST_F(GdiFontTest, DrawsOnlyInsideTheClipRegion) {
    Canvas cv(200, 100);
    Selected s(cv.dc, logFont("Liberation Sans", -120, FW_BOLD));
    HRGN clip = CreateRectRgn(50, 20, 150, 80);
    SelectClipRgn(cv.dc, clip);
    DeleteObject(clip);
    draw(cv.dc, 0, -20, "HHHH");
    Box ink = inkBox(cv);
    ASSERT_FALSE(ink.empty());
    EXPECT_GE(ink.left, 50);
    EXPECT_GE(ink.top, 20);
    EXPECT_LE(ink.right, 150);
    EXPECT_LE(ink.bottom, 80);
}

// While enabled, a device context's bounding rectangle gathers every pixel
// text changed (plain, turned, underlined, beyond the coverage kept per
// glyph, clipped), within the bitmap and the clip; disabled, it gathers
// nothing.
TEST_F(GdiFontTest, BoundsGatherThePixelsTextChanged) {
    const struct {
        LONG em, escapement;
        bool underline, clip;
        int x, y;
    } cases[] = {
        {40, 0, false, false, 10, 10},   {40, 900, false, false, 60, 150},
        {40, 0, true, false, 10, 10},    {400, 0, false, false, -30, -60},
        {120, 0, false, true, -10, -20},
    };
    for (const auto& c : cases) {
        Canvas cv(200, 160);
        LOGFONTA lf = logFont("Liberation Sans", -c.em, FW_NORMAL, false, c.escapement);
        lf.lfUnderline = c.underline;
        Selected s(cv.dc, lf);
        if (c.clip) {
            HRGN clip = CreateRectRgn(50, 20, 150, 80);
            SelectClipRgn(cv.dc, clip);
            DeleteObject(clip);
        }
        EXPECT_EQ(SetBoundsRect(cv.dc, nullptr, DCB_RESET | DCB_ENABLE), DCB_DISABLE | DCB_RESET);
        RECT changed{};
        GetBitmapChange(cv.bitmap, &changed, DCB_RESET);
        draw(cv.dc, c.x, c.y, "Hg");
        RECT r{1, 2, 3, 4};
        EXPECT_EQ(GetBoundsRect(cv.dc, &r, DCB_RESET), UINT(DCB_SET)) << c.em;
        const Box ink = inkBox(cv);
        ASSERT_FALSE(ink.empty()) << c.em;
        // The bitmap's changed rectangle holds the ink too.
        GetBitmapChange(cv.bitmap, &changed, 0);
        EXPECT_LE(changed.left, ink.left) << c.em;
        EXPECT_LE(changed.top, ink.top) << c.em;
        EXPECT_GE(changed.right, ink.right) << c.em;
        EXPECT_GE(changed.bottom, ink.bottom) << c.em;
        EXPECT_LE(r.left, ink.left) << c.em;
        EXPECT_LE(r.top, ink.top) << c.em;
        EXPECT_GE(r.right, ink.right) << c.em;
        EXPECT_GE(r.bottom, ink.bottom) << c.em;
        EXPECT_GE(r.left, c.clip ? 50 : 0) << c.em;
        EXPECT_GE(r.top, c.clip ? 20 : 0) << c.em;
        EXPECT_LE(r.right, c.clip ? 150 : cv.width) << c.em;
        EXPECT_LE(r.bottom, c.clip ? 80 : cv.height) << c.em;
        EXPECT_EQ(GetBoundsRect(cv.dc, &r, 0), UINT(DCB_RESET));
        EXPECT_EQ(r, (RECT{0, 0, 0, 0}));

        EXPECT_EQ(SetBoundsRect(cv.dc, nullptr, DCB_DISABLE), DCB_ENABLE | DCB_RESET);
        draw(cv.dc, c.x, c.y, "Hg");
        EXPECT_EQ(GetBoundsRect(cv.dc, &r, 0), UINT(DCB_RESET));
    }
}

// Rectangles added by hand join what is there; a reset empties it first.
TEST_F(GdiFontTest, BoundsAccumulateAndReset) {
    Canvas cv(20, 20);
    const RECT a{2, 3, 5, 7}, b{4, 1, 9, 6}, empty{5, 5, 5, 9};
    EXPECT_EQ(SetBoundsRect(cv.dc, &a, DCB_ACCUMULATE), DCB_DISABLE | DCB_RESET);
    EXPECT_EQ(SetBoundsRect(cv.dc, &empty, DCB_ACCUMULATE), DCB_DISABLE | DCB_SET);
    SetBoundsRect(cv.dc, &b, DCB_ACCUMULATE);
    RECT r{};
    EXPECT_EQ(GetBoundsRect(cv.dc, &r, 0), UINT(DCB_SET));
    EXPECT_EQ(r, (RECT{2, 1, 9, 7}));
    SetBoundsRect(cv.dc, &b, DCB_RESET | DCB_ACCUMULATE);
    EXPECT_EQ(GetBoundsRect(cv.dc, &r, DCB_RESET), UINT(DCB_SET));
    EXPECT_EQ(r, b);
    EXPECT_EQ(GetBoundsRect(cv.dc, &r, 0), UINT(DCB_RESET));
    EXPECT_EQ(SetBoundsRect(HDC(), nullptr, DCB_RESET), 0u);
    EXPECT_EQ(GetBoundsRect(cv.dc, nullptr, 0), 0u);
}

TEST_F(GdiFontTest, DrawsTheSameCoverageOnEveryBitmap) {
    // White text on black: the grey level of each pixel is its coverage; a
    // second word over the first blends where they cross, with glyphs drawn
    // before and with glyphs drawn the first time.
    const CanvasKind kinds[] = {{24}, {32}, {32, false, true}, {8, true}, {8}};
    std::vector<COLORREF> reference;
    for (const CanvasKind& kind : kinds) {
        Canvas cv(120, 40, kind);
        PatBlt(cv.dc, 0, 0, cv.width, cv.height, BLACKNESS);
        Selected s(cv.dc, logFont("Liberation Serif", -30));
        SetTextColor(cv.dc, RGB(255, 255, 255));
        draw(cv.dc, 2, 2, "Vistrel");
        draw(cv.dc, 9, 6, "Vistrel");
        draw(cv.dc, 4, 9, "Lumbra");
        std::vector<COLORREF> pixels;
        for (int y = 0; y < cv.height; ++y) {
            for (int x = 0; x < cv.width; ++x)
                pixels.push_back(cv.pixel(x, y));
        }
        if (reference.empty()) {
            reference = pixels;
            EXPECT_NE(std::count(pixels.begin(), pixels.end(), 0xFFFFFFu), 0);
            EXPECT_NE(std::count_if(pixels.begin(), pixels.end(),
                                    [](COLORREF c) { return c != 0 && c != 0xFFFFFF; }),
                      0);
        }
        EXPECT_EQ(pixels, reference)
            << kind.bitsPerPixel << " " << kind.bottomUp << " " << kind.compatible;
        if (kind.bitsPerPixel == 8) {
            // Palette indices are the grey levels; full coverage is 255.
            const int stride = (cv.width + 3) & ~3;
            for (int y = 0; y < cv.height; ++y) {
                for (int x = 0; x < cv.width; ++x) {
                    const int row = kind.bottomUp ? cv.height - 1 - y : y;
                    EXPECT_EQ(cv.bits[std::size_t(row) * stride + x],
                              GetRValue(reference[std::size_t(y) * cv.width + x]));
                }
            }
        }
    }
}

// On an 8-bit section white text takes its coverage as the palette index
// only where the palette is the grey ramp; one colour in the ramp, at a
// level the text holds, sends the text through the nearest entries, and
// that entry is never written.
TEST_F(GdiFontTest, GreyLevelsAsIndicesOnlyWithTheGreyPalette) {
    const int w = 120, h = 40, stride = (w + 3) & ~3;
    const struct {
        const char* what;
        RGBQUAD (*entry)(int i, int red);
        bool ramp;
    } palettes[] = {
        {"grey",
         [](int i, int) {
             return RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
         },
         true},
        {"grey but one level red",
         [](int i, int red) {
             return i == red ? RGBQUAD{0, 0, 255, 0} : RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
         },
         false},
    };
    std::vector<std::uint8_t> reference;
    int red = -1;  // the grey level the text holds most often
    for (const auto& palette : palettes) {
        struct {
            BITMAPINFOHEADER h;
            RGBQUAD colors[256];
        } info{};
        info.h = {sizeof(BITMAPINFOHEADER), w, -h, 1, 8, BI_RGB, 0, 0, 0, 0, 0};
        for (int i = 0; i < 256; ++i)
            info.colors[i] = palette.entry(i, red);
        HDC dc = CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                          &bits, nullptr, 0);
        ASSERT_TRUE(bitmap && bits) << palette.what;
        HGDIOBJ old = SelectObject(dc, bitmap);
        PatBlt(dc, 0, 0, w, h, BLACKNESS);
        {
            Selected s(dc, logFont("Liberation Serif", -30));
            SetTextColor(dc, RGB(255, 255, 255));
            draw(dc, 2, 2, "Vistrel");
        }
        const auto* p = static_cast<const std::uint8_t*>(bits);
        const std::vector<std::uint8_t> indices(p, p + std::size_t(stride) * h);
        if (reference.empty()) {
            reference = indices;
            std::vector<int> counts(256);
            for (const std::uint8_t v : reference)
                ++counts[v];
            red = int(std::max_element(counts.begin() + 1, counts.end() - 1) - counts.begin());
            ASSERT_NE(counts[red], 0);
        }
        for (std::size_t i = 0; i < indices.size(); ++i) {
            if (palette.ramp || reference[i] != red)
                EXPECT_EQ(indices[i], reference[i]) << palette.what << " " << i;
            else
                EXPECT_NE(indices[i], red) << palette.what << " " << i;
        }
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
}

TEST_F(GdiFontTest, TextColourAndBackgroundMode) {
    Canvas cv(80, 80);
    EXPECT_EQ(SetTextColor(cv.dc, RGB(200, 0, 0)), 0u);
    EXPECT_EQ(SetTextColor(cv.dc, RGB(255, 0, 0)), RGB(200, 0, 0));
    EXPECT_EQ(SetBkMode(cv.dc, TRANSPARENT), OPAQUE);
    EXPECT_EQ(SetBkMode(cv.dc, 7), 0);
    EXPECT_EQ(SetBkMode(cv.dc, OPAQUE), TRANSPARENT);
    Selected s(cv.dc, logFont("Liberation Sans", -80));
    draw(cv.dc, 0, 0, "I");
    // The middle of the stem is fully covered.
    const ExpectedGlyph& g = kExpectedGlyphs[0];
    const int mid = int(std::round(g.winAscent * 80.0 / g.unitsPerEm)) - 20;
    Box ink = inkBox(cv);
    EXPECT_EQ(cv.pixel(int(ink.left + ink.right) / 2, mid), RGB(255, 0, 0));
}

TEST_F(GdiFontTest, FreshDeviceContextHasADefaultFont) {
    Canvas cv(1, 1);
    TEXTMETRICA tm{};
    ASSERT_TRUE(GetTextMetricsA(cv.dc, &tm));
    EXPECT_EQ(tm.tmHeight, 16);
    SIZE size{};
    ASSERT_TRUE(GetTextExtentPoint32A(cv.dc, "abc", 3, &size));
    EXPECT_GT(size.cx, 0);
    EXPECT_EQ(size.cy, 16);

    // Font objects live in the handle table; a selected one is not deleted.
    std::size_t before = LiveObjectCount(HandleKind::Font);
    LOGFONTA lf = logFont("DejaVu Sans", -12);
    HFONT f = CreateFontIndirectA(&lf);
    EXPECT_EQ(LiveObjectCount(HandleKind::Font), before + 1);
    HGDIOBJ old = SelectObject(cv.dc, f);
    EXPECT_FALSE(DeleteObject(f));
    SelectObject(cv.dc, old);
    EXPECT_TRUE(DeleteObject(f));
    EXPECT_EQ(LiveObjectCount(HandleKind::Font), before);
    EXPECT_FALSE(CreateFontIndirectA(nullptr));
}

TEST_F(GdiFontTest, HostileSizesDrawNothingBeyondTheCap) {
    const struct {
        LONG height;
        LONG escapement;
        bool drawn;
    } cases[] = {
        {-10000, 0, true},         {-10001, 0, false},         {INT_MIN, 0, false},
        {INT_MAX, INT_MIN, false}, {-2000000000, 1234, false}, {0, 0, false},
    };
    for (const auto& c : cases) {
        Canvas cv(64, 64);
        Selected s(cv.dc, logFont("Liberation Sans", c.height, FW_BOLD, true, c.escapement));
        ASSERT_TRUE(s.font) << c.height;
        TEXTMETRICA tm = s.metrics();
        EXPECT_GE(tm.tmHeight, 0) << c.height;
        SIZE size{};
        EXPECT_TRUE(GetTextExtentPoint32A(cv.dc, "HHHH", 4, &size));
        EXPECT_GE(size.cx, 0);
        // At the cap, the stem of the first H covers the bitmap.
        draw(cv.dc, -900, -8000, "HHHH");
        EXPECT_EQ(!blank(cv), c.drawn) << c.height << " " << c.escapement;
    }
}

TEST_F(GdiFontTest, GlyphsReachingFarFromTheirOriginAreNotDrawn) {
    TempDir dir;
    const std::string path = (dir.path / "Reaching.ttf").string();
    std::filesystem::copy_file(kFixtures / "Reaching.ttf", path);
    ASSERT_EQ(AddFontResourceA(path.c_str()), 1);
    for (const char* text : {"S", "u"}) {
        Canvas cv(100, 100);
        Selected s(cv.dc, logFont("Reaching", -50));
        draw(cv.dc, 10, 10, text);
        EXPECT_EQ(blank(cv), *text == 'u') << text;
    }
    EXPECT_TRUE(RemoveFontResourceA(path.c_str()));
}

TEST_F(GdiFontTest, AddedFontIsFoundByFileNameAndFamilyUntilRemoved) {
    TempDir dir;
    const std::string path = (dir.path / "ABCDEF+Embedded.ttf").string();
    std::filesystem::copy_file(kFixtures / "Embedded.ttf", path);
    Canvas cv(200, 60);
    EXPECT_TRUE(enumerate(cv.dc, "ABCDEF+Embedded").empty());
    // The subset keeps the metrics of its glyphs.
    auto measure = [&](const char* face) {
        Selected s(cv.dc, logFont(face, -40));
        TEXTMETRICA tm = s.metrics();
        SIZE size{};
        EXPECT_TRUE(GetTextExtentPoint32A(cv.dc, "Sub", 3, &size));
        return std::vector<LONG>{tm.tmAscent, tm.tmDescent, size.cx};
    };
    const std::vector<LONG> serif = measure("Liberation Serif");

    ASSERT_EQ(AddFontResourceA(path.c_str()), 1);
    EXPECT_EQ(SendMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0), 0);
    for (const char* name : {"ABCDEF+Embedded", "abcdef+embedded", "Vistrel Subset"}) {
        std::vector<Enumerated> got = enumerate(cv.dc, name);
        ASSERT_EQ(got.size(), 1u) << name;
        EXPECT_STREQ(got[0].lf.lfFaceName, "Vistrel Subset");
        EXPECT_EQ(measure(name), serif) << name;
    }
    LOGFONTA lf = logFont("ABCDEF+Embedded", -40);
    HFONT kept = CreateFontIndirectA(&lf);
    ASSERT_TRUE(kept);

    // Added twice, it stays until removed twice.
    EXPECT_EQ(AddFontResourceA(path.c_str()), 1);
    EXPECT_TRUE(RemoveFontResourceA(path.c_str()));
    EXPECT_EQ(enumerate(cv.dc, "ABCDEF+Embedded").size(), 1u);
    EXPECT_TRUE(RemoveFontResourceA(path.c_str()));
    EXPECT_TRUE(enumerate(cv.dc, "ABCDEF+Embedded").empty());
    EXPECT_TRUE(enumerate(cv.dc, "Vistrel Subset").empty());
    EXPECT_FALSE(RemoveFontResourceA(path.c_str()));
    EXPECT_NE(measure("ABCDEF+Embedded"), serif);

    // A font made while the face was there keeps drawing with it.
    std::filesystem::remove(path);
    HGDIOBJ old = SelectObject(cv.dc, kept);
    draw(cv.dc, 5, 5, "Sub");
    SelectObject(cv.dc, old);
    DeleteObject(kept);
    EXPECT_FALSE(blank(cv));

    // An added face comes before the system's face of the same name.
    const std::string shadow = (dir.path / "Liberation Sans.ttf").string();
    std::filesystem::copy_file(kFixtures / "Embedded.ttf", shadow);
    ASSERT_EQ(AddFontResourceA(shadow.c_str()), 1);
    std::vector<Enumerated> got = enumerate(cv.dc, "Liberation Sans");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_STREQ(got[0].lf.lfFaceName, "Vistrel Subset");
    EXPECT_TRUE(RemoveFontResourceA(shadow.c_str()));
    EXPECT_EQ(enumerate(cv.dc, "Liberation Sans").size(), 4u);
}

TEST_F(GdiFontTest, AddedFontWithoutNamesIsFoundByFileName) {
    TempDir dir;
    const std::string path = (dir.path / "GHIJKL+Nameless.ttf").string();
    std::filesystem::copy_file(kFixtures / "Nameless.ttf", path);
    ASSERT_EQ(AddFontResourceA(path.c_str()), 1);
    Canvas cv(200, 60);
    std::vector<Enumerated> got = enumerate(cv.dc, "GHIJKL+Nameless");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_STREQ(got[0].lf.lfFaceName, "GHIJKL+Nameless");
    // The subset's advances are Liberation Serif's.
    auto extent = [&](const char* face) {
        Selected s(cv.dc, logFont(face, -40));
        SIZE size{};
        EXPECT_TRUE(GetTextExtentPoint32A(cv.dc, "Sub", 3, &size));
        return size.cx;
    };
    EXPECT_EQ(extent("GHIJKL+Nameless"), extent("Liberation Serif"));
    {
        Selected s(cv.dc, logFont("GHIJKL+Nameless", -40));
        draw(cv.dc, 5, 5, "Sub");
    }
    EXPECT_FALSE(blank(cv));
    EXPECT_TRUE(RemoveFontResourceA(path.c_str()));
}

TEST_F(GdiFontTest, RefusesFilesThatHoldNoFont) {
    TempDir dir;
    std::ifstream in(kFixtures / "Embedded.ttf", std::ios::binary);
    std::string font((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const struct {
        const char* name;
        std::string content;
    } cases[] = {
        {"empty.ttf", ""},
        {"text.ttf", "This is not a font.\n"},
        {"truncated.ttf", font.substr(0, 200)},
        {"pdf.ttf", "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj\n<<>>\nendobj\n"},
    };
    for (const auto& c : cases) {
        std::string path = (dir.path / c.name).string();
        std::ofstream(path, std::ios::binary) << c.content;
        EXPECT_EQ(AddFontResourceA(path.c_str()), 0) << c.name;
        EXPECT_FALSE(RemoveFontResourceA(path.c_str())) << c.name;
    }
    EXPECT_EQ(AddFontResourceA((dir.path / "missing.ttf").c_str()), 0);
    EXPECT_EQ(AddFontResourceA(dir.path.c_str()), 0);
    EXPECT_EQ(AddFontResourceA(nullptr), 0);
}

}  // namespace

namespace font {

void PrintTo(const FaceInfo& i, std::ostream* os) {
    *os << "{" << i.family << " / " << i.typographicFamily << ", em " << i.unitsPerEm << ", weight "
        << i.weight << ", italic " << i.italic << ", fixed " << i.fixedPitch << ", class "
        << int(i.familyClass) << ", Latin-1 " << i.coversLatin1 << ", ascent " << i.ascent
        << ", descent " << i.descent << ", leading " << i.externalLeading << ", widths "
        << i.averageWidth << " " << i.maximumWidth << ", underline " << i.underlinePosition << " "
        << i.underlineThickness << ", strikeout " << i.strikeoutPosition << " "
        << i.strikeoutThickness << "}";
}

}  // namespace font

namespace {

// The listing of the system's faces reads each face's info without opening
// it for drawing; what it reads is what a face opened for drawing has, for
// every face of the configuration and the fixtures (one without names, two
// reached through no Unicode map), and it refuses the faces opening refuses.
TEST_F(GdiFontTest, ListingReadsTheInfoOfOpenedFaces) {
    std::vector<std::pair<std::string, int>> faces;
    FcConfig* config = FcInitLoadConfigAndFonts();
    ASSERT_NE(config, nullptr);
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FILE, FC_INDEX, nullptr);
    if (FcFontSet* set = FcFontList(config, pattern, objects)) {
        for (int i = 0; i < set->nfont; ++i) {
            FcChar8* file = nullptr;
            int index = 0;
            if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch)
                continue;
            FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &index);
            faces.emplace_back(reinterpret_cast<const char*>(file), index);
        }
        FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    FcConfigDestroy(config);
    for (const char* fixture : {"Embedded.ttf", "Nameless.ttf", "Symbol.ttf", "MacRoman.ttf"})
        faces.emplace_back((kFixtures / fixture).string(), 0);
    faces.emplace_back((kFixtures / "Embedded.ttf").string(), 1);  // no such face

    const std::shared_ptr<font::FreeType> library = font::FreeType::create();
    int covering = 0, opened = 0;
    for (const auto& [file, index] : faces) {
        SCOPED_TRACE(file + " " + std::to_string(index));
        const std::shared_ptr<font::Face> face = font::Face::open(file, index);
        const std::optional<font::FaceInfo> info = font::Face::readInfo(file, index, library);
        ASSERT_EQ(info.has_value(), face != nullptr);
        if (face) {
            EXPECT_EQ(*info, face->info());
            covering += info->coversLatin1;
            ++opened;
        }
    }
    // Faces of both kinds of coverage, the Dingbats and symbol sets among
    // them.
    EXPECT_GT(covering, 0);
    EXPECT_LT(covering, opened);
}

// The font files a configuration lists.
std::vector<std::string> configurationFiles(FcConfig* config) {
    std::vector<std::string> files;
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FILE, nullptr);
    if (FcFontSet* set = FcFontList(config, pattern, objects)) {
        for (int i = 0; i < set->nfont; ++i) {
            FcChar8* file = nullptr;
            if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) == FcResultMatch)
                files.emplace_back(reinterpret_cast<const char*>(file));
        }
        FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    std::sort(files.begin(), files.end());
    return files;
}

// A program that reads the default configuration before the preload or
// while it runs keeps the configuration it read: the preload never puts
// another in its place.
TEST(FontConfigurationPreloadTest, KeepsTheConfigurationTheProgramRead) {
    for (bool readFirst : {false, true}) {
        FcConfig* read = nullptr;
        std::vector<std::string> files;
        {
            if (readFirst)
                read = FcConfigGetCurrent();
            FontConfigurationPreload preload;
            if (!readFirst)
                read = FcConfigGetCurrent();
            files = configurationFiles(read);
        }
        EXPECT_EQ(FcConfigGetCurrent(), read) << readFirst;
        EXPECT_EQ(configurationFiles(FcConfigGetCurrent()), files) << readFirst;
        EXPECT_FALSE(files.empty()) << readFirst;
    }
}

// The list preload lists the system's faces on its thread: font calls made
// meanwhile wait for the whole list, and a face added while it lists (opened
// on this thread) is found beside them.
TEST_F(GdiFontTest, FontCallsDuringThePreloadSeeEveryFace) {
    TempDir dir;
    const std::string path = (dir.path / "ABCDEF+Embedded.ttf").string();
    std::filesystem::copy_file(kFixtures / "Embedded.ttf", path);
    Canvas cv(1, 1);
    std::vector<std::string> styles, names;
    {
        FontListPreload preload;
        // Time for the thread to begin listing.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(AddFontResourceA(path.c_str()), 1);
        for (const Enumerated& e : enumerate(cv.dc, "Liberation Sans"))
            styles.push_back(std::to_string(e.lf.lfWeight) + (e.lf.lfItalic ? " italic" : ""));
        for (const Enumerated& e : enumerate(cv.dc, nullptr))
            names.push_back(e.lf.lfFaceName);
    }
    EXPECT_EQ(styles, (std::vector<std::string>{"400", "700", "400 italic", "700 italic"}));
    std::vector<std::string> expected(std::begin(kSystemFamilies), std::end(kSystemFamilies));
    const auto byName = [](const std::string& a, const std::string& b) {
        return strcasecmp(a.c_str(), b.c_str()) < 0;
    };
    const std::string added = "Vistrel Subset";
    expected.insert(std::upper_bound(expected.begin(), expected.end(), added, byName), added);
    EXPECT_EQ(names, expected);
    EXPECT_TRUE(RemoveFontResourceA(path.c_str()));
}

}  // namespace
}  // namespace win
