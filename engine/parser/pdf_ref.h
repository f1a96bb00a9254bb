// Indirect references (n g R), the narrow document interface they resolve
// through, and name-tree lookup.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/object/pdf_object.h"

namespace vistrel {

// What a reference needs of its document: the object cache and the fetch.
// PdfDocument implements it.
class ObjectSource {
public:
    virtual ~ObjectSource() = default;

    // The document's valid flag.
    virtual bool isValid() const = 0;
    // A new object read from the file for the number, with one reference for
    // the caller; null when it cannot be had.
    virtual ObjectRef fetchObject(int32_t number) = 0;
    // The object cached for the number (borrowed), or null; null also when
    // the document is not valid or the number lies outside its table.
    virtual PdfObject* cachedObject(int32_t number) = 0;
    // Cache upkeep; the cache does not count references, its users do. With
    // an object: one more user of the number's cached object (the first
    // caches it); a reference calls it whenever it takes the object from the
    // cache or from a fetch. Without: one user gone (the last forgets it); a
    // reference calls it when it lets its target go. Number -1 registers a
    // new object: it receives a number and generation 0 (setId with the
    // recursive flag). False on failure.
    virtual bool setCached(int32_t number, PdfObject* object) = 0;

    // One user of the number's cached object is gone.
    void releaseCached(int32_t number) { setCached(number, nullptr); }
};

// A reference to an indirect object of a document (kind 0, class kind 35).
// It holds one reference on its resolved target; the document is not counted.
class PdfRef final : public PdfObject {
public:
    PdfRef(ObjectSource* document, int32_t number, int32_t generation);
    // Same document, number, generation and valid flag; unresolved.
    PdfRef(const PdfRef& source);
    ~PdfRef() override;

    // The target: from the reference itself, the document's cache, or a fetch
    // (cached for the next reference); null when it cannot be had.
    PdfObject* deref();
    // Attaches a new object to this reference, taking over the given
    // reference on success (released on failure). With a number the object
    // takes this id (and its members too); without one the document numbers
    // it as a new object. False for null, for an object that already has a
    // number, and when the document cannot register it.
    bool bind(ObjectRef object);

    PdfObject* target() const { return target_; }
    // Lets the resolved target go whatever else holds it; the next deref
    // fetches it again. Breaks the reference cycles of a document's object
    // graph (/Parent and /Kids, /Next and /Prev) when the document closes.
    void unresolve() { dropTarget(); }
    ObjectSource* document() const { return document_; }
    int32_t number() const { return number_; }
    int32_t generation() const { return generation_; }

    bool visit(int32_t level) override;
    PdfObject* direct() override;
    uint16_t kind() const override;
    uint16_t classKind() const override;
    bool equals(const PdfObject* other) const override;
    uint32_t hash() const override;
    WString typeName() const override;
    WString text(const FileKey* key = nullptr) const override;
    ObjectId getId() const override;
    void setId(int32_t number, int32_t generation, bool recursive) override;

    VISTREL_POOLED_CLASS(PdfRef)

private:
    void dropTarget();

    PdfObject* target_ = nullptr;
    ObjectSource* document_;
    bool visiting_ = false;
};

// The reference of an object, when it is one (class kind 35), else null.
PdfRef* asRef(PdfObject* object);

// Lets go of the target of every resolved reference reachable from the roots
// (through arrays, dictionaries and the targets themselves), whatever else
// holds it. Objects that lead back to themselves through their references (a
// page tree's /Kids and /Parent, an outline's /Next and /Prev, a /Parent or
// /First that names its own object) hold each other, so reference counting
// alone never frees them; this breaks every such cycle. The walk visits each
// object once.
void unresolveReachable(const std::vector<PdfObject*>& roots);

// Deepest name-tree level searched; deeper /Kids are not followed.
inline constexpr int kMaxNameTreeDepth = 256;

// Looks `key` up in the name tree under `root` (or under `node` when given):
// the value paired with the key when it is an indirect reference (the tree's
// own PdfRef, borrowed and unresolved), else null. Nodes reached twice (a
// cycle through /Kids) and levels below kMaxNameTreeDepth are not searched.
PdfRef* lookupNameTree(PdfDict* root, const WString& key, PdfDict* node = nullptr);

// As lookupNameTree, but gives the value paired with the key whatever its
// kind (borrowed), or null.
PdfObject* lookupNameTreeValue(PdfDict* root, const WString& key, PdfDict* node = nullptr);

}  // namespace vistrel
