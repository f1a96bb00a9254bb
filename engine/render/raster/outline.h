// A flattened path: y-monotone contours of straight steps, each running
// downward, within a flatness tolerance, with bounding boxes. Used by the
// glyph code.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/render/raster/path.h"

namespace vistrel {

class Outline {
public:
    struct Step {
        std::int32_t dx;
        std::int32_t dy;
        friend bool operator==(const Step&, const Step&) = default;
    };
    struct Contour {
        int orientation = 0;  // +1 downward, -1 upward, 0 not yet known
        std::int32_t startX = 0, startY = 0;
        std::int32_t currentX = 0, currentY = 0;
        std::int32_t minX = INT32_MAX, maxX = INT32_MIN;
        std::int32_t firstX = 0, firstY = 0;
        std::vector<Step> steps;
        bool stepsInOrder = false;  // upward contours: steps reversed already

        bool empty() const { return startX == currentX && startY == currentY && minX > maxX; }
        // x where the contour crosses row y (its steps interpolated).
        std::int32_t xAt(std::int32_t y) const;
        std::int32_t top() const { return startY; }
        std::int32_t bottom() const { return currentY; }
    };

    enum Flags { OrderContours = 1, DropEmptyAndReverse = 2, KeepOffset = 4, NoPoints = 8 };

    Outline() { contours_.reserve(8); }

    void Clear();
    // tolerance in device units; matrix {a, b, c, d} or null.
    void Build(const Path& path, int tolerance, const double* matrix, int flags);

    const std::vector<std::unique_ptr<Contour>>& contours() const { return contours_; }
    std::int32_t currentX() const { return curX_; }
    std::int32_t currentY() const { return curY_; }
    void setCurrent(std::int32_t x, std::int32_t y) {
        curX_ = x;
        curY_ = y;
    }
    std::int64_t squaredTolerance() const { return tolerance2_; }
    std::int32_t minX() const { return minX_; }
    std::int32_t minY() const { return minY_; }
    std::int32_t maxX() const { return maxX_; }
    std::int32_t maxY() const { return maxY_; }

private:
    void startContour();
    void addStep(std::int64_t dx, std::int64_t dy);
    void lineTo(std::int32_t x, std::int32_t y);
    void curve(std::int64_t d1x, std::int64_t d1y, std::int64_t d2x, std::int64_t d2y,
               std::int64_t d3x, std::int64_t d3y, int depth);
    void order();

    std::vector<std::unique_ptr<Contour>> contours_;
    std::int32_t curX_ = 0, curY_ = 0;
    std::int64_t tolerance2_ = 25;
    std::int64_t fx_ = 0, fy_ = 0;  // curve position in 1/256 units
    std::int32_t maxX_ = INT32_MIN, maxY_ = INT32_MIN;
    std::int32_t minX_ = INT32_MAX, minY_ = INT32_MAX;
};

}  // namespace vistrel
