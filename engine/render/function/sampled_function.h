// Type 0 functions: a table of samples read from the function's stream,
// looked up at the sample point nearest to the inputs.
#pragma once

#include "engine/render/function/function_math.h"
#include "engine/render/function/pdf_function.h"

namespace vistrel {

class SampledFunction final : public PdfFunction {
public:
    // Reads the whole sample table from the stream data.
    SampledFunction(const PdfDict& source, InputStream* rawStream, const uint8_t* fileKey);

    bool evaluate(const DoubleArray& inputs, DoubleArray& outputs) const override;
    int32_t functionType() const override;

    const SampleTable& table() const { return table_; }

    VISTREL_POOLED_CLASS(SampledFunction)

private:
    bool readSamples(InputStream* data);

    SampleTable table_;
};

}  // namespace vistrel
