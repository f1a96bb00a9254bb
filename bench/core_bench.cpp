// Allocation and hash-table figures of the engine core.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "engine/core/allocator.h"
#include "engine/core/keyed_hash_map.h"
#include "engine/core/wstring.h"

namespace {

using namespace vistrel;

struct Small {
    VISTREL_POOLED_CLASS(Small)
    void* fields[4];
};

// Many small objects made and given back in waves, as a parser does.
void BM_PooledObjects(benchmark::State& state) {
    std::vector<Small*> live(4096);
    for (auto _ : state) {
        for (auto& p : live)
            p = new Small;
        for (auto* p : live)
            delete p;
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(live.size()));
}
BENCHMARK(BM_PooledObjects);

void BM_BlockPoolMixedSizes(benchmark::State& state) {
    std::vector<void*> live(4096);
    for (auto _ : state) {
        for (size_t i = 0; i < live.size(); ++i)
            live[i] = globalNew(8 + (i * 37) % 500);
        for (void* p : live)
            globalDelete(p);
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(live.size()));
}
BENCHMARK(BM_BlockPoolMixedSizes);

void BM_MallocMixedSizes(benchmark::State& state) {
    std::vector<void*> live(4096);
    for (auto _ : state) {
        for (size_t i = 0; i < live.size(); ++i)
            live[i] = std::malloc(8 + (i * 37) % 500);
        for (void* p : live)
            std::free(p);
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(live.size()));
}
BENCHMARK(BM_MallocMixedSizes);

// Dictionary-sized tables keyed by strings: fill, then look every key up.
void BM_WStringKeyedMap(benchmark::State& state) {
    std::vector<WString> keys;
    for (int i = 0; i < state.range(0); ++i) {
        WString k(u"/Key");
        k.appendColonTriple(i, i * 7, i * 13);
        keys.push_back(k);
    }
    for (auto _ : state) {
        KeyedHashMap<const WString*, int> map(0);
        for (int i = 0; i < state.range(0); ++i)
            map.insert(&keys[i], i);
        int sum = 0;
        for (const WString& k : keys)
            sum += map.get(&k);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_WStringKeyedMap)->Arg(8)->Arg(1000);

}  // namespace

BENCHMARK_MAIN();
