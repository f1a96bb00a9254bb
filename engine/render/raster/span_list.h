// Scan conversion of closed integer paths into scanline spans. Edges are
// traced once into y-monotone chains with one entry per row; a row's
// crossings and its covered spans are assembled on demand and cached. A span
// list can also be laid over another one as a clip (the rows of a clip hold
// the intersection with every older clip of its chain).
#pragma once

#include <cstdint>
#include <vector>

#include "engine/core/allocator.h"
#include "engine/render/raster/geometry.h"
#include "engine/render/raster/path.h"

namespace vistrel {

class SpanList {
    VISTREL_POOLED_CLASS(SpanList)

public:
    enum PixelClass { Interior = 1, Edge = 2, Exterior = 4 };
    struct Crossing {
        std::int32_t low;
        std::int32_t high;
        std::int32_t winding;
        friend bool operator==(const Crossing&, const Crossing&) = default;
    };

    // rule: 1 nonzero winding, 0 even-odd.
    explicit SpanList(int rule);
    SpanList(const SpanList&) = delete;
    SpanList& operator=(const SpanList&) = delete;
    virtual ~SpanList();

    // Adds the points of a closed path in device coordinates.
    virtual void AddPath(const Path& path);
    void Finish();
    // Narrows the final box; true when something remains.
    bool Limit(IntPoint origin, IntPoint size);
    bool ScanlineCrossings(std::int32_t y);
    PixelClass Classify(std::int32_t x, std::int32_t y);
    // Boundaries b0 < b1 < ... of the covered pixels [b0, b1), [b2, b3), ...
    // of row y, intersected with every older clip; null when nothing is
    // covered.
    const std::vector<std::int32_t>* SpanRow(std::int32_t y);
    // Covered by this list's mask: Classify(x, y) & mask.
    bool Covers(std::int32_t x, std::int32_t y) { return (Classify(x, y) & mask_) != 0; }
    // The crossings of row y as (x, width) pairs, left to right: the first
    // one (false when the row has none), then each next one (false after the
    // last).
    bool FirstCrossing(std::int32_t y, std::int32_t& x, std::int32_t& width);
    bool NextCrossing(std::int32_t& x, std::int32_t& width);

    int mask() const { return mask_; }
    void setMask(int mask) { mask_ = mask; }
    int rule() const { return rule_; }
    bool empty() const { return empty_; }
    SpanList* next() const { return next_; }
    void setNext(SpanList* next) { next_ = next; }
    std::int32_t minX() const { return boxX0_; }
    std::int32_t minY() const { return boxY0_; }
    std::int32_t maxX() const { return boxX1_; }
    std::int32_t maxY() const { return boxY1_; }
    // The crossing list of the last row built (for tests and tools).
    const std::vector<Crossing>& crossings() const { return crossings_; }
    // Built from the same edges with the same rule and mask over the same
    // box: every row and every pixel answers as in `other`.
    bool sameCoverage(const SpanList& other) const;

private:
    // A traced segment: n rows of Bresenham entries from column x0. Its
    // entries follow from a closed form of the Bresenham decision, so they
    // are produced row by row while scanning instead of being stored.
    struct Segment {
        std::int32_t base;  // chain entry index of the first row
        std::int32_t n;     // rows (at least 1)
        std::int32_t x0;
        std::int32_t s;  // x step sign
        std::int64_t adx;
        std::int64_t stepQ, stepR;  // 2 adx = stepQ * 2n + stepR (shallow)
        bool steep;
        friend bool operator==(const Segment&, const Segment&) = default;
    };
    struct Chain {
        std::int32_t startX = 0, startY = 0;
        std::int32_t endY = 0;
        std::int32_t currentX = 0;
        std::int32_t top = 0, bottom = 0;
        std::int32_t direction = 0;
        std::int32_t segments = 0;
        std::int32_t rows = 0;  // entries 1 .. rows come from segments
        std::uint32_t segFirst = 0;
        friend bool operator==(const Chain&, const Chain&) = default;
    };
    // Position in a chain's entries with the decision state of its segment.
    struct Cursor {
        std::int32_t pos = INT32_MIN;
        std::int32_t value = 0;
        std::uint32_t seg = 0;
        std::int32_t j = 0;  // row within the segment, 1 .. n
        std::int64_t q = 0, rem = 0;
    };

