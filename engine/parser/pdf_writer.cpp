// The incremental-update writer: the engine never rewrites a file, it appends
// the changed objects, a cross-reference section for exactly those and a
// trailer pointing back at the previous section.
#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/constants/name_constants.h"
#include "engine/core/file_layer.h"
#include "engine/parser/pdf_document.h"

namespace vistrel {

namespace {

// Bit 3 of the permission word: the document may be modified.
constexpr uint32_t kModifyPermission = 8;

// One written piece goes out in one call; a short write fails the update.
class AppendFile {
public:
    explicit AppendFile(const WString& name)
        : handle_(FileOpen(name.view(), kFileWrite | kFileAppend)) {
        if (isValidFile(handle_))
            start_ = FileSize(handle_);
    }
    ~AppendFile() {
        if (isValidFile(handle_))
            FileClose(handle_);
    }
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    bool isOpen() const { return isValidFile(handle_); }
    // Where the update begins: the length of the file before it.
    uint64_t start() const { return start_; }

    bool put(const std::string& bytes) {
        if (FileWrite(handle_, bytes.data(), bytes.size()) != bytes.size())
            return false;
        written_ += bytes.size();
        return true;
    }
    // Cuts the file back to its length before the update.
    void cutBack() { FileSetSize(handle_, start_); }
    bool flush() { return FileFlush(handle_); }

private:
    FileHandle handle_;
    uint64_t start_ = 0;
    uint64_t written_ = 0;
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

// What this update records for one object number.
struct Recorded {
    int64_t value = -1;  // offset (entry 0: next free number); -1 not written
    int32_t generation = 0;
};

}  // namespace

int PdfDocument::write(const PointerArray<PdfObject>& changed, const WString& fileName) {
    if (changed.empty() || !(permissions_ & kModifyPermission) || !table_ || !trailer_)
        return 0;
    // The trailer must name the catalog; checked before anything is written.
    PdfRef* root = asRef(trailer_->get(names::Root));
    if (!root)
        return 0;

    const int32_t n = table_->count();
    std::vector<Recorded> recorded;
    try {
        recorded.resize(size_t(n));
    } catch (const std::bad_alloc&) {
        return 0;
    }

    AppendFile file(fileName);
    if (!file.isOpen())
        return -1;

    const FileKey* key = isEncrypted() ? textKey() : nullptr;
    uint64_t offset = file.start();
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
        if (!file.put(bytes)) {
            file.cutBack();
            return -2;
        }
        offset += bytes.size();
    }

    XrefEntry* head = table_->entry(0);
    if (head && head->offset == kXrefNew)
        recorded[0] = {head->nextFree, 65535};

    // The cross-reference section: one subsection per run of recorded numbers.
    const uint64_t section = offset;
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
    if (!file.put(xref)) {
        file.cutBack();
        return -2;
    }

    std::string trailer = "trailer\r<<\r/Size ";
    appendNumber(trailer, n);
    trailer += '\r';
    if (PdfRef* info = asRef(trailer_->get(names::Info))) {
        trailer += "/Info ";
        appendReference(trailer, info);
        trailer += '\r';
    }
    trailer += "/Root ";
    appendReference(trailer, root);
    trailer += "\r/Prev ";
    appendNumber(trailer, trailer_->sectionOffset());
    trailer += '\r';
    if (PdfObject* encrypt = trailer_->get(names::Encrypt)) {
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
    if (PdfArray* ids = asArray(trailer_->get(names::ID))) {
        PdfObject* first = ids->get(0);
        PdfObject* second = ids->get(1);
        if (first && second && first->kind() == kKindString && second->kind() == kKindString) {
            trailer += "/ID[<";
            appendHex(trailer, *static_cast<PdfString*>(first));
            trailer += "><";
            appendHex(trailer, *static_cast<PdfString*>(second));
            trailer += ">]\r";
        }
    }
    trailer += ">>\rstartxref\r";
    appendNumber(trailer, int64_t(section));
    trailer += "\r%%EOF\r";
    if (!file.put(trailer) || !file.flush()) {
        file.cutBack();
        return -2;
    }

    // Written: later fetches read the new versions.
    for (int32_t i = 1; i < n; ++i) {
        if (recorded[size_t(i)].value > 0)
            table_->setOffset(i, recorded[size_t(i)].value);
    }
    if (auto* fileStream = dynamic_cast<FileInputStream*>(stream_))
        fileStream->refreshSize();
    trailer_->setSectionOffset(int64_t(section));
    return 1;
}

PdfDict* PdfDocument::privateData() {
    if (!valid_ || !trailer_)
        return nullptr;
    PdfRef* root = asRef(trailer_->get(names::Root));
    PdfDict* catalog = root ? asDict(root) : nullptr;
    return catalog ? asDict(catalog->get(names::LumbraData)) : nullptr;
}

int PdfDocument::save(PdfDict* privateDataIn, const WString& fileName) {
    auto given = Ref<PdfDict>::adopt(privateDataIn);
    if (!valid_ || !given || !trailer_ || !table_)
        return 0;
    if (!given->put(ObjectRef::share(&names::Type), ObjectRef::share(&names::LumbraData)))
        return 0;

    PdfRef* rootRef = asRef(trailer_->get(names::Root));
    PdfDict* catalog = rootRef ? asDict(rootRef) : nullptr;
    PdfObject* storedValue = catalog ? catalog->get(names::LumbraData) : nullptr;
    PdfDict* stored = asDict(storedValue);

    PointerArray<PdfObject> changed(8);
    if (stored) {
        // Merge into a copy; the stored dictionary changes only once the copy
        // is in the file.
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
        if (!changed.append(merged.get()))
            return 0;
        const int result = write(changed, fileName);
        if (result == 1) {
            for (const auto& entry : given->entries())
                stored->put(ObjectRef::share(entry.key), ObjectRef::share(entry.value));
        }
        return result;
    }

    if (given->size() <= 1 || !catalog)
        return 0;

    // Register the dictionary as a new object, remembering what the table
    // looked like, so that a failed write leaves no trace.
    const int32_t count = table_->count();
    XrefEntry head;
    XrefEntry freed;
    const bool hadHead = count > 0;
    if (hadHead)
        head = *table_->entry(0);
    const int32_t freeNumber = hadHead ? head.nextFree : -1;
    if (freeNumber > 0 && freeNumber < count)
        freed = *table_->entry(freeNumber);

    auto ref = Ref<PdfRef>::adopt(new PdfRef(this, -1, -1));
    if (!ref || !ref->bind(ObjectRef::share(given.get())))
        return 0;

    auto undo = [&]() {
        const int32_t taken = ref->number();
        ref = nullptr;
        if (taken >= count) {
            table_->truncate(count);
        } else if (XrefEntry* e = table_->entry(taken)) {
            *e = freed;
        }
        if (hadHead)
            *table_->entry(0) = head;
        else
            table_->truncate(0);
    };

    // The catalog is written as a copy carrying the new entry.
    auto catalogCopy = Ref<PdfDict>::adopt(new PdfDict(*catalog));
    if (!catalogCopy || !catalogCopy->valid() ||
        !catalogCopy->put(ObjectRef::share(&names::LumbraData), ObjectRef::share(ref.get())) ||
        !changed.append(catalogCopy.get()) || !changed.append(ref.get())) {
        undo();
        return 0;
    }
    const int result = write(changed, fileName);
    if (result != 1) {
        undo();
        return result;
    }
    catalog->put(ObjectRef::share(&names::LumbraData), ObjectRef::share(ref.get()));
    return result;
}

}  // namespace vistrel
