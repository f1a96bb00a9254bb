// An image XObject or inline image drawn through the interpreter onto a GDI
// device over a small bitmap. The leading bytes choose the kind, the image
// dictionary (size, bits, colour space or mask, filter, Decode), the matrix
// and the quality settings; the rest is the image data.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/constants/name_constants.h"
#include "engine/constants/setting_keys.h"
#include "engine/core/settings_store.h"
#include "engine/core/streams.h"
#include "engine/doc/content_runner.h"
#include "engine/doc/typed_objects.h"
#include "engine/parser/object_parser.h"
#include "engine/render/content/content_interpreter.h"
#include "engine/render/content/content_loop.h"
#include "engine/render/content/image_dict.h"
#include "engine/render/content/image_drawing.h"
#include "engine/render/content/operator_tables.h"
#include "engine/render/raster/gdi_device.h"
#include "fuzz/fuzz_input.h"
#include "platform/gdi/gdi.h"

using namespace vistrel;

namespace {

constexpr int kSize = 48;

const char* const kSpaces[] = {"/DeviceGray", "/DeviceRGB", "/DeviceCMYK", "mask"};
const char* const kShortSpaces[] = {"/G", "/RGB", "/CMYK", "mask"};
const char* const kFilters[] = {"",    "/ASCIIHexDecode", "/FlateDecode", "/DCTDecode",
                                "/RL", "/LZWDecode",      "/CCF",         "/A85"};
const int kBits[] = {1, 2, 4, 8, 16, 0, 3, 1};

// The dictionary's text from the parameters.
std::string entries(fuzz::FuzzInput& in, bool abbreviated) {
    const unsigned width = in.byte() % 70, height = in.byte() % 70;
    const unsigned choice = in.byte();
    const unsigned space = choice % 4, filter = (choice >> 2) % 8, bits = (choice >> 5) % 8;
    const unsigned flags = in.byte();
    std::string out = (abbreviated ? "/W " : "/Width ") + std::to_string(width) +
                      (abbreviated ? " /H " : " /Height ") + std::to_string(height);
    if (space == 3) {
        out += abbreviated ? " /IM true" : " /ImageMask true";
        if (flags & 1)
            out += (abbreviated ? " /BPC " : " /BitsPerComponent ") + std::to_string(kBits[bits]);
    } else {
        out += (abbreviated ? " /BPC " : " /BitsPerComponent ") + std::to_string(kBits[bits]);
        out += (abbreviated ? " /CS " : " /ColorSpace ") +
               std::string(abbreviated ? kShortSpaces[space] : kSpaces[space]);
    }
    if (filter)
        out += (abbreviated ? " /F " : " /Filter ") + std::string(kFilters[filter]);
    if (flags & 2)
        out += abbreviated ? " /D [1 0]" : " /Decode [1 0]";
    if (flags & 4)
        out += abbreviated ? " /D [0 1 1 0 0.5 1]" : " /Decode [0 1 1 0 0.5 1]";
    return out;
}

// A matrix term from one byte: -64 .. 63 device pixels, sometimes far out.
double term(fuzz::FuzzInput& in) {
    const int v = int(in.byte()) - 128;
    return v > 120 ? 1e9 : v / 2.0;
}

void setQuality(const WString& key, std::int32_t value) {
    settingsStore().set(settings::Quality, key, SettingValue::ofInteger(value));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    installDocumentFactories();
    installImageFactories();
    fillOperatorStateMaps();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzInput in(data, size);
    const unsigned mode = in.byte();
    setQuality(settings::ImageShowMode, mode & 1 ? 2 : mode & 2 ? 1 : 3);
    setQuality(settings::ImageRotationMode, std::int32_t((mode >> 2) % 5));
    setQuality(settings::FullColorImageConversion, std::int32_t((mode >> 5) % 3));
    const bool inlineImage = mode & 0x80;
    const std::string dict = entries(in, inlineImage);
    std::string matrix;
    for (int i = 0; i < 6; ++i)
        matrix += std::to_string(term(in)) + " ";
    const std::string pixels(reinterpret_cast<const char*>(in.data()), in.size());

    win::BITMAPINFO info{};
    info.bmiHeader = {
        sizeof(win::BITMAPINFOHEADER), kSize, -kSize, 1, 24, win::BI_RGB, 0, 0, 0, 0, 0};
    win::HDC dc = win::CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    win::HBITMAP bitmap = win::CreateDIBSection(dc, &info, win::DIB_RGB_COLORS, &bits, nullptr, 0);
    win::HGDIOBJ old = win::SelectObject(dc, bitmap);
    {
        GdiDevice device(dc, IntPoint(kSize, kSize));
        ContentInterpreter interpreter(fullOperatorStateMap(), kStatePage, true);
        interpreter.setDevice(&device);
        ContentRunner runner;
        Ref<PdfDict> resources = makeRef<PdfDict>();
        MemoryInputStream raw(pixels.data(), pixels.size());
        std::string content = "0.2 0.4 0.6 rg q " + matrix + "cm ";
        if (inlineImage) {
            content += "BI " + dict + " ID " + pixels + " EI Q 1 0 0 rg 0 0 4 4 re f";
        } else {
            const std::string text = "<< " + dict + " /Length " + std::to_string(pixels.size()) + " >>";
            MemoryInputStream dictInput(text.data(), text.size());
            Tokenizer tokenizer(&dictInput);
            ObjectParser parser(&tokenizer);
            ObjectRef parsed = parser.ParseObject();
            if (PdfDict* d = asDict(parsed.get())) {
                if (ObjectRef image = makeImageXObject(*d, &raw, nullptr)) {
                    Ref<PdfDict> xobjects = makeRef<PdfDict>();
                    xobjects->put(makeRef<PdfName>(WString(u"/Im")), std::move(image));
                    resources->put(ObjectRef::share(&names::XObject), xobjects);
                }
            }
            content += "/Im Do Q";
        }
        interpreter.setResources(resources.get());
        MemoryInputStream input(content.data(), content.size());
        interpreter.setContentInput(&input);
        runContentStream(runner, interpreter);
    }
    win::SelectObject(dc, old);
    win::DeleteObject(bitmap);
    win::DeleteDC(dc);
    return 0;
}
