#include "engine/render/raster/output_device.h"

#include <algorithm>
#include <cstdlib>

#include "engine/render/raster/coverage_bitmap.h"
#include "engine/render/raster/shape.h"

namespace vistrel {

namespace {
ImageFactory gImageFactory = nullptr;

// Lines are walked only this far beyond the page.
constexpr std::int64_t kLineMargin = 4096;
// Deepest halving of the device-independent curve.
constexpr int kMaxCurveDepth = 16;

int sign(std::int64_t v) {
    return v > 0 ? 1 : v < 0 ? -1 : 0;
}
}  // namespace

void setImageFactory(ImageFactory factory) {
    gImageFactory = factory;
}

bool initOutputDevices() {
    return true;
}

// ---- root ------------------------------------------------------------------

std::unique_ptr<DeviceColor> OutputDevice::NewColor() {
    return std::make_unique<DeviceColor>(0xFFFFFF);
}

std::unique_ptr<DrawableBase> OutputDevice::NewImage() {
    return gImageFactory ? gImageFactory() : nullptr;
}

std::unique_ptr<Shape> OutputDevice::NewShape() {
    return std::make_unique<Shape>();
}

std::unique_ptr<CoverageBitmap> OutputDevice::NewCoverageBitmap(int width, int height) {
    auto b = std::make_unique<CoverageBitmap>(width, height);
    if (b && !b->isUsable())
        return nullptr;
    return b;
}

void OutputDevice::SetLineStyle(const LineStyle& style) {
    lineStyle_ = style;
    penDirty_ = true;
}

void OutputDevice::SetDash(const std::vector<std::int32_t>& dashes, int phase) {
    penDirty_ = true;
    std::vector<std::int32_t>& list = lineStyle_.dashes;
    list.clear();
    std::int64_t sum = 0;
    for (std::int32_t d : dashes) {
        if (d < 0)
            return;  // not a pattern: solid
        sum += d;
    }
    if (sum == 0)
        return;
    list = dashes;
    // The normalisation below returns to the same list and state after one
    // pattern length (two for an odd count, whose on/off parity flips), so a
    // phase is first reduced by that period.
    std::int64_t period = (list.size() % 2) ? 2 * sum : sum;
    std::int64_t p = phase > 0 ? phase % period : 0;
    bool on = true;
    while (p >= 1) {
        std::int32_t f = list.front();
        if (p < f) {
            list.front() = f - std::int32_t(p);
            list.push_back(std::int32_t(p));
            break;
        }
        p -= f;
        on = !on;
        list.erase(list.begin());
        list.push_back(f);
    }
    if (!on)
        list.insert(list.begin(), 0);
}

void OutputDevice::SetLineCap(int cap) {
    lineStyle_.cap = cap;
    penDirty_ = true;
}

void OutputDevice::SetLineJoin(int join) {
    lineStyle_.join = join;
    penDirty_ = true;
}

void OutputDevice::SetMiterLimit(double limit) {
    lineStyle_.miterLimit = limit;
    miterDirty_ = true;
}

void OutputDevice::SetLineWidth(double width) {
    lineStyle_.width = width;
    penDirty_ = true;
}

bool OutputDevice::BeginSpans() {
    penDirty_ = true;
    return true;
}

void OutputDevice::EndSpans() {
    penDirty_ = true;
}

bool OutputDevice::VerticalRun(int length) {
    if (length == 0)
        return true;
    IntPoint p = currentPoint_;
    int s = length > 0 ? 1 : -1;
    for (int i = 0; i != length; i += s)
        Plot(IntPoint(p.x, p.y + i));
    SetCurrentPoint(IntPoint(p.x, clampCoord(std::int64_t(p.y) + length)));
    return true;
}

bool OutputDevice::HorizontalRun(int length) {
    if (length == 0)
        return true;
    IntPoint p = currentPoint_;
    int s = length > 0 ? 1 : -1;
    for (int i = 0; i != length; i += s)
        Plot(IntPoint(p.x + i, p.y));
    SetCurrentPoint(IntPoint(clampCoord(std::int64_t(p.x) + length), p.y));
    return true;
}

bool OutputDevice::Line(IntPoint from, IntPoint to) {
    MoveTo(from);
    if (from == to) {
        Plot(from);
    } else {
        LineBy(to - from);
    }
    return true;
}

bool OutputDevice::LineTo(IntPoint p) {
    return LineBy(p - currentPoint_);
}

bool OutputDevice::LineBy(IntPoint delta) {
    SelectStrokePen();
    const IntPoint start = currentPoint_;
    const IntPoint end = start + delta;
    if (delta.x == 0)
        return VerticalRun(end.y - start.y);
    if (delta.y == 0)
        return HorizontalRun(end.x - start.x);

    // A line reaching far beyond the page is cut to the page plus a margin
    // first, so that its length does not decide the time spent on it.
    std::int64_t x0 = start.x, y0 = start.y, x1 = end.x, y1 = end.y;
    const std::int64_t lo = -kLineMargin;
    const std::int64_t hiX = std::int64_t(pageSize_.x) + kLineMargin;
    const std::int64_t hiY = std::int64_t(pageSize_.y) + kLineMargin;
    auto outside = [&](std::int64_t x, std::int64_t y) {
        return x < lo || y < lo || x > hiX || y > hiY;
    };
    if (outside(x0, y0) || outside(x1, y1)) {
        double t0 = 0, t1 = 1;
        const double dx = double(x1 - x0), dy = double(y1 - y0);
        auto cut = [&](double p, double q) {  // keeps p * t <= q
            if (p == 0)
                return q >= 0;
            double r = q / p;
            if (p < 0) {
                t0 = std::max(t0, r);
            } else {
                t1 = std::min(t1, r);
            }
            return t0 <= t1;
        };
        bool visible = cut(-dx, double(x0 - lo)) && cut(dx, double(hiX - x0)) &&
                       cut(-dy, double(y0 - lo)) && cut(dy, double(hiY - y0));
        if (!visible) {
            SetCurrentPoint(end);
            return true;
        }
        IntPoint a(roundCoord(double(x0) + t0 * dx), roundCoord(double(y0) + t0 * dy));
        IntPoint b(roundCoord(double(x0) + t1 * dx), roundCoord(double(y0) + t1 * dy));
        SetCurrentPoint(a);
        bool ok = a == b || LineBy(b - a);
        SetCurrentPoint(end);
        return ok;
    }

    const int sx = sign(delta.x), sy = sign(delta.y);
    const std::int64_t ax = std::llabs(delta.x), ay = std::llabs(delta.y);
    std::int64_t run = 0;
    if (ay > ax) {
        std::int64_t e = 2 * ax - ay;
        for (std::int64_t i = 0; i < ay; ++i) {
            run += sy;
            if (e >= 0) {
                if (run != 0) {
                    if (!VerticalRun(int(run)))
                        return false;
                    OffsetCurrentPoint(IntPoint(sx, 0));
                }
                run = 0;
                e -= 2 * ay;
            }
            e += 2 * ax;
        }
        if (!VerticalRun(int(run)))
            return false;
    } else {
        std::int64_t e = 2 * ay - ax;
        for (std::int64_t i = 0; i < ax; ++i) {
            run += sx;
            if (e >= 0) {
                if (run != 0) {
                    if (!HorizontalRun(int(run)))
                        return false;
                    OffsetCurrentPoint(IntPoint(0, sy));
                }
                run = 0;
                e -= 2 * ax;
            }
            e += 2 * ay;
        }
        if (!HorizontalRun(int(run)))
            return false;
    }
    SetCurrentPoint(end);
    return true;
}

bool OutputDevice::Plot(IntPoint p) {
    return SetPixel(p.x, p.y, StrokeColorValue());
}

bool OutputDevice::Curve(IntPoint p0, IntPoint p1, IntPoint p2, IntPoint p3) {
    SetCurrentPoint(p0);
    return CurveBy(p1 - p0, p2 - p1, p3 - p2);
}

namespace {

// Halves the curve until its control deltas differ by less than 2 pixels.
void halveCurve(OutputDevice& dev, IntPoint d1, IntPoint d2, IntPoint d3, int depth) {
    std::int64_t m =
        std::max({std::llabs(std::int64_t(d1.x) - d2.x), std::llabs(std::int64_t(d1.y) - d2.y),
                  std::llabs(std::int64_t(d3.x) - d2.x), std::llabs(std::int64_t(d3.y) - d2.y)});
    if (m < 2 || depth >= kMaxCurveDepth) {
        dev.LineBy(d1 + d2 + d3);
        return;
    }
    auto at = [](std::int64_t a, std::int64_t b, std::int64_t c, std::int64_t k1, std::int64_t k2,
                 std::int64_t k3,
                 std::int64_t div) { return clampCoord((k1 * a + k2 * b + k3 * c) / div); };
    IntPoint l1(at(d1.x, d2.x, d3.x, 1, 0, 0, 2), at(d1.y, d2.y, d3.y, 1, 0, 0, 2));
    IntPoint l2(at(d1.x, d2.x, d3.x, 3, 1, 0, 4), at(d1.y, d2.y, d3.y, 3, 1, 0, 4));
    IntPoint l3(at(d1.x, d2.x, d3.x, 7, 4, 1, 8), at(d1.y, d2.y, d3.y, 7, 4, 1, 8));
    IntPoint r1(at(d1.x, d2.x, d3.x, 4, 3, 1, 4), at(d1.y, d2.y, d3.y, 4, 3, 1, 4));
    IntPoint r2(at(d1.x, d2.x, d3.x, 2, 2, 1, 2), at(d1.y, d2.y, d3.y, 2, 2, 1, 2));
    IntPoint r3 = d1 + d2 + d3;
    halveCurve(dev, l1, l2 - l1, l3 - l2, depth + 1);
    halveCurve(dev, r1 - l3, r2 - r1, r3 - r2, depth + 1);
}

}  // namespace

bool OutputDevice::CurveBy(IntPoint d1, IntPoint d2, IntPoint d3) {
    halveCurve(*this, d1, d2, d3, 0);
    return true;
}

bool OutputDevice::CurveTo(IntPoint p1, IntPoint p2, IntPoint p3) {
    return CurveBy(p1 - currentPoint_, p2 - p1, p3 - p2);
}

int OutputDevice::RectVisible(int, int, int, int, bool) {
    return 1;
}

// ---- device-context layer ------------------------------------------------

DcDevice::DcDevice() = default;

DcDevice::~DcDevice() {
    // Every saved region is freed (a saved "no clip" entry is a null).
    while (!clipStack_.empty()) {
        if (win::HRGN r = clipStack_.pop())
            win::DeleteObject(r);
    }
    if (dc_) {
        if (penSelected_)
            win::SelectObject(dc_, oldPen_);
        if (brushSelected_)
            win::SelectObject(dc_, oldBrush_);
    }
    if (pen_)
        win::DeleteObject(pen_);
    if (brush_)
        win::DeleteObject(brush_);
}

bool DcDevice::Attach(win::HDC deviceContext, IntPoint pageSize) {
    if (dc_)
        return false;
    dc_ = deviceContext;
    deviceHandle_ = deviceContext.value;
    pageSize_ = pageSize;
    pen_ = nullptr;
    oldPen_ = nullptr;
    brush_ = nullptr;
    oldBrush_ = nullptr;
    penSelected_ = brushSelected_ = false;
    penDirty_ = brushDirty_ = true;
    attached_ = true;
    readCoverageMethod();
    return true;
}

win::HDC DcDevice::Detach() {
    if (!dc_)
        return nullptr;
    attached_ = false;
    deviceHandle_ = 0;
    ReleasePen();
    if (brushSelected_)
        win::SelectObject(dc_, oldBrush_);
    brushSelected_ = false;
    if (brush_)
        win::DeleteObject(brush_);
    brush_ = nullptr;
    win::HDC dc = dc_;
    dc_ = nullptr;
    return dc;
}

std::unique_ptr<CoverageBitmap> DcDevice::NewCoverageBitmap(int width, int height) {
    auto b = std::make_unique<DibCoverageBitmap>(width, height);
    if (b && !b->isUsable())
        return nullptr;
    return b;
}

void DcDevice::ReleasePen() {
    if (penSelected_ && dc_)
        win::SelectObject(dc_, oldPen_);
    penSelected_ = false;
    if (pen_)
        win::DeleteObject(pen_);
    pen_ = nullptr;
}

void DcDevice::SelectOwnPen(win::HPEN pen) {
    pen_ = pen;
    win::HGDIOBJ prev = win::SelectObject(dc_, pen);
    if (!oldPen_)
        oldPen_ = prev;
    penSelected_ = true;
}

bool DcDevice::UpdateBrush() {
    if (!brushDirty_)
        return true;
    if (brushSelected_)
        win::SelectObject(dc_, oldBrush_);
    brushSelected_ = false;
    if (brush_)
        win::DeleteObject(brush_);
    brush_ = win::CreateSolidBrush(fillColor_);
    if (!brush_)
        return false;
    win::HGDIOBJ prev = win::SelectObject(dc_, brush_);
    if (!oldBrush_)
        oldBrush_ = prev;
    brushSelected_ = true;
    brushDirty_ = false;
    return true;
}

bool DcDevice::SelectFillBrush() {
    if (!dc_)
        return false;
    brushDirty_ = true;
    return UpdateBrush();
}

bool DcDevice::SetStrokeColor(const DeviceColor& color) {
    if (!dc_)
        return false;
    penDirty_ = true;
    return color.getValue(strokeColor_);
}

bool DcDevice::SetFillColor(const DeviceColor& color) {
    if (!dc_)
        return false;
    brushDirty_ = true;
    return color.getValue(fillColor_);
}

bool DcDevice::GetStrokeColor(DeviceColor& color) const {
    return color.setValue(strokeColor_);
}

bool DcDevice::GetFillColor(DeviceColor& color) const {
    return color.setValue(fillColor_);
}

bool DcDevice::ClearPage() {
    if (!dc_)
        return false;
    ResetClip();
    if (!UpdateBrush())
        return false;
    win::RECT r{0, 0, pageSize_.x, pageSize_.y};
    return win::FillRect(dc_, &r, brush_) != 0;
}

namespace {
win::RECT toRect(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h) {
    return win::RECT{clampCoord(x), clampCoord(y), clampCoord(x + w), clampCoord(y + h)};
}
}  // namespace

bool DcDevice::FillRect(const IntRect& r) {
    if (!dc_ || !UpdateBrush())
        return false;
    win::RECT rc = toRect(r.x, r.y, r.width, r.height);
    return win::FillRect(dc_, &rc, brush_) != 0;
}

bool DcDevice::GetPixel(IntPoint p, DeviceColor& color) {
    if (!dc_)
        return false;
    win::COLORREF c = win::GetPixel(dc_, p.x, p.y);
    if (c == win::CLR_INVALID)
        return false;
    return color.setValue(c);
}

std::uint32_t DcDevice::GetPixelValue(int x, int y) {
    return win::GetPixel(dc_, x, y);
}

bool DcDevice::InvertRect(IntPoint origin, IntPoint size) {
    if (!dc_)
        return false;
    return win::PatBlt(dc_, origin.x, origin.y, size.x, size.y, win::DSTINVERT) != 0;
}

bool DcDevice::DrawFocusRect(IntPoint origin, IntPoint size) {
    if (!dc_)
        return false;
    win::RECT rc = toRect(origin.x, origin.y, size.x, size.y);
    return win::DrawFocusRect(dc_, &rc) != 0;
}

bool DcDevice::CombineClipRect(IntPoint origin, IntPoint size, int mode) {
    if (!dc_)
        return false;
    if (mode < win::RGN_AND || mode > win::RGN_COPY)
        return false;
    win::RECT rc = toRect(origin.x, origin.y, size.x, size.y);
    win::HRGN rect = win::CreateRectRgn(rc.left, rc.top, rc.right, rc.bottom);
    if (!rect)
        return false;
    bool ok;
    if (mode == win::RGN_COPY) {
        ok = win::SelectClipRgn(dc_, rect) != win::ERROR;
    } else {
        // A context without a clip region counts as the whole page.
        win::HRGN current = win::CreateRectRgn(0, 0, pageSize_.x, pageSize_.y);
        ok = current && win::GetClipRgn(dc_, current) != -1 &&
             win::CombineRgn(current, current, rect, mode) != win::ERROR &&
             win::SelectClipRgn(dc_, current) != win::ERROR;
        if (current)
            win::DeleteObject(current);
    }
    win::DeleteObject(rect);
    return ok;
}

bool DcDevice::IntersectClipRect(const IntRect& r) {
    if (!dc_)
        return false;
    win::RECT rc = toRect(r.x, r.y, r.width, r.height);
    return win::IntersectClipRect(dc_, rc.left, rc.top, rc.right, rc.bottom) != win::ERROR;
}

bool DcDevice::ClipToShape(Shape& shape, int /*rule*/) {
    if (!dc_)
        return false;
    IntPoint mn, mx;
    shape.BoundingBox(mn, mx);
    return IntersectClipRect(IntRect(mn, mx - mn));
}

bool DcDevice::ResetClip() {
    if (!dc_)
        return false;
    return win::SelectClipRgn(dc_, nullptr) != win::ERROR;
}

bool DcDevice::SaveClip() {
    if (!dc_)
        return false;
    win::HRGN r = win::CreateRectRgn(0, 0, 1, 1);
    if (!r)
        return false;
    switch (win::GetClipRgn(dc_, r)) {
        case -1:
            win::DeleteObject(r);
            return false;
        case 0:
            win::DeleteObject(r);
            clipStack_.push(nullptr);
            return true;
        default:
            clipStack_.push(r);
            return true;
    }
}

bool DcDevice::RestoreClip() {
    if (!dc_ || clipStack_.empty())
        return false;
    ResetClip();
    win::HRGN r = clipStack_.pop();
    bool ok = win::SelectClipRgn(dc_, r) != win::ERROR;
    if (r)
        win::DeleteObject(r);
    return ok;
}

}  // namespace vistrel
