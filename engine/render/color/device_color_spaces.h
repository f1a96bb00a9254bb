// The three device colour spaces: colours and samples already are device
// components. Each is one object for the whole process, whose reference
// count starts so high that releasing never destroys it.
#pragma once

#include "engine/render/color/color_space.h"

namespace vistrel {

class DeviceColorSpace final : public ColorSpace {
public:
    DeviceColorSpace(ColorSpaceFamily family, std::int32_t components);
    ~DeviceColorSpace() override = default;

    // Nothing to do: the samples are device components.
    void convertSamples(std::uint8_t*, std::int32_t, std::size_t, bool) const override {}
    // Copies every value of `in` (not only the first components); fails for
    // fewer values than components and for toXyz.
    bool convertColor(const DoubleArray& in, DoubleArray& out, bool toXyz) const override;
    ColorSpaceFamily family() const override { return family_; }

private:
    ColorSpaceFamily family_;
};

// The process-wide objects, borrowed; take a reference to keep one.
ColorSpace* deviceGraySpace();
ColorSpace* deviceRgbSpace();
ColorSpace* deviceCmykSpace();

}  // namespace vistrel
