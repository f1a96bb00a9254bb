// The colour operators and the colour steps of "g" and "G".
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/constants/setting_keys.h"
#include "engine/core/settings_store.h"
#include "engine/render/content/content_test_util.h"

namespace vistrel {
namespace {

using test::RecordingFont;
using test::Session;
using test::streamObject;
using test::TestDocument;

// The trace without depth and state: "rg ok", "sc status 10".
std::vector<std::string> outcomes(const std::vector<std::string>& trace) {
    std::vector<std::string> out;
    out.reserve(trace.size());
    for (const std::string& line : trace)
        out.push_back(line.substr(line.find(' ', line.find(' ') + 1) + 1));
    return out;
}

constexpr int kNone = -1;

int familyOf(const Ref<ColorSpace>& space) {
    return space ? int(space->family()) : kNone;
}

std::int64_t valueOf(const std::unique_ptr<DeviceColor>& color) {
    return color ? std::int64_t(color->value()) : kNone;
}

TEST(ColorOperatorsTest, SpacesColoursDeviceAndFont) {
    // /Resources of the page: none, or default spaces and named spaces.
    const std::string kDefaults =
        "/Resources << /ColorSpace << /DefaultRGB /DeviceCMYK /DefaultGray [/ICCBased 4 0 R] "
        "/DefaultCMYK /Pattern /CS0 [/ICCBased 5 0 R] /Bad [/ICCBased 6 0 R] >> >>";
    const std::vector<std::string> objects = {streamObject("/N 1", "profile"),
                                              streamObject("/N 3", "profile"),
                                              streamObject("/N 1 /Alternate /DeviceRGB", "p")};
    const struct {
        bool defaults;
        const char* content;
        std::vector<std::string> trace;
        std::vector<std::string> device;  // colours the device was given
        int fillSpace, strokeSpace;       // families, kNone for none
        std::int64_t fillColor;           // the graphics state's, kNone for none
        std::vector<std::string> font;
    } cases[] = {
        {false, "1 0 0 rg", {"rg ok"}, {"fill 255"}, 1, kNone, 0x0000FF, {"fillColorChanged"}},
        {false, "0 0 0 1 k", {"k ok"}, {"fill 0"}, 2, kNone, 0, {"fillColorChanged"}},
        {false, "0 0 1 k", {"k status 4"}, {}, kNone, kNone, kNone, {}},
        {false, "0.5 g", {"g ok"}, {"fill 8421504"}, 0, kNone, 0x808080, {"fillColorChanged"}},
        {false, "1.2 g", {"g ok"}, {"fill 16777215"}, 0, kNone, 0xFFFFFF, {"fillColorChanged"}},
        {false, "g", {"g status 4"}, {}, kNone, kNone, kNone, {}},
        {false, "1 0 0 RG", {"RG ok"}, {"stroke 255"}, kNone, 1, kNone, {"strokeColorChanged"}},
        {false,
         "0.5 G 0 0 0 1 K",
         {"G ok", "K ok"},
         {"stroke 8421504", "stroke 0"},
         kNone,
         2,
         kNone,
         {"strokeColorChanged", "strokeColorChanged"}},
        // "sc" takes the space's count of operands; those below stay.
        {false,
         "/DeviceRGB cs 9 0.2 0.4 0.6 sc",
         {"cs ok", "sc ok"},
         {"fill 10053171"},
         1,
         kNone,
         0x996633,
         {"fillColorChanged"}},
        {false, "/DeviceRGB cs 0.5 sc", {"cs ok", "sc status 4"}, {}, 1, kNone, kNone, {}},
        {false,
         "/DeviceCMYK CS 0 0 0 1 SC",
         {"CS ok", "SC ok"},
         {"stroke 0"},
         kNone,
         2,
         kNone,
         {"strokeColorChanged"}},
        // "scn" drops a pattern name after the components.
        {false,
         "/DeviceGray cs 0.3 /P1 scn",
         {"cs ok", "scn ok"},
         {"fill 5066061"},
         0,
         kNone,
         0x4D4D4D,
         {"fillColorChanged"}},
        {false, "/DeviceGray cs (a) scn", {"cs ok", "scn status 4"}, {}, 0, kNone, kNone, {}},
        {false,
         "sc 0.5 scn 0.5 SCN",
         {"sc status 10", "scn status 10", "SCN status 10"},
         {},
         kNone,
         kNone,
         kNone,
         {}},
        // No pattern space: the space is none and "scn" finds none.
        {false,
         "0.5 g /Pattern cs /P1 scn",
         {"g ok", "cs status 3", "scn status 10"},
         {"fill 8421504"},
         kNone,
         kNone,
         0x808080,
         {"fillColorChanged"}},
        {false, "/Foo cs", {"cs status 3"}, {}, kNone, kNone, kNone, {}},
        {false, "5 cs", {"cs status 3"}, {}, kNone, kNone, kNone, {}},
        // "cs" leaves the colour as it was.
        {false,
         "1 0 0 rg /DeviceGray cs",
         {"rg ok", "cs ok"},
         {"fill 255"},
         0,
         kNone,
         0x0000FF,
         {"fillColorChanged"}},
        // Default spaces of the page: /DefaultRGB is CMYK, so three components
        // do not convert; the space is replaced and the colour dropped.
        {true, "1 0 0 rg", {"rg status 3"}, {}, 2, kNone, kNone, {}},
        {true, "0.5 g", {"g ok"}, {"fill 8421504"}, 9, kNone, 0x808080, {"fillColorChanged"}},
        // A default that gives no space: "k" keeps the colour, "g" drops it.
        {true,
         "0.5 g 0 0 0 1 k",
         {"g ok", "k status 3"},
         {"fill 8421504"},
         kNone,
         kNone,
         0x808080,
         {"fillColorChanged"}},
        {true,
         "/CS0 cs 0 1 0 sc",
         {"cs ok", "sc ok"},
         {"fill 65280"},
         9,
         kNone,
         0x00FF00,
         {"fillColorChanged"}},
        // An ICC-based space whose /N does not match its alternate is refused.
        {true, "/Bad cs", {"cs status 3"}, {}, kNone, kNone, kNone, {}},
    };
    TestDocument plain("", {});
    TestDocument withDefaults(kDefaults, objects);
    for (const auto& c : cases) {
        Session s;
        s.in.setResources((c.defaults ? withDefaults : plain).page()->resources());
        RecordingFont font;
        s.in.textState()->font = makeRef<FontHandle>(&font);
        s.run(c.content);
        EXPECT_EQ(outcomes(s.trace.lines), c.trace) << c.content;
        std::vector<std::string> colours = s.device.entries("fill");
        for (const std::string& e : s.device.entries("stroke"))
            colours.push_back(e);
        EXPECT_EQ(colours, c.device) << c.content;
        const GraphicsState& g = s.in.graphicsState();
        EXPECT_EQ(familyOf(g.fillSpace), c.fillSpace) << c.content;
        EXPECT_EQ(familyOf(g.strokeSpace), c.strokeSpace) << c.content;
        EXPECT_EQ(valueOf(g.fillColor), c.fillColor) << c.content;
        EXPECT_EQ(font.log, c.font) << c.content;
        EXPECT_EQ(s.in.mode(), kStatePage) << c.content;
    }
}

// While a side's colour is a pattern, which the engine does not paint,
// painting with it leaves the page as it is: fills, strokes, image masks,
// and text (shown in the font's invisible modes). "q" keeps it, "Q" brings
// back the side before it; a colour or another space of the side ends it.
TEST(ColorOperatorsTest, PatternColoursPaintNothing) {
    settingsStore().set(settings::Quality, settings::ImageShowMode, SettingValue::ofInteger(2));
    const std::string rect = " 20 20 80 80 re ";
    const struct {
        const char* what;
        std::string content;
        bool red, blue;                  // the fill colour painted, the stroke colour painted
        std::vector<std::string> modes;  // render modes handed to the font by text
    } cases[] = {
        {"fill", "/Pattern cs /P0 scn" + rect + "f", false, false, {}},
        {"stroke", "/Pattern CS /P0 SCN" + rect + "S", false, false, {}},
        {"fill a pattern, both painted", "/Pattern cs /P0 scn" + rect + "B", false, true, {}},
        {"stroke a pattern, both painted", "/Pattern CS /P0 SCN" + rect + "B", true, false, {}},
        {"stroke a pattern, filled", "/Pattern CS /P0 SCN" + rect + "f", true, false, {}},
        {"uncoloured pattern", "/Uncoloured cs 0 1 0 /P0 scn" + rect + "f", false, false, {}},
        {"space named by a resource", "/Named cs /P0 scn" + rect + "f", false, false, {}},
        {"image mask", "/Pattern cs /P0 scn q 80 0 0 80 20 20 cm /M Do Q", false, false, {}},
        {"kept by q", "/Pattern cs /P0 scn q" + rect + "f Q", false, false, {}},
        {"ended by Q", "q /Pattern cs /P0 scn Q" + rect + "f", true, false, {}},
        {"ended by a colour", "/Pattern cs /P0 scn 1 0 0 rg" + rect + "f", true, false, {}},
        // "cs" leaves the colour before the pattern.
        {"ended by a space", "/Pattern cs /P0 scn /DeviceRGB cs" + rect + "f", true, false, {}},
        {"kept by an unknown space", "/Pattern cs /P0 scn /Foo cs" + rect + "f", false, false, {}},
        {"text", "/Pattern cs /P0 scn BT (a) Tj ET", false, false, {"Tr 3", "Tr 0"}},
        {"text and clip",
         "/Pattern cs /P0 scn BT 5 Tr [(a) 10 (b)] TJ ET",
         false,
         false,
         {"Tr 5", "Tr 7", "Tr 5", "Tr 7", "Tr 5"}},
        {"invisible text", "/Pattern cs /P0 scn BT 3 Tr (a) Tj ET", false, false, {"Tr 3"}},
        {"text, stroke a pattern", "/Pattern CS /P0 SCN BT (a) Tj ET", false, false, {}},
    };
    const std::string mask = streamObject(
        "/Type /XObject /Subtype /Image /Width 1 /Height 1 /ImageMask true /BitsPerComponent 1",
        std::string(1, '\0'));
    for (const auto& c : cases) {
        test::DocumentPage<> page(
            "/Resources << /ColorSpace << /Uncoloured [/Pattern /DeviceRGB] /Named /Pattern >> "
            "/XObject << /M 4 0 R >> >>",
            {mask});
        RecordingFont font;
        page.in.textState()->font = makeRef<FontHandle>(&font);
        page.run("1 0 0 rg 0 0 1 RG 3 w " + c.content);
        bool red = false, blue = false;
        for (int y = 0; y < page.canvas.height; ++y) {
            for (int x = 0; x < page.canvas.width; ++x) {
                red = red || page.canvas.pixel(x, y) == 0x0000FFu;
                blue = blue || page.canvas.pixel(x, y) == 0xFF0000u;
            }
        }
        EXPECT_EQ(red, c.red) << c.what;
        EXPECT_EQ(blue, c.blue) << c.what;
        if (c.content.find("BT") == std::string::npos)
            continue;
        std::vector<std::string> modes;
        for (const std::string& entry : font.log) {
            if (entry.rfind("Tr ", 0) == 0)
                modes.push_back(entry);
        }
        EXPECT_EQ(modes, c.modes) << c.what;
    }
    settingsStore().save(settings::Quality, settings::ImageShowMode);
}

// The colour operators act inside a path and a text object and change no
// state; "RG" leaves the fill side alone.
TEST(ColorOperatorsTest, AcceptedInPathsAndTextObjects) {
    Session s;
    s.run("0 0 1 rg 0 0 m 1 0 0 RG BT 0 1 0 rg");
    EXPECT_EQ(outcomes(s.trace.lines),
              (std::vector<std::string>{"rg ok", "m ok", "RG ok", "BT dropped", "rg ok"}));
    EXPECT_EQ(s.in.mode(), kStatePath);
    EXPECT_EQ(valueOf(s.in.graphicsState().fillColor), 0x00FF00);
    EXPECT_EQ(valueOf(s.in.graphicsState().strokeColor), 0x0000FF);
}

// A device that is not attached refuses colours: the side has none.
TEST(ColorOperatorsTest, DetachedDeviceRefusesTheColour) {
    Session s;
    s.device.Detach();
    s.run("1 0 0 rg");
    EXPECT_EQ(outcomes(s.trace.lines), (std::vector<std::string>{"rg status 3"}));
    EXPECT_EQ(familyOf(s.in.graphicsState().fillSpace), 1);
    EXPECT_EQ(valueOf(s.in.graphicsState().fillColor), kNone);
}

// CMYK colours follow the quality setting at each operator.
TEST(ColorOperatorsTest, CmykConversionReadsTheSettingEachTime) {
    Session s;
    settingsStore().set(WString(u"Quality"), WString(u"FullColorPathConversion"),
                        SettingValue::ofInteger(1));
    s.run("1 0 0 0 k");
    settingsStore().save(WString(u"Quality"), WString(u"FullColorPathConversion"));
    s.run("1 0 0 0 k");
    EXPECT_EQ(s.device.entries("fill"),
              (std::vector<std::string>{"fill " + std::to_string(0xBF8200),
                                        "fill " + std::to_string(0xFFFF00)}));
}

}  // namespace
}  // namespace vistrel
