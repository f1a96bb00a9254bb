// The path operators. Points are mapped at once to integer device pixels and
// appended to a shape the device made; a painter hands the shape to the
// device in one call, then applies the clip "W" or "W*" asked for, so that
// the clip takes effect only for what is drawn afterwards.
#include "engine/render/content/content_interpreter.h"
#include "engine/render/content/operators.h"
#include "engine/render/raster/geometry.h"
#include "engine/render/raster/output_device.h"
#include "engine/render/raster/shape.h"

namespace vistrel {
namespace {

// A user point mapped by the device matrix and rounded half away from zero
// after adding half a pixel (device 0 lands on pixel 1), kept within the
// range of device coordinates.
IntPoint devicePoint(const Matrix& m, double x, double y) {
    return IntPoint(roundCoord(m.a * x + m.c * y + m.e + 0.5),
                    roundCoord(m.b * x + m.d * y + m.f + 0.5));
}

IntPoint fetchPoint(ContentInterpreter& in) {
    const double y = FetchRealOperand(in.operands());
    const double x = FetchRealOperand(in.operands());
    return devicePoint(in.deviceMatrix(), x, y);
}

// The current path, made by the device when there is none; null without a
// device or memory.
Shape* currentPath(ContentInterpreter& in) {
    GraphicsState& g = in.graphicsState();
    if (!g.path && in.device())
        g.path = in.device()->NewShape();
    return g.path.get();
}

std::int32_t inPath(ContentInterpreter& in) {
    in.setMode(kStatePath);
    return kStatusDone;
}

// The paint mode without the sides whose colour is a pattern (not painted).
std::int32_t paintedSides(const GraphicsState& g, std::int32_t mode) {
    const bool fill = (mode == Shape::Fill || mode == Shape::FillStroke) && !g.fillPattern;
    const bool stroke = (mode == Shape::Stroke || mode == Shape::FillStroke) && !g.strokePattern;
    return fill && stroke ? Shape::FillStroke
           : fill         ? Shape::Fill
           : stroke       ? Shape::Stroke
                          : Shape::Nothing;
}

// Ends the path: paints it (closing it first when asked) with the paint mode
// and, unless ruleToSet is negative, the fill rule; then the pending clip.
std::int32_t paint(ContentInterpreter& in, bool close, std::int32_t mode, std::int32_t ruleToSet) {
    GraphicsState& g = in.graphicsState();
    OutputDevice* device = in.device();
    mode = paintedSides(g, mode);
    if (Shape* path = g.path.get(); path && device) {
        if (close)
            path->ClosePath();
        path->setPaintMode(mode);
        if (ruleToSet >= 0)
            path->setFillRule(ruleToSet);
        path->Paint(IntPoint(0, 0), *device);
        if (g.pendingClip != GraphicsState::kNoClip)
            device->ClipToShape(*path, g.pendingClip);
    }
    g.pendingClip = GraphicsState::kNoClip;
    g.path.reset();
    in.setMode(kStatePage);
    return kStatusDone;
}

constexpr std::int32_t kUnchanged = -1;

}  // namespace

std::int32_t opm(ContentInterpreter& in) {
    const IntPoint p = fetchPoint(in);
    if (Shape* path = currentPath(in))
        path->MoveTo(p);
    return inPath(in);
}

std::int32_t opl(ContentInterpreter& in) {
    const IntPoint p = fetchPoint(in);
    if (Shape* path = currentPath(in))
        path->LineTo(p);
    return inPath(in);
}

std::int32_t opc(ContentInterpreter& in) {
    if (in.operands().count() < 6)
        return kStatusTooFewOperands;
    const IntPoint p3 = fetchPoint(in);
    const IntPoint p2 = fetchPoint(in);
    const IntPoint p1 = fetchPoint(in);
    if (Shape* path = currentPath(in))
        path->CurveTo(p1, p2, p3);
    return inPath(in);
}

// The first control point is the current point.
std::int32_t opv(ContentInterpreter& in) {
    if (in.operands().count() < 4)
        return kStatusTooFewOperands;
    const IntPoint p3 = fetchPoint(in);
    const IntPoint p2 = fetchPoint(in);
    if (Shape* path = currentPath(in))
        path->CurveTo(path->currentPoint(), p2, p3);
    return inPath(in);
}

// The second control point is the end point.
std::int32_t opy(ContentInterpreter& in) {
    const IntPoint p3 = fetchPoint(in);
    const IntPoint p1 = fetchPoint(in);
    if (Shape* path = currentPath(in))
        path->CurveTo(p1, p3, p3);
    return inPath(in);
}

std::int32_t oph(ContentInterpreter& in) {
    if (Shape* path = currentPath(in))
        path->ClosePath();
    return inPath(in);
}

// The shape maps the exact corners and rounds them in device space, so that
// a rule thinner than a unit still covers a pixel and adjacent boxes share
// their edges.
std::int32_t opre(ContentInterpreter& in) {
    ContentOperandStack& operands = in.operands();
    if (operands.count() < 4)
        return kStatusTooFewOperands;
    const double height = FetchRealOperand(operands);
    const double width = FetchRealOperand(operands);
    const double y = FetchRealOperand(operands);
    const double x = FetchRealOperand(operands);
    if (Shape* path = currentPath(in)) {
        const Matrix& m = in.deviceMatrix();
        const double matrix[6] = {m.a, m.b, m.c, m.d, m.e, m.f};
        path->AddRectangle(x, y, width, height, matrix);
    }
    return inPath(in);
}

std::int32_t opf(ContentInterpreter& in) {
    return paint(in, false, Shape::Fill, GraphicsState::kClipNonZero);
}
std::int32_t opF(ContentInterpreter& in) {
    return paint(in, false, Shape::Fill, GraphicsState::kClipNonZero);
}
std::int32_t opfstar(ContentInterpreter& in) {
    return paint(in, false, Shape::Fill, GraphicsState::kClipEvenOdd);
}
std::int32_t opn(ContentInterpreter& in) {
    return paint(in, false, Shape::Nothing, kUnchanged);
}
std::int32_t opS(ContentInterpreter& in) {
    return paint(in, false, Shape::Stroke, kUnchanged);
}
std::int32_t ops(ContentInterpreter& in) {
    return paint(in, true, Shape::Stroke, kUnchanged);
}
std::int32_t opB(ContentInterpreter& in) {
    return paint(in, false, Shape::FillStroke, GraphicsState::kClipNonZero);
}
std::int32_t opBstar(ContentInterpreter& in) {
    return paint(in, false, Shape::FillStroke, GraphicsState::kClipEvenOdd);
}
std::int32_t opb(ContentInterpreter& in) {
    return paint(in, true, Shape::FillStroke, GraphicsState::kClipNonZero);
}
std::int32_t opbstar(ContentInterpreter& in) {
    return paint(in, true, Shape::FillStroke, GraphicsState::kClipEvenOdd);
}

std::int32_t opW(ContentInterpreter& in) {
    in.graphicsState().pendingClip = GraphicsState::kClipNonZero;
    return kStatusDone;
}
std::int32_t opWstar(ContentInterpreter& in) {
    in.graphicsState().pendingClip = GraphicsState::kClipEvenOdd;
    return kStatusDone;
}

}  // namespace vistrel
