#include "engine/render/content/page_renderer.h"

#include <vector>

#include "engine/constants/name_constants.h"
#include "engine/constants/setting_keys.h"
#include "engine/core/settings_store.h"
#include "engine/doc/page_tree.h"
#include "engine/doc/pdf_page.h"
#include "engine/doc/typed_objects.h"
#include "engine/render/content/content_interpreter.h"
#include "engine/render/content/content_loop.h"
#include "engine/render/content/content_stream_input.h"
#include "engine/render/content/operators.h"
#include "engine/render/content/text_line_list.h"
#include "engine/render/raster/geometry.h"
#include "engine/render/raster/output_device.h"

namespace vistrel {
namespace {

// A missing setting means what the caller gives; a value of any other kind
// than the four known ones is off.
bool settingOn(const WString& section, const WString& key, bool missing) {
    const SettingValue* value = settingsStore().find(section, key);
    return value ? readSettingSwitch(value, false) : missing;
}

void destroyTextLines(TextLineList* lines) {
    delete lines;
}

// Runs a colour handler with the operand 0: black through the same lookup
// of the default space as in content.
void startBlack(ContentInterpreter& in, OperatorHandler handler) {
    in.operands().push(makeRef<PdfNumber>(std::int32_t(0)));
    handler(in);
    in.operands().clear();
}

// How a link annotation's border is drawn.
struct Border {
    bool dashed = false;
    PdfArray* dashArray = nullptr;
    std::int32_t width = 0;
};

// From /Border (an array of at least three elements whose third is a
// number; a fourth element makes it dashed, the dash pattern when it is an
// array) or else a border-style /BS; false when the annotation has neither.
bool readBorder(PdfDict& annotation, Border& border) {
    if (PdfArray* array = asArray(annotation.get(names::Border))) {
        if (array->count() < 3)
            return false;
        PdfNumber* width = asNumber(array->at(2));
        if (!width)
            return false;
        border.width = width->intValue();
        if (array->count() > 3) {
            border.dashed = true;
            border.dashArray = asArray(array->at(3));
        }
        return true;
    }
    PdfDict* style = asBorderStyle(annotation.get(names::BS));
    if (!style)
        return false;
    const BorderStyle& bs = static_cast<const BorderStyle&>(*style);
    border.width = bs.width();
    border.dashed = bs.style() == BorderStyle::kDashed;
    border.dashArray = asArray(bs.get(names::D));
    return true;
}

// The integer lengths of a dash array; false when an element is not a
// number.
bool readDashes(PdfArray& array, std::vector<std::int32_t>& dashes) {
    for (std::int32_t i = 0; i < array.count(); ++i) {
        PdfNumber* n = asNumber(array.at(i));
        if (!n)
            return false;
        dashes.push_back(n->intValue());
    }
    return true;
}

// A corner of /Rect mapped by the page matrix, rounded half away from zero
// and kept within the range of device coordinates.
IntPoint deviceCorner(const Matrix& m, double x, double y) {
    return IntPoint(roundCoord(m.a * x + m.c * y + m.e), roundCoord(m.b * x + m.d * y + m.f));
}

// Outlines every link annotation that has a border of positive width, in
// its /C colour when that holds three numbers, else gray 128; axis-aligned
// through the two mapped corners of /Rect.
void drawAnnotationBorders(PdfPage& page, OutputDevice& device, const Matrix& pageMatrix) {
    PdfArray* annotations = asArray(getInheritedAttribute(&page, names::Annots, false));
    if (!annotations)
        return;
    for (std::int32_t i = 0; i < annotations->count(); ++i) {
        PdfAnnotation* annotation = asAnnotation(annotations->at(i));
        if (!annotation || annotation->subtypeCode() != PdfAnnotation::kLink)
            continue;
        Border border;
        if (!readBorder(*annotation, border) || border.width <= 0)
            continue;
        std::vector<std::int32_t> dashes;
        if (border.dashed && border.dashArray && !readDashes(*border.dashArray, dashes))
            continue;
        if (!border.dashed)
            dashes.clear();
        PdfArray* rect = asRectangle(annotation->get(names::Rect));
        if (!rect)
            continue;

        std::unique_ptr<DeviceColor> color(device.NewColor());
        if (!color)
            return;
        PdfArray* c = asArray(annotation->get(names::C));
        DoubleArray rgb;
        if (c && c->count() == 3) {
            for (std::int32_t k = 0; k < 3; ++k) {
                if (PdfNumber* n = asNumber(c->at(k)))
                    rgb.append(n->realValue());
            }
        }
        if (rgb.count() == 3)
            color->fromComponents(rgb, kModelRgb);
        else
            color->SetRgb(128, 128, 128);
        device.SetStrokeColor(*color);
        device.SetDash(dashes, 0);
        device.SetLineWidth(double(border.width));

        auto value = [rect](std::int32_t k) { return asNumber(rect->at(k))->realValue(); };
        const IntPoint p1 = deviceCorner(pageMatrix, value(0), value(1));
        const IntPoint p2 = deviceCorner(pageMatrix, value(2), value(3));
        device.MoveTo(p1);
        device.LineTo(IntPoint(p2.x, p1.y));
        device.LineTo(p2);
        device.LineTo(IntPoint(p1.x, p2.y));
        device.LineTo(p1);
    }
}

}  // namespace

void renderPage(PdfPage& page, OutputDevice& device, const Matrix* pageMatrix, ProgressSink* sink,
                std::int32_t, PageText text) {
    if (!pageMatrix)
        return;
    ContentInterpreter in(page.hasText() ? fullOperatorStateMap() : reducedOperatorStateMap(),
                          kStatePage, true);
    if (!in.ok())
        return;
    in.setDevice(&device);
    in.setBaseMatrix(*pageMatrix);
    in.setResources(asDict(getInheritedAttribute(&page, names::Resources, true)));
    startBlack(in, opg);
    startBlack(in, opG);
    in.setProgressSink(sink);
    const bool capture = settingOn(settings::Functionality, settings::EnableSearch, false);

    ContentStreamInput input(page.get(names::Contents));
    if (!input.ok())
        return;
    in.setContentInput(&input);
    const IntPoint size = device.GetPageSize();
    const TextCapture where{*pageMatrix, size.x, size.y};
    TextLineList* lines = nullptr;
    if (text != PageText::Defer || !page.deferTextLines(where)) {
        lines = page.textLines();
        if (lines)
            lines->clear();
        else
            lines = newTextLineList();
        if (lines) {
            page.setTextLines(lines, destroyTextLines, where);
            lines = page.textLines();
        }
    }
    in.setTextCapture(lines, capture);
    if (lines) {
        lines->clear();
        lines->setPageMatrix(*pageMatrix);
    }
    runContentStream(page.runner(), in);
    // The page's reader goes with the render: kept, the parser of every page
    // rendered would stay for as long as the document.
    page.runner().endRuns();
    if (lines)
        lines->spaceWords();
    if (settingOn(settings::Mode, settings::DrawAnnotBorders, true))
        drawAnnotationBorders(page, device, *pageMatrix);
}

}  // namespace vistrel
