// Pages of the engine library on the viewer's surfaces: painted through the
// DIB bridge, and shown by the main window's page view with its margins,
// pixel for pixel what vistrel-host renders for the same view.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPalette>
#include <QProgressBar>

#include <functional>
#include <memory>
#include <string>

#include "tests/viewer/real_engine.h"
#include "viewer/app/app_test_util.h"
#include "viewer/app/main_form.h"
#include "viewer/app/progress_indicator.h"
#include "viewer/components/dib_surface.h"
#include "viewer/components/paint_panels.h"

namespace brevant {
namespace {

using namespace win;
using EnginePages = testing::RealEngineTest;
using testing::differences;

TEST_F(EnginePages, DibBridgeEqualsTheHostsRender) {
    testing::testApp();
    TVistrel vistrel;
    const QString file = fixture("render/colours.pdf");
    ASSERT_EQ(vistrel.open(file, ""), S_OK);
    putView(vistrel, 1, 1.5);
    ASSERT_EQ(vistrel.render(), S_OK);
    const QImage reference = hostPage(file, 1, 1.5);
    ASSERT_FALSE(reference.isNull());
    DibSurface surface(vistrel.width(), vistrel.height());
    ASSERT_TRUE(surface.isValid());
    ASSERT_EQ(surface.image().size(), reference.size());
    ASSERT_EQ(vistrel.draw(surface.dc(), 0, 0, vistrel.width(), vistrel.height(), 0, 0), S_OK);
    EXPECT_EQ(differences(surface.image(), [&](int x, int y) { return reference.pixel(x, y); }),
              "");
}

// The main window over the engine: a render's progress reaches the
// progress display, and the page view shows the rendered page inside the
// page area and the button face around it, wherever it is scrolled.
TEST_F(EnginePages, PageViewShowsTheRenderedPage) {
    testing::testApp();
    TBrevantForm f;
    f.show();
    QCoreApplication::processEvents();
    ASSERT_TRUE(f.engineAvailable());
    TfrScroll& view = *f.frScroll1;
    const QString file = fixture("render/colours.pdf");
    ASSERT_EQ(f.Vistrel1.open(file, ""), S_OK);

    // While the render runs the outermost bar is current and the page
    // frozen; afterwards the display is idle.
    ProgressIndicator& progress = f.progress();
    int starts = 0;
    const auto start = f.Vistrel1.OnstartProgressIndicator;
    f.Vistrel1.OnstartProgressIndicator = [&](TVistrel* sender) {
        start(sender);
        if (progress.depth() == 1) {
            EXPECT_EQ(progress.currentBar(), f.ProgressBar1);
            EXPECT_TRUE(f.isPageFrozen());
        }
        ++starts;
    };
    const QRgb face = QApplication::palette().color(QPalette::Button).rgb();
    struct Case {
        double zoom;
        QPoint scrollTo;
    };
    const Case cases[] = {
        {1.0, {0, 0}},        // smaller than the view: centred
        {8.0, {100, 50}},     // larger: scrolled into the page
        {8.0, {5000, 5000}},  // as far as it goes: 10 pixels past the end
        {8.0, {-100, -100}},  // 10 pixels before the start
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zoom);
        starts = 0;
        putView(f.Vistrel1, 1, c.zoom);
        ASSERT_EQ(f.Vistrel1.render(), S_OK);
        EXPECT_GE(starts, 1);
        EXPECT_EQ(progress.depth(), 0);
        EXPECT_EQ(progress.currentBar(), nullptr);
        EXPECT_FALSE(f.isPageFrozen());
        f.ResetProgress();
        const QImage reference = hostPage(file, 1, c.zoom);
        ASSERT_FALSE(reference.isNull());
        ASSERT_EQ(reference.size(), QSize(f.Vistrel1.width(), f.Vistrel1.height()));

        view.SetPageVisible(true);
        view.Layout();
        QCoreApplication::processEvents();
        view.ScrollToPoint(c.scrollTo.x(), c.scrollTo.y());
        const QPoint offset = view.GetOffset();
        const QImage shown = view.PntPanel1->grab().toImage();
        ASSERT_GT(shown.width(), 200);
        const QRect page(-offset, reference.size());
        const auto expected = [&](int x, int y) {
            return page.contains(x, y) ? reference.pixel(x + offset.x(), y + offset.y()) : face;
        };
        EXPECT_EQ(differences(shown, expected), "") << "offset " << offset.x() << "," << offset.y();
    }
    EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
}  // namespace brevant
