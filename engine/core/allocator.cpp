#include "engine/core/allocator.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace vistrel {

// ---------------------------------------------------------------------------
// Static machinery. Everything here is constant-initialized, so it exists
// before any dynamic initializer of any translation unit runs. No destructor
// tears it down at exit (blocks still held by other static objects stay
// valid); the library's unload routines take it apart explicitly instead,
// once nothing it made is used: AllocatorHandle::releaseAll, then the default
// heap out of the allocator list, then BlockPool::releaseAll.

union DefaultHeapStorage {
    HeapAllocator heap;
    constexpr DefaultHeapStorage() : heap(Allocator::StaticTag{}) {}
    ~DefaultHeapStorage() {}
};

namespace {

constinit DefaultHeapStorage gDefaultHeap;
// The registry's static node holds the default heap from the start.
constinit AllocatorRegistry::Node gStaticNode{&gDefaultHeap.heap, nullptr, nullptr};
constinit AllocatorRegistry gAllocatorRegistry{&gStaticNode, 1};
constinit PurgeList gPurgeList;
constinit BlockPool gBlockPool;
constinit AllocatorHandle gDefaultHandle{&gDefaultHeap.heap};

constexpr size_t kWord = sizeof(void*);
constexpr size_t kRuntimeHeader = 2 * kWord;  // {size, 0}
constexpr size_t kGranule = kWord;

// Rounds up to a multiple of `step` (a power of two); false on overflow or
// beyond the largest allocation.
bool roundUp(size_t size, size_t step, size_t* out) {
    if (size > kMaxAllocation)
        return false;
    *out = (size + step - 1) & ~(step - 1);
    return true;
}

void* systemAllocate(const BlockPool::SystemHeap& heap, size_t size) {
    return heap.allocate ? heap.allocate(size) : std::malloc(size);
}

void systemFree(const BlockPool::SystemHeap& heap, void* block) {
    if (heap.free) {
        heap.free(block);
    } else {
        std::free(block);
    }
}

}  // namespace

bool checkedMultiply(size_t a, size_t b, size_t* result) {
    size_t r;
    if (__builtin_mul_overflow(a, b, &r) || r > kMaxAllocation)
        return false;
    *result = r;
    return true;
}

bool checkedAdd(size_t a, size_t b, size_t* result) {
    size_t r;
    if (__builtin_add_overflow(a, b, &r) || r > kMaxAllocation)
        return false;
    *result = r;
    return true;
}

BlockPool& blockPool() {
    return gBlockPool;
}
AllocatorRegistry& allocatorRegistry() {
    return gAllocatorRegistry;
}
PurgeList& purgeList() {
    return gPurgeList;
}
HeapAllocator& defaultAllocator() {
    return gDefaultHeap.heap;
}
AllocatorHandle& defaultHandle() {
    return gDefaultHandle;
}

void releaseDefaultAllocator() {
    gAllocatorRegistry.remove(&gDefaultHeap.heap);
}

void* globalNew(size_t size) {
    return gDefaultHeap.heap.allocate(size);
}
void* globalNewArray(size_t size) {
    return gDefaultHeap.heap.allocate(size);
}
void globalDelete(void* block) {
    gDefaultHeap.heap.free(block);
}
void globalDeleteArray(void* block) {
    gDefaultHeap.heap.free(block);
}

// ---------------------------------------------------------------------------
// BlockPool

struct BlockPool::SizeClass {
    size_t blockSize;
    uint32_t blocksPerChunk;
    Chunk* head;  // chunks that have a free block
    SizeClass* next;
    SizeClass* prev;
};

struct BlockPool::Chunk {
    SizeClass* cls;
    void* freeHead;  // free blocks, linked through their header word
    Chunk* next;
    Chunk* prev;
    uint32_t inUse;
    uint32_t chunkSize;
};

namespace {

constexpr size_t kChunkHeader = (sizeof(BlockPool::Chunk) + kGranule - 1) & ~(kGranule - 1);
// A chunk aims at about 1000 bytes of blocks (at least 4), else fills a 4096-byte
// run-time block, else holds one block.
constexpr size_t kSmallChunk = 1000;
constexpr size_t kLargeChunk = 4096 - kChunkHeader;
constexpr size_t kPooledLimit = 4096;
static_assert(kPooledLimit / kGranule == 512, "BlockPool::bySize_ has a slot per pooled size");

inline void*& headerWord(void* block) {
    return *reinterpret_cast<void**>(block);
}

}  // namespace

