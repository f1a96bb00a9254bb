// The root of everything a device draws by double dispatch: paths, coverage
// bitmaps, images and fonts.
#pragma once

#include <memory>

#include "engine/render/raster/geometry.h"

namespace vistrel {

class OutputDevice;

class DrawableBase {
public:
    virtual ~DrawableBase() = default;
    virtual bool isUsable() const { return true; }
    // Draws at a device position; the default draws nothing.
    virtual bool Draw(IntPoint /*position*/, OutputDevice& /*device*/) { return true; }
    // A copy; null when memory runs out (and for drawables that cannot copy).
    virtual std::unique_ptr<DrawableBase> clone() const { return nullptr; }
};

}  // namespace vistrel
