// A region as a set of rectangles in banded form: horizontal bands sorted by
// y, each holding sorted, disjoint, non-touching x intervals; vertically
// adjacent bands with the same intervals are merged. Equal sets therefore
// have equal representations.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/gdi/gdi.h"

namespace win {

class RectSet {
public:
    struct Span {
        int left;
        int right;  // exclusive
        friend bool operator==(const Span&, const Span&) = default;
    };
    struct Band {
        int top;
        int bottom;  // exclusive
        std::vector<Span> spans;
    };
    enum class Op { And, Or, Xor, Diff };

    RectSet() = default;
    // An empty rectangle (left >= right or top >= bottom) gives the empty set.
    static RectSet fromRect(int left, int top, int right, int bottom);

    bool empty() const { return bands_.empty(); }
    const std::vector<Band>& bands() const { return bands_; }
    std::size_t rectCount() const;
    // The rectangles band by band, left to right.
    std::vector<RECT> rects() const;
    RECT bounds() const;
    // NULLREGION, SIMPLEREGION or COMPLEXREGION.
    int complexity() const;
    bool contains(int x, int y) const;
    // The band that holds row y, or null.
    const Band* bandAt(int y) const;

    static RectSet combine(const RectSet& a, const RectSet& b, Op op);
    friend bool operator==(const RectSet& a, const RectSet& b);

private:
    void appendBand(int top, int bottom, std::vector<Span>&& spans);
    std::vector<Band> bands_;
};

}  // namespace win
