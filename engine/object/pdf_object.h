// The PDF object model: every PDF value the engine reads, builds, compares or
// writes is a reference-counted PdfObject.
//
// Ownership: a new object carries one reference owned by its creator; a
// container holds one reference on each object it stores; lookups, typed casts
// and direct() return borrowed pointers. Ref<T> (engine/core/ref.h) makes the
// owned references visible in the types. Name and keyword constants are never
// freed by releasing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/allocator.h"
#include "engine/core/containers.h"
#include "engine/core/keyed_hash_map.h"
#include "engine/core/ref.h"
#include "engine/core/wstring.h"

namespace vistrel {

// {object number, generation}; -1, -1 for a direct object. Two ids are the
// same when their object numbers are equal: generations are compared nowhere.
struct ObjectId {
    int32_t number = -1;
    int32_t generation = -1;

    friend bool operator==(const ObjectId& a, const ObjectId& b) { return a.number == b.number; }
};

// Values of PdfObject::kind.
enum ObjectKind : uint16_t {
    kKindRef = 0,
    kKindNull = 1,
    kKindBoolean = 2,
    kKindNumber = 3,
    kKindString = 4,
    kKindName = 5,
    kKindArray = 10,
    kKindDict = 11,
    kKindKeyword = 12,
    kKindOperandStack = 13,
};

// Values of PdfObject::classKind: 0 for plain objects, otherwise the typed
// object (typed dictionaries report kind 11, typed arrays kind 10).
enum ClassKind : uint16_t {
    kClassPlain = 0,
    kClassStream = 32,
    kClassImageXObject = 33,
    kClassRef = 35,
    kClassPage = 36,
    kClassAction = 37,
    kClassDestination = 38,
    kClassPagesNode = 39,
    kClassDestinationTable = 40,
    kClassRectangle = 41,
    kClassAnnotation = 42,
    kClassFunction = 43,
    kClassFontDict = 44,
    kClassEncoding = 45,
    kClassFontDescriptor = 46,
    kClassFormXObject = 47,
    kClassBorderStyle = 48,
};

// Walks over nested arrays and dictionaries (text, equals, setId, visit) stop
// descending below this depth: a deeper container prints as null, compares
// unequal, keeps its id and gives nothing back. The object parser keeps its
// nesting well inside it.
inline constexpr int kMaxObjectNesting = 1000;

// Counts one level of a walk over nested objects while it lives; ok() is
// false (and nothing is counted) once kMaxObjectNesting levels are open.
class ObjectNestingGuard {
public:
    ObjectNestingGuard();
    ~ObjectNestingGuard();
    ObjectNestingGuard(const ObjectNestingGuard&) = delete;
    ObjectNestingGuard& operator=(const ObjectNestingGuard&) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_;
};

// The document's file key, given to text() when an encrypted document is
// written. The security handler implements it: encryptString encrypts the
// bytes of a string held by the indirect object `id` in place (RC4 under the
// object key derived from the file key and the id).
class FileKey {
public:
    virtual ~FileKey() = default;
    virtual void encryptString(ObjectId id, uint8_t* bytes, size_t count) const = 0;
};

// The abstract base of every PDF object.
class PdfObject {
public:
    PdfObject(const PdfObject&) = delete;
    PdfObject& operator=(const PdfObject&) = delete;

    virtual ~PdfObject();

    // Gives memory back (purge level in); true when something was freed.
    virtual bool visit(int32_t level);
    // The object itself; a reference answers its resolved target (or null).
    virtual PdfObject* direct();
    virtual uint16_t kind() const;
    virtual uint16_t classKind() const;
    virtual bool equals(const PdfObject* other) const = 0;
    virtual uint32_t hash() const;
    // A short readable form.
    virtual WString typeName() const = 0;
    // The object in PDF syntax; `key` is null, or the document's file key when
    // an encrypted document is written.
    virtual WString text(const FileKey* key = nullptr) const = 0;
    virtual ObjectId getId() const;
    // Sets the id; with `recursive`, containers set it on their members too.
    virtual void setId(int32_t number, int32_t generation, bool recursive);

    void addRef() { ++refCount_; }
    // Gives a reference back; the last one destroys the object. Destruction of
    // nested objects is queued, so that no depth of nesting or chain of
    // references can exhaust the stack.
    void release();

    uint32_t refCount() const { return refCount_; }
    bool valid() const { return valid_; }
    bool isConstant() const { return constant_; }

    const PdfObject* direct() const { return const_cast<PdfObject*>(this)->direct(); }

    // A mark for walks over an object graph that must see each object once:
    // setWalkMark is false when the mark was set already. A walk clears every
    // mark it set before it ends.
    bool setWalkMark() {
        if (walkMark_)
            return false;
        walkMark_ = true;
        return true;
    }
    void clearWalkMark() { walkMark_ = false; }

protected:
    PdfObject() = default;
    // Takes the source's id (and, with `takeValid`, its valid flag).
    PdfObject(const PdfObject& source, bool takeValid);

