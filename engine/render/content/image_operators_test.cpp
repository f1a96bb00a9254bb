// "Do" with images and the inline-image operators on a page: the setting
// "ImageShowMode", the placeholder box, progress, masks in the fill colour,
// the operand stack around "BI" ... "ID" ... "EI", and hostile images.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/constants/setting_keys.h"
#include "engine/core/settings_store.h"
#include "engine/render/content/content_test_util.h"
#include "platform/files/win_time.h"

namespace vistrel {
namespace {

using test::Canvas;
using test::RecordingSink;
using test::streamObject;

// An image XObject's stream object.
std::string image(const std::string& entries, const std::string& data) {
    return streamObject("/Type /XObject /Subtype /Image " + entries, data);
}

// One red pixel.
const std::string kRedImage = image("/Width 1 /Height 1 /BitsPerComponent 8 /ColorSpace /DeviceRGB",
                                    std::string("\xFF\x00\x00", 3));

// A page whose content runs on a 128 x 128 canvas with the identity base
// matrix (device y downward as content y).
struct ImagePage : test::DocumentPage<> {
    explicit ImagePage(const std::vector<std::string>& objects,
                       const std::string& xobjects = "/Im1 4 0 R")
        : DocumentPage("/Resources << /XObject << " + xobjects + " >> >>", objects) {}
};

// Keeps "Quality"/"ImageShowMode" (and the progress switch) for a test and
// leaves them missing after.
class ImageOperatorsTest : public ::testing::Test {
protected:
    void TearDown() override {
        settingsStore().save(settings::Quality, settings::ImageShowMode);
        settingsStore().save(settings::Interface, settings::ProgressIndicator);
    }
    static void showMode(const SettingValue& v) {
        settingsStore().set(settings::Quality, settings::ImageShowMode, v);
    }
};

// The placeholder is the device image of the unit square with both
// diagonals, black, solid and one pixel wide; the stroke state is put back.
TEST_F(ImageOperatorsTest, Placeholder) {
    showMode(SettingValue::ofInteger(1));
    ImagePage page({kRedImage});
    page.run("0 0 1 RG 3 w [4 2] 0 d q 100 0 0 50 10 20 cm /Im1 Do Q");
    const std::string picture = page.canvas.picture();
    auto at = [&](int x, int y) { return picture[std::size_t(y) * 129 + x]; };
    // The corners (10, 20), (110, 20), (10, 70), (110, 70), the sides and the
    // diagonals' crossing are black; inside the box is white.
    for (auto [x, y] : {std::pair{10, 20}, {109, 20}, {10, 69}, {60, 20}, {10, 45}, {110, 45},
                        {60, 70}, {60, 45}, {30, 30}, {90, 30}})
        EXPECT_EQ(at(x, y), '#') << x << ", " << y;
    for (auto [x, y] : {std::pair{60, 30}, {20, 45}, {5, 5}, {115, 45}})
        EXPECT_EQ(at(x, y), '.') << x << ", " << y;
    EXPECT_EQ(page.device.StrokeColorValue(), 0xFF0000u);
    EXPECT_EQ(page.device.GetLineWidth(), 3.0);
    EXPECT_EQ(page.device.GetLineStyle().dashes, (std::vector<std::int32_t>{4, 2}));
    // While the box is drawn: solid, black, width 1.
    const std::vector<std::string> log = page.device.log;
    const auto box = std::find(log.begin(), log.end(), "dash phase 0");
    ASSERT_NE(box, log.end());
    EXPECT_EQ(std::vector<std::string>(box, box + 3),
              (std::vector<std::string>{"dash phase 0", "stroke 0", "width 1"}));
}

// "ImageShowMode", read each time: missing or 1 the placeholder, 0 or a value
// of an unknown kind nothing, any other value the image; an inline image's
// data is consumed in every case, so the content after "EI" runs.
TEST_F(ImageOperatorsTest, ShowModes) {
    enum Shown { Nothing, Placeholder, Image };
    SettingValue unknown;
    unknown.kind = 9;
    const struct {
        const char* what;
        bool missing;
        SettingValue value;
        Shown shown;
    } cases[] = {
        {"missing", true, {}, Placeholder},
        {"0", false, SettingValue::ofInteger(0), Nothing},
        {"1", false, SettingValue::ofInteger(1), Placeholder},
        {"2", false, SettingValue::ofInteger(2), Image},
        {"text 3", false, SettingValue::ofText(WString(u"3")), Image},
        {"real 0.6", false, SettingValue::ofReal(0.6), Placeholder},
        {"true", false, SettingValue::ofBoolean(true), Placeholder},
        {"unknown kind", false, unknown, Nothing},
    };
    const std::string drawn[] = {
        "q 40 0 0 40 10 10 cm /Im1 Do Q",
        "q 40 0 0 40 10 10 cm BI /W 1 /H 1 /BPC 8 /CS /RGB ID " + std::string("\xFF\x00\x00", 3) +
            " EI Q",
    };
    for (const auto& c : cases) {
        for (const std::string& content : drawn) {
            if (c.missing)
                settingsStore().save(settings::Quality, settings::ImageShowMode);
            else
                showMode(c.value);
            ImagePage page({kRedImage});
            page.run(content + " 0 0 1 rg 100 100 10 10 re f");
            const bool inline_ = content.find("BI") != std::string::npos;
            EXPECT_EQ(page.canvas.pixel(30, 30) == 0x0000FFu, c.shown == Image)
                << c.what << (inline_ ? " inline" : "");
            EXPECT_EQ(page.canvas.pixel(10, 10) == 0u, c.shown == Placeholder)
                << c.what << (inline_ ? " inline" : "");
            EXPECT_EQ(page.canvas.pixel(105, 105), 0xFF0000u) << c.what;
        }
    }
}

// Image masks paint the fill colour where the decoded sample is 0 and leave
// the page elsewhere, as XObjects and inline, with and without /BPC and
// with /Decode [1 0].
TEST_F(ImageOperatorsTest, MasksPaintTheFillColour) {
    showMode(SettingValue::ofInteger(2));
    const std::string bits = "\x3C";  // 00111100: ink at both ends
    ImagePage page(
        {image("/Width 8 /Height 1 /ImageMask true /BitsPerComponent 1", bits),
         image("/Width 8 /Height 1 /ImageMask true /Decode [1 0]", "\xC3")},
        "/M1 4 0 R /M2 5 0 R");
    page.run(
        "0 0 1 rg 0 0 128 128 re f "
        "1 0 0 rg q 80 0 0 8 8 10 cm /M1 Do Q "
        "0 1 0 rg q 80 0 0 8 8 30 cm /M2 Do Q "
        "1 0 0 rg q 80 0 0 8 8 50 cm BI /W 8 /H 1 /IM true ID " + bits + " EI Q "
        "0 1 0 rg q 80 0 0 8 8 70 cm BI /W 8 /H 1 /IM true /BPC 1 /D [1 0] ID \xC3 EI Q");
    for (int y : {13, 53}) {
        EXPECT_EQ(page.canvas.pixel(12, y), 0x0000FFu) << y;  // red ink
        EXPECT_EQ(page.canvas.pixel(48, y), 0xFF0000u) << y;  // the blue page
        EXPECT_EQ(page.canvas.pixel(84, y), 0x0000FFu) << y;
    }
    for (int y : {33, 73}) {
        EXPECT_EQ(page.canvas.pixel(12, y), 0x00FF00u) << y;  // green ink
        EXPECT_EQ(page.canvas.pixel(48, y), 0xFF0000u) << y;
    }
}

// "BI" enters state 4 and leaves two markers; the keys and values collect
// above them, "ID" takes them down to the first marker, "EI" goes back to
// state 1 and clears the rest.
TEST_F(ImageOperatorsTest, OperandStackAroundAnInlineImage) {
    showMode(SettingValue::ofInteger(2));
    ImagePage page({kRedImage});
    std::vector<int> counts;
    std::vector<std::int32_t> modes;
    class Counts : public StepObserver {
    public:
        Counts(ContentInterpreter& in, std::vector<int>& counts, std::vector<std::int32_t>& modes)
            : in_(in), counts_(counts), modes_(modes) {}
        void operatorDone(const OperatorTrace&) override {
            counts_.push_back(in_.operands().count());
            modes_.push_back(in_.mode());
        }

    private:
        ContentInterpreter& in_;
        std::vector<int>& counts_;
        std::vector<std::int32_t>& modes_;
    } observer(page.in, counts, modes);
    page.in.setStepObserver(&observer);
    page.run("BI /W 4 /H 2 /BPC 8 /CS /G ID 12345678 EI 5 w");
    EXPECT_EQ(counts, (std::vector<int>{2, 1, 0, 0}));
    EXPECT_EQ(modes, (std::vector<std::int32_t>{4, 4, 1, 1}));
    EXPECT_EQ(page.in.graphicsState().lineWidth, 5);
}

// An image XObject of more than 4000 samples in width x (height - 1)
// reports start, percentages and stop to the sink; 200 x 21 does not, nor
// does any image with "ProgressIndicator" off.
TEST_F(ImageOperatorsTest, Progress) {
    static win::DWORD now = 0;
    const win::TickCountSource old = win::SetTickCountSource([] { return now += 1000; });
    showMode(SettingValue::ofInteger(2));
    auto grey = [](int width, int height) {
        return image("/Width " + std::to_string(width) + " /Height " + std::to_string(height) +
                         " /BitsPerComponent 8 /ColorSpace /DeviceGray",
                     std::string(std::size_t(width) * height, '\x80'));
    };
    const struct {
        int width;
        bool on;
        bool reports;
    } cases[] = {{201, true, true}, {200, true, false}, {201, false, false}};
    for (const auto& c : cases) {
        settingsStore().set(settings::Interface, settings::ProgressIndicator,
                            SettingValue::ofBoolean(c.on));
        ImagePage page({grey(c.width, 21)});
        RecordingSink sink;
        page.in.setProgressSink(&sink);
        page.run("q 50 0 0 50 0 0 cm /Im1 Do Q");
        // The page's own reports come first; the image's are nested in them.
        std::vector<std::string> image;
        const auto second = std::find(sink.events.begin() + (sink.events.empty() ? 0 : 1),
                                      sink.events.end(), "start");
        if (second != sink.events.end())
            image.assign(second, std::find(second, sink.events.end(), "stop") + 1);
        std::vector<std::string> expected;
        if (c.reports) {
            expected.push_back("start");
            for (int p = 5; p <= 100; p += 5)
                expected.push_back(std::to_string(p));
            expected.push_back("stop");
        }
        EXPECT_EQ(image, expected) << c.width << (c.on ? " on" : " off");
    }
    win::SetTickCountSource(old);
}

// Images that cannot be drawn end and draw nothing: data of a filter the
// engine does not read, sizes beyond the caps, matrices beyond the page (the
// test's timeout catches one that would not end).
TEST_F(ImageOperatorsTest, HostileImagesEndAndDrawNothing) {
    showMode(SettingValue::ofInteger(2));
    ImagePage page(
        {image("/Width 64 /Height 64 /BitsPerComponent 8 /ColorSpace /DeviceGray "
               "/Filter /JBIG2Decode",
               "not read"),
         image("/Width 16384 /Height 16384 /BitsPerComponent 8 /ColorSpace /DeviceGray", "tiny"),
         image("/Width 2147483647 /Height 1 /BitsPerComponent 16 /ColorSpace /DeviceCMYK", "x"),
         kRedImage},
        "/J 4 0 R /Big 5 0 R /Wide 6 0 R /Red 7 0 R");
    page.run(
        "q 100 0 0 100 10 10 cm /J Do Q "
        "q 100 0 0 100 10 10 cm /Big Do Q "
        "q 100 0 0 100 10 10 cm /Wide Do Q "
        "q 1e9 0 0 1e9 -5e8 -5e8 cm /Red Do Q "
        "q 0 0 0 0 10 10 cm /Red Do Q "
        "q 100 0 0 100 10 10 cm BI /W 4 /H 100000000 /BPC 8 /CS /G ID abcd EI Q "
        "q 100 0 0 100 10 10 cm BI /W 0 /H 1 /BPC 8 /CS /G ID abcd EI Q "
        "q 100 0 0 100 10 10 cm BI /W 4096 /H 4096 /BPC 8 /CS /G /F /AHx ID abcd> EI Q "
        "/Missing Do");
    EXPECT_EQ(page.canvas.pixel(5, 5), 0xFFFFFFu);
    EXPECT_EQ(page.trace.lines.back(), "0 1 Do status 6");
}

// The page's work runs out in the middle of an image: no later row is read,
// and the device paints nothing more; with room for its rows and its pixels
// it is drawn. An inline image's samples count once it is decoded, shown or
// not: the operators after it do not run.
TEST_F(ImageOperatorsTest, ImagesStopWhereThePagesWorkIsSpent) {
    showMode(SettingValue::ofInteger(2));
    std::string red;
    for (int i = 0; i < 4 * 20; ++i)
        red += std::string("\xFF\x00\x00", 3);
    const std::string fourRows = "/Width 20 /Height 4 /BitsPerComponent 8 /ColorSpace /DeviceRGB";
    const std::string content = "q 40 0 0 40 10 10 cm /Im1 Do Q";
    const struct {
        const char* what;
        std::uint64_t room;  // besides the run and the operators before "Do"
        bool drawn;
    } cases[] = {
        {"one row", 60, false},
        {"every row and pixel", 4 * 60 + WorkMeter::kImagePixelWork * 41 * 41, true},
    };
    ImagePage whole({image(fourRows, red)});
    whole.run(content);
    ASSERT_EQ(whole.canvas.pixel(30, 45), 0x0000FFu);
    for (const auto& c : cases) {
        ImagePage page({image(fourRows, red)});
        // The bytes of "q" and "cm" within a byte or two.
        page.in.chargeWork(ContentInterpreter::kWorkBudget - page.in.runWork() -
                           2 * ContentInterpreter::kOperatorWork -
                           content.find("/Im1") * ContentInterpreter::kByteWork - c.room);
        page.run(content);
        EXPECT_EQ(page.canvas.picture(),
                  c.drawn ? whole.canvas.picture() : Canvas(128, 128).picture())
            << c.what;
        EXPECT_EQ(page.trace.lines.back(), "0 1 Do ok") << c.what;
    }

    showMode(SettingValue::ofInteger(0));
    ImagePage inlinePage({kRedImage});
    // Room for the run, "BI" and 5,000 samples.
    inlinePage.in.chargeWork(ContentInterpreter::kWorkBudget - inlinePage.in.runWork() -
                             ContentInterpreter::kOperatorWork - 5000);
    inlinePage.run("BI /W 100 /H 100 /BPC 8 /CS /G ID " + std::string(10000, '\x80') +
                   " EI 0 0 1 rg 0 0 128 128 re f");
    EXPECT_EQ(inlinePage.trace.lines, (std::vector<std::string>{"0 1 BI ok", "0 4 ID ok"}));
    EXPECT_EQ(inlinePage.canvas.pixel(64, 64), 0xFFFFFFu);
}

// The JBIG2 image alone: none of its rows can be read, and nothing is drawn.
TEST_F(ImageOperatorsTest, UnreadableImageDrawsNothing) {
    showMode(SettingValue::ofInteger(2));
    ImagePage page({image("/Width 4 /Height 4 /BitsPerComponent 8 /ColorSpace /DeviceGray "
                          "/Filter /JPXDecode",
                          "no")});
    page.run("q 100 0 0 100 10 10 cm /Im1 Do Q");
    EXPECT_EQ(page.canvas.picture(), Canvas(128, 128).picture());
}

}  // namespace
}  // namespace vistrel
