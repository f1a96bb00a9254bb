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

bool GdiDevice::SelectStrokePen() {
    if (!penDirty_)
        return true;
    if (!dc_)
        return false;
    // A pen wider than the page covers it already.
    const double widest = 2.0 * std::max(pageSize_.x, pageSize_.y) + 2.0;
    int width = roundCoord(std::min(GetLineWidth(), widest));
    if (width < 1)
        width = 1;
    ReleasePen();
    win::HPEN pen = win::CreatePen(win::PS_SOLID, width, strokeColor_);
    if (!pen)
        return false;
    SelectOwnPen(pen);
    penWidth_ = width;
    penDirty_ = false;
    return true;
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
    resetDash();
    SetCurrentPoint(p);
}

void GdiDevice::MoveBy(IntPoint delta) {
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

// The stencil as a 32-bit bitmap of the ink premultiplied by its coverage
// (255 - the stencil's value), for AlphaBlend; null when it cannot be made.
win::HBITMAP inkSection(ImageView& stencil, std::uint32_t ink) {
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
    const unsigned red = ink & 0xFF, green = (ink >> 8) & 0xFF, blue = (ink >> 16) & 0xFF;
    // The four bytes for each stencil value.
    std::uint8_t table[256][4];
    for (unsigned v = 0; v < 256; ++v) {
        const unsigned alpha = 255u - v;
        table[v][0] = std::uint8_t((blue * alpha + 127) / 255);
        table[v][1] = std::uint8_t((green * alpha + 127) / 255);
        table[v][2] = std::uint8_t((red * alpha + 127) / 255);
        table[v][3] = std::uint8_t(alpha);
    }
    std::uint8_t* out = static_cast<std::uint8_t*>(bits);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* in = stencil.dibRow(y);
        for (int x = 0; x < w; ++x, out += 4)
            std::memcpy(out, table[in[x]], 4);
    }
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
        win::HBITMAP ink = inkSection(image, fillColor_);
        win::HGDIOBJ replaced = ink ? win::SelectObject(mem, ink) : win::HGDIOBJ();
        ok = replaced && win::AlphaBlend(dc_, p.x, p.y, w, h, mem, 0, 0, w, h,
                                         win::BLENDFUNCTION{win::AC_SRC_OVER, 0, 255,
                                                            win::AC_SRC_ALPHA}) != 0;
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
