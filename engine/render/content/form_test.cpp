// "Do" with form XObjects: the form's content runs nested in the same
// interpreter, inside its own graphics state, under its /Matrix and clipped
// to its /BBox.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/constants/name_constants.h"
#include "engine/constants/setting_keys.h"
#include "engine/core/settings_store.h"
#include "engine/render/content/content_test_util.h"
#include "engine/render/content/form_draw.h"

namespace vistrel {
namespace {

using test::Canvas;
using test::RecordingGdiDevice;
using test::streamObject;
using test::TestDocument;
using test::TraceLog;

std::string form(const std::string& entries, const std::string& content) {
    return streamObject("/Type /XObject /Subtype /Form /BBox [0 0 50 50] " + entries, content);
}

// What the interpreter looks like at each operator: depth, device matrix,
// whether two probe points are visible, the content input.
class Probe : public StepObserver {
public:
    Probe(ContentInterpreter& in, DcDevice& device) : in_(in), device_(device) {}
    struct Seen {
        std::int32_t depth;
        std::string op;
        Matrix deviceMatrix;
        bool inside, outside;
        InputStream* input;
        double charSpacing;
    };
    std::vector<Seen> seen;
    TraceLog trace;

    void operatorDone(const OperatorTrace& t) override {
        trace.operatorDone(t);
        seen.push_back({t.depth, static_cast<const PdfString*>(t.op)->textValue().toLatin1(),
                        in_.deviceMatrix(), visible(60, 60), visible(5, 5), in_.contentInput(),
                        in_.textState()->charSpacing});
    }

private:
    // Inside the device's span clip and the clip region of its context.
    bool visible(int x, int y) {
        if (!device_.PointVisible(x, y))
            return false;
        win::HRGN region = win::CreateRectRgn(0, 0, 1, 1);
        const int got = win::GetClipRgn(device_.deviceContext(), region);
        const bool inside = got != 1 || win::PtInRegion(region, x, y);
        win::DeleteObject(region);
        return inside;
    }

