#include "engine/render/function/exponential_function.h"

#include <cmath>

#include "engine/constants/name_constants.h"

namespace vistrel {

namespace {

// Element j of an array when it is a number, else the fallback.
double numberAt(PdfArray* array, int32_t j, double fallback) {
    PdfNumber* v = array ? asNumber(array->get(j)) : nullptr;
    return v ? v->realValue() : fallback;
}

}  // namespace

ExponentialFunction::ExponentialFunction(const PdfDict& source) : PdfFunction(source) {
    if (!isValid())
        return;
    setUsable(false);
    if (inputCount != 1)
        return;
    PdfNumber* n = asNumber(get(names::N));
    if (!n)
        return;
    exponent = n->realValue();
    PdfArray* a0 = asArray(get(names::C0));
    PdfArray* a1 = asArray(get(names::C1));
    int32_t count = outputCount > 1 ? outputCount : 1;
    if (a0 && a0->count() > count)
        count = a0->count();
    if (a1 && a1->count() > count)
        count = a1->count();
    outputCount = count;
    for (int32_t j = 0; j < count; ++j) {
        if (!c0.append(numberAt(a0, j, 0.0)) || !c1.append(numberAt(a1, j, 1.0)))
            return;
    }
    setUsable(true);
}

int32_t ExponentialFunction::functionType() const {
    return 2;
}

bool ExponentialFunction::evaluate(const DoubleArray& inputs, DoubleArray& outputs) const {
    outputs.clear();
    if (!isValid() || inputs.count() < 1)
        return false;
    double x = inputs[0];
    clipInputs(&x, 1);
    if (!outputs.setSize(outputCount))
        return false;
    double p = std::pow(x, exponent);
    for (int32_t j = 0; j < outputCount; ++j)
        outputs[j] = c0[j] + p * (c1[j] - c0[j]);
    clipOutputs(outputs.data(), outputCount);
    return true;
}

}  // namespace vistrel
