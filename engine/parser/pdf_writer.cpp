#include "engine/parser/pdf_writer.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/constants/name_constants.h"
#include "engine/core/file_layer.h"
#include "engine/parser/pdf_document.h"

namespace vistrel {

// The file an update is appended to, locked for as long as it is open so
// that no other writer appends in between. One written piece goes out in one
// call; a short write fails the update.
class AppendFile {
public:
    explicit AppendFile(const WString& name)
        : handle_(FileOpen(name.view(), kFileRead | kFileWrite)) {
        locked_ = isValidFile(handle_) && FileLock(handle_);
    }
    ~AppendFile() {
        if (isValidFile(handle_)) {
            if (locked_)
                FileUnlock(handle_);
            FileClose(handle_);
        }
    }
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    bool isOpen() const { return isValidFile(handle_); }
    bool isLocked() const { return locked_; }
    uint64_t size() const { return FileSize(handle_); }
    size_t readAt(uint64_t offset, void* buffer, size_t n) const {
        return FileReadAt(handle_, offset, buffer, n);
    }
    // Where the update begins: the file is cut to that length (when it is
    // longer) and written on from there; false when it cannot be.
    bool begin(uint64_t start) {
        if (start < size() && !FileSetSize(handle_, start))
            return false;
        start_ = start;
        return FileSeekEnd(handle_) == int64_t(start);
    }
    // Where the update begins.
    uint64_t start() const { return start_; }

    bool put(const std::string& bytes) {
        return FileWrite(handle_, bytes.data(), bytes.size()) == bytes.size();
    }
    // Cuts the file back to where the update began, never shorter.
    void cutBack() { FileSetSize(handle_, start_); }
    bool flush() { return FileFlush(handle_); }

private:
    FileHandle handle_;
    bool locked_ = false;
    uint64_t start_ = 0;
};

namespace {

// Bit 3 of the permission word: the document may be modified.
constexpr uint32_t kModifyPermission = 8;

// "startxref", its offset and "%%EOF" with white space around them.
constexpr size_t kFileEndBytes = 64;
constexpr size_t kScanBytes = 4096;
constexpr char kStartXref[] = "startxref";
constexpr size_t kStartXrefLength = sizeof kStartXref - 1;

bool isWhite(uint8_t c) {
    return c == 0 || c == 9 || c == 10 || c == 12 || c == 13 || c == 32;
}

// Where the first byte of the file from `from` on that is no white space
// lies; `end` when there is none before it.
uint64_t firstNonWhite(const AppendFile& file, uint64_t from, uint64_t end) {
    uint8_t bytes[kScanBytes];
    while (from < end) {
        const size_t n = file.readAt(from, bytes, size_t(std::min<uint64_t>(end - from, kScanBytes)));
        if (n == 0)
            return from;
        for (size_t i = 0; i < n; ++i) {
            if (!isWhite(bytes[i]))
                return from + i;
        }
        from += n;
    }
    return end;
}

// Whether the bytes of the file from `from` to `end` are the start of an
// update as this writer writes one, cut short anywhere after its first
// object's header: objects "N G obj" CR, their text and CR "endobj" CR, then
// "xref" CR with its subsections and "trailer" CR "<<" CR "/Size ". Another
// writer's update (its line ends LF or CR LF) and any other text are not.
class OwnUpdateForm {
public:
    bool recognises(const AppendFile& file, uint64_t from, uint64_t end) {
        uint8_t bytes[kScanBytes];
        while (from < end) {
            const size_t n =
                file.readAt(from, bytes, size_t(std::min<uint64_t>(end - from, kScanBytes)));
            if (n == 0)
                return false;
            for (size_t i = 0; i < n; ++i) {
                if (!step(bytes[i]))
                    return false;
                if (state_ == State::kTrailer)
                    return true;  // the rest is this writer's trailer
            }
            from += n;
        }
        return begun_;
    }

private:
    enum class State {
        kPiece,            // an object's header or "xref"
        kNumber,           // the object number
        kGenerationFirst,  // the generation's first digit
        kGeneration,       // the generation's other digits
        kWord,             // the rest of `word_`
        kTextFirst,        // the object's first byte of text
        kText,             // the object's text, up to CR "endobj" CR
        kXref,             // the cross-reference section's lines
        kTrailer,
    };

