#include "engine/core/content_runner.h"

#include "engine/core/object_parser.h"

namespace vistrel {

ContentRunner::ContentRunner(PdfDict* resources) : resources(Ref<PdfDict>::share(resources)) {}

ContentRunner::~ContentRunner() {
    reader.reset();
    parser.reset();
    tokenizer.reset();
}

}  // namespace vistrel