bool BlockPool::isRuntimeBlock(const void* block) {
    return block && reinterpret_cast<void* const*>(block)[-1] == nullptr;
}

void* BlockPool::runtimeAllocate(size_t rounded) {
    size_t total;
    if (!checkedAdd(rounded, kRuntimeHeader, &total))
        return nullptr;
    auto* base = static_cast<char*>(systemAllocate(heap_, total));
    if (!base)
        return nullptr;
    reinterpret_cast<size_t*>(base)[0] = rounded;
    reinterpret_cast<void**>(base)[1] = nullptr;
    return base + kRuntimeHeader;
}

BlockPool::SizeClass* BlockPool::findClass(size_t rounded) const {
    return rounded < kPooledLimit ? bySize_[rounded / kGranule] : nullptr;
}

BlockPool::SizeClass* BlockPool::newClass(size_t rounded) {
    auto* cls = static_cast<SizeClass*>(systemAllocate(heap_, sizeof(SizeClass)));
    if (!cls)
        return nullptr;
    cls->blockSize = rounded;
    size_t s = rounded + kWord;
    if (s < kPooledLimit && kSmallChunk / s >= 4) {
        cls->blocksPerChunk = static_cast<uint32_t>(kSmallChunk / s);
    } else if (s < kPooledLimit && kLargeChunk / s >= 1) {
        cls->blocksPerChunk = static_cast<uint32_t>(kLargeChunk / s);
    } else {
        cls->blocksPerChunk = 1;
    }
    cls->head = nullptr;
    bySize_[rounded / kGranule] = cls;
    SizeClass*& list = lists_[(rounded >> 3) & 255];
    cls->prev = nullptr;
    cls->next = list;
    if (list)
        list->prev = cls;
    list = cls;
    return cls;
}

BlockPool::Chunk* BlockPool::newChunk(SizeClass* cls) {
    size_t s = cls->blockSize + kWord;
    uint32_t count = 0;
    void* memory = nullptr;
    for (uint32_t k = cls->blocksPerChunk; k >= 2 && !memory; --k) {
        memory = tryAllocate(s * k + kChunkHeader);
        count = k;
    }
    if (!memory) {
        memory = runtimeAllocate(s + kChunkHeader);
        count = 1;
        if (!memory)
            return nullptr;
    }
    auto* chunk = static_cast<Chunk*>(memory);
    chunk->cls = cls;
    chunk->next = nullptr;
    chunk->prev = nullptr;
    chunk->inUse = 0;
    chunk->chunkSize = static_cast<uint32_t>(s * count + kChunkHeader);
    char* first = static_cast<char*>(memory) + kChunkHeader;
    chunk->freeHead = first;
    for (uint32_t i = 0; i < count; ++i) {
        char* block = first + i * s;
        headerWord(block) = i + 1 < count ? block + s : nullptr;
    }
    return chunk;
}

void* BlockPool::takeBlock(SizeClass* cls) {
    if (!cls->head) {
        Chunk* chunk = newChunk(cls);
        if (!chunk)
            return nullptr;
        cls->head = chunk;
    }
    Chunk* chunk = cls->head;
    ++chunk->inUse;
    void* block = chunk->freeHead;
    chunk->freeHead = headerWord(block);
    headerWord(block) = chunk;
    if (!chunk->freeHead) {
        cls->head = chunk->next;
        if (cls->head)
            cls->head->prev = nullptr;
        chunk->next = nullptr;
        chunk->prev = nullptr;
    }
    return static_cast<char*>(block) + kWord;
}

void BlockPool::giveBack(Chunk* chunk, void* block) {
    SizeClass* cls = chunk->cls;
    void* header = static_cast<char*>(block) - kWord;
    bool hadFree = chunk->freeHead != nullptr;
    headerWord(header) = chunk->freeHead;
    chunk->freeHead = header;
    if (!hadFree) {
        // Back among the chunks with a free block: right behind the head.
        if (!cls->head) {
            cls->head = chunk;
            chunk->next = nullptr;
            chunk->prev = nullptr;
        } else {
            chunk->prev = cls->head;
            chunk->next = cls->head->next;
            if (chunk->next)
                chunk->next->prev = chunk;
            cls->head->next = chunk;
        }
    }
    if (--chunk->inUse == 0 && cls->head != chunk) {
        if (chunk->prev)
            chunk->prev->next = chunk->next;
        if (chunk->next)
            chunk->next->prev = chunk->prev;
        free(chunk);
    }
}