    static bool isDigit(uint8_t c) { return c >= '0' && c <= '9'; }

    // Expects the rest of word (from its byte `from`), then goes to then.
    void expect(const char* word, size_t from, State then) {
        word_ = word;
        matched_ = from;
        then_ = then;
        state_ = State::kWord;
    }

    bool step(uint8_t c) {
        switch (state_) {
            case State::kPiece:
                if (isDigit(c)) {
                    digits_ = 1;
                    state_ = State::kNumber;
                    return true;
                }
                if (c != 'x')
                    return false;
                expect("xref\r", 1, State::kXref);
                return true;
            case State::kNumber:
                if (isDigit(c))
                    return ++digits_ <= 10;
                state_ = State::kGenerationFirst;
                return c == ' ';
            case State::kGenerationFirst:
                digits_ = 1;
                state_ = State::kGeneration;
                return isDigit(c);
            case State::kGeneration:
                if (isDigit(c))
                    return ++digits_ <= 5;
                expect(" obj\r", 1, State::kTextFirst);
                return c == ' ';
            case State::kWord:
                if (c != uint8_t(word_[matched_]))
                    return false;
                if (word_[++matched_] == 0) {
                    state_ = then_;
                    begun_ = begun_ || then_ == State::kXref;
                }
                return true;
            case State::kTextFirst:
                // A line feed here is a CR LF line end: another writer's.
                if (c == '\n')
                    return false;
                begun_ = true;
                state_ = State::kText;
                inEnd_ = 0;
                [[fallthrough]];
            case State::kText: {
                static constexpr char kEnd[] = "\rendobj\r";
                if (c == uint8_t(kEnd[inEnd_])) {
                    if (++inEnd_ == sizeof kEnd - 1)
                        state_ = State::kPiece;
                } else {
                    inEnd_ = c == '\r' ? 1 : 0;
                }
                return true;
            }
            case State::kXref:
                if (c == 't') {
                    expect("trailer\r<<\r/Size ", 1, State::kTrailer);
                    return true;
                }
                return isDigit(c) || c == ' ' || c == 'f' || c == 'n' || c == '\r' || c == '\n';
            case State::kTrailer:
                return true;
        }
        return false;
    }

