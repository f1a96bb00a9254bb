#include "engine/parser/object_parser.h"

#include <utility>

#include "engine/parser/pdf_stream.h"

namespace vistrel {

// ---------------------------------------------------------------- factory hooks

namespace {

ObjectRef plainTyped(ObjectRef dict) {
    return dict;
}
// Until the typed factories choose a stream class by /Type and /Subtype, every
// stream dictionary becomes a plain stream object.
ObjectRef plainStream(ObjectRef dict, InputStream* stream, const uint8_t* fileKey) {
    if (!dict || dict->kind() != kKindDict)
        return dict;
    Ref<PdfStream> made = makePlainStream(*static_cast<PdfDict*>(dict.get()), stream, fileKey);
    if (made && made->valid())
        return made;
    return dict;
}
ObjectRef plainRectangle(ObjectRef array) {
    return array;
}

TypedObjectFactory gTypedFactory = plainTyped;
StreamObjectFactory gStreamFactory = plainStream;
RectangleFactory gRectangleFactory = plainRectangle;

}  // namespace

TypedObjectFactory setTypedObjectFactory(TypedObjectFactory factory) {
    TypedObjectFactory old = gTypedFactory;
    gTypedFactory = factory ? factory : plainTyped;
    return old;
}

StreamObjectFactory setStreamObjectFactory(StreamObjectFactory factory) {
    StreamObjectFactory old = gStreamFactory;
    gStreamFactory = factory ? factory : plainStream;
    return old;
}

RectangleFactory setRectangleFactory(RectangleFactory factory) {
    RectangleFactory old = gRectangleFactory;
    gRectangleFactory = factory ? factory : plainRectangle;
    return old;
}

// NOLINTNEXTLINE(performance-unnecessary-value-param): the hook takes the object over
ObjectRef makeTypedObject(ObjectRef dict) {
    // Handed over, not shared: a factory may take the entries of a
    // dictionary that only it holds instead of copying them.
    return gTypedFactory(std::move(dict));
}

// NOLINTNEXTLINE(performance-unnecessary-value-param): the hook takes the object over
ObjectRef makeStreamObject(ObjectRef dict, InputStream* stream, const uint8_t* fileKey) {
    ObjectRef made = gStreamFactory(dict, stream, fileKey);
    return made ? made : dict;
}

// NOLINTNEXTLINE(performance-unnecessary-value-param): the hook takes the object over
ObjectRef makeRectangle(ObjectRef array) {
    ObjectRef made = gRectangleFactory(array);
    return made ? made : array;
}

// ---------------------------------------------------------------- ObjectParser

ObjectParser::ObjectParser(Tokenizer* tokenizer) : queue_(new Queue), tokenizer_(tokenizer) {}

namespace {

void releaseQueue(ObjectParser::Queue* queue) {
    PdfObject* entry;
    while (queue->removeFirst(&entry))
        releaseRef(entry);
}

}  // namespace

ObjectParser::~ObjectParser() {
    releaseQueue(queue_);
    delete queue_;
    while (Queue* q = saved_.pop()) {
        releaseQueue(q);
        delete q;
    }
    while (Queue* q = spareQueues_.pop())
        delete q;
    for (SharedTexts* known : {&names_, &keywords_}) {
        for (auto& entry : *known)
            entry.second->release();
    }
}

void ObjectParser::append(ObjectRef object) {
    PdfObject* p = object.detach();
    if (!queue_->append(p))
        releaseRef(p);
}

PdfObject* ObjectParser::entryAt(int32_t index) {
    if (index < 0)
        return nullptr;
    while (queue_->count() <= index) {
        int32_t before = queue_->count();
        readNext();
        if (queue_->count() == before)
            return nullptr;  // out of memory
    }
    return queue_->entryAt(index);
}

ObjectRef ObjectParser::takeFirst() {
    PdfObject* entry = nullptr;
    queue_->removeFirst(&entry);
    return ObjectRef::adopt(entry);
}

void ObjectParser::dropTokens(int32_t n) {
    PdfObject* entry;
    for (int32_t i = 0; i < n && queue_->removeFirst(&entry); ++i)
        releaseRef(entry);
}

void ObjectParser::pushList() {
    Queue* fresh = spareQueues_.pop();
    if (!fresh)
        fresh = new Queue;
    if (!saved_.push(queue_)) {
        // Nothing can be set aside: keep working in the current queue.
        delete fresh;
        return;
    }
    queue_ = fresh;
}

void ObjectParser::popList() {
    Queue* previous = saved_.pop();
    if (!previous) {
        releaseQueue(queue_);
        return;
    }
    releaseQueue(queue_);
    // The emptied queue serves the next container; a few are kept.
    if (spareQueues_.depth() >= kMaxSpareQueues || !spareQueues_.push(queue_))
        delete queue_;
    queue_ = previous;
}

ObjectRef ObjectParser::ParseObject() {
    if (!tokenizer_)
        return nullptr;
    return objectOfToken(tokenizer_->NextToken());
}

ObjectRef ObjectParser::objectOfToken(int kind) {
    if (!tokenizer_)
        return nullptr;
    ObjectRef result;
    switch (kind) {
        case Tokenizer::kNumber:
            if (tokenizer_->isReal)
                result = makeRef<PdfNumber>(tokenizer_->realValue);
            else
                result = makeRef<PdfNumber>(tokenizer_->intValue);
            break;
        case Tokenizer::kName:
            result = makeShared<PdfName>(names_);
            break;
        case Tokenizer::kKeyword: {
            const WString& t = tokenizer_->text;
            if (t.equalsText(u"true"))
                result = makeRef<PdfBoolean>(true);
            else if (t.equalsText(u"false"))
                result = makeRef<PdfBoolean>(false);
            else if (t.equalsText(u"null"))
                result = makeRef<PdfNull>();
            else
                result = makeShared<PdfKeyword>(keywords_);
            break;
        }
        case Tokenizer::kString:
            result = makeString();
            break;
        case Tokenizer::kLeftBracket:
            if (depth_ >= kMaxNesting) {
                nullKind_ = kind;
                return nullptr;
            }
            ++depth_;
            result = parseArray();
            --depth_;
            break;
        case Tokenizer::kDictOpen:
            if (depth_ >= kMaxNesting) {
                nullKind_ = kind;
                return nullptr;
            }
            ++depth_;
            result = parseDict();
            --depth_;
            break;
        default:
            nullKind_ = kind;
            return nullptr;
    }
    if (result)
        result->setId(number_, generation_, false);
    return result;
}

template <class T>
ObjectRef ObjectParser::makeShared(SharedTexts& known) {
    auto found = known.find(tokenizer_->text.view());
    if (found != known.end())
        return ObjectRef::share(found->second);
    Ref<T> made = makeRef<T>(tokenizer_->textCopy());
    if (made && known.size() < kMaxSharedTexts) {
        known.emplace(made->textValue().view(), made.get());
        made->addRef();
    }
    return made;
}

ObjectRef ObjectParser::makeString() {
    return makeRef<PdfString>(tokenizer_->textCopy());
}

ObjectRef ObjectParser::parseArray() {
    // readNext appends what ParseObject gives here: the entries are taken
    // straight, without going through the queue.
    Ref<PdfArray> array = makeRef<PdfArray>();
    while (ObjectRef entry = ParseObject())
        array->append(std::move(entry));
    return array;
}

ObjectRef ObjectParser::parseArrayOfEntries() {
    Ref<PdfArray> array = makeRef<PdfArray>();
    pushList();
    for (;;) {
        if (queue_->count() == 0) {
            readNext();
            if (queue_->count() == 0)
                break;  // out of memory
        }
        ObjectRef entry = takeFirst();
        if (!entry)
            break;
        array->append(std::move(entry));
    }
    popList();
    return array;
}

bool ObjectParser::dropStrayToken(int32_t& left) {
    if (left <= 0 || queue_->count() == 0 || queue_->entryAt(0) != nullptr)
        return false;
    if (nullKind_ != Tokenizer::kRightBracket && nullKind_ != Tokenizer::kRightBrace &&
        nullKind_ != Tokenizer::kLeftBrace)
        return false;
    --left;
    dropTokens(1);
    return true;
}

ObjectRef ObjectParser::parseDict() {
    Ref<PdfDict> dict = makeRef<PdfDict>();
    pushList();
    // A bracket or brace standing where a key or a value belongs is no
    // object; it is passed over (a few times per dictionary) so that the
    // entries after it are kept. Two greater-than signs, the end of the data
    // and a container nested too deep end the dictionary.
    int32_t straysLeft = kMaxStrayTokens;
    for (;;) {
        PdfObject* key = entryAt(0);
        if (!key) {
            if (dropStrayToken(straysLeft))
                continue;
            break;
        }
        ObjectRef k = takeFirst();
        PdfObject* value = entryAt(0);
        while (!value && dropStrayToken(straysLeft))
            value = entryAt(0);
        if (!value) {
            dict->put(std::move(k), makeRef<PdfNull>());
            break;
        }
        dict->put(std::move(k), takeFirst());
    }
    popList();
    return dict;
}

void ObjectParser::readNext() {
    append(ParseObject());
}

}  // namespace vistrel
