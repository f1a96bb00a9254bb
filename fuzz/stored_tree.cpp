// The stored-tree reader: a document opened from memory, then the trees
// stored in its private dictionary under the viewer's names, each node
// reading its name and its children "Kid1", "Kid2", ... as the tree nodes do.
#include <cstdint>

#include "engine/core/streams.h"
#include "engine/doc/key_path.h"
#include "engine/doc/typed_objects.h"
#include "engine/parser/pdf_document.h"

using namespace vistrel;

namespace {

constexpr int32_t kMaxNodes = 20000;

struct Node : Storable {
    explicit Node(int32_t& budget) : budget(budget) {}

    bool save(TreeWriter&) override { return false; }
    bool load(TreeReader& reader) override {
        WString text;
        reader.getString(WString(u"Name"), text);
        reader.getString(WString(u"State"), text);
        for (int32_t i = 1; budget > 0; ++i) {
            --budget;
            WString key(u"Kid");
            WString number;
            number.fromInt(i);
            key.appendText(number.chars());
            Node kid(budget);
            if (!reader.getNode(key, kid))
                break;
        }
        return true;
    }

    int32_t& budget;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    installDocumentFactories();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryInputStream file(data, size);
    PdfDocument document(&file, true);
    KeyPathReader reader(&document);
    int32_t budget = kMaxNodes;
    for (const char16_t* name : {u"BookMarks", u"ForPalm", u"TOC"}) {
        Node root(budget);
        reader.get(WString(name), root);
    }
    return 0;
}
