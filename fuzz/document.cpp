// Opening a document from memory as the control does (repair allowed; the
// security handler with an empty password, then with "user" when the file is
// encrypted) and walking what its readers touch: the catalog and its entries,
// every page with its boxes, resources and annotations, the outline with its
// destinations and actions, every object's text form and every stream's
// decoded data.
#include <cstdint>
#include <unordered_set>

#include "engine/constants/name_constants.h"
#include "engine/doc/destination.h"
#include "engine/doc/page_tree.h"
#include "engine/doc/pdf_catalog.h"
#include "engine/doc/typed_objects.h"
#include "engine/parser/pdf_document.h"
#include "engine/parser/pdf_ref.h"
#include "engine/parser/pdf_stream.h"
#include "engine/render/function/pdf_function.h"
#include "fuzz/fuzz_input.h"

using namespace vistrel;

namespace {

// Budgets that keep one input's run short; hostile files reach them, real
// readers of such files are bounded elsewhere.
constexpr int32_t kMaxPages = 1000;
constexpr int32_t kMaxObjects = 4000;
constexpr size_t kStreamBytes = size_t(1) << 20;
constexpr int kMaxOutlineItems = 10000;
constexpr int kMaxOutlineDepth = 64;

void followDestination(PdfCatalog& catalog, PdfObject* target) {
    Ref<Destination> destination = catalog.readDestination(target);
    if (destination && destination->page())
        catalog.getPageIndex(destination->page());
}

void walkOutline(PdfCatalog& catalog, PdfDict* parent, int depth, std::unordered_set<int32_t>& seen,
                 int& budget) {
    for (PdfObject* link = parent->get(names::First); link && budget > 0; --budget) {
        PdfRef* ref = asRef(link);
        if (ref && !seen.insert(ref->number()).second)
            return;
        PdfDict* item = asDict(link);
        if (!item)
            return;
        OutlineItem record(item);
        record.getTitle();
        record.openCount();
        followDestination(catalog, record.getDest());
        if (Ref<PdfAction> action = record.getAction())
            followDestination(catalog, action->get(names::D));
        if (depth < kMaxOutlineDepth)
            walkOutline(catalog, item, depth + 1, seen, budget);
        link = item->get(names::Next);
    }
}

void walkPages(PdfCatalog& catalog) {
    // Pages by number before the count is known, found down the tree by the
    // /Count values, up to the first that is not there.
    for (int32_t n = 1; n <= kMaxPages && catalog.getPage(n); ++n) {
    }
    const int32_t count = catalog.getPageCount();
    for (int32_t n = 1; n <= count && n <= kMaxPages; ++n) {
        Ref<PdfPage> page = catalog.getPage(n);
        if (!page)
            continue;
        int32_t width = 0, height = 0;
        getPageBoxes(page.get(), width, height);
        getInheritedAttribute(page.get(), names::Resources, true);
        if (PdfArray* annots = asArray(getInheritedAttribute(page.get(), names::Annots, false))) {
            for (int32_t i = 0; i < annots->count() && i < kMaxPages; ++i) {
                if (PdfDict* annot = asDict(annots->at(i)))
                    followDestination(catalog, annot->get(names::Dest));
            }
        }
        catalog.getPageIndex(page.get());
    }
}

void walkObjects(PdfDocument& document) {
    const int32_t count = document.xrefTable() ? document.xrefTable()->count() : 0;
    for (int32_t n = 0; n < count && n < kMaxObjects; ++n) {
        Ref<PdfRef> ref = makeRef<PdfRef>(&document, n, 0);
        PdfObject* object = ref ? ref->direct() : nullptr;
        if (!object)
            continue;
        object->text(document.textKey());
        if (auto* stream = dynamic_cast<PdfStream*>(object)) {
            if (stream->open()) {
                fuzz::drain(*stream, kStreamBytes, unsigned(n));
                stream->close();
            }
        }
    }
}

// True when the document is encrypted.
bool walkDocument(const uint8_t* data, size_t size, const WString* password) {
    MemoryInputStream file(data, size);
    PdfDocument document(&file, true);
    if (!document.trailer())
        return false;
    const bool encrypted = document.trailer()->get(names::Encrypt) != nullptr;
    if (encrypted)
        document.setupSecurity(password);
    {
        PdfCatalog catalog(&document);
        if (catalog.isLoaded()) {
            walkPages(catalog);
            if (OutlineItem* outlines = catalog.getOutlines()) {
                std::unordered_set<int32_t> seen;
                int budget = kMaxOutlineItems;
                if (outlines->dict())
                    walkOutline(catalog, outlines->dict(), 0, seen, budget);
            }
            if (Ref<PdfAction> open = catalog.getOpenAction())
                followDestination(catalog, open->get(names::D));
            catalog.getPageMode();
            catalog.getPageLayout();
            catalog.getViewerPreferences();
            catalog.getURI();
        }
    }
    // Every object again without the catalog, as a tool that lists objects
    // reads them.
    walkObjects(document);
    return encrypted;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    installDocumentFactories();
    installFunctionFactory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const WString empty, user(u"user");
    if (walkDocument(data, size, &empty))
        walkDocument(data, size, &user);
    return 0;
}
