#include "tools/inspect_ops.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/constants/name_constants.h"
#include "engine/control/engine_startup.h"
#include "engine/doc/page_tree.h"
#include "engine/doc/pdf_catalog.h"
#include "engine/doc/pdf_page.h"
#include "engine/render/content/content_interpreter.h"
#include "engine/render/content/content_loop.h"
#include "engine/render/content/content_stream_input.h"
#include "engine/render/raster/gdi_device.h"
#include "platform/gdi/gdi.h"

using namespace vistrel;

namespace {

// Sides of the scratch bitmap are kept within this many pixels; the trace
// does not depend on them.
constexpr int kMaxScratchSide = 2000;

class PrintTrace : public StepObserver {
public:
    void operatorDone(const OperatorTrace& t) override {
        const std::string op = static_cast<const PdfString*>(t.op)->textValue().toLatin1();
        if (!t.handled)
            std::printf("%d %d %s dropped\n", t.depth, t.state, op.c_str());
        else if (t.status == kStatusDone)
            std::printf("%d %d %s ok\n", t.depth, t.state, op.c_str());
        else
            std::printf("%d %d %s status %d\n", t.depth, t.state, op.c_str(), t.status);
    }
};

// A memory device context over a 24-bit bitmap, cleared to white.
class ScratchBitmap {
public:
    ScratchBitmap(int width, int height) {
        win::BITMAPINFO info{};
        info.bmiHeader = {
            sizeof(win::BITMAPINFOHEADER), width, -height, 1, 24, win::BI_RGB, 0, 0, 0, 0, 0};
        dc = win::CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        bitmap_ = win::CreateDIBSection(dc, &info, win::DIB_RGB_COLORS, &bits, nullptr, 0);
        old_ = win::SelectObject(dc, bitmap_);
        win::PatBlt(dc, 0, 0, width, height, win::WHITENESS);
    }
    ~ScratchBitmap() {
        win::SelectObject(dc, old_);
        win::DeleteObject(bitmap_);
        win::DeleteDC(dc);
    }
    ScratchBitmap(const ScratchBitmap&) = delete;
    ScratchBitmap& operator=(const ScratchBitmap&) = delete;

    win::HDC dc;

private:
    win::HBITMAP bitmap_;
    win::HGDIOBJ old_;
};

int scratchSide(double points) {
    if (!(points >= 1))
        return 1;
    return int(std::min(std::ceil(points), double(kMaxScratchSide)));
}

}  // namespace

bool traceOperators(PdfCatalog& catalog, std::int32_t pageNumber, const WString& fontsFolder,
                    std::string& why) {
    startEngine(fontsFolder);
    if (pageNumber < 1 || pageNumber > catalog.getPageCount()) {
        why = "no such page";
        return false;
    }
    Ref<PdfPage> page = catalog.getPage(pageNumber);
    if (!page) {
        why = "the page cannot be read";
        return false;
    }
    // Page space to the bitmap at zoom 1: the box's top left corner at the
    // origin, y downward.
    double x1 = 0, y1 = 0, x2 = 612, y2 = 792;
    PdfArray* box = asRectangle(getInheritedAttribute(page.get(), names::CropBox, true));
    if (!box)
        box = asRectangle(getInheritedAttribute(page.get(), names::MediaBox, true));
    if (box) {
        auto value = [box](int i) { return asNumber(box->at(i))->realValue(); };
        x1 = std::min(value(0), value(2));
        x2 = std::max(value(0), value(2));
        y1 = std::min(value(1), value(3));
        y2 = std::max(value(1), value(3));
    }
    const int width = scratchSide(x2 - x1), height = scratchSide(y2 - y1);
    ScratchBitmap scratch(width, height);
    GdiDevice device(scratch.dc, IntPoint(width, height));

    ContentInterpreter interpreter(
        page->hasText() ? fullOperatorStateMap() : reducedOperatorStateMap(), kStatePage, true);
    if (!interpreter.ok()) {
        why = "out of memory";
        return false;
    }
    PrintTrace trace;
    ContentStreamInput input(page->get(names::Contents));
    interpreter.setDevice(&device);
    interpreter.setBaseMatrix(Matrix{1, 0, 0, -1, -x1, y2});
    interpreter.setResources(page->resources());
    interpreter.setContentInput(&input);
    interpreter.setStepObserver(&trace);
    runContentStream(page->runner(), interpreter);
    std::fflush(stdout);
    return true;
}