void* BlockPool::tryAllocate(size_t size) {
    size_t r;
    if (!roundUp(size == 0 ? 1 : size, kGranule, &r))
        return nullptr;
#if defined(VISTREL_MALLOC_POOLS) && VISTREL_MALLOC_POOLS
    return runtimeAllocate(r);
#else
    if (r <= threshold_) {
        // The descriptor straight from its size; the list it shares with the
        // sizes 2048 bytes apart keeps the most recently used first.
        SizeClass*& list = lists_[(r >> 3) & 255];
        SizeClass* cls = bySize_[r / kGranule];
        if (cls && cls != list) {
            // Move to front.
            cls->prev->next = cls->next;
            if (cls->next)
                cls->next->prev = cls->prev;
            cls->prev = nullptr;
            cls->next = list;
            list->prev = cls;
            list = cls;
        }
        if (!cls)
            cls = newClass(r);
        if (!cls)
            return nullptr;
        return takeBlock(cls);
    }
    void* block = runtimeAllocate(r);
    if (block && r < kPooledLimit)
        threshold_ = r;
    return block;
#endif
}

bool BlockPool::releaseEmptyChunks(SizeClass* cls) {
    bool any = false;
    Chunk* chunk = cls->head;
    while (chunk) {
        Chunk* next = chunk->next;
        if (chunk->inUse == 0) {
            if (chunk->prev) {
                chunk->prev->next = next;
            } else {
                cls->head = next;
            }
            if (next)
                next->prev = chunk->prev;
            free(chunk);
            any = true;
        }
        chunk = next;
    }
    return any;
}

bool BlockPool::releaseEmptyChunks() {
    bool any = false;
    for (int i = 255; i >= 0; --i) {
        for (SizeClass* cls = lists_[i]; cls; cls = cls->next) {
            any = releaseEmptyChunks(cls) || any;
        }
    }
    return any;
}

bool BlockPool::purgeForRetry(int) {
    // Every cache and allocator gives back everything, whatever the level, and
    // the empty chunks go.
    bool freed = purgeAll(0);
    freed = releaseEmptyChunks() || freed;
    return freed;
}

void* BlockPool::allocate(size_t size) {
    size_t r;
    if (!roundUp(size == 0 ? 1 : size, kGranule, &r))
        return nullptr;
    if (void* block = tryAllocate(r))
        return block;
    // A purge that allocates must not start the sequence again.
    if (purging_)
        return nullptr;
    purging_ = true;
    void* block = nullptr;
    for (int level : {0, -1}) {
        if (purgeForRetry(level)) {
            do {
                block = tryAllocate(r);
                if (block)
                    break;
            } while (purgeForRetry(level));
        }
        if (block)
            break;
    }
    if (!block) {
        // Smallest size class at least as large with a free block at hand.
        SizeClass* best = nullptr;
        for (int i = 255; i >= 0; --i) {
            for (SizeClass* cls = lists_[i]; cls; cls = cls->next) {
                if (cls->head && cls->blockSize >= r &&
                    (!best || cls->blockSize < best->blockSize)) {
                    best = cls;
                }
            }
        }
        if (best)
            block = takeBlock(best);
    }
    purging_ = false;
    return block;
}

void BlockPool::free(void* block) {
    if (!block)
        return;
    void* header = reinterpret_cast<void**>(block)[-1];
    if (!header) {
        systemFree(heap_, static_cast<char*>(block) - kRuntimeHeader);
        return;
    }
    giveBack(static_cast<Chunk*>(header), block);
}

size_t BlockPool::blockSize(const void* block) const {
    if (!block)
        return 0;
    void* header = reinterpret_cast<void* const*>(block)[-1];
    if (!header)
        return reinterpret_cast<const size_t*>(block)[-2];
    return static_cast<Chunk*>(header)->cls->blockSize;
}

void* BlockPool::reallocate(void* block, size_t size) {
    if (size == 0) {
        free(block);
        return nullptr;
    }
    size_t r4, r16;
    if (!roundUp(size, kGranule, &r4) || !roundUp(r4, 16, &r16))
        return nullptr;
    if (!block)
        return allocate(r4);
    size_t old = blockSize(block);
    if (old == r16)
        return block;
    void* fresh = allocate(r16);
    if (!fresh)
        return nullptr;
    std::memcpy(fresh, block, std::min(r4, old));
    free(block);
    return fresh;
}

