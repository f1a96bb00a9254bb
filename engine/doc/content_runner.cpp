#include "engine/doc/content_runner.h"

#include "engine/parser/object_parser.h"

namespace vistrel {

ContentRunner::ContentRunner(PdfDict* resources) : resources(Ref<PdfDict>::share(resources)) {}

ContentRunner::~ContentRunner() {
    endRuns();
}

void ContentRunner::endRuns() {
    reader.reset();
    parser.reset();
    tokenizer.reset();
}

}  // namespace vistrel