    // The 6-bit kind tag with the valid bit, shifted to bits 26 to 31.
    uint32_t hashTag() const;
    void setValid(bool valid) { valid_ = valid; }
    void makeConstant();

    static constexpr uint32_t kConstantRefCount = 0xC0000000u;

    uint32_t refCount_ = 1;
    bool valid_ = false;
    bool constant_ = false;
    bool walkMark_ = false;
    int32_t number_ = -1;
    int32_t generation_ = -1;
};

// Gives one reference back (null is ignored).
inline void releaseRef(PdfObject* object) {
    if (object)
        object->release();
}

using ObjectRef = Ref<PdfObject>;

// ---------------------------------------------------------------------------

class PdfNull final : public PdfObject {
public:
    PdfNull();

    uint16_t kind() const override;
    bool equals(const PdfObject* other) const override;
    WString typeName() const override;
    WString text(const FileKey* key = nullptr) const override;

    VISTREL_POOLED_CLASS(PdfNull)
};

class PdfBoolean final : public PdfObject {
public:
    explicit PdfBoolean(bool value);

    bool value() const { return value_; }
    // Stores a new value; returns the old one.
    bool setValue(bool value);

    uint16_t kind() const override;
    bool equals(const PdfObject* other) const override;
    uint32_t hash() const override;
    WString typeName() const override;
    WString text(const FileKey* key = nullptr) const override;

    VISTREL_POOLED_CLASS(PdfBoolean)

private:
    bool value_;
};

// A double truncated toward zero, saturated to the 32-bit range (NaN gives
// 0): the integer value a real number keeps.
int32_t truncateToInt(double value);

// A number keeps both values: an integer number its value as double, a real
// number its value truncated toward zero (saturated to the 32-bit range).
class PdfNumber final : public PdfObject {
public:
    explicit PdfNumber(int32_t value);
    explicit PdfNumber(double value);

    bool isInteger() const { return isInteger_; }
    int32_t intValue() const { return intValue_; }
    double realValue() const { return realValue_; }
    // The number becomes an integer; returns the old integer value.
    int32_t setInt(int32_t value);
    // The number becomes real; returns the old real value.
    double setReal(double value);

    uint16_t kind() const override;
    bool equals(const PdfObject* other) const override;
    uint32_t hash() const override;
    WString typeName() const override;
    WString text(const FileKey* key = nullptr) const override;

    VISTREL_POOLED_CLASS(PdfNumber)

private:
    bool isInteger_;
    int32_t intValue_;
    double realValue_;
};

// A string: one 16-bit character per byte as read (UTF-16 for the FE FF form).
// Names and keywords share its layout, equality and hash.
class PdfString : public PdfObject {
public:
    // Marks the byte-count constructor's zero-terminated form.
    static constexpr size_t kZeroTerminated = SIZE_MAX;

    PdfString();
    explicit PdfString(const WString& text);
    // Takes the text over, buffer and all.
    explicit PdfString(WString&& text);
    // One character per byte (0 to 255).
    PdfString(const uint8_t* bytes, size_t count);
    // Copies the valid flag, the id and the text.
    PdfString(const PdfString& source);

    const WString& textValue() const { return text_; }
    // The characters, zero-terminated.
    const char16_t* chars() const;
    // Number of characters, without the terminator.
    size_t size() const;

    uint16_t kind() const override;
    bool equals(const PdfObject* other) const override;
    uint32_t hash() const override;
    WString typeName() const override;
    WString text(const FileKey* key = nullptr) const override;

    VISTREL_POOLED_CLASS(PdfString)

protected:
    struct LiteralTag {};
    // Over a literal that stays in place (constants).
    PdfString(LiteralTag, const char16_t* literal);

    WString text_;
};

// A name; its text includes the leading "/".
class PdfName : public PdfString {
public:
    PdfName();
    explicit PdfName(const WString& text);
    explicit PdfName(WString&& text);
    PdfName(const PdfName& source);

    uint16_t kind() const override;
    WString typeName() const override;
    WString text(const FileKey* key = nullptr) const override;

    VISTREL_POOLED_CLASS(PdfName)

protected:
    PdfName(LiteralTag tag, const char16_t* literal) : PdfString(tag, literal) {}
};

// A bare keyword (obj, R, BT, ...).
class PdfKeyword : public PdfString {
public:
    PdfKeyword();
    explicit PdfKeyword(const WString& text);
    explicit PdfKeyword(WString&& text);
    PdfKeyword(const PdfKeyword& source);

    uint16_t kind() const override;
    WString typeName() const override;
    WString text(const FileKey* key = nullptr) const override;

    VISTREL_POOLED_CLASS(PdfKeyword)

protected:
    PdfKeyword(LiteralTag tag, const char16_t* literal) : PdfString(tag, literal) {}
};

// A global name over a wide literal, built by the constant registry: allocates
// nothing, carries its hash, is never freed by releasing.
class NameConstant final : public PdfName {
public:
    explicit NameConstant(const char16_t* literal);
    uint32_t hash() const override { return hash_; }

private:
    uint32_t hash_;
};

// A global keyword over a wide literal, as NameConstant.
class KeywordConstant final : public PdfKeyword {
public:
    explicit KeywordConstant(const char16_t* literal);
    uint32_t hash() const override { return hash_; }

private:
    uint32_t hash_;
};

// ---------------------------------------------------------------------------

class PdfArray : public PdfObject {
public:
    PdfArray();
    // Copies the id and takes one more reference on every element.
    PdfArray(const PdfArray& source);
    ~PdfArray() override;

