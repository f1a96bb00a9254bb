// The reference-counted base of the colour spaces the graphics state holds
// for filling and stroking. The colour code builds the families on it.
#pragma once

#include <cstdint>

#include "engine/core/allocator.h"

namespace vistrel {

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

protected:
    ColorSpace() = default;
    virtual ~ColorSpace() = default;

    std::uint32_t refCount_ = 1;
};

}  // namespace vistrel
