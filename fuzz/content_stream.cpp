// A content stream run through the interpreter onto a GDI device over a small
// bitmap. The resources hold an ExtGState, a form whose content is the same
// input, so that forms nest and draw themselves, and a Type 3 font /T3 whose
// glyph "a" is the same input again (so glyph procedures show text in their
// own font), whose glyph "b" is a square and whose glyph "c" draws one image
// mask, as bitmap fonts are written (such glyphs are drawn again from the
// image kept from their first showing). Images are drawn, not boxed.
#include <cstddef>
#include <cstdint>

#include "engine/constants/name_constants.h"
#include "engine/constants/setting_keys.h"
#include "engine/core/settings_store.h"
#include "engine/core/streams.h"
#include "engine/doc/content_runner.h"
#include "engine/doc/pdf_page.h"
#include "engine/doc/typed_objects.h"
#include "engine/font/font_registry.h"
#include "engine/font/pdf_font_factories.h"
#include "engine/font/truetype_loader.h"
#include "engine/parser/pdf_stream.h"
#include "engine/render/content/content_interpreter.h"
#include "engine/render/content/content_loop.h"
#include "engine/render/content/image_drawing.h"
#include "engine/render/content/progress_sink.h"
#include "engine/font/pdf_font_registration.h"
#include "engine/render/raster/gdi_device.h"
#include "platform/gdi/gdi.h"

using namespace vistrel;

