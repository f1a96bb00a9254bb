// Colour spaces built from document data: the input is a list of object
// bodies separated by lines holding "%%" (object n is the n-th body), written
// into a small PDF file whose trailer lists them all under /Objects. Every
// object, and every element of an array object, is handed to the colour-space
// dispatcher through the document (so references, also cycles through
// bases and alternates, resolve; functions and lookup streams are read);
// each space made converts colours of 0 to 5 components and of its own
// count into a device colour and rows of samples at every depth, with the
// quick and the full conversions.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/constants/setting_keys.h"
#include "engine/core/containers.h"
#include "engine/core/settings_store.h"
#include "engine/core/streams.h"
#include "engine/doc/pdf_catalog.h"
#include "engine/doc/typed_objects.h"
#include "engine/parser/pdf_document.h"
#include "engine/render/color/make_color_space.h"
#include "engine/render/function/pdf_function.h"
#include "engine/render/raster/device_color.h"
#include "tests/support/pdf_file_text.h"

using namespace vistrel;

namespace {

constexpr size_t kMaxObjects = 32;
constexpr size_t kPixels = 5;

void exercise(const ColorSpace& space) {
    (void)space.family();
    int depth = 0;
    for (const ColorSpace* s = &space; s && depth < 64; s = s->baseSpace())
        ++depth;
    const double values[] = {0, 1, 0.5, -3, 255, 1e9};
    auto convert = [&](int count) {
        DoubleArray in;
        for (int i = 0; i < count; ++i)
            in.append(values[(i + count) % 6]);
        DoubleArray out;
        if (space.convertColor(in, out, false)) {
            DeviceColor color;
            color.fromComponents(out, kModelByCount);
        }
    };
    // 0 to 5 values, and the space's own count when that is more.
    for (int count = 0; count <= 5; ++count)
        convert(count);
    if (space.components() > 5)
        convert(std::min(space.components(), 64));
    if (!space.valid())
        return;
    for (std::int32_t bits : {1, 2, 4, 8, 16}) {
        // Room for the input row and for the converted row.
        const std::int64_t inBits = std::int64_t(space.components()) * bits * std::int64_t(kPixels);
        const std::int64_t outBits = std::int64_t(space.outputBitsPerPixel(bits)) * std::int64_t(kPixels);
        const std::int64_t bytes = (std::max(inBits, outBits) + 7) / 8;
        if (bytes <= 0 || bytes > 4096)
            continue;
        std::vector<std::uint8_t> row(static_cast<size_t>(bytes));
        for (size_t i = 0; i < row.size(); ++i)
            row[i] = static_cast<std::uint8_t>(i * 37);
        space.convertSamples(row.data(), bits, kPixels, false);
        space.convertSamples(row.data(), bits, kPixels, true);
    }
}

// Each space twice: the quick and the full conversions of the CIE spaces.
void build(PdfObject* object) {
    if (Ref<ColorSpace> space = makeColorSpace(object)) {
        for (std::int32_t full : {0, 2}) {
            settingsStore().set(settings::Quality, settings::FullColorPathConversion,
                                SettingValue::ofInteger(full));
            settingsStore().set(settings::Quality, settings::FullColorImageConversion,
                                SettingValue::ofInteger(full));
            exercise(*space);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool installed = [] {
        installDocumentFactories();
        installFunctionFactory();
        return true;
    }();
    (void)installed;

    const std::string file =
        testing::pdfFileListingObjects(testing::splitObjectBodies(data, size, kMaxObjects));
    MemoryInputStream stream(reinterpret_cast<const uint8_t*>(file.data()), file.size());
    PdfDocument document(&stream, true);
    static const Ref<PdfName> kObjects = makeRef<PdfName>(WString(u"/Objects"));
    PdfArray* objects = document.trailer() ? asArray(document.trailer()->get(*kObjects)) : nullptr;
    if (!objects)
        return 0;
    PdfCatalog catalog(&document);
    for (int32_t i = 0; i < objects->count(); ++i) {
        build(objects->at(i));
        if (PdfArray* array = asArray(objects->at(i))) {
            for (int32_t k = 0; k < array->count() && k < 16; ++k)
                build(array->at(k));
        }
    }
    return 0;
}
