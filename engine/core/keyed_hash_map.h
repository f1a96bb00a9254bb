// KeyedHashMap: the engine's chained hash table, keyed by objects that supply
// their own hash and equality.
//
// The bucket count, the chain order and the growth rule are fixed, because
// files the engine writes list dictionary keys in table order: buckets in
// increasing index, each chain from its head; new nodes go to the head of
// their chain, and a rehash walks the old buckets from index 0 and pushes each
// node onto the head of its new chain (reversing nodes that meet again).
//
// A table of a few entries keeps its nodes in one list, in exactly the order
// a walk over its buckets would give (bucket index ascending, newest first
// within a bucket), and makes its bucket array only when it grows past that:
// a dictionary of a handful of keys then costs no bucket array.
//
// Keys and values are stored as given; the map neither adds nor gives back
// references. Key types: pointers to classes with `uint32_t hash() const` and
// `bool equals(...) const` (the stored key's equals is called with the probe),
// and 32-bit integers (hash = the value). Other key types get a KeyTraits
// specialization.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "engine/core/allocator.h"

namespace vistrel {

template <class K, class Enable = void>
struct KeyTraits;

// Pointers to objects with hash() and equals().
template <class T>
struct KeyTraits<T*> {
    template <class P>
    static uint32_t hash(const P& probe) {
        return probe->hash();
    }
    template <class P>
    static bool equal(T* stored, const P& probe) {
        if constexpr (requires { stored->equals(probe); }) {
            return stored->equals(probe);
        } else {
            return stored->equals(*probe);
        }
    }
};

// Integer keys hash to themselves.
template <class I>
struct KeyTraits<I, std::enable_if_t<std::is_integral_v<I> || std::is_enum_v<I>>> {
    static uint32_t hash(I key) { return static_cast<uint32_t>(key); }
    static bool equal(I stored, I probe) { return stored == probe; }
};

// 2 x the smallest power of two not below n (2 when n is 1 or less); 0 when too large.
inline int32_t doubledPowerOfTwo(int64_t n) {
    int64_t p = 1;
    while (p < n) {
        p <<= 1;
        if (p > (int64_t(1) << 29))
            return 0;
    }
    return static_cast<int32_t>(2 * p);
}

template <class K, class V, class Traits = KeyTraits<K>>
class KeyedHashMap {
public:
    struct Node {
        uint32_t hash;
        K key;
        V value;
        Node* next;
    };

    explicit KeyedHashMap(V defaultValue = V(), int32_t sizeHint = 64, int32_t growth = 64,
                          double loadFactor = 0.75)
        : bucketCount_(doubledPowerOfTwo(sizeHint)),
          mask_(static_cast<uint32_t>(bucketCount_ - 1)),
          minimumBucketCount_(bucketCount_),
          growth_(growth < 1 ? 1 : growth),
          loadFactor_(loadFactor),
          default_(std::move(defaultValue)) {}

    KeyedHashMap(const KeyedHashMap&) = delete;
    KeyedHashMap& operator=(const KeyedHashMap&) = delete;

    KeyedHashMap(KeyedHashMap&& other) noexcept
        : bucketCount_(other.bucketCount_),
          mask_(other.mask_),
          minimumBucketCount_(other.minimumBucketCount_),
          growth_(other.growth_),
          count_(other.count_),
          loadFactor_(other.loadFactor_),
          default_(std::move(other.default_)),
          buckets_(other.buckets_),
          small_(other.small_) {
        other.buckets_ = nullptr;
        other.small_ = nullptr;
        other.count_ = 0;
    }

    ~KeyedHashMap() { clear(); }

    int32_t count() const { return count_; }
    bool empty() const { return count_ == 0; }
    int32_t bucketCount() const { return bucketCount_; }
    uint32_t mask() const { return mask_; }
    int32_t minimumBucketCount() const { return minimumBucketCount_; }
    int32_t growth() const { return growth_; }
    double loadFactor() const { return loadFactor_; }
    const V& defaultValue() const { return default_; }

    // Insert or replace. A key already present keeps its node and its old key;
    // only the value is replaced. False when no node can be had.
    bool insert(K key, V value) {
        uint32_t h = Traits::hash(key);
        if (Node* node = find(key, h)) {
            node->value = std::move(value);
            return true;
        }
        if (!buckets_) {
            // Kept as a list while the table is small and would not grow.
            if (count_ < kSmallLimit && !(growthDue(count_ + 1))) {
                void* memory = nodeHandle().allocate(sizeof(Node));
                if (!memory)
                    return false;
                Node** link = &small_;
                while (*link && ((*link)->hash & mask_) < (h & mask_))
                    link = &(*link)->next;
                *link = new (memory) Node{h, std::move(key), std::move(value), *link};
                ++count_;
                return true;
            }
            if (!spill())
                return false;
        }
        void* memory = nodeHandle().allocate(sizeof(Node));
        if (!memory)
            return false;
        Node*& head = buckets_[h & mask_];
        head = new (memory) Node{h, std::move(key), std::move(value), head};
        ++count_;
        if (growthDue(count_)) {
            rehash(doubledPowerOfTwo(int64_t(bucketCount_) + growth_));
        }
        return true;
    }

