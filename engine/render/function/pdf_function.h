// PDF functions: typed dictionaries (or streams) that map m input numbers to
// n output numbers. Types 0 (sampled), 2 (exponential), 3 (stitching) and
// 4 (PostScript calculator) exist; makeFunction builds the one a dictionary
// asks for.
#pragma once

#include <cstdint>

#include "engine/core/containers.h"
#include "engine/core/ref.h"
#include "engine/object/pdf_object.h"

namespace vistrel {

class InputStream;

class PdfFunction : public PdfDict {
public:
    ~PdfFunction() override;

    uint16_t classKind() const override;

    // Maps inputs to outputs: outputs is emptied and filled. False when the
    // function is unusable or the inputs do not fit; the outputs then hold
    // nothing defined.
    virtual bool evaluate(const DoubleArray& inputs, DoubleArray& outputs) const = 0;
    // 0, 2, 3 or 4.
    virtual int32_t functionType() const = 0;

    // Whether every check of construction passed.
    bool isValid() const { return valid(); }

    int32_t inputCount = 0;   // m: half the length of /Domain
    int32_t outputCount = 0;  // n: half the length of /Range (type 2 may raise it)
    DoubleArray domain;       // 2m values
    DoubleArray range;        // 2n values; empty when /Range is absent or unusable

protected:
    // Copies the dictionary and reads /Domain and /Range; the function is
    // valid when /Domain is usable.
    explicit PdfFunction(const PdfDict& source);

    void setUsable(bool usable) { setValid(usable); }

    // Clips inputs[i] to the domain for every i below both m and count.
    void clipInputs(double* inputs, int32_t count) const;
    // Clips outputs[j] to the range for every j that has a range pair.
    void clipOutputs(double* outputs, int32_t count) const;
};

// The function a dictionary describes, or null when its /FunctionType is
// missing, unsupported or its entries fail the checks of its type. rawStream
// is the document's input positioned at the stream data (null for a plain
// dictionary; types 0 and 4 need it), fileKey the document's decryption key
// (the 5-byte file key; null when the document is not encrypted).
Ref<PdfFunction> makeFunction(const PdfDict& dict, InputStream* rawStream, const uint8_t* fileKey);

// Makes the document's typed-object factory ask makeFunction first for every
// dictionary and stream it reads. The engine's start-up calls it after
// installDocumentFactories; calling it again changes nothing.
void installFunctionFactory();

// The function an object stands for (class kind 43), borrowed; null otherwise.
PdfFunction* asFunction(PdfObject* object);

}  // namespace vistrel
