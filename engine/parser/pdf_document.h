// An open PDF file: header, the chain of cross-reference sections, the
// newest trailer, the object cache, and the standard security handler.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_set>
#include <vector>

#include "engine/core/streams.h"
#include "engine/core/wstring.h"
#include "engine/object/pdf_object.h"
#include "engine/object/tokenizer.h"
#include "engine/parser/object_parser.h"
#include "engine/parser/pdf_ref.h"
#include "engine/parser/security.h"

namespace vistrel {

class PdfCatalog;
class PdfDocument;

// The file key as the object model's text form uses it: strings written for
// an encrypted document are encrypted under their object's key.
class StandardFileKey : public FileKey {
public:
    explicit StandardFileKey(const uint8_t key[kFileKeyLength]);
    void encryptString(ObjectId id, uint8_t* bytes, size_t count) const override;

private:
    uint8_t key_[kFileKeyLength];
};

struct PdfHeader {
    double version = 1.3;  // 1.3 when the header is missing
    bool found = false;
};

// Offset words of a cross-reference entry besides real file offsets.
constexpr int64_t kXrefUnset = -1;  // no section has named the number
constexpr int64_t kXrefFree = -2;
constexpr int64_t kXrefNew = -3;  // registered in memory (entry 0: free-list head changed)

struct XrefEntry {
    int64_t offset = kXrefUnset;
    // The object currently resolved for this number; the entry holds no
    // reference of its own.
    PdfObject* cached = nullptr;
    // How many resolutions hold the cached object.
    int32_t count = 0;
    // Free entries: the next free object number as the file gives it (kept
    // apart from the count, so that caching a free number's null object does
    // not break the free list).
    int32_t nextFree = 0;
    // The object is being parsed right now (a nested fetch of it yields null).
    bool fetching = false;
};

class XrefTable {
public:
    explicit XrefTable(int32_t count = 0);

    int32_t count() const { return int32_t(entries_.size()); }
    int32_t lowestFirst() const { return lowestFirst_; }
    void noteFirst(int32_t first) {
        if (first < lowestFirst_)
            lowestFirst_ = first;
    }
    // Entry n, or null outside the table.
    XrefEntry* entry(int32_t n) { return n >= 0 && n < count() ? &entries_[size_t(n)] : nullptr; }
    const XrefEntry* entry(int32_t n) const {
        return n >= 0 && n < count() ? &entries_[size_t(n)] : nullptr;
    }
    // Grows the table to n entries (new ones unset); false when memory runs out.
    bool grow(int32_t n);
    // The entry's offset word; -1 when n is not below the entry count.
    int64_t offsetOf(int32_t n) const;
    // Cache upkeep and registration of new objects (n = -1).
    bool setCached(int32_t n, PdfObject* object);
    // Only for an entry inside the table whose offset is above 0 or new.
    bool setOffset(int32_t n, int64_t offset);
    // Forgets every entry.
    void freeEntries();
    // Forgets the entries from n on (undoes registrations of a failed save).
    void truncate(int32_t n) {
        if (n >= 0 && n < count())
            entries_.resize(size_t(n));
    }
    // How many entries hold a cached object.
    int32_t cachedCount() const;

private:
    std::vector<XrefEntry> entries_;
    int32_t lowestFirst_ = 0;
};

// The trailer dictionary, remembering the offset of the cross-reference
// section it belongs to. Its text form adds " (<Size>) trailer".
class PdfTrailer : public PdfDict {
public:
    PdfTrailer() = default;
    PdfTrailer(const PdfDict& dict, int64_t sectionOffset);

    int64_t sectionOffset() const { return sectionOffset_; }
    // An appended update moves it to its own section.
    void setSectionOffset(int64_t offset) { sectionOffset_ = offset; }
    WString text(const FileKey* key = nullptr) const override;

private:
    int64_t sectionOffset_ = 0;
};

// The document's parser: folds "N G R" into references, four-number arrays
// into rectangles, dictionaries into typed and stream objects, and decrypts
// strings with the object key of the object being read.
class DecryptingParser : public ObjectParser {
public:
    DecryptingParser(PdfDocument* document, PdfCatalog* catalog);
    ~DecryptingParser() override;

    ObjectRef makeString() override;
    ObjectRef parseArray() override { return parseArrayOfEntries(); }
    void readNext() override;

    // The 10-byte RC4 key (in a 16-byte digest) for an object; false when the
    // document has no file key.
    bool objectKey(int32_t number, int32_t generation, uint8_t digest[16]) const;

    PdfDocument* document() const { return document_; }
    PdfCatalog* catalog() const { return catalog_; }
    void setCatalog(PdfCatalog* catalog) { catalog_ = catalog; }

    // While set, strings are built from their bytes as they stand in the file
    // (no FE FF decoding, no decryption): the security handler reads /O, /U
    // and /ID this way.
    void setRawStrings(bool raw) { rawStrings_ = raw; }

private:
    PdfDocument* document_;
    PdfCatalog* catalog_;
    std::unique_ptr<Tokenizer> ownTokenizer_;
    bool rawStrings_ = false;
};

// The outcome of the security handler.
enum class SecurityStatus {
    kNotEncrypted,
    kAccepted,       // a password opened the document
    kWrongPassword,  // neither check matched
    kUnsupported,    // a revision, version or handler this reader does not know
    kMalformed,      // /Encrypt, /ID, /O, /U, /P or /Filter missing or of the wrong kind
};

// Which check the last accepted password matched.
enum class PasswordMatch { kNone, kUser, kOwner };

class PdfDocument : public ObjectSource {
public:
    // Fetches nested deeper than this (an object whose reading needs another
    // object, and so on) yield null.
    static constexpr int32_t kMaxFetchNesting = 32;

