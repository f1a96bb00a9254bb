// The decoded stream data of sampled and calculator functions.
#pragma once

#include "engine/object/pdf_object.h"

namespace vistrel {

class InputStream;
class PdfStream;

// Builds the stream object over dict with the document's raw input and file
// key, opens it and hands its decoded data to read; closes it again. False
// when the stream cannot be built or opened, else what read answers.
template <class Reader>
bool readFunctionData(const PdfDict& dict, InputStream* rawStream, const uint8_t* fileKey,
                      Reader&& read);

// The opened data of a stream object; the object closes it when destroyed.
class FunctionData {
public:
    FunctionData(const PdfDict& dict, InputStream* rawStream, const uint8_t* fileKey);
    ~FunctionData();
    FunctionData(const FunctionData&) = delete;
    FunctionData& operator=(const FunctionData&) = delete;

    // The decoded data, or null when the stream could not be built or opened.
    InputStream* input() const { return input_; }

private:
    InputStream* input_ = nullptr;
    PdfStream* stream_ = nullptr;
};

template <class Reader>
bool readFunctionData(const PdfDict& dict, InputStream* rawStream, const uint8_t* fileKey,
                      Reader&& read) {
    FunctionData data(dict, rawStream, fileKey);
    return data.input() && read(data.input());
}

}  // namespace vistrel