    // The value stored under the probe key, or the default value.
    template <class P>
    const V& get(const P& probe) const {
        const Node* node = find(probe);
        return node ? node->value : default_;
    }

    template <class P>
    Node* find(const P& probe) const {
        return find(probe, Traits::hash(probe));
    }

    // The first node of the chain with the given hash whose key equals the probe.
    template <class P>
    Node* find(const P& probe, uint32_t h) const {
        for (Node* node = buckets_ ? buckets_[h & mask_] : small_; node; node = node->next) {
            if (node->hash == h && Traits::equal(node->key, probe))
                return node;
        }
        return nullptr;
    }

    template <class P>
    bool contains(const P& probe) const {
        return find(probe) != nullptr;
    }

    // Unlinks and frees the probe key's node; the key and value go back to the
    // caller through the out parameters when given. False when absent.
    template <class P>
    bool remove(const P& probe, K* keyOut = nullptr, V* valueOut = nullptr) {
        uint32_t h = Traits::hash(probe);
        for (Node** link = buckets_ ? &buckets_[h & mask_] : &small_; *link;
             link = &(*link)->next) {
            Node* node = *link;
            if (node->hash == h && Traits::equal(node->key, probe)) {
                *link = node->next;
                if (keyOut)
                    *keyOut = std::move(node->key);
                if (valueOut)
                    *valueOut = std::move(node->value);
                destroyNode(node);
                --count_;
                return true;
            }
        }
        return false;
    }

    // Unlinks and frees, in one walk in table order, every node for which
    // pred (const Node&) answers true; returns how many went. The bucket
    // count stays. pred must not change the table.
    template <class Pred>
    int32_t removeIf(Pred&& pred) {
        int32_t removed = 0;
        auto sweep = [&](Node** link) {
            while (*link) {
                Node* node = *link;
                if (pred(static_cast<const Node&>(*node))) {
                    *link = node->next;
                    destroyNode(node);
                    --count_;
                    ++removed;
                } else {
                    link = &node->next;
                }
            }
        };
        if (!buckets_) {
            sweep(&small_);
        } else {
            for (int32_t i = 0; i < bucketCount_; ++i)
                sweep(&buckets_[i]);
        }
        return removed;
    }

    // Rebuilds the table for `extra` more entries (nothing when extra < 1 or
    // when the result would be smaller than the minimum bucket count).
    void grow(int32_t extra) {
        if (extra < 1)
            return;
        if (!buckets_ && small_ && !spill())
            return;
        rehash(doubledPowerOfTwo(int64_t(bucketCount_) + extra));
    }

    // Takes over other's nodes in the order a copy made by inserting other's
    // entries in walk order would have (every chain, or every bucket's run of
    // the small list, reversed), with other's bucket count as the minimum.
    // This table must be empty; other is left empty.
    void takeAsCopy(KeyedHashMap& other) {
        clear();
        bucketCount_ = other.bucketCount_;
        mask_ = other.mask_;
        minimumBucketCount_ = other.bucketCount_;
        growth_ = other.growth_;
        loadFactor_ = other.loadFactor_;
        count_ = other.count_;
        buckets_ = other.buckets_;
        small_ = other.small_;
        other.buckets_ = nullptr;
        other.small_ = nullptr;
        other.count_ = 0;
        if (buckets_) {
            for (int32_t i = 0; i < bucketCount_; ++i)
                buckets_[i] = reversed(buckets_[i], nullptr);
            return;
        }
        // The list holds the buckets' runs in bucket order; each run turns.
        Node** link = &small_;
        while (*link) {
            uint32_t bucket = (*link)->hash & mask_;
            Node* end = *link;
            while (end->next && (end->next->hash & mask_) == bucket)
                end = end->next;
            Node* after = end->next;
            Node* first = *link;
            *link = reversed(first, after);
            link = &first->next;
        }
    }

    // Frees every node (keys and values are left to the owner) and the buckets.
    void clear() {
        while (small_) {
            Node* next = small_->next;
            destroyNode(small_);
            small_ = next;
        }
        if (!buckets_) {
            count_ = 0;
            return;
        }
        for (int32_t i = 0; i < bucketCount_; ++i) {
            Node* node = buckets_[i];
            while (node) {
                Node* next = node->next;
                destroyNode(node);
                node = next;
            }
        }
        globalDeleteArray(buckets_);
        buckets_ = nullptr;
        count_ = 0;
    }