    int32_t count() const { return items_.count(); }
    int32_t capacity() const { return items_.capacity(); }
    // Element i (0 <= i < count), borrowed; elements may be null.
    PdfObject* at(int32_t i) const { return items_[i]; }
    // Element i, or null when i is out of range.
    PdfObject* get(int32_t i) const { return i >= 0 && i < count() ? items_[i] : nullptr; }

    // Appends, taking over the given reference; false when memory runs out
    // (the reference is then given back).
    bool append(ObjectRef object);
    // Replaces element i, taking over the given reference and giving back the
    // old element's; false when i is out of range.
    bool set(int32_t i, ObjectRef object);
    // Releases every element; the count becomes 0.
    void clear();
    // True when some element equals the object.
    virtual bool contains(const PdfObject* object) const;

    bool visit(int32_t level) override;
    uint16_t kind() const override;
    bool equals(const PdfObject* other) const override;
    uint32_t hash() const override;
    WString typeName() const override;
    WString text(const FileKey* key = nullptr) const override;
    void setId(int32_t number, int32_t generation, bool recursive) override;

    VISTREL_POOLED_CLASS(PdfArray)

private:
    PointerArray<PdfObject> items_;
    bool visiting_ = false;
};

// A dictionary: an entry table from key objects (names) to values, walked in
// table order (buckets in increasing index, each chain newest first).
class PdfDict : public PdfObject {
public:
    using EntryTable = KeyedHashMap<PdfObject*, PdfObject*>;

    PdfDict();
    // Copies the id and the table's shape, then puts every source entry in
    // the source's order, with one more reference on every key and value.
    PdfDict(const PdfDict& source);
    // The same dictionary as the copy would be, made by taking the source's
    // entries over instead (for a source nothing else holds); the source is
    // left empty.
    PdfDict(PdfDict&& source) noexcept;
    ~PdfDict() override;

    int32_t size() const;
    // The value stored under the key, borrowed; null when absent.
    PdfObject* get(const PdfObject& key) const;
    // Insert or replace, taking over the given references. A replaced value
    // is given back, and so is the given key (the entry keeps its first key).
    // False when memory runs out (both references are then given back).
    bool put(ObjectRef key, ObjectRef value);
    // Releases every entry (value, then key, in table order).
    void releaseEntries();

    // The entry table, for walks in table order:
    //     for (const auto& entry : dict.entries()) use(entry.key, entry.value);
    const EntryTable& entries() const { return table_; }

    bool visit(int32_t level) override;
    uint16_t kind() const override;
    bool equals(const PdfObject* other) const override;
    uint32_t hash() const override;
    WString typeName() const override;
    WString text(const FileKey* key = nullptr) const override;
    void setId(int32_t number, int32_t generation, bool recursive) override;

    VISTREL_POOLED_CLASS(PdfDict)

private:
    EntryTable table_;
    bool visiting_ = false;
};

// ---------------------------------------------------------------------------
// Typed casts: null for null, for a reference that does not resolve and for a
// wrong kind; otherwise the direct (resolved) object, borrowed.

PdfNumber* asNumber(PdfObject* object);
PdfName* asName(PdfObject* object);
PdfString* asString(PdfObject* object);  // a string, not a name or keyword
PdfArray* asArray(PdfObject* object);
PdfDict* asDict(PdfObject* object);
PdfKeyword* asKeyword(PdfObject* object);
PdfArray* asRectangle(PdfObject* object);
PdfDict* asPagesNode(PdfObject* object);
PdfDict* asBorderStyle(PdfObject* object);

// Two WStrings of the same length and the same characters.
bool wideStringEquals(const WString& a, const WString& b);

// The object as it stands (a reference is not followed) as a name, a string
// (names and keywords are not strings here) or a number; null for null and
// for any other kind.
const PdfName* nameOf(const PdfObject* object);
const PdfString* stringOf(const PdfObject* object);
const PdfNumber* numberOf(const PdfObject* object);
// The integer value (truncated toward zero) of a number as it stands, or
// fallback for anything else.
int32_t intOf(const PdfObject* object, int32_t fallback);
// The integer value of a number, a reference followed as asNumber does, or
// fallback for anything else.
int32_t asInt(PdfObject* object, int32_t fallback);

// Lookup in a dictionary's entry table; null when absent.
inline PdfObject* getOrDefault(const PdfDict& dict, const PdfObject& key) {
    return dict.get(key);
}

// A matrix record {a, b, c, d, e, f}.
struct Matrix {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
};
void setMatrix(Matrix& m, double a, double b, double c, double d, double e, double f);

}  // namespace vistrel
