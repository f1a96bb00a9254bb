#include "engine/object/pdf_object.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace vistrel {

namespace {

// ---------------------------------------------------------------------------
// Destruction queue. The object whose last reference goes is destroyed at
// once; objects released while a destructor runs (members of a container, the
// target of a reference) wait in the queue and are destroyed afterwards by
// the outermost release, so destruction never nests.

// Trivially destructible: a thread-exit destructor would keep the engine
// library loaded until its thread ends. The outermost scope frees the items.
struct DestroyQueue {
    PdfObject** items = nullptr;
    size_t count = 0;
    size_t capacity = 0;
    bool draining = false;

    bool push(PdfObject* object) {
        if (count == capacity) {
            size_t fresh = capacity ? capacity * 2 : 64;
            // NOLINTNEXTLINE(bugprone-sizeof-expression): an array of pointers
            auto* grown = static_cast<PdfObject**>(std::realloc(items, fresh * sizeof(PdfObject*)));
            if (!grown)
                return false;
            items = grown;
            capacity = fresh;
        }
        items[count++] = object;
        return true;
    }
};

thread_local DestroyQueue destroyQueue;

// While a scope is open, objects whose last reference goes are queued; the
// outermost scope destroys them (and whatever they release) when it closes.
class DestructionScope {
public:
    DestructionScope() : outer_(!destroyQueue.draining) { destroyQueue.draining = true; }
    ~DestructionScope() {
        if (!outer_)
            return;
        DestroyQueue& queue = destroyQueue;
        while (queue.count > 0) {
            PdfObject* next = queue.items[--queue.count];
            delete next;
        }
        std::free(queue.items);
        queue.items = nullptr;
        queue.capacity = 0;
        queue.draining = false;
    }
    DestructionScope(const DestructionScope&) = delete;
    DestructionScope& operator=(const DestructionScope&) = delete;

private:
    bool outer_;
};

void destroyObject(PdfObject* object) {
    if (destroyQueue.draining) {
        if (destroyQueue.push(object))
            return;
        delete object;  // no room to queue: destroy in place
        return;
    }
    DestructionScope scope;
    delete object;
}

// ---------------------------------------------------------------------------
// Nesting depth of the container walks in progress (text, equals, setId,
// visit). A walk that would go deeper than kMaxObjectNesting stops there.

thread_local int nestingDepth = 0;

using NestingGuard = ObjectNestingGuard;

// ---------------------------------------------------------------------------
// A growing run of UTF-16 units, made into a WString once at the end (the
// WString growth rule adds 32 units at a time, which would make long texts
// quadratic).

class TextBuilder {
public:
    TextBuilder() = default;
    TextBuilder(const TextBuilder&) = delete;
    TextBuilder& operator=(const TextBuilder&) = delete;
    ~TextBuilder() { std::free(units_); }

    void put(char16_t c) {
        if (reserve(1))
            units_[size_++] = c;
    }
    void put(const char16_t* text) {
        for (; *text; ++text)
            put(*text);
    }
    void put(const char* ascii) {
        for (; *ascii; ++ascii)
            put(static_cast<char16_t>(static_cast<unsigned char>(*ascii)));
    }
    void put(const WString& text) { put(text.chars(), static_cast<size_t>(text.size())); }
    void put(const char16_t* units, size_t n) {
        if (!reserve(n))
            return;
        std::memcpy(units_ + size_, units, n * sizeof(char16_t));
        size_ += n;
    }

    WString take() const { return makeWString(units_, size_); }

    // A WString of exactly these units (embedded zeros kept).
    static WString makeWString(const char16_t* units, size_t n) {
        if (n >= static_cast<size_t>(INT32_MAX) - 1)
            return WString();
        WString result(static_cast<int32_t>(n));
        if (!result.setLength(static_cast<int32_t>(n + 1)))
            return WString();
        char16_t* out = result.data();
        if (!out)
            return WString();
        if (n)
            std::memcpy(out, units, n * sizeof(char16_t));
        out[n] = 0;
        return result;
    }

private:
    bool reserve(size_t n) {
        if (failed_)
            return false;
        if (size_ + n <= capacity_)
            return true;
        size_t fresh = capacity_ ? capacity_ : 64;
        while (fresh < size_ + n) {
            if (fresh > SIZE_MAX / 4) {
                failed_ = true;
                return false;
            }
            fresh *= 2;
        }
        auto* grown = static_cast<char16_t*>(std::realloc(units_, fresh * sizeof(char16_t)));
        if (!grown) {
            failed_ = true;
            return false;
        }
        units_ = grown;
        capacity_ = fresh;
        return true;
    }

