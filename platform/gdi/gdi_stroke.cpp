#include "platform/gdi/gdi_stroke.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace win {
namespace {

struct Vec {
    double x;
    double y;
};

Vec operator+(Vec a, Vec b) {
    return {a.x + b.x, a.y + b.y};
}
Vec operator-(Vec a, Vec b) {
    return {a.x - b.x, a.y - b.y};
}
Vec operator*(Vec a, double k) {
    return {a.x * k, a.y * k};
}
double dot(Vec a, Vec b) {
    return a.x * b.x + a.y * b.y;
}
double cross(Vec a, Vec b) {
    return a.x * b.y - a.y * b.x;
}
double length(Vec a) {
    return std::hypot(a.x, a.y);
}
// The left normal of a unit direction.
Vec normal(Vec u) {
    return {-u.y, u.x};
}

// Points this close are one.
constexpr double kSamePoint = 1e-9;

// The first pixel index whose centre lies at or after v, within [lo, hi].
int firstCentreAtOrAfter(double v, int lo, int hi) {
    const double c = std::ceil(v - 0.5);
    if (!(c > lo))
        return lo;
    if (!(c < hi))
        return hi;
    return int(c);
}

// Paints pieces of an outline as pixel runs of the sink, within the area.
class Painter {
public:
    Painter(int width, int height, const SpanSink& sink)
        : width_(width), height_(height), sink_(sink) {}

    // A convex polygon: the rows whose centre lies in [top, bottom), and in
    // each the pixels whose centre lies in [left, right) of the crossing.
    void convex(const Vec* p, int n) {
        double top = std::numeric_limits<double>::infinity(), bottom = -top;
        for (int i = 0; i < n; ++i) {
            if (!std::isfinite(p[i].x) || !std::isfinite(p[i].y))
                return;
            top = std::min(top, p[i].y);
            bottom = std::max(bottom, p[i].y);
        }
        const int yFrom = firstCentreAtOrAfter(top, 0, height_);
        const int yTo = firstCentreAtOrAfter(bottom, 0, height_);
        for (int y = yFrom; y < yTo; ++y) {
            const double cy = y + 0.5;
            double lo = std::numeric_limits<double>::infinity(), hi = -lo;
            for (int i = 0; i < n; ++i) {
                const Vec a = p[i], b = p[(i + 1) % n];
                if (a.y == b.y || cy < std::min(a.y, b.y) || cy > std::max(a.y, b.y))
                    continue;
                const double x = a.x + (cy - a.y) * (b.x - a.x) / (b.y - a.y);
                lo = std::min(lo, x);
                hi = std::max(hi, x);
            }
            if (lo <= hi)
                span(y, lo, hi);
        }
    }

    // A disc: the pixels whose centre lies within r of c.
    void disc(Vec c, double r) {
        if (!std::isfinite(c.x) || !std::isfinite(c.y) || !(r > 0))
            return;
        const int yFrom = firstCentreAtOrAfter(c.y - r, 0, height_);
        const int yTo = firstCentreAtOrAfter(c.y + r, 0, height_);
        for (int y = yFrom; y < yTo; ++y) {
            const double dy = y + 0.5 - c.y;
            const double h = r * r - dy * dy;
            if (h < 0)
                continue;
            const double s = std::sqrt(h);
            span(y, c.x - s, c.x + s);
        }
    }

private:
    void span(int y, double lo, double hi) {
        const int x0 = firstCentreAtOrAfter(lo, 0, width_);
        const int x1 = firstCentreAtOrAfter(hi, 0, width_);
        if (x0 < x1)
            sink_(y, x0, x1);
    }

    int width_;
    int height_;
    const SpanSink& sink_;
};

// Strokes open or closed polylines (no two neighbouring points equal) with
// the style's width, caps and joins.
class Outliner {
public:
    Outliner(const StrokeStyle& style, Painter& painter)
        : style_(style), painter_(painter), r_(style.width / 2) {}

