// Image rows through the colour spaces: rows of 1200 samples converted in
// place, for palettes, tint transforms of type 2 and 4, and the CIE-based
// spaces in their quick and full conversions. Figures are rows per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/constants/setting_keys.h"
#include "engine/core/settings_store.h"
#include "engine/core/streams.h"
#include "engine/doc/pdf_catalog.h"
#include "engine/doc/typed_objects.h"
#include "engine/parser/pdf_document.h"
#include "engine/render/color/make_color_space.h"
#include "engine/render/function/pdf_function.h"
#include "tests/support/pdf_file_text.h"

namespace {

using namespace vistrel;

constexpr std::size_t kWidth = 1200;

const std::string kSeparationCmyk = testing::pdfStreamBody(
    "/FunctionType 4 /Domain [0 1] /Range [0 1 0 1 0 1 0 1]",
    "{dup 0.9 mul exch dup 0.2 mul exch 0 exch 0.3 mul}");
const std::string kSeparationRgb =
    "<< /FunctionType 2 /Domain [0 1] /C0 [1 1 1] /C1 [0.8 0.1 0.3] /N 1 >>";
const std::string kPairRgb = testing::pdfStreamBody(
    "/FunctionType 4 /Domain [0 1 0 1] /Range [0 1 0 1 0 1]",
    "{0.8 mul 1 exch sub exch dup 0.4 mul 1 exch sub exch 0.9 mul 1 exch sub}");

std::string palette(int entries, int components) {
    std::string hex = "<";
    static const char kDigits[] = "0123456789ABCDEF";
    for (int i = 0; i < entries * components; ++i) {
        const int v = (i * 37) & 255;
        hex += kDigits[v >> 4];
        hex += kDigits[v & 15];
    }
    return hex + ">";
}

// A space made through a small document: object 2 is the space, object 3
// its function.
class Space {
public:
    Space(const std::string& space, const std::string& function) {
        static const bool started = [] {
            installDocumentFactories();
            installFunctionFactory();
            return true;
        }();
        (void)started;
        bytes_ = testing::pdfFileListingObjects({"<< /Type /Catalog >>", space, function});
        input_ = std::make_unique<MemoryInputStream>(bytes_.data(), bytes_.size());
        doc_ = std::make_unique<PdfDocument>(input_.get(), false);
        catalog_ = std::make_unique<PdfCatalog>(doc_.get());
        static const Ref<PdfName> kObjects = makeRef<PdfName>(WString(u"/Objects"));
        PdfArray* objects = asArray(doc_->trailer()->get(*kObjects));
        space_ = makeColorSpace(objects ? objects->get(1) : nullptr);
    }
    ~Space() {
        space_ = nullptr;
        catalog_.reset();
        doc_.reset();
    }
    ColorSpace* get() const { return space_ && space_->valid() ? space_.get() : nullptr; }

private:
    std::string bytes_;
    std::unique_ptr<MemoryInputStream> input_;
    std::unique_ptr<PdfDocument> doc_;
    std::unique_ptr<PdfCatalog> catalog_;
    Ref<ColorSpace> space_;
};

void convertRows(benchmark::State& state, const std::string& spaceText,
                 const std::string& function, int bits, int imageConversion = 0) {
    settingsStore().set(settings::Quality, settings::FullColorImageConversion,
                        SettingValue::ofInteger(imageConversion));
    Space space(spaceText, function);
    if (!space.get()) {
        state.SkipWithError("space not made");
        return;
    }
    const std::size_t inBytes = (kWidth * space.get()->components() * bits + 7) / 8;
    const std::size_t outBytes = kWidth * space.get()->outputBitsPerPixel(bits) / 8;
    std::vector<std::uint8_t> source(inBytes);
    for (std::size_t i = 0; i < inBytes; ++i)
        source[i] = std::uint8_t((i * 7 + (i >> 5)) & 255);
    std::vector<std::uint8_t> row(std::max(inBytes, outBytes));
    for (auto _ : state) {
        std::copy(source.begin(), source.end(), row.begin());
        space.get()->convertSamples(row.data(), bits, kWidth, false);
        benchmark::DoNotOptimize(row.data());
    }
    state.SetItemsProcessed(state.iterations());
    settingsStore().save(settings::Quality, settings::FullColorImageConversion);
}

void BM_Indexed8Rgb(benchmark::State& state) {
    convertRows(state, "[/Indexed /DeviceRGB 255 " + palette(256, 3) + "]", "null", 8);
}
BENCHMARK(BM_Indexed8Rgb);

void BM_Indexed1Cmyk(benchmark::State& state) {
    convertRows(state, "[/Indexed /DeviceCMYK 1 " + palette(2, 4) + "]", "null", 1);
}
BENCHMARK(BM_Indexed1Cmyk);

void BM_SeparationType2Rgb(benchmark::State& state) {
    convertRows(state, "[/Separation /Rose /DeviceRGB 3 0 R]", kSeparationRgb, 8);
}
BENCHMARK(BM_SeparationType2Rgb);

void BM_SeparationType4Cmyk(benchmark::State& state) {
    convertRows(state, "[/Separation /Teal /DeviceCMYK 3 0 R]", kSeparationCmyk, 8);
}
BENCHMARK(BM_SeparationType4Cmyk);

void BM_DeviceNType4Rgb(benchmark::State& state) {
    convertRows(state, "[/DeviceN [/A /B] /DeviceRGB 3 0 R]", kPairRgb, 8);
}
BENCHMARK(BM_DeviceNType4Rgb);

// The argument is "FullColorImageConversion": 0 quick, 2 full.
void BM_CalRgb(benchmark::State& state) {
    convertRows(state,
                "[/CalRGB << /WhitePoint [0.9505 1 1.089] /Gamma [1.8 1.8 1.8] /Matrix [0.4497 "
                "0.2446 0.0252 0.3163 0.672 0.1412 0.1845 0.0833 0.9227] >>]",
                "null", 8, int(state.range(0)));
}
BENCHMARK(BM_CalRgb)->Arg(0)->Arg(2);

void BM_Lab(benchmark::State& state) {
    convertRows(state, "[/Lab << /WhitePoint [0.9505 1 1.089] >>]", "null", 8);
}
BENCHMARK(BM_Lab);

}  // namespace

BENCHMARK_MAIN();