    char16_t* units_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
    bool failed_ = false;
};

WString asciiWString(const char* ascii) {
    TextBuilder b;
    b.put(ascii);
    return b.take();
}

// "%d"
void putInt(TextBuilder& b, int32_t value) {
    char buffer[16];
    auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    *r.ptr = 0;
    b.put(buffer);
}

// "%f": at least one digit before the point, six after; locale-independent.
void putReal(TextBuilder& b, double value) {
    char buffer[400];
    auto r = std::to_chars(buffer, buffer + sizeof buffer - 1, value, std::chars_format::fixed, 6);
    if (r.ec != std::errc()) {
        b.put("0.000000");
        return;
    }
    *r.ptr = 0;
    b.put(buffer);
}

// Texts equal up to the first zero unit.
bool textsEqual(const char16_t* a, const char16_t* b) {
    for (;; ++a, ++b) {
        if (*a != *b)
            return false;
        if (*a == 0)
            return true;
    }
}

// Members of two containers match when both are absent or both are equal.
bool sameMember(const PdfObject* mine, const PdfObject* theirs) {
    if (!mine || !theirs)
        return mine == theirs;
    return mine->equals(theirs);
}

}  // namespace

ObjectNestingGuard::ObjectNestingGuard() : ok_(nestingDepth < kMaxObjectNesting) {
    if (ok_)
        ++nestingDepth;
}

ObjectNestingGuard::~ObjectNestingGuard() {
    if (ok_)
        --nestingDepth;
}

// ---------------------------------------------------------------------------
// PdfObject

PdfObject::PdfObject(const PdfObject& source, bool takeValid)
    : valid_(takeValid ? source.valid_ : false),
      number_(source.number_),
      generation_(source.generation_) {}

PdfObject::~PdfObject() = default;

void PdfObject::release() {
    if (--refCount_ != 0)
        return;
    if (constant_) {
        refCount_ = kConstantRefCount;
        return;
    }
    destroyObject(this);
}

void PdfObject::makeConstant() {
    refCount_ = kConstantRefCount;
    constant_ = true;
}

bool PdfObject::visit(int32_t) {
    return false;
}
PdfObject* PdfObject::direct() {
    return this;
}
uint16_t PdfObject::kind() const {
    return 0;
}
uint16_t PdfObject::classKind() const {
    return kClassPlain;
}

uint32_t PdfObject::hashTag() const {
    uint32_t tag = (static_cast<uint32_t>(kind()) | (valid_ ? 32u : 0u)) & 63u;
    return tag << 26;
}

uint32_t PdfObject::hash() const {
    return hashTag();
}

ObjectId PdfObject::getId() const {
    return ObjectId{number_, generation_};
}

void PdfObject::setId(int32_t number, int32_t generation, bool) {
    number_ = number;
    generation_ = generation;
}

// ---------------------------------------------------------------------------
// PdfNull

PdfNull::PdfNull() {
    setValid(true);
}

uint16_t PdfNull::kind() const {
    return kKindNull;
}

bool PdfNull::equals(const PdfObject* other) const {
    return other && other->valid() == valid() && other->kind() == kind();
}

WString PdfNull::typeName() const {
    return asciiWString("Null");
}
WString PdfNull::text(const FileKey*) const {
    return asciiWString("null");
}

// ---------------------------------------------------------------------------
// PdfBoolean

PdfBoolean::PdfBoolean(bool value) : value_(value) {
    setValid(true);
}

bool PdfBoolean::setValue(bool value) {
    bool old = value_;
    value_ = value;
    return old;
}

uint16_t PdfBoolean::kind() const {
    return kKindBoolean;
}