    // A chain's cursor stands on one of the two entries a row needs; the
    // other one is remembered from the row before.
    struct ChainCursor {
        Cursor cur;
        std::int32_t other = 0;
        std::int32_t otherPos = INT32_MIN;
    };

    std::int32_t segmentValue(const Segment& g, const Cursor& c) const;
    void seekCursor(const Chain& chain, Cursor& c, std::int32_t pos) const;
    void moveCursor(const Chain& chain, Cursor& c, std::int32_t pos) const;
    void rowEntries(const Chain& chain, ChainCursor& cc, std::int32_t i, std::int32_t& c0,
                    std::int32_t& c1) const;

    void startChain(std::int32_t x, std::int32_t y, int direction);
    void finishChain();
    void traceSegment(std::int64_t dx, std::int64_t dy);
    void addStep(std::int64_t dx, std::int64_t dy);
    void move(std::int32_t x, std::int32_t y);
    void lineTo(std::int32_t x, std::int32_t y);
    void closeChain(std::int32_t x, std::int32_t y);
    void grow(std::int32_t x, std::int32_t y);
    bool coveredClass(std::int64_t winding, int* cls) const;
    std::size_t collectActive(std::int32_t y);
    // The rows around y with the crossings of row y (y alone unless the
    // chains are all straight vertical ones).
    void findSameRows(std::int32_t y);
    void buildSpanRow(std::int32_t y);

    SpanList* next_ = nullptr;
    std::int32_t runX0_ = INT32_MAX, runY0_ = INT32_MAX, runX1_ = INT32_MIN, runY1_ = INT32_MIN;
    std::int32_t boxX0_ = 0, boxY0_ = 0, boxX1_ = -1, boxY1_ = -1;
    bool empty_ = true;
    std::int32_t rule_;
    std::int32_t mask_ = 1;

    std::vector<Chain> chains_;
    std::vector<Segment> segments_;     // segments of every chain, in order
    std::vector<ChainCursor> cursors_;  // one per chain
    Chain building_;
    bool buildingOpen_ = false;

    std::int32_t lastX_ = 0, lastY_ = 0;
    std::int64_t pendingDx_ = 0, pendingDy_ = 0;
    int direction_ = 0;


    // Row caches.
    std::vector<Crossing> crossings_;
    std::vector<std::int64_t> prefix_;  // windings summed before each crossing
    std::int32_t cachedRow_ = INT32_MIN;
    bool cachedHas_ = false;
    // Rows from sameLow_ to sameHigh_ have the crossings of cachedRow_: in a
    // list of straight vertical chains, the rows between the first and last
    // rows of its chains.
    std::int32_t sameLow_ = INT32_MAX, sameHigh_ = INT32_MIN;
    bool verticalOnly_ = false;
    std::vector<std::int32_t> spanRow_;
    std::vector<std::int32_t> scratch_;
    std::int32_t spanRowY_ = INT32_MIN;
    bool spanRowHas_ = false;
    // The row the crossing walk is on, and its next crossing.
    std::int32_t walkRow_ = INT32_MIN;
    std::size_t walkNext_ = 0;

    // Chains sorted by top and by bottom, and those crossing the last row.
    std::vector<std::uint32_t> byTop_, byBottom_;
    std::vector<std::uint32_t> active_;
    struct RowItem {
        std::int32_t low, high, winding;
        std::uint32_t chain;
    };
    std::vector<RowItem> rowTmp_;
    std::int32_t activeRow_ = INT32_MIN;
};

}  // namespace vistrel
