#include "engine/doc/page_tree.h"

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
    PdfDict* d = asDict(object);
    if (!d)
        return nullptr;
    if (d->classKind() == kClassPagesNode)
        return Ref<PagesNode>::share(static_cast<PagesNode*>(d));
    if (d->get(names::Kids) && d->get(names::Count))
        return makeRef<PagesNode>(*d);
    return nullptr;
}

}  // namespace vistrel
