#include "engine/render/content/font_renderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "engine/render/raster/gdi_device.h"
#include "engine/render/raster/raster_test_util.h"

namespace vistrel {
namespace {

using test::Canvas;
using test::RecordingDevice;

constexpr std::uint16_t kA = 65;
constexpr std::uint16_t kB = 66;

// Widths by code: space 0.25, A 0.5, B -0.5, C 0.02; 68 codes in all.
DoubleArray testWidths() {
    DoubleArray w;
    for (int code = 0; code < 68; ++code)
        w.append(0.0);
    w.setAt(32, 0.25);
    w.setAt(kA, 0.5);
    w.setAt(kB, -0.5);
    w.setAt(67, 0.02);
    return w;
}

// A font with an ascent and a program advance of 7 that logs the glyphs it
// shows and draws, and fails the code it is told to.
class TestFont : public FontRenderer {
public:
    explicit TestFont(double fontAscent = 0.8, OutputDevice* device = nullptr)
        : FontRenderer(&widthTable(), device) {
        setAscent(fontAscent);
    }

    std::vector<std::uint16_t> shown;
    std::vector<std::pair<std::uint16_t, IntPoint>> drawn;
    int failOn = -1;
    bool textBar = true;

    bool showGlyph(std::uint16_t code) override {
        if (code == failOn)
            return false;
        shown.push_back(code);
        return FontRenderer::showGlyph(code);
    }
    bool drawGlyph(std::uint16_t code, IntPoint point) override {
        if (code == failOn)
            return false;
        drawn.emplace_back(code, point);
        return true;
    }
    double programAdvance(std::uint16_t) override { return 7.0; }
    bool allowsTextBar() const override { return textBar; }

