// The object parser: turns the tokens of a Tokenizer into PdfObjects, with a
// look-ahead queue of parsed objects that its users read and drop.
#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>

#include "engine/core/containers.h"
#include "engine/object/pdf_object.h"
#include "engine/object/tokenizer.h"

namespace vistrel {

class InputStream;

// A small stack of pointers. It never counts references: pushing and popping
// pass pointers only.
template <class T>
class ObjectStackOf {
public:
    ObjectStackOf() : storage_(8) {}
    virtual ~ObjectStackOf() = default;

    void clear() { depth_ = 0; }
    // The entry i places below the top (0 is the top); null outside the stack.
    T* peek(int32_t i) const { return i >= 0 && i < depth_ ? storage_[depth_ - 1 - i] : nullptr; }
    // False when memory runs out.
    bool push(T* p) {
        if (depth_ < storage_.count()) {
            storage_[depth_++] = p;
            return true;
        }
        if (!storage_.append(p))
            return false;
        ++depth_;
        return true;
    }
    // Null when empty.
    T* pop() { return depth_ > 0 ? storage_[--depth_] : nullptr; }
    // Pushes copies of the top n entries in their order; false when fewer
    // than n are there.
    bool copy(int32_t n) {
        if (n < 0 || depth_ < n)
            return false;
        int32_t first = depth_ - n;
        for (int32_t i = 0; i < n; ++i) {
            if (!push(storage_[first + i]))
                return false;
        }
        return true;
    }
    int32_t depth() const { return depth_; }

private:
    PointerArray<T> storage_;
    int32_t depth_ = 0;
};

using ObjectStack = ObjectStackOf<PdfObject>;

// Hooks through which the document's parser makes typed objects. Each takes
// over the reference it is given and returns the object to use instead (the
// given one itself when it makes nothing). Until a factory is installed the
// plain array or dictionary stands, and a stream dictionary becomes a plain
// PdfStream.
//  - typed objects: a dictionary that is not followed by "stream";
//  - stream objects: a dictionary followed by "stream" and its end of line,
//    with the document's stream positioned at the first data byte and the
//    document's 5-byte file key (null when not encrypted);
//  - rectangles: an array of exactly four numbers.
using TypedObjectFactory = ObjectRef (*)(ObjectRef dict);
using StreamObjectFactory = ObjectRef (*)(ObjectRef dict, InputStream* stream,
                                          const uint8_t* fileKey);
using RectangleFactory = ObjectRef (*)(ObjectRef array);

// Each setter returns the factory it replaces; null restores the default.
TypedObjectFactory setTypedObjectFactory(TypedObjectFactory factory);
StreamObjectFactory setStreamObjectFactory(StreamObjectFactory factory);
RectangleFactory setRectangleFactory(RectangleFactory factory);

ObjectRef makeTypedObject(ObjectRef dict);
ObjectRef makeStreamObject(ObjectRef dict, InputStream* stream, const uint8_t* fileKey);
ObjectRef makeRectangle(ObjectRef array);

class ObjectParser {
public:
    using Queue = TokenList<PdfObject*>;

    // Arrays and dictionaries nested deeper than this are not parsed: the
    // opener that would go deeper yields null, which ends the container.
    static constexpr int32_t kMaxNesting = 256;

    // Stray brackets and braces passed over in one dictionary, at most.
    static constexpr int32_t kMaxStrayTokens = 16;

    // The tokenizer is not owned.
    explicit ObjectParser(Tokenizer* tokenizer);
    virtual ~ObjectParser();
    ObjectParser(const ObjectParser&) = delete;
    ObjectParser& operator=(const ObjectParser&) = delete;

    // Reads tokens and returns one new object, or null for no object (an end
    // token, the end of the stream, a closer of any kind).
    virtual ObjectRef ParseObject();
    // The object of the token the tokenizer has just read (of that kind), as
    // ParseObject makes it: names and keywords shared, a container read to
    // its end; null for no object. The content loop reads tokens itself and
    // hands here all but the numbers.
    virtual ObjectRef objectOfToken(int kind);
    // A new string from the tokenizer's current token.
    virtual ObjectRef makeString();
    // Called after a left bracket / after two less-than signs. A parser
    // whose readNext makes more of the objects it reads (references of two
    // numbers and "R") reads its arrays with parseArrayOfEntries.
    virtual ObjectRef parseArray();
    virtual ObjectRef parseDict();
    // Appends the next object (or a null entry) to the end of the queue.
    virtual void readNext();

    // The look-ahead queue. An entry may be null: it marks an end token.
    int32_t count() const { return queue_->count(); }
    // Entry i (borrowed), reading ahead until the queue holds it.
    PdfObject* entryAt(int32_t index);
    // Removes the first entry and hands its reference to the caller.
    ObjectRef takeFirst();
    // Removes the first n entries and releases their objects.
    void dropTokens(int32_t n);
    // Removes every entry of the current queue.
    void dropAll() { dropTokens(count()); }
    // Sets the current queue aside and starts an empty one.
    void pushList();
    // Releases the current queue and brings the one set aside back.
    void popList();

    // Object number and generation given to every object made here.
    void setId(int32_t number, int32_t generation) {
        number_ = number;
        generation_ = generation;
    }
    int32_t objectNumber() const { return number_; }
    int32_t generation() const { return generation_; }

    Tokenizer* tokenizer() const { return tokenizer_; }

protected:
    // An array of the entries readNext appends, up to a null entry.
    ObjectRef parseArrayOfEntries();
    // Appends an entry (null allowed), taking over its reference.
    void append(ObjectRef object);
    // Drops the first queue entry when it is null for a bracket or brace
    // (not a dictionary's end), counting it against left; false otherwise.
    bool dropStrayToken(int32_t& left);
    // Names and keywords read so far by their text, one reference each.
    using SharedTexts = std::unordered_map<std::u16string_view, PdfString*>;
    // The name or keyword of the current token: one object per distinct text
    // for all the objects this parser reads (they never change once made).
    template <class T>
    ObjectRef makeShared(SharedTexts& known);

    int32_t number_ = -1;
    int32_t generation_ = -1;
    Queue* queue_;
    ObjectStackOf<Queue> saved_;
    // Emptied queues of finished containers, taken again by pushList.
    static constexpr int32_t kMaxSpareQueues = 8;
    ObjectStackOf<Queue> spareQueues_;
    // A hostile run of distinct texts stops adding at the limit.
    static constexpr size_t kMaxSharedTexts = 4096;
    SharedTexts names_;
    SharedTexts keywords_;
    Tokenizer* tokenizer_;
    int32_t depth_ = 0;
    // The kind of the token that last gave no object.
    int nullKind_ = Tokenizer::kNone;
};

}  // namespace vistrel
