#include "engine/render/raster/path.h"

#include <algorithm>

#include "engine/render/raster/output_device.h"

namespace vistrel {

namespace {
std::int32_t add(std::int32_t a, std::int32_t b) {
    return clampCoord(std::int64_t(a) + b);
}
}  // namespace

void Path::TransformPoint(std::int32_t& x, std::int32_t& y) const {
    if (!matrix_)
        return;
    const auto& m = *matrix_;
    double px = x, py = y;
    x = roundCoord(m[0] * px + m[2] * py);
    y = roundCoord(m[1] * px + m[3] * py);
}

void Path::append(std::int32_t x, std::int32_t y, std::int32_t kind) {
    TransformPoint(x, y);
    store(x, y, kind);
}

void Path::store(std::int32_t x, std::int32_t y, std::int32_t kind) {
    points_.push_back(PathPoint{x, y, kind});
    maxX_ = std::max(maxX_, x);
    maxY_ = std::max(maxY_, y);
    minX_ = std::min(minX_, x);
    minY_ = std::min(minY_, y);
}

void Path::beginSubpathIfClosed() {
    if (closed_) {
        startX_ = curX_;
        startY_ = curY_;
        closed_ = false;
    }
}

void Path::MoveTo(std::int32_t x, std::int32_t y) {
    curX_ = clampCoord(x);
    curY_ = clampCoord(y);
    append(curX_, curY_, PathPoint::Move);
}

void Path::RMoveTo(std::int32_t dx, std::int32_t dy) {
    if (dx == 0 && dy == 0)
        return;
    curX_ = add(curX_, dx);
    curY_ = add(curY_, dy);
    append(curX_, curY_, PathPoint::Move);
}

void Path::RLineTo(std::int32_t dx, std::int32_t dy) {
    if (dx == 0 && dy == 0)
        return;
    beginSubpathIfClosed();
    curX_ = add(curX_, dx);
    curY_ = add(curY_, dy);
    append(curX_, curY_, PathPoint::Line);
}

void Path::RCurveTo(std::int32_t dx1, std::int32_t dy1, std::int32_t dx2, std::int32_t dy2,
                    std::int32_t dx3, std::int32_t dy3) {
    beginSubpathIfClosed();
    const std::int32_t d[3][2] = {{dx1, dy1}, {dx2, dy2}, {dx3, dy3}};
    for (const auto& step : d) {
        curX_ = add(curX_, step[0]);
        curY_ = add(curY_, step[1]);
        append(curX_, curY_, PathPoint::Curve);
    }
}

int Path::ClosePath() {
    if (!closed_) {
        append(startX_, startY_, PathPoint::Close);
        closed_ = true;
    }
    return 3;
}

void Path::Rectangle(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
    RMoveTo(x, y);
    RLineTo(width, 0);
    RLineTo(0, height);
    RLineTo(clampCoord(-std::int64_t(width)), 0);
    ClosePath();
    rectangle_ = true;
}

void Path::SetSidebearingWidth(std::int32_t sbx, std::int32_t sby, std::int32_t wx,
                               std::int32_t wy) {
    MoveTo(sbx, sby);
    if (advanceX_ == 0 && advanceY_ == 0) {
        originX_ = sbx;
        originY_ = sby;
        advanceX_ = wx;
        advanceY_ = wy;
    }
}

std::int32_t Path::AdvanceWidth() const {
    if (advanceX_ != 0)
        return advanceX_;
    if (points_.empty())
        return 0;
    return clampCoord(std::int64_t(maxX_) - minX_);
}

void Path::AppendPoint(std::int32_t x, std::int32_t y, std::int32_t kind) {
    curX_ = x;
    curY_ = y;
    store(x, y, kind);
}

void Path::SetBox(IntPoint min, IntPoint max) {
    minX_ = min.x;
    minY_ = min.y;
    maxX_ = max.x;
    maxY_ = max.y;
}

void Path::SetAdvance(std::int32_t wx, std::int32_t wy) {
    advanceX_ = wx;
    advanceY_ = wy;
}

namespace {

template <class Map>
bool drawPoints(const std::vector<PathPoint>& pts, bool roundedAsIs, IntPoint offset,
                OutputDevice& device, Map map) {
    const bool figures = device.BeginStroke();
    if (figures && roundedAsIs)
        offset = offset + IntPoint(1, 1);
    device.MoveTo(offset);
    for (std::size_t i = 0; i < pts.size(); ++i) {
        const PathPoint& p = pts[i];
        switch (p.kind) {
            case PathPoint::Move:
                device.MoveTo(offset + map(p));
                break;
            case PathPoint::Curve:
                if (i + 2 < pts.size()) {
                    device.CurveTo(offset + map(p), offset + map(pts[i + 1]),
                                   offset + map(pts[i + 2]));
                    i += 2;
                }
                break;
            default:
                device.LineTo(offset + map(p));
                if (p.kind == PathPoint::Close)
                    device.CloseFigure();
                break;
        }
    }
    if (figures)
        device.EndStroke();
    return true;
}

}  // namespace

bool Path::Draw(IntPoint offset, OutputDevice& device) {
    return drawPoints(points_, roundedAsIs_, offset, device,
                      [](const PathPoint& p) { return IntPoint(p.x, p.y); });
}

bool Path::DrawTransformed(IntPoint offset, OutputDevice& device, const double m[6]) {
    return drawPoints(points_, false, offset, device, [m](const PathPoint& p) {
        double x = p.x * 0.001, y = p.y * 0.001;
        return IntPoint(roundCoord(m[0] * x + m[2] * y + m[4]),
                        roundCoord(m[1] * x + m[3] * y + m[5]));
    });
}

}  // namespace vistrel