    ContentInterpreter& in_;
    DcDevice& device_;
};

// A document page whose operators the probe sees.
struct Page : test::DocumentPage<> {
    Page(const std::string& resources, const std::vector<std::string>& objects)
        : DocumentPage("/Resources " + resources, objects) {
        in.setStepObserver(&probe);
    }
    Probe probe{in, device};
};

TEST(FormTest, MatrixClipAndStateAroundTheForm) {
    Page page("<< /XObject << /Fm1 4 0 R >> >>",
              {form("/Matrix [2 0 0 2 10 10]", "BT 5 Tc ET 1 w")});
    page.in.setBaseMatrix(Matrix{1, 0, 0, 1, 0, 0});
    page.run("/Fm1 Do 3 w /Fm1 Do");
    const auto& seen = page.probe.seen;
    ASSERT_EQ(page.probe.trace.lines,
              (std::vector<std::string>{"1 1 BT ok", "1 2 Tc ok", "1 2 ET ok", "1 1 w ok",
                                        "0 1 Do ok", "0 1 w ok", "1 1 BT ok", "1 2 Tc ok",
                                        "1 2 ET ok", "1 1 w ok", "0 1 Do ok"}));
    // Inside: /Matrix x CTM x base, clipped to the box (10,10)-(110,110).
    EXPECT_EQ(test::RecordingFont::text(seen[0].deviceMatrix), "2 0 0 2 10 10");
    EXPECT_TRUE(seen[0].inside);
    EXPECT_FALSE(seen[0].outside);
    EXPECT_NE(seen[0].input, page.pageInput);
    EXPECT_EQ(seen[3].charSpacing, 5);
    // After: the page's matrix, clip, input and text state.
    EXPECT_EQ(test::RecordingFont::text(seen[4].deviceMatrix), "1 0 0 1 0 0");
    EXPECT_TRUE(seen[4].outside);
    EXPECT_EQ(seen[4].input, page.pageInput);
    EXPECT_EQ(seen[4].charSpacing, 0);
    EXPECT_EQ(page.in.graphicsState().lineWidth, 3);
    EXPECT_EQ(page.in.savedStateCount(), 0u);
    EXPECT_EQ(page.in.resources(), page.doc.page()->resources());
    EXPECT_EQ(page.device.log, (std::vector<std::string>{"save",
                                                         "width 2",
                                                         "clip 1 10 10 110 110",
                                                         "width 2",
                                                         "cap 0",
                                                         "join 0",
                                                         "dash phase 0",
                                                         "width 1",
                                                         "miter 0",
                                                         "restore",
                                                         "width 3",
                                                         "save",
                                                         "width 6",
                                                         "clip 1 10 10 110 110",
                                                         "width 2",
                                                         "cap 0",
                                                         "join 0",
                                                         "dash phase 0",
                                                         "width 3",
                                                         "miter 0",
                                                         "restore"}));
}

// The parser state a form leaves (here an open text object) does not reach
// the content that drew it.
TEST(FormTest, StateLeftByTheFormDoesNotLeak) {
    Page page("<< /XObject << /Fm1 4 0 R >> >>", {form("", "BT 0 0 m")});
    page.run("/Fm1 Do 0 0 m 5 5 l S");
    EXPECT_EQ(page.probe.trace.lines,
              (std::vector<std::string>{"1 1 BT ok", "1 2 m dropped", "0 1 Do ok", "0 1 m ok",
                                        "0 3 l ok", "0 3 S ok"}));
}

TEST(FormTest, RecursionEnds) {
    const struct {
        const char* what;
        std::vector<std::string> objects;
        std::vector<std::string> trace;
    } cases[] = {
        {"a form that draws itself",
         {form("/Resources << /XObject << /Fm1 4 0 R >> >>", "/Fm1 Do")},
         {"1 1 Do ok", "0 1 Do ok"}},
        {"three forms in a cycle",
         {form("/Resources << /XObject << /Fm2 5 0 R >> >>", "/Fm2 Do"),
          form("/Resources << /XObject << /Fm3 6 0 R >> >>", "/Fm3 Do"),
          form("/Resources << /XObject << /Fm1 4 0 R >> >>", "/Fm1 Do")},
         {"3 1 Do ok", "2 1 Do ok", "1 1 Do ok", "0 1 Do ok"}},
    };
    for (const auto& c : cases) {
        Page page("<< /XObject << /Fm1 4 0 R >> >>", c.objects);
        page.run("/Fm1 Do");
        EXPECT_EQ(page.probe.trace.lines, c.trace) << c.what;
        EXPECT_EQ(page.in.nestingDepth(), 0) << c.what;
        EXPECT_EQ(page.in.savedStateCount(), 0u) << c.what;
    }
}

// A chain of 40 forms, each drawing the next: 32 levels of forms are drawn.
TEST(FormTest, NestingIsCapped) {
    std::vector<std::string> objects;
    for (int i = 1; i <= 40; ++i) {
        const std::string next = std::to_string(i + 4);
        objects.push_back(form("/Resources << /XObject << /Fm " + next + " 0 R >> >>", "/Fm Do"));
    }
    Page page("<< /XObject << /Fm 4 0 R >> >>", objects);
    page.run("/Fm Do");
    const auto& lines = page.probe.trace.lines;
    ASSERT_EQ(lines.size(), size_t(ContentInterpreter::kMaxNesting + 1));
    EXPECT_EQ(lines.front(), std::to_string(ContentInterpreter::kMaxNesting) + " 1 Do ok");
    EXPECT_EQ(page.in.savedStateCount(), 0u);
}

using GdiPage = test::DocumentPage<test::CanvasGdiDevice>;

// Thirty forms, each drawing the next four times (4^29 draws): the page's
// work budget ends every run where it is, the content after the forms
// included, and leaves no form or graphics state open.
TEST(FormTest, FanOutEndsWhenThePagesWorkIsSpent) {
    std::vector<std::string> objects;
    for (int i = 1; i < 30; ++i) {
        const std::string next = std::to_string(i + 4);
        objects.push_back(form("/Resources << /XObject << /Fm " + next + " 0 R >> >>",
                               "/Fm Do /Fm Do /Fm Do /Fm Do"));
    }
    objects.push_back(form("", "0 0 1 1 re f"));
    GdiPage page("/Resources << /XObject << /Fm 4 0 R >> >>", objects);
    page.run("/Fm Do 0 0 m");
    const ContentInterpreter& in = page.in;
    const std::vector<std::string>& lines = page.trace.lines;

    EXPECT_TRUE(in.workSpent());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "30 3 f ok"), lines.end());
    EXPECT_EQ(lines.back(), "0 1 Do ok");
    EXPECT_EQ(in.nestingDepth(), 0);
    EXPECT_EQ(in.savedStateCount(), 0u);
    EXPECT_EQ(in.runDepth(), 0);
}

