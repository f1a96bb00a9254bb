// The root of everything a device draws by double dispatch: paths, coverage
// bitmaps, images and fonts.
#pragma once

#include "engine/render/raster/geometry.h"

namespace vistrel {

class OutputDevice;

class DrawableBase {
public:
    virtual ~DrawableBase() = default;
    virtual bool isUsable() const { return true; }
    // Draws at a device position; the default draws nothing.
    virtual bool Draw(IntPoint /*position*/, OutputDevice& /*device*/) { return true; }
    virtual DrawableBase* clone() const { return nullptr; }
};

}  // namespace vistrel
