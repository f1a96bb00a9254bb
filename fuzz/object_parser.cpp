// The tokenizer and the object parser over object text: first every token,
// then every object one after another with its text form, with the typed
// objects the document's parser makes (pages, actions, annotations,
// rectangles, functions).
#include <cstdint>

#include "engine/core/streams.h"
#include "engine/doc/typed_objects.h"
#include "engine/object/tokenizer.h"
#include "engine/parser/object_parser.h"

using namespace vistrel;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    installDocumentFactories();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Every input makes fewer tokens and objects than it has bytes, plus the
    // end; the bounds only stop a reader that no longer moves.
    const size_t bound = size + 16;
    {
        MemoryInputStream text(data, size);
        Tokenizer tokenizer(&text);
        for (size_t i = 0; i < bound && tokenizer.NextToken() != Tokenizer::kEnd; ++i) {
        }
    }
    MemoryInputStream text(data, size);
    Tokenizer tokenizer(&text);
    ObjectParser parser(&tokenizer);
    for (size_t i = 0; i < bound && !text.atEnd(); ++i) {
        if (ObjectRef object = parser.ParseObject())
            object->text(nullptr);
    }
    return 0;
}
