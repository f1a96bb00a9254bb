// TfrScroll: the live page view. The engine draws the visible part of its
// rendered page onto the paint panel PntPanel1; the frame keeps its own
// offsets (the page pixel at the panel's top-left corner) instead of moving
// a large surface, so the panel is as large as the view. A page smaller
// than the view is centred; a larger one may be scrolled 10 pixels past
// each edge. Margins are filled in the button-face colour.
#pragma once

#include <QPoint>
#include <QSize>
#include <QWidget>

#include <climits>
#include <memory>
#include <optional>

#include "platform/gdi/gdi.h"

namespace brevant {

class AnnotationControls;
class NotifyingScrollBar;
class TPntPanel;
class TVistrel;
enum class ScrollCode;

// The zoom box and the zoom-box tool keep zooms within 0-300 %.
int ClampZoomPercent(int z);
double ClampZoomPercent(double z);

// What the page view needs of the window that holds it.
class PageViewHost {
public:
    virtual ~PageViewHost() = default;
    // The engine, or null while none is available.
    virtual TVistrel* pageEngine() = 0;
    // The mouse tool, which is also the cursor number over the page
    // (viewer_cursors.h: 5 hand, 8 zoom box).
    virtual int mouseTool() const = 0;
    // Whether a pixel of the rendered page lies on a link.
    virtual bool isOnLink(QPoint pagePoint) const = 0;
    // True while a render runs with the page frozen on a snapshot of what
    // the view showed before: the page area then shows the snapshot
    // instead of asking the engine to draw.
    virtual bool isPageFrozen() const = 0;
    // Draws that snapshot at the surface's top-left corner; false when there
    // is none to draw.
    virtual bool drawPageSnapshot(win::HDC dc) const = 0;
    // A click without movement on a link, at that page pixel.
    virtual void followLinkAt(QPoint pagePoint) = 0;
    // The current zoom in percent.
    virtual double currentZoomPercent() = 0;
    // A view edit that sets the zoom (percent) and commits it with render.
    virtual void commitZoom(double percent) = 0;
    // Stores the current view in the view history before a zoom-box zoom.
    virtual void recordViewForZoom() = 0;
    // An offset applied after the next successful render.
    virtual void setPendingOffset(int x, int y) = 0;
};

class TfrScroll;
// The annotation control list of a page view (page_view_annotations.cpp).
std::unique_ptr<AnnotationControls> makeFrameAnnotations(TfrScroll& frame);

class TfrScroll : public QWidget {
    Q_OBJECT

public:
    // A coordinate given to ScrollToPoint that stays as it is.
    static constexpr int kKeep = INT_MAX;

    explicit TfrScroll(PageViewHost& host, QWidget* parent = nullptr);
    ~TfrScroll() override;

    TPntPanel* PntPanel1;
    NotifyingScrollBar* sbVert;
    NotifyingScrollBar* sbHorz;

    // Takes the page size from the engine (0 by 0 when no page shows),
    // scrolls to the top-left corner and lays the scroll bars out anew.
    void Layout();
    void ScrollToPoint(int x, int y);
    // Lays the scroll bars out anew (posted) and repaints the page, again
    // once the posted layout has run if that layout changed the view.
    void Invalidate();
    QPoint GetOffset() const { return {offsetX_, offsetY_}; }
    // The rendered page size the frame scrolls over.
    QSize pageExtent() const { return {extentWidth_, extentHeight_}; }
    bool PageVisible() const;
    // The annotation controls on the page surface (annotation_controls.h).
    AnnotationControls& annotations() { return *annotations_; }
    // Shows or hides the page surface, enabling both scroll bars with it.
    void SetPageVisible(bool visible);

    // Scroll-bar notifications: the release of a dragged thumb and the end
    // of a scroll move nothing; every other code scrolls to the position.
    void sbVertScroll(ScrollCode code, int position);
    // Zooms so that the page's width (mode 1), height (mode 2) or the whole
    // page (mode 0) fills the surface.
    void FitPage(int mode);
    // Zooms so that the page rectangle fills the surface, its corner at the
    // surface's top-left after the render.
    void FitRect(int x, int y, int width, int height);
    void sbHorzScroll(ScrollCode code, int position);

protected:
    bool event(QEvent* event) override;

private:
    void WMLayoutScrollBars();
    void PntPanel1Draw(win::HDC dc, int& noDraw);
    void PaintBox1MouseDown(QMouseEvent* event);
    void PaintBox1MouseMove(QMouseEvent* event);
    void PaintBox1MouseUp(QMouseEvent* event);
    // Scrolls one or both axes (none: that axis stays); values beyond the
    // integers are fine, the bounds apply.
    void scrollTo(std::optional<long long> x, std::optional<long long> y);
    void showOffsetsOnBars();
    // Whether the bar scrolls: enabled, and laid out since the last Layout.
    bool scrolls(const NotifyingScrollBar* bar) const;
    void DrawZoomBox();
    void zoomToBox(QPoint at);
    QPoint pagePointAt(QPoint at) const;
    // What a whole paint of the surface draws from: offsets, page extent,
    // surface size and whether the page is frozen.
    struct DrawnView {
        int x, y, width, height;
        QSize surface;
        bool frozen;
        bool operator==(const DrawnView&) const = default;
    };
    DrawnView drawnView() const;

    PageViewHost& host_;
    std::unique_ptr<AnnotationControls> annotations_;
    int offsetX_ = 0, offsetY_ = 0;
    int extentWidth_ = 0, extentHeight_ = 0;
    bool barsPending_ = false;  // Layout ran, its posted layout not yet
    // The view the last Invalidate painted, until a Layout changes the page.
    std::optional<DrawnView> painted_;
    // Page drag by the hand tool.
    bool dragging_ = false;
    bool clickWithoutMove_ = false;
    bool linkCursor_ = false;  // the surface shows the link cursor
    long long grabX_ = 0, grabY_ = 0;  // screen position of the grabbed page pixel
    // Zoom-box corners on the surface: start and current.
    int x0_ = 0, y0_ = 0, x1_ = 0, y1_ = 0;
};

}  // namespace brevant
