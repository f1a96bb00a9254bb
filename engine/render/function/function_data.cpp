#include "engine/render/function/function_data.h"

namespace vistrel {

// Stream objects are not available yet: no function data can be read.
FunctionData::FunctionData(const PdfDict&, InputStream*, const uint8_t*) {}

FunctionData::~FunctionData() = default;

}  // namespace vistrel
