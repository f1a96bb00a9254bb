// A stack of pointers whose popped entries stay in the array: a later push
// overwrites them, and pushAgain copies entries from the top.
#pragma once

#include <cstddef>
#include <vector>

namespace vistrel {

template <class T>
class PointerStack {
public:
    PointerStack() { entries_.reserve(8); }
    virtual ~PointerStack() = default;

    virtual void clear() {
        entries_.clear();
        top_ = 0;
    }
    // The entry n places below the top (0: the top itself); null when there
    // is none.
    virtual T peek(std::size_t n = 0) const { return n < top_ ? entries_[top_ - 1 - n] : T(); }
    virtual std::size_t push(T entry) {
        if (top_ < entries_.size()) {
            entries_[top_] = entry;
        } else {
            entries_.push_back(entry);
        }
        return ++top_;
    }
    virtual T pop() {
        if (top_ == 0)
            return T();
        return entries_[--top_];
    }
    // Pushes copies of the top n entries in their order.
    virtual bool pushAgain(int n) {
        if (n < 1)
            return true;
        if (std::size_t(n) > top_)
            return false;
        std::size_t first = top_ - std::size_t(n);
        for (std::size_t i = 0; i < std::size_t(n); ++i)
            push(entries_[first + i]);
        return true;
    }
    std::size_t size() const { return top_; }
    bool empty() const { return top_ == 0; }

private:
    std::vector<T> entries_;
    std::size_t top_ = 0;
};

}  // namespace vistrel
