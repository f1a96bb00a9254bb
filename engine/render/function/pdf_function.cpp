#include "engine/render/function/pdf_function.h"

#include "engine/constants/name_constants.h"
#include "engine/doc/typed_objects.h"
#include "engine/render/function/exponential_function.h"
#include "engine/render/function/function_math.h"
#include "engine/render/function/postscript_function.h"
#include "engine/render/function/sampled_function.h"
#include "engine/render/function/stitching_function.h"

namespace vistrel {

PdfFunction::PdfFunction(const PdfDict& source) : PdfDict(source) {
    setUsable(false);
    PdfArray* d = asArray(get(names::Domain));
    if (!d || d->count() <= 0 || d->count() % 2 != 0)
        return;
    for (int32_t i = 0; i < d->count(); ++i) {
        PdfNumber* v = asNumber(d->get(i));
        if (!v || !domain.append(v->realValue())) {
            domain.clear();
            return;
        }
    }
    inputCount = d->count() / 2;
    outputCount = 0;
    setUsable(true);
    PdfArray* r = asArray(get(names::Range));
    if (!r)
        return;
    outputCount = r->count() / 2;
    if (outputCount <= 0 || r->count() % 2 != 0)
        return;
    for (int32_t i = 0; i < r->count(); ++i) {
        PdfNumber* v = asNumber(r->get(i));
        if (!v || !range.append(v->realValue())) {
            range.clear();  // n keeps its value
            return;
        }
    }
}

PdfFunction::~PdfFunction() = default;

uint16_t PdfFunction::classKind() const {
    return kClassFunction;
}

void PdfFunction::clipInputs(double* inputs, int32_t count) const {
    int32_t limit = count < inputCount ? count : inputCount;
    for (int32_t i = 0; i < limit; ++i) {
        inputs[i] = clipToPair(inputs[i], domain[2 * i], domain[2 * i + 1]);
    }
}

void PdfFunction::clipOutputs(double* outputs, int32_t count) const {
    int32_t pairs = range.count() / 2;
    int32_t limit = count < pairs ? count : pairs;
    for (int32_t j = 0; j < limit; ++j) {
        outputs[j] = clipToPair(outputs[j], range[2 * j], range[2 * j + 1]);
    }
}

Ref<PdfFunction> makeFunction(const PdfDict& dict, InputStream* rawStream, const uint8_t* fileKey) {
    PdfNumber* type = asNumber(dict.get(names::FunctionType));
    if (!type)
        return nullptr;
    int32_t t = type->intValue();
    Ref<PdfFunction> f;
    switch (t) {
        case 0:
            if (!rawStream)
                return nullptr;
            f = Ref<PdfFunction>::adopt(new SampledFunction(dict, rawStream, fileKey));
            break;
        case 2:
            f = Ref<PdfFunction>::adopt(new ExponentialFunction(dict));
            break;
        case 3:
            f = Ref<PdfFunction>::adopt(new StitchingFunction(dict));
            break;
        case 4:
            f = Ref<PdfFunction>::adopt(new PostScriptFunction(dict, rawStream, fileKey));
            break;
        default:
            return nullptr;
    }
    if (!f || !f->isValid())
        return nullptr;
    return f;
}

namespace {

ObjectRef functionFactory(const PdfDict& dict, InputStream* stream, const uint8_t* fileKey) {
    return makeFunction(dict, stream, fileKey);
}

}  // namespace

void installFunctionFactory() {
    setFunctionFactory(functionFactory);
}

PdfFunction* asFunction(PdfObject* object) {
    PdfObject* d = object ? object->direct() : nullptr;
    if (!d || d->classKind() != kClassFunction)
        return nullptr;
    return static_cast<PdfFunction*>(d);
}

}  // namespace vistrel
