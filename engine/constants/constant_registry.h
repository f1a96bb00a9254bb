// The registry of the engine's global constants and static objects.
//
// Every list of constants is built in one fixed order when the library is
// loaded, before any other code of the library or its users runs, and
// destroyed newest first when it is unloaded. Nothing depends on the order in
// which the C++ run-time initializes globals of different files: the objects
// live in constant-initialized slots (constant_slot.h) and only this registry
// constructs and destroys them.
#pragma once

#include <cstddef>
#include <iterator>

namespace vistrel {

// One group of constants or static objects, built and destroyed as a unit.
struct ConstantGroup {
    const char* name;
    void (*build)();
    void (*destroy)();
};

// Builds groups in order and destroys the built ones newest first.
class ConstantRegistry {
public:
    constexpr ConstantRegistry(const ConstantGroup* groups, size_t count)
        : groups_(groups), count_(count) {}

    // Builds every group not built yet, in order.
    void buildAll();
    // Destroys the built groups, newest first.
    void destroyAll();
    size_t builtCount() const { return built_; }
    size_t groupCount() const { return count_; }
    const ConstantGroup& group(size_t i) const { return groups_[i]; }

private:
    const ConstantGroup* groups_;
    size_t count_;
    size_t built_ = 0;
};

// The engine's registry, built at library load and destroyed at unload.
ConstantRegistry& engineConstants();

}  // namespace vistrel
