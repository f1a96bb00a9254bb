#include "engine/doc/page_tree.h"

#include <cmath>

#include "engine/constants/name_constants.h"
#include "engine/parser/pdf_ref.h"

namespace vistrel {

namespace {

// The object numbers of the pages nodes on the current descent.
struct DescentPath {
    int32_t numbers[kMaxPageTreeDepth];
    int depth = 0;

    bool contains(int32_t number) const {
        if (number < 0)
            return false;
        for (int i = 0; i < depth; ++i) {
            if (numbers[i] == number)
                return true;
        }
        return false;
    }
};

Ref<PdfPage> pageByIndex(PdfDict* node, int32_t index, DescentPath& path) {
    if (index > pageCountOf(node))
        return nullptr;
    PdfArray* kids = asArray(node->get(names::Kids));
    if (!kids)
        return nullptr;
    for (int32_t i = 0; i < kids->count(); ++i) {
        PdfObject* kid = kids->at(i);
        if (PdfPage* page = asPage(kid)) {
            if (index == 1)
                return Ref<PdfPage>::share(page);
            --index;
            continue;
        }
        const PdfRef* ref = asRef(kid);
        int32_t number = ref ? ref->number() : -1;
        if (path.contains(number))
            continue;  // a node listed below itself
        Ref<PagesNode> child = toPagesNode(kid);
        if (!child)
            continue;
        int32_t count = pageCountOf(child.get());
        if (index <= count) {
            if (path.depth >= kMaxPageTreeDepth)
                return nullptr;
            path.numbers[path.depth++] = number;
            Ref<PdfPage> found = pageByIndex(child.get(), index, path);
            --path.depth;
            return found;
        }
        // A negative or missing /Count never moves the index back.
        if (count > 0)
            index -= count;
    }
    return nullptr;
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

int32_t pageCountOf(const PdfDict* node) {
    if (!node)
        return -1;
    return asInt(node->get(names::Count), -1);
}

Ref<PdfPage> getPageByIndex(PdfDict* node, int32_t index) {
    if (!node)
        return nullptr;
    DescentPath path;
    if (const PdfObject* self = node) {
        ObjectId id = self->getId();
        path.numbers[path.depth++] = id.number;
    }
    return pageByIndex(node, index, path);
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