bool PdfBoolean::equals(const PdfObject* other) const {
    if (!other || other->valid() != valid() || other->kind() != kind())
        return false;
    return static_cast<const PdfBoolean*>(other)->value_ == value_;
}

// The 16-bit truth value sign-extended: true is 0xFFFF, so all low bits set.
uint32_t PdfBoolean::hash() const {
    return hashTag() | (value_ ? 0xFFFFFFFFu : 0u);
}

WString PdfBoolean::typeName() const {
    return asciiWString(value_ ? "True" : "False");
}
WString PdfBoolean::text(const FileKey*) const {
    return asciiWString(value_ ? "true" : "false");
}

// ---------------------------------------------------------------------------
// PdfNumber

int32_t truncateToInt(double value) {
    if (!(value == value))
        return 0;
    if (value >= 2147483647.0)
        return INT32_MAX;
    if (value <= -2147483648.0)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

PdfNumber::PdfNumber(int32_t value) : isInteger_(true), intValue_(value), realValue_(value) {
    setValid(true);
}

PdfNumber::PdfNumber(double value)
    : isInteger_(false), intValue_(truncateToInt(value)), realValue_(value) {
    setValid(true);
}

int32_t PdfNumber::setInt(int32_t value) {
    int32_t old = intValue_;
    isInteger_ = true;
    intValue_ = value;
    realValue_ = value;
    return old;
}

double PdfNumber::setReal(double value) {
    double old = realValue_;
    isInteger_ = false;
    realValue_ = value;
    intValue_ = truncateToInt(value);
    return old;
}

uint16_t PdfNumber::kind() const {
    return kKindNumber;
}

bool PdfNumber::equals(const PdfObject* other) const {
    if (!other || other->valid() != valid() || other->kind() != kind())
        return false;
    const auto* n = static_cast<const PdfNumber*>(other);
    if (n->isInteger_ != isInteger_)
        return false;
    if (isInteger_)
        return n->intValue_ == intValue_;
    return !(realValue_ < n->realValue_) && !(n->realValue_ < realValue_);
}

uint32_t PdfNumber::hash() const {
    uint32_t flag = isInteger_ ? 0xFFFFFFFFu : 0u;
    return hashTag() | (flag << 25) | (static_cast<uint32_t>(intValue_) & 0x3FFFu);
}

WString PdfNumber::typeName() const {
    TextBuilder b;
    if (isInteger_) {
        putInt(b, intValue_);
    } else {
        putReal(b, realValue_);
    }
    return b.take();
}

WString PdfNumber::text(const FileKey*) const {
    return typeName();
}

// ---------------------------------------------------------------------------
// PdfString, PdfName, PdfKeyword

PdfString::PdfString() {
    setValid(true);
}

PdfString::PdfString(const WString& text) : text_(text) {
    setValid(true);
}

PdfString::PdfString(WString&& text) : text_(std::move(text)) {
    setValid(true);
}

PdfString::PdfString(const uint8_t* bytes, size_t count) {
    if (count == kZeroTerminated) {
        count = bytes ? std::strlen(reinterpret_cast<const char*>(bytes)) : 0;
    }
    if (bytes && count > 0 && count < static_cast<size_t>(INT32_MAX) - 1) {
        WString text(static_cast<int32_t>(count));
        if (text.setLength(static_cast<int32_t>(count + 1))) {
            if (char16_t* out = text.data()) {
                for (size_t i = 0; i < count; ++i)
                    out[i] = bytes[i];
                out[count] = 0;
                text_ = std::move(text);
            }
        }
    }
    setValid(true);
}

PdfString::PdfString(const PdfString& source) : PdfObject(source, true), text_(source.text_) {}

PdfString::PdfString(LiteralTag, const char16_t* literal) : text_(literal, WString::kConstant) {}

const char16_t* PdfString::chars() const {
    return text_.chars();
}
size_t PdfString::size() const {
    return static_cast<size_t>(text_.size());
}

uint16_t PdfString::kind() const {
    return kKindString;
}

bool PdfString::equals(const PdfObject* other) const {
    if (!other || other->valid() != valid() || other->kind() != kind())
        return false;
    // Every object of kinds 4, 5 and 12 is a PdfString.
    return textsEqual(text_.chars(), static_cast<const PdfString*>(other)->text_.chars());
}

uint32_t PdfString::hash() const {
    return hashTag() | (text_.hash() & 0x7FFFu);
}

WString PdfString::typeName() const {
    TextBuilder b;
    b.put(u'(');
    b.put(text_);
    b.put(u')');
    return b.take();
}

WString PdfString::text(const FileKey* key) const {
    const char16_t* units = text_.chars();
    const size_t n = static_cast<size_t>(text_.size());
    // A text that begins with the characters FE FF would read back as UTF-16
    // if written byte for byte; it takes the wide form as well.
    bool wide = n >= 2 && units[0] == 0xFE && units[1] == 0xFF;
    for (size_t i = 0; i < n && !wide; ++i) {
        if (units[i] > 0xFF)
            wide = true;
    }

    // The bytes to write: one per character, or FE FF and UTF-16BE when some
    // character does not fit in a byte.
    const size_t byteCount = wide ? 2 + 2 * n : n;
    uint8_t* bytes = static_cast<uint8_t*>(std::malloc(byteCount ? byteCount : 1));
    if (!bytes)
        return WString();
    if (wide) {
        bytes[0] = 0xFE;
        bytes[1] = 0xFF;
        for (size_t i = 0; i < n; ++i) {
            bytes[2 + 2 * i] = static_cast<uint8_t>(units[i] >> 8);
            bytes[3 + 2 * i] = static_cast<uint8_t>(units[i] & 0xFF);
        }
    } else {
        for (size_t i = 0; i < n; ++i)
            bytes[i] = static_cast<uint8_t>(units[i]);
    }
    if (key)
        key->encryptString(getId(), bytes, byteCount);

    TextBuilder b;
    b.put(u'(');
    for (size_t i = 0; i < byteCount; ++i) {
        char16_t c = bytes[i];
        switch (c) {
            case u'\n':
                b.put(u"\\n");
                break;
            case u'\r':
                b.put(u"\\r");
                break;
            case u'\b':
                b.put(u"\\b");
                break;
            case u'\t':
                b.put(u"\\t");
                break;
            case u'\f':
                b.put(u"\\f");
                break;
            case u'\\':
                b.put(u"\\\\");
                break;
            case u'(':
                b.put(u"\\(");
                break;
            case u')':
                b.put(u"\\)");
                break;
            default:
                b.put(c);
                break;
        }
    }
    b.put(u')');
    std::free(bytes);
    return b.take();
}

PdfName::PdfName() = default;
PdfName::PdfName(const WString& text) : PdfString(text) {}
PdfName::PdfName(WString&& text) : PdfString(std::move(text)) {}
PdfName::PdfName(const PdfName& source) : PdfString(source) {}

uint16_t PdfName::kind() const {
    return kKindName;
}
WString PdfName::typeName() const {
    return text_;
}
namespace {

// Characters a name cannot hold as they are: white space and other controls,
// delimiters, the number sign and everything outside printable ASCII.
bool needsNameEscape(char16_t c) {
    if (c < 0x21 || c > 0x7E)
        return true;
    switch (c) {
        case u'#':
        case u'(':
        case u')':
        case u'<':
        case u'>':
        case u'[':
        case u']':
        case u'{':
        case u'}':
        case u'/':
        case u'%':
            return true;
        default:
            return false;
    }
}

void putNameByte(TextBuilder& b, uint8_t byte) {
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    b.put(u'#');
    b.put(kHex[byte >> 4]);
    b.put(kHex[byte & 15]);
}

}  // namespace

// The tokenizer turns #xx escapes into characters; written back, such
// characters are escaped again so that the name reads back the same.
WString PdfName::text(const FileKey*) const {
    const char16_t* units = text_.chars();
    const int32_t n = text_.size();
    // Only a name that begins with the solidus went through the tokenizer's
    // escape decoding; a run that merely began like a number did not, and is
    // written as it was read.
    bool plain = true;
    if (n > 0 && units[0] == u'/') {
        for (int32_t i = 1; i < n && plain; ++i)
            plain = !needsNameEscape(units[i]);
    }
    if (plain)
        return text_;

    TextBuilder b;
    int32_t i = 0;
    if (n > 0 && units[0] == u'/') {
        b.put(u'/');
        i = 1;
    }
    for (; i < n; ++i) {
        char16_t c = units[i];
        if (!needsNameEscape(c)) {
            b.put(c);
        } else if (c <= 0xFF) {
            putNameByte(b, static_cast<uint8_t>(c));
        } else if (c < 0x800) {  // beyond a byte: its UTF-8 bytes
            putNameByte(b, static_cast<uint8_t>(0xC0 | (c >> 6)));
            putNameByte(b, static_cast<uint8_t>(0x80 | (c & 0x3F)));
        } else {
            putNameByte(b, static_cast<uint8_t>(0xE0 | (c >> 12)));
            putNameByte(b, static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F)));
            putNameByte(b, static_cast<uint8_t>(0x80 | (c & 0x3F)));
        }
    }
    return b.take();
}

