#include "platform/gdi/rect_set.h"

#include <algorithm>
#include <climits>

namespace win {

RectSet RectSet::fromRect(int left, int top, int right, int bottom) {
    RectSet s;
    if (left < right && top < bottom) {
        s.bands_.push_back(Band{top, bottom, {Span{left, right}}});
    }
    return s;
}

std::size_t RectSet::rectCount() const {
    std::size_t n = 0;
    for (const Band& b : bands_)
        n += b.spans.size();
    return n;
}

std::vector<RECT> RectSet::rects() const {
    std::vector<RECT> out;
    out.reserve(rectCount());
    for (const Band& b : bands_) {
        for (const Span& s : b.spans)
            out.push_back(RECT{s.left, b.top, s.right, b.bottom});
    }
    return out;
}

RECT RectSet::bounds() const {
    if (bands_.empty())
        return RECT{0, 0, 0, 0};
    RECT r{INT_MAX, bands_.front().top, INT_MIN, bands_.back().bottom};
    for (const Band& b : bands_) {
        r.left = std::min(r.left, b.spans.front().left);
        r.right = std::max(r.right, b.spans.back().right);
    }
    return r;
}

int RectSet::complexity() const {
    if (bands_.empty())
        return NULLREGION;
    return rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

const RectSet::Band* RectSet::bandAt(int y) const {
    auto it = std::upper_bound(bands_.begin(), bands_.end(), y,
                               [](int v, const Band& b) { return v < b.bottom; });
    if (it == bands_.end() || y < it->top)
        return nullptr;
    return &*it;
}

bool RectSet::contains(int x, int y) const {
    const Band* b = bandAt(y);
    if (!b)
        return false;
    auto it = std::upper_bound(b->spans.begin(), b->spans.end(), x,
                               [](int v, const Span& s) { return v < s.right; });
    return it != b->spans.end() && x >= it->left;
}

void RectSet::appendBand(int top, int bottom, std::vector<Span>&& spans) {
    if (spans.empty())
        return;
    if (!bands_.empty()) {
        Band& last = bands_.back();
        if (last.bottom == top && last.spans == spans) {
            last.bottom = bottom;
            return;
        }
    }
    bands_.push_back(Band{top, bottom, std::move(spans)});
}

namespace {

bool keep(bool inA, bool inB, RectSet::Op op) {
    switch (op) {
        case RectSet::Op::And:
            return inA && inB;
        case RectSet::Op::Or:
            return inA || inB;
        case RectSet::Op::Xor:
            return inA != inB;
        case RectSet::Op::Diff:
            return inA && !inB;
    }
    return false;
}

// Boolean combination of two sorted interval lists.
std::vector<RectSet::Span> combineSpans(const std::vector<RectSet::Span>* a,
                                        const std::vector<RectSet::Span>* b, RectSet::Op op) {
    static const std::vector<RectSet::Span> none;
    const auto& sa = a ? *a : none;
    const auto& sb = b ? *b : none;
    // Walk the edges of both lists in x order.
    std::vector<RectSet::Span> out;
    std::size_t ia = 0, ib = 0;
    bool inA = false, inB = false, inOut = false;
    int start = 0;
    for (;;) {
        long long xa = ia < sa.size() ? (inA ? sa[ia].right : sa[ia].left) : LLONG_MAX;
        long long xb = ib < sb.size() ? (inB ? sb[ib].right : sb[ib].left) : LLONG_MAX;
        long long x = std::min(xa, xb);
        if (x == LLONG_MAX)
            break;
        if (xa == x) {
            if (inA)
                ++ia;
            inA = !inA;
        }
        if (xb == x) {
            if (inB)
                ++ib;
            inB = !inB;
        }
        bool now = keep(inA, inB, op);
        if (now != inOut) {
            if (now) {
                start = int(x);
            } else if (!out.empty() && out.back().right == start) {
                out.back().right = int(x);
            } else {
                out.push_back(RectSet::Span{start, int(x)});
            }
            inOut = now;
        }
    }
    return out;
}

}  // namespace

RectSet RectSet::combine(const RectSet& a, const RectSet& b, Op op) {
    std::vector<int> ys;
    ys.reserve(2 * (a.bands_.size() + b.bands_.size()));
    for (const Band& band : a.bands_) {
        ys.push_back(band.top);
        ys.push_back(band.bottom);
    }
    for (const Band& band : b.bands_) {
        ys.push_back(band.top);
        ys.push_back(band.bottom);
    }
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());

    RectSet out;
    std::size_t ia = 0, ib = 0;
    for (std::size_t i = 0; i + 1 < ys.size(); ++i) {
        int y0 = ys[i], y1 = ys[i + 1];
        while (ia < a.bands_.size() && a.bands_[ia].bottom <= y0)
            ++ia;
        while (ib < b.bands_.size() && b.bands_[ib].bottom <= y0)
            ++ib;
        const std::vector<Span>* sa =
            ia < a.bands_.size() && a.bands_[ia].top <= y0 ? &a.bands_[ia].spans : nullptr;
        const std::vector<Span>* sb =
            ib < b.bands_.size() && b.bands_[ib].top <= y0 ? &b.bands_[ib].spans : nullptr;
        if (!sa && !sb)
            continue;
        out.appendBand(y0, y1, combineSpans(sa, sb, op));
    }
    return out;
}

bool operator==(const RectSet& a, const RectSet& b) {
    if (a.bands_.size() != b.bands_.size())
        return false;
    for (std::size_t i = 0; i < a.bands_.size(); ++i) {
        const auto& x = a.bands_[i];
        const auto& y = b.bands_[i];
        if (x.top != y.top || x.bottom != y.bottom || x.spans != y.spans)
            return false;
    }
    return true;
}

}  // namespace win
