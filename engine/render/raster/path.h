// One list of integer points with kinds (move, line, curve, close), stored
// already passed through the path's optional 2x2 matrix, with the bounding
// box of the stored points.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/core/allocator.h"
#include "engine/render/raster/drawable_base.h"
#include "engine/render/raster/geometry.h"

namespace vistrel {

struct PathPoint {
    enum Kind : std::int32_t { Move = 0, Line = 1, Curve = 2, Close = 3 };
    std::int32_t x;
    std::int32_t y;
    std::int32_t kind;
    friend bool operator==(const PathPoint&, const PathPoint&) = default;
};

class Path : public DrawableBase {
    VISTREL_POOLED_CLASS(Path)

public:
    Path() { points_.reserve(8); }
    Path(const Path&) = default;
    Path& operator=(const Path&) = default;

    bool isUsable() const override { return valid_; }
    // Draws the points on the device, shifted by offset: moves, lines (and
    // closes) and curves.
    bool Draw(IntPoint offset, OutputDevice& device) override;
    std::unique_ptr<DrawableBase> clone() const override { return nullptr; }
    virtual bool IsRectangle() const { return rectangle_; }
    // As Draw, each point first scaled by 0.001 and mapped by m (a b c d e f).
    virtual bool DrawTransformed(IntPoint offset, OutputDevice& device, const double m[6]);

    void MoveTo(std::int32_t x, std::int32_t y);
    void RMoveTo(std::int32_t dx, std::int32_t dy);
    void RLineTo(std::int32_t dx, std::int32_t dy);
    void RCurveTo(std::int32_t dx1, std::int32_t dy1, std::int32_t dx2, std::int32_t dy2,
                  std::int32_t dx3, std::int32_t dy3);
    int ClosePath();
    void Rectangle(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height);
    // Type 1 side bearing and advance: moves to the side bearing and records
    // origin and advance unless an advance is already recorded.
    void SetSidebearingWidth(std::int32_t sbx, std::int32_t sby, std::int32_t wx, std::int32_t wy);
    std::int32_t AdvanceWidth() const;
    void TransformPoint(std::int32_t& x, std::int32_t& y) const;
    // Appends a point of any kind exactly as given (no matrix), as font files
    // that store their points ready-made hand them over; the current point
    // moves there and the box grows by it.
    void AppendPoint(std::int32_t x, std::int32_t y, std::int32_t kind);
    // The box and the advance as a font file states them.
    void SetBox(IntPoint min, IntPoint max);
    void SetAdvance(std::int32_t wx, std::int32_t wy);

    // The 2x2 matrix {a, b, c, d} applied to points as they are appended
    // (x' = a x + c y, y' = b x + d y); none for the identity.
    void setMatrix(const std::optional<std::array<double, 4>>& m) { matrix_ = m; }
    const std::optional<std::array<double, 4>>& matrix() const { return matrix_; }

    const std::vector<PathPoint>& points() const { return points_; }
    bool closed() const { return closed_; }
    IntPoint currentPoint() const { return {curX_, curY_}; }
    IntPoint origin() const { return {originX_, originY_}; }
    IntPoint advance() const { return {advanceX_, advanceY_}; }
    // Box of the stored points; min above max while empty.
    IntPoint boxMin() const { return {minX_, minY_}; }
    IntPoint boxMax() const { return {maxX_, maxY_}; }
    void setValid(bool v) { valid_ = v; }
    // Points rounded from exact device coordinates as they are, not with the
    // half pixel that content points get (rectangles): a stroke of whole
    // figures moves them by a pixel to match.
    bool roundedAsIs() const { return roundedAsIs_; }
    void setRoundedAsIs(bool v) { roundedAsIs_ = v; }

private:
    // Passes the point through the matrix, then stores it.
    void append(std::int32_t x, std::int32_t y, std::int32_t kind);
    // Stores the point and grows the box.
    void store(std::int32_t x, std::int32_t y, std::int32_t kind);
    void beginSubpathIfClosed();

    std::int32_t startX_ = 0, startY_ = 0;
    bool closed_ = true;
    std::int32_t originX_ = 0, originY_ = 0;
    bool valid_ = true;
    std::int32_t curX_ = 0, curY_ = 0;
    std::vector<PathPoint> points_;
    std::optional<std::array<double, 4>> matrix_;
    std::int32_t maxX_ = INT32_MIN, maxY_ = INT32_MIN;
    std::int32_t minX_ = INT32_MAX, minY_ = INT32_MAX;
    std::int32_t advanceX_ = 0, advanceY_ = 0;
    bool rectangle_ = false;
    bool roundedAsIs_ = false;
};

}  // namespace vistrel
