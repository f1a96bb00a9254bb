#include "engine/render/raster/shape.h"

#include <algorithm>
#include <cmath>

#include "engine/render/raster/outline.h"
#include "engine/render/raster/output_device.h"

namespace vistrel {

Shape::~Shape() = default;

Path* Shape::lastPath() {
    if (paths_.empty()) {
        std::unique_ptr<Path> p = NewPath();
        if (!p)
            return nullptr;
        paths_.push_back(std::move(p));
    }
    return paths_.back().get();
}

void Shape::MoveTo(IntPoint p) {
    current_ = p;
    std::unique_ptr<Path> path = NewPath();
    if (!path)
        return;
    path->RMoveTo(p.x, p.y);
    paths_.push_back(std::move(path));
}

void Shape::LineTo(IntPoint p) {
    IntPoint d = p - current_;
    if (Path* path = lastPath())
        path->RLineTo(d.x, d.y);
    current_ = p;
}

void Shape::CurveTo(IntPoint p1, IntPoint p2, IntPoint p3) {
    IntPoint d1 = p1 - current_, d2 = p2 - p1, d3 = p3 - p2;
    if (Path* path = lastPath())
        path->RCurveTo(d1.x, d1.y, d2.x, d2.y, d3.x, d3.y);
    current_ = p3;
}

void Shape::ClosePath() {
    if (paths_.empty())
        return;
    paths_.back()->ClosePath();
    if (std::unique_ptr<Path> next = NewPath())
        paths_.push_back(std::move(next));
}

void Shape::AddRectangle(const IntRect& r, const double m[6]) {
    const double xs[4] = {double(r.x), double(r.x) + r.width, double(r.x) + r.width, double(r.x)};
    const double ys[4] = {double(r.y), double(r.y), double(r.y) + r.height, double(r.y) + r.height};
    IntPoint c[4];
    for (int i = 0; i < 4; ++i) {
        c[i] = IntPoint(roundCoord(m[0] * xs[i] + m[2] * ys[i] + m[4]),
                        roundCoord(m[1] * xs[i] + m[3] * ys[i] + m[5]));
    }
    addCorners(c);
}

namespace {

// Device coordinates this close are one.
constexpr double kSameCoord = 1e-9;

bool sameCoord(double p, double q) {
    return std::fabs(p - q) <= kSameCoord;
}

// Two edges of a rectangle across the rows, at a and b exactly and at ra and
// rb rounded: when a side of some length rounds to nothing, the row that
// holds its middle (edges p and p + 1, in the order of a and b).
void coverOneRow(double a, double b, std::int32_t& ra, std::int32_t& rb) {
    const double middle = (a + b) / 2;
    if (ra != rb || !(std::fabs(a - b) > kSameCoord) || !std::isfinite(middle))
        return;
    const std::int32_t p = roundCoord(std::floor(middle));
    const std::int32_t next = clampCoord(std::int64_t(p) + 1);
    ra = a < b ? p : next;
    rb = a < b ? next : p;
}

}  // namespace

void Shape::AddRectangle(double x, double y, double width, double height, const double m[6]) {
    const double xs[4] = {x, x + width, x + width, x};
    const double ys[4] = {y, y, y + height, y + height};
    IntPoint c[4];
    double rows[4];
    for (int i = 0; i < 4; ++i) {
        rows[i] = m[1] * xs[i] + m[3] * ys[i] + m[5];
        c[i] = IntPoint(roundCoord(m[0] * xs[i] + m[2] * ys[i] + m[4]), roundCoord(rows[i]));
    }
    // A filled shape covers the rows from its top edge up to its bottom one,
    // and along a row the pixels of its edges as well: a side along the rows
    // that rounds to nothing still covers a column, one across the rows
    // would cover no row. When the sides lie along the device axes, the side
    // across the rows is the width when corners 0 and 3 (and 1 and 2) share
    // their row, the height when corners 0 and 1 (and 3 and 2) do.
    if (sameCoord(rows[0], rows[3]) && sameCoord(rows[1], rows[2])) {
        coverOneRow(rows[0], rows[1], c[0].y, c[1].y);
        c[3].y = c[0].y;
        c[2].y = c[1].y;
    } else if (sameCoord(rows[0], rows[1]) && sameCoord(rows[3], rows[2])) {
        coverOneRow(rows[0], rows[3], c[0].y, c[3].y);
        c[1].y = c[0].y;
        c[2].y = c[3].y;
    }
    addCorners(c);
}

void Shape::addCorners(const IntPoint (&c)[4]) {
    std::unique_ptr<Path> path = NewPath();
    if (!path)
        return;
    path->setRoundedAsIs(true);
    path->RMoveTo(c[0].x, c[0].y);
    for (int i = 1; i < 4; ++i) {
        IntPoint d = c[i] - c[i - 1];
        path->RLineTo(d.x, d.y);
    }
    path->ClosePath();
    paths_.push_back(std::move(path));
    if (std::unique_ptr<Path> next = NewPath())
        paths_.push_back(std::move(next));
}

void Shape::BoundingBox(IntPoint& min, IntPoint& max) const {
    std::int32_t x0 = INT32_MAX, y0 = INT32_MAX, x1 = INT32_MIN, y1 = INT32_MIN;
    for (const auto& p : paths_) {
        const auto& pts = p->points();
        if (pts.empty() || (pts.size() == 1 && pts[0].kind == PathPoint::Move))
            continue;
        x0 = std::min(x0, p->boxMin().x);
        y0 = std::min(y0, p->boxMin().y);
        x1 = std::max(x1, p->boxMax().x);
        y1 = std::max(y1, p->boxMax().y);
    }
    if (x0 > x1 || y0 > y1) {
        min = max = IntPoint(0, 0);
        return;
    }
    min = IntPoint(x0, y0);
    max = IntPoint(x1, y1);
}

bool Shape::IsRectangle() const {
    if (paths_.empty() || !paths_[0]->IsRectangle())
        return false;
    for (std::size_t i = 1; i < paths_.size(); ++i) {
        const auto& pts = paths_[i]->points();
        if (!(pts.empty() || (pts.size() == 1 && pts[0].kind == PathPoint::Move)))
            return false;
    }
    return true;
}

SpanList* Shape::Edges(int /*mask*/) {
    return nullptr;
}

bool Shape::Paint(IntPoint offset, OutputDevice& device) {
    auto stroke = [&] {
        for (const auto& p : paths_)
            p->Draw(offset, device);
        return true;
    };
    switch (paintMode_) {
        case Fill:
            return FillShape(offset, device);
        case Stroke:
            return stroke();
        case FillStroke:
            return FillShape(offset, device) && stroke();
        default:
            return true;
    }
}

// The plain kind scan-converts an outline flattened with tolerance 5: in
// every row, the crossings of the contours (sorted by x, with the contour's
// direction as winding) bound the filled runs.
bool Shape::FillShape(IntPoint offset, OutputDevice& device) {
    Outline outline;
    for (const auto& p : paths_) {
        outline.setCurrent(0, 0);
        outline.Build(*p, 5, nullptr, Outline::DropEmptyAndReverse);
    }
    if (outline.minY() > outline.maxY())
        return true;
    struct Crossing {
        std::int32_t x;
        int winding;
    };
    std::vector<Crossing> row;
    // Only the rows and columns of the page (and a pixel beyond) are walked,
    // whatever the coordinates of the shape.
    const IntPoint page = device.GetPageSize();
    const std::int64_t yFrom =
        std::max<std::int64_t>(outline.minY(), std::int64_t(offset.y) * -1 - 1);
    const std::int64_t yTo =
        std::min<std::int64_t>(outline.maxY(), std::int64_t(page.y) - offset.y + 1);
    const std::int64_t xLo = std::int64_t(-1) - offset.x, xHi = std::int64_t(page.x) + 1 - offset.x;
    device.BeginSpans();
    for (std::int64_t y64 = yFrom; y64 < yTo; ++y64) {
        const std::int32_t y = std::int32_t(y64);
        row.clear();
        for (const auto& c : outline.contours()) {
            if (c->orientation == 0 || y < c->top() || y >= c->bottom())
                continue;
            row.push_back({c->xAt(y), c->orientation});
        }
        std::sort(row.begin(), row.end(),
                  [](const Crossing& a, const Crossing& b) { return a.x < b.x; });
        int sum = 0;
        for (std::size_t i = 0; i + 1 < row.size(); ++i) {
            sum += row[i].winding;
            bool inside = fillRule_ == 1 ? sum != 0 : (sum & 1) != 0;
            const std::int64_t from = std::max<std::int64_t>(row[i].x, xLo);
            const std::int64_t to = std::min<std::int64_t>(row[i + 1].x, xHi);
            if (inside && to > from) {
                device.MoveTo(offset + IntPoint(std::int32_t(from), y));
                device.HorizontalRun(int(to - from));
            }
        }
    }
    device.EndSpans();
    return true;
}

}  // namespace vistrel