PdfKeyword::PdfKeyword() = default;
PdfKeyword::PdfKeyword(const WString& text) : PdfString(text) {}
PdfKeyword::PdfKeyword(WString&& text) : PdfString(std::move(text)) {}
PdfKeyword::PdfKeyword(const PdfKeyword& source) : PdfString(source) {}

uint16_t PdfKeyword::kind() const {
    return kKindKeyword;
}
WString PdfKeyword::typeName() const {
    return text_;
}
WString PdfKeyword::text(const FileKey*) const {
    return text_;
}

NameConstant::NameConstant(const char16_t* literal) : PdfName(LiteralTag{}, literal) {
    makeConstant();
    setValid(true);
    hash_ = PdfString::hash();
}

KeywordConstant::KeywordConstant(const char16_t* literal) : PdfKeyword(LiteralTag{}, literal) {
    makeConstant();
    setValid(true);
    hash_ = PdfString::hash();
}

// ---------------------------------------------------------------------------
// PdfArray

PdfArray::PdfArray() {
    setValid(true);
}

PdfArray::PdfArray(const PdfArray& source) : PdfObject(source, false), items_(source.items_) {
    for (PdfObject* item : items_) {
        if (item)
            item->addRef();
    }
    setValid(true);
}

PdfArray::~PdfArray() {
    clear();
}

