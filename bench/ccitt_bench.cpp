// Decoding speed of the CCITT fax filter: the group 3 and group 4 codings
// of a 2700-column test picture with runs of every length, read row by row
// through the filter link as the image code reads it.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/codec/ccitt_decode.h"
#include "engine/core/streams.h"

namespace {

std::vector<unsigned char> readFixture(const std::string& name) {
    std::ifstream in(std::string(VISTREL_SOURCE_DIR) + "/tests/fixtures/ccitt/" + name,
                     std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void decodeFixture(benchmark::State& state, const char* name, int k) {
    using namespace vistrel;
    const std::vector<unsigned char> data = readFixture(name);
    const int columns = 2700;
    std::vector<unsigned char> row((columns + 7) / 8);
    int64_t bytes = 0;
    for (auto _ : state) {
        MemoryInputStream memory(data.data(), data.size());
        CcittFaxDecodeStream filter(&memory, nullptr);
        auto params = std::make_unique<FilterParams>();
        params->set(u"/K", k);
        params->set(u"/Columns", columns);
        filter.setParameters(std::move(params));
        while (filter.read(row.data(), row.size()) == static_cast<int64_t>(row.size())) {
            bytes += static_cast<int64_t>(row.size());
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(bytes);
}

void BM_CcittGroup4(benchmark::State& state) {
    decodeFixture(state, "wide.g4", -1);
}
void BM_CcittGroup3OneDimensional(benchmark::State& state) {
    decodeFixture(state, "wide.g31d", 0);
}
void BM_CcittGroup3Mixed(benchmark::State& state) {
    decodeFixture(state, "wide.g32d", 2);
}
BENCHMARK(BM_CcittGroup4);
BENCHMARK(BM_CcittGroup3OneDimensional);
BENCHMARK(BM_CcittGroup3Mixed);

}  // namespace

BENCHMARK_MAIN();
