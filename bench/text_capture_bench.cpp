// Text capture of a page: shown strings of 50 codes handed to a page's text
// lines, then the words spaced, as a page render with search on does it. The
// argument is the number of shown characters; the complexity fit shows how
// the cost grows with it.
//
// Layouts: lines of running text from the top down (the usual page); the
// same lines from the bottom up; a page turned a quarter, where every
// character is a line of its own; and the strings of each line shown from
// right to left, where each string is a line of its own and a baseline
// holds several; and all strings on one baseline with a character spacing
// of 100, where every character is a line of its own on that baseline.
#include <benchmark/benchmark.h>

#include <memory>

#include "engine/constants/font_constants.h"
#include "engine/font/font_encoding.h"
#include "engine/font/font_registry.h"
#include "engine/font/page_text_line_list.h"
#include "engine/render/content/font_renderer.h"

namespace {

using namespace vistrel;

constexpr int kStringLength = 50;
// A line of text takes this many strings.
constexpr int kStringsPerLine = 4;

struct Widths {
    Widths() {
        for (int code = 0; code < 256; ++code)
            table.append(code == 32 ? 0.25 : 0.5);
    }
    DoubleArray table;
};

class BenchFont : private Widths, public FontRenderer {
public:
    BenchFont() : FontRenderer(&table) {
        setEncoding(new FontEncoding(encodings::WinAnsiEncoding));
        setFontSize(10);
    }
};

enum Layout { kTopDown, kBottomUp, kTurned, kRightToLeft, kSpread };

// The text matrix a string starts with: strings of one line follow each
// other along it.
Matrix startOf(Layout layout, int string) {
    const int line = string / kStringsPerLine;
    const double along = (string % kStringsPerLine) * kStringLength * 5.0;
    switch (layout) {
        case kTopDown:
            return Matrix{1, 0, 0, -1, along, 12.0 * line};
        case kBottomUp:
            return Matrix{1, 0, 0, -1, along, -12.0 * line};
        case kTurned:
            return Matrix{0, 1, -1, 0, 12.0 * line, along};
        case kRightToLeft:
            return Matrix{1, 0, 0, -1, 1000.0 - along, 12.0 * line};
        case kSpread:
            return Matrix{1, 0, 0, -1, 105.0 * kStringLength * string, 0};
    }
    return Matrix{};
}

void capturePage(benchmark::State& state, Layout layout) {
    fontStaticObjects().buildAll();
    const int strings = int(state.range(0)) / kStringLength;
    const WString text(u"Lorem ipsum dolor sit amet, consectetur adipiscing");
    BenchFont font;
    if (layout == kSpread)
        font.setCharSpacing(100);
    Ref<FontHandle> handle = makeRef<FontHandle>(&font);
    for (auto _ : state) {
        PageTextLineList list;
        for (int i = 0; i < strings; ++i) {
            const Matrix start = startOf(layout, i);
            font.setTextMatrix(start, nullptr);
            list.addShownText(text, start, handle.get());
        }
        list.spaceWords();
        benchmark::DoNotOptimize(list.lineCount());
    }
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_TopDown(benchmark::State& state) {
    capturePage(state, kTopDown);
}
void BM_BottomUp(benchmark::State& state) {
    capturePage(state, kBottomUp);
}
void BM_Turned(benchmark::State& state) {
    capturePage(state, kTurned);
}
void BM_RightToLeft(benchmark::State& state) {
    capturePage(state, kRightToLeft);
}
void BM_Spread(benchmark::State& state) {
    capturePage(state, kSpread);
}

#define VISTREL_CAPTURE_BENCH(name)                                                        \
    BENCHMARK(name)->Arg(10000)->Arg(30000)->Arg(100000)->Arg(300000)->Complexity()->Unit( \
        benchmark::kMillisecond)
VISTREL_CAPTURE_BENCH(BM_TopDown);
VISTREL_CAPTURE_BENCH(BM_BottomUp);
VISTREL_CAPTURE_BENCH(BM_Turned);
VISTREL_CAPTURE_BENCH(BM_RightToLeft);
VISTREL_CAPTURE_BENCH(BM_Spread);

}  // namespace

BENCHMARK_MAIN();