    double radius() const { return r_; }

    void polyline(const std::vector<Vec>& p, bool closed) {
        const std::size_t n = p.size();
        if (n < 2)
            return;
        const std::size_t segments = closed ? n : n - 1;
        for (std::size_t i = 0; i < segments; ++i) {
            const Vec a = p[i], b = p[(i + 1) % n];
            const bool square = style_.endCap == PS_ENDCAP_SQUARE && !closed;
            body(a, b, square && i == 0, square && i + 1 == segments);
        }
        for (std::size_t i = closed ? 0 : 1; i < (closed ? n : n - 1); ++i)
            joint(p[(i + n - 1) % n], p[i], p[(i + 1) % n]);
        if (!closed && style_.endCap == PS_ENDCAP_ROUND) {
            painter_.disc(p.front(), r_);
            painter_.disc(p.back(), r_);
        }
    }

    // A piece of no length along direction u: the end caps alone.
    void point(Vec p, Vec u) {
        if (style_.endCap == PS_ENDCAP_ROUND) {
            painter_.disc(p, r_);
        } else if (style_.endCap == PS_ENDCAP_SQUARE) {
            body(p, p + u * kSamePoint, true, true);
        }
    }

private:
    // The rectangle along a segment, reaching half the width past an end
    // that has a square cap.
    void body(Vec a, Vec b, bool squareStart, bool squareEnd) {
        const double len = length(b - a);
        if (!(len > 0))
            return;
        const Vec u = (b - a) * (1 / len);
        if (squareStart)
            a = a - u * r_;
        if (squareEnd)
            b = b + u * r_;
        const Vec side = normal(u) * r_;
        const Vec quad[4] = {a + side, b + side, b - side, a - side};
        painter_.convex(quad, 4);
    }

    // The join at v between the segments from `in` and to `out`.
    void joint(Vec in, Vec v, Vec out) {
        const Vec u1 = (v - in) * (1 / length(v - in));
        const Vec u2 = (out - v) * (1 / length(out - v));
        const double turn = cross(u1, u2), along = dot(u1, u2);
        if (std::fabs(turn) < 1e-12 && along > 0)
            return;  // straight on
        if (style_.join == PS_JOIN_ROUND) {
            painter_.disc(v, r_);
            return;
        }
        // The outer side of the turn, where the offset lines part.
        const double s = turn > 0 ? -1 : 1;
        const Vec n1 = normal(u1) * s, n2 = normal(u2) * s;
        const Vec o1 = v + n1 * r_, o2 = v + n2 * r_;
        if (style_.join == PS_JOIN_MITER) {
            // Miter length over width is 1 / sin(phi / 2) for the angle phi
            // between the segments; sin(phi / 2) = sqrt((1 + along) / 2).
            const double half = std::sqrt(std::max(0.0, (1 + along) / 2));
            if (half > 0 && half * style_.miterLimit >= 1) {
                const Vec tip = v + (n1 + n2) * (r_ / (1 + along));
                const Vec quad[4] = {v, o1, tip, o2};
                painter_.convex(quad, 4);
                return;
            }
        }
        const Vec triangle[3] = {v, o1, o2};
        painter_.convex(triangle, 3);
    }

