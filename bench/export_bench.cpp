// The Palm export's conversion of a rendered page into device pixels: a text
// page of 612 x 792 pixels (white, black strokes, grey edges) in the kind of
// bitmap the control renders into, converted to each device format with the
// preview painted back. Figures are pages per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "engine/export/device_image.h"
#include "platform/gdi/gdi.h"

namespace {

using namespace vistrel;

constexpr int kWidth = 612;
constexpr int kHeight = 792;

// The grey of the text page at x, y: lines of words of strokes, with a grey
// pixel at each stroke's edges.
std::uint8_t textGrey(int x, int y) {
    const int line = y / 14, inLine = y % 14;
    if (inLine < 3 || inLine > 11 || x < 50 || x >= kWidth - 50)
        return 255;
    const int word = (x + line * 37) / 40;
    if ((word * 7 + line) % 5 == 0 || (x + line * 37) % 40 >= 34)
        return 255;  // between words
    const int stroke = (x * 3 + y) % 7;
    return stroke == 0 ? 0 : stroke == 1 ? 96 : stroke == 2 ? 176 : 255;
}

// A device context holding the page as the control's render leaves it (a
// top-down 32-bit DIB section), and the page's pixels to put back
// into it before every conversion.
class RenderedPage {
public:
    RenderedPage() {
        win::BITMAPINFO info{};
        info.bmiHeader = {
            sizeof(win::BITMAPINFOHEADER), kWidth, -kHeight, 1, 32, win::BI_RGB, 0, 0, 0, 0, 0};
        dc_ = win::CreateCompatibleDC(nullptr);
        void* pageBits = nullptr;
        bitmap_ = win::CreateDIBSection(dc_, &info, win::DIB_RGB_COLORS, &pageBits, nullptr, 0);
        old_ = win::SelectObject(dc_, bitmap_);
        sourceDc_ = win::CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        source_ = win::CreateDIBSection(sourceDc_, &info, win::DIB_RGB_COLORS, &bits, nullptr, 0);
        oldSource_ = win::SelectObject(sourceDc_, source_);
        auto* p = static_cast<std::uint8_t*>(bits);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x, p += 4) {
                const std::uint8_t g = textGrey(x, y);
                p[0] = g;
                p[1] = g;
                p[2] = std::uint8_t(g < 255 ? g / 2 : 255);  // dark red text
                p[3] = 0;
            }
        }
    }
    ~RenderedPage() {
        win::SelectObject(sourceDc_, oldSource_);
        win::DeleteObject(source_);
        win::DeleteDC(sourceDc_);
        win::SelectObject(dc_, old_);
        win::DeleteObject(bitmap_);
        win::DeleteDC(dc_);
    }
    RenderedPage(const RenderedPage&) = delete;
    RenderedPage& operator=(const RenderedPage&) = delete;

    win::HDC dc() const { return dc_; }
    void restore() const { win::BitBlt(dc_, 0, 0, kWidth, kHeight, sourceDc_, 0, 0, win::SRCCOPY); }

private:
    win::HDC dc_, sourceDc_;
    win::HBITMAP bitmap_, source_;
    win::HGDIOBJ old_, oldSource_;
};

// The page converted to the device format the argument names (4, 16 or 17).
void BM_ConvertPage(benchmark::State& state) {
    const RenderedPage page;
    std::vector<std::uint8_t> grey(std::size_t(kWidth) * kHeight);
    std::vector<std::uint8_t> packed(std::size_t(kWidth) * kHeight / 2 + kHeight);
    for (auto _ : state) {
        state.PauseTiming();
        page.restore();
        state.ResumeTiming();
        DeviceImage image;
        image.width = kWidth;
        image.height = kHeight;
        image.format = std::uint16_t(state.range(0));
        image.packed = packed.data();
        image.grey = grey.data();
        benchmark::DoNotOptimize(convertPageImage(page.dc(), image, true));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ConvertPage)
    ->Arg(kColor4)
    ->Arg(kColor16)
    ->Arg(kColor16a)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
