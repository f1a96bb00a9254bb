#include "viewer/components/notifying_scroll_bar.h"

#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>

#include <climits>
#include <utility>
#include <vector>

#include "viewer/components/qt_test_util.h"

namespace brevant {
namespace {

using Note = std::pair<ScrollCode, int>;

// A horizontal bar of the page-view kind: a 1000-pixel extent seen through
// 300 pixels, a third of the extent per click beside the thumb.
struct WithApp {
    WithApp() { testing::testApp(); }
};

struct Bar : WithApp {
    NotifyingScrollBar bar{Qt::Horizontal};
    std::vector<Note> notes;
    std::vector<int> valuesSeen;  // the bar's value while each note ran

    Bar() {
        bar.resize(300, 16);
        bar.setMax(1000);
        bar.setPageSize(300);
        bar.setLargeChange(333);
        bar.OnScroll = [this](ScrollCode code, int position) {
            notes.push_back({code, position});
            valuesSeen.push_back(bar.value());
        };
    }

    QPoint centreOf(QStyle::SubControl part) {
        QStyleOptionSlider option;
        option.initFrom(&bar);
        option.orientation = bar.orientation();
        option.minimum = bar.minimum();
        option.maximum = bar.maximum();
        option.sliderPosition = bar.sliderPosition();
        option.sliderValue = bar.value();
        option.singleStep = bar.singleStep();
        option.pageStep = bar.pageStep();
        option.upsideDown = bar.invertedAppearance();
        return bar.style()->subControlRect(QStyle::CC_ScrollBar, &option, part, &bar).center();
    }
    void mouse(QEvent::Type type, QPoint at) {
        QMouseEvent e(type, QPointF(at), QPointF(bar.mapToGlobal(at)), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
        QApplication::sendEvent(&bar, &e);
    }
};

TEST(NotifyingScrollBar, RangeFollowsMaximumAndPageSize) {
    Bar b;
    EXPECT_EQ(b.bar.minimum(), 0);
    EXPECT_EQ(b.bar.maximum(), 701);
    b.bar.setPageSize(0);
    EXPECT_EQ(b.bar.maximum(), 1000);
    // The top of the range stays within the integers.
    b.bar.setMax(INT_MAX);
    b.bar.setPageSize(0);
    EXPECT_EQ(b.bar.maximum(), INT_MAX);
    b.bar.setMax(10);
    b.bar.setPageSize(40);
    EXPECT_EQ(b.bar.maximum(), 0);
}

TEST(NotifyingScrollBar, ReportsEachActionBeforeTheValueMoves) {
    Bar b;
    b.bar.setValue(400);
    struct Case {
        QAbstractSlider::SliderAction action;
        Note expected;
    };
    const Case cases[] = {
        {QAbstractSlider::SliderSingleStepAdd, {ScrollCode::LineDown, 401}},
        {QAbstractSlider::SliderSingleStepSub, {ScrollCode::LineUp, 400}},
        {QAbstractSlider::SliderPageStepAdd, {ScrollCode::PageDown, 701}},  // large change, bounded
        {QAbstractSlider::SliderPageStepSub, {ScrollCode::PageUp, 368}},
        {QAbstractSlider::SliderToMinimum, {ScrollCode::Top, 0}},
        {QAbstractSlider::SliderToMaximum, {ScrollCode::Bottom, 701}},
    };
    for (const Case& c : cases) {
        const int before = b.bar.value();
        b.notes.clear();
        b.valuesSeen.clear();
        b.bar.triggerAction(c.action);
        ASSERT_EQ(b.notes.size(), 1u);
        EXPECT_EQ(b.notes[0], c.expected);
        EXPECT_EQ(b.valuesSeen[0], before);
        EXPECT_EQ(b.bar.value(), c.expected.second);
    }
}

TEST(NotifyingScrollBar, DraggingTheThumbTracksThenReleasesAndEnds) {
    Bar b;
    QPoint thumb = b.centreOf(QStyle::SC_ScrollBarSlider);
    b.mouse(QEvent::MouseButtonPress, thumb);
    b.mouse(QEvent::MouseMove, thumb + QPoint(30, 0));
    ASSERT_FALSE(b.notes.empty());
    const int tracked = b.bar.value();
    EXPECT_GT(tracked, 0);
    EXPECT_EQ(b.notes.back(), (Note{ScrollCode::ThumbTrack, tracked}));
    EXPECT_EQ(b.valuesSeen.back(), 0);  // reported before the move
    b.notes.clear();
    b.mouse(QEvent::MouseButtonRelease, thumb + QPoint(30, 0));
    EXPECT_EQ(b.notes, (std::vector<Note>{{ScrollCode::ThumbPosition, tracked},
                                          {ScrollCode::EndScroll, tracked}}));

    // An arrow click steps once and ends; no thumb position.
    b.notes.clear();
    QPoint arrow = b.centreOf(QStyle::SC_ScrollBarAddLine);
    b.mouse(QEvent::MouseButtonPress, arrow);
    b.mouse(QEvent::MouseButtonRelease, arrow);
    EXPECT_EQ(b.notes, (std::vector<Note>{{ScrollCode::LineDown, tracked + 1},
                                          {ScrollCode::EndScroll, tracked + 1}}));
}

}  // namespace
}  // namespace brevant