uint32_t BlockPool::blocksPerChunk(size_t size) const {
    size_t r;
    if (!roundUp(size == 0 ? 1 : size, kGranule, &r))
        return 0;
    SizeClass* cls = findClass(r);
    return cls ? cls->blocksPerChunk : 0;
}

void BlockPool::releaseAll() {
    if (released_)
        return;
    released_ = true;
    for (;;) {
        // Smallest first: chunks of small sizes live in blocks of larger classes.
        SizeClass* best = nullptr;
        for (int i = 255; i >= 0; --i) {
            for (SizeClass* cls = lists_[i]; cls; cls = cls->next) {
                if (!best || cls->blockSize < best->blockSize)
                    best = cls;
            }
        }
        if (!best)
            break;
        SizeClass*& list = lists_[(best->blockSize >> 3) & 255];
        if (best->prev) {
            best->prev->next = best->next;
        } else {
            list = best->next;
        }
        if (best->next)
            best->next->prev = best->prev;
        Chunk* chunk = best->head;
        while (chunk) {
            Chunk* next = chunk->next;
            free(chunk);
            chunk = next;
        }
        bySize_[best->blockSize / kGranule] = nullptr;
        systemFree(heap_, best);
    }
    threshold_ = 0;
}

// ---------------------------------------------------------------------------
// Allocator

Allocator::Allocator() {
    gAllocatorRegistry.add(this);
}

Allocator::~Allocator() {
    gAllocatorRegistry.remove(this);
}

bool Allocator::purge(int) {
    return false;
}

void* Allocator::allocateArray(size_t count, size_t size) {
    size_t total;
    if (!checkedMultiply(count, size, &total))
        return nullptr;
    return allocate(total);
}

void Allocator::release() {
    if (--refCount_ == 0)
        delete this;
}

void* Allocator::operator new(size_t size) noexcept {
    return globalNew(size);
}
void Allocator::operator delete(void* block) noexcept {
    globalDelete(block);
}

// ---------------------------------------------------------------------------
// HeapAllocator

bool HeapAllocator::purge(int) {
    return false;
}

void* HeapAllocator::allocateArray(size_t count, size_t size) {
    size_t total;
    if (!checkedMultiply(count, size, &total))
        return nullptr;
    return allocate(total);
}

void* HeapAllocator::allocate(size_t size) {
    if (size > kMaxAllocation)
        return nullptr;
    void* block = gBlockPool.allocate(size);
    if (!block) {
        purgeMemory(size, -1);
        block = gBlockPool.allocate(size);
    }
    return block;
}

void HeapAllocator::free(void* block) {
    gBlockPool.free(block);
}

void* HeapAllocator::reallocate(void* block, size_t size) {
    if (size > kMaxAllocation)
        return nullptr;
    void* fresh = gBlockPool.reallocate(block, size);
    if (!fresh && size > 0) {
        purgeMemory(size, -1);
        fresh = gBlockPool.reallocate(block, size);
    }
    return fresh;
}

bool HeapAllocator::accepts(uint32_t, size_t) const {
    return true;
}

// ---------------------------------------------------------------------------
// PoolAllocator

struct PoolAllocator::Region {
    Region* next;
    size_t length;
};

struct PoolAllocator::PoolChunk {
    PoolChunk* next;
    size_t dataBytes;
};

namespace {

constexpr size_t kBlocksPerPoolChunk = 16;

// Process-wide scratch table of PoolAllocator::purge: one entry per chunk.
struct ScratchEntry {
    PoolAllocator::PoolChunk* chunk;
    PoolAllocator::Region* first;
    PoolAllocator::Region* last;
    size_t freeBytes;
};
ScratchEntry* gScratch = nullptr;
size_t gScratchEntries = 0;
// Pools alive; the scratch table goes with the last of them.
size_t gLivePools = 0;

[[maybe_unused]] void growScratch(size_t entries) {
    if (gScratchEntries >= entries)
        return;
    // Grown geometrically, so that adding chunk after chunk stays linear.
    size_t want = entries < gScratchEntries * 2 ? gScratchEntries * 2 : entries;
    void* table = gBlockPool.reallocate(gScratch, want * sizeof(ScratchEntry));
    if (!table && want != entries) {
        want = entries;
        table = gBlockPool.reallocate(gScratch, want * sizeof(ScratchEntry));
    }
    if (!table)
        return;  // the old table stays
    gScratch = static_cast<ScratchEntry*>(table);
    gScratchEntries = want;
}

}  // namespace

