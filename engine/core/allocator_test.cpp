#include "engine/core/allocator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

namespace vistrel {
namespace {

#if defined(VISTREL_MALLOC_POOLS) && VISTREL_MALLOC_POOLS
constexpr bool kMallocPools = true;
#else
constexpr bool kMallocPools = false;
#endif

#define SKIP_WHEN_MALLOC_POOLS() \
    if (kMallocPools)            \
    GTEST_SKIP() << "pools route to malloc in this build"

// A run-time heap that counts live blocks and can be told to fail.
struct TestHeap {
    static inline int live = 0;
    static inline size_t failFrom = SIZE_MAX;  // requests of this size or more fail
    static void* allocate(size_t size) {
        if (size >= failFrom)
            return nullptr;
        ++live;
        return std::malloc(size);
    }
    static void free(void* block) {
        --live;
        std::free(block);
    }
    static BlockPool::SystemHeap heap() { return {&TestHeap::allocate, &TestHeap::free}; }
};

// A BlockPool of its own for a test, released at the end.
struct LocalPool {
    BlockPool pool;
    LocalPool() {
        TestHeap::live = 0;
        TestHeap::failFrom = SIZE_MAX;
        pool.setSystemHeap(TestHeap::heap());
    }
    ~LocalPool() {
        pool.releaseAll();
        TestHeap::failFrom = SIZE_MAX;
    }
};

// Gives back everything the process's pools and caches can give back, so that
// purge results in a test come only from the test's own objects.
void settle() {
    while (purgeMemory(0, -1)) {
    }
}

// A cache that records its purges. When `relieveAt` is reached, the memory it
// gives back lets the run-time heap succeed again.
struct TestCache : Purgeable {
    std::vector<int>* log = nullptr;
    int id = 0;
    std::vector<bool> results;  // what successive purges report
    int relieveAt = 0;
    int calls = 0;
    bool purge(int level) override {
        if (log)
            log->push_back(id * 10 + (level < 0 ? 1 : 0));
        bool freed = calls < static_cast<int>(results.size()) && results[calls];
        ++calls;
        if (calls == relieveAt)
            TestHeap::failFrom = SIZE_MAX;
        return freed;
    }
};

TEST(AllocatorTest, GeneralRequestsShareTheDefaultHeap) {
    HeapAllocator& heap = defaultAllocator();
    uint32_t before = heap.refCount();
    EXPECT_GE(before, 0xC0000000u);
    // Every kind but a bare pool request is general.
    for (uint32_t flags : {0u, 1u, 2u, 64u, 1u | 4u, 2u | 4u, 64u | 1u}) {
        Allocator* a = getAllocator(flags, 24);
        EXPECT_EQ(a, &heap) << flags;
        a->release();
    }
    EXPECT_EQ(heap.refCount(), before);
    EXPECT_TRUE(heap.isGeneral());
    EXPECT_TRUE(heap.accepts(4, 12));

    AllocatorHandle handle{kAllocGeneral, 0};
    EXPECT_EQ(handle.get(), &heap);
    EXPECT_TRUE(handle.created());
    EXPECT_EQ(heap.refCount(), before + 1);
    handle.release();
    handle.release();  // the exit routine runs at most once
    EXPECT_EQ(heap.refCount(), before);

    // A private general request gets a heap of its own over the same BlockPool.
    Allocator* own = getAllocator(kAllocGeneral | kAllocPrivate, 0);
    ASSERT_NE(own, nullptr);
    EXPECT_NE(own, &heap);
    void* block = own->allocate(10);
    EXPECT_NE(block, nullptr);
    own->free(block);
    own->release();
}

TEST(AllocatorTest, PoolHandlesShareOnePoolPerBlockSize) {
    int registered = allocatorRegistry().count();
    AllocatorHandle a{kAllocPool, 1000}, b{kAllocPool, 1000}, c{kAllocPool, 996},
        priv{kAllocPool | kAllocPrivate, 1000}, other{kAllocPool, 1008}, unused{kAllocPool, 1000};
    Allocator* pa = a.get();
    ASSERT_NE(pa, nullptr);
    EXPECT_FALSE(pa->isGeneral());
    EXPECT_EQ(b.get(), pa);
    EXPECT_EQ(c.get(), pa);
    EXPECT_EQ(pa->refCount(), 3u);
    EXPECT_NE(priv.get(), pa);
    EXPECT_NE(other.get(), pa);
    EXPECT_EQ(allocatorRegistry().count(), registered + 3);
    EXPECT_EQ(allocatorRegistry().head()->object, other.allocator());  // newest first

    unused.release();  // never used: releases nothing
    EXPECT_EQ(unused.allocator(), nullptr);
    a.release();
    b.release();
    EXPECT_EQ(pa->refCount(), 1u);
    c.release();  // the last user: the pool is destroyed and unregistered
    priv.release();
    other.release();
    EXPECT_EQ(allocatorRegistry().count(), registered);
}

// A pooled base class and a larger derived class that inherits its operators.
constinit AllocatorHandle gShapeHandle{kAllocPool, 32};
struct Shape {
    VISTREL_CLASS_ALLOCATOR(gShapeHandle)
    virtual ~Shape() = default;
    char bytes[24] = {};
};
struct BigShape : Shape {
    char more[200] = {};
};
struct Pooled {
    VISTREL_POOLED_CLASS(Pooled)
    double values[5] = {1, 2, 3, 4, 5};
};

TEST(AllocatorTest, ClassAllocationRoutesOversizeRequestsToTheHeap) {
    Shape* small = new Shape;
    ASSERT_NE(small, nullptr);
    auto* pool = static_cast<PoolAllocator*>(gShapeHandle.allocator());
    size_t used = pool->bytesInUse();
    EXPECT_EQ(pool->blockSize(), 32u);

    // A derived class larger than the block must not be carved from the pool.
    BigShape* big = new BigShape;
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(pool->bytesInUse(), used);
    for (char& c : big->more)
        c = 0x5A;
    delete static_cast<Shape*>(big);  // goes back to the heap, not into the pool
    EXPECT_EQ(pool->bytesInUse(), used);

    Shape* again = new Shape;
    EXPECT_EQ(pool->bytesInUse(), used + 32);
    delete again;
    delete small;

    Pooled* p = new Pooled;
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->values[4], 5);
    EXPECT_EQ(poolHandleOf<Pooled>.blockSize(), sizeof(Pooled));
    delete p;

