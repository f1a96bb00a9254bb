#include "engine/render/content/page_renderer.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/constants/setting_keys.h"
#include "engine/core/settings_store.h"
#include "engine/doc/typed_objects.h"
#include "engine/render/content/content_test_util.h"
#include "engine/render/content/text_line_list.h"

namespace vistrel {
namespace {

using test::Canvas;
using test::RecordingGdiDevice;
using test::RecordingSink;
using test::streamObject;
using test::TestDocument;

// The 200 x 200 point page of TestDocument onto a 20 x 20 canvas.
const Matrix kTenth{0.1, 0, 0, -0.1, 0, 20};

struct Render {
    explicit Render(TestDocument& doc, const Matrix* matrix = &kTenth)
        : canvas(20, 20), device(canvas) {
        renderPage(*doc.page(), device, matrix, &sink, 0);
    }
    Canvas canvas;
    RecordingGdiDevice device;
    RecordingSink sink;
};

// Sets a setting for one test and parks it again afterwards.
class Setting {
public:
    Setting(const WString& section, const WString& key, const SettingValue& value)
        : section_(section), key_(key) {
        settingsStore().set(section, key, value);
    }
    ~Setting() { settingsStore().save(section_, key_); }

private:
    WString section_, key_;
};

std::string blank(int w, int h) {
    std::string s;
    for (int y = 0; y < h; ++y)
        s += std::string(std::size_t(w), '.') + "\n";
    return s;
}

// A link annotation over most of the page, with its border entries.
TestDocument linkPage(const std::string& annotation, const std::string& content = "") {
    return TestDocument("/Annots [4 0 R] /Contents 5 0 R",
                        {"<< /Type /Annot " + annotation + " >>", streamObject("", content)});
}

TEST(PageRendererTest, LinkBorders) {
    const std::string kLink = "/Subtype /Link /Rect [20 20 180 180] ";
    const struct {
        std::string annotation;
        std::vector<std::string> style;  // stroke colour, dash and width given; none: no border
    } cases[] = {
        {kLink + "/Border [0 0 1] /C [1 0 0]", {"stroke 255", "dash phase 0", "width 1"}},
        {kLink + "/Border [0 0 0] /C [1 0 0]", {}},
        {kLink + "/Border [0 0 -2]", {}},
        {kLink + "/Border [0 0 2 [3 2]] /C [0 0 1]",
         {"stroke 16711680", "dash 3 2 phase 0", "width 2"}},
        // A fourth element that is no array: dashed, with no dash list.
        {kLink + "/Border [0 0 2 5]", {"stroke 8421504", "dash phase 0", "width 2"}},
        {kLink + "/Border [0 0 1.7 [2.9]]", {"stroke 8421504", "dash 2 phase 0", "width 1"}},
        // /C of one or four numbers, or with a non-number: gray 128.
        {kLink + "/Border [0 0 1] /C [1]", {"stroke 8421504", "dash phase 0", "width 1"}},
        {kLink + "/Border [0 0 1] /C [0 0 0 1]", {"stroke 8421504", "dash phase 0", "width 1"}},
        {kLink + "/Border [0 0 1] /C [0 (a) 0]", {"stroke 8421504", "dash phase 0", "width 1"}},
        // Border styles: only /D dashes.
        {kLink + "/BS << /Type /Border /S /D /W 1 /D [2] >>",
         {"stroke 8421504", "dash 2 phase 0", "width 1"}},
        {kLink + "/BS << /Type /Border /S /B /W 1 /D [2] >>",
         {"stroke 8421504", "dash phase 0", "width 1"}},
        {kLink + "/BS << /Type /Border /S /U /W 3 >>",
         {"stroke 8421504", "dash phase 0", "width 3"}},
        {kLink + "/BS << /Type /Border /S /D >>", {}},
        // Neither a usable /Border nor a border style.
        {kLink + "/BS << /S /S /W 1 >>", {}},
        {kLink, {}},
        // Unusable entries skip the annotation.
        {kLink + "/Border [0 0]", {}},
        {kLink + "/Border [0 0 /W]", {}},
        {kLink + "/Border [0 0 1 [1 /x]]", {}},
        {kLink + "/BS << /Type /Border /S /D /W 1 /D [(a)] >>", {}},
        {"/Subtype /Link /Border [0 0 1]", {}},
        {"/Subtype /Link /Rect [0 0 10] /Border [0 0 1]", {}},
        // Only link annotations.
        {"/Subtype /Text /Rect [20 20 180 180] /Border [0 0 1]", {}},
        {"/Subtype /FreeText /Rect [20 20 180 180] /Border [0 0 1]", {}},
    };
    for (const auto& c : cases) {
        TestDocument doc = linkPage(c.annotation);
        Render r(doc);
        std::vector<std::string> style;
        for (const char* prefix : {"stroke", "dash", "width"}) {
            for (const std::string& e : r.device.entries(prefix))
                style.push_back(e);
        }
        // The page starts by stroking black.
        ASSERT_FALSE(style.empty()) << c.annotation;
        EXPECT_EQ(style.front(), "stroke 0");
        style.erase(style.begin());
        EXPECT_EQ(style, c.style) << c.annotation;
        EXPECT_EQ(r.canvas.picture() == blank(20, 20), c.style.empty()) << c.annotation;
    }
}

// The border goes through the two corners of /Rect mapped by the page
// matrix, axis-aligned also under a rotation; coordinates beyond the device
// range are kept within it.
TEST(PageRendererTest, BorderRectangles) {
    const Matrix quarterTurn{0, 0.1, 0.1, 0, 0, 0};
    const std::string kLink = "/Subtype /Link /Border [0 0 1] /C [0 0 0] /Rect ";
    {
        TestDocument doc = linkPage(kLink + "[40 40 120 100]");
        Render r(doc);
        EXPECT_EQ(r.canvas.picture(), blank(20, 10) +
                                          "....#########.......\n"
                                          "....#.......#.......\n"
                                          "....#.......#.......\n"
                                          "....#.......#.......\n"
                                          "....#.......#.......\n"
                                          "....#.......#.......\n"
                                          "....#########.......\n" +
                                          blank(20, 3));
    }
    {
        // (x, y) -> (y / 10, x / 10).
        TestDocument doc = linkPage(kLink + "[20 40 60 100]");
        Render r(doc, &quarterTurn);
        EXPECT_EQ(r.canvas.picture(), blank(20, 2) +
                                          "....#######.........\n"
                                          "....#.....#.........\n"
                                          "....#.....#.........\n"
                                          "....#.....#.........\n"
                                          "....#######.........\n" +
                                          blank(20, 13));
    }
    {
        TestDocument doc = linkPage(kLink +
                                    "[-100000000000000000000 -100000000000000000000 "
                                    "100000000000000000000 100000000000000000000]");
        Render r(doc);
        EXPECT_EQ(r.canvas.picture(), blank(20, 20));
    }
}

TEST(PageRendererTest, DrawAnnotBordersSetting) {
    const struct {
        const SettingValue* value;  // null: missing
        bool drawn;
    } cases[] = {
        {nullptr, true},
        {new SettingValue(SettingValue::ofText(WString(u"false"))), false},
        {new SettingValue(SettingValue::ofText(WString(u"true"))), true},
        {new SettingValue(SettingValue::ofInteger(0)), false},
        {new SettingValue(SettingValue::ofBoolean(true)), true},
        // A value of no known kind is off, not taken for a missing one.
        {new SettingValue(), false},
    };
    for (const auto& c : cases) {
        std::unique_ptr<const SettingValue> owned(c.value);
        std::unique_ptr<Setting> setting;
        if (c.value)
            setting =
                std::make_unique<Setting>(settings::Mode, settings::DrawAnnotBorders, *c.value);
        TestDocument doc = linkPage("/Subtype /Link /Rect [20 20 180 180] /Border [0 0 1]");
        Render r(doc);
        EXPECT_EQ(r.canvas.picture() != blank(20, 20), c.drawn) << (c.value ? c.value->kind : 0);
    }
}

// Fill and stroke start black through the default gray space; the page's
// content may span several streams, and only the first element decides
// whether there is content at all (then borders are drawn too). The page
// keeps no reader of its content after the render.
TEST(PageRendererTest, ContentsAndDefaultColours) {
    const std::string kBorder =
        "<< /Type /Annot /Subtype /Link /Rect [0 0 200 200] /Border [0 0 1] /C [1 0 0] >>";
    const struct {
        const char* page;
        std::vector<std::string> objects;  // 5, 6, ...
        std::string pagesEntries;
        std::uint32_t centre;  // pixel (10, 10)
        bool border;
    } cases[] = {
        {"/Contents 5 0 R", {streamObject("", "0 0 200 200 re f")}, "", 0x000000, true},
        {"/Contents 5 0 R", {streamObject("", "40 w 0 100 m 200 100 l S")}, "", 0x000000, true},
        // Streams are joined: the operand runs from one into the next.
        {"/Contents [5 0 R 6 0 R]",
         {streamObject("", "1 0 0 rg 0 0 2"), streamObject("", "00 200 re f")},
         "",
         0x0000FF,
         true},
        {"/Contents []", {}, "", 0xFFFFFF, false},
        {"/Contents [(x) 5 0 R]", {streamObject("", "0 0 200 200 re f")}, "", 0xFFFFFF, false},
        {"", {}, "", 0xFFFFFF, false},
        // /Contents is never inherited, /Resources is.
        {"", {streamObject("", "0 0 200 200 re f")}, "/Contents 5 0 R", 0xFFFFFF, false},
        {"/Contents 5 0 R",
         {streamObject("", "/CS0 cs 0 1 0 sc 0 0 200 200 re f")},
         "/Resources << /ColorSpace << /CS0 /DeviceRGB >> >>",
         0x00FF00,
         true},
        // A default gray space that cannot take one component leaves the
        // device's own colour (white).
        {"/Contents 5 0 R /Resources << /ColorSpace << /DefaultGray /DeviceRGB >> >>",
         {streamObject("", "0 0 200 200 re f")},
         "",
         0xFFFFFF,
         true},
    };
    for (const auto& c : cases) {
        std::vector<std::string> objects = {kBorder};
        objects.insert(objects.end(), c.objects.begin(), c.objects.end());
        TestDocument doc(std::string("/Annots [4 0 R] ") + c.page, objects, c.pagesEntries);
        Render r(doc);
        EXPECT_EQ(r.canvas.pixel(10, 10), c.centre) << c.page << " " << c.pagesEntries;
        EXPECT_EQ(r.canvas.pixel(10, 0) == 0x0000FF, c.border) << c.page << " " << c.pagesEntries;
        // The reader of the page's content goes with the render.
        EXPECT_FALSE(doc.page()->runner().reader) << c.page;
    }
}

// Text lines that log what the renderer asks of them.
std::vector<std::string>* linesLog = nullptr;
class RecordingLines : public TextLineList {
public:
    RecordingLines() { linesLog->push_back("new"); }
    ~RecordingLines() override { linesLog->push_back("delete"); }
    void clear() override { linesLog->push_back("clear"); }
    void spaceWords() override { linesLog->push_back("spaceWords"); }
    void addShownText(const WString& text, const Matrix&, FontHandle*) override {
        linesLog->push_back("text " + text.toLatin1());
    }
};
TextLineList* newRecordingLines() {
    return new RecordingLines;
}

// The page's text lines: made on its first render with content, emptied on
// every later one, kept between renders; none without a matrix.
TEST(PageRendererTest, TextLinesOfThePage) {
    std::vector<std::string> log;
    linesLog = &log;
    const TextLineListFactory old = setTextLineListFactory(newRecordingLines);
    {
        TestDocument doc("/Contents 4 0 R", {streamObject("", "0 0 m")});
        Canvas canvas(20, 20);
        RecordingGdiDevice device(canvas);
        renderPage(*doc.page(), device, nullptr, nullptr, 0);
        EXPECT_EQ(doc.page()->textLines(), nullptr);
        EXPECT_TRUE(device.log.empty());
        EXPECT_EQ(canvas.picture(), blank(20, 20));

        renderPage(*doc.page(), device, &kTenth, nullptr, 0);
        TextLineList* lines = doc.page()->textLines();
        EXPECT_NE(lines, nullptr);
        renderPage(*doc.page(), device, &kTenth, nullptr, 0);
        EXPECT_EQ(doc.page()->textLines(), lines);
        EXPECT_EQ(log, (std::vector<std::string>{"new", "clear", "spaceWords", "clear", "clear",
                                                 "spaceWords"}));
        log.clear();
    }
    EXPECT_EQ(log, (std::vector<std::string>{"delete"}));
    log.clear();
    {
        // Without usable content the page gets no list.
        TestDocument doc("/Contents []", {});
        Canvas canvas(20, 20);
        RecordingGdiDevice device(canvas);
        renderPage(*doc.page(), device, &kTenth, nullptr, 0);
        EXPECT_EQ(doc.page()->textLines(), nullptr);
    }
    EXPECT_TRUE(log.empty());
    setTextLineListFactory(old);
    linesLog = nullptr;
}

// The font every "Tf" of the capture test selects; it draws nothing.
FontRenderer* plainFont = nullptr;
Ref<FontHandle> makePlainFont(PdfDict&, ContentInterpreter&) {
    return makeRef<FontHandle>(plainFont);
}

// Shown text reaches the page's text lines only while
// "Functionality"/"EnableSearch" is on; missing, it is off.
TEST(PageRendererTest, EnableSearchSetting) {
    std::vector<std::string> log;
    linesLog = &log;
    const TextLineListFactory oldLines = setTextLineListFactory(newRecordingLines);
    const FontDictFactory oldDicts = setFontDictFactory(test::makeTestFontDict);
    FontRenderer font(nullptr, nullptr);
    plainFont = &font;
    const FontMaker oldMaker = setFontMaker(makePlainFont);
    const struct {
        const char* label;
        std::optional<SettingValue> value;  // none: missing
        bool captured;
    } cases[] = {
        {"missing", std::nullopt, false},
        {"true", SettingValue::ofBoolean(true), true},
        {"\"true\"", SettingValue::ofText(WString(u"true")), true},
        {"1", SettingValue::ofInteger(1), true},
        {"false", SettingValue::ofBoolean(false), false},
        {"\"yes\"", SettingValue::ofText(WString(u"yes")), false},
    };
    for (const auto& c : cases) {
        std::unique_ptr<Setting> setting;
        if (c.value)
            setting =
                std::make_unique<Setting>(settings::Functionality, settings::EnableSearch, *c.value);
        {
            TestDocument doc("/Contents 4 0 R /Resources << /Font << /F1 5 0 R >> >>",
                             {streamObject("", "BT /F1 10 Tf (Hi) Tj ET"),
                              "<< /Type /Font /Subtype /Type1 /BaseFont /Any >>"});
            Render r(doc);
        }
        std::vector<std::string> expected = {"new", "clear", "text Hi", "spaceWords", "delete"};
        if (!c.captured)
            expected.erase(expected.begin() + 2);
        EXPECT_EQ(log, expected) << c.label;
        log.clear();
    }
    setFontMaker(oldMaker);
    plainFont = nullptr;
    setFontDictFactory(oldDicts);
    setTextLineListFactory(oldLines);
    linesLog = nullptr;
}

TEST(PageRendererTest, ProgressGoesToTheSink) {
    TestDocument doc("/Contents 4 0 R", {streamObject("", "0 0 200 200 re f")});
    Render r(doc);
    ASSERT_GE(r.sink.events.size(), 2u);
    EXPECT_EQ(r.sink.events.front(), "start");
    EXPECT_EQ(r.sink.events.back(), "stop");
}

}  // namespace
}  // namespace vistrel
