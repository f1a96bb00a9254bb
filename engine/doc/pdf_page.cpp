#include "engine/doc/pdf_page.h"

#include <algorithm>
#include <new>
#include <utility>

#include "engine/constants/name_constants.h"
#include "engine/parser/pdf_ref.h"

namespace vistrel {

namespace {

// Object numbers met on one walk up or down the page tree. The walks are
// bounded by kMaxPageTreeDepth, so a short list searched linearly is enough.
class VisitedNodes {
public:
    // False when the object is a reference already met, or when the walk is
    // too deep; otherwise remembers it.
    bool enter(const PdfObject* object) {
        if (count_ >= kMaxPageTreeDepth)
            return false;
        const PdfRef* ref = asRef(const_cast<PdfObject*>(object));
        int32_t number = ref ? ref->number() : -1;
        if (number >= 0) {
            for (int i = 0; i < count_; ++i) {
                if (numbers_[i] == number)
                    return false;
            }
        }
        numbers_[count_++] = number;
        return true;
    }

private:
    int32_t numbers_[kMaxPageTreeDepth];
    int count_ = 0;
};

// The resources a page starts with: its own /Resources, or those inherited
// from its pages-node ancestors; counted only when they are a dictionary.
PdfDict* pageResources(PdfDict& page) {
    PdfObject* value = page.get(names::Resources);
    if (!value && asPagesNode(page.get(names::Parent)))
        value = lookupInherited(asPagesNode(page.get(names::Parent)), names::Resources);
    return asDict(value);
}

// The pages that keep their text lines, the one given them last at the
// end. The lines of the pages of a long document would otherwise stay for as
// long as the document.
PdfPage* gKeptPages[kKeptTextPages] = {};
size_t gKeptCount = 0;

// Takes the page off the list when it is there.
void unkeepTextLines(PdfPage* page) {
    PdfPage** end = gKeptPages + gKeptCount;
    PdfPage** at = std::find(gKeptPages, end, page);
    if (at == end)
        return;
    std::copy(at + 1, end, at);
    --gKeptCount;
}

// Puts the page at the end of the list; the page that no longer fits, or
// null.
PdfPage* keepTextLines(PdfPage* page) {
    unkeepTextLines(page);
    PdfPage* oldest = nullptr;
    if (gKeptCount == kKeptTextPages) {
        oldest = gKeptPages[0];
        std::copy(gKeptPages + 1, gKeptPages + gKeptCount, gKeptPages);
        --gKeptCount;
    }
    gKeptPages[gKeptCount++] = page;
    return oldest;
}

// True when the array holds an element equal to /Text.
bool listsText(const PdfArray& procSet) {
    for (int32_t i = 0; i < procSet.count(); ++i) {
        if (names::Text.equals(procSet.at(i)))
            return true;
    }
    return false;
}

}  // namespace

PdfObject* lookupInherited(PdfDict* dict, const PdfObject& key) {
    VisitedNodes visited;
    PdfDict* d = dict;
    while (d) {
        if (PdfObject* value = d->get(key))
            return value;
        PdfObject* parent = d->get(names::Parent);
        if (!parent || !visited.enter(parent))
            return nullptr;
        d = asPagesNode(parent);
    }
    return nullptr;
}

// ---------------------------------------------------------------------------

PdfPage::PdfPage(const PdfDict& source) : PdfDict(source), runner_(pageResources(*this)) {
    readProcSet();
}

PdfPage::PdfPage(PdfDict&& source) : PdfDict(std::move(source)), runner_(pageResources(*this)) {
    readProcSet();
}

void PdfPage::readProcSet() {
    if (PdfDict* own = asDict(get(names::Resources))) {
        if (PdfArray* procSet = asArray(own->get(names::ProcSet)))
            hasText_ = listsText(*procSet);
    }
}

PdfPage::~PdfPage() {
    unkeepTextLines(this);
    destroyTextLines(false);
}

uint16_t PdfPage::classKind() const {
    return kClassPage;
}

void PdfPage::setTextLines(TextLineList* lines, void (*destroy)(TextLineList*),
                           const TextCapture& capture) {
    if (textLines() != lines)
        destroyTextLines(false);
    if (!lines) {
        unkeepTextLines(this);
        return;
    }
    if (!text_)
        text_.reset(new (std::nothrow) TextRecord);
    if (!text_) {
        destroy(lines);
        return;
    }
    *text_ = TextRecord{lines, destroy, capture, false};
    if (PdfPage* oldest = keepTextLines(this))
        oldest->destroyTextLines(true);
}

bool PdfPage::deferTextLines(const TextCapture& capture) {
    if (!text_)
        text_.reset(new (std::nothrow) TextRecord);
    if (!text_)
        return false;
    unkeepTextLines(this);
    destroyTextLines(true);
    text_->capture = capture;
    return true;
}

void PdfPage::destroyTextLines(bool dropped) {
    if (!text_)
        return;
    if (text_->lines && text_->destroy)
        text_->destroy(text_->lines);
    text_->lines = nullptr;
    text_->dropped = dropped;
}

// ---------------------------------------------------------------------------

FormXObject::FormXObject(const PdfDict& source, InputStream* raw, const uint8_t* fileKey)
    : PdfStream(source, raw, false, fileKey), runner_(asDict(get(names::Resources))) {
    bool valid = usable() && asRectangle(get(names::BBox));
    if (valid) {
        if (PdfObject* formType = get(names::FormType)) {
            valid = asInt(formType, 0) == 1;
        }
    }
    if (valid) {
        if (PdfObject* m = get(names::Matrix)) {
            PdfArray* a = asArray(m);
            valid = a && a->count() == 6;
            for (int32_t i = 0; valid && i < 6; ++i)
                valid = numberOf(a->at(i)) != nullptr;
            if (valid) {
                auto v = [a](int32_t i) { return static_cast<PdfNumber*>(a->at(i))->realValue(); };
                setMatrix(matrix_, v(0), v(1), v(2), v(3), v(4), v(5));
            }
        }
    }
    setValid(valid);
}

FormXObject::~FormXObject() = default;

uint16_t FormXObject::classKind() const {
    return kClassFormXObject;
}

// ---------------------------------------------------------------------------

DestinationTable::DestinationTable(const PdfDict& source) : PdfDict(source) {}

uint16_t DestinationTable::classKind() const {
    return kClassDestinationTable;
}

PdfPage* asPage(PdfObject* object) {
    PdfObject* d = object ? object->direct() : nullptr;
    return d && d->classKind() == kClassPage ? static_cast<PdfPage*>(d) : nullptr;
}

FormXObject* asFormXObject(PdfObject* object) {
    PdfObject* d = object ? object->direct() : nullptr;
    return d && d->classKind() == kClassFormXObject ? static_cast<FormXObject*>(d) : nullptr;
}

}  // namespace vistrel
