// A page's worth of cached glyphs: 10,000 showings of 80 distinct codes
// through the glyph-caching font renderer onto a GDI device. After the first
// line every glyph comes from the glyph cache, so the figure is the cost of
// the cache lookup, the composite and the advance.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

#include "engine/font/cached_glyph_renderer.h"
#include "engine/font/glyph_cache.h"
#include "engine/render/raster/coverage_bitmap.h"
#include "engine/render/raster/gdi_device.h"

namespace {

using namespace vistrel;

constexpr int kWidth = 612;
constexpr int kHeight = 792;
constexpr int kCodes = 80;
constexpr int kLines = 125;  // x 80 codes = 10,000 showings

struct Page {
    win::HDC dc;
    win::HBITMAP bitmap;
    win::HGDIOBJ old;
    Page() {
        win::BITMAPINFO info{};
        info.bmiHeader = {
            sizeof(win::BITMAPINFOHEADER), kWidth, -kHeight, 1, 24, win::BI_RGB, 0, 0, 0, 0, 0};
        dc = win::CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        bitmap = win::CreateDIBSection(dc, &info, win::DIB_RGB_COLORS, &bits, nullptr, 0);
        old = win::SelectObject(dc, bitmap);
        win::PatBlt(dc, 0, 0, kWidth, kHeight, win::WHITENESS);
    }
    ~Page() {
        win::SelectObject(dc, old);
        win::DeleteObject(bitmap);
        win::DeleteDC(dc);
    }
};

DoubleArray widths() {
    DoubleArray w;
    for (int code = 0; code < 128; ++code)
        w.append(0.5);
    return w;
}

// Glyphs of 5 x 7 pixels with anti-aliased edges, standing on the baseline.
class BenchFont : public CachedGlyphRenderer {
public:
    BenchFont(const DoubleArray* w, OutputDevice* device) : CachedGlyphRenderer(w, device) {
        setAscent(0.8);
    }
    bool renderGlyph(std::uint16_t code, CachedGlyph& glyph) override {
        glyph.bitmap = device()->NewCoverageBitmap(5, 7).release();
        if (!glyph.bitmap)
            return false;
        for (int i = 0; i < 35; ++i)
            glyph.bitmap->data()[i] = std::uint8_t((i * 53 + code) % 256);
        glyph.left = 0;
        glyph.top = -7;
        glyph.baseline = 7;
        return true;
    }
};

void BM_CachedGlyphPage(benchmark::State& state) {
    createGlyphCache();
    Page page;
    GdiDevice device(page.dc, IntPoint(kWidth, kHeight));
    const DoubleArray w = widths();
    {
        BenchFont font(&w, &device);
        font.setFontSize(12);
        for (auto _ : state) {
            for (int line = 0; line < kLines; ++line) {
                const Matrix tm{1, 0, 0, -1, 6, 10.0 + line * 6};
                font.setTextMatrix(tm, nullptr);
                for (int i = 0; i < kCodes; ++i)
                    font.showGlyph(std::uint16_t(33 + i));
            }
        }
        state.SetItemsProcessed(state.iterations() * kLines * kCodes);
        state.counters["cached"] = glyphCache()->count();
    }
    destroyGlyphCache();
}
BENCHMARK(BM_CachedGlyphPage)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
