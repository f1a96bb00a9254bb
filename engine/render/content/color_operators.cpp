// The colour operators: each sets the fill (lower case) or stroke (upper
// case) colour space, the colour, or both. The colour is converted at once
// through the space into a device colour that the device takes; the current
// font is told, since glyphs it draws itself take the device's colours.
#include "engine/constants/name_constants.h"
#include "engine/render/color/make_color_space.h"
#include "engine/render/content/content_interpreter.h"
#include "engine/render/content/font_renderer.h"
#include "engine/render/content/operators.h"
#include "engine/render/raster/output_device.h"

namespace vistrel {
namespace {

enum class Side { Fill, Stroke };

Ref<ColorSpace>& spaceOf(GraphicsState& g, Side side) {
    return side == Side::Fill ? g.fillSpace : g.strokeSpace;
}

std::unique_ptr<DeviceColor>& colorOf(GraphicsState& g, Side side) {
    return side == Side::Fill ? g.fillColor : g.strokeColor;
}

bool& patternOf(GraphicsState& g, Side side) {
    return side == Side::Fill ? g.fillPattern : g.strokePattern;
}

// /Pattern, or an array whose first element is /Pattern (an uncoloured
// pattern's space).
bool isPatternSpace(PdfObject* object) {
    PdfObject* d = object ? object->direct() : nullptr;
    if (PdfArray* array = asArray(d))
        d = array->count() > 0 && array->at(0) ? array->at(0)->direct() : nullptr;
    return d && d->kind() == kKindName && d->equals(&names::Pattern);
}

// n real operands from the top of the stack, in operand order.
DoubleArray fetchComponents(ContentOperandStack& operands, std::int32_t n) {
    DoubleArray values(n > 8 ? n : 8);
    values.setSize(n > 0 ? n : 0);
    for (std::int32_t i = n - 1; i >= 0; --i)
        values[i] = FetchRealOperand(operands);
    return values;
}

// The side's colour becomes the components converted through the side's
// space, set into a new device colour with `model` and handed to the device.
std::int32_t applyColor(ContentInterpreter& in, Side side, const DoubleArray& input,
                        std::int32_t model) {
    GraphicsState& g = in.graphicsState();
    std::unique_ptr<DeviceColor>& color = colorOf(g, side);
    color.reset();
    const ColorSpace* space = spaceOf(g, side).get();
    DoubleArray output;
    if (!space || !space->convertColor(input, output, false))
        return kStatusWrongOperand;
    OutputDevice* device = in.device();
    color = device ? device->NewColor() : nullptr;
    if (!color)
        return kStatusWrongOperand;
    color->fromComponents(output, model);
    const bool taken =
        side == Side::Fill ? device->SetFillColor(*color) : device->SetStrokeColor(*color);
    if (!taken) {
        color.reset();
        return kStatusWrongOperand;
    }
    patternOf(g, side) = false;
    if (FontRenderer* font = currentFont(in)) {
        if (side == Side::Fill)
            font->fillColorChanged();
        else
            font->strokeColorChanged();
    }
    return kStatusDone;
}

// "g", "rg", "k" and their stroke forms: the page's default space of the
// family when the resources name one, else the device space, and n
// components. Without a space, "g" drops the side's colour while "rg" and
// "k" keep it.
std::int32_t setFamilyColor(ContentInterpreter& in, Side side, std::int32_t n,
                            const PdfObject& defaultName, const PdfObject& deviceName,
                            std::int32_t model, bool keepColorWithoutSpace) {
    ContentOperandStack& operands = in.operands();
    if (operands.count() < n)
        return kStatusTooFewOperands;
    const DoubleArray input = fetchComponents(operands, n);
    GraphicsState& g = in.graphicsState();
    Ref<ColorSpace>& space = spaceOf(g, side);
    space = nullptr;
    PdfObject* resource = in.findResource(names::ColorSpace, defaultName);
    space = makeColorSpace(resource ? resource : const_cast<PdfObject*>(&deviceName));
    if (!space) {
        if (!keepColorWithoutSpace)
            colorOf(g, side).reset();
        return kStatusWrongOperand;
    }
    return applyColor(in, side, input, model);
}

std::int32_t setGray(ContentInterpreter& in, Side side) {
    return setFamilyColor(in, side, 1, names::DefaultGray, names::DeviceGray, kModelGray, false);
}

std::int32_t setRgb(ContentInterpreter& in, Side side) {
    return setFamilyColor(in, side, 3, names::DefaultRGB, names::DeviceRGB, kModelRgb, true);
}

std::int32_t setCmyk(ContentInterpreter& in, Side side) {
    return setFamilyColor(in, side, 4, names::DefaultCMYK, names::DeviceCMYK, kModelCmyk, true);
}

// "cs": the space only, from a /ColorSpace resource of that name or the name
// itself; the colour stays until the next colour operator of the side. A
// pattern space makes no space, and the side's colour is then a pattern
// until a colour or another space is set.
std::int32_t setSpace(ContentInterpreter& in, Side side) {
    ContentOperandStack& operands = in.operands();
    if (operands.count() == 0)
        return kStatusTooFewOperands;
    Ref<PdfName> name = FetchNameOperand(operands);
    if (!name)
        return kStatusWrongOperand;
    PdfObject* resource = in.findResource(names::ColorSpace, *name);
    PdfObject* object = resource ? resource : name.get();
    GraphicsState& g = in.graphicsState();
    if (isPatternSpace(object))
        patternOf(g, side) = true;
    Ref<ColorSpace>& space = spaceOf(g, side);
    space = nullptr;
    space = makeColorSpace(object);
    if (!space)
        return kStatusWrongOperand;
    if (!space->valid()) {
        space = nullptr;
        return kStatusWrongOperand;
    }
    patternOf(g, side) = false;
    return kStatusDone;
}

// "sc": one number per component of the side's space.
std::int32_t setColor(ContentInterpreter& in, Side side) {
    const ColorSpace* space = spaceOf(in.graphicsState(), side).get();
    if (!space)
        return kStatusNoColorSpace;
    if (!space->valid())
        return kStatusWrongOperand;
    ContentOperandStack& operands = in.operands();
    const std::int32_t n = space->components();
    if (operands.count() < n)
        return kStatusTooFewOperands;
    return applyColor(in, side, fetchComponents(operands, n), kModelByCount);
}

// "scn": as "sc", with a pattern name after the components dropped.
std::int32_t setColorOrPattern(ContentInterpreter& in, Side side) {
    const ColorSpace* space = spaceOf(in.graphicsState(), side).get();
    if (!space)
        return kStatusNoColorSpace;
    ContentOperandStack& operands = in.operands();
    const std::int32_t n = space->components();
    if (operands.count() < n)
        return kStatusTooFewOperands;
    const std::int32_t top = operands.kindAt(0);
    if (top < 0)
        return kStatusTooFewOperands;
    DoubleArray input;
    if (top == kKindNumber) {
        const double last = FetchRealOperand(operands);
        input = fetchComponents(operands, n - 1);
        input.append(last);
    } else if (top == kKindName) {
        operands.pop();
        input = fetchComponents(operands, n);
    } else {
        return kStatusTooFewOperands;
    }
    return applyColor(in, side, input, kModelByCount);
}

}  // namespace

std::int32_t opg(ContentInterpreter& in) {
    return setGray(in, Side::Fill);
}
std::int32_t opG(ContentInterpreter& in) {
    return setGray(in, Side::Stroke);
}
std::int32_t oprg(ContentInterpreter& in) {
    return setRgb(in, Side::Fill);
}
std::int32_t opRG(ContentInterpreter& in) {
    return setRgb(in, Side::Stroke);
}
std::int32_t opk(ContentInterpreter& in) {
    return setCmyk(in, Side::Fill);
}
std::int32_t opK(ContentInterpreter& in) {
    return setCmyk(in, Side::Stroke);
}
std::int32_t opcs(ContentInterpreter& in) {
    return setSpace(in, Side::Fill);
}
std::int32_t opCS(ContentInterpreter& in) {
    return setSpace(in, Side::Stroke);
}
std::int32_t opsc(ContentInterpreter& in) {
    return setColor(in, Side::Fill);
}
std::int32_t opSC(ContentInterpreter& in) {
    return setColor(in, Side::Stroke);
}
std::int32_t opscn(ContentInterpreter& in) {
    return setColorOrPattern(in, Side::Fill);
}
std::int32_t opSCN(ContentInterpreter& in) {
    return setColorOrPattern(in, Side::Stroke);
}

}  // namespace vistrel