    using FontRenderer::background;
    using FontRenderer::foreground;

private:
    static const DoubleArray& widthTable() {
        static const DoubleArray widths = testWidths();
        return widths;
    }
};

std::string text(const Matrix& m) {
    char s[160];
    std::snprintf(s, sizeof s, "%g %g %g %g %g %g", m.a, m.b, m.c, m.d, m.e, m.f);
    return s;
}

Matrix matrix(double a, double b, double c, double d, double e, double f) {
    Matrix m;
    setMatrix(m, a, b, c, d, e, f);
    return m;
}

TEST(FontRendererTest, TextStateMovesTheMatricesInDeviceTerms) {
    // Each case starts from text and line matrix [2 0 0 2 100 200], size 10,
    // Tz 100, no spacing, no rise (A is 0.5 wide, the space 0.25).
    struct Case {
        const char* label;
        std::function<void(FontRenderer&)> run;
        const char* textMatrix;
        const char* lineMatrix;
        const char* renderingMatrix;
    } cases[] = {
        {"Td 5 7", [](FontRenderer& f) { f.moveText(5, 7); }, "2 0 0 2 110 214", "2 0 0 2 110 214",
         "20 0 0 20 110 214"},
        {"TD 5 -6, then T*",
         [](FontRenderer& f) {
             f.setLeading(6);
             f.moveText(5, -6);
             f.nextLine();
         },
         "2 0 0 2 110 176", "2 0 0 2 110 176", "20 0 0 20 110 176"},
        {"TJ number -500: the text matrix alone",
         [](FontRenderer& f) { f.translateTextMatrix(500.0 / 1000 * 10, 0); }, "2 0 0 2 110 200",
         "2 0 0 2 100 200", "20 0 0 20 110 200"},
        {"Tz 50, then A",
         [](FontRenderer& f) {
             f.setHorizontalScale(50);
             f.showGlyph(kA);
         },
         "2 0 0 2 105 200", "2 0 0 2 100 200", "10 0 0 20 105 200"},
        {"Ts 3", [](FontRenderer& f) { f.setRise(3); }, "2 0 0 2 100 200", "2 0 0 2 100 200",
         "20 0 0 20 100 206"},
        {"Tc 1, then A: Tc is not scaled by Tz",
         [](FontRenderer& f) {
             f.setCharSpacing(1);
             f.setHorizontalScale(50);
             f.showGlyph(kA);
         },
         "2 0 0 2 107 200", "2 0 0 2 100 200", "10 0 0 20 107 200"},
        {"Tw 4, then (A A): only after the space",
         [](FontRenderer& f) {
             f.setWordSpacing(4);
             f.showString(WString(u"A A"));
         },
         "2 0 0 2 133 200", "2 0 0 2 100 200", "20 0 0 20 133 200"},
        {"rotated: A, then Td 2 3",
         [](FontRenderer& f) {
             f.setTextMatrix(matrix(0, 1, -1, 0, 50, 60), nullptr);
             f.showGlyph(kA);
             f.moveText(2, 3);
         },
         "0 1 -1 0 47 62", "0 1 -1 0 47 62", "0 10 -10 0 47 62"},
        {"Tm with a line matrix of its own",
         [](FontRenderer& f) {
             const Matrix lm = matrix(1, 0, 0, 1, 5, 6);
             f.setTextMatrix(matrix(1, 0, 0, 1, 7, 8), &lm);
         },
         "1 0 0 1 7 8", "1 0 0 1 5 6", "10 0 0 10 7 8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TestFont font;
        font.setFontSize(10);
        font.setTextMatrix(matrix(2, 0, 0, 2, 100, 200), nullptr);
        c.run(font);
        EXPECT_EQ(text(font.textMatrix()), c.textMatrix);
        EXPECT_EQ(text(font.lineMatrix()), c.lineMatrix);
        EXPECT_EQ(text(font.renderingMatrix()), c.renderingMatrix);
    }
}

TEST(FontRendererTest, DeviceHeightFromSizeAndAscent) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    struct Case {
        const char* label;
        double ascent;
        double size;
        double c, d;
        double deviceSize;
        std::int32_t deviceHeight;
    } cases[] = {
        {"upright", 0.8, 10, 0, 2, 20, 25},
        {"skewed, rounded half up", 0.8, 10, 3, 4, 50, 63},
        {"negative size", 0.8, -10, 0, 2, -20, -25},
        {"no ascent", 0.0, 10, 0, 2, 20, 0},
        {"negative ascent", -1.0, 10, 0, 2, 20, 0},
        {"huge size", 0.8, 1e300, 0, 2, 2e300, kMax},
        {"tiny ascent", 1e-300, 10, 0, 2, 20, kMax},
        {"infinite size", 0.8, kInf, 0, 2, 0, 0},
        {"NaN size", 0.8, std::nan(""), 0, 2, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TestFont font(c.ascent);
        font.setTextMatrix(matrix(1, 0, c.c, c.d, 0, 0), nullptr);
        font.setFontSize(c.size);
        EXPECT_EQ(font.deviceSize(), c.deviceSize);
        EXPECT_EQ(font.deviceHeight(), c.deviceHeight);
        // Widths are rounded against the clamped height without overflow.
        const std::int64_t width = font.roundedWidth(kA);
        EXPECT_EQ(width, std::llround(0.5 * c.deviceHeight));
    }
}

TEST(FontRendererTest, CharHeightScalesTheSizeByTheAscent) {
    TestFont font(0.8);
    font.setTextMatrix(matrix(1, 0, 0, 1, 0, 0), nullptr);
    font.setCharHeight(10);
    EXPECT_EQ(font.fontSize(), 8.0);
    EXPECT_EQ(font.deviceSize(), 8.0);
    EXPECT_EQ(font.deviceHeight(), 10);
    EXPECT_EQ(text(font.renderingMatrix()), "8 0 0 8 0 0");
}

TEST(FontRendererTest, Measures) {
    TestFont font(0.8);
    font.setTextMatrix(matrix(0, 2, -2, 0, 0, 0), nullptr);
    font.setFontSize(10);  // device height 25
    font.setHorizontalScale(50);
    struct Case {
        std::uint16_t code;
        double width;
        std::int32_t rounded;
    } cases[] = {
        {kA, 0.25, 6},      // 6.25
        {kB, -0.25, -6},    // -6.25
        {67, 0.01, 0},      // 0.25
        {68, 7.0, 175},     // the first code past the widths: the program's advance
        {65535, 7.0, 175},  // unscaled
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_DOUBLE_EQ(font.glyphWidth(c.code), c.width);
        EXPECT_EQ(font.roundedWidth(c.code), c.rounded);
        EXPECT_EQ(font.glyphHeight(c.code), 25);
    }
    font.setHorizontalScale(100);  // A 12.5 -> 13, B -12.5 -> -13
    EXPECT_EQ(font.roundedWidth(kA), 13);
    EXPECT_EQ(font.roundedWidth(kB), -13);
    EXPECT_EQ(font.stringWidth(WString(u"AAB")), 13);
    EXPECT_EQ(font.stringWidth(WString()), 0);
    EXPECT_EQ(font.stringHeight(WString(u"AB")), 25);
    EXPECT_EQ(font.stringHeight(WString()), 0);
}

TEST(FontRendererTest, StringsStopAtAGlyphThatFails) {
    TestFont font(1.0);
    font.setFontSize(10);
    font.failOn = kB;
    EXPECT_FALSE(font.showString(WString(u"ABA")));
    EXPECT_EQ(font.shown, std::vector<std::uint16_t>{kA});
    EXPECT_EQ(font.textMatrix().e, 5.0);

    // drawString: the pen moves by the rounded widths; y stays.
    font.drawn.clear();
    EXPECT_FALSE(font.drawString(WString(u"AAB"), IntPoint(3, 4)));
    const std::vector<std::pair<std::uint16_t, IntPoint>> drawn = {{kA, IntPoint(3, 4)},
                                                                   {kA, IntPoint(8, 4)}};
    EXPECT_EQ(font.drawn, drawn);
    font.failOn = -1;
    EXPECT_TRUE(font.drawString(WString(u"BA"), IntPoint(0, 0)));
    EXPECT_EQ(font.drawn.back().second, IntPoint(-5, 0));
    EXPECT_EQ(font.textMatrix().e, 5.0);  // drawing does not move the text
}

TEST(FontRendererTest, SmallTextIsABar) {
    // Ascent 1; the text starts at (10, 50); A is 0.5 wide.
    struct Case {
        const char* label;
        double size;
        std::int32_t mode;
        bool textBar;
        Matrix tm;
        const char16_t* string;
        size_t glyphs;  // shown one by one
        std::vector<IntRect> bars;
        double endX, endY;  // the text position after the string
    } cases[] = {
        {"5.9: one bar rising from the baseline",
         5.9,
         0,
         true,
         matrix(1, 0, 0, 1, 10, 50),
         u"AA",
         0,
         {IntRect(10, 44, 6, 6)},
         15.9,
         50},
        {"6.0: glyphs", 6.0, 0, true, matrix(1, 0, 0, 1, 10, 50), u"AA", 2, {}, 16, 50},
        {"mode 3 advances, draws nothing",
         5.9,
         3,
         true,
         matrix(1, 0, 0, 1, 10, 50),
         u"AA",
         0,
         {},
         15.9,
         50},
        {"mode 7 likewise", 5.9, 7, true, matrix(1, 0, 0, 1, 10, 50), u"AA", 0, {}, 15.9, 50},
        {"mode 1 is drawn",
         5.9,
         1,
         true,
         matrix(1, 0, 0, 1, 10, 50),
         u"AA",
         0,
         {IntRect(10, 44, 6, 6)},
         15.9,
         50},
        {"the font forbids bars",
         5.9,
         0,
         false,
         matrix(1, 0, 0, 1, 10, 50),
         u"AA",
         2,
         {},
         15.9,
         50},
        {"vertical advance: the device height across",
         5.9,
         0,
         true,
         matrix(0, 1, -1, 0, 10, 50),
         u"AA",
         0,
         {IntRect(10, 50, 6, 6)},
         10,
         55.9},
        {"leftward advance is normalised",
         5.9,
         0,
         true,
         matrix(-1, 0, 0, 1, 30, 50),
         u"AA",
         0,
         {IntRect(24, 44, 6, 6)},
         24.1,
         50},
        {"an empty string shows nothing",
         5.9,
         0,
         true,
         matrix(1, 0, 0, 1, 10, 50),
         u"",
         0,
         {},
         10,
         50},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Canvas canvas(8, 8);
        RecordingDevice dev;
        dev.Attach(canvas.dc, IntPoint(8, 8));
        TestFont font(1.0, &dev);
        font.textBar = c.textBar;
        font.setRenderMode(c.mode);
        font.setTextMatrix(c.tm, nullptr);
        font.setFontSize(c.size);
        EXPECT_TRUE(font.showString(WString(c.string)));
        EXPECT_EQ(font.shown.size(), c.glyphs);
        EXPECT_EQ(dev.rects, c.bars);
        EXPECT_NEAR(font.textMatrix().e, c.endX, 1e-9);
        EXPECT_NEAR(font.textMatrix().f, c.endY, 1e-9);
        dev.Detach();
    }
}

TEST(FontRendererTest, BarIsDrawnInTheLightenedStrokeColour) {
    Canvas canvas(24, 24);
    GdiDevice dev(canvas.dc, IntPoint(24, 24));
    DeviceColor red(0x0000FF), green(0x00FF00);
    dev.SetStrokeColor(red);
    dev.SetFillColor(green);

    // Ascent 0.8, size 4: device height 5; "AA" advances 2 + 2 from x 5 on
    // the baseline y 20.
    TestFont font(0.8, &dev);
    font.setTextMatrix(matrix(1, 0, 0, 1, 5, 20), nullptr);
    font.setFontSize(4);
    ASSERT_EQ(font.deviceHeight(), 5);
    EXPECT_TRUE(font.showString(WString(u"AA")));

    // Rows 16 to 19 (rnd (0.8 x -5) = -4 above the baseline), columns 5 to
    // 8; each channel v of red became min (255, (v + 255) / 2).
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 24; ++x) {
            const bool inBar = x >= 5 && x < 9 && y >= 16 && y < 20;
            ASSERT_EQ(canvas.pixel(x, y), inBar ? 0x7F7FFFu : 0xFFFFFFu) << x << "," << y;
        }
    }
    EXPECT_EQ(dev.StrokeColorValue(), 0x0000FFu);
    EXPECT_EQ(dev.FillColorValue(), 0x00FF00u);

