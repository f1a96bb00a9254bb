// Evaluation speed of PDF functions: a type 4 tint transform (Separation to
// CMYK with a branch) run a million times per iteration.
#include <benchmark/benchmark.h>

#include <string>

#include "engine/render/function/calculator.h"
#include "engine/render/function/calculator_text.h"

namespace {

const char kTintTransform[] =
    "{ dup 0.5 gt { 0.5 sub 2 mul 1 exch } { 2 mul 0 exch } ifelse"
    "  dup 0.25 mul exch dup 0.9 mul exch 0.1 mul 4 -1 roll pop }";

void BM_CalculatorTintTransform(benchmark::State& state) {
    using namespace vistrel;
    CalculatorProgram program =
        CalculatorProgram::compile(tokenizeCalculatorText(kTintTransform, sizeof kTintTransform - 1));
    double out[4];
    for (auto _ : state) {
        for (int i = 0; i < 1000000; ++i) {
            double in = (i & 1023) / 1023.0;
            benchmark::DoNotOptimize(program.run(&in, 1, out, 4));
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(BM_CalculatorTintTransform)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
