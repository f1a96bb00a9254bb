// RingList: the engine's doubly linked ring list. Nodes form a ring through a
// sentinel; the list keeps a count and a cursor (a node with its 0-based
// index, -1 while the cursor stands on the sentinel). Appending inserts
// before the sentinel and puts the cursor on the new node; walking puts it on
// the first node and steps with next().
//
// The list owns its entries (they are destroyed with their nodes). Nodes come
// from a pool allocator of the node size; an append that cannot have a node
// reports false and leaves the list unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <new>
#include <type_traits>
#include <utility>

#include "engine/core/allocator.h"

namespace vistrel {

template <class T>
class RingList {
    struct Link {
        Link* next;
        Link* prev;
    };
    struct Node : Link {
        // A node is never copied or moved, so the value's constructor hides none.
        template <class U>
        explicit Node(U&& v)  // NOLINT(bugprone-forwarding-reference-overload)
            : Link{nullptr, nullptr}, value(std::forward<U>(v)) {}
        T value;
    };

public:
    RingList() = default;
    RingList(const RingList&) = delete;
    RingList& operator=(const RingList&) = delete;
    ~RingList() { clear(); }

    int32_t count() const { return count_; }
    bool empty() const { return count_ == 0; }

    // Appends a copy (or the moved value) of v.
    template <class U>
    bool append(U&& v) {
        void* block = nodeHandle().allocate(sizeof(Node));
        if (!block)
            return false;
        Node* node = new (block) Node(std::forward<U>(v));
        node->next = &sentinel_;
        node->prev = sentinel_.prev;
        sentinel_.prev->next = node;
        sentinel_.prev = node;
        cursor_ = node;
        index_ = count_;
        ++count_;
        return true;
    }

    // Removes and destroys the last entry; false when the list is empty. The
    // cursor goes back to the sentinel when it stood on that entry.
    bool removeLast() {
        if (count_ == 0)
            return false;
        Link* node = sentinel_.prev;
        if (cursor_ == node) {
            cursor_ = &sentinel_;
            index_ = -1;
        }
        unlinkAndFree(node);
        return true;
    }

    // Destroys every entry.
    void clear() {
        while (count_ > 0)
            unlinkAndFree(sentinel_.prev);
        cursor_ = &sentinel_;
        index_ = -1;
    }

    // Cursor walk: first() puts the cursor on the first entry, next() moves
    // it on; both return the entry, or null on reaching the sentinel.
    T* first() {
        cursor_ = sentinel_.next;
        index_ = count_ > 0 ? 0 : -1;
        return current();
    }
    T* next() {
        if (cursor_ == &sentinel_)
            return nullptr;
        cursor_ = cursor_->next;
        index_ = cursor_ == &sentinel_ ? -1 : index_ + 1;
        return current();
    }
    T* current() const {
        return cursor_ == &sentinel_ ? nullptr : &static_cast<Node*>(cursor_)->value;
    }
    int32_t currentIndex() const { return index_; }

    // Iteration in list order (leaves the cursor alone).
    template <class V, class L>
    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = std::remove_const_t<V>;
        using difference_type = std::ptrdiff_t;
        using pointer = V*;
        using reference = V&;

        explicit Iterator(L* at) : at_(at) {}
        V& operator*() const { return static_cast<NodeOf<V>*>(at_)->value; }
        V* operator->() const { return &**this; }
        Iterator& operator++() {
            at_ = at_->next;
            return *this;
        }
        bool operator==(const Iterator& o) const { return at_ == o.at_; }

    private:
        template <class W>
        using NodeOf = std::conditional_t<std::is_const_v<W>, const Node, Node>;
        L* at_;
    };
    using iterator = Iterator<T, Link>;
    using const_iterator = Iterator<const T, const Link>;

    iterator begin() { return iterator(sentinel_.next); }
    iterator end() { return iterator(&sentinel_); }
    const_iterator begin() const { return const_iterator(sentinel_.next); }
    const_iterator end() const { return const_iterator(&sentinel_); }

private:
    static AllocatorHandle& nodeHandle() { return poolHandleOf<Node>; }

    void unlinkAndFree(Link* link) {
        link->prev->next = link->next;
        link->next->prev = link->prev;
        --count_;
        Node* node = static_cast<Node*>(link);
        node->~Node();
        nodeHandle().free(node, sizeof(Node));
    }

    Link sentinel_{&sentinel_, &sentinel_};
    Link* cursor_ = &sentinel_;
    int32_t index_ = -1;
    int32_t count_ = 0;
};

}  // namespace vistrel
