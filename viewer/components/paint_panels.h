// Surfaces on which a handler draws straight into a device context of the
// GDI stand-in: the windowed panel TPntPanel, the page surface of the viewer,
// and the windowless TPntPanelG, which draws over what lies beneath it.
//
// Both follow one protocol on every paint: NoDraw starts at 1, the OnDraw
// handler (when set) draws into the device context and may change NoDraw,
// and while NoDraw stays above 0 the panel then draws a rectangle over its
// whole area with its canvas pen and brush (filled for the panel, only the
// outline for the windowless one). Handlers store the engine's draw result
// in NoDraw, so a drawn page gets no frame. Neither draws a bevel, a caption
// or an erased background.
#pragma once

#include <QBrush>
#include <QPen>
#include <QWidget>

#include <functional>
#include <memory>

#include "platform/gdi/gdi.h"

namespace brevant {

class RetainedSurface;

// The pen and brush a paint component draws its frame with, and the device
// context it lends while it paints (none otherwise).
class PaintCanvas {
public:
    QPen pen{QColor(Qt::black), 1};
    QBrush brush{QColor(Qt::white)};

    win::HDC handle() const { return handle_; }
    void setHandle(win::HDC dc) { handle_ = dc; }

private:
    win::HDC handle_ = nullptr;
};

// Lends a device context to a canvas for one scope, also when the scope is
// left by an error.
class LentHandle {
public:
    LentHandle(PaintCanvas& canvas, win::HDC dc) : canvas_(canvas) { canvas_.setHandle(dc); }
    ~LentHandle() { canvas_.setHandle(nullptr); }
    LentHandle(const LentHandle&) = delete;
    LentHandle& operator=(const LentHandle&) = delete;

private:
    PaintCanvas& canvas_;
};

// The paint event: sender, device context, NoDraw.
using TDrawEvent = std::function<void(QWidget* sender, win::HDC dc, int& noDraw)>;
using MouseEventHandler = std::function<void(QMouseEvent* event)>;

// The windowed paint panel. Its pixels live in a device context of its own
// size, kept from paint to paint: what a handler leaves undrawn shows what
// was there before, as a window that is never erased does.
class TPntPanel : public QWidget {
    Q_OBJECT

public:
    explicit TPntPanel(QWidget* parent = nullptr);
    ~TPntPanel() override;

    TDrawEvent OnDraw;
    MouseEventHandler OnMouseDown, OnMouseMove, OnMouseUp;
    std::function<void()> OnResize;
    // Called before the panel's pixels change (a paint, a direct drawing,
    // a resize), while they still show what they showed.
    std::function<void()> OnSurfaceChanging;
    PaintCanvas& canvas() { return canvas_; }

    // Draws into the panel's pixels outside the paint protocol and shows
    // them at once, without calling OnDraw (a copy put back onto the
    // surface, for instance).
    void drawDirect(const std::function<void(win::HDC dc)>& draw);
    // The device context holding the panel's pixels (null while the panel
    // has no area).
    win::HDC surfaceDC() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void ensureSurface();
    void surfaceChanging();

    PaintCanvas canvas_;
    std::unique_ptr<RetainedSurface> surface_;
    bool presentOnly_ = false;
};

// The windowless paint panel: not opaque, 150 by 150 pixels when made, and
// it swallows the mouse wheel. Its handler draws into a device context
// whose undrawn pixels leave the parent showing through.
class TPntPanelG : public QWidget {
    Q_OBJECT

public:
    explicit TPntPanelG(QWidget* parent = nullptr);

    TDrawEvent OnDraw;
    MouseEventHandler OnMouseDown, OnMouseMove, OnMouseUp;
    PaintCanvas& canvas() { return canvas_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    PaintCanvas canvas_;
};

}  // namespace brevant
