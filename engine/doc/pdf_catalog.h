// The document catalog: the root pages node, the outline root, the named
// destinations of /Dests and of the /Names trees, and the catalog's own
// entries. Under memory pressure it gives back every parsed object reachable
// from the catalog that nothing else holds.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "engine/core/allocator.h"
#include "engine/core/ref.h"
#include "engine/doc/destination.h"
#include "engine/doc/page_tree.h"
#include "engine/doc/pdf_page.h"
#include "engine/doc/typed_objects.h"
#include "engine/object/pdf_object.h"
#include "engine/parser/pdf_document.h"
#include "engine/parser/pdf_ref.h"

namespace vistrel {

class PdfDocument;

// Longest /First–/Next chain or /Parent chain the outline walks follow; a
// chain that comes back to an item it has passed stops at the repeat.
inline constexpr int32_t kMaxOutlineChain = 1 << 20;

// The integer value of the dictionary's /Count when it is a number, else 0.
int32_t getOutlineCount(const PdfDict* dict);
// /Count becomes a new number n.
void setOutlineCount(PdfDict* dict, int32_t n);
// /Count becomes getOutlineCount + delta.
void addToOutlineCount(PdfDict* dict, int32_t delta);
// The number of dictionaries reached from /First along /Next, stopping at
// the first value that is absent or not a dictionary, and at a repeat.
int32_t countOutlineKids(PdfDict* dict);

// One outline dictionary, used as a cursor: `dict` is the current item,
// `held` the item the record was made from.
class OutlineItem {
public:
    explicit OutlineItem(PdfDict* item);

    PdfDict* held() const { return held_.get(); }
    PdfDict* dict() const { return dict_.get(); }
    // First-level items when /Count is a number above 0, else 0.
    int32_t kidCount() const { return kidCount_; }

    // True when /Count is a number above 0.
    bool isOpen() const;
    // kidCount when open, else 0.
    int32_t openCount() const;
    // The text of /Title when it is a string, else null.
    const WString* getTitle() const;
    // /Dest as stored, or null.
    PdfObject* getDest() const;
    // /A as an action (asAction), or null.
    Ref<PdfAction> getAction(bool* created = nullptr) const;

    // Cursor moves: true when the current item changed.
    bool toParent();
    bool toKid(int32_t index);
    // Opens a closed item with kids; its /Count and the ancestors' change.
    bool open();
    // Opens a closed item or closes an open one.
    void toggle();

    VISTREL_GLOBAL_ALLOCATOR()

private:
    // Flips /Count (absent or zero stored as 0), counts the kids again and
    // adds the new /Count to every ancestor.
    void flipCount();

    Ref<PdfDict> held_;
    Ref<PdfDict> dict_;
    int32_t kidCount_ = 0;
};

class PdfCatalog : public Purgeable {
public:
    // Reads the catalog when the document opened successfully, and attaches
    // itself to the document either way.
    explicit PdfCatalog(PdfDocument* document);
    // Purges, drops its references, then lets go of every object the
    // document's object graph still resolves (the two-way links of page trees
    // and outlines would otherwise keep each other alive). The document must
    // still exist.
    ~PdfCatalog() override;

    // Gives back what only the catalog's object graph holds; both levels
    // (trim 0, full -1) do the same.
    bool purge(int level) override;
    virtual bool isLoaded() const { return loaded_; }
    virtual bool readCatalog();

    // The page of 1-based number, with one reference for the caller; null
    // beyond the page count. Until the pages are listed the page is found by
    // descending the tree where its /Count values check (PageFinder); where
    // the descent cannot tell it, the pages are listed.
    Ref<PdfPage> getPage(int32_t pageNumber);
    // The number of pages the page tree holds; 0 when not loaded. Told by
    // the root's /Count where it checks as a descent takes it and the first
    // and the last page are found by the descent; else, and once the pages
    // are listed, the length of the list (listPages).
    int32_t getPageCount();
    // The page a reference leads to, with one reference for the caller; on
    // success lastPageNumber() is its 1-based number when the tree tells it.
    Ref<PdfPage> getPageIndex(PdfObject* pageRef);
    int32_t lastPageNumber() const { return lastPageNumber_; }
    OutlineItem* getOutlines() const { return outlines_.get(); }
    // The destination an outline item's /Dest, a link's /Dest or a GoTo
    // action's /D stands for, resolved through the catalog's tables; one
    // reference for the caller, or null.
    Ref<Destination> readDestination(PdfObject* object) const;

    Ref<PdfAction> getOpenAction(bool* created = nullptr) const;
    PdfName* getPageMode() const;
    PdfName* getPageLayout() const;
    PdfDict* getViewerPreferences() const;
    PdfDict* getURI() const;

    PdfDocument* document() const { return document_; }
    PdfDict* pagesRoot() const { return pagesRoot_.get(); }
    PdfDict* catalogDict() const { return catalogDict_.get(); }
    PdfDict* infoDict() const { return infoDict_.get(); }
    PdfDict* namesDict() const { return namesDict_.get(); }
    DestinationTable* dests() const { return dests_.get(); }

    VISTREL_GLOBAL_ALLOCATOR()

private:
    PdfObject* catalogEntry(const PdfObject& key, bool needLoaded) const;
    // The pages of the tree in order, listed on the first use.
    const std::vector<ObjectRef>& pages() const;

    // Where the kids of one pages node stand, learned on the first lookup
    // that passes the node, so that telling the number of every page costs
    // no scan of its siblings each time: the sum of the /Count values
    // before each place, and the first place of every object number. The
    // scan ends at the first kid that is no reference or no dictionary;
    // no lookup passes it.
    struct KidPlaces {
        std::vector<int64_t> countBefore{0};
        std::unordered_map<int32_t, size_t> first;
        bool cut = false;
    };
    const KidPlaces& kidPlaces(int32_t number, PdfArray& kids);
    // Forgets what was learned from /Count values once one was written.
    void dropStaleCounts();
    // The page count the /Count values tell (getPageCount), or -1.
    int64_t toldCount();

    PdfDocument* document_;
    Ref<PdfDict> pagesRoot_;
    Ref<PdfDict> catalogDict_;
    Ref<PdfDict> infoDict_;
    Ref<PdfDict> namesDict_;
    int32_t lastPageNumber_ = 0;
    std::unique_ptr<OutlineItem> outlines_;
    Ref<DestinationTable> dests_;
    bool loaded_ = false;
    mutable std::vector<ObjectRef> pages_;
    mutable bool pagesListed_ = false;
    PageFinder finder_;
    // toldCount once worked out, -2 before; forgotten with finder_.
    int64_t toldCount_ = -2;
    // By the pages node's object number; dropped by a purge and after any
    // /Count written through setOutlineCount, as finder_ is.
    std::unordered_map<int32_t, KidPlaces> kidPlaces_;
    uint64_t countWritesSeen_ = 0;
};

}  // namespace vistrel
