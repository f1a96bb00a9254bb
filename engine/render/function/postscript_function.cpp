#include "engine/render/function/postscript_function.h"

#include <algorithm>

#include "engine/core/streams.h"
#include "engine/render/function/calculator_text.h"
#include "engine/render/function/function_data.h"

namespace vistrel {

namespace {
constexpr int32_t kStackInputs = 32;
}  // namespace

PostScriptFunction::PostScriptFunction(const PdfDict& source, InputStream* rawStream,
                                       const uint8_t* fileKey)
    : PdfFunction(source) {
    if (!isValid())
        return;
    setUsable(false);
    if (outputCount < 1)
        return;
    bool read = readFunctionData(*this, rawStream, fileKey, [this](InputStream* data) {
        char buffer[512];
        for (;;) {
            int64_t got = data->read(buffer, sizeof buffer);
            if (got <= 0)
                return true;
            text_.append(buffer, size_t(got));
        }
    });
    if (!read)
        return;
    // Procedures nested too deeply are refused here, before anything runs.
    if (CalculatorProgram::nestingDepth(tokenizeCalculatorText(text_.data(), text_.size())) >
        kCalculatorMaxNesting) {
        return;
    }
    setUsable(true);
}

PostScriptFunction::~PostScriptFunction() = default;

int32_t PostScriptFunction::functionType() const {
    return 4;
}

bool PostScriptFunction::evaluate(const DoubleArray& inputs, DoubleArray& outputs) const {
    outputs.clear();
    if (!isValid() || inputs.count() < inputCount)
        return false;
    if (!program_) {
        program_ = std::make_unique<CalculatorProgram>(
            CalculatorProgram::compile(tokenizeCalculatorText(text_.data(), text_.size())));
    }
    double local[kStackInputs];
    DoubleArray heap(0);
    double* x = local;
    if (inputCount > kStackInputs) {
        if (!heap.assign(inputs))
            return false;
        x = heap.data();
    } else {
        std::copy(inputs.begin(), inputs.begin() + inputCount, x);
    }
    clipInputs(x, inputCount);
    if (!outputs.setSize(outputCount))
        return false;
    if (!program_->run(x, inputCount, outputs.data(), outputCount)) {
        outputs.clear();
        return false;
    }
    clipOutputs(outputs.data(), outputCount);
    return true;
}

}  // namespace vistrel
