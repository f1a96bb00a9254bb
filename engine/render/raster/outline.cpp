#include "engine/render/raster/outline.h"

#include <algorithm>
#include <cstdlib>

namespace vistrel {

namespace {
// Deepest halving of a curve; deeper pieces are taken as flat.
constexpr int kMaxCurveDepth = 16;
// Rows compared at most when two contours are ordered.
constexpr std::int64_t kMaxOrderRows = 256;
// Sub-unit scale of curve halving.
constexpr std::int64_t kSub = 256;
}  // namespace

std::int32_t Outline::Contour::xAt(std::int32_t y) const {
    std::int64_t px = startX, py = startY;
    const bool reversed = orientation < 0 && !stepsInOrder;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const Step& s = steps[reversed ? steps.size() - 1 - i : i];
        if (s.dy > 0 && y >= py && y <= py + s.dy) {
            return clampCoord(px + std::int64_t(s.dx) * (y - py) / s.dy);
        }
        px += s.dx;
        py += s.dy;
    }
    return clampCoord(px);
}

void Outline::Clear() {
    contours_.clear();
    maxX_ = maxY_ = INT32_MIN;
    minX_ = minY_ = INT32_MAX;
}

void Outline::startContour() {
    if (!contours_.empty() && contours_.back()->empty()) {
        Contour& c = *contours_.back();
        c = Contour();
    } else {
        contours_.push_back(std::make_unique<Contour>());
    }
    Contour& c = *contours_.back();
    c.startX = c.currentX = c.firstX = curX_;
    c.startY = c.currentY = c.firstY = curY_;
}

void Outline::addStep(std::int64_t dx64, std::int64_t dy64) {
    if (dx64 == 0 && dy64 == 0)
        return;
    if (contours_.empty())
        startContour();
    std::int32_t dx = clampCoord(dx64), dy = clampCoord(dy64);
    Contour* c = contours_.back().get();
    int dir = dy > 0 ? 1 : dy < 0 ? -1 : c->orientation;
    if (c->orientation != 0 && dir != 0 && dir != c->orientation) {
        startContour();
        c = contours_.back().get();
    }
    if (c->orientation == 0 && dir == -1) {
        // The contour runs upward: keep it stored downward from its top.
        std::swap(c->startX, c->currentX);
        std::swap(c->startY, c->currentY);
        for (Step& s : c->steps)
            s = Step{-s.dx, -s.dy};
    }
    if (dir != 0)
        c->orientation = dir;

    const std::int32_t fromX = curX_;
    curX_ = clampCoord(std::int64_t(curX_) + dx);
    curY_ = clampCoord(std::int64_t(curY_) + dy);
    Step stored{dx, dy};
    if (c->orientation < 0) {
        c->startX = curX_;
        c->startY = curY_;
        stored = Step{-dx, -dy};
    } else {
        c->currentX = curX_;
        c->currentY = curY_;
    }
    if (!c->steps.empty()) {
        Step& last = c->steps.back();
        bool bothFlat = last.dy == 0 && stored.dy == 0;
        bool proportional = std::int64_t(last.dy) * stored.dx == std::int64_t(last.dx) * stored.dy;
        if (bothFlat || proportional) {
            last.dx = clampCoord(std::int64_t(last.dx) + stored.dx);
            last.dy = clampCoord(std::int64_t(last.dy) + stored.dy);
            stored = Step{0, 0};
        }
    }
    if (stored.dx != 0 || stored.dy != 0)
        c->steps.push_back(stored);
    for (std::int32_t x : {fromX, curX_}) {
        c->minX = std::min(c->minX, x);
        c->maxX = std::max(c->maxX, x);
    }
    minX_ = std::min({minX_, fromX, curX_});
    maxX_ = std::max({maxX_, fromX, curX_});
    minY_ = std::min({minY_, std::int32_t(curY_ - dy), curY_});
    maxY_ = std::max({maxY_, std::int32_t(curY_ - dy), curY_});
}

void Outline::lineTo(std::int32_t x, std::int32_t y) {
    addStep(std::int64_t(x) - curX_, std::int64_t(y) - curY_);
}

