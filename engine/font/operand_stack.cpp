#include "engine/font/operand_stack.h"

#include <algorithm>

namespace vistrel {

void OperandStack::clear() {
    entries_.clear();
    depth_ = 0;
}

std::int32_t OperandStack::peek(std::int32_t i) const {
    if (i < 0 || i >= depth_)
        return 0;
    return entries_[std::size_t(depth_ - 1 - i)];
}

void OperandStack::push(std::int32_t v) {
    if (std::size_t(depth_) < entries_.size())
        entries_[std::size_t(depth_)] = v;
    else
        entries_.push_back(v);
    ++depth_;
}

std::int32_t OperandStack::pop() {
    if (depth_ == 0)
        return 0;
    --depth_;
    return entries_[std::size_t(depth_)];
}

bool OperandStack::copy(std::int32_t n) {
    if (n > depth_)
        return false;
    const std::int32_t first = depth_ - n;
    for (std::int32_t i = 0; i < n; ++i)
        push(entries_[std::size_t(first) + std::size_t(i)]);
    return true;
}

void IntArray::reverse() {
    std::reverse(begin(), end());
}

}  // namespace vistrel
