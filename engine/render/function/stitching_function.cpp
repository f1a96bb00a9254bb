#include "engine/render/function/stitching_function.h"

#include "engine/constants/name_constants.h"
#include "engine/render/function/function_math.h"

namespace vistrel {

namespace {

// Appends every element of an array of exactly `count` numbers.
bool readNumbers(PdfArray* array, int32_t count, DoubleArray& out) {
    if (!array || array->count() != count)
        return false;
    for (int32_t i = 0; i < count; ++i) {
        PdfNumber* v = asNumber(array->get(i));
        if (!v || !out.append(v->realValue()))
            return false;
    }
    return true;
}

thread_local int stitchingDepth = 0;

}  // namespace

StitchingFunction::StitchingFunction(const PdfDict& source) : PdfFunction(source) {
    if (!isValid())
        return;
    setUsable(false);
    if (inputCount != 1)
        return;
    PdfArray* functions = asArray(get(names::Functions));
    if (!functions || functions->count() < 1)
        return;
    functionCount = functions->count();
    if (!bounds.append(domain[0]))
        return;
    if (!readNumbers(asArray(get(names::Bounds)), functionCount - 1, bounds))
        return;
    if (!bounds.append(domain[1]))
        return;
    if (!readNumbers(asArray(get(names::Encode)), 2 * functionCount, encode))
        return;
    setUsable(true);
}

int32_t StitchingFunction::functionType() const {
    return 3;
}

bool StitchingFunction::evaluate(const DoubleArray& inputs, DoubleArray& outputs) const {
    outputs.clear();
    if (!isValid() || inputs.count() < 1)
        return false;
    DoubleArray changed(inputs);
    if (changed.count() != inputs.count())
        return false;
    clipInputs(changed.data(), 1);
    double x = changed[0];
    int32_t i = stitchingSubdomain(x, bounds.data(), functionCount);
    changed[0] = stitchingEncode(x, bounds.data() + i, encode.data() + 2 * i);
    PdfArray* functions = asArray(get(names::Functions));
    PdfFunction* f = functions ? asFunction(functions->get(i)) : nullptr;
    if (!f || stitchingDepth >= kMaxStitchingDepth)
        return false;
    ++stitchingDepth;
    bool ok = f->evaluate(changed, outputs);
    --stitchingDepth;
    return ok;
}

}  // namespace vistrel