// Curves are halved in 1/256 units, and each flat piece ends on the
// rounded true position, so truncation in the halving does not drift.
void Outline::curve(std::int64_t d1x, std::int64_t d1y, std::int64_t d2x, std::int64_t d2y,
                    std::int64_t d3x, std::int64_t d3y, int depth) {
    const std::int64_t ux = d1x + d2x + d3x, uy = d1y + d2y + d3y;
    // Cross products of the chord with the outer control deltas.
    auto cross = [](std::int64_t ax, std::int64_t ay, std::int64_t bx, std::int64_t by) {
        __int128 v = (__int128)ax * by - (__int128)ay * bx;
        return v < 0 ? -v : v;
    };
    const __int128 limit = (__int128)tolerance2_ * (kSub * kSub);
    if (depth >= kMaxCurveDepth ||
        (cross(ux, uy, d1x, d1y) < limit && cross(ux, uy, d3x, d3y) < limit)) {
        fx_ += ux;
        fy_ += uy;
        auto toInt = [](std::int64_t f) {
            return f >= 0 ? (f + kSub / 2) / kSub : -((-f + kSub / 2) / kSub);
        };
        addStep(toInt(fx_) - curX_, toInt(fy_) - curY_);
        return;
    }
    const std::int64_t l1x = d1x / 2, l1y = d1y / 2;
    const std::int64_t l2x = (3 * d1x + d2x) / 4, l2y = (3 * d1y + d2y) / 4;
    const std::int64_t l3x = (7 * d1x + 4 * d2x + d3x) / 8, l3y = (7 * d1y + 4 * d2y + d3y) / 8;
    const std::int64_t r1x = (4 * d1x + 3 * d2x + d3x) / 4, r1y = (4 * d1y + 3 * d2y + d3y) / 4;
    const std::int64_t r2x = (2 * d1x + 2 * d2x + d3x) / 2, r2y = (2 * d1y + 2 * d2y + d3y) / 2;
    curve(l1x, l1y, l2x - l1x, l2y - l1y, l3x - l2x, l3y - l2y, depth + 1);
    curve(r1x - l3x, r1y - l3y, r2x - r1x, r2y - r1y, ux - r2x, uy - r2y, depth + 1);
}

void Outline::Build(const Path& path, int tolerance, const double* matrix, int flags) {
    tolerance2_ = std::int64_t(tolerance) * tolerance;
    const std::int64_t offX = (flags & KeepOffset) ? curX_ : 0;
    const std::int64_t offY = (flags & KeepOffset) ? curY_ : 0;
    auto map = [&](const PathPoint& p, std::int32_t& x, std::int32_t& y) {
        double px = double(p.x + offX), py = double(p.y + offY);
        if (matrix) {
            x = roundCoord(matrix[0] * px + matrix[2] * py);
            y = roundCoord(matrix[1] * px + matrix[3] * py);
        } else {
            x = clampCoord(std::int64_t(px));
            y = clampCoord(std::int64_t(py));
        }
    };
    if (!(flags & NoPoints)) {
        const auto& pts = path.points();
        for (std::size_t i = 0; i < pts.size(); ++i) {
            std::int32_t x, y;
            map(pts[i], x, y);
            switch (pts[i].kind) {
                case PathPoint::Move:
                    curX_ = x;
                    curY_ = y;
                    startContour();
                    break;
                case PathPoint::Curve:
                    if (i + 2 < pts.size()) {
                        std::int32_t x2, y2, x3, y3;
                        map(pts[i + 1], x2, y2);
                        map(pts[i + 2], x3, y3);
                        fx_ = std::int64_t(curX_) * kSub;
                        fy_ = std::int64_t(curY_) * kSub;
                        curve((std::int64_t(x) - curX_) * kSub, (std::int64_t(y) - curY_) * kSub,
                              (std::int64_t(x2) - x) * kSub, (std::int64_t(y2) - y) * kSub,
                              (std::int64_t(x3) - x2) * kSub, (std::int64_t(y3) - y2) * kSub, 0);
                        // The last piece ends exactly on the end point.
                        lineTo(x3, y3);
                        i += 2;
                    }
                    break;
                default:
                    lineTo(x, y);
                    if (pts[i].kind == PathPoint::Close)
                        startContour();
                    break;
            }
        }
    }
    if (flags & DropEmptyAndReverse) {
        std::erase_if(contours_, [](const std::unique_ptr<Contour>& c) { return c->empty(); });
        for (auto& c : contours_) {
            if (c->orientation < 0 && !c->stepsInOrder) {
                std::reverse(c->steps.begin(), c->steps.end());
                c->stepsInOrder = true;
            }
        }
    }
    if (flags & OrderContours)
        order();
}

namespace {

// True when b should come before a: at the first compared row of their
// common rows where they differ, a lies right of b.
bool outOfOrder(const Outline::Contour& a, const Outline::Contour& b) {
    std::int64_t top = std::max(a.top(), b.top()), bottom = std::min(a.bottom(), b.bottom());
    if (top > bottom)
        return false;
    std::int64_t rows = bottom - top + 1;
    std::int64_t stride = rows > kMaxOrderRows ? rows / kMaxOrderRows : 1;
    for (std::int64_t y = top; y <= bottom; y += stride) {
        std::int32_t xa = a.xAt(std::int32_t(y)), xb = b.xAt(std::int32_t(y));
        if (xa != xb)
            return xa > xb;
    }
    return false;
}

}  // namespace

void Outline::order() {
    const std::size_t n = contours_.size();
    for (std::size_t pass = 0; pass < 2 * n; ++pass) {
        bool swapped = false;
        for (std::size_t i = 0; i + 1 < n; ++i) {
            if (outOfOrder(*contours_[i], *contours_[i + 1])) {
                std::swap(contours_[i], contours_[i + 1]);
                swapped = true;
            }
        }
        if (!swapped)
            break;
    }
}

}  // namespace vistrel
