// Engine memory: the small-block heap (BlockPool), the allocator classes, the
// per-class allocator handles, the registries of allocators and purgeable
// caches, and the low-memory purge sequence.
//
// Nothing here throws: every allocation reports failure as null, after the
// low-memory sequence has asked the caches and allocators to give memory back.
//
// Classes take their memory from a static AllocatorHandle through class-specific
// operator new/delete; VISTREL_CLASS_ALLOCATOR(handle) declares them:
//
//     inline constinit AllocatorHandle gTokenHandle{kAllocPool, sizeof(Token)};
//     class Token { VISTREL_CLASS_ALLOCATOR(gTokenHandle) ... };
//
// `new Token` then yields null when memory cannot be had (the constructor does
// not run). A derived class larger than the pool's block is served from the
// general heap, and given back there, automatically.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

namespace vistrel {

// Kind flags of an AllocatorHandle / getAllocator request.
inline constexpr uint32_t kAllocGeneral = 1;   // general heap
inline constexpr uint32_t kAllocGeneral2 = 2;  // also general (cancels the pool bit)
inline constexpr uint32_t kAllocPool = 4;      // fixed-size pool (without bits 1 and 2)
inline constexpr uint32_t kAllocPrivate = 32;  // do not share an existing allocator
inline constexpr uint32_t kAllocGeneral64 = 64;

// Largest single request served; anything larger (and any size computation that
// overflows) fails like an exhausted heap.
inline constexpr size_t kMaxAllocation = size_t(1) << 40;

// Returns whether flags ask for a fixed-size pool.
constexpr bool wantsPool(uint32_t flags) {
    return (flags & kAllocPool) != 0 && (flags & (kAllocGeneral | kAllocGeneral2)) == 0;
}

// Checked size arithmetic: false when the result would overflow or exceed kMaxAllocation.
bool checkedMultiply(size_t a, size_t b, size_t* result);
bool checkedAdd(size_t a, size_t b, size_t* result);

// ---------------------------------------------------------------------------
// Allocator: abstract base, registered in the AllocatorRegistry from
// construction to destruction, reference counted by the handles that use it.
class Allocator {
public:
    Allocator();
    virtual ~Allocator();
    Allocator(const Allocator&) = delete;
    Allocator& operator=(const Allocator&) = delete;

    // Gives back what can be given back; true when something was freed.
    virtual bool purge(int level);
    virtual void* allocateArray(size_t count, size_t size);
    virtual void* allocate(size_t size) = 0;
    virtual void free(void* block) = 0;
    virtual void* reallocate(void* block, size_t size) = 0;
    virtual bool isGeneral() const = 0;
    virtual bool accepts(uint32_t flags, size_t size) const = 0;

    // The largest request this allocator serves (the block size of a pool).
    size_t largestBlock() const { return largestBlock_; }

    uint32_t refCount() const { return refCount_; }
    void addRef() { ++refCount_; }
    // Drops one reference; destroys the allocator when the count reaches 0.
    void release();

    // Allocators themselves live in the default allocator.
    static void* operator new(size_t size) noexcept;
    static void operator delete(void* block) noexcept;

    struct StaticTag {};

protected:
    // For the static default heap: constant-initialized, registered through the
    // registry's static node, never destroyed.
    constexpr Allocator(StaticTag, uint32_t refCount) : refCount_(refCount) {}

    size_t largestBlock_ = SIZE_MAX;

private:
    uint32_t refCount_ = 1;
};

// ---------------------------------------------------------------------------
// BlockPool: the small-block heap. 256 size-class lists; blocks above the
// pooled threshold (and from 4096 bytes up) come from the C run-time heap.
// Every block carries one header word: its chunk, or 0 for a run-time block.
class BlockPool {
public:
    // The "C run-time heap" under the pool; replaceable for tests.
    struct SystemHeap {
        void* (*allocate)(size_t size);
        void (*free)(void* block);
    };

    constexpr BlockPool() = default;
    BlockPool(const BlockPool&) = delete;
    BlockPool& operator=(const BlockPool&) = delete;

    // Allocation with the low-memory sequence; null when nothing helps.
    void* allocate(size_t size);
    // One attempt, no purging.
    void* tryAllocate(size_t size);
    void free(void* block);
    void* reallocate(void* block, size_t size);
    size_t blockSize(const void* block) const;
    // Releases every chunk of every size class (at unload); runs at most once.
    void releaseAll();
    // Releases the chunks without a block in use in every size class; true when any was.
    bool releaseEmptyChunks();

    size_t pooledThreshold() const { return threshold_; }
    // Blocks per chunk of the size class serving requests of `size` (0 when none exists).
    uint32_t blocksPerChunk(size_t size) const;
    // Whether the block came straight from the run-time heap.
    static bool isRuntimeBlock(const void* block);

    void setSystemHeap(SystemHeap heap) { heap_ = heap; }