    // Placement new still works on classes with their own operators.
    alignas(Pooled) unsigned char storage[sizeof(Pooled)];
    Pooled* placed = new (storage) Pooled;
    EXPECT_EQ(placed->values[0], 1);
}

TEST(AllocatorTest, PoolAllocatorCarvesBlocksAndTrims) {
    SKIP_WHEN_MALLOC_POOLS();
    PoolAllocator pool(20);
    EXPECT_EQ(pool.blockSize(), 24u);
    EXPECT_EQ(pool.chunkSize(), 16 * 24 + 16u);
    EXPECT_EQ(pool.allocateArray(2, 8), nullptr);
    EXPECT_EQ(pool.allocate(25), nullptr);  // larger than the block

    std::vector<void*> blocks;
    for (int i = 0; i < 40; ++i) {
        void* b = pool.allocate(24);
        ASSERT_NE(b, nullptr);
        std::memset(b, i, 24);
        blocks.push_back(b);
    }
    EXPECT_EQ(pool.chunkCount(), 3u);
    EXPECT_EQ(pool.capacity(), 3 * 16 * 24u);
    EXPECT_EQ(pool.bytesInUse(), 40 * 24u);
    // Blocks of one chunk follow each other; distinct blocks never overlap.
    EXPECT_EQ(static_cast<char*>(blocks[1]) - static_cast<char*>(blocks[0]), 24);
    EXPECT_EQ(std::set<void*>(blocks.begin(), blocks.end()).size(), 40u);

    // The most recently freed block is handed out next.
    pool.free(blocks[5]);
    EXPECT_EQ(pool.allocate(24), blocks[5]);
    EXPECT_EQ(pool.reallocate(blocks[5], 10), blocks[5]);
    EXPECT_EQ(pool.reallocate(blocks[5], 100), nullptr);  // cannot grow in place

    EXPECT_FALSE(pool.purge(0));  // every chunk has a block in use
    for (int i = 16; i < 32; ++i)
        pool.free(blocks[i]);  // the whole second chunk
    EXPECT_TRUE(pool.purge(-1));
    EXPECT_EQ(pool.chunkCount(), 2u);
    EXPECT_EQ(pool.capacity(), 2 * 16 * 24u);
    EXPECT_EQ(pool.bytesInUse(), 24 * 24u);

    // The free regions left are still usable, and the data in use untouched.
    for (int i = 0; i < 8; ++i)
        ASSERT_NE(pool.allocate(24), nullptr);
    EXPECT_EQ(pool.chunkCount(), 2u);
    EXPECT_EQ(static_cast<unsigned char*>(blocks[3])[0], 3);
    EXPECT_EQ(static_cast<unsigned char*>(blocks[39])[23], 39);
}

TEST(AllocatorTest, SizeClassesAndThreshold) {
    SKIP_WHEN_MALLOC_POOLS();
    LocalPool local;
    BlockPool& pool = local.pool;
    EXPECT_EQ(pool.pooledThreshold(), 0u);

    // Below the threshold a request comes from the run-time heap and raises it.
    void* first = pool.allocate(40);
    EXPECT_TRUE(BlockPool::isRuntimeBlock(first));
    EXPECT_EQ(pool.pooledThreshold(), 40u);
    void* second = pool.allocate(40);
    EXPECT_FALSE(BlockPool::isRuntimeBlock(second));
    EXPECT_EQ(pool.blockSize(second), 40u);
    EXPECT_EQ(pool.blockSize(first), 40u);

    // Blocks per chunk: about 1000 bytes (at least 4 blocks), else a 4096-byte
    // chunk, else one block.
    struct Case {
        size_t size;
        uint32_t perChunk;
    } cases[] = {{8, 62}, {40, 20}, {200, 4}, {400, 9}, {2000, 2}, {4080, 1}};
    void* raise = pool.allocate(4088);  // lifts the threshold to its top
    EXPECT_EQ(pool.pooledThreshold(), 4088u);
    for (const Case& c : cases) {
        void* b = pool.allocate(c.size);
        ASSERT_NE(b, nullptr);
        EXPECT_FALSE(BlockPool::isRuntimeBlock(b)) << c.size;
        EXPECT_EQ(pool.blocksPerChunk(c.size), c.perChunk) << c.size;
        pool.free(b);
    }
    // From 4096 bytes up every block comes from the run-time heap.
    void* large = pool.allocate(5000);
    EXPECT_TRUE(BlockPool::isRuntimeBlock(large));
    EXPECT_EQ(pool.blockSize(large), 5000u);
    EXPECT_EQ(pool.pooledThreshold(), 4088u);
    for (void* b : {first, second, raise, large})
        pool.free(b);
    pool.free(nullptr);
    EXPECT_EQ(pool.blockSize(nullptr), 0u);
}

TEST(AllocatorTest, Reallocate) {
    LocalPool local;
    BlockPool& pool = local.pool;
    // Warm the size classes up so that the blocks are pooled.
    for (size_t s : {24, 32, 48})
        pool.free(pool.allocate(s));
    void* b20 = pool.allocate(20);
    std::memcpy(b20, "0123456789abcdefghi", 20);
    void* grown = pool.reallocate(b20, 30);
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(pool.blockSize(grown), 32u);  // 30 rounded up, then to 16
    EXPECT_EQ(std::memcmp(grown, "0123456789abcdefghi", 20), 0);
    EXPECT_EQ(pool.reallocate(grown, 29), grown);  // already 32: unchanged

    void* shrunk = pool.reallocate(grown, 3);
    EXPECT_EQ(pool.blockSize(shrunk), 16u);
    EXPECT_EQ(std::memcmp(shrunk, "012", 3), 0);

    EXPECT_EQ(pool.reallocate(shrunk, 0), nullptr);  // frees
    void* fresh = pool.reallocate(nullptr, 10);
    EXPECT_NE(fresh, nullptr);
    // An impossible size fails and leaves the block alone.
    EXPECT_EQ(pool.reallocate(fresh, SIZE_MAX - 3), nullptr);
    EXPECT_EQ(pool.reallocate(fresh, kMaxAllocation + 1), nullptr);
    pool.free(fresh);
}

TEST(AllocatorTest, EmptyChunksAreReleasedExceptTheHead) {
    SKIP_WHEN_MALLOC_POOLS();
    LocalPool local;
    BlockPool& pool = local.pool;
    pool.free(pool.allocate(3000));  // threshold 3000: one block per chunk from now on
    void* a = pool.allocate(3000);
    void* b = pool.allocate(3000);
    ASSERT_EQ(pool.blocksPerChunk(3000), 1u);
    int live = TestHeap::live;  // a's and b's chunks among them
    pool.free(a);               // its chunk becomes the head of the list: kept
    EXPECT_EQ(TestHeap::live, live);
    pool.free(b);  // not the head: released at once
    EXPECT_EQ(TestHeap::live, live - 1);
    EXPECT_TRUE(pool.releaseEmptyChunks());  // the head goes on purge
    EXPECT_EQ(TestHeap::live, live - 2);
    EXPECT_FALSE(pool.releaseEmptyChunks());
}

TEST(AllocatorTest, PurgeOrderNewestFirstCachesThenAllocators) {
    settle();
    std::vector<int> log;
    TestCache first, second, third;
    first.id = 1;
    second.id = 2;
    third.id = 3;
    for (TestCache* c : {&first, &second, &third})
        c->log = &log;
    second.results = {true};

    EXPECT_TRUE(purgeCaches(0));
    EXPECT_EQ(log, (std::vector<int>{30, 20, 10}));
    log.clear();
    EXPECT_FALSE(purgeAll(100));  // level -1 for every cache, then the allocators
    EXPECT_EQ(log, (std::vector<int>{31, 21, 11}));
    EXPECT_FALSE(purgeAllocators(0));

    EXPECT_TRUE(purgeList().remove(&second));
    EXPECT_FALSE(purgeList().remove(&second));
    log.clear();
    purgeCaches(0);
    EXPECT_EQ(log, (std::vector<int>{30, 10}));
    EXPECT_TRUE(purgeList().add(&second));  // its destructor removes it again
}

TEST(AllocatorTest, LowMemorySequence) {
    SKIP_WHEN_MALLOC_POOLS();
    settle();
    struct Case {
        const char* name;
        std::vector<bool> results;  // successive purge results of the cache
        int relieveAt;              // purge after which the heap works again
        bool spare;                 // a larger size class has a free block
        int expectedPurges;
        size_t expectedBlockSize;  // 0: no block
    } cases[] = {
        {"the first purge helps", {true}, 1, false, 1, 1504},
        {"a later purge of the first loop helps", {true, true, true}, 2, false, 2, 1504},
        // Purges that report freeing without helping: the loop at level 0, the
        // loop at level -1, then a free block of a larger size class.
        {"best fit after both loops", {true, true, false, false}, 0, true, 4, 2000},
        {"full purge loop", {false, true, false}, 0, true, 3, 2000},
        {"nothing helps", {false, false}, 0, false, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LocalPool local;
        BlockPool& pool = local.pool;
        pool.free(pool.allocate(4000));  // small sizes are pooled from now on
        // Two blocks per 2000-byte chunk: one in use keeps a free one at hand.
        void* spare = c.spare ? pool.allocate(2000) : nullptr;
        TestHeap::failFrom = 0;
        TestCache cache;
        cache.results = c.results;
        cache.relieveAt = c.relieveAt;
        void* block = pool.allocate(1500);
        EXPECT_EQ(cache.calls, c.expectedPurges);
        EXPECT_EQ(pool.blockSize(block), c.expectedBlockSize);
        TestHeap::failFrom = SIZE_MAX;
        pool.free(block);
        pool.free(spare);
    }
}

TEST(AllocatorTest, HeapAllocatorRunsTheSequenceTwice) {
    settle();
    BlockPool& pool = blockPool();
    pool.setSystemHeap(TestHeap::heap());
    TestHeap::failFrom = 1 << 20;
    TestCache cache;
    cache.results = {false, false, false, false, false, false};
    void* block = defaultAllocator().allocate(1 << 20);
    EXPECT_EQ(block, nullptr);
    // BlockPool: trim loop and full loop (one purge each), then the heap's own
    // purge, then the BlockPool sequence again.
    EXPECT_EQ(cache.calls, 5);

    cache.calls = 0;
    void* small = globalNew(16);
    EXPECT_EQ(defaultAllocator().reallocate(small, 1 << 20), nullptr);
    EXPECT_EQ(cache.calls, 5);
    globalDelete(small);  // untouched by the failed reallocation

    TestHeap::failFrom = SIZE_MAX;
    pool.setSystemHeap({nullptr, nullptr});
}

TEST(AllocatorTest, OverflowingSizesFail) {
    size_t out = 0;
    EXPECT_FALSE(checkedMultiply(SIZE_MAX / 2, 3, &out));
    EXPECT_FALSE(checkedMultiply(kMaxAllocation, 2, &out));
    EXPECT_TRUE(checkedMultiply(1000, 1000, &out));
    EXPECT_EQ(out, 1000000u);
    EXPECT_FALSE(checkedAdd(SIZE_MAX, 1, &out));

    EXPECT_EQ(defaultAllocator().allocateArray(SIZE_MAX / 4, 8), nullptr);
    EXPECT_EQ(defaultAllocator().allocate(SIZE_MAX), nullptr);
    EXPECT_EQ(globalNew(kMaxAllocation + 1), nullptr);
    void* ok = defaultAllocator().allocateArray(10, 10);
    EXPECT_NE(ok, nullptr);
    globalDeleteArray(ok);
    PoolAllocator absurd(SIZE_MAX - 2);
    EXPECT_EQ(absurd.allocate(8), nullptr);
}

}  // namespace
}  // namespace vistrel
