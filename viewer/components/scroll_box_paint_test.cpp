#include "viewer/components/scroll_box_paint.h"

#include <gtest/gtest.h>

#include <QPaintEvent>
#include <QScrollBar>

#include <stdexcept>
#include <vector>

#include "viewer/components/qt_test_util.h"

namespace brevant {
namespace {

// Lets the test run a paint of the client area itself.
struct Box : TScrollBoxPaint {
    using TScrollBoxPaint::paintEvent;
};

TEST(ScrollBoxPaint, LendsItsCanvasOnlyWhilePainting) {
    testing::testApp();
    Box box;
    box.resize(100, 80);
    EXPECT_FALSE(box.canvas().handle());
    std::vector<win::HDC> seen;
    box.OnPaint = [&](QWidget* sender) {
        EXPECT_EQ(sender, &box);
        seen.push_back(box.canvas().handle());
        win::HBRUSH red = win::CreateSolidBrush(win::RGB(255, 0, 0));
        win::RECT all{0, 0, 200, 200};
        win::FillRect(box.canvas().handle(), &all, red);
        win::DeleteObject(red);
    };
    QImage image = box.grab().toImage();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen[0]);
    EXPECT_FALSE(box.canvas().handle());
    // What the handler drew is the client area.
    QPoint inside = box.viewport()->geometry().center();
    EXPECT_EQ(image.pixel(inside), qRgb(255, 0, 0));

    // A failing handler leaves the canvas without a handle too.
    box.OnPaint = [&](QWidget*) {
        seen.push_back(box.canvas().handle());
        throw std::runtime_error("paint failed");
    };
    QPaintEvent paint(box.viewport()->rect());
    EXPECT_THROW(box.paintEvent(&paint), std::runtime_error);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_TRUE(seen[1]);
    EXPECT_FALSE(box.canvas().handle());
}

// Bar values and content position at the time of a report.
struct Seen {
    int horizontal, vertical, contentX, contentY;
    friend bool operator==(const Seen&, const Seen&) = default;
};

TEST(ScrollBoxPaint, ReportsScrollingBeforeItScrolls) {
    testing::testApp();
    TScrollBoxPaint box;
    box.resize(100, 80);
    auto* content = new QWidget;
    content->resize(400, 300);
    box.setWidget(content);
    box.show();
    std::vector<Seen> seen;
    box.OnScroll = [&](QWidget* sender) {
        EXPECT_EQ(sender, &box);
        seen.push_back({box.horizontalScrollBar()->value(), box.verticalScrollBar()->value(),
                        content->x(), content->y()});
    };
    box.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    box.horizontalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], (Seen{0, 0, 0, 0}));
    const int down = box.verticalScrollBar()->value();
    EXPECT_GT(down, 0);
    EXPECT_EQ(content->y(), -down);
    EXPECT_EQ(seen[1], (Seen{0, down, 0, -down}));

    // Thumb tracking is reported too, each move before it happens.
    box.horizontalScrollBar()->setSliderDown(true);
    box.horizontalScrollBar()->setSliderPosition(box.horizontalScrollBar()->value() + 7);
    box.horizontalScrollBar()->setSliderDown(false);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[2].horizontal, -seen[2].contentX);
    EXPECT_EQ(box.horizontalScrollBar()->value(), seen[2].horizontal + 7);
}

}  // namespace
}  // namespace brevant