    struct SizeClass;
    struct Chunk;

private:
    friend bool purgeMemory(size_t size, int level);
    void* runtimeAllocate(size_t rounded);
    SizeClass* findClass(size_t rounded) const;
    SizeClass* newClass(size_t rounded);
    void* takeBlock(SizeClass* cls);
    Chunk* newChunk(SizeClass* cls);
    void giveBack(Chunk* chunk, void* block);
    bool releaseEmptyChunks(SizeClass* cls);
    bool purgeForRetry(int level);

    SizeClass* lists_[256] = {};
    // The descriptor of every pooled block size (multiples of 8 below 4096),
    // so that an allocation finds its size class without a search.
    SizeClass* bySize_[512] = {};
    size_t threshold_ = 0;
    SystemHeap heap_ = {nullptr, nullptr};
    bool released_ = false;
    bool purging_ = false;
};

// The engine's static small-block heap.
BlockPool& blockPool();

// ---------------------------------------------------------------------------
// HeapAllocator: the general allocator over BlockPool. The static default
// instance starts with a reference count of 3 * 2^30 so that releases never
// bring it to zero.
class HeapAllocator final : public Allocator {
public:
    HeapAllocator() = default;
    ~HeapAllocator() override = default;

    bool purge(int level) override;
    void* allocateArray(size_t count, size_t size) override;
    void* allocate(size_t size) override;
    void free(void* block) override;
    void* reallocate(void* block, size_t size) override;
    bool isGeneral() const override { return true; }
    bool accepts(uint32_t flags, size_t size) const override;

private:
    friend union DefaultHeapStorage;
    constexpr explicit HeapAllocator(StaticTag tag) : Allocator(tag, 0xC0000000u) {}
};

// ---------------------------------------------------------------------------
// PoolAllocator: fixed-size blocks carved from chunks of 16 blocks, handed out
// from a list of free regions.
class PoolAllocator final : public Allocator {
public:
    // Block size = size rounded up to the pointer size, at least two pointers.
    explicit PoolAllocator(size_t size, Allocator* backing = nullptr);
    ~PoolAllocator() override;

    // Trims the pool: returns every chunk without a block in use.
    bool purge(int level) override;
    void* allocateArray(size_t count, size_t size) override;
    // Serves requests of at most the block size; larger ones give null.
    void* allocate(size_t size) override;
    void free(void* block) override;
    // The block unchanged when size fits the block, else null (block untouched).
    void* reallocate(void* block, size_t size) override;
    bool isGeneral() const override { return false; }
    bool accepts(uint32_t flags, size_t size) const override;

    static size_t roundBlockSize(size_t size);
    size_t blockSize() const { return blockSize_; }
    size_t capacity() const { return capacity_; }
    size_t bytesInUse() const { return bytesInUse_; }
    size_t chunkCount() const { return chunkCount_; }
    size_t chunkSize() const { return chunkSize_; }

    struct Region;
    struct PoolChunk;

private:
    size_t capacity_ = 0;
    size_t bytesInUse_ = 0;
    size_t chunkCount_ = 0;
    size_t blockSize_;
    size_t chunkSize_;
    Allocator* backing_;
    Region* regions_ = nullptr;
    PoolChunk* chunks_ = nullptr;
};

// ---------------------------------------------------------------------------
// Registries: doubly linked lists of {object, next, previous}; new entries go
// to the head, so walks visit the newest first.
template <class T>
class ObjectRegistry {
public:
    struct Node {
        T* object;
        Node* next;
        Node* prev;
    };

    constexpr ObjectRegistry() = default;
    constexpr ObjectRegistry(Node* head, int32_t count) : head_(head), count_(count) {}

    Node* head() const { return head_; }
    int32_t count() const { return count_; }

protected:
    void link(Node* node) {
        node->prev = nullptr;
        node->next = head_;
        if (head_)
            head_->prev = node;
        head_ = node;
        ++count_;
    }
    Node* find(const T* object) const {
        for (Node* n = head_; n; n = n->next) {
            if (n->object == object)
                return n;
        }
        return nullptr;
    }
    void unlink(Node* node) {
        if (node->prev) {
            node->prev->next = node->next;
        } else {
            head_ = node->next;
        }
        if (node->next)
            node->next->prev = node->prev;
        --count_;
    }

