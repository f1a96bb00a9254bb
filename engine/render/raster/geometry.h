// Integer device geometry: points, rectangles and the clamped conversions
// from document coordinates.
#pragma once

#include <cmath>
#include <cstdint>

namespace vistrel {

// Device coordinates are kept within this range, so that sums and
// differences of a few of them stay inside 32 bits.
constexpr std::int32_t kCoordLimit = 0x0FFFFFFF;

constexpr std::int32_t clampCoord(std::int64_t v) {
    return v > kCoordLimit ? kCoordLimit : v < -kCoordLimit ? -kCoordLimit : std::int32_t(v);
}

// Rounds half away from zero and clamps to the coordinate range; NaN gives 0.
inline std::int32_t roundCoord(double v) {
    if (!(v == v))
        return 0;
    if (v >= kCoordLimit)
        return kCoordLimit;
    if (v <= -kCoordLimit)
        return -kCoordLimit;
    return std::int32_t(v > 0 ? std::trunc(v + 0.5) : std::trunc(v - 0.5));
}

struct IntPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;

    constexpr IntPoint() = default;
    constexpr IntPoint(std::int32_t px, std::int32_t py) : x(px), y(py) {}
    friend constexpr IntPoint operator+(IntPoint a, IntPoint b) {
        return {clampCoord(std::int64_t(a.x) + b.x), clampCoord(std::int64_t(a.y) + b.y)};
    }
    friend constexpr IntPoint operator-(IntPoint a, IntPoint b) {
        return {clampCoord(std::int64_t(a.x) - b.x), clampCoord(std::int64_t(a.y) - b.y)};
    }
    friend constexpr bool operator==(IntPoint a, IntPoint b) = default;
};

struct IntRect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;

    constexpr IntRect() = default;
    // With normalise, a negative width moves x left by it and becomes
    // positive; the same for the height.
    constexpr IntRect(std::int32_t px, std::int32_t py, std::int32_t w, std::int32_t h,
                      bool normalise = false)
        : x(px), y(py), width(w), height(h) {
        if (normalise) {
            if (width < 0) {
                x = clampCoord(std::int64_t(x) + width);
                width = clampCoord(-std::int64_t(width));
            }
            if (height < 0) {
                y = clampCoord(std::int64_t(y) + height);
                height = clampCoord(-std::int64_t(height));
            }
        }
    }
    constexpr IntRect(IntPoint corner, IntPoint size)
        : x(corner.x), y(corner.y), width(size.x), height(size.y) {}
    friend constexpr bool operator==(const IntRect&, const IntRect&) = default;
    constexpr void clear() { x = y = width = height = 0; }
};

}  // namespace vistrel
