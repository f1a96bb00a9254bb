// Type 3 functions: one input split into subdomains, each handed to its own
// function of /Functions after mapping it through /Encode.
#pragma once

#include "engine/render/function/pdf_function.h"

namespace vistrel {

// Stitching functions nested deeper than this (as through /Functions that
// lead back to themselves) fail to evaluate.
inline constexpr int kMaxStitchingDepth = 32;

class StitchingFunction final : public PdfFunction {
public:
    explicit StitchingFunction(const PdfDict& source);

    // Looks the chosen function up in /Functions at every call.
    bool evaluate(const DoubleArray& inputs, DoubleArray& outputs) const override;
    int32_t functionType() const override;

    int32_t functionCount = 0;  // k
    DoubleArray encode;         // 2k values
    DoubleArray bounds;         // k + 1 values: domain minimum, /Bounds, domain maximum

    VISTREL_POOLED_CLASS(StitchingFunction)
};

}  // namespace vistrel
