// A scroll box that reports its painting and its scrolling: OnPaint runs on
// every paint of its client area with the canvas holding the paint's device
// context (none before or after, also when the handler fails), and OnScroll
// runs on every scroll notification of either bar, thumb tracking included,
// before the box scrolls.
#pragma once

#include <QScrollArea>

#include <functional>
#include <memory>

#include "viewer/components/paint_panels.h"

namespace brevant {

class RetainedSurface;

using TNotifyEvent = std::function<void(QWidget* sender)>;

class TScrollBoxPaint : public QScrollArea {
    Q_OBJECT

public:
    explicit TScrollBoxPaint(QWidget* parent = nullptr);
    ~TScrollBoxPaint() override;

    TNotifyEvent OnPaint;
    TNotifyEvent OnScroll;
    PaintCanvas& canvas() { return canvas_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    // Calls OnPaint.
    virtual void Paint();

private:
    PaintCanvas canvas_;
    std::unique_ptr<RetainedSurface> surface_;
};

}  // namespace brevant
