// A tree stored in a document, loaded into a TreeNode. The input gives the
// objects from number 4 on, separated by "endobj"; the private dictionary
// (object 3) names 4 0 R as the tree /T. Whatever the objects hold, the load
// ends, and what it gave can be copied whole and stored again.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/control/tree_node.h"
#include "engine/core/streams.h"
#include "engine/doc/key_path.h"
#include "engine/doc/pdf_catalog.h"
#include "engine/doc/typed_objects.h"
#include "engine/parser/pdf_document.h"
#include "tests/support/pdf_file_text.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    vistrel::installDocumentFactories();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vistrel;
    std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R /LumbraData 3 0 R >>",
                                        "<< /Type /Pages /Kids [] /Count 0 >>", "<< /T 4 0 R >>"};
    std::string_view input(reinterpret_cast<const char*>(data), size);
    for (size_t start = 0; start <= input.size() && objects.size() < 4096;) {
        size_t end = input.find("endobj", start);
        objects.emplace_back(
            input.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos)
            break;
        start = end + 6;
    }
    const std::string pdf = testing::pdfFileFromObjects(objects);
    MemoryInputStream stream(pdf.data(), pdf.size());
    PdfDocument document(&stream, true);
    // As in the engine, the catalog lets go of the object graph (whose
    // references may hold each other) before the document closes.
    PdfCatalog catalog(&document);

    win::ComPtr<TreeNode> root = TreeNode::create();
    {
        KeyPathReader reader(&document);
        reader.get(WString(u"T"), *root.get());
    }
    win::ComPtr<TreeNode> copy = TreeNode::create();
    if (!copy->copyFrom(root.get()))
        std::abort();
    KeyPathWriter writer(nullptr, WString(u"unused.pdf"));
    if (!writer.put(WString(u"T"), *copy.get()))
        std::abort();
    return 0;
}
