// The page-view frame over the fake engine: layout, centring, scrolling
// bounds, scroll codes, margins, the engine's draw and its result, the hand
// tool and the link cursor.
#include "viewer/app/page_view_frame.h"

#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QRegularExpression>

#include <climits>
#include <functional>
#include <memory>
#include <vector>

#include "tests/viewer/fake_engine_client.h"
#include "viewer/app/app_test_util.h"
#include "viewer/app/posted_messages.h"
#include "viewer/app/viewer_cursors.h"
#include "viewer/components/notifying_scroll_bar.h"
#include "viewer/components/paint_panels.h"
#include "viewer/components/screen_cursors.h"

namespace brevant {
namespace {

using namespace win;

struct Host : PageViewHost {
    TVistrel* engine = nullptr;
    int tool = kOpenHandCursor;
    QRegion links;
    bool frozen = false;

    TVistrel* pageEngine() override { return engine; }
    int mouseTool() const override { return tool; }
    bool isOnLink(QPoint p) const override { return links.contains(p); }
    bool isPageFrozen() const override { return frozen; }
    // The snapshot: a red square of 60 by 60 pixels.
    bool drawPageSnapshot(HDC dc) const override {
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        const RECT square{0, 0, 60, 60};
        FillRect(dc, &square, red);
        DeleteObject(red);
        return true;
    }
    void followLinkAt(QPoint p) override { followed.push_back(p); }
    double currentZoomPercent() override { return zoom; }
    void commitZoom(double percent) override {
        zooms.push_back(percent);
        zoom = percent;
    }
    void recordViewForZoom() override { ++recorded; }
    void setPendingOffset(int x, int y) override { pending = QPoint(x, y); }

    std::vector<QPoint> followed;
    double zoom = 100;
    std::vector<double> zooms;
    int recorded = 0;
    QPoint pending{-1, -1};
};

class PageView : public testing::FakeEngineTest {
protected:
    TVistrel vistrel;
    ComPtr<fake::IFakeEngine> fake;
    Host host;
    std::unique_ptr<TfrScroll> frame;

    void SetUp() override {
        FakeEngineTest::SetUp();
        testing::testApp();
        registerViewerCursors();
        fake = testing::fakeOf(vistrel);
        host.engine = &vistrel;
        frame = std::make_unique<TfrScroll>(host);
    }
    void TearDown() override {
        frame.reset();
        fake.reset();
        vistrel.Disconnect();
        FakeEngineTest::TearDown();
    }

