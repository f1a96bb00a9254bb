// "Do" for forms and images, and the operators that draw nothing: shading, PostScript
// and marked content.
#include <memory>

#include "engine/constants/name_constants.h"
#include "engine/doc/pdf_page.h"
#include "engine/render/content/content_interpreter.h"
#include "engine/render/content/content_loop.h"
#include "engine/render/content/form_draw.h"
#include "engine/render/content/image_dict.h"
#include "engine/render/content/image_drawing.h"
#include "engine/render/content/matrix.h"
#include "engine/render/content/operators.h"
#include "engine/render/raster/geometry.h"
#include "engine/render/raster/output_device.h"
#include "engine/render/raster/shape.h"

namespace vistrel {

void drawFormXObject(FormXObject& form, ContentInterpreter& interpreter) {
    if (!form.valid() || !form.open())
        return;
    InputStream* savedInput = interpreter.contentInput();
    const Matrix savedBase = interpreter.baseMatrix();
    interpreter.setContentInput(&form);
    runContentStream(form.runner(), interpreter);
    form.close();
    interpreter.setBaseMatrix(savedBase);
    interpreter.setContentInput(savedInput);
}

namespace {

// Clips later drawing to the form's /BBox as "re W n" would: the corners
// rounded in user space, mapped by the device matrix.
void clipToBox(ContentInterpreter& in, const FormXObject& form) {
    OutputDevice* device = in.device();
    PdfArray* box = asRectangle(form.get(names::BBox));
    if (!device || !box)
        return;
    auto value = [box](std::int32_t i) {
        PdfNumber* n = asNumber(box->at(i));
        return n ? n->realValue() : 0.0;
    };
    const double x1 = value(0), y1 = value(1), x2 = value(2), y2 = value(3);
    const IntRect r(roundCoord(x1), roundCoord(y1), roundCoord(x2 - x1), roundCoord(y2 - y1));
    std::unique_ptr<Shape> shape = device->NewShape();
    if (!shape)
        return;
    const Matrix& m = in.deviceMatrix();
    const double matrix[6] = {m.a, m.b, m.c, m.d, m.e, m.f};
    shape->AddRectangle(r, matrix);
    device->ClipToShape(*shape, GraphicsState::kClipNonZero);
}

// A form drawn by "Do": inside its own graphics state, under its /Matrix,
// clipped to its /BBox; the parser state the form leaves does not reach the
// content that drew it. A form that is being drawn already, or one nested
// too deep, draws nothing.
void drawForm(ContentInterpreter& in, FormXObject& form) {
    if (!in.enterNested(&form))
        return;
    const std::int32_t state = in.mode();
    in.saveGraphicsState();
    GraphicsState& g = in.graphicsState();
    g.ctm = multiply(form.matrix(), g.ctm);
    in.updateDeviceMatrix();
    if (OutputDevice* device = in.device())
        device->SetLineWidth(in.deviceLineWidth());
    if (!g.dashes.empty())
        in.setDeviceDash();
    clipToBox(in, form);
    drawFormXObject(form, in);
    in.restoreGraphicsState();
    in.setMode(state);
    in.leaveNested(&form);
}

}  // namespace

std::int32_t opDo(ContentInterpreter& in) {
    Ref<PdfName> name = FetchNameOperand(in.operands());
    if (!name)
        return kStatusNoXObject;
    PdfObject* resource = in.findResource(names::XObject, *name);
    if (!resource)
        return kStatusNoXObject;
    if (FormXObject* form = asFormXObject(resource)) {
        Ref<FormXObject> held = Ref<FormXObject>::share(form);
        drawForm(in, *form);
        return kStatusDone;
    }
    PdfObject* target = resource->direct();
    if (!target || target->classKind() != kClassImageXObject)
        return kStatusDone;
    ImageDict* found = dynamic_cast<ImageDict*>(target);
    if (!found)
        return kStatusDone;
    Ref<ImageDict> image = Ref<ImageDict>::share(found);
    switch (imageShowMode()) {
        case ImageShow::Nothing:
            break;
        case ImageShow::Placeholder:
            drawImagePlaceholder(in);
            break;
        case ImageShow::Image:
            drawImage(in, *image, true);
            break;
    }
    return kStatusDone;
}

std::int32_t opsh(ContentInterpreter& in) {
    GraphicsState& g = in.graphicsState();
    if (g.pendingClip != GraphicsState::kNoClip && g.path) {
        if (OutputDevice* device = in.device())
            device->ClipToShape(*g.path, g.pendingClip);
        g.pendingClip = GraphicsState::kNoClip;
    }
    g.path.reset();
    return kStatusDone;
}

std::int32_t opPS(ContentInterpreter&) {
    return kStatusDone;
}

std::int32_t opBMC(ContentInterpreter&) {
    return kStatusDone;
}

std::int32_t opBDC(ContentInterpreter&) {
    return kStatusDone;
}

std::int32_t opEMC(ContentInterpreter&) {
    return kStatusDone;
}

std::int32_t opMP(ContentInterpreter&) {
    return kStatusDone;
}

std::int32_t opDP(ContentInterpreter&) {
    return kStatusDone;
}

}  // namespace vistrel
