#include "viewer/components/notifying_scroll_bar.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>
#include <climits>

namespace brevant {

NotifyingScrollBar::NotifyingScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent) {
    connect(this, &QAbstractSlider::actionTriggered, this, &NotifyingScrollBar::actionTriggeredBy);
    applyRange();
}

void NotifyingScrollBar::setMax(int max) {
    max_ = max;
    applyRange();
}

void NotifyingScrollBar::setPageSize(int size) {
    pageSize_ = std::max(0, size);
    applyRange();
}

void NotifyingScrollBar::setLargeChange(int change) {
    largeChange_ = std::max(1, change);
}

void NotifyingScrollBar::applyRange() {
    long long top = pageSize_ > 0 ? (long long)max_ - pageSize_ + 1 : max_;
    setRange(0, int(std::clamp<long long>(top, 0, INT_MAX)));
    // Qt sizes the thumb by the page step; clicks beside it are redirected
    // to the large change below.
    setPageStep(std::max(1, pageSize_));
}

void NotifyingScrollBar::notify(ScrollCode code) {
    if (OnScroll)
        OnScroll(code, sliderPosition());
}

// Runs before the new position reaches the bar's value, so the handler sees
// the position to come while the old one still stands.
void NotifyingScrollBar::actionTriggeredBy(int action) {
    switch (action) {
        case SliderSingleStepSub:
            notify(ScrollCode::LineUp);
            break;
        case SliderSingleStepAdd:
            notify(ScrollCode::LineDown);
            break;
        case SliderPageStepSub:
            if (largeChange_ > 0)
                setSliderPosition(int(std::max<long long>((long long)value() - largeChange_, 0)));
            notify(ScrollCode::PageUp);
            break;
        case SliderPageStepAdd:
            if (largeChange_ > 0)
                setSliderPosition(
                    int(std::min<long long>((long long)value() + largeChange_, maximum())));
            notify(ScrollCode::PageDown);
            break;
        case SliderToMinimum:
            notify(ScrollCode::Top);
            break;
        case SliderToMaximum:
            notify(ScrollCode::Bottom);
            break;
        case SliderMove:
            notify(ScrollCode::ThumbTrack);
            break;
        default:
            break;
    }
}

void NotifyingScrollBar::mouseReleaseEvent(QMouseEvent* event) {
    const bool dragged = isSliderDown();
    QScrollBar::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    if (dragged)
        notify(ScrollCode::ThumbPosition);
    notify(ScrollCode::EndScroll);
}

void NotifyingScrollBar::keyReleaseEvent(QKeyEvent* event) {
    QScrollBar::keyReleaseEvent(event);
    switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
            if (!event->isAutoRepeat())
                notify(ScrollCode::EndScroll);
            break;
        default:
            break;
    }
}

}  // namespace brevant