bool PdfArray::append(ObjectRef object) {
    if (!items_.append(object.get()))
        return false;
    (void)object.detach();
    return true;
}

bool PdfArray::set(int32_t i, ObjectRef object) {
    if (i < 0 || i >= count())
        return false;
    PdfObject* old = items_[i];
    items_[i] = object.detach();
    releaseRef(old);
    return true;
}

void PdfArray::clear() {
    DestructionScope scope;  // nothing is destroyed before the array is empty
    for (PdfObject* item : items_)
        releaseRef(item);
    items_.clear();
}

bool PdfArray::contains(const PdfObject* object) const {
    for (const PdfObject* item : items_) {
        if (item && item->equals(object))
            return true;
    }
    return false;
}

bool PdfArray::visit(int32_t level) {
    if (visiting_)
        return false;
    NestingGuard guard;
    if (!guard.ok())
        return false;
    visiting_ = true;
    bool freed = false;
    for (int32_t i = 0; i < items_.count(); ++i) {
        if (PdfObject* item = items_[i])
            freed |= item->visit(level);
    }
    visiting_ = false;
    return freed;
}

uint16_t PdfArray::kind() const {
    return kKindArray;
}

bool PdfArray::equals(const PdfObject* other) const {
    if (!other || other->valid() != valid() || other->kind() != kind())
        return false;
    const auto* a = static_cast<const PdfArray*>(other);
    if (a->count() != count())
        return false;
    NestingGuard guard;
    if (!guard.ok())
        return false;
    for (int32_t i = 0; i < count(); ++i) {
        if (!sameMember(items_[i], a->items_[i]))
            return false;
    }
    return true;
}

uint32_t PdfArray::hash() const {
    return hashTag() | (static_cast<uint32_t>(count()) & 0x7FFFu);
}

