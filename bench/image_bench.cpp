// Image rows into a RasterImage: an RGB picture shrunk and enlarged onto a
// page-sized DIB, CMYK rows in each conversion model, and a rotated image
// rasterised and blitted. Figures are source rows per second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/constants/setting_keys.h"
#include "engine/core/settings_store.h"
#include "engine/render/content/raster_image.h"
#include "engine/render/raster/gdi_device.h"

namespace {

using namespace vistrel;

// A source of width x height pixels of `components` bytes with many colours.
std::vector<std::uint8_t> picture(int width, int height, int components) {
    std::vector<std::uint8_t> out(std::size_t(width) * height * components);
    std::size_t i = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < components; ++c)
                out[i++] = std::uint8_t((x * (3 + c) + y * (5 - c) + ((x ^ y) & 31)) & 255);
        }
    }
    return out;
}

// Puts every row of the source into an image placed over dstWidth x
// dstHeight device pixels.
void putRows(benchmark::State& state, int width, int height, int components, int dstWidth,
             int dstHeight) {
    const std::vector<std::uint8_t> source = picture(width, height, components);
    const std::size_t rowBytes = std::size_t(width) * components;
    const double m[6] = {double(dstWidth), 0, 0, -double(dstHeight), 0, double(dstHeight)};
    std::vector<std::uint8_t> row;
    for (auto _ : state) {
        RasterImage image;
        const std::size_t rowSize = image.begin(width, height, components, 8, 0, m);
        row.resize(std::max(rowSize, rowBytes));
        for (int y = 0; y < height; ++y) {
            std::copy_n(source.data() + y * rowBytes, rowBytes, row.data());
            image.putRow(row.data(), rowBytes);
        }
        benchmark::DoNotOptimize(image.dibRow(0));
    }
    state.SetItemsProcessed(state.iterations() * height);
}

void BM_ShrinkRgb(benchmark::State& state) {
    putRows(state, 1600, 1200, 3, 1224, 918);
}
BENCHMARK(BM_ShrinkRgb)->Unit(benchmark::kMillisecond);

void BM_EnlargeRgb(benchmark::State& state) {
    putRows(state, 200, 150, 3, 1224, 918);
}
BENCHMARK(BM_EnlargeRgb)->Unit(benchmark::kMillisecond);

// CMYK at its own size, in the model the argument names.
void BM_CmykRows(benchmark::State& state) {
    settingsStore().set(settings::Quality, settings::FullColorImageConversion,
                        SettingValue::ofInteger(std::int32_t(state.range(0))));
    putRows(state, 800, 600, 4, 799, 599);
    settingsStore().save(settings::Quality, settings::FullColorImageConversion);
}
BENCHMARK(BM_CmykRows)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// A 400 x 300 picture turned by 30 degrees over about 600 x 450 pixels,
// rasterised (mode 3) and clipped to its parallelogram.
void BM_RotatedDraw(benchmark::State& state) {
    settingsStore().set(settings::Quality, settings::ImageRotationMode,
                        SettingValue::ofInteger(3));
    constexpr int kSize = 1000;
    win::BITMAPINFO info{};
    info.bmiHeader = {
        sizeof(win::BITMAPINFOHEADER), kSize, -kSize, 1, 24, win::BI_RGB, 0, 0, 0, 0, 0};
    win::HDC dc = win::CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    win::HBITMAP bitmap = win::CreateDIBSection(dc, &info, win::DIB_RGB_COLORS, &bits, nullptr, 0);
    win::HGDIOBJ old = win::SelectObject(dc, bitmap);
    {
        GdiDevice device(dc, IntPoint(kSize, kSize));
        const int width = 400, height = 300;
        const std::vector<std::uint8_t> source = picture(width, height, 3);
        const double c = std::cos(M_PI / 6), s = std::sin(M_PI / 6);
        const double m[6] = {600 * c, 600 * s, -450 * s, 450 * c, 300, 100};
        RasterImage image;
        std::vector<std::uint8_t> row(image.begin(width, height, 3, 8, 0, m) + width * 3);
        for (int y = 0; y < height; ++y) {
            std::copy_n(source.data() + y * width * 3, width * 3, row.data());
            image.putRow(row.data(), std::size_t(width) * 3);
        }
        for (auto _ : state)
            benchmark::DoNotOptimize(image.Draw(IntPoint(0, 0), device));
    }
    win::SelectObject(dc, old);
    win::DeleteObject(bitmap);
    win::DeleteDC(dc);
    settingsStore().save(settings::Quality, settings::ImageRotationMode);
}
BENCHMARK(BM_RotatedDraw)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
