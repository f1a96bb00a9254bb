// The colour object of an output device: one packed 0x00BBGGRR value, set
// from the device components a colour space produced and read back as
// components of a model. CMYK components become RGB by one of three models,
// chosen by the setting "Quality"/"FullColorPathConversion" at each
// conversion.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/core/allocator.h"
#include "engine/core/containers.h"

namespace vistrel {

// How a list of components is read (fromComponents) or written
// (toComponents).
enum ComponentModel : std::int32_t {
    kModelRawRgb = 0,  // red, green, blue as numbers 0 to 255
    kModelGray = 1,    // one gray level 0 to 1
    kModelRgb = 2,     // red, green, blue 0 to 1
    kModelNone = 3,    // refused by both conversions
    kModelCmyk = 4,    // cyan, magenta, yellow, black 0 to 1
    kModelByCount = 5  // Gray, Rgb or Cmyk by the count 1, 3 or 4 (fromComponents only)
};

class DeviceColor {
    VISTREL_GLOBAL_ALLOCATOR()

public:
    DeviceColor() = default;
    explicit DeviceColor(std::uint32_t v) : value_(v) {}
    virtual ~DeviceColor() = default;

    // Null when memory runs out.
    virtual std::unique_ptr<DeviceColor> clone() const {
        return std::make_unique<DeviceColor>(value_);
    }
    // False, leaving the value, for an array without storage, a refused
    // model, a ByCount list of a count other than 1, 3 or 4, or fewer
    // components than the model reads. Gray, Rgb and the quick CMYK model
    // take components outside 0 to 1 as their nearest bound (NaN as 0).
    virtual bool fromComponents(const DoubleArray& components, std::int32_t model);
    virtual bool SetRgb(int red, int green, int blue) {
        value_ = (std::uint32_t(blue & 0xFF) << 16) | (std::uint32_t(green & 0xFF) << 8) |
                 std::uint32_t(red & 0xFF);
        return true;
    }
    virtual bool setValue(std::uint32_t v) {
        value_ = v;
        return true;
    }
    // Empties `out` and writes the value as components of the model; false
    // for an array without storage, the models 3 and 5 and any unknown one.
    virtual bool toComponents(DoubleArray& out, std::int32_t model) const;
    virtual bool getRgb(int& red, int& green, int& blue) const {
        red = int(value_ & 0xFF);
        green = int((value_ >> 8) & 0xFF);
        blue = int((value_ >> 16) & 0xFF);
        return true;
    }
    virtual bool getValue(std::uint32_t& v) const {
        v = value_;
        return true;
    }
    std::uint32_t value() const { return value_; }

protected:
    std::uint32_t value_ = 0xFFFFFF;
};

// The engine's conversion from CIE XYZ to linear r, g, b.
void xyzToRgb(double x, double y, double z, double& r, double& g, double& b);
// The video transfer curve, clamped to 0 to 1 (NaN gives 0).
double videoTransfer(double v);

}  // namespace vistrel
