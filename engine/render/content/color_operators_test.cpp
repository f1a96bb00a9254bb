// The colour operators and the colour steps of "g" and "G".
#include <gtest/gtest.h>

#include <string>
#include <vector>

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
