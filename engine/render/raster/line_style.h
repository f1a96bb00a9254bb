// How lines are drawn: dash lengths in pixels, cap, join, width, miter limit.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/core/allocator.h"

namespace vistrel {

struct LineStyle {
    VISTREL_POOLED_CLASS(LineStyle)

    std::vector<std::int32_t> dashes;  // empty: solid
    std::int32_t cap = 0;
    std::int32_t join = 0;
    double width = 1.0;
    double miterLimit = 10.0;
};

}  // namespace vistrel
