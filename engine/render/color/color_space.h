// The reference-counted base of every colour space: it turns the colour
// operands of content into device components for a DeviceColor, and image
// samples into 8-bit device components in place. makeColorSpace
// (make_color_space.h) builds one from a name or an array.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include "engine/core/allocator.h"
#include "engine/core/containers.h"

namespace vistrel {

enum class ColorSpaceFamily : std::int32_t {
    DeviceGray = 0,
    DeviceRGB = 1,
    DeviceCMYK = 2,
    CalGray = 3,
    CalRGB = 4,
    Lab = 5,
    Separation = 6,
    DeviceN = 7,
    Indexed = 8,
    ICCBased = 9
};

// NaN and infinities become 0: no conversion hands a non-finite value on.
inline double finiteOrZero(double v) {
    return std::isfinite(v) ? v : 0;
}

class ColorSpace {
    VISTREL_GLOBAL_ALLOCATOR()

public:
    ColorSpace(const ColorSpace&) = delete;
    ColorSpace& operator=(const ColorSpace&) = delete;

    void addRef() { ++refCount_; }
    // The last reference destroys the space.
    void release() {
        if (--refCount_ == 0)
            delete this;
    }
    std::uint32_t refCount() const { return refCount_; }

    // Input components of one colour.
    std::int32_t components() const { return components_; }
    // A space whose construction failed is still handed out; its users test
    // this and discard it.
    bool valid() const { return valid_; }

    // Converts one row of pixelCount samples of bitsPerComponent bits in
    // place into outputComponents bytes per pixel; the buffer holds at least
    // outputBitsPerPixel(bitsPerComponent) * pixelCount / 8 bytes. `decoded`
    // marks Lab samples that already hold decoded values. A row that cannot
    // be converted is left as it was.
    virtual void convertSamples(std::uint8_t* bytes, std::int32_t bitsPerComponent,
                                std::size_t pixelCount, bool decoded) const = 0;
    // Empties `out` and appends the device components of the colour `in`.
    // toXyz asks for CIE values instead; no caller sets it.
    virtual bool convertColor(const DoubleArray& in, DoubleArray& out, bool toXyz) const = 0;
    // Components convertColor produces and convertSamples writes per pixel.
    virtual std::int32_t outputComponents() const { return components_; }
    virtual std::int32_t outputBitsPerPixel(std::int32_t bitsPerComponent) const {
        return components_ * bitsPerComponent;
    }
    virtual ColorSpaceFamily family() const = 0;
    // The base of an Indexed space, the alternate of a Separation, DeviceN
    // or ICCBased space; null for the others.
    virtual ColorSpace* baseSpace() const { return nullptr; }

protected:
    explicit ColorSpace(std::int32_t components) : components_(components) {}
    virtual ~ColorSpace() = default;

    std::uint32_t refCount_ = 1;
    std::int32_t components_;
    bool valid_ = true;
};

}  // namespace vistrel
