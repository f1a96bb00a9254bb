#include "engine/render/raster/span_list.h"

#include <algorithm>
#include <cstdlib>

namespace vistrel {

namespace {

int sign(std::int64_t v) {
    return v > 0 ? 1 : v < 0 ? -1 : 0;
}

// A point of the 32-step curve: p0 + (c3 i^3 + 96 c2 i^2 + 3072 c1 i + 16384) >> 15.
std::int32_t curveCoord(std::int64_t p0, std::int64_t c1, std::int64_t c2, std::int64_t c3,
                        std::int64_t i) {
    std::int64_t v = (c3 * i * i * i + 96 * c2 * i * i + 3072 * c1 * i + 16384) >> 15;
    return clampCoord(p0 + v);
}

// Visits the 31 inner points and the end point of a curve from p0.
template <class F>
void curvePoints(IntPoint p0, IntPoint p1, IntPoint p2, IntPoint p3, F&& f) {
    if (p0 == p1 && p1 == p2 && p2 == p3)
        return;
    const std::int64_t c1x = std::int64_t(p1.x) - p0.x, c1y = std::int64_t(p1.y) - p0.y;
    const std::int64_t c2x = (std::int64_t(p2.x) - p0.x) - 2 * c1x;
    const std::int64_t c2y = (std::int64_t(p2.y) - p0.y) - 2 * c1y;
    const std::int64_t c3x =
        (std::int64_t(p3.x) - p0.x) - 3 * (std::int64_t(p2.x) - p0.x) + 3 * c1x;
    const std::int64_t c3y =
        (std::int64_t(p3.y) - p0.y) - 3 * (std::int64_t(p2.y) - p0.y) + 3 * c1y;
    for (int i = 1; i < 32; ++i) {
        f(curveCoord(p0.x, c1x, c2x, c3x, i), curveCoord(p0.y, c1y, c2y, c3y, i));
    }
    f(p3.x, p3.y);
}

}  // namespace

SpanList::SpanList(int rule) : rule_(rule) {
    chains_.reserve(8);
    spanRow_.reserve(8);
    crossings_.reserve(8);
}

SpanList::~SpanList() = default;

void SpanList::grow(std::int32_t x, std::int32_t y) {
    runX0_ = std::min(runX0_, x);
    runY0_ = std::min(runY0_, y);
    runX1_ = std::max(runX1_, x);
    runY1_ = std::max(runY1_, y);
}

// ---- building ----------------------------------------------------------------

void SpanList::startChain(std::int32_t x, std::int32_t y, int direction) {
    building_ = Chain{};
    building_.startX = building_.currentX = x;
    building_.startY = building_.endY = y;
    building_.segFirst = std::uint32_t(segments_.size());
    buildingOpen_ = true;
    pendingDx_ = pendingDy_ = 0;
    direction_ = direction;
}

void SpanList::finishChain() {
    if (!buildingOpen_)
        return;
    traceSegment(pendingDx_, pendingDy_);
    pendingDx_ = pendingDy_ = 0;
    buildingOpen_ = false;
    Chain& c = building_;
    if (c.segments == 0) {
        segments_.resize(c.segFirst);
        return;
    }
    c.direction = direction_;
    c.top = std::min(c.startY, c.endY);
    c.bottom = std::max(c.startY, c.endY);
    chains_.push_back(c);
}

// Bresenham with one entry per row left: 4 x + 1 + s, x the column where the
// edge leaves the row and s its x step there. Entry 0 of a chain is
// 4 (start x) + 1, then come the rows of its segments, and last
// 4 (current x) + 1.
//
// With n rows and adx columns, the steep walk (adx < n) takes its T(j)-th
// x step in row j, T(j) = floor((2 adx j + n) / 2n); the shallow walk
// leaves row r at its column step i(r) = ceil(adx (2r - 1) / 2n). Both are
// stepped by one row with a quotient and a remainder, in either direction.
void SpanList::traceSegment(std::int64_t dx, std::int64_t dy) {
    Chain& c = building_;
    if (dy == 0) {
        c.currentX = clampCoord(c.currentX + dx);
        return;
    }
    c.endY = clampCoord(c.endY + dy);
    const std::int64_t n = std::llabs(dy);
    ++c.segments;
    Segment g;
    g.base = c.rows + 1;
    g.n = std::int32_t(n);
    g.x0 = c.currentX;
    g.s = dx >= 0 ? 1 : -1;
    g.adx = std::llabs(dx);
    g.steep = 2 * g.adx < 2 * n;
    g.stepQ = (2 * g.adx) / (2 * n);
    g.stepR = (2 * g.adx) % (2 * n);
    segments_.push_back(g);
    c.rows = std::int32_t(std::min<std::int64_t>(std::int64_t(c.rows) + n, INT32_MAX - 2));
    c.currentX = clampCoord(std::int64_t(c.currentX) + g.s * g.adx);
}

inline std::int32_t SpanList::segmentValue(const Segment& g, const Cursor& c) const {
    if (g.steep) {
        // The step of row j was taken when the remainder wrapped.
        const std::int64_t st = c.rem < 2 * g.adx ? 1 : 0;
        return std::int32_t(4 * (g.x0 + g.s * (c.q - st)) + 1 + g.s * st);
    }
    return std::int32_t(4 * (g.x0 + g.s * (c.q - 1)) + 1 + g.s);
}

void SpanList::seekCursor(const Chain& chain, Cursor& c, std::int32_t pos) const {
    c.pos = pos;
    if (pos <= 0) {
        c.value = 4 * chain.startX + 1;
        c.seg = chain.segFirst;
        c.j = 0;
        return;
    }
    if (pos > chain.rows) {
        c.value = 4 * chain.currentX + 1;
        c.seg = chain.segFirst + std::uint32_t(chain.segments) - 1;
        c.j = segments_[c.seg].n + 1;
        return;
    }
    const auto first = segments_.begin() + chain.segFirst;
    const auto last = first + chain.segments;
    const auto it = std::upper_bound(first, last, pos,
                                     [](std::int32_t v, const Segment& g) { return v < g.base; }) -
                    1;
    const Segment& g = *it;
    c.seg = std::uint32_t(it - segments_.begin());
    c.j = pos - g.base + 1;
    const std::int64_t n2 = 2 * std::int64_t(g.n);
    if (g.steep) {
        const std::int64_t m = 2 * g.adx * c.j + g.n;
        c.q = m / n2;
        c.rem = m % n2;
    } else {
        const std::int64_t num = g.adx * (2 * std::int64_t(c.j) - 1);
        c.q = (num + n2 - 1) / n2;
        c.rem = c.q * n2 - num;
    }
    c.value = segmentValue(g, c);
}

// Moves a cursor to pos; one row forward or back is a step of the
// decision state, anything else a seek.
inline void SpanList::moveCursor(const Chain& chain, Cursor& c, std::int32_t pos) const {
    if (pos == c.pos)
        return;
    const std::int64_t from = c.pos;
    if (pos == from + 1 && from > 0 && pos <= chain.rows) {
        const Segment& g = segments_[c.seg];
        if (c.j < g.n) {
            const std::int64_t n2 = 2 * std::int64_t(g.n);
            ++c.j;
            if (g.steep) {
                c.rem += 2 * g.adx;
                if (c.rem >= n2) {
                    c.rem -= n2;
                    ++c.q;
                }
            } else {
                c.q += g.stepQ;
                c.rem -= g.stepR;
                if (c.rem < 0) {
                    c.rem += n2;
                    ++c.q;
                }
            }
            c.pos = pos;
            c.value = segmentValue(g, c);
            return;
        }
    } else if (pos == from - 1 && pos > 0 && from <= chain.rows) {
        const Segment& g = segments_[c.seg];
        if (c.j > 1) {
            const std::int64_t n2 = 2 * std::int64_t(g.n);
            --c.j;
            if (g.steep) {
                c.rem -= 2 * g.adx;
                if (c.rem < 0) {
                    c.rem += n2;
                    --c.q;
                }
            } else {
                c.rem += g.stepR;
                if (c.rem >= n2) {
                    c.rem -= n2;
                    --c.q;
                }
                c.q -= g.stepQ;
            }
            c.pos = pos;
            c.value = segmentValue(g, c);
            return;
        }
    }
    seekCursor(chain, c, pos);
}

// Entries i and i + 1 of a chain. Scanning rows in order moves the cursor
// one entry along, and the entry it leaves is the other one of the next row.
void SpanList::rowEntries(const Chain& chain, ChainCursor& cc, std::int32_t i, std::int32_t& c0,
                          std::int32_t& c1) const {
    Cursor& c = cc.cur;
    if (c.pos == i && cc.otherPos == i + 1) {
        c0 = c.value;
        c1 = cc.other;
        return;
    }
    if (c.pos == i + 1 && cc.otherPos == i) {
        c0 = cc.other;
        c1 = c.value;
        return;
    }
    if (c.pos == i) {
        // Moving down the entries.
        cc.other = c.value;
        cc.otherPos = i;
        moveCursor(chain, c, i + 1);
        c0 = cc.other;
        c1 = c.value;
        return;
    }
    if (c.pos == i + 1) {
        // Moving up the entries.
        cc.other = c.value;
        cc.otherPos = i + 1;
        moveCursor(chain, c, i);
        c0 = c.value;
        c1 = cc.other;
        return;
    }
    // A fresh start: the cursor goes to the entry that the next row in the
    // chain's own direction will need.
    Cursor t;
    if (chain.direction > 0) {
        seekCursor(chain, t, i);
        seekCursor(chain, c, i + 1);
        cc.other = t.value;
        cc.otherPos = i;
        c0 = t.value;
        c1 = c.value;
    } else {
        seekCursor(chain, t, i + 1);
        seekCursor(chain, c, i);
        cc.other = t.value;
        cc.otherPos = i + 1;
        c0 = c.value;
        c1 = t.value;
    }
}

void SpanList::addStep(std::int64_t dx, std::int64_t dy) {
    if (dx == 0 && dy == 0)
        return;
    // Collinear steps are summed before tracing (always while nothing is
    // pending).
    if (pendingDy_ * dx == pendingDx_ * dy) {
        pendingDx_ += dx;
        pendingDy_ += dy;
        return;
    }
    traceSegment(pendingDx_, pendingDy_);
    pendingDx_ = dx;
    pendingDy_ = dy;
}

void SpanList::move(std::int32_t x, std::int32_t y) {
    finishChain();
    startChain(x, y, 0);
    lastX_ = x;
    lastY_ = y;
    grow(x, y);
}

void SpanList::lineTo(std::int32_t x, std::int32_t y) {
    if (!buildingOpen_)
        startChain(lastX_, lastY_, 0);
    const std::int64_t dx = std::int64_t(x) - lastX_, dy = std::int64_t(y) - lastY_;
    const int dir = sign(dy);
    if (direction_ == 0) {
        if (sign(dx) != sign(pendingDx_)) {
            finishChain();
            startChain(lastX_, lastY_, dir);
        }
        direction_ = dir;
    } else if (dir != 0 && dir != direction_) {
        finishChain();
        startChain(lastX_, lastY_, dir);
    }
    addStep(dx, dy);
    lastX_ = x;
    lastY_ = y;
    grow(x, y);
}

void SpanList::closeChain(std::int32_t x, std::int32_t y) {
    lineTo(x, y);
    finishChain();
    startChain(lastX_, lastY_, 0);
}

void SpanList::AddPath(const Path& path) {
    const auto& pts = path.points();
    if (pts.empty())
        return;
    // A path that does not begin with a move starts at the origin.
    if (pts[0].kind != PathPoint::Move)
        move(0, 0);
    for (std::size_t i = 0; i < pts.size(); ++i) {
        const PathPoint& p = pts[i];
        switch (p.kind) {
            case PathPoint::Move:
                move(p.x, p.y);
                break;
            case PathPoint::Curve:
                if (i + 2 < pts.size()) {
                    curvePoints(IntPoint(lastX_, lastY_), IntPoint(p.x, p.y),
                                IntPoint(pts[i + 1].x, pts[i + 1].y),
                                IntPoint(pts[i + 2].x, pts[i + 2].y),
                                [&](std::int32_t x, std::int32_t y) { lineTo(x, y); });
                    i += 2;
                }
                break;
            case PathPoint::Close:
                closeChain(p.x, p.y);
                break;
            default:
                lineTo(p.x, p.y);
                break;
        }
    }
}

void SpanList::Finish() {
    finishChain();
    boxX0_ = runX0_;
    boxY0_ = runY0_;
    boxX1_ = runX1_;
    boxY1_ = runY1_;
    empty_ = boxX0_ > boxX1_ || boxY0_ > boxY1_;
    byTop_.resize(chains_.size());
    for (std::uint32_t i = 0; i < byTop_.size(); ++i)
        byTop_[i] = i;
    byBottom_ = byTop_;
    std::sort(byTop_.begin(), byTop_.end(),
              [&](std::uint32_t a, std::uint32_t b) { return chains_[a].top < chains_[b].top; });
    std::sort(byBottom_.begin(), byBottom_.end(), [&](std::uint32_t a, std::uint32_t b) {
        return chains_[a].bottom < chains_[b].bottom;
    });
    cursors_.assign(chains_.size(), ChainCursor{});
    verticalOnly_ = std::all_of(chains_.begin(), chains_.end(), [&](const Chain& c) {
        return c.segments == 1 && segments_[c.segFirst].adx == 0;
    });
    cachedRow_ = spanRowY_ = activeRow_ = INT32_MIN;
    sameLow_ = INT32_MAX;
    sameHigh_ = INT32_MIN;
}

bool SpanList::Limit(IntPoint origin, IntPoint size) {
    std::int32_t xa = origin.x, xb = clampCoord(std::int64_t(origin.x) + size.x);
    std::int32_t ya = origin.y, yb = clampCoord(std::int64_t(origin.y) + size.y);
    boxX0_ = std::max(boxX0_, std::min(xa, xb));
    boxX1_ = std::min(boxX1_, std::max(xa, xb));
    boxY0_ = std::max(boxY0_, std::min(ya, yb));
    boxY1_ = std::min(boxY1_, std::max(ya, yb));
    empty_ = boxX0_ > boxX1_ || boxY0_ > boxY1_;
    cachedRow_ = spanRowY_ = INT32_MIN;
    sameLow_ = INT32_MAX;
    sameHigh_ = INT32_MIN;
    return !empty_;
}

bool SpanList::sameCoverage(const SpanList& other) const {
    return rule_ == other.rule_ && mask_ == other.mask_ && empty_ == other.empty_ &&
           boxX0_ == other.boxX0_ && boxY0_ == other.boxY0_ && boxX1_ == other.boxX1_ &&
           boxY1_ == other.boxY1_ && chains_ == other.chains_ && segments_ == other.segments_;
}

// ---- rows ----------------------------------------------------------------------

// The chains that cross row y; stepping one row up or down only adds and
// drops chains at their ends. Answers how many chains were carried over from
// the previous row in their old order (0 after a full rebuild).
std::size_t SpanList::collectActive(std::int32_t y) {
    if (y == activeRow_)
        return active_.size();
    if (activeRow_ != INT32_MIN && (y == activeRow_ + 1 || y == activeRow_ - 1)) {
        std::erase_if(active_,
                      [&](std::uint32_t i) { return chains_[i].top > y || chains_[i].bottom < y; });
        const std::size_t kept = active_.size();
        if (y > activeRow_) {
            auto it = std::lower_bound(
                byTop_.begin(), byTop_.end(), y,
                [&](std::uint32_t i, std::int32_t v) { return chains_[i].top < v; });
            for (; it != byTop_.end() && chains_[*it].top == y; ++it)
                active_.push_back(*it);
        } else {
            auto it = std::lower_bound(
                byBottom_.begin(), byBottom_.end(), y,
                [&](std::uint32_t i, std::int32_t v) { return chains_[i].bottom < v; });
            for (; it != byBottom_.end() && chains_[*it].bottom == y; ++it)
                active_.push_back(*it);
        }
        activeRow_ = y;
        return kept;
    }
    active_.clear();
    for (std::uint32_t i : byTop_) {
        if (chains_[i].top > y)
            break;
        if (chains_[i].bottom >= y)
            active_.push_back(i);
    }
    activeRow_ = y;
    return 0;
}

// A straight vertical chain has the same two entries (its column) in every
// row but its first and last one, so rows that are neither for any chain
// cross the same chains at the same columns.
void SpanList::findSameRows(std::int32_t y) {
    sameLow_ = sameHigh_ = y;
    if (!verticalOnly_)
        return;
    std::int64_t low = boxY0_, high = boxY1_;
    for (const std::vector<std::uint32_t>* ends : {&byTop_, &byBottom_}) {
        const bool tops = ends == &byTop_;
        auto end = [&](std::uint32_t i) { return tops ? chains_[i].top : chains_[i].bottom; };
        const auto it = std::lower_bound(ends->begin(), ends->end(), y,
                                         [&](std::uint32_t i, std::int32_t v) { return end(i) < v; });
        if (it != ends->end() && end(*it) == y)
            return;
        if (it != ends->end())
            high = std::min<std::int64_t>(high, std::int64_t(end(*it)) - 1);
        if (it != ends->begin())
            low = std::max<std::int64_t>(low, std::int64_t(end(*(it - 1))) + 1);
    }
    sameLow_ = std::int32_t(low);
    sameHigh_ = std::int32_t(high);
}

bool SpanList::ScanlineCrossings(std::int32_t y) {
    if (y == cachedRow_)
        return cachedHas_;
    if (y >= sameLow_ && y <= sameHigh_) {
        cachedRow_ = y;
        return cachedHas_;
    }
    cachedRow_ = y;
    crossings_.clear();
    prefix_.clear();
    cachedHas_ = false;
    sameLow_ = INT32_MAX;
    sameHigh_ = INT32_MIN;
    if (chains_.empty() || y < boxY0_ || y > boxY1_)
        return false;
    findSameRows(y);
    const std::size_t kept = collectActive(y);
    // The chains carried over from the previous row keep that row's x order,
    // so they are nearly sorted (an insertion sort is linear); the chains
    // that begin on this row are sorted apart and merged in.
    rowTmp_.clear();
    for (std::uint32_t idx : active_) {
        const Chain& c = chains_[idx];
        const std::int32_t i = c.direction > 0 ? y - c.top : c.bottom - y;
        std::int32_t c0, c1;
        rowEntries(c, cursors_[idx], i, c0, c1);
        const std::int32_t a = c1 >> 2, b = (c0 >> 2) + (c0 & 3) - 1;
        rowTmp_.push_back(
            RowItem{std::min(a, b), std::max(a, b), y == c.bottom ? 0 : c.direction, idx});
    }
    auto byLow = [](const RowItem& p, const RowItem& q) { return p.low < q.low; };
    bool sorted = false;
    if (kept > 0) {
        // Many edges crossing between two rows: give up and sort.
        std::size_t budget = 4 * kept + 64;
        sorted = true;
        for (std::size_t k = 1; k < kept && sorted; ++k) {
            RowItem v = rowTmp_[k];
            std::size_t j = k;
            while (j > 0 && v.low < rowTmp_[j - 1].low) {
                rowTmp_[j] = rowTmp_[j - 1];
                --j;
                if (--budget == 0) {
                    sorted = false;
                    break;
                }
            }
            rowTmp_[j] = v;
        }
        if (sorted && kept < rowTmp_.size()) {
            std::sort(rowTmp_.begin() + std::ptrdiff_t(kept), rowTmp_.end(), byLow);
            std::inplace_merge(rowTmp_.begin(), rowTmp_.begin() + std::ptrdiff_t(kept),
                               rowTmp_.end(), byLow);
        }
    }
    if (!sorted)
        std::sort(rowTmp_.begin(), rowTmp_.end(), byLow);
    for (std::size_t k = 0; k < rowTmp_.size(); ++k) {
        active_[k] = rowTmp_[k].chain;
        crossings_.push_back(Crossing{rowTmp_[k].low, rowTmp_[k].high, rowTmp_[k].winding});
    }
    // Overlapping or touching intervals fold into one with their windings
    // summed.
    std::size_t out = 0;
    for (std::size_t k = 0; k < crossings_.size(); ++k) {
        if (out > 0 &&
            std::int64_t(crossings_[k].low) <= std::int64_t(crossings_[out - 1].high) + 1) {
            Crossing& m = crossings_[out - 1];
            m.high = std::max(m.high, crossings_[k].high);
            m.winding += crossings_[k].winding;
        } else {
            crossings_[out++] = crossings_[k];
        }
    }
    crossings_.resize(out);
    prefix_.resize(out + 1);
    prefix_[0] = 0;
    for (std::size_t k = 0; k < out; ++k)
        prefix_[k + 1] = prefix_[k] + crossings_[k].winding;
    cachedHas_ = out > 0;
    return cachedHas_;
}

bool SpanList::FirstCrossing(std::int32_t y, std::int32_t& x, std::int32_t& width) {
    walkRow_ = y;
    walkNext_ = 0;
    return NextCrossing(x, width);
}

bool SpanList::NextCrossing(std::int32_t& x, std::int32_t& width) {
    // The walk's row is built again when another row was asked for since.
    if (!ScanlineCrossings(walkRow_) || walkNext_ >= crossings_.size())
        return false;
    const Crossing& c = crossings_[walkNext_++];
    x = c.low;
    width = c.high - c.low + 1;
    return true;
}

bool SpanList::coveredClass(std::int64_t winding, int* cls) const {
    bool in = rule_ == 1 ? winding != 0 : (winding & 1) != 0;
    *cls = in ? Interior : Exterior;
    return (mask_ & *cls) != 0;
}

SpanList::PixelClass SpanList::Classify(std::int32_t x, std::int32_t y) {
    if (!ScanlineCrossings(y))
        return Exterior;
    auto it = std::lower_bound(crossings_.begin(), crossings_.end(), x,
                               [](const Crossing& c, std::int32_t v) { return c.high < v; });
    if (it != crossings_.end() && it->low <= x)
        return Edge;
    bool in = rule_ == 1 ? prefix_[it - crossings_.begin()] != 0
                         : (prefix_[it - crossings_.begin()] & 1) != 0;
    return in ? Interior : Exterior;
}

const std::vector<std::int32_t>* SpanList::SpanRow(std::int32_t y) {
    if (y != spanRowY_)
        buildSpanRow(y);
    return spanRowHas_ ? &spanRow_ : nullptr;
}

void SpanList::buildSpanRow(std::int32_t y) {
    spanRowY_ = y;
    spanRow_.clear();
    spanRowHas_ = false;
    if (empty_ || !ScanlineCrossings(y))
        return;
    const std::int64_t X0 = boxX0_, X1 = boxX1_, end = X1 + 1;
    const bool edges = (mask_ & Edge) != 0;
    // Boundaries in increasing x, kept within [X0, X1 + 1]; a boundary equal
    // to the last one cancels it (an empty span, or two spans that touch).
    auto emit = [&](std::int64_t b) {
        std::int32_t v = std::int32_t(std::clamp(b, X0, end));
        if (!spanRow_.empty() && spanRow_.back() == v) {
            spanRow_.pop_back();
        } else {
            spanRow_.push_back(v);
        }
    };
    const std::size_t n = crossings_.size();
    std::size_t k = 0;
    std::int64_t sum = 0;
    while (k < n && crossings_[k].high < X0)
        sum += crossings_[k++].winding;
    int cls;
    bool drawing = coveredClass(sum, &cls);
    if (k < n && crossings_[k].low < X0) {
        sum += crossings_[k].winding;
        const bool now = coveredClass(sum, &cls);
        const std::int64_t after = std::int64_t(crossings_[k].high) + 1;
        if (edges) {
            emit(X0);
            drawing = true;
            if (!now) {
                emit(after);
                drawing = false;
            }
        } else if (now) {
            emit(after);
            drawing = true;
        } else {
            drawing = false;
        }
        ++k;
    } else if (drawing) {
        emit(X0);
    }
    for (; k < n && crossings_[k].low <= X1; ++k) {
        if (drawing != edges) {
            emit(crossings_[k].low);
            drawing = !drawing;
        }
        if (crossings_[k].high > X1)
            break;
        sum += crossings_[k].winding;
        if (drawing != coveredClass(sum, &cls)) {
            emit(std::int64_t(crossings_[k].high) + 1);
            drawing = !drawing;
        }
    }
    if (drawing)
        emit(end);
    if (spanRow_.size() % 2)
        spanRow_.pop_back();  // spans come in pairs

    if (next_ && !spanRow_.empty()) {
        const std::vector<std::int32_t>* other = next_->SpanRow(y);
        scratch_.clear();
        if (other) {
            // Both lists start outside; a boundary flips its own list (equal
            // boundaries flip both), and the "inside both" state is recorded.
            const auto& a = spanRow_;
            const auto& b = *other;
            std::size_t i = 0, j = 0;
            bool inA = false, inB = false, both = false;
            while (i < a.size() || j < b.size()) {
                std::int32_t x;
                if (j >= b.size() || (i < a.size() && a[i] < b[j])) {
                    x = a[i++];
                    inA = !inA;
                } else if (i >= a.size() || b[j] < a[i]) {
                    x = b[j++];
                    inB = !inB;
                } else {
                    x = a[i++];
                    ++j;
                    inA = !inA;
                    inB = !inB;
                }
                if ((inA && inB) != both) {
                    both = !both;
                    scratch_.push_back(x);
                }
            }
        }
        spanRow_.swap(scratch_);
    }
    spanRowHas_ = !spanRow_.empty();
}

}  // namespace vistrel
