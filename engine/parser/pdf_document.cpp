#include "engine/parser/pdf_document.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "engine/constants/keyword_constants.h"
#include "engine/constants/name_constants.h"

namespace vistrel {

namespace {

bool isKeyword(const PdfObject* o, const char16_t* text) {
    return o && o->kind() == kKindKeyword &&
           static_cast<const PdfKeyword*>(o)->textValue().equalsText(text);
}

bool isInteger(const PdfObject* o) {
    const PdfNumber* n = numberOf(o);
    return n && n->isInteger();
}

// The low byte of each character.
std::vector<uint8_t> bytesOf(const WString& text) {
    std::vector<uint8_t> out(size_t(text.size()));
    for (int32_t i = 0; i < text.size(); ++i)
        out[size_t(i)] = uint8_t(text.at(i));
    return out;
}

}  // namespace

// ---------------------------------------------------------------- StandardFileKey

StandardFileKey::StandardFileKey(const uint8_t key[kFileKeyLength]) {
    std::memcpy(key_, key, kFileKeyLength);
}

void StandardFileKey::encryptString(ObjectId id, uint8_t* bytes, size_t count) const {
    uint8_t digest[16];
    computeObjectKey(key_, id.number, id.generation, digest);
    Rc4Context rc4;
    Rc4SetKey(rc4, digest, kObjectKeyLength);
    Rc4Crypt(rc4, bytes, count);
}

// ---------------------------------------------------------------- XrefTable

XrefTable::XrefTable(int32_t count) {
    if (count > 0)
        grow(count);
}

bool XrefTable::grow(int32_t n) {
    if (n <= count())
        return true;
    // Growth by doubling keeps many small subsections linear.
    if (size_t(n) > entries_.capacity()) {
        size_t want = std::max(size_t(n), entries_.capacity() * 2);
        entries_.reserve(want);
    }
    entries_.resize(size_t(n));
    return true;
}

int64_t XrefTable::offsetOf(int32_t n) const {
    const XrefEntry* e = entry(n);
    return e ? e->offset : kXrefUnset;
}

bool XrefTable::setCached(int32_t n, PdfObject* object) {
    if (n >= count() || n < -1)
        return false;
    if (n == -1) {
        if (!object)
            return false;
        if (entries_.empty()) {
            // A table without entry 0: make the free-list head first.
            grow(1);
            entries_[0].offset = kXrefFree;
        }
        int32_t take = -1;
        int32_t head = entries_[0].nextFree;
        // The file's free-list head is used only when it lies inside the
        // table and names a free entry.
        if (head > 0 && head < count() && entries_[size_t(head)].offset == kXrefFree) {
            take = head;
            entries_[0].nextFree = entries_[size_t(head)].nextFree;
            entries_[0].offset = kXrefNew;
        } else {
            if (count() == INT32_MAX || !grow(count() + 1))
                return false;
            take = count() - 1;
        }
        XrefEntry& e = entries_[size_t(take)];
        e = XrefEntry();
        e.offset = kXrefNew;
        object->setId(take, 0, true);
        return true;
    }
    XrefEntry& e = entries_[size_t(n)];
    if (!e.cached) {
        e.cached = object;
        e.count = object ? 1 : 0;
    } else if (object) {
        ++e.count;
    } else if (--e.count <= 0) {
        e.cached = nullptr;
        e.count = 0;
    }
    return true;
}

bool XrefTable::setOffset(int32_t n, int64_t offset) {
    XrefEntry* e = entry(n);
    if (!e || offset < 0)
        return false;
    if (!(e->offset > 0 || e->offset == kXrefNew))
        return false;
    e->offset = offset;
    return true;
}

void XrefTable::freeEntries() {
    entries_.clear();
    entries_.shrink_to_fit();
}

int32_t XrefTable::cachedCount() const {
    int32_t n = 0;
    for (const XrefEntry& e : entries_)
        n += e.cached != nullptr;
    return n;
}

// ---------------------------------------------------------------- PdfTrailer

PdfTrailer::PdfTrailer(const PdfDict& dict, int64_t sectionOffset)
    : PdfDict(dict), sectionOffset_(sectionOffset) {}

WString PdfTrailer::text(const FileKey* key) const {
    WString out = PdfDict::text(key);
    int32_t size = -1;
    PdfObject* v = get(names::Size);
    if (v)
        v = v->direct();
    size = intOf(v, size);
    char buf[32];
    std::snprintf(buf, sizeof buf, " (%d) trailer", size);
    out.appendText(WString::fromLatin1(buf).chars());
    return out;
}

// ---------------------------------------------------------------- DecryptingParser

DecryptingParser::DecryptingParser(PdfDocument* document, PdfCatalog* catalog)
    : ObjectParser(nullptr), document_(document), catalog_(catalog) {
    if (document_ && document_->stream()) {
        ownTokenizer_ = std::make_unique<Tokenizer>(document_->stream());
        tokenizer_ = ownTokenizer_.get();
    }
}

DecryptingParser::~DecryptingParser() = default;

bool DecryptingParser::objectKey(int32_t number, int32_t generation, uint8_t digest[16]) const {
    const uint8_t* key = document_ ? document_->fileKey() : nullptr;
    if (!key)
        return false;
    computeObjectKey(key, number, generation, digest);
    return true;
}

ObjectRef DecryptingParser::makeString() {
    const uint8_t* raw = tokenizer_->rawBytes();
    size_t n = tokenizer_->rawSize();
    if (rawStrings_)
        return makeRef<PdfString>(raw ? raw : reinterpret_cast<const uint8_t*>(""), n);
    uint8_t digest[16];
    if (number_ == document_->encryptObjectNumber() || !objectKey(number_, generation_, digest)) {
        return ObjectParser::makeString();
    }
    // Decrypt the bytes as they stand in the file, then decode the FE FF form.
    std::vector<uint8_t> bytes(raw, raw + n);
    Rc4Context rc4;
    Rc4SetKey(rc4, digest, kObjectKeyLength);
    Rc4Crypt(rc4, bytes.data(), bytes.size());
    WString text;
    if (!decodeStringBytes(bytes.data(), bytes.size(), tokenizer_->rawIsHex(), text))
        return nullptr;
    return makeRef<PdfString>(std::move(text));
}

void DecryptingParser::readNext() {
    ObjectRef o = ParseObject();
    // A dictionary is known to be complete only once the object after it has
    // been read; that object is then folded like any other, so a reference,
    // rectangle or dictionary following a dictionary is not left raw.
    for (;;) {
        if (!o) {
            append(nullptr);
            return;
        }
        if (isInteger(o.get())) {
            ObjectRef g = ParseObject();
            if (!isInteger(g.get())) {
                append(std::move(o));
                o = std::move(g);
                continue;
            }
            // A run of numbers: the last two before "R" make the reference.
            ObjectRef n = std::move(o);
            for (;;) {
                ObjectRef x = ParseObject();
                if (isKeyword(x.get(), u"R")) {
                    append(makeRef<PdfRef>(document_, intOf(n.get(), 0), intOf(g.get(), 0)));
                    return;
                }
                if (numberOf(x.get())) {
                    append(std::move(n));
                    n = std::move(g);
                    g = std::move(x);
                    continue;
                }
                append(std::move(n));
                append(std::move(g));
                o = std::move(x);
                break;
            }
            continue;
        }
        if (o->kind() == kKindArray && o->classKind() == kClassPlain) {
            PdfArray* a = static_cast<PdfArray*>(o.get());
            bool rectangle = a->count() == 4;
            for (int32_t i = 0; rectangle && i < 4; ++i)
                rectangle = numberOf(a->at(i)) != nullptr;
            append(rectangle ? makeRectangle(std::move(o)) : std::move(o));
            return;
        }
        if (o->kind() == kKindDict && o->classKind() == kClassPlain) {
            ObjectRef next = ParseObject();
            if (isKeyword(next.get(), u"stream")) {
                // The keyword's line ends with CR LF, LF or a lone CR.
                InputStream* s = document_->stream();
                uint16_t b = s->getByte();
                if (b == '\r')
                    b = s->getByte();
                if (b != '\n' && b != kEndOfData)
                    s->unread(b);
                append(makeStreamObject(std::move(o), s, document_->fileKey()));
                return;
            }
            // A typed object may fetch others with this parser: the kind of
            // the token that gave no object stays known for its null entry.
            const int nullKind = nullKind_;
            append(makeTypedObject(std::move(o)));
            nullKind_ = nullKind;
            o = std::move(next);
            continue;
        }
        append(std::move(o));
        return;
    }
}

// ---------------------------------------------------------------- PdfDocument

PdfDocument::PdfDocument(InputStream* stream, bool repairAllowed) : stream_(stream) {
    parser_ = std::make_unique<DecryptingParser>(this, nullptr);
    if (!stream_ || !stream_->isOpen()) {
        valid_ = false;
        return;
    }
    seekable_ = dynamic_cast<Seekable*>(stream_);
    if (!seekable_) {
        valid_ = false;
        return;
    }
    seek(0);
    readHeader();
    if (!header_.found && !repairAllowed) {
        valid_ = false;
        return;
    }
    while (readXrefSection(repairAllowed)) {
    }
    if (trailer_) {
        PdfObject* encrypt = trailer_->get(names::Encrypt);
        if (encrypt && encrypt->kind() == kKindRef) {
            encryptNumber_ = static_cast<PdfRef*>(encrypt)->number();
        }
        if (asDict(encrypt)) {
            valid_ = false;
            permissions_ = 0;
            setupSecurity(nullptr);
        }
    }
}

PdfDocument::~PdfDocument() {
    // Every resolved object lets go of its references' targets while the
    // table is still there to be told: objects that lead back to themselves
    // through their references would otherwise outlive the document.
    std::vector<PdfObject*> resolved;
    if (trailer_)
        resolved.push_back(trailer_.get());
    for (int32_t n = 0; table_ && n < table_->count(); ++n) {
        if (PdfObject* cached = table_->entry(n)->cached)
            resolved.push_back(cached);
    }
    unresolveReachable(resolved);
    trailer_ = nullptr;
    parser_.reset();
}

bool PdfDocument::seek(int64_t offset) {
    if (!seekable_ || offset < 0)
        return false;
    return seekable_->seek(uint64_t(offset));
}

bool PdfDocument::readHeader() {
    header_ = PdfHeader();
    char head[5];
    for (char& c : head) {
        uint16_t b = stream_->getByte();
        c = b == kEndOfData ? '\0' : char(b);
    }
    if (std::memcmp(head, "%PDF-", 5) != 0)
        return false;
    std::string digits;
    for (;;) {
        uint16_t b = stream_->getByte();
        if (b == '.' || (b >= '0' && b <= '9')) {
            if (digits.size() < 32)
                digits += char(b);
            continue;
        }
        break;
    }
    header_.version = WString::fromLatin1(digits).toDouble();
    header_.found = true;
    return true;
}

bool PdfDocument::rereadHeader(bool repairAllowed) {
    if (!seek(0))
        return false;
    readHeader();
    return header_.found || repairAllowed;
}

bool PdfDocument::reload(bool repairAllowed) {
    if (!seek(0))
        return false;
    readHeader();
    if (!header_.found && !repairAllowed)
        return false;
    while (readXrefSection(repairAllowed)) {
    }
    return true;
}

bool PdfDocument::readXrefHere(ObjectParser& parser) {
    Tokenizer* t = parser.tokenizer();
    if (!t || t->NextToken() != Tokenizer::kKeyword || !t->text.equalsText(u"xref"))
        return false;
    if (!table_)
        table_ = std::make_unique<XrefTable>();
    while (readXrefSubsectionsFrom(*t, *table_)) {
    }
    return true;
}

bool PdfDocument::readStartXref(bool repairAllowed) {
    static const char kKey[] = "startxref";
    const size_t keyLength = sizeof kKey - 1;
    uint8_t buffer[514];
    uint64_t size = stream_->size();
    uint64_t start = size;
    int64_t found = -1;
    for (;;) {
        start = start < 500 ? 0 : start - 500;
        if (!seek(int64_t(start))) {
            if (start == 0)
                break;
            continue;
        }
        int64_t n = stream_->read(buffer + 1, 512);
        if (n < 0)
            n = 0;
        buffer[n + 1] = 0;
        for (int64_t i = 1; i <= n; ++i) {
            if (buffer[i] == 0)
                buffer[i] = ' ';
        }
        for (int64_t i = n - int64_t(keyLength); i >= 0; --i) {
            if (std::memcmp(buffer + 1 + i, kKey, keyLength) == 0) {
                found = i;
                break;
            }
        }
        if (found >= 0 || start == 0)
            break;
    }
    if (found < 0)
        return false;
    lastStartXrefAt_ = int64_t(start) + found;
    seek(lastStartXrefAt_ + int64_t(keyLength));
    Tokenizer* t = parser_->tokenizer();
    bool result = true;
    if (t->NextToken() == Tokenizer::kNumber) {
        nextSection_ = t->isReal ? int64_t(t->realValue) : t->intValue;
        lastStartXref_ = nextSection_;
    } else if (repairAllowed) {
        nextSection_ = repairOnce();
    } else {
        nextSection_ = 0;
        result = false;
    }
    parser_->dropAll();
    return result;
}

int64_t PdfDocument::repairOnce() {
    if (repairScanned_)
        return 0;
    repairScanned_ = true;
    return scanForXref();
}

int64_t PdfDocument::scanForXref() {
    uint64_t size = stream_->size();
    uint64_t start = size < 500 ? 0 : size - 500;
    if (!seek(int64_t(start)))
        return 0;
    uint8_t buffer[512];
    int64_t n = stream_->read(buffer, sizeof buffer);
    // A token's delimiters end the word, and so does a NUL byte.
    auto boundary = [](uint8_t c) { return c == 0 || isDelimiter(c); };
    for (int64_t i = n - 4; i >= 0; --i) {
        if (std::memcmp(buffer + i, "xref", 4) != 0)
            continue;
        // A whole word only: the tail of "startxref" is no section.
        if (i > 0 && !boundary(buffer[i - 1]))
            continue;
        if (i + 4 < n && !boundary(buffer[i + 4]))
            continue;
        return int64_t(start) + i;
    }
    return 0;
}

bool PdfDocument::readXrefSection(bool repairAllowed) {
    if (nextSection_ == 0)
        return false;
    if (nextSection_ == -1) {
        readStartXref(repairAllowed);
        if (nextSection_ == 0)
            return false;
    }
    if (!table_)
        table_ = std::make_unique<XrefTable>();
    int64_t offset = nextSection_;

    // A section read before (a /Prev loop, or the repair scan finding the
    // newest section again) ends the chain.
    if (!sectionsRead_.insert(offset).second) {
        nextSection_ = 0;
        return false;
    }

    Tokenizer* t = parser_->tokenizer();
    bool isXref = offset > 0 && seek(offset) && t->NextToken() == Tokenizer::kKeyword &&
                  t->text.equalsText(u"xref");
    if (!isXref) {
        if (repairAllowed) {
            nextSection_ = repairOnce();
            return true;
        }
        nextSection_ = 0;
        return false;
    }
    while (readXrefSubsections(*table_)) {
    }
    parser_->dropAll();
    if (!(t->kind == Tokenizer::kKeyword && t->text.equalsText(u"trailer"))) {
        nextSection_ = 0;
        return false;
    }
    ObjectRef dict = parser_->ParseObject();
    parser_->dropAll();
    if (!dict || dict->kind() != kKindDict) {
        nextSection_ = 0;
        return false;
    }
    PdfDict* d = static_cast<PdfDict*>(dict.get());
    if (!trailer_)
        trailer_ = makeRef<PdfTrailer>(*d, offset);
    PdfObject* prev = d->get(names::Prev);
    if (prev && prev->kind() == kKindNumber) {
        PdfNumber* p = static_cast<PdfNumber*>(prev);
        int64_t next = p->isInteger() ? p->intValue() : int64_t(p->realValue());
        nextSection_ = next > 0 ? next : 0;
    } else {
        nextSection_ = 0;
    }
    return true;
}

bool PdfDocument::readXrefSubsections(XrefTable& table) {
    return readXrefSubsectionsFrom(*parser_->tokenizer(), table);
}

bool PdfDocument::readXrefSubsectionsFrom(Tokenizer& tokenizer, XrefTable& table) {
    Tokenizer* t = &tokenizer;
    auto number = [t](int64_t& out) {
        if (t->NextToken() != Tokenizer::kNumber)
            return false;
        out = t->isReal ? int64_t(t->realValue) : int64_t(t->intValue);
        return true;
    };
    int64_t first, count;
    if (!number(first) || !number(count))
        return false;

    // Reject what no file could hold: negative numbers, more entries than the
    // rest of the file has room for (an entry line is 20 bytes; 18 leaves
    // room for writers that shorten its end), and object numbers beyond 64K
    // in a file smaller than that.
    uint64_t fileSize = stream_->size();
    uint64_t here = std::min(stream_->position(), fileSize);
    int64_t room = int64_t((fileSize - here) / 18) + 1;
    int64_t highest = std::max<int64_t>(int64_t(fileSize), 65536);
    if (first < 0 || count < 0 || count > room || first + count > highest ||
        first + count > INT32_MAX) {
        return false;
    }
    int32_t end = int32_t(first + count);
    if (end > table.count() && !table.grow(end))
        return false;

    for (int64_t i = 0; i < count; ++i) {
        int64_t value, generation;
        if (!number(value) || !number(generation))
            return false;
        if (t->NextToken() != Tokenizer::kKeyword)
            return false;
        bool isFree = t->text.size() > 0 && t->text.at(0) == u'f';
        XrefEntry* e = table.entry(int32_t(first + i));
        if (!e || e->offset != kXrefUnset)
            continue;  // a newer section already named it
        if (isFree) {
            e->offset = kXrefFree;
            e->nextFree = value >= 0 && value <= INT32_MAX ? int32_t(value) : 0;
        } else if (value >= 0) {
            e->offset = value;
        }
    }
    table.noteFirst(int32_t(first));
    return true;
}

ObjectRef PdfDocument::fetchObject(int32_t number) {
    XrefEntry* e = table_ ? table_->entry(number) : nullptr;
    if (!e || e->offset < 0)
        return makeRef<PdfNull>();
    // The object is being read already (a /Length that names its own stream),
    // or fetches nest too deep: nothing to give.
    if (e->fetching || fetchNesting_ >= kMaxFetchNesting)
        return nullptr;

    uint64_t position = stream_->position();
    if (!seek(e->offset)) {
        seek(int64_t(position));
        return makeRef<PdfNull>();
    }
    int32_t savedNumber = parser_->objectNumber();
    int32_t savedGeneration = parser_->generation();
    parser_->pushList();
    // Whatever stands at the offset may itself need objects (a damaged
    // object line can start a whole dictionary): the entry counts as being
    // read from the first token on.
    e->fetching = true;
    ++fetchNesting_;

    ObjectRef result;
    ObjectRef num = parser_->ParseObject();
    ObjectRef gen;
    if (isInteger(num.get()) && intOf(num.get(), 0) == number)
        gen = parser_->ParseObject();
    if (isInteger(gen.get())) {
        ObjectRef keyword = parser_->ParseObject();  // "obj", not checked
        parser_->setId(number, intOf(gen.get(), 0));
        result = ObjectRef::share(parser_->entryAt(0));
        // The parser shares one name or keyword object among all that hold
        // it; an indirect object of its own is a copy that only the cache
        // and its references hold.
        if (result && result->kind() == kKindName)
            result = makeRef<PdfName>(*static_cast<PdfName*>(result.get()));
        else if (result && result->kind() == kKindKeyword)
            result = makeRef<PdfKeyword>(*static_cast<PdfKeyword*>(result.get()));
    }
    if (!result)
        result = makeRef<PdfNull>();
    --fetchNesting_;
    // The table may have been reallocated by a nested fetch: look again.
    if (XrefEntry* again = table_->entry(number))
        again->fetching = false;

    parser_->popList();
    parser_->setId(savedNumber, savedGeneration);
    seek(int64_t(position));
    return result;
}

PdfObject* PdfDocument::cachedObject(int32_t number) {
    if (!valid_ || !table_)
        return nullptr;
    const XrefEntry* e = table_->entry(number);
    return e ? e->cached : nullptr;
}

bool PdfDocument::setCached(int32_t number, PdfObject* object) {
    return table_ ? table_->setCached(number, object) : false;
}

int32_t PdfDocument::cachedCount() const {
    if (!valid_)
        return -1;
    return table_ ? table_->cachedCount() : 0;
}

int64_t PdfDocument::offsetOf(int32_t number) const {
    return table_ ? table_->offsetOf(number) : kXrefUnset;
}

bool PdfDocument::seekToObject(int32_t number) {
    int64_t offset = offsetOf(number);
    return offset >= 0 && seek(offset);
}

void PdfDocument::attachCatalog(PdfCatalog* catalog) {
    parser_->setCatalog(catalog);
}

// ---------------------------------------------------------------- security handler

ObjectRef PdfDocument::rawTrailer() {
    if (!trailer_)
        return nullptr;
    uint64_t position = stream_->position();
    ObjectRef result;
    Tokenizer* t = parser_->tokenizer();
    if (seek(trailer_->sectionOffset())) {
        // Skip the section up to its "trailer" keyword.
        int k;
        while ((k = t->NextToken()) != Tokenizer::kEnd) {
            if (k == Tokenizer::kKeyword && t->text.equalsText(u"trailer"))
                break;
        }
        if (k != Tokenizer::kEnd) {
            parser_->pushList();
            parser_->setRawStrings(true);
            result = parser_->ParseObject();
            parser_->setRawStrings(false);
            parser_->popList();
        }
    }
    seek(int64_t(position));
    if (result && result->kind() != kKindDict)
        result = nullptr;
    return result;
}

ObjectRef PdfDocument::rawObject(PdfObject* value) {
    if (!value)
        return nullptr;
    if (value->kind() != kKindRef)
        return ObjectRef::share(value);
    parser_->setRawStrings(true);
    ObjectRef fetched = fetchObject(static_cast<PdfRef*>(value)->number());
    parser_->setRawStrings(false);
    return fetched;
}

bool PdfDocument::setupSecurity(const WString* password) {
    auto fail = [this](SecurityStatus status) {
        securityStatus_ = status;
        return false;
    };
    // Everything is read from the file as raw bytes: /O, /U and /ID are
    // binary, and must not be taken for FE FF text or decrypted.
    ObjectRef trailer = rawTrailer();
    if (!trailer)
        return fail(SecurityStatus::kMalformed);
    PdfDict* t = static_cast<PdfDict*>(trailer.get());
    ObjectRef encryptObject = rawObject(t->get(names::Encrypt));
    if (!encryptObject || encryptObject->kind() != kKindDict) {
        return fail(SecurityStatus::kMalformed);
    }
    PdfDict* encrypt = static_cast<PdfDict*>(encryptObject.get());

    PdfObject* filter = encrypt->get(names::Filter);
    if (!filter || filter->kind() != kKindName)
        return fail(SecurityStatus::kMalformed);
    if (!filter->equals(&names::Standard))
        return fail(SecurityStatus::kUnsupported);
    // Only the 40-bit form (revision 2) is read.
    PdfObject* v = encrypt->get(names::V);
    PdfObject* r = encrypt->get(names::R);
    if (intOf(v, 0) >= 2 || intOf(r, 0) >= 3) {
        return fail(SecurityStatus::kUnsupported);
    }

    ObjectRef idArray = rawObject(t->get(names::ID));
    PdfArray* ids =
        idArray && idArray->kind() == kKindArray ? static_cast<PdfArray*>(idArray.get()) : nullptr;
    ObjectRef firstId = ids && ids->count() > 0 ? rawObject(ids->at(0)) : nullptr;
    ObjectRef o = rawObject(encrypt->get(names::O));
    ObjectRef u = rawObject(encrypt->get(names::U));
    ObjectRef p = rawObject(encrypt->get(names::P));
    if (!stringOf(firstId.get()) || !stringOf(o.get()) || !stringOf(u.get()) ||
        !numberOf(p.get())) {
        return fail(SecurityStatus::kMalformed);
    }
    std::vector<uint8_t> idBytes = bytesOf(stringOf(firstId.get())->textValue());
    std::vector<uint8_t> oBytes = bytesOf(stringOf(o.get())->textValue());
    std::vector<uint8_t> uBytes = bytesOf(stringOf(u.get())->textValue());
    if (oBytes.size() < 32 || uBytes.size() < 32)
        return fail(SecurityStatus::kMalformed);

    EncryptionParams params;
    std::memcpy(params.owner, oBytes.data(), 32);
    std::memcpy(params.user, uBytes.data(), 32);
    params.permissions = intOf(p.get(), 0);
    params.id = idBytes.data();
    params.idLength = idBytes.size();

    uint8_t padded[32];
    std::vector<uint8_t> pw = password ? bytesOf(*password) : std::vector<uint8_t>();
    padPassword(pw.data(), pw.size(), padded);
    PasswordCheck check = checkPassword(padded, params);
    if (!check.userMatched && !check.ownerMatched)
        return fail(SecurityStatus::kWrongPassword);

    if (!hasFileKey_) {
        std::memcpy(fileKey_, check.userMatched ? check.userKey : check.ownerKey, kFileKeyLength);
        hasFileKey_ = true;
        textKey_ = std::make_unique<StandardFileKey>(fileKey_);
    }
    permissions_ = updatePermissionWord(permissions_, params.permissions, check, pw.empty());
    valid_ = true;
    securityStatus_ = SecurityStatus::kAccepted;
    passwordMatch_ = check.userMatched ? PasswordMatch::kUser : PasswordMatch::kOwner;
    return true;
}

PdfRef* getTrailerRoot(PdfDict* trailer) {
    return trailer ? asRef(trailer->get(names::Root)) : nullptr;
}

PdfRef* getTrailerInfo(PdfDict* trailer) {
    return trailer ? asRef(trailer->get(names::Info)) : nullptr;
}

}  // namespace vistrel
