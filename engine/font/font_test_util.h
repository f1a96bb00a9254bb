// For the font tests: a document over a PDF file written from object bodies,
// whose objects the document's parser types as the engine does.
#pragma once

#include <string>
#include <vector>

#include "engine/core/streams.h"
#include "engine/parser/pdf_document.h"
#include "engine/parser/pdf_ref.h"
#include "tests/support/pdf_file_text.h"

namespace vistrel::testing {

class FontTestDocument {
public:
    explicit FontTestDocument(const std::vector<std::string>& bodies)
        : text_(pdfFileFromObjects(bodies)),
          stream_(reinterpret_cast<const uint8_t*>(text_.data()), text_.size()),
          document_(&stream_, true) {}

    // Object n, resolved (borrowed; the document keeps it while it lives).
    PdfObject* object(int32_t number) {
        refs_.push_back(makeRef<PdfRef>(&document_, number, 0));
        return refs_.back()->direct();
    }

private:
    std::string text_;
    MemoryInputStream stream_;
    PdfDocument document_;
    std::vector<Ref<PdfRef>> refs_;
};

}  // namespace vistrel::testing
