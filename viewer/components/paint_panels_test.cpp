#include "viewer/components/paint_panels.h"

#include <gtest/gtest.h>

#include <QWheelEvent>

#include <functional>
#include <vector>

#include "viewer/components/qt_test_util.h"

namespace brevant {
namespace {

constexpr QRgb kBlack = 0xFF000000, kWhite = 0xFFFFFFFF, kRed = 0xFFFF0000, kBlue = 0xFF0000FF,
               kGreen = 0xFF00FF00, kMagenta = 0xFFFF00FF;

// Fills a rectangle of the device context through the GDI stand-in.
void fill(win::HDC dc, win::RECT rect, QRgb colour) {
    win::HBRUSH brush =
        win::CreateSolidBrush(win::RGB(qRed(colour), qGreen(colour), qBlue(colour)));
    win::FillRect(dc, &rect, brush);
    win::DeleteObject(brush);
}

struct Corners {
    QRgb border, inside;
    friend bool operator==(const Corners&, const Corners&) = default;
};

Corners cornersOf(const QImage& image) {
    return {image.pixel(0, 0), image.pixel(image.width() / 2, image.height() / 2)};
}

TEST(PntPanel, DrawsItsFrameUnlessTheHandlerSaysNot) {
    testing::testApp();
    const auto fillRed = [](QWidget*, win::HDC dc, int&) { fill(dc, {0, 0, 40, 30}, kRed); };
    struct Case {
        const char* what;
        TDrawEvent handler;
        Qt::BrushStyle brush;
        Corners expected;
    };
    const Case cases[] = {
        {"no handler: the filled rectangle", nullptr, Qt::SolidPattern, {kBlack, kWhite}},
        {"NoDraw left at 1: the rectangle after the drawing", fillRed, Qt::NoBrush, {kBlack, kRed}},
        {"NoDraw 0: no rectangle",
         [&](QWidget* w, win::HDC dc, int& noDraw) {
             fillRed(w, dc, noDraw);
             noDraw = 0;
         },
         Qt::SolidPattern,
         {kRed, kRed}},
        {"NoDraw negative: no rectangle",
         [&](QWidget* w, win::HDC dc, int& noDraw) {
             fillRed(w, dc, noDraw);
             noDraw = -5;
         },
         Qt::SolidPattern,
         {kRed, kRed}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TPntPanel panel;
        panel.resize(40, 30);
        panel.OnDraw = c.handler;
        panel.canvas().brush.setStyle(c.brush);
        QImage image = panel.grab().toImage();
        EXPECT_EQ(cornersOf(image), c.expected);
        // The outline runs round the last row and column too.
        EXPECT_EQ(image.pixel(39, 29), c.expected.border);
    }
}

// What a handler leaves undrawn keeps what was painted before: the panel is
// never erased.
TEST(PntPanel, IsNeverErased) {
    testing::testApp();
    TPntPanel panel;
    panel.resize(20, 10);
    std::vector<win::HDC> handed;
    panel.OnDraw = [&](QWidget* sender, win::HDC dc, int& noDraw) {
        EXPECT_EQ(sender, &panel);
        handed.push_back(dc);
        fill(dc, handed.size() == 1 ? win::RECT{0, 0, 20, 10} : win::RECT{0, 0, 5, 5},
             handed.size() == 1 ? kBlue : kGreen);
        noDraw = 0;
    };
    panel.grab();
    QImage image = panel.grab().toImage();
    ASSERT_EQ(handed.size(), 2u);
    EXPECT_EQ(handed[0], handed[1]);
    EXPECT_EQ(handed[0], panel.surfaceDC());
    EXPECT_EQ(image.pixel(1, 1), kGreen);
    EXPECT_EQ(image.pixel(10, 8), kBlue);

    // Pixels drawn outside the protocol are shown without a handler call.
    panel.drawDirect([](win::HDC dc) { fill(dc, {0, 0, 20, 10}, kMagenta); });
    EXPECT_EQ(handed.size(), 2u);
    panel.OnDraw = [](QWidget*, win::HDC, int& noDraw) { noDraw = 0; };
    EXPECT_EQ(panel.grab().toImage().pixel(10, 8), kMagenta);

    // A resize keeps the pixels where old and new area meet.
    panel.resize(30, 12);
    image = panel.grab().toImage();
    EXPECT_EQ(image.pixel(19, 9), kMagenta);
    EXPECT_EQ(image.size(), QSize(30, 12));
}

// A parent of a known colour holding a windowless panel.
struct WindowlessOnParent {
    struct Parent : QWidget {
        int wheels = 0;
        void wheelEvent(QWheelEvent*) override { ++wheels; }
    } parent;
    TPntPanelG* panel;

    WindowlessOnParent() {
        parent.resize(200, 200);
        QPalette pal = parent.palette();
        pal.setColor(QPalette::Window, QColor::fromRgb(kMagenta));
        parent.setPalette(pal);
        parent.setAutoFillBackground(true);
        panel = new TPntPanelG(&parent);
        panel->move(20, 20);
    }
    QImage grab() { return parent.grab(panel->geometry()).toImage(); }
};

TEST(PntPanelG, DrawsOverItsParent) {
    testing::testApp();
    WindowlessOnParent on;
    EXPECT_EQ(on.panel->size(), QSize(150, 150));
    EXPECT_FALSE(on.panel->testAttribute(Qt::WA_OpaquePaintEvent));
    EXPECT_FALSE(on.panel->autoFillBackground());

    // Without a handler: only the outline, the parent showing inside.
    QImage image = on.grab();
    EXPECT_EQ(cornersOf(image), (Corners{kBlack, kMagenta}));
    EXPECT_EQ(image.pixel(149, 149), kBlack);

    // A handler's pixels cover the parent; the rest of it shows through.
    on.panel->OnDraw = [&](QWidget* sender, win::HDC dc, int& noDraw) {
        EXPECT_EQ(sender, on.panel);
        EXPECT_EQ(on.panel->canvas().handle(), dc);
        fill(dc, {10, 10, 20, 20}, kBlack);
        fill(dc, {30, 30, 40, 40}, kRed);
        noDraw = 0;
    };
    image = on.grab();
    EXPECT_EQ(image.pixel(15, 15), kBlack);
    EXPECT_EQ(image.pixel(35, 35), kRed);
    EXPECT_EQ(image.pixel(0, 0), kMagenta);
    EXPECT_EQ(image.pixel(75, 75), kMagenta);
    EXPECT_FALSE(on.panel->canvas().handle());

    // NoDraw left at 1: the outline after the handler's drawing.
    on.panel->OnDraw = [](QWidget*, win::HDC dc, int&) { fill(dc, {0, 0, 150, 150}, kBlue); };
    EXPECT_EQ(cornersOf(on.grab()), (Corners{kBlack, kBlue}));
}

TEST(PntPanelG, SwallowsTheWheel) {
    testing::testApp();
    WindowlessOnParent on;
    QWheelEvent wheel(QPointF(5, 5), QPointF(on.panel->mapToGlobal(QPoint(5, 5))), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(on.panel, &wheel);
    EXPECT_TRUE(wheel.isAccepted());
    EXPECT_EQ(on.parent.wheels, 0);
}

}  // namespace
}  // namespace brevant
