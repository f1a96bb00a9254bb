// A content stream run through the interpreter onto a GDI device over a small
// bitmap. The resources hold an ExtGState and a form whose content is the
// same input, so that forms nest and draw themselves.
#include <cstddef>
#include <cstdint>

#include "engine/constants/name_constants.h"
#include "engine/core/streams.h"
#include "engine/doc/content_runner.h"
#include "engine/doc/pdf_page.h"
#include "engine/doc/typed_objects.h"
#include "engine/render/content/content_interpreter.h"
#include "engine/render/content/content_loop.h"
#include "engine/render/content/image_drawing.h"
#include "engine/render/content/progress_sink.h"
#include "engine/render/content/registration.h"
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

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    installDocumentFactories();
    installImageFactories();
    registerPdfFontFactories();
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
        QuietSink sink;
        ContentInterpreter interpreter(fullOperatorStateMap(), kStatePage, true);
        interpreter.setDevice(&device);
        interpreter.setBaseMatrix(Matrix{1, 0, 0, -1, 0, kSize});
        interpreter.setProgressSink(&sink);
        interpreter.setContentInput(&input);
        ContentRunner runner(resources.get());
        runContentStream(runner, interpreter);
    }
    win::SelectObject(dc, old);
    win::DeleteObject(bitmap);
    win::DeleteDC(dc);
    return 0;
}
