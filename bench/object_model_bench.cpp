// Object-model costs that documents multiply: building, looking up, writing
// and destroying small dictionaries and arrays.
#include <benchmark/benchmark.h>

#include "engine/constants/name_constants.h"
#include "engine/object/pdf_object.h"

namespace {

using namespace vistrel;

Ref<PdfDict> makePage() {
    auto page = makeRef<PdfDict>();
    page->put(makeRef<PdfName>(WString(u"/Type")), makeRef<PdfName>(WString(u"/Page")));
    auto box = makeRef<PdfArray>();
    for (int v : {0, 0, 612, 792})
        box->append(makeRef<PdfNumber>(v));
    page->put(makeRef<PdfName>(WString(u"/MediaBox")), box);
    page->put(makeRef<PdfName>(WString(u"/Rotate")), makeRef<PdfNumber>(90));
    page->put(makeRef<PdfName>(WString(u"/Contents")), makeRef<PdfString>(WString(u"data")));
    auto resources = makeRef<PdfDict>();
    resources->put(makeRef<PdfName>(WString(u"/ProcSet")), makeRef<PdfArray>());
    page->put(makeRef<PdfName>(WString(u"/Resources")), resources);
    return page;
}

void BM_BuildAndDestroyPage(benchmark::State& state) {
    for (auto _ : state) {
        auto page = makePage();
        benchmark::DoNotOptimize(page.get());
    }
}
BENCHMARK(BM_BuildAndDestroyPage);

void BM_LookupWithConstants(benchmark::State& state) {
    auto page = makePage();
    for (auto _ : state) {
        benchmark::DoNotOptimize(page->get(names::Type));
        benchmark::DoNotOptimize(page->get(names::MediaBox));
        benchmark::DoNotOptimize(page->get(names::CropBox));
        benchmark::DoNotOptimize(page->get(names::Resources));
    }
}
BENCHMARK(BM_LookupWithConstants);

void BM_PageText(benchmark::State& state) {
    auto page = makePage();
    for (auto _ : state) {
        WString text = page->text();
        benchmark::DoNotOptimize(text.chars());
    }
}
BENCHMARK(BM_PageText);

void BM_LargeArrayText(benchmark::State& state) {
    auto a = makeRef<PdfArray>();
    for (int i = 0; i < state.range(0); ++i)
        a->append(makeRef<PdfNumber>(i * 0.5));
    for (auto _ : state) {
        WString text = a->text();
        benchmark::DoNotOptimize(text.chars());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LargeArrayText)->Arg(1000)->Arg(100000);

}  // namespace

BENCHMARK_MAIN();