// Busy pages that must draw whole: a scatter plot (one marker form drawn all
// over the page, each draw under its own matrix) of 250,000 markers, and a
// page of 1,000,000 plain operators (500,000 filled squares). A thousand
// units of each draw whole, and the work they charge lets the whole page
// draw as well, while forms that draw each other many times over are still
// cut.
TEST(FormTest, BusyPagesDrawWhole) {
    struct Case {
        const char* what;
        // The content of unit i.
        std::string (*unit)(int i);
        std::size_t operatorsPerUnit;
        std::uint64_t units;
    };
    const Case cases[] = {
        {"marker forms",
         [](int i) {
             return "q 1 0 0 1 " + std::to_string(i % 125) + " " +
                    std::to_string(i / 125 % 125) + " cm /M Do Q\n";
         },
         6, 250000},  // "q", "cm", "Do", the form's "re" and "f", "Q"
        {"plain operators",
         [](int i) {
             return std::to_string(i % 125) + " " + std::to_string(i / 125 % 125) + " 2 2 re f\n";
         },
         2, 500000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto work = [&c](int units) {
            std::string content;
            for (int i = 0; i < units; ++i)
                content += c.unit(i);
            GdiPage page("/Resources << /XObject << /M 4 0 R >> >>",
                         {streamObject("/Type /XObject /Subtype /Form /BBox [0 0 128 128]",
                                       "0 0 2 2 re f")});
            page.run(content);
            EXPECT_FALSE(page.in.workSpent());
            EXPECT_EQ(page.trace.lines.size(), c.operatorsPerUnit * std::size_t(units));
            return page.in.workDone();
        };
        const std::uint64_t page = work(0);
        const std::uint64_t perUnit = (work(1000) - page) / 1000;
        EXPECT_LE(page + c.units * perUnit, ContentInterpreter::kWorkBudget);
    }
}

// Pages that paint their whole area over and over, each paint one operator
// or a few, and a form that is mostly operands: what the device paints and
// the bytes read are charged, so that the page stops after a small part of
// its operators and leaves no run or form open, where counting operators
// alone would let it run for seconds or minutes.
TEST(FormTest, PagesRepeatingCostlyWorkStop) {
    struct Case {
        const char* what;
        std::string content;
        std::size_t operators;
    };
    auto repeated = [](const std::string& unit, int count) {
        std::string content;
        content.reserve(unit.size() * std::size_t(count));
        for (int i = 0; i < count; ++i)
            content += unit;
        return content;
    };
    const Case cases[] = {
        {"100,000 full-page fills", repeated("0 0 612 792 re f\n", 100000), 200000},
        {"1,000,000 full-page fills", repeated("0 0 612 792 re f\n", 1000000), 2000000},
        {"a 1 x 1 image stretched over the page 100,000 times",
         repeated("q 612 0 0 792 0 0 cm /Im Do Q\n", 100000), 400000},
        {"a page-filling form drawn 1,000,000 times", repeated("/Fm Do\n", 1000000), 3000000},
        {"100,000 strokes of a line 1000 units wide",
         "1000 w " + repeated("0 0 m 612 792 l S\n", 100000), 300000},
        {"a form of 100,000 operands drawn 100,000 times", repeated("/Op Do\n", 100000), 300000},
    };
    settingsStore().set(settings::Quality, settings::ImageShowMode, SettingValue::ofInteger(2));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GdiPage page(
            "/Resources << /XObject << /Fm 4 0 R /Im 5 0 R /Op 6 0 R >> >>",
            {streamObject("/Type /XObject /Subtype /Form /BBox [0 0 612 792]", "0 0 612 792 re f"),
             streamObject("/Type /XObject /Subtype /Image /Width 1 /Height 1 "
                          "/ColorSpace /DeviceRGB /BitsPerComponent 8",
                          std::string("\x80\x20\x20", 3)),
             streamObject("/Type /XObject /Subtype /Form /BBox [0 0 612 792]",
                          repeated("0 ", 100000) + "300 400 2 2 re f")},
            612, 792);
        page.run("0 g 0 G " + c.content);
        EXPECT_TRUE(page.in.workSpent());
        EXPECT_LT(page.trace.lines.size(), c.operators / 10);
        EXPECT_EQ(page.in.nestingDepth(), 0);
        EXPECT_EQ(page.in.runDepth(), 0);
        EXPECT_NE(page.canvas.pixel(301, 401), 0xFFFFFFu);
    }
    settingsStore().save(settings::Quality, settings::ImageShowMode);
}

