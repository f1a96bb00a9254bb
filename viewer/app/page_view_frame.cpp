#include "viewer/app/page_view_frame.h"

#include <QApplication>
#include <QGridLayout>
#include <QMouseEvent>
#include <QPalette>

#include <algorithm>
#include <cmath>

#include "viewer/app/annotation_controls.h"
#include "viewer/app/posted_messages.h"
#include "viewer/app/viewer_cursors.h"
#include "viewer/app/vistrel_binding.h"
#include "viewer/components/notifying_scroll_bar.h"
#include "viewer/components/paint_panels.h"
#include "viewer/components/screen_cursors.h"

namespace brevant {
namespace {

// Margin that may be scrolled into view past each edge of the page.
constexpr long long kOverscroll = 10;

int toInt(long long v) {
    return int(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

QColor buttonFace() {
    return QApplication::palette().color(QPalette::Active, QPalette::Button);
}

// The offset on one axis for a wanted position: a page smaller than the
// view is centred (a negative offset) and its bar disabled; a larger one
// stays within 10 pixels past either edge.
int axisOffset(long long wanted, int extent, int view, NotifyingScrollBar* bar) {
    if (extent < view) {
        bar->setEnabled(false);
        return int((static_cast<long long>(extent) - view) / 2);
    }
    long long last = static_cast<long long>(extent) - view + kOverscroll;
    return toInt(std::clamp<long long>(wanted, -kOverscroll, last));
}

// The bar's range for the view over the page extent; disabled while the
// whole extent fits.
void layoutBar(NotifyingScrollBar* bar, int view, int extent) {
    if (view >= extent) {
        bar->setEnabled(false);
        return;
    }
    if (bar->max() != extent) {
        if (bar->pageSize() >= extent)
            bar->setPageSize(extent);
        bar->setMax(extent);
        bar->setLargeChange(extent / 3);
    }
    if (bar->pageSize() != view)
        bar->setPageSize(view);
    bar->setEnabled(true);
}

// A page size the engine reports, never below 0.
int extentOf(win::LONG size) {
    return std::max<win::LONG>(size, 0);
}

void fillRect(win::HDC dc, win::HBRUSH brush, long long left, long long top, long long right,
              long long bottom) {
    win::RECT rect{toInt(left), toInt(top), toInt(right), toInt(bottom)};
    win::FillRect(dc, &rect, brush);
}

}  // namespace

int ClampZoomPercent(int z) {
    return std::clamp(z, 0, 300);
}

double ClampZoomPercent(double z) {
    return std::clamp(z, 0.0, 300.0);
}

TfrScroll::TfrScroll(PageViewHost& host, QWidget* parent) : QWidget(parent), host_(host) {
    setObjectName("frScroll1");
    PntPanel1 = new TPntPanel(this);
    PntPanel1->setObjectName("PntPanel1");
    annotations_ = makeFrameAnnotations(*this);
    sbVert = new NotifyingScrollBar(Qt::Vertical, this);
    sbVert->setObjectName("sbVert");
    sbHorz = new NotifyingScrollBar(Qt::Horizontal, this);
    sbHorz->setObjectName("sbHorz");
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    grid->addWidget(PntPanel1, 0, 0);
    grid->addWidget(sbVert, 0, 1);
    grid->addWidget(sbHorz, 1, 0);

    PntPanel1->OnDraw = [this](QWidget*, win::HDC dc, int& noDraw) { PntPanel1Draw(dc, noDraw); };
    PntPanel1->OnResize = [this] { postMessage(this, kLayoutPageViewMessage); };
    PntPanel1->OnMouseDown = [this](QMouseEvent* e) { PaintBox1MouseDown(e); };
    PntPanel1->OnMouseMove = [this](QMouseEvent* e) { PaintBox1MouseMove(e); };
    PntPanel1->OnMouseUp = [this](QMouseEvent* e) { PaintBox1MouseUp(e); };
    sbVert->OnScroll = [this](ScrollCode code, int position) { sbVertScroll(code, position); };
    sbHorz->OnScroll = [this](ScrollCode code, int position) { sbHorzScroll(code, position); };
}

TfrScroll::~TfrScroll() = default;

void TfrScroll::Layout() {
    // Qt double-buffers every widget already.
    extentWidth_ = extentHeight_ = 0;
    painted_.reset();
    TVistrel* engine = host_.pageEngine();
    if (engine && PageVisible()) {
        extentWidth_ = extentOf(engine->width());
        extentHeight_ = extentOf(engine->height());
    }
    // Until the posted layout the bars count as disabled but keep their
    // look: between pages of one size they need no repaint.
    barsPending_ = true;
    ScrollToPoint(0, 0);
    postMessage(this, kLayoutPageViewMessage);
    PntPanel1->canvas().pen.setColor(buttonFace());
    PntPanel1->canvas().brush.setColor(buttonFace());
}

void TfrScroll::ScrollToPoint(int x, int y) {
    const auto wanted = [](int v) {
        return v == kKeep ? std::nullopt : std::optional<long long>(v);
    };
    scrollTo(wanted(x), wanted(y));
}

void TfrScroll::scrollTo(std::optional<long long> x, std::optional<long long> y) {
    if (x)
        offsetX_ = axisOffset(*x, extentWidth_, PntPanel1->width(), sbHorz);
    if (y)
        offsetY_ = axisOffset(*y, extentHeight_, PntPanel1->height(), sbVert);
    annotations_->offsetChanged({offsetX_, offsetY_});
}

void TfrScroll::Invalidate() {
    postMessage(this, kLayoutPageViewMessage);
    PntPanel1->repaint();
    painted_.reset();
    if (PntPanel1->isVisible())
        painted_ = drawnView();
}

TfrScroll::DrawnView TfrScroll::drawnView() const {
    return {offsetX_, offsetY_, extentWidth_, extentHeight_, PntPanel1->size(),
            host_.isPageFrozen()};
}

bool TfrScroll::scrolls(const NotifyingScrollBar* bar) const {
    return !barsPending_ && bar->isEnabled();
}

bool TfrScroll::PageVisible() const {
    return PntPanel1->isVisibleTo(const_cast<TfrScroll*>(this));
}

void TfrScroll::SetPageVisible(bool visible) {
    PntPanel1->setVisible(visible);
    sbVert->setEnabled(visible);
    sbHorz->setEnabled(visible);
}

bool TfrScroll::event(QEvent* event) {
    if (postedMessage(event) == kLayoutPageViewMessage) {
        WMLayoutScrollBars();
        return true;
    }
    return QWidget::event(event);
}

void TfrScroll::WMLayoutScrollBars() {
    barsPending_ = false;
    const int width = PntPanel1->width(), height = PntPanel1->height();
    layoutBar(sbHorz, width, extentWidth_);
    if (TVistrel* engine = host_.pageEngine())
        engine->setVisibleRect(width, height);
    layoutBar(sbVert, height, extentHeight_);
    scrollTo(offsetX_, offsetY_);
    showOffsetsOnBars();
    // A paint that came before this layout (the one after a resize) drew
    // from the offsets before it: the page shows where the layout puts it.
    // The paint of an Invalidate that drew this very view needs no second.
    if (painted_ != drawnView())
        PntPanel1->update();
}

void TfrScroll::showOffsetsOnBars() {
    for (auto [bar, offset] : {std::pair{sbHorz, offsetX_}, std::pair{sbVert, offsetY_}}) {
        if (scrolls(bar) && bar->max() >= offset)
            bar->setPosition(offset);
    }
}

void TfrScroll::sbVertScroll(ScrollCode code, int position) {
    if (code == ScrollCode::ThumbPosition || code == ScrollCode::EndScroll)
        return;
    scrollTo(std::nullopt, position);
    PntPanel1->repaint();
}

void TfrScroll::sbHorzScroll(ScrollCode code, int position) {
    if (code == ScrollCode::ThumbPosition || code == ScrollCode::EndScroll)
        return;
    scrollTo(position, std::nullopt);
    PntPanel1->repaint();
}

// Margins round the page in the button-face colour, then the page: drawn
// by the engine from the offset (its result becomes NoDraw, so a drawn page
// gets no frame), or, while a render has the page frozen, filled and
// covered by the snapshot of what the surface showed before (no frame
// either, unless there is no snapshot).
void TfrScroll::PntPanel1Draw(win::HDC dc, int& noDraw) {
    const QColor face = buttonFace();
    win::HBRUSH brush = win::CreateSolidBrush(win::RGB(face.red(), face.green(), face.blue()));
    const long long ox = offsetX_, oy = offsetY_;
    const long long width = PntPanel1->width(), height = PntPanel1->height();
    const long long left = ox < 0 ? -ox : 0;
    const long long top = oy < 0 ? -oy : 0;
    const long long right = extentWidth_ - ox;
    const long long bottom = extentHeight_ - oy;
    if (left > 0 && bottom > 0)
        fillRect(dc, brush, 0, 0, left, bottom);
    if (top > 0 && left < width)
        fillRect(dc, brush, left, 0, width, top);
    if (right < width && top < height)
        fillRect(dc, brush, right, top, width, height);
    if (bottom < height && right > 0)
        fillRect(dc, brush, 0, bottom, right, height);
    if (host_.isPageFrozen()) {
        fillRect(dc, brush, left, top, width, height);
        if (host_.drawPageSnapshot(dc))
            noDraw = 0;
    } else if (TVistrel* engine = host_.pageEngine()) {
        noDraw = engine->draw(dc, toInt(left), toInt(top), toInt(width), toInt(height),
                              toInt(std::max(ox, 0LL)), toInt(std::max(oy, 0LL)));
    }
    win::DeleteObject(brush);
    showOffsetsOnBars();
}

void TfrScroll::PaintBox1MouseDown(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || dragging_)
        return;
    dragging_ = true;
    clickWithoutMove_ = true;
    const QPoint at = event->position().toPoint();
    if (host_.mouseTool() == kZoomInCursor) {
        x0_ = x1_ = at.x();
        y0_ = y1_ = at.y();
        DrawZoomBox();
    } else if (host_.mouseTool() == kOpenHandCursor) {
        const QPoint origin = PntPanel1->mapToGlobal(QPoint(0, 0));
        grabX_ = static_cast<long long>(origin.x()) + event->position().toPoint().x() + offsetX_;
        grabY_ = static_cast<long long>(origin.y()) + event->position().toPoint().y() + offsetY_;
    }
}

void TfrScroll::PaintBox1MouseMove(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (!dragging_) {
        linkCursor_ = host_.isOnLink(pagePointAt(at));
        PntPanel1->setCursor(screenCursor(linkCursor_ ? kFingerCursor : host_.mouseTool()));
        return;
    }
    clickWithoutMove_ = false;
    if (host_.mouseTool() == kOpenHandCursor) {
        // The grabbed page pixel follows the mouse, on the axes that scroll.
        const QPoint screen = event->globalPosition().toPoint();
        std::optional<long long> x, y;
        if (scrolls(sbHorz))
            x = grabX_ - screen.x();
        if (scrolls(sbVert))
            y = grabY_ - screen.y();
        scrollTo(x, y);
        PntPanel1->repaint();
    } else if (host_.mouseTool() == kZoomInCursor) {
        DrawZoomBox();
        x1_ = at.x();
        y1_ = at.y();
        DrawZoomBox();
    }
}

// The rubber band: a dotted frame that inverts what it covers, so drawing
// it a second time erases it.
void TfrScroll::DrawZoomBox() {
    win::RECT box{std::min(x0_, x1_), std::min(y0_, y1_), std::max(x0_, x1_) + 1,
                  std::max(y0_, y1_) + 1};
    PntPanel1->drawDirect([&](win::HDC dc) { win::DrawFocusRect(dc, &box); });
}

void TfrScroll::PaintBox1MouseUp(QMouseEvent* event) {
    if (!dragging_)
        return;
    dragging_ = false;
    const QPoint at = event->position().toPoint();
    if (clickWithoutMove_ && linkCursor_) {
        host_.followLinkAt(pagePointAt(at));
        return;
    }
    if (host_.mouseTool() == kZoomInCursor) {
        DrawZoomBox();
        zoomToBox(at);
    }
}

QPoint TfrScroll::pagePointAt(QPoint at) const {
    return {toInt(static_cast<long long>(at.x()) + offsetX_),
            toInt(static_cast<long long>(at.y()) + offsetY_)};
}

void TfrScroll::zoomToBox(QPoint at) {
    if (at.x() == x0_ || at.y() == y0_)
        return;
    const double factor =
        std::min(std::abs(double(PntPanel1->width()) / (x0_ - at.x())),
                 std::abs(double(PntPanel1->height()) / (y0_ - at.y())));
    if (!(factor > 0))
        return;
    const double z0 = host_.currentZoomPercent();
    const double z = ClampZoomPercent(z0 * factor);
    const QPoint kept = GetOffset();
    host_.recordViewForZoom();
    host_.commitZoom(z);
    if (z != z0 && z0 > 0) {
        const double left = std::min(x0_, at.x()) + double(kept.x());
        const double top = std::min(y0_, at.y()) + double(kept.y());
        ScrollToPoint(toInt(std::llround(z * left / z0)), toInt(std::llround(z * top / z0)));
    } else {
        ScrollToPoint(kept.x(), kept.y());
    }
    Invalidate();
}

void TfrScroll::FitPage(int mode) {
    TVistrel* engine = host_.pageEngine();
    if (!engine)
        return;
    const double w = engine->actualWidth(), h = engine->actualHeight();
    // A degenerate page (or a failed query) has no size to fit.
    if (w <= 0 || h <= 0)
        return;
    const double rw = PntPanel1->width() / w;
    const double rh = PntPanel1->height() / h;
    const double fit = mode == 1 ? rw : mode == 2 ? rh : std::min(rw, rh);
    host_.commitZoom(100 * fit);
    Invalidate();
}

void TfrScroll::FitRect(int x, int y, int width, int height) {
    if (width <= 0 || height <= 0)
        return;
    const double s = std::min(double(PntPanel1->height()) / height,
                              double(PntPanel1->width()) / width);
    host_.commitZoom(s * 100);
    host_.setPendingOffset(toInt(std::llround(x * s)), toInt(std::llround(y * s)));
}

}  // namespace brevant
