// PDF functions from a dictionary built from the input: the text up to the
// first "stream" line is parsed as the function's dictionary, what follows
// is the stream data (samples of type 0, the calculator program of type 4).
// The function is made, then evaluated at a spread of inputs.
#include <cstdint>
#include <cstring>

#include "engine/core/containers.h"
#include "engine/core/streams.h"
#include "engine/doc/typed_objects.h"
#include "engine/object/tokenizer.h"
#include "engine/parser/object_parser.h"
#include "engine/render/function/pdf_function.h"

using namespace vistrel;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    installDocumentFactories();
    installFunctionFactory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char kMarker[] = "stream\n";
    const size_t markerSize = sizeof kMarker - 1;
    size_t textSize = size;
    for (size_t i = 0; i + markerSize <= size; ++i) {
        if (std::memcmp(data + i, kMarker, markerSize) == 0) {
            textSize = i;
            break;
        }
    }
    MemoryInputStream text(data, textSize);
    Tokenizer tokenizer(&text);
    ObjectParser parser(&tokenizer);
    ObjectRef object = parser.ParseObject();
    PdfDict* dict = asDict(object.get());
    if (!dict)
        return 0;
    const bool hasData = textSize < size;
    const size_t dataStart = hasData ? textSize + markerSize : size;
    MemoryInputStream streamData(data + dataStart, size - dataStart);
    Ref<PdfFunction> function = makeFunction(*dict, hasData ? &streamData : nullptr, nullptr);
    if (!function)
        return 0;
    static const double kValues[] = {0, 1, 0.5, -1, 2, 0.123, 1e30, -1e30, 255, 1e-300};
    const int32_t m = function->inputCount < 32 ? function->inputCount : 32;
    for (size_t round = 0; round < sizeof kValues / sizeof kValues[0]; ++round) {
        DoubleArray inputs, outputs;
        for (int32_t i = 0; i < m; ++i)
            inputs.append(kValues[(round + size_t(i)) % (sizeof kValues / sizeof kValues[0])]);
        function->evaluate(inputs, outputs);
    }
    return 0;
}