// /Type is optional in an external object: /Subtype /Form alone makes a form.
TEST(FormTest, FormWithoutTypeRuns) {
    Page page("<< /XObject << /Fm1 4 0 R >> >>",
              {streamObject("/Subtype /Form /BBox [0 0 50 50]", "1 w")});
    page.run("/Fm1 Do");
    EXPECT_EQ(page.probe.trace.lines, (std::vector<std::string>{"1 1 w ok", "0 1 Do ok"}));
}

TEST(FormTest, WhatDoDoesNotDraw) {
    const struct {
        const char* content;
        const char* outcome;
    } cases[] = {
        {"/Missing Do", "status 6"}, {"5 Do", "status 6"}, {"Do", "status 6"},
        {"/Plain Do", "ok"},         {"/NoBox Do", "ok"},  {"/Dict Do", "ok"},
    };
    for (const auto& c : cases) {
        Page page("<< /XObject << /Plain 4 0 R /NoBox 5 0 R /Dict << /Type /XObject >> >> >>",
                  {streamObject("", "5 w"),
                   streamObject("/Type /XObject /Subtype /Form /Matrix [1 0 0 1 0 0]", "5 w")});
        page.run(c.content);
        EXPECT_EQ(page.probe.trace.lines,
                  (std::vector<std::string>{std::string("0 1 Do ") + c.outcome}))
            << c.content;
        EXPECT_TRUE(page.device.log.empty()) << c.content;
    }
}

// drawFormXObject on its own keeps the caller's content input and base
// matrix, and nothing else of the graphics state.
TEST(FormTest, DrawingTheFormRestoresInputAndBaseMatrix) {
    Page page("<< >>", {form("", "2 0 0 2 0 0 cm")});
    FormXObject* fm = asFormXObject(page.doc.object(4));
    ASSERT_NE(fm, nullptr);
    MemoryInputStream input("", 0);
    page.in.setContentInput(&input);
    page.in.setBaseMatrix(Matrix{1, 0, 0, -1, 0, 100});
    drawFormXObject(*fm, page.in);
    EXPECT_EQ(page.in.contentInput(), &input);
    EXPECT_EQ(test::RecordingFont::text(page.in.baseMatrix()), "1 0 0 -1 0 100");
    EXPECT_EQ(test::RecordingFont::text(page.in.deviceMatrix()), "2 0 0 -2 0 100");
}

}  // namespace
}  // namespace vistrel