    // The stream is not owned and must be seekable.
    PdfDocument(InputStream* stream, bool repairAllowed);
    ~PdfDocument() override;
    PdfDocument(const PdfDocument&) = delete;
    PdfDocument& operator=(const PdfDocument&) = delete;

    // ObjectSource
    bool isValid() const override { return valid_; }
    ObjectRef fetchObject(int32_t number) override;
    PdfObject* cachedObject(int32_t number) override;
    bool setCached(int32_t number, PdfObject* object) override;

    const PdfHeader& header() const { return header_; }
    PdfTrailer* trailer() const { return trailer_.get(); }
    XrefTable* xrefTable() const { return table_.get(); }
    DecryptingParser* parser() const { return parser_.get(); }
    InputStream* stream() const { return stream_; }
    int32_t cachedCount() const;
    int64_t offsetOf(int32_t number) const;

    // Permission word: bit 0 a user password is needed, bit 1 the document
    // has an owner password of its own, bits 2 to 15 the permissions.
    uint32_t permissions() const { return permissions_; }
    // The 5-byte RC4 file key, or null.
    const uint8_t* fileKey() const { return hasFileKey_ ? fileKey_ : nullptr; }
    // The file key as the object model's text form takes it (null when none).
    const FileKey* textKey() const { return textKey_.get(); }

    // Runs the standard security handler with a password (null: none). True
    // when the password opened the document as user or owner.
    bool setupSecurity(const WString* password);
    SecurityStatus securityStatus() const { return securityStatus_; }
    PasswordMatch passwordMatch() const { return passwordMatch_; }
    bool isEncrypted() const { return securityStatus_ != SecurityStatus::kNotEncrypted; }

    void attachCatalog(PdfCatalog* catalog);

    // Incremental update, by an IncrementalWriter (pdf_writer.h). save takes
    // over the private dictionary, hangs it in the catalog under /LumbraData
    // (or merges it into the one stored there) and appends it: write's
    // result, or 0.
    int save(Ref<PdfDict> privateData, const WString& fileName);
    // Appends the listed objects (borrowed; references give their targets),
    // a cross-reference section for them and a trailer to the file. 1
    // written; 0 nothing written (empty list, modification not permitted, no
    // /Root reference); -1 the file could not be opened for writing or
    // locked; -2 a write fell short (the file is cut back, nothing changes in
    // memory); -3 the file changed since the document read it (another
    // update was appended, or the file was replaced): nothing written.
    int write(const PointerArray<PdfObject>& changed, const WString& fileName);
    // The catalog's /LumbraData dictionary, or null.
    PdfDict* privateData();

    // The number of the /Encrypt dictionary's object (-1 when direct or
    // absent): its strings are stored as they are, never encrypted.
    int32_t encryptObjectNumber() const { return encryptNumber_; }

    // Steps of opening, public for the writer and the tests.
    bool readHeader();
    bool readStartXref(bool repairAllowed);
    bool readXrefSection(bool repairAllowed);
    bool readXrefSubsections(XrefTable& table);
    int64_t scanForXref();
    bool seekToObject(int32_t number);
    // Rewinds and replaces the header; true when found or repair allowed.
    bool rereadHeader(bool repairAllowed);
    // Rewinds, reads the header (false when it is missing and repair is not
    // allowed), then reads the sections still due.
    bool reload(bool repairAllowed);
    // Reads "xref" and its subsections from the parser's tokenizer where it
    // stands, without seeking; the trailer is left unread.
    bool readXrefHere(ObjectParser& parser);

    // Offset of the next cross-reference section: -1 startxref not read yet,
    // 0 the chain has ended.
    int64_t nextSectionOffset() const { return nextSection_; }

    // Where the file's last "startxref" stood when the document read the
    // file, and the offset it gave (-1 when there was none, or no number);
    // an appended update moves both to its own.
    int64_t lastStartXrefAt() const { return lastStartXrefAt_; }
    int64_t lastStartXref() const { return lastStartXref_; }
    void setLastStartXref(int64_t at, int64_t offset) {
        lastStartXrefAt_ = at;
        lastStartXref_ = offset;
    }

private:
    bool seek(int64_t offset);
    bool readXrefSubsectionsFrom(Tokenizer& tokenizer, XrefTable& table);
    // The repair scan, at most once per open; 0 once it has run.
    int64_t repairOnce();
    // Re-reads the newest trailer with strings taken as raw bytes.
    ObjectRef rawTrailer();
    ObjectRef rawObject(PdfObject* value);

    bool valid_ = true;
    InputStream* stream_;
    Seekable* seekable_ = nullptr;
    PdfHeader header_;
    Ref<PdfTrailer> trailer_;
    std::unique_ptr<XrefTable> table_;
    std::unique_ptr<DecryptingParser> parser_;
    int64_t nextSection_ = -1;
    int64_t lastStartXrefAt_ = -1;
    int64_t lastStartXref_ = -1;
    uint32_t permissions_ = 0xFFFC;
    uint8_t fileKey_[kFileKeyLength] = {};
    bool hasFileKey_ = false;
    std::unique_ptr<FileKey> textKey_;
    SecurityStatus securityStatus_ = SecurityStatus::kNotEncrypted;
    PasswordMatch passwordMatch_ = PasswordMatch::kNone;
    // Section offsets read during this open, against /Prev loops.
    std::unordered_set<int64_t> sectionsRead_;
    bool repairScanned_ = false;
    int32_t fetchNesting_ = 0;
    int32_t encryptNumber_ = -1;
};

// The trailer's /Root (or /Info) when it is an indirect reference, else null.
PdfRef* getTrailerRoot(PdfDict* trailer);
PdfRef* getTrailerInfo(PdfDict* trailer);

}  // namespace vistrel
