#include "engine/render/color/device_color_spaces.h"

namespace vistrel {
namespace {

// The two highest bits: no run of releases brings the count to zero.
constexpr std::uint32_t kStaticRefCount = 0xC0000000u;

}  // namespace

DeviceColorSpace::DeviceColorSpace(ColorSpaceFamily family, std::int32_t components)
    : ColorSpace(components), family_(family) {
    refCount_ = kStaticRefCount;
}

bool DeviceColorSpace::convertColor(const DoubleArray& in, DoubleArray& out, bool toXyz) const {
    if (toXyz || in.count() < components_) {
        if (&in != &out)
            out.clear();
        return false;
    }
    return out.assign(in);
}

ColorSpace* deviceGraySpace() {
    static DeviceColorSpace space(ColorSpaceFamily::DeviceGray, 1);
    return &space;
}

ColorSpace* deviceRgbSpace() {
    static DeviceColorSpace space(ColorSpaceFamily::DeviceRGB, 3);
    return &space;
}

ColorSpace* deviceCmykSpace() {
    static DeviceColorSpace space(ColorSpaceFamily::DeviceCMYK, 4);
    return &space;
}

}  // namespace vistrel