namespace {

constexpr int kSize = 64;

class QuietSink : public ProgressSink {
public:
    void startProgressIndicator() override {}
    void stopProgressIndicator() override {}
    void setProgressIndicator(std::uint16_t) override {}
};

ObjectRef number(double v) {
    return makeRef<PdfNumber>(v);
}

Ref<PdfArray> numbers(std::initializer_list<double> values) {
    Ref<PdfArray> a = makeRef<PdfArray>();
    for (double v : values)
        a->append(number(v));
    return a;
}

void put(PdfDict& dict, const PdfObject& key, ObjectRef value) {
    dict.put(ObjectRef::share(const_cast<PdfObject*>(&key)), std::move(value));
}

// /ExtGState << /G0 << /LW /LC /LJ /ML /D /FL /RI >> >>.
Ref<PdfDict> extGStates() {
    Ref<PdfDict> g0 = makeRef<PdfDict>();
    put(*g0, names::LW, number(2.5));
    put(*g0, names::LC, number(1));
    put(*g0, names::LJ, number(2));
    put(*g0, names::ML, number(4));
    Ref<PdfArray> dash = makeRef<PdfArray>();
    dash->append(numbers({3, 1.5}));
    dash->append(number(1));
    put(*g0, names::D, dash);
    put(*g0, names::FL, number(5));
    put(*g0, names::RI, makeRef<PdfName>(WString(u"/Perceptual")));
    Ref<PdfDict> states = makeRef<PdfDict>();
    states->put(makeRef<PdfName>(WString(u"/G0")), g0);
    return states;
}

// A form over the input itself; without resources of its own it runs with
// those of the content that draws it.
Ref<FormXObject> selfForm(InputStream& raw, size_t size) {
    Ref<PdfDict> dict = makeRef<PdfDict>();
    put(*dict, names::Type, makeRef<PdfName>(WString(u"/XObject")));
    put(*dict, names::Subtype, makeRef<PdfName>(WString(u"/Form")));
    put(*dict, names::BBox, createRectangle(numbers({0, 0, 50, 40})));
    put(*dict, names::Matrix, numbers({0.5, 0, 0, 0.5, 4, 4}));
    put(*dict, names::Length, number(double(size)));
    Ref<FormXObject> form = makeRef<FormXObject>(*dict, &raw, nullptr);
    return form && form->valid() ? form : nullptr;
}

Ref<PdfName> name(const char16_t* text) {
    return makeRef<PdfName>(WString(text));
}

Ref<PdfStream> stream(InputStream& raw, size_t size) {
    Ref<PdfDict> dict = makeRef<PdfDict>();
    put(*dict, names::Length, number(double(size)));
    return makePlainStream(*dict, &raw, nullptr);
}

// The Type 3 font, typed as the document's parser types it. Without
// resources of its own, its procedures use those of the content.
ObjectRef type3Font(InputStream& glyphA, size_t sizeA, InputStream& glyphB, size_t sizeB,
                    InputStream& glyphC, size_t sizeC) {
    Ref<PdfDict> procedures = makeRef<PdfDict>();
    if (Ref<PdfStream> a = stream(glyphA, sizeA))
        procedures->put(name(u"/a"), a);
    if (Ref<PdfStream> b = stream(glyphB, sizeB))
        procedures->put(name(u"/b"), b);
    if (Ref<PdfStream> c = stream(glyphC, sizeC))
        procedures->put(name(u"/c"), c);
    Ref<PdfDict> encoding = makeRef<PdfDict>();
    put(*encoding, names::Type, ObjectRef::share(const_cast<NameConstant*>(&names::Encoding)));
    Ref<PdfArray> differences = makeRef<PdfArray>();
    differences->append(number(97));
    differences->append(name(u"/a"));
    differences->append(name(u"/b"));
    differences->append(name(u"/c"));
    put(*encoding, names::Differences, differences);
    Ref<PdfDict> font = makeRef<PdfDict>();
    put(*font, names::Type, ObjectRef::share(const_cast<NameConstant*>(&names::Font)));
    put(*font, names::Subtype, ObjectRef::share(const_cast<NameConstant*>(&names::Type3)));
    put(*font, names::FontMatrix, numbers({0.01, 0, 0, 0.01, 0, 0}));
    put(*font, names::CharProcs, procedures);
    put(*font, names::Encoding, createTypedObject(encoding));
    put(*font, names::FirstChar, number(97));
    put(*font, names::Widths, numbers({50, 70, 60}));
    return createTypedObject(font);
}

constexpr char kSquare[] = "0 0 80 80 re f";
// An 8 x 10 mask scaled over 60 x 75 glyph units.
constexpr char kStencil[] =
    "60 0 0 0 60 75 d1 q 60 0 0 75 0 0 cm BI /W 8 /H 10 /IM true /BPC 1 /D [1 0] ID "
    "\x3c\x42\x81\xa5\x81\xbd\x81\x42\x3c\x18 EI Q";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    installDocumentFactories();
    installImageFactories();
    installFontDictionaryFactories();
    fontStaticObjects().buildAll();
    registerTrueTypeLoader();
    registerPdfFontFactories();
    settingsStore().set(settings::Quality, settings::ImageShowMode, SettingValue::ofInteger(2));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    win::BITMAPINFO info{};
    info.bmiHeader = {
        sizeof(win::BITMAPINFOHEADER), kSize, -kSize, 1, 24, win::BI_RGB, 0, 0, 0, 0, 0};
    win::HDC dc = win::CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    win::HBITMAP bitmap = win::CreateDIBSection(dc, &info, win::DIB_RGB_COLORS, &bits, nullptr, 0);
    win::HGDIOBJ old = win::SelectObject(dc, bitmap);
    {
        GdiDevice device(dc, IntPoint(kSize, kSize));
        MemoryInputStream input(data, size);
        MemoryInputStream formData(data, size);
        Ref<PdfDict> resources = makeRef<PdfDict>();
        put(*resources, names::ExtGState, extGStates());
        if (Ref<FormXObject> form = selfForm(formData, size)) {
            Ref<PdfDict> xobjects = makeRef<PdfDict>();
            xobjects->put(makeRef<PdfName>(WString(u"/Fm0")), form);
            put(*resources, names::XObject, xobjects);
        }
        MemoryInputStream glyphData(data, size);
        MemoryInputStream squareData(kSquare, sizeof kSquare - 1);
        MemoryInputStream stencilData(kStencil, sizeof kStencil - 1);
        Ref<PdfDict> fonts = makeRef<PdfDict>();
        fonts->put(name(u"/T3"), type3Font(glyphData, size, squareData, sizeof kSquare - 1,
                                           stencilData, sizeof kStencil - 1));
        put(*resources, names::Font, fonts);
        QuietSink sink;
        {
            ContentInterpreter interpreter(fullOperatorStateMap(), kStatePage, true);
            interpreter.setDevice(&device);
            interpreter.setBaseMatrix(Matrix{1, 0, 0, -1, 0, kSize});
            interpreter.setProgressSink(&sink);
            interpreter.setContentInput(&input);
            ContentRunner runner(resources.get());
            runContentStream(runner, interpreter);
        }
        // The fonts of this input go before the data their glyph procedures
        // read, as a closing document's fonts go with it: the next input's
        // Type 3 font is equal to this one and would otherwise share it.
        if (FontRegistry* registry = fontRegistry())
            registry->purge(-1);
    }
    win::SelectObject(dc, old);
    win::DeleteObject(bitmap);
    win::DeleteDC(dc);
    return 0;
}
