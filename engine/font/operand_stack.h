// The two small containers the charstring interpreters share: OperandStack,
// the operand stack of Type 1 charstrings, and IntArray, a growable list of
// 32-bit integers.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/core/containers.h"

namespace vistrel {

// A stack of 32-bit integers. Entries popped stay stored, so a push after a
// pop writes over them; clear forgets them all.
class OperandStack {
public:
    OperandStack() { entries_.reserve(8); }
    virtual ~OperandStack() = default;

    // Nothing on the stack.
    virtual void clear();
    // Entry i below the top (0 the top); 0 when there is no such entry.
    virtual std::int32_t peek(std::int32_t i) const;
    virtual void push(std::int32_t v);
    // The top entry, removed; 0 when the stack is empty.
    virtual std::int32_t pop();
    // Pushes copies of the top n entries in their order. False, nothing
    // copied, when fewer than n are on the stack; n below 1 copies nothing.
    virtual bool copy(std::int32_t n);

    // Entries in use.
    std::int32_t depth() const { return depth_; }

private:
    std::vector<std::int32_t> entries_;
    std::int32_t depth_ = 0;
};

// A growable list of 32-bit integers (capacity 8 at first, doubling).
class IntArray : public GrowableArray<std::int32_t> {
public:
    explicit IntArray(std::int32_t capacity = 8)
        : GrowableArray<std::int32_t>(capacity, &growableArrayHandle) {}

    // Reverses the entries in place.
    void reverse();
};

}  // namespace vistrel
