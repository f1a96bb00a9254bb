// Inner loops of page rendering: filling a large polygon with many edges,
// filling through a complex span clip, compositing a page of glyph-sized
// coverage bitmaps.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "engine/core/settings_store.h"
#include "engine/render/raster/coverage_bitmap.h"
#include "engine/render/raster/gdi_device.h"
#include "engine/render/raster/raster_settings.h"
#include "engine/render/raster/shape.h"

namespace {

using namespace vistrel;

constexpr int kPage = 2000;

struct Page {
    win::HDC dc;
    win::HBITMAP bitmap;
    win::HGDIOBJ old;
    Page() {
        win::BITMAPINFO info{};
        info.bmiHeader = {
            sizeof(win::BITMAPINFOHEADER), kPage, -kPage, 1, 24, win::BI_RGB, 0, 0, 0, 0, 0};
        dc = win::CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        bitmap = win::CreateDIBSection(dc, &info, win::DIB_RGB_COLORS, &bits, nullptr, 0);
        old = win::SelectObject(dc, bitmap);
        win::PatBlt(dc, 0, 0, kPage, kPage, win::WHITENESS);
    }
    ~Page() {
        win::SelectObject(dc, old);
        win::DeleteObject(bitmap);
        win::DeleteDC(dc);
    }
};

// A star of n points around the page centre: 2n edges, heavy crossing.
void addStar(Shape& s, int n, double outer, double inner) {
    const double c = kPage / 2.0;
    for (int i = 0; i < 2 * n; ++i) {
        double r = (i % 2) ? inner : outer;
        double a = i * 3.14159265358979 / n;
        IntPoint p(int(c + r * std::cos(a)), int(c + r * std::sin(a)));
        if (i == 0) {
            s.MoveTo(p);
        } else {
            s.LineTo(p);
        }
    }
    s.ClosePath();
}

void BM_FillPolygonManyEdges(benchmark::State& state) {
    Page page;
    GdiDevice dev(page.dc, IntPoint(kPage, kPage));
    DeviceColor black(0);
    dev.SetFillColor(black);
    const int points = int(state.range(0));
    for (auto _ : state) {
        std::unique_ptr<Shape> s = dev.NewShape();
        addStar(*s, points, 950, 300);
        s->setPaintMode(Shape::Fill);
        s->Paint(IntPoint(), dev);
    }
    state.SetItemsProcessed(state.iterations() * 2 * points);
    state.counters["edges"] = 2.0 * points;
}
BENCHMARK(BM_FillPolygonManyEdges)->Arg(16)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_FillThroughComplexClip(benchmark::State& state) {
    settingsStore().set(settings::Quality, settings::GDCClipMode, SettingValue::ofInteger(1));
    settingsStore().set(settings::Quality, settings::GDCOptimMode, SettingValue::ofInteger(1));
    Page page;
    GdiDevice dev(page.dc, IntPoint(kPage, kPage));
    DeviceColor black(0);
    dev.SetFillColor(black);
    const int points = int(state.range(0));
    for (auto _ : state) {
        std::unique_ptr<Shape> clip = dev.NewShape();
        addStar(*clip, points, 990, 500);
        dev.SaveClip();
        dev.ClipToShape(*clip, 0);
        dev.FillRect(IntRect(0, 0, kPage, kPage));
        dev.RestoreClip();
    }
    settingsStore().save(settings::Quality, settings::GDCClipMode);
    settingsStore().save(settings::Quality, settings::GDCOptimMode);
    state.counters["edges"] = 2.0 * points;
}
BENCHMARK(BM_FillThroughComplexClip)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_CompositeGlyphPage(benchmark::State& state) {
    Page page;
    GdiDevice dev(page.dc, IntPoint(kPage, kPage));
    const bool dib = state.range(0) != 0;
    std::unique_ptr<CoverageBitmap> glyph =
        dib ? dev.NewCoverageBitmap(12, 16) : std::make_unique<CoverageBitmap>(12, 16);
    for (int i = 0; i < 12 * 16; ++i)
        glyph->data()[i] = std::uint8_t((i * 37) % 256);
    glyph->setColor(0x202020);
    // A page of text: 160 glyphs by 110 lines.
    for (auto _ : state) {
        for (int y = 0; y < 110; ++y) {
            for (int x = 0; x < 160; ++x)
                glyph->Composite(IntPoint(x * 12, y * 18), dev);
        }
    }
    state.SetItemsProcessed(state.iterations() * 160 * 110);
}
BENCHMARK(BM_CompositeGlyphPage)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
