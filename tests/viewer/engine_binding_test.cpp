// The engine binding over the engine library itself, registered in a
// scratch store and created by class id as the viewer creates it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "tests/viewer/real_engine.h"
#include "viewer/app/app_test_util.h"
#include "viewer/app/engine_error.h"
#include "viewer/app/vistrel_binding.h"

namespace brevant {
namespace {

using namespace win;
using EngineBinding = testing::RealEngineTest;

TEST_F(EngineBinding, OpensRendersAndDraws) {
    testing::testApp();
    TVistrel vistrel;
    ASSERT_TRUE(vistrel.GetDefaultInterface());

    // No document yet: the unchecked calls give the engine's refusal, an
    // unknown tree gives no node; nothing raises.
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 8, 8);
    HGDIOBJ old = SelectObject(dc, bitmap);
    EXPECT_EQ(vistrel.draw(dc, 0, 0, 8, 8, 0, 0), S_FALSE);
    EXPECT_EQ(vistrel.render(), S_FALSE);
    EXPECT_EQ(vistrel.filename(), "");
    EXPECT_FALSE(vistrel.root("NoSuchTree"));
    EXPECT_NE(vistrel.open(fixture("no-such-file.pdf"), ""), S_OK);

    const QString file = fixture("control/pages.pdf");
    ASSERT_EQ(vistrel.open(file, ""), S_OK);
    EXPECT_EQ(vistrel.filename(), file);
    EXPECT_EQ(vistrel.pages(), 11);
    EXPECT_EQ(vistrel.actualWidth(), 612);
    EXPECT_EQ(vistrel.actualHeight(), 792);
    EXPECT_FALSE(vistrel.root("NoSuchTree"));
    ASSERT_EQ(vistrel.render(), S_OK);
    EXPECT_EQ(vistrel.width(), 612);
    EXPECT_EQ(vistrel.height(), 792);
    // The page is white but for the black square at its bottom-left corner;
    // the engine draws into a context the viewer made.
    EXPECT_EQ(vistrel.draw(dc, 0, 0, 8, 8, 0, 792 - 8), S_OK);
    EXPECT_EQ(GetPixel(dc, 0, 7), RGB(0, 0, 0));
    EXPECT_EQ(vistrel.draw(dc, 0, 0, 8, 8, 300, 300), S_OK);
    EXPECT_EQ(GetPixel(dc, 0, 7), RGB(255, 255, 255));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);

    // A failing checked call raises with the engine's result.
    try {
        vistrel.setState(nullptr);
        ADD_FAILURE() << "no error";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.result(), E_POINTER);
    }

    EXPECT_EQ(vistrel.close(), S_OK);
    EXPECT_EQ(vistrel.filename(), "");
    EXPECT_EQ(vistrel.render(), S_FALSE);
    EXPECT_TRUE(boxes.shown.empty());
}

// The engine's events reach the handler slots with their arguments
// converted: a view put fires the page, zoom and offset changes, a render
// its progress.
TEST_F(EngineBinding, EventsReachTheirHandlers) {
    testing::testApp();
    TVistrel vistrel;
    std::vector<std::string> seen;
    vistrel.OnchangePage = [&](TVistrel* sender, LONG page) {
        seen.push_back(sender == &vistrel ? "page " + std::to_string(page) : "?");
    };
    vistrel.OnchangeZoom = [&](TVistrel*, double zoom) {
        seen.push_back("zoom " + std::to_string(zoom));
    };
    vistrel.OnchangeOffset = [&](TVistrel*, LONG x, LONG y) {
        seen.push_back("offset " + std::to_string(x) + "," + std::to_string(y));
    };
    int depth = 0, starts = 0;
    std::vector<SHORT> percentages;
    vistrel.OnstartProgressIndicator = [&](TVistrel*) {
        ++depth;
        ++starts;
    };
    vistrel.OnsetProgressIndicator = [&](TVistrel*, SHORT p) { percentages.push_back(p); };
    vistrel.OnstopProgressIndicator = [&](TVistrel*) { --depth; };
    ASSERT_EQ(vistrel.open(fixture("control/pages.pdf"), ""), S_OK);
    EXPECT_TRUE(seen.empty());  // opening fires nothing

    ComPtr<ITreeNode> state = vistrel.State();
    BSTR text = SysAllocString(u"5,-7,2,0.5,4,4,0");
    ASSERT_EQ(state->put_stateInStr(text), S_OK);
    SysFreeString(text);
    vistrel.setState(state.get());
    EXPECT_EQ(seen, (std::vector<std::string>{"page 2", "zoom 0.500000", "offset 5,-7"}));

    ASSERT_EQ(vistrel.render(), S_OK);
    EXPECT_EQ(vistrel.width(), 396);  // page 2 is turned by 90 degrees
    EXPECT_EQ(vistrel.height(), 306);
    EXPECT_GE(starts, 1);
    EXPECT_EQ(depth, 0);
    for (SHORT p : percentages) {
        EXPECT_GE(p, 0);
        EXPECT_LE(p, 100);
    }
    EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
}  // namespace brevant
