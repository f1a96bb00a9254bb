// Type 2 functions: c0 + x^N (c1 - c0) per output.
#pragma once

#include "engine/render/function/pdf_function.h"

namespace vistrel {

class ExponentialFunction final : public PdfFunction {
public:
    explicit ExponentialFunction(const PdfDict& source);

    bool evaluate(const DoubleArray& inputs, DoubleArray& outputs) const override;
    int32_t functionType() const override;

    DoubleArray c0;  // n values
    DoubleArray c1;  // n values
    double exponent = 1.0;

    VISTREL_POOLED_CLASS(ExponentialFunction)
};

}  // namespace vistrel