    Node* head_ = nullptr;
    int32_t count_ = 0;
};

class AllocatorRegistry : public ObjectRegistry<Allocator> {
public:
    using ObjectRegistry::ObjectRegistry;
    // Registers at the head; the first registration uses the static node.
    bool add(Allocator* allocator);
    // Removes the first node holding the allocator; whether it was registered.
    bool remove(Allocator* allocator);
};

class Purgeable;
class PurgeList : public ObjectRegistry<Purgeable> {
public:
    using ObjectRegistry::ObjectRegistry;
    bool add(Purgeable* cache);
    bool remove(Purgeable* cache);
};

AllocatorRegistry& allocatorRegistry();
PurgeList& purgeList();

// Base of caches that give memory back on request. Level -1 asks for
// everything, 0 for a trim; true when something was freed.
class Purgeable {
public:
    Purgeable();
    virtual ~Purgeable();
    Purgeable(const Purgeable&) = delete;
    Purgeable& operator=(const Purgeable&) = delete;
    virtual bool purge(int level) = 0;
};

// Purge walks (newest registration first); each returns the OR of the results.
bool purgeAll(size_t size);
bool purgeCaches(int level);
bool purgeAllocators(int level);
// purgeAll, then the release of empty chunks of every size class.
bool purgeMemory(size_t size, int level);

// ---------------------------------------------------------------------------
// AllocatorHandle: a class's static handle. Constant-initialized, so it is
// usable before any dynamic initializer runs; the allocator is obtained on
// first use.
class AllocatorHandle {
public:
    constexpr AllocatorHandle(uint32_t kind, size_t blockSize)
        : kind_(kind), blockSize_(blockSize) {}
    // A handle preset with its allocator (the default handle).
    constexpr explicit AllocatorHandle(Allocator* preset)
        : kind_(0), blockSize_(0), allocator_(preset), limit_(SIZE_MAX) {}

    // The allocator, obtained through getAllocator on first use; null when it
    // cannot be made.
    Allocator* get();

    // Allocation for objects of the handle's class: a request larger than the
    // pool's block goes to the default allocator (and is freed there).
    void* allocate(size_t size) {
        if (allocator_ && size <= limit_)
            return allocator_->allocate(size);
        return allocateSlow(size);
    }
    void free(void* block, size_t size) {
        if (!block)
            return;
        if (allocator_ && size <= limit_) {
            allocator_->free(block);
            return;
        }
        freeSlow(block, size);
    }
    // General handles only: reallocation through the allocator.
    void* reallocate(void* block, size_t size);

    // The unload routine: releases the handle's reference on its allocator, at
    // most once, and only when the handle obtained it.
    void release();
    // Runs the unload routine of every handle that obtained an allocator,
    // newest first. For a library that unloads, once nothing it made is
    // alive: its handles go with it, and the allocators they made must not
    // outlive them.
    static void releaseAll();

    bool created() const { return created_; }
    uint32_t kind() const { return kind_; }
    size_t blockSize() const { return blockSize_; }
    Allocator* allocator() const { return allocator_; }

private:
    // First use (the allocator is obtained) and requests beyond the limit.
    void* allocateSlow(size_t size);
    void freeSlow(void* block, size_t size);

    bool created_ = false;
    bool released_ = false;
    AllocatorHandle* nextCreated_ = nullptr;  // handles that obtained an allocator
    uint32_t kind_;
    size_t blockSize_;
    Allocator* allocator_ = nullptr;
    size_t limit_ = 0;  // largest request the allocator serves
};

// Returns a registered allocator of the wanted kind that accepts the request
// (with one more reference), or a new one; null when none can be made.
Allocator* getAllocator(uint32_t flags, size_t size);

// The static default allocator and its handle.
HeapAllocator& defaultAllocator();
AllocatorHandle& defaultHandle();

// The default allocator's unload routine: takes it out of the allocator list
// (it is never destroyed). Runs after the handles' (AllocatorHandle::
// releaseAll) and before the block pool's (BlockPool::releaseAll); nothing
// of the engine allocates afterwards.
void releaseDefaultAllocator();

void* globalNew(size_t size);
void* globalNewArray(size_t size);
void globalDelete(void* block);
void globalDeleteArray(void* block);

// Per-class pool handle for a class with no handle of its own.
template <class T>
inline constinit AllocatorHandle poolHandleOf{kAllocPool, sizeof(T)};

}  // namespace vistrel

// Class-specific allocation through a handle. Leaves the access at public.
// The placement form names its parameter type, which cannot be parenthesised.
// NOLINTBEGIN(bugprone-macro-parentheses)
#define VISTREL_CLASS_ALLOCATOR(handle)                                   \
public:                                                                   \
    static void* operator new(std::size_t size) noexcept {                \
        return (handle).allocate(size);                                   \
    }                                                                     \
    static void operator delete(void* block, std::size_t size) noexcept { \
        (handle).free(block, size);                                       \
    }                                                                     \
    static void* operator new(std::size_t, void* where) noexcept {        \
        return where;                                                     \
    }                                                                     \
    static void operator delete(void*, void*) noexcept {}
// NOLINTEND(bugprone-macro-parentheses)

// Class-specific allocation from a pool of the class's own size.
#define VISTREL_POOLED_CLASS(Class) VISTREL_CLASS_ALLOCATOR(::vistrel::poolHandleOf<Class>)

// Class-specific allocation from the default allocator.
#define VISTREL_GLOBAL_ALLOCATOR() VISTREL_CLASS_ALLOCATOR(::vistrel::defaultHandle())