size_t PoolAllocator::roundBlockSize(size_t size) {
    size_t r = size < 2 * kWord ? 2 * kWord : size;
    if (r > kMaxAllocation)
        return r;
    return (r + kWord - 1) & ~(kWord - 1);
}

PoolAllocator::PoolAllocator(size_t size, Allocator* backing)
    : blockSize_(roundBlockSize(size)), backing_(backing ? backing : &gDefaultHeap.heap) {
    size_t data;
    if (checkedMultiply(blockSize_, kBlocksPerPoolChunk, &data) &&
        checkedAdd(data, sizeof(PoolChunk), &chunkSize_)) {
        largestBlock_ = blockSize_;
    } else {
        chunkSize_ = 0;  // never allocates
        largestBlock_ = 0;
    }
    ++gLivePools;
}

PoolAllocator::~PoolAllocator() {
    PoolChunk* chunk = chunks_;
    while (chunk) {
        PoolChunk* next = chunk->next;
        backing_->free(chunk);
        chunk = next;
    }
    if (--gLivePools == 0) {
        gBlockPool.free(gScratch);
        gScratch = nullptr;
        gScratchEntries = 0;
    }
}

void* PoolAllocator::allocateArray(size_t, size_t) {
    return nullptr;
}

void* PoolAllocator::allocate(size_t size) {
    if (size > blockSize_ || chunkSize_ == 0)
        return nullptr;
#if defined(VISTREL_MALLOC_POOLS) && VISTREL_MALLOC_POOLS
    void* block = std::malloc(blockSize_);
    if (block)
        bytesInUse_ += blockSize_;
    return block;
#else
    if (!regions_) {
        growScratch(chunkCount_ + 1);
        auto* chunk = static_cast<PoolChunk*>(backing_->allocate(chunkSize_));
        if (!chunk)
            return nullptr;
        chunk->next = chunks_;
        chunk->dataBytes = chunkSize_ - sizeof(PoolChunk);
        auto* region = reinterpret_cast<Region*>(chunk + 1);
        region->next = nullptr;
        region->length = chunk->dataBytes;
        regions_ = region;
        capacity_ += chunk->dataBytes;
        ++chunkCount_;
        chunks_ = chunk;
    }
    bytesInUse_ += blockSize_;
    Region* region = regions_;
    if (region->length >= 2 * blockSize_) {
        auto* rest = reinterpret_cast<Region*>(reinterpret_cast<char*>(region) + blockSize_);
        rest->next = region->next;
        rest->length = region->length - blockSize_;
        regions_ = rest;
    } else {
        regions_ = region->next;
    }
    return region;
#endif
}

void PoolAllocator::free(void* block) {
    if (!block)
        return;
    bytesInUse_ -= blockSize_;
#if defined(VISTREL_MALLOC_POOLS) && VISTREL_MALLOC_POOLS
    std::free(block);
#else
    auto* region = static_cast<Region*>(block);
    region->next = regions_;
    region->length = blockSize_;
    regions_ = region;
#endif
}

void* PoolAllocator::reallocate(void* block, size_t size) {
    return size <= blockSize_ ? block : nullptr;
}

bool PoolAllocator::accepts(uint32_t flags, size_t size) const {
    return wantsPool(flags) && roundBlockSize(size) == blockSize_;
}

bool PoolAllocator::purge(int) {
    if (chunkCount_ == 0 || gScratchEntries < chunkCount_)
        return false;
    size_t n = 0;
    for (PoolChunk* chunk = chunks_; chunk; chunk = chunk->next) {
        gScratch[n++] = {chunk, nullptr, nullptr, 0};
    }
    std::sort(gScratch, gScratch + n, [](const ScratchEntry& a, const ScratchEntry& b) {
        return std::less<const void*>()(a.chunk, b.chunk);
    });
    for (Region* region = regions_; region;) {
        Region* next = region->next;
        // The last chunk whose address is not above the region's.
        ScratchEntry* entry =
            std::upper_bound(gScratch, gScratch + n, static_cast<const void*>(region),
                             [](const void* address, const ScratchEntry& e) {
                                 return std::less<const void*>()(address, e.chunk);
                             }) -
            1;
        region->next = nullptr;
        if (entry->last) {
            entry->last->next = region;
        } else {
            entry->first = region;
        }
        entry->last = region;
        entry->freeBytes += region->length;
        region = next;
    }
    bool released = false;
    chunks_ = nullptr;
    regions_ = nullptr;
    for (size_t i = 0; i < n; ++i) {
        ScratchEntry& e = gScratch[i];
        if (e.chunk->dataBytes - e.freeBytes < blockSize_) {
            capacity_ -= e.chunk->dataBytes;
            --chunkCount_;
            backing_->free(e.chunk);
            released = true;
            continue;
        }
        e.chunk->next = chunks_;
        chunks_ = e.chunk;
        if (e.first) {
            e.last->next = regions_;
            regions_ = e.first;
        }
    }
    return released;
}

