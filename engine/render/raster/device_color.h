// The colour object of an output device: one packed 0x00BBGGRR value.
// Conversions from colour-space components are added with the colour
// spaces; the device itself needs only the packed value.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/core/allocator.h"

namespace vistrel {

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
    virtual bool SetRgb(int red, int green, int blue) {
        value_ = (std::uint32_t(blue & 0xFF) << 16) | (std::uint32_t(green & 0xFF) << 8) |
                 std::uint32_t(red & 0xFF);
        return true;
    }
    virtual bool setValue(std::uint32_t v) {
        value_ = v;
        return true;
    }
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

}  // namespace vistrel
