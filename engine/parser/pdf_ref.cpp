#include "engine/parser/pdf_ref.h"

#include <charconv>
#include <cstring>
#include <new>
#include <unordered_set>

#include "engine/constants/name_constants.h"

namespace vistrel {

PdfRef::PdfRef(ObjectSource* document, int32_t number, int32_t generation) : document_(document) {
    number_ = number;
    generation_ = generation;
    setValid(true);
}

PdfRef::PdfRef(const PdfRef& source) : PdfObject(source, true), document_(source.document_) {}

PdfRef::~PdfRef() {
    dropTarget();
}

void PdfRef::dropTarget() {
    PdfObject* old = target_;
    if (!old)
        return;
    target_ = nullptr;
    old->release();
    if (document_)
        document_->releaseCached(number_);
}

PdfObject* PdfRef::deref() {
    if (!valid())
        return nullptr;
    if (target_)
        return target_;
    if (number_ == -1 || !document_)
        return nullptr;
    if (PdfObject* cached = document_->cachedObject(number_)) {
        cached->addRef();
        target_ = cached;
        document_->setCached(number_, cached);
        return target_;
    }
    ObjectRef fetched = document_->fetchObject(number_);
    if (!fetched)
        return nullptr;
    target_ = fetched.detach();
    if (document_->isValid())
        document_->setCached(number_, target_);
    return target_;
}

bool PdfRef::bind(ObjectRef object) {
    if (!object)
        return false;
    if (number_ != -1) {
        if (object->getId().number != -1)
            return false;
        object->setId(number_, generation_, true);
        dropTarget();
        target_ = object.detach();
        return true;
    }
    if (!document_ || !document_->isValid())
        return false;
    if (!document_->setCached(-1, object.get()))
        return false;
    ObjectId id = object->getId();
    dropTarget();
    target_ = object.detach();
    setId(id.number, id.generation, false);
    return true;
}

bool PdfRef::visit(int32_t level) {
    if (!target_ || visiting_)
        return false;
    // A target that is itself a resolved reference can lead back here.
    ObjectNestingGuard guard;
    if (!guard.ok())
        return false;
    visiting_ = true;
    bool freed = target_->visit(level);
    visiting_ = false;
    if (target_ && target_->refCount() == 1) {
        dropTarget();
        return true;
    }
    return freed;
}

PdfObject* PdfRef::direct() {
    return deref();
}
uint16_t PdfRef::kind() const {
    return kKindRef;
}
uint16_t PdfRef::classKind() const {
    return kClassRef;
}

bool PdfRef::equals(const PdfObject* other) const {
    if (!other || other->valid() != valid() || other->kind() != kKindRef ||
        other->classKind() != kClassRef) {
        return false;
    }
    return static_cast<const PdfRef*>(other)->number_ == number_;
}

uint32_t PdfRef::hash() const {
    return hashTag() | (static_cast<uint32_t>(number_) & 0x7FFFu);
}

namespace {
WString asciiText(const char* text, size_t n) {
    WString s(static_cast<int32_t>(n));
    for (size_t i = 0; i < n; ++i)
        s.appendChar(static_cast<char16_t>(text[i]));
    return s;
}
}  // namespace

WString PdfRef::typeName() const {
    char buffer[32] = "REF ";
    auto r = std::to_chars(buffer + 4, buffer + sizeof buffer, number_);
    return asciiText(buffer, static_cast<size_t>(r.ptr - buffer));
}

WString PdfRef::text(const FileKey*) const {
    char buffer[48];
    auto r = std::to_chars(buffer, buffer + 16, number_);
    *r.ptr++ = ' ';
    r = std::to_chars(r.ptr, r.ptr + 16, generation_);
    *r.ptr++ = ' ';
    *r.ptr++ = 'R';
    return asciiText(buffer, static_cast<size_t>(r.ptr - buffer));
}

ObjectId PdfRef::getId() const {
    // Through resolved references to the first object that is none; a chain
    // that does not end there (a cycle) gives this reference's own id.
    const PdfRef* ref = this;
    for (int steps = 0; steps < kMaxObjectNesting; ++steps) {
        const PdfObject* target = ref->target_;
        if (!target)
            return ref->PdfObject::getId();
        if (target->classKind() != kClassRef)
            return target->getId();
        ref = static_cast<const PdfRef*>(target);
    }
    return PdfObject::getId();
}

void PdfRef::setId(int32_t number, int32_t generation, bool recursive) {
    if (!recursive)
        PdfObject::setId(number, generation, false);
}

PdfRef* asRef(PdfObject* object) {
    return object && object->classKind() == kClassRef ? static_cast<PdfRef*>(object) : nullptr;
}

void unresolveReachable(const std::vector<PdfObject*>& roots) {
    // Numbers, names, strings and the like hold nothing: only references and
    // containers are marked and walked.
    std::vector<PdfObject*> marked;
    std::vector<PdfObject*> pending;
    auto push = [&](PdfObject* o) {
        if (!o)
            return;
        uint16_t kind = o->kind();
        bool holds = kind == kKindArray || kind == kKindDict ||
                     (kind == kKindRef && o->classKind() == kClassRef);
        if (holds && o->setWalkMark()) {
            marked.push_back(o);
            pending.push_back(o);
        }
    };
    for (PdfObject* root : roots)
        push(root);
    std::vector<PdfRef*> refs;
    while (!pending.empty()) {
        PdfObject* o = pending.back();
        pending.pop_back();
        if (o->kind() == kKindRef) {
            auto* ref = static_cast<PdfRef*>(o);
            if (ref->target()) {
                refs.push_back(ref);
                push(ref->target());
            }
        } else if (o->kind() == kKindArray) {
            auto* a = static_cast<PdfArray*>(o);
            for (int32_t i = 0; i < a->count(); ++i)
                push(a->at(i));
        } else {
            for (const auto& entry : static_cast<PdfDict*>(o)->entries())
                push(entry.value);
        }
    }
    // The marks go before anything is destroyed, and the references are held
    // while their targets go, so none disappears under the loop when the
    // container holding it is destroyed.
    for (PdfObject* o : marked)
        o->clearWalkMark();
    for (PdfRef* ref : refs)
        ref->addRef();
    for (PdfRef* ref : refs) {
        ref->unresolve();
        ref->release();
    }
}

// ---------------------------------------------------------------------------
// Name trees

namespace {

class NameTreeSearch {
public:
    NameTreeSearch(const WString& key, bool anyValue) : key_(key), anyValue_(anyValue) {}

