// Evaluation speed of PDF functions: a type 4 tint transform (Separation to
// CMYK with a branch) evaluated a million times per iteration, the way a
// colour space converts image samples.
#include <benchmark/benchmark.h>

#include <string>

#include "engine/core/streams.h"
#include "engine/object/pdf_object.h"
#include "engine/render/function/pdf_function.h"

namespace {

using namespace vistrel;

const char kTintTransform[] =
    "{ dup 0.5 gt { 0.5 sub 2 mul 1 exch } { 2 mul 0 exch } ifelse"
    "  dup 0.25 mul exch dup 0.9 mul exch 0.1 mul 4 -1 roll pop }";

ObjectRef key(const char16_t* text) {
    return makeRef<PdfName>(WString(text));
}

Ref<PdfArray> numbers(std::initializer_list<int32_t> values) {
    Ref<PdfArray> a = makeRef<PdfArray>();
    for (int32_t v : values)
        a->append(makeRef<PdfNumber>(v));
    return a;
}

void BM_TintTransformType4(benchmark::State& state) {
    Ref<PdfDict> d = makeRef<PdfDict>();
    d->put(key(u"/FunctionType"), makeRef<PdfNumber>(4));
    d->put(key(u"/Domain"), numbers({0, 1}));
    d->put(key(u"/Range"), numbers({0, 1, 0, 1, 0, 1, 0, 1}));
    d->put(key(u"/Length"), makeRef<PdfNumber>(int32_t(sizeof kTintTransform - 1)));
    MemoryInputStream raw(kTintTransform, sizeof kTintTransform - 1);
    Ref<PdfFunction> f = makeFunction(*d, &raw, nullptr);
    if (!f) {
        state.SkipWithError("function not made");
        return;
    }
    DoubleArray in;
    in.append(0);
    DoubleArray out;
    for (auto _ : state) {
        for (int i = 0; i < 1000000; ++i) {
            in[0] = (i & 1023) / 1023.0;
            benchmark::DoNotOptimize(f->evaluate(in, out));
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(BM_TintTransformType4)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
