// The graphics-state, text-state and text-positioning operators.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/constants/name_constants.h"
#include "engine/render/content/content_test_util.h"
#include "engine/render/content/operators.h"

namespace vistrel {
namespace {

using test::Canvas;
using test::RecordingFont;
using test::RecordingGdiDevice;
using test::Session;
using test::streamObject;
using test::TestDocument;
using test::TraceLog;

Matrix scale(double s) {
    return Matrix{s, 0, 0, s, 0, 0};
}

// The device line width is always the stored width scaled by the square root
// of the absolute determinant of CTM x base, whichever operator sets it.
TEST(GraphicsStateOperatorsTest, DeviceLineWidth) {
    const struct {
        double base;
        const char* content;
        const char* width;
    } cases[] = {
        {1, "2 w", "width 2"},
        {2, "2 w", "width 4"},
        {2, "3 0 0 3 0 0 cm 2 w", "width 12"},
        {1, "2 w 3 0 0 3 0 0 cm", "width 6"},
        {2, "2 w 3 0 0 3 0 0 cm", "width 12"},
        {2, "0 1 -1 0 0 0 cm 2 w", "width 4"},
        {1, "4 0 0 1 0 0 cm 1 w", "width 2"},
        {1, "0.1 0 0 0.1 0 0 cm 10 w q 1 0 0 1 5 5 cm Q", "width 1"},
        {2, "q 5 w Q", "width 2"},
        {2, "1 0 0 1 0 0 cm", "width 2"},
    };
    for (const auto& c : cases) {
        Session s(scale(c.base));
        s.run(c.content);
        EXPECT_EQ(s.lastWidth(), c.width) << c.content << " at base scale " << c.base;
    }
}

// The state keeps the lengths as read; the device gets them in pixels,
// scaled as the line width is (here by 2): rounded, a dash of some length
// at least a pixel, an odd list doubled.
TEST(GraphicsStateOperatorsTest, DashesKeepWhatWasReadAndReachTheDeviceInPixels) {
    const struct {
        const char* content;
        const char* outcome;
        std::vector<double> dashes;
        double phase;
        std::vector<std::string> device;
    } cases[] = {
        {"[2.5 1.5] 0 d", "ok", {2.5, 1.5}, 0, {"dash 5 3 phase 0"}},
        {"[-1.5 2.7] 3 d", "ok", {-1.5, 2.7}, 3, {"dash -3 5 phase 6"}},
        {"[0.2 0.2 2 2.9] 4.8 d", "ok", {0.2, 0.2, 2, 2.9}, 4.8, {"dash 1 0 4 6 phase 10"}},
        {"[3] 0.2 d", "ok", {3}, 0.2, {"dash 6 6 phase 0"}},
        {"[1 2 0.4] 0 d", "ok", {1, 2, 0.4}, 0, {"dash 2 4 1 2 4 1 phase 0"}},
        {"[] 0 d", "ok", {}, 0, {"dash phase 0"}},
        {"[3000000000.5 -3000000000] 0 d",
         "ok",
         {3000000000.5, -2147483648.0},
         0,
         {"dash 268435455 -2147483648 phase 0"}},
        {"[1 (x) 2] 7 d", "status 3", {1}, 7, {}},
        {"5 6 d", "status 3", {}, 6, {}},
        {"[1 2] d", "status 4", {}, 0, {}},
    };
    for (const auto& c : cases) {
        Session s(scale(2));
        s.run(c.content);
        ASSERT_EQ(s.trace.lines.size(), 1u);
        EXPECT_EQ(s.trace.lines[0], std::string("0 1 d ") + c.outcome) << c.content;
        EXPECT_EQ(s.in.graphicsState().dashes, c.dashes) << c.content;
        EXPECT_EQ(s.in.graphicsState().dashPhase, c.phase) << c.content;
        EXPECT_EQ(s.device.entries("dash"), c.device) << c.content;
    }
}

TEST(GraphicsStateOperatorsTest, FlatnessIsClampedTo100) {
    const struct {
        const char* content;
        std::int32_t flatness;
    } cases[] = {{"50 i", 50},  {"100 i", 100}, {"101 i", 100}, {"250 i", 100},
                 {"-1 i", 100}, {"2.7 i", 2},   {"(x) i", 0}};
    for (const auto& c : cases) {
        Session s;
        s.run(c.content);
        EXPECT_EQ(s.in.graphicsState().flatness, c.flatness) << c.content;
    }
}

TEST(GraphicsStateOperatorsTest, ExtGStateParameters) {
    const std::vector<std::string> objects = {
        "<< /ExtGState 5 0 R >>",
        "<< /G1 << /LW 3 /LC 1 /LJ 2 /ML 4.5 /D [[2 1] 1] /FL 250 /RI /Perceptual "
        "/SA true /OP true /TR /Identity /SM 0.02 >> /G2 << /D [[4]] /LW (x) >> /G3 6 0 R >>",
        "<< /LC 2 >>",
    };
    TestDocument doc("/Resources 4 0 R", objects);
    const struct {
        const char* content;
        const char* outcome;
        std::vector<std::string> device;
    } cases[] = {
        {"/G1 gs", "ok", {"width 6", "cap 1", "join 2", "miter 4.5", "dash 4 2 phase 2"}},
        {"/G2 gs", "ok", {"width 0"}},
        {"/G3 gs", "ok", {"cap 2"}},
        {"/G4 gs", "status 3", {}},
        {"5 gs", "status 3", {}},
    };
    for (const auto& c : cases) {
        Session s(scale(2));
        s.in.setResources(doc.page()->resources());
        s.device.log.clear();
        s.run(c.content);
        ASSERT_EQ(s.trace.lines.size(), 1u);
        EXPECT_EQ(s.trace.lines[0], std::string("0 1 gs ") + c.outcome) << c.content;
        EXPECT_EQ(s.device.log, c.device) << c.content;
        if (std::string(c.content) == "/G1 gs") {
            const GraphicsState& g = s.in.graphicsState();
            EXPECT_EQ(g.lineWidth, 3);
            EXPECT_EQ(g.lineCap, 1);
            EXPECT_EQ(g.lineJoin, 2);
            EXPECT_EQ(g.miterLimit, 4.5);
            EXPECT_EQ(g.dashes, (std::vector<double>{2, 1}));
            EXPECT_EQ(g.dashPhase, 1);
            EXPECT_EQ(g.flatness, 100);
        }
    }
}

// The resource category may be a reference to a dictionary; one that is not
// a dictionary holds nothing.
TEST(GraphicsStateOperatorsTest, FindResourceFollowsTheCategory) {
    TestDocument doc("/Resources << /ExtGState 4 0 R /XObject 5 >>", {"<< /G1 << >> >>"});
    ContentInterpreter in(fullOperatorStateMap(), kStatePage, true);
    PdfName g1(WString(u"/G1")), g2(WString(u"/G2"));
    EXPECT_EQ(in.findResource(names::ExtGState, g1), nullptr);
    in.setResources(doc.page()->resources());
    EXPECT_NE(in.findResource(names::ExtGState, g1), nullptr);
    EXPECT_EQ(in.findResource(names::ExtGState, g2), nullptr);
    EXPECT_EQ(in.findResource(names::XObject, g1), nullptr);
    EXPECT_EQ(in.findResource(names::Font, g1), nullptr);
}

// A counted space the test can watch.
class FakeSpace : public ColorSpace {
public:
    FakeSpace() : ColorSpace(1) {}
    void convertSamples(std::uint8_t*, std::int32_t, std::size_t, bool) const override {}
    bool convertColor(const DoubleArray&, DoubleArray&, bool) const override { return false; }
    ColorSpaceFamily family() const override { return ColorSpaceFamily::DeviceGray; }
};

// "q" continues with a copy (colours cloned, spaces shared, no path); "Q"
// brings the saved state back and hands it to the device again.
TEST(GraphicsStateOperatorsTest, SaveAndRestore) {
    Session s(scale(2));
    GraphicsState& g = s.in.graphicsState();
    Ref<ColorSpace> space = Ref<ColorSpace>::adopt(new FakeSpace);
    g.fillSpace = space;
    g.fillColor = std::make_unique<DeviceColor>(0x0000FFu);
    g.strokeColor = std::make_unique<DeviceColor>(0x00FF00u);
    g.pendingClip = GraphicsState::kClipEvenOdd;
    g.path = s.device.NewShape();
    s.run("2 w 1 J 1 j 5 M [3] 0 d q");
    GraphicsState& copy = s.in.graphicsState();
    ASSERT_NE(&copy, &g);
    EXPECT_EQ(copy.fillSpace.get(), space.get());
    EXPECT_EQ(space->refCount(), 3u);
    ASSERT_TRUE(copy.fillColor);
    EXPECT_NE(copy.fillColor.get(), g.fillColor.get());
    EXPECT_EQ(copy.fillColor->value(), 0x0000FFu);
    EXPECT_EQ(copy.path, nullptr);
    EXPECT_EQ(copy.pendingClip, GraphicsState::kClipEvenOdd);
    EXPECT_EQ(copy.dashes, (std::vector<double>{3}));

    copy.fillColor->setValue(0);
    s.device.log.clear();
    s.run("7 w 2 J 3 0 0 3 0 0 cm Q");
    EXPECT_EQ(&s.in.graphicsState(), &g);
    EXPECT_EQ(space->refCount(), 2u);
    EXPECT_EQ(s.device.log,
              (std::vector<std::string>{"width 14", "cap 2", "width 42", "dash 18 18 phase 0",
                                        "fill 255", "stroke 65280", "cap 1", "join 1",
                                        "dash 6 6 phase 0", "width 4", "miter 5", "restore"}));
}

// "Q" with nothing saved gives default states; the device keeps its colours
// (a default state has none) and restores its clip.
TEST(GraphicsStateOperatorsTest, RestoreWithoutSaveGivesDefaults) {
    Session s(scale(2));
    s.in.graphicsState().fillColor = std::make_unique<DeviceColor>(0x0000FFu);
    s.run("2 w 1 J 1 j 5 M [3] 0 d 2 0 0 2 0 0 cm BT 2 Tc 1 0 0 1 5 5 Tm ET");
    s.device.log.clear();
    s.run("Q");
    const GraphicsState& g = s.in.graphicsState();
    EXPECT_EQ(g.lineWidth, 1);
    EXPECT_EQ(g.lineCap, 0);
    EXPECT_EQ(g.lineJoin, 0);
    EXPECT_EQ(g.miterLimit, 0);
    EXPECT_TRUE(g.dashes.empty());
    EXPECT_EQ(g.ctm.a, 1);
    EXPECT_EQ(g.fillColor, nullptr);
    EXPECT_EQ(s.in.deviceMatrix().a, 2);
    EXPECT_EQ(s.in.textState()->charSpacing, 0);
    EXPECT_EQ(s.in.textState()->textMatrix.e, 0);
    EXPECT_EQ(s.device.log, (std::vector<std::string>{"cap 0", "join 0", "dash phase 0", "width 2",
                                                      "miter 0", "restore"}));
}

// A dash with a negative length or a zero sum is drawn solid by the device,
// so the line ends; [2 2] draws gaps.
TEST(GraphicsStateOperatorsTest, UnusableDashesDrawSolidLines) {
    const struct {
        const char* content;
        bool solid;
    } cases[] = {{"[-5 1] 0 d", true}, {"[0 0] 0 d", true}, {"[2 2] 0 d", false}};
    for (const auto& c : cases) {
        Canvas canvas(64, 8);
        GdiDevice device(canvas.dc, IntPoint(64, 8));
        ContentInterpreter in(fullOperatorStateMap(), kStatePage, true);
        in.setDevice(&device);
        ContentRunner runner;
        test::runText(in, runner, c.content);
        ASSERT_TRUE(device.Line(IntPoint(0, 4), IntPoint(60, 4)));
        int black = 0;
        for (int x = 0; x < 60; ++x)
            black += canvas.pixel(x, 4) == 0;
        EXPECT_EQ(black == 60, c.solid) << c.content << ": " << black << " black pixels";
        EXPECT_GT(black, 0) << c.content;
    }
}

TEST(TextStateOperatorsTest, ParametersGoToTheStateAndTheFont) {
    Session s;
    RecordingFont font;
    s.in.textState()->font = makeRef<FontHandle>(&font);
    s.run("BT 2 Tc 3 Tw 110 Tz 14 TL 2.6 Tr 5 Ts ET");
    EXPECT_EQ(font.log, (std::vector<std::string>{"setTextMatrix 1 0 0 1 0 0 line 1 0 0 1 0 0",
                                                  "Tc 2", "Tw 3", "Tz 110", "TL 14", "Tr 2",
                                                  "Ts 5"}));
    const TextState& t = *s.in.textState();
    EXPECT_EQ(t.charSpacing, 2);
    EXPECT_EQ(t.wordSpacing, 3);
    EXPECT_EQ(t.horizontalScaling, 110);
    EXPECT_EQ(t.leading, 14);
    EXPECT_EQ(t.renderMode, 2);
    EXPECT_EQ(t.rise, 5);
}

TEST(TextStateOperatorsTest, Positioning) {
    const struct {
        Matrix base;
        const char* content;
        Matrix line;  // the text line matrix afterwards (the text matrix equals it)
        double leading;
        std::vector<std::string> font;  // after "BT"
    } cases[] = {
        {{}, "BT 10 20 Td 5 5 Td ET", {1, 0, 0, 1, 15, 25}, 0, {"moveText 10 20", "moveText 5 5"}},
        {{},
         "BT 2 0 0 2 0 0 Tm 10 20 Td ET",
         {2, 0, 0, 2, 20, 40},
         0,
         {"setTextMatrix 2 0 0 2 0 0", "moveText 10 20"}},
        {{},
         "BT 0 -14 TD T* ET",
         {1, 0, 0, 1, 0, -28},
         14,
         {"TL 14", "moveText 0 -14", "nextLine"}},
        {{},
         "BT 12 TL 0 1 -1 0 100 100 Tm T* ET",
         {0, 1, -1, 0, 112, 100},
         12,
         {"TL 12", "setTextMatrix 0 1 -1 0 100 100", "nextLine"}},
        {{2, 0, 0, -2, 0, 400},
         "3 0 0 3 10 10 cm BT 1 0 0 1 5 6 Tm ET",
         {1, 0, 0, 1, 5, 6},
         0,
         {"setTextMatrix 6 0 0 -6 50 344"}},
    };
    for (const auto& c : cases) {
        Session s(c.base);
        RecordingFont font;
        s.in.textState()->font = makeRef<FontHandle>(&font);
        s.run(c.content);
        ASSERT_FALSE(font.log.empty());
        font.log.erase(font.log.begin());
        const TextState& t = *s.in.textState();
        EXPECT_EQ(RecordingFont::text(t.lineMatrix), RecordingFont::text(c.line)) << c.content;
        EXPECT_EQ(RecordingFont::text(t.textMatrix), RecordingFont::text(c.line)) << c.content;
        EXPECT_EQ(t.leading, c.leading) << c.content;
        EXPECT_EQ(font.log, c.font) << c.content;
    }
}

// A handle whose font object is gone gets one through the bind hook when an
// operator needs the font; the font it gets is attached to the run's device
// and given the run's text state.
RecordingFont* boundFont = nullptr;
void bindRecordingFont(FontHandle& handle) {
    handle.setFont(boundFont);
}

TEST(TextStateOperatorsTest, UnboundFontIsBoundOnUse) {
    Session s;
    RecordingFont font;
    boundFont = &font;
    s.in.textState()->font = makeRef<FontHandle>();
    s.run("BT 2 Tc ET");
    EXPECT_TRUE(font.log.empty());
    const FontBindHook old = setFontBindHook(bindRecordingFont);
    s.run("BT 3 Tc ET");
    setFontBindHook(old);
    // Attached and given the text state ("2 Tc" of the run before), then
    // "BT" and "Tc".
    EXPECT_EQ(font.log, (std::vector<std::string>{
                            "attach", "Tw 0", "Tc 2", "TL 0", "Tz 100", "Tr 0", "Ts 0", "size 0",
                            "setTextMatrix 1 0 0 1 0 0 line 1 0 0 1 0 0",
                            "setTextMatrix 1 0 0 1 0 0 line 1 0 0 1 0 0", "Tc 3"}));
    EXPECT_EQ(s.in.textState()->font->currentFont(), &font);
    EXPECT_EQ(font.device, &s.device);
}

// "q" shares the font handle with the copy, counted; "Q" hands the restored
// text state to the font in device terms.
TEST(TextStateOperatorsTest, SaveAndRestoreCountTheFontAndRestoreIt) {
    Session s(scale(2));
    RecordingFont font;
    Ref<FontHandle> handle = makeRef<FontHandle>(&font);
    s.in.textState()->font = handle;
    s.run("BT 1 Tw 2 Tc 3 TL 4 Tz 1 Tr 6 Ts 1 0 0 1 10 20 Tm 5 5 Td ET q");
    EXPECT_EQ(handle->refCount(), 3u);
    s.in.textState()->fontSize = 9;
    s.run("BT 7 Tc ET");
    font.log.clear();
    s.run("Q");
    EXPECT_EQ(handle->refCount(), 2u);
    EXPECT_EQ(font.log,
              (std::vector<std::string>{"Tw 1", "Tc 2", "TL 3", "Tz 4", "Tr 1", "Ts 6", "size 0",
                                        "setTextMatrix 2 0 0 2 30 50 line 2 0 0 2 30 50"}));
    s.in.textState()->font = nullptr;
    EXPECT_EQ(handle->refCount(), 1u);
}

}  // namespace
}  // namespace vistrel