WString PdfArray::typeName() const {
    NestingGuard guard;
    if (!guard.ok())
        return asciiWString("Null");
    TextBuilder b;
    b.put(u'[');
    for (int32_t i = 0; i < count(); ++i) {
        if (i > 0)
            b.put(u", ");
        const PdfObject* item = items_[i];
        if (item) {
            b.put(item->typeName());
        } else {
            b.put(u"Null");
        }
    }
    b.put(u']');
    return b.take();
}

WString PdfArray::text(const FileKey* key) const {
    NestingGuard guard;
    if (!guard.ok())
        return asciiWString("null");
    TextBuilder b;
    b.put(u"[ ");
    for (int32_t i = 0; i < count(); ++i) {
        const PdfObject* item = items_[i];
        if (item) {
            b.put(item->text(key));
        } else {
            b.put(u"null");
        }
        b.put(u' ');
        if (i > 0 && i % 16 == 0)
            b.put(u'\r');
    }
    b.put(u']');
    return b.take();
}

void PdfArray::setId(int32_t number, int32_t generation, bool recursive) {
    PdfObject::setId(number, generation, recursive);
    if (!recursive)
        return;
    NestingGuard guard;
    if (!guard.ok())
        return;
    for (int32_t i = 0; i < count(); ++i) {
        if (PdfObject* item = items_[i])
            item->setId(number, generation, true);
    }
}

// ---------------------------------------------------------------------------
// PdfDict

PdfDict::PdfDict() : table_(nullptr, 64, 64, 0.75) {
    setValid(true);
}

PdfDict::PdfDict(const PdfDict& source)
    : PdfObject(source, false),
      table_(nullptr, source.table_.bucketCount() / 2, source.table_.growth(),
             source.table_.loadFactor()) {
    bool complete = true;
    for (const auto& node : source.table_) {
        if (table_.insert(node.key, node.value)) {
            node.key->addRef();
            if (node.value)
                node.value->addRef();
        } else {
            complete = false;
        }
    }
    setValid(complete);
}

PdfDict::PdfDict(PdfDict&& source) noexcept
    : PdfObject(source, false), table_(nullptr, 64, 64, 0.75) {
    table_.takeAsCopy(source.table_);
    setValid(true);
}

PdfDict::~PdfDict() {
    releaseEntries();
}

int32_t PdfDict::size() const {
    return table_.count();
}

PdfObject* PdfDict::get(const PdfObject& key) const {
    return table_.get(&key);
}

bool PdfDict::put(ObjectRef key, ObjectRef value) {
    if (!key)
        return false;
    if (auto* node = table_.find(key.get())) {
        PdfObject* old = node->value;
        node->value = value.detach();
        releaseRef(old);
        return true;  // the given key is released by its Ref
    }
    if (!table_.insert(key.get(), value.get()))
        return false;
    (void)key.detach();
    (void)value.detach();
    return true;
}

void PdfDict::releaseEntries() {
    DestructionScope scope;  // nothing is destroyed before the table is empty
    for (auto& node : table_) {
        releaseRef(node.value);
        releaseRef(node.key);
    }
    table_.clear();
}

bool PdfDict::visit(int32_t level) {
    if (visiting_)
        return false;
    NestingGuard guard;
    if (!guard.ok())
        return false;
    visiting_ = true;
    bool freed = false;
    for (auto& node : table_) {
        if (node.value)
            freed |= node.value->visit(level);
    }
    visiting_ = false;
    return freed;
}

uint16_t PdfDict::kind() const {
    return kKindDict;
}

bool PdfDict::equals(const PdfObject* other) const {
    if (!other || other->valid() != valid() || other->kind() != kind())
        return false;
    const auto* d = static_cast<const PdfDict*>(other);
    if (d->size() != size())
        return false;
    NestingGuard guard;
    if (!guard.ok())
        return false;
    auto mine = table_.begin();
    auto theirs = d->table_.begin();
    for (; mine != table_.end() && theirs != d->table_.end(); ++mine, ++theirs) {
        if (!mine->key->equals(theirs->key))
            return false;
        if (!sameMember(mine->value, theirs->value))
            return false;
    }
    return true;
}

uint32_t PdfDict::hash() const {
    return hashTag() | (static_cast<uint32_t>(size()) & 0x7FFFu);
}

