// Type 4 functions: a PostScript calculator program from the function's
// stream, compiled the first time the function is evaluated.
#pragma once

#include <memory>
#include <string>

#include "engine/render/function/calculator.h"
#include "engine/render/function/pdf_function.h"

namespace vistrel {

class PostScriptFunction final : public PdfFunction {
public:
    // Reads the program text from the stream data.
    PostScriptFunction(const PdfDict& source, InputStream* rawStream, const uint8_t* fileKey);
    ~PostScriptFunction() override;

    // Pushes the clipped inputs, runs the program and takes n numbers from
    // the top of the stack.
    bool evaluate(const DoubleArray& inputs, DoubleArray& outputs) const override;
    int32_t functionType() const override;

    // The program: every byte of the decoded stream data.
    const std::string& programText() const { return text_; }

    VISTREL_POOLED_CLASS(PostScriptFunction)

private:
    std::string text_;
    mutable std::unique_ptr<CalculatorProgram> program_;
};

}  // namespace vistrel
