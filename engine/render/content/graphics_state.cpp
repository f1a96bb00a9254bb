#include "engine/render/content/graphics_state.h"

namespace vistrel {

std::unique_ptr<GraphicsState> GraphicsState::copy() const {
    std::unique_ptr<GraphicsState> s(new GraphicsState);
    if (!s)
        return nullptr;
    s->flatness = flatness;
    s->lineWidth = lineWidth;
    s->miterLimit = miterLimit;
    s->lineCap = lineCap;
    s->dashes = dashes;
    s->dashPhase = dashPhase;
    s->lineJoin = lineJoin;
    s->ctm = ctm;
    s->fillSpace = fillSpace;
    s->strokeSpace = strokeSpace;
    if (fillColor)
        s->fillColor = fillColor->clone();
    if (strokeColor)
        s->strokeColor = strokeColor->clone();
    s->fillPattern = fillPattern;
    s->strokePattern = strokePattern;
    s->pendingClip = pendingClip;
    return s;
}

}  // namespace vistrel
