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
#include <optional>

#include "platform/gdi/gdi.h"

namespace brevant {

class NotifyingScrollBar;
class TPntPanel;
class TVistrel;
enum class ScrollCode;

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
    // True while a render runs with the page frozen on a snapshot: the
    // page area is then filled instead of drawn.
    virtual bool isPageFrozen() const = 0;
};

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
    // Lays the scroll bars out anew (posted) and repaints the page.
    void Invalidate();
    QPoint GetOffset() const { return {offsetX_, offsetY_}; }
    // The rendered page size the frame scrolls over.
    QSize pageExtent() const { return {extentWidth_, extentHeight_}; }
    bool PageVisible() const;
    // Shows or hides the page surface, enabling both scroll bars with it.
    void SetPageVisible(bool visible);

    // Scroll-bar notifications: the release of a dragged thumb and the end
    // of a scroll move nothing; every other code scrolls to the position.
    void sbVertScroll(ScrollCode code, int position);
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

    PageViewHost& host_;
    int offsetX_ = 0, offsetY_ = 0;
    int extentWidth_ = 0, extentHeight_ = 0;
    // Page drag by the hand tool.
    bool dragging_ = false;
    bool clickWithoutMove_ = false;
    long long grabX_ = 0, grabY_ = 0;  // screen position of the grabbed page pixel
};

}  // namespace brevant