    State state_ = State::kPiece;
    const char* word_ = "";
    size_t matched_ = 0;
    State then_ = State::kPiece;
    size_t digits_ = 0;
    size_t inEnd_ = 0;
    bool begun_ = false;  // a whole object header (or "xref" CR) was seen
};

// The text form as bytes: the low 8 bits of each character.
void appendBytes(std::string& out, const WString& text) {
    const char16_t* chars = text.chars();
    const int32_t n = text.size();
    out.reserve(out.size() + size_t(n));
    for (int32_t i = 0; i < n; ++i)
        out.push_back(char(chars[i] & 0xFF));
}

void appendNumber(std::string& out, int64_t value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%" PRId64, value);
    out += buffer;
}

void appendReference(std::string& out, const PdfObject* object) {
    const ObjectId id = object->getId();
    appendNumber(out, id.number);
    out += ' ';
    appendNumber(out, id.generation);
    out += " R";
}

void appendHex(std::string& out, const PdfString& s) {
    static const char kDigits[] = "0123456789abcdef";
    const char16_t* chars = s.chars();
    for (size_t i = 0, n = s.size(); i < n; ++i) {
        const unsigned byte = chars[i] & 0xFF;
        out += kDigits[byte >> 4];
        out += kDigits[byte & 15];
    }
}

}  // namespace

int PdfDocument::write(const PointerArray<PdfObject>& changed, const WString& fileName) {
    return IncrementalWriter(*this).write(changed, fileName);
}

int PdfDocument::save(Ref<PdfDict> privateData, const WString& fileName) {
    return IncrementalWriter(*this).save(std::move(privateData), fileName);
}

PdfDict* PdfDocument::privateData() {
    if (!valid_ || !trailer_)
        return nullptr;
    PdfRef* root = getTrailerRoot(trailer_.get());
    PdfDict* catalog = root ? asDict(root) : nullptr;
    return catalog ? asDict(catalog->get(names::LumbraData)) : nullptr;
}

int IncrementalWriter::write(const PointerArray<PdfObject>& changed, const WString& fileName) {
    return static_cast<int>(append(changed, fileName));
}

IncrementalWriter::Result IncrementalWriter::append(const PointerArray<PdfObject>& changed,
                                                    const WString& fileName) {
    PdfTrailer* trailer = document_.trailer();
    XrefTable* table = document_.xrefTable();
    if (changed.empty() || !(document_.permissions() & kModifyPermission) || !table || !trailer)
        return Result::kNothing;
    // The trailer must name the catalog; checked before anything is written.
    PdfRef* root = getTrailerRoot(trailer);
    if (!root)
        return Result::kNothing;

    std::vector<Recorded> recorded;
    try {
        recorded.resize(size_t(table->count()));
    } catch (const std::bad_alloc&) {
        return Result::kNothing;
    }

    AppendFile file(fileName);
    if (!file.isOpen() || !file.isLocked())
        return Result::kCannotOpen;
    uint64_t start = 0;
    bool separate = false;
    if (!unchangedFile(file, start, separate))
        return Result::kChanged;
    const bool begun = file.begin(start);
    if (start != document_.stream()->size())
        refreshStream();
    if (!begun)
        return Result::kShortWrite;

    uint64_t offset = file.start();
    if (separate) {
        if (!file.put("\r")) {
            file.cutBack();
            return Result::kShortWrite;
        }
        ++offset;
    }
    if (!writeObjects(file, changed, recorded, offset)) {
        file.cutBack();
        return Result::kShortWrite;
    }
    XrefEntry* head = table->entry(0);
    if (head && head->offset == kXrefNew)
        recorded[0] = {head->nextFree, 65535};

    const uint64_t section = offset;
    const std::string xref = crossReference(recorded);
    const std::string trailerText = this->trailer(*root, section);
    if (!file.put(xref) || !file.put(trailerText) || !file.flush()) {
        file.cutBack();
        return Result::kShortWrite;
    }
    commit(recorded, section, section + xref.size() + trailerText.rfind(kStartXref));
    return Result::kWritten;
}

bool IncrementalWriter::unchangedFile(const AppendFile& file, uint64_t& start,
                                      bool& separate) const {
    const uint64_t size = file.size();
    start = size;
    separate = false;
    if (size != document_.stream()->size())
        return false;
    const int64_t at = document_.lastStartXrefAt();
    if (at < 0)
        return true;  // the length alone tells
    uint8_t bytes[kFileEndBytes];
    const size_t n = file.readAt(uint64_t(at), bytes, sizeof bytes);
    if (n < kStartXrefLength || std::memcmp(bytes, kStartXref, kStartXrefLength) != 0)
        return false;
    size_t i = kStartXrefLength;
    while (i < n && isWhite(bytes[i]))
        ++i;
    // The offset when it is written plainly (at most 18 digits); any other
    // form the length alone checks.
    const size_t digits = i;
    int64_t offset = 0;
    while (i < n && i - digits < 18 && bytes[i] >= '0' && bytes[i] <= '9')
        offset = offset * 10 + (bytes[i++] - '0');
    if (i == digits || (i < n && bytes[i] >= '0' && bytes[i] <= '9'))
        return true;
    if (offset != document_.lastStartXref())
        return false;

    // A save killed on its way leaves an unfinished update after the last
    // complete one. When the offset names the newest section the document
    // read, its update ends with the "%%EOF" that follows (and an end of
    // line); no "startxref" comes after it. What follows may be such a
    // remnant: when it has the form of this writer's updates it is one, and
    // the update starts where it starts. White space and anything else stay
    // as they are, and the update follows them.
    if (offset != document_.trailer()->sectionOffset() || offset >= at)
        return true;
    while (i < n && isWhite(bytes[i]))
        ++i;
    if (n - i < 5 || std::memcmp(bytes + i, "%%EOF", 5) != 0)
        return true;
    i += 5;
    if (i < n && bytes[i] == '\r')
        ++i;
    if (i < n && bytes[i] == '\n')
        ++i;
    // An update of this writer follows the white space after that line.
    const uint64_t end = firstNonWhite(file, uint64_t(at) + i, size);
    if (end < size) {
        if (OwnUpdateForm().recognises(file, end, size)) {
            start = end;
        } else {
            // Bytes another program left stay; the update begins on a line
            // of its own after them.
            uint8_t last = 0;
            separate = file.readAt(size - 1, &last, 1) == 1 && last != '\r' && last != '\n';
        }
    }
    return true;
}

void IncrementalWriter::refreshStream() {
    if (auto* fileStream = dynamic_cast<FileInputStream*>(document_.stream()))
        fileStream->refreshSize();
}

bool IncrementalWriter::writeObjects(AppendFile& file, const PointerArray<PdfObject>& changed,
                                     std::vector<Recorded>& recorded, uint64_t& offset) const {
    const FileKey* key = document_.isEncrypted() ? document_.textKey() : nullptr;
    const int32_t n = int32_t(recorded.size());
    for (PdfObject* item : changed) {
        PdfObject* object = item ? item->direct() : nullptr;
        if (!object || object->classKind() == kClassStream)
            continue;
        const ObjectId id = object->getId();
        if (id.number < 0 || id.number >= n)
            continue;  // only numbered objects of the table can be listed
        // Every string of the object is encrypted under the object's own key.
        object->setId(id.number, id.generation, true);
        std::string bytes;
        appendNumber(bytes, id.number);
        bytes += ' ';
        appendNumber(bytes, id.generation);
        bytes += " obj\r";
        appendBytes(bytes, object->text(key));
        bytes += "\rendobj\r";
        recorded[size_t(id.number)] = {int64_t(offset), id.generation};
        if (!file.put(bytes))
            return false;
        offset += bytes.size();
    }
    return true;
}

std::string IncrementalWriter::crossReference(const std::vector<Recorded>& recorded) {
    const int32_t n = int32_t(recorded.size());
    std::string xref = "xref\r";
    for (int32_t i = 0; i < n;) {
        if (recorded[size_t(i)].value < 0) {
            ++i;
            continue;
        }
        int32_t end = i + 1;
        while (end < n && recorded[size_t(end)].value > 0)
            ++end;
        appendNumber(xref, i);
        xref += ' ';
        appendNumber(xref, end - i);
        xref += '\r';
        for (; i < end; ++i) {
            char line[32];
            const Recorded& r = recorded[size_t(i)];
            std::snprintf(line, sizeof line, "%010" PRId64 " %05d %c\r\n", r.value,
                          int(r.generation), i == 0 ? 'f' : 'n');
            xref += line;
        }
    }
    return xref;
}

std::string IncrementalWriter::trailer(const PdfRef& root, uint64_t section) const {
    PdfTrailer& previous = *document_.trailer();
    std::string trailer = "trailer\r<<\r/Size ";
    appendNumber(trailer, document_.xrefTable()->count());
    trailer += '\r';
    if (PdfRef* info = asRef(previous.get(names::Info))) {
        trailer += "/Info ";
        appendReference(trailer, info);
        trailer += '\r';
    }
    trailer += "/Root ";
    appendReference(trailer, &root);
    trailer += "\r/Prev ";
    appendNumber(trailer, previous.sectionOffset());
    trailer += '\r';
    if (PdfObject* encrypt = previous.get(names::Encrypt)) {
        if (PdfRef* ref = asRef(encrypt)) {
            if (asDict(ref)) {
                trailer += "/Encrypt ";
                appendReference(trailer, ref);
                trailer += '\r';
            }
        } else if (encrypt->kind() == kKindDict) {
            // A direct dictionary stays direct; its strings are never encrypted.
            trailer += "/Encrypt ";
            appendBytes(trailer, encrypt->text(nullptr));
            trailer += '\r';
        }
    }
    if (PdfArray* ids = asArray(previous.get(names::ID))) {
        const PdfString* first = stringOf(ids->get(0));
        const PdfString* second = stringOf(ids->get(1));
        if (first && second) {
            trailer += "/ID[<";
            appendHex(trailer, *first);
            trailer += "><";
            appendHex(trailer, *second);
            trailer += ">]\r";
        }
    }
    trailer += ">>\rstartxref\r";
    appendNumber(trailer, int64_t(section));
    trailer += "\r%%EOF\r";
    return trailer;
}

void IncrementalWriter::commit(const std::vector<Recorded>& recorded, uint64_t section,
                               uint64_t startXrefAt) {
    XrefTable& table = *document_.xrefTable();
    for (size_t i = 1; i < recorded.size(); ++i) {
        if (recorded[i].value > 0)
            table.setOffset(int32_t(i), recorded[i].value);
    }
    refreshStream();
    document_.trailer()->setSectionOffset(int64_t(section));
    document_.setLastStartXref(int64_t(startXrefAt), int64_t(section));
}

int IncrementalWriter::save(Ref<PdfDict> given, const WString& fileName) {
    if (!document_.isValid() || !given || !document_.trailer() || !document_.xrefTable())
        return 0;
    if (!given->put(ObjectRef::share(&names::Type), ObjectRef::share(&names::LumbraData)))
        return 0;

    PdfRef* rootRef = getTrailerRoot(document_.trailer());
    PdfDict* catalog = rootRef ? asDict(rootRef) : nullptr;
    PdfObject* storedValue = catalog ? catalog->get(names::LumbraData) : nullptr;
    PdfDict* stored = asDict(storedValue);
    if (!stored) {
        if (given->size() <= 1 || !catalog)
            return 0;
        return static_cast<int>(saveNew(std::move(given), *catalog, fileName));
    }

    // Merge into a copy; the stored dictionary changes only once the copy is
    // in the file.
    PdfRef* storedRef = asRef(storedValue);
    if (!storedRef)
        return 0;
    auto merged = Ref<PdfDict>::adopt(new PdfDict(*stored));
    if (!merged || !merged->valid())
        return 0;
    for (const auto& entry : given->entries()) {
        if (!merged->put(ObjectRef::share(entry.key), ObjectRef::share(entry.value)))
            return 0;
    }
    const ObjectId id = stored->getId();
    merged->setId(id.number, id.generation, true);
    PointerArray<PdfObject> changed(8);
    if (!changed.append(merged.get()))
        return 0;
    const Result result = append(changed, fileName);
    if (result == Result::kWritten) {
        for (const auto& entry : given->entries())
            stored->put(ObjectRef::share(entry.key), ObjectRef::share(entry.value));
    }
    return static_cast<int>(result);
}

IncrementalWriter::Result IncrementalWriter::saveNew(Ref<PdfDict> given, PdfDict& catalog,
                                                     const WString& fileName) {
    // Register the dictionary as a new object, remembering what the table
    // looked like, so that a failed write leaves no trace.
    XrefTable& table = *document_.xrefTable();
    const int32_t count = table.count();
    XrefEntry head;
    XrefEntry freed;
    const bool hadHead = count > 0;
    if (hadHead)
        head = *table.entry(0);
    const int32_t freeNumber = hadHead ? head.nextFree : -1;
    if (freeNumber > 0 && freeNumber < count)
        freed = *table.entry(freeNumber);

    auto ref = Ref<PdfRef>::adopt(new PdfRef(&document_, -1, -1));
    if (!ref || !ref->bind(std::move(given)))
        return Result::kNothing;

    auto undo = [&]() {
        const int32_t taken = ref->number();
        ref = nullptr;
        if (taken >= count) {
            table.truncate(count);
        } else if (XrefEntry* e = table.entry(taken)) {
            *e = freed;
        }
        if (hadHead)
            *table.entry(0) = head;
        else
            table.truncate(0);
    };

    // The catalog is written as a copy carrying the new entry.
    PointerArray<PdfObject> changed(8);
    auto catalogCopy = Ref<PdfDict>::adopt(new PdfDict(catalog));
    if (!catalogCopy || !catalogCopy->valid() ||
        !catalogCopy->put(ObjectRef::share(&names::LumbraData), ObjectRef::share(ref.get())) ||
        !changed.append(catalogCopy.get()) || !changed.append(ref.get())) {
        undo();
        return Result::kNothing;
    }
    const Result result = append(changed, fileName);
    if (result != Result::kWritten) {
        undo();
        return result;
    }
    catalog.put(ObjectRef::share(&names::LumbraData), ObjectRef::share(ref.get()));
    return result;
}

}  // namespace vistrel
