#include "engine/render/raster/gdi_device.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "engine/render/raster/coverage_bitmap.h"
#include "engine/render/raster/gdi_shape.h"
#include "engine/render/raster/image_view.h"
#include "engine/render/raster/raster_settings.h"

namespace vistrel {

namespace {

// A dash list that can be walked: no negative length and a positive sum
// (lists set through SetLineStyle are not normalised).
bool dashUsable(const std::vector<std::int32_t>& dashes) {
    std::int64_t sum = 0;
    for (std::int32_t d : dashes) {
        if (d < 0)
            return false;
        sum += d;
    }
    return sum > 0;
}

// The length of [from, to) within [0, size).
std::int64_t overlap(std::int64_t from, std::int64_t to, std::int64_t size) {
    return std::max<std::int64_t>(0, std::min(to, size) - std::max<std::int64_t>(from, 0));
}

}  // namespace

GdiDevice::GdiDevice(win::HDC deviceContext, IntPoint pageSize) {
    dc_ = deviceContext;
    deviceHandle_ = deviceContext.value;
    attached_ = true;
    pageSize_ = pageSize;
    bitsPerPixel_ = win::GetDeviceCaps(deviceContext, win::BITSPIXEL);
    resetDash();
    clipMode_ = readRasterInt(settings::Quality, settings::GDCClipMode, 0);
}

GdiDevice::~GdiDevice() {
    mask_.free();
    ink_.free();
    freeSpanClip(nullptr);
    spanStack_.clear();
}

void GdiDevice::freeSpanClip(SpanList* until) {
    while (spanClip_ && spanClip_ != until) {
        SpanList* next = spanClip_->next();
        delete spanClip_;
        spanClip_ = next;
    }
}

bool GdiDevice::Attach(win::HDC deviceContext, IntPoint pageSize) {
    if (!DcDevice::Attach(deviceContext, pageSize))
        return false;
    bitsPerPixel_ = win::GetDeviceCaps(deviceContext, win::BITSPIXEL);
    resetDash();
    spanDrawing_ = false;
    return true;
}

std::unique_ptr<Shape> GdiDevice::NewShape() {
    return std::make_unique<GdiShape>();
}

std::unique_ptr<CoverageBitmap> GdiDevice::NewCoverageBitmap(int width, int height) {
    return DcDevice::NewCoverageBitmap(width, height);
}

int GdiDevice::penWidth() const {
    // A pen wider than the page covers it already.
    const double widest = 2.0 * std::max(pageSize_.x, pageSize_.y) + 2.0;
    const int width = roundCoord(std::min(GetLineWidth(), widest));
    return std::max(width, 1);
}

win::HPEN GdiDevice::geometricPen(std::uint32_t color) const {
    win::DWORD style = win::PS_GEOMETRIC;
    switch (lineStyle_.cap) {
        case 1:
            style |= win::PS_ENDCAP_ROUND;
            break;
        case 2:
            style |= win::PS_ENDCAP_SQUARE;
            break;
        default:
            style |= win::PS_ENDCAP_FLAT;
            break;
    }
    switch (lineStyle_.join) {
        case 1:
            style |= win::PS_JOIN_ROUND;
            break;
        case 2:
            style |= win::PS_JOIN_BEVEL;
            break;
        default:
            style |= win::PS_JOIN_MITER;
            break;
    }
    std::vector<win::DWORD> dashes;
    if (dashUsable(lineStyle_.dashes)) {
        style |= win::PS_USERSTYLE;
        dashes.assign(lineStyle_.dashes.begin(), lineStyle_.dashes.end());
    }
    const win::LOGBRUSH brush{win::BS_SOLID, color, 0};
    return win::ExtCreatePen(style, win::DWORD(penWidth()), &brush, win::DWORD(dashes.size()),
                             dashes.empty() ? nullptr : dashes.data());
}

namespace {

// The miter limit of a pen: the line style's, or the usual 10 when it is
// below 1 (not set).
float penMiterLimit(double limit) {
    return limit >= 1.0 ? float(std::min(limit, 1e6)) : 10.0f;
}

}  // namespace

bool GdiDevice::SelectStrokePen() {
    // Paths wider than a pixel are stroked with a geometric pen; single
    // lines and one-pixel paths with the plain pen, run by run.
    const bool geometric = stroking_ && penWidth() >= 2;
    if (!penDirty_ && geometric == geometricPen_) {
        if (geometric && miterDirty_ && dc_) {
            win::SetMiterLimit(dc_, penMiterLimit(GetMiterLimit()), nullptr);
            miterDirty_ = false;
        }
        return true;
    }
    if (!dc_)
        return false;
    ReleasePen();
    geometricPen_ = false;
    win::HPEN pen = geometric ? geometricPen(strokeColor_)
                              : win::CreatePen(win::PS_SOLID, penWidth(), strokeColor_);
    if (!pen)
        return false;
    SelectOwnPen(pen);
    if (geometric) {
        win::SetMiterLimit(dc_, penMiterLimit(GetMiterLimit()), nullptr);
        miterDirty_ = false;
    }
    geometricPen_ = geometric;
    penWidth_ = penWidth();
    penDirty_ = false;
    return true;
}

bool GdiDevice::BeginStroke() {
    if (!dc_ || spanDrawing_)
        return false;
    stroking_ = true;
    if (!SelectStrokePen() || !geometricPen_) {
        stroking_ = false;
        return false;
    }
    figure_.clear();
    return true;
}

void GdiDevice::CloseFigure() {
    if (stroking_)
        strokeFigure(true);
}

void GdiDevice::EndStroke() {
    if (!stroking_)
        return;
    strokeFigure(false);
    stroking_ = false;
}

bool GdiDevice::LineBy(IntPoint delta) {
    if (!stroking_)
        return OutputDevice::LineBy(delta);
    const IntPoint end = currentPoint_ + delta;
    if (figure_.empty())
        figure_.push_back(win::POINT{currentPoint_.x, currentPoint_.y});
    figure_.push_back(win::POINT{end.x, end.y});
    SetCurrentPoint(end);
    return true;
}

void GdiDevice::strokeOn(win::HDC dc, IntPoint origin, bool closed) {
    std::vector<win::POINT> shifted(figure_.size());
    for (std::size_t i = 0; i < figure_.size(); ++i) {
        shifted[i] = win::POINT{clampCoord(std::int64_t(figure_[i].x) - origin.x),
                                clampCoord(std::int64_t(figure_[i].y) - origin.y)};
    }
    win::BeginPath(dc);
    win::MoveToEx(dc, shifted[0].x, shifted[0].y, nullptr);
    win::PolylineTo(dc, shifted.data() + 1, win::DWORD(shifted.size() - 1));
    if (closed)
        win::CloseFigure(dc);
    win::EndPath(dc);
    win::StrokePath(dc);
}

void GdiDevice::strokeFigure(bool closed) {
    // A lone move draws nothing. The rows and pixels of the page the
    // figure's outline may cover are charged to the page's work first.
    if (figure_.size() >= 2 && clipState_ != 0 && chargeFigure()) {
        if (clipState_ < 0) {
            strokeOn(dc_, IntPoint(1, 1), closed);
        } else {
            strokeThroughSpanClip(closed);
        }
    }
    figure_.clear();
}

namespace {

// The rows of an 8-bit DIB section are 4-byte aligned.
std::size_t maskStride(int width) {
    return (std::size_t(width) + 3) & ~std::size_t(3);
}

}  // namespace

bool GdiDevice::MemoryDib::make(win::HDC like, const win::BITMAPINFO* info, int w, int h) {
    void* pixels = nullptr;
    bitmap = win::CreateDIBSection(nullptr, info, win::DIB_RGB_COLORS, &pixels, nullptr, 0);
    dc = bitmap && pixels ? win::CreateCompatibleDC(like) : win::HDC();
    if (!dc) {
        free();
        return false;
    }
    old = win::SelectObject(dc, bitmap);
    bits = static_cast<std::uint8_t*>(pixels);
    width = w;
    height = h;
    return true;
}

void GdiDevice::MemoryDib::free() {
    if (dc) {
        win::SelectObject(dc, old);
        win::DeleteDC(dc);
    }
    if (bitmap)
        win::DeleteObject(bitmap);
    dc = nullptr;
    bitmap = nullptr;
    bits = nullptr;
    width = height = 0;
}

bool GdiDevice::maskFor(int w, int h) {
    if (mask_.bitmap && w <= mask_.width && h <= mask_.height)
        return true;
    mask_.free();
    const int mw = std::max(w, mask_.width), mh = std::max(h, mask_.height);
    struct {
        win::BITMAPINFOHEADER header;
        win::RGBQUAD colors[2];
    } info{};
    info.header = {sizeof(win::BITMAPINFOHEADER), mw, -mh, 1, 8, win::BI_RGB, 0, 0, 0, 2, 0};
    info.colors[0] = {0, 0, 0, 0};  // ink
    info.colors[1] = {255, 255, 255, 0};
    if (!mask_.make(dc_, reinterpret_cast<const win::BITMAPINFO*>(&info), mw, mh))
        return false;
    std::memset(mask_.bits, 1, maskStride(mw) * std::size_t(mh));
    return true;
}

bool GdiDevice::inkFor(int w, int h) {
    if (ink_.bitmap && w <= ink_.width && h <= ink_.height)
        return true;
    // Made for the glyph sizes of text at once, grown by half at least.
    const int iw = std::max({w, ink_.width + ink_.width / 2, 64});
    const int ih = std::max({h, ink_.height + ink_.height / 2, 64});
    ink_.free();
    win::BITMAPINFO info{};
    info.bmiHeader = {sizeof(win::BITMAPINFOHEADER), iw, -ih, 1, 32, win::BI_RGB, 0, 0, 0, 0, 0};
    return ink_.make(dc_, &info, iw, ih);
}

std::int64_t GdiDevice::figureReach() const {
    // The outline reaches at most half the width past the points (square
    // caps 1.5 times that), or the miter limit times that at a miter join.
    const double miter = lineStyle_.join == 1 || lineStyle_.join == 2
                             ? 1.5
                             : std::max<double>(penMiterLimit(GetMiterLimit()), 1.5);
    const double reach = penWidth() / 2.0 * miter + 2;
    return std::int64_t(std::min(reach, 1e12));
}

void GdiDevice::figureBox(std::int64_t& x0, std::int64_t& y0, std::int64_t& x1,
                          std::int64_t& y1) const {
    x0 = y0 = INT64_MAX;
    x1 = y1 = INT64_MIN;
    for (const win::POINT& p : figure_) {
        x0 = std::min<std::int64_t>(x0, p.x);
        y0 = std::min<std::int64_t>(y0, p.y);
        x1 = std::max<std::int64_t>(x1, p.x);
        y1 = std::max<std::int64_t>(y1, p.y);
    }
}

bool GdiDevice::chargeFigure() {
    std::int64_t x0, y0, x1, y1;
    figureBox(x0, y0, x1, y1);
    const std::int64_t r = figureReach();
    const std::int64_t rows = overlap(y0 - r, y1 + r + 1, pageSize_.y);
    return chargeWork(WorkMeter::paintWork(
        std::uint64_t(rows), std::uint64_t(rows * overlap(x0 - r, x1 + r + 1, pageSize_.x))));
}

void GdiDevice::strokeThroughSpanClip(bool closed) {
    // Only the part of the page the clip may show is drawn, whatever the
    // outline's reach.
    std::int64_t x0, y0, x1, y1;
    figureBox(x0, y0, x1, y1);
    const std::int64_t r = figureReach();
    x0 = std::max<std::int64_t>({x0 - r, 0, spanClip_->minX()});
    y0 = std::max<std::int64_t>({y0 - r, 0, spanClip_->minY()});
    x1 = std::min<std::int64_t>({x1 + r + 1, pageSize_.x, std::int64_t(spanClip_->maxX()) + 1});
    y1 = std::min<std::int64_t>({y1 + r + 1, pageSize_.y, std::int64_t(spanClip_->maxY()) + 1});
    if (x0 >= x1 || y0 >= y1)
        return;
    // The mask is kept from figure to figure, blank (1) where no figure
    // draws; a figure is drawn within its top left w x h pixels, its ink
    // (0) found a row at a time and blanked again as it is read.
    const int w = int(x1 - x0), h = int(y1 - y0);
    if (!maskFor(w, h))
        return;
    win::HPEN ink = geometricPen(0);
    win::HPEN runs = ink ? win::CreatePen(win::PS_SOLID, 1, strokeColor_) : win::HPEN();
    if (runs) {
        win::IntersectClipRect(mask_.dc, 0, 0, w, h);
        const win::HGDIOBJ oldInk = win::SelectObject(mask_.dc, ink);
        win::SetMiterLimit(mask_.dc, penMiterLimit(GetMiterLimit()), nullptr);
        strokeOn(mask_.dc, IntPoint(std::int32_t(x0) + 1, std::int32_t(y0) + 1), closed);
        win::SelectObject(mask_.dc, oldInk);
        win::SelectClipRgn(mask_.dc, nullptr);
        const std::size_t stride = maskStride(mask_.width);
        std::uint8_t* row = mask_.bits;
        const win::HGDIOBJ stroke = win::SelectObject(dc_, runs);
        for (int y = 0; y < h; ++y, row += stride) {
            std::uint8_t* const end = row + w;
            std::uint8_t* p = row;
            while (void* found = std::memchr(p, 0, std::size_t(end - p))) {
                std::uint8_t* const start = static_cast<std::uint8_t*>(found);
                p = start;
                while (p < end && *p == 0)
                    ++p;
                clippedPiece(IntPoint(std::int32_t(x0 + (start - row)), std::int32_t(y0 + y)),
                             std::int32_t(p - start), true);
                std::memset(start, 1, std::size_t(p - start));
            }
        }
        win::SelectObject(dc_, stroke);
    }
    if (runs)
        win::DeleteObject(runs);
    if (ink)
        win::DeleteObject(ink);
}

bool GdiDevice::BeginSpans() {
    if (!dc_)
        return false;
    ReleasePen();
    win::HPEN pen = win::CreatePen(win::PS_SOLID, 1, fillColor_);
    if (!pen)
        return false;
    SelectOwnPen(pen);
    penWidth_ = 1;
    resetDash();
    spanDrawing_ = true;
    penDirty_ = true;
    return true;
}

void GdiDevice::EndSpans() {
    if (!dc_)
        return;
    spanDrawing_ = false;
    penDirty_ = true;
}

bool GdiDevice::ClearPage() {
    resetDash();
    spanDrawing_ = false;
    return DcDevice::ClearPage();
}

void GdiDevice::MoveTo(IntPoint p) {
    if (stroking_)
        strokeFigure(false);
    resetDash();
    SetCurrentPoint(p);
}

void GdiDevice::MoveBy(IntPoint delta) {
    if (stroking_)
        strokeFigure(false);
    resetDash();
    OffsetCurrentPoint(delta);
}

void GdiDevice::SetCurrentPoint(IntPoint p) {
    if (dc_)
        currentPoint_ = p;
}

void GdiDevice::OffsetCurrentPoint(IntPoint delta) {
    if (dc_)
        currentPoint_ = currentPoint_ + delta;
}

bool GdiDevice::FillRect(const IntRect& r) {
    if (!dc_ || !UpdateBrush())
        return false;
    if (clipState_ == 0)
        return false;
    if (clipState_ < 0) {
        win::RECT rc{r.x, r.y, clampCoord(std::int64_t(r.x) + r.width),
                     clampCoord(std::int64_t(r.y) + r.height)};
        const std::int64_t rows = overlap(rc.top, rc.bottom, pageSize_.y);
        if (!chargeWork(WorkMeter::paintWork(
                std::uint64_t(rows),
                std::uint64_t(rows * overlap(rc.left, rc.right, pageSize_.x)))))
            return true;
        return win::FillRect(dc_, &rc, brush_) != 0;
    }
    BeginSpans();
    // Rows outside the clip's box have no spans; only the others are walked.
    std::int64_t first = std::max<std::int64_t>(r.y, spanClip_->minY());
    std::int64_t last = std::min<std::int64_t>(std::int64_t(r.y) + r.height - 1, spanClip_->maxY());
    for (std::int64_t y = first; y <= last; ++y) {
        MoveTo(IntPoint(r.x, std::int32_t(y)));
        HorizontalRun(r.width);
    }
    SetCurrentPoint(IntPoint(r.x, clampCoord(std::int64_t(r.y) + std::max(r.height, 0))));
    EndSpans();
    return true;
}

void GdiDevice::polyline(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
    const win::POINT pts[2] = {{x0, y0}, {x1, y1}};
    win::Polyline(dc_, pts, 2);
}

void GdiDevice::clippedPiece(IntPoint p, std::int64_t len, bool horizontal) {
    if (clipState_ == 0 || len == 0)
        return;
    // The pen covers the piece and half its width around it; what of that
    // lies on the page is charged.
    const std::int64_t along = horizontal ? p.x : p.y, across = horizontal ? p.y : p.x;
    const std::int64_t half = penWidth_ / 2;
    const std::int64_t pixels =
        overlap(std::min(along, along + len) - half, std::max(along, along + len) + half,
                horizontal ? pageSize_.x : pageSize_.y) *
        overlap(across - half, across - half + penWidth_, horizontal ? pageSize_.y : pageSize_.x);
    if (!chargeWork(WorkMeter::paintWork(1, std::uint64_t(pixels))))
        return;
    if (clipState_ < 0) {
        if (horizontal) {
            polyline(p.x, p.y, clampCoord(p.x + len), p.y);
        } else {
            polyline(p.x, p.y, p.x, clampCoord(p.y + len));
        }
        return;
    }
    const std::int64_t origin = horizontal ? p.x : p.y;
    const std::int64_t a = len > 0 ? origin : origin + len;
    const std::int64_t b = len > 0 ? origin + len : origin;
    if (horizontal) {
        const std::vector<std::int32_t>* row = spanClip_->SpanRow(p.y);
        if (!row)
            return;
        // First span that ends after a.
        std::size_t i = std::size_t(std::upper_bound(row->begin(), row->end(), a) - row->begin()) &
                        ~std::size_t(1);
        for (; i + 1 < row->size() && (*row)[i] < b; i += 2) {
            const std::int64_t lo = std::max<std::int64_t>(a, (*row)[i]);
            const std::int64_t hi = std::min<std::int64_t>(b, (*row)[i + 1]);
            if (lo < hi)
                polyline(std::int32_t(lo), p.y, std::int32_t(hi), p.y);
        }
        return;
    }
    // Vertical: pixel by pixel against every clip of the chain; each visible
    // stretch is one line. Only the rows of the newest clip can be visible.
    const std::int64_t from = std::max<std::int64_t>(a, spanClip_->minY());
    const std::int64_t to = std::min<std::int64_t>(b, std::int64_t(spanClip_->maxY()) + 1);
    std::int64_t start = -1;
    for (std::int64_t y = from; y < to; ++y) {
        bool visible = PointVisible(p.x, std::int32_t(y));
        if (visible && start < 0)
            start = y;
        if (!visible && start >= 0) {
            polyline(p.x, std::int32_t(start), p.x, std::int32_t(y));
            start = -1;
        }
    }
    if (start >= 0)
        polyline(p.x, std::int32_t(start), p.x, std::int32_t(to));
}

// Walks n pixels of the dash list from the current dash state; each "on"
// piece is drawn from p when draw is set. A walk that starts at the head of
// the list (index 0, nothing consumed, on) and goes on past its end comes
// back to the head, so whole periods are skipped at once when not drawing.
void GdiDevice::walkDash(IntPoint& p, std::int64_t n, int s, bool horizontal, bool draw) {
    const std::vector<std::int32_t>& dashes = lineStyle_.dashes;
    if (dashIndex_ >= int(dashes.size()))
        resetDash();
    std::int64_t period = 0;
    if (!draw) {
        for (std::int32_t d : dashes)
            period += d;
    }
    auto advance = [&](std::int64_t k) {
        p = horizontal ? IntPoint(clampCoord(std::int64_t(p.x) + s * k), p.y)
                       : IntPoint(p.x, clampCoord(std::int64_t(p.y) + s * k));
    };
    while (n > 0) {
        if (!draw && dashIndex_ == 0 && dashRemainder_ == 0 && n > period) {
            const std::int64_t skipped = n - ((n - 1) % period + 1);
            advance(skipped);
            n -= skipped;
        }
        const std::int64_t entry = dashRemainder_ > 0 ? dashRemainder_ : dashes[dashIndex_];
        const bool wasOn = dashOn_;
        std::int64_t piece;
        if (n < entry) {
            dashRemainder_ = int(entry - n);
            piece = n;
            n = 0;
        } else {
            piece = entry;
            n -= entry;
            dashRemainder_ = 0;
            if (++dashIndex_ >= int(dashes.size())) {
                dashIndex_ = 0;
                dashOn_ = true;  // every wrap starts "on"
            } else {
                dashOn_ = !dashOn_;
            }
        }
        if (draw && wasOn && piece > 0)
            clippedPiece(p, s * piece, horizontal);
        advance(piece);
    }
}

bool GdiDevice::run(int length, bool horizontal) {
    const IntPoint start = currentPoint_;
    const IntPoint end = horizontal ? IntPoint(clampCoord(std::int64_t(start.x) + length), start.y)
                                    : IntPoint(start.x, clampCoord(std::int64_t(start.y) + length));
    if (spanDrawing_ || !dashUsable(lineStyle_.dashes)) {
        clippedPiece(start, length, horizontal);
    } else {
        // Only the pixels near the page are drawn; the dash state is carried
        // through the rest without walking it pixel by pixel, so the time
        // does not depend on the length of the run. The margin exceeds the
        // reach of the widest pen.
        const std::int64_t margin = 2 * std::int64_t(std::max(pageSize_.x, pageSize_.y)) + 4096;
        const std::int64_t along = horizontal ? start.x : start.y;
        const std::int64_t across = horizontal ? start.y : start.x;
        const std::int64_t alongSize = horizontal ? pageSize_.x : pageSize_.y;
        const std::int64_t acrossSize = horizontal ? pageSize_.y : pageSize_.x;
        const std::int64_t n = std::llabs(std::int64_t(length));
        const int s = length > 0 ? 1 : -1;
        // Pixels k = 0 .. n - 1 lie at along + s k; those within
        // [-margin, size + margin] are drawn.
        std::int64_t first = 0, last = -1;
        if (across >= -margin && across <= acrossSize + margin) {
            const std::int64_t lo = -margin, hi = alongSize + margin;
            if (s > 0) {
                first = std::max<std::int64_t>(0, lo - along);
                last = std::min<std::int64_t>(n - 1, hi - along);
            } else {
                first = std::max<std::int64_t>(0, along - hi);
                last = std::min<std::int64_t>(n - 1, along - lo);
            }
        }
        IntPoint p = start;
        if (first > last) {
            walkDash(p, n, s, horizontal, false);
        } else {
            walkDash(p, first, s, horizontal, false);
            walkDash(p, last - first + 1, s, horizontal, true);
            walkDash(p, n - 1 - last, s, horizontal, false);
        }
    }
    SetCurrentPoint(end);
    return true;
}

bool GdiDevice::HorizontalRun(int length) {
    return run(length, true);
}

bool GdiDevice::VerticalRun(int length) {
    return run(length, false);
}

bool GdiDevice::SetPixel(int x, int y, std::uint32_t color) {
    if (clipState_ == 0)
        return false;
    // Under a span clip only pixels strictly inside the newest clip count,
    // and only when every older clip of the chain covers them too.
    if (clipState_ > 0) {
        if (spanClip_->Classify(x, y) != SpanList::Interior)
            return false;
        for (SpanList* s = spanClip_->next(); s; s = s->next()) {
            if (!s->Covers(x, y))
                return false;
        }
    }
    return win::SetPixel(dc_, x, y, color) != win::CLR_INVALID;
}

bool GdiDevice::CurveBy(IntPoint d1, IntPoint d2, IntPoint d3) {
    const IntPoint P = currentPoint_;
    std::int64_t n = (std::llabs(std::int64_t(d1.x)) + std::llabs(std::int64_t(d1.y)) +
                      std::llabs(std::int64_t(d2.x)) + std::llabs(std::int64_t(d2.y)) +
                      std::llabs(std::int64_t(d3.x)) + std::llabs(std::int64_t(d3.y))) /
                     15;
    n = std::clamp<std::int64_t>(n, 3, 32);
    const std::int64_t N = n * n * n;
    const std::int64_t ax = std::int64_t(d1.x) - 2 * std::int64_t(d2.x) + d3.x;
    const std::int64_t ay = std::int64_t(d1.y) - 2 * std::int64_t(d2.y) + d3.y;
    const std::int64_t bx = 3 * n * (std::int64_t(d2.x) - d1.x),
                       by = 3 * n * (std::int64_t(d2.y) - d1.y);
    const std::int64_t cx = 3 * n * n * d1.x, cy = 3 * n * n * d1.y;
    for (std::int64_t i = 1; i < n; ++i) {
        const std::int64_t x = (((ax * i + bx) * i + cx) * i + N / 2) / N;
        const std::int64_t y = (((ay * i + by) * i + cy) * i + N / 2) / N;
        LineTo(IntPoint(clampCoord(P.x + x), clampCoord(P.y + y)));
    }
    LineTo(P + d1 + d2 + d3);
    return true;
}

int GdiDevice::RectVisible(int x0, int y0, int x1, int y1, bool quick) {
    if (clipState_ < 0)
        return 1;
    if (clipState_ == 0)
        return -1;
    if (x0 > x1)
        std::swap(x0, x1);
    if (y0 > y1)
        std::swap(y0, y1);
    SpanList& s = *spanClip_;
    if (x1 < s.minX() || x0 > s.maxX() || y1 < s.minY() || y0 > s.maxY())
        return -1;
    if (quick)
        return 0;
    int first = -1;  // state of the first row: 0 outside, 1 inside
    auto see = [&](bool inside) {
        if (first < 0)
            first = inside;
        return first == int(inside);
    };
    // Rows beyond the box have no spans: they are outside.
    if (y0 < s.minY() && !see(false))
        return 0;
    const std::int32_t from = std::max(y0, s.minY()), to = std::min(y1, s.maxY());
    for (std::int32_t y = from; y <= to; ++y) {
        const std::vector<std::int32_t>* row = s.SpanRow(y);
        bool inside = false;
        if (row) {
            std::size_t count =
                std::size_t(std::upper_bound(row->begin(), row->end(), x0) - row->begin());
            inside = count % 2 == 1;
            if (count < row->size() && (*row)[count] <= x1)
                return 0;
        }
        if (!see(inside))
            return 0;
        if (y == INT32_MAX)
            break;
    }
    if (y1 > s.maxY() && !see(false))
        return 0;
    return first == 1 ? 1 : -1;
}

bool GdiDevice::PointVisible(int x, int y) {
    if (clipState_ < 0)
        return true;
    if (clipState_ == 0)
        return false;
    for (SpanList* s = spanClip_; s; s = s->next()) {
        if (!s->Covers(x, y))
            return false;
    }
    return true;
}

bool GdiDevice::ClipToShape(Shape& shape, int rule) {
    if (!dc_)
        return false;
    const int optim = readRasterInt(settings::Quality, settings::GDCOptimMode, 0);
    if (clipMode_ != 0 && optim != 0 && !shape.IsRectangle()) {
        clipState_ = 1;
        std::unique_ptr<SpanList> list;
        auto* gdiShape = dynamic_cast<GdiShape*>(&shape);
        if (gdiShape && gdiShape->hasSpanList()) {
            list.reset(gdiShape->takeSpanList());
        } else {
            list = GdiShape::buildSpanList(shape, rule, 3);
            if (!list) {
                clipState_ = spanClip_ ? (spanClip_->empty() ? 0 : 1) : -1;
                return false;
            }
        }
        if (!list->Limit(IntPoint(0, 0), pageSize_))
            clipState_ = 0;
        // Its rows were scan-converted.
        if (!list->empty())
            chargeWork(WorkMeter::kClipRowWork *
                       std::uint64_t(std::int64_t(list->maxY()) - list->minY() + 1));
        // A clip that covers exactly what the newest one covers changes
        // nothing (a form drawing a form with the same box): it is not laid
        // over it, and the state stays what the newest one gives.
        if (spanClip_ && list->sameCoverage(*spanClip_))
            return true;
        list->setNext(spanClip_);
        spanClip_ = list.release();
        return true;
    }
    IntPoint mn, mx;
    shape.BoundingBox(mn, mx);
    return DcDevice::IntersectClipRect(IntRect(mn, mx - mn));
}

bool GdiDevice::ResetClip() {
    if (!dc_)
        return false;
    return win::SelectClipRgn(dc_, nullptr) != win::ERROR;
}

bool GdiDevice::SaveClip() {
    if (!DcDevice::SaveClip())
        return false;
    if (clipState_ != -1)
        spanStack_.push(spanClip_);
    return true;
}

bool GdiDevice::RestoreClip() {
    if (!dc_ || clipStack_.empty())
        return false;
    ResetClip();
    win::HRGN r = clipStack_.pop();
    const bool ok = win::SelectClipRgn(dc_, r) != win::ERROR;
    if (r)
        win::DeleteObject(r);
    if (clipState_ != -1) {
        SpanList* target = spanStack_.pop();
        freeSpanClip(target);
        clipState_ = !spanClip_ ? -1 : spanClip_->empty() ? 0 : 1;
    }
    return ok;
}

namespace {

// The stencil's pixels as 32-bit ones of the ink premultiplied by its
// coverage (255 - the stencil's value), for AlphaBlend, into rows `stride`
// bytes apart.
void writeInk(ImageView& stencil, GdiDevice::InkTable& kept, std::uint32_t ink, std::uint8_t* out,
              std::size_t stride) {
    if (!kept.made || kept.ink != ink) {
        const unsigned red = ink & 0xFF, green = (ink >> 8) & 0xFF, blue = (ink >> 16) & 0xFF;
        for (unsigned v = 0; v < 256; ++v) {
            const unsigned alpha = 255u - v;
            kept.bytes[v][0] = std::uint8_t((blue * alpha + 127) / 255);
            kept.bytes[v][1] = std::uint8_t((green * alpha + 127) / 255);
            kept.bytes[v][2] = std::uint8_t((red * alpha + 127) / 255);
            kept.bytes[v][3] = std::uint8_t(alpha);
        }
        kept.ink = ink;
        kept.made = true;
    }
    const int w = stencil.dibWidth(), h = stencil.dibHeight();
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* in = stencil.dibRow(y);
        std::uint8_t* row = out + std::size_t(y) * stride;
        for (int x = 0; x < w; ++x)
            std::memcpy(row + std::size_t(x) * 4, kept.bytes[in[x]], 4);
    }
}

// The stencil as a 32-bit bitmap of its own for writeInk; null when it
// cannot be made.
win::HBITMAP inkSection(ImageView& stencil, GdiDevice::InkTable& kept, std::uint32_t ink) {
    const int w = stencil.dibWidth(), h = stencil.dibHeight();
    win::BITMAPINFO info{};
    info.bmiHeader = {sizeof(win::BITMAPINFOHEADER), w, -h, 1, 32, win::BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    win::HBITMAP section =
        win::CreateDIBSection(nullptr, &info, win::DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!section)
        return nullptr;
    if (!bits) {
        win::DeleteObject(section);
        return nullptr;
    }
    writeInk(stencil, kept, ink, static_cast<std::uint8_t*>(bits), std::size_t(w) * 4);
    return section;
}

}  // namespace

bool GdiDevice::BlitImage(ImageView& image, IntPoint p) {
    if (!dc_)
        return false;
    win::DWORD rop = win::SRCCOPY;
    const int w = image.dibWidth(), h = image.dibHeight();
    // A stencil blends the fill colour over the page where it covers it.
    const bool stencil = image.stencil() && image.bytesPerPixel() == 1;
    if (clipState_ == 0)
        return true;
    if (!chargeWork(WorkMeter::kImagePixelWork * std::uint64_t(std::max(w, 0)) *
                    std::uint64_t(std::max(h, 0))))
        return true;
    if (clipState_ > 0) {
        const int visible = RectVisible(p.x, p.y, clampCoord(std::int64_t(p.x) + w),
                                        clampCoord(std::int64_t(p.y) + h), true);
        if (visible < 0)
            return true;
        if (visible == 0) {
            // Hidden pixels are zeroed in the image (a stencil's are set to
            // leave the page); when some remain visible, the visible area is
            // first painted black and the image ORed onto it.
            const int bpp = image.bytesPerPixel() > 1 ? 3 : 1;
            const int step = image.bytesPerPixel() > 1 ? image.bytesPerPixel() : 1;
            const std::uint8_t hiddenValue = stencil ? 0xFF : 0;
            std::int64_t hidden = 0;
            for (int y = 0; y < h; ++y) {
                std::uint8_t* row = image.dibRow(y);
                for (int x = 0; x < w; ++x) {
                    if (!PointVisible(clampCoord(std::int64_t(p.x) + x),
                                      clampCoord(std::int64_t(p.y) + y))) {
                        std::fill_n(row + std::size_t(x) * step, bpp, hiddenValue);
                        ++hidden;
                    }
                }
            }
            if (hidden == std::int64_t(w) * h)
                return true;
            if (hidden > 0 && !stencil) {
                std::unique_ptr<DeviceColor> saved = NewColor();
                std::unique_ptr<DeviceColor> black = NewColor();
                if (!saved || !black)
                    return false;
                GetFillColor(*saved);
                black->setValue(0);
                SetFillColor(*black);
                BeginSpans();
                for (int y = 0; y < h; ++y) {
                    MoveTo(IntPoint(p.x, clampCoord(std::int64_t(p.y) + y)));
                    HorizontalRun(w);
                }
                EndSpans();
                SetFillColor(*saved);
                rop = win::SRCPAINT;
            }
        }
    }
    const win::BLENDFUNCTION blend{win::AC_SRC_OVER, 0, 255, win::AC_SRC_ALPHA};
    // A small stencil (a glyph of a bitmap font) is inked in the bitmap the
    // device keeps for that, not in one made for it.
    if (stencil && w <= kKeptInkSide && h <= kKeptInkSide && inkFor(w, h)) {
        writeInk(image, inkTable_, fillColor_, ink_.bits, std::size_t(ink_.width) * 4);
        return win::AlphaBlend(dc_, p.x, p.y, w, h, ink_.dc, 0, 0, w, h, blend) != 0;
    }
    win::HDC mem = win::CreateCompatibleDC(dc_);
    if (!mem)
        return false;
    win::HGDIOBJ old = win::SelectObject(mem, image.dibSection());
    if (!old) {
        win::DeleteDC(mem);
        return false;
    }
    bool ok;
    if (stencil) {
        // The fill colour blended over the page by the stencil's coverage.
        win::HBITMAP ink = inkSection(image, inkTable_, fillColor_);
        win::HGDIOBJ replaced = ink ? win::SelectObject(mem, ink) : win::HGDIOBJ();
        ok = replaced && win::AlphaBlend(dc_, p.x, p.y, w, h, mem, 0, 0, w, h, blend) != 0;
        if (replaced)
            win::SelectObject(mem, replaced);
        if (ink)
            win::DeleteObject(ink);
    } else {
        ok = win::BitBlt(dc_, p.x, p.y, w, h, mem, 0, 0, rop) != 0;
    }
    win::SelectObject(mem, old);
    win::DeleteDC(mem);
    return ok;
}

}  // namespace vistrel
