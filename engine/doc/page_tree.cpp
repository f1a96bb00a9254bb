#include "engine/doc/page_tree.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "engine/constants/name_constants.h"
#include "engine/parser/pdf_ref.h"

namespace vistrel {

namespace {

// Appends the pages of one pages node and of the nodes below it. A node
// listed again after its walk has ended adds the pages it added then, so
// shared nodes cost no second walk.
class PageLister {
public:
    explicit PageLister(std::vector<ObjectRef>& pages) : pages_(pages) {}

    void walk(PdfDict* node, int32_t number, int depth) {
        if (number >= 0)
            onPath_.insert(number);
        size_t first = pages_.size();
        PdfArray* kids = asArray(node->get(names::Kids));
        for (int32_t i = 0; kids && i < kids->count() && pages_.size() < kMaxPageCount; ++i) {
            PdfObject* kid = kids->at(i);
            if (asPage(kid)) {
                pages_.push_back(ObjectRef::share(kid));
                continue;
            }
            const PdfRef* ref = asRef(kid);
            int32_t kidNumber = ref ? ref->number() : -1;
            if (kidNumber >= 0 && onPath_.count(kidNumber))
                continue;  // a node listed below itself
            auto walked = walked_.find(kidNumber);
            if (kidNumber >= 0 && walked != walked_.end()) {
                for (size_t k = walked->second.first; k < walked->second.second; ++k) {
                    if (pages_.size() >= kMaxPageCount)
                        break;
                    ObjectRef page = pages_[k];
                    pages_.push_back(std::move(page));
                }
                continue;
            }
            Ref<PagesNode> child = toPagesNode(kid);
            if (child && depth + 1 < kMaxPageTreeDepth)
                walk(child.get(), kidNumber, depth + 1);
        }
        if (number >= 0) {
            onPath_.erase(number);
            walked_[number] = {first, pages_.size()};
        }
    }

private:
    std::vector<ObjectRef>& pages_;
    std::unordered_set<int32_t> onPath_;  // object numbers of the nodes being walked
    // The pages each node walked to the end added: [first, end) of the list.
    std::unordered_map<int32_t, std::pair<size_t, size_t>> walked_;
};

// A pages node as it stands (/Type /Pages, or a dictionary with /Kids and
// /Count); null otherwise.
PdfDict* asTreeNode(PdfObject* kid) {
    PdfDict* d = asDict(kid);
    if (d && (d->classKind() == kClassPagesNode || (d->get(names::Kids) && d->get(names::Count))))
        return d;
    return nullptr;
}

// The /Count of a pages node when it is a whole number from 0, else -1.
int64_t statedCount(PdfDict& node) {
    PdfNumber* count = asNumber(node.get(names::Count));
    return count && count->isInteger() && count->intValue() >= 0 ? count->intValue() : -1;
}

int32_t objectNumber(PdfObject* kid) {
    const PdfRef* ref = asRef(kid);
    return ref ? ref->number() : -1;
}

int32_t roundedSpan(const PdfArray& box, int32_t a, int32_t b) {
    double span = std::fabs(static_cast<PdfNumber*>(box.at(a))->realValue() -
                            static_cast<PdfNumber*>(box.at(b))->realValue()) +
                  0.5;
    // Saturate: a hostile box must not overflow the conversion.
    if (!(span < 2147483647.0))
        return span >= 2147483647.0 ? INT32_MAX : 0;
    return static_cast<int32_t>(span);
}

}  // namespace

PdfObject* getInheritedAttribute(PdfDict* page, const PdfObject& key, bool inherit) {
    if (!page)
        return nullptr;
    if (!inherit)
        return page->get(key);
    return lookupInherited(page, key);
}

std::vector<ObjectRef> listPages(PdfDict* root) {
    std::vector<ObjectRef> pages;
    if (root)
        PageLister(pages).walk(root, root->getId().number, 0);
    return pages;
}

// Reading a kid may parse objects, and an allocation that fails purges the
// objects only the document holds: the nodes and kids arrays in use are
// held, and what is learned is stored once the work is done.

int64_t PageFinder::checkedCount(PdfDict& node, int32_t number) {
    if (number >= 0) {
        auto learned = nodes_.find(number);
        if (learned != nodes_.end() && learned->second.count != -2)
            return learned->second.count;
    }
    int64_t sum = 0;
    Ref<PdfArray> kids = Ref<PdfArray>::share(asArray(node.get(names::Kids)));
    for (int32_t i = 0; kids && i < kids->count() && sum >= 0; ++i) {
        PdfObject* kid = kids->at(i);
        if (asPage(kid)) {
            ++sum;
        } else if (Ref<PdfDict> child = Ref<PdfDict>::share(asTreeNode(kid))) {
            const int64_t count = statedCount(*child);
            sum = count < 0 ? -1 : sum + count;
        }
    }
    const int64_t count = kids && sum == statedCount(node) ? sum : -1;
    if (number >= 0)
        nodes_[number].count = count;
    return count;
}

void PageFinder::learnPlaces(PdfDict& node, int32_t number) {
    std::vector<int32_t> before;
    if (checkedCount(node, number) >= 0) {
        // The counts add up to the node's /Count, so every sum fits.
        Ref<PdfArray> kids = Ref<PdfArray>::share(asArray(node.get(names::Kids)));
        before.reserve(kids ? size_t(kids->count()) + 1 : 0);
        before.push_back(0);
        for (int32_t i = 0; kids && i < kids->count(); ++i) {
            PdfObject* kid = kids->at(i);
            int64_t share = 0;
            if (asPage(kid)) {
                share = 1;
            } else if (Ref<PdfDict> child = Ref<PdfDict>::share(asTreeNode(kid))) {
                share = checkedCount(*child, objectNumber(kid));
                if (share < 0) {
                    before.clear();
                    break;
                }
            }
            before.push_back(before.back() + int32_t(share));
        }
    }
    Learned& learned = nodes_[number];
    learned.placed = true;
    learned.before = std::move(before);
}

const std::vector<int32_t>& PageFinder::places(PdfDict& node, int32_t number) {
    auto learned = nodes_.find(number);
    if (learned == nodes_.end() || !learned->second.placed) {
        learnPlaces(node, number);
        learned = nodes_.find(number);
    }
    return learned->second.before;
}

bool PageFinder::locate(PdfDict& node, int32_t number, size_t place, int32_t& kid, size_t& before) {
    const std::vector<int32_t>& places = this->places(node, number);
    if (places.empty() || place >= size_t(places.back()))
        return false;
    // The kid whose pages hold the place: the last one with fewer pages
    // before it.
    const auto after = std::upper_bound(places.begin(), places.end(), place);
    kid = int32_t(after - places.begin()) - 1;
    before = size_t(places[size_t(kid)]);
    return true;
}

PdfPage* PageFinder::find(PdfDict* root, size_t place) {
    if (!root || place >= kMaxPageCount)
        return nullptr;
    Ref<PdfDict> node = Ref<PdfDict>::share(root);
    int32_t number = root->getId().number;
    // The nodes passed, to end a descent that comes back to one of them.
    std::vector<int32_t> path;
    // The walk does not enter nodes kMaxPageTreeDepth deep: the counts of
    // the nodes two levels above them do not tell what it lists.
    for (int depth = 0; depth + 2 < kMaxPageTreeDepth; ++depth) {
        if (!node || number < 0 || std::find(path.begin(), path.end(), number) != path.end())
            return nullptr;
        path.push_back(number);
        int32_t index = 0;
        size_t before = 0;
        if (!locate(*node, number, place, index, before))
            return nullptr;
        PdfArray* kids = asArray(node->get(names::Kids));
        PdfObject* kid = kids && index < kids->count() ? kids->at(index) : nullptr;
        if (PdfPage* page = asPage(kid))
            return page;
        node = Ref<PdfDict>::share(asTreeNode(kid));
        number = objectNumber(kid);
        place -= before;
    }
    return nullptr;
}

int64_t PageFinder::count(PdfDict* root) {
    const int32_t number = root ? root->getId().number : -1;
    if (number < 0)
        return -1;
    const Ref<PdfDict> held = Ref<PdfDict>::share(root);
    const std::vector<int32_t>& places = this->places(*root, number);
    return places.empty() ? -1 : places.back();
}

bool getPageBoxes(PdfDict* page, int32_t& width, int32_t& height) {
    PdfArray* box = asRectangle(getInheritedAttribute(page, names::CropBox, true));
    if (!box)
        box = asRectangle(getInheritedAttribute(page, names::MediaBox, true));
    if (!box)
        return false;
    int32_t rotate = 0;
    if (PdfNumber* r = asNumber(getInheritedAttribute(page, names::Rotate, true)))
        rotate = r->intValue() % 360;
    if (rotate < 0)
        rotate += 360;
    int32_t w = roundedSpan(*box, 0, 2);
    int32_t h = roundedSpan(*box, 1, 3);
    if (rotate == 0 || rotate == 180) {
        width = w;
        height = h;
    } else {
        width = h;
        height = w;
    }
    return true;
}

Ref<PagesNode> toPagesNode(PdfObject* object) {
    PdfDict* d = asTreeNode(object);
    if (!d)
        return nullptr;
    if (d->classKind() == kClassPagesNode)
        return Ref<PagesNode>::share(static_cast<PagesNode*>(d));
    return makeRef<PagesNode>(*d);
}

}  // namespace vistrel