// ---------------------------------------------------------------------------
// Registries

bool AllocatorRegistry::add(Allocator* allocator) {
    Node* node = static_cast<Node*>(globalNew(sizeof(Node)));
    if (!node)
        return false;
    node->object = allocator;
    link(node);
    return true;
}

bool AllocatorRegistry::remove(Allocator* allocator) {
    Node* node = find(allocator);
    if (!node)
        return false;
    unlink(node);
    if (node != &gStaticNode)
        globalDelete(node);
    return true;
}

bool PurgeList::add(Purgeable* cache) {
    Node* node = static_cast<Node*>(globalNew(sizeof(Node)));
    if (!node)
        return false;
    node->object = cache;
    link(node);
    return true;
}

bool PurgeList::remove(Purgeable* cache) {
    Node* node = find(cache);
    if (!node)
        return false;
    unlink(node);
    globalDelete(node);
    return true;
}

Purgeable::Purgeable() {
    gPurgeList.add(this);
}

Purgeable::~Purgeable() {
    gPurgeList.remove(this);
}

bool purgeCaches(int level) {
    bool freed = false;
    for (auto* node = gPurgeList.head(); node;) {
        auto* next = node->next;
        freed = node->object->purge(level) || freed;
        node = next;
    }
    return freed;
}

bool purgeAllocators(int level) {
    bool freed = false;
    for (auto* node = gAllocatorRegistry.head(); node;) {
        auto* next = node->next;
        freed = node->object->purge(level) || freed;
        node = next;
    }
    return freed;
}

bool purgeAll(size_t) {
    bool freed = purgeCaches(-1);
    freed = purgeAllocators(-1) || freed;
    return freed;
}

bool purgeMemory(size_t size, int) {
    bool freed = purgeAll(size);
    freed = gBlockPool.releaseEmptyChunks() || freed;
    return freed;
}

// ---------------------------------------------------------------------------
// Handles

Allocator* getAllocator(uint32_t flags, size_t size) {
    bool pool = wantsPool(flags);
    if (!(flags & kAllocPrivate)) {
        for (auto* node = gAllocatorRegistry.head(); node; node = node->next) {
            Allocator* a = node->object;
            if (a->isGeneral() == !pool && a->accepts(flags, size)) {
                a->addRef();
                return a;
            }
        }
    }
    if (pool)
        return new PoolAllocator(size);
    return new HeapAllocator();
}

namespace {
AllocatorHandle* gCreatedHandles = nullptr;
}  // namespace

Allocator* AllocatorHandle::get() {
    if (!allocator_) {
        allocator_ = getAllocator(kind_, blockSize_);
        created_ = true;
        limit_ = allocator_ ? allocator_->largestBlock() : 0;
        if (allocator_) {
            nextCreated_ = gCreatedHandles;
            gCreatedHandles = this;
        }
    }
    return allocator_;
}

void AllocatorHandle::releaseAll() {
    while (AllocatorHandle* handle = gCreatedHandles) {
        gCreatedHandles = handle->nextCreated_;
        handle->nextCreated_ = nullptr;
        handle->release();
    }
}

void* AllocatorHandle::allocateSlow(size_t size) {
    Allocator* a = get();
    if (!a)
        return nullptr;
    if (size > limit_)
        return globalNew(size);
    return a->allocate(size);
}

void AllocatorHandle::freeSlow(void* block, size_t size) {
    Allocator* a = get();
    if (!a || size > limit_) {
        globalDelete(block);
    } else {
        a->free(block);
    }
}

void* AllocatorHandle::reallocate(void* block, size_t size) {
    Allocator* a = get();
    if (!a)
        return nullptr;
    return a->reallocate(block, size);
}

void AllocatorHandle::release() {
    if (released_)
        return;
    released_ = true;
    if (!allocator_ || !created_)
        return;
    allocator_->release();
}

}  // namespace vistrel
