// The graphics-state, text-state and text-positioning operators. Setters store
// the value in the interpreter's state and pass it on at once to the device
// (line style) or to the current font (text parameters).
#include <cmath>
#include <cstdint>

#include "engine/constants/name_constants.h"
#include "engine/render/content/content_interpreter.h"
#include "engine/render/content/font_renderer.h"
#include "engine/render/content/matrix.h"
#include "engine/render/content/operators.h"
#include "engine/render/raster/output_device.h"

namespace vistrel {
namespace {

// Six operands a b c d e f, fetched last first.
Matrix fetchMatrix(ContentOperandStack& operands) {
    Matrix m;
    m.f = FetchRealOperand(operands);
    m.e = FetchRealOperand(operands);
    m.d = FetchRealOperand(operands);
    m.c = FetchRealOperand(operands);
    m.b = FetchRealOperand(operands);
    m.a = FetchRealOperand(operands);
    return m;
}

void setDeviceLineWidth(ContentInterpreter& in) {
    if (OutputDevice* device = in.device())
        device->SetLineWidth(in.deviceLineWidth());
}

void setLineWidth(ContentInterpreter& in, double width) {
    in.graphicsState().lineWidth = width;
    setDeviceLineWidth(in);
}

void setLineCap(ContentInterpreter& in, std::int32_t cap) {
    if (OutputDevice* device = in.device())
        device->SetLineCap(cap);
    in.graphicsState().lineCap = cap;
}

// Pushes a copy of the value's reference (for the handlers "gs" runs).
void push(ContentInterpreter& in, PdfObject* value) {
    in.operands().push(ObjectRef::share(value));
}

}  // namespace

// --- Graphics state ---

std::int32_t opq(ContentInterpreter& in) {
    in.saveGraphicsState();
    return kStatusDone;
}

std::int32_t opQ(ContentInterpreter& in) {
    in.restoreGraphicsState();
    return kStatusDone;
}

std::int32_t opcm(ContentInterpreter& in) {
    const Matrix m = fetchMatrix(in.operands());
    GraphicsState& g = in.graphicsState();
    g.ctm = multiply(m, g.ctm);
    in.updateDeviceMatrix();
    setDeviceLineWidth(in);
    // Dash lengths scale with the matrix as the width does.
    if (!g.dashes.empty())
        in.setDeviceDash();
    return kStatusDone;
}

std::int32_t opw(ContentInterpreter& in) {
    setLineWidth(in, FetchRealOperand(in.operands()));
    return kStatusDone;
}

std::int32_t opJ(ContentInterpreter& in) {
    setLineCap(in, FetchIntOperand(in.operands()));
    return kStatusDone;
}

std::int32_t opj(ContentInterpreter& in) {
    const std::int32_t join = FetchIntOperand(in.operands());
    if (OutputDevice* device = in.device())
        device->SetLineJoin(join);
    in.graphicsState().lineJoin = join;
    return kStatusDone;
}

std::int32_t opM(ContentInterpreter& in) {
    const double limit = FetchRealOperand(in.operands());
    if (OutputDevice* device = in.device())
        device->SetMiterLimit(limit);
    in.graphicsState().miterLimit = limit;
    return kStatusDone;
}

std::int32_t opd(ContentInterpreter& in) {
    ContentOperandStack& operands = in.operands();
    if (operands.count() < 2)
        return kStatusTooFewOperands;
    GraphicsState& g = in.graphicsState();
    g.dashPhase = FetchRealOperand(operands);
    ObjectRef operand = operands.pop();
    PdfArray* array = asArray(operand.get());
    if (!array)
        return kStatusWrongOperand;
    g.dashes.clear();
    for (std::int32_t i = 0; i < array->count(); ++i) {
        PdfNumber* n = asNumber(array->at(i));
        if (!n)
            return kStatusWrongOperand;
        g.dashes.push_back(n->realValue());
    }
    in.setDeviceDash();
    return kStatusDone;
}

std::int32_t opi(ContentInterpreter& in) {
    const std::int32_t flatness = FetchIntOperand(in.operands());
    in.graphicsState().flatness = std::uint32_t(flatness) <= 100 ? flatness : 100;
    return kStatusDone;
}

std::int32_t opri(ContentInterpreter&) {
    return kStatusDone;
}

std::int32_t opgs(ContentInterpreter& in) {
    Ref<PdfName> name = FetchNameOperand(in.operands());
    if (!name)
        return kStatusWrongOperand;
    PdfDict* params = asDict(in.findResource(names::ExtGState, *name));
    if (!params)
        return kStatusWrongOperand;

    // An array entry of fewer than two elements is ignored.
    auto pair = [](PdfObject* value) -> PdfArray* {
        PdfArray* a = asArray(value);
        return a && a->count() >= 2 ? a : nullptr;
    };
    // The font entry names the font dictionary itself, which is also its
    // key in the run's font-use map.
    if (PdfArray* font = pair(params->get(names::Font))) {
        PdfObject* dict = font->at(0) ? font->at(0)->direct() : nullptr;
        PdfNumber* size = asNumber(font->at(1));
        if (dict && dict->kind() == kKindDict && dict->classKind() == kClassFontDict)
            selectFont(in, ObjectRef::share(dict), *static_cast<PdfDict*>(dict),
                       size ? size->realValue() : 0.0);
    }
    if (PdfObject* v = params->get(names::LW)) {
        push(in, v);
        setLineWidth(in, FetchRealOperand(in.operands()));
    }
    if (PdfObject* v = params->get(names::LC)) {
        push(in, v);
        setLineCap(in, FetchIntOperand(in.operands()));
    }
    if (PdfObject* v = params->get(names::LJ)) {
        push(in, v);
        opj(in);
    }
    if (PdfObject* v = params->get(names::ML)) {
        push(in, v);
        opM(in);
    }
    if (PdfArray* dash = pair(params->get(names::D))) {
        push(in, dash->at(0));
        push(in, dash->at(1));
        opd(in);
    }
    if (PdfObject* v = params->get(names::FL)) {
        push(in, v);
        opi(in);
    }
    if (PdfObject* v = params->get(names::RI))
        push(in, v);
    return kStatusDone;
}

// --- Text state ---

namespace {

// Stores a text-state number and hands it to the current font.
template <class Setter>
std::int32_t setTextValue(ContentInterpreter& in, double TextState::*field, Setter setter) {
    const double v = FetchRealOperand(in.operands());
    if (TextState* t = in.textState()) {
        if (FontRenderer* font = currentFont(in))
            (font->*setter)(v);
        t->*field = v;
    }
    return kStatusDone;
}

}  // namespace

std::int32_t opTc(ContentInterpreter& in) {
    return setTextValue(in, &TextState::charSpacing, &FontRenderer::setCharSpacing);
}

std::int32_t opTw(ContentInterpreter& in) {
    return setTextValue(in, &TextState::wordSpacing, &FontRenderer::setWordSpacing);
}

std::int32_t opTz(ContentInterpreter& in) {
    return setTextValue(in, &TextState::horizontalScaling, &FontRenderer::setHorizontalScale);
}

std::int32_t opTL(ContentInterpreter& in) {
    return setTextValue(in, &TextState::leading, &FontRenderer::setLeading);
}

std::int32_t opTs(ContentInterpreter& in) {
    return setTextValue(in, &TextState::rise, &FontRenderer::setRise);
}

std::int32_t opTr(ContentInterpreter& in) {
    const std::int32_t mode = FetchIntOperand(in.operands());
    if (TextState* t = in.textState()) {
        if (FontRenderer* font = currentFont(in))
            font->setRenderMode(mode);
        t->renderMode = mode;
    }
    return kStatusDone;
}

// --- Text positioning ---

namespace {

// Td: the line matrix moves by (tx, ty) in its own space; the text matrix
// becomes a copy of it.
void moveText(ContentInterpreter& in, TextState& t, double tx, double ty) {
    t.lineMatrix = translated(t.lineMatrix, tx, ty);
    t.textMatrix = t.lineMatrix;
    if (FontRenderer* font = currentFont(in))
        font->moveText(tx, ty);
}

}  // namespace

std::int32_t opTd(ContentInterpreter& in) {
    const double ty = FetchRealOperand(in.operands());
    const double tx = FetchRealOperand(in.operands());
    if (TextState* t = in.textState())
        moveText(in, *t, tx, ty);
    return kStatusDone;
}

std::int32_t opTD(ContentInterpreter& in) {
    const double ty = FetchRealOperand(in.operands());
    const double tx = FetchRealOperand(in.operands());
    if (TextState* t = in.textState()) {
        t->leading = -ty;
        if (FontRenderer* font = currentFont(in))
            font->setLeading(t->leading);
        moveText(in, *t, tx, ty);
    }
    return kStatusDone;
}

std::int32_t opTm(ContentInterpreter& in) {
    const Matrix m = fetchMatrix(in.operands());
    if (TextState* t = in.textState()) {
        t->textMatrix = m;
        t->lineMatrix = m;
        if (FontRenderer* font = currentFont(in))
            font->setTextMatrix(multiply(m, in.deviceMatrix()), nullptr);
    }
    return kStatusDone;
}

std::int32_t opTstar(ContentInterpreter& in) {
    if (TextState* t = in.textState()) {
        t->lineMatrix = translated(t->lineMatrix, 0, -t->leading);
        t->textMatrix = t->lineMatrix;
        if (FontRenderer* font = currentFont(in))
            font->nextLine();
    }
    return kStatusDone;
}

}  // namespace vistrel
