// Small growable containers: PointerArray (pointers), DoubleArray (doubles),
// the generic GrowableArray under both, and TokenList, the cursor list of the
// object parser's look-ahead queue.
//
// Storage comes from an AllocatorHandle of the general kind (the object-list
// handle unless another is given). Nothing throws: operations that need memory
// report false and leave the container unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "engine/core/allocator.h"

namespace vistrel {

// The handle of the object lists (PointerArray and friends).
inline constinit AllocatorHandle objectListHandle{kAllocGeneral, 0};
// The handle of the growable arrays of numbers (DoubleArray and friends).
inline constinit AllocatorHandle growableArrayHandle{kAllocGeneral, 0};
// The handle of the token lists.
inline constinit AllocatorHandle tokenListHandle{kAllocGeneral, 0};

// A growable array of trivially copyable elements: storage, count, capacity.
// Appending to a full array doubles the capacity.
template <class T>
class GrowableArray {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    explicit GrowableArray(int32_t capacity = 8, AllocatorHandle* handle = &objectListHandle)
        : handle_(handle) {
        if (capacity > 0)
            reserve(capacity);
    }
    GrowableArray(const GrowableArray& other) : handle_(other.handle_) {
        // Capacity = the other's count (8 when that is 0).
        if (reserve(other.count_ > 0 ? other.count_ : 8)) {
            copyFrom(other);
        }
    }
    GrowableArray& operator=(const GrowableArray& other) {
        if (this != &other)
            assign(other);
        return *this;
    }
    ~GrowableArray() { release(); }

    int32_t count() const { return count_; }
    int32_t capacity() const { return capacity_; }
    bool empty() const { return count_ == 0; }
    T* data() { return storage_; }
    const T* data() const { return storage_; }
    T& operator[](int32_t i) { return storage_[i]; }
    const T& operator[](int32_t i) const { return storage_[i]; }
    T* begin() { return storage_; }
    T* end() { return storage_ + count_; }
    const T* begin() const { return storage_; }
    const T* end() const { return storage_ + count_; }

    bool append(T value) {
        if (count_ + 1 > capacity_ && !reserve(capacity_ > 0 ? int64_t(capacity_) * 2 : 8)) {
            return false;
        }
        storage_[count_++] = value;
        return true;
    }

    // count = n; the capacity doubles until n fits (new slots are not cleared).
    bool setSize(int32_t n) {
        if (n < 0)
            return false;
        if (!growTo(n))
            return false;
        count_ = n;
        return true;
    }

    // Stores value at i (below the count) and returns the old value.
    T setAt(int32_t i, T value) {
        T old = storage_[i];
        storage_[i] = value;
        return old;
    }

    // count = 0, then every element of other appended; the storage is kept.
    bool assign(const GrowableArray& other) {
        if (this == &other)
            return true;
        count_ = 0;
        if (!growTo(other.count_))
            return false;
        copyFrom(other);
        return true;
    }

    void clear() { count_ = 0; }

    // Empties the array and frees its storage.
    void release() {
        if (storage_)
            handle_->free(storage_, 0);
        storage_ = nullptr;
        count_ = 0;
        capacity_ = 0;
    }

    // Grows the storage to hold at least `capacity` elements.
    bool reserve(int64_t capacity) {
        if (capacity <= capacity_)
            return true;
        if (capacity > INT32_MAX)
            return false;
        size_t bytes;
        // NOLINTNEXTLINE(bugprone-sizeof-expression): T may be a pointer type
        if (!checkedMultiply(static_cast<size_t>(capacity), sizeof(T), &bytes))
            return false;
        void* fresh = handle_->reallocate(storage_, bytes);
        if (!fresh)
            return false;
        storage_ = static_cast<T*>(fresh);
        capacity_ = static_cast<int32_t>(capacity);
        return true;
    }

private:
    // Doubles the capacity until n elements fit, as appending one by one
    // would.
    bool growTo(int32_t n) {
        if (n <= capacity_)
            return true;
        int64_t cap = capacity_ > 0 ? capacity_ : 8;
        while (cap < n)
            cap *= 2;
        return reserve(cap);
    }

    void copyFrom(const GrowableArray& other) {
        if (other.count_) {
            // NOLINTNEXTLINE(bugprone-sizeof-expression): T may be a pointer type
            const size_t bytes = sizeof(T) * size_t(other.count_);
            std::memcpy(static_cast<void*>(storage_), other.storage_, bytes);
        }
        count_ = other.count_;
    }

