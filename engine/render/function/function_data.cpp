#include "engine/render/function/function_data.h"

#include "engine/parser/pdf_stream.h"

namespace vistrel {

FunctionData::FunctionData(const PdfDict& dict, InputStream* rawStream, const uint8_t* fileKey) {
    stream_ = new PdfStream(dict, rawStream, false, fileKey);
    if (stream_ && stream_->open())
        input_ = stream_;
}

FunctionData::~FunctionData() {
    if (input_)
        stream_->close();
    releaseRef(stream_);
}

}  // namespace vistrel