    // Shows a page of the given size on a surface of the given size and
    // lets the posted layout run.
    void show(QSize page, QSize surface) {
        fake->setPageSize(page.width(), page.height());
        frame->resize(surface.width() + frame->sbVert->sizeHint().width(),
                      surface.height() + frame->sbHorz->sizeHint().height());
        frame->show();
        frame->SetPageVisible(true);
        frame->Layout();
        QCoreApplication::processEvents();
        ASSERT_EQ(frame->PntPanel1->size(), surface);
        testing::takeCalls(fake.get());
    }
    QImage grab() { return frame->PntPanel1->grab().toImage(); }
    // The arguments after the device context of the draw calls since the
    // last look.
    QStringList drawCalls() {
        QStringList found;
        static const QRegularExpression draw("^draw -?\\d+,(.*)$",
                                             QRegularExpression::MultilineOption);
        for (auto it = draw.globalMatch(testing::takeCalls(fake.get())); it.hasNext();)
            found << it.next().captured(1);
        return found;
    }
    static QRgb face() { return QApplication::palette().color(QPalette::Button).rgb(); }
    void mouse(QEvent::Type type, QPoint at) {
        QWidget* surface = frame->PntPanel1;
        Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
        QMouseEvent e(type, QPointF(at), QPointF(surface->mapToGlobal(at)), button, held,
                      Qt::NoModifier);
        QApplication::sendEvent(surface, &e);
    }
};

// A page smaller than the view is centred with margins all round, its bars
// disabled; the engine draws from offset 0 and its result decides the
// panel's frame.
TEST_F(PageView, SmallPageIsCentred) {
    show({200, 101}, {300, 300});
    EXPECT_EQ(frame->GetOffset(), QPoint(-50, -99));
    EXPECT_FALSE(frame->sbHorz->isEnabled());
    EXPECT_FALSE(frame->sbVert->isEnabled());

    fake->setResult(VISTRELLib::VistrelDispid::draw, S_OK);
    frame->PntPanel1->drawDirect([](HDC dc) {
        HBRUSH black = CreateSolidBrush(RGB(0, 0, 0));
        RECT all{0, 0, 300, 300};
        FillRect(dc, &all, black);
        DeleteObject(black);
    });
    QImage image = grab();
    EXPECT_EQ(drawCalls(), QStringList{"50,99,300,300,0,0"});
    for (QPoint margin : {QPoint(10, 150), QPoint(150, 10), QPoint(260, 150), QPoint(150, 250),
                          QPoint(49, 98), QPoint(250, 200)})
        EXPECT_EQ(image.pixel(margin), face()) << margin.x() << "," << margin.y();
    // The page area is the engine's: with S_OK the panel adds no frame.
    EXPECT_EQ(image.pixel(50, 99), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(249, 199), qRgb(0, 0, 0));

    // S_FALSE stays as NoDraw 1: the panel's rectangle, in the button face.
    fake->setResult(VISTRELLib::VistrelDispid::draw, S_FALSE);
    EXPECT_EQ(grab().pixel(150, 150), face());
}

TEST_F(PageView, LargePageScrollsTenPixelsPastEachEdge) {
    show({1000, 800}, {300, 200});
    EXPECT_TRUE(frame->sbHorz->isEnabled());
    EXPECT_TRUE(frame->sbVert->isEnabled());
    EXPECT_EQ(frame->sbHorz->max(), 1000);
    EXPECT_EQ(frame->sbHorz->pageSize(), 300);
    EXPECT_EQ(frame->sbHorz->largeChange(), 333);
    EXPECT_EQ(frame->sbVert->max(), 800);
    EXPECT_EQ(frame->sbVert->pageSize(), 200);

    struct Case {
        int x, y;
        QPoint expected;
    };
    const Case cases[] = {
        {-50, 5000, {-10, 610}},
        {TfrScroll::kKeep, 3, {-10, 3}},
        {2000, TfrScroll::kKeep, {710, 3}},
        {INT_MIN, INT_MIN, {-10, -10}},
        {INT_MAX - 1, 0, {710, 0}},
    };
    for (const Case& c : cases) {
        frame->ScrollToPoint(c.x, c.y);
        EXPECT_EQ(frame->GetOffset(), c.expected);
    }

    // Past the left and bottom edges: margins there, the engine draws the
    // rest from the offset, and the bars follow the offset.
    frame->ScrollToPoint(-10, 610);
    QImage image = grab();
    EXPECT_EQ(drawCalls(), QStringList{"10,0,300,200,0,610"});
    EXPECT_EQ(image.pixel(5, 50), face());
    EXPECT_EQ(image.pixel(150, 195), face());
    EXPECT_EQ(frame->sbHorz->value(), 0);
    EXPECT_EQ(frame->sbVert->value(), 601);  // the bar's last position
}

// The release of a dragged thumb and the end of a scroll move nothing;
// every other notification scrolls its own axis.
TEST_F(PageView, ScrollCodes) {
    show({1000, 800}, {300, 200});
    for (int code = 0; code <= 8; ++code) {
        SCOPED_TRACE(code);
        const bool moves = code != 4 && code != 8;
        frame->ScrollToPoint(100, 50);
        frame->sbHorzScroll(ScrollCode(code), 250);
        EXPECT_EQ(frame->GetOffset(), moves ? QPoint(250, 50) : QPoint(100, 50));
        frame->sbVertScroll(ScrollCode(code), 70);
        EXPECT_EQ(frame->GetOffset().y(), moves ? 70 : 50);
    }
    // A click beside the thumb moves by the large change.
    frame->ScrollToPoint(100, 50);
    frame->PntPanel1->repaint();
    frame->sbHorz->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(frame->GetOffset(), QPoint(433, 50));
}

TEST_F(PageView, HandToolDragsThePageOnTheAxesThatScroll) {
    show({1000, 150}, {300, 200});
    EXPECT_EQ(frame->GetOffset(), QPoint(0, -25));
    mouse(QEvent::MouseButtonPress, {100, 100});
    mouse(QEvent::MouseMove, {60, 40});
    EXPECT_EQ(frame->GetOffset(), QPoint(40, -25));
    mouse(QEvent::MouseMove, {500, 40});
    EXPECT_EQ(frame->GetOffset(), QPoint(-10, -25));
    mouse(QEvent::MouseButtonRelease, {500, 40});
    mouse(QEvent::MouseMove, {20, 20});
    EXPECT_EQ(frame->GetOffset(), QPoint(-10, -25));
}

// A new layout of a page of the same size: until the posted layout the bars
// keep their state (nothing to repaint) but the hand tool scrolls on no
// axis, as with disabled bars.
TEST_F(PageView, BarsWaitForThePostedLayout) {
    show({1000, 800}, {300, 200});
    frame->ScrollToPoint(100, 50);
    frame->PntPanel1->repaint();
    frame->Layout();
    EXPECT_TRUE(frame->sbHorz->isEnabled());
    EXPECT_TRUE(frame->sbVert->isEnabled());
    EXPECT_EQ(frame->sbHorz->position(), 100);
    mouse(QEvent::MouseButtonPress, {100, 100});
    mouse(QEvent::MouseMove, {60, 40});
    mouse(QEvent::MouseButtonRelease, {60, 40});
    EXPECT_EQ(frame->GetOffset(), QPoint(0, 0));
    QCoreApplication::processEvents();
    EXPECT_EQ(frame->sbHorz->position(), 0);
    mouse(QEvent::MouseButtonPress, {100, 100});
    mouse(QEvent::MouseMove, {60, 40});
    EXPECT_EQ(frame->GetOffset(), QPoint(40, 60));
}

TEST_F(PageView, LinkCursorOverTheLinkRegion) {
    show({1000, 1000}, {300, 200});
    frame->ScrollToPoint(40, 0);
    host.links = QRegion(110, 120, 20, 10);
    struct Case {
        QPoint at;
        int tool;
        int cursor;
    };
    const Case cases[] = {
        {{75, 125}, kOpenHandCursor, kFingerCursor},  // page point 115, 125
        {{5, 5}, kOpenHandCursor, kOpenHandCursor},
        {{69, 119}, kZoomInCursor, kZoomInCursor},  // page point 109, 119: just outside
        {{89, 129}, kZoomInCursor, kFingerCursor},
    };
    for (const Case& c : cases) {
        host.tool = c.tool;
        mouse(QEvent::MouseMove, c.at);
        EXPECT_TRUE(frame->PntPanel1->cursor() == screenCursor(c.cursor))
            << c.at.x() << "," << c.at.y();
    }
}

// A click without movement on a link follows it at the page point; a
// drag that starts on a link, or a click beside it, does not.
TEST_F(PageView, ClickOnALinkFollowsIt) {
    show({1000, 1000}, {300, 200});
    host.links = QRegion(110, 120, 20, 10);
    for (int tool : {kOpenHandCursor, kZoomInCursor}) {
        frame->ScrollToPoint(40, 0);
        host.tool = tool;
        host.followed.clear();
        mouse(QEvent::MouseMove, {75, 125});
        mouse(QEvent::MouseButtonPress, {75, 125});
        mouse(QEvent::MouseButtonRelease, {75, 125});
        EXPECT_EQ(host.followed, std::vector<QPoint>{QPoint(115, 125)});

        mouse(QEvent::MouseMove, {75, 125});
        mouse(QEvent::MouseButtonPress, {75, 125});
        mouse(QEvent::MouseMove, {76, 125});
        mouse(QEvent::MouseButtonRelease, {76, 125});
        mouse(QEvent::MouseMove, {5, 5});
        mouse(QEvent::MouseButtonPress, {5, 5});
        mouse(QEvent::MouseButtonRelease, {5, 5});
        EXPECT_EQ(host.followed.size(), 1u);
    }
    EXPECT_TRUE(host.zooms.empty());
}

// The zoom box zooms so that the box fills the surface, at most to 300 %,
// and brings the box's corner to the surface's corner; a box without width
// or height does nothing.
TEST_F(PageView, ZoomBox) {
    struct Case {
        QPoint from, to;
        std::vector<double> zooms;
        QPoint offset;
    };
    const Case cases[] = {
        // 150 x 50 on 300 x 200: factor min(2, 4) = 2; corner (50, 20) + (10, 0).
        {{200, 70}, {50, 20}, {200}, {120, 40}},
        {{50, 20}, {50, 120}, {}, {10, 0}},
        {{50, 20}, {150, 20}, {}, {10, 0}},
        // 10 x 10: factor 20, 2000 % bounded to 300 %.
        {{50, 20}, {60, 30}, {300}, {180, 60}},
    };
    for (const Case& c : cases) {
        show({1000, 1000}, {300, 200});
        frame->ScrollToPoint(10, 0);
        host.tool = kZoomInCursor;
        host.zoom = 100;
        host.zooms.clear();
        host.recorded = 0;
        mouse(QEvent::MouseMove, c.from);
        mouse(QEvent::MouseButtonPress, c.from);
        mouse(QEvent::MouseMove, c.to);
        mouse(QEvent::MouseButtonRelease, c.to);
        EXPECT_EQ(host.zooms, c.zooms) << c.to.x() << "," << c.to.y();
        EXPECT_EQ(host.recorded, c.zooms.empty() ? 0 : 1);
        EXPECT_EQ(frame->GetOffset(), c.offset);
    }
}

// The rubber band inverts a dotted frame while the box is dragged and is
// gone once the button is released.
TEST_F(PageView, ZoomBoxRubberBand) {
    show({1000, 1000}, {300, 200});
    host.tool = kZoomInCursor;
    frame->PntPanel1->drawDirect([](HDC dc) {
        HBRUSH grey = CreateSolidBrush(RGB(100, 100, 100));
        RECT all{0, 0, 300, 200};
        FillRect(dc, &all, grey);
        DeleteObject(grey);
    });
    const QRgb grey = qRgb(100, 100, 100), inverted = qRgb(155, 155, 155);
    mouse(QEvent::MouseButtonPress, {50, 20});
    mouse(QEvent::MouseMove, {80, 20});
    mouse(QEvent::MouseMove, {50, 60});
    QImage during = grab();
    EXPECT_EQ(during.pixel(50, 20), inverted);
    EXPECT_EQ(during.pixel(50, 40), inverted);
    EXPECT_EQ(during.pixel(70, 20), grey);  // the first band is erased
    mouse(QEvent::MouseButtonRelease, {50, 60});
    QImage after = grab();
    for (QPoint p : {QPoint(50, 20), QPoint(50, 40), QPoint(70, 20)})
        EXPECT_EQ(after.pixel(p), grey) << p.x() << "," << p.y();
    EXPECT_TRUE(host.zooms.empty());
}

// Fits divide the surface by the page at 100 % (306 x 396 from the
// engine); a fitted rectangle also asks for its corner as the offset.
TEST_F(PageView, Fits) {
    show({1000, 1000}, {300, 200});
    frame->FitPage(1);
    frame->FitPage(2);
    frame->FitPage(0);
    ASSERT_EQ(host.zooms.size(), 3u);
    EXPECT_DOUBLE_EQ(host.zooms[0], 100.0 * 300 / 306);
    EXPECT_DOUBLE_EQ(host.zooms[1], 100.0 * 200 / 396);
    EXPECT_DOUBLE_EQ(host.zooms[2], 100.0 * 200 / 396);

    // A page without size at 100 % is not fitted (no division by 0).
    host.zooms.clear();
    for (QSize actual : {QSize(0, 396), QSize(306, 0), QSize(-3, -3)}) {
        fake->setActualSize(actual.width(), actual.height());
        for (int mode : {0, 1, 2})
            frame->FitPage(mode);
    }
    EXPECT_TRUE(host.zooms.empty());

    for (QSize size : {QSize(0, 10), QSize(10, 0), QSize(-5, 10)})
        frame->FitRect(1, 1, size.width(), size.height());
    EXPECT_TRUE(host.zooms.empty());
    EXPECT_EQ(host.pending, QPoint(-1, -1));
    frame->FitRect(30, 41, 100, 50);  // s = min(200 / 50, 300 / 100) = 3
    EXPECT_EQ(host.zooms, std::vector<double>{300});
    EXPECT_EQ(host.pending, QPoint(90, 123));
}

// Sizes the engine may report: none, negative, beyond the view by far.
// Nothing divides by zero or overflows.
TEST_F(PageView, UnusualPageSizes) {
    struct Case {
        LONG width, height;
        QPoint farCorner;  // the offset after scrolling as far as possible
        bool scrolls;
    };
    const Case cases[] = {
        {0, 0, {-150, -100}, false},
        {-5, -7, {-150, -100}, false},
        {INT_MAX, INT_MAX, {INT_MAX - 290, INT_MAX - 190}, true},
        {INT_MAX, 1, {INT_MAX - 290, -99}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        show({c.width, c.height}, {300, 200});
        EXPECT_EQ(frame->sbHorz->isEnabled(), c.scrolls);
        frame->ScrollToPoint(INT_MAX - 1, INT_MAX - 1);
        EXPECT_EQ(frame->GetOffset(), c.farCorner);
        grab();
        EXPECT_EQ(drawCalls().size(), 1);
        // The hand tool from there.
        mouse(QEvent::MouseButtonPress, {10, 10});
        mouse(QEvent::MouseMove, {200, 150});
        mouse(QEvent::MouseButtonRelease, {200, 150});
    }
}

// Frozen: the page area is filled, then the snapshot covers the surface
// from its corner; the engine is not asked to draw.
TEST_F(PageView, FrozenPageShowsTheSnapshot) {
    show({200, 100}, {300, 200});
    host.frozen = true;
    QImage image = grab();
    EXPECT_TRUE(drawCalls().isEmpty());
    EXPECT_EQ(image.pixel(150, 100), face());
    EXPECT_EQ(image.pixel(55, 55), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 0, 0));
}

// The posted layout after an Invalidate paints the page again only when
// what the Invalidate drew is no longer the view: a new page laid out, the
// surface resized, the page frozen or the offsets moved since.
TEST_F(PageView, PostedLayoutPaintsOnlyAChangedView) {
    show({1000, 800}, {300, 200});
    struct PaintCount : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            paints += event->type() == QEvent::Paint;
            return false;
        }
    } count;
    frame->PntPanel1->installEventFilter(&count);
    const struct {
        const char* name;
        std::function<void()> change;  // after the Invalidate
        int paints;                    // by the posted layout
    } cases[] = {
        {"unchanged", [] {}, 0},
        {"laid out", [&] { frame->Layout(); }, 1},
        {"resized", [&] { frame->resize(frame->width() - 20, frame->height()); }, 1},
        {"frozen", [&] { host.frozen = true; }, 1},
        {"scrolled", [&] { frame->ScrollToPoint(100, 50); }, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        host.frozen = false;
        frame->Invalidate();
        c.change();
        count.paints = 0;
        // The layout, then the update it may ask for.
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        EXPECT_EQ(count.paints, c.paints);
    }
}

// Without an engine nothing is asked of it; the panel shows its frame.
TEST_F(PageView, NoEngine) {
    show({1000, 800}, {300, 200});
    host.engine = nullptr;
    frame->Layout();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(frame->pageExtent(), QSize(0, 0));
    EXPECT_EQ(grab().pixel(150, 100), face());
    EXPECT_TRUE(testing::takeCalls(fake.get()).isEmpty());
}

}  // namespace
}  // namespace brevant