    T* storage_ = nullptr;
    int32_t count_ = 0;
    int32_t capacity_ = 0;
    AllocatorHandle* handle_;
};

// Array of pointers (PdfArray elements, the writer's object list).
template <class T = void>
class PointerArray : public GrowableArray<T*> {
public:
    explicit PointerArray(int32_t capacity = 8, AllocatorHandle* handle = &objectListHandle)
        : GrowableArray<T*>(capacity, handle) {}
};

// Array of doubles (operand values, function domains and ranges, widths).
class DoubleArray : public GrowableArray<double> {
public:
    explicit DoubleArray(int32_t capacity = 8, AllocatorHandle* handle = &growableArrayHandle)
        : GrowableArray<double>(capacity, handle) {}
};

// A circular doubly linked list with a sentinel and a cursor. The current
// index is -1 while the cursor stands on the sentinel.
template <class T>
class TokenList {
public:
    struct Node {
        T entry;
        Node* next;
        Node* prev;
    };

    TokenList() {
        sentinel_.next = &sentinel_;
        sentinel_.prev = &sentinel_;
        current_ = &sentinel_;
    }
    TokenList(const TokenList&) = delete;
    TokenList& operator=(const TokenList&) = delete;
    ~TokenList() {
        clear();
        while (spare_) {
            Node* next = spare_->next;
            tokenListHandle.free(spare_, sizeof(Node));
            spare_ = next;
        }
    }

    int32_t count() const { return count_; }
    bool empty() const { return count_ == 0; }
    int32_t currentIndex() const { return index_; }
    bool atSentinel() const { return current_ == &sentinel_; }
    // The entry under the cursor (a value-initialized T on the sentinel).
    T current() const { return current_ == &sentinel_ ? T() : current_->entry; }

    // Appends at the end; the cursor stays. False when no node can be had.
    bool append(T entry) {
        void* memory = spare_;
        if (memory) {
            spare_ = spare_->next;
            --spareCount_;
        } else {
            memory = tokenListHandle.allocate(sizeof(Node));
            if (!memory)
                return false;
        }
        // The node lives in the list's own allocator block; the list frees it.
        // NOLINTNEXTLINE(cppcoreguidelines-owning-memory)
        Node* node = new (memory) Node{entry, &sentinel_, sentinel_.prev};
        sentinel_.prev->next = node;
        sentinel_.prev = node;
        ++count_;
        return true;
    }

    // Removes the first entry into *entry. The cursor keeps its node (moving to
    // the sentinel when it stood on the removed one).
    bool removeFirst(T* entry = nullptr) {
        if (count_ == 0)
            return false;
        Node* node = sentinel_.next;
        if (entry)
            *entry = node->entry;
        if (current_ == node) {
            current_ = &sentinel_;
            index_ = -1;
        } else if (index_ > 0) {
            --index_;
        }
        unlinkAndFree(node);
        return true;
    }

    // Moves the cursor to index; an index outside the list changes nothing.
    void seek(int32_t index) {
        if (index < 0 || index >= count_)
            return;
        int32_t d = index - index_;
        if (index_ < 0) {
            // From the sentinel, walk the shorter way round.
            d = index + 1;
            if (count_ - index < d)
                d = -(count_ - index);
        }
        for (; d > 0; --d)
            next();
        for (; d < 0; ++d)
            prev();
    }

    void next() {
        current_ = current_->next;
        index_ = current_ == &sentinel_ ? -1 : index_ + 1;
    }

    void prev() {
        current_ = current_->prev;
        index_ = current_ == &sentinel_ ? -1 : (index_ < 0 ? count_ - 1 : index_ - 1);
    }

    // seek(index), then the entry under the cursor.
    T entryAt(int32_t index) {
        seek(index);
        return current();
    }

    // Frees every node; the entries are left to the owner.
    void clear() {
        while (count_)
            unlinkAndFree(sentinel_.next);
        current_ = &sentinel_;
        index_ = -1;
    }

    // Entries in list order.
    template <class F>
    void forEach(F&& f) const {
        for (Node* n = sentinel_.next; n != &sentinel_; n = n->next)
            f(n->entry);
    }

private:
    void unlinkAndFree(Node* node) {
        node->prev->next = node->next;
        node->next->prev = node->prev;
        --count_;
        node->~Node();
        if (spareCount_ < kMaxSpare) {
            // Kept for the next append: a queue that is filled and emptied
            // entry by entry allocates nothing once it has run.
            node->next = spare_;
            spare_ = node;
            ++spareCount_;
            return;
        }
        tokenListHandle.free(node, sizeof(Node));
    }

    static constexpr int32_t kMaxSpare = 16;

    Node sentinel_{};
    Node* current_;
    int32_t count_ = 0;
    int32_t index_ = -1;
    Node* spare_ = nullptr;  // freed nodes kept for reuse, linked through next
    int32_t spareCount_ = 0;
};

}  // namespace vistrel
