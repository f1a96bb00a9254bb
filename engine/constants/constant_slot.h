// Static storage for a global constant that the constant registry constructs
// in place at library load and destroys at unload.
//
// The slot is constant-initialized (zero bytes), so code may take the address
// of its object at compile time; the object itself exists only between
// buildConstants() and destroyConstants() (engine/constants/constant_registry.h).
#pragma once

#include <new>
#include <utility>

namespace vistrel {

template <class T>
union ConstantSlot {
    constexpr ConstantSlot() : bytes{} {}
    ~ConstantSlot() {}

    template <class... Args>
    void construct(Args&&... args) {
        ::new (static_cast<void*>(&object)) T(std::forward<Args>(args)...);
    }
    void destroy() { object.~T(); }

    T object;
    unsigned char bytes[sizeof(T)];
};

}  // namespace vistrel