    // Sets `found` and returns true when the search ends at this node.
    bool search(PdfDict* node, int depth, PdfObject*& found) {
        if (depth >= kMaxNameTreeDepth)
            return false;
        try {
            if (!visited_.insert(node).second)
                return false;
        } catch (const std::bad_alloc&) {
            return true;  // cannot guard against cycles: give up, not found
        }
        Ref<PdfDict> hold = Ref<PdfDict>::share(node);

        if (Ref<PdfArray> names = Ref<PdfArray>::share(asArray(node->get(names::Names)))) {
            for (int32_t i = 0; i < names->count(); i += 2) {
                const PdfString* s = stringOf(names->at(i));
                if (!s)
                    continue;
                int c = compareText(s->textValue(), key_);
                if (c == 0) {
                    found = anyValue_ ? names->get(i + 1) : asRef(names->get(i + 1));
                    return true;
                }
                if (c > 0) {
                    found = nullptr;
                    return true;
                }
            }
        }

        if (Ref<PdfArray> limits = Ref<PdfArray>::share(asArray(node->get(names::Limits)))) {
            const PdfString* low = stringOf(limits->get(0));
            const PdfString* high = stringOf(limits->get(1));
            if ((low && compareText(low->textValue(), key_) > 0) ||
                (high && compareText(high->textValue(), key_) < 0)) {
                found = nullptr;
                return true;
            }
        }

        if (Ref<PdfArray> kids = Ref<PdfArray>::share(asArray(node->get(names::Kids)))) {
            for (int32_t i = 0; i < kids->count(); ++i) {
                PdfDict* kid = asDict(kids->at(i));
                if (!kid)
                    continue;
                PdfObject* result = nullptr;
                search(kid, depth + 1, result);
                if (result) {
                    found = result;
                    return true;
                }
            }
        }
        return false;
    }

private:
    const WString& key_;
    bool anyValue_;  // any kind of value, not only references
    std::unordered_set<const PdfDict*> visited_;
};

}  // namespace

namespace {

PdfObject* searchNameTree(PdfDict* root, const WString& key, PdfDict* node, bool anyValue) {
    PdfDict* start = node ? node : root;
    if (!start)
        return nullptr;
    NameTreeSearch search(key, anyValue);
    PdfObject* found = nullptr;
    search.search(start, 0, found);
    return found;
}

}  // namespace

PdfObject* lookupNameTreeValue(PdfDict* root, const WString& key, PdfDict* node) {
    return searchNameTree(root, key, node, true);
}

PdfRef* lookupNameTree(PdfDict* root, const WString& key, PdfDict* node) {
    return asRef(searchNameTree(root, key, node, false));
}

}  // namespace vistrel