WString PdfDict::typeName() const {
    NestingGuard guard;
    if (!guard.ok())
        return asciiWString("Null");
    TextBuilder b;
    b.put(u"<<");
    bool first = true;
    for (const auto& node : table_) {
        if (!first)
            b.put(u", ");
        first = false;
        b.put(node.key->typeName());
        b.put(u", ");
        if (node.value) {
            b.put(node.value->typeName());
        } else {
            b.put(u"Null");
        }
    }
    b.put(u">>");
    return b.take();
}

WString PdfDict::text(const FileKey* key) const {
    NestingGuard guard;
    if (!guard.ok())
        return asciiWString("null");
    TextBuilder b;
    b.put(u"<<\r");
    bool first = true;
    for (const auto& node : table_) {
        if (!first)
            b.put(u'\r');
        first = false;
        b.put(node.key->text(key));
        b.put(u' ');
        if (node.value) {
            b.put(node.value->text(key));
        } else {
            b.put(u"null");
        }
        b.put(u' ');
    }
    b.put(u"\r>>");
    return b.take();
}

void PdfDict::setId(int32_t number, int32_t generation, bool recursive) {
    PdfObject::setId(number, generation, recursive);
    if (!recursive)
        return;
    NestingGuard guard;
    if (!guard.ok())
        return;
    for (auto& node : table_) {
        if (node.value)
            node.value->setId(number, generation, true);
    }
}

// ---------------------------------------------------------------------------
// Typed casts and helpers

namespace {
template <class T>
T* castByKind(PdfObject* object, uint16_t wanted) {
    if (!object)
        return nullptr;
    PdfObject* d = object->direct();
    return d && d->kind() == wanted ? static_cast<T*>(d) : nullptr;
}
template <class T>
T* castByClassKind(PdfObject* object, uint16_t wanted) {
    if (!object)
        return nullptr;
    PdfObject* d = object->direct();
    return d && d->classKind() == wanted ? static_cast<T*>(d) : nullptr;
}
}  // namespace

PdfNumber* asNumber(PdfObject* object) {
    return castByKind<PdfNumber>(object, kKindNumber);
}
PdfName* asName(PdfObject* object) {
    return castByKind<PdfName>(object, kKindName);
}
PdfString* asString(PdfObject* object) {
    return castByKind<PdfString>(object, kKindString);
}
PdfArray* asArray(PdfObject* object) {
    return castByKind<PdfArray>(object, kKindArray);
}
PdfDict* asDict(PdfObject* object) {
    return castByKind<PdfDict>(object, kKindDict);
}
PdfKeyword* asKeyword(PdfObject* object) {
    return castByKind<PdfKeyword>(object, kKindKeyword);
}
PdfArray* asRectangle(PdfObject* object) {
    return castByClassKind<PdfArray>(object, kClassRectangle);
}
PdfDict* asPagesNode(PdfObject* object) {
    return castByClassKind<PdfDict>(object, kClassPagesNode);
}
PdfDict* asBorderStyle(PdfObject* object) {
    return castByClassKind<PdfDict>(object, kClassBorderStyle);
}

bool wideStringEquals(const WString& a, const WString& b) {
    return a.length() == b.length() &&
           std::memcmp(a.chars(), b.chars(), sizeof(char16_t) * size_t(a.length())) == 0;
}

const PdfName* nameOf(const PdfObject* object) {
    return object && object->kind() == kKindName ? static_cast<const PdfName*>(object) : nullptr;
}

const PdfString* stringOf(const PdfObject* object) {
    return object && object->kind() == kKindString ? static_cast<const PdfString*>(object)
                                                   : nullptr;
}

const PdfNumber* numberOf(const PdfObject* object) {
    return object && object->kind() == kKindNumber ? static_cast<const PdfNumber*>(object)
                                                   : nullptr;
}

int32_t intOf(const PdfObject* object, int32_t fallback) {
    const PdfNumber* number = numberOf(object);
    return number ? number->intValue() : fallback;
}

int32_t asInt(PdfObject* object, int32_t fallback) {
    return intOf(asNumber(object), fallback);
}

void setMatrix(Matrix& m, double a, double b, double c, double d, double e, double f) {
    m = Matrix{a, b, c, d, e, f};
}

}  // namespace vistrel
