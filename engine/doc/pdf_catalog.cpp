#include "engine/doc/pdf_catalog.h"

#include <atomic>
#include <unordered_set>
#include <vector>

#include "engine/constants/name_constants.h"
#include "engine/parser/pdf_document.h"
#include "engine/parser/pdf_ref.h"

namespace vistrel {

namespace {

// Remembers the indirect objects a chain walk has passed, so that a chain
// that loops stops at the repeat; direct links cannot loop on their own.
class ChainGuard {
public:
    // False for a reference met before, and past kMaxOutlineChain steps.
    bool enter(PdfObject* link) {
        if (++steps_ > kMaxOutlineChain)
            return false;
        PdfRef* ref = asRef(link);
        return !ref || seen_.insert(ref->number()).second;
    }

private:
    std::unordered_set<int32_t> seen_;
    int32_t steps_ = 0;
};

// Counts the /Count values written, so that what was learned from them is
// learned again.
std::atomic<uint64_t> gCountWrites{0};

// Calls `visit` with every ancestor of an outline item along /Parent.
template <class F>
void forEachAncestor(PdfDict* item, F visit) {
    ChainGuard guard;
    for (PdfObject* link = item->get(names::Parent); link && guard.enter(link);) {
        PdfDict* parent = asDict(link);
        if (!parent)
            break;
        visit(parent);
        link = parent->get(names::Parent);
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Outline counts

int32_t getOutlineCount(const PdfDict* dict) {
    return asInt(dict ? dict->get(names::Count) : nullptr, 0);
}

void setOutlineCount(PdfDict* dict, int32_t n) {
    if (!dict)
        return;
    ObjectRef value = makeRef<PdfNumber>(n);
    if (value) {
        dict->put(ObjectRef::share(&names::Count), std::move(value));
        gCountWrites.fetch_add(1, std::memory_order_relaxed);
    }
}

void addToOutlineCount(PdfDict* dict, int32_t delta) {
    setOutlineCount(dict, getOutlineCount(dict) + delta);
}

int32_t countOutlineKids(PdfDict* dict) {
    if (!dict)
        return 0;
    ChainGuard guard;
    int32_t count = 0;
    for (PdfObject* link = dict->get(names::First); link && guard.enter(link);) {
        PdfDict* item = asDict(link);
        if (!item)
            break;
        ++count;
        link = item->get(names::Next);
    }
    return count;
}

// ---------------------------------------------------------------------------
// OutlineItem

OutlineItem::OutlineItem(PdfDict* item)
    : held_(Ref<PdfDict>::share(item)), dict_(Ref<PdfDict>::share(item)) {
    if (getOutlineCount(item) > 0)
        kidCount_ = countOutlineKids(item);
}

bool OutlineItem::isOpen() const {
    return getOutlineCount(dict_.get()) > 0;
}

int32_t OutlineItem::openCount() const {
    return isOpen() ? kidCount_ : 0;
}

const WString* OutlineItem::getTitle() const {
    PdfString* title = asString(dict_ ? dict_->get(names::Title) : nullptr);
    return title ? &title->textValue() : nullptr;
}

PdfObject* OutlineItem::getDest() const {
    return dict_ ? dict_->get(names::Dest) : nullptr;
}

Ref<PdfAction> OutlineItem::getAction(bool* created) const {
    return asAction(dict_ ? dict_->get(names::A) : nullptr, created);
}

bool OutlineItem::toParent() {
    PdfDict* parent = dict_ ? asDict(dict_->get(names::Parent)) : nullptr;
    if (!parent)
        return false;
    dict_ = Ref<PdfDict>::share(parent);
    return true;
}

bool OutlineItem::toKid(int32_t index) {
    open();
    if (!dict_ || index < 0)
        return false;
    ChainGuard guard;
    PdfObject* link = dict_->get(names::First);
    PdfDict* item = guard.enter(link) ? asDict(link) : nullptr;
    for (int32_t i = 0; item && i < index; ++i) {
        link = item->get(names::Next);
        item = guard.enter(link) ? asDict(link) : nullptr;
    }
    if (!item)
        return false;
    dict_ = Ref<PdfDict>::share(item);
    return true;
}

bool OutlineItem::open() {
    if (!dict_)
        return false;
    PdfNumber* count = asNumber(dict_->get(names::Count));
    if (count && count->intValue() >= 1)
        return false;
    if (!asDict(dict_->get(names::First)))
        return false;
    flipCount();
    return true;
}

void OutlineItem::toggle() {
    if (dict_)
        flipCount();
}

void OutlineItem::flipCount() {
    int32_t count = getOutlineCount(dict_.get());
    // -INT32_MIN does not exist; such a count stays as it is.
    int32_t flipped = count == INT32_MIN ? count : -count;
    setOutlineCount(dict_.get(), flipped);
    kidCount_ = flipped > 0 ? countOutlineKids(dict_.get()) : 0;
    forEachAncestor(dict_.get(),
                    [flipped](PdfDict* ancestor) { addToOutlineCount(ancestor, flipped); });
}

// ---------------------------------------------------------------------------
// PdfCatalog

PdfCatalog::PdfCatalog(PdfDocument* document) : document_(document) {
    if (document_ && document_->isValid()) {
        loaded_ = readCatalog();
        document_->attachCatalog(this);
    }
}

PdfCatalog::~PdfCatalog() {
    // Page tree and outline objects hold each other through their
    // references; the listed pages too, when a purge has dropped the nodes
    // that listed them. The graph is let go before the purge: a purge that
    // frees a page first would leave the cycles below it (a form whose
    // resources name the form itself) out of reach of the walk.
    std::vector<PdfObject*> roots;
    if (document_)
        roots.push_back(document_->trailer());
    for (const ObjectRef& page : pages_)
        roots.push_back(page.get());
    unresolveReachable(roots);
    pages_.clear();
    if (document_) {
        if (PdfRef* root = getTrailerRoot(document_->trailer()))
            root->visit(-1);
    }
    outlines_.reset();
    dests_ = nullptr;
    namesDict_ = nullptr;
    pagesRoot_ = nullptr;
    infoDict_ = nullptr;
    catalogDict_ = nullptr;
}

bool PdfCatalog::readCatalog() {
    PdfRef* root = document_ ? getTrailerRoot(document_->trailer()) : nullptr;
    if (!root)
        return false;
    PdfObject* catalog = root->direct();
    if (!catalog || catalog->kind() != kKindDict)
        return false;
    catalogDict_ = Ref<PdfDict>::share(static_cast<PdfDict*>(catalog));

    PdfDict* pages = asPagesNode(catalogDict_->get(names::Pages));
    if (!pages)
        return false;
    pagesRoot_ = Ref<PdfDict>::share(pages);

    if (PdfRef* info = getTrailerInfo(document_->trailer()))
        infoDict_ = Ref<PdfDict>::share(asDict(info));

    if (PdfDict* outlines = asDict(catalogDict_->get(names::Outlines)))
        outlines_.reset(new OutlineItem(outlines));

    if (PdfDict* dests = asDict(catalogDict_->get(names::Dests)))
        dests_ = makeRef<DestinationTable>(*dests);

    PdfDict* namesDict = asDict(catalogDict_->get(names::Names));
    if (!namesDict)
        return true;
    namesDict_ = Ref<PdfDict>::share(namesDict);
    // Every entry's value becomes a destination table copied from the
    // dictionary it names (an empty one for anything else). The keys are
    // taken first: the entries are replaced while the table is walked.
    std::vector<PdfObject*> keys;
    keys.reserve(static_cast<size_t>(namesDict->size()));
    for (const auto& entry : namesDict->entries())
        keys.push_back(entry.key);
    for (PdfObject* key : keys) {
        PdfDict* tree = asDict(namesDict->get(*key));
        ObjectRef table = tree ? makeRef<DestinationTable>(*tree) : makeRef<DestinationTable>();
        if (table)
            namesDict->put(ObjectRef::share(key), std::move(table));
    }
    return true;
}

bool PdfCatalog::purge(int level) {
    kidPlaces_.clear();
    finder_.clear();
    toldCount_ = -2;
    PdfRef* root = document_ ? getTrailerRoot(document_->trailer()) : nullptr;
    return root ? root->visit(level) : false;
}

const std::vector<ObjectRef>& PdfCatalog::pages() const {
    if (!pagesListed_ && loaded_) {
        pages_ = listPages(pagesRoot_.get());
        pagesListed_ = true;
    }
    return pages_;
}

Ref<PdfPage> PdfCatalog::getPage(int32_t pageNumber) {
    if (!loaded_ || pageNumber < 1)
        return nullptr;
    if (!pagesListed_) {
        dropStaleCounts();
        if (PdfPage* page = finder_.find(pagesRoot_.get(), size_t(pageNumber) - 1))
            return Ref<PdfPage>::share(page);
        // Past the told count there is no page: no list is needed to say so.
        const int64_t told = toldCount();
        if (told >= 0 && pageNumber > told)
            return nullptr;
    }
    if (size_t(pageNumber) > pages().size())
        return nullptr;
    return Ref<PdfPage>::share(asPage(pages_[size_t(pageNumber) - 1].get()));
}

int32_t PdfCatalog::getPageCount() {
    if (!loaded_)
        return 0;
    if (!pagesListed_) {
        const int64_t told = toldCount();
        if (told >= 0)
            return static_cast<int32_t>(told);
    }
    return static_cast<int32_t>(pages().size());
}

int64_t PdfCatalog::toldCount() {
    dropStaleCounts();
    if (toldCount_ != -2)
        return toldCount_;
    // A count of 0 is left to the list, which costs nothing when it is true;
    // the two descents end the counts that lead into a cycle or too deep at
    // either end of the tree.
    PdfDict* root = pagesRoot_.get();
    const int64_t count = finder_.count(root);
    const bool told = count > 0 && size_t(count) <= kMaxPageCount && finder_.find(root, 0) &&
                      finder_.find(root, size_t(count) - 1);
    toldCount_ = told ? count : -1;
    return toldCount_;
}

Ref<PdfPage> PdfCatalog::getPageIndex(PdfObject* pageRef) {
    PdfPage* target = asPage(pageRef);
    if (!target)
        return nullptr;
    Ref<PdfPage> page = Ref<PdfPage>::share(target);
    // The child is identified by object number, as it is listed in its
    // parent's /Kids.
    int32_t number = pageRef->getId().number;
    if (PdfRef* ref = asRef(pageRef))
        number = ref->number();
    int64_t count = 1;  // hostile /Count values must not overflow the sum
    PdfDict* current = target;
    ChainGuard ancestors;
    ancestors.enter(pageRef);
    for (int depth = 0; depth <= kMaxPageTreeDepth; ++depth) {
        PdfRef* parentRef = asRef(current->get(names::Parent));
        if (!parentRef) {
            lastPageNumber_ = static_cast<int32_t>(count < INT32_MIN   ? INT32_MIN
                                                   : count > INT32_MAX ? INT32_MAX
                                                                       : count);
            return page;
        }
        // A /Parent chain that loops never reaches the root.
        if (!ancestors.enter(parentRef))
            return page;
        PdfDict* parent = asDict(parentRef);
        PdfArray* kids = parent ? asArray(parent->get(names::Kids)) : nullptr;
        if (!kids)
            return page;
        const KidPlaces& places = kidPlaces(parentRef->number(), *kids);
        auto found = places.first.find(number);
        if (found != places.first.end()) {
            count += places.countBefore[found->second];
            number = parentRef->number();
        } else if (places.cut) {
            return page;
        } else {
            // Not among the kids: all of them count, and the search goes on
            // for the same number one level up.
            count += places.countBefore.back();
        }
        current = parent;
    }
    return page;
}

void PdfCatalog::dropStaleCounts() {
    const uint64_t writes = gCountWrites.load(std::memory_order_relaxed);
    if (writes != countWritesSeen_) {
        kidPlaces_.clear();
        finder_.clear();
        toldCount_ = -2;
        countWritesSeen_ = writes;
    }
}

const PdfCatalog::KidPlaces& PdfCatalog::kidPlaces(int32_t number, PdfArray& kids) {
    dropStaleCounts();
    auto [at, added] = kidPlaces_.try_emplace(number);
    KidPlaces& places = at->second;
    if (!added)
        return places;
    for (int32_t i = 0; i < kids.count(); ++i) {
        PdfRef* kid = asRef(kids.at(i));
        if (!kid) {
            places.cut = true;
            break;
        }
        places.first.try_emplace(kid->number(), size_t(i));
        // A kid that is no dictionary is still found where it stands, but
        // no lookup goes past it.
        PdfDict* sibling = asDict(kid);
        if (!sibling) {
            places.cut = true;
            break;
        }
        places.countBefore.push_back(places.countBefore.back() +
                                     asInt(sibling->get(names::Count), 1));
    }
    return places;
}

Ref<Destination> PdfCatalog::readDestination(PdfObject* object) const {
    return vistrel::readDestination(object, dests_.get(), namesDict_.get());
}

PdfObject* PdfCatalog::catalogEntry(const PdfObject& key, bool needLoaded) const {
    if (!catalogDict_ || (needLoaded && !loaded_))
        return nullptr;
    return catalogDict_->get(key);
}

Ref<PdfAction> PdfCatalog::getOpenAction(bool* created) const {
    if (created)
        *created = false;
    return asAction(catalogEntry(names::OpenAction, false), created);
}

PdfName* PdfCatalog::getPageMode() const {
    return asName(catalogEntry(names::PageMode, true));
}

PdfName* PdfCatalog::getPageLayout() const {
    return asName(catalogEntry(names::PageLayout, true));
}

PdfDict* PdfCatalog::getViewerPreferences() const {
    return asDict(catalogEntry(names::ViewerPreferences, true));
}

PdfDict* PdfCatalog::getURI() const {
    return asDict(catalogEntry(names::URI, true));
}

}  // namespace vistrel