    const StrokeStyle& style_;
    Painter& painter_;
    double r_;
};

// The part [from, to] of a segment's length that lies within the box
// [lo, hi] on both axes (Liang-Barsky); false when none does.
bool visiblePart(Vec a, Vec b, double lo, double hiX, double hiY, double len, double& from,
                 double& to) {
    double t0 = 0, t1 = 1;
    const double d[2] = {b.x - a.x, b.y - a.y};
    const double start[2] = {a.x, a.y};
    const double high[2] = {hiX, hiY};
    for (int k = 0; k < 2; ++k) {
        const double p[2] = {-d[k], d[k]};
        const double q[2] = {start[k] - lo, high[k] - start[k]};
        for (int j = 0; j < 2; ++j) {
            if (p[j] == 0) {
                if (q[j] < 0)
                    return false;
                continue;
            }
            const double t = q[j] / p[j];
            if (p[j] < 0) {
                t0 = std::max(t0, t);
            } else {
                t1 = std::min(t1, t);
            }
        }
    }
    if (t0 > t1)
        return false;
    from = t0 * len;
    to = t1 * len;
    return true;
}

// Walks the dash list along the polyline and strokes each dash as an open
// polyline of its own.
void dashed(const std::vector<Vec>& p, const StrokeStyle& style, Outliner& outliner, int width,
            int height) {
    const std::vector<DWORD>& dashes = style.dashes;
    double period = 0;
    for (DWORD d : dashes)
        period += d;
    // Dashes wholly beyond this margin of the area paint nothing, so whole
    // periods there are passed over at once (after a period the walk is in
    // the same entry with as much of it left).
    const double margin = style.width + 2;
    std::size_t index = 0;
    double left = dashes[0];
    bool on = true;
    std::vector<Vec> piece;
    if (on)
        piece.push_back(p[0]);
    Vec direction{1, 0};
    // A dash ends: its points without repeats, a dot when only one is left.
    const auto paintPiece = [&] {
        std::vector<Vec> kept;
        for (const Vec& q : piece) {
            if (kept.empty() || length(q - kept.back()) > kSamePoint)
                kept.push_back(q);
        }
        if (kept.size() == 1) {
            outliner.point(kept[0], direction);
        } else {
            outliner.polyline(kept, false);
        }
    };
    for (std::size_t i = 0; i + 1 < p.size(); ++i) {
        const Vec a = p[i], b = p[i + 1];
        const double len = length(b - a);
        direction = (b - a) * (1 / len);
        double from = len, to = len;
        if (!visiblePart(a, b, -margin, width + margin, height + margin, len, from, to))
            from = to = len;
        double pos = 0;
        while (pos < len) {
            const double skipTo = pos < from ? from : pos >= to ? len : pos;
            if (skipTo - pos > period)
                pos += std::floor((skipTo - pos) / period) * period;
            const double step = std::min(left, len - pos);
            pos += step;
            left -= step;
            if (left > kSamePoint)
                break;  // the segment ends inside the entry
            const Vec at = a + direction * std::min(pos, len);
            if (on) {
                piece.push_back(at);
                paintPiece();
                piece.clear();
            }
            if (++index >= dashes.size()) {
                index = 0;
                on = true;
            } else {
                on = !on;
            }
            left = dashes[index];
            if (on)
                piece.push_back(at);
        }
        if (on && !piece.empty())
            piece.push_back(b);
    }
    if (on && !piece.empty())
        paintPiece();
}

}  // namespace

void strokeFigure(const std::vector<StrokePoint>& points, bool closed, const StrokeStyle& style,
                  int width, int height, const SpanSink& sink) {
    if (points.empty() || width <= 0 || height <= 0 || !(style.width > 0))
        return;
    std::vector<Vec> p;
    p.reserve(points.size() + 1);
    for (const StrokePoint& q : points) {
        const Vec v{q.x, q.y};
        if (!std::isfinite(v.x) || !std::isfinite(v.y))
            return;
        if (p.empty() || length(v - p.back()) > kSamePoint)
            p.push_back(v);
    }
    if (closed && p.size() > 1 && length(p.back() - p.front()) <= kSamePoint)
        p.pop_back();
    Painter painter(width, height, sink);
    Outliner outliner(style, painter);
    if (p.size() == 1) {
        if (style.endCap == PS_ENDCAP_ROUND)
            painter.disc(p[0], outliner.radius());
        return;
    }
    double period = 0;
    for (DWORD d : style.dashes)
        period += d;
    if (!(period > 0)) {
        outliner.polyline(p, closed);
        return;
    }
    if (closed)
        p.push_back(p.front());
    dashed(p, style, outliner, width, height);
}

}  // namespace win
