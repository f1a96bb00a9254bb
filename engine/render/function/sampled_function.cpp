#include "engine/render/function/sampled_function.h"

#include <algorithm>

#include "engine/constants/name_constants.h"
#include "engine/render/function/function_data.h"
#include "engine/render/function/packed_samples.h"

namespace vistrel {

namespace {

bool supportedBitsPerSample(int32_t b) {
    switch (b) {
        case 1:
        case 2:
        case 4:
        case 8:
        case 12:
        case 16:
        case 24:
        case 32:
            return true;
        default:
            return false;
    }
}

// Every element of an array of exactly `count` numbers, or nothing.
std::vector<double> numbersOf(PdfArray* array, int32_t count) {
    std::vector<double> out;
    if (!array || array->count() != count)
        return out;
    for (int32_t i = 0; i < count; ++i) {
        PdfNumber* v = asNumber(array->get(i));
        if (!v)
            return {};
        out.push_back(v->realValue());
    }
    return out;
}

// Inputs up to this count are copied on the stack.
constexpr int32_t kStackInputs = 32;

}  // namespace

SampledFunction::SampledFunction(const PdfDict& source, InputStream* rawStream,
                                 const uint8_t* fileKey)
    : PdfFunction(source) {
    if (!isValid())
        return;
    setUsable(false);
    if (range.empty())
        return;
    const int32_t m = inputCount;
    const int32_t n = outputCount;

    PdfArray* size = asArray(get(names::Size));
    if (!size || size->count() != m)
        return;
    for (int32_t i = 0; i < m; ++i) {
        PdfNumber* v = asNumber(size->get(i));
        // A size below 1 leaves no sample to look up.
        if (!v || v->intValue() < 1)
            return;
        table_.size.push_back(uint32_t(v->intValue()));
    }
    PdfNumber* bps = asNumber(get(names::BitsPerSample));
    if (!bps || !supportedBitsPerSample(bps->intValue()))
        return;
    table_.bitsPerSample = bps->intValue();

    table_.encode = numbersOf(asArray(get(names::Encode)), 2 * m);
    if (table_.encode.empty()) {
        for (int32_t i = 0; i < m; ++i) {
            table_.encode.push_back(0.0);
            table_.encode.push_back(double(table_.size[i]) - 1.0);
        }
    }
    table_.decode = numbersOf(asArray(get(names::Decode)), 2 * n);
    if (table_.decode.empty())
        table_.decode.assign(range.begin(), range.end());
    table_.domain.assign(domain.begin(), domain.end());
    table_.inputCount = m;
    table_.outputCount = n;
    // The sample count must fit in 32 bits.
    if (!table_.layout())
        return;

    const SampleTable& t = table_;
    std::vector<uint32_t>& samples = table_.samples;
    if (!readFunctionData(*this, rawStream, fileKey, [&](InputStream* data) {
            return readPackedSamples(data, t.bitsPerSample, t.sampleCount(), samples);
        })) {
        return;
    }
    setUsable(true);
}

int32_t SampledFunction::functionType() const {
    return 0;
}

bool SampledFunction::evaluate(const DoubleArray& inputs, DoubleArray& outputs) const {
    outputs.clear();
    if (!isValid() || inputs.count() != inputCount)
        return false;
    double local[kStackInputs];
    DoubleArray heap(0);
    double* x = local;
    if (inputCount > kStackInputs) {
        if (!heap.assign(inputs))
            return false;
        x = heap.data();
    } else {
        std::copy(inputs.begin(), inputs.end(), x);
    }
    clipInputs(x, inputCount);
    if (!outputs.setSize(outputCount))
        return false;
    table_.lookup(x, outputs.data());
    clipOutputs(outputs.data(), outputCount);
    return true;
}

}  // namespace vistrel
