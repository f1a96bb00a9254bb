// The record with which page rendering runs one piece of content (a page, a
// form XObject or a Type 3 font's glyph procedures): the resources of that
// content, and the tokenizer, parser and operation reader that the content
// loop makes on its first run and reuses on later runs.
#pragma once

#include <memory>

#include "engine/core/ref.h"
#include "engine/object/pdf_object.h"
#include "engine/object/tokenizer.h"

namespace vistrel {

class ObjectParser;
class OperationReader;

class ContentRunner {
public:
    // Holds one reference on the resources (null for none); the per-run
    // members stay empty until the content loop runs.
    explicit ContentRunner(PdfDict* resources = nullptr);
    // Destroys the reader, then the parser, then the tokenizer, and releases
    // the resources.
    ~ContentRunner();
    ContentRunner(const ContentRunner&) = delete;
    ContentRunner& operator=(const ContentRunner&) = delete;

    // Destroys the reader, then the parser, then the tokenizer; the next
    // run makes them again. The resources stay.
    void endRuns();

    // The reader's type belongs to the content loop, which makes it and says
    // how it is destroyed.
    using ReaderDelete = void (*)(OperationReader*);

    std::unique_ptr<Tokenizer> tokenizer;
    std::unique_ptr<ObjectParser> parser;
    std::unique_ptr<OperationReader, ReaderDelete> reader{nullptr, nullptr};
    Ref<PdfDict> resources;
};

}  // namespace vistrel