    // Iteration in table order.
    template <class NodeT>
    class Iterator {
    public:
        Iterator(Node* const* buckets, int32_t bucketCount, int32_t index, NodeT* node)
            : buckets_(buckets), bucketCount_(bucketCount), index_(index), node_(node) {}
        NodeT& operator*() const { return *node_; }
        NodeT* operator->() const { return node_; }
        Iterator& operator++() {
            node_ = node_->next;
            if (!node_) {
                while (++index_ < bucketCount_ && !buckets_[index_]) {
                }
                node_ = index_ < bucketCount_ ? buckets_[index_] : nullptr;
            }
            return *this;
        }
        bool operator==(const Iterator& other) const { return node_ == other.node_; }

    private:
        Node* const* buckets_;
        int32_t bucketCount_;
        int32_t index_;
        NodeT* node_;
    };
    using iterator = Iterator<Node>;
    using const_iterator = Iterator<const Node>;

    iterator begin() { return makeBegin<Node>(); }
    iterator end() { return iterator(buckets_, bucketCount_, bucketCount_, nullptr); }
    const_iterator begin() const { return makeBegin<const Node>(); }
    const_iterator end() const {
        return const_iterator(buckets_, bucketCount_, bucketCount_, nullptr);
    }

private:
    static AllocatorHandle& nodeHandle() { return poolHandleOf<Node>; }

    template <class NodeT>
    Iterator<NodeT> makeBegin() const {
        if (!buckets_ || count_ == 0)
            return Iterator<NodeT>(buckets_, bucketCount_, bucketCount_,
                                   buckets_ ? nullptr : small_);
        int32_t i = 0;
        while (!buckets_[i])
            ++i;
        return Iterator<NodeT>(buckets_, bucketCount_, i, buckets_[i]);
    }

    bool allocateBuckets() {
        if (bucketCount_ <= 0)
            return false;
        // The bucket array holds pointers: sizeof(Node*) is meant.
        // NOLINTNEXTLINE(bugprone-sizeof-expression)
        buckets_ = static_cast<Node**>(globalNewArray(sizeof(Node*) * size_t(bucketCount_)));
        if (!buckets_)
            return false;
        // NOLINTNEXTLINE(bugprone-sizeof-expression)
        std::memset(static_cast<void*>(buckets_), 0, sizeof(Node*) * size_t(bucketCount_));
        return true;
    }

    // Entries kept as a list before a bucket array is made.
    static constexpr int32_t kSmallLimit = 8;

    bool growthDue(int32_t count) const {
        // Half the growth step in whole buckets, as the table has always grown.
        // NOLINTNEXTLINE(bugprone-integer-division)
        return (double(bucketCount_) + growth_ / 2) * loadFactor_ < count;
    }

    // Moves the list of a small table into a new bucket array; each chain
    // keeps the list's order (newest first). False when no array can be had.
    bool spill() {
        if (!allocateBuckets())
            return false;
        Node* node = small_;
        small_ = nullptr;
        while (node) {
            Node* next = node->next;
            Node** link = &buckets_[node->hash & mask_];
            while (*link)
                link = &(*link)->next;
            node->next = nullptr;
            *link = node;
            node = next;
        }
        return true;
    }

    // Reverses the run of nodes from first up to (not including) end, which
    // then follows the run's new last node; returns the run's new head.
    static Node* reversed(Node* first, Node* end) {
        Node* head = end;
        while (first != end) {
            Node* next = first->next;
            first->next = head;
            head = first;
            first = next;
        }
        return head;
    }

    void destroyNode(Node* node) {
        node->~Node();
        nodeHandle().free(node, sizeof(Node));
    }

    void rehash(int32_t newCount) {
        if (newCount <= 0 || newCount < minimumBucketCount_)
            return;
        if (!buckets_) {
            bucketCount_ = newCount;
            mask_ = static_cast<uint32_t>(newCount - 1);
            return;
        }
        // NOLINTNEXTLINE(bugprone-sizeof-expression): an array of pointers
        auto** fresh = static_cast<Node**>(globalNewArray(sizeof(Node*) * size_t(newCount)));
        if (!fresh)
            return;  // keep the old table
        // NOLINTNEXTLINE(bugprone-sizeof-expression)
        std::memset(static_cast<void*>(fresh), 0, sizeof(Node*) * size_t(newCount));
        uint32_t newMask = static_cast<uint32_t>(newCount - 1);
        for (int32_t i = 0; i < bucketCount_; ++i) {
            Node* node = buckets_[i];
            while (node) {
                Node* next = node->next;
                Node*& head = fresh[Traits::hash(node->key) & newMask];
                node->next = head;
                head = node;
                node = next;
            }
        }
        globalDeleteArray(buckets_);
        buckets_ = fresh;
        bucketCount_ = newCount;
        mask_ = newMask;
    }

    int32_t bucketCount_;
    uint32_t mask_;
    int32_t minimumBucketCount_;
    int32_t growth_;
    int32_t count_ = 0;
    double loadFactor_;
    V default_;
    Node** buckets_ = nullptr;  // made when the table outgrows the list
    Node* small_ = nullptr;     // the entries, in walk order, while there is no array
};

}  // namespace vistrel