    // clearBox fills (x, y, width, device height) in the background colour.
    DeviceColor blue(0xFF0000);
    font.setBackgroundFrom(blue);
    font.clearBox(1, 2, 3);
    EXPECT_EQ(canvas.pixel(1, 2), 0xFF0000u);
    EXPECT_EQ(canvas.pixel(3, 6), 0xFF0000u);
    EXPECT_EQ(canvas.pixel(4, 2), 0xFFFFFFu);
    EXPECT_EQ(canvas.pixel(1, 7), 0xFFFFFFu);
    EXPECT_EQ(dev.StrokeColorValue(), 0x0000FFu);
    EXPECT_EQ(dev.FillColorValue(), 0x00FF00u);
}

TEST(FontRendererTest, AttachTakesColoursFromOneDeviceAtATime) {
    Canvas canvas(4, 4);
    GdiDevice dev(canvas.dc, IntPoint(4, 4));
    GdiDevice other(canvas.dc, IntPoint(4, 4));
    TestFont font;
    EXPECT_FALSE(font.detachDevice());
    EXPECT_FALSE(font.attachDevice(nullptr, nullptr));
    EXPECT_EQ(font.foreground(), nullptr);

    EXPECT_TRUE(font.attachDevice(&dev, nullptr));
    EXPECT_EQ(font.device(), &dev);
    EXPECT_EQ(font.foreground()->value(), 0x000000u);
    EXPECT_EQ(font.background()->value(), 0xFFFFFFu);
    EXPECT_FALSE(font.attachDevice(&other, nullptr));
    EXPECT_EQ(font.device(), &dev);

    font.setForegroundFrom(DeviceColor(0x123456));
    EXPECT_EQ(font.foreground()->value(), 0x123456u);

    EXPECT_TRUE(font.detachDevice());
    EXPECT_EQ(font.device(), nullptr);
    EXPECT_EQ(font.foreground(), nullptr);
    // Without colours the colour operations and the bar do nothing.
    font.setForegroundFrom(DeviceColor(0));
    font.setFontSize(1);
    EXPECT_TRUE(font.showString(WString(u"A")));

    TestFont attached(0.8, &other);
    EXPECT_EQ(attached.device(), &other);
    EXPECT_EQ(attached.background()->value(), 0xFFFFFFu);
}

TEST(FontRendererTest, BaseAnswers) {
    FontRenderer font;
    EXPECT_TRUE(font.isUsable());
    EXPECT_EQ(font.clone(), nullptr);
    EXPECT_EQ(font.encoding(), nullptr);
    EXPECT_TRUE(font.capturesText());
    EXPECT_TRUE(font.allowsTextBar());
    EXPECT_TRUE(font.isReleasable());
    EXPECT_FALSE(font.trimCache(-1));
    EXPECT_EQ(font.defaultEncodingName().toLatin1(), "StandartEncoding");
    EXPECT_EQ(font.widths().count(), 0);
    // No ascent of its own: no device height, however large the text.
    font.setFontSize(100);
    EXPECT_EQ(font.deviceSize(), 100.0);
    EXPECT_EQ(font.deviceHeight(), 0);
    WString description(u"kept");
    font.description(description);
    EXPECT_EQ(description.toLatin1(), "kept");
}

}  // namespace
}  // namespace vistrel
