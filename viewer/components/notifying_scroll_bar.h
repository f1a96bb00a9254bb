// A scroll bar that reports every scroll notification with its code, as
// the window system reports them to a scroll bar's owner: arrows, pages,
// the thumb while it is dragged (tracking), top and bottom, then the thumb's
// release position and the end of the scroll. A handler sees the position
// the bar is about to take before anything moves.
//
// Its range may follow the same model (setMax, setPageSize, setLargeChange):
// a maximum, a page size (the thumb) and a large change (the step of a click
// beside the thumb); positions run from 0 to maximum - page size + 1 (to the
// maximum when the page size is 0). Until a large change is set, a click
// beside the thumb steps by Qt's page step.
#pragma once

#include <QScrollBar>

#include <functional>

namespace brevant {

enum class ScrollCode {
    LineUp = 0,
    LineDown = 1,
    PageUp = 2,
    PageDown = 3,
    ThumbPosition = 4,  // the dragged thumb was let go
    ThumbTrack = 5,     // the thumb is being dragged
    Top = 6,
    Bottom = 7,
    EndScroll = 8
};

class NotifyingScrollBar : public QScrollBar {
    Q_OBJECT

public:
    explicit NotifyingScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

    // Called with the code and the position the bar takes.
    std::function<void(ScrollCode code, int position)> OnScroll;

    int max() const { return max_; }
    void setMax(int max);
    int pageSize() const { return pageSize_; }
    void setPageSize(int size);
    int largeChange() const { return largeChange_; }
    void setLargeChange(int change);
    int position() const { return value(); }
    void setPosition(int position) { setValue(position); }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void notify(ScrollCode code);
    void actionTriggeredBy(int action);
    void applyRange();

    int max_ = 100;
    int pageSize_ = 0;
    int largeChange_ = 0;
};

}  // namespace brevant
